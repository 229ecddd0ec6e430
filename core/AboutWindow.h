#pragma once
// The about box: the program's title, the system-information program found
// through the registry, and the controllers' hardware information window.
#include "registry/Registry.h"
#include "ui/Form.h"

#include <functional>

class QLabel;
class QPushButton;
class QFrame;

class frmabout : public ui::Form {
    Q_OBJECT
public:
    explicit frmabout(QWidget* parent = nullptr);

    QLabel* lblTitle = nullptr;
    QFrame* Line1[2] = {nullptr, nullptr};
    QPushButton* CmdOk = nullptr;
    QPushButton* cmdSysInfo = nullptr;
    QPushButton* Command1 = nullptr;

    // Finds and starts the system-information program, or says it cannot.
    void StartSysInfo();
    // Reads a text value of the registry; false (and an empty text) when the
    // key or the value cannot be read or the value is not text.
    static bool GetKeyValue(reg::HKEY KeyRoot, const QString& KeyName, const QString& SubKeyRef, QString& KeyVal);

    void Form_Load() override;
    void CmdOk_Click();
    void cmdSysInfo_Click();
    void Command1_Click();

    // Starts a program without waiting for it; false when it cannot be
    // started. Tests replace it.
    using Starter = std::function<bool(const QString& path)>;
    static void setProgramStarter(Starter s);
};
