#pragma once
// The live punch monitor "实时监视打卡状况": polls every recorded controller
// for the last card read and shows its holder with photo and channel.
#include "ui/Form.h"

class QLabel;
class QPushButton;
class QTimer;

class FrmSSXX : public ui::Form {
    Q_OBJECT
public:
    explicit FrmSSXX(QWidget* parent = nullptr);

    QWidget* Picture1 = nullptr;
    QLabel* Label8 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* Label9 = nullptr;
    QLabel* Label3 = nullptr;
    // 0 number, 1 name, 2 time, 3 department, 4 position, 5 channel
    QLabel* Label2[6] = {};
    QLabel* Image1 = nullptr;
    QLabel* Lblinfo = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label1 = nullptr;
    QPushButton* Command1 = nullptr;
    QTimer* TimerScanTD = nullptr;
    QTimer* Timer2 = nullptr;

    void Form_Load() override;
    void Form_Unload(bool& cancel) override;
    void TimerScanTD_Timer();
    void Timer2_Timer();
    void Command1_Click();

private:
    void blank();
    int timer2Ticks_ = 0;
};
