#pragma once
// Enter on a button that has the focus presses it, as Space does, in every
// window (Qt does so only inside dialogs). A button whose own key rule takes
// Enter keeps it.
class QWidget;

namespace ui {

void enterPressesButtons(QWidget* window);

} // namespace ui
