// Departments and positions: names, renames carried into the employee
// records, and the department deletion that withdraws credentials from the
// simulated controllers.
#include "WindowBench.h"

#include "AppForms.h"
#include "FrmFKZL.h"
#include "FrmGatherData.h"
#include "Frmbm.h"
#include "Globals.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace {

// Stand-ins for the collection and re-send windows until the program has them.
template <int N>
class FrmbmTestStandIn : public ui::Form {
public:
    FrmbmTestStandIn() { setObjectName(N == 0 ? "FrmGatherData" : "FrmFKZL"); }
};

class FrmbmTest : public WindowBench {
protected:
    QStringList opened;   // windows the deletion opened, with what dfaka held then
    QStringList standInsAdded;

    void TearDown() override
    {
        ui::forms::setModalHandler(nullptr);
        for (const QString& name : standInsAdded)
            appforms::unregisterWindow(name);
        WindowBench::TearDown();
    }

    Frmbm* load() { return ui::forms::load<Frmbm>(); }

    // A credential issued at an address, held by the controller when held is true.
    void issue(int address, const QString& employee, uint32_t card, const QString& department, bool held = true)
    {
        exec("insert into dfaka (地址, 卡号, 物理卡号, 姓名, 部门) values (?, ?, ?, ?, ?)",
             {address, employee, QStringLiteral("%1").arg(card, 10, 10, QLatin1Char('0')), "员工" + employee,
              department});
        if (held)
            controller(address).storeCard(sim::CardRecord{card, 0, 0xC0});
    }

    // Makes the controller report `count` returned entries after its next deletion.
    void returnedBefore(int address, int count)
    {
        sim::Controller& c = controller(address);
        for (int i = 0; i < count; ++i) {
            c.storeCard(sim::CardRecord{uint32_t(900000 + i)});
            c.deleteCard(uint32_t(900000 + i));
        }
    }

    // The collection and re-send windows (stand-ins where the program lacks
    // them) note their opening and how many dfaka rows the department still
    // had then; the operator closes each at once.
    void watchAdviceWindows(const QString& department)
    {
        if (!appforms::exists("FrmGatherData")) {
            appforms::registerWindow("FrmGatherData", &appforms::openForm<FrmbmTestStandIn<0>>);
            standInsAdded << "FrmGatherData";
        }
        if (!appforms::exists("FrmFKZL")) {
            appforms::registerWindow("FrmFKZL", &appforms::openForm<FrmbmTestStandIn<1>>);
            standInsAdded << "FrmFKZL";
        }
        ui::forms::setModalHandler([this, department](ui::Form& f) {
            opened << f.objectName() + ":" + value("select count(*) from dfaka where 部门=?", {department}).toString();
            f.unloadForm();
        });
    }

    void select(Frmbm* w, const QString& department)
    {
        const auto items = w->List1->findItems(department, Qt::MatchExactly);
        ASSERT_EQ(items.size(), 1) << department.toStdString();
        w->List1->setCurrentItem(items[0]);
        w->List1_Click();
    }
};

TEST_F(FrmbmTest, DepartmentNamesAreStoredTrimmedAndFoundAsTyped)
{
    auto* w = load();
    struct Case {
        QString typed;
        QString label;
    } cases[] = {
        {"  R&D's  ", "添加   R&D's   成功"},
        {"R&D's", "该部门已存在"},
        {"O'Hara组", "添加 O'Hara组 成功"},
        {"   ", "请输入部门"},
    };
    for (const Case& c : cases) {
        w->Tbm->setText(c.typed);
        w->Cmdadd_Click();
        EXPECT_EQ(w->LabelMessage->text(), c.label) << c.typed.toStdString();
    }
    EXPECT_EQ(value("select count(*) from department where 部门='R&D''s'").toInt(), 1);
    EXPECT_EQ(w->List1->findItems("O'Hara组", Qt::MatchExactly).size(), 1);
    EXPECT_TRUE(scripted.messages.isEmpty());
}

TEST_F(FrmbmTest, RenameCarriesIntoPeopleButNotIntoIssuedCards)
{
    addDepartment("销售部");
    addDepartment("财务部");
    addPerson("00000001", "张三", "销售部");
    addPerson("00000002", "李四", "财务部");
    issue(1, "00000001", 1001, "销售部", false);
    auto* w = load();

    w->Tbm->setText("市场部");
    w->Cmdch_Click();
    EXPECT_EQ(w->LabelMessage->text(), "请选择要修改的部门");

    select(w, "销售部");
    w->Tbm->setText("财务部");
    w->Cmdch_Click();
    EXPECT_EQ(w->LabelMessage->text(), "该部门已存在");

    select(w, "销售部");
    w->Tbm->setText(" 市场部");
    w->Cmdch_Click();
    EXPECT_EQ(w->LabelMessage->text(), "部门  市场部 修改成功");
    EXPECT_EQ(rows("select 部门 from department order by 部门"), (QList<QVariantList>{{"市场部"}, {"财务部"}}));
    EXPECT_EQ(value("select 部门 from people where 卡号='00000001'").toString(), "市场部");
    EXPECT_EQ(value("select 部门 from people where 卡号='00000002'").toString(), "财务部");
    EXPECT_EQ(value("select 部门 from dfaka").toString(), "销售部");
}

TEST_F(FrmbmTest, RenameThatFailsInPeopleLeavesTheDepartmentAsItWas)
{
    addDepartment("销售部");
    addPerson("00000001", "张三", "销售部");
    exec("create trigger FrmbmTest_refuse before update on people begin select raise(abort, 'locked'); end");
    auto* w = load();
    select(w, "销售部");
    w->Tbm->setText("市场部");
    w->Cmdch_Click();

    ASSERT_EQ(scripted.messages.size(), 1);
    EXPECT_EQ(scripted.messages[0].title, "信息提示");
    EXPECT_TRUE(scripted.messages[0].text.startsWith("3000:"));
    EXPECT_EQ(value("select 部门 from department").toString(), "销售部");
    EXPECT_EQ(value("select 部门 from people").toString(), "销售部");
}

TEST_F(FrmbmTest, PositionsLiveUnderARootCreatedOnFirstUse)
{
    addPerson("00000001", "张三", "销售部");
    exec("update people set 职务='经理'");
    auto* w = load();
    EXPECT_EQ(w->LabelMessage2->text(), "还没有设置职务");

    for (const char* name : {"经理", "O'Neil主管", "经理"}) {
        w->tzw->setText(name);
        w->cmdadd2_Click();
    }
    EXPECT_EQ(w->LabelMessage2->text(), "该职位已存在");
    EXPECT_EQ(rows("select PubItem, ParID from Dict_Pub where SubItem='职位'"),
              (QList<QVariantList>{{"门禁系统", 0}}));
    const QVariant root = value("select ChiID from Dict_Pub where SubItem='职位'");
    EXPECT_EQ(rows("select SubItem from Dict_Pub where ParID=? order by ChiID", {root}),
              (QList<QVariantList>{{"经理"}, {"O'Neil主管"}}));
    EXPECT_EQ(w->List2->count(), 2);

    w->List2->setCurrentRow(0);
    w->List2_Click();
    w->tzw->setText("总经理");
    w->Cmdch2_Click();
    EXPECT_EQ(w->LabelMessage2->text(), "职位 总经理 修改成功");
    EXPECT_EQ(value("select 职务 from people").toString(), "总经理");

    struct Case {
        QString name;
        QString label;
    } deletes[] = {{"副经理", "职位 副经理 不存在"}, {"", "职位  不存在"}, {"总经理", "删除 总经理 成功"},
                   {"O'Neil主管", "删除 O'Neil主管 成功"}};
    for (const Case& c : deletes) {
        w->tzw->setText(c.name);
        w->Cmddel2_Click();
        EXPECT_EQ(w->LabelMessage2->text(), c.label);
    }
    EXPECT_EQ(w->List2->count(), 0);
    EXPECT_EQ(value("select 职务 from people").toString(), "总经理") << "employees keep a deleted position";
}

TEST_F(FrmbmTest, DeletionStopsAtTheFirstRefusalWithEarlierReturnsBooked)
{
    addDepartment("销售部");
    addPerson("00000001", "张三", "销售部");
    issue(1, "00000001", 1001, "销售部");
    issue(1, "00000002", 1002, "销售部", false);   // the controller does not hold it
    issue(2, "00000003", 1003, "销售部");
    auto* w = load();
    select(w, "销售部");
    scripted.queueAnswer(ui::mb::Yes);
    w->Cmddel_Click();

    EXPECT_EQ(w->LabelMessage->text(), "00000002号员工删除不成功！");
    EXPECT_EQ(traceText(), (QStringList{"setport(1)", "ClearName(1, 0000001001)", "ClearName(1, 0000001002)"}));
    EXPECT_EQ(rows("select 地址, 卡号, 物理卡号, 姓名, 部门, 退卡日期 from dtuika"),
              (QList<QVariantList>{{1, "00000001", "0000001001", "员工00000001", "销售部", "2026-12-08"}}));
    EXPECT_EQ(rows("select 卡号 from dfaka order by 卡号"), (QList<QVariantList>{{"00000002"}, {"00000003"}}));
    EXPECT_TRUE(controller(2).findCard(1003).has_value());
    EXPECT_EQ(value("select count(*) from department").toInt(), 1);
    EXPECT_EQ(value("select count(*) from people").toInt(), 1);
    for (QPushButton* b : w->findChildren<QPushButton*>())
        EXPECT_TRUE(b->isEnabled()) << b->objectName().toStdString();

    // Once the controller holds it again, a second click finishes the job.
    controller(1).storeCard(sim::CardRecord{1002});
    select(w, "销售部");
    scripted.queueAnswer(ui::mb::Yes);
    w->Cmddel_Click();
    EXPECT_EQ(w->LabelMessage->text(), "删除 销售部 成功");
    EXPECT_EQ(value("select count(*) from dfaka").toInt(), 0);
    EXPECT_EQ(value("select count(*) from dtuika").toInt(), 3);
    EXPECT_EQ(value("select count(*) from department").toInt(), 0);
    EXPECT_EQ(value("select 部门 from people").toString(), "销售部");
}

TEST_F(FrmbmTest, AdviceAtOneHundredReturnsOpensBothWindowsAfterTheBooking)
{
    struct Case {
        int before;       // entries the controller returned already
        int answer;       // to the advice
        QStringList windows;
    } cases[] = {
        {98, ui::mb::OK, {}},
        {99, ui::mb::OK, {"FrmGatherData:0", "FrmFKZL:0"}},
        {99, ui::mb::Cancel, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.before);
        opened.clear();
        scripted.clearMessages();
        line.remove(5);
        returnedBefore(5, c.before);
        addDepartment("工程部");
        issue(5, "00000009", 2009, "工程部");
        watchAdviceWindows("工程部");
        auto* w = load();
        w->ViewDepart();
        select(w, "工程部");
        scripted.queueAnswer(ui::mb::Yes);
        if (c.before == 99)
            scripted.queueAnswer(c.answer);
        w->Cmddel_Click();

        const QString advice = "退卡条数超过了100条，请先采集数据，再对5号机器进行重整！";
        EXPECT_EQ(messageTexts().contains(advice), c.before == 99);
        EXPECT_EQ(opened, c.windows);
        EXPECT_EQ(value("select count(*) from dtuika where 物理卡号='0000002009'").toInt(), 1);
        EXPECT_EQ(w->LabelMessage->text(), "删除 工程部 成功");
        exec("delete from dtuika");
    }
}

TEST_F(FrmbmTest, DeletionPathsThatWithdrawNothing)
{
    struct Case {
        const char* what;
        QString typed;
        bool selected;
        int answer;
        QString label;
        QStringList messages;
        int departmentsLeft;
    } cases[] = {
        {"no selection", "销售部", false, 0, "请选择要删除的部门", {}, 1},
        {"unknown name", "不存在部", true, 0, "删除 不存在部 成功", {}, 1},
        {"answer No", "销售部", true, ui::mb::No, "删除 销售部 成功", {"是否要同时删除该部门的所有人员？"}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        exec("delete from department");
        addDepartment("销售部");
        issue(1, "00000001", 1001, "销售部");
        scripted.clearMessages();
        clearTrace();
        auto* w = load();
        w->ViewDepart();
        if (c.selected)
            select(w, "销售部");
        else
            w->List1->clearSelection();
        w->Tbm->setText(c.typed);
        if (c.answer)
            scripted.queueAnswer(c.answer);
        w->Cmddel_Click();

        EXPECT_EQ(w->LabelMessage->text(), c.label);
        EXPECT_EQ(messageTexts(), c.messages);
        EXPECT_EQ(members(), QStringList{"setport"});
        EXPECT_EQ(value("select count(*) from department").toInt(), c.departmentsLeft);
        EXPECT_EQ(value("select 部门 from dfaka").toString(), "销售部");
        EXPECT_EQ(value("select count(*) from dtuika").toInt(), 0);
        exec("delete from dfaka");
    }
}

TEST_F(FrmbmTest, SameDayReturnIsNoticedAndBookedAgain)
{
    addDepartment("销售部");
    issue(3, "00000001", 1001, "销售部");
    exec("insert into dtuika (地址, 卡号, 物理卡号, 姓名, 部门, 退卡日期) values (3, '00000001', '0000001001', '张三', "
         "'销售部', '2026-12-08')");
    auto* w = load();
    select(w, "销售部");
    scripted.queueAnswer(ui::mb::Yes);
    scripted.queueAnswer(ui::mb::Cancel);
    w->Cmddel_Click();
    EXPECT_TRUE(messageTexts().contains("00000001号卡今天已经在3号机退过卡！"));
    EXPECT_EQ(value("select count(*) from dtuika").toInt(), 2);
    EXPECT_EQ(value("select count(*) from department").toInt(), 0);
}

TEST_F(FrmbmTest, ButtonsStayDisabledWhileAControllerAnswers)
{
    addDepartment("销售部");
    addDepartment("财务部");
    issue(1, "00000001", 1001, "销售部");
    auto* w = load();
    select(w, "销售部");
    int waits = 0;
    bool anyEnabled = false;
    scripted.onDoEvents = [&] {
        ++waits;
        for (QPushButton* b : w->findChildren<QPushButton*>())
            anyEnabled = anyEnabled || b->isEnabled();
        anyEnabled = anyEnabled || w->List1->isEnabled() || w->Tbm->isEnabled();
        w->Tbm->setText("财务部");   // whatever the box holds by then
    };
    scripted.queueAnswer(ui::mb::Yes);
    w->Cmddel_Click();
    scripted.onDoEvents = nullptr;
    EXPECT_GT(waits, 0);
    EXPECT_FALSE(anyEnabled);
    EXPECT_TRUE(w->Cmddel->isEnabled());
    EXPECT_TRUE(w->List1->isEnabled());
    EXPECT_EQ(w->LabelMessage->text(), "删除 销售部 成功");
    EXPECT_EQ(value("select 部门 from department").toString(), "财务部");
}

TEST_F(FrmbmTest, PortThatCannotOpenStopsBeforeAnything)
{
    addDepartment("销售部");
    auto* w = load();
    select(w, "销售部");
    mdl::PortNumber = 9;
    w->Cmddel_Click();
    EXPECT_EQ(messageTexts(), QStringList{"串口打开失败！"});
    EXPECT_EQ(mdl::PortReady, 0);
    EXPECT_EQ(value("select count(*) from department").toInt(), 1);
}

TEST_F(FrmbmTest, ListResentFromTheAdviceNoLongerHoldsTheWithdrawnCard)
{
    addDoor(3);
    addDepartment("工程部");
    returnedBefore(3, 99);
    for (const auto& [employee, card] : {std::pair{"00000001", 3001u}, std::pair{"00000002", 3002u}}) {
        issue(3, employee, card, "工程部");
        exec("update dfaka set 锁1允许=1, 周标志='1111111', 截止日期='991231', 锁1时间段标志='0000000000000001', "
             "锁2时间段标志='0000000000000001' where 卡号=?",
             {employee});
    }
    QStringList events;
    ui::forms::setModalHandler([&](ui::Form& f) {
        if (auto* g = qobject_cast<FrmGatherData*>(&f)) {
            events << "FrmGatherData";
            g->cdexit_Click();
        } else if (auto* z = qobject_cast<FrmFKZL*>(&f)) {
            z->Combo1->setCurrentIndex(z->Combo1->findText("3"));
            z->CmdReset_Click();
            events << QString("FrmFKZL holds 3001:%1 3002:%2")
                          .arg(controller(3).findCard(3001).has_value())
                          .arg(controller(3).findCard(3002).has_value());
            z->Command2_Click();
        }
    });
    auto* w = load();
    select(w, "工程部");
    scripted.queueAnswer(ui::mb::Yes);
    scripted.queueAnswer(ui::mb::OK);
    w->Cmddel_Click();

    EXPECT_EQ(events, (QStringList{"FrmGatherData", "FrmFKZL holds 3001:0 3002:1"}));
    EXPECT_FALSE(controller(3).findCard(3001).has_value());
    EXPECT_FALSE(controller(3).findCard(3002).has_value());
    EXPECT_EQ(value("select count(*) from dtuika").toInt(), 2);
    EXPECT_EQ(value("select count(*) from dfaka").toInt(), 0);
    EXPECT_EQ(w->LabelMessage->text(), "删除 工程部 成功");
}

} // namespace

TEST_F(FrmbmTest, DepartmentDeletionHoldsItsRun)
{
    // Two credentials of the department; 3 answers late, 5 never.
    const QList<Interruption<Frmbm>> clicks = {
        {"close box", [](Frmbm* w) { w->close(); }},
        {"exit", [](Frmbm* w) { w->CmdExit_Click(); }},
        {"exit of the positions", [](Frmbm* w) { w->Cmdexit2_Click(); }},
        {"delete again", [](Frmbm* w) { w->Cmddel_Click(); }},
        {"add button", [](Frmbm* w) { w->Cmdadd->click(); }},
        {"position delete button", [](Frmbm* w) { w->Cmddel2->click(); }},
    };
    const QString booked = QStringLiteral(
        "SELECT 'dfaka', 地址, 卡号 FROM dfaka UNION ALL SELECT 'dtuika', 地址, 卡号 FROM dtuika "
        "UNION ALL SELECT 'department', 0, 部门 FROM department ORDER BY 1, 2, 3");
    holdsItsRuns<Frmbm>(
        booked, "department deletion",
        [&] {
            ui::forms::unloadAll();
            for (const char* table : {"dfaka", "dtuika", "department"})
                exec(QStringLiteral("DELETE FROM ") + QLatin1String(table));
            line.remove(3);
            line.remove(5);
            addDepartment("销售部");
            issue(3, "00000001", 1001, "销售部");
            issue(5, "00000002", 1002, "销售部");
            controller(3).inject(sim::Fault::late(0x0D, 300));
            controller(5).inject(sim::Fault::noAnswer(0x0D, 0));
            scripted.queueAnswer(ui::mb::Yes);   // the people go too
            Frmbm* w = load();
            select(w, "销售部");
            return w;
        },
        [](Frmbm* w) { w->Cmddel_Click(); }, "ClearName", 1, clicks, [](Frmbm* w) { w->CmdExit_Click(); });
    // Stopped at the silent controller: the first return is booked, the
    // department stays.
    EXPECT_EQ(rows(booked), (QList<QVariantList>{{"department", 0, "销售部"},
                                                 {"dfaka", 5, "00000002"},
                                                 {"dtuika", 3, "00000001"}}));
}
