// The termios backend on a pseudo-terminal pair: raw transfer of every byte
// value in both directions, settings reaching the device, exclusive use and
// waits that block instead of spinning.
#include "serial/SerialPort.h"
#include "serial/Backend.h"

#include "runtime/RuntimeError.h"
#include "ui/ScriptedUi.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

struct Pty : ::testing::Test {
    int master = -1;
    QString slave;
    QTemporaryDir dir;
    std::unique_ptr<serial::SerialPort> port;

    void SetUp() override
    {
        master = posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_GE(master, 0);
        ASSERT_EQ(grantpt(master), 0);
        ASSERT_EQ(unlockpt(master), 0);
        slave = QString::fromLocal8Bit(ptsname(master));
        QFile f(QDir(dir.path()).filePath(QStringLiteral("serialports.conf")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("7=" + slave.toLocal8Bit() + "\n");
        f.close();
        port = serial::createSerialPort(dir.path());
        port->setCommPort(7);
        port->setSettings(QStringLiteral("19200,s,8,1"));
        port->setPortOpen(true);
    }
    void TearDown() override
    {
        port.reset();
        if (master >= 0)
            close(master);
    }

    QByteArray readMaster(int n)
    {
        QByteArray got;
        const auto deadline = Clock::now() + std::chrono::seconds(2);
        while (got.size() < n && Clock::now() < deadline) {
            pollfd p{master, POLLIN, 0};
            if (poll(&p, 1, 100) > 0) {
                char buf[512];
                const ssize_t r = read(master, buf, sizeof buf);
                if (r > 0)
                    got.append(buf, r);
            }
        }
        return got;
    }
};

QByteArray allBytes()
{
    QByteArray b;
    for (int i = 0; i < 256; ++i)
        b.append(char(i));
    return b;
}

TEST_F(Pty, EveryByteLeavesUnchanged)
{
    ui::ScriptedUi ui;
    port->output(allBytes());
    port->drainOutput();
    EXPECT_EQ(readMaster(256), allBytes());
}

TEST_F(Pty, EveryByteArrivesUnchanged)
{
    ui::ScriptedUi ui;
    ui.useRealClock(true);
    const QByteArray all = allBytes();
    ASSERT_EQ(write(master, all.constData(), size_t(all.size())), 256);
    QByteArray got;
    const auto deadline = Clock::now() + std::chrono::seconds(2);
    while (port->inBufferCount() < 256 && Clock::now() < deadline)
        port->waitForInput(50);
    port->setInputLen(256);
    got = port->input();
    EXPECT_EQ(got, all);
}

TEST(TermiosMapping, ParityStopBitsSizeAndSpeed)
{
    auto map = [](const char* s) {
        termios t{};
        serial::detail::makeTermios(t, serial::parseSettings(QString::fromLatin1(s)));
        return t;
    };
    const tcflag_t parity = PARENB | CMSPAR | PARODD;
    termios t = map("19200,s,8,1");
    EXPECT_EQ(t.c_cflag & parity, tcflag_t(PARENB | CMSPAR));
    EXPECT_EQ(t.c_cflag & CSTOPB, 0u);
    EXPECT_EQ(t.c_cflag & CSIZE, tcflag_t(CS8));
    EXPECT_EQ(cfgetospeed(&t), speed_t(B19200));
    EXPECT_EQ(cfgetispeed(&t), speed_t(B19200));
    t = map("19200,n,8,2");
    EXPECT_EQ(t.c_cflag & parity, 0u);
    EXPECT_EQ(t.c_cflag & CSTOPB, tcflag_t(CSTOPB));
    EXPECT_EQ(map("9600,m,8,1").c_cflag & parity, parity);
    EXPECT_EQ(map("9600,e,8,1").c_cflag & parity, tcflag_t(PARENB));
    EXPECT_EQ(map("9600,o,8,1").c_cflag & parity, tcflag_t(PARENB | PARODD));
    EXPECT_EQ(map("2400,n,7,1").c_cflag & CSIZE, tcflag_t(CS7));
    t = map("115200,n,8,1");
    EXPECT_EQ(cfgetospeed(&t), speed_t(B115200));
    // raw: no translation, no flow control, no parity checking or marking on input
    EXPECT_EQ(t.c_iflag & (INPCK | PARMRK | ISTRIP | IXON | IXOFF | IXANY | ICRNL | INLCR | IGNCR | IGNPAR), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(t.c_cflag & CRTSCTS, 0u);
    EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD), tcflag_t(CLOCAL | CREAD));
    EXPECT_EQ(t.c_cc[VMIN], 0);
    EXPECT_EQ(t.c_cc[VTIME], 0);
}

TEST_F(Pty, DeviceIsInRawModeAtItsSpeed)
{
    // root may open the slave beside the port despite the exclusive mode
    const int peek = open(slave.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (peek < 0)
        GTEST_SKIP() << "slave held exclusively";
    termios t{};
    ASSERT_EQ(tcgetattr(peek, &t), 0);
    EXPECT_EQ(t.c_iflag & (INPCK | PARMRK | ISTRIP | IXON | IXOFF | ICRNL | INLCR | IGNCR), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(cfgetospeed(&t), speed_t(B19200));
    port->setSettings(QStringLiteral("9600,n,8,2"));
    ASSERT_EQ(tcgetattr(peek, &t), 0);
    EXPECT_EQ(cfgetospeed(&t), speed_t(B9600));
    close(peek);
}

TEST_F(Pty, RateWithoutDivisorIsRefusedAndKeepsSettings)
{
    try {
        port->setSettings(QStringLiteral("14400,n,8,1"));
        FAIL() << "accepted";
    } catch (const rt::Error& e) {
        EXPECT_EQ(e.number(), rt::ErrBadSettings);
    }
    EXPECT_EQ(port->settings(), QStringLiteral("19200,s,8,1"));
}

// A pseudo-terminal keeps no parity, so after space parity it reads back
// without it and applying the same settings again changes nothing: that is
// no refusal. Each step is followed by a byte both ways.
TEST_F(Pty, SettingsTheDeviceAlreadyHoldsAreTaken)
{
    ui::ScriptedUi ui;
    ui.useRealClock(true);
    const QList<QPair<const char*, std::function<void()>>> steps = {
        {"frame settings again", [&] { port->setSettings(QStringLiteral("19200,s,8,1")); }},
        {"closed and opened again", [&] { port->setPortOpen(false); port->setPortOpen(true); }},
        {"address then frame settings, twice",
         [&] {
             for (int i = 0; i < 2; ++i) {
                 port->setSettings(QStringLiteral("19200,n,8,2"));
                 port->setSettings(QStringLiteral("19200,n,8,2"));
                 port->setSettings(QStringLiteral("19200,s,8,1"));
             }
         }},
        {"even parity, twice", [&] { for (int i = 0; i < 2; ++i) port->setSettings(QStringLiteral("9600,e,8,1")); }},
        {"opened again under even parity", [&] { port->setPortOpen(false); port->setPortOpen(true); }},
    };
    for (const auto& [name, step] : steps) {
        SCOPED_TRACE(name);
        try {
            step();
        } catch (const rt::Error& e) {
            ADD_FAILURE() << e.number() << ":" << e.text().toStdString();
        }
        ASSERT_TRUE(port->portOpen());
        port->output(QByteArray("\x81", 1));
        port->drainOutput();
        EXPECT_EQ(readMaster(1), QByteArray("\x81", 1));
        ASSERT_EQ(write(master, "\x7E", 1), 1);
        const auto deadline = Clock::now() + std::chrono::seconds(2);
        while (port->inBufferCount() < 1 && Clock::now() < deadline)
            port->waitForInput(50);
        port->setInputLen(0);
        EXPECT_EQ(port->input(), QByteArray("\x7E"));
    }
}

// What a device reads back after a request that changed nothing decides:
// a pseudo-terminal may drop the parity it cannot carry, any other device
// must hold every setting (a UART that loses mark/space parity is still
// refused, by the parity check that follows).
TEST(TermiosMapping, ReadBackHeldOnlyWhereTheDeviceCanHoldIt)
{
    termios wanted{};
    serial::detail::makeTermios(wanted, serial::parseSettings(QStringLiteral("19200,s,8,1")));
    auto with = [&](tcflag_t clear, tcflag_t set = 0, speed_t speed = B19200) {
        termios t = wanted;
        t.c_cflag = (t.c_cflag & ~clear) | set;
        cfsetospeed(&t, speed);
        return t;
    };
    struct Case {
        const char* name;
        termios read;
        bool pty, held;
    };
    const Case cases[] = {
        {"all held, pseudo-terminal", wanted, true, true},
        {"all held, UART", wanted, false, true},
        {"parity dropped, pseudo-terminal", with(PARENB), true, true},
        {"parity dropped, UART", with(PARENB), false, false},
        {"mark/space dropped, UART", with(CMSPAR), false, false},
        {"other speed, pseudo-terminal", with(0, 0, B9600), true, false},
        {"two stop bits, pseudo-terminal", with(0, CSTOPB), true, false},
        {"seven bits, pseudo-terminal", with(CSIZE, CS7), true, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(serial::detail::holdsSettings(wanted, c.read, c.pty), c.held) << c.name;
}

TEST_F(Pty, SecondOpenFailsAsInUse)
{
    auto other = serial::createSerialPort(dir.path());
    other->setCommPort(7);
    try {
        other->setPortOpen(true);
        FAIL() << "opened twice";
    } catch (const rt::Error& e) {
        EXPECT_EQ(e.number(), rt::ErrPortOpen);
    }
    port->setPortOpen(false);
    EXPECT_NO_THROW(other->setPortOpen(true));
}

TEST_F(Pty, WaitBlocksUntilDataOrTimeout)
{
    ui::ScriptedUi ui;
    ui.useRealClock(true);
    const std::clock_t cpu0 = std::clock();
    auto t0 = Clock::now();
    EXPECT_FALSE(port->waitForInput(150));
    const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count();
    EXPECT_GE(waited, 140);
    EXPECT_LT(waited, 1000);

    std::thread writer([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
        ASSERT_EQ(write(master, "\x0A", 1), 1);
    });
    t0 = Clock::now();
    EXPECT_TRUE(port->waitForInput(2000));
    const auto woke = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count();
    writer.join();
    EXPECT_LT(woke, 1000);
    const double cpuMs = double(std::clock() - cpu0) * 1000.0 / CLOCKS_PER_SEC;
    EXPECT_LT(cpuMs, 60.0); // waiting in poll, not in a loop
    port->setInputLen(0);
    EXPECT_EQ(port->input(), QByteArray("\x0A"));
}

TEST_F(Pty, FakeClockCatchesUpWithRealWait)
{
    ui::ScriptedUi ui; // fake clock: a time-out measured on it must still end
    const int64_t before = ui.monotonicMs();
    EXPECT_FALSE(port->waitForInput(40));
    EXPECT_GE(ui.monotonicMs() - before, 40);
}

TEST_F(Pty, ClearInputDropsWaitingBytes)
{
    ui::ScriptedUi ui;
    ASSERT_EQ(write(master, "stale", 5), 5);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(port->inBufferCount(), 5);
    port->clearInput();
    EXPECT_EQ(port->inBufferCount(), 0);
}

} // namespace
