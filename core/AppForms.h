#pragma once
// How the start windows reach the function windows: by class name, through
// the program's window registry (one instance per window class).
#include <QString>

namespace appforms {

// True when the program has a window of that class.
bool exists(const QString& windowClass);
// Loads the window when it is not loaded and shows it modally with no
// arguments; returns when it is hidden or closed. Nothing happens for a
// class the program does not have.
void open(const QString& windowClass);

} // namespace appforms
