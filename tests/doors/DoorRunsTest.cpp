// The door windows while their controller runs wait for a late or silent
// controller and the operator clicks in the middle: no window closes under
// its run, no second command joins the line, what is stored is what the
// calm run stores; the monitors close once their poll is over.
#include "WindowBench.h"

#include "FrmGatherData.h"
#include "FrmGatherName.h"
#include "FrmSSXX.h"
#include "FrmSetTime.h"
#include "Frmdoors.h"
#include "Frmspe.h"
#include "FrmssjsN.h"
#include "Globals.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimeEdit>
#include <QTimer>

namespace {

// Command codes of the replies the controllers hold back.
constexpr int kRecordSum = 0x10, kClearRecords = 0x06, kClearList = 0x0C, kCollect = 0x05, kCollectList = 0x04,
              kClock = 0x08, kDelays = 0x09, kOpen = 0x40, kVersion = 0x80, kSetGroup = 0x41, kGetGroups = 0x42,
              kCardLock = 0x18;

const QString kStored = QStringLiteral(
    "SELECT 'doors', 地址, delay1, namedr1 FROM doors UNION ALL SELECT 'DTime', 地址, 时间段1, 时间段16 FROM DTime "
    "UNION ALL SELECT 'data', 地址, 卡号, 时间 FROM data UNION ALL SELECT 'dfaka', 地址, 卡号, 物理卡号 FROM dfaka "
    "ORDER BY 1, 2, 3, 4");

} // namespace

class DoorRunsTest : public WindowBench {
protected:
    // A fresh world for the next row: no window, doors 3 and 5 with new
    // controllers, one known card held by 3 and punched there.
    void freshWorld()
    {
        ui::forms::unloadAll();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        exec(QStringLiteral("BEGIN"));   // one commit: fast also on a busy disk
        for (const char* table : {"doors", "DTime", "data", "dfaka", "people"})
            exec(QStringLiteral("DELETE FROM ") + QLatin1String(table));
        addDoor(3);
        addDoor(5);
        addPerson(QStringLiteral("00000001"), QStringLiteral("张三"), QStringLiteral("工程部"));
        exec(QStringLiteral("INSERT INTO dfaka (地址, 卡号, 物理卡号, 姓名, 部门, 密码标志) "
                            "VALUES (3, '00000001', '0000000042', '张三', '工程部', 0)"));
        exec(QStringLiteral("INSERT INTO DTime (地址, 时间段1, 时间段16) VALUES (3, '0800-1200', '0000-0000')"));
        exec(QStringLiteral("COMMIT"));
        line.dropPending();
        line.remove(3);
        line.remove(5);
        controller(3).storeCard(sim::CardRecord{42, 1, 0x80});
        controller(3).addPunch({42, QDateTime(QDate(2026, 12, 7), QTime(8, 1))});
        controller(5);
        scripted.clearMessages();
        mdl::CommandDelay = 0;
    }
    template <class W>
    W* loadAt(QComboBox* W::*box, const QString& address)
    {
        W* w = ui::forms::load<W>();
        (w->*box)->setEditText(address);
        return w;
    }
};

TEST_F(DoorRunsTest, DoorTableHoldsItsRuns)
{
    const QList<Interruption<Frmdoors>> clicks = {
        {"close box", [](Frmdoors* w) { w->close(); }},
        {"exit", [](Frmdoors* w) { w->Command2_Click(); }},
        {"exit button", [](Frmdoors* w) { w->Command2->click(); }},
        {"information", [](Frmdoors* w) { w->Cdoor_Click(); }},
        {"lock delays", [](Frmdoors* w) { w->Command4_Click(); }},
        {"clock", [](Frmdoors* w) { w->Command1_Click(); }},
        {"initialisation", [](Frmdoors* w) { w->cmdY_Click(); }},
        {"time groups", [](Frmdoors* w) { w->CmdSetTime_Click(); }},
        {"add button", [](Frmdoors* w) { w->Cmdadd->click(); }},
        {"delete button", [](Frmdoors* w) { w->Cmddel->click(); }},
        {"a delay and a name typed",
         [](Frmdoors* w) {
             w->second2[0]->setText(QStringLiteral("9"));
             w->drnam[0]->setText(QStringLiteral("后门"));
         }},
    };
    auto exit = [](Frmdoors* w) { w->Command2_Click(); };
    auto table = [&](const char* name, int code, bool silent, const QString& address,
                     const std::function<void(Frmdoors*)>& start, const QString& member) {
        holdsItsRuns<Frmdoors>(
            kStored, name,
            [&] {
                freshWorld();
                controller(3).inject(silent ? sim::Fault::noAnswer(code, 0) : sim::Fault::late(code, 300));
                Frmdoors* w = loadAt(&Frmdoors::Cdoor, address);
                w->ChkRecord->setChecked(true);
                w->ChkName->setChecked(true);
                return w;
            },
            start, member, 1, clicks, exit);
    };
    table("information", kVersion, false, "3", [](Frmdoors* w) { w->Cdoor_Click(); }, "GetMachVer");
    table("lock delays", kDelays, true, "3", [](Frmdoors* w) { w->Command4_Click(); }, "SetLockDelayTime");
    // What is stored is what the controller was sent, not what was typed meanwhile.
    table("lock delays, late", kDelays, false, "3", [](Frmdoors* w) { w->Command4_Click(); }, "SetLockDelayTime");
    table("clock", kClock, true, "3", [](Frmdoors* w) { w->Command1_Click(); }, "ModifyDateTime");
    table("initialisation", kClearRecords, false, "3", [](Frmdoors* w) { w->cmdY_Click(); }, "clearRecord");
    EXPECT_TRUE(controller(3).punches().empty() && controller(3).cardSlots().empty());
    // Group 16 and the hand-over: the time-group window reads its groups
    // while the door window's run still holds.
    table("group 16 and hand-over", kVersion, false, "3", [](Frmdoors* w) { w->CmdSetTime_Click(); }, "GetMachVer");
    EXPECT_EQ(value(QStringLiteral("SELECT 时间段16 FROM DTime WHERE 地址=3")).toString(), QStringLiteral("0000-2359"));
    EXPECT_NE(ui::forms::find<FrmSetTime>(), nullptr);
}

TEST_F(DoorRunsTest, TimeGroupWindowHoldsItsRuns)
{
    const QList<Interruption<FrmSetTime>> clicks = {
        {"close box", [](FrmSetTime* w) { w->close(); }},
        {"exit", [](FrmSetTime* w) { w->CmdExit_Click(); }},
        {"exit button", [](FrmSetTime* w) { w->CmdExit->click(); }},
        {"read", [](FrmSetTime* w) { w->CmdRead_Click(); }},
        {"send", [](FrmSetTime* w) { w->CmdOk_Click(); }},
        {"initialisation", [](FrmSetTime* w) { w->CmdInitMachine_Click(); }},
        {"a time typed", [](FrmSetTime* w) { w->DTPicker1[15]->setTime(QTime(1, 0)); }},
        // The unlock window is without modality too; its unload releases the port.
        {"unlock window's close box", [](FrmSetTime*) { ui::forms::find<Frmspe>()->close(); }},
    };
    auto table = [&](const char* name, const sim::Fault& fault, const std::function<void(FrmSetTime*)>& start,
                     const QString& member, int nth) {
        holdsItsRuns<FrmSetTime>(
            kStored, name,
            [&] {
                freshWorld();
                controller(3).inject(fault);
                ui::forms::load<Frmspe>();
                return loadAt(&FrmSetTime::CmbAddr, "3");
            },
            start, member, nth, clicks, [](FrmSetTime* w) { w->CmdExit_Click(); });
    };
    table("read", sim::Fault::late(kGetGroups, 300), [](FrmSetTime* w) { w->CmdRead_Click(); }, "GetTimeGroup", 1);
    table("send", sim::Fault::late(kSetGroup, 300), [](FrmSetTime* w) { w->CmdOk_Click(); }, "SetTimeGroup", 1);
    table("initialisation", sim::Fault::noAnswer(kSetGroup, 0), [](FrmSetTime* w) { w->CmdInitMachine_Click(); },
          "SetTimeGroup", 2);
}

TEST_F(DoorRunsTest, CollectionWindowsHoldTheirRuns)
{
    const QList<Interruption<FrmGatherData>> punches = {
        {"close box", [](FrmGatherData* w) { w->close(); }},
        {"exit", [](FrmGatherData* w) { w->cdexit_Click(); }},
        {"collect", [](FrmGatherData* w) { w->ReadCommand_Click(); }},
        {"test", [](FrmGatherData* w) { w->numCommand_Click(); }},
        {"erase", [](FrmGatherData* w) { w->CmdClearData_Click(); }},
    };
    auto punchTable = [&](const char* name, int code, const std::function<void(FrmGatherData*)>& start,
                          const QString& member) {
        holdsItsRuns<FrmGatherData>(
            kStored, name,
            [&] {
                freshWorld();
                controller(3).inject(sim::Fault::late(code, 300));
                auto* w = ui::forms::load<FrmGatherData>();
                w->cText->setCurrentIndex(w->cText->findText(QStringLiteral("3")));
                return w;
            },
            start, member, 1, punches, [](FrmGatherData* w) { w->cdexit_Click(); });
    };
    punchTable("collection", kCollect, [](FrmGatherData* w) { w->ReadCommand_Click(); }, "GatherData");
    EXPECT_EQ(value(QStringLiteral("SELECT COUNT(*) FROM data")).toInt(), 1);
    punchTable("test", kRecordSum, [](FrmGatherData* w) { w->numCommand_Click(); }, "GatherRecordSum");
    punchTable("erase", kClearRecords, [](FrmGatherData* w) { w->CmdClearData_Click(); }, "clearRecord");
    EXPECT_TRUE(controller(3).punches().empty());

    const QList<Interruption<FrmGatherName>> names = {
        {"close box", [](FrmGatherName* w) { w->close(); }},
        {"exit", [](FrmGatherName* w) { w->CmdExit_Click(); }},
        {"collect", [](FrmGatherName* w) { w->ReadCommand_Click(); }},
        {"find", [](FrmGatherName* w) { w->Command1_Click(); }},
        {"test", [](FrmGatherName* w) { w->cmdTest_Click(); }},
        {"rebuild box", [](FrmGatherName* w) { w->Check1->click(); }},
    };
    auto nameTable = [&](const char* name, int code, const std::function<void(FrmGatherName*)>& start,
                         const QString& member) {
        holdsItsRuns<FrmGatherName>(
            kStored, name,
            [&] {
                freshWorld();
                controller(3).inject(sim::Fault::late(code, 300));
                auto* w = ui::forms::load<FrmGatherName>();
                w->cText->setEditText(QStringLiteral("3"));
                w->TxtPhyID->setText(QStringLiteral("42"));
                w->Check1->setChecked(true);
                return w;
            },
            start, member, 1, names, [](FrmGatherName* w) { w->CmdExit_Click(); });
    };
    nameTable("list collection", kCollectList, [](FrmGatherName* w) { w->ReadCommand_Click(); },
              "GatherSendCardData");
    nameTable("list test", kRecordSum, [](FrmGatherName* w) { w->cmdTest_Click(); }, "GatherSendCardSum");
}

TEST_F(DoorRunsTest, UnlockWindowHoldsItsRun)
{
    const QList<Interruption<Frmspe>> clicks = {
        {"close box", [](Frmspe* w) { w->close(); }},
        {"exit", [](Frmspe* w) { w->closeCmd_Click(); }},
        {"open again", [](Frmspe* w) { w->Copen_Click(); }},
        // The door window, shown again after a hand-over, is without modality.
        {"door window's exit", [](Frmspe*) { ui::forms::find<Frmdoors>()->Command2_Click(); }},
        {"door window's close box", [](Frmspe*) { ui::forms::find<Frmdoors>()->close(); }},
    };
    holdsItsRuns<Frmspe>(
        kStored, "unlock",
        [&] {
            freshWorld();
            controller(3).inject(sim::Fault::late(kOpen, 300));
            loadAt(&Frmdoors::Cdoor, "3");
            Frmspe* w = loadAt(&Frmspe::Cdoor, "3");
            w->Option1[0]->setChecked(true);
            return w;
        },
        [](Frmspe* w) { w->Copen_Click(); }, "OpenLock", 1, clicks, [](Frmspe* w) { w->closeCmd_Click(); });
    EXPECT_TRUE(controller(3).lockOpen(1));
}

// The door, time-group and unlock windows stay open beside each other, each
// at its own address: while one's run waits for controller 3 the operator
// starts commands in the other two, which are refused while it lasts.
TEST_F(DoorRunsTest, NoCommandStartsInAnotherWindowWhileARunWaits)
{
    auto open = [&](const sim::Fault& fault, int doors, int groups, int unlock) {
        freshWorld();
        loadAt(&Frmdoors::Cdoor, QString::number(doors));
        loadAt(&FrmSetTime::CmbAddr, QString::number(groups));
        Frmspe* s = loadAt(&Frmspe::Cdoor, QString::number(unlock));
        s->Option1[0]->setChecked(true);
        controller(3).inject(fault);
    };
    auto doorWindow = [] { return ui::forms::find<Frmdoors>(); };
    auto groupWindow = [] { return ui::forms::find<FrmSetTime>(); };
    auto unlockWindow = [] { return ui::forms::find<Frmspe>(); };

    holdsItsRuns<Frmdoors>(
        kStored, "door window's clock",
        [&] {
            open(sim::Fault::noAnswer(kClock, 0), 3, 5, 5);
            return doorWindow();
        },
        [](Frmdoors* w) { w->Command1_Click(); }, "ModifyDateTime", 1,
        {{"unlock", [&](Frmdoors*) { unlockWindow()->Copen_Click(); }},
         {"time groups read", [&](Frmdoors*) { groupWindow()->CmdRead_Click(); }},
         {"time groups sent", [&](Frmdoors*) { groupWindow()->CmdOk_Click(); }},
         {"time groups initialised", [&](Frmdoors*) { groupWindow()->CmdInitMachine_Click(); }}},
        [](Frmdoors* w) { w->Command2_Click(); });

    holdsItsRuns<FrmSetTime>(
        kStored, "time groups read",
        [&] {
            open(sim::Fault::late(kGetGroups, 300), 5, 3, 5);
            return groupWindow();
        },
        [](FrmSetTime* w) { w->CmdRead_Click(); }, "GetTimeGroup", 1,
        {{"unlock", [&](FrmSetTime*) { unlockWindow()->Copen_Click(); }},
         {"door information", [&](FrmSetTime*) { doorWindow()->Cdoor_Click(); }},
         {"door clock", [&](FrmSetTime*) { doorWindow()->Command1_Click(); }},
         {"lock delays", [&](FrmSetTime*) { doorWindow()->Command4_Click(); }},
         {"door's time groups", [&](FrmSetTime*) { doorWindow()->CmdSetTime_Click(); }}},
        [](FrmSetTime* w) { w->CmdExit_Click(); });

    holdsItsRuns<Frmspe>(
        kStored, "unlock",
        [&] {
            open(sim::Fault::late(kOpen, 300), 5, 5, 3);
            return unlockWindow();
        },
        [](Frmspe* w) { w->Copen_Click(); }, "OpenLock", 1,
        {{"door information", [&](Frmspe*) { doorWindow()->Cdoor_Click(); }},
         {"door clock", [&](Frmspe*) { doorWindow()->Command1_Click(); }},
         {"lock delays", [&](Frmspe*) { doorWindow()->Command4_Click(); }},
         {"time groups read", [&](Frmspe*) { groupWindow()->CmdRead_Click(); }},
         {"time groups sent", [&](Frmspe*) { groupWindow()->CmdOk_Click(); }}},
        [](Frmspe* w) { w->closeCmd_Click(); });
    EXPECT_TRUE(controller(3).lockOpen(1));
}

// The monitors poll from their timers; a close asked for during a poll is
// carried out once the poll is over, and nothing of the poll lands after it.
TEST_F(DoorRunsTest, MonitorsCloseOnceTheirPollIsOver)
{
    struct Row {
        const char* name;
        std::function<ui::Form*()> open;   // loaded, its timers stopped
        std::function<void(ui::Form*)> tick;
        std::function<void(ui::Form*)> close;
        QStringList calls;   // the trace of two ticks with the close during the second
    };
    auto lockMonitor = [] {
        auto* w = ui::forms::load<FrmssjsN>();
        w->Timer1->stop();
        return static_cast<ui::Form*>(w);
    };
    auto punchMonitor = [] {
        auto* w = ui::forms::load<FrmSSXX>();
        w->TimerScanTD->stop();
        w->Timer2->stop();
        return static_cast<ui::Form*>(w);
    };
    const QStringList twoPolls{"getCardLockStatus(3, )", "getCardLockStatus(5, )", "getCardLockStatus(3, )",
                               "getCardLockStatus(5, )", "DestoryPort()"};
    const Row rows[] = {
        // The lock monitor polls one controller a tick and pauses with events
        // running before it: the close comes in that pause, the read is left out.
        {"lock monitor, close box", lockMonitor, [](ui::Form* w) { static_cast<FrmssjsN*>(w)->Timer1_Timer(); },
         [](ui::Form* w) { w->close(); }, {"getCardLockStatus(3, )", "DestoryPort()"}},
        {"lock monitor, menu close", lockMonitor, [](ui::Form* w) { static_cast<FrmssjsN*>(w)->Timer1_Timer(); },
         [](ui::Form* w) { static_cast<FrmssjsN*>(w)->closew_Click(); }, {"getCardLockStatus(3, )", "DestoryPort()"}},
        // The punch monitor's poll lets no event run: the close waits for it.
        {"punch monitor, close box", punchMonitor, [](ui::Form* w) { static_cast<FrmSSXX*>(w)->TimerScanTD_Timer(); },
         [](ui::Form* w) { w->close(); }, twoPolls},
        {"punch monitor, exit", punchMonitor, [](ui::Form* w) { static_cast<FrmSSXX*>(w)->TimerScanTD_Timer(); },
         [](ui::Form* w) { static_cast<FrmSSXX*>(w)->Command1_Click(); }, twoPolls},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        freshWorld();
        mdl::CommandDelay = 100;
        // 3 answers after the monitor gave up waiting.
        controller(3).inject(sim::Fault::late(kCardLock, 1500, 0));
        ui::Form* w = row.open();
        const QPointer<ui::Form> alive(w);
        restless.start();
        restless.reset();
        clearTrace();
        restless.at(QStringLiteral("getCardLockStatus"), 1, [&] { row.close(w); });
        restless.click([&] {
            row.tick(w);
            if (alive)
                row.tick(w);
        });
        EXPECT_EQ(restless.acted(), 1);
        EXPECT_TRUE(alive.isNull());
        EXPECT_EQ(traceText(), row.calls);
        EXPECT_EQ(restless.mostAtOnce(), 1);
    }
}
