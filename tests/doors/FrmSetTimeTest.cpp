// The time-group window: reading, sending and initialising a controller's
// 16 groups and the one DTime row per address.
#include "WindowBench.h"

#include "FrmSetTime.h"
#include "Globals.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QTimeEdit>

namespace {

class FrmSetTimeTest : public WindowBench {
protected:
    void SetUp() override
    {
        WindowBench::SetUp();
        addDoor(5);
    }
    // Loads the window as the door window hands it over.
    FrmSetTime* open(int16_t preset = 5)
    {
        FrmSetTime::PresetAddr = preset;
        FrmSetTime* w = ui::forms::load<FrmSetTime>();
        clearTrace();
        scripted.clearMessages();
        return w;
    }
    void group(FrmSetTime* w, int n, QTime start, QTime end, bool both = false)
    {
        w->DTPicker1[n - 1]->setTime(start);
        w->DTPEnd1[n - 1]->setTime(end);
        w->chkCardAndPWD[n - 1]->setChecked(both);
    }
    QStringList dtimeRow(int address)
    {
        QStringList out;
        const auto r = rows("SELECT * FROM DTime WHERE 地址=?", {address});
        if (r.isEmpty())
            return out;
        for (const QVariant& v : r.first())
            out << (db::isNull(v) ? QStringLiteral("<null>") : db::text(v));
        return out;
    }
    static QStringList row(int address, QStringList groups, const QString& flags)
    {
        return QStringList{QString::number(address)} + groups + QStringList{flags};
    }
};

const QString E = QStringLiteral("0000-0000");

TEST_F(FrmSetTimeTest, OpensOnThePresetAddressAndShowsItsGroups)
{
    sim::Controller& c = controller(5);
    c.setTimeGroup(0, {0x08, 0x30, 0x17, 0x30});
    c.setTimeGroup(2, {0xC7, 0x00, 0x09, 0x00});   // card plus password
    FrmSetTime::PresetAddr = 5;
    FrmSetTime* w = ui::forms::load<FrmSetTime>();
    EXPECT_EQ(w->CmbAddr->currentText(), "5");
    EXPECT_EQ(FrmSetTime::PresetAddr, 0);
    EXPECT_EQ(w->DTPicker1[0]->time(), QTime(8, 30));
    EXPECT_EQ(w->DTPEnd1[0]->time(), QTime(17, 30));
    EXPECT_EQ(w->DTPicker1[2]->time(), QTime(7, 0));
    EXPECT_TRUE(w->chkCardAndPWD[2]->isChecked());
    EXPECT_FALSE(w->chkCardAndPWD[0]->isChecked());
    EXPECT_EQ(w->InfoStb->text(), "时间段采集成功");
    EXPECT_EQ(mdl::PortReady, 0);
    ASSERT_EQ(callsOf("GetTimeGroup").size(), 1);
    EXPECT_EQ(callsOf("GetTimeGroup")[0].num(0), 5);
}

TEST_F(FrmSetTimeTest, ReadWithoutAddressOrWithAShortAnswer)
{
    FrmSetTime* w = open(0);
    EXPECT_TRUE(callsOf("GetTimeGroup").isEmpty());
    w->CmdRead_Click();
    EXPECT_EQ(scripted.lastMessage(), "请选择机器号！");

    // Nine groups fail their check: 7 x 8 digits come back.
    sim::Controller& c = controller(5);
    for (int slot = 0; slot < 9; ++slot)
        c.inject(sim::Fault::badSlot(0x42, slot));
    w->CmbAddr->setEditText("5");
    group(w, 1, QTime(6, 0), QTime(7, 0));
    w->CmdRead_Click();
    EXPECT_TRUE(scripted.lastMessage().startsWith("采集出的时间段长度不够,现在长度为:56\r"));
    EXPECT_EQ(w->DTPicker1[0]->time(), QTime(6, 0));   // kept
}

TEST_F(FrmSetTimeTest, SendsTheNonEmptyGroupsAndGroup16AndStoresOneRow)
{
    sim::Controller& c = controller(5);
    exec("INSERT INTO DTime (地址, 时间段1) VALUES (5, '0100-0200')");
    FrmSetTime* w = open();
    for (int n = 1; n <= 16; ++n)
        group(w, n, QTime(0, 0), QTime(0, 0));
    group(w, 2, QTime(8, 0), QTime(12, 0));
    group(w, 5, QTime(13, 30), QTime(13, 30), true);   // start equal to end is fine
    scripted.queueAnswer(ui::mb::Yes);
    w->CmdOk_Click();

    EXPECT_EQ(scripted.lastMessage(), "重新设置时间段可能会影响正常打卡，请确认设置的时间段无误！");
    EXPECT_EQ(traceText(), (QStringList{"setport(1)", "SetTimeGroup(5, 3, 1, 0800-1200, 0)",
                                        "SetTimeGroup(5, 3, 4, 1330-1330, 3)", "SetTimeGroup(5, 3, 15, 0000-2359, 0)"}));
    EXPECT_EQ(dtimeRow(5), row(5, {E, "0800-1200", E, E, "1330-1330", E, E, E, E, E, E, E, E, E, E, "0000-2359"},
                               "0000300000000000"));
    EXPECT_EQ(value("SELECT COUNT(*) FROM DTime").toInt(), 1);
    EXPECT_EQ(w->InfoStb->text(), "共下发：2个时段，其中发送失败：0个!");
    EXPECT_EQ(c.timeGroups()[4], (sim::TimeGroup{0xD3, 0x30, 0x13, 0x30}));
    EXPECT_EQ(c.timeGroups()[15], (sim::TimeGroup{0x00, 0x00, 0x23, 0x59}));
}

TEST_F(FrmSetTimeTest, AGroupTheControllerRefusesIsCountedAndLeftEmpty)
{
    sim::Controller& c = controller(5);
    FrmSetTime* w = open();
    for (int n = 1; n <= 16; ++n)
        group(w, n, QTime(0, 0), QTime(0, 0));
    group(w, 1, QTime(8, 0), QTime(9, 0));
    group(w, 2, QTime(10, 0), QTime(11, 0));
    onCall = [&](const TracedCall& call) {
        if (call.member == "SetTimeGroup" && call.num(2) == 0)
            c.inject(sim::Fault::otherAddress(0x41, 9));
    };
    w->CmdOk_Click();   // the question is answered Yes
    EXPECT_EQ(w->InfoStb->text(), "共下发：2个时段，其中发送失败：1个!");
    const QStringList r = dtimeRow(5);
    ASSERT_EQ(r.size(), 18);
    EXPECT_EQ(r[1], "0800-0900");
    EXPECT_EQ(r[2], "<null>");
    EXPECT_EQ(r[16], "0000-2359");
}

TEST_F(FrmSetTimeTest, NothingIsSentOrStoredWhenTheSendIsRefused)
{
    controller(5);
    exec("INSERT INTO DTime (地址, 时间段1) VALUES (5, '0100-0200')");
    const QStringList before = dtimeRow(5);
    struct Case {
        const char* name;
        const char* address;
        int answer;
        QTime start3, end3;
        const char* message;
    } cases[] = {
        {"backwards", "5", ui::mb::Yes, QTime(9, 1), QTime(9, 0), "第 3段时间非法，开始时间不能大于结束时间！"},
        {"no address", "", ui::mb::Yes, QTime(9, 0), QTime(9, 1), "地址不能为空，请选择机器地址！"},
        {"not a number", "5a", ui::mb::Yes, QTime(9, 0), QTime(9, 1), "地址不能为空，请选择机器地址！"},
        {"operator says no", "5", ui::mb::No, QTime(9, 0), QTime(9, 1),
         "重新设置时间段可能会影响正常打卡，请确认设置的时间段无误！"},
    };
    FrmSetTime* w = open();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        clearTrace();
        w->CmbAddr->setEditText(c.address);
        group(w, 3, c.start3, c.end3);
        scripted.queueAnswer(c.answer);
        w->CmdOk_Click();
        EXPECT_EQ(scripted.lastMessage(), c.message);
        EXPECT_EQ(members(), QStringList{"setport"});
        EXPECT_EQ(dtimeRow(5), before);
    }
}

TEST_F(FrmSetTimeTest, InitialisationEmptiesEveryGroupAndKeepsWhatARefusedOneHolds)
{
    sim::Controller& c = controller(5);
    FrmSetTime* w = open();
    for (int n = 1; n <= 16; ++n)
        group(w, n, QTime(0, 0), QTime(0, 0));
    group(w, 2, QTime(8, 0), QTime(9, 0));
    group(w, 3, QTime(10, 0), QTime(11, 0), true);
    onCall = [&](const TracedCall& call) {
        if (call.member == "SetTimeGroup" && call.num(2) == 1)
            c.inject(sim::Fault::otherAddress(0x41, 9));
    };
    scripted.queueAnswer(ui::mb::Yes);
    w->CmdInitMachine_Click();

    const auto sent = callsOf("SetTimeGroup");
    ASSERT_EQ(sent.size(), 16);
    EXPECT_EQ(sent[15].text(), "SetTimeGroup(5, 16, 15, 0000-0000, 0)");
    EXPECT_EQ(w->InfoStb->text(), "已成功初始化时间段：1、2、4、5、6、7、8、9、10、11、12、13、14、15，初始化失败：3");
    EXPECT_EQ(dtimeRow(5), row(5, {E, E, "1000-1100", E, E, E, E, E, E, E, E, E, E, E, E, E}, "0030000000000000"));
    EXPECT_EQ(w->DTPEnd1[2]->time(), QTime(11, 0));   // the refused group still shows its times
    EXPECT_TRUE(w->chkCardAndPWD[2]->isChecked());
    EXPECT_EQ(w->DTPEnd1[1]->time(), QTime(0, 0));

    for (const char* address : {"x", "5.5", "-1", "256"}) {
        clearTrace();
        w->CmbAddr->setEditText(QString::fromLatin1(address));
        w->CmdInitMachine_Click();
        EXPECT_EQ(scripted.lastMessage(), "请选择机器号！") << address;
        EXPECT_EQ(members(), QStringList{"setport"}) << address;
    }
}

TEST_F(FrmSetTimeTest, WithoutPasswordSupportEveryModeIsCardOnly)
{
    mdl::MachineVersion = QStringLiteral("JQ8096 V4.1.0");
    sim::Controller& c = controller(5);
    c.setTimeGroup(0, {0xC8, 0x00, 0x09, 0x00});
    FrmSetTime* w = open();
    const int wide = FrmSetTime().width();
    EXPECT_FALSE(w->CardAndPWD);
    EXPECT_FALSE(w->chkCardAndPWD[0]->isChecked());
    EXPECT_TRUE(w->chkCardAndPWD[0]->isHidden());
    EXPECT_TRUE(w->Label4->isHidden());
    EXPECT_LT(w->width(), wide) << "the right half moves in where the boxes were";
    EXPECT_GT(w->Label3[8]->x(), w->DTPEnd1[0]->geometry().right());

    w->chkCardAndPWD[0]->setChecked(true);   // hidden: it cannot count
    w->CmdOk_Click();
    for (const TracedCall& call : callsOf("SetTimeGroup"))
        EXPECT_EQ(call.num(4), 0) << call.text().toStdString();
    EXPECT_EQ(dtimeRow(5).last(), QString(16, QLatin1Char('0')));
}

} // namespace
