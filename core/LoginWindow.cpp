#include "LoginWindow.h"

#include "ActiveBar.h"
#include "Globals.h"
#include "MenuWindow.h"
#include "ToolTable.h"
#include "com/Com.h"
#include "db/Db.h"
#include "runtime/RuntimeError.h"
#include "ui/KeyPress.h"
#include "ui/Ui.h"

#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

login::login(QWidget* parent)
    : ui::Form(parent)
{
    setObjectName(QStringLiteral("login"));
    setFixedSize(360, 220);

    Label1 = new QLabel(QStringLiteral("用户名:"), this);
    Label1->setGeometry(48, 36, 64, 24);
    Tuser = new QLineEdit(this);
    Tuser->setObjectName(QStringLiteral("Tuser"));
    Tuser->setGeometry(116, 36, 180, 24);
    Label4 = new QLabel(QStringLiteral("口  令:"), this);
    Label4->setGeometry(48, 76, 64, 24);
    tpasswd = new QLineEdit(this);
    tpasswd->setObjectName(QStringLiteral("tpasswd"));
    tpasswd->setGeometry(116, 76, 180, 24);
    tpasswd->setEchoMode(QLineEdit::Password);
    Label3 = new QLabel(QStringLiteral("注： 用户名和口令不能超过10个字符"), this);
    Label3->setGeometry(48, 112, 270, 24);
    CmdOk = new QPushButton(QStringLiteral("确 认"), this);
    CmdOk->setObjectName(QStringLiteral("CmdOk"));
    CmdOk->setGeometry(70, 160, 90, 28);
    CmdExit = new QPushButton(QStringLiteral(" 退 出 "), this);
    CmdExit->setObjectName(QStringLiteral("CmdExit"));
    CmdExit->setGeometry(200, 160, 90, 28);
    setTabOrder(Tuser, tpasswd);
    setTabOrder(tpasswd, CmdOk);
    setTabOrder(CmdOk, CmdExit);

    // Every character of the password shows as "*".
    tpasswd->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
    for (QLineEdit* box : {Tuser, tpasswd}) {
        box->setAutoFillBackground(true);
        setBack(box, normalBack());
        box->installEventFilter(this);
    }
    QPalette p = Tuser->palette();
    p.setColor(QPalette::Text, Qt::black);
    Tuser->setPalette(p);
    p = tpasswd->palette();
    p.setColor(QPalette::Text, QColor(64, 64, 64));
    tpasswd->setPalette(p);
    ui::onKeyPress(Tuser, [this](int& k) { Tuser_KeyPress(k); });
    ui::onKeyPress(tpasswd, [this](int& k) { tpasswd_KeyPress(k); });
    ui::onKeyPress(CmdOk, [this](int& k) { CmdOk_KeyPress(k); });

    connect(CmdOk, &QPushButton::clicked, this, &login::CmdOk_Click);
    connect(CmdExit, &QPushButton::clicked, this, &login::CmdExit_Click);
}

void login::Form_Load()
{
    setWindowTitle(QStringLiteral("门禁管理系统 V3.0    "));
    if (QScreen* s = QGuiApplication::primaryScreen()) {
        const QRect sr = s->geometry();
        move(sr.x() + (sr.width() - width()) / 2, sr.y() + (sr.height() - height()) / 2);
    }
    // No trap of its own: a failure reaches the start procedure.
    mdl::DaoDatabase = db::Database::openConnect(mdl::DaoConnect);
}

void login::Form_Activate()
{
    Tuser->setFocus();
}

void login::showEvent(QShowEvent* event)
{
    ui::Form::showEvent(event);
    Form_Activate();
}

void login::setBack(QLineEdit* box, const QColor& c)
{
    QPalette p = box->palette();
    p.setColor(QPalette::Base, c);
    box->setPalette(p);
}

bool login::eventFilter(QObject* watched, QEvent* event)
{
    auto* box = qobject_cast<QLineEdit*>(watched);
    if (box && (box == Tuser || box == tpasswd)) {
        if (event->type() == QEvent::FocusIn) {
            setBack(box, focusBack());
            box->selectAll();
            // A mouse click would place the cursor after this; select again.
            QTimer::singleShot(0, box, [box] {
                if (box->hasFocus())
                    box->selectAll();
            });
        } else if (event->type() == QEvent::FocusOut) {
            setBack(box, normalBack());
        }
    }
    return ui::Form::eventFilter(watched, event);
}

void login::Tuser_KeyPress(int& KeyAscii) { ui::enterMovesOn(Tuser, KeyAscii); }

void login::tpasswd_KeyPress(int& KeyAscii)
{
    if (KeyAscii == ui::kEnter) {
        KeyAscii = 0;
        CheckLogin();
    }
}

void login::CmdOk_KeyPress(int& KeyAscii)
{
    if (KeyAscii == ui::kEnter) {
        KeyAscii = 0;
        CheckLogin();
    } else if (KeyAscii == ui::kEscape) {
        KeyAscii = 0;
        ui::endProgram(0);
    }
}

void login::CmdOk_Click()
{
    CheckLogin();
}

void login::CheckLogin()
{
    menu* mainWindow = nullptr;
    try {
        // Name and password travel as bound values: quotes in them are just characters.
        db::Recordset rs = mdl::AdoConnection.execute(QStringLiteral("select * from [user] where sysname=? and syspword=?"),
                                                    {trimBlanks(Tuser->text()), trimBlanks(tpasswd->text())});
        if (rs.eof()) {
            ui::msgBox(QStringLiteral("用户名或口令有错,请重输"), ui::mb::OKOnly | ui::mb::Exclamation);
            rs.close();
            Tuser->setFocus();
            Tuser->selectAll();
            return;
        }
        mainWindow = ui::forms::load<menu>();
        mdl::CurrentUser = rs.text(QStringLiteral("sysname"));
        for (int r = 0; r < tools::kRightCount; ++r) {
            // Null counts as False.
            const bool on = db::toBool(rs.field(QStringLiteral("r%1").arg(r)));
            mainWindow->ActiveBar1->Tools(QString::number(tools::toolOfRight(r))).setEnabled(on);
        }
        rs.close();
    } catch (const rt::Error& e) {
        ui::msgBox(e.text(), ui::mb::OKOnly, QStringLiteral("错误提示"));
        return;
    }
    loggedIn_ = true;
    ui::forms::unload(this);
    try {
        mdl::Door = com::CreateObject(QStringLiteral("Vantrel.Door8096"));
    } catch (const rt::Error& e) {
        // The login is gone and the main window hidden: without the
        // controller object the program cannot go on, so it ends.
        ui::msgBox(e.text(), ui::mb::OKOnly, QStringLiteral("错误提示"));
        ui::endProgram(1);
        return;
    }
    mainWindow->showModeless();
}

void login::Form_Unload(bool& cancel)
{
    Q_UNUSED(cancel);
    // Closed by the operator: no other window is open, so the program ends.
    if (!loggedIn_)
        ui::endProgram(0);
}

void login::CmdExit_Click()
{
    // Every error ignored: the program ends whatever happens.
    try {
        mdl::AdoConnection.close();
    } catch (...) {
    }
    ui::endProgram(0);
}
