#include "FrmSysInf.h"

#include "AppForms.h"
#include "ControllerCalls.h"
#include "DoorLink.h"
#include "Globals.h"
#include "runtime/Gbk.h"
#include "runtime/RuntimeError.h"
#include "ui/ProgramFolder.h"
#include "ui/RunGuard.h"
#include "ui/Ui.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>

namespace {
constexpr int kImageRole = Qt::UserRole + 1;

QIcon iconOf(const QStyle* s, const QString& name)
{
    if (name == QLatin1String("closed"))
        return s->standardIcon(QStyle::SP_DirClosedIcon);
    if (name == QLatin1String("opened"))
        return s->standardIcon(QStyle::SP_DirOpenIcon);
    if (name == QLatin1String("info"))
        return s->standardIcon(QStyle::SP_MessageBoxInformation);
    if (name == QLatin1String("ok"))
        return s->standardIcon(QStyle::SP_DialogApplyButton);
    return s->standardIcon(QStyle::SP_ComputerIcon);   // "info1"
}

const char* const kWeekdays[7] = {"Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday"};
} // namespace

FrmSysInf::FrmSysInf(QWidget* parent)
    : ui::Form(parent)
{
    setObjectName(QStringLiteral("FrmSysInf"));
    setWindowTitle(QStringLiteral("硬件信息"));
    setFixedSize(520, 330);
    Label1 = new QLabel(QStringLiteral("地址选择"), this);
    Label1->setGeometry(12, 8, 160, 22);
    Label2 = new QLabel(QStringLiteral("系统信息"), this);
    Label2->setGeometry(196, 8, 160, 22);
    AdrView = new QTreeWidget(this);
    AdrView->setObjectName(QStringLiteral("AdrView"));
    AdrView->setHeaderHidden(true);
    AdrView->setGeometry(12, 32, 172, 240);
    ListView1 = new QListWidget(this);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setGeometry(196, 32, 312, 240);
    exitclose = new QPushButton(QStringLiteral("关闭"), this);
    exitclose->setObjectName(QStringLiteral("exitclose"));
    exitclose->setGeometry(418, 286, 90, 28);
    connect(AdrView, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* n) { AdrView_NodeClick(n); });
    connect(AdrView, &QTreeWidget::itemExpanded, this, &FrmSysInf::AdrView_Expand);
    connect(AdrView, &QTreeWidget::itemCollapsed, this, &FrmSysInf::AdrView_Collapse);
    connect(exitclose, &QPushButton::clicked, this, &FrmSysInf::exitclose_Click);
}

QString FrmSysInf::imageOf(const QTreeWidgetItem* node)
{
    return node ? node->data(0, kImageRole).toString() : QString();
}

void FrmSysInf::setImage(QTreeWidgetItem* node, const QString& name)
{
    node->setData(0, kImageRole, name);
    node->setIcon(0, iconOf(style(), name));
}

void FrmSysInf::Form_Load()
{
    auto* root = new QTreeWidgetItem(AdrView, QStringList{QStringLiteral("地址")});
    root->setData(0, Qt::UserRole, QStringLiteral("Root"));
    setImage(root, QStringLiteral("closed"));
    db::Recordset rs = mdl::DaoDatabase.openRecordset(
        QStringLiteral("SELECT DISTINCT 地址 FROM doors ORDER BY CAST(地址 AS INTEGER)"));
    if (rs.eof())
        return;
    int n = 1;
    for (; !rs.eof(); rs.moveNext(), ++n) {
        auto* child = new QTreeWidgetItem(root, QStringList{rs.text(QStringLiteral("地址"))});
        child->setData(0, Qt::UserRole, QStringLiteral("Root%1").arg(n));
        setImage(child, QStringLiteral("info1"));
    }
    NodeCount = n;
}

void FrmSysInf::AdrView_Expand(QTreeWidgetItem* node)
{
    if (node && node->parent() == nullptr)
        setImage(node, QStringLiteral("opened"));
}

void FrmSysInf::AdrView_Collapse(QTreeWidgetItem* node)
{
    if (node && node->parent() == nullptr) {
        setImage(node, QStringLiteral("closed"));
        ListView1->clear();
    }
}

QStringList FrmSysInf::parseSysInf(const QString& text)
{
    QStringList values;
    qsizetype from = 0;
    for (int i = 0; i < 6; ++i) {
        const qsizetype comma = text.indexOf(QLatin1Char(','), from);
        if (comma < 0) {
            // A short file: what is there is the last value, the rest stay empty.
            values << text.mid(from);
            from = text.size();
            continue;
        }
        values << text.mid(from, comma - from);
        from = comma + 1;
    }
    QString last = text.mid(from);
    last.remove(QLatin1Char(','));
    values << last;
    return values;
}

void FrmSysInf::AdrView_NodeClick(QTreeWidgetItem* node)
{
    if (!node)
        return;
    ui::RunGuard run(this, {AdrView});
    if (!run)
        return;
    try {
        if (!ctl::openPort()) {
            ui::msgBox(QStringLiteral("串口打开失败！"));
            return;
        }
        if (node->text(0) == QLatin1String("地址"))
            return;
        const double address = node->text(0).toDouble();
        if (address < 1)
            return;
        ListView1->setViewMode(QListView::ListMode);
        ListView1->clear();
        if (QTreeWidgetItem* root = AdrView->topLevelItem(0))
            for (int i = 0; i < root->childCount(); ++i)
                setImage(root->child(i), QStringLiteral("info1"));
        setImage(node, QStringLiteral("info"));
        ListView1->addItem(QStringLiteral("正在通信中,请稍后..."));

        const QString path = QDir(ui::programFolder()).filePath(QStringLiteral("sysinf.ini"));
        QString text;
        if (!QFile::exists(path) || !rt::readGbkFile(path, text)) {
            mdl::PortReady = 0;
            return;
        }
        const QStringList v = parseSysInf(text);
        QString week = v[5];
        // Only blanks are trimmed: a line break keeps the value as read.
        QString digit = week;
        while (digit.startsWith(QLatin1Char(' ')))
            digit.remove(0, 1);
        while (digit.endsWith(QLatin1Char(' ')))
            digit.chop(1);
        if (digit.size() == 1 && digit[0] >= QLatin1Char('1') && digit[0] <= QLatin1Char('7'))
            week = QString::fromLatin1(kWeekdays[digit[0].unicode() - '1']);
        setImage(node, QStringLiteral("ok"));
        ListView1->clear();
        ListView1->addItems({QStringLiteral(" 地址：  ") + node->text(0), QStringLiteral(" 打卡记录数：") + v[0],
                             QStringLiteral(" 锁一延时：") + v[1], QStringLiteral(" 锁二延时：") + v[2],
                             QStringLiteral(" 日    期：") + v[3], QStringLiteral(" 时    间：") + v[4],
                             QStringLiteral(" 星    期：") + week, QStringLiteral(" 版 本 号：") + v[6]});
        mdl::PortReady = 0;
    } catch (const rt::Error& e) {
        ui::msgBox(e.text());
    }
}

void FrmSysInf::exitclose_Click()
{
    if (ui::holdClose(this))
        return;
    ctl::releasePort();
    unloadForm();
}

OSTRELA_WINDOW(FrmSysInf);
