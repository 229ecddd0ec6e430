#pragma once
// The function windows the main window can open, by class name. A window
// joins by one line in its own source file:
//
//     OSTRELA_WINDOW(Frmbm);      // after the class is defined
//
// and its library is added to the program (see core/app/CMakeLists.txt).
// Opening loads the one instance of the class (ui::forms) and shows it
// modally with no arguments; a window that hid itself comes back with the
// state it had.
#include "ui/Form.h"

#include <QString>
#include <QStringList>
#include <functional>

namespace appforms {

using Opener = std::function<void()>;

// Adds a window class; a second registration of a name replaces the first.
void registerWindow(const QString& windowClass, Opener open);
// Drops a class (tests).
void unregisterWindow(const QString& windowClass);

// True when the program has a window of that class.
bool exists(const QString& windowClass);
// Loads the window when it is not loaded and shows it modally; returns
// when it is hidden or closed. Nothing happens for a class the program
// does not have. Errors of the window's load reach the caller.
void open(const QString& windowClass);
QStringList registeredWindows();

template <class T>
void openForm()
{
    T* w = ui::forms::load<T>();
    w->showModal();
}

template <class T>
struct Registration {
    explicit Registration(const char* windowClass) { registerWindow(QString::fromLatin1(windowClass), &openForm<T>); }
};

} // namespace appforms

#define OSTRELA_WINDOW(Class) static const ::appforms::Registration<Class> ostrelaWindow_##Class(#Class)
