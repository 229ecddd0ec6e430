#include "FrmInit.h"

#include "AppForms.h"
#include "Globals.h"
#include "Module1.h"
#include "db/BulkWrite.h"
#include "runtime/RuntimeError.h"
#include "ui/KeyPress.h"
#include "ui/Ui.h"

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

namespace {

struct Step {
    QString sql;
    int progress;   // the bar's value afterwards, 0 to leave it
};

// The insert relies on the 33 columns of user: name, password, 31 Yes/No.
QString adminInsert()
{
    QStringList yes;
    for (int i = 0; i < 31; ++i)
        yes << QStringLiteral("1");
    return QStringLiteral("insert into [user] values('admin',?,") + yes.join(u',') + u')';
}

} // namespace

FrmInit::FrmInit(QWidget* parent)
    : ui::Form(parent)
{
    setObjectName(QStringLiteral("FrmInit"));
    setWindowTitle(QStringLiteral("数据库初始化"));
    setFixedSize(400, 220);
    Label1 = new QLabel(QStringLiteral("请输入操作员密码："), this);
    Label1->setGeometry(30, 30, 140, 24);
    Text1 = new QLineEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setGeometry(176, 30, 180, 24);
    Text1->setEchoMode(QLineEdit::Password);
    Text1->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
    Label2 = new QLabel(QStringLiteral("请输公司名称："), this);
    Label2->setGeometry(30, 70, 140, 24);
    txtCompany = new QLineEdit(this);
    txtCompany->setObjectName(QStringLiteral("txtCompany"));
    txtCompany->setGeometry(176, 70, 180, 24);
    Pro = new QProgressBar(this);
    Pro->setObjectName(QStringLiteral("Pro"));
    Pro->setGeometry(30, 116, 326, 20);
    Pro->setTextVisible(false);
    Pro->hide();
    Command1 = new QPushButton(QStringLiteral("确定"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setGeometry(80, 160, 90, 30);
    Command2 = new QPushButton(QStringLiteral("退出"), this);
    Command2->setObjectName(QStringLiteral("Command2"));
    Command2->setGeometry(230, 160, 90, 30);
    setTabOrder(Text1, txtCompany);
    setTabOrder(txtCompany, Command1);
    setTabOrder(Command1, Command2);
    ui::onKeyPress(Text1, [this](int& k) { Text1_KeyPress(k); });
    connect(Command1, &QPushButton::clicked, this, &FrmInit::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &FrmInit::Command2_Click);
}

void FrmInit::Text1_KeyPress(int& KeyAscii) { ui::enterMovesOn(Text1, KeyAscii); }

void FrmInit::Command1_Click()
{
    Command1->setEnabled(false);
    try {
        if (Text1->text().isEmpty()) {
            ui::msgBox(QStringLiteral("请输入密码！"), ui::mb::OKOnly, QStringLiteral("提示"));
            Text1->setFocus();
            Command1->setEnabled(true);
            return;
        }
        db::Recordset rs = mdl::DaoDatabase.openRecordset(
            QStringLiteral("select * from [user] where sysname=? and syspword=?"),
            {mdl::CurrentUser, trimBlanks(Text1->text())});
        const bool known = !rs.eof();
        rs.close();
        if (!known) {
            ui::msgBox(QStringLiteral("密码不对！"), ui::mb::OKOnly, QStringLiteral("提示"));
            Command1->setEnabled(true);
            return;
        }
        if (ui::msgBox(QStringLiteral("此操作将初始化所有系统数据库,\r\n\r\n继续吗？"),
                       ui::mb::YesNo | ui::mb::Exclamation) != ui::mb::Yes) {
            Command1->setEnabled(true);
            return;
        }
        Pro->show();
        Pro->setMaximum(18);
        Pro->setValue(1);

        const QVariantList none;
        const QList<std::pair<Step, QVariantList>> steps = {
            {{QStringLiteral("delete from [user]"), 0}, none},
            {{adminInsert(), 2}, {mdl::kDefaultAdminPassword}},
            {{QStringLiteral("delete from department"), 0}, none},
            {{QStringLiteral("delete from doors"), 3}, none},
            {{QStringLiteral("delete from key"), 4}, none},
            {{QStringLiteral("update system set zhi=1,detail=? where name='串口号'"), 0}, {txtCompany->text()}},
            {{QStringLiteral("update system set zhi=0,detail='9600,n,8,1' where name='通讯设置'"), 0}, none},
            {{QStringLiteral("update system set zhi=?,dw='字节' where name='输入缓冲区'"), 0}, {mdl::kInitialInBufferSize}},
            {{QStringLiteral("update system set zhi=?,dw='字符' where name='输出缓冲区'"), 0}, {mdl::kInitialOutBufferSize}},
            {{QStringLiteral("update system set zhi=1 where name='发卡机'"), 5}, none},
            {{QStringLiteral("delete from datakq"), 6}, none},
            {{QStringLiteral("delete from data"), 7}, none},
            {{QStringLiteral("delete from dfaka"), 8}, none},
            {{QStringLiteral("delete from people"), 9}, none},
            {{QStringLiteral("delete from key"), 10}, none},
            {{QStringLiteral("delete from dfaka"), 12}, none},
            {{QStringLiteral("delete from dtime"), 13}, none},
            {{QStringLiteral("delete from dfakapt"), 14}, none},
            {{QStringLiteral("delete from dtuikapt"), 15}, none},
            {{QStringLiteral("delete from datapt"), 16}, none},
            {{QStringLiteral("delete from dtuika"), 17}, none},
            {{QStringLiteral("delete from datakqpt"), 18}, none},
        };
        // All or nothing: without it a failure could leave no operator at all.
        db::BulkWrite bulk(mdl::DaoDatabase);
        bulk.transaction([&] {
            for (const auto& [step, params] : steps) {
                mdl::DaoDatabase.execute(step.sql, params);
                if (step.progress) {
                    Pro->setValue(step.progress);
                    Pro->repaint();
                }
            }
        });
    } catch (const rt::Error& e) {
        Command1->setEnabled(true);
        ui::msgBox(e.text(), ui::mb::OKOnly, QStringLiteral("出错提示"));
        return;
    }
    Pro->hide();
    ui::msgBox(QStringLiteral("初始化数据库成功！"), ui::mb::OKOnly, QStringLiteral("信息提示"));
    Command1->setEnabled(true);
}

void FrmInit::Command2_Click()
{
    unloadForm();
}

OSTRELA_WINDOW(FrmInit);
