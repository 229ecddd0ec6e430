// Card-issue query: readable rights in dfakapt, masked passwords, conditions.
#include "FrmFKXXCX.h"
#include "QueryWindowTestSupport.h"
#include "WindowBench.h"

#include "ui/Form.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>

#include <functional>

namespace {

struct Issued {
    QVariant address = 1;
    QVariant number = "00000001";
    QVariant physical = "0001234567";
    QVariant name = "张三";
    QVariant dept = "研发";
    QVariant end = "081231";
    QVariant week = "1111100";
    QVariant lock1 = "1000000000000001";
    QVariant lock2 = "0000000000000000";
    QVariant issued = "2026-12-01";
    bool password = false;
};

class FrmFKXXCXTest : public WindowBench {
protected:
    void issue(const Issued& i)
    {
        exec("insert into dfaka (地址,卡号,物理卡号,姓名,部门,截止日期,周标志,锁1时间段标志,锁2时间段标志,发卡日期,密码标志) "
             "values (?,?,?,?,?,?,?,?,?,?,?)",
             {i.address, i.number, i.physical, i.name, i.dept, i.end, i.week, i.lock1, i.lock2, i.issued, i.password ? 1 : 0});
    }
    // Groups 1 and 2 set up, 3 empty text, the rest not set up, 16 all day.
    void timeGroups(int address)
    {
        QVariantList v{address, "0830-1730", "1900-2200", ""};
        for (int k = 4; k <= 15; ++k)
            v << "0000-0000";
        v << "0000-2359";
        QString cols = "地址";
        for (int k = 1; k <= 16; ++k)
            cols += QString(",时间段%1").arg(k);
        exec("insert into dTime (" + cols + ") values (?" + QString(",?").repeated(16) + ")", v);
    }
    QVariantList printRow(const QString& number)
    {
        return rows("select * from dfakapt where 卡号=?", {number}).value(0);
    }
    QVariant printField(const QString& number, const QString& column)
    {
        return value("select " + column + " from dfakapt where 卡号=?", {number});
    }
};

TEST_F(FrmFKXXCXTest, RightsBecomeReadableTexts)
{
    timeGroups(1);
    struct Case {
        const char* name;
        std::function<void(Issued&)> set;
        QString column;
        QString expected;
    };
    const QList<Case> cases = {
        {"end date", [](Issued&) {}, "截止日期", "2008年12月31日"},
        {"empty end date", [](Issued& i) { i.end = ""; }, "截止日期", "20年月日"},
        {"working days", [](Issued&) {}, "周标志", "周一周二周三周四周五"},
        {"every day", [](Issued& i) { i.week = "1111111"; }, "周标志", "周一周二周三周四周五周六周日"},
        {"odd days", [](Issued& i) { i.week = "1010100"; }, "周标志", "周一周三周五"},
        {"no day", [](Issued& i) { i.week = "0000000"; }, "周标志", "没有"},
        {"no mask", [](Issued& i) { i.week = QVariant(); }, "周标志", "没有"},
        {"lock 1 group 1", [](Issued&) {}, "时间段1", "08:30-17:30"},
        {"lock 1 group 2 not chosen", [](Issued&) {}, "时间段2", "00:00-00:00"},
        {"lock 1 group 16", [](Issued&) {}, "时间段16", "00:00-23:59"},
        {"lock 2 group 1", [](Issued& i) { i.lock2 = "1000000000000000"; }, "时间段17", "08:30-17:30"},
        {"lock 2 group 2", [](Issued& i) { i.lock2 = "0100000000000000"; }, "时间段18", "19:00-22:00"},
        {"lock 2 group 16", [](Issued& i) { i.lock2 = "0000000000000001"; }, "时间段32", "00:00-23:59"},
        {"chosen group not set up", [](Issued& i) { i.lock1 = "0001000000000000"; }, "时间段4", "00:00-00:00"},
        {"chosen group with empty text", [](Issued& i) { i.lock1 = "0010000000000000"; }, "时间段3", ":-:"},
        {"no lock-2 mask", [](Issued& i) { i.lock2 = QVariant(); }, "时间段17", "00:00-00:00"},
        {"issue date", [](Issued& i) { i.issued = "2026-12-01 10:11:12"; }, "发卡日期", "2026-12-01"},
        {"null name is empty text", [](Issued& i) { i.name = QVariant(); }, "姓名", ""},
        {"null department is empty text", [](Issued& i) { i.dept = QVariant(); }, "部门", ""},
        {"null physical number is empty text", [](Issued& i) { i.physical = QVariant(); }, "物理卡号", ""},
        {"null issue date is empty text", [](Issued& i) { i.issued = QVariant(); }, "发卡日期", ""},
    };
    auto* w = ui::forms::load<FrmFKXXCX>();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        exec("delete from dfaka");
        Issued i;
        c.set(i);
        issue(i);
        w->CmdSearch_Click();
        EXPECT_EQ(w->panelText(), "信息提示：查询到1笔数据！");
        EXPECT_EQ(printField("00000001", c.column).toString(), c.expected);
        EXPECT_EQ(gridColumn(w, c.column), QStringList{c.expected});
    }
}

TEST_F(FrmFKXXCXTest, AddressWithoutTimeGroupsAndPasswordsMasked)
{
    Issued card;
    card.address = 7;
    card.lock1 = "1111111111111111";
    card.lock2 = "1111111111111110";
    issue(card);
    Issued pwd;
    pwd.number = "00000002";
    pwd.physical = "0000123456";
    pwd.password = true;
    issue(pwd);
    timeGroups(1);

    auto* w = ui::forms::load<FrmFKXXCX>();
    w->Corder->setCurrentIndex(1);
    w->CmdSearch_Click();
    EXPECT_EQ(w->panelText(), "信息提示：查询到2笔数据！");
    const QVariantList r = printRow("00000001");
    ASSERT_EQ(r.size(), 41);
    for (int k = 7; k < 39; ++k)
        EXPECT_EQ(r[k].toString(), "00:00-00:00") << "column " << k;
    EXPECT_EQ(gridColumn(w, "物理卡号"), QStringList({"0001234567", "**********"}));
    EXPECT_EQ(printField("00000002", "物理卡号").toString(), "0000123456");
    EXPECT_EQ(printField("00000002", "密码标志").toInt(), 1);

    QStringList captions = gridCaptions(w);
    ASSERT_EQ(captions.size(), 40);
    EXPECT_EQ(captions.mid(0, 8), QStringList({"地址", "卡号", "物理卡号", "姓名", "周标志", "部门", "截止日期", "时间段1"}));
    EXPECT_EQ(captions.last(), "发卡日期");

    w->CmdOutExcel_Click();
    EXPECT_EQ(w->panelText(), "输出成功！");
    auto cells = takeWorkbook(scripted.opened);
    EXPECT_EQ(cells["C3"].text, "**********");
    EXPECT_EQ(cells["A2"].type, "") << "addresses are numbers";
    EXPECT_EQ(cells["A2"].text, "7");
    EXPECT_EQ(cells["B2"].type, "s");
    EXPECT_EQ(cells["B2"].text, "00000001");
    EXPECT_EQ(cells["E1"].text, "周标志");
}

TEST_F(FrmFKXXCXTest, ConditionsAndSorts)
{
    auto add = [&](int address, const char* number, const char* name, const char* dept, const char* date) {
        Issued i;
        i.address = address;
        i.number = number;
        i.name = name;
        i.dept = dept;
        i.issued = date;
        issue(i);
    };
    add(2, "00000003", "O'Neil", "销售", "2026-11-30");
    add(1, "00000001", "张三", "研发", "2026-12-01");
    add(3, "00000002", "张三丰", "研发", "2026-12-08");
    add(1, "00000004", "李四", "销售", "2026-12-09");
    struct Case {
        const char* name;
        std::function<void(FrmFKXXCX*)> set;
        QStringList numbers;
    };
    const QList<Case> cases = {
        {"nothing, by address", [](FrmFKXXCX* w) { w->Corder->setCurrentIndex(0); },
         {"00000001", "00000004", "00000003", "00000002"}},
        {"by number", [](FrmFKXXCX* w) { w->Corder->setCurrentIndex(1); },
         {"00000001", "00000002", "00000003", "00000004"}},
        {"by name", [](FrmFKXXCX* w) { w->Corder->setCurrentIndex(2); },
         {"00000003", "00000001", "00000002", "00000004"}},
        {"part of a name", [](FrmFKXXCX* w) { w->TxtName->setText(" 张三 "); w->Corder->setCurrentIndex(1); },
         {"00000001", "00000002"}},
        {"name with a quote", [](FrmFKXXCX* w) { w->TxtName->setText("'N"); }, {"00000003"}},
        {"address", [](FrmFKXXCX* w) { w->CmbAddr->setEditText(" 1 "); w->Corder->setCurrentIndex(1); },
         {"00000001", "00000004"}},
        {"address 1.4 is compared, not rounded", [](FrmFKXXCX* w) { w->CmbAddr->setEditText("1.4"); }, {}},
        {"number", [](FrmFKXXCX* w) { w->TxtCardID->setText("00000002"); }, {"00000002"}},
        {"department of blanks sets none", [](FrmFKXXCX* w) { w->TxtDepart->setEditText("  "); w->Corder->setCurrentIndex(1); },
         {"00000001", "00000002", "00000003", "00000004"}},
        {"department", [](FrmFKXXCX* w) { w->TxtDepart->setEditText("销售"); w->Corder->setCurrentIndex(1); },
         {"00000003", "00000004"}},
        {"issue dates, both ends", [](FrmFKXXCX* w) { w->ChkDate->setChecked(true); w->Corder->setCurrentIndex(1); },
         {"00000001", "00000002"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto* w = ui::forms::load<FrmFKXXCX>();
        ASSERT_EQ(w->DTPBegin->date(), QDate(2026, 12, 1));
        ASSERT_EQ(w->DTPEnd->date(), QDate(2026, 12, 8));
        c.set(w);
        w->CmdSearch_Click();
        if (c.numbers.size() > 1 && w->Corder->currentIndex() == 0) {
            // Equal addresses may come in either order.
            QStringList got = gridColumn(w, "卡号");
            EXPECT_EQ(QSet<QString>(got.begin(), got.begin() + 2), QSet<QString>(c.numbers.begin(), c.numbers.begin() + 2));
            EXPECT_EQ(got.mid(2), c.numbers.mid(2));
        } else {
            EXPECT_EQ(gridColumn(w, "卡号"), c.numbers);
        }
        EXPECT_EQ(value("select count(*) from dfakapt").toInt(), c.numbers.size());
        ui::forms::unload<FrmFKXXCX>();
    }
}

TEST_F(FrmFKXXCXTest, FailuresKeepTheGridAndTheRowsCopiedSoFarUnlessTheReadFails)
{
    Issued first;
    issue(first);
    auto* w = ui::forms::load<FrmFKXXCX>();
    w->CmdSearch_Click();
    ASSERT_EQ(gridColumn(w, "卡号").size(), 1);
    Issued second;
    second.number = "00000002";
    issue(second);

    struct Case {
        const char* name;
        std::function<void()> set;
        QString status;
        int copied;   // rows of dfakapt after the failure
    };
    const QList<Case> cases = {
        {"address that is no number", [&] { w->CmbAddr->setEditText("1 or 1=1"); }, "信息提示：13:类型不匹配", 0},
        {"damaged weekday mask on the second row",
         [&] { w->CmbAddr->setEditText(""); exec("update dfaka set 周标志='11x' where 卡号='00000002'"); },
         "信息提示：13:类型不匹配", 1},
        {"short time-group mask on the second row",
         [&] {
             exec("update dfaka set 周标志='1111111', 锁1时间段标志='11' where 卡号='00000002'");
             timeGroups(1);
         },
         "信息提示：13:类型不匹配", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.set();
        w->CmdSearch_Click();
        EXPECT_EQ(w->panelText(), c.status);
        EXPECT_EQ(gridColumn(w, "卡号").size(), 1) << "the grid keeps the last result";
        EXPECT_EQ(value("select count(*) from dfakapt").toInt(), c.copied);
        EXPECT_TRUE(scripted.messages.isEmpty());
    }
    // A read that fails once the grid has let go: nothing left to print either.
    exec("update dfaka set 锁1时间段标志='1000000000000001'");
    {
        ReadFailsPartWay failing(w);
        w->CmdSearch_Click();
    }
    EXPECT_TRUE(w->panelText().startsWith("信息提示：3000:")) << w->panelText().toStdString();
    EXPECT_EQ(gridColumn(w, "卡号").size(), 0);
    EXPECT_EQ(value("select count(*) from dfakapt").toInt(), 0);

    w->TxtName->setText("a");
    w->ChkDate->setChecked(true);
    w->CmdClear_Click();
    EXPECT_EQ(w->panelText(), "信息提示：清空成功！");
    EXPECT_EQ(w->CmbAddr->currentText(), "");
    EXPECT_FALSE(w->ChkDate->isChecked());
    EXPECT_EQ(gridColumn(w, "卡号").size(), 0) << "clearing leaves the grid as it was";
}

} // namespace
