#pragma once
// Private-profile settings files ("Public.Sys"): sections "[name]" and lines
// "key=value", names matched without regard to case, files in code page 936.
// Reading: the value trimmed, surrounding quotes stripped, cut to the buffer
// size less one, the default when the file, section or key is missing.
// Writing: creates the file, the section or the key as needed and keeps the
// rest of the file as it was; line breaks in names and values are dropped, so
// a write never adds lines of its own. A UTF-8 byte-order mark at the start
// is ignored when reading and kept when writing.
#include <QString>

namespace ini {

// As GetPrivateProfileString with a buffer of bufferSize characters.
QString readString(const QString& file, const QString& section, const QString& key,
                   const QString& defaultValue = QString(), int bufferSize = 1000);
// As WritePrivateProfileString; false when the file cannot be written.
bool writeString(const QString& file, const QString& section, const QString& key, const QString& value);

} // namespace ini
