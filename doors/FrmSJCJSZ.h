#pragma once
// The collection schedule "数据采集设置": manual, or automatic at a time of
// day, stored as the single row of cjtype and kept in GatherType and
// GatherTime while the program runs.
#include "ui/Form.h"

class QLabel;
class QPushButton;
class QRadioButton;
class QTimeEdit;

class FrmSJCJSZ : public ui::Form {
    Q_OBJECT
public:
    explicit FrmSJCJSZ(QWidget* parent = nullptr);

    QRadioButton* Opt1[2] = {};   // 0 automatic, 1 manual
    QTimeEdit* DTP1 = nullptr;
    QLabel* Label1[1] = {};
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;

    void Form_Load() override;
    void Opt1_Click(int index);
    void Command1_Click();
    void Command2_Click();
};
