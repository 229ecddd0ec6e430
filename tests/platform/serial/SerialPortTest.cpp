// Settings strings, port-number resolution, the port's errors and the
// in-process simulated line.
#include "../ErrorOf.h"
#include "serial/SerialPort.h"

#include "runtime/RuntimeError.h"
#include "ui/ScriptedUi.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <deque>

namespace {

void writeConf(const QTemporaryDir& dir, const QByteArray& text)
{
    QFile f(QDir(dir.path()).filePath(QStringLiteral("serialports.conf")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
}

TEST(Settings, ParsesTheLinkStrings)
{
    const serial::LineSettings a = serial::parseSettings(QStringLiteral("19200,n,8,2"));
    EXPECT_EQ(a.baud, 19200);
    EXPECT_EQ(a.parity, 'n');
    EXPECT_EQ(a.dataBits, 8);
    EXPECT_EQ(a.stopTenths, 20);
    const serial::LineSettings b = serial::parseSettings(QStringLiteral(" 9600 , S ,7, 1.5"));
    EXPECT_EQ(b.baud, 9600);
    EXPECT_EQ(b.parity, 's');
    EXPECT_EQ(b.dataBits, 7);
    EXPECT_EQ(b.stopTenths, 15);
    EXPECT_EQ(serial::bitsPerCharacter(serial::parseSettings(QStringLiteral("19200,s,8,1"))), 11);
    EXPECT_EQ(serial::bitsPerCharacter(serial::parseSettings(QStringLiteral("19200,n,8,2"))), 11);
}

TEST(Settings, RejectsMalformedWith380)
{
    for (const char* bad : {"", "19200", "19200,n,8", "19200,n,8,1,1", "abc,n,8,1", "19201,n,8,1", "19200,x,8,1",
                            "19200,nn,8,1", "19200,n,9,1", "19200,n,3,1", "19200,n,8,3", "19200,n,8,"}) {
        EXPECT_EQ(errorOf([&] { serial::parseSettings(QString::fromLatin1(bad)); }), rt::ErrBadSettings) << bad;
    }
}

TEST(Settings, NinthBitFollowsParity)
{
    auto bit = [](const char* s, uint8_t b) { return serial::ninthBit(serial::parseSettings(QString::fromLatin1(s)), b); };
    EXPECT_TRUE(bit("19200,n,8,2", 0x00));
    EXPECT_TRUE(bit("19200,m,8,1", 0x00));
    EXPECT_FALSE(bit("19200,s,8,1", 0xFF));
    EXPECT_TRUE(bit("19200,e,8,1", 0x01));  // one 1: even parity adds another
    EXPECT_FALSE(bit("19200,e,8,1", 0x03));
    EXPECT_FALSE(bit("19200,o,8,1", 0x01));
    EXPECT_TRUE(bit("19200,o,8,1", 0x03));
}

TEST(Resolve, MappingFileAndDefault)
{
    QTemporaryDir dir;
    EXPECT_EQ(serial::resolvePort(dir.path(), 1), QStringLiteral("/dev/ttyS0"));
    writeConf(dir, "# ports of this site\n"
                   "\n"
                   "; the adapter\n"
                   "2=/dev/ttyUSB0\n"
                   " 3 = sim:/tmp/door.sock \r\n"
                   "4=inproc:bench\n"
                   "#5=/dev/never\n"
                   "garbage line\n");
    EXPECT_EQ(serial::resolvePort(dir.path(), 1), QStringLiteral("/dev/ttyS0"));
    EXPECT_EQ(serial::resolvePort(dir.path(), 2), QStringLiteral("/dev/ttyUSB0"));
    EXPECT_EQ(serial::resolvePort(dir.path(), 3), QStringLiteral("sim:/tmp/door.sock"));
    EXPECT_EQ(serial::resolvePort(dir.path(), 4), QStringLiteral("inproc:bench"));
    EXPECT_EQ(serial::resolvePort(dir.path(), 5), QStringLiteral("/dev/ttyS4"));
    EXPECT_EQ(serial::resolvePort(dir.path(), 16), QStringLiteral("/dev/ttyS15"));
}

// A line that echoes every character back with a fixed delay, recording what came.
class EchoLine : public serial::LineEndpoint {
public:
    int delayMs = 0;
    std::vector<serial::LineByte> got;
    std::deque<std::pair<int64_t, serial::LineByte>> out;
    void fromPort(const std::vector<serial::LineByte>& bytes, int64_t now) override
    {
        for (const auto& b : bytes) {
            got.push_back(b);
            out.push_back({now + delayMs, b});
        }
    }
    std::vector<serial::LineByte> toPort(int64_t now) override
    {
        std::vector<serial::LineByte> r;
        while (!out.empty() && out.front().first <= now) {
            r.push_back(out.front().second);
            out.pop_front();
        }
        return r;
    }
    int64_t nextToPortAt() const override { return out.empty() ? -1 : out.front().first; }
};

struct InprocFixture : ::testing::Test {
    ui::ScriptedUi ui;
    QTemporaryDir dir;
    EchoLine line;
    std::unique_ptr<serial::SerialPort> port;
    void SetUp() override
    {
        serial::registerInprocLine(QStringLiteral("echo"), &line);
        writeConf(dir, "1=inproc:echo\n2=inproc:nobody\n3=/dev/no-such-device\n");
        port = serial::createSerialPort(dir.path());
    }
    void TearDown() override
    {
        port.reset();
        serial::registerInprocLine(QStringLiteral("echo"), nullptr);
    }
};

TEST_F(InprocFixture, PortErrors)
{
    EXPECT_EQ(errorOf([&] { port->setCommPort(0); }), rt::ErrBadPortNumber);
    EXPECT_EQ(errorOf([&] { port->output("x"); }), rt::ErrPortNotOpen);
    EXPECT_EQ(errorOf([&] { port->input(); }), rt::ErrPortNotOpen);
    EXPECT_EQ(errorOf([&] { port->setSettings(QStringLiteral("fast")); }), rt::ErrBadSettings);
    EXPECT_EQ(port->settings(), QStringLiteral("9600,n,8,1")); // a refused string changes nothing
    EXPECT_NO_THROW(port->clearInput());
    EXPECT_EQ(port->inBufferCount(), 0);
    EXPECT_FALSE(port->waitForInput(100));

    port->setCommPort(2);
    EXPECT_EQ(errorOf([&] { port->setPortOpen(true); }), rt::ErrBadPortNumber);
    port->setCommPort(3);
    EXPECT_EQ(errorOf([&] { port->setPortOpen(true); }), rt::ErrBadPortNumber);
    EXPECT_FALSE(port->portOpen());

    port->setCommPort(1);
    port->setPortOpen(true);
    EXPECT_TRUE(port->portOpen());
    EXPECT_EQ(errorOf([&] { port->setCommPort(2); }), rt::ErrPortOpen);
    EXPECT_EQ(errorOf([&] { port->setPortOpen(true); }), rt::ErrPortOpen);
    auto other = serial::createSerialPort(dir.path());
    EXPECT_EQ(errorOf([&] { other->setPortOpen(true); }), rt::ErrPortOpen); // the line is held
    port->setPortOpen(false);
    EXPECT_NO_THROW(other->setPortOpen(true));
}

TEST_F(InprocFixture, NinthBitFollowsSettingsInForce)
{
    port->setCommPort(1);
    port->setPortOpen(true);
    port->setSettings(QStringLiteral("19200,n,8,2"));
    port->output(QByteArray("\x05", 1));
    port->setSettings(QStringLiteral("19200,s,8,1"));
    port->output(QByteArray("\x03\x10", 2));
    port->setSettings(QStringLiteral("19200,e,8,1"));
    port->output(QByteArray("\x01\x03", 2));
    port->setSettings(QStringLiteral("19200,m,8,1"));
    port->output(QByteArray("\x00", 1));
    const std::vector<serial::LineByte> want = {{0x05, true}, {0x03, false}, {0x10, false},
                                                {0x01, true}, {0x03, false}, {0x00, true}};
    EXPECT_EQ(line.got, want);
}

TEST_F(InprocFixture, ReplyWaitsOnTheFakeClock)
{
    line.delayMs = 700;
    port->setCommPort(1);
    port->setPortOpen(true);
    port->output("abc");
    EXPECT_EQ(port->inBufferCount(), 0);
    const int64_t start = ui.monotonicMs();
    EXPECT_FALSE(port->waitForInput(300)); // nothing within 300 ms
    EXPECT_EQ(ui.monotonicMs() - start, 300);
    EXPECT_TRUE(port->waitForInput(1000)); // wakes when the reply is due, not at the end
    EXPECT_EQ(ui.monotonicMs() - start, 700);
    EXPECT_EQ(port->inBufferCount(), 3);
    port->setInputLen(2);
    EXPECT_EQ(port->input(), QByteArray("ab"));
    port->setInputLen(0);
    EXPECT_EQ(port->input(), QByteArray("c"));
}

TEST_F(InprocFixture, BytesArrivedSinceTheLastLookEndTheWaitAtOnce)
{
    line.delayMs = 100;
    port->setCommPort(1);
    port->setPortOpen(true);
    port->output("abc");
    EXPECT_EQ(port->inBufferCount(), 0);
    ui.advanceMs(150); // the reply lands between the caller's look and its wait
    const int64_t start = ui.monotonicMs();
    EXPECT_TRUE(port->waitForInput(1000));
    EXPECT_EQ(ui.monotonicMs() - start, 0);
    EXPECT_EQ(port->inBufferCount(), 3);
}

TEST_F(InprocFixture, ClearInputDropsOnlyWhatHasArrived)
{
    line.delayMs = 100;
    port->setCommPort(1);
    port->setPortOpen(true);
    port->output("old");
    ui.advanceMs(100);
    port->output("new");
    port->clearInput(); // "old" has arrived, "new" is still on the line
    EXPECT_EQ(port->inBufferCount(), 0);
    EXPECT_TRUE(port->waitForInput(500));
    EXPECT_EQ(port->input(), QByteArray("new"));
}

TEST_F(InprocFixture, LineGoneWhileOpenFallsSilent)
{
    port->setCommPort(1);
    port->setPortOpen(true);
    serial::registerInprocLine(QStringLiteral("echo"), nullptr);
    EXPECT_NO_THROW(port->output("x"));
    EXPECT_FALSE(port->waitForInput(50));
    port->setPortOpen(false);
}

} // namespace
