#include "Frmkq.h"

#include "AppForms.h"
#include "Globals.h"
#include "runtime/Conv.h"
#include "runtime/RuntimeError.h"
#include "ui/Ui.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

db::GridColumn column(const QString& caption, const QString& field) { return {caption, field}; }

const QList<db::GridColumn> kColumns = {
    column(QStringLiteral("卡号"), QStringLiteral("卡号")),
    column(QStringLiteral("姓名"), QStringLiteral("姓名")),
    column(QStringLiteral("部门"), QStringLiteral("部门")),
    column(QStringLiteral("职务"), QStringLiteral("职务")),
    column(QStringLiteral("日期"), QStringLiteral("日期")),
    column(QStringLiteral("时间1"), QStringLiteral("时间1")),
    column(QStringLiteral("时间2"), QStringLiteral("时间2")),
    column(QStringLiteral("时间3"), QStringLiteral("时间3")),
    column(QStringLiteral("时间4"), QStringLiteral("时间4")),
    column(QStringLiteral("出勤时数"), QStringLiteral("上班")),
    column(QStringLiteral("迟到分钟"), QStringLiteral("迟到")),
    column(QStringLiteral("早退分钟"), QStringLiteral("早退")),
    column(QStringLiteral("旷工分钟"), QStringLiteral("旷工")),
};

const QStringList kSortTexts = {QStringLiteral("1 按日期"), QStringLiteral("2 按卡号"), QStringLiteral("3 按部门"),
                                QStringLiteral("4 按姓名")};
const QStringList kSortClauses = {
    QStringLiteral("order by datakq.日期,datakq.卡号"), QStringLiteral("order by datakq.卡号,datakq.日期"),
    QStringLiteral("order by datakq.部门,datakq.日期"), QStringLiteral("order by datakq.姓名,datakq.日期")};

} // namespace

Frmkq::Frmkq(QWidget* parent)
    : QueryWindow(QStringLiteral("Frmkq"), QStringLiteral("考勤数据查询"), kColumns,
                  {QStringLiteral("查  询"), QStringLiteral("输  出"), QStringLiteral("清  空"), QStringLiteral("关  闭")},
                  QStringLiteral("datakqPT"))
{
    setParent(parent);
    // Room for all thirteen result columns without scrolling sideways.
    resize(860, 540);
    Frame1->setTitle(QStringLiteral("打卡数据查询"));
    CmdOutExecl = outputButton();
    CmdOutExecl->setObjectName(QStringLiteral("CmdOutExecl"));

    ChkDate = new QCheckBox(QStringLiteral("日期"), Frame1);
    t1s = newDatePicker(QStringLiteral("t1s"));
    t1e = newDatePicker(QStringLiteral("t1e"));
    TxtCardID = new QLineEdit(Frame1);
    TxtName = new QLineEdit(Frame1);
    TxtDepart = newCombo(QStringLiteral("TxtDepart"));
    Corder = newCombo(QStringLiteral("Corder"));
    addCondition(0, 0, ChkDate, range(t1s, QStringLiteral("->"), t1e), 2);
    addCondition(1, 0, new QLabel(QStringLiteral("卡    号："), Frame1), TxtCardID);
    addCondition(1, 1, new QLabel(QStringLiteral("姓    名："), Frame1), TxtName);
    addCondition(2, 0, new QLabel(QStringLiteral("部      门："), Frame1), TxtDepart);
    addCondition(2, 1, new QLabel(QStringLiteral("排序方法"), Frame1), Corder);

    connect(CmdSearch, &QPushButton::clicked, this, &Frmkq::CmdSearch_Click);
    connect(CmdClear, &QPushButton::clicked, this, &Frmkq::CmdClear_Click);
    connect(CmdOutExecl, &QPushButton::clicked, this, &Frmkq::CmdOutExecl_Click);
    connect(CmdClose, &QPushButton::clicked, this, &Frmkq::CmdClose_Click);
}

void Frmkq::Form_Load()
{
    try {
        fillDepartments(TxtDepart);
        Corder->addItems(kSortTexts);
        query::clearText(Corder);
        setDefaultDates(t1s, t1e);
    } catch (const rt::Error& e) {
        ui::msgBox(e.text());
    }
}

void Frmkq::CmdSearch_Click()
{
    try {
        query::Statement q{QStringLiteral("select * from datakq  where 1=1")};
        if (ChkDate->isChecked()) {
            if (t1s->date() == t1e->date())
                q.add(QStringLiteral(" And Datakq.日期 =? "), {rt::isoDate(t1s->date())});
            else
                q.add(QStringLiteral(" And Datakq.日期  BeTween ? and ?"),
                      {rt::isoDate(t1s->date()), rt::isoDate(t1e->date())});
        }
        if (!TxtCardID->text().trimmed().isEmpty())
            q.add(QStringLiteral(" And Datakq.卡号=?"), {TxtCardID->text().trimmed()});
        if (!TxtName->text().trimmed().isEmpty())
            q.add(QStringLiteral(" and datakq.姓名=?"), {TxtName->text().trimmed()});
        if (!TxtDepart->currentText().trimmed().isEmpty())
            q.add(QStringLiteral(" and datakq.部门=?"), {TxtDepart->currentText().trimmed()});
        const int sort = query::chosenEntry(Corder);
        if (sort >= 0 && sort < kSortClauses.size())
            q.add(QLatin1Char(' ') + kSortClauses[sort]);
        statement_ = q;

        showCount(showResult(q).recordCount(), QStringLiteral("  "));

        // The print table gets exactly this result, in its order.
        emptyPrintTable();
        statement_.sql = QStringLiteral("insert into datakqPT ") + statement_.sql;
        mdl::AdoConnection.execute(statement_.sql, statement_.params);
    } catch (const rt::Error& e) {
        ui::msgBox(e.text(), ui::mb::OKOnly, QStringLiteral("信息提示"));
    }
}

void Frmkq::CmdClear_Click()
{
    TxtCardID->clear();
    TxtName->clear();
    query::clearText(TxtDepart);
    query::clearText(Corder);
    ChkDate->setChecked(false);
}

void Frmkq::CmdOutExecl_Click()
{
    exportGrid();
}

void Frmkq::CmdClose_Click()
{
    unloadForm();
}

OSTRELA_WINDOW(Frmkq);
