// Name-list re-send through the real library on simulated controllers.
#include "WindowBench.h"

#include "AppForms.h"
#include "FrmDec.h"
#include "FrmFKZL.h"
#include "FrmGatherData.h"
#include "Globals.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>

class FrmFKZLTest : public WindowBench {
protected:
    struct Row {
        int address;
        QString number, physical, name;
        bool password = false;
        QString week = QStringLiteral("1111100");
    };
    void issue(const Row& r)
    {
        exec(QStringLiteral("INSERT INTO dfaka (地址, 卡号, 物理卡号, 姓名, 部门, 周控制, 锁1允许, 锁2允许, 时间控制, "
                            "截止日期控制, 周标志, 截止日期, 锁1时间段标志, 锁2时间段标志, 发卡日期, 密码标志) "
                            "VALUES (?, ?, ?, ?, '行政部', 1, 1, 0, 0, 1, ?, '271231', '0000000000000001', "
                            "'0000000000000011', '2026-12-01', ?)"),
             {r.address, r.number, r.physical, r.name, r.week, r.password ? 1 : 0});
    }
    FrmFKZL* open(int address)
    {
        auto* w = ui::forms::load<FrmFKZL>();
        w->Combo1->setCurrentIndex(w->Combo1->findText(QString::number(address)));
        return w;
    }
    QString status(FrmFKZL* w) { return w->Panels[0]->text(); }
    // Address 5 with three rows, the middle one with a bad week mask.
    FrmFKZL* openWithABadMiddleRow()
    {
        addDoor(5);
        issue({5, "00000001", "0000000101", "张三"});
        issue({5, "00000002", "0000000102", "李四", false, "2222222"});
        issue({5, "00000003", "0000000103", "王五"});
        controller(5);
        return open(5);
    }
    QList<uint32_t> held(int address)
    {
        QList<uint32_t> out;
        for (const sim::CardRecord& r : controller(address).cardSlots())
            if (!r.isEmpty())
                out << r.card;
        return out;
    }
};

TEST_F(FrmFKZLTest, FullRunMakesTheListEqualToTheTable)
{
    addDoor(5);
    addDoor(6);
    issue({5, "00000002", "0001193046", "李四"});
    issue({5, "00000001", "0000654321", "张三", true});
    issue({5, "00000003", "0000000777", "王五", false, "11111"});   // week mask too short
    issue({6, "00000004", "0000000888", "赵六"});
    sim::Controller& c = controller(5);
    sim::CardRecord stale;
    stale.card = 999;
    stale.employee = 0x99;
    c.storeCard(stale);

    FrmFKZL* w = open(5);
    EXPECT_EQ(w->txtCount->text(), "3");
    scripted.queueAnswer(ui::mb::OK);
    scripted.queueAnswer(ui::mb::Ignore);
    w->CmdReset_Click();

    EXPECT_EQ(members(), (QStringList{"setport", "ModifyDateTime", "ClearNamelist", "CardSendToMachine",
                                      "CardSendToMachine", "DestoryPort"}));
    const auto sends = callsOf("CardSendToMachine");
    EXPECT_EQ(sends[0].text(), "CardSendToMachine(5, 00000001, 0000654321, -1, 0, -1, -1, 0, 1111100, 271231, "
                               "0000000000000001, 0000000000000011)");
    EXPECT_EQ(held(5), (QList<uint32_t>{654321, 1193046}));

    ASSERT_EQ(scripted.messages.size(), 2);
    EXPECT_EQ(scripted.messages[0].text, "确定要重新整理发卡名单吗！");
    EXPECT_EQ(scripted.messages[1].text, "待发送信息中有非法字符或卡号、物理卡号位数错，请检查并修改发卡名单！\n"
                                         "卡号：00000003，姓名：王五，物理卡号：0000000777\n\n"
                                         "按【终止】终止本次整理，按【忽略】接着发送下一个人的卡号，请选择：");
    EXPECT_EQ(scripted.messages[1].style & 7, ui::mb::AbortRetryIgnore);

    EXPECT_EQ(w->ListSuccess->lines(),
              (QStringList{"00000001     张三     05     T", "00000002     李四     05     F"}));
    EXPECT_TRUE(w->ListFalse->lines().isEmpty());   // a bad row is counted, not listed
    EXPECT_EQ(w->LblSuccess->text(), "共2笔");
    EXPECT_EQ(w->LblFalse->text(), "共1笔");
    EXPECT_EQ(status(w), "1条记录重整不成功!");
    EXPECT_TRUE(w->CmdReset->isEnabled());
    EXPECT_FALSE(w->PrgBar->isVisible());
}

TEST_F(FrmFKZLTest, RefusedRowsAreSentAgainToTheSameControllerOnly)
{
    addDoor(5);
    addDoor(6);
    issue({5, "00000001", "0000000101", "张三"});
    issue({5, "00000002", "0000000102", "李四"});
    issue({6, "00000002", "0000000602", "李四"});
    sim::Controller& c = controller(5);
    controller(6);
    c.setCapacity(1);

    FrmFKZL* w = open(5);
    w->CmdReset_Click();
    EXPECT_EQ(w->ListFalse->lines(), QStringList{"00000002     李四     05     F"});
    EXPECT_EQ(w->LblFalse->text(), "共1笔");
    EXPECT_TRUE(w->CmdRetry->isEnabled());

    // Still full: the retry lists the row again, with the address unpadded,
    // and a second retry reads that item back to the same row.
    clearTrace();
    w->CmdRetry_Click();
    EXPECT_EQ(members(), (QStringList{"setport", "ModifyDateTime", "CardSendToMachine", "DestoryPort"}));
    EXPECT_EQ(w->ListFalse->lines(), QStringList{"00000002     李四     5     F"});
    EXPECT_EQ(status(w), "1条记录重整不成功!");

    c.setCapacity(2);
    clearTrace();
    w->CmdRetry_Click();
    ASSERT_EQ(callsOf("CardSendToMachine").size(), 1);
    EXPECT_EQ(callsOf("CardSendToMachine")[0].arg(2), "0000000102");
    EXPECT_EQ(held(5), (QList<uint32_t>{101, 102}));
    EXPECT_EQ(w->ListSuccess->lines(),
              (QStringList{"00000001     张三     05     F", "00000002     李四     5     F"}));
    EXPECT_EQ(w->LblSuccess->text(), "共1笔");
    EXPECT_EQ(w->LblFalse->text(), "共0笔");
    EXPECT_EQ(status(w), "重整成功！");
    EXPECT_FALSE(w->CmdRetry->isEnabled());

    // Refused at 5, then another address chosen: nothing is left to retry there.
    c.clearList();
    c.setCapacity(1);
    w->Combo1->setCurrentIndex(w->Combo1->findText("5"));
    w->CmdReset_Click();
    ASSERT_EQ(w->ListFalse->count(), 1);
    w->Combo1->setCurrentIndex(w->Combo1->findText("6"));
    EXPECT_EQ(w->ListFalse->count(), 0);
    EXPECT_FALSE(w->CmdRetry->isEnabled());
    clearTrace();
    w->CmdRetry_Click();
    EXPECT_TRUE(trace().isEmpty());
    EXPECT_TRUE(held(6).isEmpty());
}

TEST_F(FrmFKZLTest, RunsThatStopBeforeSendingLeaveTheControllerAlone)
{
    addDoor(5);
    addDoor(7);
    addDoor(8);
    issue({5, "00000001", "0000000101", "张三"});
    issue({7, "00000001", "0000000701", "张三"});
    struct Case {
        const char* name;
        int address;   // -1: none chosen
        int answer;   // to the question, 0 when none comes
        std::function<void()> arrange;
        QString status;
        QStringList members;
    };
    const QList<Case> cases{
        {"no address", -1, 0, [] {}, "请先选择地址!", {}},
        {"no rows", 8, 0, [this] { controller(8); }, "本机暂无发卡名单，不需要整理！", {}},
        {"cancelled", 5, ui::mb::Cancel, [] {}, "", {}},
        {"no controller", 7, ui::mb::OK, [] {}, "7号机通信不成功!", {"setport", "ModifyDateTime"}},
        {"erase refused", 5, ui::mb::OK,
         [this] { controller(5).inject(sim::Fault::badChecksum(0x0C)); },
         "5号机清除名单失败,请重新整理！",
         {"setport", "ModifyDateTime", "ClearNamelist"}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        sim::CardRecord kept;
        kept.card = 4242;
        controller(5).clearList();
        controller(5).storeCard(kept);
        k.arrange();
        auto* w = ui::forms::load<FrmFKZL>();
        w->Combo1->setCurrentIndex(k.address < 0 ? -1 : w->Combo1->findText(QString::number(k.address)));
        clearTrace();
        if (k.answer)
            scripted.queueAnswer(k.answer);
        w->CmdReset_Click();
        EXPECT_EQ(status(w), k.status);
        EXPECT_EQ(members(), k.members);
        EXPECT_TRUE(callsOf("CardSendToMachine").isEmpty());
        if (!k.members.contains("ClearNamelist")) {
            EXPECT_EQ(held(5), QList<uint32_t>{4242});
        }
        EXPECT_TRUE(w->CmdReset->isEnabled());
        EXPECT_TRUE(w->Command2->isEnabled());
        ui::forms::unload<FrmFKZL>();
        scripted.clearMessages();
    }
}

TEST_F(FrmFKZLTest, AbortAtABadRowEndsTheRunAndClosingReleasesThePort)
{
    FrmFKZL* w = openWithABadMiddleRow();
    scripted.queueAnswer(ui::mb::OK);
    scripted.queueAnswer(ui::mb::Abort);
    w->CmdReset_Click();
    EXPECT_EQ(held(5), QList<uint32_t>{101});
    EXPECT_EQ(w->ListSuccess->lines(), QStringList{"00000001     张三     05     F"});
    EXPECT_EQ(w->LblSuccess->text(), "共0笔");   // no summary after an abort
    EXPECT_FALSE(w->PrgBar->isVisible());
    EXPECT_TRUE(w->CmdReset->isEnabled());
    EXPECT_TRUE(callsOf("DestoryPort").isEmpty());

    w->Command2_Click();
    EXPECT_FALSE(ui::forms::isLoaded<FrmFKZL>());
    EXPECT_EQ(members().last(), "DestoryPort");
    EXPECT_EQ(mdl::PortReady, 0);
}

TEST_F(FrmFKZLTest, RetryAtABadRowGoesOnAndGivesTheStartButtonBackWithoutASecondRun)
{
    FrmFKZL* w = openWithABadMiddleRow();
    bool enabledMidRun = false;
    onCall = [&](const TracedCall& call) {
        if (call.member != QLatin1String("CardSendToMachine") || call.arg(1) != QLatin1String("00000003"))
            return;
        enabledMidRun = w->CmdReset->isEnabled();
        w->CmdReset_Click();   // pressed while the run still holds the line
    };
    scripted.queueAnswer(ui::mb::OK);
    scripted.queueAnswer(ui::mb::Retry);
    w->CmdReset_Click();
    onCall = nullptr;
    EXPECT_TRUE(enabledMidRun);
    EXPECT_EQ(callsOf("ClearNamelist").size(), 1);
    EXPECT_EQ(held(5), (QList<uint32_t>{101, 103}));
    EXPECT_EQ(w->LblFalse->text(), "共1笔");
    EXPECT_EQ(status(w), "1条记录重整不成功!");
    EXPECT_TRUE(w->CmdReset->isEnabled());
}

TEST_F(FrmFKZLTest, OpenedFromAnotherWindowStartsWithNothingChosen)
{
    addDoor(5);
    issue({5, "00000001", "0000000101", "张三"});
    controller(5);
    // Other tests of this program put stand-ins in its place.
    appforms::registerWindow(QStringLiteral("FrmFKZL"), &appforms::openForm<FrmFKZL>);
    ui::forms::setModalHandler([this](ui::Form& f) {
        auto* w = qobject_cast<FrmFKZL*>(&f);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->Combo1->currentIndex(), -1);
        EXPECT_TRUE(trace().isEmpty());   // nothing sent before the operator starts
        w->Combo1->setCurrentIndex(w->Combo1->findText("5"));
        scripted.queueAnswer(ui::mb::OK);
        w->CmdReset_Click();
        w->Command2_Click();
    });
    appforms::open(QStringLiteral("FrmFKZL"));
    ui::forms::setModalHandler({});
    EXPECT_FALSE(ui::forms::isLoaded<FrmFKZL>());
    EXPECT_EQ(held(5), QList<uint32_t>{101});
    EXPECT_EQ(mdl::PortReady, 0);
    EXPECT_EQ(mdl::Door.call(QStringLiteral("GatherSendCardSum"), {int16_t(5)}).toLong(), 1);
}

TEST_F(FrmFKZLTest, BothAdviceWindowsWorkInTheMiddleOfAnAddressRemoval)
{
    addDoor(3);
    issue({3, "00000001", "0000000010", "张三"});
    issue({3, "00000002", "0000000020", "李四"});
    issue({3, "00000000", "0000000005", "王五"});   // not on the controller: refused, kept
    sim::Controller& c = controller(3);
    for (uint32_t n = 1000; n < 1098; ++n) {   // 98 withdrawn before the run
        c.storeCard({n});
        c.deleteCard(n);
    }
    c.storeCard({10});
    c.storeCard({20});
    c.addPunch({5, QDateTime(QDate(2026, 12, 7), QTime(8, 1))});
    c.addPunch({20, QDateTime(QDate(2026, 12, 7), QTime(8, 2))});
    appforms::registerWindow(QStringLiteral("FrmGatherData"), &appforms::openForm<FrmGatherData>);
    appforms::registerWindow(QStringLiteral("FrmFKZL"), &appforms::openForm<FrmFKZL>);
    QStringList shown;
    ui::forms::setModalHandler([&](ui::Form& f) {
        if (auto* g = qobject_cast<FrmGatherData*>(&f)) {
            shown << "FrmGatherData";
            g->cText->setCurrentIndex(g->cText->findText("3"));
            g->ReadCommand_Click();
            g->cdexit_Click();
        } else if (auto* z = qobject_cast<FrmFKZL*>(&f)) {
            shown << "FrmFKZL:" + QString::number(held(3).size());
            z->Combo1->setCurrentIndex(z->Combo1->findText("3"));
            scripted.queueAnswer(ui::mb::OK);
            z->CmdReset_Click();
            shown << z->Panels[0]->text();
            z->Command2_Click();
        }
    });
    auto* dec = ui::forms::load<FrmDec>();
    for (int i = 0; i < dec->LstAddr->count(); ++i)
        dec->LstAddr->item(i)->setSelected(dec->LstAddr->item(i)->text() == "3");
    scripted.queueAnswer(ui::mb::OK);
    dec->CmdDelAddr_Click();
    ui::forms::setModalHandler({});

    // The returned cards are booked before the advice: the re-send sends
    // only what dfaka still holds, and the returned card's punch has no
    // employee any more.
    EXPECT_EQ(shown, (QStringList{"FrmGatherData", "FrmFKZL:0", "重整成功！"}));
    EXPECT_EQ(rows(QStringLiteral("SELECT 卡号, 时间 FROM data")), (QList<QVariantList>{{"00000000", "08:01:00"}}));
    EXPECT_EQ(held(3), QList<uint32_t>{5});
    EXPECT_EQ(dec->statusText(), "3号机删除完成，其中1条未能从机器中删除！");   // card 5 was refused
    EXPECT_EQ(value(QStringLiteral("SELECT COUNT(*) FROM dtuika")).toInt(), 2);
}
