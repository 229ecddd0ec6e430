#pragma once
// Cleanup of old history: deletes the punch records, attendance results or
// returned-card history of a range of days, both ends included.
#include "ui/Form.h"

class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QPushButton;

class sjkwf2 : public ui::Form {
    Q_OBJECT
public:
    explicit sjkwf2(QWidget* parent = nullptr);

    QGroupBox* Frame1 = nullptr;
    QComboBox* Cdb = nullptr;
    QGroupBox* Frame3 = nullptr;
    QComboBox* Combo1 = nullptr;
    QLabel* Label1 = nullptr;
    QComboBox* Combo2 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;

    void Form_Load() override;
    void Cdb_Click();
    void Command1_Click();
    void Command2_Click();
};
