#include "WindowKeys.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QPushButton>

namespace ui {

namespace {
const char kMark[] = "ui.windowKeys";

// An auto-default button takes Enter in its own key handling, after any key
// rule of its own has had the key.
void setKeys(QWidget* w)
{
    if (auto* b = qobject_cast<QPushButton*>(w))
        b->setAutoDefault(true);
    else if (auto* v = qobject_cast<QAbstractItemView*>(w))
        v->setTabKeyNavigation(false);
}

void setKeysWithin(QWidget* w)
{
    setKeys(w);
    for (QWidget* c : w->findChildren<QWidget*>())
        setKeys(c);
}

bool inMarkedWindow(const QWidget* w)
{
    for (; w; w = w->parentWidget())
        if (w->property(kMark).toBool())
            return true;
    return false;
}

// Watches the whole application, so that a button or view is set when it is
// polished (before it is first shown) or moved under a marked window: one
// added to a window already shown, or in a dialog opened from it later, is
// not missed.
class Keys : public QObject {
public:
    using QObject::QObject;

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const QEvent::Type t = event->type();
        if ((t == QEvent::Polish || t == QEvent::ParentChange) && watched->isWidgetType()) {
            auto* w = static_cast<QWidget*>(watched);
            if (!inMarkedWindow(w))
                return false;
            if (t == QEvent::ParentChange)   // a part built elsewhere, moved in whole
                setKeysWithin(w);
            else
                setKeys(w);
        }
        return false;
    }
};
} // namespace

void windowKeys(QWidget* window)
{
    static QPointer<Keys> keys;   // gone with the application that owned it
    if (!keys) {
        keys = new Keys(qApp);
        qApp->installEventFilter(keys);
    }
    window->setProperty(kMark, true);
    setKeysWithin(window);
}

} // namespace ui
