#pragma once
// The demonstration window: drives every command of the controller object
// "Vantrel.Door8096" against one controller and writes what it collects to
// text files in the program folder.
#include "com/Com.h"

#include <QIcon>
#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QStatusBar>
#include <array>
#include <functional>

class QAction;
class QActionGroup;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimeEdit;
class QToolBar;
class TextViewer;

// A status bar that shows one line of text, set and read as a whole.
class SimpleStatusBar : public QStatusBar {
public:
    explicit SimpleStatusBar(QWidget* parent = nullptr);
    void setSimpleText(const QString& text);
    QString simpleText() const;

private:
    QLabel* text_;
};

class FrmDemo : public QMainWindow {
    Q_OBJECT
public:
    // Creates the controller object at load; tests hand in their own.
    using DoorFactory = std::function<com::Dispatch()>;
    explicit FrmDemo(DoorFactory createDoor = {}, QWidget* parent = nullptr);
    ~FrmDemo() override;

    // Runs the start-up; on failure shows the error and returns false (the
    // program then ends without showing the window).
    bool load();

    // --- settings store ----------------------------------------------------
    void ReadSys();
    void WriteSys();

    // --- re-layout of one collected punch record ---------------------------
    QString DataBaseForm(const QString& TxtString) const;

    // --- event handlers ----------------------------------------------------
    void Form_Load();
    void Form_Unload();
    void Toolbar1_ButtonClick(int index);
    void Cmd_Exit_Click();
    void TxtAddress_Validate(bool& cancel);
    void txtDalay_Validate(bool& cancel);

    void chkEndDate_Click();
    void chkTimeCtrl_Click();
    void chkWeekCtrl_Click();
    void Command7_Click();
    void cmdSendCard_Click();
    void cmdSendCardMulti_Click();
    void cmdBackCard_Click();
    void Command22_Click();

    void Cmd_GetData_Click();
    void Cmd_GetNameList_Click();
    void cmd_BrowsData_Click();
    void cmd_BrowsNameList_Click();

    void cmdClearNameList_Click();
    void cmdClearRecord_Click();
    void cmdGetLockStatus_Click();
    void cmdGetCardLockStatus_Click();
    void cmdGetDateTimeDelay_Click();
    void cmdGetMachVer_Click();
    void CmdModifyDateTime_Click();
    void cmdOpenLock_Click();
    void cmdSetDelay_Click();
    void Command5_Click();
    void Command6_Click();

    void Command1_Click();
    void Command3_Click();
    void Command13_Click();
    void Command9_Click();
    void Command8_Click();
    void Command2_Click();

    // --- state seen by tests -------------------------------------------------
    bool portFlag() const { return portFlag_; }
    // The picture (1 to 3) a port button shows, 0 for none yet.
    int buttonPicture(int index) const;
    bool buttonPressed(int index) const;
    const com::Dispatch& door() const { return door_; }
    // Viewer windows opened by the browse buttons, newest last.
    QList<QPointer<TextViewer>> viewers;

    // --- controls -------------------------------------------------------------
    QLabel* Label10;
    QLabel* lblVer;
    QToolBar* Toolbar1;
    QActionGroup* Toolbar1Group;
    std::array<QAction*, 5> Toolbar1Buttons{};   // buttons 1 to 5 at 0 to 4
    std::array<QIcon, 3> ImageList1;
    QLabel* lblPort;
    QLabel* lblAddress;
    QLineEdit* TxtAddress;
    SimpleStatusBar* Sta_Info;
    QPushButton* Cmd_Exit;

    // card frame
    QGroupBox* FraCard;
    QLineEdit* TxtCardNum;
    QLineEdit* TxtNo;
    QCheckBox* chkLock01;
    QCheckBox* chkLock02;
    QCheckBox* chkWeekCtrl;
    QLineEdit* txtWeekValue;
    QCheckBox* chkEndDate;
    QDateEdit* dtpEndDate;
    QCheckBox* chkTimeCtrl;
    QGroupBox* FraTime;
    std::array<QLineEdit*, 32> txtTime1{};
    QPushButton* Command7;
    QPushButton* cmdSendCard;
    QPushButton* cmdBackCard;
    QPushButton* Command22;
    QLineEdit* txtCardStep;
    QLineEdit* txtCardTotal;
    QPushButton* cmdSendCardMulti;

    // collection frame
    QGroupBox* FraGather;
    QPushButton* Cmd_GetData;
    QPushButton* Cmd_GetNameList;
    QPushButton* cmd_BrowsData;
    QPushButton* cmd_BrowsNameList;
    QCheckBox* IsCheck;
    QCheckBox* YearCheck;
    QLineEdit* txtSleepDate;
    QLineEdit* txtIntenal;
    std::array<QLineEdit*, 10> TxtF{};
    std::array<QLineEdit*, 10> TxtT{};
    QLabel* Label19;

    // maintenance and status readers
    QGroupBox* FraMachine;
    QPushButton* cmdClearNameList;
    QPushButton* cmdClearRecord;
    QPushButton* cmdGetLockStatus;
    QPushButton* cmdGetCardLockStatus;
    QPushButton* cmdGetDateTimeDelay;
    QPushButton* cmdGetMachVer;
    QPushButton* CmdModifyDateTime;
    QPushButton* cmdOpenLock;
    QPushButton* cmdSetDelay;
    QPushButton* Command5;
    QPushButton* Command6;
    QComboBox* cmbLockNo;
    std::array<QLineEdit*, 3> txtDelay{};
    QLabel* Label;
    QLabel* Label7;

    // time groups
    QPushButton* Command1;
    QGroupBox* frmTimeSet;
    std::array<QLabel*, 16> lblTime{};
    std::array<QTimeEdit*, 17> dtp_Begin{};
    std::array<QTimeEdit*, 17> dtp_End{};
    std::array<QCheckBox*, 16> chkCardAndPsw{};
    QLineEdit* txtStep1;
    QLineEdit* txtStep2;
    QPushButton* Command13;
    QPushButton* Command9;
    QPushButton* Command2;
    QPushButton* Command8;
    QLineEdit* txtDalay;
    QPushButton* Command3;

protected:
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void buildWindow();
    QWidget* buildCardFrame();
    QWidget* buildGatherFrame();
    QWidget* buildMachineFrame();
    QWidget* buildTimeFrame();
    void connectHandlers();
    // Puts the shown time-group frame over the collection frame.
    void placeTimeFrame();

    void OpenPort(int16_t port);
    bool GetEmployeeNo();
    void setPicture(int index, int picture);
    void setStatus(const QString& text);
    QString status() const;
    void browse(const QString& fileName);

    // The address box as a 16-bit integer; raises the conversion error.
    int16_t address() const;
    // The address check of the maintenance commands: false (after the
    // message) when the box holds no address from 0 to 255.
    bool checkAddress(int16_t& addr);
    // Runs a handler's body as the window's one run (ui::RunGuard); a
    // run-time error is shown as number:description (reported).
    void guarded(const std::function<void()>& body);
    void reported(const std::function<void()>& body);
    // The body of the single card send.
    void sendCard();
    com::Variant callDoor(const QString& member, com::Args& args);
    // Calls a status reader (address, text by reference); false after the
    // failure text when the controller gave no answer.
    bool readStatus(const QString& member, QString& text);

    DoorFactory createDoor_;
    com::Dispatch door_;
    bool portFlag_ = false;
    // The port last chosen (the stored one until a port button is clicked).
    QString portText_;
    std::array<int, 5> pictures_{};
    QSize sizeBeforeTimeFrame_;
};
