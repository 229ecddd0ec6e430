#pragma once
// The card window: picks an employee, a card or keypad password, locks and
// rights; issues, returns and reads cards and tests the controllers.
#include "CardLocks.h"
#include "ui/Form.h"
#include "ui/LogList.h"

#include <QString>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QStatusBar;

class FrmFK : public ui::Form {
    Q_OBJECT
public:
    explicit FrmFK(QWidget* parent = nullptr);

    QListWidget* LstDepart = nullptr;
    QRadioButton* opt_select[3] = {};
    QListWidget* LstEmpInfo = nullptr;
    QLineEdit* TxtCardID = nullptr;
    QLineEdit* Tname = nullptr;
    QLineEdit* Tzhiwu = nullptr;
    QLineEdit* Cdw = nullptr;
    QLineEdit* tsfz = nullptr;
    QLineEdit* tcard = nullptr;
    QCheckBox* ChkPWD = nullptr;
    QLabel* Label7 = nullptr;
    QLineEdit* TextHidPWD = nullptr;
    QRadioButton* Option1[2] = {};
    QComboBox* Cdk = nullptr;
    QLabel* Label3 = nullptr;
    QComboBox* ComPort = nullptr;
    QListWidget* DoorAddr = nullptr;
    QCheckBox* CheckWeek = nullptr;
    QCheckBox* w1Check[7] = {};
    QCheckBox* CheckEndDate = nullptr;
    QDateEdit* stopDate = nullptr;
    QCheckBox* CheckTime = nullptr;
    QPushButton* ButtonChkTime[2] = {};
    QLineEdit* TxtTime[2] = {};
    ui::LogList* Lst_info = nullptr;
    QStatusBar* Stb_info = nullptr;
    QPushButton* CmdSendCard = nullptr;
    QPushButton* Cmddel = nullptr;
    QPushButton* CmdRearCard = nullptr;
    QPushButton* cmdTest = nullptr;
    QPushButton* CmdClear = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* cmdchg = nullptr;

    void Form_Load() override;
    void ViewEmpList();
    void LstDepart_Click();
    void opt_select_Click(int index);
    void LstEmpInfo_Click();
    void DoorAddr_Click();
    void Cdk_Change();
    void Cdk_GotFocus();
    void Cdk_KeyPress(int& keyAscii);
    void tcard_Change();
    void tcard_KeyPress(int& keyAscii);
    void CheckWeek_Click();
    void CheckEndDate_Click();
    void CheckTime_Click();
    void ButtonChkTime_Click(int index);
    void CmdClear_Click();
    void Command2_Click();
    void CmdSendCard_Click();
    void Cmddel_Click();
    void CmdRearCard_Click();
    void cmdTest_Click();

    // The window's distinct controller addresses, in list order.
    const QList<int>& addresses() const { return addresses_; }
    bool passwordsSupported() const { return passwordFlag_; }
    QString status() const;

protected:
    void Form_Unload(bool& cancel) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool CheckControls();
    void initAddArray();
    void setStatus(const QString& text);
    void log(const QString& employee, const QString& kind, int address, const QString& outcome);
    int16_t portOfBox() const;
    bool openPort();
    void releasePort();
    // The employee a credential is issued to, as the window showed him when the run began.
    struct Holder {
        QString employee, name, department;
    };
    bool issue(int address, const Holder& holder, const QString& physical, bool password,
               const cards::Rights& windowRights, int lock);
    // Takes one credential off a controller and books it; employee, name and
    // department stand in when no row of it is at the address.
    bool withdraw(int address, const QString& number, QString employee, QString name, QString department,
                  bool password);
    // The mouse pointer as one setting, hourglass or normal.
    void setHourglass(bool on);

    bool hourglass_ = false;

    cards::RightsControls* rights_ = nullptr;
    bool passwordFlag_ = true;
    QList<int> addresses_;
};
