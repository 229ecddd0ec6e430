#include "LogList.h"

#include "Widths.h"

#include <QAbstractListModel>
#include <QEvent>
#include <QHeaderView>

#include <algorithm>

namespace ui {

class LogList::Lines : public QAbstractListModel {
public:
    using QAbstractListModel::QAbstractListModel;
    QStringList lines;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : int(lines.size());
    }
    QVariant data(const QModelIndex& index, int role) const override
    {
        if (role != Qt::DisplayRole || !index.isValid() || index.row() >= lines.size())
            return QVariant();
        return lines[index.row()];
    }
    void append(const QString& line)
    {
        const int row = int(lines.size());
        beginInsertRows(QModelIndex(), row, row);
        lines.append(line);
        endInsertRows();
    }
    void clear()
    {
        beginResetModel();
        lines.clear();
        endResetModel();
    }
};

LogList::LogList(QWidget* parent)
    : QTableView(parent)
    , lines_(new Lines(this))
{
    setModel(lines_);
    horizontalHeader()->hide();
    verticalHeader()->hide();
    setShowGrid(false);
    setWordWrap(false);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    // Rows as high as a list box's lines of digits and Chinese text (whose
    // font is taller), and never measured one by one.
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setDefaultSectionSize(cellSize(this, QStringLiteral("0卡")).height());
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    fitColumn();
}

void LogList::addItem(const QString& line)
{
    lines_->append(line);
    const int w = cellWidth(this, line);
    if (w > widest_) {
        widest_ = w;
        fitColumn();
    }
}

int LogList::count() const
{
    return int(lines_->lines.size());
}

const QStringList& LogList::lines() const
{
    return lines_->lines;
}

void LogList::clear()
{
    lines_->clear();
    widest_ = 0;
    fitColumn();
}

bool LogList::viewportEvent(QEvent* e)
{
    // Also when a scroll bar comes or goes.
    if (e->type() == QEvent::Resize)
        fitColumn();
    return QTableView::viewportEvent(e);
}

// The one column fills the box, and a longer line scrolls it sideways.
void LogList::fitColumn()
{
    setColumnWidth(0, std::max(viewport()->width(), widest_));
}

} // namespace ui
