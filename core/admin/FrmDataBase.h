#pragma once
// Backup and restore of the database file. A backup is a consistent copy
// put in place only when complete; a restore checks the chosen copy, stages
// it beside the live file and renames it over, after which the program ends.
#include "ui/Form.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

class FrmDataBase : public ui::Form {
    Q_OBJECT
public:
    explicit FrmDataBase(QWidget* parent = nullptr);

    QGroupBox* Frame1 = nullptr;
    QLabel* Label3 = nullptr;
    QComboBox* Drive1 = nullptr;     // file-system roots and mount points
    QLabel* Label5 = nullptr;
    QListWidget* Dir1 = nullptr;     // the open folder, "..", then its sub-folders
    QListWidget* File1 = nullptr;    // the ".mdb" files of the highlighted folder
    QLabel* Label6 = nullptr;
    QLineEdit* Text2 = nullptr;
    QLineEdit* Text1 = nullptr;
    QLabel* Label4 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command3 = nullptr;
    QPushButton* Command2 = nullptr;

    QString BackupTargetPath;
    QString LiveDatabasePath;

    // The folder Dir1 has open, and opening another (as a double click does).
    QString dirPath() const { return dirPath_; }
    void openDir(const QString& path);

    void Form_Load() override;
    void Drive1_Change();
    void Dir1_Click();
    void Dir1_Change();
    void File1_Click();
    void Text2_Change();
    void Command1_Click();
    void Command3_Click();
    void Command2_Click();

protected:
    void Form_Unload(bool& cancel) override;

private:
    bool showDir(const QString& path);   // lists it without rebuilding the target
    void listFiles(const QString& folder);
    void rebuildTarget();
    QString highlightedDir() const;

    QString dirPath_;
};
