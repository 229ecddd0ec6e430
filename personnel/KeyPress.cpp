#include "KeyPress.h"

#include <QAbstractSpinBox>
#include <QComboBox>
#include <QEvent>
#include <QKeyEvent>
#include <QWidget>

namespace personnel {

namespace {

// The character code of a key press; 0 for keys that type no character.
int keyAsciiOf(const QKeyEvent* e)
{
    switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: return kEnter;
    case Qt::Key_Backspace: return kBackspace;
    default: break;
    }
    const QString t = e->text();
    if (t.size() != 1 || t.at(0).unicode() < 32 || t.at(0).unicode() == 127)
        return 0;
    return t.at(0).unicode();
}

class KeyPressFilter : public QObject {
public:
    KeyPressFilter(QObject* parent, KeyPressHandler h) : QObject(parent), handler_(std::move(h)) {}

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress)
            return QObject::eventFilter(watched, event);
        int key = keyAsciiOf(static_cast<QKeyEvent*>(event));
        if (key == 0)
            return false;
        handler_(key);
        return key == 0;
    }

private:
    KeyPressHandler handler_;
};

// A combo or spin box and its inner line edit are one control.
QWidget* ownerOf(QWidget* w)
{
    for (QWidget* p = w->parentWidget(); p; p = p->parentWidget())
        if (qobject_cast<QComboBox*>(p) || qobject_cast<QAbstractSpinBox*>(p))
            return p;
    return w;
}

} // namespace

void onKeyPress(QWidget* control, KeyPressHandler handler)
{
    // Combo and spin boxes take the focus themselves and hand the keys to
    // their inner line edit directly, so the box is where keys are seen.
    control->installEventFilter(new KeyPressFilter(control, std::move(handler)));
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

} // namespace personnel
