#pragma once
// What the benchmark programs share: a headless run without a display, and
// message boxes closed at once (and recorded) so that an unattended run
// cannot hang on one.
#include <QApplication>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace bench {

// Before the application object: offscreen when there is no display.
inline void headlessWhenNoDisplay()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")
        && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

// "--runs N" of the command line (at least 1), or fallback without it; -1
// after printing the usage for anything else.
inline int runsArgument(const QStringList& args, int fallback, const char* program)
{
    int runs = fallback;
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--runs") && i + 1 < args.size()) {
            runs = std::max(1, args[++i].toInt());
        } else {
            std::fprintf(stderr, "usage: %s [--runs N]\n", program);
            return -1;
        }
    }
    return runs;
}

using Clock = std::chrono::steady_clock;
inline double since(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

inline double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
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
