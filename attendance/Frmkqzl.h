#pragma once
// The attendance processing window: turns the punches of table data over a
// date range into one datakq row per employee and day.
#include "PunchSelection.h"
#include "db/Db.h"
#include "ui/Form.h"

class QDateEdit;
class QLabel;
class QProgressBar;
class QPushButton;
class QStatusBar;

class Frmkqzl : public ui::Form {
    Q_OBJECT
public:
    explicit Frmkqzl(QWidget* parent = nullptr);

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QDateEdit* DTP1 = nullptr;
    QLabel* Label3 = nullptr;
    QDateEdit* DTP2 = nullptr;
    QPushButton* CmdStart = nullptr;
    QPushButton* Command2 = nullptr;
    QProgressBar* Prg = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    QLabel* Panels[1] = {nullptr};

    void Form_Load() override;
    void CmdStart_Click();
    void Command2_Click();

    // The day's punches chosen for 时间1..时间4 (seconds of the day, 0 = none).
    punches::Slots punchSlots{0, 0, 0, 0};
    // The daily punch selection over one employee's punch times of one day,
    // sorted ascending. The second period's runs after the first period's.
    void GetPunchesOnePeriod(const punches::Times& day, int onDuty, int offDuty);
    void GetPunchesFirstPeriod(const punches::Times& day, int onDuty1, int offDuty1, int onDuty2, int offDuty2);
    void GetPunchesSecondPeriod(const punches::Times& day, int offDuty1, int onDuty2, int offDuty2);

protected:
    void Form_Unload(bool& cancel) override;

private:
    void run();
    void status(const QString& text);

    db::Database db_;
};
