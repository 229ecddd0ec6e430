#include "Frmspecial.h"

#include "AppForms.h"
#include "Frmspe.h"
#include "Globals.h"
#include "runtime/RuntimeError.h"
#include "ui/KeyPress.h"
#include "ui/Ui.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

Frmspecial::Frmspecial(QWidget* parent)
    : ui::Form(parent)
{
    setObjectName(QStringLiteral("Frmspecial"));
    setWindowTitle(QStringLiteral("强制开锁"));
    setFixedSize(330, 190);
    Frame1 = new QFrame(this);
    Frame1->setFrameShape(QFrame::Box);
    Frame1->setGeometry(12, 12, 306, 110);
    Lab = new QLabel(QStringLiteral("超级用户："), Frame1);
    Lab->setGeometry(20, 20, 80, 24);
    Tuser = new QLineEdit(Frame1);
    Tuser->setObjectName(QStringLiteral("Tuser"));
    Tuser->setGeometry(100, 20, 180, 24);
    auto* pw = new QLabel(QStringLiteral("口    令："), Frame1);
    pw->setGeometry(20, 62, 80, 24);
    tpasswd = new QLineEdit(Frame1);
    tpasswd->setObjectName(QStringLiteral("tpasswd"));
    tpasswd->setEchoMode(QLineEdit::Password);
    tpasswd->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
    tpasswd->setGeometry(100, 62, 180, 24);
    Cok = new QPushButton(QStringLiteral("确  认"), this);
    Cok->setObjectName(QStringLiteral("Cok"));
    Cok->setGeometry(60, 140, 90, 28);
    Cexit = new QPushButton(QStringLiteral("返  回"), this);
    Cexit->setObjectName(QStringLiteral("Cexit"));
    Cexit->setGeometry(180, 140, 90, 28);
    connect(Cok, &QPushButton::clicked, this, &Frmspecial::Cok_Click);
    connect(Cexit, &QPushButton::clicked, this, &Frmspecial::Cexit_Click);
    ui::onKeyPress(Tuser, [this](int& k) { Tuser_KeyPress(k); });
    ui::onKeyPress(tpasswd, [this](int& k) { tpasswd_KeyPress(k); });
}

void Frmspecial::Tuser_KeyPress(int& KeyAscii)
{
    if (KeyAscii == ui::kEnter) {
        KeyAscii = 0;
        tpasswd->setFocus(Qt::TabFocusReason);
    }
}

void Frmspecial::tpasswd_KeyPress(int& KeyAscii)
{
    if (KeyAscii == ui::kEnter) {
        KeyAscii = 0;
        Cok->setFocus(Qt::TabFocusReason);
    }
}

void Frmspecial::Cok_Click()
{
    bool passed = false;
    try {
        // The typed texts are values, never part of the statement.
        db::Recordset rs = mdl::DaoDatabase.openRecordset(
            QStringLiteral("SELECT sysname FROM [user] WHERE sysname=? AND syspword=? AND r24<>0"),
            {Tuser->text().trimmed(), tpasswd->text().trimmed()});
        passed = !rs.eof();
        rs.close();
    } catch (const rt::Error& e) {
        ui::msgBox(e.text(), ui::mb::OKOnly, QStringLiteral("信息提示"));
        return;
    }
    if (!passed) {
        ui::msgBox(QStringLiteral("用户或口令错或不具备该操作的权限"), ui::mb::Exclamation);
        return;
    }
    unloadForm();
    ui::forms::load<Frmspe>()->showModeless();
}

void Frmspecial::Cexit_Click()
{
    unloadForm();
}

OSTRELA_WINDOW(Frmspecial);
