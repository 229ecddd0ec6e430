#pragma once
// Reading what a query window shows: grid texts by column caption, the
// workbook an export wrote; a search whose read fails part-way.
#include "Globals.h"
#include "QueryWindow.h"
#include "XlsxSheet.h"

#include <sqlite3.h>

#include <QAbstractItemModel>
#include <QFile>
#include <QHash>
#include <QStringList>
#include <QTableView>

#include <utility>

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

// While one lives, the window's next search fails part-way through its read,
// as an I/O error in the middle of a large table would: once the grid has let
// its last result go, the statement still reading is interrupted.
class ReadFailsPartWay {
public:
    explicit ReadFailsPartWay(QueryWindow* w)
    {
        // Every handle opened from now on can be interrupted so.
        sqlite3_auto_extension(reinterpret_cast<void (*)()>(&watch));
        mdl::AdoConnection.close();
        mdl::AdoConnection.open();
        QObject::connect(w->DGshow->model(), &QAbstractItemModel::modelReset, w, [] { interrupt() = true; },
                         Qt::SingleShotConnection);
    }
    ~ReadFailsPartWay()
    {
        interrupt() = false;
        sqlite3_cancel_auto_extension(reinterpret_cast<void (*)()>(&watch));
    }
    ReadFailsPartWay(const ReadFailsPartWay&) = delete;
    ReadFailsPartWay& operator=(const ReadFailsPartWay&) = delete;

private:
    static bool& interrupt()
    {
        static bool armed = false;
        return armed;
    }
    static int watch(sqlite3* h, const char**, const void*)
    {
        sqlite3_progress_handler(h, 1, [](void*) { return std::exchange(interrupt(), false) ? 1 : 0; }, nullptr);
        return SQLITE_OK;
    }
};
