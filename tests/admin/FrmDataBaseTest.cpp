// Backup and restore: the target composed from folder and name, a backup
// that is a complete copy even while another handle writes, failures that
// leave the previous backup and the live database as they were, and a
// restore that ends the program on the restored file.
#include "WindowBench.h"

#include "DatabaseFile.h"
#include "FrmDataBase.h"
#include "Globals.h"
#include "MenuWindow.h"
#include "runtime/RuntimeError.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>

#include <atomic>
#include <thread>

class FrmDataBaseTest : public WindowBench {
protected:
    void TearDown() override
    {
        dbfile::beforeRename = nullptr;
        WindowBench::TearDown();
    }
    QString live() const { return folder() + "door.mdb"; }
    // A folder inside the program folder.
    QString makeDir(const QString& name) const
    {
        QDir(folder()).mkpath(name);
        return folder() + name;
    }
    // A copy of the live database holding one department of its own.
    QString copyWith(const QString& path, const QString& department)
    {
        EXPECT_TRUE(QFile::copy(live(), path));
        db::Database d = db::Database::open(path);
        d.execute("INSERT INTO department (部门) VALUES (?)", {department});
        d.close();
        return path;
    }
    static QStringList departmentsIn(const QString& path)
    {
        db::Database d = db::Database::open(path);
        QStringList out;
        for (db::Recordset rs = d.openRecordset("SELECT 部门 FROM department ORDER BY 部门"); !rs.eof(); rs.moveNext())
            out << rs.text("部门");
        d.close();
        return out;
    }
    static QStringList filesIn(const QString& dir)
    {
        return QDir(dir).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }
    static QByteArray bytes(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    static void failAtRename()
    {
        dbfile::beforeRename = [](const QString&) { rt::raise(rt::ErrDiskFull); };
    }
};

TEST_F(FrmDataBaseTest, ComposesTheTargetAndRefusesTheLiveName)
{
    struct Case {
        QString dir;    // "" for the program folder's "bak"
        QString typed;
        QString target; // relative to dir
        QString message;
    };
    const Case cases[] = {
        {"", "a.MDB", "a.MDB", "数据备份完毕！"},
        {"", "week 49", "week 49.mdb", "数据备份完毕！"},
        {"/", "x", "x.mdb", ""},   // only the composed path is checked
        {"", "Door", "Door.mdb", "请输入正确的名称！"},
        {"", "DOOR.MDB", "DOOR.MDB", "请输入正确的名称！"},
        {"", "backupdoor", "backupdoor.mdb", "请输入正确的名称！"},
        {"", "", ".mdb", "请输入数据库名称!"},
    };
    const QString bak = makeDir("bak");
    auto* w = ui::forms::load<FrmDataBase>();
    EXPECT_FALSE(mdl::DaoDatabase.isOpen());
    EXPECT_EQ(w->BackupTargetPath, "");
    EXPECT_EQ(w->Text1->text(), "");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        const QString dir = c.dir.isEmpty() ? bak : c.dir;
        w->openDir(dir);
        w->Text2->setText(c.typed);
        const QString expected = dir == "/" ? "/" + c.target : dir + "/" + c.target;
        EXPECT_EQ(w->BackupTargetPath, expected);
        EXPECT_EQ(w->Text1->text(), expected);
        if (c.message.isEmpty())
            continue;
        scripted.clearMessages();
        w->Command1_Click();
        EXPECT_EQ(scripted.lastMessage(), c.message);
        EXPECT_EQ(QFileInfo::exists(expected), c.message == "数据备份完毕！");
    }
    w->Command2_Click();
    EXPECT_TRUE(mdl::DaoDatabase.isOpen());
}

TEST_F(FrmDataBaseTest, BackupOfADatabaseBeingWrittenIsComplete)
{
    std::atomic<bool> stop{false};
    std::atomic<int> pairs{0};
    // Another handle adds rows two at a time, each pair in one transaction.
    std::thread writer([&] {
        db::Database d = db::Database::open(live());
        while (!stop) {
            d.beginTrans();
            d.execute("INSERT INTO key (keyvalue) VALUES ('a')");
            d.execute("INSERT INTO key (keyvalue) VALUES ('b')");
            d.commitTrans();
            ++pairs;
        }
        d.close();
    });
    while (pairs < 20)
        std::this_thread::yield();
    const int before = pairs;
    auto* w = ui::forms::load<FrmDataBase>();
    w->openDir(makeDir("bak"));
    w->Text2->setText("busy");
    w->Command1_Click();
    stop = true;
    writer.join();
    ASSERT_EQ(scripted.lastMessage(), "数据备份完毕！");

    db::Database copy = db::Database::open(folder() + "bak/busy.mdb");
    EXPECT_EQ(copy.openRecordset("PRAGMA integrity_check").value(0).toString(), "ok");
    const int rowsCopied = copy.openRecordset("SELECT COUNT(*) FROM key").value(0).toInt();
    EXPECT_EQ(rowsCopied % 2, 0);
    EXPECT_GE(rowsCopied, 2 * before);
    EXPECT_EQ(copy.openRecordset("SELECT COUNT(*) FROM user").value(0).toInt(), 1);
    copy.close();
    EXPECT_EQ(filesIn(folder() + "bak"), QStringList{"busy.mdb"});
    EXPECT_TRUE(QFile::permissions(folder() + "bak/busy.mdb") & QFileDevice::ReadOther);
}

TEST_F(FrmDataBaseTest, AnExistingBackupIsReplacedOnlyByAComplete)
{
    const QString bak = makeDir("bak");
    copyWith(bak + "/old.mdb", "旧备份");
    const QByteArray previous = bytes(bak + "/old.mdb");
    // The replacement keeps the access rights the site gave its backup.
    const auto rights = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser |
                        QFileDevice::WriteUser | QFileDevice::ReadGroup | QFileDevice::WriteGroup;
    QFile::setPermissions(bak + "/old.mdb", rights);
    addDepartment("现在");
    auto* w = ui::forms::load<FrmDataBase>();
    w->openDir(bak);
    w->Text2->setText("old");

    scripted.queueAnswer(ui::mb::No);
    w->Command1_Click();
    EXPECT_EQ(scripted.messages.last().title, "备份数据库");
    EXPECT_EQ(scripted.messages.last().style, ui::mb::YesNo | ui::mb::Question | ui::mb::DefaultButton2);
    EXPECT_EQ(bytes(bak + "/old.mdb"), previous);

    failAtRename();
    scripted.queueAnswer(ui::mb::Yes);
    w->Command1_Click();
    EXPECT_EQ(scripted.lastMessage(), "磁盘已满,请关闭数据库后再备份！");
    EXPECT_EQ(bytes(bak + "/old.mdb"), previous);
    EXPECT_EQ(filesIn(bak), QStringList{"old.mdb"});

    dbfile::beforeRename = nullptr;
    scripted.queueAnswer(ui::mb::Yes);
    w->Command1_Click();
    EXPECT_EQ(scripted.lastMessage(), "数据备份完毕！");
    EXPECT_EQ(departmentsIn(bak + "/old.mdb"), QStringList{"现在"});
    EXPECT_EQ(QFile::permissions(bak + "/old.mdb"), rights);
    EXPECT_EQ(filesIn(bak), QStringList{"old.mdb"});
}

TEST_F(FrmDataBaseTest, NeverTakesTheLiveFileUnderAnotherName)
{
    const QString other = makeDir("other");
    ASSERT_TRUE(QFile::link(live(), other + "/live.mdb"));
    QFile junk(other + "/junk.mdb");
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("not a database");
    junk.close();
    {   // an empty file opens as a database without any table
        QFile f(other + "/foreign.mdb");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    const QByteArray before = bytes(live());

    auto* w = ui::forms::load<FrmDataBase>();
    w->openDir(other);
    w->Text2->setText("live");
    scripted.queueAnswer(ui::mb::Yes);
    w->Command1_Click();
    EXPECT_EQ(scripted.lastMessage(), "请输入正确的名称！");

    for (const QString& chosen : {live(), folder() + "./door.mdb", other + "/live.mdb", other + "/junk.mdb",
                                  other + "/foreign.mdb", other + "/missing.mdb"}) {
        SCOPED_TRACE(chosen.toStdString());
        scripted.clearMessages();
        scripted.queueFile(chosen);
        w->Command3_Click();
        EXPECT_EQ(scripted.lastMessage(), "选择数据库错误！");
        EXPECT_EQ(scripted.messages.size(), 1);
    }
    EXPECT_EQ(bytes(live()), before);
    EXPECT_EQ(mdl::DatabaseRestored, 0);
    EXPECT_TRUE(ui::forms::isLoaded<FrmDataBase>());

    scripted.clearMessages();
    w->Command3_Click();   // cancelled
    EXPECT_TRUE(scripted.messages.isEmpty());
    EXPECT_EQ(scripted.fileDialogs.last().title, "恢复数据");
}

TEST_F(FrmDataBaseTest, AFailedRestoreKeepsTheLiveDatabase)
{
    addDepartment("现在");
    const QString copy = copyWith(makeDir("bak") + "/copy.mdb", "备份里");
    const QByteArray before = bytes(live());
    auto* w = ui::forms::load<FrmDataBase>();

    scripted.queueFile(copy);
    scripted.queueAnswer(ui::mb::No);
    w->Command3_Click();
    EXPECT_EQ(scripted.lastMessage(), "此操作会将后备数据库覆盖现有数据库，要继续吗？");
    EXPECT_EQ(scripted.messages.last().style, ui::mb::YesNo | ui::mb::Critical);

    failAtRename();
    scripted.queueFile(copy);
    scripted.queueAnswer(ui::mb::Yes);
    w->Command3_Click();
    EXPECT_EQ(scripted.lastMessage(), "磁盘已满数据恢复失败。\n请退出系统重新进入再做数据恢复！");
    EXPECT_EQ(bytes(live()), before);
    EXPECT_EQ(filesIn(folder()).filter(".mdb"), QStringList{"door.mdb"});
    EXPECT_EQ(mdl::DatabaseRestored, 0);
    EXPECT_TRUE(ui::forms::isLoaded<FrmDataBase>());
    // The operator is told to start again: the shared connection stays closed.
    EXPECT_FALSE(mdl::AdoConnection.isOpen());
    EXPECT_EQ(departmentsIn(live()), QStringList{"现在"});
}

TEST_F(FrmDataBaseTest, RestoreFromTheMenuEndsTheProgramOnTheRestoredFile)
{
    addDepartment("现在");
    const QString copy = copyWith(makeDir("bak") + "/copy.mdb", "备份里");
    // A backup taken while the program runs restores to the same data.
    auto* w = ui::forms::load<FrmDataBase>();
    w->openDir(folder() + "bak");
    w->Text2->setText("taken");
    w->Command1_Click();
    ASSERT_EQ(scripted.lastMessage(), "数据备份完毕！");
    w->Command2_Click();

    auto* mainWindow = ui::forms::load<menu>();
    ui::forms::setModalHandler([&](ui::Form& f) {
        scripted.queueFile(copy);
        scripted.queueAnswer(ui::mb::Yes);
        static_cast<FrmDataBase&>(f).Command3_Click();
    });
    mainWindow->ActiveBar1_ToolClick(35);
    EXPECT_EQ(scripted.lastMessage(), "数据恢复成功，请退出系统重新进入！");
    EXPECT_EQ(mdl::DatabaseRestored, 1);
    EXPECT_EQ(scripted.endCalls, 1);
    EXPECT_FALSE(mdl::AdoConnection.isOpen());
    EXPECT_EQ(departmentsIn(live()), (QStringList{"备份里", "现在"}));
    EXPECT_EQ(filesIn(folder()).filter(".mdb"), QStringList{"door.mdb"});

    // And back to the state of the backup taken while running.
    scripted.endCalls = 0;
    ui::forms::setModalHandler([&](ui::Form& f) {
        scripted.queueFile(folder() + "bak/taken.mdb");
        scripted.queueAnswer(ui::mb::Yes);
        static_cast<FrmDataBase&>(f).Command3_Click();
    });
    mainWindow->ActiveBar1_ToolClick(35);
    EXPECT_EQ(scripted.endCalls, 1);
    EXPECT_EQ(departmentsIn(live()), QStringList{"现在"});
}
