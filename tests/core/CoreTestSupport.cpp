#include "CoreTestSupport.h"

#include "Globals.h"
#include "Module2.h"
#include "ui/Form.h"
#include "ui/ProgramFolder.h"

#include <QApplication>
#include <QDir>
#include <QFile>

void ensureApplication()
{
    if (!QCoreApplication::instance()) {
        static int argc = 1;
        static char name[] = "core_test";
        static char* argv[] = {name, nullptr};
        new QApplication(argc, argv);
    }
}

void ProgramFolderTest::SetUp()
{
    ensureApplication();
    ASSERT_TRUE(dir.isValid());
    ui::setProgramFolder(dir.path());
    mdl::resetGlobals();
    savedHome_ = qgetenv("HOME");
    savedConfigHome_ = qgetenv("XDG_CONFIG_HOME");
    QDir().mkpath(home());
    qputenv("HOME", home().toLocal8Bit());
    qunsetenv("XDG_CONFIG_HOME");
}

void ProgramFolderTest::TearDown()
{
    ui::forms::unloadAll();
    ui::forms::setModalHandler(nullptr);
    mdl::resetGlobals();
    ui::setProgramFolder(QString());
    qputenv("HOME", savedHome_);
    if (savedConfigHome_.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", savedConfigHome_);
}

void ProgramFolderTest::shipDatabase(const QString& name)
{
    ASSERT_TRUE(QFile::copy(SHIPPED_DB, folder() + name));
    QFile::setPermissions(folder() + name, QFile::ReadOwner | QFile::WriteOwner);
}

void ProgramFolderTest::shipConfig()
{
    ASSERT_TRUE(QFile::copy(SHIPPED_PUBLIC_SYS, folder() + "Public.Sys"));
    QFile::setPermissions(folder() + "Public.Sys", QFile::ReadOwner | QFile::WriteOwner);
}

void ProgramFolderTest::writeConfig(const QByteArray& bytes)
{
    QFile f(folder() + "Public.Sys");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray ProgramFolderTest::configBytes() const
{
    QFile f(folder() + "Public.Sys");
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void ProgramFolderTest::openShared()
{
    shipDatabase();
    shipConfig();
    ASSERT_TRUE(Module2::OpenDatabaseConnection());
    mdl::DaoDatabase = db::Database::openConnect(mdl::DaoConnect);
}
