#include "Form.h"

#include "WindowKeys.h"
#include "RunGuard.h"
#include "Ui.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QEventLoop>
#include <QHash>
#include <QWindow>

#include <cstdlib>
#include <cxxabi.h>
#include <typeinfo>

namespace ui {

namespace {
QHash<std::type_index, QPointer<Form>>& registry()
{
    static QHash<std::type_index, QPointer<Form>> r;
    return r;
}
forms::ModalHandler& handler()
{
    static forms::ModalHandler h;
    return h;
}
bool scripted() { return dynamic_cast<DesktopServices*>(&services()) == nullptr; }

// The window's class name without namespaces ("FrmFK").
QString className(const Form* f)
{
    QString name = QString::fromLatin1(f->metaObject()->className());
    if (name == QLatin1String("ui::Form")) { // a window class without Q_OBJECT
        int status = 0;
        char* d = abi::__cxa_demangle(typeid(*f).name(), nullptr, nullptr, &status);
        if (d) {
            name = QString::fromLatin1(d);
            std::free(d);
        }
    }
    int cut = name.lastIndexOf(QLatin1String("::"));
    return cut >= 0 ? name.mid(cut + 2) : name;
}
} // namespace

struct FormAccess {
    static void load(Form* f) { f->Form_Load(); }
    static bool queryUnload(Form* f)
    {
        bool cancel = false;
        f->Form_QueryUnload(cancel);
        if (cancel)
            return false;
        f->Form_Unload(cancel);
        return !cancel;
    }
    static bool& unloading(Form* f) { return f->unloading_; }
};

Form::Form(QWidget* parent) : QWidget(parent, Qt::Window) { windowKeys(this); }

Form::~Form()
{
    if (loop_)
        loop_->quit();
    for (auto it = registry().begin(); it != registry().end();) {
        if (it.value() == this || it.value().isNull())
            it = registry().erase(it);
        else
            ++it;
    }
}

void Form::showModal(QWidget* owner)
{
    if (modal_)
        return; // already shown modally: a second modal show would nest
    modal_ = true;
    setWindowModality(Qt::ApplicationModal);
    if (scripted()) {
        show();
        forms::modalShows().append(className(this));
        QPointer<Form> self(this);
        if (handler())
            handler()(*this);
        if (self)
            modal_ = false;
        return;
    }
    if (owner) {
        winId();
        if (QWindow* w = windowHandle())
            w->setTransientParent(owner->window()->windowHandle());
    }
    show();
    raise();
    activateWindow();
    QPointer<Form> self(this);
    QEventLoop loop;
    loop_ = &loop;
    if (isVisible())
        loop.exec(QEventLoop::DialogExec);
    if (self) {
        loop_ = nullptr;
        modal_ = false;
        setWindowModality(Qt::NonModal);
    }
}

void Form::showModeless()
{
    if (!modal_)
        setWindowModality(Qt::NonModal);
    show();
    raise();
    activateWindow();
}

void Form::hideForm()
{
    hide();
    if (scripted())
        modal_ = false;
}

bool Form::unloadForm() { return forms::unload(this); }

void Form::closeEvent(QCloseEvent* e)
{
    // The close box unloads the window unless it refuses.
    if (unloading_) {
        e->accept();
        return;
    }
    e->ignore();
    forms::unload(this);
}

void Form::hideEvent(QHideEvent* e)
{
    QWidget::hideEvent(e);
    if (loop_ && !e->spontaneous()) // minimising does not end a modal show
        loop_->quit();
}

namespace forms {

namespace detail {
Form* find(std::type_index t)
{
    auto it = registry().constFind(t);
    return it == registry().constEnd() ? nullptr : it.value().data();
}
void add(std::type_index t, Form* f) { registry().insert(t, f); }
void runLoad(std::type_index t, Form* f)
{
    try {
        FormAccess::load(f);
    } catch (...) {
        registry().remove(t);
        f->hide();
        f->deleteLater();
        throw;
    }
}
} // namespace detail

bool unload(Form* f)
{
    if (!f || FormAccess::unloading(f))
        return true;
    // A window whose controller run is in progress stays: the run still
    // writes to it.
    if (holdClose(f))
        return false;
    FormAccess::unloading(f) = true;
    bool ok = false;
    try {
        ok = FormAccess::queryUnload(f);
    } catch (...) {
        FormAccess::unloading(f) = false;
        throw;
    }
    if (!ok) {
        FormAccess::unloading(f) = false;
        return false;
    }
    for (auto it = registry().begin(); it != registry().end();) {
        if (it.value() == f)
            it = registry().erase(it);
        else
            ++it;
    }
    f->hide();
    f->hideForm();
    // Destroyed once control is back in the event loop: the window may be
    // unloading itself from one of its own handlers.
    f->deleteLater();
    return true;
}

QList<Form*> loaded()
{
    QList<Form*> out;
    for (const auto& p : registry())
        if (p)
            out.append(p.data());
    return out;
}

void unloadAll()
{
    const QList<Form*> all = loaded();
    registry().clear();
    for (Form* f : all) {
        f->hide();
        delete f;
    }
    modalShows().clear();
}

void setModalHandler(ModalHandler h) { handler() = std::move(h); }

QStringList& modalShows()
{
    static QStringList l;
    return l;
}

} // namespace forms
} // namespace ui
