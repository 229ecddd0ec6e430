#pragma once
// What the query windows share: a frame of conditions, four buttons (search,
// output, clear, close), a data grid bound to a recordset by column name and
// a status bar whose first panel carries the messages. Each window adds its
// conditions and handlers.
#include "db/Db.h"
#include "db/RecordsetModel.h"
#include "runtime/RuntimeError.h"
#include "ui/Form.h"

#include <QList>
#include <QString>
#include <QVariant>

#include <functional>
#include <initializer_list>
#include <optional>

class QComboBox;
class QDateEdit;
class QGridLayout;
class QGroupBox;
class QLabel;
class QPushButton;
class QStatusBar;
class QTableView;

namespace query {

// A statement built from a fixed head and condition clauses, each value bound.
struct Statement {
    Statement() = default;
    explicit Statement(const QString& head)
        : sql(head)
    {
    }

    QString sql;
    QVariantList params;
    // Set by a condition the database would refuse; raised when the statement runs.
    std::optional<rt::Error> refused;

    void add(const QString& clause, std::initializer_list<QVariant> values = {})
    {
        sql += clause;
        for (const QVariant& v : values)
            params.append(v);
    }
    // An address condition, the text converted to an integer; a text that is
    // no number makes the statement fail when it runs, not match every row.
    void addAddress(const QString& clause, const QString& text);
    // The same with the trimmed text compared as the number it is, unconverted.
    void addNumber(const QString& clause, const QString& text);
    // Runs on the shared connection; beforeRows as db::Connection::execute.
    db::Recordset run(const std::function<void()>& beforeRows = {}) const;
};

// The bound value of a "contains" match; wildcards typed in it stay wildcards.
QString containing(const QString& text);
// The day after, as stored text: a range of dates that carry a time of day
// ends before it.
QString dayAfter(const QDate& d);
// The row number of the combo box's text among its entries, -1 when the
// text is empty or typed and no entry.
int chosenEntry(const QComboBox* box);
// Empties the text of an editable combo box, keeping its entries.
void clearText(QComboBox* box);
// After a failure part-way: keeps the rows written so far, and rolls back
// only when even that commit fails; errors here are swallowed so that the
// first one is what the caller rethrows.
void commitElseRollback(db::Database& d);

} // namespace query

class QueryWindow : public ui::Form {
    Q_OBJECT
public:
    QGroupBox* Frame1 = nullptr;
    QPushButton* CmdSearch = nullptr;
    QPushButton* CmdClear = nullptr;
    QPushButton* CmdClose = nullptr;
    QLabel* DGcaption = nullptr;
    QTableView* DGshow = nullptr;
    QStatusBar* StatusBar1 = nullptr;

    // Status panel 1.
    QString panelText() const;
    void setPanelText(const QString& text);
    // The recordset the grid shows (closed before the first search).
    db::Recordset gridRecordset() const { return model_->recordset(); }

protected:
    struct Captions {
        QString search, output, clear, close;
    };
    // printTable: the table the window's search leaves for printing.
    QueryWindow(const QString& objectName, const QString& caption, const QList<db::GridColumn>& columns,
                const Captions& buttons, const QString& printTable);

    // The output button, named by each window.
    QPushButton* outputButton() const { return output_; }
    // A condition in the frame: label and control on the given row and column pair.
    void addCondition(int row, int column, QWidget* label, QWidget* control, int span = 1);
    QGridLayout* conditions() const { return conditions_; }
    QDateEdit* newDatePicker(const QString& name);
    // An editable combo box whose typed text is not added to its entries.
    QComboBox* newCombo(const QString& name);
    // Two controls side by side with a label between them ("->").
    QWidget* range(QWidget* first, const QString& between, QWidget* last);

    // Shows a recordset in the grid under the window's columns.
    void bindGrid(const db::Recordset& rs);
    // Runs a search and shows its result. The grid lets its last result go
    // as soon as the new one is being read, so that two large results are
    // never held at once; a statement the database refuses from the start
    // leaves the grid as it was. A read that fails after that empties the
    // print table too, which would otherwise print rows the grid no longer
    // shows.
    db::Recordset showResult(const query::Statement& q);
    // Empties the print table.
    void emptyPrintTable() const;
    // "信息提示：查询到<blanks><count>笔数据！".
    void showCount(int count, const QString& blanks);
    // Exports the grid under the window's caption and shows the outcome.
    void exportGrid();

    // Load helpers. Each fills the box when its query returns rows: an empty
    // entry first, then the values; true when it did.
    bool fillAddresses(QComboBox* box);
    bool fillDepartments(QComboBox* box);
    // First day of the current month and today.
    void setDefaultDates(QDateEdit* first, QDateEdit* last);

private:
    QGridLayout* conditions_ = nullptr;
    QPushButton* output_ = nullptr;
    db::RecordsetModel* model_ = nullptr;
    QList<db::GridColumn> columns_;
    QString printTable_;
    QLabel* panel1_ = nullptr;
};

// The busy pointer while a search or an export runs.
class BusyPointer {
public:
    explicit BusyPointer(bool hourglassOnly = false);
    ~BusyPointer();
    BusyPointer(const BusyPointer&) = delete;
    BusyPointer& operator=(const BusyPointer&) = delete;
};
