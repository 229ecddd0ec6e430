// The card windows while their controller runs wait for a late or silent
// controller and the operator clicks in the middle: no window closes under
// its run, no second command joins the line, and what is booked is what the
// calm run books.
#include "WindowBench.h"

#include "AppForms.h"
#include "FrmDec.h"
#include "FrmEtD.h"
#include "FrmFK.h"
#include "FrmFKZL.h"
#include "FrmGatherData.h"
#include "FrmSelectTime.h"
#include "Frmbm.h"
#include "Globals.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace {

// Command codes of the replies the controllers hold back.
constexpr int kCardSend = 0x03, kClearName = 0x0D, kReadCard = 0x0B, kClock = 0x08, kTimeGroups = 0x42;

const QString kBooked = QStringLiteral(
    "SELECT 'dfaka', 地址, 卡号, 物理卡号 FROM dfaka UNION ALL SELECT 'dtuika', 地址, 卡号, 物理卡号 FROM dtuika "
    "ORDER BY 1, 2, 3, 4");

void select(QListWidget* list, const QStringList& texts)
{
    for (int i = 0; i < list->count(); ++i)
        list->item(i)->setSelected(texts.contains(list->item(i)->text()));
}

} // namespace

class CardRunsTest : public WindowBench {
protected:
    void TearDown() override
    {
        ui::forms::setModalHandler({});
        appforms::registerWindow(QStringLiteral("FrmGatherData"), &appforms::openForm<FrmGatherData>);
        appforms::registerWindow(QStringLiteral("FrmFKZL"), &appforms::openForm<FrmFKZL>);
        WindowBench::TearDown();
    }

    // A fresh world for the next row: no window, no credential, controllers
    // 3 and 5 as new, seeded with the people and doors.
    void freshWorld()
    {
        ui::forms::unloadAll();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        ui::forms::setModalHandler({});
        exec(QStringLiteral("BEGIN"));   // one commit: fast also on a busy disk
        for (const char* table : {"dfaka", "dtuika", "doors", "people"})
            exec(QStringLiteral("DELETE FROM ") + QLatin1String(table));
        addPerson(QStringLiteral("00000001"), QStringLiteral("张三"), QStringLiteral("工程部"));
        addDoor(3, QStringLiteral("前门"));
        addDoor(5, QStringLiteral("大门"));
        exec(QStringLiteral("COMMIT"));
        line.dropPending();
        line.remove(3);
        line.remove(5);
        controller(3);
        controller(5);
        scripted.clearMessages();
        FrmSelectTime::ReadError = 0;
    }
    // A credential in dfaka and on its controller.
    void issued(int address, const QString& employee, uint32_t physical, bool password = false)
    {
        exec(QStringLiteral("INSERT INTO dfaka (地址, 卡号, 物理卡号, 姓名, 部门, 锁1允许, 周标志, 截止日期, 锁1时间段标志, "
                            "锁2时间段标志, 发卡日期, 密码标志) VALUES (?, ?, ?, '张三', '工程部', 1, '1111111', '991231', "
                            "'0000000000000001', '0000000000000001', '2026-12-01', ?)"),
             {address, employee, QStringLiteral("%1").arg(physical, 10, 10, QLatin1Char('0')), password ? 1 : 0});
        controller(address).storeCard(sim::CardRecord{physical, employee.toUInt(nullptr, 16), 0x80});
    }
};

TEST_F(CardRunsTest, CardWindowHoldsItsRuns)
{
    const QList<Interruption<FrmFK>> clicks = {
        {"close box", [](FrmFK* w) { w->close(); }},
        {"exit", [](FrmFK* w) { w->Command2_Click(); }},
        {"exit button", [](FrmFK* w) { w->Command2->click(); }},
        {"issue", [](FrmFK* w) { w->CmdSendCard_Click(); }},
        {"return", [](FrmFK* w) { w->Cmddel_Click(); }},
        {"read", [](FrmFK* w) { w->CmdRearCard_Click(); }},
        {"test", [](FrmFK* w) { w->cmdTest_Click(); }},
        {"time groups", [](FrmFK* w) { w->ButtonChkTime_Click(0); }},
    };
    auto open = [this](const QStringList& locks) {
        FrmFK* w = ui::forms::load<FrmFK>();
        w->LstDepart->item(0)->setSelected(true);
        w->LstEmpInfo->item(0)->setSelected(true);
        select(w->DoorAddr, locks);
        return w;
    };
    auto exit = [](FrmFK* w) { w->Command2_Click(); };

    // Issue: 3 answers late, 5 never; the operator clicks during the first
    // send to 5. The card is booked at 3 only, where the controller took it.
    auto issuing = [&] {
        freshWorld();
        controller(3).inject(sim::Fault::late(kCardSend, 400));
        controller(5).inject(sim::Fault::noAnswer(kCardSend, 0));
        FrmFK* w = open({"3[1前门]", "5[1大门]"});
        w->tcard->setText(QStringLiteral("1193046"));
        return w;
    };
    holdsItsRuns<FrmFK>(kBooked, "issue", issuing, [](FrmFK* w) { w->CmdSendCard_Click(); }, "CardSendToMachine", 2,
                        clicks, exit);
    EXPECT_EQ(rows(kBooked), (QList<QVariantList>{{"dfaka", 3, "00000001", "0001193046"}}));
    // A click in the employee list during the send to 3 empties the card
    // box; the card still goes on to 5.
    holdsItsRuns<FrmFK>(kBooked, "issue, the list clicked", issuing, [](FrmFK* w) { w->CmdSendCard_Click(); },
                        "CardSendToMachine", 1,
                        {{"the employee clicked again",
                          [](FrmFK* w) {
                              w->LstEmpInfo->item(0)->setSelected(false);
                              w->LstEmpInfo->item(0)->setSelected(true);
                          }},
                         {"card box emptied", [](FrmFK* w) { w->tcard->clear(); }}},
                        exit);
    EXPECT_TRUE(controller(3).findCard(1193046).has_value());

    // Return from 3 and 5, 5 silent: booked as returned at 3 only.
    holdsItsRuns<FrmFK>(kBooked, 
        "return",
        [&] {
            freshWorld();
            issued(3, "00000001", 42);
            issued(5, "00000001", 42);
            controller(3).inject(sim::Fault::late(kClearName, 400));
            controller(5).inject(sim::Fault::noAnswer(kClearName, 0));
            FrmFK* w = open({"3[1前门]", "5[1大门]"});
            w->tcard->setText(QStringLiteral("0000000042"));
            return w;
        },
        [](FrmFK* w) { w->Cmddel_Click(); }, "ClearName", 2, clicks, exit);
    EXPECT_EQ(rows(kBooked), (QList<QVariantList>{{"dfaka", 5, "00000001", "0000000042"},
                                                  {"dtuika", 3, "00000001", "0000000042"}}));
    EXPECT_FALSE(controller(3).findCard(42).has_value());

    holdsItsRuns<FrmFK>(kBooked, 
        "card read",
        [&] {
            freshWorld();
            controller(3).inject(sim::Fault::noAnswer(kReadCard, 0));
            FrmFK* w = open({});
            w->Cdk->setEditText(QStringLiteral("3"));
            return w;
        },
        [](FrmFK* w) { w->CmdRearCard_Click(); }, "ReadCardNum", 1, clicks, exit);

    holdsItsRuns<FrmFK>(kBooked, 
        "communication test",
        [&] {
            freshWorld();
            controller(5).inject(sim::Fault::noAnswer(kClock, 0));
            return open({"3[1前门]", "5[1大门]"});
        },
        [](FrmFK* w) { w->cmdTest_Click(); }, "ModifyDateTime", 2, clicks, exit);
    EXPECT_EQ(ui::forms::find<FrmFK>(), nullptr);
}

TEST_F(CardRunsTest, ListWindowsHoldTheirRuns)
{
    // Re-send of address 5: every second reply of 5 never comes.
    const QList<Interruption<FrmFKZL>> resend = {
        {"close box", [](FrmFKZL* w) { w->close(); }},
        {"exit", [](FrmFKZL* w) { w->Command2_Click(); }},
        {"exit button", [](FrmFKZL* w) { w->Command2->click(); }},
        {"re-send again", [](FrmFKZL* w) { w->CmdReset_Click(); }},
        {"retry", [](FrmFKZL* w) { w->CmdRetry_Click(); }},
        {"clear button", [](FrmFKZL* w) { w->CmdClear->click(); }},
    };
    holdsItsRuns<FrmFKZL>(kBooked, 
        "re-send",
        [&] {
            freshWorld();
            for (uint32_t card : {101u, 102u, 103u})
                issued(5, QStringLiteral("0000000%1").arg(card - 100), card);
            controller(5).inject(sim::Fault::late(kCardSend, 300));
            controller(5).inject(sim::Fault::noAnswer(kCardSend));
            auto* w = ui::forms::load<FrmFKZL>();
            w->Combo1->setCurrentIndex(w->Combo1->findText(QStringLiteral("5")));
            return w;
        },
        [](FrmFKZL* w) { w->CmdReset_Click(); }, "CardSendToMachine", 2, resend,
        [](FrmFKZL* w) { w->Command2_Click(); });

    // Compression of 3 and 5, 5 silent: returns booked at 3 only.
    const QList<Interruption<FrmDec>> compress = {
        {"close box", [](FrmDec* w) { w->close(); }},
        {"exit", [](FrmDec* w) { w->Command2_Click(); }},
        {"by address", [](FrmDec* w) { w->CmdDelAddr_Click(); }},
        {"by person", [](FrmDec* w) { w->CmdDelInfo_Click(); }},
        {"select all button", [](FrmDec* w) { w->cmdSelect->click(); }},
        {"clear button", [](FrmDec* w) { w->CmdClear->click(); }},
    };
    auto compressing = [&] {
        freshWorld();
        issued(3, "00000001", 42);
        issued(5, "00000001", 42);
        controller(3).inject(sim::Fault::late(kClearName, 300));
        controller(5).inject(sim::Fault::noAnswer(kClearName, 0));
        auto* w = ui::forms::load<FrmDec>();
        select(w->LstAddr, {"3", "5"});
        return w;
    };
    holdsItsRuns<FrmDec>(kBooked, "compression", compressing, [](FrmDec* w) { w->CmdDelAddr_Click(); }, "ClearName", 2,
                         compress, [](FrmDec* w) { w->Command2_Click(); });
    EXPECT_EQ(rows(kBooked), (QList<QVariantList>{{"dfaka", 5, "00000001", "0000000042"},
                                                  {"dtuika", 3, "00000001", "0000000042"}}));
    // The addresses are those selected when the run began.
    holdsItsRuns<FrmDec>(kBooked, "compression, the address list clicked", compressing,
                         [](FrmDec* w) { w->CmdDelAddr_Click(); }, "ClearName", 1,
                         {{"5 unselected", [](FrmDec* w) { select(w->LstAddr, {"3"}); }}},
                         [](FrmDec* w) { w->Command2_Click(); });

    // Extension of 3's list onto 5, 5 silent: nothing new is booked.
    const QList<Interruption<FrmEtD>> extend = {
        {"close box", [](FrmEtD* w) { w->close(); }},
        {"exit", [](FrmEtD* w) { w->CmdExit_Click(); }},
        {"by person", [](FrmEtD* w) { w->CmdEtDByMan_Click(); }},
        {"by address", [](FrmEtD* w) { w->CmdEtDByMach_Click(); }},
        {"time groups", [](FrmEtD* w) { w->ButtonChkTime_Click(0); }},
        {"clear button", [](FrmEtD* w) { w->CmdClear->click(); }},
    };
    holdsItsRuns<FrmEtD>(kBooked, 
        "extension",
        [&] {
            freshWorld();
            issued(3, "00000001", 42);
            controller(5).inject(sim::Fault::noAnswer(kCardSend, 0));
            auto* w = ui::forms::load<FrmEtD>();
            w->CmbAddr->setEditText(QStringLiteral("3"));
            select(w->LstAddr, {"5[1大门]"});
            return w;
        },
        [](FrmEtD* w) { w->CmdEtDByMach_Click(); }, "CardSendToMachine", 1, extend,
        [](FrmEtD* w) { w->CmdExit_Click(); });
    EXPECT_EQ(rows(kBooked), (QList<QVariantList>{{"dfaka", 3, "00000001", "0000000042"}}));
}

TEST_F(CardRunsTest, AdviceWindowsHoldTheirOwnRunsInsideTheReturnThatOpenedThem)
{
    freshWorld();
    sim::Controller& c = controller(3);
    for (uint32_t n = 1000; n < 1099; ++n) {   // 99 withdrawn: the next return gives the advice
        c.storeCard({n});
        c.deleteCard(n);
    }
    issued(3, "00000001", 42);
    issued(3, "00000002", 77);
    c.addPunch({77, QDateTime(QDate(2026, 12, 7), QTime(8, 1))});
    c.inject(sim::Fault::late(0x05, 300));        // the collection waits
    c.inject(sim::Fault::late(kCardSend, 300));   // and the re-send
    auto* w = ui::forms::load<FrmDec>();
    select(w->LstAddr, {"3"});
    const QPointer<FrmDec> compression(w);

    // The operator presses every way out of the three windows while the
    // advice windows wait for the controller.
    auto pressEverything = [compression](ui::Form* advice, const std::function<void()>& exitAdvice) {
        advice->close();
        exitAdvice();
        compression->close();
        compression->Command2_Click();
        compression->CmdDelAddr_Click();
    };
    restless.start();
    restless.at("GatherData", 1, [&] {
        auto* g = ui::forms::find<FrmGatherData>();
        pressEverything(g, [g] { g->cdexit_Click(); });
    });
    restless.at("CardSendToMachine", 1, [&] {
        auto* z = ui::forms::find<FrmFKZL>();
        pressEverything(z, [z] { z->Command2_Click(); });
    });
    QStringList seen;
    ui::forms::setModalHandler([&](ui::Form& f) {
        const QString name = f.objectName();
        const QPointer<ui::Form> advice(&f);
        if (auto* g = qobject_cast<FrmGatherData*>(&f)) {
            g->cText->setCurrentIndex(g->cText->findText(QStringLiteral("3")));
            restless.click([g] { g->ReadCommand_Click(); });
            seen << QStringLiteral("collected %1").arg(value(QStringLiteral("SELECT COUNT(*) FROM data")).toInt())
                        + (advice ? QString() : QStringLiteral(" under a closed window"));
            restless.click([g] { g->cdexit_Click(); });
        } else if (auto* z = qobject_cast<FrmFKZL*>(&f)) {
            z->Combo1->setCurrentIndex(z->Combo1->findText(QStringLiteral("3")));
            restless.click([z] { z->CmdReset_Click(); });
            seen << QStringLiteral("re-sent %1").arg(advice ? z->ListSuccess->count() : -1);
            restless.click([z] { z->Command2_Click(); });
        }
        seen << name + (advice.isNull() ? QStringLiteral(" closed") : QStringLiteral(" still open"));
    });
    scripted.queueAnswer(ui::mb::OK);
    restless.click([w] { w->CmdDelAddr_Click(); });

    EXPECT_EQ(restless.acted(), 2);
    EXPECT_EQ(restless.mostAtOnce(), 1);
    EXPECT_EQ(seen, (QStringList{"collected 1", "FrmGatherData closed", "re-sent 1", "FrmFKZL closed"}));
    ASSERT_FALSE(compression.isNull());
    EXPECT_TRUE(ui::forms::loaded().contains(w));
    // The return went on after the advice: both credentials are booked and
    // off the controller, the re-send did not bring the first one back.
    EXPECT_EQ(rows(kBooked), (QList<QVariantList>{{"dtuika", 3, "00000001", "0000000042"},
                                                  {"dtuika", 3, "00000002", "0000000077"}}));
    EXPECT_FALSE(c.findCard(42).has_value());
    EXPECT_FALSE(c.findCard(77).has_value());
    EXPECT_EQ(w->statusText(), QStringLiteral("3号机删除成功！"));
    EXPECT_TRUE(w->CmdDelAddr->isEnabled() && w->Command2->isEnabled());
}

TEST_F(CardRunsTest, ReturnThatFailsMidwayGivesEverythingBack)
{
    freshWorld();
    issued(3, "00000001", 42);
    issued(5, "00000001", 42);
    controller(3).inject(sim::Fault::late(kClearName, 300));
    FrmFK* w = ui::forms::load<FrmFK>();
    w->LstDepart->item(0)->setSelected(true);
    w->LstEmpInfo->item(0)->setSelected(true);
    select(w->DoorAddr, {"3[1前门]", "5[1大门]"});
    w->tcard->setText(QStringLiteral("0000000042"));
    const QStringList before = [w] {
        QStringList on;
        for (const QAbstractButton* b : w->findChildren<QAbstractButton*>())
            if (b->isEnabled())
                on << b->text();
        return on;
    }();
    // The booking store breaks while the first controller answers.
    const RunRecord r = recordRun(
        w, [w] { w->Cmddel_Click(); }, "ClearName", 1,
        [&] {
            exec(QStringLiteral("DROP TABLE dtuika"));
            w->close();
        },
        QStringLiteral("SELECT 地址 FROM dfaka ORDER BY 地址"));
    EXPECT_EQ(r.acted, 1);
    EXPECT_TRUE(r.open);
    EXPECT_EQ(r.calls, (QStringList{"SetPort(1)", "ClearName(3, 0000000042)"}));   // no second address
    EXPECT_EQ(r.booked, (QList<QVariantList>{{3}, {5}}));
    EXPECT_EQ(scripted.messages.size(), 1);
    EXPECT_EQ(scripted.messages.value(0).title, QStringLiteral("错误提示"));
    QStringList after;
    for (const QAbstractButton* b : w->findChildren<QAbstractButton*>())
        if (b->isEnabled())
            after << b->text();
    EXPECT_EQ(after, before);
    restless.click([w] { w->close(); });
    EXPECT_EQ(ui::forms::find<FrmFK>(), nullptr);
}

// A return that reaches 100 at a controller opens the collection and re-send
// windows in the middle of its run; their closing and the re-send's end must
// not close the port under the run, which goes on to the next credential.
TEST_F(CardRunsTest, ReturnRunsKeepTheirPortThroughTheAdviceWindows)
{
    struct Row {
        const char* name;
        std::function<ui::Form*()> open;       // loaded, its run ready to start
        std::function<void(ui::Form*)> run;
        std::function<void(ui::Form*)> exit;
        QStringList portCalls;                 // from the first return on, the window's exit included
        QList<QVariantList> booked;
    };
    const QList<QVariantList> bothReturnedAt3{{"dtuika", 3, "00000001", "0000000042"},
                                              {"dtuika", 3, "00000002", "0000000077"}};
    const Row table[] = {
        {"card window",
         [this] {
             issued(3, "00000001", 42);
             issued(5, "00000001", 42);
             issued(3, "00000002", 77);   // what the re-send has to send
             FrmFK* w = ui::forms::load<FrmFK>();
             w->LstDepart->item(0)->setSelected(true);
             w->LstEmpInfo->item(0)->setSelected(true);
             select(w->DoorAddr, {"3[1前门]", "5[1大门]"});
             w->tcard->setText(QStringLiteral("0000000042"));
             return w;
         },
         [](ui::Form* w) { static_cast<FrmFK*>(w)->Cmddel_Click(); },
         [](ui::Form* w) { static_cast<FrmFK*>(w)->Command2_Click(); },
         // The advice windows work at the port of the settings: the return
         // goes back to the window's own before its next address.
         {"ClearName(3)", "setport(1)", "setport(1)", "SetPort(1)", "ClearName(5)", "DestoryPort()", "DestoryPort()"},
         {{"dfaka", 3, "00000002", "0000000077"},
          {"dtuika", 3, "00000001", "0000000042"},
          {"dtuika", 5, "00000001", "0000000042"}}},
        {"compression",
         [this] {
             issued(3, "00000001", 42);
             issued(3, "00000002", 77);
             auto* w = ui::forms::load<FrmDec>();
             select(w->LstAddr, {"3"});
             return w;
         },
         [](ui::Form* w) { static_cast<FrmDec*>(w)->CmdDelAddr_Click(); },
         [](ui::Form* w) { static_cast<FrmDec*>(w)->Command2_Click(); },
         {"ClearName(3)", "setport(1)", "setport(1)", "ClearName(3)", "DestoryPort()"}, bothReturnedAt3},
        {"department deletion",
         [this] {
             issued(3, "00000001", 42);
             issued(3, "00000002", 77);
             exec(QStringLiteral("DELETE FROM department WHERE 部门='工程部'"));
             addDepartment(QStringLiteral("工程部"));
             auto* w = ui::forms::load<Frmbm>();
             w->List1->setCurrentItem(w->List1->findItems(QStringLiteral("工程部"), Qt::MatchExactly).value(0));
             w->List1_Click();
             return w;
         },
         [](ui::Form* w) { static_cast<Frmbm*>(w)->Cmddel_Click(); },
         [](ui::Form* w) { static_cast<Frmbm*>(w)->CmdExit_Click(); },
         // The department window never releases the port.
         {"ClearName(3)", "setport(1)", "setport(1)", "ClearName(3)"}, bothReturnedAt3},
    };
    for (const Row& row : table) {
        SCOPED_TRACE(row.name);
        freshWorld();
        addPerson(QStringLiteral("00000002"), QStringLiteral("李四"), QStringLiteral("工程部"));
        sim::Controller& c = controller(3);
        for (uint32_t n = 1000; n < 1099; ++n) {   // 99 withdrawn: the next return gives the advice
            c.storeCard({n});
            c.deleteCard(n);
        }
        c.addPunch({77, QDateTime(QDate(2026, 12, 7), QTime(8, 1))});
        QStringList seen;
        ui::forms::setModalHandler([&](ui::Form& f) {
            if (auto* g = qobject_cast<FrmGatherData*>(&f)) {
                g->cText->setCurrentIndex(g->cText->findText(QStringLiteral("3")));
                g->ReadCommand_Click();
                seen << g->Panels[0]->text();
                g->cdexit_Click();
            } else if (auto* z = qobject_cast<FrmFKZL*>(&f)) {
                z->Combo1->setCurrentIndex(z->Combo1->findText(QStringLiteral("3")));
                z->CmdReset_Click();
                seen << z->Panels[0]->text();
                z->Command2_Click();
            }
        });
        ui::Form* w = row.open();
        clearTrace();
        row.run(w);
        row.exit(w);

        EXPECT_EQ(seen, (QStringList{"采集完成!", "重整成功！"}));
        QStringList port;
        for (const TracedCall& call : trace()) {
            if (call.member.compare(QStringLiteral("ClearName"), Qt::CaseInsensitive) == 0)
                port << QStringLiteral("ClearName(%1)").arg(call.arg(0));
            else if (call.member.contains(QStringLiteral("port"), Qt::CaseInsensitive) && !port.isEmpty())
                port << call.text();
        }
        EXPECT_EQ(port, row.portCalls);
        EXPECT_EQ(rows(kBooked), row.booked);
        EXPECT_EQ(ui::forms::find<FrmGatherData>(), nullptr);
        EXPECT_EQ(ui::forms::find<FrmFKZL>(), nullptr);
    }
}
