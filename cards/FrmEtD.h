#pragma once
// "增扩卡机": copies credentials already issued (chosen people, or every
// credential recorded for a source address) onto further controllers and
// locks, with the rights set in the window.
#include "CardLocks.h"
#include "ui/Form.h"
#include "ui/LogList.h"

#include <QString>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QStatusBar;

class FrmEtD : public ui::Form {
    Q_OBJECT
public:
    explicit FrmEtD(QWidget* parent = nullptr);

    QLabel* Label11 = nullptr;
    QComboBox* CmbAddr = nullptr;
    QListWidget* LstDepart = nullptr;
    QLabel* Label2 = nullptr;
    QListWidget* LstInfo = nullptr;
    QGroupBox* Frame1 = nullptr;
    QListWidget* LstAddr = nullptr;
    QCheckBox* ChkWk = nullptr;
    QCheckBox* ChkWeek[7] = {};
    QCheckBox* ChkEndDate = nullptr;
    QDateEdit* DTPEndDate = nullptr;
    QCheckBox* ChkTime = nullptr;
    QPushButton* ButtonChkTime[2] = {};
    QLineEdit* TxtTime[2] = {};
    QPushButton* CmdEtDByMan = nullptr;
    QPushButton* CmdEtDByMach = nullptr;
    QPushButton* CmdClear = nullptr;
    QPushButton* CmdExit = nullptr;
    QLabel* Label1 = nullptr;
    ui::LogList* ListLog = nullptr;
    QStatusBar* Stb_info = nullptr;
    QLabel* Panel1 = nullptr;   // the status bar's first panel

    void Form_Load() override;
    void Form_Unload(bool& cancel) override;
    void CmbAddr_Click();
    void LstDepart_Click();
    void LstInfo_Click();
    void LstAddr_Click();
    // The rights controls enable what they govern when ticked.
    void ChkWk_Click();
    void ChkEndDate_Click();
    void ChkTime_Click();
    void ButtonChkTime_Click(int index);
    void CmdEtDByMan_Click();
    void CmdEtDByMach_Click();
    void CmdClear_Click();
    void CmdExit_Click();

    QString statusText() const;

private:
    struct Source {
        QString employee, physical, name, department;
        bool password = false;
    };
    enum class Run { ByPerson, BySource };
    // One credential onto one SelectedLocks element.
    void copyTo(const QString& lockItem, const Source& s, const cards::Rights& rights, Run run);
    void log(const Source& s, int address, const QString& outcome, const QString& passwordText);
    void setStatus(const QString& text);
    // The normal pointer again after a run.
    void endBusy();
    void showBusy(Qt::CursorShape shape);
    bool openPort();

    cards::RightsControls* rights_ = nullptr;
    bool busy_ = false;   // a busy pointer is shown for the run
};
