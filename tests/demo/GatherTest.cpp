// Collection of punch records and card lists, the re-layout and browsing.
#include "FakeFixture.h"
#include "TextViewer.h"

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>

namespace {
QByteArray readBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}
void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}
} // namespace

TEST_F(DemoTest, DesignLayoutGivesTheRawLineBackInEveryForm)
{
    FrmDemo& w = load();
    const QString lines[4] = {
        QStringLiteral("01800123456260323081530" "0A02"),        // hex card, 2-digit year
        QStringLiteral("0180001193046260323081530" "0A02"),      // decimal card
        QStringLiteral("0180012345620260323081530" "0A02"),      // hex card, full year
        QStringLiteral("018000119304620260323081530" "0A02"),    // decimal card, full year
    };
    for (int layout = 0; layout < 4; ++layout) {
        w.IsCheck->setChecked(layout & 1);
        w.YearCheck->setChecked(layout & 2);
        EXPECT_EQ(w.DataBaseForm(lines[layout]), lines[layout]) << layout;
    }
}

TEST_F(DemoTest, LayoutFollowsTheFieldNamesAndSeparators)
{
    FrmDemo& w = load();
    const QString raw = QStringLiteral("018000119304620260323081530" "0A02");
    w.IsCheck->setChecked(true);
    w.YearCheck->setChecked(true);
    for (int i = 1; i < 10; ++i)
        w.TxtF[i]->setText(QStringLiteral(","));
    EXPECT_EQ(w.DataBaseForm(raw), QStringLiteral("018,0001193046,2026,03,23,08,15,30,0A,02"));

    w.TxtT[0]->setText(QStringLiteral(" 卡号 "));   // names are compared trimmed
    w.TxtT[1]->setText(QStringLiteral("机号"));
    w.TxtT[2]->setText(QStringLiteral("其他"));
    w.TxtT[9]->clear();
    EXPECT_EQ(w.DataBaseForm(raw), QStringLiteral("0001193046,018,,03,23,08,15,30,0A,"));
    // A short line gives what it has.
    EXPECT_EQ(w.DataBaseForm(QStringLiteral("018")), QStringLiteral(",018,,,,,,,,"));
}

TEST_F(DemoTest, CollectionWritesTheRelaidFileInCodePage936)
{
    FrmDemo& w = load();
    w.YearCheck->setChecked(true);
    w.txtSleepDate->setText(QStringLiteral("7"));
    w.txtIntenal->setText(QStringLiteral("40"));
    w.TxtF[1]->setText(QStringLiteral("号"));
    w.TxtF[2]->setText(QStringLiteral("，"));
    w.TxtF[3]->setText(QStringLiteral("年"));
    const QByteArray raw = "0180012345620260323081530" "0A02\r\n"
                           "0180000000120261201235959" "0B01\r\n";
    door->on(QStringLiteral("GatherData"), [&](Args& a) {
        writeBytes(a[1].toString() + QStringLiteral("/") + a[2].toString(), raw);
        a[4] = int32_t(2);
        a[8] = int32_t(2);
        return Variant(true);
    });
    w.Cmd_GetData_Click();

    const auto call = door->callsOf("GatherData").value(0);
    ASSERT_EQ(call.args.size(), 10u);
    EXPECT_EQ(call.args[0].toInteger(), 18);
    EXPECT_EQ(call.args[1].toString(), programDir);
    EXPECT_EQ(call.args[2].toString(), QStringLiteral("DataRecordSet_8096.txt"));
    EXPECT_EQ(call.args[5].toLong(), 7);
    EXPECT_FALSE(call.args[6].toBool());
    EXPECT_TRUE(call.args[7].toBool());
    EXPECT_EQ(call.args[9].toLong(), 40);
    EXPECT_EQ(status(), QStringLiteral(" 总记录数为：2  采集到的记录数为：2"));

    const QByteArray expected = QByteArray("018") + rt::toGbk(QStringLiteral("号")) + "00123456"
                                + rt::toGbk(QStringLiteral("，")) + "2026" + rt::toGbk(QStringLiteral("年"))
                                + "03230815300A02\r\n"
                                + QByteArray("018") + rt::toGbk(QStringLiteral("号")) + "00000001"
                                + rt::toGbk(QStringLiteral("，")) + "2026" + rt::toGbk(QStringLiteral("年"))
                                + "12012359590B01\r\n";
    EXPECT_EQ(readBytes(programFile(QStringLiteral("DataRecordSet8096.txt"))), expected);
}

TEST_F(DemoTest, FailedCollectionLeavesAnEmptyRelaidFile)
{
    FrmDemo& w = load();
    writeBytes(programFile(QStringLiteral("DataRecordSet8096.txt")), "old\r\n");
    w.Cmd_GetData_Click();   // GatherData answers False
    EXPECT_EQ(status(), QStringLiteral("采集不成功"));
    EXPECT_EQ(readBytes(programFile(QStringLiteral("DataRecordSet8096.txt"))), QByteArray());

    // The browse button then opens the empty file.
    w.cmd_BrowsData_Click();
    ASSERT_EQ(w.viewers.size(), 1);
    EXPECT_TRUE(w.viewers[0]->toPlainText().isEmpty());
}

TEST_F(DemoTest, CollectionRefusesBadAddressAndOptionsBeforeTouchingFiles)
{
    FrmDemo& w = load();
    for (const char* bad : {"256", "-1", "x"}) {
        w.TxtAddress->setText(QString::fromLatin1(bad));
        w.Cmd_GetData_Click();
        EXPECT_EQ(scripted.lastMessage(), QStringLiteral("请输入考勤机地址。")) << bad;
        EXPECT_EQ(scripted.messages.last().style, ui::mb::OKOnly | ui::mb::Question);
    }
    w.TxtAddress->setText(QStringLiteral("0"));   // passes this check
    w.txtIntenal->setText(QStringLiteral("fast"));
    w.Cmd_GetData_Click();
    EXPECT_EQ(scripted.lastMessage(), QStringLiteral("13:类型不匹配"));
    EXPECT_TRUE(door->callsOf("GatherData").isEmpty());
    EXPECT_FALSE(QFile::exists(programFile(QStringLiteral("DataRecordSet8096.txt"))));
}

TEST_F(DemoTest, NameListCollectionShowsTheOneCountTwice)
{
    FrmDemo& w = load();
    w.IsCheck->setChecked(true);
    door->on(QStringLiteral("GatherSendCardData"), [](Args& a) {
        a[4] = int32_t(31);
        return Variant(true);
    });
    w.Cmd_GetNameList_Click();
    const auto call = door->callsOf("GatherSendCardData").value(0);
    EXPECT_EQ(call.args[2].toString(), QStringLiteral("NameList8096.txt"));
    EXPECT_EQ(call.args[5].toLong(), 5);
    EXPECT_TRUE(call.args[6].toBool());
    EXPECT_EQ(call.args[7].toLong(), 100);
    EXPECT_EQ(status(), QStringLiteral(" 总记录数为：31  采集到的记录数为：31"));
    door->on(QStringLiteral("GatherSendCardData"), [](Args&) { return Variant(false); });
    w.Cmd_GetNameList_Click();
    EXPECT_EQ(status(), QStringLiteral("采集不成功"));
}

TEST_F(DemoTest, BrowsingOpensTheFileReadOnlyOrSaysThereIsNone)
{
    FrmDemo& w = load();
    w.cmd_BrowsNameList_Click();
    EXPECT_EQ(status(), QStringLiteral("没有采集数据可浏览，请先采集。"));
    EXPECT_TRUE(w.viewers.isEmpty());

    writeBytes(programFile(QStringLiteral("NameList8096.txt")),
               rt::toGbk(QStringLiteral("0001234567/00000001/11000000\r\n卡\r\n")));
    w.cmd_BrowsNameList_Click();
    ASSERT_EQ(w.viewers.size(), 1);
    TextViewer* v = w.viewers[0];
    EXPECT_TRUE(v->isReadOnly());
    EXPECT_TRUE(v->isVisible());
    EXPECT_EQ(v->toPlainText(), QStringLiteral("0001234567/00000001/11000000\n卡\n"));
}
