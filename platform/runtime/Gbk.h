#pragma once
// Code page 936 (GBK): the encoding of every file exchanged with the outside
// (settings files, collected record files, re-laid files).
#include <QByteArray>
#include <QString>
#include <QStringList>

namespace rt {

QByteArray toGbk(const QString& s);
QString fromGbk(const QByteArray& bytes);
// The text encoded and cut to at most maxBytes, never ending in half a character.
QByteArray toGbkLimited(const QString& s, int maxBytes);

// The UTF-8 byte-order mark some editors put in front of a file: no text of
// the file. dropUtf8Bom removes it; true when there was one.
inline const QByteArray kUtf8Bom = QByteArrayLiteral("\xEF\xBB\xBF");
bool dropUtf8Bom(QByteArray& bytes);

// Whole text files in code page 936, a leading byte-order mark ignored.
// read: false when the file cannot be read.
bool readGbkFile(const QString& path, QString& text);
bool writeGbkFile(const QString& path, const QString& text);
// Lines of a GBK text file, split on CR LF, LF or CR (no trailing empty line).
bool readGbkLines(const QString& path, QStringList& lines);

} // namespace rt
