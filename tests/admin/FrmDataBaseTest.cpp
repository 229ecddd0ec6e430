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
#include <QMap>

#include <atomic>
#include <csignal>
#include <functional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

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
    // A backup to target in a process killed just before its rename, as a
    // power cut or a kill would end it.
    void killedBeforeRename(const QString& target)
    {
        const pid_t pid = ::fork();
        if (pid == 0) {
            dbfile::beforeRename = [](const QString&) { ::kill(::getpid(), SIGKILL); };
            try {
                dbfile::backupTo(live(), target);
            } catch (...) {
            }
            ::_exit(0);
        }
        ASSERT_GT(pid, 0);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    }
    static QStringList partsIn(const QString& dir) { return filesIn(dir).filter(".part"); }
    static void writeFile(const QString& path, const QByteArray& bytes)
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
        f.write(bytes);
    }
    // A copy of the live database whose first page a kill left zeroed.
    void zeroedCopy(const QString& path)
    {
        QByteArray b = bytes(live());
        b.replace(0, 4096, QByteArray(4096, '\0'));
        writeFile(path, b);
    }
    // Mode bits of a file.
    static int modeOf(const QString& path)
    {
        struct stat st {};
        return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
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
    EXPECT_EQ(scripted.lastMessage(), "磁盘空间已满，数据未能写入,请腾出目标磁盘的空间后再备份！");
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

TEST_F(FrmDataBaseTest, ANewBackupGetsTheRightsOfTheUsersNewFiles)
{
    const QString bak = makeDir("bak");
    auto* w = ui::forms::load<FrmDataBase>();
    w->openDir(bak);
    const struct {
        mode_t umask;
        int mode;
    } cases[] = {{022, 0644}, {077, 0600}, {002, 0664}, {027, 0640}};
    const mode_t saved = ::umask(022);
    for (const auto& c : cases) {
        ::umask(c.umask);
        const QString name = QStringLiteral("u%1").arg(int(c.umask), 3, 8, QChar('0'));
        w->Text2->setText(name);
        w->Command1_Click();
        EXPECT_EQ(scripted.lastMessage(), "数据备份完毕！");
        EXPECT_EQ(modeOf(bak + "/" + name + ".mdb"), c.mode) << "umask " << std::oct << c.umask;
    }
    ::umask(saved);
}

TEST_F(FrmDataBaseTest, ABackupIntoAFullFileSystemLeavesNothingBehind)
{
    // A live database larger than the file system it is backed up to.
    exec("BEGIN");
    for (int i = 0; i < 400; ++i)
        exec("INSERT INTO key (keyvalue) VALUES (?)", {QString(4000, QChar('a' + i % 26))});
    exec("COMMIT");
    // The disk fills at different steps of the copy: with its journal made or not.
    for (const char* size : {"16k", "64k", "256k"}) {
        const QString full = makeDir(QStringLiteral("full%1").arg(QLatin1String(size)));
        const TestMount small = TestMount::tmpfs(full, QLatin1String(size));
        if (!small.ok())
            GTEST_SKIP() << small.why().toStdString();
        auto* w = ui::forms::load<FrmDataBase>();
        w->openDir(full);
        w->Text2->setText("big");
        w->Command1_Click();
        EXPECT_TRUE(scripted.lastMessage().startsWith("磁盘空间已满")) << size << ": " << scripted.lastMessage().toStdString();
        EXPECT_TRUE(scripted.lastMessage().endsWith(",请腾出目标磁盘的空间后再备份！")) << size;
        EXPECT_EQ(filesIn(full), QStringList()) << size;
    }
}

TEST_F(FrmDataBaseTest, CopiesLeftByAKilledBackupAreSweptByTheNextBackupOrRestore)
{
    const QString bak = makeDir("bak");
    killedBeforeRename(bak + "/k.mdb");
    killedBeforeRename(folder() + "p.mdb");
    ASSERT_EQ(partsIn(bak).size(), 1);
    ASSERT_EQ(partsIn(folder()).size(), 1);
    EXPECT_GT(QFileInfo(bak + "/" + partsIn(bak)[0]).size(), 0);
    // Named like a copy but not one, and a journal whose copy is gone.
    QFile notes(bak + "/.notes.AbC123.part");
    ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
    notes.write("the operator's own file");
    notes.close();
    QFile orphan(bak + "/.x.mdb.ostrela-Zz9Zz9.part-journal");
    ASSERT_TRUE(orphan.open(QIODevice::WriteOnly));
    orphan.close();

    auto* w = ui::forms::load<FrmDataBase>();
    w->openDir(bak);
    w->Text2->setText("new");
    w->Command1_Click();
    EXPECT_EQ(scripted.lastMessage(), "数据备份完毕！");
    EXPECT_EQ(filesIn(bak), (QStringList{".notes.AbC123.part", "new.mdb"}));
    EXPECT_EQ(partsIn(folder()), QStringList());

    killedBeforeRename(folder() + "p.mdb");
    ASSERT_EQ(partsIn(folder()).size(), 1);
    scripted.queueFile(bak + "/new.mdb");
    scripted.queueAnswer(ui::mb::Yes);
    w->Command3_Click();
    EXPECT_EQ(scripted.lastMessage(), "数据恢复成功，请退出系统重新进入！");
    EXPECT_EQ(partsIn(folder()), QStringList());
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
    EXPECT_EQ(scripted.lastMessage(), "磁盘空间已满，数据未能写入数据恢复失败。\n请退出系统重新进入再做数据恢复！");
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

TEST_F(FrmDataBaseTest, FilesOfOtherProgramsSurviveBackupAndRestore)
{
    const QString bak = makeDir("bak");
    const QString here = folder() + ".";   // the live database's folder
    ASSERT_TRUE(QFile::copy(live(), bak + "/week.mdb"));   // a finished backup
    // Hidden files of other programs, named much as copies in the making are.
    QStringList foreign{bak + "/week.mdb"};
    for (const QString& place : {bak, here}) {
        ASSERT_TRUE(QFile::copy(live(), place + "/.ledger.backup.part"));   // the user's own database
        writeFile(place + "/.notes.202612.part", {});                      // empty
        ASSERT_TRUE(QFile::copy(live(), place + "/.mine.abc123.part"));
        foreign << place + "/.ledger.backup.part" << place + "/.notes.202612.part" << place + "/.mine.abc123.part";
    }
    // A FIFO named like a copy, a link named like a copy's journal: never
    // opened (a FIFO would block), never removed.
    QStringList specials;
    for (const QString& place : {bak, here}) {
        specials << place + "/.bak.mdb.ostrela-Fifo01.part" << place + "/.x.ostrela-Lnk001.part-journal";
        ASSERT_EQ(::mkfifo(QFile::encodeName(specials[specials.size() - 2]).constData(), 0600), 0);
        ASSERT_TRUE(QFile::link(place + "/.notes.202612.part", specials.last()));
    }
    // Another program in the middle of a write, on one of them and on the live file.
    db::Database mine = db::Database::open(bak + "/.mine.abc123.part");
    mine.beginTrans();
    mine.execute("INSERT INTO department (部门) VALUES ('他的')");
    db::Database other = db::Database::open(live());
    other.beginTrans();
    other.execute("INSERT INTO department (部门) VALUES ('另一个程序')");
    const QStringList journals{bak + "/.mine.abc123.part-journal", live() + "-journal"};
    QMap<QString, QByteArray> before;
    for (const QString& f : foreign + journals)
        before[f] = bytes(f);
    ASSERT_FALSE(before[journals[0]].isEmpty());
    ASSERT_FALSE(before[journals[1]].isEmpty());
    auto untouched = [&](const char* after) {
        for (auto it = before.cbegin(); it != before.cend(); ++it)
            EXPECT_EQ(bytes(it.key()), it.value()) << after << ": " << it.key().toStdString();
        for (const QString& s : specials) {
            struct stat st {};
            EXPECT_EQ(::lstat(QFile::encodeName(s).constData(), &st), 0) << after << ": " << s.toStdString();
        }
    };

    auto* w = ui::forms::load<FrmDataBase>();
    w->openDir(bak);
    w->Text2->setText("new");
    w->Command1_Click();
    EXPECT_EQ(scripted.lastMessage(), "数据备份完毕！");
    untouched("backup");

    // The live file is in use by the other program: the restore waits, then
    // gives up and leaves it and its journal as they are.
    scripted.queueFile(bak + "/week.mdb");
    scripted.queueAnswer(ui::mb::Yes);
    w->Command3_Click();
    EXPECT_TRUE(scripted.lastMessage().startsWith("数据库正被其他程序使用")) << scripted.lastMessage().toStdString();
    EXPECT_TRUE(scripted.lastMessage().endsWith("数据恢复失败。\n请退出系统重新进入再做数据恢复！"));
    EXPECT_EQ(mdl::DatabaseRestored, 0);
    untouched("restore refused");
    EXPECT_EQ(partsIn(folder()).filter(".door.mdb.ostrela-"), QStringList());

    // Both programs finish their writes.
    mine.commitTrans();
    other.commitTrans();
    mine.close();
    other.close();
    EXPECT_EQ(departmentsIn(bak + "/.mine.abc123.part"), QStringList{"他的"});
    EXPECT_EQ(departmentsIn(live()), QStringList{"另一个程序"});
    before.remove(journals[0]);
    before.remove(journals[1]);
    before[bak + "/.mine.abc123.part"] = bytes(bak + "/.mine.abc123.part");

    scripted.queueFile(bak + "/week.mdb");
    scripted.queueAnswer(ui::mb::Yes);
    w->Command3_Click();
    EXPECT_EQ(scripted.lastMessage(), "数据恢复成功，请退出系统重新进入！");
    EXPECT_EQ(departmentsIn(live()), QStringList());
    untouched("restore");
}

TEST_F(FrmDataBaseTest, ItsOwnLeftoversAreSweptButNotACopyAnotherInstanceIsMaking)
{
    const QString bak = makeDir("bak");
    // Another instance's backup into the same folder, stopped just before
    // its copy is renamed into place.
    int ready[2], go[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(go), 0);
    const pid_t pid = ::fork();
    if (pid == 0) {
        dbfile::beforeRename = [&](const QString& temp) {
            const QByteArray p = temp.toUtf8();
            (void)!::write(ready[1], p.constData(), size_t(p.size()));
            ::close(ready[1]);
            char c;
            (void)!::read(go[0], &c, 1);
        };
        bool ok = false;
        try {
            dbfile::backupTo(live(), bak + "/second.mdb");
            ok = true;
        } catch (...) {
        }
        ::_exit(ok ? 0 : 1);
    }
    ASSERT_GT(pid, 0);
    ::close(ready[1]);
    ::close(go[0]);
    QByteArray inMaking;
    char buf[512];
    for (ssize_t n; (n = ::read(ready[0], buf, sizeof buf)) > 0;)
        inMaking.append(buf, n);
    ::close(ready[0]);
    const QString copy = QString::fromUtf8(inMaking);
    ASSERT_TRUE(QFileInfo::exists(copy)) << copy.toStdString();

    // What killed backups and restores leave behind, whatever it holds.
    struct Leftover {
        const char* what;
        QString name;
        std::function<void(const QString&)> make;
    };
    const QList<Leftover> leftovers{
        {"empty", ".k.mdb.ostrela-AbC123.part", [](const QString& p) { writeFile(p, {}); }},
        {"zeroed first page", ".k.mdb.ostrela-Zer0ed.part", [this](const QString& p) { zeroedCopy(p); }},
        {"whole copy and its journal", ".door.mdb.ostrela-Wh0le1.part",
         [this](const QString& p) {
             ASSERT_TRUE(QFile::copy(live(), p));
             writeFile(p + "-journal", QByteArray(512, 'j'));
         }},
        {"orphaned journal", ".gone.mdb.ostrela-0rphan.part-journal",
         [](const QString& p) { writeFile(p, QByteArray(512, 'j')); }},
    };
    const struct {
        const char* run;
        QString folder;
    } runs[] = {{"backup", bak}, {"restore", folder()}};
    auto* w = ui::forms::load<FrmDataBase>();
    for (const auto& r : runs) {
        for (const Leftover& l : leftovers)
            l.make(r.folder + "/" + l.name);
        if (QString(r.run) == "backup") {
            w->openDir(bak);
            w->Text2->setText("new");
            w->Command1_Click();
            EXPECT_EQ(scripted.lastMessage(), "数据备份完毕！");
        } else {
            scripted.queueFile(bak + "/new.mdb");
            scripted.queueAnswer(ui::mb::Yes);
            w->Command3_Click();
            EXPECT_EQ(scripted.lastMessage(), "数据恢复成功，请退出系统重新进入！");
        }
        for (const Leftover& l : leftovers)
            EXPECT_FALSE(QFileInfo::exists(r.folder + "/" + l.name)) << r.run << ": " << l.what;
        EXPECT_TRUE(QFileInfo::exists(copy)) << r.run << ": the other instance's copy";
    }

    // The other instance goes on and completes its backup.
    ASSERT_EQ(::write(go[1], "g", 1), 1);
    ::close(go[1]);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_TRUE(dbfile::isSystemDatabase(bak + "/second.mdb"));
    EXPECT_EQ(partsIn(bak), QStringList());
}
