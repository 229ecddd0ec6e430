#pragma once
// Forced unlock "强制开锁": the super-user check (Frmspecial) and the
// unlock window it opens without modality (Frmspe, in Frmspe.h).
#include "ui/Form.h"

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

class Frmspecial : public ui::Form {
    Q_OBJECT
public:
    explicit Frmspecial(QWidget* parent = nullptr);

    QLineEdit* Tuser = nullptr;
    QLineEdit* tpasswd = nullptr;
    QPushButton* Cok = nullptr;
    QPushButton* Cexit = nullptr;
    QLabel* Lab = nullptr;
    QFrame* Frame1 = nullptr;

    void Cok_Click();
    void Cexit_Click();
    // Enter moves on to the next control, as Tab does.
    void Tuser_KeyPress(int& KeyAscii);
    void tpasswd_KeyPress(int& KeyAscii);
};
