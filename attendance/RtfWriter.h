#pragma once
// Rich-text format (RTF 1.x) of a text document: paragraphs with their
// bold, italic, underline and colour runs; every character beyond ASCII as
// a Unicode escape, so any word processor reads Chinese text back.
#include <QByteArray>
#include <QString>

class QTextDocument;

namespace rtf {

QByteArray fromDocument(const QTextDocument& doc);
// Writes the document to path; false with a reason when the file cannot be written.
bool save(const QTextDocument& doc, const QString& path, QString* error = nullptr);

} // namespace rtf
