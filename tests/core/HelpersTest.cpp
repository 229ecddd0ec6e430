// The shared form helpers: layout, list fillers, number checks, masks.
#include "CoreTestSupport.h"

#include "Globals.h"
#include "Module1.h"
#include "runtime/RuntimeError.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWidget>

namespace {

TEST(CompleteTimeGroupMask, AddsTheWholeDayGroupOnlyWhenNothingIsChosen)
{
    EXPECT_EQ(Module1::CompleteTimeGroupMask(QString(15, '0')), "0000000000000001");
    EXPECT_EQ(Module1::CompleteTimeGroupMask("1" + QString(14, '0')), "1000000000000000");
    EXPECT_EQ(Module1::CompleteTimeGroupMask("000000000000001"), "0000000000000010");
    EXPECT_EQ(Module1::CompleteTimeGroupMask("abcdefghijklmno"), "abcdefghijklmno1");
    EXPECT_EQ(Module1::CompleteTimeGroupMask(""), "0000000000000001");
    EXPECT_EQ(Module1::CompleteTimeGroupMask(QString(16, '1')), "0000000000000001");
}

TEST(IsValidNumberString, ChecksLengthFirstThenTheBase)
{
    EXPECT_TRUE(Module1::IsValidNumberString("0101100", 7, 2));
    EXPECT_FALSE(Module1::IsValidNumberString("0121100", 7, 2));
    EXPECT_FALSE(Module1::IsValidNumberString("010110", 7, 2));
    EXPECT_TRUE(Module1::IsValidNumberString("0Ab9fF12", 8, 16));
    EXPECT_FALSE(Module1::IsValidNumberString("0Ab9fF1", 8, 16));
    EXPECT_FALSE(Module1::IsValidNumberString("0Ag9fF12", 8, 16));
    EXPECT_FALSE(Module1::IsValidNumberString("123456789", 9, 16)) << "more than 32 bits";
    EXPECT_TRUE(Module1::IsValidNumberString("0000123456", 10, 10));
    EXPECT_TRUE(Module1::IsValidNumberString("1e5", 3, 10));
    EXPECT_FALSE(Module1::IsValidNumberString("12a456", 6, 10));
    EXPECT_FALSE(Module1::IsValidNumberString("260131", 6, 8));
}

class ListFillTest : public ProgramFolderTest {
protected:
    void SetUp() override
    {
        ProgramFolderTest::SetUp();
        openShared();
    }
    void exec(const QString& sql, const QVariantList& p) { mdl::AdoConnection.execute(sql, p); }
    static QStringList items(const QListWidget& l)
    {
        QStringList out;
        for (int i = 0; i < l.count(); ++i)
            out << l.item(i)->text();
        return out;
    }
};

TEST_F(ListFillTest, DepartmentListStartsWithAllDepartments)
{
    QListWidget list;
    list.addItem("stale");
    Module1::FillDepartmentList(mdl::AdoConnection, &list);
    EXPECT_EQ(items(list), QStringList({"所有部门"}));
    exec("insert into department (部门) values (?)", {"生产部"});
    exec("insert into department (部门) values (?)", {"O'Neil 组"});
    Module1::FillDepartmentList(mdl::AdoConnection, &list);
    EXPECT_EQ(list.count(), 3);
    EXPECT_EQ(list.item(0)->text(), "所有部门");
    EXPECT_TRUE(items(list).contains("O'Neil 组"));
    QComboBox combo;
    Module1::FillDepartmentList(mdl::AdoConnection, &combo);
    EXPECT_EQ(combo.count(), 3);
}

TEST_F(ListFillTest, CardListMasksPasswordsAndAppends)
{
    const QString dept = "O'Neil 组";
    exec("insert into dfaka (地址, 卡号, 物理卡号, 姓名, 部门, 密码标志) values (?,?,?,?,?,?)", {3, "00000001", "0000123456", "张三 ", dept, 0});
    exec("insert into dfaka (地址, 卡号, 物理卡号, 姓名, 部门, 密码标志) values (?,?,?,?,?,?)", {3, "00000001", "0000654321", "张三", dept, 1});
    exec("insert into dfaka (地址, 卡号, 物理卡号, 姓名, 部门, 密码标志) values (?,?,?,?,?,?)", {4, "00000002", "0000000777", "李四", "其他", 0});
    QListWidget list;
    list.addItem("kept");
    Module1::FillCardList(mdl::AdoConnection, &list, dept);
    QStringList got = items(list);
    ASSERT_EQ(got.size(), 3);
    EXPECT_EQ(got[0], "kept");
    EXPECT_TRUE(got.contains("00000001     张三     0000123456     3"));
    EXPECT_TRUE(got.contains("00000001     张三     ***************     3"));
    Module1::FillCardList(mdl::AdoConnection, &list, "所有部门");
    EXPECT_EQ(list.count(), 6);
}

TEST_F(ListFillTest, PeopleListIsClearedAndOrderedByNumber)
{
    QListWidget list;
    list.addItem("stale");
    Module1::FillPeopleList(mdl::AdoConnection, &list, "生产部");
    EXPECT_EQ(list.count(), 0);
    exec("insert into people (卡号, 姓名, 部门) values (?,?,?)", {"00000002", "乙", "生产部"});
    exec("insert into people (卡号, 姓名, 部门) values (?,?,?)", {"00000001", "甲", "生产部"});
    exec("insert into people (卡号, 姓名, 部门) values (?,?,?)", {"00000003", "丙", "财务部"});
    Module1::FillPeopleList(mdl::AdoConnection, &list, "所有部门");
    EXPECT_EQ(items(list), QStringList({"00000001     甲", "00000002     乙", "00000003     丙"}));
    Module1::FillPeopleList(mdl::AdoConnection, &list, "生产部");
    EXPECT_EQ(items(list), QStringList({"00000001     甲", "00000002     乙"}));
}

TEST_F(ListFillTest, NullStopsTheFillingWithItemsSoFarKept)
{
    exec("insert into people (卡号, 姓名, 部门) values (?,?,?)", {"00000001", "甲", "生产部"});
    exec("insert into people (卡号, 姓名, 部门) values (?,?,?)", {"00000002", QVariant(), "生产部"});
    QListWidget list;
    try {
        Module1::FillPeopleList(mdl::AdoConnection, &list, "生产部");
        FAIL() << "a Null name must stop the filling";
    } catch (const rt::Error& e) {
        EXPECT_EQ(e.number(), rt::ErrInvalidUseOfNull);
    }
    EXPECT_EQ(items(list), QStringList({"00000001     甲"}));
}

class LayoutTest : public ::testing::Test {
protected:
    void SetUp() override { ensureApplication(); }
};

TEST_F(LayoutTest, ResizeScalesFromTheSavedLayoutWithoutDrift)
{
    QWidget form;
    form.resize(400, 300);
    auto* button = new QPushButton("ok", &form);
    button->setObjectName("CmdOk");
    button->setGeometry(10, 20, 75, 23);
    auto* frame = new QGroupBox(&form);
    frame->setObjectName("Frame1");
    frame->setGeometry(100, 50, 201, 101);
    auto* inner = new QLabel("x", frame);
    inner->setObjectName("Label1");
    inner->setGeometry(5, 7, 33, 13);
    auto* laidOut = new QWidget(&form);
    laidOut->setObjectName("Panel");
    laidOut->setGeometry(0, 200, 100, 50);
    auto* managed = new QLabel("managed", laidOut);
    managed->setObjectName("Managed");
    (new QVBoxLayout(laidOut))->addWidget(managed);

    EXPECT_EQ(Module1::SaveControlLayout(&form), 0);
    EXPECT_EQ(Module1::LayoutWidth, 400);
    EXPECT_EQ(Module1::LayoutHeight, 300);
    EXPECT_EQ(button->property("Tag").toString(), "10 20 75 23 ");

    form.resize(800, 600);
    Module1::ResizeControls(&form);
    EXPECT_EQ(button->geometry(), QRect(20, 40, 150, 46));
    EXPECT_EQ(frame->geometry(), QRect(200, 100, 402, 202));
    EXPECT_EQ(inner->geometry(), QRect(10, 14, 66, 26));

    for (QSize s : {QSize(537, 411), QSize(123, 77), QSize(999, 650), QSize(400, 300)}) {
        form.resize(s);
        Module1::ResizeControls(&form);
    }
    EXPECT_EQ(button->geometry(), QRect(10, 20, 75, 23));
    EXPECT_EQ(frame->geometry(), QRect(100, 50, 201, 101));
    EXPECT_EQ(inner->geometry(), QRect(5, 7, 33, 13));
}

TEST_F(LayoutTest, ControlAddedAfterSavingGoesToTheCornerAndUnsavedWindowIsLeftAlone)
{
    QWidget form;
    form.resize(200, 100);
    auto* a = new QPushButton(&form);
    a->setObjectName("A");
    a->setGeometry(10, 10, 50, 20);
    Module1::SaveControlLayout(&form);
    auto* late = new QPushButton(&form);
    late->setObjectName("Late");
    late->setGeometry(30, 30, 40, 20);
    form.resize(400, 200);
    Module1::ResizeControls(&form);
    EXPECT_EQ(late->geometry().topLeft(), QPoint(0, 0));
    EXPECT_EQ(a->geometry(), QRect(20, 20, 100, 40));

    QWidget other;
    other.resize(300, 300);
    auto* b = new QPushButton(&other);
    b->setObjectName("B");
    b->setGeometry(1, 2, 30, 40);
    Module1::ResizeControls(&other);
    EXPECT_EQ(b->geometry(), QRect(1, 2, 30, 40));
}

} // namespace
