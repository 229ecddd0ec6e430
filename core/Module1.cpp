#include "Module1.h"

#include "runtime/Conv.h"
#include "runtime/RuntimeError.h"

#include <QComboBox>
#include <QLayout>
#include <QListWidget>
#include <QStackedWidget>
#include <QVariant>
#include <QWidget>

#include <functional>

QString trimBlanks(const QString& s)
{
    qsizetype b = 0, e = s.size();
    while (b < e && s[b] == u' ')
        ++b;
    while (e > b && s[e - 1] == u' ')
        --e;
    return s.mid(b, e - b);
}

namespace Module1 {

int32_t LayoutWidth = 0;
int32_t LayoutHeight = 0;

namespace {

const char* const kTag = "Tag";
// The size saved with this window, so that a resize never uses another
// window's reference size.
const char* const kLayoutSize = "Module1LayoutSize";

// The controls a window lays out itself: named, not a window of their own,
// not placed by a layout or a stacked page container, not Qt's own parts.
QList<QWidget*> positionedControls(QWidget* form)
{
    QList<QWidget*> out;
    for (QWidget* w : form->findChildren<QWidget*>()) {
        if (w->objectName().isEmpty() || w->objectName().startsWith(QLatin1String("qt_")) || w->isWindow())
            continue;
        QWidget* parent = w->parentWidget();
        if (!parent || qobject_cast<QStackedWidget*>(parent))
            continue;
        if (parent->layout() && parent->layout()->indexOf(w) >= 0)
            continue;
        out.append(w);
    }
    return out;
}

QString numberText(double v) { return QString::number(float(v)); }

struct ListTarget {
    std::function<void()> clear;
    std::function<void(const QString&)> add;
};
ListTarget target(QListWidget* l)
{
    return {[l] { l->clear(); }, [l](const QString& s) { l->addItem(s); }};
}
ListTarget target(QComboBox* c)
{
    return {[c] { c->clear(); }, [c](const QString& s) { c->addItem(s); }};
}

// A column that goes into a list item: Null stops the filling (error 94).
QString itemText(const db::Recordset& rs, const QString& field)
{
    QVariant v = rs.field(field);
    if (db::isNull(v))
        rt::raise(rt::ErrInvalidUseOfNull);
    return db::text(v);
}

void fillDepartments(db::Connection& conn, const ListTarget& list)
{
    list.clear();
    list.add(kAllDepartments);
    db::Recordset rs = conn.execute(QStringLiteral("select distinct 部门 from department"));
    if (rs.recordCount() > 0) {
        rs.moveFirst();
        while (!rs.eof()) {
            list.add(itemText(rs, QStringLiteral("部门")));
            rs.moveNext();
        }
    }
}

void fillPeople(db::Connection& conn, const ListTarget& list, const QString& department)
{
    db::Recordset rs = department == kAllDepartments
        ? conn.execute(QStringLiteral("select distinct 卡号,姓名 from people  order by 卡号"))
        : conn.execute(QStringLiteral("select distinct 卡号,姓名 from people where 部门=? order by 卡号"), {department});
    list.clear();
    if (rs.recordCount() > 0) {
        rs.moveFirst();
        while (!rs.eof()) {
            list.add(itemText(rs, QStringLiteral("卡号")).trimmed() + QStringLiteral("     ")
                     + itemText(rs, QStringLiteral("姓名")).trimmed());
            rs.moveNext();
        }
    }
}

} // namespace

int16_t SaveControlLayout(QWidget* form)
{
    LayoutWidth = rt::CLng(double(form->width()));
    LayoutHeight = rt::CLng(double(form->height()));
    form->setProperty(kLayoutSize, QSize(LayoutWidth, LayoutHeight));
    for (QWidget* w : positionedControls(form)) {
        const QRect g = w->geometry();
        w->setProperty(kTag, numberText(g.x()) + QLatin1Char(' ') + numberText(g.y()) + QLatin1Char(' ')
                                 + numberText(g.width()) + QLatin1Char(' ') + numberText(g.height()) + QLatin1Char(' '));
    }
    return 0;
}

int16_t ResizeControls(QWidget* form)
{
    QSize saved = form->property(kLayoutSize).toSize();
    if (!saved.isValid() || saved.width() <= 0 || saved.height() <= 0)
        return 0; // nothing saved for this window: leave it alone
    const double rx = double(form->width()) / saved.width();
    const double ry = double(form->height()) / saved.height();
    for (QWidget* w : positionedControls(form)) {
        const QString tag = w->property(kTag).toString();
        double n[4] = {0, 0, 0, 0};
        int start = 0;
        for (double& v : n) {
            int blank = tag.indexOf(QLatin1Char(' '), start);
            if (blank < 0)
                break; // this and the rest stay 0
            v = tag.mid(start, blank - start).toDouble();
            start = blank + 1;
        }
        w->setGeometry(qRound(rx * n[0]), qRound(ry * n[1]), qRound(rx * n[2]), qRound(ry * n[3]));
    }
    return 0;
}

void FillDepartmentList(db::Connection& conn, QListWidget* list) { fillDepartments(conn, target(list)); }
void FillDepartmentList(db::Connection& conn, QComboBox* list) { fillDepartments(conn, target(list)); }

void AddDoorAddresses(db::Database& db, QComboBox* list)
{
    db::Recordset rs = db.openRecordset(QStringLiteral("SELECT DISTINCT 地址 FROM doors ORDER BY CAST(地址 AS INTEGER)"));
    for (; !rs.eof(); rs.moveNext())
        list->addItem(rs.text(QStringLiteral("地址")));
}

QString CardListItem(const db::Recordset& rs)
{
    const QString number = db::toBool(rs.field(QStringLiteral("密码标志")))
        ? kPasswordItem
        : itemText(rs, QStringLiteral("物理卡号")).trimmed();
    const QString five = QStringLiteral("     ");
    return itemText(rs, QStringLiteral("卡号")).trimmed() + five + itemText(rs, QStringLiteral("姓名")).trimmed() + five
        + number + five + itemText(rs, QStringLiteral("地址"));
}

CardListEntry ParseCardListItem(const QString& item)
{
    CardListEntry e;
    const QString t = item.trimmed();
    e.employee = rt::Left(t, 8).trimmed();
    e.password = t.contains(kPasswordItem);
    // The name runs from after the number's blanks to the next five blanks,
    // so a name of any length comes back whole.
    const QString five = QStringLiteral("     ");
    const int nameStart = t.indexOf(five);
    if (nameStart >= 0) {
        int from = nameStart;
        while (from < t.size() && t[from] == QLatin1Char(' '))
            ++from;
        const int nameEnd = t.indexOf(five, from);
        e.name = (nameEnd < 0 ? t.mid(from) : t.mid(from, nameEnd - from)).trimmed();
    }
    const int lastBlank = t.lastIndexOf(QLatin1Char(' '));
    bool ok = false;
    const int address = t.mid(lastBlank + 1).toInt(&ok);
    e.address = ok ? address : -1;
    return e;
}

void FillCardList(db::Connection& conn, QListWidget* list, const QString& department)
{
    db::Recordset rs = department == kAllDepartments
        ? conn.execute(QStringLiteral("select distinct 卡号,姓名,物理卡号,地址,密码标志 from dfaka "))
        : conn.execute(QStringLiteral("select distinct 卡号,姓名,物理卡号,地址,密码标志 from dfaka where 部门=? "), {department});
    if (rs.recordCount() <= 0)
        return;
    rs.moveFirst();
    while (!rs.eof()) {
        list->addItem(CardListItem(rs));
        rs.moveNext();
    }
}

void FillPeopleList(db::Connection& conn, QListWidget* list, const QString& department)
{
    fillPeople(conn, target(list), department);
}
void FillPeopleList(db::Connection& conn, QComboBox* list, const QString& department)
{
    fillPeople(conn, target(list), department);
}

int16_t LoadGatherWaitTime(db::Connection& conn)
{
    db::Recordset rs =
        conn.execute(QStringLiteral("SELECT zhi FROM system WHERE name=?"), {QStringLiteral("采集等待时间")});
    if (rs.eof())
        return 5;
    const double v = rs.field(QStringLiteral("zhi")).toDouble();
    return v > 0 ? int16_t(v) : int16_t(5);
}

bool IsValidNumberString(const QString& text, int16_t length, int16_t base)
{
    if (text.size() != length)
        return false;
    switch (base) {
    case 2:
        for (QChar c : text)
            if (c != QLatin1Char('0') && c != QLatin1Char('1'))
                return false;
        return true;
    case 10:
        return rt::IsNumeric(text);
    case 16: {
        if (text.isEmpty() || text.size() > 8)
            return false;
        for (QChar c : text) {
            const bool hex = (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('a') && c <= QLatin1Char('f'))
                || (c >= QLatin1Char('A') && c <= QLatin1Char('F'));
            if (!hex)
                return false;
        }
        return true;
    }
    default:
        return false;
    }
}

QString CompleteTimeGroupMask(const QString& selection)
{
    if (selection.size() == 15)
        return selection + (selection.contains(QLatin1Char('1')) ? QLatin1Char('0') : QLatin1Char('1'));
    return QStringLiteral("0000000000000001");
}

} // namespace Module1
