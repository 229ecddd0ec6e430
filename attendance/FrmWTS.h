#pragma once
// The working-time rules window: the site's one row of table owt (two
// working periods, the late and early-leave thresholds derived from the
// graces, the break and the daily hour cap).
#include "db/Db.h"
#include "ui/Form.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimeEdit;

class FrmWTS : public ui::Form {
    Q_OBJECT
public:
    explicit FrmWTS(QWidget* parent = nullptr);

    QGroupBox* Frame1 = nullptr;
    QCheckBox* Check1[2] = {nullptr, nullptr};
    QTimeEdit* DTX1 = nullptr;
    QTimeEdit* DTX2 = nullptr;
    QTimeEdit* DTX3 = nullptr;
    QTimeEdit* DTX4 = nullptr;
    QLabel* Label13 = nullptr;
    QGroupBox* Frame2 = nullptr;
    QLineEdit* Text1 = nullptr;
    QLineEdit* Text2 = nullptr;
    QLineEdit* TextLeave = nullptr;
    QLineEdit* TextMaxHouse = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;

    void Form_Load() override;
    void Check1_Click(int index);
    void Command1_Click();
    void Command2_Click();

protected:
    void Form_Unload(bool& cancel) override;

private:
    db::Database db_;
    bool inCheckRule_ = false;
};
