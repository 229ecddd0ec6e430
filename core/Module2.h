#pragma once
// Start-up and the configuration file "Public.Sys" in the program folder.
//
// "Public.Sys" (code page 936):
//   [InitSystem] First=NO          once the first-run defaults are written
//   [DataSource] DataBase=Access   the only kind accepted (exact text)
//   [Access]     Provider=SQLite   ships with the file; never written
//   [Access]     DataBasePath=...  the database file ("door.mdb" in the program folder)
#include <QString>
#include <QStringList>

namespace Module2 {

// The name of the configuration file and of the default database file.
inline const QString kConfigFile = QStringLiteral("Public.Sys");
inline const QString kDatabaseFile = QStringLiteral("door.mdb");

// The tables every database of this system has that a file holding the
// tables named lacks (names compared without case, as SQLite does): a file
// that lacks one is some other database, never opened for use nor taken by
// a restore.
QStringList MissingTables(const QStringList& tablesHeld);

// The value of a key ("" when the file, section or key is missing): at most
// 999 characters, NULs removed, blanks trimmed, surrounding quotes stripped.
QString ReadIni(const QString& section, const QString& key, const QString& file);
// Writes a key, creating the file, section or key; the rest of the file is kept.
void WriteIni(const QString& section, const QString& key, const QString& value, const QString& file);

// "Public.Sys" in the program folder.
QString ConfigFilePath();

// Writes the first-run defaults when needed, reads the database settings
// and opens mdl::AdoConnection (client cursors, 180 s). True when open.
// When the configured file cannot be opened, the program folder's
// "door.mdb" is opened instead, and DaoConnect and GetDatabasePath follow
// the file actually opened; a message box then names both files and why
// the configured one could not be opened (a file without the required
// tables counts as one that cannot be opened). Raises rt::Error when that
// fallback fails too.
bool OpenDatabaseConnection();

// The database file: the one opened by OpenDatabaseConnection in this run,
// else DataBasePath from "Public.Sys", else the program folder's "door.mdb".
// Never fails.
QString GetDatabasePath();

} // namespace Module2
