#include "CoreTestSupport.h"

#include "Globals.h"
#include "Module2.h"
#include "ui/Form.h"
#include "ui/ProgramFolder.h"

#include <QApplication>
#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <sys/mount.h>
#include <utility>

void ensureApplication()
{
    if (!QCoreApplication::instance()) {
        static int argc = 1;
        static char name[] = "core_test";
        static char* argv[] = {name, nullptr};
        new QApplication(argc, argv);
    }
}

TestMount TestMount::tmpfs(const QString& folder, const QString& size)
{
    TestMount m;
    m.folder_ = folder;
    const QByteArray options = "size=" + size.toLatin1();
    m.mounted_ = ::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", 0, options.constData()) == 0;
    if (!m.mounted_)
        m.why_ = QStringLiteral("no tmpfs can be mounted here: ") + QString::fromLocal8Bit(std::strerror(errno));
    return m;
}

TestMount TestMount::readOnly(const QString& folder)
{
    TestMount m;
    m.folder_ = folder;
    const QByteArray path = QFile::encodeName(folder);
    m.mounted_ = ::mount(path.constData(), path.constData(), nullptr, MS_BIND, nullptr) == 0;
    if (!m.mounted_) {
        m.why_ = QStringLiteral("no read-only mount is permitted here: ") + QString::fromLocal8Bit(std::strerror(errno));
        return m;
    }
    if (::mount(nullptr, path.constData(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) != 0)
        m.why_ = QStringLiteral("the bind mount cannot be made read-only: ") + QString::fromLocal8Bit(std::strerror(errno));
    return m;
}

TestMount::TestMount(TestMount&& other) noexcept
    : folder_(std::move(other.folder_))
    , mounted_(std::exchange(other.mounted_, false))
    , why_(std::move(other.why_))
{
}

TestMount::~TestMount()
{
    if (mounted_)
        ::umount2(QFile::encodeName(folder_).constData(), MNT_DETACH);
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
