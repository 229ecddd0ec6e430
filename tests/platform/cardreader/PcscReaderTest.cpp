// The PC/SC reader against the real pcscd: the test starts a daemon of its
// own (on a socket of its own, handed over as systemd would) with the virtual
// reader driver, and plays the card on that reader itself.
#include "cardreader/CardReader.h"
#include "ui/ProgramFolder.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

bool portFree(int port)
{
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    int one = 1;
    setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(uint16_t(port));
    a.sin_addr.s_addr = htonl(INADDR_ANY);
    const bool ok = bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    close(s);
    return ok;
}

// A contactless storage card with a four-byte UID, as the reader driver
// talks to it: a two-byte length before every message.
class VirtualCard {
public:
    QByteArray uid = QByteArray::fromHex("C3B2A104");
    std::atomic<bool> refuseKeys{false};

    ~VirtualCard() { stop(); }

    void start(int port)
    {
        stop();
        running_ = true;
        thread_ = std::thread([this, port] { run(port); });
    }
    void stop()
    {
        running_ = false;
        if (thread_.joinable())
            thread_.join();
    }
    QList<QByteArray> apdus()
    {
        std::lock_guard<std::mutex> g(m_);
        return apdus_;
    }

private:
    void run(int port)
    {
        int s = -1;
        for (int i = 0; running_ && i < 200; ++i) {   // the driver may not listen yet
            s = socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in a{};
            a.sin_family = AF_INET;
            a.sin_port = htons(uint16_t(port));
            a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            if (connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0)
                break;
            close(s);
            s = -1;
            std::this_thread::sleep_for(50ms);
        }
        if (s < 0)
            return;
        while (running_) {
            pollfd p{s, POLLIN, 0};
            if (poll(&p, 1, 50) <= 0)
                continue;
            unsigned char len[2];
            if (!readAll(s, len, 2))
                break;
            QByteArray msg(len[0] << 8 | len[1], '\0');
            if (!readAll(s, msg.data(), size_t(msg.size())))
                break;
            if (msg.size() == 1) {
                if (msg[0] == 0x04)   // the ATR of a contactless storage card
                    send(s, QByteArray::fromHex("3B8F8001804F0CA000000306030001000000006A"));
                continue;             // power on, off and reset need no answer
            }
            {
                std::lock_guard<std::mutex> g(m_);
                apdus_ << msg;
            }
            if (msg.startsWith(QByteArray::fromHex("FF820000")))
                send(s, QByteArray::fromHex(refuseKeys ? "6300" : "9000"));
            else if (msg == QByteArray::fromHex("FFCA000000"))
                send(s, uid + QByteArray::fromHex("9000"));
            else
                send(s, QByteArray::fromHex("6D00"));
        }
        close(s);
    }
    static bool readAll(int s, void* buf, size_t n)
    {
        auto* p = static_cast<char*>(buf);
        while (n > 0) {
            const ssize_t r = ::recv(s, p, n, 0);
            if (r <= 0)
                return false;
            p += r;
            n -= size_t(r);
        }
        return true;
    }
    static void send(int s, const QByteArray& data)
    {
        QByteArray m;
        m.append(char(data.size() >> 8)).append(char(data.size() & 0xFF)).append(data);
        ::send(s, m.constData(), size_t(m.size()), MSG_NOSIGNAL);
    }

    std::atomic<bool> running_{false};
    std::thread thread_;
    std::mutex m_;
    QList<QByteArray> apdus_;
};

class PcscReaderTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    VirtualCard card;
    int port = 0;
    pid_t daemon = -1;

    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        ui::setProgramFolder(dir.path());
        cardreader::setBackend(nullptr);
        for (int p = 41000 + int(getpid() % 2000) * 2; p < 65000; p += 2)
            if (portFree(p) && portFree(p + 1)) {
                port = p;
                break;
            }
        ASSERT_NE(port, 0);
        ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("conf")));
        QFile conf(dir.filePath(QStringLiteral("conf/vpcd")));
        ASSERT_TRUE(conf.open(QIODevice::WriteOnly));
        conf.write(QStringLiteral("FRIENDLYNAME \"Test PCD\"\nDEVICENAME /dev/null:0x%1\n"
                                  "LIBPATH /usr/lib/pcsc/drivers/serial/libifdvpcd.so\nCHANNELID 0x%1\n")
                       .arg(port, 4, 16, QLatin1Char('0'))
                       .toLatin1());
        conf.close();
        startDaemon();
    }
    void TearDown() override
    {
        card.stop();
        stopDaemon();
        ui::setProgramFolder(QString());
    }

    void startDaemon()
    {
        // Debian puts the daemon in /usr/sbin, which an ordinary user's PATH lacks.
        QString found = QStandardPaths::findExecutable(QStringLiteral("pcscd"));
        if (found.isEmpty())
            found = QStandardPaths::findExecutable(QStringLiteral("pcscd"), {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")});
        ASSERT_FALSE(found.isEmpty()) << "pcscd is not installed (scripts/install-deps.sh installs it)";
        const QByteArray pcscd = found.toLocal8Bit();
        // The client library keeps the first socket name it reads: one per process.
        static QTemporaryDir socketDir;
        const QByteArray sock = socketDir.filePath(QStringLiteral("pcscd.comm")).toLocal8Bit();
        unlink(sock.constData());
        ASSERT_LT(size_t(sock.size()), sizeof(sockaddr_un::sun_path));
        // The clients of this process go to the test's own daemon.
        setenv("PCSCLITE_CSOCK_NAME", sock.constData(), 1);
        const int s = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un a{};
        a.sun_family = AF_UNIX;
        std::memcpy(a.sun_path, sock.constData(), size_t(sock.size()));
        ASSERT_EQ(bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
        chmod(sock.constData(), 0666);
        ASSERT_EQ(listen(s, 16), 0);
        const QByteArray confDir = dir.filePath(QStringLiteral("conf")).toLocal8Bit();
        const QByteArray log = dir.filePath(QStringLiteral("pcscd.log")).toLocal8Bit();
        // pcscd makes the folder /run/pcscd, whose place is built in, and ends
        // when it cannot. A user who may not make it there gives the daemon a
        // /run of its own, where the system allows a user namespace.
        const bool ownRun = access("/run/pcscd", F_OK) != 0 && access("/run", W_OK) != 0;
        const QByteArray uidMap = "0 " + QByteArray::number(geteuid()) + " 1";
        const QByteArray gidMap = "0 " + QByteArray::number(getegid()) + " 1";
        int failed[2];   // the child's errno when it could not start the daemon
        ASSERT_EQ(pipe2(failed, O_CLOEXEC), 0);
        daemon = fork();
        ASSERT_GE(daemon, 0);
        if (daemon == 0) {
            close(failed[0]);
            if (ownRun && (unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0 || !writeTo("/proc/self/setgroups", "deny")
                           || !writeTo("/proc/self/uid_map", uidMap) || !writeTo("/proc/self/gid_map", gidMap)
                           || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0
                           || mount("none", "/run", "tmpfs", 0, nullptr) != 0)) {
                const int e = errno;
                (void)!write(failed[1], &e, sizeof e);
                _exit(127);
            }
            // Handed the socket as socket activation does: fd 3, LISTEN_PID, LISTEN_FDS.
            if (s != 3) {
                dup2(s, 3);
                close(s);
            }
            const int out = open(log.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(out, 1);
            dup2(out, 2);
            setenv("LISTEN_PID", QByteArray::number(getpid()).constData(), 1);
            setenv("LISTEN_FDS", "1", 1);
            execl(pcscd.constData(), "pcscd", "--foreground", "--debug", "--config", confDir.constData(), (char*)nullptr);
            _exit(127);
        }
        close(s);
        close(failed[1]);
        int e = 0;
        const bool refused = read(failed[0], &e, sizeof e) == sizeof e;
        close(failed[0]);
        if (refused) {
            waitpid(daemon, nullptr, 0);
            daemon = -1;
            GTEST_SKIP() << "pcscd cannot start here: it needs the folder /run/pcscd, which this user may not make, "
                            "and the system refuses a private /run ("
                         << std::strerror(e)
                         << "). Have an administrator run 'sudo install -d /run/pcscd' (gone at the next boot), "
                            "or run the tests as root.";
        }
    }
    static bool writeTo(const char* path, const QByteArray& text)
    {
        const int fd = open(path, O_WRONLY);
        const bool ok = fd >= 0 && write(fd, text.constData(), size_t(text.size())) == text.size();
        if (fd >= 0)
            close(fd);
        return ok;
    }
    void stopDaemon()
    {
        if (daemon <= 0)
            return;
        kill(daemon, SIGTERM);
        int status = 0;
        for (int i = 0; i < 100 && waitpid(daemon, &status, WNOHANG) == 0; ++i)
            std::this_thread::sleep_for(50ms);
        if (waitpid(daemon, &status, WNOHANG) == 0) {
            kill(daemon, SIGKILL);
            waitpid(daemon, &status, 0);
        }
        daemon = -1;
    }
    QString daemonLog() const
    {
        QFile f(dir.filePath(QStringLiteral("pcscd.log")));
        return f.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(f.readAll()) : QString();
    }
    // rf_init once the daemon lists its readers.
    int init(int portIndex = 0)
    {
        int h = -1;
        for (int i = 0; i < 100 && h < 0; ++i) {
            h = cardreader::rf_init(portIndex, 115200);
            if (h < 0)
                std::this_thread::sleep_for(50ms);
        }
        return h;
    }
    // rf_card once the card has come up on the reader.
    int readCard(int h, uint32_t* serial)
    {
        int rc = -1;
        for (int i = 0; i < 100; ++i) {
            rc = cardreader::rf_card(h, 1, serial);
            if (rc == 0)
                break;
            std::this_thread::sleep_for(50ms);
        }
        return rc;
    }
};

const unsigned char kKey[6] = {0x5C, 0x3A, 0x9E, 0x17, 0xB2, 0xD4};

} // namespace

TEST_F(PcscReaderTest, ReadsTheSerialOfTheCardOnTheReader)
{
    card.start(port);
    const int h = init();
    ASSERT_GE(h, 0) << daemonLog().toStdString();
    for (int sector = 1; sector <= 4; ++sector)
        EXPECT_EQ(cardreader::rf_load_key(h, 0, sector, kKey), 0);
    uint32_t serial = 0;
    ASSERT_EQ(readCard(h, &serial), 0) << daemonLog().toStdString();
    EXPECT_EQ(serial, 0x04A1B2C3u);   // the first byte is the least significant
    EXPECT_TRUE(card.apdus().contains(QByteArray::fromHex("FF820000065C3A9E17B2D4")));
    EXPECT_EQ(cardreader::rf_beep(h, 30), 0);
    EXPECT_EQ(cardreader::rf_reset(h, 10), 0);
    EXPECT_EQ(cardreader::rf_exit(h), 0);
    EXPECT_NE(cardreader::rf_exit(h), 0);

    // A site whose controllers read the UID the other way round says so.
    QFile ini(dir.filePath(QStringLiteral("CardReader.ini")));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[Reader]\r\nSerialOrder=MSB\r\nPort2=Test PCD 00 00\r\n");
    ini.close();
    const int h2 = init(1);   // port 2 is named: the same reader
    ASSERT_GE(h2, 0);
    ASSERT_EQ(readCard(h2, &serial), 0);
    EXPECT_EQ(serial, 0xC3B2A104u);
    cardreader::rf_exit(h2);
}

TEST_F(PcscReaderTest, NoCardRefusedKeyAndNoReader)
{
    const int h = init();
    ASSERT_GE(h, 0) << daemonLog().toStdString();
    uint32_t serial = 7;
    EXPECT_NE(cardreader::rf_card(h, 1, &serial), 0);   // no card on the reader
    EXPECT_EQ(serial, 0u);
    cardreader::rf_exit(h);

    card.refuseKeys = true;
    card.start(port);
    const int h2 = init();
    ASSERT_GE(h2, 0);
    int rc = 0;
    for (int i = 0; i < 100; ++i) {   // once the card is up, its refusal shows
        rc = cardreader::rf_load_key(h2, 0, 1, kKey);
        if (rc != 0)
            break;
        std::this_thread::sleep_for(50ms);
    }
    EXPECT_NE(rc, 0);
    cardreader::rf_exit(h2);

    EXPECT_LT(cardreader::rf_init(5, 115200), 0);   // no sixth reader
    stopDaemon();
    EXPECT_LT(cardreader::rf_init(0, 115200), 0);   // no daemon
}
