// Returned-card query: the date range with its last day, the sort mapping,
// the copy into dtuikapt.
#include "FrmTkcx.h"
#include "QueryWindowTestSupport.h"
#include "WindowBench.h"

#include "ui/Form.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>

#include <functional>

namespace {

class FrmTkcxTest : public WindowBench {
protected:
    void returned(const QVariant& address, const QString& physical, const QVariant& name, const QString& dept,
                  const QString& when, const QVariant& reason = {})
    {
        exec("insert into dtuika (地址,卡号,物理卡号,姓名,部门,退卡日期,退卡原因) values (?,?,?,?,?,?,?)",
             {address, "0000" + physical.right(4), physical, name, dept, when, reason});
    }
    void seed()
    {
        returned(3, "0000000003", "O'Neil", "销售", "2026-12-08 17:45:00");
        returned(1, "0000000001", "张三", "研发", "2026-12-01 00:00:00");
        returned(2, "0000000002", QVariant(), "研发", "2026-11-30 23:59:59");
        returned(1, "0000000004", "李四", "行政", "2026-12-09 00:00:01");
    }
    FrmTkcx* open()
    {
        auto* w = ui::forms::load<FrmTkcx>();
        w->Combo1->setCurrentIndex(1);
        return w;
    }
};

TEST_F(FrmTkcxTest, ConditionsIncludingTheWholeLastDay)
{
    seed();
    struct Case {
        const char* name;
        std::function<void(FrmTkcx*)> set;
        QStringList physical;   // by address, as the grid shows them
    };
    const QList<Case> cases = {
        {"nothing", [](FrmTkcx*) {}, {"0000000001", "0000000004", "0000000002", "0000000003"}},
        {"this month so far, the last day whole", [](FrmTkcx* w) { w->ChkDate->setChecked(true); },
         {"0000000001", "0000000003"}},
        {"one day", [](FrmTkcx* w) { w->ChkDate->setChecked(true); w->DTPBegin->setDate(QDate(2026, 12, 8)); },
         {"0000000003"}},
        {"one day at midnight", [](FrmTkcx* w) { w->ChkDate->setChecked(true); w->DTPEnd->setDate(QDate(2026, 12, 1)); },
         {"0000000001"}},
        {"address trimmed", [](FrmTkcx* w) { w->CmbAddr->setEditText(" 1 "); }, {"0000000001", "0000000004"}},
        {"address 02 is 2", [](FrmTkcx* w) { w->CmbAddr->setEditText("02"); }, {"0000000002"}},
        {"address 2.4 is compared, not rounded", [](FrmTkcx* w) { w->CmbAddr->setEditText("2.4"); }, {}},
        {"whole physical number only", [](FrmTkcx* w) { w->TxtCardID->setText("0000001"); }, {}},
        {"physical number", [](FrmTkcx* w) { w->TxtCardID->setText(" 0000000002 "); }, {"0000000002"}},
        {"department", [](FrmTkcx* w) { w->CmbDepart->setEditText("研发"); }, {"0000000001", "0000000002"}},
        {"quote in a value is a value", [](FrmTkcx* w) { w->CmbDepart->setEditText("' or ''='"); }, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FrmTkcx* w = open();
        ASSERT_EQ(w->DTPBegin->date(), QDate(2026, 12, 1));
        c.set(w);
        w->CmdSearch_Click();
        EXPECT_EQ(gridColumn(w, "物理卡号"), c.physical);
        EXPECT_EQ(value("select count(*) from dtuikapt").toInt(), c.physical.size());
        EXPECT_EQ(w->panelText(), QString("信息提示：查询到  %1笔数据！").arg(c.physical.size()));
        EXPECT_TRUE(scripted.messages.isEmpty());
        ui::forms::unload<FrmTkcx>();
    }
}

TEST_F(FrmTkcxTest, EachSortEntryOrdersByItsOwnColumn)
{
    seed();
    struct Case {
        int entry;
        const char* caption;
        QStringList expected;
    };
    const QList<Case> cases = {
        {0, "部门", {"研发", "研发", "行政", "销售"}},
        {1, "地址", {"1", "1", "2", "3"}},
        {2, "退卡日期", {"2026-11-30 23:59:59", "2026-12-01 00:00:00", "2026-12-08 17:45:00", "2026-12-09 00:00:01"}},
    };
    FrmTkcx* w = open();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.entry);
        w->Combo1->setCurrentIndex(c.entry);
        w->CmdSearch_Click();
        EXPECT_EQ(gridColumn(w, c.caption), c.expected);
    }
}

TEST_F(FrmTkcxTest, EveryMatchingRowIsCopied)
{
    seed();
    returned(QVariant(), "0000000005", "无地址", "研发", "2026-12-02 08:00:00");
    FrmTkcx* w = open();
    w->CmdSearch_Click();
    EXPECT_EQ(w->panelText(), "信息提示：查询到  5笔数据！");
    EXPECT_EQ(value("select count(*) from dtuikapt").toInt(), value("select count(*) from dtuika").toInt());
    const auto r = rows("select 地址,卡号,物理卡号,姓名,部门,退卡日期,退卡原因 from dtuikapt where 物理卡号='0000000003'");
    ASSERT_EQ(r.size(), 1);
    EXPECT_EQ(r[0], QVariantList({3, "00000003", "0000000003", "O'Neil", "销售", "2026-12-08 17:45:00", " "}));
    EXPECT_EQ(value("select 姓名 from dtuikapt where 物理卡号='0000000002'").toString(), "");
    exec("update dtuika set 退卡原因='丢失'");
    w->CmdSearch_Click();
    EXPECT_EQ(value("select 退卡原因 from dtuikapt where 物理卡号='0000000001'").toString(), "丢失 ");
}

TEST_F(FrmTkcxTest, FailedSearchShowsAMessageAndTheGridAgreesWithThePrintTable)
{
    seed();
    FrmTkcx* w = open();
    w->CmdSearch_Click();
    ASSERT_EQ(value("select count(*) from dtuikapt").toInt(), 4);
    for (const char* address : {"1 or 1=1", "  "}) {
        SCOPED_TRACE(address);
        scripted.clearMessages();
        w->CmbAddr->setEditText(address);
        w->CmdSearch_Click();
        ASSERT_EQ(scripted.messages.size(), 1);
        EXPECT_EQ(scripted.messages[0].text, "13:类型不匹配");
        EXPECT_EQ(scripted.messages[0].title, "信息提示");
        EXPECT_EQ(value("select count(*) from dtuikapt").toInt(), 0) << "emptied before the filter ran";
        EXPECT_EQ(gridColumn(w, "地址").size(), 4);
        EXPECT_EQ(w->panelText(), "信息提示：查询到  4笔数据！");
    }

    // A read that fails once the grid has let go: nothing left to print either.
    w->CmbAddr->setEditText("");
    scripted.clearMessages();
    ReadFailsPartWay failing(w);
    w->CmdSearch_Click();
    ASSERT_EQ(scripted.messages.size(), 1);
    EXPECT_TRUE(scripted.messages[0].text.startsWith("3000:")) << scripted.lastMessage().toStdString();
    EXPECT_EQ(gridColumn(w, "地址").size(), 0);
    EXPECT_EQ(value("select count(*) from dtuikapt").toInt(), 0);
}

TEST_F(FrmTkcxTest, ClearAndExport)
{
    seed();
    addDoor(2);
    addDepartment("研发");
    FrmTkcx* w = open();
    EXPECT_EQ(w->CmbAddr->count(), 2);
    EXPECT_EQ(w->CmbDepart->count(), 2);
    EXPECT_EQ(w->Combo1->count(), 3);
    w->CmdOutExecl_Click();
    EXPECT_EQ(w->panelText(), "没有数据可导出");
    w->CmdSearch_Click();
    w->ChkDate->setChecked(true);
    w->TxtCardID->setText("1");
    w->CmdClear_Click();
    EXPECT_EQ(w->panelText(), "清空查询条件：成功！");
    EXPECT_EQ(w->TxtCardID->text(), "");
    EXPECT_EQ(w->Combo1->currentText(), "");
    EXPECT_FALSE(w->ChkDate->isChecked());
    EXPECT_EQ(gridColumn(w, "地址").size(), 4);
    w->CmdOutExecl_Click();
    EXPECT_EQ(w->panelText(), "输出成功！");
    auto cells = takeWorkbook(scripted.opened);
    EXPECT_EQ(gridCaptions(w), QStringList({"地址", "卡号", "物理卡号", "姓名", "部门", "退卡日期"}));
    EXPECT_EQ(cells["A2"].text, "1");
    EXPECT_EQ(cells["A2"].type, "");
    EXPECT_EQ(cells["C2"].text, "0000000001");
    EXPECT_EQ(cells["F5"].text, "2026-12-08 17:45:00");
}

} // namespace
