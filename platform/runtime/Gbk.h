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

// Whole text files in code page 936. read: false when the file cannot be read.
bool readGbkFile(const QString& path, QString& text);
bool writeGbkFile(const QString& path, const QString& text);
// Lines of a GBK text file, split on CR LF, LF or CR (no trailing empty line).
bool readGbkLines(const QString& path, QStringList& lines);

} // namespace rt
