// Start-up: "Public.Sys" defaults, the database connection and its fallback.
#include "CoreTestSupport.h"

#include "Globals.h"
#include "Module2.h"
#include "runtime/Gbk.h"
#include "runtime/RuntimeError.h"
#include "ui/ProgramFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <functional>

#include <sys/stat.h>
#include <unistd.h>

namespace {

using StartupTest = ProgramFolderTest;

TEST_F(StartupTest, FirstRunWithoutConfigWritesDefaultsAndFailsWithoutProvider)
{
    shipDatabase();
    EXPECT_FALSE(mdl::Main());
    EXPECT_EQ(configBytes(), "[InitSystem]\r\nFirst=NO\r\n[DataSource]\r\nDataBase=Access\r\n[Access]\r\nDataBasePath="
                                 + (folder() + "door.mdb").toUtf8() + "\r\n");
    ASSERT_EQ(scripted.messages.size(), 1);
    EXPECT_EQ(scripted.messages[0].text, "数据库连接出错！");
    EXPECT_EQ(scripted.messages[0].style, ui::mb::OKOnly);
    EXPECT_EQ(scripted.messages[0].title, mdl::kProgramTitle);
    EXPECT_FALSE(mdl::AdoConnection.isOpen());
    EXPECT_FALSE(mdl::Door) << "the controller object is created at login, not at start";
}

TEST_F(StartupTest, ShippedConfigOpensTheProgramFolderDatabase)
{
    shipDatabase();
    shipConfig();
    ASSERT_TRUE(mdl::Main());
    EXPECT_TRUE(scripted.messages.isEmpty());
    EXPECT_TRUE(mdl::AdoConnection.isOpen());
    EXPECT_EQ(mdl::AdoConnection.commandTimeout(), 180);
    EXPECT_EQ(mdl::AdoConnection.cursorLocation(), 3);
    EXPECT_EQ(mdl::DaoConnect, ";database=" + folder() + "door.mdb");
    EXPECT_EQ(Module2::ReadIni("access", "PROVIDER", Module2::ConfigFilePath()), "SQLite");
    EXPECT_EQ(Module2::ReadIni("InitSystem", "First", Module2::ConfigFilePath()), "NO");
    EXPECT_EQ(mdl::AdoConnection.execute("select * from [user]").recordCount(), 1);
    // A second start does not write again.
    QByteArray before = configBytes();
    ASSERT_TRUE(Module2::OpenDatabaseConnection());
    EXPECT_EQ(configBytes(), before);
}

TEST_F(StartupTest, FirstMustBeExactlyUpperCaseNo)
{
    shipDatabase();
    writeConfig("[InitSystem]\r\nFirst=no\r\n[DataSource]\r\nDataBase=Other\r\n[Access]\r\nProvider=SQLite\r\nDataBasePath=/elsewhere/x.mdb\r\n");
    ASSERT_TRUE(Module2::OpenDatabaseConnection());
    const QString cfg = Module2::ConfigFilePath();
    EXPECT_EQ(Module2::ReadIni("InitSystem", "First", cfg), "NO");
    EXPECT_EQ(Module2::ReadIni("DataSource", "DataBase", cfg), "Access");
    EXPECT_EQ(Module2::ReadIni("Access", "DataBasePath", cfg), folder() + "door.mdb");
}

TEST_F(StartupTest, DatabaseKindIsComparedExactly)
{
    shipDatabase();
    writeConfig("[InitSystem]\r\nFirst=NO\r\n[DataSource]\r\nDataBase=access\r\n[Access]\r\nProvider=SQLite\r\n");
    EXPECT_FALSE(mdl::Main());
    ASSERT_EQ(scripted.messages.size(), 2);
    EXPECT_EQ(scripted.messages[0].text, "Sorry.系统暂时仅支持Microsoft Access数据库！");
    EXPECT_EQ(scripted.messages[1].text, "数据库连接出错！");
    // The path lookup falls back to the program folder for another kind.
    EXPECT_EQ(Module2::GetDatabasePath(), folder() + "door.mdb");
}

TEST_F(StartupTest, ValuesAreTrimmedAndUnquoted)
{
    shipDatabase("site.mdb");
    writeConfig("[InitSystem]\r\nFirst = NO \r\n[DataSource]\r\nDataBase=  Access  \r\n[Access]\r\nProvider=  \"SQLite\" \r\n"
                "DataBasePath=  \"" + (folder() + "site.mdb").toUtf8() + "\"  \r\n");
    ASSERT_TRUE(Module2::OpenDatabaseConnection());
    EXPECT_EQ(mdl::AdoConnection.databasePath(), QFileInfo(folder() + "site.mdb").absoluteFilePath());
    EXPECT_EQ(Module2::GetDatabasePath(), QFileInfo(folder() + "site.mdb").absoluteFilePath());
}

TEST_F(StartupTest, MissingConfiguredFileFallsBackAndBothHandlesFollow)
{
    shipDatabase();
    writeConfig("[InitSystem]\r\nFirst=NO\r\n[DataSource]\r\nDataBase=Access\r\n[Access]\r\nProvider=SQLite\r\n"
                "DataBasePath=" + (folder() + "moved/door.mdb").toUtf8() + "\r\n");
    ASSERT_TRUE(mdl::Main());
    EXPECT_EQ(mdl::AdoConnection.databasePath(), QFileInfo(folder() + "door.mdb").absoluteFilePath());
    EXPECT_EQ(mdl::DaoConnect, ";database=" + folder() + "door.mdb");
    EXPECT_EQ(Module2::GetDatabasePath(), mdl::AdoConnection.databasePath());
    // The DAO side opened from DaoConnect writes into the same file.
    db::Database dao = db::Database::openConnect(mdl::DaoConnect);
    dao.execute("insert into department (部门) values (?)", {"生产部"});
    EXPECT_EQ(mdl::AdoConnection.execute("select * from department").recordCount(), 1);
}

TEST_F(StartupTest, AConfiguredDatabaseThatCannotBeOpenedIsNamedAndNeverWritten)
{
    auto bytesOf = [](const QString& path) {
        if (!QFileInfo(path).isFile())
            return QByteArray("<not a file>");   // a FIFO would block the read
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    };
    auto put = [](const QString& path, const QByteArray& bytes) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    };
    struct Case {
        const char* what;
        std::function<void(const QString&)> make;   // none: the file is missing
        QString why;                                // %1: the configured file
    };
    const QString damaged = QStringLiteral("“%1”不是有效的数据库文件：数据库文件已损坏（file is not a database）。");
    QList<Case> cases{
        {"missing", nullptr, "找不到数据库文件“%1”。"},
        {"another program's file", [&](const QString& p) { put(p, "Name,Card\r\n张三,123\r\n"); }, damaged},
        {"damaged header",
         [&, this](const QString& p) {
             ASSERT_TRUE(QFile::copy(folder() + "door.mdb", p));
             QFile f(p);
             ASSERT_TRUE(f.open(QIODevice::ReadWrite));
             f.write(QByteArray(100, '\x5a'));
         },
         damaged},
        {"empty", [&](const QString& p) { put(p, {}); }, "“%1”不是有效的数据库文件：其中没有任何数据表。"},
        {"without this system's tables",
         [this](const QString& p) {
             ASSERT_TRUE(QFile::copy(folder() + "door.mdb", p));
             db::Database::open(p).execute("drop table user");
             db::Database::open(p).execute("drop table people");
         },
         "“%1”不是本系统的数据库文件：其中没有数据表 user、people。"},
        {"a FIFO", [](const QString& p) { ASSERT_EQ(::mkfifo(QFile::encodeName(p).constData(), 0600), 0); },
         "“%1”不是普通文件，不能作为数据库文件。"},
        {"a folder", [](const QString& p) { ASSERT_TRUE(QDir().mkpath(p)); }, "“%1”是一个文件夹，不是数据库文件。"},
    };
    if (::geteuid() != 0) {   // root reads every file and enters every folder
        cases.append({"a file the user may not read",
                      [this](const QString& p) {
                          QDir(p).removeRecursively();
                          ASSERT_TRUE(QFile::copy(folder() + "door.mdb", p));
                          ASSERT_TRUE(QFile::setPermissions(p, QFile::WriteOwner));
                      },
                      "无权访问数据库文件“%1”：没有读取它的权限。"});
        cases.append({"in a folder the user may not enter",
                      [this](const QString& p) {
                          QDir(p).removeRecursively();
                          ASSERT_TRUE(QFile::copy(folder() + "door.mdb", p));
                          ASSERT_TRUE(QFile::setPermissions(folder() + "site", QFile::ReadOwner | QFile::WriteOwner));
                      },
                      "无权访问数据库文件“%1”：没有进入它所在文件夹的权限。"});
    }
    shipDatabase();
    const QString used = folder() + "door.mdb";
    ASSERT_TRUE(QDir(folder()).mkpath("site"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString configured = folder() + "site/door.mdb";
        QFile::remove(configured);
        if (c.make)
            c.make(configured);
        const QByteArray before = bytesOf(configured);
        writeConfig("[InitSystem]\r\nFirst=NO\r\n[DataSource]\r\nDataBase=Access\r\n[Access]\r\nProvider=SQLite\r\n"
                    "DataBasePath=" + configured.toUtf8() + "\r\n");
        scripted.clearMessages();
        ASSERT_TRUE(mdl::Main());
        ASSERT_EQ(scripted.messages.size(), 1);
        EXPECT_EQ(scripted.messages[0].text, "设置的数据库文件不能打开：" + c.why.arg(configured) +
                                                 "\n现改用程序文件夹中的数据库文件“" + used +
                                                 "”，此后的数据都存入这个文件。请检查“Public.Sys”中的数据库路径"
                                                 "（DataBasePath）！");
        EXPECT_EQ(scripted.messages[0].style, ui::mb::OKOnly | ui::mb::Exclamation);
        EXPECT_EQ(scripted.messages[0].title, mdl::kProgramTitle);
        // Everything from then on goes into the file used instead.
        mdl::DaoDatabase = db::Database::openConnect(mdl::DaoConnect);
        mdl::DaoDatabase.execute("insert into department (部门) values (?)", {QString(c.what)});
        EXPECT_EQ(mdl::AdoConnection.execute("select * from department where 部门=?", {QString(c.what)}).recordCount(), 1);
        EXPECT_EQ(Module2::GetDatabasePath(), QFileInfo(used).absoluteFilePath());
        EXPECT_EQ(bytesOf(configured), before);
        EXPECT_FALSE(QFileInfo::exists(configured + "-journal"));
    }
    QFile::setPermissions(folder() + "site", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TEST_F(StartupTest, FallbackFailureReachesTheStartProcedure)
{
    writeConfig("[InitSystem]\r\nFirst=NO\r\n[DataSource]\r\nDataBase=Access\r\n[Access]\r\nProvider=SQLite\r\n"
                "DataBasePath=/nonexistent/door.mdb\r\n");
    EXPECT_FALSE(mdl::Main());
    ASSERT_EQ(scripted.messages.size(), 1);
    EXPECT_TRUE(scripted.messages[0].text.startsWith("-2147467259:")) << scripted.messages[0].text.toStdString();
    EXPECT_EQ(scripted.messages[0].title, "错误提示");
    EXPECT_FALSE(QFileInfo::exists(folder() + "door.mdb")) << "no empty database is ever created";

    // The program folder's own file without this system's tables is named, and not written.
    shipDatabase();
    db::Database::open(folder() + "door.mdb").execute("drop table people");
    QFile own(folder() + "door.mdb");
    ASSERT_TRUE(own.open(QIODevice::ReadOnly));
    const QByteArray before = own.readAll();
    own.close();
    scripted.clearMessages();
    EXPECT_FALSE(mdl::Main());
    ASSERT_EQ(scripted.messages.size(), 1);
    EXPECT_TRUE(scripted.messages[0].text.endsWith("“" + folder() + "door.mdb”不是本系统的数据库文件：其中没有数据表 people。"))
        << scripted.messages[0].text.toStdString();
    ASSERT_TRUE(own.open(QIODevice::ReadOnly));
    EXPECT_EQ(own.readAll(), before);
}

// A database the program cannot write ends the start as a failed connection
// does, with the reason in Chinese.
void expectRefusedAsReadOnly(const ui::ScriptedUi& scripted, const char* what)
{
    EXPECT_FALSE(mdl::Main()) << what;
    ASSERT_EQ(scripted.messages.size(), 1) << what << ": " << scripted.messages.value(0).text.toStdString();
    EXPECT_TRUE(scripted.messages[0].text.contains("不能写入")) << what << ": " << scripted.messages[0].text.toStdString();
    EXPECT_EQ(scripted.messages[0].style, ui::mb::OKOnly) << what;
    EXPECT_EQ(scripted.messages[0].title, mdl::kProgramTitle) << what;
    EXPECT_FALSE(mdl::AdoConnection.isOpen()) << what;
}

TEST_F(StartupTest, AReadOnlyDatabaseFileOrFolderEndsTheStart)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root writes whatever the modes say; the read-only mount test stands for this one";
    shipDatabase();
    shipConfig();
    const QFile::Permissions rw = QFile::permissions(folder());
    const struct {
        const char* what;
        QString path;
        QFile::Permissions mode;
    } cases[] = {
        {"file", folder() + "door.mdb", QFile::ReadOwner},
        {"folder: no journal can be made", folder(), QFile::ReadOwner | QFile::ExeOwner},
    };
    for (const auto& c : cases) {
        scripted.clearMessages();
        const QFile::Permissions before = QFile::permissions(c.path);
        ASSERT_TRUE(QFile::setPermissions(c.path, c.mode));
        expectRefusedAsReadOnly(scripted, c.what);
        QFile::setPermissions(c.path, before);
    }
    QFile::setPermissions(folder(), rw);
    scripted.clearMessages();
    EXPECT_TRUE(mdl::Main());
    EXPECT_TRUE(scripted.messages.isEmpty());
}

TEST_F(StartupTest, ADatabaseOnAReadOnlyMountEndsTheStart)
{
    shipDatabase();
    writeConfig("[InitSystem]\r\nFirst=NO\r\n[DataSource]\r\nDataBase=Access\r\n[Access]\r\nProvider=SQLite\r\n"
                "DataBasePath=" + (folder() + "door.mdb").toUtf8() + "\r\n");
    const TestMount ro = TestMount::readOnly(dir.path());
    if (!ro.ok())
        GTEST_SKIP() << ro.why().toStdString();
    expectRefusedAsReadOnly(scripted, "read-only mount");
}

TEST_F(StartupTest, UnknownProviderIsAConnectionError)
{
    shipDatabase();
    writeConfig("[InitSystem]\r\nFirst=NO\r\n[DataSource]\r\nDataBase=Access\r\n[Access]\r\nProvider=Microsoft.Jet.OLEDB.4.0\r\n"
                "DataBasePath=" + (folder() + "door.mdb").toUtf8() + "\r\n");
    EXPECT_FALSE(mdl::Main());
    ASSERT_EQ(scripted.messages.size(), 1);
    EXPECT_EQ(scripted.messages[0].text, "数据库连接出错！");
}

TEST_F(StartupTest, DatabasePathWithoutAConnection)
{
    writeConfig("[DataSource]\r\nDataBase=Access\r\n[Access]\r\nDataBasePath=\r\n");
    EXPECT_EQ(Module2::GetDatabasePath(), folder() + "door.mdb");
    writeConfig("[DataSource]\r\nDataBase=Access\r\n[Access]\r\nDataBasePath=/srv/door.mdb\r\n");
    EXPECT_EQ(Module2::GetDatabasePath(), "/srv/door.mdb");
    EXPECT_EQ(configBytes(), "[DataSource]\r\nDataBase=Access\r\n[Access]\r\nDataBasePath=/srv/door.mdb\r\n");
}

TEST_F(StartupTest, RootFolderGetsNoSecondSlash)
{
    ui::setProgramFolder("/");
    EXPECT_EQ(Module2::ConfigFilePath(), "/Public.Sys");
    ui::setProgramFolder(dir.path() + "/");
    EXPECT_EQ(Module2::ConfigFilePath(), folder() + "Public.Sys");
}

TEST_F(StartupTest, ChinesePathsTravelInCodePage936)
{
    // A program folder with a Chinese name: the first run writes its path in code page 936.
    ASSERT_TRUE(QDir(dir.path()).mkpath("门禁系统/数据"));
    const QString prog = folder() + "门禁系统/";
    shipDatabase("门禁系统/door.mdb");
    ui::setProgramFolder(prog);
    QFile cfg(prog + "Public.Sys");
    auto put = [&](const QByteArray& bytes) {
        ASSERT_TRUE(cfg.open(QIODevice::WriteOnly));
        cfg.write(bytes);
        cfg.close();
    };
    put("[Access]\r\nProvider=SQLite\r\n");
    ASSERT_TRUE(Module2::OpenDatabaseConnection());
    ASSERT_TRUE(cfg.open(QIODevice::ReadOnly));
    const QByteArray written = cfg.readAll();
    cfg.close();
    EXPECT_TRUE(written.contains("DataBasePath=" + rt::toGbk(prog + "door.mdb") + "\r\n"));
    EXPECT_FALSE(written.contains(prog.toUtf8()));
    EXPECT_EQ(mdl::DaoConnect, ";database=" + prog + "door.mdb");

    // A path edited by hand in code page 936 is read back as the same text.
    shipDatabase("门禁系统/数据/考勤.mdb");
    put("[InitSystem]\r\nFirst=NO\r\n[DataSource]\r\nDataBase=Access\r\n[Access]\r\nProvider=SQLite\r\nDataBasePath="
        + rt::toGbk(prog + "数据/考勤.mdb") + "\r\n");
    ASSERT_TRUE(Module2::OpenDatabaseConnection());
    EXPECT_EQ(mdl::AdoConnection.databasePath(), QFileInfo(prog + "数据/考勤.mdb").absoluteFilePath());
    EXPECT_EQ(mdl::DaoConnect, ";database=" + prog + "数据/考勤.mdb");
}

TEST_F(StartupTest, ReadIniDropsNulsAndBlanks)
{
    writeConfig(QByteArray("[s]\r\nk= a\0b \r\n", 14));
    EXPECT_EQ(Module2::ReadIni("s", "k", Module2::ConfigFilePath()), "ab");
}

} // namespace
