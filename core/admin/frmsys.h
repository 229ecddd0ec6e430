#pragma once
// The serial-link and controller-version settings: the port every controller
// window opens, the command delay, the collection wait, the configured
// controller version, and a connection test that sets one controller's clock.
#include "ui/Form.h"

class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

class frmsys : public ui::Form {
    Q_OBJECT
public:
    explicit frmsys(QWidget* parent = nullptr);

    QLabel* Label1 = nullptr;
    QLineEdit* Tport = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* Tset = nullptr;
    QLabel* Label3 = nullptr;
    QLineEdit* Tinb = nullptr;
    QLabel* Label4 = nullptr;
    QLineEdit* Toutb = nullptr;
    QLabel* Label5 = nullptr;
    QLineEdit* Txtdelay = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label7 = nullptr;
    QLineEdit* TxtWait = nullptr;
    QLabel* Label8 = nullptr;
    QLabel* Label9 = nullptr;
    QComboBox* CmbMachVer = nullptr;
    QPushButton* CmdOk = nullptr;
    QPushButton* cmdTest = nullptr;
    QPushButton* CmdExit = nullptr;
    QFrame* Frame1 = nullptr;
    QLabel* Label10 = nullptr;
    QLineEdit* tdz = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;

    void Form_Load() override;
    void CmdOk_Click();
    void cmdTest_Click();
    void Command1_Click();
    void Command2_Click();
    void CmdExit_Click();
    // Digits and Backspace pass; anything else is dropped with a beep.
    void Tport_KeyPress(int& KeyAscii);
    // Enter moves on; only digits pass (Backspace too is dropped).
    void tdz_KeyPress(int& KeyAscii);

protected:
    void Form_Unload(bool& cancel) override;

private:
    void LoadMachineVersions();
};
