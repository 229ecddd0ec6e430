#pragma once
// Operators of the program (table user): names, passwords, the two
// administrative flags and the 25 rights the login applies to the tools.
#include "db/Db.h"
#include "ui/Form.h"

#include <QList>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTabWidget;

class FrmRigS : public ui::Form {
    Q_OBJECT
public:
    explicit FrmRigS(QWidget* parent = nullptr);

    QTabWidget* SSTab1 = nullptr;
    // Tab "用户设置".
    QListWidget* List1 = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* Text1 = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* Text2 = nullptr;
    QCheckBox* Che1 = nullptr;
    QCheckBox* Che2 = nullptr;
    QPushButton* Command6 = nullptr;
    QPushButton* Command4 = nullptr;
    QPushButton* Command7 = nullptr;
    QPushButton* Command5 = nullptr;
    // Tab "用户权限": box i shows right i.
    QList<QCheckBox*> Ch;
    QPushButton* Command3 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;

    void Form_Load() override;
    void List1_Click();
    void Text1_Change();
    void Command6_Click();
    void Command4_Click();
    void Command7_Click();
    void Command3_Click();
    void Command1_Click();
    void Command2_Click();
    void Command5_Click();

protected:
    void Form_Unload(bool& cancel) override;

private:
    // Seeks the name in the index; true when a row was found.
    bool seekName(const QString& name);
    void refillList();

    db::TableRecordset users_;
};
