// Start-up: "Public.Sys" defaults, the database connection and its fallback.
#include "CoreTestSupport.h"

#include "Globals.h"
#include "Module2.h"
#include "runtime/RuntimeError.h"
#include "ui/ProgramFolder.h"

#include <QFileInfo>

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

TEST_F(StartupTest, FallbackFailureReachesTheStartProcedure)
{
    writeConfig("[InitSystem]\r\nFirst=NO\r\n[DataSource]\r\nDataBase=Access\r\n[Access]\r\nProvider=SQLite\r\n"
                "DataBasePath=/nonexistent/door.mdb\r\n");
    EXPECT_FALSE(mdl::Main());
    ASSERT_EQ(scripted.messages.size(), 1);
    EXPECT_TRUE(scripted.messages[0].text.startsWith("-2147467259:")) << scripted.messages[0].text.toStdString();
    EXPECT_EQ(scripted.messages[0].title, "错误提示");
    EXPECT_FALSE(QFileInfo::exists(folder() + "door.mdb")) << "no empty database is ever created";
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

TEST_F(StartupTest, ReadIniDropsNulsAndBlanks)
{
    writeConfig(QByteArray("[s]\r\nk= a\0b \r\n", 14));
    EXPECT_EQ(Module2::ReadIni("s", "k", Module2::ConfigFilePath()), "ab");
}

} // namespace
