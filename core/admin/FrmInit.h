#pragma once
// Database initialisation for a fresh start: empties the operational and
// personnel tables, resets the link rows of table system, stores the company
// name and leaves "admin" with every right as the only operator. Everything
// runs in one transaction: a failure leaves the database as it was.
#include "ui/Form.h"

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

class FrmInit : public ui::Form {
    Q_OBJECT
public:
    explicit FrmInit(QWidget* parent = nullptr);

    QLabel* Label1 = nullptr;
    QLineEdit* Text1 = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* txtCompany = nullptr;
    QProgressBar* Pro = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;

    void Command1_Click();
    void Command2_Click();
    // Enter moves the focus on, as Tab would.
    void Text1_KeyPress(int& KeyAscii);
};
