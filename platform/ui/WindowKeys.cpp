#include "WindowKeys.h"

#include <QAbstractItemView>
#include <QEvent>
#include <QPushButton>

namespace ui {

namespace {
// Set on every button and view the window holds when it is polished and each
// time it is shown, so that none added later is missed.
class Keys : public QObject {
public:
    using QObject::QObject;

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Polish || event->type() == QEvent::Show) {
            // An auto-default button takes Enter in its own key handling,
            // after any key rule of its own has had the key.
            for (QPushButton* b : watched->findChildren<QPushButton*>())
                b->setAutoDefault(true);
            for (QAbstractItemView* v : watched->findChildren<QAbstractItemView*>())
                v->setTabKeyNavigation(false);
        }
        return false;
    }
};
} // namespace

void windowKeys(QWidget* window)
{
    window->installEventFilter(new Keys(window));
}

} // namespace ui
