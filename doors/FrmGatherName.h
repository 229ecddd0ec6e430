#pragma once
// "发卡名单采集": reads the name list one controller holds into a grid,
// counts the slots that hold a card, the empty ones and those that could
// not be read, looks up a single card, tests the line, and can rebuild the
// matching dfaka rows from what the controller holds.
#include "ui/Form.h"

#include <QComboBox>
#include <QString>

class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QStatusBar;
class QTableWidget;

// A combo box that tells before its list drops down, so the list can be
// filled afresh each time.
class DropDownCombo : public QComboBox {
    Q_OBJECT
public:
    using QComboBox::QComboBox;
    void showPopup() override;
signals:
    void dropDown();
};

class FrmGatherName : public ui::Form {
    Q_OBJECT
public:
    explicit FrmGatherName(QWidget* parent = nullptr);

    DropDownCombo* cText = nullptr;
    QLineEdit* TxtPhyID = nullptr;
    QPushButton* ReadCommand = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* cmdTest = nullptr;
    QPushButton* CmdExit = nullptr;
    QCheckBox* Check1 = nullptr;
    QTableWidget* SendGrid = nullptr;
    QLineEdit* txtSendNum = nullptr;
    QLineEdit* txtSendYesNum = nullptr;
    QLineEdit* txtSendNoNum = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    QLabel* Panel1 = nullptr;   // the status bar's first panel
    QLabel* Label1 = nullptr;

    void Form_Load() override;
    void Form_Unload(bool& cancel) override;
    void cText_DropDown();
    void ReadCommand_Click();
    void Command1_Click();
    void cmdTest_Click();
    void CmdExit_Click();

    // The status bar's first panel.
    QString statusText() const;

private:
    struct ListLine;
    void setStatus(const QString& text);
    void fillRow(int row, int address, const ListLine& l, const QString& shownPhysical);
    bool rebuildRow(int address, const ListLine& l);
    void collect();

    int16_t address_ = 0;
    int32_t count_ = 0;
};
