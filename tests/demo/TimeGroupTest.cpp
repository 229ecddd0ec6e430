// The time-group frame: batch fill, reset, send and read.
#include "FakeFixture.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimeEdit>

namespace {
void setRow(FrmDemo& w, int i, QTime b, QTime e)
{
    w.dtp_Begin[i]->setTime(b);
    w.dtp_End[i]->setTime(e);
}
} // namespace

TEST_F(DemoTest, SendRefusesAnIllegalRowBeforeSendingAnything)
{
    FrmDemo& w = load();
    setRow(w, 0, QTime(8, 0), QTime(9, 0));
    setRow(w, 1, QTime(9, 0), QTime(10, 0));
    setRow(w, 2, QTime(12, 0), QTime(8, 0));
    w.Command8_Click();
    EXPECT_TRUE(door->callsOf("SetTimeGroup").isEmpty());
    EXPECT_EQ(scripted.lastMessage(), QStringLiteral("第 3段时间非法，开始时间不能大于结束时间！"));
    EXPECT_EQ(scripted.messages.last().title, QStringLiteral("提示"));
}

TEST_F(DemoTest, SendKeepsRowNumbersAndOneTotal)
{
    FrmDemo& w = load();
    int n = 0;
    door->on(QStringLiteral("SetTimeGroup"), [&](Args&) { return Variant(++n == 1); });
    QList<int> sleeps;
    scripted.onSleep = [&](int ms) { sleeps.append(ms); };
    setRow(w, 0, QTime(0, 0), QTime(7, 30));   // a begin of 00:00 with a later end is kept
    setRow(w, 5, QTime(13, 0), QTime(13, 0));
    w.chkCardAndPsw[5]->setChecked(true);
    w.Command8_Click();

    const auto calls = door->callsOf("SetTimeGroup");
    ASSERT_EQ(calls.size(), 2);
    EXPECT_EQ(calls[0].args[1].toInteger(), 2);
    EXPECT_EQ(calls[0].args[2].toInteger(), 0);
    EXPECT_EQ(calls[0].args[3].toString(), QStringLiteral("0000-0730"));
    EXPECT_EQ(calls[0].args[4].toInteger(), 0);
    EXPECT_EQ(calls[1].args[1].toInteger(), 2);
    EXPECT_EQ(calls[1].args[2].toInteger(), 5);
    EXPECT_EQ(calls[1].args[3].toString(), QStringLiteral("1300-1300"));
    EXPECT_EQ(calls[1].args[4].toInteger(), 3);
    EXPECT_EQ(sleeps, (QList<int>{200, 200}));
    EXPECT_EQ(status(), QStringLiteral("共下发：2个时段，其中发送失败：1个!"));
}

TEST_F(DemoTest, SendWithAllRowsEmptySendsNothing)
{
    FrmDemo& w = load();
    w.Command8_Click();
    EXPECT_TRUE(door->callsOf("SetTimeGroup").isEmpty());
    EXPECT_EQ(status(), QStringLiteral("共下发：0个时段，其中发送失败：0个!"));

    // With nothing to send, neither the address nor the pause is needed.
    w.TxtAddress->clear();
    w.txtDalay->setText(QStringLiteral("soon"));
    w.Sta_Info->setSimpleText(QString());
    w.Command8_Click();
    EXPECT_TRUE(scripted.messages.isEmpty());
    EXPECT_EQ(status(), QStringLiteral("共下发：0个时段，其中发送失败：0个!"));

    // With a row to send they are, before anything goes out.
    setRow(w, 0, QTime(8, 0), QTime(9, 0));
    w.TxtAddress->setText(QStringLiteral("18"));
    w.Command8_Click();
    EXPECT_EQ(scripted.lastMessage(), QStringLiteral("13:类型不匹配"));
    EXPECT_TRUE(door->callsOf("SetTimeGroup").isEmpty());
}

TEST_F(DemoTest, BatchFillStepsByHoursAndWrapsAtMidnight)
{
    FrmDemo& w = load();
    w.dtp_Begin[16]->setTime(QTime(8, 0));
    w.dtp_End[16]->setTime(QTime(9, 0));
    w.Command13_Click();
    EXPECT_EQ(w.dtp_Begin[1]->time(), QTime(9, 0));
    EXPECT_EQ(w.dtp_End[1]->time(), QTime(10, 0));
    EXPECT_EQ(w.dtp_Begin[15]->time(), QTime(23, 0));
    EXPECT_EQ(w.dtp_End[15]->time(), QTime(0, 0));

    w.txtStep1->setText(QStringLiteral("0.5"));
    w.txtStep2->setText(QStringLiteral("0"));
    w.Command13_Click();
    EXPECT_EQ(w.dtp_Begin[3]->time(), QTime(9, 30));
    EXPECT_EQ(w.dtp_End[15]->time(), QTime(9, 0));

    w.txtStep1->setText(QStringLiteral("half"));
    w.Command13_Click();
    EXPECT_EQ(scripted.lastMessage(), QStringLiteral("13:类型不匹配"));
    EXPECT_EQ(w.dtp_Begin[3]->time(), QTime(9, 30));

    // A step too large for the last row changes no row at all.
    w.txtStep1->setText(QStringLiteral("2"));
    w.txtStep2->setText(QStringLiteral("3000000"));
    w.Command13_Click();
    EXPECT_EQ(scripted.lastMessage(), QStringLiteral("6:溢出"));
    EXPECT_EQ(w.dtp_Begin[3]->time(), QTime(9, 30));
    EXPECT_EQ(w.dtp_End[1]->time(), QTime(9, 0));

    w.Command9_Click();
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(w.dtp_Begin[i]->time(), QTime(0, 0));
        EXPECT_EQ(w.dtp_End[i]->time(), QTime(0, 0));
    }
    EXPECT_EQ(w.dtp_Begin[16]->time(), QTime(8, 0));
}

TEST_F(DemoTest, ReadFillsRowsAndCountsValidGroups)
{
    FrmDemo& w = load();
    QString list, modes;
    for (int j = 0; j < 16; ++j) {
        if (j == 2)
            list += QStringLiteral("FFFFFFFF");
        else if (j >= 10)
            list += QStringLiteral("00000000");
        else
            list += QStringLiteral("%1%2%3%4").arg(j + 6, 2, 10, QChar(u'0')).arg(15, 2).arg(j + 7, 2, 10, QChar(u'0')).arg(45, 2);
        modes += (j % 3 == 0) ? u'3' : u'0';
    }
    door->on(QStringLiteral("GetTimeGroup"), [&](Args& a) {
        a[1] = list;
        a[2] = modes;
        return Variant(true);
    });
    w.Command2_Click();
    EXPECT_EQ(door->callsOf("GetTimeGroup")[0].args[2].toString(), QString());
    ASSERT_EQ(scripted.messages.size(), 1);   // the overview
    EXPECT_TRUE(scripted.messages[0].text.startsWith(QStringLiteral("0   06:15--07:45\n1   07:15--08:45\n2   FF:FF--FF:FF\n")));
    EXPECT_EQ(w.dtp_Begin[0]->time(), QTime(6, 15));
    EXPECT_EQ(w.dtp_End[9]->time(), QTime(16, 45));
    EXPECT_EQ(w.dtp_Begin[2]->time(), QTime(0, 0));
    EXPECT_TRUE(w.chkCardAndPsw[0]->isChecked());
    EXPECT_FALSE(w.chkCardAndPsw[1]->isChecked());
    EXPECT_TRUE(w.chkCardAndPsw[15]->isChecked());
    EXPECT_EQ(status(), QStringLiteral("采集成功，有效时段数：9"));
}

TEST_F(DemoTest, ReadStopsAtTheFirstIllegalGroup)
{
    FrmDemo& w = load();
    setRow(w, 8, QTime(1, 1), QTime(2, 2));
    QString list;
    for (int j = 0; j < 8; ++j)
        list += QStringLiteral("08001700");
    answerText(QStringLiteral("GetTimeGroup"), 1, list);
    w.Command2_Click();
    ASSERT_EQ(scripted.messages.size(), 2);
    EXPECT_TRUE(scripted.messages[0].text.endsWith(QStringLiteral("15   :--:\n")));
    EXPECT_EQ(scripted.messages[1].text,
              QStringLiteral("采集出的时间段有非法数据，不符合时间格式！(第：9段)\n") + list);
    EXPECT_EQ(w.dtp_Begin[7]->time(), QTime(8, 0));
    EXPECT_EQ(w.dtp_Begin[8]->time(), QTime(1, 1));
    EXPECT_EQ(status(), QStringLiteral("时间段采集成功"));

    answerText(QStringLiteral("GetTimeGroup"), 1, QStringLiteral("0800"));
    w.Command2_Click();
    EXPECT_EQ(scripted.lastMessage(), QStringLiteral("采集出的时间段长度不够,现在长度为:4\n0800"));

    answerText(QStringLiteral("GetTimeGroup"), 1, QString(), false);
    w.Command2_Click();
    EXPECT_EQ(status(), QStringLiteral("时间段采集失败"));
}

TEST_F(DemoTest, TimeFrameShowsAndHides)
{
    FrmDemo& w = load();
    w.Command1_Click();
    EXPECT_TRUE(w.frmTimeSet->isVisibleTo(&w));
    w.Command3_Click();
    EXPECT_FALSE(w.frmTimeSet->isVisibleTo(&w));
}

TEST_F(DemoTest, TimeFrameFitsASmallScreenAndHidingItRestoresTheSize)
{
    FrmDemo& w = load();
    w.show();
    QCoreApplication::processEvents();
    const QSize before = w.size();
    w.Command1_Click();
    QCoreApplication::processEvents();
    const QSize shown = w.size();
    // Room for the frame's title bar and borders inside 1024x768.
    EXPECT_LE(shown.width(), 1024 - 16);
    EXPECT_LE(shown.height(), 768 - 40);
    EXPECT_TRUE(w.Command3->isVisible());
    // The window's own buttons stay uncovered.
    EXPECT_LT(w.frmTimeSet->geometry().bottom(), w.Command1->mapTo(w.centralWidget(), QPoint()).y());
    w.Command3_Click();
    QCoreApplication::processEvents();
    EXPECT_EQ(w.size(), before);
}
