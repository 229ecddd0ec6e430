#pragma once
// Departments and positions: add, rename (carried into the employee
// records), delete, and the deletion of a department that withdraws its
// credentials from the controllers.
#include "ui/Form.h"

#include <QStringList>
#include <functional>

class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTabBar;

class Frmbm : public ui::Form {
    Q_OBJECT
public:
    explicit Frmbm(QWidget* parent = nullptr);

    QTabBar* TabStrip1 = nullptr;

    QGroupBox* Frame1 = nullptr;
    QListWidget* List1 = nullptr;
    QLineEdit* Tbm = nullptr;
    QPushButton* Cmdadd = nullptr;
    QPushButton* Cmdch = nullptr;
    QPushButton* Cmddel = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* CmdExit = nullptr;
    QLabel* LabelMessage = nullptr;

    QGroupBox* Frame2 = nullptr;
    QListWidget* List2 = nullptr;
    QLineEdit* tzw = nullptr;
    QPushButton* cmdadd2 = nullptr;
    QPushButton* Cmdch2 = nullptr;
    QPushButton* Cmddel2 = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Cmdexit2 = nullptr;
    QLabel* LabelMessage2 = nullptr;

    // Refill the department and position lists.
    void ViewDepart();
    void ViewZW();

    void Form_Load() override;
    void TabStrip1_Click();
    void List1_Click();
    void List2_Click();
    void Tbm_KeyPress(int& KeyAscii);

    void Cmdadd_Click();
    void Cmdch_Click();
    void Cmddel_Click();
    void Command1_Click();
    void CmdExit_Click();

    void cmdadd2_Click();
    void Cmdch2_Click();
    void Cmddel2_Click();
    void Command2_Click();
    void Cmdexit2_Click();

private:
    // What the department side and the position side differ in.
    struct Side {
        QListWidget* list = nullptr;
        QLineEdit* box = nullptr;
        QLabel* label = nullptr;
        QString kind;        // "部门" or "职位", as the texts name it
        QString pickFirst;   // the text when nothing is selected for a rename
        std::function<bool(const QString&)> addClash;
        std::function<bool(const QString&)> renameClash;
        std::function<void(const QString&)> insert;
        QStringList renames;   // updates taking (new name, old name)
        std::function<void()> refresh;
    };
    Side departmentSide();
    Side positionSide();
    void addName(const Side& s);
    void renameName(const Side& s);
    // The position root's id, created when missing.
    qint64 positionRoot();
    // Withdraws the department's credentials; false when a controller refused one.
    bool withdrawCredentials(const QString& department);
};
