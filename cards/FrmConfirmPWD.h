#pragma once
// The password dialog: the operator types a keypad password twice; a
// password no dfaka password row holds comes back in ConfirmedPassword,
// padded to the 10 characters it is stored and sent as.
#include "ui/Form.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

class FrmConfirmPWD : public ui::Form {
    Q_OBJECT
public:
    explicit FrmConfirmPWD(QWidget* parent = nullptr);

    QGroupBox* Frame1 = nullptr;
    QLineEdit* tPWD = nullptr;
    QLineEdit* tComPWD = nullptr;
    QLabel* Label2 = nullptr;
    QPushButton* CmdSend = nullptr;
    QPushButton* CmdClose = nullptr;

    void Form_Load() override;
    void CmdSend_Click();
    void CmdClose_Click();
    // Enter moves the focus on, as Tab would; other keys type as usual.
    void tPWD_KeyPress(int& KeyAscii);
    void tComPWD_KeyPress(int& KeyAscii);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setBack(QLineEdit* box, const QColor& c);
};
