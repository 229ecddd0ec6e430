// The card frame: read, send, batch, withdraw and look-up.
#include "FakeFixture.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QLineEdit>

namespace {
QString arg(const FakeDoor::Call& c, int i) { return c.args[i].toString(); }
} // namespace

TEST_F(DemoTest, SendCardPassesEveryFieldAndPadsTheEmployeeNumber)
{
    FrmDemo& w = load();
    door->on(QStringLiteral("CardSendToMachine"), [](Args&) { return Variant(true); });
    w.TxtCardNum->setText(QStringLiteral("0001234567"));
    w.TxtNo->setText(QStringLiteral("123"));
    w.chkLock01->setChecked(true);
    w.chkTimeCtrl->setChecked(true);
    w.txtTime1[0]->setText(QStringLiteral("1"));
    w.txtTime1[17]->setText(QStringLiteral("1"));
    w.cmdSendCard_Click();

    ASSERT_EQ(door->callsOf("CardSendToMachine").size(), 1);
    const FakeDoor::Call c = door->callsOf("CardSendToMachine")[0];
    EXPECT_EQ(c.args[0].toInteger(), 18);
    EXPECT_EQ(arg(c, 1), QStringLiteral("00000123"));
    EXPECT_EQ(arg(c, 2), QStringLiteral("0001234567"));
    EXPECT_EQ(c.args[3].toInteger(), 1);
    EXPECT_EQ(c.args[4].toInteger(), 0);
    EXPECT_EQ(c.args[5].toInteger(), 0);
    EXPECT_EQ(c.args[6].toInteger(), 0);
    EXPECT_EQ(c.args[7].toInteger(), 1);
    EXPECT_EQ(arg(c, 8), QStringLiteral("1111111"));
    EXPECT_EQ(arg(c, 9), QStringLiteral("270107"));   // today + 30 days
    EXPECT_EQ(arg(c, 10), QStringLiteral("1000000000000000"));
    EXPECT_EQ(arg(c, 11), QStringLiteral("0100000000000000"));
    EXPECT_EQ(w.TxtNo->text(), QStringLiteral("00000123"));
    EXPECT_EQ(status(), QStringLiteral("卡号:00000123发送成功!"));

    door->on(QStringLiteral("CardSendToMachine"), [](Args&) { return Variant(false); });
    w.cmdSendCard_Click();
    EXPECT_EQ(status(), QStringLiteral("卡号:00000123发送不成功"));
}

TEST_F(DemoTest, SendCardRefusesIncompleteInputBeforeSending)
{
    FrmDemo& w = load();
    w.TxtCardNum->setText(QStringLiteral("123456789"));
    w.TxtNo->setText(QStringLiteral("1"));
    w.cmdSendCard_Click();
    EXPECT_EQ(status(), QStringLiteral("请先读取卡号!"));
    w.TxtCardNum->setText(QStringLiteral("0123456789"));
    w.TxtNo->clear();
    w.cmdSendCard_Click();
    EXPECT_EQ(status(), QStringLiteral("请输入工号"));
    w.TxtNo->setText(QStringLiteral("1"));
    w.TxtAddress->setText(QStringLiteral("x"));
    w.cmdSendCard_Click();
    EXPECT_EQ(scripted.lastMessage(), QStringLiteral("13:类型不匹配"));
    EXPECT_EQ(scripted.messages.last().title, QStringLiteral("提示"));
    EXPECT_TRUE(door->callsOf("CardSendToMachine").isEmpty());
}

TEST_F(DemoTest, BatchSendsSteppedNumbersAndCountsFailures)
{
    FrmDemo& w = load();
    int sends = 0;
    door->on(QStringLiteral("CardSendToMachine"), [&](Args&) { return Variant(++sends != 2); });
    QList<int> sleeps;
    scripted.onSleep = [&](int ms) { sleeps.append(ms); };
    w.TxtCardNum->setText(QStringLiteral("100"));
    w.TxtNo->setText(QStringLiteral("1"));
    w.txtCardStep->setText(QStringLiteral("1"));
    w.txtCardTotal->setText(QStringLiteral("3"));
    w.cmdSendCardMulti_Click();

    const auto calls = door->callsOf("CardSendToMachine");
    ASSERT_EQ(calls.size(), 3);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(arg(calls[k], 2), QStringLiteral("000000010%1").arg(k + 1));
        EXPECT_EQ(arg(calls[k], 1), QStringLiteral("0000000%1").arg(k + 2));
    }
    EXPECT_EQ(w.TxtCardNum->text(), QStringLiteral("0000000103"));
    EXPECT_EQ(w.TxtNo->text(), QStringLiteral("00000004"));
    EXPECT_EQ(sleeps, (QList<int>{150, 150, 150}));   // "5" seconds x 30 ms
    EXPECT_EQ(status(), QStringLiteral("批量发卡，共下发卡号：3个，发送失败：1个！"));
}

TEST_F(DemoTest, BatchComputesCardNumbersBeyond31Bits)
{
    FrmDemo& w = load();
    door->on(QStringLiteral("CardSendToMachine"), [](Args&) { return Variant(true); });
    w.TxtCardNum->setText(QStringLiteral("4294967290"));
    w.TxtNo->setText(QStringLiteral("10"));
    w.txtCardStep->setText(QStringLiteral("5"));
    w.txtCardTotal->setText(QStringLiteral("1"));
    w.cmdSendCardMulti_Click();
    ASSERT_EQ(door->callsOf("CardSendToMachine").size(), 1);
    EXPECT_EQ(arg(door->callsOf("CardSendToMachine")[0], 2), QStringLiteral("4294967295"));

    // One card further would not fit in four bytes: nothing at all is sent.
    door->calls.clear();
    w.TxtCardNum->setText(QStringLiteral("4294967290"));
    w.txtCardTotal->setText(QStringLiteral("2"));
    w.cmdSendCardMulti_Click();
    EXPECT_TRUE(door->callsOf("CardSendToMachine").isEmpty());
    EXPECT_EQ(scripted.lastMessage(), QStringLiteral("6:溢出"));
    EXPECT_EQ(scripted.messages.last().title, QStringLiteral("提示"));
}

TEST_F(DemoTest, BatchRefusesMissingBasesAndBadCounts)
{
    FrmDemo& w = load();
    w.TxtCardNum->setText(QStringLiteral("abc"));
    w.TxtNo->setText(QStringLiteral("1"));
    w.cmdSendCardMulti_Click();
    EXPECT_EQ(scripted.lastMessage(), QStringLiteral("请先设置物理卡号基数！"));
    EXPECT_EQ(scripted.messages.last().title, QStringLiteral("提示"));

    w.TxtCardNum->setText(QStringLiteral("100"));
    w.TxtNo->setText(QStringLiteral("a1"));
    w.cmdSendCardMulti_Click();
    EXPECT_EQ(scripted.lastMessage(), QStringLiteral("请先设置卡号基数！"));

    w.TxtNo->setText(QStringLiteral("1"));
    w.txtCardTotal->setText(QStringLiteral("three"));
    w.cmdSendCardMulti_Click();
    EXPECT_EQ(scripted.lastMessage(), QStringLiteral("13:类型不匹配"));
    EXPECT_TRUE(door->callsOf("CardSendToMachine").isEmpty());

    // A batch of none reports at once, whatever the step and pause boxes hold.
    scripted.clearMessages();
    w.txtCardTotal->setText(QStringLiteral("0"));
    w.txtCardStep->setText(QStringLiteral("one"));
    w.txtSleepDate->clear();
    w.cmdSendCardMulti_Click();
    EXPECT_TRUE(door->callsOf("CardSendToMachine").isEmpty());
    EXPECT_TRUE(scripted.messages.isEmpty());
    EXPECT_EQ(status(), QStringLiteral("批量发卡，共下发卡号：0个，发送失败：0个！"));

    w.txtCardTotal->setText(QStringLiteral("2"));
    w.cmdSendCardMulti_Click();
    EXPECT_EQ(scripted.lastMessage(), QStringLiteral("13:类型不匹配"));
    EXPECT_TRUE(door->callsOf("CardSendToMachine").isEmpty());
}

TEST_F(DemoTest, WithdrawReportsTheControllersCount)
{
    FrmDemo& w = load();
    w.TxtCardNum->setText(QStringLiteral("0001234567"));
    door->on(QStringLiteral("ClearName"), [](Args&) { return Variant(int16_t(3)); });
    w.cmdBackCard_Click();
    EXPECT_EQ(door->callsOf("ClearName")[0].args[1].toString(), QStringLiteral("0001234567"));
    EXPECT_EQ(status(), QStringLiteral("物理卡号:0001234567清除成功，当前机内退卡总数：3"));
    door->on(QStringLiteral("ClearName"), [](Args&) { return Variant(int16_t(-1)); });
    w.cmdBackCard_Click();
    EXPECT_EQ(status(), QStringLiteral("物理卡号:0001234567清除不成功"));
    w.TxtCardNum->setText(QStringLiteral("12"));
    w.cmdBackCard_Click();
    EXPECT_EQ(scripted.lastMessage(), QStringLiteral("物理卡号要是10位"));
    EXPECT_EQ(door->callsOf("ClearName").size(), 2);
}

TEST_F(DemoTest, LookUpWaitsPerThousandCardsAndFillsTheFrame)
{
    FrmDemo& w = load();
    door->on(QStringLiteral("GatherSendCardSum"), [](Args&) { return Variant(int32_t(2500)); });
    answerText(QStringLiteral("FindCard"), 2,
               QStringLiteral("0001234567/0000abcd/11000101/1111100/270315/1000000000000001/0110000000000000"));
    w.TxtCardNum->setText(QStringLiteral("0001234567"));
    w.Command22_Click();

    ASSERT_EQ(door->callsOf("FindCard").size(), 1);
    EXPECT_EQ(door->callsOf("FindCard")[0].args[3].toInteger(), 3);
    EXPECT_EQ(status(), QStringLiteral("物理卡号:0001234567已找到"));
    EXPECT_EQ(w.TxtNo->text(), QStringLiteral("0000abcd"));
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
    EXPECT_EQ(w.txtTime1[31]->text(), QStringLiteral("0"));
    // The time-control digit enables the time boxes; end date stays off.
    EXPECT_TRUE(w.txtTime1[5]->isEnabled());
    EXPECT_TRUE(w.FraTime->isEnabled());
    EXPECT_TRUE(w.txtWeekValue->isEnabled());
    EXPECT_FALSE(w.dtpEndDate->isEnabled());
}

TEST_F(DemoTest, LookUpReportsMissingCardsAndFailures)
{
    FrmDemo& w = load();
    w.TxtCardNum->setText(QStringLiteral("0001234567"));
    w.Command22_Click();   // the count fails
    EXPECT_EQ(status(), QStringLiteral("通讯失败!"));
    EXPECT_TRUE(door->callsOf("FindCard").isEmpty());

    door->on(QStringLiteral("GatherSendCardSum"), [](Args&) { return Variant(int32_t(999)); });
    answerText(QStringLiteral("FindCard"), 2, QString());
    w.Command22_Click();
    EXPECT_EQ(door->callsOf("FindCard")[0].args[3].toInteger(), 1);
    EXPECT_EQ(status(), QStringLiteral("物理卡号:0001234567不存在"));

    answerText(QStringLiteral("FindCard"), 2, QString(), false);
    w.Command22_Click();
    EXPECT_EQ(status(), QStringLiteral("通讯失败!"));
}

TEST_F(DemoTest, ReadCardFillsTheNumber)
{
    FrmDemo& w = load();
    door->on(QStringLiteral("ReadCardNum"), [](Args&) { return Variant(QStringLiteral("0008765432")); });
    w.Command7_Click();
    EXPECT_EQ(w.TxtCardNum->text(), QStringLiteral("0008765432"));
    EXPECT_EQ(status(), QStringLiteral("物理卡号:0008765432"));
    door->on(QStringLiteral("ReadCardNum"), [](Args&) { return Variant(QString()); });
    w.Command7_Click();
    EXPECT_TRUE(w.TxtCardNum->text().isEmpty());
    EXPECT_EQ(status(), QStringLiteral("读取物理卡号不成功"));
}
