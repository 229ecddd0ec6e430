#pragma once
// Reads back the first sheet of a written .xlsx workbook (through unzip).
#include <QByteArray>
#include <QHash>
#include <QString>

struct XlsxCell {
    QString type;   // "s" shared text, "" number
    QString text;   // the text, or the number as written
};

// One part of the workbook's zip archive, e.g. "xl/worksheets/sheet1.xml".
QByteArray xlsxPart(const QString& xlsx, const QString& part);
// Cells of the first sheet by reference ("A1").
QHash<QString, XlsxCell> readXlsxSheet(const QString& xlsx);
