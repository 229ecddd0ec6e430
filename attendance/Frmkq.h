#pragma once
// Attendance-result query: rows of datakq by date, number, name and
// department in one of four orders; each search leaves a copy of its result,
// in its order, in the print table datakqPT.
#include "QueryWindow.h"

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLineEdit;

class Frmkq : public QueryWindow {
    Q_OBJECT
public:
    explicit Frmkq(QWidget* parent = nullptr);

    QCheckBox* ChkDate = nullptr;
    QDateEdit* t1s = nullptr;
    QDateEdit* t1e = nullptr;
    QLineEdit* TxtCardID = nullptr;
    QLineEdit* TxtName = nullptr;
    QComboBox* TxtDepart = nullptr;
    QComboBox* Corder = nullptr;
    QPushButton* CmdOutExecl = nullptr;

    void Form_Load() override;
    void CmdSearch_Click();
    void CmdClear_Click();
    void CmdOutExecl_Click();
    void CmdClose_Click();

    // The statement of the last search and its values.
    query::Statement lastStatement() const { return statement_; }

private:
    query::Statement statement_;
};
