// The compression window against simulated controllers.
#include "WindowBench.h"

#include "AppForms.h"
#include "FrmDec.h"
#include "FrmFKZL.h"
#include "FrmGatherData.h"
#include "Globals.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace {

class FrmDecTest : public WindowBench {
protected:
    FrmDec* w = nullptr;
    QStringList opened;   // advice windows, with the dtuika and log counts when each opened

    void SetUp() override
    {
        WindowBench::SetUp();
        addDoor(3);
        addDoor(4);
        for (const char* name : {"FrmGatherData", "FrmFKZL"}) {
            const QString cls = QString::fromLatin1(name);
            appforms::registerWindow(cls, [this, cls] {
                opened << cls + QLatin1Char(':') + value(QStringLiteral("SELECT COUNT(*) FROM dtuika")).toString() +
                              QLatin1Char(':') + QString::number(w->ListLog->count());
            });
        }
        w = ui::forms::load<FrmDec>();
        clearTrace();
    }

    void TearDown() override
    {
        // The real windows again, for the tests that follow in this program.
        appforms::registerWindow(QStringLiteral("FrmGatherData"), &appforms::openForm<FrmGatherData>);
        appforms::registerWindow(QStringLiteral("FrmFKZL"), &appforms::openForm<FrmFKZL>);
        WindowBench::TearDown();
    }

    // A credential in dfaka, and on the controller unless refused.
    void issue(int address, const QString& employee, uint32_t physical, bool password, bool onController = true,
               const QString& name = QStringLiteral("张三"))
    {
        exec(QStringLiteral("INSERT INTO dfaka (地址, 卡号, 物理卡号, 姓名, 部门, 密码标志) VALUES (?, ?, ?, ?, '研发部', ?)"),
             {address, employee, QStringLiteral("%1").arg(physical, 10, 10, QLatin1Char('0')), name, password ? 1 : 0});
        if (onController)
            controller(address).storeCard({physical});
    }

    void select(QListWidget* list, const QStringList& texts)
    {
        for (int i = 0; i < list->count(); ++i)
            list->item(i)->setSelected(texts.contains(list->item(i)->text()));
    }

    QStringList logTexts() const { return w->ListLog->lines(); }

    QStringList left(const QString& table)
    {
        QStringList out;
        for (const QVariantList& r : rows("SELECT 地址, 物理卡号 FROM " + table + " ORDER BY 地址, 物理卡号"))
            out << r[0].toString() + "/" + r[1].toString();
        return out;
    }
};

TEST_F(FrmDecTest, AddressRemovalWithAndWithoutChangingTheDatabase)
{
    struct Case {
        bool anyway;
        QString refusedOutcome;
        QStringList dfakaLeft;
        int returns;
    };
    const Case cases[] = {
        {false, " 删除失败", {"3/0000000020", "4/0000000010"}, 2},
        {true, " 删除数据成功", {"4/0000000010"}, 3},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.anyway);
        exec("DELETE FROM dfaka");
        exec("DELETE FROM dtuika");
        issue(3, "00000001", 10, false);
        issue(3, "00000001", 20, true, false);   // the same person's password, refused after the card went
        issue(3, "00000002", 30, false);
        issue(4, "00000001", 10, false);         // another address: untouched
        w->ListLog->clear();
        w->ChkSpe->setChecked(k.anyway);
        select(w->LstAddr, {"3"});
        clearTrace();

        w->CmdDelAddr_Click();

        QStringList calls;
        for (const TracedCall& c : trace())
            calls << c.text();
        EXPECT_EQ(calls, (QStringList{"setport(1)", "ClearName(3, 0000000010)", "ClearName(3, 0000000020)",
                                      "ClearName(3, 0000000030)"}));

        // The refused credential is still on the controller, whatever the books say.
        EXPECT_EQ(w->statusText(), "3号机删除完成，其中1条未能从机器中删除！");
        EXPECT_EQ(logTexts(), (QStringList{"09:30:00 卡号:00000001 机号:3 删除机器成功",
                                           "09:30:00 卡号:00000001 机号:3" + k.refusedOutcome,
                                           "09:30:00 卡号:00000002 机号:3 删除机器成功"}));
        EXPECT_EQ(left("dfaka"), k.dfakaLeft);
        EXPECT_EQ(value("SELECT COUNT(*) FROM dtuika WHERE 退卡日期='2026-12-08 09:30:00' AND 部门='研发部'").toInt(),
                  k.returns);
        EXPECT_TRUE(w->CmdDelAddr->isEnabled());
    }
    EXPECT_EQ(mdl::PortReady, 0);
}

TEST_F(FrmDecTest, AdviceAtOneHundredComesAfterTheBooking)
{
    sim::Controller& c = controller(3);
    for (uint32_t n = 1000; n < 1098; ++n) {   // 98 withdrawn before the run
        c.storeCard({n});
        c.deleteCard(n);
    }
    issue(3, "00000001", 10, false);
    issue(3, "00000002", 20, false);
    select(w->LstAddr, {"3"});
    scripted.queueAnswer(ui::mb::OK);

    w->CmdDelAddr_Click();

    // 99 gives no advice, 100 does; both windows open once the return is
    // booked, and its log line follows them.
    ASSERT_EQ(scripted.messages.size(), 1);
    EXPECT_EQ(scripted.messages[0].text, "退卡条数超过了100条，请先采集数据，再对3号机器进行重整！");
    EXPECT_EQ(scripted.messages[0].title, "提示");
    EXPECT_EQ(scripted.messages[0].style, ui::mb::OKCancel | ui::mb::Question);
    EXPECT_EQ(opened, (QStringList{"FrmGatherData:2:1", "FrmFKZL:2:1"}));
    EXPECT_EQ(w->ListLog->count(), 2);
    EXPECT_TRUE(left("dfaka").isEmpty());
}

TEST_F(FrmDecTest, PeopleRemovalTakesOnlyTheChosenCredential)
{
    issue(3, "00000001", 10, false, true, "欧阳娜娜娜娜娜");
    issue(3, "00000001", 20, true);
    select(w->LstAddr, {"3"});
    ASSERT_EQ(w->LstInfo->count(), 2);
    select(w->LstInfo, {w->LstInfo->item(1)->text()});
    ASSERT_TRUE(w->LstInfo->item(1)->text().contains("***************"));

    w->CmdDelInfo_Click();

    EXPECT_EQ(w->statusText(), "删除完成");
    EXPECT_EQ(callsOf("ClearName").value(0).arg(1), "0000000020");
    EXPECT_EQ(left("dfaka"), QStringList{"3/0000000010"});
    EXPECT_EQ(left("dtuika"), QStringList{"3/0000000020"});

    select(w->LstInfo, {w->LstInfo->item(0)->text()});
    EXPECT_EQ(w->TxtName->text(), "欧阳娜娜娜娜");   // the name column's six characters
    EXPECT_EQ(w->TxtCardID->text(), "00000001");
}

// A controller that stops answering in the middle of a run: the closing text
// counts what it did not delete, in both runs, whether or not the books were
// changed anyway.
TEST_F(FrmDecTest, AControllerThatStopsAnsweringIsNeverReportedAsDeleted)
{
    struct Case {
        bool byPeople;
        bool anyway;
        int silentFrom;   // 0: every withdrawal answered
        QString status;
    };
    const Case cases[] = {
        {false, false, 0, "3号机删除成功！"},
        {false, false, 2, "3号机删除完成，其中2条未能从机器中删除！"},
        {false, true, 3, "3号机删除完成，其中1条未能从机器中删除！"},
        {true, false, 0, "删除完成"},
        {true, false, 1, "删除完成，其中3条未能从机器中删除！"},
        {true, true, 2, "删除完成，其中2条未能从机器中删除！"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.byPeople) + std::to_string(c.anyway) + std::to_string(c.silentFrom));
        exec("DELETE FROM dfaka");
        line.remove(3);
        onCall = nullptr;
        issue(3, "00000001", 10, false);
        issue(3, "00000002", 20, false);
        issue(3, "00000003", 30, false);
        w->ListLog->clear();
        w->ChkSpe->setChecked(c.anyway);
        w->LstAddr->clearSelection();
        select(w->LstAddr, {"3"});   // lists the address's credentials afresh
        ASSERT_EQ(w->LstInfo->count(), 3);
        if (c.byPeople)
            for (int i = 0; i < w->LstInfo->count(); ++i)
                w->LstInfo->item(i)->setSelected(true);
        if (c.silentFrom > 0)
            silenceFrom(c.silentFrom);
        if (c.byPeople)
            w->CmdDelInfo_Click();
        else
            w->CmdDelAddr_Click();
        EXPECT_EQ(w->statusText(), c.status);
        EXPECT_EQ(w->ListLog->count(), 3);
    }
}

TEST_F(FrmDecTest, MissingChoicesSendNothing)
{
    w->CmdDelAddr_Click();
    EXPECT_EQ(w->statusText(), "请选择要删除的机号！");
    w->CmdDelInfo_Click();
    EXPECT_EQ(w->statusText(), "请选择要删除的人员！");
    EXPECT_TRUE(callsOf("ClearName").isEmpty());
    EXPECT_TRUE(w->CmdDelAddr->isEnabled() && w->CmdDelInfo->isEnabled());

    // An address without credentials is passed over.
    select(w->LstAddr, {"4"});
    w->CmdDelAddr_Click();
    EXPECT_EQ(w->statusText(), "4号机删除成功！");
    EXPECT_TRUE(callsOf("ClearName").isEmpty());
}

} // namespace
