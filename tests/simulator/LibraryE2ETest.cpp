// Door8096 created by its ProgID and called late-bound, against controllers
// on the in-process line: every command end to end.
#include "DoorsimProcess.h"
#include "SimSite.h"

#include "com/Com.h"
#include "registry/Registry.h"

#include <QTextStream>

#include <dlfcn.h>
#include <gtest/gtest.h>

using com::Args;
using com::Variant;
using sim::Fault;

namespace {

struct Door : ::testing::Test {
    ui::ScriptedUi ui;
    QTemporaryDir dir;
    sim::Line line;
    com::Dispatch door;
    QString out; // folder for collected files

    void SetUp() override
    {
        // A private copy of the library, so its settings file and port map
        // are this test's own.
        reg::setRootDirectory(dir.filePath(QStringLiteral("registry")));
        const QString lib = dir.filePath(QStringLiteral("libVantrel.so"));
        ASSERT_TRUE(QFile::copy(QStringLiteral(VANTREL_PATH), lib));
        void* h = dlopen(lib.toLocal8Bit().constData(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(h, nullptr) << dlerror();
        auto registerServer = reinterpret_cast<com::DllRegisterServerFn>(dlsym(h, "DllRegisterServer"));
        ASSERT_NE(registerServer, nullptr);
        ASSERT_EQ(registerServer(), 0);
        line.registerAs(QStringLiteral("e2e"));
        ASSERT_TRUE(sim::mapPort(dir.path(), 1, QStringLiteral("inproc:e2e")));
        door = com::CreateObject(QStringLiteral("Vantrel.Door8096"));
        ASSERT_TRUE(door.call(QStringLiteral("SetPort"), {int16_t(1)}).toBool());
        out = dir.filePath(QStringLiteral("basedata"));
        QDir().mkpath(out);
        ui.clearMessages();
    }
    void TearDown() override
    {
        door.reset();
        reg::setRootDirectory(QString());
    }

    QStringList lines(const QString& name)
    {
        QFile f(QDir(out).filePath(name));
        if (!f.open(QIODevice::ReadOnly))
            return {};
        QString text = QString::fromLatin1(f.readAll());
        if (text.endsWith(QLatin1String("\r\n")))
            text.chop(2);
        return text.split(QStringLiteral("\r\n"));
    }

    bool sendCard(int addr, const char* card, const char* emp = "00001234")
    {
        return door.call(QStringLiteral("CardSendToMachine"),
                         {int16_t(addr), emp, card, int16_t(1), int16_t(1), int16_t(0), int16_t(0), int16_t(0),
                          "1111111", "991231", "0000000000000001", "0000000000000001"})
            .toBool();
    }
};

TEST_F(Door, CountsAndClearing)
{
    sim::Controller& c = line.add(1);
    for (int i = 0; i < 300; ++i)
        c.addPunch({uint32_t(i), QDateTime(QDate(2026, 3, 23), QTime(8, 0))});
    c.storeCard({5});
    EXPECT_EQ(door.call(QStringLiteral("GatherRecordSum"), {int16_t(1)}).toLong(), 300);
    EXPECT_EQ(door.call(QStringLiteral("gathersendcardsum"), {int16_t(1)}).toLong(), 1);
    EXPECT_EQ(door.call(QStringLiteral("GatherRecordSum"), {int16_t(2)}).toLong(), -1); // nobody there
    EXPECT_TRUE(door.call(QStringLiteral("ClearRecord"), {int16_t(1)}).toBool());
    EXPECT_TRUE(c.punches().empty());
    EXPECT_TRUE(door.call(QStringLiteral("ClearNameList"), {int16_t(1)}).toBool());
    EXPECT_TRUE(c.cardSlots().empty());
    EXPECT_TRUE(ui.messages.isEmpty());
}

TEST_F(Door, SendFindDeleteCard)
{
    sim::Controller& c = line.add(5);
    ASSERT_TRUE(sendCard(5, "0012345678"));
    EXPECT_EQ(c.frames().back().bytes, QByteArray::fromHex("1403" "00BC614E" "00001234" "C0FE991231000100" "0123"));
    Args a{int16_t(5), "0012345678", QString(), int16_t(2)};
    ASSERT_TRUE(door.call(QStringLiteral("FindCard"), a).toBool());
    EXPECT_EQ(a[2].toString(), QStringLiteral("0012345678/00001234/11000000/1111111/991231/0000000000000001/0000000000000001"));
    EXPECT_EQ(door.call(QStringLiteral("ClearName"), {int16_t(5), "0012345678"}).toInteger(), 1);
    EXPECT_EQ(door.call(QStringLiteral("ClearName"), {int16_t(5), "0012345678"}).toInteger(), -1);
    Args b{int16_t(5), "0012345678", QStringLiteral("x")};
    EXPECT_TRUE(door.call(QStringLiteral("FindCard"), b).toBool());
    EXPECT_EQ(b[2].toString(), QString());
}

TEST_F(Door, FullListShowsMemoryOverflow)
{
    line.add(1, 1);
    ASSERT_TRUE(sendCard(1, "0000000001"));
    EXPECT_FALSE(sendCard(1, "0000000002"));
    ASSERT_EQ(ui.messages.size(), 1);
    EXPECT_EQ(ui.messages[0].text, QStringLiteral("Memory OverFlow"));
    EXPECT_EQ(ui.messages[0].title, QStringLiteral("Vantrel.CardSendToMachine"));
}

TEST_F(Door, ReadCardAtTheReader)
{
    sim::Controller& c = line.add(1);
    EXPECT_EQ(door.call(QStringLiteral("ReadCardNum"), {int16_t(1)}).toString(), QString());
    c.presentCard(1234567);
    Args a{int16_t(1), QString()};
    EXPECT_EQ(door.call(QStringLiteral("ReadCardNum"), a).toString(), QStringLiteral("0001234567"));
    EXPECT_EQ(a[1].toString().left(14), QStringLiteral("0100040012D687"));
}

TEST_F(Door, CollectPunchRecords)
{
    sim::Controller& c = line.add(5);
    c.addPunch({0x12345678, QDateTime(QDate(2026, 3, 23), QTime(8, 15, 30)), 0x0A, 0x02});
    for (int i = 1; i < 16; ++i)
        c.addPunch({uint32_t(i), QDateTime(QDate(2026, 3, 24), QTime(9, 0, i))});
    c.inject(Fault::badSlot(0x05, 2)); // the first attempt of block 0 fails, the retry succeeds
    Args a{int16_t(5), out, QStringLiteral("p.txt"), QString(), int32_t(0), int32_t(2), true, true, int32_t(-1), int32_t(100)};
    ASSERT_TRUE(door.call(QStringLiteral("GatherData"), a).toBool());
    EXPECT_EQ(a[4].toLong(), 16);
    EXPECT_EQ(a[8].toLong(), 16);
    const QStringList l = lines(QStringLiteral("p.txt"));
    ASSERT_EQ(l.size(), 16);
    EXPECT_EQ(l[0], QStringLiteral("005") + QStringLiteral("0003430008") + QStringLiteral("20260323081530") + QStringLiteral("0A02"));
    EXPECT_EQ(l[15], QStringLiteral("0050000000015202603240900150A00"));
    EXPECT_EQ(c.punches().size(), 16u); // collection leaves them in the controller
}

TEST_F(Door, CollectNameListWithHole)
{
    sim::Controller& c = line.add(3);
    for (uint32_t card = 1; card <= 31; ++card)
        c.storeCard({card, 0x20260000 + card, 0xC5, 0xFE, 0x991231, 0x8001, 0x0003});
    c.deleteCard(2);
    Args a{int16_t(3), out, QStringLiteral("c.txt"), QString(), int32_t(0)};
    ASSERT_TRUE(door.call(QStringLiteral("GatherSendCardData"), a).toBool());
    EXPECT_EQ(a[4].toLong(), 31);
    const QStringList l = lines(QStringLiteral("c.txt"));
    ASSERT_EQ(l.size(), 31);
    EXPECT_EQ(l[0], QStringLiteral("0000000001/20260001/11000101/1111111/991231/1000000000000001/0000000000000011"));
    EXPECT_EQ(l[1], QStringLiteral("0000000000/00000000/00000000/0000000/000000/0000000000000000/0000000000000000"));
    EXPECT_TRUE(l[30].startsWith(QStringLiteral("0000000031/")));
}

TEST_F(Door, TimeGroups)
{
    line.add(1);
    EXPECT_TRUE(door.call(QStringLiteral("SetTimeGroup"), {int16_t(1), int16_t(16), int16_t(2), "0800-1730", int16_t(3)}).toBool());
    Args a{int16_t(1), QString(), QString()};
    ASSERT_TRUE(door.call(QStringLiteral("GetTimeGroup"), a).toBool());
    const QString list = a[1].toString();
    ASSERT_EQ(list.size(), 128);
    EXPECT_EQ(list.mid(16, 8), QStringLiteral("08001730"));
    EXPECT_EQ(list.mid(120, 8), QStringLiteral("00002359"));
    EXPECT_EQ(a[2].toString(), QStringLiteral("0030000000000000"));
}

TEST_F(Door, ClockAndDelays)
{
    line.add(6);
    EXPECT_TRUE(door.call(QStringLiteral("ModifyDateTime"), {int16_t(6), "260323", "081530", int16_t(1)}).toBool());
    EXPECT_TRUE(door.call(QStringLiteral("SetLockDelayTime"), {int16_t(6), int16_t(75), int16_t(-3), int16_t(10)}).toBool());
    Args a{int16_t(6), QString()};
    ASSERT_TRUE(door.call(QStringLiteral("getDateTimeDelay"), a).toBool());
    EXPECT_EQ(a[1].toString().left(10), QStringLiteral("2603230815"));
    EXPECT_EQ(a[1].toString().mid(12), QStringLiteral("060000010"));
}

TEST_F(Door, LocksAndStatus)
{
    sim::Controller& c = line.add(1);
    EXPECT_TRUE(door.call(QStringLiteral("OpenLock"), {int16_t(1), int16_t(1)}).toBool());
    Args a{int16_t(1), QString()};
    ASSERT_TRUE(door.call(QStringLiteral("getLockStatus"), a).toBool());
    EXPECT_EQ(a[1].toString(), QStringLiteral("10"));
    c.presentCard(0x0012D687);
    Args b{int16_t(1), QString()};
    ASSERT_TRUE(door.call(QStringLiteral("getCardLockStatus"), b).toBool());
    EXPECT_EQ(b[1].toString(), QStringLiteral("0001234567") + QStringLiteral("1011"));
    Args v{int16_t(1), QString()};
    ASSERT_TRUE(door.call(QStringLiteral("GetMachVer"), v).toBool());
    EXPECT_EQ(v[1].toString(), QStringLiteral("8096100520050100"));
}

TEST_F(Door, SilentControllerThenRecovery)
{
    sim::Controller& c = line.add(1);
    c.inject(Fault::noAnswer(0x1B));
    const int64_t t0 = ui.monotonicMs();
    Args a{int16_t(1), QString()};
    EXPECT_FALSE(door.call(QStringLiteral("getLockStatus"), a).toBool());
    EXPECT_GE(ui.monotonicMs() - t0, 1000);
    EXPECT_TRUE(door.call(QStringLiteral("getLockStatus"), a).toBool());

    c.inject(Fault::late(0x40, 2500));
    EXPECT_FALSE(door.call(QStringLiteral("OpenLock"), {int16_t(1), int16_t(2)}).toBool());
    ui.advanceMs(1000);
    EXPECT_TRUE(door.call(QStringLiteral("OpenLock"), {int16_t(1), int16_t(1)}).toBool()); // the late bytes are dropped
    EXPECT_TRUE(door.call(QStringLiteral("DestoryPort")).toBool());
    EXPECT_EQ(door.call(QStringLiteral("GatherRecordSum"), {int16_t(1)}).toLong(), 0); // reopens by itself
}

} // namespace

namespace {

TEST_F(Door, OverTheSimulatorSocket)
{
    ui.useRealClock(true);
    const QString socket = dir.filePath(QStringLiteral("line.sock"));
    const int pid = startDoorsim({QStringLiteral("--state"), dir.filePath(QStringLiteral("site.json")),
                                  QStringLiteral("--add"), QStringLiteral("1"), QStringLiteral("--punch"),
                                  QStringLiteral("1,1193046,2026-03-23 08:15:30,0A,02")},
                                 socket);
    const DoorsimGuard guard{pid};
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(sim::mapPort(dir.path(), 2, QStringLiteral("sim:") + socket));
    ASSERT_TRUE(door.call(QStringLiteral("SetPort"), {int16_t(2)}).toBool());
    EXPECT_TRUE(sendCard(1, "0012345678"));
    Args a{int16_t(1), "0012345678", QString(), int16_t(2)};
    EXPECT_TRUE(door.call(QStringLiteral("FindCard"), a).toBool());
    EXPECT_TRUE(a[2].toString().startsWith(QStringLiteral("0012345678/00001234/")));
    Args g{int16_t(1), out, QStringLiteral("s.txt"), QString(), int32_t(0), int32_t(2), true, true, int32_t(-1), int32_t(10)};
    EXPECT_TRUE(door.call(QStringLiteral("GatherData"), g).toBool());
    EXPECT_EQ(lines(QStringLiteral("s.txt")), QStringList{QStringLiteral("0010001193046202603230815300A02")});
}

} // namespace
