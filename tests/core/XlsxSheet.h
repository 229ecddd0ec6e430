#pragma once
// Reading back the workbooks the program writes (tests): the cells of the
// first sheet, through the unzip tool.
#include <QByteArray>
#include <QHash>
#include <QString>

struct Cell {
    QString type;   // "s" shared text, "" number
    QString text;   // the text, or the number as written
};

// One part of the .xlsx package ("xl/worksheets/sheet1.xml").
QByteArray unzipPart(const QString& xlsx, const QString& part);
// Cells of the first sheet by reference ("A1").
QHash<QString, Cell> readSheet(const QString& xlsx);
