#include "FrmSJCJSZ.h"

#include "AppForms.h"
#include "Globals.h"
#include "Module2.h"
#include "runtime/RuntimeError.h"
#include "ui/Ui.h"

#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTimeEdit>
#include <QTimer>

FrmSJCJSZ::FrmSJCJSZ(QWidget* parent)
    : ui::Form(parent)
{
    setObjectName(QStringLiteral("FrmSJCJSZ"));
    setWindowTitle(QStringLiteral("数据采集设置"));
    setFixedSize(330, 200);
    const char* captions[2] = {"自 动", "手 动"};
    for (int i = 0; i < 2; ++i) {
        Opt1[i] = new QRadioButton(QString::fromUtf8(captions[i]), this);
        Opt1[i]->setObjectName(QStringLiteral("Opt1_%1").arg(i));
        Opt1[i]->setGeometry(40 + i * 130, 20, 100, 24);
        connect(Opt1[i], &QRadioButton::clicked, this, [this, i] { Opt1_Click(i); });
    }
    Label1[0] = new QLabel(QStringLiteral("请选择时间："), this);
    Label1[0]->setGeometry(40, 60, 90, 24);
    DTP1 = new QTimeEdit(this);
    DTP1->setObjectName(QStringLiteral("DTP1"));
    DTP1->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    DTP1->setGeometry(130, 60, 100, 24);
    Label2 = new QLabel(this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setGeometry(40, 96, 260, 22);
    Label2->hide();
    Label3 = new QLabel(this);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->setGeometry(40, 120, 260, 22);
    Label3->hide();
    Command1 = new QPushButton(QStringLiteral("确 定"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setGeometry(60, 154, 90, 28);
    Command2 = new QPushButton(QStringLiteral("取 消"), this);
    Command2->setObjectName(QStringLiteral("Command2"));
    Command2->setGeometry(180, 154, 90, 28);
    connect(Command1, &QPushButton::clicked, this, &FrmSJCJSZ::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &FrmSJCJSZ::Command2_Click);
}

void FrmSJCJSZ::Form_Load()
{
    DTP1->setTime(ui::now().time());
    db::TableRecordset t = mdl::DaoDatabase.openTable(QStringLiteral("cjtype"));
    if (t.recordCount() > 0) {
        t.moveFirst();
        Label2->show();
        Label3->show();
        Label2->setText(QStringLiteral("上次设定的时间：  ") + t.text(QStringLiteral("采集时间")) + QStringLiteral(":00"));
        if (db::text(t.field(QStringLiteral("采集类型"))) == QLatin1String("1")) {
            Opt1[0]->setChecked(true);
        } else {
            Opt1[1]->setChecked(true);
            DTP1->setEnabled(false);
        }
    }
    t.close();
}

void FrmSJCJSZ::Opt1_Click(int index)
{
    DTP1->setEnabled(index == 0);
}

void FrmSJCJSZ::Command2_Click()
{
    unloadForm();
}

void FrmSJCJSZ::Command1_Click()
{
    try {
        db::Database own = db::Database::open(Module2::GetDatabasePath());
        db::TableRecordset t = own.openTable(QStringLiteral("cjtype"));
        // The main window's timer, found by name: this library does not link the main window.
        QTimer* mainTimer = nullptr;
        for (ui::Form* f : ui::forms::loaded())
            if (f->objectName() == QLatin1String("menu"))
                mainTimer = f->findChild<QTimer*>(QStringLiteral("Timer1"));
        if (Opt1[0]->isChecked()) {
            mdl::GatherType = 1;
            // Stored as "HH:mm" whatever the desktop's time format.
            mdl::GatherTime = DTP1->time().toString(QStringLiteral("HH:mm"));
            if (mainTimer)
                mainTimer->start();
        } else {
            mdl::GatherType = 0;
            mdl::GatherTime = QStringLiteral("0");
            if (mainTimer)
                mainTimer->stop();
        }
        if (t.recordCount() == 0) {
            t.addNew();
        } else {
            t.moveFirst();
            t.edit();
        }
        t.setField(QStringLiteral("采集类型"), mdl::GatherType);
        t.setField(QStringLiteral("采集时间"), mdl::GatherTime);
        t.update();
        t.close();
        own.close();
        unloadForm();
    } catch (const rt::Error& e) {
        ui::msgBox(e.text(), ui::mb::OKOnly, QStringLiteral("信息提示"));
    }
}

OSTRELA_WINDOW(FrmSJCJSZ);
