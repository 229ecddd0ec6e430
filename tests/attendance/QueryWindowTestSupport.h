#pragma once
// Reading what a query window shows: grid texts by column caption, the
// workbook an export wrote.
#include "QueryWindow.h"
#include "XlsxSheet.h"

#include <QAbstractItemModel>
#include <QFile>
#include <QHash>
#include <QStringList>
#include <QTableView>

// The texts of one grid column, found by its caption, top to bottom.
inline QStringList gridColumn(const QueryWindow* w, const QString& caption)
{
    QStringList out;
    const QAbstractItemModel* m = w->DGshow->model();
    for (int c = 0; c < m->columnCount(); ++c) {
        if (m->headerData(c, Qt::Horizontal).toString() != caption)
            continue;
        for (int r = 0; r < m->rowCount(); ++r)
            out << m->data(m->index(r, c)).toString();
    }
    return out;
}

inline QStringList gridCaptions(const QueryWindow* w)
{
    QStringList out;
    const QAbstractItemModel* m = w->DGshow->model();
    for (int c = 0; c < m->columnCount(); ++c)
        out << m->headerData(c, Qt::Horizontal).toString();
    return out;
}

// The cells of the workbook the last export opened; the file is removed.
inline QHash<QString, XlsxCell> takeWorkbook(const QStringList& opened)
{
    if (opened.isEmpty())
        return {};
    auto cells = readXlsxSheet(opened.last());
    QFile::remove(opened.last());
    return cells;
}
