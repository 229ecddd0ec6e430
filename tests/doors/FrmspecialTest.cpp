// Forced unlock: the super-user check and the unlock window.
#include "WindowBench.h"

#include "AppForms.h"
#include "Frmspe.h"
#include "Frmspecial.h"
#include "Globals.h"
#include "RealKeys.h"
#include "ToolTable.h"

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <functional>

namespace {

class FrmspecialTest : public WindowBench {
protected:
    void SetUp() override
    {
        WindowBench::SetUp();
        exec("INSERT INTO [user] (sysname, syspword, r24) VALUES ('boss', 'pw''1', 1), ('clerk', 'pw', 0)");
    }
};

TEST_F(FrmspecialTest, OnlyASuperUserWithTheRightPasswordGetsThrough)
{
    const struct {
        const char* name;
        const char* password;
        bool passes;
    } cases[] = {
        {"clerk", "pw", false},           // no right to unlock
        {"boss", "pw", false},            // wrong password
        {"boss", "' or ''='", false},     // a quote is only a character
        {"' or ''='", "' or ''='", false},
        {" boss ", " pw'1 ", true},       // blanks around are ignored
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        scripted.clearMessages();
        Frmspecial* w = ui::forms::load<Frmspecial>();
        w->Tuser->setText(c.name);
        w->tpasswd->setText(c.password);
        w->Cok_Click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(ui::forms::isLoaded<Frmspecial>(), !c.passes);
        EXPECT_EQ(ui::forms::isLoaded<Frmspe>(), c.passes);
        if (!c.passes) {
            EXPECT_EQ(scripted.lastMessage(), "用户或口令错或不具备该操作的权限");
        }
    }
    EXPECT_TRUE(trace().isEmpty());
}

TEST_F(FrmspecialTest, EnterMovesOnAndDeleteStillDeletes)
{
    auto* w = ui::forms::load<Frmspecial>();
    w->show();
    w->Tuser->setText("boss");
    w->Tuser->setFocus();
    for (QWidget* next : {static_cast<QWidget*>(w->tpasswd), static_cast<QWidget*>(w->Cok)}) {
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, "\r");
        QCoreApplication::sendEvent(w->focusWidget(), &enter);
        EXPECT_EQ(w->focusWidget(), next);
    }
    w->Tuser->setCursorPosition(0);
    QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier, "\x7f");
    QCoreApplication::sendEvent(w->Tuser, &del);
    EXPECT_EQ(w->Tuser->text(), "oss");
    EXPECT_TRUE(scripted.messages.isEmpty());   // no check ran
}

// The operator's way with the keyboard: name, Enter, password, Enter, Enter
// on 确认; then in the unlock window Enter on the focused button. press(key)
// strokes a key at the control that has the focus.
class ForcedUnlockByKeys : public FrmspecialTest {
protected:
    void walk(const std::function<void(const char* key)>& press)
    {
        addDoor(3);
        controller(3).setDelays(60, 60, 0);
        struct Case {
            const char* what;
            const char* name;
            const char* password;
            const char* key;
            QString message;   // after Enter on 确认
            bool through;
        };
        const Case cases[] = {
            {"wrong password", "boss", "pw", "Return", "用户或口令错或不具备该操作的权限", false},
            {"keypad Enter", "boss", "pw", "KP_Enter", "用户或口令错或不具备该操作的权限", false},
            {"super user", "boss", "pw'1", "Return", "", true},
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(c.what);
            scripted.clearMessages();
            auto* w = ui::forms::load<Frmspecial>();
            w->show();
            w->activateWindow();
            ASSERT_TRUE(QTest::qWaitForWindowActive(w));
            w->Tuser->setText(QString::fromLatin1(c.name));
            w->tpasswd->setText(QString::fromLatin1(c.password));
            w->Tuser->setFocus();
            press(c.key);
            press(c.key);
            ASSERT_EQ(w->focusWidget(), w->Cok);
            EXPECT_TRUE(scripted.messages.isEmpty());
            press(c.key);
            EXPECT_EQ(scripted.lastMessage(), c.message);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            EXPECT_EQ(ui::forms::isLoaded<Frmspe>(), c.through);
            if (!c.through) {
                w->Cexit->setFocus();
                press(c.key);
                QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
                EXPECT_FALSE(ui::forms::isLoaded<Frmspecial>());
            }
        }
        Frmspe* w = ui::forms::find<Frmspe>();
        ASSERT_NE(w, nullptr);
        w->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(w));
        w->Cdoor->setCurrentIndex(0);
        w->Option1[0]->setChecked(true);
        w->Copen->setFocus();
        press("Return");
        EXPECT_EQ(scripted.lastMessage(), "1号锁开锁成功！");
        EXPECT_TRUE(controller(3).lockOpen(1));
        w->closeCmd->setFocus();
        press("Return");
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_FALSE(ui::forms::isLoaded<Frmspe>());
    }
};

TEST_F(ForcedUnlockByKeys, EnterPressesTheFocusedButton)
{
    walk([](const char* key) {
        const bool keypad = QLatin1String(key) == QLatin1String("KP_Enter");
        QTest::keyClick(QApplication::focusWidget(), keypad ? Qt::Key_Enter : Qt::Key_Return,
                        keypad ? Qt::KeypadModifier : Qt::NoModifier);
    });
}

// What the display itself sends with Return and the keypad's Enter.
TEST_F(ForcedUnlockByKeys, EnterPressesTheFocusedButtonOnARealDisplay)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        if (qEnvironmentVariableIsSet("REAL_DISPLAY_REQUIRED"))
            FAIL() << "no X display";
        GTEST_SKIP() << "needs an X display";
    }
    walk([](const char* key) {
        ASSERT_TRUE(pressRealKey(key));
        QTest::qWait(50);
    });
}

TEST_F(FrmspecialTest, TheUnlockWindowOutlivesTheToolAndOpensTheLock)
{
    addDoor(3);
    sim::Controller& c = controller(3);
    c.setDelays(60, 60, 0);
    ui::forms::setModalHandler([](ui::Form& f) {
        auto* w = qobject_cast<Frmspecial*>(&f);
        ASSERT_NE(w, nullptr);
        w->Tuser->setText("boss");
        w->tpasswd->setText("pw'1");
        w->Cok_Click();
    });
    appforms::open("Frmspecial");   // the main window's tool
    ui::forms::setModalHandler({});
    Frmspe* w = ui::forms::find<Frmspe>();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->isVisible());
    EXPECT_FALSE(w->closeCmd->isEnabled());

    w->Copen_Click();   // neither lock nor address chosen: the lock comes first
    EXPECT_EQ(scripted.lastMessage(), "请选择锁号！");
    w->Option1[1]->setChecked(true);
    w->Copen_Click();
    EXPECT_EQ(scripted.lastMessage(), "请选择要开的机号！");
    EXPECT_FALSE(c.lockOpen(2));

    w->Cdoor->setCurrentIndex(0);
    clearTrace();
    w->Copen_Click();
    EXPECT_EQ(traceText(), (QStringList{"setport(1)", "OpenLock(3, 2)"}));
    EXPECT_EQ(scripted.lastMessage(), "2号锁开锁成功！");
    EXPECT_TRUE(c.lockOpen(2));
    EXPECT_TRUE(w->closeCmd->isEnabled());

    w->Cdoor->setEditText("4");   // nobody there
    w->Option1[0]->setChecked(true);
    w->Copen_Click();
    EXPECT_EQ(scripted.lastMessage(), "1号锁开锁失败！");

    // Pasted: "2.5" must not open a lock of controller 2 (or 3 for "3.4").
    for (const char* address : {"2.5", "3.4", "abc", "-3"}) {
        clearTrace();
        w->Cdoor->setEditText(QString::fromLatin1(address));
        w->Copen_Click();
        EXPECT_EQ(scripted.lastMessage(), "13:类型不匹配") << address;
        EXPECT_TRUE(callsOf("OpenLock").isEmpty()) << address;
    }

    clearTrace();
    w->closeCmd_Click();
    EXPECT_EQ(members(), QStringList{"DestoryPort"});
}

TEST_F(FrmspecialTest, AddressesInStoredOrderOrNoneToOpen)
{
    Frmspe* w = ui::forms::load<Frmspe>();
    EXPECT_EQ(scripted.lastMessage(), "串口通信端口没有打开");
    EXPECT_EQ(w->Cdoor->count(), 0);
    EXPECT_TRUE(w->closeCmd->isEnabled());
    ui::forms::unload<Frmspe>();

    addDoor(12);
    addDoor(3);
    w = ui::forms::load<Frmspe>();
    QStringList items;
    for (int i = 0; i < w->Cdoor->count(); ++i)
        items << w->Cdoor->itemText(i);
    EXPECT_EQ(items, (QStringList{"12", "3"}));
    EXPECT_EQ(w->Cdoor->currentText(), "");
    EXPECT_FALSE(w->closeCmd->isEnabled());
}

} // namespace

namespace {

TEST_F(FrmspecialTest, EachToolOpensItsWindowUnderItsRight)
{
    const struct {
        int tool;
        const char* window;
        int right;   // -1: no right governs it
    } tools[] = {{6, "Frmspecial", 24}, {8, "Frmdoors", 6}, {21, "FrmssjsN", 17}, {23, "FrmSJCJSZ", -1},
                 {34, "FrmSSXX", 18}};
    for (const auto& t : tools) {
        EXPECT_EQ(tools::dispatchOf(t.tool).windowClass, t.window) << t.tool;
        EXPECT_EQ(tools::rightOfTool(t.tool), t.right) << t.tool;
        EXPECT_TRUE(appforms::exists(t.window)) << t.window;
    }
    EXPECT_TRUE(appforms::exists("FrmSysInf"));   // the about box's hardware button
}

} // namespace
