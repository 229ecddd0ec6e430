#pragma once
// Whole-file work on the management database for backup and restore. A copy
// is always made through SQLite's backup (one read transaction, so it is
// consistent even while other handles write), checked, and only then renamed
// over its destination: a failure leaves the destination as it was, and
// neither the temporary copy nor its journal. Copies that a killed backup or
// restore left behind (files named as this program names its copies, and
// nothing else) are swept from the folders involved and the program folder
// by the next backup or restore.
#include <QString>
#include <functional>

namespace dbfile {

// True when both paths name one existing file (same device and inode), so
// another spelling, a link or "./" cannot pass for a different file.
bool sameFile(const QString& a, const QString& b);

// True when the file opens as an SQLite database, passes the quick check and
// holds the tables every copy of this system's database has.
bool isSystemDatabase(const QString& path);

// Copies the database at source to target (replacing it when complete). A
// new target gets the rights the user's new files get (the umask), a
// replaced one keeps its own. Raises rt::Error with a description when
// anything fails; the target is then untouched.
void backupTo(const QString& source, const QString& target);

// Copies source into a new temporary file beside live and checks it; returns
// that file's path. Raises rt::Error (nothing left behind) on failure.
QString stageBeside(const QString& source, const QString& live);
// Renames the staged copy over live and drops the old file's journals.
// Raises rt::Error when another program keeps a transaction open on live
// or the rename fails; live and its journal are then unchanged.
void replaceWith(const QString& staged, const QString& live);
// Removes a staged copy that will not be used.
void discard(const QString& staged);

// Tests: called with the temporary file just before it would be renamed
// into place; throwing there plays a copy that failed at the last moment.
extern std::function<void(const QString& tempPath)> beforeRename;

} // namespace dbfile
