// Attendance-result query: conditions, sorts, the copy into datakqPT.
#include "Frmkq.h"
#include "QueryWindowTestSupport.h"
#include "WindowBench.h"

#include "ui/Form.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QLineEdit>

#include <functional>

namespace {

class FrmkqTest : public WindowBench {
protected:
    void day(const QString& number, const QString& name, const QString& dept, const QString& date, int late = 0)
    {
        exec("insert into datakq (卡号,姓名,部门,职务,日期,时间1,时间2,时间3,时间4,旷工,上班,迟到,早退) "
             "values (?,?,?,'职员',?,'08:10:00','12:00:00','13:30:00','17:30:00',0,7.5,?,0)",
             {number, name, dept, date, late});
    }
    void seed()
    {
        addDepartment("研发");
        addDepartment("销售");
        day("00000002", "O'Neil", "销售", "2026-12-01");
        day("00000001", "张三", "研发", "2026-12-02", 10);
        day("00000001", "张三", "研发", "2026-12-01");
        day("00000003", "李四", "研发", "2026-12-03");
    }
    Frmkq* open()
    {
        auto* w = ui::forms::load<Frmkq>();
        w->t1s->setDate(QDate(2026, 12, 1));
        w->t1e->setDate(QDate(2026, 12, 2));
        return w;
    }
    QStringList printTable()
    {
        QStringList out;
        for (const auto& r : rows("select 卡号||' '||日期 from datakqPT order by rowid"))
            out << r[0].toString();
        return out;
    }
};

TEST_F(FrmkqTest, ConditionsAndSortsAndThePrintTableFollowTheResult)
{
    seed();
    struct Case {
        const char* name;
        std::function<void(Frmkq*)> set;
        QStringList expected;   // number and date, in grid order
    };
    const QList<Case> cases = {
        {"nothing, by date", [](Frmkq* w) { w->Corder->setCurrentIndex(0); },
         {"00000001 2026-12-01", "00000002 2026-12-01", "00000001 2026-12-02", "00000003 2026-12-03"}},
        {"range keeps both ends", [](Frmkq* w) { w->ChkDate->setChecked(true); w->Corder->setCurrentIndex(1); },
         {"00000001 2026-12-01", "00000001 2026-12-02", "00000002 2026-12-01"}},
        {"one day", [](Frmkq* w) { w->ChkDate->setChecked(true); w->t1e->setDate(QDate(2026, 12, 1)); w->Corder->setCurrentIndex(1); },
         {"00000001 2026-12-01", "00000002 2026-12-01"}},
        {"number", [](Frmkq* w) { w->TxtCardID->setText(" 00000001 "); w->Corder->setCurrentIndex(0); },
         {"00000001 2026-12-01", "00000001 2026-12-02"}},
        {"whole name with a quote, trimmed", [](Frmkq* w) { w->TxtName->setText(" O'Neil "); },
         {"00000002 2026-12-01"}},
        {"part of a name finds none", [](Frmkq* w) { w->TxtName->setText("O'"); }, {}},
        {"department, by department", [](Frmkq* w) { w->TxtDepart->setEditText("研发"); w->Corder->setCurrentIndex(2); },
         {"00000001 2026-12-01", "00000001 2026-12-02", "00000003 2026-12-03"}},
        {"by department then date", [](Frmkq* w) { w->Corder->setCurrentIndex(2); },
         {"00000001 2026-12-01", "00000001 2026-12-02", "00000003 2026-12-03", "00000002 2026-12-01"}},
        {"by name then date", [](Frmkq* w) { w->Corder->setCurrentIndex(3); },
         {"00000002 2026-12-01", "00000001 2026-12-01", "00000001 2026-12-02", "00000003 2026-12-03"}},
        {"injected text finds nothing", [](Frmkq* w) { w->TxtCardID->setText("' or '1'='1"); }, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Frmkq* w = open();
        c.set(w);
        w->CmdSearch_Click();
        QStringList shown;
        const QStringList numbers = gridColumn(w, "卡号"), dates = gridColumn(w, "日期");
        for (int i = 0; i < numbers.size(); ++i)
            shown << numbers[i] + " " + dates[i];
        if (w->Corder->currentIndex() >= 0 || c.expected.size() <= 1)
            EXPECT_EQ(shown, c.expected);
        else
            EXPECT_EQ(QSet<QString>(shown.begin(), shown.end()), QSet<QString>(c.expected.begin(), c.expected.end()));
        EXPECT_EQ(printTable(), shown) << "datakqPT holds exactly the result, in its order";
        EXPECT_EQ(w->panelText(), QString("信息提示：查询到  %1笔数据！").arg(c.expected.size()));
        EXPECT_TRUE(scripted.messages.isEmpty());
        ui::forms::unload<Frmkq>();
    }
}

TEST_F(FrmkqTest, PrintTableCopiesEveryColumn)
{
    seed();
    Frmkq* w = open();
    w->TxtCardID->setText("00000001");
    w->ChkDate->setChecked(true);
    w->t1s->setDate(QDate(2026, 12, 2));
    w->CmdSearch_Click();
    EXPECT_EQ(rows("select * from datakqPT"), rows("select * from datakq where 卡号='00000001' and 日期='2026-12-02'"));
    EXPECT_EQ(gridCaptions(w), QStringList({"卡号", "姓名", "部门", "职务", "日期", "时间1", "时间2", "时间3", "时间4",
                                            "出勤时数", "迟到分钟", "早退分钟", "旷工分钟"}));
    EXPECT_EQ(gridColumn(w, "迟到分钟"), QStringList({"10"}));
    EXPECT_EQ(gridColumn(w, "出勤时数"), QStringList({"7.5"}));
}

TEST_F(FrmkqTest, FailedSearchAndFailedCopy)
{
    seed();
    Frmkq* w = open();
    w->CmdSearch_Click();
    ASSERT_EQ(printTable().size(), 4);
    // A query the database refuses leaves grid, status and print table.
    exec("alter table datakq rename to datakq_old");
    w->TxtCardID->setText("00000003");
    w->CmdSearch_Click();
    ASSERT_EQ(scripted.messages.size(), 1);
    EXPECT_EQ(scripted.messages[0].title, "信息提示");
    EXPECT_EQ(scripted.messages[0].style & 7, ui::mb::OKOnly);
    EXPECT_EQ(printTable().size(), 4);
    EXPECT_EQ(gridColumn(w, "卡号").size(), 4);
    EXPECT_EQ(w->panelText(), "信息提示：查询到  4笔数据！");
    exec("alter table datakq_old rename to datakq");
    // A failed copy comes after the emptying: the print table is left empty,
    // never holding another search's rows.
    exec("create trigger refuse before insert on datakqPT begin select raise(abort, 'refused'); end");
    scripted.clearMessages();
    w->CmdSearch_Click();
    ASSERT_EQ(scripted.messages.size(), 1);
    EXPECT_TRUE(scripted.messages[0].text.startsWith("3000:")) << scripted.lastMessage().toStdString();
    EXPECT_EQ(gridColumn(w, "卡号"), QStringList{"00000003"});
    EXPECT_EQ(w->panelText(), "信息提示：查询到  1笔数据！");
    EXPECT_EQ(printTable().size(), 0);

    // A read that fails once the grid has let go: nothing left to print either.
    exec("drop trigger refuse");
    w->TxtCardID->clear();
    w->CmdSearch_Click();
    ASSERT_EQ(printTable().size(), 4);
    scripted.clearMessages();
    ReadFailsPartWay failing(w);
    w->CmdSearch_Click();
    ASSERT_EQ(scripted.messages.size(), 1);
    EXPECT_TRUE(scripted.messages[0].text.startsWith("3000:")) << scripted.lastMessage().toStdString();
    EXPECT_EQ(gridColumn(w, "卡号").size(), 0);
    EXPECT_EQ(printTable().size(), 0);
}

TEST_F(FrmkqTest, ClearKeepsDatesAndGridAndExportsTheLastResult)
{
    seed();
    Frmkq* w = open();
    EXPECT_EQ(w->Frame1->title(), "打卡数据查询");
    w->CmdOutExecl_Click();
    EXPECT_EQ(w->panelText(), "没有数据可导出");
    w->Corder->setCurrentIndex(1);
    w->CmdSearch_Click();
    w->TxtName->setText("x");
    w->ChkDate->setChecked(true);
    w->CmdClear_Click();
    EXPECT_EQ(w->TxtName->text(), "");
    EXPECT_EQ(w->Corder->currentText(), "");
    EXPECT_FALSE(w->ChkDate->isChecked());
    EXPECT_EQ(w->t1e->date(), QDate(2026, 12, 2));
    EXPECT_EQ(w->panelText(), "信息提示：查询到  4笔数据！") << "clearing leaves the status";
    w->CmdOutExecl_Click();
    EXPECT_EQ(w->panelText(), "输出成功！");
    auto cells = takeWorkbook(scripted.opened);
    EXPECT_EQ(cells["J1"].text, "出勤时数");
    EXPECT_EQ(cells["A2"].type, "s");
    EXPECT_EQ(cells["A2"].text, "00000001");
    EXPECT_EQ(cells["J2"].type, "");
    EXPECT_EQ(cells["J2"].text, "7.5");
    EXPECT_TRUE(cells.contains("A5"));
    EXPECT_FALSE(cells.contains("A6"));
}

} // namespace
