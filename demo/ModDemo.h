#pragma once
// Settings of the demonstration program: one entry of "Public.Sys" in the
// program folder, and the per-user settings of application "VUZazu".
#include <QString>

namespace ModDemo {

// The folder of the program's executable; collected files and "Public.Sys"
// live there. Tests move it.
QString programFolder();
void setProgramFolder(const QString& folder);
// The program folder joined with a file name.
QString programFile(const QString& name);

// The value of a key of a private-profile file, empty when the key is missing
// or empty; cut to 1999 bytes in code page 936, never inside a character.
// An empty file means "Public.Sys" in the program folder.
QString GetIniValue(const QString& section, const QString& key, const QString& file = QString());
// Writes the value, creating file, section or key as needed; a failed write
// goes unreported.
void SetIniValue(const QString& section, const QString& key, const QString& value,
                 const QString& file = QString());

// Per-user settings of application "VUZazu" (a settings file under the user's
// configuration folder, $XDG_CONFIG_HOME or ~/.config).
QString GetSetting(const QString& section, const QString& key, const QString& defaultValue);
// Written to disk at once.
void SaveSetting(const QString& section, const QString& key, const QString& value);

} // namespace ModDemo
