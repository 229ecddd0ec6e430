#pragma once
// The main window: the menu bar of numbered tools that opens every function
// window, the start-up settings read from tables system and cjtype, help,
// and the one question before the program ends.
#include "ui/Form.h"

class ActiveBar;

// The text without blanks at either end; tabs and other white space stay.
QString trimBlanks(const QString& s);
class QLabel;
class QStatusBar;
class QTimer;

class menu : public ui::Form {
    Q_OBJECT
public:
    explicit menu(QWidget* parent = nullptr);
    ~menu() override;

    ActiveBar* ActiveBar1 = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    QLabel* Panels[2] = {nullptr, nullptr};
    QWidget* ARBackgr1 = nullptr;
    // Collection schedule timer: on when the schedule is automatic; its tick does nothing.
    QTimer* Timer1 = nullptr;

    // The common dialog, used only to open the help file.
    struct HelpDialog {
        QString HelpFile;
        int HelpCommand = 0;
        void ShowHelp() const;
    } dlg;

    void Form_Load() override;
    void ActiveBar1_ToolClick(int number);
    // A key pressed in the window; the bar sees it first.
    void Form_KeyDown(int& KeyCode, int& Shift);
    // Every way of closing asks first; No cancels.
    void Form_QueryUnload(bool& cancel) override;
    void Form_Resize();
    void Timer1_Timer();

    // Refreshes which tools can be used (after a window class was added).
    void refreshTools();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void openHelp();
    // The shutdown question; ends the program on Yes. False on No.
    bool confirmShutdown();
};
