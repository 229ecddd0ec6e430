#include "FrmTkcx.h"

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

QList<db::GridColumn> gridColumns()
{
    QList<db::GridColumn> columns;
    for (const QString& n : {QStringLiteral("地址"), QStringLiteral("卡号"), QStringLiteral("物理卡号"),
                             QStringLiteral("姓名"), QStringLiteral("部门"), QStringLiteral("退卡日期")})
        columns.append({n, n});
    return columns;
}

// Each entry sorts by its own column.
const QStringList kSortTexts = {QStringLiteral("部门"), QStringLiteral("地址"), QStringLiteral("日期")};
const QStringList kSortClauses = {QStringLiteral(" order by 部门"), QStringLiteral(" order by 地址"),
                                  QStringLiteral(" order by 退卡日期")};

} // namespace

FrmTkcx::FrmTkcx(QWidget* parent)
    : QueryWindow(QStringLiteral("FrmTkcx"), QStringLiteral("退卡查询"), gridColumns(),
                  {QStringLiteral("查 询"), QStringLiteral("输 出"), QStringLiteral("清  空"), QStringLiteral("关 闭")},
                  QStringLiteral("dtuikapt"))
{
    setParent(parent);
    CmdOutExecl = outputButton();
    CmdOutExecl->setObjectName(QStringLiteral("CmdOutExecl"));

    CmbAddr = newCombo(QStringLiteral("CmbAddr"));
    TxtCardID = new QLineEdit(Frame1);
    CmbDepart = newCombo(QStringLiteral("CmbDepart"));
    ChkDate = new QCheckBox(QStringLiteral("退卡日期"), Frame1);
    DTPBegin = newDatePicker(QStringLiteral("DTPBegin"));
    DTPEnd = newDatePicker(QStringLiteral("DTPEnd"));
    Combo1 = newCombo(QStringLiteral("Combo1"));
    addCondition(0, 0, new QLabel(QStringLiteral("地    址："), Frame1), CmbAddr);
    addCondition(0, 1, new QLabel(QStringLiteral("物理卡号："), Frame1), TxtCardID);
    addCondition(1, 0, new QLabel(QStringLiteral("部    门："), Frame1), CmbDepart);
    addCondition(1, 1, ChkDate, range(DTPBegin, QStringLiteral("->"), DTPEnd));
    addCondition(2, 0, new QLabel(QStringLiteral("排序方式："), Frame1), Combo1);

    connect(CmdSearch, &QPushButton::clicked, this, &FrmTkcx::CmdSearch_Click);
    connect(CmdOutExecl, &QPushButton::clicked, this, &FrmTkcx::CmdOutExecl_Click);
    connect(CmdClear, &QPushButton::clicked, this, &FrmTkcx::CmdClear_Click);
    connect(CmdClose, &QPushButton::clicked, this, &FrmTkcx::CmdClose_Click);
}

void FrmTkcx::Form_Load()
{
    // Every step on its own: a failing one is passed over.
    try {
        fillAddresses(CmbAddr);
    } catch (const rt::Error&) {
    }
    try {
        fillDepartments(CmbDepart);
    } catch (const rt::Error&) {
    }
    Combo1->addItems(kSortTexts);
    query::clearText(Combo1);
    setDefaultDates(DTPBegin, DTPEnd);
}

void FrmTkcx::CmdSearch_Click()
{
    try {
        // One copy statement: every matching row arrives, whatever it holds.
        query::Statement q{QStringLiteral("insert into dtuikapt(地址,卡号,物理卡号,姓名,部门,退卡日期,退卡原因) "
                                          "select 地址,ifnull(卡号,''),ifnull(物理卡号,''),ifnull(姓名,''),"
                                          "ifnull(部门,''),ifnull(退卡日期,''),ifnull(退卡原因,'')||' ' "
                                          "from dtuika where 1=1 ")};
        if (!CmbAddr->currentText().isEmpty())
            q.addNumber(QStringLiteral(" And 地址=?"), CmbAddr->currentText());
        if (!TxtCardID->text().trimmed().isEmpty())
            q.add(QStringLiteral(" And 物理卡号=?"), {TxtCardID->text().trimmed()});
        if (!CmbDepart->currentText().trimmed().isEmpty())
            q.add(QStringLiteral(" And 部门=?"), {CmbDepart->currentText().trimmed()});
        // Returns carry a time of day: the range takes the whole last day.
        if (ChkDate->isChecked())
            q.add(QStringLiteral(" and 退卡日期 >= ? and 退卡日期 < ?"),
                  {rt::isoDate(DTPBegin->date()), query::dayAfter(DTPEnd->date())});
        q.add(QStringLiteral(" order by rowid"));

        emptyPrintTable();
        q.run();
    } catch (const rt::Error& e) {
        ui::msgBox(e.text(), ui::mb::OKOnly, QStringLiteral("信息提示"));
        return;
    }
    try {
        QString display = QStringLiteral("select 地址,卡号,物理卡号,姓名,部门,退卡日期 from dtuikapt ");
        const int sort = query::chosenEntry(Combo1);
        if (sort >= 0 && sort < kSortClauses.size())
            display += kSortClauses[sort];
        showCount(showResult(query::Statement(display)).recordCount(), QStringLiteral("  "));
    } catch (const rt::Error& e) {
        ui::msgBox(e.text(), ui::mb::OKOnly, QStringLiteral("信息提示"));
    }
}

void FrmTkcx::CmdOutExecl_Click()
{
    exportGrid();
}

void FrmTkcx::CmdClear_Click()
{
    TxtCardID->clear();
    query::clearText(CmbDepart);
    query::clearText(CmbAddr);
    query::clearText(Combo1);
    ChkDate->setChecked(false);
    setPanelText(QStringLiteral("清空查询条件：成功！"));
}

void FrmTkcx::CmdClose_Click()
{
    unloadForm();
}

OSTRELA_WINDOW(FrmTkcx);
