// Excel export, read back from the written .xlsx.
#include "CoreTestSupport.h"
#include "XlsxSheet.h"

#include "Globals.h"
#include "Module1.h"
#include "db/RecordsetModel.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QTableView>

#include <sys/stat.h>

#include <memory>

namespace {

class ExportTest : public ProgramFolderTest {
protected:
    std::unique_ptr<QTableView> view;
    db::RecordsetModel model;

    void SetUp() override
    {
        ProgramFolderTest::SetUp();
        QDir().mkpath(documents());
        openShared();
        view = std::make_unique<QTableView>();
        view->setModel(&model);
    }
    void TearDown() override
    {
        view.reset();
        ProgramFolderTest::TearDown();
    }
    QString documents() const { return home() + "/Documents"; }
    void exec(const QString& sql, const QVariantList& p = {}) { mdl::AdoConnection.execute(sql, p); }
    QStringList workbooks() const
    {
        return QDir(documents()).entryList({"*.xlsx"}) + QDir(folder() + "Export").entryList({"*.xlsx"});
    }
};

TEST_F(ExportTest, NothingToExportCreatesNoWorkbook)
{
    EXPECT_EQ(Module1::ExportToExcel(view.get(), "员工"), "没有数据可导出");
    model.setRecordset(mdl::AdoConnection.execute("select * from people where 1<>1"));
    EXPECT_EQ(Module1::ExportToExcel(view.get(), "员工"), "没有数据可导出");
    QTableView unbound;
    EXPECT_EQ(Module1::ExportToExcel(&unbound, "员工"), "没有数据可导出");
    EXPECT_TRUE(workbooks().isEmpty());
    EXPECT_TRUE(scripted.opened.isEmpty());
}

TEST_F(ExportTest, TextStaysTextAndNumbersAreNumbers)
{
    exec("insert into datakq (卡号, 日期, 姓名, 上班, 旷工) values (?,?,?,?,?)", {"00001234", "2026-01-05", "张三", 7.5, 0});
    exec("insert into datakq (卡号, 日期, 姓名, 上班, 旷工) values (?,?,?,?,?)", {"00000042", "2026-01-06", QVariant(), 8.0, 1});
    db::Recordset rs = mdl::AdoConnection.execute("select 卡号, 姓名, 日期, 上班, 旷工 from datakq order by 日期");
    model.setRecordset(rs);
    model.setCaption(0, " 员工号 ");
    rs.moveLast();

    ASSERT_EQ(Module1::ExportToExcel(view.get(), "考勤数据"), "");
    ASSERT_EQ(scripted.opened.size(), 1);
    const QString file = scripted.opened[0];
    EXPECT_TRUE(QFileInfo(file).fileName().startsWith("考勤数据"));
    auto cells = readXlsxSheet(file);
    EXPECT_EQ(cells["A1"].text, "员工号");
    EXPECT_EQ(cells["D1"].text, "上班");
    EXPECT_EQ(cells["A2"].type, "s");
    EXPECT_EQ(cells["A2"].text, "00001234");
    EXPECT_EQ(cells["C2"].text, "2026-01-05");
    EXPECT_EQ(cells["D2"].type, "");
    EXPECT_DOUBLE_EQ(cells["D2"].text.toDouble(), 7.5);
    EXPECT_EQ(cells["E3"].type, "");
    EXPECT_EQ(cells["E3"].text, "1");
    EXPECT_FALSE(cells.contains("B3")) << "Null is an empty cell";
    for (const XlsxCell& c : cells)
        EXPECT_FALSE(c.text.startsWith('\'')) << c.text.toStdString();
    // Column widths were set for the written columns.
    EXPECT_TRUE(xlsxPart(file, "xl/worksheets/sheet1.xml").contains("<cols>"));
    EXPECT_EQ(rs.absolutePosition(), 0) << "the grid's recordset is back on its first record";
}

TEST_F(ExportTest, TypeAndValueComeFromTheSameField)
{
    exec("insert into doors (地址, namedr1) values (?,?)", {7, "0012"});
    model.setRecordset(mdl::AdoConnection.execute("select 地址, namedr1 from doors"));
    // Columns in another order than the fields.
    model.setColumns({{"门名", "namedr1"}, {"地址", "地址"}});
    ASSERT_EQ(Module1::ExportToExcel(view.get(), "门"), "");
    auto cells = readXlsxSheet(scripted.opened.value(0));
    EXPECT_EQ(cells["A2"].type, "s");
    EXPECT_EQ(cells["A2"].text, "0012");
    EXPECT_EQ(cells["B2"].type, "");
    EXPECT_EQ(cells["B2"].text, "7");
}

TEST_F(ExportTest, TextInANumberColumnStaysText)
{
    exec("insert into datakq (卡号, 日期, 上班) values (?,?,?)", {"1", "2026-01-05", "休息"});
    exec("insert into datakq (卡号, 日期, 上班) values (?,?,?)", {"2", "2026-01-06", 8});
    model.setRecordset(mdl::AdoConnection.execute("select 上班 from datakq order by 日期"));
    ASSERT_EQ(Module1::ExportToExcel(view.get(), "考勤"), "");
    auto cells = readXlsxSheet(scripted.opened.value(0));
    EXPECT_EQ(cells["A2"].type, "s");
    EXPECT_EQ(cells["A2"].text, "休息");
    EXPECT_EQ(cells["A3"].type, "");
    EXPECT_EQ(cells["A3"].text, "8");
}

TEST_F(ExportTest, MoreRecordsThanASheetHoldsAreRefusedNotCut)
{
    model.setRecordset(mdl::AdoConnection.execute(
        "with recursive n(x) as (select 1 union all select x + 1 from n limit 1048576) select x from n"));
    const QString r = Module1::ExportToExcel(view.get(), "打卡记录");
    EXPECT_TRUE(r.startsWith("ExportToExcel:9,")) << r.toStdString();
    EXPECT_TRUE(r.contains("1048576")) << r.toStdString();
    EXPECT_TRUE(workbooks().isEmpty());
    EXPECT_TRUE(scripted.opened.isEmpty());
}

TEST_F(ExportTest, FailuresComeBackAsText)
{
    exec("insert into doors (地址) values (?)", {1});
    model.setRecordset(mdl::AdoConnection.execute("select 地址 from doors"));
    model.setColumns({{"x", "nosuchfield"}});
    QString r = Module1::ExportToExcel(view.get(), "门");
    EXPECT_TRUE(r.startsWith("ExportToExcel:3265,")) << r.toStdString();
    EXPECT_TRUE(workbooks().isEmpty()) << "a failed export leaves no file";
    EXPECT_TRUE(view->isVisible());
}

TEST_F(ExportTest, WorkbookIsKeptWhereTheUserFindsIt)
{
    exec("insert into doors (地址, namedr1) values (?,?)", {7, "前门"});
    model.setRecordset(mdl::AdoConnection.execute("select 地址, namedr1 from doors"));
    const mode_t mask = ::umask(0);
    ::umask(mask);
    const struct {
        bool documents;    // the user has a documents folder
        bool desktopOpens; // and a program for workbooks
        const char* file;  // relative to the test's directory
    } cases[] = {
        {true, true, "home/Documents/打卡数据查询_20260105_090000.xlsx"},
        {true, true, "home/Documents/打卡数据查询_20260105_090000_2.xlsx"},   // same second
        {false, false, "Export/打卡数据查询_20260105_090000.xlsx"},
    };
    for (const auto& c : cases) {
        if (!c.documents)
            QDir(documents()).removeRecursively();
        scripted.desktopOpens = c.desktopOpens;
        scripted.clearMessages();
        scripted.opened.clear();
        ASSERT_EQ(Module1::ExportToExcel(view.get(), " 打卡数据查询 "), "") << c.file;
        const QString file = folder() + QString::fromUtf8(c.file);
        EXPECT_EQ(scripted.opened, QStringList{file});
        struct stat st{};
        ASSERT_EQ(::stat(QFile::encodeName(file).constData(), &st), 0) << c.file;
        EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask) << "the user's normal rights";
        if (c.desktopOpens) {
            EXPECT_TRUE(scripted.messages.isEmpty());
        } else {
            ASSERT_EQ(scripted.messages.size(), 1);
            EXPECT_EQ(scripted.messages[0].text,
                      "工作簿已保存为：\n" + file + "\n\n本机没有能打开工作簿的电子表格程序。");
            EXPECT_EQ(scripted.messages[0].title, "提示");
        }
    }
}

} // namespace
