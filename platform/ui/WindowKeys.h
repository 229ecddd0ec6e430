#pragma once
// Keys that every window of the programs treats alike:
// - Enter on a button that has the focus presses it, as Space does (Qt does
//   so only inside dialogs). A button whose own key rule takes Enter keeps it.
// - Tab and Shift+Tab leave a grid or a list for the window's next or
//   previous control, as the list boxes and grids of the windows always did
//   (a table view keeps Tab inside itself, from cell to cell, for ever). The
//   arrows, Page Up/Down, Home and End still move within it.
// Both hold for every button and view of the window, also one added after it
// is shown, and in the dialogs it opens.
class QWidget;

namespace ui {

void windowKeys(QWidget* window);

} // namespace ui
