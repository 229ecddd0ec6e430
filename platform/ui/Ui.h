#pragma once
// The one door through which code reaches the operator and the clock:
// message boxes, file dialogs, event pumping, sleeps and the current time.
// Windows and the library never call QMessageBox, QThread::msleep or
// QDateTime::currentDateTime directly, so tests can script all of it
// (see ScriptedUi).
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <cstdint>

class QWidget;

namespace ui {

// Message box style bits and answers, as the windows pass them.
namespace mb {
enum : int {
    OKOnly = 0,
    OKCancel = 1,
    AbortRetryIgnore = 2,
    YesNoCancel = 3,
    YesNo = 4,
    RetryCancel = 5,
    Critical = 16,
    Question = 32,
    Exclamation = 48,
    Information = 64,
    DefaultButton1 = 0,
    DefaultButton2 = 256,
    DefaultButton3 = 512,
};
enum Answer : int { OK = 1, Cancel = 2, Abort = 3, Retry = 4, Ignore = 5, Yes = 6, No = 7 };
} // namespace mb

struct FileDialogRequest {
    QString title;
    QString directory;
    QString fileName;
    QString filter;   // Qt filter syntax, e.g. "Excel (*.xlsx)"
    bool save = false;
};

class Services {
public:
    virtual ~Services() = default;
    // Shows a message box; returns one of mb::Answer.
    virtual int messageBox(const QString& text, int style, const QString& title) = 0;
    // A file dialog; empty text when cancelled.
    virtual QString fileDialog(const FileDialogRequest& req) = 0;
    // Lets pending window events run (no-op without an application object).
    virtual void doEvents() = 0;
    // Blocks the caller for ms milliseconds (no events run).
    virtual void sleepMs(int ms) = 0;
    // A pause of ms milliseconds during which window events keep running. By
    // default short sleeps with the events run between them.
    virtual void waitWithEvents(int ms);
    // Lets window events run until the descriptor has input (or hangs up) or
    // ms pass. False when these services cannot wait that way: the caller then
    // waits on its own.
    virtual bool waitReadableWithEvents(int fd, int ms)
    {
        (void)fd;
        (void)ms;
        return false;
    }
    // The local date and time.
    virtual QDateTime now() = 0;
    // Milliseconds on a clock that never jumps back.
    virtual int64_t monotonicMs() = 0;
    // Ends the program at once with the given code.
    virtual void endProgram(int code) = 0;
    // Opens a file or folder with the desktop's program for its type; false
    // when the desktop has none or it cannot be started.
    virtual bool openWithDesktop(const QString& path) = 0;
    // The desktop's warning beep.
    virtual void beep();
};

// The services in force (the real desktop ones unless a test installed others).
Services& services();
// Installs other services (nullptr restores the real ones). Not owned.
void setServices(Services* s);

// Shortcuts used everywhere.
int msgBox(const QString& text, int style = mb::OKOnly, const QString& title = QString());
void doEvents();
void sleepMs(int ms);
void waitWithEvents(int ms);
bool waitReadableWithEvents(int fd, int ms);
QDateTime now();
int64_t monotonicMs();
void endProgram(int code = 0);
void beep();

// How many waits that let window events run (doEvents, waitWithEvents,
// waitReadableWithEvents) are under way: more than the count a handler
// started at means events brought it in during someone's wait.
int waitDepth();
// Counts as one such wait for its lifetime (for waits made without the
// functions above).
class WaitScope {
public:
    WaitScope();
    ~WaitScope();
    WaitScope(const WaitScope&) = delete;
    WaitScope& operator=(const WaitScope&) = delete;
};

// Qt's own Chinese texts for standard buttons and dialogs (确定, 取消, ...),
// whatever the desktop's language: the programs speak Chinese throughout.
// False when the translations are not installed.
bool installQtTranslations();

// The title a message box gets when the caller names none (set once by each program).
void setDefaultTitle(const QString& title);
QString defaultTitle();

// The real desktop services.
class DesktopServices : public Services {
public:
    int messageBox(const QString& text, int style, const QString& title) override;
    QString fileDialog(const FileDialogRequest& req) override;
    void doEvents() override;
    void sleepMs(int ms) override;
    void waitWithEvents(int ms) override;
    bool waitReadableWithEvents(int fd, int ms) override;
    QDateTime now() override;
    int64_t monotonicMs() override;
    void endProgram(int code) override;
    bool openWithDesktop(const QString& path) override;
};

} // namespace ui
