#include "Frmque.h"

#include "AppForms.h"
#include "Globals.h"
#include "db/BulkWrite.h"
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
#include <QRandomGenerator>
#include <QTimeEdit>

#include <optional>

namespace {

const QList<db::GridColumn> kColumns = {
    {QStringLiteral("姓名"), QStringLiteral("姓名")},     {QStringLiteral("部门"), QStringLiteral("部门")},
    {QStringLiteral("职务"), QStringLiteral("职务")},     {QStringLiteral("卡号"), QStringLiteral("卡号")},
    {QStringLiteral("日期"), QStringLiteral("日期")},     {QStringLiteral("时间"), QStringLiteral("时间")},
    {QStringLiteral("地址"), QStringLiteral("地址")},     {QStringLiteral("进出标志"), QStringLiteral("flagio")},
    {QStringLiteral("采集标志"), QStringLiteral("flag")},
};

struct SortEntry {
    QString text, clause;
};
const QList<SortEntry> kSorts = {
    {QStringLiteral("1 按日期"), QStringLiteral("ORDER BY DATA.日期,data.时间,data.地址,data.卡号")},
    {QStringLiteral("2 按时间"), QStringLiteral("ORDER BY DATA.时间")},
    {QStringLiteral("3 按地址"), QStringLiteral("ORDER BY DATA.地址,DATA.日期,DATA.时间")},
    {QStringLiteral("4 按卡号"), QStringLiteral("ORDER BY DATA.卡号,DATA.日期,DATA.时间")},
    {QStringLiteral("5 按部门"), QStringLiteral("ORDER BY PEOPLE.部门,DATA.日期,DATA.时间")},
    {QStringLiteral("6 按姓名"), QStringLiteral("ORDER BY PEOPLE.姓名,DATA.日期,DATA.时间")},
};

// Whether dataPT still holds the whole join: what table dataPTstamp held
// and the schema version, read back right after a rebuild. Every row
// written to data, people or dataPT moves the stamp on (triggers of the
// schema); a change of schema may have dropped a trigger.
struct PrintStamp {
    QVariant stamp;
    QVariant schema;
    bool operator==(const PrintStamp&) const = default;
};

// Left by this program's last complete rebuild; empty when there was none,
// it failed, or the file lacks the stamp or one of its triggers (a database
// of an older schema): every search then rebuilds.
std::optional<PrintStamp> lastRebuild;

const QStringList kStampTriggers = {
    QStringLiteral("data.insert"),   QStringLiteral("data.update"),   QStringLiteral("data.delete"),
    QStringLiteral("people.insert"), QStringLiteral("people.update"), QStringLiteral("people.delete"),
    QStringLiteral("dataPT.insert"), QStringLiteral("dataPT.update"), QStringLiteral("dataPT.delete"),
};

// What the file holds now; empty when it has no stamp to read.
std::optional<PrintStamp> storedStamp(db::Database& d)
{
    try {
        const db::Recordset rs = d.openRecordset(QStringLiteral(
            "select (select stamp from dataPTstamp), schema_version from pragma_schema_version()"));
        if (rs.eof() || db::isNull(rs.value(0)))
            return std::nullopt;
        return PrintStamp{rs.value(0), rs.value(1)};
    } catch (const rt::Error&) {
        return std::nullopt;
    }
}

// Inside the rebuild's transaction: gives the stamp a fresh value of this
// rebuild's own and returns what the file then holds. Random, so that no
// other state of this file, nor a restored or copied one, can hold it; kept
// far below the integer limit so that the triggers' counting never overflows.
std::optional<PrintStamp> stampRebuild(db::Database& d)
{
    try {
        QVariantList names;
        for (const QString& n : kStampTriggers)
            names << n;
        const QString marks = QStringList(QList<QString>(kStampTriggers.size(), QStringLiteral("?"))).join(QLatin1Char(','));
        const db::Recordset found = d.openRecordset(
            QStringLiteral("select count(*) from sqlite_master where type='trigger' and name in (%1)").arg(marks), names);
        if (found.value(0).toInt() != kStampTriggers.size())
            return std::nullopt;
        const qint64 fresh = 1 + QRandomGenerator::system()->bounded(qint64(1) << 62);
        d.execute(QStringLiteral("update dataPTstamp set stamp=?"), {fresh});
        if (d.recordsAffected() < 1)
            return std::nullopt;
        return storedStamp(d);
    } catch (const rt::Error&) {
        return std::nullopt;
    }
}

} // namespace

Frmque::Frmque(QWidget* parent)
    : QueryWindow(QStringLiteral("Frmque"), QStringLiteral("打卡数据查询"), kColumns,
                  {QStringLiteral("查  询"), QStringLiteral("输  出"), QStringLiteral("清  空"), QStringLiteral("关  闭")},
                  QStringLiteral("dataPT"))
{
    setParent(parent);
    CmdOutExcel = outputButton();
    CmdOutExcel->setObjectName(QStringLiteral("CmdOutExcel"));

    ChkDate = new QCheckBox(QStringLiteral("日期"), Frame1);
    t1s = newDatePicker(QStringLiteral("t1s"));
    t1e = newDatePicker(QStringLiteral("t1e"));
    ChkTime = new QCheckBox(QStringLiteral("时间"), Frame1);
    t2s = new QTimeEdit(QTime(8, 0), Frame1);
    t2e = new QTimeEdit(QTime(18, 0), Frame1);
    for (QTimeEdit* t : {t2s, t2e})
        t->setDisplayFormat(QString::fromLatin1(rt::kTimeFormat));
    CmbAddr = newCombo(QStringLiteral("CmbAddr"));
    TxtDepart = newCombo(QStringLiteral("TxtDepart"));
    Corder = newCombo(QStringLiteral("Corder"));
    TxtCardID = new QLineEdit(Frame1);
    TxtName = new QLineEdit(Frame1);
    addCondition(0, 0, ChkDate, range(t1s, QStringLiteral("->"), t1e));
    addCondition(0, 1, ChkTime, range(t2s, QStringLiteral("->"), t2e));
    addCondition(1, 0, new QLabel(QStringLiteral("地址："), Frame1), CmbAddr);
    addCondition(1, 1, new QLabel(QStringLiteral("部门："), Frame1), TxtDepart);
    addCondition(2, 0, new QLabel(QStringLiteral("卡号："), Frame1), TxtCardID);
    addCondition(2, 1, new QLabel(QStringLiteral("姓名："), Frame1), TxtName);
    addCondition(3, 0, new QLabel(QStringLiteral("排序方法："), Frame1), Corder);

    connect(CmdSearch, &QPushButton::clicked, this, &Frmque::CmdSearch_Click);
    connect(CmdOutExcel, &QPushButton::clicked, this, &Frmque::CmdOutExcel_Click);
    connect(CmdClear, &QPushButton::clicked, this, &Frmque::CmdClear_Click);
    connect(CmdClose, &QPushButton::clicked, this, &Frmque::CmdClose_Click);
}

void Frmque::Form_Load()
{
    try {
        db::Recordset rs = mdl::AdoConnection.execute(QStringLiteral("select distinct 地址 from data"));
        for (; !rs.eof(); rs.moveNext())
            CmbAddr->addItem(db::text(rs.value(0)));
        query::clearText(CmbAddr);
        for (const SortEntry& s : kSorts)
            Corder->addItem(s.text);
        query::clearText(Corder);
        fillAddresses(CmbAddr);
        fillDepartments(TxtDepart);
        setDefaultDates(t1s, t1e);
    } catch (const rt::Error& e) {
        ui::msgBox(e.text());
    }
}

void Frmque::CmdSearch_Click()
{
    try {
        query::Statement q{QStringLiteral("SELECT PEOPLE.姓名,PEOPLE.部门,PEOPLE.职务,DATA.* from DATA,PEOPLE "
                                          "WHERE DATA.卡号=PEOPLE.卡号 ")};
        if (ChkDate->isChecked()) {
            if (t1s->date() == t1e->date())
                q.add(QStringLiteral(" And DATA.日期 =? "), {rt::isoDate(t1s->date())});
            else
                q.add(QStringLiteral(" And DATA.日期  between ? and ?"),
                      {rt::isoDate(t1s->date()), rt::isoDate(t1e->date())});
        }
        if (ChkTime->isChecked()) {
            if (t2s->time() == t2e->time())
                q.add(QStringLiteral(" And DATA.时间=? "), {rt::isoTime(t2s->time())});
            else
                q.add(QStringLiteral(" And DATA.时间 between ? and ?"),
                      {rt::isoTime(t2s->time()), rt::isoTime(t2e->time())});
        }
        if (!CmbAddr->currentText().isEmpty())
            q.addAddress(QStringLiteral(" And DATA.地址=?"), CmbAddr->currentText());
        if (!TxtDepart->currentText().isEmpty())
            q.add(QStringLiteral(" And PEOPLE.部门=?"), {TxtDepart->currentText().trimmed()});
        if (!TxtCardID->text().trimmed().isEmpty())
            q.add(QStringLiteral(" And DATA.卡号=?"), {TxtCardID->text().trimmed()});
        if (!TxtName->text().trimmed().isEmpty())
            q.add(QStringLiteral(" And PEOPLE.姓名 like ?"), {query::containing(TxtName->text().trimmed())});
        const int sort = query::chosenEntry(Corder);
        if (sort >= 0 && sort < kSorts.size())
            q.add(QLatin1Char(' ') + kSorts[sort].clause);

        showCount(showResult(q).recordCount(), QStringLiteral("  "));
    } catch (const rt::Error& e) {
        setPanelText(QStringLiteral("信息提示：") + e.text());
        return;
    }
    FillDataPT();
}

void Frmque::FillDataPT()
{
    db::Database& dao = mdl::DaoDatabase;
    if (lastRebuild && storedStamp(dao) == lastRebuild)
        return;
    lastRebuild.reset();
    try {
        // Without triggers (the stamp accounts for the rebuild's rows, and a
        // delete without them frees the table's pages at once instead of row
        // by row), and freed pages are not zeroed: they held copies of rows
        // that data and people keep anyway.
        db::BulkWrite bulk(dao, db::BulkWrite::FreedPages::NotZeroed);
        // Emptied and refilled in two transactions: pages freed by an earlier
        // transaction are refilled without a journal copy of their old
        // contents. The stamp moves on with the emptying, so no program takes
        // the table for current until it is full.
        bulk.transaction([&] { dao.execute(QStringLiteral("delete from dataPT")); });
        std::optional<PrintStamp> made;
        bulk.transaction([&] {
            dao.execute(QStringLiteral(
                "insert into dataPT (姓名,部门,职务,地址,卡号,日期,时间,flag) "
                "select people.姓名,people.部门,people.职务,data.地址,data.卡号,data.日期,data.时间,"
                "case data.flag when 1 then '锁一进' when 2 then '锁一出' when 3 then '锁二进' "
                "when 4 then '锁二出' end "
                "from data,people where data.卡号=people.卡号"));
            made = stampRebuild(dao);
        });
        lastRebuild = made;
    } catch (const rt::Error&) {
    }
}

void Frmque::CmdOutExcel_Click()
{
    exportGrid();
}

void Frmque::CmdClear_Click()
{
    TxtCardID->clear();
    query::clearText(CmbAddr);
    TxtName->clear();
    query::clearText(TxtDepart);
    query::clearText(Corder);
    ChkDate->setChecked(false);
    ChkTime->setChecked(false);
    setPanelText(QStringLiteral("信息提示： 清空查询条件成功!"));
}

void Frmque::CmdClose_Click()
{
    unloadForm();
}

OSTRELA_WINDOW(Frmque);
