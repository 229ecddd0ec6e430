#pragma once
// Returned-card query: rows of dtuika by address, physical number,
// department and return date, copied into the print table dtuikapt, which
// the grid shows in the chosen order.
#include "QueryWindow.h"

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLineEdit;

class FrmTkcx : public QueryWindow {
    Q_OBJECT
public:
    explicit FrmTkcx(QWidget* parent = nullptr);

    QComboBox* CmbAddr = nullptr;
    QLineEdit* TxtCardID = nullptr;
    QComboBox* CmbDepart = nullptr;
    QCheckBox* ChkDate = nullptr;
    QDateEdit* DTPBegin = nullptr;
    QDateEdit* DTPEnd = nullptr;
    QComboBox* Combo1 = nullptr;
    QPushButton* CmdOutExecl = nullptr;

    void Form_Load() override;
    void CmdSearch_Click();
    void CmdOutExecl_Click();
    void CmdClear_Click();
    void CmdClose_Click();
};
