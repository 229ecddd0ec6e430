#include "FrmConfirmPWD.h"

#include "AppForms.h"
#include "Globals.h"
#include "runtime/Conv.h"
#include "runtime/RuntimeError.h"
#include "ui/KeyPress.h"
#include "ui/Ui.h"

#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {
bool sixDigits(const QString& s) { return s.size() == 6 && rt::IsDigits(s); }
} // namespace

FrmConfirmPWD::FrmConfirmPWD(QWidget* parent)
    : ui::Form(parent)
{
    setObjectName(QStringLiteral("FrmConfirmPWD"));
    setFixedSize(320, 200);
    Frame1 = new QGroupBox(QStringLiteral("密码确认"), this);
    Frame1->setGeometry(10, 8, 300, 140);
    auto* l1 = new QLabel(QStringLiteral("密    码："), Frame1);
    l1->setGeometry(20, 30, 80, 24);
    tPWD = new QLineEdit(Frame1);
    tPWD->setObjectName(QStringLiteral("tPWD"));
    tPWD->setGeometry(100, 30, 170, 24);
    auto* l2 = new QLabel(QStringLiteral("确认密码："), Frame1);
    l2->setGeometry(20, 66, 80, 24);
    tComPWD = new QLineEdit(Frame1);
    tComPWD->setObjectName(QStringLiteral("tComPWD"));
    tComPWD->setGeometry(100, 66, 170, 24);
    Label2 = new QLabel(QStringLiteral("两次输入的6位密码必须保持一致!"), Frame1);
    Label2->setGeometry(20, 102, 260, 24);
    CmdSend = new QPushButton(QStringLiteral("发送"), this);
    CmdSend->setGeometry(60, 158, 90, 28);
    CmdClose = new QPushButton(QStringLiteral("取消"), this);
    CmdClose->setGeometry(170, 158, 90, 28);
    for (QLineEdit* box : {tPWD, tComPWD}) {
        box->setEchoMode(QLineEdit::Password);
        box->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
        box->setMaxLength(6);
        box->setToolTip(QStringLiteral("请输入六位密码"));
        box->setAutoFillBackground(true);
        setBack(box, Qt::white);
        box->installEventFilter(this);
    }
    ui::onKeyPress(tPWD, [this](int& k) { tPWD_KeyPress(k); });
    ui::onKeyPress(tComPWD, [this](int& k) { tComPWD_KeyPress(k); });
    setTabOrder(tPWD, tComPWD);
    setTabOrder(tComPWD, CmdSend);
    setTabOrder(CmdSend, CmdClose);
    connect(CmdSend, &QPushButton::clicked, this, &FrmConfirmPWD::CmdSend_Click);
    connect(CmdClose, &QPushButton::clicked, this, &FrmConfirmPWD::CmdClose_Click);
}

void FrmConfirmPWD::Form_Load()
{
    setWindowTitle(QStringLiteral("输入密码"));
    mdl::ConfirmedPassword.clear();
}

void FrmConfirmPWD::setBack(QLineEdit* box, const QColor& c)
{
    QPalette p = box->palette();
    p.setColor(QPalette::Base, c);
    box->setPalette(p);
}

bool FrmConfirmPWD::eventFilter(QObject* watched, QEvent* event)
{
    auto* box = qobject_cast<QLineEdit*>(watched);
    if (box) {
        if (event->type() == QEvent::FocusIn) {
            setBack(box, QColor(192, 255, 192));
            box->selectAll();
        } else if (event->type() == QEvent::FocusOut) {
            setBack(box, Qt::white);
        }
    }
    return ui::Form::eventFilter(watched, event);
}

void FrmConfirmPWD::tPWD_KeyPress(int& KeyAscii) { ui::enterMovesOn(tPWD, KeyAscii); }
void FrmConfirmPWD::tComPWD_KeyPress(int& KeyAscii) { ui::enterMovesOn(tComPWD, KeyAscii); }

void FrmConfirmPWD::CmdSend_Click()
{
    mdl::ConfirmedPassword.clear();
    const QString pwd = tPWD->text();
    const QString confirm = tComPWD->text();
    if (pwd.isEmpty()) {
        ui::msgBox(QStringLiteral("请输入密码！"));
        tPWD->setFocus();
        return;
    }
    if (confirm.isEmpty()) {
        ui::msgBox(QStringLiteral("请输入确认密码！"));
        tComPWD->setFocus();
        return;
    }
    if (!sixDigits(pwd) || !sixDigits(confirm)) {
        ui::msgBox(QStringLiteral("密码必须为六位的数字，不足六位的在前面自动补零！"));
        tPWD->setFocus();
        return;
    }
    if (pwd != confirm) {
        ui::msgBox(QStringLiteral("两次输入的密码，必须保持一致！"));
        tComPWD->setFocus();
        return;
    }
    const QString candidate = QStringLiteral("0000") + pwd;
    bool used = true;   // a failed look-up must not let a duplicate through
    try {
        db::Recordset rs = mdl::AdoConnection.execute(
            QStringLiteral("SELECT * FROM dfaka WHERE 物理卡号=? AND ") + db::yesNo(QStringLiteral("密码标志")) +
                QStringLiteral("=1"),
            {candidate});
        used = rs.recordCount() > 0;
    } catch (const rt::Error&) {
    }
    if (used) {
        ui::msgBox(QStringLiteral("此密码已用，请重设密码！"), ui::mb::OKOnly, QStringLiteral("提示"));
        tPWD->clear();
        tComPWD->clear();
        tPWD->setFocus();
        return;
    }
    mdl::ConfirmedPassword = candidate;
    unloadForm();
}

void FrmConfirmPWD::CmdClose_Click() { unloadForm(); }

OSTRELA_WINDOW(FrmConfirmPWD);
