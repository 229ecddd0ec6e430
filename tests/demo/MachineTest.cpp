// Maintenance commands and status readers: their status texts and checks.
#include "FakeFixture.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

TEST_F(DemoTest, LockAndCardStatusTexts)
{
    FrmDemo& w = load();
    answerText(QStringLiteral("getLockStatus"), 1, QStringLiteral("10"));
    w.cmdGetLockStatus_Click();
    EXPECT_EQ(status(), QStringLiteral("读取成功！锁1开，锁2关"));

    answerText(QStringLiteral("getCardLockStatus"), 1, QStringLiteral("0000000000") + QStringLiteral("0112"));
    w.cmdGetCardLockStatus_Click();
    EXPECT_EQ(status(), QStringLiteral("读取成功！无打卡数据！锁1关，锁2开"));

    answerText(QStringLiteral("getCardLockStatus"), 1, QStringLiteral("0001234567") + QStringLiteral("1121"));
    w.cmdGetCardLockStatus_Click();
    EXPECT_EQ(status(), QStringLiteral("读取成功！物理卡号：0001234567，锁1开，锁2开，模式：二控一，感应器：1"));

    answerText(QStringLiteral("getCardLockStatus"), 1, QStringLiteral("0001234567") + QStringLiteral("0012"));
    w.cmdGetCardLockStatus_Click();
    EXPECT_EQ(status(), QStringLiteral("读取成功！物理卡号：0001234567，锁1关，锁2关，模式：一控一，感应器：2"));

    answerText(QStringLiteral("getLockStatus"), 1, QString(), false);
    w.cmdGetLockStatus_Click();
    EXPECT_EQ(status(), QStringLiteral("读取失败！"));

    // Enter on the focused button presses it, as Space does.
    answerText(QStringLiteral("getLockStatus"), 1, QStringLiteral("01"));
    w.show();
    w.cmdGetLockStatus->setFocus();
    QTest::keyClick(w.cmdGetLockStatus, Qt::Key_Return);
    EXPECT_EQ(status(), QStringLiteral("读取成功！锁1关，锁2开"));
}

TEST_F(DemoTest, ClockDelayAndVersionTexts)
{
    FrmDemo& w = load();
    answerText(QStringLiteral("getDateTimeDelay"), 1, QStringLiteral("081203090507") + QStringLiteral("005003060"));
    w.cmdGetDateTimeDelay_Click();
    EXPECT_EQ(status(), QStringLiteral("读取成功！当前日期时间：08年12月03日09:05:07，锁1延时：5，锁2延时：3，外接继电器延时：60"));

    answerText(QStringLiteral("GetMachVer"), 1, QStringLiteral("8096") + QStringLiteral("080926") + QStringLiteral("0102A3"));
    w.cmdGetMachVer_Click();
    EXPECT_EQ(door->calls.last().member, QStringLiteral("GetMachVer"));
    EXPECT_EQ(status(), QStringLiteral("18号机读取成功！ 机器名称：8096，最后修改日期：2008-09-26，版本号：1.2.0"));

    // A date part that is no date is reported, and the status stays.
    answerText(QStringLiteral("GetMachVer"), 1, QStringLiteral("8096") + QStringLiteral("081332") + QStringLiteral("010203"));
    w.cmdGetMachVer_Click();
    EXPECT_EQ(scripted.lastMessage(), QStringLiteral("13:类型不匹配"));
    EXPECT_EQ(scripted.messages.last().title, QStringLiteral("提示"));
    EXPECT_TRUE(status().startsWith(QStringLiteral("18号机读取成功！")));
}

TEST_F(DemoTest, ClearingAsksFirstAndChecksTheAddress)
{
    FrmDemo& w = load();
    door->on(QStringLiteral("ClearNameList"), [](Args&) { return Variant(true); });
    scripted.queueAnswer(ui::mb::No);
    w.cmdClearNameList_Click();
    EXPECT_TRUE(door->callsOf("ClearNameList").isEmpty());
    EXPECT_EQ(scripted.lastMessage(), QStringLiteral("注意：确定要删除考勤机中所有的名单表与考勤记录吗？"));
    EXPECT_EQ(scripted.messages.last().style, ui::mb::YesNo | ui::mb::Critical);

    scripted.queueAnswer(ui::mb::Yes);
    w.cmdClearNameList_Click();
    EXPECT_EQ(status(), QStringLiteral("删除名单表成功"));

    scripted.queueAnswer(ui::mb::Yes);
    w.cmdClearRecord_Click();
    EXPECT_EQ(scripted.lastMessage(), QStringLiteral("注意：确定它将删除考勤机中所有的考勤记录吗？"));
    EXPECT_EQ(status(), QStringLiteral("删除记录不成功"));

    w.TxtAddress->setText(QStringLiteral("300"));
    scripted.clearMessages();
    w.cmdClearRecord_Click();
    ASSERT_EQ(scripted.messages.size(), 1);
    EXPECT_EQ(scripted.lastMessage(), QStringLiteral("请输入考勤机地址。"));
    EXPECT_EQ(door->callsOf("ClearRecord").size(), 1);
}

TEST_F(DemoTest, ClockIsSetFromThePcWithSundayAsSeven)
{
    FrmDemo& w = load();
    door->on(QStringLiteral("ModifyDateTime"), [](Args&) { return Variant(true); });
    scripted.setNow(QDateTime(QDate(2008, 12, 7), QTime(9, 5, 7)));   // a Sunday
    w.CmdModifyDateTime_Click();
    auto c = door->callsOf("ModifyDateTime").last();
    EXPECT_EQ(c.args[1].toString(), QStringLiteral("081207"));
    EXPECT_EQ(c.args[2].toString(), QStringLiteral("090507"));
    EXPECT_EQ(c.args[3].toInteger(), 7);
    EXPECT_EQ(status(), QStringLiteral("修改日期成功"));
    EXPECT_TRUE(w.portFlag());

    scripted.setNow(QDateTime(QDate(2008, 12, 3), QTime(23, 0, 0)));   // a Wednesday
    w.CmdModifyDateTime_Click();
    EXPECT_EQ(door->callsOf("ModifyDateTime").last().args[3].toInteger(), 3);
    scripted.setNow(QDateTime(QDate(2008, 12, 8), QTime(0, 0, 0)));    // a Monday
    door->on(QStringLiteral("ModifyDateTime"), [](Args&) { return Variant(false); });
    w.CmdModifyDateTime_Click();
    EXPECT_EQ(door->callsOf("ModifyDateTime").last().args[3].toInteger(), 1);
    EXPECT_EQ(status(), QStringLiteral("修改日期不成功"));
}

TEST_F(DemoTest, OpenLockAndDelays)
{
    FrmDemo& w = load();
    w.cmdOpenLock_Click();
    EXPECT_EQ(scripted.lastMessage(), QStringLiteral("请选择锁号！"));
    EXPECT_EQ(scripted.messages.last().title, QStringLiteral("提示"));
    EXPECT_TRUE(door->callsOf("OpenLock").isEmpty());

    door->on(QStringLiteral("OpenLock"), [](Args&) { return Variant(true); });
    w.cmbLockNo->setCurrentText(QStringLiteral("3"));
    w.cmdOpenLock_Click();
    EXPECT_EQ(door->callsOf("OpenLock")[0].args[1].toInteger(), 3);
    EXPECT_EQ(status(), QStringLiteral("开锁成功！锁号：3"));

    door->on(QStringLiteral("SetLockDelayTime"), [](Args&) { return Variant(true); });
    w.txtDelay[0]->setText(QStringLiteral("75"));
    w.txtDelay[2]->setText(QStringLiteral("-3"));
    w.cmdSetDelay_Click();
    auto c = door->callsOf("SetLockDelayTime")[0];
    EXPECT_EQ(c.args[1].toInteger(), 75);
    EXPECT_EQ(c.args[2].toInteger(), 2);
    EXPECT_EQ(c.args[3].toInteger(), -3);
    EXPECT_EQ(status(), QStringLiteral("设置延时时间成功！"));

    w.txtDelay[1]->setText(QStringLiteral("两"));
    w.cmdSetDelay_Click();
    EXPECT_EQ(scripted.lastMessage(), QStringLiteral("13:类型不匹配"));
    EXPECT_EQ(door->callsOf("SetLockDelayTime").size(), 1);
}

TEST_F(DemoTest, CountsShowInTheirLabels)
{
    FrmDemo& w = load();
    door->on(QStringLiteral("GatherRecordSum"), [](Args&) { return Variant(int32_t(0)); });
    w.Command5_Click();
    EXPECT_EQ(w.Label->text(), QStringLiteral("0 条"));
    EXPECT_EQ(status(), QStringLiteral("采集成功"));

    door->on(QStringLiteral("GatherSendCardSum"), [](Args&) { return Variant(int32_t(42)); });
    w.Command6_Click();
    EXPECT_EQ(w.Label7->text(), QStringLiteral("42 条"));
    door->on(QStringLiteral("GatherSendCardSum"), [](Args&) { return Variant(int32_t(-1)); });
    w.Command6_Click();
    EXPECT_EQ(w.Label7->text(), QStringLiteral("42 条"));
    EXPECT_EQ(status(), QStringLiteral("采集失败"));

    // An empty address box is refused with the error text, never a crash.
    w.TxtAddress->clear();
    w.Command5_Click();
    EXPECT_EQ(scripted.lastMessage(), QStringLiteral("13:类型不匹配"));
}

// A pasted address that is not a whole number reaches no controller: "5.5"
// would round onto 6. Commands that check the address refuse it with their
// message, the others with the conversion's.
TEST_F(DemoTest, AnAddressThatIsNotAWholeNumberIsNeverSent)
{
    FrmDemo& w = load();
    door->on(QStringLiteral("GatherRecordSum"), [](Args&) { return Variant(int32_t(0)); });
    struct Case {
        const char* address;
        int sentTo;   // -1: nothing sent
    };
    const Case cases[] = {{"abc", -1}, {"5.5", -1}, {"-1", -1}, {"100", 100}, {" 18 ", 18}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address);
        w.TxtAddress->setText(QString::fromLatin1(c.address));
        door->calls.clear();
        scripted.clearMessages();
        w.Command5_Click();
        w.Cmd_GetData_Click();
        const auto counted = door->callsOf("GatherRecordSum");
        const auto gathered = door->callsOf("GatherData");
        if (c.sentTo < 0) {
            EXPECT_TRUE(door->calls.isEmpty());
            ASSERT_EQ(scripted.messages.size(), 2);
            EXPECT_EQ(scripted.messages[0].text, QStringLiteral("13:类型不匹配"));
            EXPECT_EQ(scripted.messages[1].text, QStringLiteral("请输入考勤机地址。"));
        } else {
            ASSERT_EQ(counted.size(), 1);
            ASSERT_EQ(gathered.size(), 1);
            EXPECT_EQ(counted[0].args[0].toLong(), c.sentTo);
            EXPECT_EQ(gathered[0].args[0].toLong(), c.sentTo);
        }
    }
}
