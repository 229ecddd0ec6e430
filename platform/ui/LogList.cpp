#include "LogList.h"

#include "Widths.h"

#include <QAbstractListModel>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QEvent>
#include <QHash>
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

namespace {

// The log to assistive tools: a list with an item for each line, as the list
// box it stands for was, not a table of cells.
class ListAccess : public QAccessibleWidget {
public:
    explicit ListAccess(LogList* list)
        : QAccessibleWidget(list, QAccessible::List)
    {
    }
    ~ListAccess() override
    {
        for (QAccessible::Id id : std::as_const(items_))
            QAccessible::deleteAccessibleInterface(id);
    }

    int childCount() const override { return list()->count(); }
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override
    {
        const QModelIndex at = list()->indexAt(list()->viewport()->mapFromGlobal(QPoint(x, y)));
        return at.isValid() ? child(at.row()) : nullptr;
    }
    LogList* list() const { return static_cast<LogList*>(widget()); }

private:
    mutable QHash<int, QAccessible::Id> items_;   // made when first asked for
};

class LineAccess : public QAccessibleInterface {
public:
    LineAccess(ListAccess* list, int row)
        : list_(list)
        , row_(row)
    {
    }
    int row() const { return row_; }

    bool isValid() const override { return list_->isValid() && row_ < list_->childCount(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return list_->window(); }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* parent() const override { return list_; }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Name && isValid() ? list_->list()->lines()[row_] : QString();
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override
    {
        if (!isValid())
            return QRect();
        const LogList* l = list_->list();
        const QRect r = l->visualRect(l->model()->index(row_, 0));
        return QRect(l->viewport()->mapToGlobal(r.topLeft()), r.size());
    }
    QAccessible::Role role() const override { return QAccessible::ListItem; }
    QAccessible::State state() const override
    {
        QAccessible::State s;
        if (!isValid())
            return s;
        const LogList* l = list_->list();
        const QModelIndex i = l->model()->index(row_, 0);
        s.selectable = true;
        s.selected = l->selectionModel()->isSelected(i);
        s.focusable = true;
        s.focused = l->hasFocus() && l->currentIndex() == i;
        s.invisible = !l->viewport()->rect().intersects(l->visualRect(i));
        return s;
    }

private:
    ListAccess* list_;
    int row_;
};

QAccessibleInterface* ListAccess::child(int index) const
{
    if (index < 0 || index >= childCount())
        return nullptr;
    if (const QAccessible::Id id = items_.value(index))
        return QAccessible::accessibleInterface(id);
    auto* item = new LineAccess(const_cast<ListAccess*>(this), index);
    items_.insert(index, QAccessible::registerAccessibleInterface(item));
    return item;
}

int ListAccess::indexOfChild(const QAccessibleInterface* child) const
{
    const auto* line = dynamic_cast<const LineAccess*>(child);
    return line && line->parent() == this ? line->row() : -1;
}

QAccessibleInterface* accessFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String(LogList::staticMetaObject.className()))
        if (auto* list = qobject_cast<LogList*>(object))
            return new ListAccess(list);
    return nullptr;
}

} // namespace

LogList::LogList(QWidget* parent)
    : QTableView(parent)
    , lines_(new Lines(this))
{
    static const bool accessible = (QAccessible::installFactory(accessFactory), true);
    Q_UNUSED(accessible);
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

QModelIndex LogList::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers)
{
    // A table's Home and End stay in the row; with Ctrl they change it.
    if (action == MoveHome || action == MoveEnd)
        modifiers |= Qt::ControlModifier;
    return QTableView::moveCursor(action, modifiers);
}

void LogList::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QAbstractItemView::currentChanged(current, previous);
    if (QAccessible::isActive() && current.isValid() && hasFocus()) {
        QAccessibleEvent e(this, QAccessible::Focus);
        e.setChild(current.row());
        QAccessible::updateAccessibility(&e);
    }
}

void LogList::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected)
{
    if (QAccessible::isActive()) {
        for (const auto& [indexes, kind] : {std::pair{selected.indexes(), QAccessible::Selection},
                                            std::pair{deselected.indexes(), QAccessible::SelectionRemove}})
            if (!indexes.isEmpty()) {
                QAccessibleEvent e(this, kind);
                e.setChild(indexes.first().row());
                QAccessible::updateAccessibility(&e);
            }
    }
    QAbstractItemView::selectionChanged(selected, deselected);
}

// The one column fills the box, and a longer line scrolls it sideways.
void LogList::fitColumn()
{
    setColumnWidth(0, std::max(viewport()->width(), widest_));
}

} // namespace ui
