// The window against the real library, created by its programmatic
// identifier, talking to virtual controllers on an in-process line.
#include "DemoFixture.h"
#include "Line.h"
#include "Restless.h"
#include "com/Com.h"
#include "registry/Registry.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimeEdit>
#include <QToolBar>
#include <atomic>
#include <dlfcn.h>

namespace {
void writeText(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}
QByteArray readBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}
} // namespace

class DemoSimTest : public DemoWindowBase {
protected:
    void SetUp() override
    {
        DemoWindowBase::SetUp();
        reg::setRootDirectory(tmp.filePath(QStringLiteral("registry")));
        static std::atomic<int> serial{0};
        const QString name = QStringLiteral("demo%1").arg(++serial);
        line.registerAs(name);
        ctl = &line.add(18);
        // The library is deployed in the program folder, beside its port map.
        const QString lib = programFile(QFileInfo(QStringLiteral(VANTREL_LIBRARY)).fileName());
        ASSERT_TRUE(QFile::copy(QStringLiteral(VANTREL_LIBRARY), lib));
        writeText(programFile(QStringLiteral("serialports.conf")),
                  "1=inproc:" + name.toUtf8() + "\n2=inproc:" + name.toUtf8() + "\n3=inproc:nowhere-" + name.toUtf8()
                      + "\n");
        void* handle = dlopen(QFile::encodeName(lib).constData(), RTLD_NOW);
        ASSERT_NE(handle, nullptr) << dlerror();
        auto registerServer = reinterpret_cast<com::DllRegisterServerFn>(dlsym(handle, "DllRegisterServer"));
        ASSERT_NE(registerServer, nullptr);
        ASSERT_EQ(registerServer(), 0);
    }
    void TearDown() override
    {
        DemoWindowBase::TearDown();
        reg::setRootDirectory(QString());
    }
    FrmDemo& load()
    {
        FrmDemo& w = loadWith({});
        EXPECT_TRUE(loaded);
        return w;
    }

    sim::Line line;
    sim::Controller* ctl = nullptr;
};

TEST_F(DemoSimTest, FreshStartOpensPortTwoThroughTheLibrary)
{
    FrmDemo& w = load();
    ASSERT_TRUE(loaded);
    EXPECT_EQ(w.lblVer->text(), QStringLiteral("动态库：V1.2.4 Door 8096 For ZIZeva 2008-08-27"));
    EXPECT_EQ(w.TxtAddress->text(), QStringLiteral("18"));
    EXPECT_TRUE(w.buttonPressed(2));
    EXPECT_EQ(w.buttonPicture(2), 1);
    EXPECT_TRUE(scripted.messages.isEmpty());
    QStringList ini;
    ASSERT_TRUE(rt::readGbkLines(programFile(QStringLiteral("DoorSystem.ini")), ini));
    ASSERT_GE(ini.size(), 5);
    EXPECT_EQ(ini[4], QStringLiteral("2"));
}

TEST_F(DemoSimTest, PortClickStoresTheChoiceEvenWhenThePortFails)
{
    FrmDemo& w = load();
    w.Toolbar1_ButtonClick(3);
    EXPECT_EQ(setting(QStringLiteral("Com")), QStringLiteral("3"));
    EXPECT_EQ(status(), QStringLiteral("串口:3 设置失败!"));
    EXPECT_EQ(w.buttonPicture(3), 2);
    w.Toolbar1_ButtonClick(1);
    EXPECT_EQ(status(), QStringLiteral("串口:1 设置成功!"));
    EXPECT_EQ(w.buttonPicture(1), 1);
    EXPECT_EQ(w.buttonPicture(3), 2);
}

TEST_F(DemoSimTest, BatchOfThreeReachesTheController)
{
    FrmDemo& w = load();
    w.TxtCardNum->setText(QStringLiteral("100"));
    w.TxtNo->setText(QStringLiteral("1"));
    w.txtCardStep->setText(QStringLiteral("1"));
    w.txtCardTotal->setText(QStringLiteral("3"));
    w.chkLock01->setChecked(true);
    w.cmdSendCardMulti_Click();
    EXPECT_EQ(status(), QStringLiteral("批量发卡，共下发卡号：3个，发送失败：0个！"));
    ASSERT_EQ(ctl->cardSlots().size(), 3u);
    for (uint32_t k = 0; k < 3; ++k) {
        EXPECT_EQ(ctl->cardSlots()[k].card, 101 + k);
        EXPECT_EQ(ctl->cardSlots()[k].employee, 2 + k);   // "0000000k" as hex digits
        EXPECT_EQ(ctl->cardSlots()[k].flags & 0xC0, 0x80);
    }
}

TEST_F(DemoSimTest, LookUpFillsTheFrameFromTheStoredRecord)
{
    sim::CardRecord r;
    r.card = 1234567;
    r.employee = 0x00000123;
    r.flags = 0xC5;          // both locks, weekday and time control
    r.weekdays = 0xF8;       // Monday to Friday
    r.endDate = 0x270315;
    r.groups1 = 0x8001;
    r.groups2 = 0x4000;
    ASSERT_TRUE(ctl->storeCard(r));
    FrmDemo& w = load();
    w.TxtCardNum->setText(QStringLiteral("0001234567"));
    w.Command22_Click();
    EXPECT_EQ(status(), QStringLiteral("物理卡号:0001234567已找到"));
    EXPECT_EQ(w.TxtNo->text(), QStringLiteral("00000123"));
    EXPECT_TRUE(w.chkLock01->isChecked());
    EXPECT_TRUE(w.chkLock02->isChecked());
    EXPECT_TRUE(w.chkWeekCtrl->isChecked());
    EXPECT_FALSE(w.chkEndDate->isChecked());
    EXPECT_TRUE(w.chkTimeCtrl->isChecked());
    EXPECT_EQ(w.txtWeekValue->text(), QStringLiteral("1111100"));
    EXPECT_EQ(w.dtpEndDate->date(), QDate(2027, 3, 15));
    EXPECT_EQ(w.txtTime1[0]->text(), QStringLiteral("1"));
    EXPECT_EQ(w.txtTime1[15]->text(), QStringLiteral("1"));
    EXPECT_EQ(w.txtTime1[17]->text(), QStringLiteral("1"));
    EXPECT_TRUE(w.txtTime1[3]->isEnabled());

    // Sent back unchanged, the controller holds the same record.
    w.cmdSendCard_Click();
    EXPECT_EQ(status(), QStringLiteral("卡号:00000123发送成功!"));
    ASSERT_TRUE(ctl->findCard(1234567).has_value());
    EXPECT_EQ(*ctl->findCard(1234567), r);
}

TEST_F(DemoSimTest, CollectionIsRelaidWithChineseSeparators)
{
    ctl->addPunch({0x123456, QDateTime(QDate(2026, 3, 23), QTime(8, 15, 30)), 0x0A, 0x02});
    ctl->addPunch({0x000001, QDateTime(QDate(2026, 12, 1), QTime(23, 59, 59)), 0x0B, 0x01});
    FrmDemo& w = load();
    w.YearCheck->setChecked(true);
    w.txtIntenal->setText(QStringLiteral("0"));
    w.TxtF[1]->setText(QStringLiteral("号"));
    w.TxtF[2]->setText(QStringLiteral("，"));
    w.TxtT[7]->setText(QStringLiteral("无"));
    w.Cmd_GetData_Click();
    EXPECT_EQ(status(), QStringLiteral(" 总记录数为：2  采集到的记录数为：2"));
    const QByteArray sep = rt::toGbk(QStringLiteral("号"));
    const QByteArray comma = rt::toGbk(QStringLiteral("，"));
    EXPECT_EQ(readBytes(programFile(QStringLiteral("DataRecordSet8096.txt"))),
              "018" + sep + "00123456" + comma + "2026032308150A02\r\n"   // seconds left out
                  + "018" + sep + "00000001" + comma + "2026120123590B01\r\n");
    EXPECT_EQ(readBytes(programFile(QStringLiteral("DataRecordSet_8096.txt"))),
              QByteArray("0180012345620260323081530" "0A02\r\n" "0180000000120261201235959" "0B01\r\n"));
    EXPECT_EQ(ctl->punches().size(), 2u);   // collection leaves them in the controller
}

TEST_F(DemoSimTest, ReadersDescribeTheControllerState)
{
    ctl->setDelays(5, 3, 60);
    ctl->openLock(2);
    FrmDemo& w = load();
    w.cmdGetLockStatus_Click();
    EXPECT_EQ(status(), QStringLiteral("读取成功！锁1关，锁2开"));
    w.cmdGetCardLockStatus_Click();
    EXPECT_TRUE(status().startsWith(QStringLiteral("读取成功！无打卡数据！锁1关，锁2开"))) << status().toStdString();
    ctl->presentCard(1234567);
    w.cmdGetCardLockStatus_Click();
    EXPECT_TRUE(status().startsWith(QStringLiteral("读取成功！物理卡号：0001234567，锁1关，锁2开，模式："))) << status().toStdString();
    w.cmdGetDateTimeDelay_Click();
    EXPECT_TRUE(status().startsWith(QStringLiteral("读取成功！当前日期时间：26年12月08日09:05:"))) << status().toStdString();
    EXPECT_TRUE(status().contains(QStringLiteral("，外接继电器延时："))) << status().toStdString();
    w.Command5_Click();
    EXPECT_EQ(w.Label->text(), QStringLiteral("0 条"));
    line.remove(18);
    w.cmdGetLockStatus_Click();
    EXPECT_EQ(status(), QStringLiteral("读取失败！"));
    w.Command6_Click();
    EXPECT_EQ(status(), QStringLiteral("采集失败"));
}

TEST_F(DemoSimTest, ClockIsSetWithSundayAsSeven)
{
    FrmDemo& w = load();
    scripted.setNow(QDateTime(QDate(2026, 12, 13), QTime(9, 5, 7)));   // a Sunday
    w.CmdModifyDateTime_Click();
    EXPECT_EQ(status(), QStringLiteral("修改日期成功"));
    ASSERT_FALSE(ctl->frames().empty());
    const QByteArray f = ctl->frames().back().bytes;
    ASSERT_EQ(f.size(), 10);
    EXPECT_EQ(f.mid(2, 7), QByteArray::fromHex("26121309050707"));
    EXPECT_EQ(ctl->clock().date(), QDate(2026, 12, 13));
}

TEST_F(DemoSimTest, TimeGroupSendRefusesAnIllegalRowBeforeSending)
{
    FrmDemo& w = load();
    ctl->clearLog();
    w.dtp_Begin[0]->setTime(QTime(8, 0));
    w.dtp_End[0]->setTime(QTime(12, 0));
    w.dtp_Begin[4]->setTime(QTime(18, 0));
    w.dtp_End[4]->setTime(QTime(17, 0));
    w.Command8_Click();
    EXPECT_EQ(scripted.lastMessage(), QStringLiteral("第 5段时间非法，开始时间不能大于结束时间！"));
    EXPECT_TRUE(ctl->frames().empty());

    // Fixed, the rows go out and read back.
    w.dtp_End[4]->setTime(QTime(19, 30));
    w.chkCardAndPsw[4]->setChecked(true);
    w.Command8_Click();
    EXPECT_EQ(status(), QStringLiteral("共下发：2个时段，其中发送失败：0个!"));
    w.Command9_Click();
    w.Command2_Click();
    EXPECT_EQ(w.dtp_Begin[0]->time(), QTime(8, 0));
    EXPECT_EQ(w.dtp_End[4]->time(), QTime(19, 30));
    EXPECT_TRUE(w.chkCardAndPsw[4]->isChecked());
    EXPECT_FALSE(w.chkCardAndPsw[0]->isChecked());
}

TEST_F(DemoSimTest, PublicSysIsWrittenInOrderAndReadBack)
{
    {
        FrmDemo& w = load();
        w.IsCheck->setChecked(true);
        w.TxtF[3]->setText(QStringLiteral(" "));
        w.dtp_Begin[2]->setTime(QTime(6, 30));
        w.close();
    }
    QStringList lines;
    ASSERT_TRUE(rt::readGbkLines(programFile(QStringLiteral("Public.Sys")), lines));
    QStringList keys;
    for (const QString& l : lines)
        if (l.contains(u'='))
            keys << l.section(u'=', 0, 0).trimmed();
    ASSERT_EQ(keys.size(), 55);
    EXPECT_EQ(keys.mid(0, 5), (QStringList{QStringLiteral("IsCheck"), QStringLiteral("YearCheck"),
                                           QStringLiteral("SleepDate"), QStringLiteral("TxtF0"), QStringLiteral("TxtT0")}));
    EXPECT_EQ(keys.last(), QStringLiteral("TimeEnd15"));
    frm.reset();
    FrmDemo& w = load();
    EXPECT_TRUE(w.IsCheck->isChecked());
    EXPECT_EQ(w.TxtF[3]->text(), QStringLiteral(" "));
    EXPECT_EQ(w.dtp_Begin[2]->time(), QTime(6, 30));
}

// Every button of the window pressed while a command waits for a late or
// silent controller, and the window closed meanwhile: nothing starts, the
// window stays, and the run ends as the calm run does. One entry per
// command, each well within its time on a loaded, sanitized build.
class DemoSimWaitTest : public DemoSimTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(DemoSimWaitTest, EveryButtonAndTheCloseBoxWaitForTheRunningCommand)
{
    using Act = std::function<void(FrmDemo&)>;
    struct Click {
        const char* name;
        Act act;
    };
    QList<Click> clicks = {
        {"close box", [](FrmDemo& w) { w.close(); }},
        {"exit", [](FrmDemo& w) { w.Cmd_Exit_Click(); }},
        {"port button", [](FrmDemo& w) { w.Toolbar1Buttons[0]->trigger(); }},
        {"every button", [](FrmDemo& w) {
             for (QPushButton* b : w.findChildren<QPushButton*>())
                 b->click();
         }},
    };
    const struct {
        const char* name;
        void (FrmDemo::*handler)();
    } handlers[] = {
        {"read card", &FrmDemo::Command7_Click},         {"issue", &FrmDemo::cmdSendCard_Click},
        {"batch", &FrmDemo::cmdSendCardMulti_Click},     {"return", &FrmDemo::cmdBackCard_Click},
        {"look up", &FrmDemo::Command22_Click},          {"collect", &FrmDemo::Cmd_GetData_Click},
        {"collect list", &FrmDemo::Cmd_GetNameList_Click}, {"erase list", &FrmDemo::cmdClearNameList_Click},
        {"erase records", &FrmDemo::cmdClearRecord_Click}, {"locks", &FrmDemo::cmdGetLockStatus_Click},
        {"card and locks", &FrmDemo::cmdGetCardLockStatus_Click}, {"clock and delays", &FrmDemo::cmdGetDateTimeDelay_Click},
        {"version", &FrmDemo::cmdGetMachVer_Click},      {"set clock", &FrmDemo::CmdModifyDateTime_Click},
        {"open lock", &FrmDemo::cmdOpenLock_Click},      {"set delays", &FrmDemo::cmdSetDelay_Click},
        {"record count", &FrmDemo::Command5_Click},      {"list count", &FrmDemo::Command6_Click},
        {"send groups", &FrmDemo::Command8_Click},       {"read groups", &FrmDemo::Command2_Click},
        {"fill groups", &FrmDemo::Command13_Click},
    };
    for (const auto& h : handlers)
        clicks.append({h.name, [m = h.handler](FrmDemo& w) { (w.*m)(); }});

    struct Run {
        const char* name;
        std::function<void()> faults;
        Act setUp;
        Act start;
        const char* member;
        int nth;
    };
    const Run runs[] = {
        {"collection", [this] { ctl->inject(sim::Fault::late(0x05, 300)); }, [](FrmDemo&) {},
         [](FrmDemo& w) { w.Cmd_GetData_Click(); }, "GatherData", 1},
        {"issue", [this] { ctl->inject(sim::Fault::noAnswer(0x03, 0)); },
         [](FrmDemo& w) {
             w.TxtCardNum->setText(QStringLiteral("0000000042"));
             w.TxtNo->setText(QStringLiteral("1"));
         },
         [](FrmDemo& w) { w.cmdSendCard_Click(); }, "CardSendToMachine", 1},
        {"batch", [this] { ctl->inject(sim::Fault::late(0x03, 300, 0)); },
         [](FrmDemo& w) {
             w.TxtCardNum->setText(QStringLiteral("100"));
             w.TxtNo->setText(QStringLiteral("1"));
             w.txtCardStep->setText(QStringLiteral("1"));
             w.txtCardTotal->setText(QStringLiteral("3"));
         },
         [](FrmDemo& w) { w.cmdSendCardMulti_Click(); }, "CardSendToMachine", 2},
        {"time_groups", [this] { ctl->inject(sim::Fault::late(0x41, 300)); },
         [](FrmDemo& w) { w.dtp_End[0]->setTime(QTime(12, 0)); }, [](FrmDemo& w) { w.Command8_Click(); },
         "SetTimeGroup", 1},
    };

    Restless restless(scripted);
    restless.start();
    QStringList calls;
    com::setCallObserver([&](const com::CallRecord& r) {
        QStringList args;
        for (const com::Variant& v : r.args)
            args << v.toString();
        calls << r.member + u'(' + args.join(QStringLiteral(", ")) + u')';
    });
    struct Outcome {
        QStringList calls, messages;
        QString status;
        size_t held = 0;
        bool shown = false;
        int acted = 0, most = 0;
    };
    auto once = [&](const Run& run, const Act& interruption) {
        frm.reset();
        line.dropPending();
        line.remove(18);
        ctl = &line.add(18);
        ctl->addPunch({42, QDateTime(QDate(2026, 12, 7), QTime(8, 1))});
        run.faults();
        scripted.setNow(QDateTime(QDate(2026, 12, 8), QTime(9, 5, 7)));
        FrmDemo& w = load();
        w.show();
        run.setUp(w);
        restless.reset();
        calls.clear();
        scripted.clearMessages();
        if (interruption)
            restless.at(QString::fromLatin1(run.member), run.nth, [&] { interruption(w); });
        restless.click([&] { run.start(w); });
        Outcome o{calls, {}, status(), ctl->cardSlots().size(), w.isVisible(), restless.acted(), restless.mostAtOnce()};
        for (const ui::ShownMessage& m : scripted.messages)
            o.messages << m.text;
        return o;
    };
    int ran = 0;
    for (const Run& run : runs) {
        if (run.name != std::string(GetParam()))
            continue;
        ++ran;
        const Outcome calm = once(run, nullptr);
        ASSERT_GE(restless.begun(QString::fromLatin1(run.member)), run.nth) << run.name;
        EXPECT_EQ(calm.most, 1) << run.name;
        for (const Click& c : clicks) {
            SCOPED_TRACE(std::string(run.name) + ", " + c.name);
            const Outcome o = once(run, c.act);
            EXPECT_EQ(o.acted, 1);
            EXPECT_TRUE(o.shown);
            EXPECT_EQ(o.most, 1);
            EXPECT_EQ(o.calls, calm.calls);
            EXPECT_EQ(o.status, calm.status);
            EXPECT_EQ(o.messages, calm.messages);
            EXPECT_EQ(o.held, calm.held);
            EXPECT_EQ(scripted.endCalls, 0);
            frm->close();   // the run is over: now it closes
            EXPECT_FALSE(frm->isVisible());
        }
    }
    EXPECT_EQ(ran, 1);
    com::setCallObserver({});
}

INSTANTIATE_TEST_SUITE_P(, DemoSimWaitTest, ::testing::Values("collection", "issue", "batch", "time_groups"),
                         [](const auto& info) { return std::string(info.param); });
