#include "CardLocks.h"

#include "FrmSelectTime.h"
#include "Globals.h"
#include "Module1.h"
#include "runtime/Conv.h"
#include "ui/Form.h"
#include "ui/Ui.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace cards {

namespace {
const QString kNoGroups = QStringLiteral("000000000000000");
}

bool passwordsSupported()
{
    const QString ninth = mdl::MachineVersion.mid(8, 1);
    return !(ninth.size() == 1 && ninth[0].isDigit() && ninth[0].digitValue() < 5);
}

int GetintAddress(const QString& item)
{
    const int at = item.indexOf(QLatin1Char('['));
    if (at < 0)
        return 0;
    bool ok = false;
    const int v = item.left(at).trimmed().toInt(&ok);
    return ok ? v : 0;
}

int GetIntNumber(const QString& item)
{
    const int at = item.indexOf(QLatin1Char('['));
    if (at < 0 || at + 1 >= item.size() || !item[at + 1].isDigit())
        return 0;
    return item[at + 1].digitValue();
}

void FillDoorList(QListWidget* list)
{
    list->clear();
    db::Recordset rs = mdl::DaoDatabase.openRecordset(QStringLiteral(
        "SELECT CAST(CAST(地址 AS INTEGER) AS TEXT) || '[1' || namedr1 || ']' AS 地址1 FROM doors WHERE namedr1<>'' "
        "UNION SELECT CAST(CAST(地址 AS INTEGER) AS TEXT) || '[2' || namedr2 || ']' AS 地址1 FROM doors WHERE namedr2<>'' "
        "ORDER BY 地址1"));
    for (; !rs.eof(); rs.moveNext())
        list->addItem(rs.text(QStringLiteral("地址1")));
}

QList<int> addressArray(const QListWidget* list)
{
    QList<int> out;
    for (int i = 0; i < list->count(); ++i) {
        const int a = GetintAddress(list->item(i)->text());
        if (i == 0 || !out.contains(a))
            out << a;
    }
    return out;
}

bool hasSelection(const QListWidget* list)
{
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->isSelected())
            return true;
    return false;
}

void ClearSelectArray()
{
    mdl::SelectedLocks = QStringList{QString()};
    mdl::SelectedLocksAllocated = true;
}

void GetAddSelectArray(const QListWidget* list)
{
    if (!hasSelection(list))
        return;
    ClearSelectArray();
    auto store = [](const QString& item) {
        if (mdl::SelectedLocks.last().isEmpty())
            mdl::SelectedLocks.last() = item;
        else
            mdl::SelectedLocks << item;
    };
    const int n = list->count();
    for (int i = 0; i < n; ++i) {
        if (!list->item(i)->isSelected())
            continue;
        const int a = GetintAddress(list->item(i)->text());
        const int l = GetIntNumber(list->item(i)->text());
        int j = i + 1;
        while (j < n && !list->item(j)->isSelected())
            ++j;
        if (j < n && GetintAddress(list->item(j)->text()) == a) {
            store(QStringLiteral("3,%1").arg(a));
            i = j;
        } else {
            store(QStringLiteral("%1,%2").arg(l).arg(a));
        }
    }
}

int addressOf(const QString& lockItem)
{
    const int at = lockItem.indexOf(QLatin1Char(','));
    return at < 0 ? 0 : int(rt::Val(lockItem.mid(at + 1)));
}

int lockOf(const QString& lockItem)
{
    const int at = lockItem.indexOf(QLatin1Char(','));
    return at < 1 ? 0 : int(rt::Val(lockItem.mid(at - 1, 1)));
}

Rights rightsOfRow(const db::Recordset& rs)
{
    Rights r;
    r.lock1 = db::toBool(rs.field(QStringLiteral("锁1允许")));
    r.lock2 = db::toBool(rs.field(QStringLiteral("锁2允许")));
    r.week = db::toBool(rs.field(QStringLiteral("周控制")));
    r.endDate = db::toBool(rs.field(QStringLiteral("截止日期控制")));
    r.time = db::toBool(rs.field(QStringLiteral("时间控制")));
    r.weekMask = rs.text(QStringLiteral("周标志"));
    r.endDateText = rs.text(QStringLiteral("截止日期"));
    r.mask1 = rs.text(QStringLiteral("锁1时间段标志"));
    r.mask2 = rs.text(QStringLiteral("锁2时间段标志"));
    return r;
}

QDate endDateOf(const QString& yymmdd)
{
    const QString t = yymmdd.trimmed();
    bool a = false, b = false, c = false;
    const int yy = t.mid(0, 2).toInt(&a);
    const int mm = t.mid(2, 2).toInt(&b);
    const int dd = t.mid(4, 2).toInt(&c);
    if (t.size() != 6 || !a || !b || !c)
        return QDate();
    return QDate(2000 + yy, mm, dd);
}

RightsControls::RightsControls(QWidget* parent)
    : QObject(parent)
{
    CheckWeek = new QCheckBox(QStringLiteral("周控制"), parent);
    CheckWeek->setObjectName(QStringLiteral("CheckWeek"));
    static const char* const days[7] = {"一", "二", "三", "四", "五", "六", "日"};
    for (int k = 0; k < 7; ++k) {
        w1Check[k] = new QCheckBox(QString::fromUtf8(days[k]), parent);
        w1Check[k]->setObjectName(QStringLiteral("w1Check%1").arg(k));
        w1Check[k]->setEnabled(false);
    }
    CheckEndDate = new QCheckBox(QStringLiteral("截止日期控制"), parent);
    CheckEndDate->setObjectName(QStringLiteral("CheckEndDate"));
    stopDate = new QDateEdit(parent);
    stopDate->setObjectName(QStringLiteral("stopDate"));
    stopDate->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    stopDate->setCalendarPopup(true);
    // Stored as "yymmdd": 1999 would come back as 2099.
    stopDate->setDateRange(rt::firstYymmddDay(), rt::lastYymmddDay());
    stopDate->setDate(ui::now().date());
    stopDate->setEnabled(false);
    CheckTime = new QCheckBox(QStringLiteral("时间段控制"), parent);
    CheckTime->setObjectName(QStringLiteral("CheckTime"));
    for (int i = 0; i < 2; ++i) {
        ButtonChkTime[i] = new QPushButton(QStringLiteral("锁%1时间段>>").arg(i + 1), parent);
        ButtonChkTime[i]->setObjectName(QStringLiteral("ButtonChkTime%1").arg(i));
        ButtonChkTime[i]->setEnabled(false);
        TxtTime[i] = new QLineEdit(kNoGroups, parent);
        TxtTime[i]->setObjectName(QStringLiteral("TxtTime%1").arg(i));
        // Only the time-group picker fills it: typed or pasted text would
        // reach the controller as a mask.
        TxtTime[i]->setReadOnly(true);
    }
    // Ticking from code has the same effect as the operator's click.
    connect(CheckWeek, &QCheckBox::toggled, this, &RightsControls::CheckWeek_Click);
    connect(CheckEndDate, &QCheckBox::toggled, this, &RightsControls::CheckEndDate_Click);
    connect(CheckTime, &QCheckBox::toggled, this, &RightsControls::CheckTime_Click);
}

void RightsControls::CheckWeek_Click()
{
    for (QCheckBox* b : w1Check)
        b->setEnabled(CheckWeek->isChecked());
}

void RightsControls::CheckEndDate_Click() { stopDate->setEnabled(CheckEndDate->isChecked()); }

void RightsControls::CheckTime_Click()
{
    for (QPushButton* b : ButtonChkTime)
        b->setEnabled(CheckTime->isChecked());
}

Rights RightsControls::rights() const
{
    Rights r;
    r.week = CheckWeek->isChecked();
    r.endDate = CheckEndDate->isChecked();
    r.time = CheckTime->isChecked();
    for (QCheckBox* b : w1Check)
        r.weekMask += b->isChecked() ? QLatin1Char('1') : QLatin1Char('0');
    r.endDateText = stopDate->date().toString(QStringLiteral("yyMMdd"));
    r.mask1 = Module1::CompleteTimeGroupMask(TxtTime[0]->text().trimmed());
    r.mask2 = Module1::CompleteTimeGroupMask(TxtTime[1]->text().trimmed());
    return r;
}

void RightsControls::showRow(const db::Recordset& rs)
{
    const Rights r = rightsOfRow(rs);
    CheckWeek->setChecked(r.week);
    for (int k = 0; k < r.weekMask.size() && k < 7; ++k) {
        if (r.weekMask[k] == QLatin1Char('1'))
            w1Check[k]->setChecked(true);
        else if (r.weekMask[k] == QLatin1Char('0'))
            w1Check[k]->setChecked(false);
    }
    CheckEndDate->setChecked(r.endDate);
    CheckTime->setChecked(r.time);
    if (!CheckTime->isChecked()) {
        TxtTime[0]->setText(kNoGroups);
        TxtTime[1]->setText(kNoGroups);
    } else {
        TxtTime[0]->setText((r.mask1 + kNoGroups).left(15));
        TxtTime[1]->setText((r.mask2 + kNoGroups).left(15));
    }
    const QDate d = endDateOf(r.endDateText);
    if (d.isValid())
        stopDate->setDate(d);
}

void RightsControls::clearControls()
{
    CheckTime->setChecked(false);
    CheckTime_Click();
    TxtTime[0]->setText(kNoGroups);
    TxtTime[1]->setText(kNoGroups);
    CheckWeek->setChecked(false);
    CheckEndDate->setChecked(false);
}

void pickTimeGroups(QLineEdit* txtTime)
{
    mdl::SelectedTimeGroups = txtTime->text();
    FrmSelectTime* picker = ui::forms::load<FrmSelectTime>();
    picker->showModal();
    if (FrmSelectTime::ReadError == 1)
        ui::forms::unload<FrmSelectTime>();
    txtTime->setText(mdl::SelectedTimeGroups);
    mdl::SelectedTimeGroups = kNoGroups;
}

void storeIssued(db::Database& db, const IssuedRow& r)
{
    db.beginTrans();
    try {
        db.execute(QStringLiteral("DELETE FROM dfaka WHERE 卡号=? AND 地址=? AND ") + db::yesNo(QStringLiteral("密码标志")) +
                       QStringLiteral("=?"),
                   {r.employee, r.address, r.password});
        db.execute(QStringLiteral("INSERT INTO dfaka (卡号, 地址, 物理卡号, 周控制, 锁1允许, 锁2允许, 时间控制, 截止日期控制, "
                                  "周标志, 截止日期, 锁1时间段标志, 锁2时间段标志, 姓名, 部门, 发卡日期, 密码标志) "
                                  "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                   {r.employee, r.address, r.physical, r.rights.week ? 1 : 0, r.rights.lock1 ? 1 : 0,
                    r.rights.lock2 ? 1 : 0, r.rights.time ? 1 : 0, r.rights.endDate ? 1 : 0,
                    r.rights.weekMask.trimmed(), r.rights.endDateText.trimmed(), r.rights.mask1.trimmed(),
                    r.rights.mask2.trimmed(), r.name, r.department, r.issuedOn, r.password ? 1 : 0});
        db.commitTrans();
    } catch (...) {
        db.rollback();
        throw;
    }
}

} // namespace cards
