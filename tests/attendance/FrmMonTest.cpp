// Monthly summary: the month grid, its colours and thresholds, the three
// lists with their length rules, the remarks saved as RTF and read back.
#include "FrmMon.h"
#include "WindowBench.h"

#include "ui/Form.h"

#include <QDateEdit>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTextEdit>

namespace {

// The text of an RTF file: \uN escapes, \par and \line as line breaks,
// groups of the header (font and colour tables) skipped.
QString rtfText(const QByteArray& rtf)
{
    QString out;
    int depth = 0, skipDepth = -1;
    for (qsizetype i = 0; i < rtf.size(); ++i) {
        const char ch = rtf[i];
        if (ch == '{') {
            ++depth;
            continue;
        }
        if (ch == '}') {
            if (depth == skipDepth)
                skipDepth = -1;
            --depth;
            continue;
        }
        if (ch == '\r' || ch == '\n')
            continue;
        if (ch != '\\') {
            if (skipDepth < 0)
                out += QLatin1Char(ch);
            continue;
        }
        const char next = i + 1 < rtf.size() ? rtf[i + 1] : '\0';
        if (next == '\\' || next == '{' || next == '}') {
            if (skipDepth < 0)
                out += QLatin1Char(next);
            ++i;
            continue;
        }
        qsizetype j = i + 1;
        while (j < rtf.size() && std::isalpha(uchar(rtf[j])))
            ++j;
        const QByteArray word = rtf.mid(i + 1, j - i - 1);
        qsizetype k = j;
        while (k < rtf.size() && (rtf[k] == '-' || std::isdigit(uchar(rtf[k]))))
            ++k;
        const int number = rtf.mid(j, k - j).toInt();
        if (k < rtf.size() && rtf[k] == ' ')
            ++k;
        i = k - 1;
        if (word == "fonttbl" || word == "colortbl")
            skipDepth = depth;
        if (skipDepth >= 0)
            continue;
        if (word == "u") {
            out += QChar(char16_t(uint16_t(int16_t(number))));
            ++i;   // the fallback character
        } else if (word == "par" || word == "line") {
            out += QLatin1Char('\n');
        } else if (word == "tab") {
            out += QLatin1Char('\t');
        }
    }
    return out;
}

class FrmMonTest : public WindowBench {
protected:
    void rules()
    {
        exec("insert into owt (上班时间,下班时间,迟到时间,早退时间,timeb,timee,lat,let,Rest,MaxHour) "
             "values ('08:00:00','12:00:00','08:05:00','11:55:00','13:30:00','17:30:00','13:35:00','17:25:00',0,8)");
    }
    void day(const QString& number, const QString& name, const QString& date, const QVariant& t1,
             const QVariant& t2, const QVariant& t3, const QVariant& t4, int absent = 0)
    {
        exec("insert into datakq (卡号,姓名,部门,日期,时间1,时间2,时间3,时间4,旷工) values (?,?,'研发',?,?,?,?,?,?)",
             {number, name, date, t1, t2, t3, t4, absent});
    }
    FrmMon* open() { return ui::forms::load<FrmMon>(); }
    QString cell(FrmMon* w, int r, int c) { return w->MSF->item(r, c) ? w->MSF->item(r, c)->text() : QString(); }
    QColor fore(FrmMon* w, int r, int c) { return w->MSF->item(r, c)->foreground().color(); }
    bool coloured(FrmMon* w, int r, int c) { return w->MSF->item(r, c)->foreground().style() != Qt::NoBrush; }
    QColor back(FrmMon* w, int r, int c) { return w->MSF->item(r, c)->background().color(); }
    QString remarks(FrmMon* w) { return w->RBox->toPlainText(); }
};

TEST_F(FrmMonTest, MonthGridWeekdaysColoursAndThresholds)
{
    rules();
    day("00000001", "张三", "2026-12-01", "08:05:00", "11:55:00", "13:36:00", "17:24:00");
    day("00000001", "张三", "2026-12-05", "08:06:00", "11:54:00", "13:35:00", "00:00:00");
    day("00000001", "张三", "2026-11-30", "09:00:00", "12:00:00", "13:30:00", "17:30:00");
    FrmMon* w = open();
    EXPECT_TRUE(scripted.messages.isEmpty());
    EXPECT_EQ(w->Text1->text(), "08:00:00");
    EXPECT_EQ(w->Text4->text(), "17:30:00");
    EXPECT_EQ(cell(w, 0, 0), " 星期");
    EXPECT_EQ(cell(w, 0, 2), "上班时间");
    EXPECT_TRUE(w->MSF->item(0, 3)->font().bold());

    w->Cka->setText("00000001");
    w->Command1_Click();
    EXPECT_TRUE(scripted.messages.isEmpty());
    EXPECT_EQ(cell(w, 1, 0), "星期二");
    EXPECT_EQ(cell(w, 5, 0), "星期六");
    EXPECT_EQ(cell(w, 6, 0), "星期日");
    EXPECT_EQ(cell(w, 31, 0), "星期四");
    EXPECT_EQ(cell(w, 31, 1), "31");
    EXPECT_EQ(back(w, 5, 0), QColor(200, 160, 180));
    EXPECT_EQ(back(w, 6, 0), QColor(150, 200, 150));
    EXPECT_EQ(back(w, 6, 3), QColor(230, 230, 230));
    EXPECT_EQ(back(w, 5, 1), QColor(230, 230, 230));

    struct Case {
        int row, column;
        const char* text;
        QColor colour;   // invalid: not coloured
    };
    const QList<Case> cases = {
        {1, 2, "08:05:00", {}},                  // equal to the late threshold
        {1, 3, "11:55:00", {}},                  // equal to the early threshold
        {1, 4, "13:36:00", QColor(0, 0, 255)},
        {1, 5, "17:24:00", QColor(255, 0, 0)},
        {5, 2, "08:06:00", QColor(0, 0, 255)},
        {5, 3, "11:54:00", QColor(255, 0, 0)},
        {5, 4, "13:35:00", {}},
        {5, 5, "00:00:00", QColor(255, 0, 0)},   // no departure punch
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(QString("row %1 column %2").arg(c.row).arg(c.column).toStdString());
        EXPECT_EQ(cell(w, c.row, c.column), c.text);
        if (c.colour.isValid())
            EXPECT_EQ(fore(w, c.row, c.column), c.colour);
        else
            EXPECT_FALSE(coloured(w, c.row, c.column));
    }
    EXPECT_EQ(cell(w, 30, 2), "") << "November's row is not in December";

    // February: 28 rows, the rest stays empty.
    w->DTP->setDate(QDate(2026, 2, 10));
    w->Command1_Click();
    EXPECT_EQ(scripted.lastMessage(), "此员工本月无打卡记录！");
    EXPECT_EQ(cell(w, 28, 1), "28");
    EXPECT_EQ(cell(w, 29, 0), "");
    EXPECT_EQ(cell(w, 1, 0), "星期日");
}

TEST_F(FrmMonTest, SelectionChecksAndEmptyRules)
{
    day("00000001", "张三", "2026-12-02", "07:50:00", "12:00:00", "00:00:00", "17:30:00");
    FrmMon* w = open();
    ASSERT_EQ(scripted.messages.size(), 1);
    EXPECT_EQ(scripted.messages[0].text, "请先设置上下班时间！");
    EXPECT_EQ(scripted.messages[0].title, "提示");

    struct Case {
        const char* card;
        const char* name;
        int option;   // 1, 2 or 0 for none
        const char* message;
    };
    const QList<Case> cases = {
        {"", "", 1, "请选择卡号或姓名!!"},
        {"00000001", "", 0, "按卡号查询还是按姓名查询？"},
        {"", "张三", 1, "请选择卡号!!"},
        {"00000001", "", 2, "请选择姓名!!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        scripted.clearMessages();
        w->Cka->setText(c.card);
        w->Cna->setText(c.name);
        w->Option1->setAutoExclusive(false);
        w->Option2->setAutoExclusive(false);
        w->Option1->setChecked(c.option == 1);
        w->Option2->setChecked(c.option == 2);
        w->Command1_Click();
        ASSERT_EQ(scripted.messages.size(), 1);
        EXPECT_EQ(scripted.messages[0].text, c.message);
        EXPECT_EQ(scripted.messages[0].title, "提示");
        EXPECT_EQ(cell(w, 1, 0), "") << "the grid is cleared to its header";
    }
    // With no rules every arrival after midnight is late, no departure early.
    scripted.clearMessages();
    w->Option1->setChecked(true);
    w->Option2->setChecked(false);
    w->Cka->setText("00000001");
    w->Command1_Click();
    EXPECT_TRUE(scripted.messages.isEmpty());
    EXPECT_EQ(fore(w, 2, 2), QColor(0, 0, 255));
    EXPECT_FALSE(coloured(w, 2, 4));
    EXPECT_FALSE(coloured(w, 2, 3));
    w->Clate_Click();
    w->Cle_Click();
    EXPECT_EQ(remarks(w), "\n00000001\n\n00000001\n") << "the box counts line breaks as two characters";
}

TEST_F(FrmMonTest, PeopleListsAndTheWholeNameOfAPick)
{
    addDepartment("研发");
    addDepartment("销售");
    addPerson("00000002", "Alexandra", "销售");
    addPerson("00000001", "张三", "研发");
    addPerson("00000003", "欧阳娜娜", "研发");
    FrmMon* w = open();
    scripted.clearMessages();
    QStringList departments;
    for (int i = 0; i < w->LstDepart->count(); ++i)
        departments << w->LstDepart->item(i)->text();
    EXPECT_EQ(departments, QStringList({"所有部门", "研发", "销售"}));

    w->LstDepart->item(2)->setSelected(true);
    w->LstDepart->item(1)->setSelected(true);
    QStringList people;
    for (int i = 0; i < w->LstInfo->count(); ++i)
        people << w->LstInfo->item(i)->text();
    EXPECT_EQ(people, QStringList({"00000001     张三", "00000003     欧阳娜娜", "00000002     Alexandra"}))
        << "department by department in list order";

    w->Option1->setChecked(true);
    w->LstInfo->setCurrentRow(2);
    w->LstInfo_Click();
    EXPECT_EQ(w->Cna->text(), "Alexandra") << "a name longer than five characters stays whole";
    EXPECT_EQ(w->Cka->text(), "00000002");
    EXPECT_TRUE(w->Option1->isChecked());

    // The whole name finds the person's month.
    day("00000002", "Alexandra", "2026-12-03", "08:00:00", "12:00:00", "13:30:00", "17:30:00");
    w->Cna_GotFocus();
    EXPECT_TRUE(w->Option2->isChecked());
    w->Cna_Click();
    EXPECT_TRUE(scripted.messages.isEmpty()) << scripted.lastMessage().toStdString();
    EXPECT_EQ(cell(w, 3, 2), "08:00:00");
    w->Cka_GotFocus();
    EXPECT_TRUE(w->Option1->isChecked());
}

TEST_F(FrmMonTest, ListsAppendWithTheirTextsAndLengthRules)
{
    rules();
    day("00000001", "张三", "2026-12-01", "08:06:00", "11:50:00", "13:40:00", "17:20:00");
    day("00000001", "张三", "2026-12-02", "08:06:00", "12:00:00", QVariant(), QVariant());
    day("00000001", "张三", "2026-12-03", "08:00:00", "12:00:00", "13:30:00", "17:30:00", 30);
    day("00000001", "张三", "2026-12-04", "08:00:00", "12:00:00", "13:30:00", "17:30:00", 240);
    day("00000001", "张三", "2026-11-04", "08:00:00", "12:00:00", "13:30:00", "17:30:00", 60);
    day("00000002", "李四", "2026-12-01", "08:00:00", "12:00:00", "13:30:00", "17:30:00");
    FrmMon* w = open();
    w->Picture1_Click();
    EXPECT_TRUE(w->isWide());
    EXPECT_EQ(w->width(), FrmMon::kWideWidth);

    // Absent without a selection asks and appends nothing.
    w->Cabs_Click();
    EXPECT_EQ(scripted.lastMessage(), "请选择工号或姓名！");
    EXPECT_EQ(scripted.messages.last().style & 7, ui::mb::OKCancel);
    EXPECT_EQ(remarks(w), "");

    w->RBox->setPlainText("备注：");
    w->Cka->setText("00000001");
    w->Command1_Click();
    w->Clate_Click();
    w->Cle_Click();
    w->Cabs_Click();
    const QString person = "\n00000001\n";
    EXPECT_EQ(remarks(w), "备注：" + person + "2026-12-1号08:06:00迟到  2026-12-1号13:40:00迟到  2026-12-2号08:06:00迟到  "
                          + person + "2026-12-1号11:50:00早退  2026-12-1号17:20:00早退  "
                          + person + "2026-12-03号旷工30分钟  2026-12-04号旷工240分钟  ")
        << "a day without afternoon punches is not late in the afternoon";

    // Length rules from an empty box: a number leaves 12 characters, a two-character name 6.
    struct Case {
        const char* name;
        bool byName;
        bool late;
        QString expected;
    };
    const QList<Case> cases = {
        {"late, number", false, true, "\n00000002\n"},
        {"late, name", true, true, "\n李四\n本月无迟到记录"},
        {"early, number", false, false, "\n00000002\n本月无早退记录"},
        {"early, name", true, false, "\n李四\n本月无早退记录"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        w->Command3_Click();
        w->Cka->setText("00000002");
        w->Cna->setText("李四");
        (c.byName ? w->Option2 : w->Option1)->setChecked(true);
        w->Command1_Click();
        c.late ? w->Clate_Click() : w->Cle_Click();
        EXPECT_EQ(remarks(w), c.expected);
    }

    // The absent list reads the picker's month, not the grid's.
    w->Command3_Click();
    w->Option1->setChecked(true);
    w->Cka->setText("00000001");
    w->Command1_Click();
    w->DTP->setDate(QDate(2026, 11, 20));
    w->Cabs_Click();
    EXPECT_EQ(remarks(w), "\n00000001\n2026-11-04号旷工60分钟  ");
}

TEST_F(FrmMonTest, EmptyCellsAreTestedWithTheTimeLastRead)
{
    rules();
    // Afternoon-only arrival in the morning slot; a day after a morning time in the last slot.
    day("00000003", "王五", "2026-12-07", "14:00:00", QVariant(), QVariant(), QVariant());
    day("00000003", "王五", "2026-12-08", "08:00:00", QVariant(), "13:30:00", "10:00:00");
    FrmMon* w = open();
    w->Picture1_Click();
    w->Cka->setText("00000003");
    w->Command1_Click();
    struct Case {
        const char* name;
        void (FrmMon::*list)();
        QString expected;
    };
    const QList<Case> cases = {
        {"late: an empty afternoon cell takes the morning's time", &FrmMon::Clate_Click,
         "\n00000003\n2026-12-7号14:00:00迟到  "},
        {"early: the time last read goes on to the next day", &FrmMon::Cle_Click,
         "\n00000003\n2026-12-9号10:00:00早退  "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        w->Command3_Click();
        (w->*c.list)();
        EXPECT_EQ(remarks(w), c.expected);
    }
}

TEST_F(FrmMonTest, RemarksSavedAsRtfAndTheQuestionOnLeaving)
{
    rules();
    FrmMon* w = open();
    w->Picture1_Click();
    w->RBox->setPlainText("张三 {迟到} \\ 2026-12-1号");
    w->RBox->append("第二行 O'Neil");
    const QString file = folder() + "备注";
    scripted.queueFile(file);
    w->Command6_Click();
    ASSERT_EQ(scripted.fileDialogs.size(), 1);
    EXPECT_EQ(scripted.fileDialogs[0].title, "保存");
    EXPECT_TRUE(scripted.fileDialogs[0].save);
    EXPECT_TRUE(scripted.fileDialogs[0].filter.contains("*.doc"));
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << "no extension is added";
    const QByteArray bytes = f.readAll();
    EXPECT_TRUE(bytes.startsWith("{\\rtf1"));
    EXPECT_EQ(rtfText(bytes), "张三 {迟到} \\ 2026-12-1号\n第二行 O'Neil\n");
    // Each run resets its format: the 9-point size must come back in every one.
    EXPECT_GT(bytes.count("\\plain"), 0);
    EXPECT_EQ(bytes.count("\\plain"), bytes.count("\\plain\\f0\\fs18"));

    // Cancelled dialog: nothing written.
    scripted.queueFile("");
    w->Command6_Click();

    // Leaving wide asks; Yes saves first.
    QFile::remove(file);
    scripted.queueAnswer(ui::mb::Yes);
    scripted.queueFile(file);
    w->Command2_Click();
    EXPECT_EQ(scripted.lastMessage(), "退出前是否要保存备注信息？");
    EXPECT_EQ(scripted.messages.last().style & 7, ui::mb::YesNo);
    EXPECT_TRUE(QFile::exists(file));
    EXPECT_FALSE(ui::forms::isLoaded<FrmMon>());

    // Narrow: no question.
    w = open();
    scripted.clearMessages();
    w->Picture1_Click();
    w->Picture2_Click();
    EXPECT_FALSE(w->isWide());
    EXPECT_EQ(w->width(), FrmMon::kNarrowWidth);
    w->Command2_Click();
    EXPECT_TRUE(scripted.messages.isEmpty());
    EXPECT_FALSE(ui::forms::isLoaded<FrmMon>());
}

} // namespace
