// The doorsim program: controllers served on a socket, kept in a state file
// from one run to the next.
#include "DoorsimProcess.h"
#include "SimSite.h"

#include "../platform/PcZone.h"

#include "runtime/RuntimeError.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtEndian>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Doorsim : ::testing::Test {
    ui::ScriptedUi ui;
    QTemporaryDir dir;
    QString socket, state;
    pid_t pid = 0;

    void SetUp() override
    {
        ui.useRealClock(true);
        socket = dir.filePath(QStringLiteral("line.sock"));
        state = dir.filePath(QStringLiteral("state.json"));
        QFile conf(dir.filePath(QStringLiteral("serialports.conf")));
        ASSERT_TRUE(conf.open(QIODevice::WriteOnly));
        conf.write("1=sim:" + socket.toLocal8Bit() + "\n");
    }
    void TearDown() override { stop(); }

    void start(QStringList extra = {}, const QString& errFile = QString())
    {
        extra << QStringLiteral("--state") << state;
        pid = startDoorsim(extra, socket, errFile);
        ASSERT_GT(pid, 0);
    }
    void stop()
    {
        stopDoorsim(pid);
        pid = 0;
    }

    // One exchange like SimSite's, on a port of this folder.
    QByteArray exchange(serial::SerialPort& port, uint8_t address, const QByteArray& frame, int n)
    {
        port.clearInput();
        port.setSettings(QStringLiteral("19200,n,8,2"));
        if (!port.portOpen())
            port.setPortOpen(true);
        port.output(QByteArray(1, char(address)));
        port.drainOutput();
        port.setSettings(QStringLiteral("19200,s,8,1"));
        port.output(SimSite::withCheck(address, frame));
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (port.inBufferCount() < n && std::chrono::steady_clock::now() < deadline)
            port.waitForInput(100);
        port.setInputLen(n);
        return port.input();
    }

    QJsonObject stateFile()
    {
        QFile f(state);
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QJsonDocument::fromJson(f.readAll()).object();
    }
};

const QByteArray kCard = QByteArray::fromHex("1403" "00BC614E" "00001234" "C0" "FE" "991231" "0001" "0001");
const QByteArray kFind = QByteArray::fromHex("071D00BC614E");

TEST_F(Doorsim, CardsSentInOneRunAreThereInTheNext)
{
    start({QStringLiteral("--add"), QStringLiteral("1"), QStringLiteral("--add"), QStringLiteral("2:5")});
    auto port = serial::createSerialPort(dir.path());
    port->setCommPort(1);
    const QByteArray r = exchange(*port, 1, kCard, 6);
    ASSERT_EQ(r.size(), 6);
    EXPECT_EQ(uint8_t(r[0]), 1);
    EXPECT_EQ(uint8_t(r[2]), 0x03);
    EXPECT_EQ(exchange(*port, 2, QByteArray::fromHex("0310"), 131).mid(50, 4), QByteArray::fromHex("00000000"));
    port->setPortOpen(false);
    stop();

    const QJsonArray controllers = stateFile().value(QStringLiteral("controllers")).toArray();
    ASSERT_EQ(controllers.size(), 2);
    EXPECT_EQ(controllers[0].toObject().value(QStringLiteral("cards")).toArray().size(), 1);
    EXPECT_EQ(controllers[1].toObject().value(QStringLiteral("capacity")).toInt(), 5);

    start();
    const QByteArray f = exchange(*port, 1, kFind, 21);
    ASSERT_EQ(f.size(), 21);
    EXPECT_EQ(f.mid(3, 17), kCard.mid(2, 17));
}

// What the controllers take over the line reaches the file while the
// simulator runs, and at a hang-up.
TEST_F(Doorsim, ChangesOverTheLineAreSavedSoonAndAtAHangUp)
{
    start({QStringLiteral("--add"), QStringLiteral("1")});
    auto port = serial::createSerialPort(dir.path());
    const auto send = [&](uint32_t card) {
        QByteArray frame = kCard;
        qToBigEndian(card, frame.data() + 2);
        ASSERT_EQ(exchange(*port, 1, frame, 6).size(), 6) << card;
    };
    const auto inFile = [&](uint32_t card) {
        sim::Line kept;
        return kept.load(state) && kept.controller(1) && kept.controller(1)->findCard(card);
    };

    send(1);   // a lone change: saved within about a second, without a stop
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (!inFile(1) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_TRUE(inFile(1)) << "a lone change is not saved while doorsim runs";

    // A steady stream, a change every 0.3 s: its first card is saved before
    // it ends, not put off by every change after it.
    for (uint32_t card = 2; card <= 9; ++card) {
        if (card > 2)
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
        send(card);
    }
    EXPECT_TRUE(inFile(2)) << "a stream of changes puts the save off";

    for (uint32_t card : {10, 11, 12})
        send(card);
    port->setPortOpen(false);
    EXPECT_EQ(stopDoorsim(pid, SIGHUP), 0);
    pid = 0;
    for (uint32_t card = 1; card <= 12; ++card)
        EXPECT_TRUE(inFile(card)) << "card " << card << " lost at the hang-up";
}

// A stop ends the simulator at once with its save and takes its sockets away,
// at any moment: the instant its socket appears, while a port sends without
// reading the replies, and while one sends without a pause.
TEST_F(Doorsim, AStopEndsItAtOnceWhateverThePortDoes)
{
    ASSERT_EQ(run({"--state", state, "--add", "1", "--setup-only"}, true), 0);
    // Its exit status within 3 s (a stop takes a few milliseconds), else -1 and it is killed.
    const auto gone = [&](int pid) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        int status = 0;
        while (waitpid(pid, &status, WNOHANG) != pid) {
            if (std::chrono::steady_clock::now() > deadline) {
                kill(pid, SIGKILL);
                waitpid(pid, &status, 0);
                return -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    const QStringList sockets{socket, socket + ".ctl", socket + ".ctl.new", socket + ".new"};
    for (int attempt = 0; attempt < 20; ++attempt) {
        SCOPED_TRACE(attempt);
        const int p = run({"--state", state, socket}, false);
        ASSERT_GT(p, 0);
        while (!QFile::exists(socket) && waitpid(p, nullptr, WNOHANG) == 0)
            std::this_thread::yield();
        kill(p, SIGTERM);
        EXPECT_EQ(gone(p), 0);
        for (const QString& s : sockets)
            EXPECT_FALSE(QFile::exists(s)) << s.toStdString();
    }

    QByteArray request;   // kCard to controller 1, as the port puts it on the wire
    request.append(char(1)).append(char(1));
    for (char c : SimSite::withCheck(1, kCard))
        request.append(char(0)).append(c);
    const QByteArray many = request.repeated(1000);
    for (const bool reading : {false, true}) {
        SCOPED_TRACE(reading ? "a port that sends and reads without a pause" : "a port that never reads");
        start();
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::strncpy(addr.sun_path, QFile::encodeName(socket).constData(), sizeof addr.sun_path - 1);
        ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
        std::atomic<bool> done{false};
        std::atomic<int> sent{0};
        // Never reading, until the simulator takes no more; or without a
        // pause, reading what comes, until the simulator is gone.
        std::thread port([&] {
            char buf[4096];
            pollfd out{fd, POLLOUT, 0};
            while (!done && sent < 1'000'000 && ::poll(&out, 1, reading ? 100 : 500) > 0) {
                const QByteArray& batch = reading ? many : request;
                sent += ::send(fd, batch.constData(), size_t(batch.size()), MSG_DONTWAIT | MSG_NOSIGNAL) > 0;
                while (reading && ::recv(fd, buf, sizeof buf, MSG_DONTWAIT) > 0) {
                }
            }
        });
        if (reading)
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
        else
            port.join();
        kill(pid, SIGTERM);
        EXPECT_EQ(gone(pid), 0) << "after " << sent << " sends";
        pid = 0;
        done = true;
        if (port.joinable())
            port.join();
        ::close(fd);
        sim::Line kept;
        ASSERT_TRUE(kept.load(state));
        EXPECT_TRUE(kept.controller(1)->findCard(qFromBigEndian<uint32_t>(kCard.constData() + 2)));
    }
}

TEST_F(Doorsim, SecondPortIsRefusedWhileTheLineIsHeld)
{
    start({QStringLiteral("--add"), QStringLiteral("1")});
    auto first = serial::createSerialPort(dir.path());
    auto second = serial::createSerialPort(dir.path());
    first->setPortOpen(true);
    try {
        second->setPortOpen(true);
        FAIL() << "line shared";
    } catch (const rt::Error& e) {
        EXPECT_EQ(e.number(), rt::ErrPortOpen);
    }
    first->setPortOpen(false);
    // The simulator notices the hang-up soon, later on a loaded machine.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!second->portOpen() && std::chrono::steady_clock::now() < deadline) {
        try {
            second->setPortOpen(true);
        } catch (const rt::Error&) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    EXPECT_EQ(exchange(*second, 1, QByteArray::fromHex("0310"), 131).size(), 131);
}

TEST_F(Doorsim, PunchesFromTheCommandLine)
{
    // A controller's times have no zone: the hour a PC in Berlin skips is kept.
    const PcZone berlin("Europe/Berlin");
    EXPECT_EQ(run({QStringLiteral("--state"), state, QStringLiteral("--add"), QStringLiteral("3"),
                   QStringLiteral("--punch"), QStringLiteral("3,1193046,2026-03-23 08:15:30,0A,02"),
                   QStringLiteral("--punch"), QStringLiteral("3,42,2026-03-23 17:31:00"),
                   QStringLiteral("--punch"), QStringLiteral("3,7,2026-03-29 02:30:00"),
                   QStringLiteral("--setup-only")},
                  true),
              0);
    EXPECT_FALSE(QFile::exists(socket));
    start();
    auto port = serial::createSerialPort(dir.path());
    EXPECT_EQ(exchange(*port, 3, QByteArray::fromHex("0310"), 131).mid(52, 2), QByteArray::fromHex("0003"));
    const QByteArray r = exchange(*port, 3, QByteArray::fromHex("05050000"), 240);
    ASSERT_EQ(r.size(), 240);
    EXPECT_EQ(r.mid(3, 12), QByteArray::fromHex("00123456" "260323081530" "0A02"));
    EXPECT_EQ(r.mid(16 + 3, 12), QByteArray::fromHex("0000002A" "260323173100" "0A00"));
    EXPECT_EQ(r.mid(32 + 3, 12), QByteArray::fromHex("00000007" "260329023000" "0A00"));
}

TEST_F(Doorsim, BadArgumentsAreRefused)
{
    EXPECT_EQ(run({QStringLiteral("--add"), QStringLiteral("300"), socket}, true), 2);
    EXPECT_EQ(run({QStringLiteral("--state"), state, QStringLiteral("--punch"), QStringLiteral("1,5,yesterday"), socket}, true), 2);
    EXPECT_EQ(run({QStringLiteral("--bogus"), socket}, true), 2);
    EXPECT_EQ(run({}, true), 2);
    for (const char* help : {"--help", "-h"}) {
        QByteArray out, err;
        EXPECT_EQ(runPrinting({help}, out, err), 0) << help;
        EXPECT_TRUE(out.startsWith("usage: doorsim")) << help;
        EXPECT_EQ(err, QByteArray()) << help;
    }
    for (const char* bad : {"--delays=1,3,5", "--delays=1,3,5,256", "--delays=,3,5,0", "--doors=1,3", "--doors=256,2"}) {
        const QStringList option = QString::fromLatin1(bad).split('=');
        EXPECT_EQ(run({option[0], option[1], socket}, true), 2) << bad;
    }
    // A bad punch names the part that is wrong.
    const std::pair<const char*, const char*> punches[] = {
        {"1,5,2026-01-05 08:00:00,10B,1", R"(the type "10B" is not one byte in hex (00-FF))"},
        {"1,5,2026-01-05 08:00:00,0A,181", R"(the code "181" is not one byte in hex (00-FF))"},
        {"1,5,2026-02-30 08:00:00", R"(the time "2026-02-30 08:00:00" is no date and time YYYY-MM-DD HH:MM:SS)"},
        {"1,5,2026-01-05 08:00:00,0A", "4 fields, not 3 or 5 (ADDR,CARD,YYYY-MM-DD HH:MM:SS[,TYPE,CODE])"},
        {"256,5,2026-01-05 08:00:00", R"(the address "256" is not a whole number 0-255)"},
        {"1,4294967296,2026-01-05 08:00:00", R"(the card "4294967296" is not a whole number 0-4294967295)"},
    };
    for (const auto& [punch, why] : punches) {
        QByteArray out, err;
        EXPECT_EQ(runPrinting({"--punch", punch, socket}, out, err), 2) << punch;
        EXPECT_EQ(err.left(err.indexOf('\n')).toStdString(), std::string("doorsim: bad --punch: ") + why) << punch;
    }

    // No simulator serves the socket, and the state file it falls back to
    // is not there: said so, and no file is left behind.
    QTemporaryDir empty;
    const QString nobody = empty.filePath("doorsim.sock");
    const QList<QStringList> unserved = {{"--present", "1,1310721", nobody},
                                         {"--add", "3", nobody},
                                         {"--state", empty.filePath("missing.json"), "--present", "1,1310721", nobody}};
    for (const QStringList& args : unserved) {
        EXPECT_EQ(run(args, true), 1) << args.join(' ').toStdString();
        EXPECT_TRUE(QDir(empty.path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot))
            << args.join(' ').toStdString();
    }
}

TEST_F(Doorsim, DamagedStateFileIsNotOverwritten)
{
    const auto refused = [&](const QString& why) {
        QByteArray out, err;
        EXPECT_EQ(runPrinting({"--state", state, "--add", "1", "--setup-only"}, out, err), 1) << why.toStdString();
        EXPECT_TRUE(err.contains(state.toUtf8() + ": " + why.toUtf8() + "; it is left as it is")) << err.data();
    };
    const auto one = [](const char* fields) { return QStringLiteral(R"({"controllers": [{"address": 1, %1}]})").arg(fields); };
    const auto bad = [](const char* field) { return QStringLiteral("a bad value in \"%1\"").arg(field); };
    const auto twice = [](const char* key) { return QStringLiteral("the key \"%1\" is given twice in one object").arg(key); };
    const QList<std::pair<QString, QString>> files = {
        {"{ not json", "unterminated object at offset 3"},
        {"[]", "it holds no JSON object"},
        {one(R"("punches": [{"card": -1, "time": "2026-03-23 08:15:30"}])"), bad("card")},
        {one(R"("punches": [{"card": 1, "time": "2026-03-23 08:15:30x"}])"), bad("time")},
        {one(R"("punches": [{"card": 1, "time": "2026-03-23", "reserved": [0, 1, 2]}])"), bad("reserved")},
        {one(R"("lastCard": 5e9)"), bad("lastCard")},
        {one(R"("clockOffsetMs": 1e300)"), bad("clockOffsetMs")},
        {one(R"("readerCode": 256)"), bad("readerCode")},
        {one(R"("capacity": 10.5)"), bad("capacity")},
        {one(R"("capacity": "10")"), bad("capacity")},
        {one(R"("punches": [{"card": 1}])"), bad("time")},
        {one(R"("deleted": 2147483648)"), bad("deleted")},
        {R"({"controllers": [], "lineSpeed": "yes"})", bad("lineSpeed")},
        {R"({"controllers": [{"capacity": 10}]})", bad("address")},
        // A second controller at one address would replace the first, cards and all.
        {one(R"("cards": ["0012D6871234567880FE99123100010001"]}, {"address": 1)"), bad("address")},
        {one(R"("cards": ["0012D68712345678"])"), bad("cards")},
        {one(R"("timeGroups": ["0800173"])"), bad("timeGroups")},
        {one(R"("timeGroups": ["0800173Z"])"), bad("timeGroups")},
        // The JSON reader keeps the last of two equal keys: the first would be lost.
        {R"({"controllers": [{"address": 1, "cards": ["0012D6871234567880FE99123100010001"]}], "controllers": []})",
         twice("controllers")},
        {one(R"("capacity": "x", "c\u0061pacity": 5)"), twice("capacity")},
        {one(R"("version": "80960901150501")"), bad("version")},
        // Lists that are none, or too long.
        {R"({"controllers": {"address": 1}})", bad("controllers")},
        {R"({"controllers": [5]})", bad("controllers")},
        {one(R"("punches": 5)"), bad("punches")},
        {one(R"("punches": [5])"), bad("punches")},
        {one(R"("cards": "0012D6871234567880FE99123100010001")"), bad("cards")},
        {one(R"("timeGroups": {})"), bad("timeGroups")},
        {one(R"("delays": "3,5,0")"), bad("delays")},
        {one(R"("delays": [3, 5, 0, 1])"), bad("delays")},
    };
    for (const auto& [damaged, why] : files) {
        QFile f(state);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(damaged.toUtf8());
        f.close();
        refused(why);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), damaged.toUtf8()) << why.toStdString();
    }
    if (::geteuid() != 0) { // root reads every file
        ASSERT_TRUE(QFile::setPermissions(state, {}));
        refused(QStringLiteral("Permission denied"));
    }
    ASSERT_TRUE(QFile::remove(state));
    ASSERT_TRUE(QDir().mkdir(state));
    refused(QStringLiteral("it is a folder"));
    ASSERT_TRUE(QDir().rmdir(state));
    ASSERT_EQ(::mkfifo(QFile::encodeName(state).constData(), 0644), 0);   // reading it would wait for a writer
    refused(QStringLiteral("it is not a regular file"));

    // A link to a regular file is read and written as that file.
    ASSERT_TRUE(QFile::remove(state));
    ASSERT_EQ(run({"--state", dir.filePath("target.json"), "--add", "1", "--setup-only"}, true), 0);
    ASSERT_TRUE(QFile::link(dir.filePath("target.json"), state));
    EXPECT_EQ(run({"--state", state, "--add", "2", "--setup-only"}, true), 0);
    EXPECT_TRUE(QFileInfo(state).isSymLink());
    sim::Line linked;
    ASSERT_TRUE(linked.load(dir.filePath("target.json")));
    EXPECT_NE(linked.controller(2), nullptr);
}

// A change that cannot be stored is answered with the system's reason, said
// once by the simulator for each run of failures, kept in it, and stored with
// the next change that can be.
TEST_F(Doorsim, ASaveThatFailsIsSaid)
{
    const QString folder = dir.filePath(QStringLiteral("kept"));
    const QString err = dir.filePath(QStringLiteral("doorsim.err"));
    ASSERT_TRUE(QDir().mkdir(folder));
    state = folder + QStringLiteral("/state.json");
    const QByteArray failed = "cannot write the state file " + state.toUtf8() + ": No such file or directory\n";
    // The change is held all the same: a script must not send it again.
    const QByteArray held = "doorsim: the running simulator holds the change, but " + failed;
    start({QStringLiteral("--add"), QStringLiteral("1")}, err);
    ASSERT_TRUE(QDir(folder).removeRecursively());
    for (const char* card : {"1,5,00000001", "1,6,00000002"}) {
        QByteArray out, why;
        EXPECT_EQ(runPrinting({"--card", card, socket}, out, why), 1);
        EXPECT_EQ(why.toStdString(), held.toStdString());
    }
    ASSERT_TRUE(QDir().mkdir(folder));
    EXPECT_EQ(run({"--add", "2", socket}, true), 0);
    sim::Line kept;   // stored before the answer
    ASSERT_TRUE(kept.load(state));
    ASSERT_NE(kept.controller(2), nullptr);
    EXPECT_EQ(kept.controller(1)->cardSlots().size(), 2u);
    ASSERT_TRUE(QDir(folder).removeRecursively());
    EXPECT_EQ(run({"--add", "3", socket}, true), 1);
    EXPECT_EQ(stopDoorsim(pid), 1) << "the last save failed";
    pid = 0;
    QFile said(err);
    ASSERT_TRUE(said.open(QIODevice::ReadOnly));
    EXPECT_EQ(said.readAll(), "doorsim: " + failed + "doorsim: " + failed) << "once for each of the two runs of failures";

    QByteArray out, why;
    EXPECT_EQ(runPrinting({"--state", state, "--add", "1", "--setup-only"}, out, why), 1);
    EXPECT_EQ(why, "doorsim: " + failed);

    // A save cut short by a size limit leaves the file as it was.
    ASSERT_TRUE(QDir().mkdir(folder));
    QStringList many{"--state", state, "--setup-only"};
    for (int a = 1; a <= 20; ++a)
        many << "--add" << QString::number(a);
    ASSERT_EQ(run(many, true), 0);
    QFile f(state);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray before = f.readAll();
    f.close();
    ASSERT_GT(before.size(), 4096);
    const auto limited = [] {
        const rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    };
    EXPECT_EQ(runPrinting({"--state", state, "--add", "21", "--setup-only"}, out, why, limited), 1);
    EXPECT_EQ(why.toStdString(), "doorsim: cannot write the state file " + state.toStdString() + ": File too large\n");
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), before);
}

TEST_F(Doorsim, SecondSimulatorOnTheSameStateFileIsRefused)
{
    start({QStringLiteral("--add"), QStringLiteral("1")});
    QFile f(state);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray before = f.readAll();
    f.close();
    const QString other = dir.filePath(QStringLiteral("other.sock"));
    // Serving, and changing the file with the options alone: both refused.
    EXPECT_EQ(run({QStringLiteral("--state"), state, other}, true), 3);
    EXPECT_EQ(run({QStringLiteral("--state"), state, QStringLiteral("--add"), QStringLiteral("9"),
                   QStringLiteral("--setup-only")},
                  true),
              3);
    EXPECT_FALSE(QFile::exists(other));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), before);
    f.close();
    stop();
    const int again = startDoorsim({QStringLiteral("--state"), state}, other);
    EXPECT_GT(again, 0) << "free once the first one ended";
    stopDoorsim(again);
}

TEST_F(Doorsim, CardPlacedAtTheReaderFromTheCommandLine)
{
    const QByteArray readCard = QByteArray::fromHex("030B");
    start({QStringLiteral("--add"), QStringLiteral("1"), QStringLiteral("--add"), QStringLiteral("2")});
    auto port = serial::createSerialPort(dir.path());
    EXPECT_EQ(uint8_t(exchange(*port, 2, readCard, 8)[2]), 0x00) << "no card yet";

    // To the running simulator, which answers with the card at once.
    EXPECT_EQ(run({QStringLiteral("--present"), QStringLiteral("2,1310721"), socket}, true), 0);
    QByteArray r = exchange(*port, 2, readCard, 8);
    ASSERT_EQ(r.size(), 8);
    EXPECT_EQ(uint8_t(r[2]), 0x04);
    EXPECT_EQ(r.mid(3, 4), QByteArray::fromHex("00140001"));
    EXPECT_EQ(uint8_t(exchange(*port, 1, readCard, 8)[2]), 0x00) << "the other reader stays empty";
    EXPECT_EQ(run({QStringLiteral("--present"), QStringLiteral("7,5"), socket}, true), 1);
    EXPECT_EQ(run({QStringLiteral("--present"), QStringLiteral("2"), socket}, true), 2);
    port->setPortOpen(false);
    stop();

    // Without a running simulator the card goes into the state file.
    EXPECT_EQ(run({QStringLiteral("--state"), state, QStringLiteral("--present"), QStringLiteral("1,42"),
                   QStringLiteral("--setup-only")},
                  true),
              0);
    start();
    r = exchange(*port, 1, readCard, 8);
    EXPECT_EQ(r.mid(3, 4), QByteArray::fromHex("0000002A"));
}

TEST_F(Doorsim, TheRunningSimulatorTakesControllersCardsPunchesAndSwipes)
{
    start({QStringLiteral("--add"), QStringLiteral("1")});
    const auto opt = [&](const char* option, const char* value) {
        return run({QString::fromLatin1(option), QString::fromUtf8(value), socket}, true);
    };
    // Options a second doorsim hands to the one that holds the state file.
    EXPECT_EQ(opt("--add", "3:50"), 0);
    EXPECT_EQ(opt("--card", "3,1310721,00000007"), 0);
    EXPECT_EQ(opt("--punch", "3,42,2026-03-23 17:31:00"), 0);
    EXPECT_EQ(opt("--punch", "9,42,2026-03-23 17:31:00"), 1) << "no controller at 9";
    auto port = serial::createSerialPort(dir.path());
    ASSERT_EQ(exchange(*port, 3, QByteArray::fromHex("0509C8C800"), 4).size(), 4);   // locks open 60 s

    EXPECT_EQ(opt("--present", "3,1310721"), 0);
    EXPECT_EQ(exchange(*port, 3, QByteArray::fromHex("0318"), 10).mid(3, 6), QByteArray::fromHex("00140001" "10" "01"));
    EXPECT_EQ(opt("--doors", "3,2"), 0);
    EXPECT_EQ(opt("--present", "3,1310721,2"), 0);   // two doors: reader 2 is lock 2's
    EXPECT_EQ(opt("--present", "3,99,2"), 0);   // not in the name list: seen, not let through
    EXPECT_EQ(exchange(*port, 3, QByteArray::fromHex("0310"), 131).mid(50, 4), QByteArray::fromHex("00010003"));
    const QByteArray r = exchange(*port, 3, QByteArray::fromHex("05050000"), 240);
    EXPECT_EQ(r.mid(16 + 3, 4), QByteArray::fromHex("00140001"));
    EXPECT_EQ(r.mid(16 + 13, 2), QByteArray::fromHex("0A01"));
    EXPECT_EQ(r.mid(32 + 13, 2), QByteArray::fromHex("0A03"));
    EXPECT_EQ(opt("--delays", "3,4,6,0"), 0);
    EXPECT_EQ(opt("--doors", "3,1"), 0);   // one door again; reader 2 stays the last one read
    port->setPortOpen(false);
    stop();

    sim::Line kept;
    ASSERT_TRUE(kept.load(state));
    ASSERT_NE(kept.controller(3), nullptr);
    EXPECT_EQ(kept.controller(3)->capacity(), 50);
    EXPECT_EQ(kept.controller(3)->punches().size(), 3u);
    EXPECT_EQ(kept.controller(3)->delays(), (std::array<uint8_t, 3>{4, 6, 0}));
    EXPECT_EQ(kept.controller(3)->lastCard(), std::optional<uint32_t>(99));
    EXPECT_EQ(kept.controller(3)->readerCode(), 3);
}

TEST_F(Doorsim, CardsStoredInANameListFromTheCommandLine)
{
    EXPECT_EQ(run({QStringLiteral("--state"), state, QStringLiteral("--add"), QStringLiteral("1"), QStringLiteral("--card"),
                   QStringLiteral("1,1310721,00000012"), QStringLiteral("--card"), QStringLiteral("1,1310721,00000012"),
                   QStringLiteral("--setup-only")},
                  true),
              0);
    sim::Line line;
    ASSERT_TRUE(line.load(state));
    ASSERT_EQ(line.controller(1)->cardSlots().size(), 1u) << "a card given twice is stored once";
    const sim::CardRecord r = line.controller(1)->cardSlots()[0];
    EXPECT_EQ(r.card, 1310721u);
    EXPECT_EQ(r.employee, 0x00000012u);
    EXPECT_EQ(r.flags, 0x80);

    // A door may be at address 0: every option reaches the controller there.
    ASSERT_EQ(run({"--state", state, "--add", "0", "--card", "0,5,00000001", "--punch", "0,6,2026-01-05 08:00:00",
                   "--present", "0,7", "--doors", "0,2", "--setup-only"},
                  true),
              0);
    ASSERT_TRUE(line.load(state));
    const sim::Controller* zero = line.controller(0);
    ASSERT_NE(zero, nullptr);
    EXPECT_TRUE(zero->findCard(5));
    ASSERT_EQ(zero->punches().size(), 1u);
    EXPECT_EQ(zero->punches()[0].card, 6u);
    EXPECT_EQ(zero->lastCard(), std::optional<uint32_t>(7));
    EXPECT_EQ(zero->readerCode() & 1, 0) << "two doors";

    for (const char* bad : {"2,5,00000001", "1,5", "1,5,123"})
        EXPECT_EQ(run({QStringLiteral("--state"), state, QStringLiteral("--card"), QString::fromLatin1(bad),
                       QStringLiteral("--setup-only")},
                      true),
                  2)
            << bad;
}

// The version a controller reports: the sample site's unless told otherwise,
// on the command line or in the state file.
TEST_F(Doorsim, ControllerVersionsFromTheCommandLineAndTheStateFile)
{
    const QByteArray sample = QByteArray::fromHex("8096100520050100");   // JQ8096 V5.1.0
    const struct {
        const char* add;
        int capacity;
        const char* version;
    } added[] = {
        {"1", 1000, "8096100520050100"},
        {"2:5:4.1.0", 5, "8096100520040100"},
        {"3::V3.2.0", 1000, "8096100520030200"},
        {"4:7", 7, "8096100520050100"},
        {"0", 1000, "8096100520050100"},   // the management program stores a door at address 0
    };
    QStringList args{QStringLiteral("--state"), state, QStringLiteral("--setup-only")};
    for (const auto& a : added)
        args << QStringLiteral("--add") << QString::fromLatin1(a.add);
    ASSERT_EQ(run(args, true), 0);
    sim::Line line;
    ASSERT_TRUE(line.load(state));
    for (const auto& a : added) {
        SCOPED_TRACE(a.add);
        const sim::Controller* c = line.controller(QString::fromLatin1(a.add).section(':', 0, 0).toInt());
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(c->capacity(), a.capacity);
        EXPECT_EQ(c->version().toHex(), QByteArray(a.version).toLower());
    }
    for (const char* bad : {"5:10:5.1", "5::x", "5:10:5.1.100", "5:10:5.1.0:1"})
        EXPECT_EQ(run({QStringLiteral("--state"), state, QStringLiteral("--add"), QString::fromLatin1(bad),
                       QStringLiteral("--setup-only")},
                      true),
                  2)
            << bad;

    // State files: a version kept, none given, and the one every controller
    // was saved with before versions could be chosen.
    const struct {
        const char* stored;   // nullptr: no field
        QByteArray reported;
    } kept[] = {
        {"8096090115050102", QByteArray::fromHex("8096090115050102")},
        {nullptr, sample},
        {"8096080827010204", sample},
    };
    for (const auto& k : kept) {
        SCOPED_TRACE(k.stored ? k.stored : "no field");
        QJsonObject controller{{QStringLiteral("address"), 9}};
        if (k.stored)
            controller.insert(QStringLiteral("version"), QString::fromLatin1(k.stored));
        QFile f(state);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(QJsonDocument(QJsonObject{{QStringLiteral("controllers"), QJsonArray{controller}}}).toJson());
        f.close();
        start();
        auto port = serial::createSerialPort(dir.path());
        EXPECT_EQ(exchange(*port, 9, QByteArray::fromHex("0380"), 12).mid(3, 8).toHex(), k.reported.toHex());
        // A controller added to the running simulator, as the README's tour does.
        EXPECT_EQ(run({QStringLiteral("--add"), QStringLiteral("3"), socket}, true), 0);
        EXPECT_EQ(exchange(*port, 3, QByteArray::fromHex("0380"), 12).mid(3, 8).toHex(), sample.toHex());
        EXPECT_EQ(run({QStringLiteral("--add"), QStringLiteral("3::4.1.0"), socket}, true), 0);
        EXPECT_EQ(exchange(*port, 3, QByteArray::fromHex("0380"), 12).mid(3, 8).toHex(), "8096100520040100");
        port->setPortOpen(false);
        stop();
    }
}

} // namespace
