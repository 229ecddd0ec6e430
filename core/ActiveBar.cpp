#include "ActiveBar.h"

#include "ToolTable.h"
#include "runtime/RuntimeError.h"

#include <QKeyEvent>
#include <QMenu>

void ActiveBarTool::setEnabled(bool on)
{
    enabled_ = on;
    if (bar_)
        bar_->refresh();
}

ActiveBar::ActiveBar(QWidget* parent)
    : QMenuBar(parent)
{
    setObjectName(QStringLiteral("ActiveBar1"));
    for (const tools::ToolDef& d : tools::allTools()) {
        ActiveBarTool t;
        t.bar_ = this;
        t.number_ = d.number;
        t.name_ = d.name;
        t.caption_ = d.caption;
        t.enabled_ = d.enabled;
        tools_.insert(d.number, t);
    }
    const QList<tools::BandDef>& bs = tools::bands();
    // Popup bands first, so that the menu-bar band can hang them on their heads.
    for (const tools::BandDef& b : bs) {
        if (b.headTool == 0)
            continue;
        auto* m = new QMenu(tools_[b.headTool].caption_, this);
        m->setObjectName(b.name);
        for (int n : b.tools) {
            ActiveBarTool& t = tools_[n];
            t.action_ = m->addAction(t.caption_);
            t.action_->setObjectName(QString::number(n));
            connect(t.action_, &QAction::triggered, this, [this, n] { clickTool(n); });
        }
        bands_.insert(b.headTool, m);
    }
    for (const tools::BandDef& b : bs) {
        if (b.headTool != 0)
            continue;
        for (int n : b.tools) {
            ActiveBarTool& t = tools_[n];
            if (QMenu* m = bands_.value(n)) {
                t.action_ = addMenu(m);
            } else {
                t.action_ = addAction(t.caption_);
                connect(t.action_, &QAction::triggered, this, [this, n] { clickTool(n); });
            }
            t.action_->setObjectName(QString::number(n));
        }
    }
    refresh();
}

ActiveBarTool& ActiveBar::Tools(const QString& key)
{
    bool ok = false;
    int n = key.trimmed().toInt(&ok);
    auto it = tools_.find(n);
    if (!ok || it == tools_.end())
        rt::raise(rt::ErrInvalidCall);
    return it.value();
}

const ActiveBarTool* ActiveBar::findTool(int number) const
{
    auto it = tools_.constFind(number);
    return it == tools_.constEnd() ? nullptr : &it.value();
}

void ActiveBar::setHasAction(std::function<bool(int)> hasAction)
{
    hasAction_ = std::move(hasAction);
    refresh();
}

bool ActiveBar::isUsable(int number) const
{
    const ActiveBarTool* t = findTool(number);
    if (!t || !t->enabled_)
        return false;
    if (bands_.contains(number))
        return true; // a head only opens its popup
    return !hasAction_ || hasAction_(number);
}

void ActiveBar::refresh()
{
    for (ActiveBarTool& t : tools_)
        applyState(t);
}

void ActiveBar::applyState(ActiveBarTool& t)
{
    if (t.action_)
        t.action_->setEnabled(isUsable(t.number_));
}

void ActiveBar::setToolShortcut(int number, int keyCode, int shift)
{
    shortcuts_.append({keyCode, shift, number});
}

bool ActiveBar::OnKeyDown(int keyCode, int shift)
{
    for (const Shortcut& s : shortcuts_) {
        if (s.keyCode == keyCode && s.shift == shift && isUsable(s.tool)) {
            clickTool(s.tool);
            return true;
        }
    }
    return keyCode == 18; // Alt opens the menus
}

void ActiveBar::clickTool(int number)
{
    if (isUsable(number))
        emit ToolClick(number);
}

int vbKeyCode(const QKeyEvent* e)
{
    const int k = e->key();
    if (k >= Qt::Key_F1 && k <= Qt::Key_F24)
        return 112 + (k - Qt::Key_F1);
    if ((k >= Qt::Key_A && k <= Qt::Key_Z) || (k >= Qt::Key_0 && k <= Qt::Key_9))
        return k; // same codes
    switch (k) {
    case Qt::Key_Return:
    case Qt::Key_Enter: return 13;
    case Qt::Key_Escape: return 27;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return 9;
    case Qt::Key_Backspace: return 8;
    case Qt::Key_Space: return 32;
    case Qt::Key_Shift: return 16;
    case Qt::Key_Control: return 17;
    case Qt::Key_Alt: return 18;
    case Qt::Key_PageUp: return 33;
    case Qt::Key_PageDown: return 34;
    case Qt::Key_End: return 35;
    case Qt::Key_Home: return 36;
    case Qt::Key_Left: return 37;
    case Qt::Key_Up: return 38;
    case Qt::Key_Right: return 39;
    case Qt::Key_Down: return 40;
    case Qt::Key_Insert: return 45;
    case Qt::Key_Delete: return 46;
    default: return 0;
    }
}

int vbShift(const QKeyEvent* e)
{
    int s = 0;
    const Qt::KeyboardModifiers m = e->modifiers();
    if (m & Qt::ShiftModifier)
        s |= 1;
    if (m & Qt::ControlModifier)
        s |= 2;
    if (m & Qt::AltModifier)
        s |= 4;
    return s;
}
