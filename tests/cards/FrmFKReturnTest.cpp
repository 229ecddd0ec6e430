// Returning cards and passwords from the card window.
#include "WindowBench.h"

#include "AppForms.h"
#include "FrmFK.h"
#include "FrmFKZL.h"
#include "FrmGatherData.h"
#include "Globals.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>


class FrmFKReturnTest : public WindowBench {
protected:
    QStringList events;   // advice windows opened, and what they saw

    void SetUp() override
    {
        WindowBench::SetUp();
        addPerson(QStringLiteral("00000001"), QStringLiteral("张三"), QStringLiteral("工程部"));
        addPerson(QStringLiteral("00000002"), QStringLiteral("李四"), QStringLiteral("工程部"));
        addDoor(3, QStringLiteral("前门"));
        addDoor(5, QStringLiteral("大门"));
    }
    void TearDown() override
    {
        ui::forms::setModalHandler({});
        realAdviceWindows();
        WindowBench::TearDown();
    }
    // Other tests of the program put stand-ins in their place.
    static void realAdviceWindows()
    {
        appforms::registerWindow(QStringLiteral("FrmGatherData"), &appforms::openForm<FrmGatherData>);
        appforms::registerWindow(QStringLiteral("FrmFKZL"), &appforms::openForm<FrmFKZL>);
    }

    void issued(int address, const QString& employee, const QString& name, const QString& physical, bool password)
    {
        exec(QStringLiteral("INSERT INTO dfaka (地址, 卡号, 物理卡号, 姓名, 部门, 锁1允许, 周标志, 截止日期, 锁1时间段标志, "
                            "锁2时间段标志, 发卡日期, 密码标志) VALUES (?, ?, ?, ?, '工程部', 1, '0000000', '261231', "
                            "'0000000000000001', '0000000000000001', '2026-12-01', ?)"),
             {address, employee, physical, name, password ? 1 : 0});
        controller(address).storeCard(sim::CardRecord{physical.toUInt(), employee.toUInt(nullptr, 16), 0x80});
    }
    FrmFK* pick(const QString& number, const QStringList& locks)
    {
        FrmFK* w = ui::forms::load<FrmFK>();
        w->LstDepart->item(0)->setSelected(true);
        for (int i = 0; i < w->LstEmpInfo->count(); ++i)
            if (w->LstEmpInfo->item(i)->text().startsWith(number))
                w->LstEmpInfo->item(i)->setSelected(true);
        w->DoorAddr->clearSelection();
        for (int i = 0; i < w->DoorAddr->count(); ++i)
            if (locks.contains(w->DoorAddr->item(i)->text()))
                w->DoorAddr->item(i)->setSelected(true);
        return w;
    }
    QStringList log(const FrmFK* w) const
    {
        QStringList out;
        for (const QString& line : w->Lst_info->lines())
            out << line.mid(8);   // without the time of day
        return out;
    }
    QList<QVariantList> returned()
    {
        return rows(QStringLiteral("SELECT 地址, 卡号, 物理卡号, 姓名, 部门, 退卡日期 FROM dtuika ORDER BY 地址, 物理卡号"));
    }
    int heldRows(const QString& physical)
    {
        return value(QStringLiteral("SELECT COUNT(*) FROM dfaka WHERE 物理卡号=?"), {physical}).toInt();
    }
};

TEST_F(FrmFKReturnTest, ReturnsACardFromTwoAddresses)
{
    issued(3, "00000001", "张三", "0000000042", false);
    issued(5, "00000001", "张三", "0000000042", false);
    FrmFK* w = pick("00000001", {"3[1前门]", "5[1大门]"});
    ASSERT_EQ(w->tcard->text(), QStringLiteral("0000000042"));
    w->Cmddel_Click();

    EXPECT_EQ(traceText().filter(QStringLiteral("ClearName")),
              (QStringList{"ClearName(3, 0000000042)", "ClearName(5, 0000000042)"}));
    EXPECT_FALSE(controller(3).findCard(42).has_value());
    EXPECT_FALSE(controller(5).findCard(42).has_value());
    EXPECT_EQ(returned(), (QList<QVariantList>{{3, "00000001", "0000000042", "张三", "工程部", "2026-12-08 09:30:00"},
                                               {5, "00000001", "0000000042", "张三", "工程部", "2026-12-08 09:30:00"}}));
    EXPECT_EQ(heldRows("0000000042"), 0);
    EXPECT_EQ(log(w), (QStringList{" 卡号:00000001  类型：0000000042  机器号：3  退卡成功",
                                   " 卡号:00000001  类型：0000000042  机器号：5  退卡成功"}));
    EXPECT_TRUE(w->TxtCardID->text().isEmpty());
    EXPECT_EQ(mdl::PortReady, 0);
    EXPECT_TRUE(w->Cmddel->isEnabled());
}

TEST_F(FrmFKReturnTest, RefusedReturnKeepsTheRow)
{
    issued(3, "00000001", "张三", "0000000042", false);
    issued(5, "00000001", "张三", "0000000042", false);
    controller(5).deleteCard(42);   // 5 no longer holds it: it refuses the deletion
    FrmFK* w = pick("00000001", {"3[1前门]", "5[1大门]"});
    w->Cmddel_Click();

    EXPECT_EQ(callsOf(QStringLiteral("ClearName")).size(), 3);
    EXPECT_EQ(log(w), (QStringList{" 卡号:00000001  类型：0000000042  机器号：3  退卡成功",
                                   " 卡号:00000001  类型：0000000042  机器号：5  退卡失败",
                                   " 卡号:00000001  类型：0000000042  机器号：5  正在重试",
                                   " 卡号:00000001  类型：0000000042  机器号：5  退卡失败"}));
    EXPECT_EQ(returned().size(), 1);
    EXPECT_EQ(rows(QStringLiteral("SELECT 地址 FROM dfaka WHERE 物理卡号='0000000042'")), (QList<QVariantList>{{5}}));
}

TEST_F(FrmFKReturnTest, PasswordReturnLooksThePasswordUp)
{
    issued(3, "00000001", "张三", "0000000042", false);
    issued(3, "00000001", "张三", "0000135790", true);
    exec(QStringLiteral("UPDATE dfaka SET 密码标志=-1 WHERE 密码标志=1"));   // True as older data holds it
    // A card elsewhere whose number reads like that password names someone else.
    issued(1, "00000002", "李四", "0000135790", false);
    FrmFK* w = pick("00000001", {"3[1前门]"});
    ASSERT_TRUE(w->ChkPWD->isChecked());
    w->tcard->clear();   // the password alone
    w->Cmddel_Click();

    EXPECT_EQ(traceText().filter(QStringLiteral("ClearName")), QStringList{"ClearName(3, 0000135790)"});
    EXPECT_EQ(returned(), (QList<QVariantList>{{3, "00000001", "0000135790", "张三", "工程部", "2026-12-08 09:30:00"}}));
    EXPECT_EQ(heldRows("0000135790"), 1);
    EXPECT_EQ(heldRows("0000000042"), 1);
    // The password never shows in clear.
    EXPECT_EQ(log(w), QStringList{" 卡号:00000001  类型：**********  机器号：3  退卡成功"});
}

TEST_F(FrmFKReturnTest, SharedCardIsBookedUnderItsHolderAtEachAddress)
{
    const struct {
        const char* shown;   // the employee picked in the window
        QStringList locks;
        QList<QVariantList> booked;   // 地址, 卡号, 姓名
        QStringList log;
    } cases[] = {
        {"00000001", {"3[1前门]"}, {{3, "00000001", "张三"}}, {" 卡号:00000001  类型：0000000042  机器号：3  退卡成功"}},
        {"00000001", {"5[1大门]"}, {{5, "00000002", "李四"}}, {" 卡号:00000002  类型：0000000042  机器号：5  退卡成功"}},
        {"00000002", {"3[1前门]", "5[1大门]"},
         {{3, "00000001", "张三"}, {5, "00000002", "李四"}},
         {" 卡号:00000001  类型：0000000042  机器号：3  退卡成功", " 卡号:00000002  类型：0000000042  机器号：5  退卡成功"}},
    };
    for (const auto& c : cases) {
        exec(QStringLiteral("DELETE FROM dfaka"));
        exec(QStringLiteral("DELETE FROM dtuika"));
        issued(3, "00000001", "张三", "0000000042", false);
        issued(5, "00000002", "李四", "0000000042", false);
        FrmFK* w = pick(QString::fromLatin1(c.shown), c.locks);
        w->Lst_info->clear();
        w->Cmddel_Click();
        QList<QVariantList> booked;
        for (const QVariantList& r : returned())
            booked << QVariantList{r[0], r[1], r[3]};
        EXPECT_EQ(booked, c.booked) << c.shown << " at " << c.locks.join(' ').toStdString();
        EXPECT_EQ(log(w), c.log) << c.shown;
        EXPECT_EQ(heldRows("0000000042"), 2 - int(c.booked.size())) << c.shown;
        ui::forms::unload<FrmFK>();
    }
}

TEST_F(FrmFKReturnTest, ChecksBeforeReturning)
{
    issued(3, "00000001", "张三", "0000000042", false);
    FrmFK* w = pick("00000001", {"3[1前门]"});
    const struct {
        QString employee, card;
        bool pwd;
        QString hidden;
        bool lock;
        QString status;
    } cases[] = {
        {"", "0000000042", false, "", true, "请选择或输入卡号"},
        {"00000001", "", false, "", true, "没有物理卡或者密码可退！"},
        {"00000001", "000000042", false, "", true, "请按“读卡”按扭读入卡号"},
        {"00000001", "00000000A2", false, "", true, "卡号应为10位整数，如“0000000001”"},
        {"00000001", "", true, "", true, "没有密码可退或者密码有误！"},
        {"00000001", "0000000043", false, "", true, "找不到该卡号对应的门号"},
        {"00000001", "", true, "999999", true, "找不到该密码"},
        {"00000001", "0000000042", false, "", false, "请选择从哪个门删除"},
    };
    for (const auto& c : cases) {
        w->TxtCardID->setText(c.employee);
        w->tcard->setText(c.card);
        w->ChkPWD->setChecked(c.pwd);
        w->TextHidPWD->setText(c.hidden);
        w->DoorAddr->clearSelection();
        if (c.lock)
            w->DoorAddr->item(0)->setSelected(true);
        w->Cmddel_Click();
        EXPECT_EQ(w->status(), c.status);
        EXPECT_TRUE(w->Cmddel->isEnabled());
    }
    EXPECT_TRUE(callsOf(QStringLiteral("ClearName")).isEmpty());
    EXPECT_EQ(heldRows("0000000042"), 1);
}

TEST_F(FrmFKReturnTest, AdviceAtOneHundredOpensCollectionAndResendAfterBooking)
{
    sim::Controller& c = controller(3);
    auto withdraw99 = [&c] {
        for (uint32_t k = 0; k < 99; ++k) {
            c.storeCard(sim::CardRecord{5000 + k, 0x99, 0x80});
            c.deleteCard(5000 + k);
        }
    };
    withdraw99();
    issued(3, "00000001", "张三", "0000000042", false);
    issued(3, "00000002", "李四", "0000000077", false);
    realAdviceWindows();
    FrmFK* w = nullptr;
    ui::forms::setModalHandler([this, &c, &w](ui::Form& f) {
        if (auto* g = qobject_cast<FrmGatherData*>(&f)) {
            events << QStringLiteral("FrmGatherData") + (heldRows("0000000042") ? " sees 42" : "") +
                          (QApplication::overrideCursor() ? " under an hourglass" : "") +
                          (w->Lst_info->count() ? " after the log line" : "");
            g->cdexit_Click();
        } else if (auto* z = qobject_cast<FrmFKZL*>(&f)) {
            events << QStringLiteral("FrmFKZL") + (returned().isEmpty() ? " before the booking" : "");
            z->Combo1->setCurrentIndex(z->Combo1->findText(QStringLiteral("3")));
            z->CmdReset_Click();
            events << QString::number(c.cardSlots().size()) + QStringLiteral(" slots");
            z->Command2_Click();
        }
    });
    w = pick("00000001", {"3[1前门]"});
    w->Cmddel_Click();

    EXPECT_EQ(messageTexts().value(0), QStringLiteral("退卡条数超过了100条，请先采集数据，再对3号机器进行重整！"));
    EXPECT_EQ(log(w), QStringList{" 卡号:00000001  类型：0000000042  机器号：3  退卡成功"});
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(scripted.messages.first().title, QStringLiteral("提示"));
    EXPECT_EQ(scripted.messages.first().style, ui::mb::OKCancel | ui::mb::Information);
    EXPECT_EQ(events, (QStringList{"FrmGatherData", "FrmFKZL", "1 slots"}));
    EXPECT_FALSE(c.findCard(42).has_value());   // the re-send did not bring it back
    EXPECT_TRUE(c.findCard(77).has_value());
    EXPECT_EQ(returned().size(), 1);

    // Cancel goes on without the windows.
    events.clear();
    scripted.clearMessages();
    issued(3, "00000001", "张三", "0000000043", false);
    withdraw99();   // the re-send erased the count
    w = pick("00000001", {"3[1前门]"});
    scripted.queueAnswer(ui::mb::Cancel);
    w->Cmddel_Click();
    EXPECT_EQ(messageTexts().size(), 1);
    EXPECT_TRUE(events.isEmpty());
    EXPECT_EQ(returned().size(), 2);
}
