#pragma once
// What the benchmark programs share: a headless run without a display, and
// message boxes closed at once (and recorded) so that an unattended run
// cannot hang on one.
#include <QApplication>
#include <QStringList>
#include <QTimer>
#include <QWidget>

namespace bench {

// Before the application object: offscreen when there is no display.
inline void headlessWhenNoDisplay()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")
        && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

// Closes every modal box a few times a second while events run (the
// library runs them while it waits), keeping "title: text" of each.
class BoxCloser {
public:
    QStringList boxes;

    BoxCloser()
    {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (QWidget* w = QApplication::activeModalWidget()) {
                boxes << w->windowTitle() + QStringLiteral(": ") + w->property("text").toString();
                w->close();
            }
        });
        timer_.start(250);
    }

private:
    QTimer timer_;
};

} // namespace bench
