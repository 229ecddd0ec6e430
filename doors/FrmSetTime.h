#pragma once
// The time-group window "时间段设置": reads, edits, sends and initialises
// the 16 time groups of one controller and keeps them in DTime, one row per
// address. Opened without modality by the door window, which it shows again
// when it closes.
#include "ui/Form.h"

#include <cstdint>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QTimeEdit;

class FrmSetTime : public ui::Form {
    Q_OBJECT
public:
    explicit FrmSetTime(QWidget* parent = nullptr);

    // The address the door window hands over before the window loads; the
    // first read uses it once.
    static inline int16_t PresetAddr = 0;
    int16_t AutoRead = 0;
    bool CardAndPWD = false;

    static constexpr int kGroups = 16;
    QLabel* Label3[kGroups] = {};
    QTimeEdit* DTPicker1[kGroups] = {};
    QLabel* Label2[kGroups] = {};
    QTimeEdit* DTPEnd1[kGroups] = {};
    QCheckBox* chkCardAndPWD[kGroups] = {};
    QComboBox* CmbAddr = nullptr;
    QLabel* Label1 = nullptr;
    QPushButton* CmdRead = nullptr;
    QPushButton* CmdOk = nullptr;
    QPushButton* CmdInitMachine = nullptr;
    QPushButton* CmdExit = nullptr;
    QGroupBox* Frame3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* InfoStb = nullptr;

    void Form_Load() override;
    void Form_Unload(bool& cancel) override;
    void CmdRead_Click();
    void CmdOk_Click();
    void CmdInitMachine_Click();
    void CmdExit_Click();

private:
    void placeGroups(bool withCheck);
    bool cardPlusPassword(int group) const;
    QString pickerText(int group) const;   // "hhmm-hhmm" as the pickers show it
    void storeRow(int16_t address, const QVariantList& groups, const QString& flags);
};
