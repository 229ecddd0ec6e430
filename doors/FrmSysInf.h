#pragma once
// The hardware information window "硬件信息": the recorded controller
// addresses as a tree and, for the one clicked, the values of the shipped
// "sysinf.ini" in the program folder (the same for every address).
#include "ui/Form.h"

#include <QStringList>

class QLabel;
class QListWidget;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

class FrmSysInf : public ui::Form {
    Q_OBJECT
public:
    explicit FrmSysInf(QWidget* parent = nullptr);

    QTreeWidget* AdrView = nullptr;
    QListWidget* ListView1 = nullptr;
    QPushButton* exitclose = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    int NodeCount = 0;   // address nodes + 1

    // The image name a node shows: "closed", "opened", "info1", "info", "ok".
    static QString imageOf(const QTreeWidgetItem* node);

    void Form_Load() override;
    void AdrView_NodeClick(QTreeWidgetItem* node);
    void AdrView_Expand(QTreeWidgetItem* node);
    void AdrView_Collapse(QTreeWidgetItem* node);
    void exitclose_Click();
    void ReadSys() {}

    // The seven values of a "sysinf.ini" text: six ending at a comma, the
    // seventh running to the end without its commas. Missing values are empty.
    static QStringList parseSysInf(const QString& text);

private:
    void setImage(QTreeWidgetItem* node, const QString& name);
};
