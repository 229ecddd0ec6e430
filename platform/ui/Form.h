#pragma once
// Windows of a program and their registry: one instance per window class,
// loaded on first use and reused until it is unloaded, shown modally or
// without modality, hidden, unloaded.
//
//     auto* w = ui::forms::load<FrmFK>();   // creates it once, runs Form_Load
//     w->showModal();                       // returns when hidden or unloaded
//     ui::forms::unload<FrmFK>();           // Form_QueryUnload, Form_Unload, gone
//
// Tests never block in a modal show: while scripted services are installed
// (ui::ScriptedUi) a modal show records the window and calls the handler set
// with forms::setModalHandler (if any), which plays the operator, then
// returns.
#include <QList>
#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <typeindex>

class QEventLoop;

namespace ui {

class Form : public QWidget {
    Q_OBJECT
public:
    explicit Form(QWidget* parent = nullptr);
    ~Form() override;

    // Shows the window modally over owner (nullptr: no owner window) and
    // returns when it is hidden or unloaded.
    void showModal(QWidget* owner = nullptr);
    // Shows it without modality.
    void showModeless();
    // Hides it; a modal show returns. The window stays loaded.
    void hideForm();
    // Unloads it (as the close box does); false when the window refused.
    bool unloadForm();
    bool isShownModally() const { return modal_; }

protected:
    // Run once, when the registry loads the window.
    virtual void Form_Load() {}
    // Run before unloading; setting cancel keeps the window loaded.
    virtual void Form_QueryUnload(bool& cancel) { Q_UNUSED(cancel); }
    virtual void Form_Unload(bool& cancel) { Q_UNUSED(cancel); }

    void closeEvent(QCloseEvent* e) override;
    void hideEvent(QHideEvent* e) override;

private:
    friend struct FormAccess;
    bool modal_ = false;
    bool unloading_ = false;
    QEventLoop* loop_ = nullptr;
};

namespace forms {

namespace detail {
Form* find(std::type_index t);
void add(std::type_index t, Form* f);
void runLoad(std::type_index t, Form* f);   // Form_Load; on failure the window is dropped
} // namespace detail

// The loaded instance of T, created and loaded on first use.
template <class T>
T* load()
{
    if (Form* f = detail::find(typeid(T)))
        return static_cast<T*>(f);
    T* f = new T();
    detail::add(typeid(T), f);
    detail::runLoad(typeid(T), f);
    return f;
}

// The loaded instance of T, or nullptr.
template <class T>
T* find()
{
    return static_cast<T*>(detail::find(typeid(T)));
}

template <class T>
bool isLoaded()
{
    return detail::find(typeid(T)) != nullptr;
}

// Unloads a window (Form_QueryUnload, Form_Unload, then it is destroyed);
// false when the window cancelled or its controller run is in progress
// (ui::RunGuard). Unloading a window that is not loaded is a no-op.
bool unload(Form* f);
template <class T>
bool unload()
{
    Form* f = detail::find(typeid(T));
    return f ? unload(f) : true;
}

// Every loaded window.
QList<Form*> loaded();
// Drops every window without asking (tests, program end).
void unloadAll();

// Tests: plays the operator during a modal show (scripted services only).
using ModalHandler = std::function<void(Form&)>;
void setModalHandler(ModalHandler h);
// Class names of the windows shown modally, in order (scripted services only).
QStringList& modalShows();

} // namespace forms
} // namespace ui
