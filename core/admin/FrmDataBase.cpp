#include "FrmDataBase.h"

#include "AppForms.h"
#include "DatabaseFile.h"
#include "Globals.h"
#include "Module2.h"
#include "Module1.h"
#include "runtime/RuntimeError.h"
#include "ui/Ui.h"
#include "ui/Widths.h"

#include <QComboBox>
#include <QDir>
#include <QFont>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStorageInfo>

namespace {

// The folder with its name joined by one separator.
QString joinPath(const QString& folder, const QString& name)
{
    return folder.endsWith(u'/') ? folder + name : folder + u'/' + name;
}

constexpr int kPathRole = Qt::UserRole;

} // namespace

FrmDataBase::FrmDataBase(QWidget* parent)
    : ui::Form(parent)
{
    setObjectName(QStringLiteral("FrmDataBase"));
    setWindowTitle(QStringLiteral("数据备份与恢复"));
    setFixedSize(520, 400);

    Frame1 = new QGroupBox(QStringLiteral("数据备份选择"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setGeometry(10, 8, 500, 300);
    Label3 = new QLabel(QStringLiteral("选择驱动器名:"), Frame1);
    Label3->setGeometry(12, 24, 110, 24);
    Drive1 = new QComboBox(Frame1);
    Drive1->setObjectName(QStringLiteral("Drive1"));
    Drive1->setGeometry(12, 50, 230, 24);
    Label5 = new QLabel(QStringLiteral("选择目标路径:"), Frame1);
    Label5->setGeometry(12, 80, 110, 24);
    Dir1 = new QListWidget(Frame1);
    Dir1->setObjectName(QStringLiteral("Dir1"));
    Dir1->setGeometry(12, 106, 230, 180);
    File1 = new QListWidget(Frame1);
    File1->setObjectName(QStringLiteral("File1"));
    File1->setGeometry(256, 50, 230, 130);
    Label6 = new QLabel(QStringLiteral("输入目标文件名:"), Frame1);
    Label6->setGeometry(256, 190, 120, 24);
    Text2 = new QLineEdit(Frame1);
    Text2->setObjectName(QStringLiteral("Text2"));
    Text2->setGeometry(256, 216, 230, 24);
    Text1 = new QLineEdit(Frame1);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setGeometry(256, 256, 230, 24);
    Label4 = new QLabel(this);
    Label4->setObjectName(QStringLiteral("Label4"));
    Label4->setGeometry(14, 314, 490, 24);
    Command1 = new QPushButton(QStringLiteral("数据备份"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setGeometry(60, 352, 100, 30);
    Command3 = new QPushButton(QStringLiteral("数据恢复"), this);
    Command3->setObjectName(QStringLiteral("Command3"));
    Command3->setGeometry(210, 352, 100, 30);
    Command2 = new QPushButton(QStringLiteral("退  出"), this);
    Command2->setObjectName(QStringLiteral("Command2"));
    Command2->setGeometry(360, 352, 100, 30);

    connect(Drive1, &QComboBox::activated, this, &FrmDataBase::Drive1_Change);
    connect(Dir1, &QListWidget::itemClicked, this, &FrmDataBase::Dir1_Click);
    connect(Dir1, &QListWidget::itemActivated, this, [this](QListWidgetItem* it) {
        openDir(it->data(kPathRole).toString());
    });
    connect(File1, &QListWidget::itemClicked, this, &FrmDataBase::File1_Click);
    connect(Text2, &QLineEdit::textChanged, this, &FrmDataBase::Text2_Change);
    connect(Command1, &QPushButton::clicked, this, &FrmDataBase::Command1_Click);
    connect(Command3, &QPushButton::clicked, this, &FrmDataBase::Command3_Click);
    connect(Command2, &QPushButton::clicked, this, &FrmDataBase::Command2_Click);
}

void FrmDataBase::Form_Load()
{
    // The DAO side stays closed while the window is open.
    try {
        mdl::DaoDatabase.close();
    } catch (const rt::Error&) {
    }
    LiveDatabasePath = Module2::GetDatabasePath();

    // No drives here: the file-system roots and mount points stand for them.
    QStringList roots{QStringLiteral("/")};
    for (const QStorageInfo& v : QStorageInfo::mountedVolumes())
        if (v.isValid() && v.isReady() && !roots.contains(v.rootPath()))
            roots.append(v.rootPath());
    roots.sort();
    Drive1->addItems(roots);
    ui::fitPopup(Drive1);   // mount points can be long
    const QString here = QDir::currentPath();
    Drive1->setCurrentText(QStorageInfo(here).rootPath());
    // The target stays empty until the operator picks a folder or a name.
    showDir(here);
}

void FrmDataBase::openDir(const QString& path)
{
    if (showDir(path))
        Dir1_Change();
}

bool FrmDataBase::showDir(const QString& path)
{
    const QFileInfo fi(path);
    if (!fi.isDir())
        return false;
    dirPath_ = QDir::cleanPath(fi.absoluteFilePath());
    Dir1->clear();
    // The open folder itself heads the list, so the operator sees where it is.
    auto* here = new QListWidgetItem(dirPath_, Dir1);
    here->setData(kPathRole, dirPath_);
    QFont bold = here->font();
    bold.setBold(true);
    here->setFont(bold);
    QDir d(dirPath_);
    if (!d.isRoot()) {
        auto* up = new QListWidgetItem(QStringLiteral(".."), Dir1);
        up->setData(kPathRole, QFileInfo(dirPath_).absolutePath());
    }
    for (const QString& name : d.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase)) {
        auto* it = new QListWidgetItem(QStringLiteral("  ") + name, Dir1);
        it->setData(kPathRole, joinPath(dirPath_, name));
    }
    Dir1->setCurrentItem(here);
    listFiles(dirPath_);
    return true;
}

QString FrmDataBase::highlightedDir() const
{
    if (QListWidgetItem* it = Dir1->currentItem())
        return it->data(kPathRole).toString();
    return dirPath_;
}

void FrmDataBase::listFiles(const QString& folder)
{
    File1->clear();
    QDir d(folder);
    d.setNameFilters({QStringLiteral("*.mdb")});
    File1->addItems(d.entryList(QDir::Files, QDir::Name | QDir::IgnoreCase));
}

void FrmDataBase::Drive1_Change()
{
    const QString root = Drive1->currentText();
    // A root that cannot be read leaves the folder where it was.
    if (QFileInfo(root).isDir() && QFileInfo(root).isReadable())
        openDir(root);
}

void FrmDataBase::Dir1_Click()
{
    listFiles(highlightedDir());
}

void FrmDataBase::Dir1_Change()
{
    listFiles(dirPath_);
    rebuildTarget();
}

void FrmDataBase::rebuildTarget()
{
    const QString typed = Text2->text();
    const QString name = trimBlanks(typed).endsWith(QStringLiteral(".mdb"), Qt::CaseInsensitive)
                             ? typed
                             : typed + QStringLiteral(".mdb");
    BackupTargetPath = joinPath(dirPath_, name);
    Text1->setText(BackupTargetPath);
    Label4->setText(BackupTargetPath);
}

void FrmDataBase::Text2_Change()
{
    rebuildTarget();
}

void FrmDataBase::File1_Click()
{
    QListWidgetItem* it = File1->currentItem();
    if (!it)
        return;
    const QString name = it->text();
    Text2->setText(name);
    BackupTargetPath = joinPath(dirPath_, name);
    Text1->setText(BackupTargetPath);
    Label4->setText(BackupTargetPath);
}

void FrmDataBase::Command1_Click()
{
    if (Text2->text().isEmpty()) {
        ui::msgBox(QStringLiteral("请输入数据库名称!"), ui::mb::OKOnly);
        return;
    }
    try {
        const QString live = Module2::GetDatabasePath();
        // Neither the default name nor the live file under any other spelling.
        if (BackupTargetPath.right(8).toLower() == QStringLiteral("door.mdb") ||
            dbfile::sameFile(BackupTargetPath, live)) {
            ui::msgBox(QStringLiteral("请输入正确的名称！"), ui::mb::OKOnly, QStringLiteral("提示"));
            return;
        }
        if (QFileInfo::exists(BackupTargetPath)) {
            const int a = ui::msgBox(QStringLiteral("所选择的目标文件夹中已有一个相同命名的文件，确定需要覆盖吗？"),
                                     ui::mb::YesNo | ui::mb::Question | ui::mb::DefaultButton2,
                                     QStringLiteral("备份数据库"));
            if (a != ui::mb::Yes) {
                Text2->setFocus();
                return;
            }
            // The old copy is replaced only once the new one is complete.
        }
        dbfile::backupTo(live, BackupTargetPath);
    } catch (const rt::Error& e) {
        // Closing the database does not help against a full disk.
        ui::msgBox(e.description() + (e.number() == rt::ErrDiskFull ? QStringLiteral(",请腾出目标磁盘的空间后再备份！")
                                                                   : QStringLiteral(",请关闭数据库后再备份！")),
                   ui::mb::OKOnly);
        return;
    }
    ui::msgBox(QStringLiteral("数据备份完毕！"), ui::mb::OKOnly, QStringLiteral("提示"));
    listFiles(highlightedDir());
}

void FrmDataBase::Command3_Click()
{
    QString staged;
    try {
        ui::FileDialogRequest req;
        req.title = QStringLiteral("恢复数据");
        req.filter = QStringLiteral("*.mdb");
        const QString chosen = ui::services().fileDialog(req);
        if (chosen.isEmpty())
            return;
        if (!QFileInfo(chosen).isFile() || chosen == LiveDatabasePath || dbfile::sameFile(chosen, LiveDatabasePath) ||
            !dbfile::isSystemDatabase(chosen)) {
            ui::msgBox(QStringLiteral("选择数据库错误！"), ui::mb::OKOnly, QStringLiteral("提示"));
            return;
        }
        if (ui::msgBox(QStringLiteral("此操作会将后备数据库覆盖现有数据库，要继续吗？"),
                       ui::mb::YesNo | ui::mb::Critical) != ui::mb::Yes)
            return;
        // The live file stays in place until a checked copy stands beside it.
        staged = dbfile::stageBeside(chosen, LiveDatabasePath);
        mdl::AdoConnection.close();
        mdl::DaoDatabase.close();
        dbfile::replaceWith(staged, LiveDatabasePath);
    } catch (const rt::Error& e) {
        // The live file is unchanged; the shared connection, once closed,
        // stays closed until the program starts again, as the message says.
        dbfile::discard(staged);
        ui::msgBox(e.description() + QStringLiteral("数据恢复失败。") + QChar(10) +
                       QStringLiteral("请退出系统重新进入再做数据恢复！"),
                   ui::mb::OKOnly);
        return;
    }
    ui::msgBox(QStringLiteral("数据恢复成功，请退出系统重新进入！"), ui::mb::OKOnly, QStringLiteral("提示"));
    mdl::DatabaseRestored = 1;
    unloadForm();
}

void FrmDataBase::Command2_Click()
{
    unloadForm();
}

void FrmDataBase::Form_Unload(bool& cancel)
{
    Q_UNUSED(cancel);
    try {
        mdl::DaoDatabase = db::Database::openConnect(mdl::DaoConnect);
    } catch (const rt::Error&) {
    }
}

OSTRELA_WINDOW(FrmDataBase);
