// The key rules of every window's boxes held side by side: what a digit box
// takes, and that Backspace edits every box that has a rule. The real keys
// run on a virtual X display (see CMakeLists.txt); this folder holds the
// display's harness.
#include "WindowBench.h"

#include "FrmConfirmPWD.h"
#include "FrmEtD.h"
#include "FrmFK.h"
#include "FrmInit.h"
#include "Frmbm.h"
#include "Frmdoors.h"
#include "Frmspecial.h"
#include "Frmxg.h"
#include "LoginWindow.h"
#include "RealKeys.h"
#include "frmsys.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QCoreApplication>
#include <QFrame>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTest>

#include <functional>
#include <memory>

namespace {

class KeyRulesTest : public WindowBench {
protected:
    void TearDown() override
    {
        login_.reset();
        WindowBench::TearDown();
    }

    // A box with a key rule, in its loaded (and, on a display, shown) window.
    struct RuledBox {
        const char* name;
        std::function<QWidget*()> box;
    };

    template <class W>
    static W* shown(bool onDisplay)
    {
        W* w = ui::forms::load<W>();
        if (onDisplay)
            showActive(w);
        return w;
    }
    static void showActive(QWidget* w)
    {
        w->show();
        w->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(w));
    }
    QWidget* loginBox(bool onDisplay, bool password)
    {
        login_ = std::make_unique<login>();
        if (onDisplay)
            showActive(login_.get());
        return password ? login_->tpasswd : login_->Tuser;
    }

    static QString textOf(QWidget* box)
    {
        if (auto* c = qobject_cast<QComboBox*>(box))
            return c->currentText();
        return static_cast<QLineEdit*>(box)->text();
    }
    static void setTextAtEnd(QWidget* box, const QString& text)
    {
        QLineEdit* edit = qobject_cast<QLineEdit*>(box);
        if (auto* c = qobject_cast<QComboBox*>(box)) {
            c->setEditText(text);
            edit = c->lineEdit();
        } else {
            edit->setText(text);
        }
        edit->setCursorPosition(int(text.size()));
    }
    // Each character as the keyboard types it, then as an input method
    // commits it.
    static void type(QWidget* box, const QString& text)
    {
        for (QChar c : text) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
            QCoreApplication::sendEvent(box, &press);
        }
    }
    static void commit(QWidget* box, const QString& text)
    {
        QInputMethodEvent e;
        e.setCommitString(text);
        QCoreApplication::sendEvent(box, &e);
    }

    std::unique_ptr<login> login_;
};

// Every digit box takes ASCII digits only: letters, signs and full-width
// digits are refused alike, typed or composed.
TEST_F(KeyRulesTest, EveryDigitBoxRefusesFullWidthDigitsLikeLetters)
{
    const RuledBox boxes[] = {
        {"frmsys.Tport", [] { return shown<frmsys>(false)->Tport; }},
        {"frmsys.tdz", [] { return shown<frmsys>(false)->tdz; }},
        {"Frmdoors.Cdoor", [] { return shown<Frmdoors>(false)->Cdoor; }},
        {"Frmdoors.second2", [] { return shown<Frmdoors>(false)->second2[1]; }},
        {"Frmdoors.TxtSecond3", [] { return shown<Frmdoors>(false)->TxtSecond3; }},
        {"FrmFK.tcard", [] { return shown<FrmFK>(false)->tcard; }},
        {"FrmFK.Cdk", [] { return shown<FrmFK>(false)->Cdk; }},
        {"Frmxg.Tkh", [] { return shown<Frmxg>(false)->Tkh; }},
    };
    for (const RuledBox& b : boxes) {
        SCOPED_TRACE(b.name);
        QWidget* box = b.box();
        setTextAtEnd(box, QString());
        type(box, QStringLiteral("1a\uFF12-+e3"));
        EXPECT_EQ(textOf(box), "13");
        setTextAtEnd(box, QString());
        commit(box, QStringLiteral("4\uFF15\uFF16x7"));
        EXPECT_EQ(textOf(box), "47");
        ui::forms::unloadAll();
    }
}

// The time-group boxes hold what the picker chose: nothing typed, composed
// or pasted reaches them, so nothing else can reach a controller as a mask.
TEST_F(KeyRulesTest, TimeGroupBoxesTakeNoTypingOrPaste)
{
    const RuledBox boxes[] = {
        {"FrmFK.TxtTime0", [] { return shown<FrmFK>(false)->TxtTime[0]; }},
        {"FrmFK.TxtTime1", [] { return shown<FrmFK>(false)->TxtTime[1]; }},
        {"FrmEtD.TxtTime0", [] { return shown<FrmEtD>(false)->TxtTime[0]; }},
        {"FrmEtD.TxtTime1", [] { return shown<FrmEtD>(false)->TxtTime[1]; }},
    };
    QGuiApplication::clipboard()->setText(QStringLiteral("9999999999x';--"));
    for (const RuledBox& b : boxes) {
        SCOPED_TRACE(b.name);
        QWidget* box = b.box();
        setTextAtEnd(box, QStringLiteral("000000000000000"));
        type(box, QStringLiteral("1x"));
        EXPECT_FALSE(box->testAttribute(Qt::WA_InputMethodEnabled));   // no input method composes into it
        QTest::keySequence(box, QKeySequence::Paste);
        QTest::keyClick(box, Qt::Key_Backspace);
        EXPECT_EQ(textOf(box), "000000000000000");
        ui::forms::unloadAll();
    }
}

// Backspace edits every box that has a key rule, as the display sends it.
// Not here: the list-only address boxes that take no typing at all, and the
// sex and birthday boxes of the employee window, where Backspace steps back.
TEST_F(KeyRulesTest, BackspaceEditsEveryRuledBoxOnARealDisplay)
{
    REQUIRE_REAL_DISPLAY();
    const RuledBox boxes[] = {
        {"frmsys.Tport", [] { return shown<frmsys>(true)->Tport; }},
        {"frmsys.tdz",
         [] {
             frmsys* w = shown<frmsys>(true);
             w->cmdTest_Click();
             return w->tdz;
         }},
        {"Frmdoors.Cdoor", [] { return shown<Frmdoors>(true)->Cdoor; }},
        {"Frmdoors.second2", [] { return shown<Frmdoors>(true)->second2[0]; }},
        {"Frmdoors.TxtSecond3", [] { return shown<Frmdoors>(true)->TxtSecond3; }},
        {"FrmFK.tcard", [] { return shown<FrmFK>(true)->tcard; }},
        {"FrmFK.Cdk", [] { return shown<FrmFK>(true)->Cdk; }},
        {"Frmxg.Tkh", [] { return shown<Frmxg>(true)->Tkh; }},
        {"Frmxg.Tid", [] { return shown<Frmxg>(true)->Tid; }},
        {"Frmxg.Txm", [] { return shown<Frmxg>(true)->Txm; }},
        {"Frmxg.Cbm", [] { return shown<Frmxg>(true)->Cbm; }},
        {"Frmbm.Tbm", [] { return shown<Frmbm>(true)->Tbm; }},
        {"Frmspecial.Tuser", [] { return shown<Frmspecial>(true)->Tuser; }},
        {"Frmspecial.tpasswd", [] { return shown<Frmspecial>(true)->tpasswd; }},
        {"FrmConfirmPWD.tPWD", [] { return shown<FrmConfirmPWD>(true)->tPWD; }},
        {"FrmConfirmPWD.tComPWD", [] { return shown<FrmConfirmPWD>(true)->tComPWD; }},
        {"FrmInit.Text1", [] { return shown<FrmInit>(true)->Text1; }},
        {"login.Tuser", [this] { return loginBox(true, false); }},
        {"login.tpasswd", [this] { return loginBox(true, true); }},
    };
    for (const RuledBox& b : boxes) {
        SCOPED_TRACE(b.name);
        QWidget* box = b.box();
        ASSERT_NE(box, nullptr);
        box->setFocus();
        ASSERT_TRUE(QTest::qWaitFor([&] { return box->hasFocus() || box->isAncestorOf(QApplication::focusWidget()); }));
        QTest::qWait(20);   // a box that selects its text on entry has done so
        setTextAtEnd(box, QStringLiteral("12"));
        ASSERT_TRUE(pressRealKey("BackSpace"));
        EXPECT_TRUE(QTest::qWaitFor([&] { return textOf(box) == QLatin1String("1"); }, 2000))
            << textOf(box).toStdString();
        ui::forms::unloadAll();
        login_.reset();
    }
}

} // namespace
