#pragma once
// The unlock window "强制开锁": opens lock 1 or 2 of a chosen controller at
// once. Shown without modality after a passed super-user check.
#include "ui/Form.h"

class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;

class Frmspe : public ui::Form {
    Q_OBJECT
public:
    explicit Frmspe(QWidget* parent = nullptr);

    QComboBox* Cdoor = nullptr;
    QRadioButton* Option1[2] = {};
    QPushButton* Copen = nullptr;
    QPushButton* closeCmd = nullptr;
    QLabel* Label1 = nullptr;

    void Form_Load() override;
    void Form_Unload(bool& cancel) override;
    void Copen_Click();
    void closeCmd_Click();
};
