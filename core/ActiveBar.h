#pragma once
// The main window's menu bar: bands of numbered tools built from the stored
// design. A tool is reached by its number written as text ("10") and its
// availability set through it; a click delivers the tool's number.
#include <QHash>
#include <QMenuBar>
#include <functional>

class QMenu;
class ActiveBar;

// One tool of the bar's tool collection.
class ActiveBarTool {
public:
    int number() const { return number_; }
    const QString& name() const { return name_; }
    const QString& caption() const { return caption_; }
    // The availability the design or the login gave the tool.
    bool enabled() const { return enabled_; }
    void setEnabled(bool on);
    // The menu entry that shows the tool; null for a tool on no band.
    QAction* action() const { return action_; }

private:
    friend class ActiveBar;
    ActiveBar* bar_ = nullptr;
    int number_ = 0;
    QString name_;
    QString caption_;
    bool enabled_ = true;
    QAction* action_ = nullptr;
};

class ActiveBar : public QMenuBar {
    Q_OBJECT
public:
    explicit ActiveBar(QWidget* parent = nullptr);

    // The tool whose number is the given text; raises run-time error 5 for
    // a key that names no tool.
    ActiveBarTool& Tools(const QString& key);
    const ActiveBarTool* findTool(int number) const;

    // Whether the tool has anything to do when clicked (a window that exists,
    // help, about, exit). A tool without one is shown greyed even when enabled.
    void setHasAction(std::function<bool(int)> hasAction);
    // Enabled and with something to do: what the operator can choose.
    bool isUsable(int number) const;
    // Re-applies every tool's state to its menu entry.
    void refresh();

    // A key the bar answers to on its own: the tool is clicked by that key.
    // keyCode and shift as the windows see them (112 = F1; shift bits 1, 2, 4).
    void setToolShortcut(int number, int keyCode, int shift);
    // Offers a key pressed in the owning window; true when the bar used it
    // (a tool's shortcut, or the Alt key that opens the menus).
    bool OnKeyDown(int keyCode, int shift);

    // A tool chosen by the operator; usable tools only.
    void clickTool(int number);

signals:
    void ToolClick(int number);

private:
    void applyState(ActiveBarTool& t);

    QHash<int, ActiveBarTool> tools_;
    QHash<int, QMenu*> bands_;   // head tool -> popup
    struct Shortcut { int keyCode; int shift; int tool; };
    QList<Shortcut> shortcuts_;
    std::function<bool(int)> hasAction_;
};

// Key code and shift state of a key event in the form window handlers see
// (letters and digits as their character, F1 = 112, Enter 13, Esc 27, Tab 9;
// shift bits 1 Shift, 2 Ctrl, 4 Alt).
class QKeyEvent;
int vbKeyCode(const QKeyEvent* e);
int vbShift(const QKeyEvent* e);
