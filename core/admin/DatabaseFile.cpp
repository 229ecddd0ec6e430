#include "DatabaseFile.h"

#include "Module2.h"
#include "db/Db.h"
#include "runtime/RuntimeError.h"
#include "ui/ProgramFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QThread>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dbfile {

std::function<void(const QString&)> beforeRename;

namespace {

// An engine failure as the operator is told it; a full disk is error 61
// whether the engine or the file system met it.
[[noreturn]] void raiseEngine(int code, const QString& engineText)
{
    rt::raise((code & 0xff) == SQLITE_FULL ? rt::ErrDiskFull : rt::ErrDatabase, db::engineErrorText(code, engineText));
}

// One SQLite handle, closed on every way out.
struct Handle {
    sqlite3* h = nullptr;
    Handle(const QString& path, int flags)
    {
        const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &h, flags, nullptr);
        if (rc != SQLITE_OK) {
            // The destructor does not run for a failed constructor.
            const int code = h ? sqlite3_errcode(h) : rc;
            const QString text = h ? QString::fromUtf8(sqlite3_errmsg(h)) : QString::fromUtf8(sqlite3_errstr(rc));
            sqlite3_close_v2(h);
            raiseEngine(code, text);
        }
        sqlite3_busy_timeout(h, 30000);
    }
    ~Handle() { sqlite3_close_v2(h); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    [[noreturn]] void fail() const
    {
        if (!h)
            rt::raise(rt::ErrDatabase);
        raiseEngine(sqlite3_errcode(h), QString::fromUtf8(sqlite3_errmsg(h)));
    }
    // The first column of every row.
    QStringList column(const char* sql) const
    {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(h, sql, -1, &st, nullptr) != SQLITE_OK)
            fail();
        QStringList out;
        int rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW)
            out << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
        sqlite3_finalize(st);
        if (rc != SQLITE_DONE)
            fail();
        return out;
    }
};

bool soundSystemDatabase(const Handle& d)
{
    return d.column("PRAGMA quick_check").value(0) == QLatin1String("ok") &&
           Module2::MissingTables(d.column("SELECT name FROM sqlite_master WHERE type='table'")).isEmpty();
}

// How long a restore waits for another program's transaction on the live file.
constexpr int kLiveFileWaitMs = 3000;

// The journals SQLite may leave beside a database file.
const char* const kJournalSuffixes[] = {"-journal", "-wal", "-shm"};

// A copy in the making: "." + the name of the file it is to become (the
// backup or the live database) + ".ostrela-" + six random letters or digits
// + ".part", beside that file, and the journals SQLite gives it. Only names
// of exactly this form are ever swept, whatever they hold: any other file
// is some other program's. Each copy is locked (flock) by the process making
// it, so a sweep by another instance leaves it alone; a killed process
// leaves it unlocked.
const QString kCopyMarker = QStringLiteral(".ostrela-");
const QRegularExpression kCopyName(QStringLiteral("^\\..+\\.ostrela-[A-Za-z0-9]{6}\\.part(-journal|-wal|-shm)?$"));

// Lock descriptors of the copies this process is making, by path.
QHash<QString, int>& heldCopies()
{
    static QHash<QString, int> held;
    return held;
}

// A regular file of its own (no link, FIFO or device): the only kind ever
// opened or removed here by name.
bool isRegularFile(const QString& path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISREG(st.st_mode);
}

// SQLite's journals are regular files: a link or FIFO named like one is not ours.
void removeJournalsOf(const QString& path)
{
    for (const char* suffix : kJournalSuffixes)
        if (isRegularFile(path + QLatin1String(suffix)))
            QFile::remove(path + QLatin1String(suffix));
}

void removeWithJournals(const QString& path)
{
    QFile::remove(path);
    removeJournalsOf(path);
}

void release(const QString& path)
{
    if (const int fd = heldCopies().take(path); fd > 0)
        ::close(fd);
}

// True while path still names the file open on fd.
bool namesFile(const QByteArray& path, int fd)
{
    struct stat held {}, named {};
    return ::fstat(fd, &held) == 0 && ::lstat(path.constData(), &named) == 0 && held.st_dev == named.st_dev &&
           held.st_ino == named.st_ino;
}

// A new empty copy file in folder for the file named baseName, locked on
// the descriptor that created it and held until released; its path.
QString newTempFile(const QString& folder, const QString& baseName)
{
    if (!QFileInfo(folder).isDir())
        rt::raise(rt::ErrPathNotFound);
    static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        QString random;
        for (int i = 0; i < 6; ++i)
            random += QLatin1Char(kLetters[QRandomGenerator::global()->bounded(int(sizeof kLetters - 1))]);
        const QString path =
            QDir(folder).filePath(QLatin1Char('.') + baseName + kCopyMarker + random + QLatin1String(".part"));
        const QByteArray native = QFile::encodeName(path);
        const int fd = ::open(native.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            rt::raiseErrno(errno);
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int err = errno;
            ::close(fd);
            if (err == EWOULDBLOCK)
                continue;   // a sweep took it in the instant before the lock, and removes it
            ::unlink(native.constData());
            rt::raiseErrno(err);
        }
        // A sweep that came in that instant has removed the name: a new one.
        if (!namesFile(native, fd)) {
            ::close(fd);
            continue;
        }
        heldCopies().insert(path, fd);
        return path;
    }
    rt::raise(rt::ErrPathFileAccess);
}

// Removes the copies that a backup or restore killed before its end left in
// folder: named as this program names them and not locked by a running copy
// (journals go with their copy, or alone when it is gone).
void sweepStaleCopies(const QString& folder)
{
    const QDir dir(folder);
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (!kCopyName.match(name).hasMatch())
            continue;
        const QString path = dir.filePath(name);
        if (!name.endsWith(QLatin1String(".part"))) {
            // A journal: swept with its copy, or alone when the copy is gone.
            const QString copy = path.left(path.lastIndexOf(QLatin1String(".part")) + 5);
            if (!QFileInfo::exists(copy) && isRegularFile(path))
                QFile::remove(path);
            continue;
        }
        // Never blocks on a FIFO or follows a link that only looks like a copy.
        const QByteArray native = QFile::encodeName(path);
        const int fd = ::open(native.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat st {};
        // Locked: a copy still being made. Renamed meanwhile: finished.
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
            namesFile(native, fd))
            removeWithJournals(path);
        ::close(fd);
    }
}

// Sweeps each folder once: where the copy goes, where the live file is, and
// the program folder.
void sweepStaleCopies(QStringList folders)
{
    folders << ui::programFolder();
    QStringList seen;
    for (const QString& f : std::as_const(folders)) {
        if (f.isEmpty())
            continue;
        const QString canonical = QFileInfo(f).canonicalFilePath();
        if (canonical.isEmpty() || seen.contains(canonical))
            continue;
        seen << canonical;
        sweepStaleCopies(canonical);
    }
}

// The rights a new file of the user gets (0666 less the umask).
QFileDevice::Permissions newFileRights()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    const mode_t mode = 0666 & ~mask;
    QFileDevice::Permissions p;
    if (mode & S_IRUSR)
        p |= QFileDevice::ReadOwner | QFileDevice::ReadUser;
    if (mode & S_IWUSR)
        p |= QFileDevice::WriteOwner | QFileDevice::WriteUser;
    if (mode & S_IRGRP)
        p |= QFileDevice::ReadGroup;
    if (mode & S_IWGRP)
        p |= QFileDevice::WriteGroup;
    if (mode & S_IROTH)
        p |= QFileDevice::ReadOther;
    if (mode & S_IWOTH)
        p |= QFileDevice::WriteOther;
    return p;
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
        raiseEngine(rc, QString::fromUtf8(sqlite3_errstr(rc)));
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
    // those the user's new files get), not the temporary file's owner-only
    // ones: it holds every operator's password.
    const QFileDevice::Permissions rights = QFileInfo::exists(to) ? QFile::permissions(to) : newFileRights();
    QFile::setPermissions(from, rights);
    if (beforeRename)
        beforeRename(from);
    if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0)
        rt::raiseErrno(errno);
    syncFolderOf(to);
}

// The copy at temp, or nothing: removes temp and its journals when anything fails.
template <class F>
void orDiscard(const QString& temp, F&& f)
{
    try {
        f();
    } catch (...) {
        removeWithJournals(temp);
        release(temp);
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
    sweepStaleCopies(QStringList{t.absolutePath(), QFileInfo(source).absolutePath()});
    const QString temp = newTempFile(t.absolutePath(), t.fileName());
    orDiscard(temp, [&] {
        copyInto(source, temp);
        renameOver(temp, target);
    });
    // The journal of the copy, renamed away from it, is no use to anyone.
    removeJournalsOf(temp);
    release(temp);
}

QString stageBeside(const QString& source, const QString& live)
{
    const QFileInfo l(live);
    sweepStaleCopies(QStringList{l.absolutePath()});
    const QString temp = newTempFile(l.absolutePath(), l.fileName());
    orDiscard(temp, [&] { copyInto(source, temp); });
    return temp;
}

void replaceWith(const QString& staged, const QString& live)
{
    // The live file is taken as every writer takes it, with an exclusive
    // lock: a transaction another program has open on it (its journal beside
    // it) makes the restore fail with both untouched, and a journal a dead
    // writer left is played back into the old file, never into the new one.
    sqlite3* h = nullptr;
    const bool opened =
        sqlite3_open_v2(QFile::encodeName(live).constData(), &h, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK;
    struct Close {
        sqlite3* h;
        ~Close() { sqlite3_close_v2(h); }   // ends the transaction, releases the lock
    } close{h};
    if (opened) {
        sqlite3_busy_timeout(h, kLiveFileWaitMs);
        const int rc = sqlite3_exec(h, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr);
        if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED)
            raiseEngine(rc, QString::fromUtf8(sqlite3_errmsg(h)));
    }
    // Under that lock (or with a live file too damaged to be locked) nothing
    // of the old journals belongs to a writer, and they must not meet the
    // new file.
    removeJournalsOf(live);
    renameOver(staged, live);
    removeJournalsOf(staged);
    release(staged);
}

void discard(const QString& staged)
{
    if (staged.isEmpty())
        return;
    removeWithJournals(staged);
    release(staged);
}

} // namespace dbfile
