#pragma once
// The live punch monitor "实时监视打卡状况": polls every recorded controller
// for the last card read and shows the holder of each new swipe with photo
// and channel.
#include "ui/Form.h"

#include <QHash>
#include <QString>

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
    // The card each controller reported at its previous answer, by address.
    QHash<int16_t, QString> reported_;
};
