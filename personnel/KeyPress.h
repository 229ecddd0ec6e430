#pragma once
// Key handling shared by the personnel windows: a key press reaches a
// window's handler as a character code it may change (0 discards the key),
// and a handler can move the focus on or back as the Tab key would.
#include <QObject>

#include <functional>

class QWidget;

namespace personnel {

// Character codes the handlers test.
inline constexpr int kEnter = 13;
inline constexpr int kBackspace = 8;

using KeyPressHandler = std::function<void(int& keyAscii)>;

// Routes the character keys typed into control to handler; a key the
// handler sets to 0 never reaches the control.
void onKeyPress(QWidget* control, KeyPressHandler handler);

// Moves the focus from control to the next (or previous) control of its
// window that takes the Tab key.
void sendTab(QWidget* control, bool back = false);

} // namespace personnel
