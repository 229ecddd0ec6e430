// Section "DiveDeri" of "Public.Sys": all entries in order, read back, bad values.
#include "FakeFixture.h"

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTimeEdit>

namespace {
QStringList expectedKeys()
{
    QStringList keys = {QStringLiteral("IsCheck"), QStringLiteral("YearCheck"), QStringLiteral("SleepDate")};
    for (int i = 0; i < 10; ++i)
        keys << QStringLiteral("TxtF%1").arg(i) << QStringLiteral("TxtT%1").arg(i);
    for (int i = 0; i < 16; ++i)
        keys << QStringLiteral("TimeBegin%1").arg(i) << QStringLiteral("TimeEnd%1").arg(i);
    return keys;
}
} // namespace

TEST_F(DemoTest, WithoutPublicSysTheDesignTextsStayAndCloseWritesAllEntries)
{
    FrmDemo& w = load();
    EXPECT_EQ(w.txtSleepDate->text(), QStringLiteral("5"));
    EXPECT_EQ(w.TxtT[9]->text(), QStringLiteral("特征字"));
    EXPECT_FALSE(w.IsCheck->isChecked());
    w.close();

    QStringList lines;
    ASSERT_TRUE(rt::readGbkLines(programFile(QStringLiteral("Public.Sys")), lines));
    QStringList keys;
    bool inSection = false;
    for (const QString& l : lines) {
        if (l.startsWith(u'['))
            inSection = l.compare(QStringLiteral("[DiveDeri]"), Qt::CaseInsensitive) == 0;
        else if (inSection && l.contains(u'='))
            keys << l.section(u'=', 0, 0).trimmed();
    }
    EXPECT_EQ(keys, expectedKeys());
    EXPECT_EQ(ModDemo::GetIniValue(QStringLiteral("DiveDeri"), QStringLiteral("TxtT1")), QStringLiteral("{卡号}"));
    EXPECT_EQ(ModDemo::GetIniValue(QStringLiteral("DiveDeri"), QStringLiteral("TxtF1")), QStringLiteral("{}"));
}

TEST_F(DemoTest, SettingsReadBackAsWritten)
{
    {
        FrmDemo& w = load();
        w.IsCheck->setChecked(true);
        w.txtSleepDate->setText(QStringLiteral("12"));
        w.TxtF[0]->setText(QStringLiteral(" "));
        w.TxtF[4]->setText(QStringLiteral("—分隔—"));
        w.TxtT[3]->clear();
        w.dtp_Begin[0]->setTime(QTime(7, 45));
        w.dtp_End[15]->setTime(QTime(23, 59));
        w.WriteSys();
    }
    frm.reset();
    FrmDemo& w = load();
    EXPECT_TRUE(w.IsCheck->isChecked());
    EXPECT_FALSE(w.YearCheck->isChecked());
    EXPECT_EQ(w.txtSleepDate->text(), QStringLiteral("12"));
    EXPECT_EQ(w.TxtF[0]->text(), QStringLiteral(" "));
    EXPECT_EQ(w.TxtF[4]->text(), QStringLiteral("—分隔—"));
    EXPECT_EQ(w.TxtT[3]->text(), QStringLiteral("月"));   // an emptied name comes back as designed
    EXPECT_EQ(w.dtp_Begin[0]->time(), QTime(7, 45));
    EXPECT_EQ(w.dtp_End[15]->time(), QTime(23, 59));
    // The file is code page 936.
    QFile f(programFile(QStringLiteral("Public.Sys")));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll().contains(rt::toGbk(QStringLiteral("TxtF4={—分隔—}"))));
}

TEST_F(DemoTest, HandEditedValuesAreIgnoredOrDefaulted)
{
    const QString s = QStringLiteral("DiveDeri");
    ModDemo::SetIniValue(s, QStringLiteral("IsCheck"), QStringLiteral("x"));
    ModDemo::SetIniValue(s, QStringLiteral("YearCheck"), QStringLiteral("1"));
    ModDemo::SetIniValue(s, QStringLiteral("SleepDate"), QStringLiteral("abc"));
    ModDemo::SetIniValue(s, QStringLiteral("TxtF1"), QStringLiteral("{"));
    ModDemo::SetIniValue(s, QStringLiteral("TxtT2"), QStringLiteral("[时]"));
    ModDemo::SetIniValue(s, QStringLiteral("TimeBegin0"), QStringLiteral("25:99"));
    ModDemo::SetIniValue(s, QStringLiteral("TimeEnd0"), QStringLiteral("2008-09-26 18:30:00"));
    FrmDemo& w = load();
    EXPECT_FALSE(w.IsCheck->isChecked());
    EXPECT_TRUE(w.YearCheck->isChecked());
    EXPECT_EQ(w.txtSleepDate->text(), QStringLiteral("5"));
    EXPECT_TRUE(w.TxtF[1]->text().isEmpty());
    EXPECT_EQ(w.TxtT[2]->text(), QStringLiteral("时"));   // outer characters dropped whatever they are
    EXPECT_EQ(w.dtp_Begin[0]->time(), QTime(0, 0));
    EXPECT_EQ(w.dtp_End[0]->time(), QTime(18, 30));
}

TEST_F(DemoTest, LongValuesAreCutTo1999BytesWithoutSplittingACharacter)
{
    const QString s = QStringLiteral("DiveDeri");
    ModDemo::SetIniValue(s, QStringLiteral("A"), QStringLiteral("a") + QString(1000, QChar(0x4E2D)));
    ModDemo::SetIniValue(s, QStringLiteral("B"), QStringLiteral("ab") + QString(1000, QChar(0x4E2D)));
    EXPECT_EQ(ModDemo::GetIniValue(s, QStringLiteral("A")), QStringLiteral("a") + QString(999, QChar(0x4E2D)));
    EXPECT_EQ(ModDemo::GetIniValue(s, QStringLiteral("B")), QStringLiteral("ab") + QString(998, QChar(0x4E2D)));
    EXPECT_TRUE(ModDemo::GetIniValue(s, QStringLiteral("Missing")).isEmpty());
}

TEST_F(DemoTest, ValueEndsAtItsFirstNul)
{
    QFile f(ModDemo::programFile(QStringLiteral("Public.Sys")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray("[DiveDeri]\r\nTxtF0={-}\0tail\r\nSleepDate=\0\r\n", 38));
    f.close();
    EXPECT_EQ(ModDemo::GetIniValue(QStringLiteral("DiveDeri"), QStringLiteral("TxtF0")), QStringLiteral("{-}"));
    EXPECT_EQ(ModDemo::GetIniValue(QStringLiteral("DiveDeri"), QStringLiteral("SleepDate")), QString());
}
