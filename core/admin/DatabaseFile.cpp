#include "DatabaseFile.h"

#include "runtime/RuntimeError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <QThread>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dbfile {

std::function<void(const QString&)> beforeRename;

namespace {

// Tables every database of this system has; a file without them is some
// other database and must never replace the live one.
const char* const kRequiredTables[] = {"system", "user", "Dict_Pub", "department", "people",
                                       "doors",  "dfaka", "dtuika",  "data",       "datakq"};

[[noreturn]] void raiseErrno(int err)
{
    switch (err) {
    case ENOENT:
    case ENOTDIR: rt::raise(rt::ErrPathNotFound);
    case EACCES:
    case EPERM:
    case EROFS: rt::raise(rt::ErrPermissionDenied);
    case ENOSPC: rt::raise(rt::ErrDiskFull);
    default: rt::raise(rt::ErrPathFileAccess);
    }
}

// One SQLite handle, closed on every way out.
struct Handle {
    sqlite3* h = nullptr;
    Handle(const QString& path, int flags)
    {
        const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &h, flags, nullptr);
        if (rc != SQLITE_OK) {
            // The destructor does not run for a failed constructor.
            const QString why = h ? QString::fromUtf8(sqlite3_errmsg(h)) : QString::fromUtf8(sqlite3_errstr(rc));
            sqlite3_close_v2(h);
            rt::raise(rt::ErrDatabase, why);
        }
        sqlite3_busy_timeout(h, 30000);
    }
    ~Handle() { sqlite3_close_v2(h); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    [[noreturn]] void fail() const
    {
        rt::raise(rt::ErrDatabase, h ? QString::fromUtf8(sqlite3_errmsg(h)) : QString());
    }
    // The first column of the first row, "" when there is none.
    QString scalar(const char* sql) const
    {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(h, sql, -1, &st, nullptr) != SQLITE_OK)
            fail();
        QString out;
        const int rc = sqlite3_step(st);
        if (rc == SQLITE_ROW)
            out = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
        sqlite3_finalize(st);
        if (rc != SQLITE_ROW && rc != SQLITE_DONE)
            fail();
        return out;
    }
};

bool soundSystemDatabase(const Handle& d)
{
    if (d.scalar("PRAGMA quick_check") != QLatin1String("ok"))
        return false;
    for (const char* t : kRequiredTables) {
        const QByteArray sql = QByteArray("SELECT count(*) FROM sqlite_master WHERE type='table' AND name='") + t +
                               "' COLLATE NOCASE";
        if (d.scalar(sql.constData()) != QLatin1String("1"))
            return false;
    }
    return true;
}

// A new empty file in folder; its path.
QString newTempFile(const QString& folder, const QString& baseName)
{
    if (!QFileInfo(folder).isDir())
        rt::raise(rt::ErrPathNotFound);
    QTemporaryFile f(QDir(folder).filePath(QStringLiteral(".%1.XXXXXX.part").arg(baseName)));
    f.setAutoRemove(false);
    if (!f.open())
        raiseErrno(errno ? errno : EACCES);
    const QString path = f.fileName();
    f.close();
    return path;
}

// Copies source into the (empty) file at dest and checks the copy.
void copyInto(const QString& source, const QString& dest)
{
    Handle src(source, SQLITE_OPEN_READONLY);
    Handle dst(dest, SQLITE_OPEN_READWRITE);
    sqlite3_backup* b = sqlite3_backup_init(dst.h, "main", src.h, "main");
    if (!b)
        dst.fail();
    int rc;
    int waits = 0;
    // All pages in one step: one read transaction on the source, a
    // consistent state however busy the writers are.
    while ((rc = sqlite3_backup_step(b, -1)) == SQLITE_BUSY || rc == SQLITE_LOCKED) {
        if (++waits > 300)
            break;
        QThread::msleep(100);
    }
    sqlite3_backup_finish(b);
    if (rc != SQLITE_DONE)
        rt::raise(rt::ErrDatabase, QString::fromUtf8(sqlite3_errstr(rc)));
    if (!soundSystemDatabase(dst))
        rt::raise(rt::ErrDatabase, QStringLiteral("副本校验失败"));
}

void syncFolderOf(const QString& path)
{
    const int fd = ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

void renameOver(const QString& from, const QString& to)
{
    // The copy gets the access rights of the file it replaces (a new one
    // those of an ordinary file), not the temporary file's owner-only ones.
    const QFileDevice::Permissions rights =
        QFileInfo::exists(to) ? QFile::permissions(to)
                              : QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser |
                                    QFileDevice::WriteUser | QFileDevice::ReadGroup | QFileDevice::ReadOther;
    QFile::setPermissions(from, rights);
    if (beforeRename)
        beforeRename(from);
    if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0)
        raiseErrno(errno);
    syncFolderOf(to);
}

// The copy at temp, or nothing: removes temp when anything fails.
template <class F>
void orDiscard(const QString& temp, F&& f)
{
    try {
        f();
    } catch (...) {
        QFile::remove(temp);
        throw;
    }
}

} // namespace

bool sameFile(const QString& a, const QString& b)
{
    struct stat sa, sb;
    if (::stat(QFile::encodeName(a).constData(), &sa) != 0 || ::stat(QFile::encodeName(b).constData(), &sb) != 0)
        return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool isSystemDatabase(const QString& path)
{
    if (!QFileInfo(path).isFile())
        return false;
    try {
        Handle d(path, SQLITE_OPEN_READONLY);
        return soundSystemDatabase(d);
    } catch (const rt::Error&) {
        return false;
    }
}

void backupTo(const QString& source, const QString& target)
{
    if (!QFileInfo(source).isFile())
        rt::raise(rt::ErrFileNotFound);
    const QFileInfo t(target);
    const QString temp = newTempFile(t.absolutePath(), t.fileName());
    orDiscard(temp, [&] {
        copyInto(source, temp);
        renameOver(temp, target);
    });
}

QString stageBeside(const QString& source, const QString& live)
{
    const QFileInfo l(live);
    const QString temp = newTempFile(l.absolutePath(), l.fileName());
    orDiscard(temp, [&] { copyInto(source, temp); });
    return temp;
}

void replaceWith(const QString& staged, const QString& live)
{
    renameOver(staged, live);
    // A journal left by the old file would be played back into the new one.
    for (const char* suffix : {"-journal", "-wal", "-shm"})
        QFile::remove(live + QLatin1String(suffix));
}

void discard(const QString& staged)
{
    if (!staged.isEmpty())
        QFile::remove(staged);
}

} // namespace dbfile
