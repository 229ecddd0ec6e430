#pragma once
// A grid's view of a client-side recordset (what binding a data grid to an
// ADO recordset does): one grid row per record, grid columns naming the
// field they show. Set it as the model of a QTableView; ExportToExcel reads
// the same columns back.
#include "Db.h"

#include <QAbstractTableModel>

namespace db {

struct GridColumn {
    QString caption;    // header text
    QString dataField;  // the field shown (any letter case)
};

class RecordsetModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit RecordsetModel(QObject* parent = nullptr);

    // Binds a recordset; the columns become its fields, captioned by name.
    void setRecordset(const Recordset& rs);
    Recordset recordset() const { return rs_; }
    void setColumns(const QList<GridColumn>& columns);
    QList<GridColumn> columns() const { return columns_; }
    void setCaption(int column, const QString& caption);
    // Unbinds (the grid shows nothing).
    void clear();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // The field index a grid column shows, -1 when the recordset lacks it.
    int fieldOf(int column) const;

private:
    Recordset rs_;
    QList<GridColumn> columns_;
};

} // namespace db
