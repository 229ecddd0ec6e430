// Punch-record query: conditions, sort entries, the print table, texts, export.
#include "Frmque.h"
#include "QueryWindowTestSupport.h"
#include "RealKeys.h"
#include "WindowBench.h"

#include "AppForms.h"
#include "FrmDataBase.h"
#include "FrmGatherData.h"
#include "Globals.h"
#include "ui/Form.h"

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTableView>
#include <QTest>
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
    // Rows as "a|b|..", read through a handle opened now (so a restored file is the one read).
    QStringList onFile(const QString& sql)
    {
        db::Database d = db::Database::open(folder() + "door.mdb");
        QStringList out;
        for (db::Recordset rs = d.openRecordset(sql); !rs.eof(); rs.moveNext()) {
            QStringList cells;
            for (int i = 0; i < rs.fieldCount(); ++i)
                cells << db::text(rs.value(i));
            out << cells.join('|');
        }
        return out;
    }
    QStringList printTable()
    {
        return onFile("select 姓名,部门,职务,地址,卡号,日期,时间,flag from dataPT order by 卡号,日期,时间,地址,姓名");
    }
    QStringList wholeJoin()
    {
        return onFile("select p.姓名,p.部门,p.职务,d.地址,d.卡号,d.日期,d.时间,case d.flag when 1 then '锁一进' "
                      "when 2 then '锁一出' when 3 then '锁二进' when 4 then '锁二出' end "
                      "from data d join people p on p.卡号=d.卡号 order by d.卡号,d.日期,d.时间,d.地址,p.姓名");
    }
    QVariant stamp() { return onFile("select stamp from dataPTstamp").value(0); }
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

    // A refused copy is passed over: the search stands, the old rows are
    // gone, and the table is marked not current for every program.
    exec("alter table dataPT rename column flag to flag0");
    const QVariant before = stamp();
    w->TxtCardID->setText("00000001");
    w->CmdSearch_Click();
    EXPECT_EQ(w->panelText(), "信息提示：查询到  2笔数据！");
    EXPECT_TRUE(scripted.messages.isEmpty());
    EXPECT_EQ(value("select count(*) from dataPT").toInt(), 0);
    EXPECT_NE(stamp(), before);
}

TEST_F(FrmqueTest, ASearchLetsTheLastResultGoAndAFailedOneLeavesGridAndPrintTableAgreeing)
{
    seed();
    Frmque* w = open();
    w->CmdSearch_Click();
    ASSERT_EQ(gridColumn(w, "卡号").size(), 4);
    // The grid is emptied before the new rows are read: two results of all
    // punches are never held at once.
    QList<int> shown;
    QObject::connect(w->DGshow->model(), &QAbstractItemModel::modelReset, w,
                     [&] { shown << w->DGshow->model()->rowCount(); });
    w->CmdSearch_Click();
    ASSERT_FALSE(shown.isEmpty());
    EXPECT_EQ(shown.first(), 0);
    EXPECT_EQ(shown.last(), 4);
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

    // A read that fails once the grid has let go leaves nothing to print either.
    w->CmbAddr->setEditText("");
    w->CmdSearch_Click();
    ASSERT_EQ(value("select count(*) from dataPT").toInt(), 4);
    ReadFailsPartWay failing(w);
    w->CmdSearch_Click();
    EXPECT_TRUE(w->panelText().startsWith("信息提示：3000:")) << w->panelText().toStdString();
    EXPECT_EQ(gridColumn(w, "卡号").size(), 0);
    EXPECT_EQ(value("select count(*) from dataPT").toInt(), 0);
}

// Whatever happened between two searches, the second leaves dataPT holding
// the whole join; only a failed search leaves it as it was.
TEST_F(FrmqueTest, PrintTableFollowsEveryChangeBetweenSearches)
{
    seed();
    addDoor(3);
    exec("insert into dfaka (地址,卡号,物理卡号) values (3,'00000001','0001193046')");
    exec("insert into dataPT (姓名) values ('旧')");
    QDir(folder()).mkpath("bak");
    auto* files = ui::forms::load<FrmDataBase>();
    files->openDir(folder() + "bak");
    files->Text2->setText("before.mdb");
    files->Command1_Click();
    ASSERT_EQ(scripted.lastMessage(), "数据备份完毕！");
    ui::forms::unload<FrmDataBase>();
    // Another program's copy, byte for byte, schema version and all.
    ASSERT_TRUE(QFile::copy(folder() + "door.mdb", folder() + "bak/copy.mdb"));

    enum Outcome { Join, Unchanged, NothingWritten };
    struct Case {
        const char* name;
        std::function<void(Frmque*)> between;
        Outcome outcome;
    };
    // Another program's handle: opened for the one change.
    auto elsewhere = [this](const QString& sql) {
        return [this, sql](Frmque*) { db::Database::open(folder() + "door.mdb").execute(sql); };
    };
    const QList<Case> cases = {
        {"first search", [](Frmque*) {}, Join},
        // Each copy holds another print table under the very same count of changes.
        {"the copy written back over the file by another program",
         [this](Frmque*) {
             QFile copy(folder() + "bak/copy.mdb"), live(folder() + "door.mdb");
             ASSERT_TRUE(copy.open(QIODevice::ReadOnly) && live.open(QIODevice::ReadWrite | QIODevice::Truncate));
             live.write(copy.readAll());
         },
         Join},
        {"the backup restored",
         [this](Frmque*) {
             auto* restore = ui::forms::load<FrmDataBase>();
             scripted.queueFile(folder() + "bak/before.mdb");
             scripted.queueAnswer(ui::mb::Yes);
             restore->Command3_Click();
             ASSERT_EQ(scripted.lastMessage(), "数据恢复成功，请退出系统重新进入！");
             mdl::AdoConnection.open();   // as the next start does
         },
         Join},
        {"repeated search", [](Frmque*) {}, NothingWritten},
        {"a collection by this program",
         [this](Frmque*) {
             sim::PunchRecord p;
             p.card = 0x123456;
             p.time = QDateTime(QDate(2026, 12, 7), QTime(8, 1));
             controller(3).addPunch(p);
             auto* g = ui::forms::load<FrmGatherData>();
             g->cText->setCurrentIndex(g->cText->findText("3"));
             g->ReadCommand_Click();
             ui::forms::unload<FrmGatherData>();
         },
         Join},
        {"a flag changed by another handle", elsewhere("update data set flag=4 where 卡号='00000002'"), Join},
        {"an employee moved by another handle", elsewhere("update people set 部门='销售' where 卡号='00000003'"), Join},
        {"dataPT written by another handle", elsewhere("delete from dataPT where 卡号='00000001'"), Join},
        {"a failed search",
         [&](Frmque* w) {
             elsewhere("delete from data where 卡号='00000003'")(w);
             w->CmbAddr->setEditText("x");
         },
         Unchanged},
    };
    Frmque* w = open();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QStringList before = printTable();
        const QVariant stampBefore = stamp();
        c.between(w);
        w->CmdSearch_Click();
        EXPECT_EQ(printTable(), c.outcome == Unchanged ? before : wholeJoin());
        if (c.outcome == NothingWritten) {
            EXPECT_EQ(stamp(), stampBefore) << "nothing changed, nothing rewritten";
        }
    }
}

// A database without the stamp, or missing one of its triggers, cannot tell
// a change: every search rebuilds.
TEST_F(FrmqueTest, WithoutTheStampEverySearchRebuilds)
{
    QStringList olderSchema;
    for (const char* table : {"data", "people", "dataPT"})
        for (const char* write : {"insert", "update", "delete"})
            olderSchema << QString("drop trigger if exists \"%1.%2\"").arg(table, write);
    olderSchema << "drop table dataPTstamp";
    const QList<QPair<const char*, QStringList>> cases = {
        {"one trigger missing", {"drop trigger \"data.insert\""}},
        {"older schema", olderSchema},
    };
    seed();
    for (const auto& [name, drops] : cases) {
        SCOPED_TRACE(name);
        Frmque* w = open();
        w->CmdSearch_Click();
        for (const QString& sql : drops)
            exec(sql);
        for (const char* day : {"2026-12-04", "2026-12-05"}) {
            punch(1, "00000002", day, "08:00:00", 2);
            w->CmdSearch_Click();
            EXPECT_EQ(printTable(), wholeJoin());
        }
        ui::forms::unload<Frmque>();
    }
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

// A keyboard user who tabs into the grid with its rows tabs on out of it, to
// 关闭 and round to the grid again, with the display's own Tab key.
TEST_F(FrmqueTest, TabWalksThroughTheGridOnARealDisplay)
{
    REQUIRE_REAL_DISPLAY();
    seed();
    Frmque* w = open();
    w->CmdSearch_Click();
    ASSERT_EQ(gridColumn(w, "卡号").size(), 4);
    w->show();
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w));
    w->DGshow->setFocus();
    QList<QWidget*> reached;
    for (int i = 0; i < 40 && !reached.contains(static_cast<QWidget*>(w->DGshow)); ++i) {
        ASSERT_TRUE(pressRealKey("Tab"));
        QTest::qWait(20);
        reached << QApplication::focusWidget();
    }
    EXPECT_NE(reached.value(0), w->DGshow);
    EXPECT_TRUE(reached.contains(static_cast<QWidget*>(w->CmdClose)));
    EXPECT_TRUE(reached.contains(static_cast<QWidget*>(w->DGshow))) << "the walk never came round to the grid";
}

// The main window's tools 22, 27, 28, 30 and 33 find their windows.
TEST(QueryWindowTools, EveryQueryWindowIsRegistered)
{
    for (const char* name : {"Frmque", "Frmkq", "FrmFKXXCX", "FrmTkcx", "FrmMon"})
        EXPECT_TRUE(appforms::exists(name)) << name;
}

} // namespace
