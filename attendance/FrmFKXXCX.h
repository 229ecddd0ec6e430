#pragma once
// Card-issue query: issued credentials of dfaka by name, address, number,
// department and issue date, their rights made readable (expiry date,
// weekdays, the time ranges of the controller's groups from dTime) in the
// print table dfakapt, shown with keypad passwords masked.
#include "QueryWindow.h"

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;

class FrmFKXXCX : public QueryWindow {
    Q_OBJECT
public:
    explicit FrmFKXXCX(QWidget* parent = nullptr);

    QLineEdit* TxtName = nullptr;
    QComboBox* CmbAddr = nullptr;
    QLineEdit* TxtCardID = nullptr;
    QComboBox* TxtDepart = nullptr;
    QCheckBox* ChkDate = nullptr;
    QDateEdit* DTPBegin = nullptr;
    QDateEdit* DTPEnd = nullptr;
    QComboBox* Corder = nullptr;
    QPushButton* CmdOutExcel = nullptr;

    void Form_Load() override;
    void CmdSearch_Click();
    void CmdClear_Click();
    void CmdOutExcel_Click();
    void CmdClose_Click();
};
