#pragma once
// Name-list re-send: makes one controller's name list equal to table dfaka
// again (clock set, list erased, every row of the address sent), lists the
// rows the controller accepted and refused, and sends refused rows again.
#include "ui/Form.h"
#include "ui/LogList.h"

#include <QList>
#include <QString>
#include <QVariant>

#include <functional>

namespace rt {
class Error;
}

class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QStatusBar;

class FrmFKZL : public ui::Form {
    Q_OBJECT
public:
    explicit FrmFKZL(QWidget* parent = nullptr);

    QComboBox* Combo1 = nullptr;
    QLineEdit* txtCount = nullptr;
    QPushButton* CmdReset = nullptr;
    QPushButton* CmdRetry = nullptr;
    QPushButton* CmdClear = nullptr;
    QPushButton* Command2 = nullptr;
    ui::LogList* ListSuccess = nullptr;
    ui::LogList* ListFalse = nullptr;
    QLabel* LblSuccess = nullptr;
    QLabel* LblFalse = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* Label8 = nullptr;
    QLabel* Label9 = nullptr;
    QProgressBar* PrgBar = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    QLabel* Panels[1] = {nullptr};

    void Form_Load() override;
    void Form_Unload(bool& cancel) override;
    void Combo1_Click();
    void CmdReset_Click();
    void CmdRetry_Click();
    void CmdClear_Click();
    void Command2_Click();

    // One dfaka row as the run sends it.
    struct CardRow {
        QString number, physical, name, week, endDate, groups1, groups2;
        bool weekControl = false, lock1 = false, lock2 = false, timeControl = false, endDateControl = false,
             password = false;
    };

private:
    void setStatus(const QString& text);
    // Port, wait and clock; false after reporting the failure.
    bool prepareController(int16_t address);
    // Sends the rows and shows the summary; a full run lists the address
    // with two digits. end() restores the buttons when the run stops early.
    void sendRows(int16_t address, const QList<CardRow>& rows, bool full, const std::function<void()>& end);
    void finishRun(int accepted, int total, const std::function<void()>& end);
    // An unexpected error ends the run: port released, message box.
    void failRun(const rt::Error& e, const std::function<void()>& end);

};
