#include "FrmFKXXCX.h"

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

const QString kNoGroup = QStringLiteral("00:00-00:00");

QStringList groupColumns(int from, int to)
{
    QStringList c;
    for (int k = from; k <= to; ++k)
        c << QStringLiteral("时间段%1").arg(k);
    return c;
}

QList<db::GridColumn> gridColumns()
{
    QStringList names = {QStringLiteral("地址"), QStringLiteral("卡号"), QStringLiteral("物理卡号"),
                         QStringLiteral("姓名"), QStringLiteral("周标志"), QStringLiteral("部门"),
                         QStringLiteral("截止日期")};
    names << groupColumns(1, 32) << QStringLiteral("发卡日期");
    QList<db::GridColumn> columns;
    for (const QString& n : names)
        columns.append({n, n});
    return columns;
}

const QStringList kSortTexts = {QStringLiteral("1 按地址"), QStringLiteral("2 按卡号"), QStringLiteral("3 按姓名"),
                                QStringLiteral("4 按部门")};
const QStringList kSortClauses = {QStringLiteral(" order by 地址"), QStringLiteral(" order by 卡号"),
                                  QStringLiteral(" order by 姓名"), QStringLiteral(" order by 部门")};

// A mask character is set when it is a digit other than "0"; a character
// past the end or no digit is a damaged mask (error 13). Null sets none.
bool maskSet(const QVariant& mask, int position)
{
    if (db::isNull(mask))
        return false;
    const QString c = rt::Mid(db::text(mask), position, 1);
    if (c.isEmpty() || !c.at(0).isDigit())
        rt::raise(rt::ErrTypeMismatch);
    return c != QLatin1String("0");
}

// "20yy年mm月dd日" from "yymmdd"; missing characters contribute nothing.
QString endDateText(const QString& yymmdd)
{
    return QStringLiteral("20") + rt::Mid(yymmdd, 1, 2) + QStringLiteral("年") + rt::Mid(yymmdd, 3, 2)
        + QStringLiteral("月") + rt::Mid(yymmdd, 5, 2) + QStringLiteral("日");
}

QString weekdaysText(const QVariant& mask)
{
    static const QStringList names = {QStringLiteral("周一"), QStringLiteral("周二"), QStringLiteral("周三"),
                                      QStringLiteral("周四"), QStringLiteral("周五"), QStringLiteral("周六"),
                                      QStringLiteral("周日")};
    QString t;
    for (int i = 1; i <= 7; ++i)
        if (maskSet(mask, i))
            t += names[i - 1];
    return t.isEmpty() ? QStringLiteral("没有") : t;
}

// "0830-1730" -> "08:30-17:30".
QString rangeText(const QString& group)
{
    return rt::Mid(group, 1, 2) + QLatin1Char(':') + rt::Mid(group, 3, 2) + QLatin1Char('-') + rt::Mid(group, 6, 2)
        + QLatin1Char(':') + rt::Mid(group, 8, 2);
}

// An issue date as a date text; anything that is no date stays as stored.
QString issueDateText(const QVariant& v)
{
    const QString t = db::text(v);
    const QDateTime dt = rt::parseIsoDateTime(t);
    return dt.isValid() ? rt::isoDate(dt.date()) : t;
}

// The values of one dfakapt row made from a dfaka row; Null copies as empty text.
QVariantList printRow(const db::Recordset& rs, const QStringList& groups)
{
    QVariantList row;
    const QVariant address = rs.field(QStringLiteral("地址"));
    row << (db::isNull(address) ? QVariant() : QVariant(db::clng(address)));
    for (const char* c : {"卡号", "物理卡号", "姓名", "部门"})
        row << rs.text(QString::fromUtf8(c));
    row << endDateText(rs.text(QStringLiteral("截止日期")));
    row << weekdaysText(rs.field(QStringLiteral("周标志")));

    // The first dTime row of the address; none gives no ranges at all.
    QStringList texts(32, kNoGroup);
    db::Recordset times;
    if (!db::isNull(address))
        times = mdl::AdoConnection.execute(QStringLiteral("select * from dTime where 地址=? limit 1"), {db::clng(address)});
    if (times.isOpen() && !times.eof()) {
        const QVariant masks[2] = {rs.field(QStringLiteral("锁1时间段标志")), rs.field(QStringLiteral("锁2时间段标志"))};
        for (int lock = 0; lock < 2; ++lock)
            for (int k = 1; k <= 16; ++k)
                if (maskSet(masks[lock], k))
                    texts[lock * 16 + k - 1] = rangeText(times.text(groups[k - 1]));
    }
    for (const QString& t : texts)
        row << t;
    row << issueDateText(rs.field(QStringLiteral("发卡日期")));
    row << (db::toBool(rs.field(QStringLiteral("密码标志"))) ? 1 : 0);
    return row;
}

} // namespace

FrmFKXXCX::FrmFKXXCX(QWidget* parent)
    : QueryWindow(QStringLiteral("FrmFKXXCX"), QStringLiteral("发卡信息查询"), gridColumns(),
                  {QStringLiteral("查  询"), QStringLiteral("输 出"), QStringLiteral("清  空"), QStringLiteral("关  闭")},
                  QStringLiteral("dfakapt"))
{
    setParent(parent);
    resize(900, 560);
    CmdOutExcel = outputButton();
    CmdOutExcel->setObjectName(QStringLiteral("CmdOutExcel"));

    TxtName = new QLineEdit(Frame1);
    CmbAddr = newCombo(QStringLiteral("CmbAddr"));
    TxtCardID = new QLineEdit(Frame1);
    TxtDepart = newCombo(QStringLiteral("TxtDepart"));
    ChkDate = new QCheckBox(QStringLiteral("日期"), Frame1);
    DTPBegin = newDatePicker(QStringLiteral("DTPBegin"));
    DTPEnd = newDatePicker(QStringLiteral("DTPEnd"));
    Corder = newCombo(QStringLiteral("Corder"));
    addCondition(0, 0, new QLabel(QStringLiteral("姓      名："), Frame1), TxtName);
    addCondition(0, 1, new QLabel(QStringLiteral("地      址："), Frame1), CmbAddr);
    addCondition(1, 0, new QLabel(QStringLiteral("卡       号："), Frame1), TxtCardID);
    addCondition(1, 1, new QLabel(QStringLiteral("部       门："), Frame1), TxtDepart);
    addCondition(2, 0, ChkDate, range(DTPBegin, QStringLiteral("-->"), DTPEnd));
    addCondition(2, 1, new QLabel(QStringLiteral("排序方法"), Frame1), Corder);

    connect(CmdSearch, &QPushButton::clicked, this, &FrmFKXXCX::CmdSearch_Click);
    connect(CmdClear, &QPushButton::clicked, this, &FrmFKXXCX::CmdClear_Click);
    connect(CmdOutExcel, &QPushButton::clicked, this, &FrmFKXXCX::CmdOutExcel_Click);
    connect(CmdClose, &QPushButton::clicked, this, &FrmFKXXCX::CmdClose_Click);
}

void FrmFKXXCX::Form_Load()
{
    try {
        Corder->addItems(kSortTexts);
        query::clearText(Corder);
        fillAddresses(CmbAddr);
        fillDepartments(TxtDepart);
        setDefaultDates(DTPBegin, DTPEnd);
    } catch (const rt::Error& e) {
        ui::msgBox(e.text());
    }
}

void FrmFKXXCX::CmdSearch_Click()
{
    try {
        query::Statement q{QStringLiteral("Select * From DFaka Where 1=1 ")};
        if (!TxtName->text().trimmed().isEmpty())
            q.add(QStringLiteral(" And 姓名 like ?"), {query::containing(TxtName->text().trimmed())});
        if (!CmbAddr->currentText().trimmed().isEmpty())
            q.addNumber(QStringLiteral(" And 地址=?"), CmbAddr->currentText());
        if (!TxtCardID->text().trimmed().isEmpty())
            q.add(QStringLiteral(" And 卡号=?"), {TxtCardID->text().trimmed()});
        if (!TxtDepart->currentText().trimmed().isEmpty())
            q.add(QStringLiteral(" And 部门=?"), {TxtDepart->currentText().trimmed()});
        if (ChkDate->isChecked())
            q.add(QStringLiteral(" And 发卡日期 >= ? and 发卡日期 < ?"),
                  {rt::isoDate(DTPBegin->date()), query::dayAfter(DTPEnd->date())});

        emptyPrintTable();
        db::Recordset rs = q.run();
        if (!rs.eof()) {
            BusyPointer busy(true);
            const QStringList groups = groupColumns(1, 32);
            const QString insert = QStringLiteral("insert into dfakapt(地址,卡号,物理卡号,姓名,部门,截止日期,周标志,")
                + groups.join(QLatin1Char(',')) + QStringLiteral(",发卡日期,密码标志) values(")
                + QStringLiteral("?,").repeated(40) + QStringLiteral("?)");
            // One transaction for speed; the rows copied before a failure stay.
            db::Database& dao = mdl::DaoDatabase;
            dao.beginTrans();
            try {
                for (; !rs.eof(); rs.moveNext())
                    dao.execute(insert, printRow(rs, groups));
            } catch (...) {
                query::commitElseRollback(dao);
                throw;
            }
            dao.commitTrans();
        }

        // Passwords never reach the screen or the workbook.
        const QString columns = QStringLiteral(",姓名,部门,截止日期,周标志,") + groupColumns(1, 32).join(QLatin1Char(','))
            + QStringLiteral(",发卡日期 from dfakapt where ");
        QString display = QStringLiteral("select * from (select 地址,卡号,物理卡号") + columns
            + QStringLiteral("ifnull(密码标志,0)=0  Union All  select 地址,卡号,'**********' as 物理卡号") + columns
            + QStringLiteral("密码标志<>0  ) ");
        const int sort = query::chosenEntry(Corder);
        if (sort >= 0 && sort < kSortClauses.size())
            display += kSortClauses[sort];
        showCount(showResult(query::Statement(display)).recordCount(), QString());
    } catch (const rt::Error& e) {
        setPanelText(QStringLiteral("信息提示：") + e.text());
    }
}

void FrmFKXXCX::CmdClear_Click()
{
    TxtName->clear();
    TxtCardID->clear();
    query::clearText(CmbAddr);
    query::clearText(TxtDepart);
    query::clearText(Corder);
    ChkDate->setChecked(false);
    setPanelText(QStringLiteral("信息提示：清空成功！"));
}

void FrmFKXXCX::CmdOutExcel_Click()
{
    exportGrid();
}

void FrmFKXXCX::CmdClose_Click()
{
    unloadForm();
}

OSTRELA_WINDOW(FrmFKXXCX);
