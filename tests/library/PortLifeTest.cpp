// The controller object on a real device (a pseudo-terminal behind a link
// name in the port mapping): a device that goes away and comes back, a port
// closed while a command waits.
#include "Door8096.h"
#include "LinkLayer.h"

#include "serial/SerialPort.h"
#include "ui/ScriptedUi.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <thread>
#include <unistd.h>

using namespace vantrel;

namespace {

using Clock = std::chrono::steady_clock;

int64_t msSince(Clock::time_point t0)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count();
}

class PortLife : public ::testing::Test {
protected:
    void SetUp() override
    {
        ui.useRealClock(true);
        link = QDir(dir.path()).filePath("ttyLink");
        QFile f(QDir(dir.path()).filePath("serialports.conf"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("1=" + link.toLocal8Bit() + "\n");
        f.close();
        plugIn();
        door = std::make_unique<Door8096Core>(dir.path());
    }
    void TearDown() override
    {
        door.reset();
        unplug();
    }

    // A new device under the same name.
    void plugIn()
    {
        master = posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_GE(master, 0);
        ASSERT_EQ(grantpt(master), 0);
        ASSERT_EQ(unlockpt(master), 0);
        QFile::remove(link);
        ASSERT_TRUE(QFile::link(QString::fromLocal8Bit(ptsname(master)), link));
    }
    void unplug()
    {
        if (master >= 0)
            close(master);
        master = -1;
    }

    // Answers one version request (frame 03 80 and its check byte); bytes
    // of an earlier command nobody answered are passed over, not answered.
    std::thread answerVersion()
    {
        return std::thread([m = master] {
            QByteArray got;
            const auto t0 = Clock::now();
            const auto asked = [&] {
                const qsizetype at = got.indexOf(QByteArray::fromHex("0380"));
                return at >= 0 && got.size() >= at + 3;
            };
            while (!asked() && msSince(t0) < 3000) {
                pollfd p{m, POLLIN, 0};
                if (poll(&p, 1, 50) > 0) {
                    char buf[64];
                    const ssize_t n = read(m, buf, sizeof buf);
                    if (n > 0)
                        got.append(buf, n);
                }
            }
            QByteArray r = QByteArray::fromHex("0180000506010000000000");
            uint8_t x = 0;
            for (char c : r)
                x ^= uint8_t(c);
            r.append(char(x));
            ASSERT_EQ(write(m, r.constData(), size_t(r.size())), r.size());
        });
    }

    bool askVersion(QString& ver)
    {
        std::thread t = answerVersion();
        const bool ok = door->GetMachVer(1, ver);
        t.join();
        return ok;
    }

    ui::ScriptedUi ui;
    QTemporaryDir dir;
    QString link;
    int master = -1;
    std::unique_ptr<Door8096Core> door;
};

TEST_F(PortLife, DeviceReplacedBetweenCommandsIsOpenedAgain)
{
    QString ver;
    ASSERT_TRUE(askVersion(ver));
    EXPECT_EQ(ver, "0506010000000000");
    EXPECT_TRUE(door->port().portOpen());

    unplug();
    plugIn();
    ver.clear();
    EXPECT_TRUE(askVersion(ver)); // no reselecting of the port
    EXPECT_EQ(ver, "0506010000000000");
}

// A pseudo-terminal (what socat and network serial servers present) keeps
// no parity: the space parity of the last exchange reads back without it,
// and opening the port on it again must still work.
TEST_F(PortLife, PseudoTerminalOpensAgainAfterACommand)
{
    const QStringList rounds = {"first open", "open again", "and again"};
    for (const QString& round : rounds) {
        SCOPED_TRACE(round.toStdString());
        EXPECT_TRUE(door->SetPort(1));
        EXPECT_TRUE(door->port().portOpen());
        QString ver;
        EXPECT_TRUE(askVersion(ver));
        EXPECT_EQ(ver, "0506010000000000");
    }
    EXPECT_TRUE(ui.messages.isEmpty());
}

TEST_F(PortLife, DeviceGoneDuringAWaitClosesThePort)
{
    std::thread pull([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        unplug();
    });
    const auto t0 = Clock::now();
    EXPECT_EQ(door->GatherRecordSum(1), -1); // 3 s time-out
    pull.join();
    EXPECT_LT(msSince(t0), 2500); // before the 3 s time-out
    EXPECT_FALSE(door->port().portOpen());
    EXPECT_TRUE(ui.messages.isEmpty());

    plugIn();
    QString ver;
    EXPECT_TRUE(askVersion(ver));
}

TEST_F(PortLife, PortClosedByTheCallerDuringAWaitDoesNotSpin)
{
    int pumps = 0;
    ui.onDoEvents = [&] {
        if (++pumps == 3)
            door->DestoryPort();
    };
    const std::clock_t cpu0 = std::clock();
    const auto t0 = Clock::now();
    EXPECT_FALSE(door->ClearRecord(1)); // 10 s time-out, nobody answers
    EXPECT_LT(msSince(t0), 5000); // far below the 10 s a spinning wait would take
    EXPECT_LT(pumps, 10);
    EXPECT_LT(double(std::clock() - cpu0) * 1000.0 / CLOCKS_PER_SEC, 200.0);

    // The next command opens the port again.
    ui.onDoEvents = nullptr;
    QString ver;
    EXPECT_TRUE(askVersion(ver));
}

} // namespace
