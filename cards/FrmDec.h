#pragma once
// "压缩卡机": takes every credential of chosen addresses, or chosen people,
// off the controllers and books each one as returned.
#include "ui/Form.h"
#include "ui/LogList.h"

#include <QString>
#include <functional>
#include <optional>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QStatusBar;

class FrmDec : public ui::Form {
    Q_OBJECT
public:
    explicit FrmDec(QWidget* parent = nullptr);

    QListWidget* LstDepart = nullptr;
    QGroupBox* Frame5 = nullptr;
    QListWidget* LstAddr = nullptr;
    QLabel* Label5 = nullptr;
    QListWidget* LstInfo = nullptr;
    QLineEdit* TxtDepart = nullptr;
    QLineEdit* TxtName = nullptr;
    QLineEdit* TxtCardID = nullptr;
    QCheckBox* ChkSpe = nullptr;
    QPushButton* cmdSelect = nullptr;
    QPushButton* CmdDelAddr = nullptr;
    QPushButton* CmdDelInfo = nullptr;
    QPushButton* CmdClear = nullptr;
    QPushButton* Command2 = nullptr;
    QLabel* Label6 = nullptr;
    ui::LogList* ListLog = nullptr;
    QStatusBar* StbInfo = nullptr;
    QLabel* Panel1 = nullptr;   // the status bar's first panel

    void Form_Load() override;
    void Form_Unload(bool& cancel) override;
    void LstDepart_Click();
    void LstAddr_Click();
    void LstInfo_Click();
    void cmdSelect_Click();
    void CmdDelAddr_Click();
    void CmdDelInfo_Click();
    void CmdClear_Click();
    void Command2_Click();

    QString statusText() const;

private:
    struct Credential {
        int address = 0;
        QString employee, physical, name, department;
    };
    // One credential off its controller and into the books (also when the
    // controller refused, if the operator asked for that).
    void withdraw(const Credential& c, bool changeDatabaseAnyway);
    void log(const Credential& c, const QString& outcome);
    void setStatus(const QString& text);
    bool openPort();
    void runBatch(const QString& startText, const std::function<std::optional<QString>()>& body);
    // The closing text of a run: done when every controller deleted its
    // credential, else how many are still on a controller.
    QString endText(const QString& done, const QString& partly) const;
    int refused_ = 0;   // credentials of this run a controller did not delete
};
