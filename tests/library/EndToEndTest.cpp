// The library as callers meet it: registered from a folder of its own,
// created by ProgID, called late-bound by member name, talking to virtual
// controllers on the in-process simulated line. This program does not link
// the library.
#include "Line.h"

#include "com/Com.h"
#include "runtime/RuntimeError.h"
#include "ui/ScriptedUi.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimeZone>
#include <gtest/gtest.h>

#include <atomic>
#include <dlfcn.h>

using com::Args;
using com::Dispatch;
using com::Variant;

namespace {

class Library : public ::testing::Test {
protected:
    void SetUp() override
    {
        ui.setNow(QDateTime(QDate(2026, 3, 23), QTime(8, 15, 30), Qt::UTC));
        ASSERT_TRUE(site.isValid());
        qputenv("DOORSUITE_REGISTRY_DIR", QFile::encodeName(site.filePath("registry")));
        folder = site.filePath("lib");
        QDir().mkpath(folder);
        libraryPath = folder + "/libVantrel.so";
        ASSERT_TRUE(QFile::copy(VANTREL_LIBRARY, libraryPath));

        static std::atomic<int> serial{0};
        lineName = QStringLiteral("e2e%1").arg(++serial);
        line.registerAs(lineName);
        QFile conf(folder + "/serialports.conf");
        ASSERT_TRUE(conf.open(QIODevice::WriteOnly));
        conf.write("1=inproc:" + lineName.toUtf8() + "\n");
        conf.close();

        handle = dlopen(QFile::encodeName(libraryPath).constData(), RTLD_NOW);
        ASSERT_NE(handle, nullptr) << dlerror();
        ASSERT_EQ(entry<com::DllRegisterServerFn>("DllRegisterServer")(), 0);
    }

    template <typename Fn>
    Fn entry(const char* name)
    {
        return reinterpret_cast<Fn>(dlsym(handle, name));
    }

    QByteArray settingsFile() const
    {
        QFile f(folder + "/DoorSystem.ini");
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

    ui::ScriptedUi ui;
    QTemporaryDir site;
    QString folder;
    QString libraryPath;
    QString lineName;
    sim::Line line;
    void* handle = nullptr;
};

TEST_F(Library, CreatedByProgIdReadsARecordCount)
{
    sim::Controller& c = line.add(1);
    for (int i = 0; i < 300; ++i)
        c.addPunch({uint32_t(1000 + i), QDateTime(QDate(2026, 3, 23), QTime(8, 0)), 0x0A, 0x00});

    Dispatch door = com::CreateObject("Vantrel.Door8096");
    ASSERT_TRUE(door);
    // The settings file lands next to the registered copy of the library.
    EXPECT_EQ(settingsFile(), QByteArray("coninputmodebinary\r\n19200,n,8,1\r\n2048\r\n512\r\n1\r\n0\r\n"));
    EXPECT_TRUE(door.call("setport", {int16_t(1)}).toBool());
    EXPECT_EQ(door.call("GatherRecordSum", {int16_t(1)}).toLong(), 300);
    EXPECT_EQ(door.call("GATHERRECORDSUM", {int16_t(2)}).toLong(), -1); // nobody at address 2
    EXPECT_TRUE(ui.messages.isEmpty());
}

TEST_F(Library, UnregisteredClassCannotBeCreated)
{
    ASSERT_EQ(entry<com::DllUnregisterServerFn>("DllUnregisterServer")(), 0);
    try {
        com::CreateObject("Vantrel.Door8096");
        FAIL() << "created after unregistration";
    } catch (const rt::Error& e) {
        EXPECT_EQ(e.number(), 429);
    }
}

TEST_F(Library, CanUnloadOnlyWhenNoObjectLives)
{
    auto canUnload = entry<com::DllCanUnloadNowFn>("DllCanUnloadNow");
    {
        Dispatch door = com::CreateObject("Vantrel.Door8096");
        EXPECT_EQ(canUnload(), 1);
    }
    EXPECT_EQ(canUnload(), 0);
}

TEST_F(Library, PropertiesAndMemberNamesInAnyCase)
{
    Dispatch door = com::CreateObject("Vantrel.Door8096");
    EXPECT_EQ(door.getProperty("Ver").toString(), "V1.2.4 Door 8096 For ZIZeva 2008-08-27");
    door.setProperty("ver", QStringLiteral("mine"));
    EXPECT_EQ(door.getProperty("VER").toString(), "mine");
    EXPECT_EQ(door.getProperty("AllRecordSum").toLong(), 0);
    door.setProperty("AllRecordSum", int32_t(123456));
    EXPECT_EQ(door.getProperty("allrecordsum").toLong(), 123456);

    line.add(7).setVersion(QByteArray::fromHex("8096080827010204"));
    Args a{int16_t(7), QString()};
    EXPECT_TRUE(door.call("getMachVer", a).toBool());
    EXPECT_EQ(a[1].toString(), "8096080827010204");
    EXPECT_TRUE(door.call("clearRecord", {int16_t(7)}).toBool());
    EXPECT_TRUE(door.call("ClearNamelist", {int16_t(7)}).toBool());
    EXPECT_TRUE(door.call("DestoryPort").toBool());
    try {
        door.call("DestroyPort");
        FAIL();
    } catch (const rt::Error& e) {
        EXPECT_EQ(e.number(), 438);
    }
}

TEST_F(Library, CardRoundTripThroughTheController)
{
    sim::Controller& c = line.add(5);
    Dispatch door = com::CreateObject("Vantrel.Door8096");
    Args send{int16_t(5), QStringLiteral("00001234"), QStringLiteral("3000000000"), int16_t(1), int16_t(1), int16_t(1),
              int16_t(0), int16_t(1), QStringLiteral("1111100"), QStringLiteral("991231"),
              QStringLiteral("0000000000000011"), QStringLiteral("1000000000000000")};
    EXPECT_TRUE(door.call("CardSendToMachine", send).toBool());
    ASSERT_TRUE(c.findCard(3000000000u).has_value());

    Args find{int16_t(5), QStringLiteral("3000000000"), QString()};
    EXPECT_TRUE(door.call("FindCard", find).toBool()); // intSleep left out: 2 s
    const QString line77 = "3000000000/00001234/11000101/1111100/991231/0000000000000011/1000000000000000";
    EXPECT_EQ(find[2].toString(), line77);

    Args list{int16_t(5), folder, QStringLiteral("cards.txt"), QString(), int32_t(-1)};
    EXPECT_TRUE(door.call("GatherSendCardData", list).toBool());
    EXPECT_EQ(list[4].toLong(), 1);
    QFile f(folder + "/cards.txt");
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), line77.toLatin1() + "\r\n");

    EXPECT_EQ(door.call("ClearName", {int16_t(5), QStringLiteral("3000000000")}).toInteger() >= 0, true);
    Args again{int16_t(5), QStringLiteral("3000000000"), QStringLiteral("x"), int16_t(1)};
    EXPECT_TRUE(door.call("findcard", again).toBool());
    EXPECT_EQ(again[2].toString(), "");
}

TEST_F(Library, PunchCollectionWithByReferenceResults)
{
    sim::Controller& c = line.add(3);
    for (int i = 0; i < 16; ++i)
        c.addPunch({uint32_t(0x123456 + i), QDateTime(QDate(2026, 3, 23), QTime(8, 15, 30)), 0x0A, 0x02});
    Dispatch door = com::CreateObject("Vantrel.Door8096");
    Args a{int16_t(3), folder, QStringLiteral("rec.txt"), QString(), int32_t(-1), int32_t(2), true, true, int32_t(-1)};
    EXPECT_TRUE(door.call("GatherData", a).toBool());
    EXPECT_EQ(a[4].toLong(), 16);
    EXPECT_EQ(a[8].toLong(), 16);
    EXPECT_EQ(a[3].toString(), "");
    QFile f(folder + "/rec.txt");
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = f.readAll().split('\n');
    ASSERT_EQ(lines.size(), 17);
    EXPECT_EQ(lines[0], "0030001193046202603230815300A02\r");
    EXPECT_EQ(c.punches().size(), 16u); // collection erases nothing
}

// Called with the required arguments only, as the programs do: 2 s per
// block (5 s for the name list), decimal cards, two-digit years, 100 ms
// before every attempt.
TEST_F(Library, CollectionsWithTheirDefaultArguments)
{
    sim::Controller& c = line.add(3);
    c.addPunch({uint32_t(0x123456), QDateTime(QDate(2026, 3, 23), QTime(8, 15, 30)), 0x0A, 0x02});
    Dispatch door = com::CreateObject("Vantrel.Door8096");

    Args a{int16_t(3), folder, QStringLiteral("rec.txt"), QString(), int32_t(-1)};
    EXPECT_TRUE(door.call("GatherData", a).toBool());
    QFile f(folder + "/rec.txt");
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "003000119304626032308153" "00A02\r\n");
    f.close();

    // A block that never comes: three attempts of interval + time-out each.
    c.inject(sim::Fault::make(sim::Fault::NoAnswer, 0x05, 0));
    int64_t t0 = ui.monotonicMs();
    a = Args{int16_t(3), folder, QStringLiteral("rec.txt"), QString(), int32_t(-1)};
    EXPECT_TRUE(door.call("GatherData", a).toBool());
    int64_t spent = ui.monotonicMs() - t0;
    EXPECT_GE(spent, 3 * (100 + 2000));
    EXPECT_LE(spent, 3 * (100 + 2000) + 400);
    EXPECT_EQ(a[3].toString(), "user:overtime");

    c.inject(sim::Fault::make(sim::Fault::NoAnswer, 0x04, 0));
    c.storeCard(sim::CardRecord{1});
    t0 = ui.monotonicMs();
    a = Args{int16_t(3), folder, QStringLiteral("cards.txt"), QString(), int32_t(-1)};
    EXPECT_TRUE(door.call("GatherSendCardData", a).toBool());
    spent = ui.monotonicMs() - t0;
    EXPECT_GE(spent, 3 * (100 + 5000));
    EXPECT_LE(spent, 3 * (100 + 5000) + 400);
}

TEST_F(Library, TimeGroupsClockDelaysAndLocks)
{
    sim::Controller& c = line.add(9);
    Dispatch door = com::CreateObject("Vantrel.Door8096");
    EXPECT_TRUE(door.call("SetTimeGroup", {int16_t(9), int16_t(16), int16_t(2), QStringLiteral("0800-1730"), int16_t(3)})
                    .toBool());
    EXPECT_EQ(c.timeGroups()[2].mode(), 3);
    Args tg{int16_t(9), QString(), QString()};
    EXPECT_TRUE(door.call("GetTimeGroup", tg).toBool());
    EXPECT_EQ(tg[1].toString().size(), 128);
    EXPECT_EQ(tg[1].toString().mid(16, 8), "08001730");
    EXPECT_EQ(tg[2].toString().mid(2, 1), "3");
    Args noModes{int16_t(9), QString()};
    EXPECT_TRUE(door.call("GetTimeGroup", noModes).toBool());

    EXPECT_TRUE(door.call("ModifyDateTime", {int16_t(9), QStringLiteral("260323"), QStringLiteral("081530"), int16_t(1)})
                    .toBool());
    EXPECT_TRUE(door.call("SetLockDelayTime", {int16_t(9), int16_t(75), int16_t(-3), int16_t(10)}).toBool());
    Args dt{int16_t(9), QString()};
    EXPECT_TRUE(door.call("getDateTimeDelay", dt).toBool());
    EXPECT_EQ(dt[1].toString().mid(0, 6), "260323");
    EXPECT_EQ(dt[1].toString().mid(12), "060000010");

    EXPECT_FALSE(door.call("OpenLock", {int16_t(9), int16_t(4)}).toBool());
    EXPECT_TRUE(door.call("OpenLock", {int16_t(9), int16_t(1)}).toBool());
    Args ls{int16_t(9), QString()};
    EXPECT_TRUE(door.call("getLockStatus", ls).toBool());
    EXPECT_EQ(ls[1].toString(), "10");

    c.presentCard(1234567);
    Args cls{int16_t(9), QString()};
    EXPECT_TRUE(door.call("getCardLockStatus", cls).toBool());
    EXPECT_EQ(cls[1].toString().left(10), "0001234567");
    Args all{int16_t(9), QString()};
    EXPECT_EQ(door.call("ReadCardNum", all).toString(), "0001234567");
    EXPECT_EQ(all[1].toString().size(), 16);
}

TEST_F(Library, MisbehavingControllerFailsWithinItsTimeOutAndRecovers)
{
    sim::Controller& c = line.add(1);
    c.addPunch({1, QDateTime(QDate(2026, 3, 23), QTime(8, 0))});
    Dispatch door = com::CreateObject("Vantrel.Door8096");
    c.inject(sim::Fault::noAnswer(0x10));
    const int64_t start = ui.monotonicMs();
    EXPECT_EQ(door.call("GatherRecordSum", {int16_t(1)}).toLong(), -1);
    EXPECT_LE(ui.monotonicMs() - start, 3100);
    c.inject(sim::Fault::late(0x10, 3500));
    EXPECT_EQ(door.call("GatherRecordSum", {int16_t(1)}).toLong(), -1);
    ui.advanceMs(1000);
    c.inject(sim::Fault::extraBytes(0x10, QByteArray("\x01\x02\x03", 3)));
    EXPECT_EQ(door.call("GatherRecordSum", {int16_t(1)}).toLong(), 1);
    EXPECT_EQ(door.call("GatherRecordSum", {int16_t(1)}).toLong(), 1);
    c.inject(sim::Fault::pieces(0x10, 20, 30));
    EXPECT_EQ(door.call("GatherRecordSum", {int16_t(1)}).toLong(), 1);
    c.inject(sim::Fault::otherAddress(0x10, 2));
    EXPECT_EQ(door.call("GatherRecordSum", {int16_t(1)}).toLong(), -1);
}

TEST_F(Library, SetPortRecordsThePortForTheNextCreation)
{
    {
        Dispatch door = com::CreateObject("Vantrel.Door8096");
        EXPECT_FALSE(door.call("SetPort", {int16_t(17)}).toBool());
        EXPECT_TRUE(door.call("SetPort", {int16_t(1)}).toBool());
        // Port 2 is not mapped: its device does not exist here.
        EXPECT_FALSE(door.call("SetPort", {int16_t(2)}).toBool());
    }
    QFile f(folder + "/serialports.conf");
    ASSERT_TRUE(f.open(QIODevice::Append));
    f.write("6=inproc:" + lineName.toUtf8() + "\n");
    f.close();
    {
        Dispatch door = com::CreateObject("Vantrel.Door8096");
        EXPECT_TRUE(door.call("SetPort", {int16_t(6)}).toBool());
    }
    EXPECT_TRUE(settingsFile().contains("\r\n6\r\n0\r\n"));
}

} // namespace
