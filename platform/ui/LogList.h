#pragma once
// The log list of a window whose runs add a line per card or per controller
// (thousands in one run). It looks and behaves as a list box of lines, and
// adding a line costs the same however many are there: a list view lays all
// its lines out again after every insert, which a run's waits repaint; a
// table of fixed-height rows only appends one. To assistive tools it is a
// list whose items are the lines.
#include <QStringList>
#include <QTableView>

namespace ui {

class LogList : public QTableView {
    Q_OBJECT
public:
    explicit LogList(QWidget* parent = nullptr);

    void addItem(const QString& line);
    int count() const;
    const QStringList& lines() const;
    void clear();

protected:
    bool viewportEvent(QEvent* e) override;
    // Home and End go to the first and the last line, as in a list box.
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    // Said to assistive tools by line, not by a table's cell.
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override;

private:
    class Lines;
    void fitColumn();

    Lines* lines_;
    int widest_ = 0;   // of the lines so far, as a cell draws them
};

} // namespace ui
