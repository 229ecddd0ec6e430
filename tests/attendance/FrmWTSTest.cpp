// The working-time rules window: what it shows, the period boxes, and the
// row it saves.
#include "WindowBench.h"

#include "FrmWTS.h"
#include "Globals.h"
#include "MenuWindow.h"
#include "ActiveBar.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QTimeEdit>

namespace {

const QString kColumns = QStringLiteral("上班时间, 下班时间, 迟到时间, 早退时间, timeb, timee, lat, let, Rest, MaxHour");

class FrmWTSTest : public WindowBench {
protected:
    void storeRow(const QVariantList& values)
    {
        exec(QStringLiteral("delete from owt"));
        exec(QStringLiteral("insert into owt (%1) values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)").arg(kColumns), values);
    }
    QList<QVariantList> owt() { return rows(QStringLiteral("select %1 from owt").arg(kColumns)); }
    FrmWTS* open() { return ui::forms::load<FrmWTS>(); }
    void reopen()
    {
        ui::forms::unload<FrmWTS>();
    }
    static void setTime(QTimeEdit* p, const QString& t) { p->setTime(QTime::fromString(t, "HH:mm:ss")); }
};

TEST_F(FrmWTSTest, AnEmptyTableOpensWithDefaultsAndSavingCreatesTheRow)
{
    exec("delete from owt");
    FrmWTS* w = open();
    EXPECT_EQ(w->DTX1->time(), QTime(8, 30));
    EXPECT_EQ(w->DTX4->time(), QTime(17, 30));
    EXPECT_TRUE(w->Check1[0]->isChecked());
    EXPECT_FALSE(w->Check1[1]->isChecked());
    EXPECT_EQ(QStringList({w->Text1->text(), w->Text2->text(), w->TextLeave->text(), w->TextMaxHouse->text()}),
              QStringList({"5", "5", "90", "8"}));
    EXPECT_TRUE(scripted.messages.isEmpty());

    w->Command1_Click();
    EXPECT_EQ(scripted.lastMessage(), "保存成功!");
    EXPECT_EQ(owt(), (QList<QVariantList>{{"08:30:00", "11:30:00", "08:35:00", "11:25:00", "00:00:00", "00:00:00",
                                            "00:00:00", "00:00:00", 90, 8.0}}));
}

TEST_F(FrmWTSTest, ADatabaseThatWillNotOpenShowsTheDefaultsAndSavesNothing)
{
    const QString kept = mdl::DatabasePathInUse;
    mdl::DatabasePathInUse = QStringLiteral("/nonexistent/folder/door.mdb");
    FrmWTS* w = open();
    mdl::DatabasePathInUse = kept;
    EXPECT_EQ(QList<QTime>({w->DTX1->time(), w->DTX2->time(), w->DTX3->time(), w->DTX4->time()}),
              QList<QTime>({QTime(8, 30), QTime(11, 30), QTime(13, 30), QTime(17, 30)}));
    EXPECT_TRUE(w->Check1[0]->isChecked());
    w->Command1_Click();
    ASSERT_EQ(messageTexts().size(), 1);
    EXPECT_NE(messageTexts()[0], "保存成功!");
}

TEST_F(FrmWTSTest, SavesThresholdsFromTheGraces)
{
    struct Case {
        const char* what;
        QString on, off, late, early;
        QString lateAt, earlyAt;
        QString lateShown = {}, earlyShown = {};   // box texts after the save, when changed
    };
    const QList<Case> cases = {
        {"plain", "08:30:00", "11:30:00", "5", "5", "08:35:00", "11:25:00"},
        {"wraps past midnight", "23:58:00", "23:59:00", "5", "5", "00:03:00", "23:54:00"},
        {"wraps back before midnight", "06:00:00", "00:10:00", "5", "15", "06:05:00", "23:55:00"},
        {"a half rounds to even (down)", "08:30:00", "11:30:00", "2.5", "3.5", "08:32:00", "11:26:00"},
        {"negative moves the other way", "08:30:00", "11:30:00", "-5", "-5", "08:25:00", "11:35:00"},
        {"empty grace is zero", "08:30:00", "11:30:00", "", "", "08:30:00", "11:30:00", "0", "0"},
        {"seconds kept", "08:30:20", "11:30:20", "1", "1", "08:31:20", "11:29:20"},
        {"no grace on an unset on-duty time", "00:00:00", "11:30:00", "5", "5", "00:00:00", "11:25:00"},
        {"no grace on an unset off-duty time", "08:30:00", "00:00:00", "5", "5", "08:35:00", "00:00:00"},
    };
    FrmWTS* w = open();
    for (const Case& c : cases) {
        // the same graces apply to the second period
        w->Check1[1]->setChecked(false);
        setTime(w->DTX1, c.on);
        setTime(w->DTX2, c.off);
        setTime(w->DTX3, c.on);
        setTime(w->DTX4, c.off);
        w->Check1[1]->setChecked(true);
        w->Text1->setText(c.late);
        w->Text2->setText(c.early);
        scripted.clearMessages();
        w->Command1_Click();
        EXPECT_EQ(messageTexts().value(0), "保存成功!") << c.what;
        const QVariantList want{c.on, c.off, c.lateAt, c.earlyAt, c.on, c.off, c.lateAt, c.earlyAt, 90, 8.0};
        EXPECT_EQ(owt(), QList<QVariantList>{want}) << c.what;
        if (!c.lateShown.isEmpty()) {
            EXPECT_EQ(w->Text1->text(), c.lateShown) << c.what;
            EXPECT_EQ(w->Text2->text(), c.earlyShown) << c.what;
        }
    }
}

TEST_F(FrmWTSTest, ReopeningShowsTheStoredGracesSoATimeChangeKeepsThem)
{
    storeRow({"08:30:00", "11:30:00", "08:40:00", "11:15:00", "13:30:00", "17:30:00", "13:40:00", "17:15:00", 60, 7.5});
    FrmWTS* w = open();
    EXPECT_EQ(w->Text1->text(), "10");
    EXPECT_EQ(w->Text2->text(), "15");
    EXPECT_EQ(w->TextLeave->text(), "60");
    EXPECT_EQ(w->TextMaxHouse->text(), "7.5");
    EXPECT_TRUE(w->Check1[1]->isChecked());
    setTime(w->DTX1, "09:00:00");
    w->Command1_Click();
    EXPECT_EQ(owt(), (QList<QVariantList>{{"09:00:00", "11:30:00", "09:10:00", "11:15:00", "13:30:00", "17:30:00",
                                            "13:40:00", "17:15:00", 60, 7.5}}));

    // thresholds across midnight read back as the grace they were made with
    storeRow({"23:58:00", "00:10:00", "00:01:00", "00:00:00", "00:00:00", "00:00:00", "00:00:00", "00:00:00", 90, 8});
    reopen();
    w = open();
    EXPECT_EQ(w->Text1->text(), "3");
    EXPECT_EQ(w->Text2->text(), "10");
}

TEST_F(FrmWTSTest, AFailedSaveLeavesTheRowUnchanged)
{
    struct Case {
        const char* what;
        QString late, leave, maxHour;
        QString message;
    };
    const QList<Case> cases = {
        {"break not a number", "5", "abc", "8", "13:类型不匹配"},
        {"hours not a number", "5", "90", "8h", "13:类型不匹配"},
        {"grace not a number", "five", "90", "8", "13:类型不匹配"},
        {"grace beyond 16 bits", "40000", "90", "8", "6:溢出"},
    };
    const QVariantList stored{"08:30:00", "11:30:00", "08:40:00", "11:15:00", "13:30:00", "17:30:00", "13:40:00",
                              "17:15:00", 60, 7.5};
    storeRow(stored);
    const auto before = rows("select quote(上班时间), quote(迟到时间), quote(lat), quote(Rest), quote(MaxHour) from owt");
    FrmWTS* w = open();
    setTime(w->DTX1, "09:00:00");
    for (const Case& c : cases) {
        w->Text1->setText(c.late);
        w->TextLeave->setText(c.leave);
        w->TextMaxHouse->setText(c.maxHour);
        scripted.clearMessages();
        w->Command1_Click();
        EXPECT_EQ(messageTexts(), QStringList{c.message}) << c.what;
        EXPECT_EQ(owt(), QList<QVariantList>{stored}) << c.what;
        EXPECT_EQ(rows("select quote(上班时间), quote(迟到时间), quote(lat), quote(Rest), quote(MaxHour) from owt"), before)
            << c.what;
    }
}

TEST_F(FrmWTSTest, PeriodBoxesKeepTheRules)
{
    exec("delete from owt");
    FrmWTS* w = open();
    // period one cannot be switched off
    w->Check1[0]->setChecked(false);
    EXPECT_TRUE(w->Check1[0]->isChecked());
    EXPECT_TRUE(scripted.messages.isEmpty());

    // period two needs times of its own ...
    setTime(w->DTX3, "00:00:00");
    setTime(w->DTX4, "00:00:00");
    w->Check1[1]->setChecked(true);
    EXPECT_EQ(messageTexts(), QStringList{"请先设置第二个时间段!"});
    EXPECT_FALSE(w->Check1[1]->isChecked());

    // ... and a first period that is set
    setTime(w->DTX3, "13:30:00");
    setTime(w->DTX1, "00:00:00");
    setTime(w->DTX2, "00:00:00");
    scripted.clearMessages();
    w->Check1[1]->setChecked(true);
    EXPECT_EQ(messageTexts(), QStringList{"只有先设置第一个时间段，才能设第二个时间段!"});
    EXPECT_FALSE(w->Check1[1]->isChecked());

    // unticking an unset period one asks for its times once and keeps it ticked
    scripted.clearMessages();
    w->Check1[0]->setChecked(false);
    EXPECT_EQ(messageTexts(), QStringList{"请先设置第一个时间段!"});
    EXPECT_TRUE(w->Check1[0]->isChecked());
}

TEST_F(FrmWTSTest, LoadsTheStoredRow)
{
    // a stored row with period one unset asks once; a Null time keeps the design time
    storeRow({"00:00:00", "00:00:00", "00:00:00", "00:00:00", QVariant(), "17:30:00", "00:00:00", "17:25:00", 90, 8});
    FrmWTS* w = open();
    EXPECT_EQ(w->DTX3->time(), QTime(15, 24, 8));
    EXPECT_EQ(w->DTX4->time(), QTime(17, 30));
    EXPECT_TRUE(w->Check1[0]->isChecked());
    EXPECT_FALSE(w->Check1[1]->isChecked());
    EXPECT_EQ(messageTexts(),
              (QStringList{"请先设置第一个时间段!", "只有先设置第一个时间段，才能设第二个时间段!"}));
    EXPECT_EQ(w->Text2->text(), "5");   // period two unticked but its thresholds tell
}

TEST_F(FrmWTSTest, TheMainWindowOpensBothAttendanceWindows)
{
    menu* m = ui::forms::load<menu>();
    ui::forms::setModalHandler([](ui::Form& f) { f.unloadForm(); });
    m->ActiveBar1->clickTool(29);
    m->ActiveBar1->clickTool(37);
    EXPECT_EQ(ui::forms::modalShows(), (QStringList{"FrmWTS", "Frmkqzl"}));
}

} // namespace
