#include "RunGuard.h"

#include "Form.h"
#include "Ui.h"

#include <QAbstractButton>

#include <algorithm>
#include <vector>

namespace ui {

namespace {
std::vector<RunGuard*>& running()
{
    static std::vector<RunGuard*> r;
    return r;
}
} // namespace

RunGuard::RunGuard(QWidget* window, std::initializer_list<QWidget*> alsoDisabled, int options)
    : window_(window)
    , depth_(waitDepth())
    , options_(options)
{
    for (RunGuard* r : running()) {
        // A second run of the window, or events brought this handler in
        // while another window's run waits for its controller.
        if (r->window_ == window || r->depth_ < depth_)
            return;
    }
    state_ = Running;
    running().push_back(this);
    QList<QWidget*> controls(alsoDisabled);
    if (options_ & DisableButtons)
        for (QAbstractButton* b : window->findChildren<QAbstractButton*>())
            controls.append(b);
    for (QWidget* w : controls) {
        if (!w || w->testAttribute(Qt::WA_ForceDisabled))
            continue;   // already off: stays as the window left it
        w->setEnabled(false);
        disabled_.append(w);
    }
}

RunGuard::~RunGuard() { end(); }

void RunGuard::end()
{
    if (state_ != Running)
        return;
    state_ = Ended;
    auto& r = running();
    r.erase(std::remove(r.begin(), r.end(), this), r.end());
    for (const QPointer<QWidget>& w : std::as_const(disabled_))
        if (w)
            w->setEnabled(true);
    disabled_.clear();
    if (closeAsked_ && window_) {
        if (auto* f = qobject_cast<Form*>(window_.data()))
            forms::unload(f);
        else
            window_->close();
    }
}

bool RunGuard::closeRequested() const
{
    for (const RunGuard* r : running())
        if (r->window_ == window_)
            return r->closeAsked_;
    return closeAsked_;
}

bool runInProgress(const QWidget* window)
{
    const auto& r = running();
    return std::any_of(r.begin(), r.end(), [window](const RunGuard* g) { return g->window_ == window; });
}

bool anyRunInProgress(const QWidget* except)
{
    const auto& r = running();
    return std::any_of(r.begin(), r.end(), [except](const RunGuard* g) { return !except || g->window_ != except; });
}

bool holdClose(QWidget* window)
{
    const int depth = waitDepth();
    bool duringAnotherRun = false;
    for (RunGuard* r : running()) {
        if (r->window_ != window) {
            duringAnotherRun = duringAnotherRun || r->depth_ < depth;
            continue;
        }
        if (r->options_ & RunGuard::CloseAfterRun)
            r->closeAsked_ = true;
        return true;
    }
    // Events brought the close in while another window's run waits for its
    // controller: the unload would release the port under that run.
    return duringAnotherRun;
}

} // namespace ui
