#pragma once
// One controller run of a window. While a command waits for its controller
// the library lets window events run, so the operator could close the window
// under the run or start a second command that would interleave with the
// first on the line. While a run lasts:
//   - its window does not close: the close box, an exit button and
//     forms::unload are refused (or, for a window that asks for it, the
//     close is carried out once the run is over); nor does another window
//     whose close events brought in during the run's wait;
//   - every button of the window and the other given controls are disabled,
//     and given back when the run ends, however it ends;
//   - no second run starts in the window, nor one in another window that
//     events brought in during the wait of a run (a window the run opened
//     itself, such as an advice window, runs its own commands meanwhile).
//
// "Brought in during a wait" is told by ui::waitDepth(), which counts the
// waits that run events (the library's, doEvents, waitWithEvents) but not
// modal loops: a guard made while a run's own message box or advice window
// is open counts as opened by that run. That is how the advice window may
// run its commands; it holds for other windows only because a modal box
// blocks their input and no window without modality starts a command from a
// timer. One that did would start its run beside the waiting one unchecked.
//
//     void FrmFK::CmdSendCard_Click()
//     {
//         ui::RunGuard run(this, {ComPort});
//         if (!run)
//             return;   // refused: a run is in progress
//         ...
//     }
#include <QList>
#include <QPointer>
#include <QWidget>

#include <initializer_list>

namespace ui {

class RunGuard {
public:
    enum Option {
        DisableButtons = 1,   // every button of the window, for the run
        CloseAfterRun = 2,    // a close asked for meanwhile happens at the end (polls)
    };

    explicit RunGuard(QWidget* window, std::initializer_list<QWidget*> alsoDisabled = {}, int options = DisableButtons);
    ~RunGuard();
    RunGuard(const RunGuard&) = delete;
    RunGuard& operator=(const RunGuard&) = delete;

    // False when the run was refused: the handler must do nothing.
    explicit operator bool() const { return state_ != Refused; }
    // Gives everything back now; what the window sets afterwards stays.
    void end();
    // A close was asked for during the run (CloseAfterRun): the run may stop early.
    bool closeRequested() const;

private:
    enum State { Refused, Running, Ended };
    State state_ = Refused;
    QPointer<QWidget> window_;
    int depth_ = 0;
    int options_ = 0;
    bool closeAsked_ = false;
    QList<QPointer<QWidget>> disabled_;
    friend bool holdClose(QWidget* window);
    friend bool runInProgress(const QWidget* window);
    friend bool anyRunInProgress(const QWidget* except);
};

// True while the window has a run in progress.
bool runInProgress(const QWidget* window);
// True while any window has one (any window but except, when given).
bool anyRunInProgress(const QWidget* except = nullptr);
// Asked before a window closes: true when it must not close now because its
// run is in progress (the close is refused, or kept for the end of a run
// that closes afterwards), or because events brought the close in while
// another window's run waits (refused).
bool holdClose(QWidget* window);

} // namespace ui
