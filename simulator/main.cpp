// doorsim: virtual 8096 controllers served on a local socket as a simulated
// controller line (the port "sim:/path/socket" of serialports.conf). The
// controllers live in a state file: a change served over the line is saved
// within a second, one from the control socket before it is answered. A second
// socket beside it ("SOCKET.ctl") takes the options that change controllers
// while the simulator runs, so that a second doorsim can hand them over.
#include "Line.h"

#include <QDateTime>
#include <QFileInfo>
#include <QString>
#include <QStringList>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <poll.h>
#include <sys/file.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

#include "runtime/Conv.h"
#include "ui/Ui.h"

namespace {

// Asked for (why nullptr): on standard output, exit 0; else after why on
// standard error, exit 2.
int usage(const char* why)
{
    FILE* to = why ? stderr : stdout;
    if (why)
        std::fprintf(stderr, "doorsim: %s\n", why);
    std::fprintf(to,
                 "usage: doorsim [options] SOCKET\n"
                 "  --state FILE     state file (default SOCKET.json)\n"
                 "  --add ADDR[:CAPACITY[:VERSION]]\n"
                 "                   a controller at ADDR (0-255), name list of CAPACITY cards\n"
                 "                   (default 1000), reporting VERSION (default %s, as the\n"
                 "                   sample site is set to), for instance --add 3::4.1.0\n"
                 "  --punch ADDR,CARD,YYYY-MM-DD HH:MM:SS[,TYPE,CODE]\n"
                 "                   a stored punch; TYPE and CODE in hex (default 0A,00)\n"
                 "  --card ADDR,CARD,EMPLOYEE\n"
                 "                   a card in the name list of the controller at ADDR, lock 1,\n"
                 "                   every day, no end date; EMPLOYEE is the 8-digit number\n"
                 "  --delays ADDR,LOCK1,LOCK2,RELAY\n"
                 "                   the opening delays of lock 1, lock 2 and the external\n"
                 "                   relay, in units of 0.3 s (0-255; a new controller: 10,10,10);\n"
                 "                   an empty one stays as it is\n"
                 "  --doors ADDR,1|2  1: one door, reader 2 its exit reader (a new controller);\n"
                 "                   2: two doors, reader 2 booking and opening lock 2\n"
                 "  --present ADDR,CARD[,READER]\n"
                 "                   a card held at reader 1 (default) or 2 of the controller at\n"
                 "                   ADDR: the reader reports it, and a card in the name list\n"
                 "                   records a punch and opens that reader's lock for its delay\n"
                 "  --line-speed     characters take their time at 19200 baud\n"
                 "  --setup-only     apply the options to the state file and exit\n"
                 "  -h, --help       this text\n"
                 "--add, --delays, --doors, --punch, --card and --present go to the simulator\n"
                 "serving SOCKET when one runs, otherwise into the state file (which must\n"
                 "exist unless --state names it).\n",
                 sim::Controller::kDefaultVersion);
    return why ? 2 : 0;
}

// A local socket's address; false when the path is too long for one.
bool unixAddress(const QByteArray& path, sockaddr_un& addr)
{
    addr = sockaddr_un{};
    addr.sun_family = AF_UNIX;
    if (size_t(path.size()) >= sizeof(addr.sun_path))
        return false;
    std::memcpy(addr.sun_path, path.constData(), size_t(path.size()));
    return true;
}

// Exit status when another simulator holds the state file.
constexpr int kStateInUse = 3;

// Changes served over the line are saved together this long after the first
// of them, which leaves the save time to store each within a second: a
// re-sent name list would otherwise rewrite the file for every card.
constexpr int64_t kSaveAfterMs = 800;

// Every address the line's address byte carries; a door may be at address 0.
constexpr std::pair<int, int> kAddresses{0, 255};
bool isAddress(int a) { return a >= kAddresses.first && a <= kAddresses.second; }

QByteArray lockPath(const QString& statePath) { return QFileInfo(statePath).absoluteFilePath().toLocal8Bit() + ".lock"; }

// One simulator per state file: a second one would overwrite the cards
// issued through the first. The lock lives as long as the process.
bool lockState(const QString& statePath)
{
    const int fd = ::open(lockPath(statePath).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return true; // a folder that takes no lock file: nothing to guard with
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
        return true;
    ::close(fd);
    return false;
}

// What is wrong with an address or card field, empty when nothing is.
QString badAddress(const QString& field, int& address)
{
    bool ok = false;
    address = field.trimmed().toInt(&ok);
    if (ok && isAddress(address))
        return QString();
    return QStringLiteral("the address \"%1\" is not a whole number %2-%3")
        .arg(field.trimmed(), QString::number(kAddresses.first), QString::number(kAddresses.second));
}

QString badCard(const QString& field, uint32_t& card)
{
    bool ok = false;
    card = field.trimmed().toUInt(&ok);
    return ok ? QString() : QStringLiteral("the card \"%1\" is not a whole number 0-4294967295").arg(field.trimmed());
}

bool parsePresent(const QString& text, int& address, uint32_t& card, int& reader)
{
    const QStringList f = text.split(QLatin1Char(','));
    bool ok = true;
    if (f.size() != 2 && f.size() != 3)
        return false;
    reader = f.size() == 3 ? f[2].trimmed().toInt(&ok) : 1;
    return badAddress(f[0], address).isEmpty() && badCard(f[1], card).isEmpty() && ok && (reader == 1 || reader == 2);
}

// Whole numbers separated by commas, each within its range; with blanks,
// an empty one after the first reads as -1.
bool parseNumbers(const QString& text, std::initializer_list<std::pair<int, int>> ranges, std::vector<int>& out,
                  bool blanks = false)
{
    const QStringList f = text.split(QLatin1Char(','));
    if (f.size() != int(ranges.size()))
        return false;
    out.clear();
    for (const auto& [low, high] : ranges) {
        const QString field = f[int(out.size())].trimmed();
        if (blanks && !out.empty() && field.isEmpty()) {
            out.push_back(-1);
            continue;
        }
        bool ok = false;
        const int n = field.toInt(&ok);
        if (!ok || n < low || n > high)
            return false;
        out.push_back(n);
    }
    return true;
}

// "ADDR,CARD,EMPLOYEE": a name-list entry that opens lock 1 at any time.
bool parseCard(const QString& text, int& address, sim::CardRecord& r)
{
    const QStringList f = text.split(QLatin1Char(','));
    bool ok = false;
    if (f.size() != 3 || f[2].trimmed().size() != 8)
        return false;
    r = sim::CardRecord{};
    r.employee = f[2].trimmed().toUInt(&ok, 16);   // its hex digits are the employee number
    r.flags = 0x80;
    r.weekdays = 0xFE;
    r.endDate = 0x991231;
    r.groups1 = r.groups2 = 0x0001;
    return badAddress(f[0], address).isEmpty() && badCard(f[1], r.card).isEmpty() && ok;
}

// What is wrong with the punch, empty when nothing is.
QString parsePunch(const QString& text, int& address, sim::PunchRecord& p)
{
    const QStringList f = text.split(QLatin1Char(','));
    if (f.size() != 3 && f.size() != 5)
        return QStringLiteral("%1 fields, not 3 or 5 (ADDR,CARD,YYYY-MM-DD HH:MM:SS[,TYPE,CODE])").arg(f.size());
    QString why = badAddress(f[0], address);
    if (why.isEmpty())
        why = badCard(f[1], p.card);
    if (!why.isEmpty())
        return why;
    p.time = rt::parseIsoDateTime(f[2]);
    if (!p.time.isValid())
        return QStringLiteral("the time \"%1\" is no date and time YYYY-MM-DD HH:MM:SS").arg(f[2].trimmed());
    const std::pair<const char*, uint8_t*> bytes[] = {{"type", &p.openType}, {"code", &p.code}};
    for (int i = 3; i < f.size(); ++i) {
        bool ok = false;
        const uint byte = f[i].trimmed().toUInt(&ok, 16);
        if (!ok || byte > 0xFF)   // one byte each, as stored
            return QStringLiteral("the %1 \"%2\" is not one byte in hex (00-FF)")
                .arg(QLatin1String(bytes[i - 3].first), f[i].trimmed());
        *bytes[i - 3].second = uint8_t(byte);
    }
    return QString();
}

// "ADDR[:CAPACITY[:VERSION]]"; an empty CAPACITY before a VERSION keeps the
// default size. version stays empty when none is given.
bool parseAdd(const QString& text, int& address, int& capacity, bool& sized, QByteArray& version)
{
    const QStringList f = text.split(QLatin1Char(':'));
    bool ok = true;
    sized = f.size() > 1 && !(f.size() == 3 && f[1].trimmed().isEmpty());
    capacity = sized ? f[1].trimmed().toInt(&ok) : 1000;
    version = f.size() == 3 ? sim::Controller::versionBytes(f[2]) : QByteArray();
    return badAddress(f[0], address).isEmpty() && ok && f.size() <= 3 && (f.size() < 3 || !version.isEmpty())
           && capacity >= 0;
}

// The options that change the controllers, in the order they are applied:
// controllers first, then what goes into them.
const char* const kKinds[] = {"add", "delays", "doors", "punch", "card", "present"};

int kindRank(const QString& kind)
{
    for (int i = 0; i < int(std::size(kKinds)); ++i)
        if (kind == QLatin1String(kKinds[i]))
            return i;
    return -1;
}

// Applies one option (its kind and its text as on the command line) to the
// controllers, or only checks its text when line is nullptr. The empty text
// when done, else why not. The same code serves the state file and a running
// simulator's control socket.
QString apply(sim::Line* line, const QString& kind, const QString& text)
{
    int address = 0, capacity = 0, reader = 1;
    bool sized = false;
    uint32_t card = 0;
    QByteArray version;
    sim::PunchRecord p;
    sim::CardRecord r;
    std::vector<int> n;
    QString bad;   // what is wrong, where the option says
    const bool ok = kind == QLatin1String("add")       ? parseAdd(text, address, capacity, sized, version)
                  : kind == QLatin1String("delays")  ? parseNumbers(text, {kAddresses, {0, 255}, {0, 255}, {0, 255}}, n, true)
                  : kind == QLatin1String("doors")   ? parseNumbers(text, {kAddresses, {1, 2}}, n)
                  : kind == QLatin1String("punch")   ? (bad = parsePunch(text, address, p)).isEmpty()
                  : kind == QLatin1String("card")    ? parseCard(text, address, r)
                  : kind == QLatin1String("present") ? parsePresent(text, address, card, reader)
                                                     : false;
    if (!ok)
        return kindRank(kind) < 0 ? QStringLiteral("bad request")
                                  : QStringLiteral("bad --") + kind + (bad.isEmpty() ? QString() : QStringLiteral(": ") + bad);
    if (!line)
        return QString();
    if (kind == QLatin1String("add")) {
        sim::Controller& c = line->add(uint8_t(address), capacity);
        // A controller kept from before gets the new size and version.
        if (sized && c.capacity() != capacity)
            c.setCapacity(capacity);
        if (!version.isEmpty() && c.version() != version)
            c.setVersion(version);
        return QString();
    }
    if (kind == QLatin1String("delays") || kind == QLatin1String("doors"))
        address = n[0];
    sim::Controller* c = line->controller(address);
    if (!c)
        return QStringLiteral("no controller at address %1").arg(address);
    if (kind == QLatin1String("delays")) {
        std::array<uint8_t, 3> d = c->delays();   // an empty field keeps its delay
        for (size_t i = 0; i < d.size(); ++i)
            if (n[i + 1] >= 0)
                d[i] = uint8_t(n[i + 1]);
        c->setDelays(d[0], d[1], d[2]);
    } else if (kind == QLatin1String("doors"))   // bit 0 of the reader byte: set for one door
        c->setReaderCode(uint8_t((c->readerCode() & ~1) | (n[1] == 1 ? 1 : 0)));
    else if (kind == QLatin1String("punch"))
        c->addPunch(p);
    else if (kind == QLatin1String("card") && !c->findCard(r.card) && !c->storeCard(r))
        return QStringLiteral("the name list of the controller at address %1 is full").arg(address);
    else if (kind == QLatin1String("present"))
        c->swipeCard(card, reader);
    return QString();
}

QString controlPath(const QString& socketPath) { return socketPath + QStringLiteral(".ctl"); }

// Sends one option ("KIND TEXT") to the simulator serving the socket. -1
// when none answers, else the exit status (its refusal printed).
int sendToRunning(const QString& socketPath, const QString& kind, const QString& text)
{
    sockaddr_un addr{};
    if (!unixAddress(QFileInfo(controlPath(socketPath)).absoluteFilePath().toLocal8Bit(), addr))
        return -1;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return -1;
    }
    const QByteArray request = kind.toUtf8() + ' ' + text.toUtf8() + '\n';
    ::send(fd, request.constData(), size_t(request.size()), MSG_NOSIGNAL);
    QByteArray answer;
    char buf[256];
    pollfd pfd{fd, POLLIN, 0};
    while (!answer.contains('\n') && ::poll(&pfd, 1, 5000) > 0) {
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0)
            break;
        answer.append(buf, n);
    }
    ::close(fd);
    if (answer.startsWith("ok"))
        return 0;
    if (answer.startsWith("error: "))
        answer.remove(0, 7);
    std::fprintf(stderr, "doorsim: %s", answer.isEmpty() ? "no answer from the running simulator\n" : answer.constData());
    return 1;
}

// One request on the control socket: "KIND TEXT", answered "ok" or "error:
// why". A change is stored (by store, empty when done) before the answer.
void serveControl(int fd, sim::Line& line, const std::function<QString()>& store)
{
    QByteArray request;
    char buf[256];
    pollfd pfd{fd, POLLIN, 0};
    // A second at most in all: the loop's stops wait meanwhile.
    const int64_t deadline = ui::monotonicMs() + 1000;
    while (!request.contains('\n') && request.size() < 512
           && ::poll(&pfd, 1, int(std::max<int64_t>(0, deadline - ui::monotonicMs()))) > 0) {
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0)
            break;
        request.append(buf, n);
    }
    const QString r = QString::fromUtf8(request.left(request.indexOf('\n'))).trimmed();
    const qsizetype space = r.indexOf(QLatin1Char(' '));
    QString why = space > 0 ? apply(&line, r.left(space), r.mid(space + 1)) : QStringLiteral("bad request");
    if (why.isEmpty())
        why = store();
    const QByteArray answer = why.isEmpty() ? QByteArray("ok\n") : "error: " + why.toUtf8() + '\n';
    ::send(fd, answer.constData(), size_t(answer.size()), MSG_NOSIGNAL | MSG_DONTWAIT);
    ::close(fd);
}

// The socket is bound under a passing name and renamed into place once it
// listens: whoever sees the name can connect at once.
int listenOn(const QString& path)
{
    const QByteArray p = QFileInfo(path).absoluteFilePath().toLocal8Bit();
    const QByteArray passing = p + ".new";
    sockaddr_un addr{};
    if (!unixAddress(passing, addr))
        return -1;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    ::unlink(passing.constData()); // left by an earlier run
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 4) != 0
        || ::rename(passing.constData(), p.constData()) != 0) {
        const int e = errno;
        ::unlink(passing.constData());
        ::close(fd);
        errno = e;
        return -1;
    }
    return fd;
}

// Sends what the socket takes without waiting and keeps the rest, so that a
// port that stops reading never holds the loop (and its stops) up. The rest
// is dropped when the port went away; the loop notices the hang-up.
void sendSome(int fd, QByteArray& unsent)
{
    qsizetype done = 0;
    while (done < unsent.size()) {
        const ssize_t n = ::send(fd, unsent.constData() + done, size_t(unsent.size() - done), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0)
            done += n;
        else if (n < 0 && errno == EINTR)
            continue;
        else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        else {
            done = unsent.size();
            break;
        }
    }
    unsent.remove(0, done);
}

// Replies a port has not taken yet; past this many its requests wait unread,
// as they would on a line whose far end is busy.
constexpr qsizetype kMaxUnsent = 64 * 1024;

} // namespace

int main(int argc, char** argv)
{
    QString socketPath, statePath;
    QList<QPair<QString, QString>> options; // kind, text
    bool lineSpeed = false, setupOnly = false;
    for (int i = 1; i < argc; ++i) {
        const QString a = QString::fromLocal8Bit(argv[i]);
        auto value = [&](QString& into) {
            if (i + 1 >= argc)
                return false;
            into = QString::fromLocal8Bit(argv[++i]);
            return true;
        };
        QString v;
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            return usage(nullptr);
        } else if (a.startsWith(QLatin1String("--")) && kindRank(a.mid(2)) >= 0) {
            if (!value(v))
                return usage(qPrintable(a + QStringLiteral(" needs a value")));
            const QString why = apply(nullptr, a.mid(2), v);
            if (!why.isEmpty())
                return usage(qPrintable(why));
            options.append({a.mid(2), v});
        } else if (a == QLatin1String("--state")) {
            if (!value(statePath))
                return usage("--state needs a file");
        } else if (a == QLatin1String("--line-speed")) {
            lineSpeed = true;
        } else if (a == QLatin1String("--setup-only")) {
            setupOnly = true;
        } else if (a.startsWith(QLatin1String("--"))) {
            return usage("unknown option");
        } else if (socketPath.isEmpty()) {
            socketPath = a;
        } else {
            return usage("one socket only");
        }
    }
    if (socketPath.isEmpty() && (statePath.isEmpty() || !setupOnly))
        return usage("no socket given");
    const bool stateNamed = !statePath.isEmpty();
    if (!stateNamed)
        statePath = socketPath + QStringLiteral(".json");
    std::stable_sort(options.begin(), options.end(),
                     [](const auto& x, const auto& y) { return kindRank(x.first) < kindRank(y.first); });

    // A simulator serving the socket holds the state file: it takes the
    // options itself, at once.
    if (!options.isEmpty() && !socketPath.isEmpty()) {
        int status = -1;
        for (const auto& [kind, text] : options) {
            const int s = sendToRunning(socketPath, kind, text);
            if (s < 0 && status < 0)
                break; // none runs: into the state file below
            status = s < 0 ? 1 : s;
            if (status != 0)
                break;
        }
        if (status >= 0)
            return status;
    }
    // Options for a simulator that does not run, and no state file to take
    // them instead: most likely the simulator was not started.
    const bool noneServes = !options.isEmpty() && !socketPath.isEmpty();
    const bool fresh = !QFileInfo::exists(statePath);
    const auto nothingThere = [&] {
        std::fprintf(stderr, "doorsim: no simulator serves %s, and the state file %s does not exist\n",
                     qPrintable(socketPath), qPrintable(statePath));
        return 1;
    };
    if (noneServes && fresh && !stateNamed)
        return nothingThere();

    // From here on the simulator owns the state file and then its sockets: a
    // stop at any moment ends it with a save and takes the sockets away. The
    // stops are blocked and read from a signal file that the loop waits on
    // with the sockets, so none is missed before a wait or put off by sockets
    // that are always ready. SIGHUP, as when the terminal that started it is
    // closed, saves like the others. A save past a file-size limit fails with
    // the system's reason and is tried again, instead of killing the simulator.
    sigset_t stops;
    sigemptyset(&stops);
    for (int s : {SIGTERM, SIGINT, SIGHUP})
        sigaddset(&stops, s);
    pthread_sigmask(SIG_BLOCK, &stops, nullptr);
    const int stopFd = ::signalfd(-1, &stops, SFD_CLOEXEC | SFD_NONBLOCK);
    if (stopFd < 0) {
        std::fprintf(stderr, "doorsim: cannot wait for stop signals: %s\n", std::strerror(errno));
        return 1;
    }
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);

    if (!lockState(statePath)) {
        std::fprintf(stderr, "doorsim: the state file %s is in use by another simulator; stop that one first\n",
                     qPrintable(statePath));
        return kStateInUse;
    }

    sim::Line line;
    QString unreadable;
    if (!fresh && !line.load(statePath, &unreadable)) {
        std::fprintf(stderr, "doorsim: cannot read the state file %s: %s; it is left as it is\n", qPrintable(statePath),
                     qPrintable(unreadable));
        return 1;
    }
    if (lineSpeed)
        line.setLineSpeed(true);
    for (const auto& [kind, text] : options) {
        const QString why = apply(&line, kind, text);
        if (why.isEmpty())
            continue;
        if (fresh)   // nothing was there, and nothing is left behind
            ::unlink(lockPath(statePath).constData());
        if (fresh && noneServes)
            return nothingThere();
        return usage(qPrintable(why));
    }
    // A save that fails is said once for each run of failures, and tried again
    // at the next change and at the end.
    bool unsaved = false, failing = false;
    int64_t saveAt = -1;
    QString whyNot;
    const auto save = [&] {
        saveAt = -1;
        if (line.save(statePath, &whyNot)) {
            unsaved = failing = false;
            return true;
        }
        if (!failing)
            std::fprintf(stderr, "doorsim: cannot write the state file %s: %s\n", qPrintable(statePath),
                         qPrintable(whyNot));
        unsaved = failing = true;
        return false;
    };
    if (!save())
        return 1;
    if (setupOnly)
        return 0;

    const int listenFd = listenOn(socketPath);
    if (listenFd < 0) {
        std::fprintf(stderr, "doorsim: cannot listen on %s: %s\n", qPrintable(socketPath), std::strerror(errno));
        return 1;
    }
    const int controlFd = listenOn(controlPath(socketPath));
    if (controlFd < 0) {
        std::fprintf(stderr, "doorsim: cannot listen on %s: %s\n", qPrintable(controlPath(socketPath)),
                     std::strerror(errno));
        ::unlink(QFileInfo(socketPath).absoluteFilePath().toLocal8Bit().constData());
        return 1;
    }
    line.onChange = [&] {
        unsaved = true;
        if (saveAt < 0)
            saveAt = ui::monotonicMs() + kSaveAfterMs;
    };
    const auto store = [&] {
        return !unsaved || save() ? QString()
                                  : QStringLiteral("the running simulator holds the change, but cannot write the "
                                                   "state file %1: %2")
                                        .arg(statePath, whyNot);
    };
    int client = -1;
    QByteArray pending; // half a character pair at most
    QByteArray unsent;  // replies the port has not taken yet

    for (bool stop = false; !stop;) {
        const short fromClient = short((unsent.size() < kMaxUnsent ? POLLIN : 0) | (unsent.isEmpty() ? 0 : POLLOUT));
        pollfd fds[4] = {{listenFd, POLLIN, 0}, {controlFd, POLLIN, 0}, {stopFd, POLLIN, 0}, {client, fromClient, 0}};
        int timeout = -1;
        int64_t next = line.nextToPortAt();
        if (saveAt >= 0 && (next < 0 || saveAt < next))
            next = saveAt;
        if (next >= 0)
            timeout = int(std::clamp<int64_t>(next - ui::monotonicMs(), 0, 60'000));
        const int r = ::poll(fds, client >= 0 ? 4 : 3, timeout);
        if (r < 0 && errno != EINTR)
            break;
        stop = r > 0 && (fds[2].revents & POLLIN);
        if (r > 0 && (fds[1].revents & POLLIN)) {
            const int fd = ::accept4(controlFd, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0)
                serveControl(fd, line, store);
        }
        if (r > 0 && (fds[0].revents & POLLIN)) {
            const int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0) {
                QByteArray answer(1, char(client >= 0 ? serial::kSimBusy : serial::kSimAccepted));
                if (client >= 0) {
                    sendSome(fd, answer);
                    ::close(fd);
                } else {
                    client = fd;
                    pending.clear();
                    unsent = answer;
                    line.dropPending();
                    sendSome(client, unsent);
                }
            }
        }
        if (r > 0 && client >= 0 && (fds[3].revents & POLLOUT))
            sendSome(client, unsent);
        if (r > 0 && client >= 0 && (fds[3].revents & (POLLIN | POLLHUP | POLLERR))) {
            char buf[4096];
            const ssize_t n = ::recv(client, buf, sizeof buf, MSG_DONTWAIT);
            if (n <= 0 && !(n < 0 && (errno == EAGAIN || errno == EINTR))) {
                ::close(client);
                client = -1;
                unsent.clear();
                line.dropPending();
            } else if (n > 0) {
                pending.append(buf, n);
                std::vector<serial::LineByte> bytes;
                const qsizetype pairs = pending.size() / 2;
                for (qsizetype i = 0; i < pairs; ++i)
                    bytes.push_back({uint8_t(pending[2 * i + 1]), (uint8_t(pending[2 * i]) & 1) != 0});
                pending.remove(0, pairs * 2);
                line.fromPort(bytes, ui::monotonicMs());
                line.clearLog(); // nobody reads the log of a long run
            }
        }
        const std::vector<serial::LineByte> due = line.toPort(ui::monotonicMs());
        if (!due.empty() && client >= 0) {
            for (const serial::LineByte& b : due) {
                unsent.append(char(b.ninth ? 1 : 0));
                unsent.append(char(b.value));
            }
            sendSome(client, unsent);
        }
        if (saveAt >= 0 && ui::monotonicMs() >= saveAt)
            save();
    }
    const bool saved = store().isEmpty();
    if (client >= 0)
        ::close(client);
    ::close(listenFd);
    ::close(controlFd);
    ::close(stopFd);
    ::unlink(QFileInfo(socketPath).absoluteFilePath().toLocal8Bit().constData());
    ::unlink(QFileInfo(controlPath(socketPath)).absoluteFilePath().toLocal8Bit().constData());
    return saved ? 0 : 1;
}
