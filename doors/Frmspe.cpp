#include "Frmspe.h"

#include "ControllerCalls.h"
#include "DoorLink.h"
#include "Globals.h"
#include "runtime/Conv.h"
#include "runtime/RuntimeError.h"
#include "ui/RunGuard.h"
#include "ui/Ui.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

Frmspe::Frmspe(QWidget* parent)
    : ui::Form(parent)
{
    setObjectName(QStringLiteral("Frmspe"));
    setWindowTitle(QStringLiteral("强制开锁"));
    setFixedSize(330, 170);
    Label1 = new QLabel(QStringLiteral("请选择欲打开门锁地址："), this);
    Label1->setGeometry(20, 20, 160, 24);
    Cdoor = new QComboBox(this);
    Cdoor->setObjectName(QStringLiteral("Cdoor"));
    Cdoor->setEditable(true);
    Cdoor->setInsertPolicy(QComboBox::NoInsert);
    Cdoor->setGeometry(180, 20, 120, 24);
    const char* captions[2] = {"锁一", "锁二"};
    for (int i = 0; i < 2; ++i) {
        Option1[i] = new QRadioButton(QString::fromUtf8(captions[i]), this);
        Option1[i]->setObjectName(QStringLiteral("Option1_%1").arg(i));
        Option1[i]->setGeometry(60 + i * 120, 62, 90, 24);
    }
    Copen = new QPushButton(QStringLiteral("开 锁"), this);
    Copen->setObjectName(QStringLiteral("Copen"));
    Copen->setGeometry(60, 110, 90, 28);
    closeCmd = new QPushButton(QStringLiteral("退 出"), this);
    closeCmd->setObjectName(QStringLiteral("closeCmd"));
    closeCmd->setGeometry(180, 110, 90, 28);
    connect(Copen, &QPushButton::clicked, this, &Frmspe::Copen_Click);
    connect(closeCmd, &QPushButton::clicked, this, &Frmspe::closeCmd_Click);
}

void Frmspe::Form_Load()
{
    db::Recordset rs = mdl::DaoDatabase.openRecordset(QStringLiteral("SELECT 地址 FROM doors ORDER BY rowid"));
    if (!rs.eof()) {
        for (; !rs.eof(); rs.moveNext())
            Cdoor->addItem(rs.text(QStringLiteral("地址")));
        Cdoor->setCurrentIndex(-1);
        Cdoor->setEditText(QString());
        // Until a lock has been opened the window closes only by its close box.
        closeCmd->setEnabled(false);
    } else {
        ui::msgBox(QStringLiteral("串口通信端口没有打开"), ui::mb::Exclamation);
    }
}

void Frmspe::Copen_Click()
{
    ui::RunGuard run(this, {Cdoor});
    if (!run)
        return;
    try {
        if (!ctl::openPort()) {
            ui::msgBox(QStringLiteral("串口打开失败！"));
            return;
        }
        int16_t lock = 0;
        if (Option1[0]->isChecked())
            lock = 1;
        else if (Option1[1]->isChecked())
            lock = 2;
        if (lock == 0) {
            ui::msgBox(QStringLiteral("请选择锁号！"), ui::mb::OKOnly, QStringLiteral("提示"));
            return;
        }
        if (Cdoor->currentText().isEmpty()) {
            ui::msgBox(QStringLiteral("请选择要开的机号！"), ui::mb::OKOnly, QStringLiteral("开锁"));
            return;
        }
        const int16_t address = rt::CWhole(Cdoor->currentText());
        com::Args a{address, lock};
        const bool opened = doorlink::call(QStringLiteral("OpenLock"), a).toBool();
        run.end();
        ui::msgBox(QString::number(lock) + (opened ? QStringLiteral("号锁开锁成功！") : QStringLiteral("号锁开锁失败！")),
                   ui::mb::OKOnly, QStringLiteral("开锁"));
        mdl::PortReady = 0;
        closeCmd->setEnabled(true);
    } catch (const rt::Error& e) {
        ui::msgBox(e.text(), ui::mb::OKOnly, QStringLiteral("提示"));
    }
}

void Frmspe::closeCmd_Click()
{
    try {
        unloadForm();
    } catch (const rt::Error&) {
    }
}

void Frmspe::Form_Unload(bool&)
{
    ctl::releasePort();
}
