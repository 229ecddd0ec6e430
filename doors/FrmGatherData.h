#pragma once
// Punch-record collection: the records of one controller, collected by the
// library into a file under "basedata/", read back from that file, shown
// and stored in table data; also the communication test (which sets the
// controller's clock) and the erase of the controller's records.
#include "ui/Form.h"

#include <QString>

class QAbstractTableModel;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QStatusBar;
class QTableView;

class FrmGatherData : public ui::Form {
    Q_OBJECT
public:
    explicit FrmGatherData(QWidget* parent = nullptr);

    QComboBox* cText = nullptr;
    QPushButton* ReadCommand = nullptr;
    QPushButton* numCommand = nullptr;
    QPushButton* CmdClearData = nullptr;
    QPushButton* cdexit = nullptr;
    QTableView* datalist = nullptr;
    QLineEdit* numText = nullptr;
    QLineEdit* counterText = nullptr;
    QLineEdit* txtErrCount = nullptr;
    QProgressBar* readProgressBar = nullptr;
    QLabel* labtext = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label6 = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    QLabel* Panels[1] = {nullptr};

    void Form_Load() override;
    void Form_Unload(bool& cancel) override;
    void ReadCommand_Click();
    void numCommand_Click();
    void CmdClearData_Click();
    void cdexit_Click();
    // Typing in the address box is discarded: it holds "" or a listed address.
    void cText_KeyPress(int& KeyAscii);

    // Grid columns and headers, and no record rows.
    void InitGrid();
    // Kept for callers of the window's interface; always empty.
    QString DataBaseForm() const { return QString(); }

    // Grid cell as shown (row 0 the first record).
    QString gridText(int row, int column) const;
    int gridRows() const;

private:
    void setStatus(const QString& text);
    // Reads the collected file into the grid and table data.
    void storeFile(const QString& path, int total);

    QAbstractTableModel* model_ = nullptr;
    bool passwordSupport_ = false;
};
