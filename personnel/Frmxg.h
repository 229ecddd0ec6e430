#pragma once
// The employee window: lookup by number and name, one record shown with its
// photo, the department and employee lists, adding, modifying, deleting and
// exporting employees.
#include "db/Db.h"
#include "ui/Form.h"

class QAction;
class QComboBox;
class QDateEdit;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QStatusBar;
class QTableView;
class QToolBar;

namespace db {
class RecordsetModel;
}

class Frmxg : public ui::Form {
    Q_OBJECT
public:
    explicit Frmxg(QWidget* parent = nullptr);

    QGroupBox* Frame1 = nullptr;
    QLineEdit* Txt_Search_EmpID = nullptr;
    QLineEdit* Txt_Search_Name = nullptr;
    QPushButton* CmdSearch = nullptr;

    QGroupBox* Frame2 = nullptr;
    QLineEdit* Tkh = nullptr;
    QLineEdit* Txm = nullptr;
    QComboBox* Cbm = nullptr;
    QComboBox* tzw = nullptr;
    QComboBox* Csex = nullptr;
    QComboBox* Tma = nullptr;
    QDateEdit* DTPicker2 = nullptr;
    QLineEdit* Tid = nullptr;
    QLineEdit* Ttel = nullptr;
    QLineEdit* Thukou = nullptr;
    QLineEdit* Tnation = nullptr;
    QLabel* Picture1 = nullptr;
    QPushButton* Command5 = nullptr;

    QListWidget* LstDepart = nullptr;
    QListWidget* LstEmpInfo = nullptr;
    QTableView* DGshow = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    QLabel* StatusPanel1 = nullptr;   // the status bar's first panel
    QToolBar* Toolbar1 = nullptr;

    // 0 none, 1 adding, 3 modifying.
    int EditMode = 0;
    // The photo file chosen for the record being edited.
    QString PhotoPath;
    db::TableRecordset PeopleTable;

    // Tool bar button by index (1..15, the even ones are separators).
    QAction* toolButton(int index) const;
    QString statusText() const;

    void ZWInit();
    // Runs a query and shows its rows in DGshow; errors reach the caller.
    void ShowGrid(const QString& sql, const QVariantList& params = {});
    void ClearEmployee();
    void SetTools(int mode);
    void SaveEmployee();
    void DeleteEmployees();

    void Form_Load() override;
    void Form_Resize();
    void CmdSearch_Click();
    void Command5_Click();
    void LstDepart_Click();
    void LstEmpInfo_Click();
    void Toolbar1_ButtonClick(int index);
    void Txt_Search_EmpID_Change();

    void Tkh_KeyPress(int& KeyAscii);
    void Tid_KeyPress(int& KeyAscii);
    void Cbm_KeyPress(int& KeyAscii);
    void Csex_KeyPress(int& KeyAscii);
    void DTPicker2_KeyPress(int& KeyAscii);
    // Txm, tzw, Tma, Ttel, Thukou and Tnation share one rule.
    void Field_KeyPress(QWidget* field, int& KeyAscii);

protected:
    void resizeEvent(QResizeEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // One people row into the fields named by order, one letter a field
    // (k Tkh, n Txm, z tzw, m Tma, b Cbm, i Tid, s Csex, d DTPicker2, t Ttel,
    // h Thukou, a Tnation, p Picture1); with skipErrors a failing step is
    // passed over, otherwise it stops the display and reaches the caller.
    void showRecord(const db::Recordset& rs, const char* order, bool skipErrors);
    void setStatus(const QString& text);
    void pickerKeyPress(QWidget* field, int& KeyAscii);
    // The first row of a query in the fields, every row in the grid; false
    // when it found none. A failure is reported in the status bar.
    bool showMatches(const QString& sql, const QVariantList& params, const char* order);

    db::RecordsetModel* grid_ = nullptr;
    db::TableRecordset cardTable_;
    QList<QAction*> buttons_;
    bool loaded_ = false;
    QString dialogFile_;           // the photo dialog's file name, kept when cancelled
    QString shownPhoto_;           // 照片 of the record shown
    bool photoChosen_ = false;     // PhotoPath was chosen since that record was shown
    bool birthdayShown_ = false;   // DTPicker2 holds the shown record's birthday or one the operator set
};
