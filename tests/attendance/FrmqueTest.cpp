// Punch-record query: conditions, sort entries, the print table, texts, export.
#include "Frmque.h"
#include "QueryWindowTestSupport.h"
#include "WindowBench.h"

#include "AppForms.h"
#include "ui/Form.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QTimeEdit>

#include <functional>

namespace {

class FrmqueTest : public WindowBench {
protected:
    void punch(int address, const QString& number, const QString& date, const QString& time, const QVariant& flag = {},
               const QString& io = QStringLiteral("锁1进"))
    {
        exec("insert into data (地址,卡号,日期,时间,flag,flagIO) values (?,?,?,?,?,?)",
             {address, number, date, time, flag, io});
    }
    // Two departments, three people, one punch of an unknown card.
    void seed()
    {
        addDepartment("研发");
        addDepartment("销售");
        addPerson("00000001", "张三", "研发");
        addPerson("00000002", "O'Neil", "销售");
        addPerson("00000003", "李_四", "研发");
        punch(1, "00000001", "2026-12-01", "08:01:00", 1);
        punch(5, "00000002", "2026-12-02", "07:55:00", 3);
        punch(1, "00000003", "2026-12-02", "18:30:00");
        punch(5, "00000001", "2026-12-03", "12:00:00", 9);
        punch(5, "00000099", "2026-12-03", "09:00:00");
    }
    Frmque* open()
    {
        auto* w = ui::forms::load<Frmque>();
        w->t1s->setDate(QDate(2026, 12, 1));
        w->t1e->setDate(QDate(2026, 12, 8));
        return w;
    }
};

TEST_F(FrmqueTest, ConditionsNarrowTheJoin)
{
    seed();
    struct Case {
        const char* name;
        std::function<void(Frmque*)> set;
        QStringList numbers;   // in date order
    };
    const QList<Case> cases = {
        {"nothing: every punch with an employee", [](Frmque*) {},
         {"00000001", "00000002", "00000003", "00000001"}},
        {"one day", [](Frmque* w) { w->ChkDate->setChecked(true); w->t1s->setDate(QDate(2026, 12, 2)); w->t1e->setDate(QDate(2026, 12, 2)); },
         {"00000002", "00000003"}},
        {"range keeps both ends", [](Frmque* w) { w->ChkDate->setChecked(true); w->t1s->setDate(QDate(2026, 12, 1)); w->t1e->setDate(QDate(2026, 12, 2)); },
         {"00000001", "00000002", "00000003"}},
        {"time range", [](Frmque* w) { w->ChkTime->setChecked(true); w->t2s->setTime(QTime(8, 0)); w->t2e->setTime(QTime(12, 0)); },
         {"00000001", "00000001"}},
        {"exact time", [](Frmque* w) { w->ChkTime->setChecked(true); w->t2s->setTime(QTime(7, 55)); w->t2e->setTime(QTime(7, 55)); },
         {"00000002"}},
        {"address 05 is 5", [](Frmque* w) { w->CmbAddr->setEditText("05"); }, {"00000002", "00000001"}},
        {"department", [](Frmque* w) { w->TxtDepart->setEditText("研发"); }, {"00000001", "00000003", "00000001"}},
        {"department of blanks matches none", [](Frmque* w) { w->TxtDepart->setEditText("   "); }, {}},
        {"number trimmed", [](Frmque* w) { w->TxtCardID->setText(" 00000003 "); }, {"00000003"}},
        {"name with a quote", [](Frmque* w) { w->TxtName->setText("O'Ne"); }, {"00000002"}},
        {"name part", [](Frmque* w) { w->TxtName->setText("三"); }, {"00000001", "00000001"}},
        {"underscore is any one character", [](Frmque* w) { w->TxtName->setText("张_"); }, {"00000001", "00000001"}},
        {"percent is any text", [](Frmque* w) { w->TxtName->setText("O%l"); }, {"00000002"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Frmque* w = open();
        w->Corder->setCurrentIndex(0);
        c.set(w);
        w->CmdSearch_Click();
        EXPECT_EQ(gridColumn(w, "卡号"), c.numbers);
        EXPECT_EQ(w->panelText(), QString("信息提示：查询到  %1笔数据！").arg(c.numbers.size()));
        ui::forms::unload<Frmque>();
    }
}

TEST_F(FrmqueTest, SortEntriesOrderTheGrid)
{
    seed();
    punch(1, "00000002", "2026-12-01", "09:00:00");
    struct Case {
        int entry;
        const char* caption;
        QStringList expected;
    };
    const QList<Case> cases = {
        {0, "时间", {"08:01:00", "09:00:00", "07:55:00", "18:30:00", "12:00:00"}},
        {1, "时间", {"07:55:00", "08:01:00", "09:00:00", "12:00:00", "18:30:00"}},
        {2, "地址", {"1", "1", "1", "5", "5"}},
        {3, "卡号", {"00000001", "00000001", "00000002", "00000002", "00000003"}},
        {4, "部门", {"研发", "研发", "研发", "销售", "销售"}},
        {5, "姓名", {"O'Neil", "O'Neil", "张三", "张三", "李_四"}},
    };
    Frmque* w = open();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.entry);
        w->Corder->setCurrentIndex(c.entry);
        w->CmdSearch_Click();
        EXPECT_EQ(gridColumn(w, c.caption), c.expected);
    }
    // Within a department the date and time decide.
    w->Corder->setCurrentIndex(4);
    w->CmdSearch_Click();
    EXPECT_EQ(gridColumn(w, "时间"), QStringList({"08:01:00", "18:30:00", "12:00:00", "09:00:00", "07:55:00"}));
    // A typed text that is no entry sorts nothing, and is no error.
    w->Corder->setEditText("1 按日");
    w->CmdSearch_Click();
    EXPECT_EQ(gridColumn(w, "卡号").size(), 5);
}

TEST_F(FrmqueTest, PrintTableHoldsTheWholeJoinWithDirectionWords)
{
    seed();
    exec("insert into dataPT (姓名) values ('旧')");
    Frmque* w = open();
    w->TxtCardID->setText("00000002");
    w->CmdSearch_Click();
    EXPECT_EQ(gridColumn(w, "卡号").size(), 1);
    const auto pt = rows("select 姓名,部门,职务,地址,卡号,日期,时间,flag from dataPT order by 日期,时间");
    ASSERT_EQ(pt.size(), 4) << "every joined punch, not only the result; no orphan, no old row";
    EXPECT_EQ(pt[0][0].toString(), "张三");
    EXPECT_EQ(pt[0][1].toString(), "研发");
    EXPECT_EQ(pt[0][3].toInt(), 1);
    EXPECT_EQ(pt[0][5].toString(), "2026-12-01");
    EXPECT_EQ(pt[0][6].toString(), "08:01:00");
    EXPECT_EQ(pt[0][7].toString(), "锁一进");
    EXPECT_EQ(pt[1][7].toString(), "锁二进");
    EXPECT_TRUE(pt[2][7].isNull()) << "an empty flag stays empty";
    EXPECT_TRUE(pt[3][7].isNull()) << "a flag out of range stays empty";

    // A refused copy is passed over: the search stands, the old rows are gone.
    exec("create trigger refuse before insert on dataPT begin select raise(abort, 'refused'); end");
    w->TxtCardID->setText("00000001");
    w->CmdSearch_Click();
    EXPECT_EQ(w->panelText(), "信息提示：查询到  2笔数据！");
    EXPECT_TRUE(scripted.messages.isEmpty());
    EXPECT_EQ(value("select count(*) from dataPT").toInt(), 0);
}

TEST_F(FrmqueTest, FailedSearchKeepsGridAndPrintTable)
{
    seed();
    Frmque* w = open();
    w->CmdSearch_Click();
    ASSERT_EQ(gridColumn(w, "卡号").size(), 4);
    exec("delete from dataPT");
    for (const char* address : {"1 or 1=1", "x", "99999", "0.6", "-1"}) {
        SCOPED_TRACE(address);
        w->CmbAddr->setEditText(address);
        w->CmdSearch_Click();
        EXPECT_TRUE(w->panelText().startsWith("信息提示：")) << w->panelText().toStdString();
        EXPECT_NE(w->panelText(), "信息提示：查询到  4笔数据！");
        EXPECT_EQ(gridColumn(w, "卡号").size(), 4);
        EXPECT_EQ(value("select count(*) from dataPT").toInt(), 0);
    }
    w->CmbAddr->setEditText("1 or 1=1");
    w->CmdSearch_Click();
    EXPECT_EQ(w->panelText(), "信息提示：13:类型不匹配");
}

TEST_F(FrmqueTest, LoadListsAndClear)
{
    seed();
    {
        Frmque* w = open();
        EXPECT_EQ(w->CmbAddr->count(), 2) << "addresses of data, no empty entry";
        EXPECT_EQ(w->CmbAddr->currentText(), "");
        EXPECT_EQ(w->TxtDepart->itemText(0), "");
        EXPECT_EQ(w->TxtDepart->count(), 3);
        EXPECT_EQ(w->Corder->count(), 6);
        ui::forms::unload<Frmque>();
    }
    addDoor(12);
    addDoor(3);
    Frmque* w = ui::forms::load<Frmque>();
    QStringList items;
    for (int i = 0; i < w->CmbAddr->count(); ++i)
        items << w->CmbAddr->itemText(i);
    EXPECT_EQ(items, QStringList({"", "3", "12"}));
    EXPECT_EQ(w->t1s->date(), QDate(2026, 12, 1));
    EXPECT_EQ(w->t1e->date(), QDate(2026, 12, 8));
    EXPECT_EQ(w->t2s->time(), QTime(8, 0));
    EXPECT_EQ(w->t2e->time(), QTime(18, 0));

    w->CmdSearch_Click();
    w->ChkDate->setChecked(true);
    w->TxtName->setText("张");
    w->Corder->setCurrentIndex(2);
    w->CmdClear_Click();
    EXPECT_EQ(w->panelText(), "信息提示： 清空查询条件成功!");
    EXPECT_FALSE(w->ChkDate->isChecked());
    EXPECT_EQ(w->TxtName->text(), "");
    EXPECT_EQ(w->Corder->currentText(), "");
    EXPECT_EQ(w->t1s->date(), QDate(2026, 12, 1));
    EXPECT_EQ(gridColumn(w, "卡号").size(), 4) << "the grid keeps the last result";
}

TEST_F(FrmqueTest, ExportKeepsNumbersAsTextAndAddressesAsNumbers)
{
    Frmque* w = open();
    w->CmdOutExcel_Click();
    EXPECT_EQ(w->panelText(), "没有数据可导出");
    seed();
    w->Corder->setCurrentIndex(0);
    w->CmdSearch_Click();
    w->CmdOutExcel_Click();
    EXPECT_EQ(w->panelText(), "输出成功！");
    auto cells = takeWorkbook(scripted.opened);
    EXPECT_EQ(cells["A1"].text, "姓名");
    EXPECT_EQ(cells["H1"].text, "进出标志");
    EXPECT_EQ(cells["I1"].text, "采集标志");
    EXPECT_EQ(cells["D2"].type, "s");
    EXPECT_EQ(cells["D2"].text, "00000001");
    EXPECT_EQ(cells["G3"].type, "");
    EXPECT_EQ(cells["G3"].text, "5");
    EXPECT_EQ(cells["H2"].text, "锁1进");
    EXPECT_EQ(cells["I2"].text, "1");
    EXPECT_FALSE(cells.contains("A6"));
    w->CmbAddr->setEditText("77");
    w->CmdSearch_Click();
    EXPECT_EQ(w->panelText(), "信息提示：查询到  0笔数据！");
    w->CmdOutExcel_Click();
    EXPECT_EQ(w->panelText(), "没有数据可导出");
}

// The main window's tools 22, 27, 28, 30 and 33 find their windows.
TEST(QueryWindowTools, EveryQueryWindowIsRegistered)
{
    for (const char* name : {"Frmque", "Frmkq", "FrmFKXXCX", "FrmTkcx", "FrmMon"})
        EXPECT_TRUE(appforms::exists(name)) << name;
}

} // namespace
