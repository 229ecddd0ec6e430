// The simulated line over the simulator's socket ("sim:/path"), against a
// stand-in for the simulator: running, slow to greet, holding the line for
// another port, stopped with its socket still listening, or gone.
#include "../ErrorOf.h"
#include "serial/SerialPort.h"

#include "runtime/RuntimeError.h"
#include "ui/ScriptedUi.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// What the stand-in does with each connection it takes: after greetAfterMs
// it sends the greeting, then kReply as the simulator frames characters.
struct Behaviour {
    int greetAfterMs = 0;
    uint8_t greeting = serial::kSimAccepted;
};
const QByteArray kReply = QByteArrayLiteral("AB");

class StandIn {
public:
    explicit StandIn(const QString& path)
    {
        fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        const QByteArray p = path.toLocal8Bit();
        std::memcpy(addr.sun_path, p.constData(), size_t(p.size()));
        if (::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd_, 4) != 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    ~StandIn()
    {
        stop_ = true;
        if (serving_.joinable())
            serving_.join();
        for (int c : clients_)
            ::close(c);
        if (fd_ >= 0)
            ::close(fd_);
    }
    bool listening() const { return fd_ >= 0; }

    void serve(const Behaviour& b)
    {
        serving_ = std::thread([this, b] {
            while (!stop_) {
                pollfd pfd{fd_, POLLIN, 0};
                if (::poll(&pfd, 1, 10) <= 0)
                    continue;
                const int c = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
                if (c < 0)
                    continue;
                clients_.push_back(c);
                const auto at = Clock::now() + std::chrono::milliseconds(b.greetAfterMs);
                while (!stop_ && Clock::now() < at)
                    std::this_thread::sleep_for(std::chrono::milliseconds(5));
                QByteArray out(1, char(b.greeting));
                for (char ch : kReply)
                    out.append(char(0)).append(ch);
                greeted_ = true;
                (void)::send(c, out.constData(), size_t(out.size()), MSG_NOSIGNAL);
            }
        });
    }
    bool greeted() const { return greeted_; }
    // Connections waiting to be taken (a stopped simulator takes none).
    int waiting()
    {
        int n = 0;
        for (int c; (c = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC)) >= 0; ++n)
            clients_.push_back(c);
        return n;
    }

private:
    int fd_ = -1;
    std::thread serving_;
    std::vector<int> clients_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> greeted_{false};
};

// Reads until n characters are in or ms pass.
QByteArray readSome(serial::SerialPort& port, int n, int ms)
{
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    while (port.portOpen() && port.inBufferCount() < n && Clock::now() < end)
        port.waitForInput(20);
    return port.portOpen() ? port.input() : QByteArray();
}

TEST(SimSocket, OpensAsQuicklyAsADeviceWhateverTheSimulatorDoes)
{
    struct Row {
        const char* name;
        bool listening;
        bool serves;
        Behaviour behaviour;
        int error;                 // of the open, 0 when it opens
        bool openBeforeGreeting;   // the open did not wait for the greeting
        QByteArray read;           // what the port reads then
        bool openAfterReading;
    };
    const Row table[] = {
        {"running", true, true, {}, 0, false, "AB", true},
        {"slow to greet", true, true, {800, serial::kSimAccepted}, 0, true, "AB", true},
        {"line held by another port, said late", true, true, {800, serial::kSimBusy}, 0, true, "", false},
        {"line held by another port", true, true, {0, serial::kSimBusy}, rt::ErrPortOpen, false, "", false},
        // Its socket still takes connections, which nobody answers.
        {"stopped", true, false, {}, 0, true, "", true},
        {"gone", false, false, {}, rt::ErrBadPortNumber, false, "", false},
    };
    ui::ScriptedUi ui;
    ui.useRealClock(true);
    for (const Row& row : table) {
        SCOPED_TRACE(row.name);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("line.sock"));
        QFile conf(dir.filePath(QStringLiteral("serialports.conf")));
        ASSERT_TRUE(conf.open(QIODevice::WriteOnly));
        conf.write("1=sim:" + path.toLocal8Bit() + "\n");
        conf.close();
        std::unique_ptr<StandIn> sim;
        if (row.listening) {
            sim = std::make_unique<StandIn>(path);
            ASSERT_TRUE(sim->listening());
        }
        if (row.serves)
            sim->serve(row.behaviour);

        auto port = serial::createSerialPort(dir.path());
        port->setCommPort(1);
        const auto start = Clock::now();
        EXPECT_EQ(errorOf([&] { port->setPortOpen(true); }), row.error);
        const auto took = Clock::now() - start;
        EXPECT_EQ(port->portOpen(), row.error == 0);
        if (row.serves && row.error == 0) {
            EXPECT_EQ(!sim->greeted(), row.openBeforeGreeting);
        }
        if (!row.serves && row.listening) {
            // One connection asked for, and no waiting out a greeting that
            // never comes (a loose bound: that wait was five seconds).
            EXPECT_EQ(sim->waiting(), 1);
            EXPECT_LT(took, std::chrono::seconds(2));
        }
        if (row.error == 0) {
            EXPECT_EQ(readSome(*port, 2, row.serves ? 3000 : 100), row.read);
            EXPECT_EQ(port->portOpen(), row.openAfterReading);
        }
    }
}

} // namespace
