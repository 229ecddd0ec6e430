#pragma once
// The door and lock table "门锁设置": one row of doors per controller
// address, what the chosen controller reports about itself, and the
// controller set-up that shares its address box: clock, initialisation,
// time group 16 and the hand-over to the time-group window.
#include "ui/Form.h"

#include <cstdint>
#include <optional>

class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QStatusBar;

class Frmdoors : public ui::Form {
    Q_OBJECT
public:
    explicit Frmdoors(QWidget* parent = nullptr);

    QComboBox* Cdoor = nullptr;
    QCheckBox* Clkn1[2] = {};
    QLineEdit* drnam[2] = {};
    QLineEdit* second2[2] = {};
    QRadioButton* Opt[6] = {};
    QGroupBox* Frame2 = nullptr;   // lock 1
    QGroupBox* Frame4 = nullptr;   // lock 2
    QLineEdit* TxtSecond3 = nullptr;
    QLabel* LblExp = nullptr;
    QLabel* LblS = nullptr;
    QListWidget* ListView1 = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    QPushButton* Cmdadd = nullptr;
    QPushButton* Command4 = nullptr;
    QPushButton* Cmddel = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* cmdTest = nullptr;
    QPushButton* CmdSetTime = nullptr;
    QFrame* Pic = nullptr;
    QCheckBox* ChkRecord = nullptr;
    QCheckBox* ChkName = nullptr;
    QPushButton* cmdY = nullptr;
    QPushButton* cmdCancel = nullptr;

    // Panel 1 of the status bar, where every result of the window goes.
    QString panel1() const;
    void setPanel1(const QString& text);

    void Form_Load() override;
    void Form_Unload(bool& cancel) override;
    void Cdoor_Click();
    // Keys other than digits, Enter and Backspace become 0 (discarded).
    void Cdoor_KeyPress(int& KeyAscii);
    void second2_KeyPress(int index, int& KeyAscii);
    // As the address: the external delay is a whole number of units.
    void TxtSecond3_KeyPress(int& KeyAscii);
    void Opt_Click(int index);
    void Cmdadd_Click();
    void Command4_Click();
    void Cmddel_Click();
    void Command2_Click();
    void Command1_Click();
    void cmdTest_Click();
    void cmdCancel_Click();
    void cmdY_Click();
    void CmdSetTime_Click();
    void InitTimeGroup16();

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    // The lock delay of a ticked lock: an empty box takes the type's default,
    // anything else must lie in the type's range. False after a refusal.
    bool checkLockDelay(int lock);
    // The address of a row to add or modify; false after a refusal.
    bool checkRowAddress(int16_t& address);
    // The external delay in whole units, at most most; nothing after a refusal.
    std::optional<int16_t> externalDelay(int most);
    QString lockType(int lock) const;
    void fillAddresses();
    bool layoutSaved_ = false;
};
