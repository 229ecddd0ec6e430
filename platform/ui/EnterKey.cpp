#include "EnterKey.h"

#include <QEvent>
#include <QPushButton>

namespace ui {

namespace {
// An auto-default button takes Enter in its own key handling, after any key
// rule of its own has had the key; Qt makes buttons so only in dialogs.
class EnterPresses : public QObject {
public:
    using QObject::QObject;

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Polish || event->type() == QEvent::Show)
            for (QPushButton* b : watched->findChildren<QPushButton*>())
                b->setAutoDefault(true);
        return false;
    }
};
} // namespace

void enterPressesButtons(QWidget* window)
{
    window->installEventFilter(new EnterPresses(window));
}

} // namespace ui
