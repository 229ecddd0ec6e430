#include "ScriptedUi.h"

#include <chrono>

namespace ui {

ScriptedUi::ScriptedUi()
    : now_(QDateTime(QDate(2026, 1, 5), QTime(9, 0, 0)))
{
    previous_ = &services();
    setServices(this);
}

ScriptedUi::~ScriptedUi() { setServices(previous_ == this ? nullptr : previous_); }

void ScriptedUi::advanceMs(int64_t ms)
{
    mono_ += ms;
    now_ = now_.addMSecs(ms);
}

int ScriptedUi::messageBox(const QString& text, int style, const QString& title)
{
    messages.append({text, style, title});
    if (!answers_.isEmpty())
        return answers_.takeFirst();
    switch (style & 0x7) {
    case mb::OKCancel: return (style & mb::DefaultButton2) ? mb::Cancel : mb::OK;
    case mb::AbortRetryIgnore: return mb::Abort;
    case mb::YesNoCancel:
    case mb::YesNo: return (style & mb::DefaultButton2) ? mb::No : mb::Yes;
    case mb::RetryCancel: return mb::Retry;
    default: return mb::OK;
    }
}

QString ScriptedUi::fileDialog(const FileDialogRequest& req)
{
    fileDialogs.append(req);
    return files_.isEmpty() ? QString() : files_.takeFirst();
}

void ScriptedUi::doEvents()
{
    ++doEventsCalls;
    if (onDoEvents)
        onDoEvents();
    if (runEvents)
        DesktopServices().doEvents();
}

void ScriptedUi::sleepMs(int ms)
{
    if (onSleep)
        onSleep(ms);
    if (realClock_) {
        DesktopServices().sleepMs(ms);
        return;
    }
    if (ms > 0)
        advanceMs(ms);
}

QDateTime ScriptedUi::now() { return realClock_ ? QDateTime::currentDateTime() : now_; }

int64_t ScriptedUi::monotonicMs()
{
    if (realClock_) {
        using namespace std::chrono;
        return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    }
    return mono_;
}

void ScriptedUi::endProgram(int code)
{
    ++endCalls;
    lastEndCode = code;
}

bool ScriptedUi::openWithDesktop(const QString& path)
{
    opened.append(path);
    return desktopOpens;
}

} // namespace ui
