// The card window through its handlers, on simulated controllers.
#include "WindowBench.h"

#include "AppForms.h"
#include "FrmConfirmPWD.h"
#include "FrmFK.h"
#include "FrmSelectTime.h"
#include "Globals.h"
#include "ToolTable.h"
#include "cardreader/SimulatedReader.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateEdit>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>

namespace {
const QString kAll = QStringLiteral("所有部门");
}


class FrmFKTest : public WindowBench {
protected:
    void SetUp() override
    {
        WindowBench::SetUp();
        FrmSelectTime::ReadError = 0;
        mdl::CardIssuer = 1;
    }
    void TearDown() override
    {
        ui::forms::setModalHandler({});
        WindowBench::TearDown();
    }

    FrmFK* open() { return ui::forms::load<FrmFK>(); }

    static void select(QListWidget* list, const QString& text, bool on = true)
    {
        for (int i = 0; i < list->count(); ++i)
            if (list->item(i)->text() == text) {
                list->item(i)->setSelected(on);
                return;
            }
        ADD_FAILURE() << "no item " << text.toStdString();
    }
    static QStringList items(const QListWidget* list)
    {
        QStringList out;
        for (int i = 0; i < list->count(); ++i)
            out << list->item(i)->text();
        return out;
    }
    // Lists every employee and picks the one whose item starts with number.
    void pick(FrmFK* w, const QString& number)
    {
        if (!w->LstDepart->item(0)->isSelected())
            w->LstDepart->item(0)->setSelected(true);
        for (int i = 0; i < w->LstEmpInfo->count(); ++i)
            if (w->LstEmpInfo->item(i)->text().startsWith(number)) {
                w->LstEmpInfo->item(i)->setSelected(true);
                return;
            }
        ADD_FAILURE() << "no employee " << number.toStdString();
    }
    void addIssued(int address, const QString& employee, const QString& physical, bool password,
                   const QString& name = QStringLiteral("张三"), const QString& dept = QStringLiteral("工程部"))
    {
        exec(QStringLiteral("INSERT INTO dfaka (地址, 卡号, 物理卡号, 姓名, 部门, 锁1允许, 锁2允许, 周标志, 截止日期, "
                            "锁1时间段标志, 锁2时间段标志, 发卡日期, 密码标志) VALUES (?, ?, ?, ?, ?, 1, 1, '0000000', '261231', "
                            "'0000000000000001', '0000000000000001', '2026-12-01', ?)"),
             {address, employee, physical, name, dept, password ? 1 : 0});
    }
    // The operator types the password twice in the password dialog.
    void answerPassword(const QString& pwd)
    {
        ui::forms::setModalHandler([pwd](ui::Form& f) {
            if (auto* d = qobject_cast<FrmConfirmPWD*>(&f)) {
                d->tPWD->setText(pwd);
                d->tComPWD->setText(pwd);
                d->CmdSend_Click();
            }
        });
    }
    QStringList sent() const
    {
        QStringList out;
        for (const TracedCall& c : callsOf(QStringLiteral("CardSendToMachine")))
            out << c.text();
        return out;
    }
};

TEST_F(FrmFKTest, LockListAndSelectedLocks)
{
    addDoor(3, QStringLiteral("前门"), QStringLiteral("后门"));
    addDoor(5, QStringLiteral("大门"));
    addDoor(7, QString(), QString());
    addDoor(12, QString(), QStringLiteral("侧门"));
    FrmFK* w = open();
    EXPECT_EQ(items(w->DoorAddr), (QStringList{"12[2侧门]", "3[1前门]", "3[2后门]", "5[1大门]"}));
    EXPECT_EQ(w->addresses(), (QList<int>{12, 3, 5}));
    EXPECT_EQ(w->Cdk->count(), 3);
    EXPECT_EQ(w->Cdk->currentText(), QString());
    EXPECT_EQ(mdl::CardIssuer, 1);   // filling the box chooses no machine
    EXPECT_EQ(mdl::SelectedLocks, QStringList{QString()});

    const struct {
        QStringList chosen;
        QStringList locks;
    } cases[] = {
        {{"3[1前门]", "3[2后门]"}, {"3,3"}},
        {{"3[2后门]", "5[1大门]"}, {"2,3", "1,5"}},
        {{"3[1前门]", "5[1大门]"}, {"1,3", "1,5"}},
        {{"12[2侧门]", "3[1前门]", "3[2后门]", "5[1大门]"}, {"2,12", "3,3", "1,5"}},
    };
    for (const auto& c : cases) {
        w->DoorAddr->clearSelection();
        for (const QString& t : c.chosen)
            select(w->DoorAddr, t);
        EXPECT_EQ(mdl::SelectedLocks, c.locks) << c.chosen.join(' ').toStdString();
    }
    w->DoorAddr->clearSelection();   // nothing chosen: the last choice stays
    EXPECT_EQ(mdl::SelectedLocks, (QStringList{"2,12", "3,3", "1,5"}));
}

TEST_F(FrmFKTest, EmployeeItemsInTheirFourForms)
{
    addDepartment(QStringLiteral("O'Brien组"));
    addDepartment(QStringLiteral("工程部"));
    addPerson(QStringLiteral("00000001"), QStringLiteral("甲"), QStringLiteral("O'Brien组"));
    addPerson(QStringLiteral("00000002"), QStringLiteral("乙"), QStringLiteral("O'Brien组"));
    addPerson(QStringLiteral("00000003"), QStringLiteral("丙"), QStringLiteral("工程部"));
    addPerson(QStringLiteral("00000004"), QStringLiteral("丁"), QStringLiteral("O'Brien组"));
    addIssued(3, QStringLiteral("00000002"), QStringLiteral("0000000111"), false, QStringLiteral("乙"), QStringLiteral("O'Brien组"));
    addIssued(3, QStringLiteral("00000003"), QStringLiteral("0000123456"), true, QStringLiteral("丙"));
    addIssued(3, QStringLiteral("00000004"), QStringLiteral("0000654321"), true, QStringLiteral("丁"), QStringLiteral("O'Brien组"));
    addIssued(5, QStringLiteral("00000004"), QStringLiteral("0000000222"), false, QStringLiteral("丁"), QStringLiteral("O'Brien组"));
    FrmFK* w = open();

    w->opt_select_Click(0);
    EXPECT_EQ(w->status(), QStringLiteral("请选择部门！"));
    select(w->LstDepart, kAll);
    select(w->LstDepart, QStringLiteral("工程部"));   // after "所有部门": nobody twice
    EXPECT_EQ(items(w->LstEmpInfo), (QStringList{"00000002     乙     0000000111", "00000003     丙(*)",
                                                 "00000004     丁(*)     0000000222", "00000001     甲"}));
    EXPECT_EQ(w->status(), QStringLiteral("共有人数：4"));

    w->LstDepart->clearSelection();
    select(w->LstDepart, QStringLiteral("O'Brien组"));
    w->opt_select[1]->setChecked(true);
    w->opt_select_Click(1);
    EXPECT_EQ(items(w->LstEmpInfo), (QStringList{"00000002     乙     0000000111", "00000004     丁(*)     0000000222"}));
    w->opt_select[2]->setChecked(true);
    w->opt_select_Click(2);
    EXPECT_EQ(items(w->LstEmpInfo), (QStringList{"00000001     甲"}));
}

TEST_F(FrmFKTest, SelectingAnEmployeeShowsTheStoredRights)
{
    addDoor(3, QStringLiteral("前门"), QStringLiteral("后门"));
    addDoor(5, QStringLiteral("大门"), QStringLiteral("小门"));
    addPerson(QStringLiteral("00000007"), QStringLiteral("王五"), QStringLiteral("工程部"));
    addPerson(QStringLiteral("00000008"), QStringLiteral("赵六"), QStringLiteral("工程部"));
    for (int a : {3, 5})
        exec(QStringLiteral("INSERT INTO dfaka (地址, 卡号, 物理卡号, 姓名, 部门, 周控制, 锁1允许, 锁2允许, 时间控制, 截止日期控制, "
                            "周标志, 截止日期, 锁1时间段标志, 锁2时间段标志, 密码标志) "
                            "VALUES (?, '00000007', '0000004321', '王五', '工程部', 1, ?, ?, 1, 1, '1111100', '270630', "
                            "'1010000000000000', '0000000000000011', 0)"),
             {a, a == 3 ? 1 : 0, a == 3 ? 0 : 1});
    exec(QStringLiteral("INSERT INTO dfaka (地址, 卡号, 物理卡号, 姓名, 部门, 锁1允许, 锁2允许, 周标志, 截止日期, 密码标志) "
                        "VALUES (3, '00000007', '0000135790', '王五', '工程部', 1, 0, '1111100', '270630', 1)"));
    FrmFK* w = open();
    pick(w, QStringLiteral("00000007"));

    EXPECT_EQ(w->TxtCardID->text(), QStringLiteral("00000007"));
    EXPECT_EQ(w->Tname->text(), QStringLiteral("王五"));
    EXPECT_EQ(w->tcard->text(), QStringLiteral("0000004321"));
    EXPECT_EQ(w->TextHidPWD->text(), QStringLiteral("135790"));
    EXPECT_TRUE(w->ChkPWD->isChecked());
    EXPECT_TRUE(w->CheckWeek->isChecked());
    for (int k = 0; k < 7; ++k) {
        EXPECT_EQ(w->w1Check[k]->isChecked(), k < 5) << k;
        EXPECT_TRUE(w->w1Check[k]->isEnabled());
    }
    EXPECT_TRUE(w->CheckEndDate->isChecked());
    EXPECT_TRUE(w->stopDate->isEnabled());
    EXPECT_EQ(w->stopDate->date(), QDate(2027, 6, 30));   // "27" is 2027
    EXPECT_TRUE(w->ButtonChkTime[0]->isEnabled());
    EXPECT_EQ(w->TxtTime[0]->text(), QStringLiteral("101000000000000"));
    EXPECT_EQ(w->TxtTime[1]->text(), QStringLiteral("000000000000001"));
    EXPECT_EQ(mdl::SelectedLocks, (QStringList{"1,3", "2,5"}));

    // Someone holding nothing clears the rights and the lock choice.
    for (int i = 0; i < w->LstEmpInfo->count(); ++i)
        if (w->LstEmpInfo->item(i)->text().startsWith(QStringLiteral("00000008")))
            w->LstEmpInfo->item(i)->setSelected(true);
    EXPECT_EQ(w->Tname->text(), QStringLiteral("赵六"));
    EXPECT_TRUE(w->tcard->text().isEmpty());
    EXPECT_FALSE(w->CheckWeek->isChecked());
    EXPECT_FALSE(w->w1Check[0]->isEnabled());
    EXPECT_FALSE(w->CheckTime->isChecked());
    EXPECT_FALSE(w->ButtonChkTime[1]->isEnabled());
    EXPECT_EQ(w->TxtTime[0]->text(), QStringLiteral("000000000000000"));
    EXPECT_TRUE(w->DoorAddr->selectedItems().isEmpty());
}

TEST_F(FrmFKTest, IssuesACardToTwoAddresses)
{
    addDepartment(QStringLiteral("O'Brien组"));
    addPerson(QStringLiteral("00000001"), QStringLiteral("张三"), QStringLiteral("O'Brien组"));
    addDoor(3, QStringLiteral("前门"), QStringLiteral("后门"));
    addDoor(5, QStringLiteral("大门"));
    sim::Controller& c3 = controller(3);
    sim::Controller& c5 = controller(5);
    FrmFK* w = open();
    select(w->LstDepart, QStringLiteral("O'Brien组"));
    pick(w, QStringLiteral("00000001"));
    w->tcard->setText(QStringLiteral("1193046"));
    select(w->DoorAddr, QStringLiteral("3[1前门]"));
    select(w->DoorAddr, QStringLiteral("3[2后门]"));
    select(w->DoorAddr, QStringLiteral("5[1大门]"));
    w->CheckWeek->setChecked(true);
    for (int k = 0; k < 5; ++k)
        w->w1Check[k]->setChecked(true);
    w->CheckEndDate->setChecked(true);
    // Stored as "yymmdd": the picker keeps to the years that reads back.
    const std::pair<QDate, QDate> picked[] = {{QDate(1999, 12, 31), QDate(2000, 1, 1)},
                                               {QDate(2100, 1, 1), QDate(2099, 12, 31)}};
    for (const auto& [asked, shown] : picked) {
        w->stopDate->setDate(asked);
        EXPECT_EQ(w->stopDate->date(), shown);
    }
    w->stopDate->setDate(QDate(2027, 6, 30));
    w->CmdSendCard_Click();

    EXPECT_EQ(sent(), (QStringList{
                          "CardSendToMachine(3, 00000001, 0001193046, -1, -1, -1, -1, 0, 1111100, 270630, 0000000000000001, 0000000000000001)",
                          "CardSendToMachine(5, 00000001, 0001193046, -1, 0, -1, -1, 0, 1111100, 270630, 0000000000000001, 0000000000000001)",
                      }));
    EXPECT_EQ(callsOf(QStringLiteral("SetPort")).first().num(0), 1);
    EXPECT_TRUE(c3.findCard(1193046).has_value());
    EXPECT_TRUE(c5.findCard(1193046).has_value());
    EXPECT_EQ(rows(QStringLiteral("SELECT 地址, 卡号, 物理卡号, 姓名, 部门, 周控制, 锁1允许, 锁2允许, 时间控制, 截止日期控制, 周标志, "
                                  "截止日期, 锁1时间段标志, 发卡日期, 密码标志 FROM dfaka ORDER BY 地址")),
              (QList<QVariantList>{
                  {3, "00000001", "0001193046", "张三", "O'Brien组", 1, 1, 1, 0, 1, "1111100", "270630", "0000000000000001", "2026-12-08", 0},
                  {5, "00000001", "0001193046", "张三", "O'Brien组", 1, 1, 0, 0, 1, "1111100", "270630", "0000000000000001", "2026-12-08", 0},
              }));
    EXPECT_EQ(w->Lst_info->lines(), (QStringList{"09:30:00 卡号:00000001  类型：0001193046  机器号：3  发卡成功",
                                               "09:30:00 卡号:00000001  类型：0001193046  机器号：5  发卡成功"}));
    EXPECT_EQ(w->status(), QStringLiteral("共有人数：1"));   // the list was refreshed after " 发卡完成"
    EXPECT_TRUE(w->CmdSendCard->isEnabled());

    // The same card again at 5 is refused before anything is sent.
    clearTrace();
    pick(w, QStringLiteral("00000001"));
    w->DoorAddr->clearSelection();
    select(w->DoorAddr, QStringLiteral("5[1大门]"));
    w->CmdSendCard_Click();
    EXPECT_EQ(w->status(), QStringLiteral("物理卡号已被用过，请重新设置！"));
    EXPECT_TRUE(sent().isEmpty());
}

TEST_F(FrmFKTest, ChecksBeforeIssuing)
{
    addPerson(QStringLiteral("00000001"), QStringLiteral("张三"), QStringLiteral("工程部"));
    addPerson(QStringLiteral("00000002"), QStringLiteral("李四"), QStringLiteral("工程部"));
    addDoor(3, QStringLiteral("前门"));
    controller(3);
    // Someone else holds the card stored padded; and 00000002 holds a card at 3.
    addIssued(3, QStringLiteral("00000009"), QStringLiteral("0001193046"), false);
    addIssued(3, QStringLiteral("00000002"), QStringLiteral("0000000555"), false);
    FrmFK* w = open();
    const struct {
        QString employee, name, card;
        bool lock;
        QString status;
    } cases[] = {
        {"00000001", "", "1193046", true, "姓名不能为空白"},
        {"", "张三", "1193046", true, "工号不能为空白"},
        {"0000000A", "张三", "1193046", true, "工号中不能有非数字的字符"},
        {"   ", "张三", "1193046", true, "工号中不能有非数字的字符"},
        {"4294967296", "张三", "1193046", true, "工号不可大于4294967295"},
        {"00000001", "张三", "1193046", false, "请选择门锁地址"},
        {"00000001", "张三", "", true, "请输入物理卡号或者选中密码！"},
        {"00000001", "张三", "1193046", true, "物理卡号已被用过，请重新设置！"},
        {"00000002", "李四", "777", true, "此员工已在该机器上发卡!"},
        // Pasted: never cut to another card, padded from blanks or sent as is.
        {"00000001", "张三", "12345678901", true, "卡号应为10位整数，如“0000000001”"},
        {"00000001", "张三", "   ", true, "卡号应为10位整数，如“0000000001”"},
        {"00000001", "张三", "12a45", true, "卡号应为10位整数，如“0000000001”"},
        {"00000001", "张三", "-1", true, "卡号应为10位整数，如“0000000001”"},
        // Pasted employee numbers that read as numbers are still no employee number.
        {"5.5", "张三", "1193046", true, "工号中不能有非数字的字符"},
        {"1e1", "张三", "1193046", true, "工号中不能有非数字的字符"},
        {"-1", "张三", "1193046", true, "工号中不能有非数字的字符"},
        {"&H10", "张三", "1193046", true, "工号中不能有非数字的字符"},
        {"\uFF11", "张三", "1193046", true, "工号中不能有非数字的字符"},   // a full-width 1
        // Ten digits beyond four bytes: refused here, not by the library.
        {"00000001", "张三", "4294967296", true, "物理卡号不可大于4294967295"},
        {"00000001", "张三", "9999999999", true, "物理卡号不可大于4294967295"},
    };
    for (const auto& c : cases) {
        w->DoorAddr->clearSelection();
        if (c.lock)
            select(w->DoorAddr, QStringLiteral("3[1前门]"));
        w->TxtCardID->setText(c.employee);
        w->Tname->setText(c.name);
        w->tcard->setText(c.card);
        w->CmdSendCard_Click();
        EXPECT_EQ(w->status(), c.status) << c.status.toStdString();
    }
    EXPECT_TRUE(sent().isEmpty());
    EXPECT_TRUE(scripted.messages.isEmpty());
    EXPECT_EQ(value(QStringLiteral("SELECT COUNT(*) FROM dfaka")).toInt(), 2);

    // Ten digits within four bytes go through.
    w->DoorAddr->clearSelection();
    select(w->DoorAddr, QStringLiteral("3[1前门]"));
    w->TxtCardID->setText(QStringLiteral("00000001"));
    w->Tname->setText(QStringLiteral("张三"));
    w->tcard->setText(QStringLiteral("4294967294"));
    w->CmdSendCard_Click();
    EXPECT_EQ(sent().size(), 1);
    EXPECT_TRUE(scripted.messages.isEmpty());
    EXPECT_EQ(value(QStringLiteral("SELECT COUNT(*) FROM dfaka WHERE 物理卡号='4294967294'")).toInt(), 1);
}

TEST_F(FrmFKTest, SilentControllerIsRetriedOnceAndGetsNoRow)
{
    addPerson(QStringLiteral("00000001"), QStringLiteral("张三"), QStringLiteral("工程部"));
    addDoor(3, QStringLiteral("前门"));
    addDoor(5, QStringLiteral("大门"));
    controller(3).inject(sim::Fault::noAnswer(0x03, 2));
    controller(5);
    FrmFK* w = open();
    pick(w, QStringLiteral("00000001"));
    w->tcard->setText(QStringLiteral("0000000042"));
    select(w->DoorAddr, QStringLiteral("3[1前门]"));
    select(w->DoorAddr, QStringLiteral("5[1大门]"));
    w->CmdSendCard_Click();
    const QString line = QStringLiteral(" 卡号:00000001  类型：0000000042  机器号：3");
    QStringList lines;
    for (const QString& l : w->Lst_info->lines())
        lines << l.mid(8);   // the clock moves on while the library waits
    EXPECT_EQ(lines, (QStringList{line + "  发卡失败", line + "  发卡重发", line + "  发卡失败"}));
    // A card refused twice is not tried at later addresses.
    EXPECT_EQ(sent().size(), 2);
    EXPECT_EQ(w->Lst_info->count(), 3);
    EXPECT_EQ(value(QStringLiteral("SELECT COUNT(*) FROM dfaka")).toInt(), 0);
    EXPECT_TRUE(w->tcard->text().isEmpty());
}

TEST_F(FrmFKTest, PasswordIsIssuedAndNeverLogged)
{
    addPerson(QStringLiteral("00000001"), QStringLiteral("张三"), QStringLiteral("工程部"));
    addDoor(3, QStringLiteral("前门"), QStringLiteral("后门"));
    sim::Controller& c = controller(3);
    FrmFK* w = open();
    pick(w, QStringLiteral("00000001"));
    w->ChkPWD->setChecked(true);
    select(w->DoorAddr, QStringLiteral("3[2后门]"));
    answerPassword(QStringLiteral("246810"));
    w->CmdSendCard_Click();

    EXPECT_EQ(ui::forms::modalShows(), QStringList{"FrmConfirmPWD"});
    EXPECT_EQ(sent(), QStringList{"CardSendToMachine(3, 00000001, 0000246810, 0, -1, 0, 0, 0, 0000000, 261208, "
                                  "0000000000000001, 0000000000000001)"});
    EXPECT_TRUE(c.findCard(246810).has_value());
    EXPECT_EQ(rows(QStringLiteral("SELECT 物理卡号, 密码标志, 锁2允许 FROM dfaka")),
              (QList<QVariantList>{{"0000246810", 1, 1}}));
    EXPECT_EQ(w->Lst_info->lines(), QStringList{"09:30:00 卡号:00000001  类型：密码  机器号：3  发卡成功"});
    for (const QString& t : w->Lst_info->lines() + QStringList{w->status()} + messageTexts())
        EXPECT_FALSE(t.contains(QStringLiteral("246810"))) << t.toStdString();

    // Closing the dialog without a password issues nothing.
    clearTrace();
    ui::forms::setModalHandler([](ui::Form& f) { static_cast<FrmConfirmPWD&>(f).CmdClose_Click(); });
    w->CmdSendCard_Click();
    EXPECT_TRUE(sent().isEmpty());
    EXPECT_TRUE(w->CmdSendCard->isEnabled());
}

TEST_F(FrmFKTest, FailedReplaceKeepsTheOldRow)
{
    addPerson(QStringLiteral("00000001"), QStringLiteral("张三"), QStringLiteral("工程部"));
    addDoor(3, QStringLiteral("前门"));
    controller(3);
    addIssued(3, QStringLiteral("00000001"), QStringLiteral("0000111111"), true);
    exec(QStringLiteral("CREATE TRIGGER FrmFKTestNoInsert BEFORE INSERT ON dfaka BEGIN SELECT RAISE(ABORT, 'disk full'); END"));
    FrmFK* w = open();
    pick(w, QStringLiteral("00000001"));
    w->tcard->clear();
    answerPassword(QStringLiteral("222222"));
    w->CmdSendCard_Click();
    EXPECT_EQ(sent().size(), 1);
    EXPECT_TRUE(scripted.lastMessage().startsWith(QStringLiteral("信息提示：3000:"))) << scripted.lastMessage().toStdString();
    EXPECT_EQ(rows(QStringLiteral("SELECT 物理卡号 FROM dfaka")), (QList<QVariantList>{{"0000111111"}}));
    EXPECT_TRUE(w->CmdSendCard->isEnabled());
}

TEST_F(FrmFKTest, OtherCredentialsRightsApplyAtItsAddressOnly)
{
    addPerson(QStringLiteral("00000001"), QStringLiteral("张三"), QStringLiteral("工程部"));
    addDoor(3, QStringLiteral("前门"));
    addDoor(5, QStringLiteral("大门"));
    controller(3);
    controller(5);
    // The password at 3 allows lock 1 on Mondays only.
    exec(QStringLiteral("INSERT INTO dfaka (地址, 卡号, 物理卡号, 姓名, 部门, 周控制, 锁1允许, 锁2允许, 时间控制, 截止日期控制, "
                        "周标志, 截止日期, 锁1时间段标志, 锁2时间段标志, 密码标志) VALUES (3, '00000001', '0000111111', '张三', "
                        "'工程部', 1, 1, 0, 0, 0, '1000000', '261231', '0000000000000001', '0000000000000001', 1)"));
    FrmFK* w = open();
    pick(w, QStringLiteral("00000001"));
    w->ChkPWD->setChecked(false);
    w->CheckWeek->setChecked(false);
    w->w1Check[0]->setChecked(false);
    w->w1Check[6]->setChecked(true);
    w->tcard->setText(QStringLiteral("0000000042"));
    w->DoorAddr->clearSelection();
    select(w->DoorAddr, QStringLiteral("3[1前门]"));
    select(w->DoorAddr, QStringLiteral("5[1大门]"));
    w->CmdSendCard_Click();
    const QList<TracedCall> calls = callsOf(QStringLiteral("CardSendToMachine"));
    ASSERT_EQ(calls.size(), 2);
    EXPECT_EQ(calls[0].num(5), -1);
    EXPECT_EQ(calls[0].arg(8), QStringLiteral("1000000"));
    EXPECT_EQ(calls[1].num(5), 0);   // the window's rights again at 5
    EXPECT_EQ(calls[1].arg(8), QStringLiteral("0000001"));
}

TEST_F(FrmFKTest, ReadsACardFromAController)
{
    addDoor(3, QStringLiteral("前门"));
    controller(3).presentCard(0x123456);
    FrmFK* w = open();
    w->Cdk->setEditText(QStringLiteral("3"));
    EXPECT_EQ(mdl::CardIssuer, 3);
    w->CmdRearCard_Click();
    EXPECT_EQ(w->tcard->text(), QStringLiteral("0001193046"));
    EXPECT_EQ(w->status(), QStringLiteral("物理卡号：0001193046"));
    EXPECT_EQ(members(), (QStringList{"SetPort", "ReadCardNum"}));

    w->Cdk->setEditText(QStringLiteral("4"));   // nobody answers at 4
    w->CmdRearCard_Click();
    EXPECT_EQ(w->status(), QStringLiteral("读卡不成功！"));
    EXPECT_TRUE(w->tcard->text().isEmpty());
    EXPECT_EQ(mdl::PortReady, 0);

    // An address that is not a whole number reads no controller.
    controller(6).presentCard(0x123456);
    for (const char* address : {"5.5", "abc", "-1"}) {
        clearTrace();
        w->Cdk->setEditText(QString::fromLatin1(address));
        w->CmdRearCard_Click();
        EXPECT_EQ(w->status(), QStringLiteral("读取卡号不成功")) << address;
        EXPECT_EQ(members(), QStringList{"SetPort"}) << address;
    }

    mdl::CardIssuer = 300;
    w->CmdRearCard_Click();
    EXPECT_EQ(w->status(), QStringLiteral("请选择机号"));
}

TEST_F(FrmFKTest, ReadsACardFromTheDesktopReader)
{
    cardreader::SimulatedReader reader;
    FrmFK* w = open();
    w->Cdk->setEditText(QStringLiteral(" 99"));
    EXPECT_EQ(mdl::CardIssuer, 99);

    const struct {
        std::optional<uint32_t> serial;
        bool initFails;
        QString card, status, beep;
    } cases[] = {
        {0xAB123456u, false, "0001193046", "物理卡号：0001193046", "rf_beep(7, 30)"},   // only the low 24 bits count
        {0x00123456u, false, "0001193046", "物理卡号：0001193046", "rf_beep(7, 30)"},
        {std::nullopt, false, "", "读卡失败,请重试!", "rf_beep(7, 10)"},
        {0x123456u, true, "", "发卡机初始化失败", ""},
    };
    for (const auto& c : cases) {
        reader.calls.clear();
        reader.serial = c.serial;
        reader.initFails = c.initFails;
        clearTrace();
        w->tcard->setText(QStringLiteral("x"));
        w->CmdRearCard_Click();
        EXPECT_EQ(w->tcard->text(), c.card);
        EXPECT_EQ(w->status(), c.status);
        EXPECT_EQ(members(), (QStringList{"SetPort", "DestoryPort"}));
        if (c.initFails) {
            EXPECT_EQ(reader.calls, (QStringList{"rf_exit(100)", "rf_init(0, 115200)"}));
        } else {
            EXPECT_EQ(reader.calls, (QStringList{"rf_exit(100)", "rf_init(0, 115200)", "rf_load_key(7, 0, 1, 5C3A9E17B2D4)",
                                                 "rf_load_key(7, 0, 2, 5C3A9E17B2D4)", "rf_load_key(7, 0, 3, 5C3A9E17B2D4)",
                                                 "rf_load_key(7, 0, 4, 5C3A9E17B2D4)", "rf_card(7, 1)", c.beep, "rf_reset(7, 10)",
                                                 "rf_exit(7)"}));
            EXPECT_EQ(reader.openHandle(), -1);
        }
    }
    reader.initFails = false;
    reader.keyFails = true;
    w->CmdRearCard_Click();
    EXPECT_EQ(w->status(), QStringLiteral("发卡机初始化失败"));
    EXPECT_EQ(reader.openHandle(), -1);   // released after the failed key
}

TEST_F(FrmFKTest, CommunicationTestListsEachAddress)
{
    addDoor(1, QStringLiteral("一号门"));
    addDoor(2, QStringLiteral("二号门"));
    addDoor(3, QStringLiteral("三号门"));
    controller(1);
    controller(2);
    FrmFK* w = open();
    w->cmdTest_Click();
    EXPECT_EQ(w->status(), QStringLiteral("请选择门锁地址进行测试！"));
    for (const char* t : {"1[1一号门]", "2[1二号门]", "3[1三号门]"})
        select(w->DoorAddr, t);
    w->cmdTest_Click();
    EXPECT_EQ(w->status(), QStringLiteral("测试机器，成功：  1  2，失败：  3"));
    const QList<TracedCall> set = callsOf(QStringLiteral("ModifyDateTime"));
    ASSERT_EQ(set.size(), 3);
    EXPECT_EQ(set[0].text(), QStringLiteral("ModifyDateTime(1, 261208, 093000, 2)"));   // a Tuesday
    EXPECT_EQ(controller(1).clock().date(), QDate(2026, 12, 8));
    EXPECT_TRUE(w->cmdTest->isEnabled());

    // A port box holding no whole number opens no port ("1.5" is not port 2).
    for (const char* port : {"1.5", "2.0", "abc", "-1"}) {
        clearTrace();
        w->ComPort->setEditText(QString::fromLatin1(port));
        w->cmdTest_Click();
        EXPECT_EQ(w->status(), QStringLiteral("串口打开失败！")) << port;
        EXPECT_TRUE(trace().isEmpty()) << port;
    }
}

TEST_F(FrmFKTest, TimeGroupButtonsExchangeWithThePicker)
{
    addDoor(3, QStringLiteral("前门"), QStringLiteral("后门"));
    sim::Controller& c = controller(3);
    c.setTimeGroup(0, sim::TimeGroup{0xC8, 0x00, 0x17, 0x30});   // 08:00-17:30, card plus password
    c.setTimeGroup(1, sim::TimeGroup{0x25, 0x00, 0x26, 0x00});   // no time of day
    FrmFK* w = open();
    w->ButtonChkTime_Click(0);
    EXPECT_EQ(scripted.lastMessage(), QStringLiteral("请选择机器地址!"));

    select(w->DoorAddr, QStringLiteral("3[1前门]"));
    select(w->DoorAddr, QStringLiteral("3[2后门]"));
    w->TxtTime[0]->setText(QStringLiteral("100000000000001"));
    QStringList lines;
    bool line15Ticked = false;
    ui::forms::setModalHandler([&](ui::Form& f) {
        auto& p = static_cast<FrmSelectTime&>(f);
        for (int i = 0; i < p.List1->count(); ++i)
            lines << p.List1->item(i)->text();
        line15Ticked = p.ticked(14);
        p.setTicked(1, true);
        p.CmdSave_Click();
    });
    w->ButtonChkTime_Click(0);
    ASSERT_EQ(lines.size(), 15);
    EXPECT_EQ(lines[0], QStringLiteral("08:00-17:30        是"));
    EXPECT_EQ(lines[1], QStringLiteral("00:00-00:00        否"));
    EXPECT_TRUE(line15Ticked);
    EXPECT_EQ(w->TxtTime[0]->text(), QStringLiteral("110000000000001"));
    EXPECT_EQ(mdl::SelectedTimeGroups, QStringLiteral("000000000000000"));
    EXPECT_EQ(FrmSelectTime::ReadError, 0);

    // A silent controller: placeholders, and the error stays for the run.
    c.inject(sim::Fault::noAnswer(0x42, 10));
    ui::forms::setModalHandler([&](ui::Form& f) {
        auto& p = static_cast<FrmSelectTime&>(f);
        lines.clear();
        for (int i = 0; i < p.List1->count(); ++i)
            lines << p.List1->item(i)->text();
        p.CmdClose_Click();
    });
    w->ButtonChkTime_Click(1);
    EXPECT_EQ(scripted.lastMessage(), QStringLiteral("读取时间失败，请检查线路通迅！"));
    EXPECT_EQ(lines.value(0), QStringLiteral("第1个时间段"));
    EXPECT_EQ(FrmSelectTime::ReadError, 1);
    c.clearFaults();
    w->ButtonChkTime_Click(1);
    EXPECT_EQ(lines.value(0), QStringLiteral("08:00-17:30        是"));
    EXPECT_EQ(FrmSelectTime::ReadError, 1);
    EXPECT_EQ(w->TxtTime[1]->text(), QStringLiteral("000000000000000"));
}

TEST_F(FrmFKTest, PickerPlaceholdersSelectAllAndVersionWithoutPasswords)
{
    mdl::MachineVersion = QStringLiteral("JQ8096 V4.1.0");
    addDoor(3, QStringLiteral("前门"));
    addDoor(5, QStringLiteral("大门"));
    controller(3);
    FrmFK* w = open();
    EXPECT_TRUE(w->ChkPWD->isHidden());
    EXPECT_TRUE(w->Label7->isHidden());

    select(w->DoorAddr, QStringLiteral("3[1前门]"));
    select(w->DoorAddr, QStringLiteral("5[1大门]"));
    QString first;
    ui::forms::setModalHandler([&](ui::Form& f) {
        auto& p = static_cast<FrmSelectTime&>(f);
        first = p.List1->item(0)->text();
        p.CmdAll_Click();
        EXPECT_EQ(p.CmdAll->text(), QStringLiteral("全消"));
        p.CmdSave_Click();
    });
    w->ButtonChkTime_Click(0);
    EXPECT_EQ(first, QStringLiteral("第1个时间段"));
    EXPECT_EQ(w->TxtTime[0]->text(), QStringLiteral("111111111111111"));
    EXPECT_TRUE(callsOf(QStringLiteral("GetTimeGroup")).isEmpty());

    w->DoorAddr->clearSelection();
    select(w->DoorAddr, QStringLiteral("3[1前门]"));
    ui::forms::setModalHandler([&](ui::Form& f) {
        auto& p = static_cast<FrmSelectTime&>(f);
        first = p.List1->item(0)->text();
        EXPECT_TRUE(p.Label2->isHidden());
        p.CmdClose_Click();
    });
    w->ButtonChkTime_Click(0);
    EXPECT_EQ(first, QStringLiteral("00:00-00:00"));
    EXPECT_EQ(w->TxtTime[0]->text(), QStringLiteral("111111111111111"));

    // Closed by its title bar: nothing chosen.
    ui::forms::setModalHandler([](ui::Form& f) { f.close(); });
    w->ButtonChkTime_Click(0);
    EXPECT_EQ(w->TxtTime[0]->text(), QStringLiteral("000000000000000"));
}

TEST_F(FrmFKTest, KeysTypedIntoTheMachineAndCardBoxes)
{
    FrmFK* w = open();
    const struct {
        QString cdk;
        int key, kept;
    } cdk[] = {{"12", '3', '3'}, {"123", '4', 0}, {"123", 8, 8}, {"1", 'a', 0}, {"1", 13, 0}};
    for (const auto& c : cdk) {
        w->Cdk->setEditText(c.cdk);
        int key = c.key;
        w->Cdk_KeyPress(key);
        EXPECT_EQ(key, c.kept) << c.cdk.toStdString() << " " << c.key;
    }
    w->Cdk->setEditText(QStringLiteral("99"));
    EXPECT_EQ(mdl::CardIssuer, 99);

    const struct {
        QString card;
        int key, kept;
        QString message;
    } card[] = {{"123456789", '0', '0', ""},
                {"1234567890", '1', 0, ""},   // an eleventh digit
                {"1234567890", 8, 8, ""},
                {"12345", '-', 0, ""},
                {"12345", 13, 13, "卡号长度应为10"},
                {"1234567890", 13, 0, ""}};
    for (const auto& c : card) {
        scripted.clearMessages();
        w->tcard->setText(c.card);
        int key = c.key;
        w->tcard_KeyPress(key);
        EXPECT_EQ(key, c.kept) << c.card.toStdString() << " " << c.key;
        EXPECT_EQ(scripted.lastMessage(), c.message);
    }
}

TEST_F(FrmFKTest, PasswordDialogRefusals)
{
    addIssued(3, QStringLiteral("00000001"), QStringLiteral("0000123456"), true);
    addIssued(3, QStringLiteral("00000002"), QStringLiteral("0000654321"), false);   // a card: no obstacle
    addIssued(5, QStringLiteral("00000003"), QStringLiteral("0000246810"), true);
    exec(QStringLiteral("UPDATE dfaka SET 密码标志=-1 WHERE 物理卡号='0000246810'"));   // True as older data holds it
    const struct {
        QString pwd, confirm, message, result;
    } cases[] = {
        {"", "123", "请输入密码！", ""},
        {"123", "", "请输入确认密码！", ""},
        {"12345", "12345", "密码必须为六位的数字，不足六位的在前面自动补零！", ""},
        {"12.456", "12.456", "密码必须为六位的数字，不足六位的在前面自动补零！", ""},
        {"12a456", "12a456", "密码必须为六位的数字，不足六位的在前面自动补零！", ""},
        {"111111", "222222", "两次输入的密码，必须保持一致！", ""},
        {"123456", "123456", "此密码已用，请重设密码！", ""},
        {"246810", "246810", "此密码已用，请重设密码！", ""},
        {"654321", "654321", "", "0000654321"},
    };
    for (const auto& c : cases) {
        scripted.clearMessages();
        mdl::ConfirmedPassword = QStringLiteral("0000999999");
        auto* d = ui::forms::load<FrmConfirmPWD>();
        EXPECT_TRUE(mdl::ConfirmedPassword.isEmpty());
        d->tPWD->setText(c.pwd);
        d->tComPWD->setText(c.confirm);
        d->CmdSend_Click();
        EXPECT_EQ(scripted.lastMessage(), c.message);
        EXPECT_EQ(mdl::ConfirmedPassword, c.result);
        if (c.message == QStringLiteral("此密码已用，请重设密码！")) {
            EXPECT_EQ(scripted.messages.last().title, QStringLiteral("提示"));
            EXPECT_TRUE(d->tPWD->text().isEmpty());
            EXPECT_TRUE(d->tComPWD->text().isEmpty());
        }
        ui::forms::unload<FrmConfirmPWD>();
    }
}

TEST_F(FrmFKTest, PasswordDialogEnterMovesOnToSend)
{
    auto* d = ui::forms::load<FrmConfirmPWD>();
    d->show();
    d->tPWD->setFocus();
    for (QWidget* next : {static_cast<QWidget*>(d->tComPWD), static_cast<QWidget*>(d->CmdSend)}) {
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, "\r");
        QCoreApplication::sendEvent(d->focusWidget(), &enter);
        EXPECT_EQ(d->focusWidget(), next);
    }
    EXPECT_TRUE(scripted.messages.isEmpty());
}

TEST_F(FrmFKTest, ToolSeventeenOpensTheCardWindow)
{
    EXPECT_EQ(tools::dispatchOf(17).windowClass, QStringLiteral("FrmFK"));
    EXPECT_EQ(tools::rightOfTool(17), 12);
    EXPECT_TRUE(appforms::exists(QStringLiteral("FrmFK")));
    ui::forms::setModalHandler([](ui::Form& f) { EXPECT_EQ(f.windowTitle(), QStringLiteral("发卡退卡     ")); });
    appforms::open(QStringLiteral("FrmFK"));
    EXPECT_EQ(ui::forms::modalShows(), QStringList{"FrmFK"});
}
