#pragma once
// Services for tests: message boxes are recorded and answered from a queue,
// file dialogs answered from a queue, sleeps are instant and advance a fake
// clock, the program end is recorded instead of happening.
#include "Ui.h"

#include <QList>
#include <functional>

namespace ui {

struct ShownMessage {
    QString text;
    int style = 0;
    QString title;
};

class ScriptedUi : public Services {
public:
    // Installs itself for its lifetime.
    ScriptedUi();
    ~ScriptedUi() override;

    // Answers given to the next message boxes in order; when the queue is
    // empty a box is answered with its default button (OK, Yes, Abort, Retry).
    void queueAnswer(int answer) { answers_.append(answer); }
    void queueFile(const QString& path) { files_.append(path); }

    QList<ShownMessage> messages;       // every message box shown, in order
    QList<FileDialogRequest> fileDialogs;
    QStringList opened;                 // paths given to openWithDesktop
    bool desktopOpens = true;           // whether the desktop has a program for them
    int endCalls = 0;
    int lastEndCode = -1;
    int doEventsCalls = 0;
    int beeps = 0;

    // Fake clock: starts at the given local time; sleeps advance it.
    void setNow(const QDateTime& t) { now_ = t; }
    void advanceMs(int64_t ms);
    // Real clock instead of the fake one (for tests that talk to real devices).
    void useRealClock(bool real) { realClock_ = real; }
    // Called on every doEvents (lets a test act "while a command waits").
    std::function<void()> onDoEvents;
    // doEvents also runs the pending window events, as in the program.
    bool runEvents = false;
    // Called on every sleep, with its length, before the clock advances.
    std::function<void(int)> onSleep;

    QString lastMessage() const { return messages.isEmpty() ? QString() : messages.last().text; }
    void clearMessages() { messages.clear(); }

    int messageBox(const QString& text, int style, const QString& title) override;
    QString fileDialog(const FileDialogRequest& req) override;
    void doEvents() override;
    void sleepMs(int ms) override;
    QDateTime now() override;
    int64_t monotonicMs() override;
    void endProgram(int code) override;
    bool openWithDesktop(const QString& path) override;
    void beep() override { ++beeps; }

private:
    QList<int> answers_;
    QStringList files_;
    QDateTime now_;
    int64_t mono_ = 1'000'000;
    bool realClock_ = false;
    Services* previous_ = nullptr;
};

} // namespace ui
