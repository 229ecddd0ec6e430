#include "QueryWindow.h"

#include "Globals.h"
#include "Module1.h"
#include "runtime/Conv.h"
#include "runtime/RuntimeError.h"
#include "ui/Ui.h"

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>
#include <QVBoxLayout>

namespace query {

QString containing(const QString& text)
{
    return QLatin1Char('%') + text + QLatin1Char('%');
}

void Statement::addAddress(const QString& clause, const QString& text)
{
    try {
        add(clause, {rt::CWhole(text)});
    } catch (const rt::Error& e) {
        add(clause, {QVariant()});
        if (!refused)
            refused = e;
    }
}

void Statement::addNumber(const QString& clause, const QString& text)
{
    bool ok = false;
    const double n = text.trimmed().toDouble(&ok);
    add(clause, {ok ? QVariant(n) : QVariant()});
    if (!ok && !refused)
        refused = rt::Error(rt::ErrTypeMismatch);
}

db::Recordset Statement::run(const std::function<void()>& beforeRows) const
{
    if (refused)
        throw *refused;
    return mdl::AdoConnection.execute(sql, params, nullptr, beforeRows);
}

QString dayAfter(const QDate& d)
{
    return rt::isoDate(d.addDays(1));
}

int chosenEntry(const QComboBox* box)
{
    const QString t = box->currentText();
    return t.isEmpty() ? -1 : box->findText(t, Qt::MatchExactly);
}

void commitElseRollback(db::Database& d)
{
    try {
        d.commitTrans();
    } catch (const rt::Error&) {
        try {
            d.rollback();
        } catch (const rt::Error&) {
        }
    }
}

void clearText(QComboBox* box)
{
    box->setCurrentIndex(-1);
    box->setEditText(QString());
}

} // namespace query

BusyPointer::BusyPointer(bool hourglassOnly)
{
    QApplication::setOverrideCursor(hourglassOnly ? Qt::WaitCursor : Qt::BusyCursor);
}

BusyPointer::~BusyPointer()
{
    QApplication::restoreOverrideCursor();
}

QueryWindow::QueryWindow(const QString& objectName, const QString& caption, const QList<db::GridColumn>& columns,
                         const Captions& buttons, const QString& printTable)
    : columns_(columns)
    , printTable_(printTable)
{
    setObjectName(objectName);
    setWindowTitle(caption);
    resize(760, 540);

    Frame1 = new QGroupBox(QStringLiteral("查询条件"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    conditions_ = new QGridLayout(Frame1);
    conditions_->setColumnStretch(1, 1);
    conditions_->setColumnStretch(3, 1);

    auto button = [this](const QString& text, const QString& name) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(name);
        b->setMinimumWidth(90);
        return b;
    };
    CmdSearch = button(buttons.search, QStringLiteral("CmdSearch"));
    output_ = button(buttons.output, QString());
    CmdClear = button(buttons.clear, QStringLiteral("CmdClear"));
    CmdClose = button(buttons.close, QStringLiteral("CmdClose"));
    auto* buttonColumn = new QVBoxLayout;
    for (QPushButton* b : {CmdSearch, output_, CmdClear, CmdClose})
        buttonColumn->addWidget(b);
    buttonColumn->addStretch();

    DGcaption = new QLabel(QStringLiteral("查询结果"), this);
    DGcaption->setAlignment(Qt::AlignCenter);
    DGcaption->setStyleSheet(QStringLiteral("background:#3a6ea5;color:white;padding:2px;"));
    DGshow = new QTableView(this);
    DGshow->setObjectName(QStringLiteral("DGshow"));
    DGshow->setSelectionBehavior(QAbstractItemView::SelectRows);
    DGshow->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DGshow->verticalHeader()->setDefaultSectionSize(22);
    DGshow->horizontalHeader()->setResizeContentsPrecision(200);
    model_ = new db::RecordsetModel(DGshow);
    model_->setColumns(columns_);
    DGshow->setModel(model_);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);
    panel1_ = new QLabel(StatusBar1);
    StatusBar1->addWidget(panel1_, 1);

    auto* top = new QHBoxLayout;
    top->addWidget(Frame1, 1);
    top->addLayout(buttonColumn);
    auto* all = new QVBoxLayout(this);
    all->addLayout(top);
    all->addWidget(DGcaption);
    all->addWidget(DGshow, 1);
    all->addWidget(StatusBar1);
    all->setSpacing(4);
}

QString QueryWindow::panelText() const
{
    return panel1_->text();
}

void QueryWindow::setPanelText(const QString& text)
{
    panel1_->setText(text);
}

void QueryWindow::addCondition(int row, int column, QWidget* label, QWidget* control, int span)
{
    if (label)
        conditions_->addWidget(label, row, column * 2);
    if (control)
        conditions_->addWidget(control, row, column * 2 + 1, 1, span * 2 - 1);
}

QDateEdit* QueryWindow::newDatePicker(const QString& name)
{
    auto* d = new QDateEdit(Frame1);
    d->setObjectName(name);
    d->setDisplayFormat(QString::fromLatin1(rt::kDateFormat));
    d->setCalendarPopup(true);
    return d;
}

QComboBox* QueryWindow::newCombo(const QString& name)
{
    auto* c = new QComboBox(Frame1);
    c->setObjectName(name);
    c->setEditable(true);
    c->setInsertPolicy(QComboBox::NoInsert);
    return c;
}

QWidget* QueryWindow::range(QWidget* first, const QString& between, QWidget* last)
{
    auto* w = new QWidget(Frame1);
    auto* h = new QHBoxLayout(w);
    h->setContentsMargins(0, 0, 0, 0);
    first->setParent(w);
    last->setParent(w);
    h->addWidget(first, 1);
    h->addWidget(new QLabel(between, w));
    h->addWidget(last, 1);
    return w;
}

void QueryWindow::bindGrid(const db::Recordset& rs)
{
    model_->setRecordset(rs);
    model_->setColumns(columns_);
    // Columns as wide as their texts: a fixed width cut long names and
    // pushed short columns out of sight.
    DGshow->resizeColumnsToContents();
}

db::Recordset QueryWindow::showResult(const query::Statement& q)
{
    bool letGo = false;
    try {
        db::Recordset rs = q.run([&] {
            letGo = true;
            bindGrid(db::Recordset());
        });
        bindGrid(rs);
        return rs;
    } catch (...) {
        if (letGo) {
            try {
                emptyPrintTable();
            } catch (const rt::Error&) {   // the read's own error is the one to show
            }
        }
        throw;
    }
}

void QueryWindow::emptyPrintTable() const
{
    mdl::AdoConnection.execute(QStringLiteral("delete from ") + printTable_);
}

void QueryWindow::showCount(int count, const QString& blanks)
{
    setPanelText(QStringLiteral("信息提示：查询到") + blanks + QString::number(count) + QStringLiteral("笔数据！"));
}

void QueryWindow::exportGrid()
{
    setPanelText(QString());
    QString result;
    {
        BusyPointer busy;
        result = Module1::ExportToExcel(DGshow, windowTitle());
    }
    setPanelText(result.isEmpty() ? QStringLiteral("输出成功！") : result);
}

namespace {
bool fillFrom(QComboBox* box, const QString& sql)
{
    db::Recordset rs = mdl::AdoConnection.execute(sql);
    if (rs.eof())
        return false;
    box->clear();
    box->addItem(QString());
    for (; !rs.eof(); rs.moveNext())
        box->addItem(db::text(rs.value(0)));
    query::clearText(box);
    return true;
}
} // namespace

bool QueryWindow::fillAddresses(QComboBox* box)
{
    return fillFrom(box, QStringLiteral("SELECT DISTINCT 地址 FROM DOORS ORDER BY CAST(地址 AS INTEGER)"));
}

bool QueryWindow::fillDepartments(QComboBox* box)
{
    return fillFrom(box, QStringLiteral("select distinct 部门 from department order by 部门"));
}

void QueryWindow::setDefaultDates(QDateEdit* first, QDateEdit* last)
{
    const QDate today = ui::now().date();
    first->setDate(QDate(today.year(), today.month(), 1));
    last->setDate(today);
}
