#include "RecordsetModel.h"

namespace db {

RecordsetModel::RecordsetModel(QObject* parent) : QAbstractTableModel(parent) {}

void RecordsetModel::setRecordset(const Recordset& rs)
{
    beginResetModel();
    rs_ = rs;
    columns_.clear();
    if (rs_.isOpen())
        for (int i = 0; i < rs_.fieldCount(); ++i)
            columns_.append({rs_.fieldInfo(i).name, rs_.fieldInfo(i).name});
    endResetModel();
}

void RecordsetModel::setColumns(const QList<GridColumn>& columns)
{
    beginResetModel();
    columns_ = columns;
    endResetModel();
}

void RecordsetModel::setCaption(int column, const QString& caption)
{
    if (column < 0 || column >= columns_.size())
        return;
    columns_[column].caption = caption;
    emit headerDataChanged(Qt::Horizontal, column, column);
}

void RecordsetModel::clear()
{
    beginResetModel();
    rs_ = Recordset();
    columns_.clear();
    endResetModel();
}

int RecordsetModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : rs_.recordCount();
}

int RecordsetModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(columns_.size());
}

int RecordsetModel::fieldOf(int column) const
{
    if (column < 0 || column >= columns_.size() || !rs_.isOpen())
        return -1;
    return rs_.fieldIndex(columns_[column].dataField);
}

QVariant RecordsetModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return QVariant();
    int f = fieldOf(index.column());
    if (f < 0)
        return QVariant();
    const int type = rs_.fieldInfo(f).type;
    if (role == Qt::DisplayRole) {
        QVariant v = rs_.valueAt(index.row(), f);
        if (type == adBoolean && !isNull(v))
            return toBool(v) ? QStringLiteral("True") : QStringLiteral("False");
        return text(v);
    }
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::AlignVCenter | (isNumberType(type) ? Qt::AlignRight : Qt::AlignLeft));
    return QVariant();
}

QVariant RecordsetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return QVariant();
    if (orientation == Qt::Horizontal)
        return section >= 0 && section < columns_.size() ? columns_[section].caption : QVariant();
    return section + 1;
}

} // namespace db
