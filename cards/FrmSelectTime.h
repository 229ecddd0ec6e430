#pragma once
// The time-group picker: ticks the groups 1 to 15 of one lock. The caller
// puts the lock's selection into SelectedTimeGroups and shows the window
// modally; the answer comes back in SelectedTimeGroups.
#include "ui/Form.h"

class QGroupBox;
class QLabel;
class QListWidget;
class QPushButton;

class FrmSelectTime : public ui::Form {
    Q_OBJECT
public:
    explicit FrmSelectTime(QWidget* parent = nullptr);

    // 1 once the port could not be opened or a controller read failed; stays
    // 1 for the rest of the program's run, across showings.
    static inline int ReadError = 0;

    QGroupBox* Frame1 = nullptr;
    QListWidget* List1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QPushButton* CmdAll = nullptr;
    QPushButton* CmdSave = nullptr;
    QPushButton* CmdClose = nullptr;

    void Form_Load() override;
    void ReadMachineTimeGroups(int address);
    void CmdAll_Click();
    void CmdSave_Click();
    void CmdClose_Click();

    // Line n ticked (n from 0).
    bool ticked(int n) const;
    void setTicked(int n, bool on);

private:
    void addPlaceholders(const QString& ending);

    bool cardPlusPassword_ = true;
    QString incoming_;
};
