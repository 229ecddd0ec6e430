#pragma once
// Punch-record query: punches of table data joined with their employees,
// narrowed by date, time of day, address, department, number and name, in
// one of six orders; every successful search also leaves the print table
// dataPT holding the whole join (rebuilt unless nothing changed since).
#include "QueryWindow.h"

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLineEdit;
class QTimeEdit;

class Frmque : public QueryWindow {
    Q_OBJECT
public:
    explicit Frmque(QWidget* parent = nullptr);

    QCheckBox* ChkDate = nullptr;
    QDateEdit* t1s = nullptr;
    QDateEdit* t1e = nullptr;
    QCheckBox* ChkTime = nullptr;
    QTimeEdit* t2s = nullptr;
    QTimeEdit* t2e = nullptr;
    QComboBox* CmbAddr = nullptr;
    QComboBox* TxtDepart = nullptr;
    QLineEdit* TxtCardID = nullptr;
    QLineEdit* TxtName = nullptr;
    QComboBox* Corder = nullptr;
    QPushButton* CmdOutExcel = nullptr;

    void Form_Load() override;
    void CmdSearch_Click();
    void CmdOutExcel_Click();
    void CmdClear_Click();
    void CmdClose_Click();
    // Refills dataPT from every punch that has an employee, unless neither
    // the punches, the employees nor dataPT changed since this program last
    // did (as the database's own stamp tells; without it, always).
    void FillDataPT();
};
