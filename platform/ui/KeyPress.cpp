#include "KeyPress.h"

#include <QAbstractSpinBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QList>
#include <QPointer>
#include <QWidget>

namespace ui {

namespace {

// The key a typed code stands for, so that a replacement edits as typing would.
Qt::Key keyOf(int code)
{
    switch (code) {
    case kBackspace: return Qt::Key_Backspace;
    case kEnter: return Qt::Key_Return;
    case kEscape: return Qt::Key_Escape;
    default: break;
    }
    if (code >= 'a' && code <= 'z')
        return Qt::Key(code - 'a' + 'A');
    if (code > 32 && code < 127)
        return Qt::Key(code);
    return code == 32 ? Qt::Key_Space : Qt::Key_unknown;
}

QString textOf(int code)
{
    const char32_t c = char32_t(code);
    return QString::fromUcs4(&c, 1);
}

class KeyPressFilter : public QObject {
public:
    KeyPressFilter(QObject* parent, KeyPressHandler h) : QObject(parent), handler_(std::move(h)) {}

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress && !replaying_)
            return keyPress(watched, static_cast<QKeyEvent*>(event));
        if (event->type() == QEvent::InputMethod)
            inputMethod(watched, static_cast<QInputMethodEvent*>(event));
        return QObject::eventFilter(watched, event);
    }

private:
    // True when the key is consumed here (dropped, or replaced by another).
    bool keyPress(QObject* watched, QKeyEvent* e)
    {
        const int typed = keyAsciiOf(*e);
        if (typed == 0)
            return false;
        int key = typed;
        QPointer<QObject> alive(watched);
        handler_(key);
        if (!alive)
            return true;
        if (key == typed)
            return false;
        if (key != 0) {
            QKeyEvent replacement(QEvent::KeyPress, keyOf(key), e->modifiers(), textOf(key));
            replaying_ = true;
            QCoreApplication::sendEvent(watched, &replacement);
            replaying_ = false;
        }
        return true;
    }

    // A composed text is typed character by character.
    void inputMethod(QObject* watched, QInputMethodEvent* e)
    {
        const QString commit = e->commitString();
        if (commit.isEmpty())
            return;
        QPointer<QObject> alive(watched);
        QString kept;
        for (char32_t c : commit.toUcs4()) {
            int key = int(c);
            handler_(key);
            if (!alive)
                return;
            if (key > 0 && key != kBackspace && key != kEnter && key != kEscape)
                kept += textOf(key);
        }
        if (kept != commit)
            e->setCommitString(kept, e->replacementStart(), e->replacementLength());
    }

    KeyPressHandler handler_;
    bool replaying_ = false;
};

// A combo or spin box takes the keys itself and hands them to its inner line
// edit directly, so the box is the control whose keys are seen.
QWidget* ownerOf(QWidget* w)
{
    for (QWidget* p = w->parentWidget(); p; p = p->parentWidget())
        if (qobject_cast<QComboBox*>(p) || qobject_cast<QAbstractSpinBox*>(p))
            return p;
    return w;
}

} // namespace

int keyAsciiOf(const QKeyEvent& e)
{
    // Chords are shortcuts, never typed characters.
    if (e.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return 0;
    switch (e.key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: return kEnter;
    case Qt::Key_Backspace: return kBackspace;
    case Qt::Key_Escape: return kEscape;
    // X11 sends Delete with the character 0x7F; it edits, it types nothing.
    case Qt::Key_Delete:
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return 0;
    default: break;
    }
    const QList<uint> codes = e.text().toUcs4();
    if (codes.isEmpty() || codes[0] < 32 || (codes[0] >= 127 && codes[0] < 160))
        return 0;
    return int(codes[0]);
}

void onKeyPress(QWidget* control, KeyPressHandler handler)
{
    QWidget* owner = ownerOf(control);
    owner->installEventFilter(new KeyPressFilter(owner, std::move(handler)));
}

void sendTab(QWidget* control, bool back)
{
    QWidget* window = control->window();
    QWidget* from = ownerOf(control);
    QList<QWidget*> chain;
    for (QWidget* w = window->nextInFocusChain(); w && w != window; w = w->nextInFocusChain())
        if ((w->focusPolicy() & Qt::TabFocus) && w->isEnabled() && w->isVisibleTo(window))
            chain.append(w);
    const int n = int(chain.size());
    int at = -1;
    for (int i = 0; i < n; ++i)
        if (ownerOf(chain[i]) == from) {
            at = i;
            if (back)
                break;
        }
    if (at < 0)
        return;
    for (int step = 1; step < n; ++step) {
        QWidget* w = chain[(at + (back ? n - step : step)) % n];
        if (ownerOf(w) != from) {
            w->setFocus(back ? Qt::BacktabFocusReason : Qt::TabFocusReason);
            return;
        }
    }
}

bool enterMovesOn(QWidget* control, int& keyAscii)
{
    if (keyAscii != kEnter)
        return false;
    keyAscii = 0;
    sendTab(control);
    return true;
}

} // namespace ui
