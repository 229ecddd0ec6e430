#pragma once
// The login window: checks the operator against table user, applies the
// operator's rights to the main window's tools, creates the controller
// object and shows the main window.
#include "ui/Form.h"

class QLabel;
class QLineEdit;
class QPushButton;

class login : public ui::Form {
    Q_OBJECT
public:
    explicit login(QWidget* parent = nullptr);

    QLabel* Label1 = nullptr;
    QLineEdit* Tuser = nullptr;
    QLabel* Label4 = nullptr;
    QLineEdit* tpasswd = nullptr;
    QPushButton* CmdOk = nullptr;
    QPushButton* CmdExit = nullptr;
    QLabel* Label3 = nullptr;

    // Background colours of the two text boxes.
    static QColor normalBack() { return QColor(200, 223, 244); }
    static QColor focusBack() { return QColor(192, 255, 192); }

    void Form_Load() override;
    void Form_Activate();
    void CmdOk_Click();
    void CmdExit_Click();
    // Enter in the name box moves on, in the password box and on 确定 it
    // checks; Esc on 确定 ends the program.
    void Tuser_KeyPress(int& KeyAscii);
    void tpasswd_KeyPress(int& KeyAscii);
    void CmdOk_KeyPress(int& KeyAscii);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void Form_Unload(bool& cancel) override;

private:
    void CheckLogin();
    void setBack(QLineEdit* box, const QColor& c);

    bool loggedIn_ = false;
};
