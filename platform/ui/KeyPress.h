#pragma once
// Key presses as the windows' key rules see them. A handler gets the
// character typed into its control, or Backspace (8), Enter (13) or Esc (27),
// as a code it may change: 0 drops the key, another code types that instead.
// Delete, the arrows, Home, End, Tab, function keys and shortcuts never reach
// a handler and keep their usual meaning in the control. Text composed by an
// input method passes the handler one character at a time.
//
//     ui::onKeyPress(Tport, [this](int& k) { Tport_KeyPress(k); });
//
// Pasted or dropped text never passes a handler: every value a rule limits
// is checked again where it is used.
#include <functional>

class QKeyEvent;
class QWidget;

namespace ui {

inline constexpr int kBackspace = 8;
inline constexpr int kEnter = 13;
inline constexpr int kEscape = 27;

using KeyPressHandler = std::function<void(int& keyAscii)>;

// Routes the key presses of control to handler. A combo or spin box is one
// control with its inner line edit.
void onKeyPress(QWidget* control, KeyPressHandler handler);

// The code a handler sees for a key event; 0 for a key it never sees.
int keyAsciiOf(const QKeyEvent& e);

// Moves the focus from control to the next (or previous) control of its
// window that takes the Tab key, as a Tab (Shift+Tab) stroke would.
void sendTab(QWidget* control, bool back = false);

// The usual rule for Enter: dropped, and the focus moves on from control.
// True when the key was Enter.
bool enterMovesOn(QWidget* control, int& keyAscii);

} // namespace ui
