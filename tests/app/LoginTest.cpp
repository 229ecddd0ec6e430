// The login: the operator check, the rights on the main window's tools,
// the controller object, and the window's keys and colours.
#include "ActiveBar.h"
#include "AppFixture.h"
#include "LoginWindow.h"
#include "WindowBench.h"
#include "MenuWindow.h"
#include "ToolTable.h"
#include "com/Com.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {

const QString kWrong = QStringLiteral("用户名或口令有错,请重输");

class LoginTest : public AppFixture {
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        if (HasFatalFailure())
            return;
        appforms::registerWindow(QStringLiteral("Frmbm"), [] {});
        appforms::registerWindow(QStringLiteral("FrmFK"), [] {});
        appforms::registerWindow(QStringLiteral("FrmSJCJSZ"), [] {});
    }
    void TearDown() override
    {
        for (const char* c : {"Frmbm", "FrmFK", "FrmSJCJSZ"})
            appforms::unregisterWindow(QString::fromLatin1(c));
        AppFixture::TearDown();
    }

    void registerDoor() { registerVantrelCopy(dir.path()); }

    login* open()
    {
        login* w = ui::forms::load<login>();
        w->showModeless();
        return w;
    }
    void type(login* w, const QString& name, const QString& password)
    {
        w->Tuser->setText(name);
        w->tpasswd->setText(password);
    }
    void addUser(const QString& name, const QString& password, const QList<int>& rights)
    {
        exec("insert into [user] (sysname, syspword) values (?, ?)", {name, password});
        for (int r : rights)
            exec(QStringLiteral("update [user] set r%1=1 where sysname=?").arg(r), {name});
    }
};

TEST_F(LoginTest, BlanksAroundNameAndPasswordAreIgnored)
{
    registerDoor();
    login* w = open();
    type(w, "  admin ", " 1  ");
    w->CmdOk_Click();
    EXPECT_TRUE(scripted.messages.isEmpty());
    EXPECT_EQ(mdl::CurrentUser, "admin");
    EXPECT_FALSE(ui::forms::isLoaded<login>());
    menu* m = ui::forms::find<menu>();
    ASSERT_NE(m, nullptr);
    EXPECT_TRUE(m->isVisible());
    ASSERT_TRUE(mdl::Door);
    EXPECT_EQ(mdl::Door.getProperty("ver").toString(), "V1.2.4 Door 8096 For ZIZeva 2008-08-27");
    EXPECT_EQ(scripted.endCalls, 0);
}

TEST_F(LoginTest, WrongPasswordThenSuccess)
{
    registerDoor();
    login* w = open();
    type(w, "admin", "2");
    w->CmdOk_Click();
    ASSERT_EQ(scripted.messages.size(), 1);
    EXPECT_EQ(scripted.messages[0].text, kWrong);
    EXPECT_EQ(scripted.messages[0].style, ui::mb::OKOnly | ui::mb::Exclamation);
    EXPECT_EQ(scripted.messages[0].title, "门禁系统");
    EXPECT_TRUE(ui::forms::isLoaded<login>());
    EXPECT_EQ(w->Tuser->selectedText(), "admin"); // back in the name with its text selected
    EXPECT_FALSE(ui::forms::isLoaded<menu>());

    w->tpasswd->setText("1");
    w->CmdOk_Click();
    EXPECT_EQ(scripted.messages.size(), 1);
    EXPECT_EQ(mdl::CurrentUser, "admin");
    EXPECT_TRUE(ui::forms::find<menu>()->isVisible());
}

TEST_F(LoginTest, QuotesInNameOrPasswordNeverChangeTheQuery)
{
    login* w = open();
    for (auto [name, pw] : {std::pair<QString, QString>{"admin", "x' or '1'='1"},
                            {"x' or '1'='1", "x' or '1'='1"},
                            {"admin' --", ""},
                            {"admin'", "1"}}) {
        type(w, name, pw);
        w->CmdOk_Click();
        ASSERT_FALSE(scripted.messages.isEmpty());
        EXPECT_EQ(scripted.lastMessage(), kWrong) << name.toStdString();
    }
    EXPECT_EQ(scripted.messages.size(), 4);
    EXPECT_FALSE(ui::forms::isLoaded<menu>());

    // An operator whose name holds a quote is just a name.
    registerDoor();
    addUser("o'brien", "p'w", {3});
    type(w, "o'brien", "p'w");
    w->CmdOk_Click();
    EXPECT_EQ(mdl::CurrentUser, "o'brien");
}

TEST_F(LoginTest, OperatorGetsExactlyTheirToolsPlusUngovernedOnes)
{
    registerDoor();
    addUser("clerk", "pw", {3, 12, 21}); // Frmbm (15), FrmFK (17), Frmque (27)
    login* w = open();
    type(w, "clerk", "pw");
    w->CmdOk_Click();
    menu* m = ui::forms::find<menu>();
    ASSERT_NE(m, nullptr);
    for (int r = 0; r < tools::kRightCount; ++r) {
        const int tool = tools::toolOfRight(r);
        EXPECT_EQ(m->ActiveBar1->Tools(QString::number(tool)).enabled(), r == 3 || r == 12 || r == 21) << "tool " << tool;
    }
    // Ungoverned tools keep their designed state.
    for (int t : {11, 12, 14, 23, 26})
        EXPECT_TRUE(m->ActiveBar1->Tools(QString::number(t)).enabled()) << t;
    EXPECT_FALSE(m->ActiveBar1->Tools("24").enabled());
    // What can be chosen: a right and a window that exists.
    EXPECT_TRUE(m->ActiveBar1->isUsable(15));
    EXPECT_TRUE(m->ActiveBar1->isUsable(17));
    EXPECT_FALSE(m->ActiveBar1->isUsable(27)); // its window is not in the program
    EXPECT_FALSE(m->ActiveBar1->isUsable(10));
    EXPECT_TRUE(m->ActiveBar1->isUsable(23));
    EXPECT_TRUE(m->ActiveBar1->isUsable(14));
}

TEST_F(LoginTest, NullRightCountsAsFalse)
{
    registerDoor();
    addUser("nul", "pw", {});
    exec("update [user] set r3=NULL, r12=1 where sysname='nul'");
    login* w = open();
    type(w, "nul", "pw");
    w->CmdOk_Click();
    menu* m = ui::forms::find<menu>();
    ASSERT_NE(m, nullptr);
    EXPECT_FALSE(m->ActiveBar1->Tools("15").enabled());
    EXPECT_TRUE(m->ActiveBar1->Tools("17").enabled());
}

TEST_F(LoginTest, NoControllerLibraryEndsTheProgramWithTheError)
{
    login* w = open();
    type(w, "admin", "1");
    w->CmdOk_Click();
    ASSERT_EQ(scripted.messages.size(), 1);
    EXPECT_TRUE(scripted.messages[0].text.startsWith("429:")) << scripted.messages[0].text.toStdString();
    EXPECT_EQ(scripted.messages[0].title, "错误提示");
    EXPECT_EQ(scripted.endCalls, 1);
    EXPECT_FALSE(ui::forms::isLoaded<login>());
    ASSERT_TRUE(ui::forms::isLoaded<menu>());
    EXPECT_FALSE(ui::forms::find<menu>()->isVisible()); // never shown without Door
}

TEST_F(LoginTest, FailingMainWindowLoadKeepsTheLoginForAnotherTry)
{
    exec("update system set zhi=NULL where name='命令延时'");
    login* w = open();
    type(w, "admin", "1");
    w->CmdOk_Click();
    ASSERT_EQ(scripted.messages.size(), 1);
    EXPECT_EQ(scripted.messages[0].title, "错误提示");
    EXPECT_TRUE(scripted.messages[0].text.startsWith("94:"));
    EXPECT_TRUE(ui::forms::isLoaded<login>());
    EXPECT_FALSE(ui::forms::isLoaded<menu>());
    EXPECT_EQ(scripted.endCalls, 0);
}

TEST_F(LoginTest, ErrorAfterTheMainWindowLoadedKeepsItHiddenForTheNextTry)
{
    exec("alter table user drop column r24");
    mdl::AdoConnection.close(); // sees the changed table once reopened
    ASSERT_TRUE(Module2::OpenDatabaseConnection());
    login* w = open();
    type(w, "admin", "1");
    w->CmdOk_Click();
    ASSERT_EQ(scripted.messages.size(), 1);
    EXPECT_TRUE(scripted.messages[0].text.startsWith("3265:")) << scripted.messages[0].text.toStdString();
    EXPECT_EQ(scripted.messages[0].title, "错误提示");
    EXPECT_TRUE(ui::forms::isLoaded<login>());
    menu* m = ui::forms::find<menu>();
    ASSERT_NE(m, nullptr);
    EXPECT_FALSE(m->isVisible());
    w->CmdOk_Click();
    EXPECT_EQ(ui::forms::find<menu>(), m); // the same main window, not loaded twice
    EXPECT_EQ(scripted.endCalls, 0);
}

TEST_F(LoginTest, EnterMovesOnOrChecksAndEscOnOkEnds)
{
    login* w = open();
    w->activateWindow();
    w->Tuser->setFocus();
    w->Tuser->setText("nobody");
    QTest::keyClick(w->Tuser, Qt::Key_Escape);
    EXPECT_EQ(scripted.endCalls, 0);
    QTest::keyClick(w->Tuser, Qt::Key_Return);
    EXPECT_TRUE(scripted.messages.isEmpty()); // moved on, no check
    EXPECT_EQ(w->focusWidget(), w->tpasswd);
    QTest::keyClick(w->tpasswd, Qt::Key_Escape);
    EXPECT_EQ(scripted.endCalls, 0);
    QTest::keyClick(w->tpasswd, Qt::Key_Return);
    ASSERT_EQ(scripted.messages.size(), 1);
    EXPECT_EQ(scripted.messages[0].text, kWrong);
    QTest::keyClick(w->CmdOk, Qt::Key_Return);
    EXPECT_EQ(scripted.messages.size(), 2);
    EXPECT_EQ(scripted.endCalls, 0);
    QTest::keyClick(w->CmdOk, Qt::Key_Escape);
    EXPECT_EQ(scripted.endCalls, 1);
    QTest::keyClick(w->CmdExit, Qt::Key_Escape);
    EXPECT_EQ(scripted.endCalls, 1);
    QTest::keyClick(w->CmdExit, Qt::Key_Return);
    EXPECT_EQ(scripted.endCalls, 2);
}

TEST_F(LoginTest, FocusColoursAndCaption)
{
    login* w = open();
    EXPECT_EQ(w->windowTitle(), "门禁管理系统 V3.0    ");
    EXPECT_EQ(w->tpasswd->echoMode(), QLineEdit::Password);
    w->activateWindow();
    w->Tuser->setText("abc");
    w->Tuser->setFocus();
    QCoreApplication::processEvents();
    EXPECT_EQ(w->Tuser->palette().color(QPalette::Base), QColor(192, 255, 192));
    EXPECT_EQ(w->Tuser->selectedText(), "abc");
    EXPECT_EQ(w->tpasswd->palette().color(QPalette::Base), QColor(200, 223, 244));
    w->tpasswd->setFocus();
    QCoreApplication::processEvents();
    EXPECT_EQ(w->Tuser->palette().color(QPalette::Base), QColor(200, 223, 244));
    EXPECT_EQ(w->tpasswd->palette().color(QPalette::Base), QColor(192, 255, 192));
    EXPECT_EQ(w->tpasswd->palette().color(QPalette::Text), QColor(64, 64, 64));
}

TEST_F(LoginTest, ExitButtonAndCloseBoxEndTheProgram)
{
    login* w = open();
    w->CmdExit_Click();
    EXPECT_EQ(scripted.endCalls, 1);
    EXPECT_FALSE(mdl::AdoConnection.isOpen());
    w->close();
    EXPECT_EQ(scripted.endCalls, 2);
}

} // namespace
