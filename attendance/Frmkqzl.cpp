#include "Frmkqzl.h"

#include "AppForms.h"
#include "Module2.h"
#include "QueryWindow.h"
#include "runtime/Conv.h"
#include "runtime/RuntimeError.h"
#include "ui/Ui.h"

#include <QDateEdit>
#include <QHash>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>

#include <algorithm>
#include <cmath>

namespace {

using punches::Periods;
using punches::Slots;

// Minute boundaries from a to b (seconds of the day): seconds are dropped.
int minutesBetween(int a, int b)
{
    return b / 60 - a / 60;
}

double round2(double v)
{
    return std::round(v * 100.0) / 100.0;
}

// Two decimals, a half away from zero, as the decimal text of the value reads.
double roundShown(double v)
{
    return std::round(v * 100.0 + std::copysign(1e-7, v)) / 100.0;
}

struct Rules {
    Periods periods;
    double rest = 0;
    double maxHour = 0;
};

struct DayRow {
    int absent = 0, late = 0, early = 0;
    double hours = 0;
};

DayRow figures(const Slots& s, const Rules& r, bool weekday)
{
    const Periods& p = r.periods;
    const bool two = !p.onePeriod();
    DayRow d;
    if (s[0] && s[1])
        d.hours = round2(minutesBetween(s[0], s[1]) / 60.0);
    if (two && s[2] && s[3])
        d.hours += round2(minutesBetween(s[2], s[3]) / 60.0);

    const int firstLength = minutesBetween(p.on1, p.off1);
    if (s[0])
        d.late = std::max(0, minutesBetween(p.on1, s[0]));
    else if (weekday)
        d.absent = firstLength;
    if (s[1])
        d.early = std::max(0, minutesBetween(s[1], p.off1));
    else if (weekday)
        d.absent = firstLength;

    if (two) {
        if (s[2] && minutesBetween(p.on2, s[2]) > 0)
            d.late += minutesBetween(p.on2, s[2]);
        if (s[3] && minutesBetween(s[3], p.off2) > 0)
            d.early += minutesBetween(s[3], p.off2);
        // A second period with any punch missing counts its length once.
        if (weekday && (!s[2] || !s[3]))
            d.absent += minutesBetween(p.on2, p.off2);
    }

    double h = (d.hours * 60.0 - r.rest) / 60.0;
    if (h < 0)
        h = 0;
    if (h > r.maxHour)
        h = r.maxHour;
    d.hours = h == 0 ? 0 : roundShown(h);
    return d;
}

QVariant required(const db::Recordset& rs, const QString& column)
{
    const QVariant v = rs.field(column);
    if (db::isNull(v))
        rt::raise(rt::ErrInvalidUseOfNull);
    return v;
}

int timeColumn(const db::Recordset& rs, const QString& column)
{
    const int s = punches::secondsOfDay(db::text(required(rs, column)));
    if (s < 0)
        rt::raise(rt::ErrTypeMismatch);
    return s;
}

double numberColumn(const db::Recordset& rs, const QString& column)
{
    const QVariant v = required(rs, column);
    bool ok = false;
    const double d = v.toDouble(&ok);
    if (!ok)
        rt::raise(rt::ErrTypeMismatch);
    return d;
}

constexpr int kRowsPerStatement = 64;

// One statement stores up to kRowsPerStatement rows: a new (卡号, 日期) gets
// the person's name, department and position; an existing row keeps them.
QString upsertSql(int rows)
{
    QString sql = QStringLiteral(
        "insert into datakq (姓名, 部门, 职务, 卡号, 日期, 时间1, 时间2, 时间3, 时间4, 旷工, 上班, 迟到, 早退) values ");
    for (int i = 0; i < rows; ++i)
        sql += i ? QStringLiteral(", (?,?,?,?,?,?,?,?,?,?,?,?,?)") : QStringLiteral("(?,?,?,?,?,?,?,?,?,?,?,?,?)");
    sql += QStringLiteral(
        " on conflict (卡号, 日期) do update set 时间1=excluded.时间1, 时间2=excluded.时间2, 时间3=excluded.时间3, "
        "时间4=excluded.时间4, 旷工=excluded.旷工, 上班=excluded.上班, 迟到=excluded.迟到, 早退=excluded.早退");
    return sql;
}

} // namespace

Frmkqzl::Frmkqzl(QWidget* parent)
    : ui::Form(parent)
{
    setObjectName(QStringLiteral("Frmkqzl"));
    setWindowTitle(QStringLiteral("考勤数据整理"));
    setFixedSize(420, 190);

    Label1 = new QLabel(QStringLiteral("整理数据时间段："), this);
    Label1->setGeometry(20, 20, 150, 24);
    Label2 = new QLabel(QStringLiteral("从"), this);
    Label2->setGeometry(20, 56, 20, 24);
    DTP1 = new QDateEdit(this);
    DTP1->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    DTP1->setCalendarPopup(true);
    DTP1->setGeometry(44, 56, 130, 24);
    Label3 = new QLabel(QStringLiteral("到"), this);
    Label3->setGeometry(190, 56, 20, 24);
    DTP2 = new QDateEdit(this);
    DTP2->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    DTP2->setCalendarPopup(true);
    DTP2->setGeometry(214, 56, 130, 24);
    CmdStart = new QPushButton(QStringLiteral("开始"), this);
    CmdStart->setGeometry(90, 100, 90, 28);
    Command2 = new QPushButton(QStringLiteral("退出"), this);
    Command2->setGeometry(230, 100, 90, 28);
    Prg = new QProgressBar(this);
    Prg->setGeometry(20, 136, 380, 16);
    Prg->setTextVisible(false);
    Prg->setVisible(false);
    StatusBar1 = new QStatusBar(this);
    StatusBar1->setSizeGripEnabled(false);
    StatusBar1->setGeometry(0, 162, 420, 28);
    Panels[0] = new QLabel(StatusBar1);
    StatusBar1->addWidget(Panels[0], 1);

    connect(CmdStart, &QPushButton::clicked, this, &Frmkqzl::CmdStart_Click);
    connect(Command2, &QPushButton::clicked, this, &Frmkqzl::Command2_Click);
}

void Frmkqzl::Form_Load()
{
    const QDate today = ui::now().date();
    DTP1->setDate(QDate(today.year(), today.month(), 1));
    DTP2->setDate(today);
    try {
        db_ = db::Database::open(Module2::GetDatabasePath());
    } catch (const rt::Error&) {
    }
}

void Frmkqzl::status(const QString& text)
{
    Panels[0]->setText(text);
}

void Frmkqzl::CmdStart_Click()
{
    Prg->setValue(0);
    status(QStringLiteral("正在启动整理分析预处理..."));
    CmdStart->setEnabled(false);
    // However the run ends, the button comes back (before an error is shown).
    struct Enable {
        QPushButton* b;
        ~Enable() { b->setEnabled(true); }
    };
    try {
        Enable enable{CmdStart};
        run();
    } catch (const rt::Error& e) {
        ui::msgBox(e.text(), ui::mb::OKOnly, QStringLiteral("错误提示"));
        // The run is over: the panel no longer says it is under way, nor
        // tells of an earlier run.
        status(QString());
    }
}

void Frmkqzl::run()
{
    const db::Recordset owt = db_.openRecordset(QStringLiteral("select * from owt order by rowid limit 1"));
    if (owt.eof()) {
        status(QStringLiteral("请先设置上下班时间！"));
        return;
    }
    Rules rules;
    rules.periods.on1 = timeColumn(owt, QStringLiteral("上班时间"));
    rules.periods.off1 = timeColumn(owt, QStringLiteral("下班时间"));
    rules.periods.on2 = timeColumn(owt, QStringLiteral("timeb"));
    rules.periods.off2 = timeColumn(owt, QStringLiteral("timee"));
    rules.maxHour = numberColumn(owt, QStringLiteral("MaxHour"));
    rules.rest = numberColumn(owt, QStringLiteral("Rest"));

    const QString from = rt::isoDate(DTP1->date());
    const QString to = rt::isoDate(DTP2->date());
    db_.execute(QStringLiteral("delete from datakqpt where 日期 between ? and ?"), {from, to});

    const db::Recordset people = db_.openRecordset(QStringLiteral("select distinct 卡号 from data order by 卡号"));
    if (people.eof()) {
        status(QStringLiteral("原始记录中没有可用的卡号！"));
        return;
    }
    const db::Recordset days =
        db_.openRecordset(QStringLiteral("select distinct 日期 from data where 日期 between ? and ?"), {from, to});
    if (days.eof()) {
        status(QStringLiteral("没有数据可整理"));
        return;
    }

    status(QStringLiteral("正在整理分析,请稍候..."));
    Prg->setVisible(true);
    Prg->setMaximum(people.recordCount());

    QVariantList params;
    int pending = 0;
    bool flushing = false;
    auto flush = [&] {
        if (pending) {
            flushing = true;
            db_.execute(upsertSql(pending), params);
            flushing = false;
        }
        params.clear();
        pending = 0;
    };
    // One transaction for the run; what was stored before an error is kept.
    db_.beginTrans();
    bool open = true;
    try {
        QHash<QString, bool> weekdays;
        auto isWeekday = [&](const QString& day) {
            auto it = weekdays.constFind(day);
            if (it != weekdays.cend())
                return *it;
            const QDate d = rt::parseIsoDate(day);
            if (!d.isValid())
                rt::raise(rt::ErrTypeMismatch);
            return weekdays[day] = d.dayOfWeek() <= 5;
        };

        for (int i = 0; i < people.recordCount(); ++i) {
            const QVariant number = people.valueAt(i, 0);
            const db::Recordset person =
                db_.openRecordset(QStringLiteral("select 姓名, 部门, 职务 from people where 卡号=?"), {number});
            if (person.eof())
                continue;
            const QVariantList who{person.value(0), person.value(1), person.value(2)};

            // The employee's punches of the range, day by day in time order.
            const db::Recordset punches = db_.openRecordset(
                QStringLiteral("select 日期, 时间 from data where 卡号=? and 日期 between ? and ? order by 日期, 时间"),
                {number, from, to});
            const int n = punches.recordCount();
            for (int row = 0; row < n;) {
                const QString day = db::text(punches.valueAt(row, 0));
                punches::Times times;
                for (; row < n && db::text(punches.valueAt(row, 0)) == day; ++row) {
                    // 00:00:00 is what a slot shows for "missing": a punch at
                    // exactly midnight takes no slot and moves no other punch.
                    const int t = punches::secondsOfDay(db::text(punches.valueAt(row, 1)));
                    if (t > 0)
                        times.push_back(t);
                }
                std::sort(times.begin(), times.end());
                const Periods& p = rules.periods;
                punchSlots[2] = punchSlots[3] = 0;
                if (p.onePeriod()) {
                    GetPunchesOnePeriod(times, p.on1, p.off1);
                } else {
                    GetPunchesFirstPeriod(times, p.on1, p.off1, p.on2, p.off2);
                    GetPunchesSecondPeriod(times, p.off1, p.on2, p.off2);
                }
                const Slots& s = punchSlots;
                if (!s[0] && !s[1] && !s[2] && !s[3])
                    continue;   // no punch that counts: the day's row stays as it is
                const DayRow d = figures(s, rules, isWeekday(day));
                params << who << number << day << punches::timeText(s[0]) << punches::timeText(s[1])
                       << punches::timeText(s[2]) << punches::timeText(s[3]) << d.absent << d.hours << d.late
                       << d.early;
                if (++pending == kRowsPerStatement)
                    flush();
            }
            flush();
            Prg->setValue(Prg->value() + 1);
        }
        open = false;
        db_.commitTrans();
    } catch (...) {
        if (open) {
            // The days worked out before the error are stored as well.
            if (!flushing) {
                try {
                    flush();
                } catch (const rt::Error&) {
                }
            }
            query::commitElseRollback(db_);
        }
        throw;
    }

    Prg->setVisible(false);
    status(QStringLiteral("数据整理完毕！"));
}

void Frmkqzl::Command2_Click()
{
    unloadForm();
}

void Frmkqzl::Form_Unload(bool& cancel)
{
    Q_UNUSED(cancel);
    db_.close();
}

OSTRELA_WINDOW(Frmkqzl);
