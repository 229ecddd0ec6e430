// The program's bulk writes (the initialisation, the expired-data cleanup,
// the punch query's print-table rebuild) run without row triggers on the
// program's handle: each must still move the print table's stamp on, so
// that no program shows a stale dataPT, and leave the handle firing
// triggers with its secure_delete setting, however it ends.
#include "WindowBench.h"

#include "FrmInit.h"
#include "Frmque.h"
#include "Globals.h"
#include "sjkwf2.h"

#include <QComboBox>
#include <QLineEdit>

#include <functional>

namespace {

// One window's bulk write, what it shows at the end and the punches it leaves.
struct BulkRun {
    const char* name;
    std::function<void()> run;
    QString message;
    int punchesLeft;
};

class BulkDeleteTest : public WindowBench {
protected:
    void SetUp() override
    {
        WindowBench::SetUp();
        addDepartment("研发");
        addPerson("00000001", "张三", "研发");
        addPerson("00000002", "李四", "研发");
        for (const char* day : {"2026-11-28", "2026-11-29", "2026-11-30"})
            for (const char* number : {"00000001", "00000002"})
                exec("INSERT INTO data (地址, 卡号, 日期, 时间, flag) VALUES (1, ?, ?, '08:00:00', 1)",
                     {QString::fromLatin1(number), QString::fromLatin1(day)});
        exec("INSERT INTO datakq (卡号, 日期) VALUES ('00000001', '2026-11-28')");
        // Not the engine's default, so that a handle put back to a default shows.
        mdl::DaoDatabase.execute("pragma secure_delete=0");
    }

    qlonglong stamp() { return value("SELECT stamp FROM dataPTstamp").toLongLong(); }
    QString programSecureDelete()
    {
        return mdl::DaoDatabase.openRecordset("pragma secure_delete").value(0).toString();
    }
    // A punch written through the program's own handle moves the stamp.
    bool programHandleFiresTriggers()
    {
        const qlonglong before = stamp();
        mdl::DaoDatabase.execute("INSERT INTO data (地址, 卡号, 日期, 时间) VALUES (9, 'probe', '2000-01-01', '00:00:00')");
        const bool fired = stamp() != before;
        mdl::DaoDatabase.execute("DELETE FROM data WHERE 卡号='probe'");
        return fired;
    }
    QList<QVariantList> printTable() { return rows("SELECT 姓名, 卡号, 日期 FROM dataPT ORDER BY 卡号, 日期"); }
    QList<QVariantList> wholeJoin()
    {
        return rows("SELECT p.姓名, d.卡号, d.日期 FROM data d JOIN people p ON p.卡号=d.卡号 ORDER BY d.卡号, d.日期");
    }

    void initialise()
    {
        auto* w = ui::forms::load<FrmInit>();
        w->Text1->setText(mdl::kDefaultAdminPassword);
        scripted.queueAnswer(ui::mb::Yes);
        w->Command1_Click();
    }
    // Deletes the records of the table at place in Cdb, first to last date.
    std::function<void()> cleanUp(int place, const QString& first, const QString& last,
                                  const std::function<void()>& afterChoosing = {})
    {
        return [=, this] {
            auto* w = ui::forms::load<sjkwf2>();
            w->Cdb->setCurrentIndex(place);
            w->Cdb_Click();
            w->Combo1->setCurrentIndex(w->Combo1->findText(first));
            w->Combo2->setCurrentIndex(w->Combo2->findText(last));
            if (afterChoosing)
                afterChoosing();
            scripted.queueAnswer(ui::mb::Yes);
            w->Command1_Click();
        };
    }
    void search() { ui::forms::load<Frmque>()->CmdSearch_Click(); }
};

// After each write a print table built before is rebuilt by the next search,
// because the stamp moved on: once, not once per row.
TEST_F(BulkDeleteTest, EachBulkWriteMovesTheStampOnceAndThePrintTableFollows)
{
    const QList<BulkRun> cases = {
        {"cleanup of the punches of two days", cleanUp(0, "2026-11-28", "2026-11-29"), "删除成功！", 2},
        {"cleanup of attendance rows", cleanUp(1, "2026-11-28", "2026-11-28"), "删除成功！", 2},
        {"initialisation", [this] { initialise(); }, "初始化数据库成功！", 0},
    };
    search();
    ASSERT_EQ(printTable().size(), 6);
    for (const BulkRun& c : cases) {
        SCOPED_TRACE(c.name);
        const qlonglong before = stamp();
        c.run();
        EXPECT_EQ(scripted.lastMessage(), c.message);
        EXPECT_EQ(value("SELECT COUNT(*) FROM data").toInt(), c.punchesLeft);
        EXPECT_EQ(stamp(), before + 1);
        EXPECT_TRUE(programHandleFiresTriggers());
        EXPECT_EQ(programSecureDelete(), "0");

        search();
        EXPECT_EQ(printTable(), wholeJoin());
        EXPECT_TRUE(programHandleFiresTriggers()) << "after the rebuild";
        EXPECT_EQ(programSecureDelete(), "0") << "after the rebuild";
    }
}

// A write that fails is rolled back with its stamp, and the handle is put
// back all the same.
TEST_F(BulkDeleteTest, AFailedBulkWriteLeavesTheHandleAsItWas)
{
    struct Case {
        const char* name;
        std::function<void()> run;
        const char* breakSql;
        const char* mendSql;
        const char* messageTitle;   // empty: the window shows no message
    };
    const QList<Case> cases = {
        {"initialisation, the punches cannot go", [this] { initialise(); }, "ALTER TABLE data RENAME TO data_aside",
         "ALTER TABLE data_aside RENAME TO data", "出错提示"},
        {"cleanup, the punches cannot go",
         cleanUp(0, "2026-11-28", "2026-11-30", [this] { exec("ALTER TABLE data RENAME TO data_aside"); }), nullptr,
         "ALTER TABLE data_aside RENAME TO data", "信息提示"},
        {"rebuild, the print table refuses its rows", [this] { search(); },
         "ALTER TABLE dataPT RENAME COLUMN flag TO flag0", "ALTER TABLE dataPT RENAME COLUMN flag0 TO flag", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        scripted.clearMessages();
        if (c.breakSql)
            exec(c.breakSql);
        const QList<QVariantList> people = rows("SELECT * FROM people ORDER BY 卡号");
        const qlonglong before = stamp();
        c.run();
        exec(c.mendSql);
        if (*c.messageTitle) {
            ASSERT_FALSE(scripted.messages.isEmpty());
            EXPECT_EQ(scripted.messages.last().title, c.messageTitle);
            EXPECT_EQ(stamp(), before) << "rolled back";
            EXPECT_EQ(value("SELECT COUNT(*) FROM data").toInt(), 6);
            EXPECT_EQ(rows("SELECT * FROM people ORDER BY 卡号"), people);
        } else {
            EXPECT_TRUE(scripted.messages.isEmpty());
            EXPECT_NE(stamp(), before) << "the emptied print table is not current";
        }
        EXPECT_TRUE(programHandleFiresTriggers());
        EXPECT_EQ(programSecureDelete(), "0");
    }
    search();
    EXPECT_EQ(printTable(), wholeJoin());
}

// A file of an older schema, without the stamp and its triggers: every bulk
// write works, and every search rebuilds.
TEST_F(BulkDeleteTest, AFileWithoutTheStampWorks)
{
    for (const char* table : {"data", "people", "dataPT"})
        for (const char* write : {"insert", "update", "delete"})
            exec(QStringLiteral("DROP TRIGGER \"%1.%2\"").arg(QLatin1String(table), QLatin1String(write)));
    exec("DROP TABLE dataPTstamp");
    const QList<BulkRun> cases = {
        {"cleanup", cleanUp(0, "2026-11-30", "2026-11-30"), "删除成功！", 4},
        {"initialisation", [this] { initialise(); }, "初始化数据库成功！", 0},
    };
    search();
    ASSERT_EQ(printTable(), wholeJoin());
    for (const BulkRun& c : cases) {
        SCOPED_TRACE(c.name);
        c.run();
        EXPECT_EQ(scripted.lastMessage(), c.message);
        EXPECT_EQ(value("SELECT COUNT(*) FROM data").toInt(), c.punchesLeft);
        search();
        EXPECT_EQ(printTable(), wholeJoin());
        EXPECT_EQ(programSecureDelete(), "0");
    }
}

} // namespace
