// Operators and their rights: adding, modifying, saving rights by column
// position, deleting, and the logged-in operator's own row and flags.
#include "WindowBench.h"

#include "FrmRigS.h"
#include "Globals.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

class FrmRigSTest : public WindowBench {
protected:
    // r0..r24 of one operator as 25 characters "0"/"1".
    QString rights(const QString& name)
    {
        QString out;
        const QVariantList row = rows("SELECT * FROM user WHERE sysname=?", {name}).value(0);
        for (int i = 4; i < 29 && i < row.size(); ++i)
            out += row[i].toInt() ? u'1' : u'0';
        return out;
    }
    QStringList listed(FrmRigS* w)
    {
        QStringList out;
        for (int i = 0; i < w->List1->count(); ++i)
            out << w->List1->item(i)->text();
        return out;
    }
    void addUser(const QString& name, bool setting, bool manage)
    {
        exec("INSERT INTO user (sysname, syspword, usersetting, usermanage) VALUES (?, 'p', ?, ?)",
             {name, setting, manage});
    }
};

TEST_F(FrmRigSTest, AddListsLastWithNoRightsAndModifyRebuildsInOrder)
{
    addUser("zed", false, false);
    auto* w = ui::forms::load<FrmRigS>();
    EXPECT_EQ(listed(w), (QStringList{"admin", "zed"}));
    for (QCheckBox* c : w->Ch)
        c->setChecked(true);   // the rights tab is not what Add saves
    w->Text1->setText("  bob ");
    w->Text2->setText(" pw ");
    w->Che1->setChecked(true);
    w->Command6_Click();
    EXPECT_TRUE(scripted.messages.isEmpty());
    EXPECT_EQ(listed(w), (QStringList{"admin", "zed", "bob"}));
    EXPECT_EQ(rows("SELECT sysname, syspword, usersetting, usermanage FROM user WHERE sysname='bob'"),
              (QList<QVariantList>{{"bob", "pw", 1, 0}}));
    EXPECT_EQ(rights("bob"), QString(25, u'0'));

    w->Command6_Click();
    EXPECT_EQ(scripted.lastMessage(), "该用户已经存在！");

    w->Text1->setText("BOB");   // the lookup ignores letter case
    EXPECT_EQ(w->Text2->text(), "pw");
    EXPECT_FALSE(w->Ch[0]->isChecked());
    w->Text2->setText("new");
    w->Command4_Click();
    EXPECT_EQ(scripted.lastMessage(), "修改成功！");
    EXPECT_EQ(listed(w), (QStringList{"admin", "BOB", "zed"}));   // stored as typed
    EXPECT_EQ(value("SELECT syspword FROM user WHERE sysname='bob'").toString(), "new");

    w->Text1->setText("nobody");
    w->Command4_Click();
    EXPECT_EQ(scripted.lastMessage(), "请先添加该用户！");
    EXPECT_EQ(w->Text2->text(), "");
}

TEST_F(FrmRigSTest, SavesRightsByColumnPosition)
{
    addUser("bob", false, false);
    auto* w = ui::forms::load<FrmRigS>();
    w->List1->setCurrentRow(1);
    w->List1_Click();
    ASSERT_EQ(w->Text1->text(), "bob");
    for (int i : {0, 7, 15, 24})
        w->Ch[i]->setChecked(true);
    w->Command1_Click();
    EXPECT_EQ(scripted.lastMessage(), "保存完毕！");
    EXPECT_EQ(rights("bob"), "1000000100000001000000001");
    EXPECT_EQ(value("SELECT syspword FROM user WHERE sysname='bob'").toString(), "p");

    w->Command3_Click();   // 全选
    EXPECT_EQ(w->Command3->text(), "全消");
    w->Command1_Click();
    EXPECT_EQ(rights("bob"), QString(25, u'1'));
    w->Text1->setText("");
    w->Command1_Click();
    EXPECT_EQ(scripted.lastMessage(), "请先添加或选择用户！");
}

TEST_F(FrmRigSTest, NeverDeletesTheOwnRowInAnyLetterCase)
{
    addUser("bob", true, true);
    auto* w = ui::forms::load<FrmRigS>();
    for (const QString typed : {"admin", "ADMIN", " Admin "}) {
        SCOPED_TRACE(typed.toStdString());
        scripted.clearMessages();
        w->Text1->setText(typed);
        w->Command7_Click();
        EXPECT_EQ(scripted.lastMessage(), "系统拒绝该项服务！");
        EXPECT_EQ(value("SELECT COUNT(*) FROM user WHERE sysname='admin'").toInt(), 1);
    }
    w->Text1->setText("Bob");
    EXPECT_TRUE(w->Che1->isChecked());
    w->Command7_Click();
    EXPECT_EQ(value("SELECT COUNT(*) FROM user WHERE sysname='bob'").toInt(), 0);
    EXPECT_EQ(listed(w), (QStringList{"admin"}));
    EXPECT_EQ(w->Text1->text(), "");
    EXPECT_EQ(w->Text2->text(), "");
    EXPECT_FALSE(w->Che1->isChecked());
}

TEST_F(FrmRigSTest, OwnFlagsDecideTheButtons)
{
    struct Case {
        bool setting, manage;
    };
    for (const Case c : {Case{false, true}, Case{true, false}}) {
        exec("DELETE FROM user WHERE sysname='op'");
        addUser("op", c.setting, c.manage);
        mdl::CurrentUser = "op";
        auto* w = ui::forms::load<FrmRigS>();
        for (QPushButton* b : {w->Command6, w->Command4, w->Command7})
            EXPECT_EQ(b->isEnabled(), c.setting);
        EXPECT_EQ(w->Command1->isEnabled(), c.manage);
        ui::forms::unload<FrmRigS>();
    }
}
