#include "FrmRigS.h"

#include "AppForms.h"
#include "Globals.h"
#include "Module1.h"
#include "ToolTable.h"
#include "runtime/RuntimeError.h"
#include "ui/Ui.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>

namespace {

// Right i is the column at this position plus i.
constexpr int kFirstRightColumn = 4;

const char* const kRightCaptions[tools::kRightCount] = {
    "用户及权限设置", "数据库初始化", "通讯端口设置", "部门管理",     "用户信息",       "发卡机设置",
    "门锁设置",       "发卡名单采集", "考勤数据整理", "上下班时间设置", "数据备份",       "过期数据处理",
    "卡操作",         "发卡信息重整", "压缩卡机",     "增扩卡机",       "打卡数据采集",   "实时监控门锁状态",
    "实时监控打卡状况", "发卡信息查询", "退卡查询",   "打卡数据查询",   "考勤数据查询",   "个人月总查询",
    "特殊处理"};

// Columns of the rights tab, top to bottom.
const QList<QList<int>> kRightColumns = {
    {0, 1, 2, 3, 4, 5, 6}, {8, 9, 10, 11, 12, 13, 14}, {15, 7, 16, 17, 18, 19, 20}, {21, 22, 23, 24}};

// Names match as the index matches them (letters A-Z in any case, the rest exactly).
bool sameName(const QString& a, const QString& b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        QChar x = a[i], y = b[i];
        if (x >= u'A' && x <= u'Z')
            x = QChar(x.unicode() + 32);
        if (y >= u'A' && y <= u'Z')
            y = QChar(y.unicode() + 32);
        if (x != y)
            return false;
    }
    return true;
}

void showError(const rt::Error& e)
{
    ui::msgBox(e.text(), ui::mb::OKOnly);
}

} // namespace

FrmRigS::FrmRigS(QWidget* parent)
    : ui::Form(parent)
{
    setObjectName(QStringLiteral("FrmRigS"));
    setWindowTitle(QStringLiteral("用户设置及权限"));
    setFixedSize(600, 340);
    SSTab1 = new QTabWidget(this);
    SSTab1->setObjectName(QStringLiteral("SSTab1"));
    SSTab1->setGeometry(8, 8, 584, 324);

    auto* users = new QWidget;
    List1 = new QListWidget(users);
    List1->setObjectName(QStringLiteral("List1"));
    List1->setGeometry(16, 16, 180, 260);
    Label1 = new QLabel(QStringLiteral("用户名称："), users);
    Label1->setGeometry(216, 24, 80, 24);
    Text1 = new QLineEdit(users);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setGeometry(300, 24, 160, 24);
    Label2 = new QLabel(QStringLiteral("用户密码："), users);
    Label2->setGeometry(216, 64, 80, 24);
    Text2 = new QLineEdit(users);
    Text2->setObjectName(QStringLiteral("Text2"));
    Text2->setGeometry(300, 64, 160, 24);
    Text2->setEchoMode(QLineEdit::Password);
    Text2->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
    Che1 = new QCheckBox(QStringLiteral("设置用户"), users);
    Che1->setObjectName(QStringLiteral("Che1"));
    Che1->setGeometry(300, 104, 120, 24);
    Che2 = new QCheckBox(QStringLiteral("管理用户权限"), users);
    Che2->setObjectName(QStringLiteral("Che2"));
    Che2->setGeometry(300, 134, 120, 24);
    int x = 216;
    for (auto [b, name, caption] : {std::tuple{&Command6, "Command6", "添加"}, std::tuple{&Command4, "Command4", "修改"},
                                    std::tuple{&Command7, "Command7", "删除"}, std::tuple{&Command5, "Command5", "退出"}}) {
        *b = new QPushButton(QString::fromUtf8(caption), users);
        (*b)->setObjectName(QLatin1String(name));
        (*b)->setGeometry(x, 230, 80, 28);
        x += 88;
    }
    SSTab1->addTab(users, QStringLiteral("用户设置"));

    auto* rights = new QWidget;
    for (int i = 0; i < tools::kRightCount; ++i) {
        auto* c = new QCheckBox(QString::fromUtf8(kRightCaptions[i]), rights);
        c->setObjectName(QStringLiteral("Ch_%1").arg(i));
        Ch.append(c);
    }
    for (int col = 0; col < kRightColumns.size(); ++col)
        for (int row = 0; row < kRightColumns[col].size(); ++row)
            Ch[kRightColumns[col][row]]->setGeometry(12 + col * 142, 12 + row * 34, 138, 28);
    Command3 = new QPushButton(QStringLiteral("全选"), rights);
    Command1 = new QPushButton(QStringLiteral("确定"), rights);
    Command2 = new QPushButton(QStringLiteral("退出"), rights);
    int y = 12 + 4 * 34;
    for (auto [b, name] : {std::pair{Command3, "Command3"}, std::pair{Command1, "Command1"}, std::pair{Command2, "Command2"}}) {
        b->setObjectName(QLatin1String(name));
        b->setGeometry(12 + 3 * 142, y, 100, 28);
        y += 34;
    }
    SSTab1->addTab(rights, QStringLiteral("用户权限"));
    SSTab1->setCurrentIndex(0);

    connect(List1, &QListWidget::itemClicked, this, &FrmRigS::List1_Click);
    connect(Text1, &QLineEdit::textChanged, this, &FrmRigS::Text1_Change);
    connect(Command6, &QPushButton::clicked, this, &FrmRigS::Command6_Click);
    connect(Command4, &QPushButton::clicked, this, &FrmRigS::Command4_Click);
    connect(Command7, &QPushButton::clicked, this, &FrmRigS::Command7_Click);
    connect(Command5, &QPushButton::clicked, this, &FrmRigS::Command5_Click);
    connect(Command3, &QPushButton::clicked, this, &FrmRigS::Command3_Click);
    connect(Command1, &QPushButton::clicked, this, &FrmRigS::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &FrmRigS::Command2_Click);
}

void FrmRigS::Form_Load()
{
    // A failure here reaches the main window, which reports it.
    users_ = mdl::DaoDatabase.openTable(QStringLiteral("user"));
    users_.setIndex(QStringLiteral("sysname"));
    refillList();
    if (seekName(mdl::CurrentUser)) {
        const bool setting = db::toBool(users_.field(QStringLiteral("usersetting")));
        for (QPushButton* b : {Command4, Command6, Command7})
            b->setEnabled(setting);
        Command1->setEnabled(db::toBool(users_.field(QStringLiteral("usermanage"))));
    }
}

bool FrmRigS::seekName(const QString& name)
{
    users_.seek(QStringLiteral("="), {name});
    return !users_.noMatch();
}

void FrmRigS::refillList()
{
    List1->clear();
    if (users_.recordCount() == 0)
        return;
    for (users_.moveFirst(); !users_.eof(); users_.moveNext())
        List1->addItem(users_.text(QStringLiteral("sysname")));
}

void FrmRigS::List1_Click()
{
    if (QListWidgetItem* it = List1->currentItem())
        Text1->setText(it->text());
}

void FrmRigS::Text1_Change()
{
    try {
        if (!seekName(trimBlanks(Text1->text()))) {
            Text2->clear();
            Che1->setChecked(false);
            Che2->setChecked(false);
            for (QCheckBox* c : Ch)
                c->setChecked(false);
            return;
        }
        Text2->setText(users_.text(QStringLiteral("syspword")));
        Che1->setChecked(db::toBool(users_.field(QStringLiteral("usersetting"))));
        Che2->setChecked(db::toBool(users_.field(QStringLiteral("usermanage"))));
        for (int i = 0; i < tools::kRightCount; ++i)
            Ch[i]->setChecked(db::toBool(users_.value(kFirstRightColumn + i)));
    } catch (const rt::Error& e) {
        showError(e);
    }
}

void FrmRigS::Command6_Click()
{
    const QString name = trimBlanks(Text1->text());
    if (name.isEmpty())
        return;
    try {
        if (seekName(name)) {
            ui::msgBox(QStringLiteral("该用户已经存在！"), ui::mb::OKOnly, QStringLiteral("提示"));
            return;
        }
        // The rights keep their defaults (off): they are saved on the other tab.
        users_.addNew();
        users_.setField(QStringLiteral("sysname"), name);
        users_.setField(QStringLiteral("syspword"), trimBlanks(Text2->text()));
        users_.setField(QStringLiteral("usersetting"), Che1->isChecked());
        users_.setField(QStringLiteral("usermanage"), Che2->isChecked());
        users_.update();
        List1->addItem(name);
    } catch (const rt::Error& e) {
        users_.cancelUpdate();
        showError(e);
    }
}

void FrmRigS::Command4_Click()
{
    const QString name = trimBlanks(Text1->text());
    if (name.isEmpty())
        return;
    try {
        if (!seekName(name)) {
            ui::msgBox(QStringLiteral("请先添加该用户！"), ui::mb::OKOnly, QStringLiteral("提示"));
            return;
        }
        users_.edit();
        users_.setField(QStringLiteral("sysname"), name);
        users_.setField(QStringLiteral("syspword"), trimBlanks(Text2->text()));
        users_.setField(QStringLiteral("usersetting"), Che1->isChecked());
        users_.setField(QStringLiteral("usermanage"), Che2->isChecked());
        users_.update();
        refillList();
    } catch (const rt::Error& e) {
        users_.cancelUpdate();
        showError(e);
        return;
    }
    ui::msgBox(QStringLiteral("修改成功！"), ui::mb::OKOnly, QStringLiteral("提示"));
}

void FrmRigS::Command7_Click()
{
    const QString name = trimBlanks(Text1->text());
    // The index ignores the case of A-Z, so "ADMIN" is admin's own row.
    if (sameName(name, mdl::CurrentUser)) {
        ui::msgBox(QStringLiteral("系统拒绝该项服务！"), ui::mb::OKOnly);
        return;
    }
    if (name.isEmpty())
        return;
    try {
        if (!seekName(name))
            return;
        users_.remove();
        Text1->clear();
        Text2->clear();
        Che1->setChecked(false);
        Che2->setChecked(false);
        refillList();
    } catch (const rt::Error& e) {
        showError(e);
    }
}

void FrmRigS::Command3_Click()
{
    const bool all = Command3->text() == QStringLiteral("全选");
    for (QCheckBox* c : Ch)
        c->setChecked(all);
    Command3->setText(all ? QStringLiteral("全消") : QStringLiteral("全选"));
}

void FrmRigS::Command1_Click()
{
    try {
        if (!seekName(trimBlanks(Text1->text()))) {
            ui::msgBox(QStringLiteral("请先添加或选择用户！"), ui::mb::OKOnly, QStringLiteral("提示"));
            return;
        }
        users_.edit();
        for (int i = 0; i < tools::kRightCount; ++i)
            users_.setField(users_.fieldInfo(kFirstRightColumn + i).name, Ch[i]->isChecked());
        users_.update();
    } catch (const rt::Error& e) {
        users_.cancelUpdate();
        showError(e);
        return;
    }
    ui::msgBox(QStringLiteral("保存完毕！"), ui::mb::OKOnly, QStringLiteral("提示"));
}

void FrmRigS::Command2_Click()
{
    unloadForm();
}

void FrmRigS::Command5_Click()
{
    unloadForm();
}

void FrmRigS::Form_Unload(bool& cancel)
{
    Q_UNUSED(cancel);
    users_.close();
}

OSTRELA_WINDOW(FrmRigS);
