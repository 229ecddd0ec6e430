// The attendance processing run: the punches chosen for each day, the day's
// figures, and what the run writes, keeps and refuses.
#include "WindowBench.h"

#include "Frmkqzl.h"
#include "Globals.h"
#include "PunchSelection.h"

#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

namespace {

const QString kWednesday = QStringLiteral("2026-12-09");
const QString kSaturday = QStringLiteral("2026-12-12");
const QString kMissing = QStringLiteral("00:00:00");

class FrmkqzlTest : public WindowBench {
protected:
    void setRules(const QString& on1, const QString& off1, const QString& on2, const QString& off2, double rest = 90,
                  double maxHour = 8)
    {
        exec(QStringLiteral("delete from owt"));
        exec(QStringLiteral("insert into owt (上班时间, 下班时间, 迟到时间, 早退时间, timeb, timee, lat, let, Rest, MaxHour) "
                            "values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
             {on1, off1, on1, off1, on2, off2, on2, off2, rest, maxHour});
    }
    void twoPeriods() { setRules("08:30:00", "11:30:00", "13:30:00", "17:30:00"); }
    void punch(const QString& number, const QString& day, const QString& time)
    {
        exec(QStringLiteral("insert into data (地址, 卡号, 日期, 时间, flagIO) values (1, ?, ?, ?, '锁1进')"),
             {number, day, time});
    }
    void punches(const QString& number, const QString& day, const QStringList& times)
    {
        for (const QString& t : times)
            punch(number, day, t);
    }
    Frmkqzl* run(const QString& from = QStringLiteral("2026-12-01"), const QString& to = QStringLiteral("2026-12-31"))
    {
        auto* w = ui::forms::load<Frmkqzl>();
        w->DTP1->setDate(QDate::fromString(from, Qt::ISODate));
        w->DTP2->setDate(QDate::fromString(to, Qt::ISODate));
        w->CmdStart_Click();
        return w;
    }
    QVariantList day(const QString& number, const QString& date)
    {
        const auto r = rows(QStringLiteral("select 时间1, 时间2, 时间3, 时间4, 迟到, 早退, 旷工, 上班 from datakq "
                                           "where 卡号=? and 日期=?"),
                            {number, date});
        return r.isEmpty() ? QVariantList() : r.first();
    }
    int datakqRows() { return value(QStringLiteral("select count(*) from datakq")).toInt(); }
    QString status(Frmkqzl* w) { return w->Panels[0]->text(); }
};

QString num(int i)
{
    return QStringLiteral("%1").arg(i, 8, 10, QLatin1Char('0'));
}

TEST_F(FrmkqzlTest, ChoosesTheDaysPunches)
{
    struct Case {
        const char* what;
        bool onePeriod;
        QStringList punches;
        QStringList want;   // 时间1..时间4, "" for missing
    };
    const QList<Case> cases = {
        {"on time", false, {"08:25:00", "11:35:00", "13:25:00", "17:35:00"}, {"08:25:00", "11:35:00", "13:25:00", "17:35:00"}},
        {"a second early punch is no off-duty candidate", false, {"08:25:00", "08:27:00", "11:35:00"},
         {"08:25:00", "11:35:00", "", ""}},
        {"one punch between the periods, none in the afternoon", false, {"08:25:00", "11:20:00", "13:10:00", "17:35:00"},
         {"08:25:00", "11:20:00", "13:10:00", "17:35:00"}},
        {"nearer to the second period", false, {"08:25:00", "11:20:00", "13:10:00", "14:00:00", "17:35:00"},
         {"08:25:00", "11:20:00", "13:10:00", "17:35:00"}},
        {"equally far: the tie goes to the first period", false, {"08:25:00", "11:20:00", "12:30:00", "14:00:00"},
         {"08:25:00", "12:30:00", "14:00:00", ""}},
        {"one second past the middle", false, {"08:25:00", "11:20:00", "12:30:01", "14:00:00"},
         {"08:25:00", "11:20:00", "12:30:01", "14:00:00"}},
        {"earliest punch exactly at the second period's start", false, {"13:30:00", "17:35:00"},
         {"", "", "13:30:00", "17:35:00"}},
        {"a punch at the second period's start after a morning", false, {"08:25:00", "11:35:00", "13:30:00", "17:35:00"},
         {"08:25:00", "11:35:00", "13:30:00", "17:35:00"}},
        {"nothing after the first period", false, {"08:25:00", "11:20:00"}, {"08:25:00", "11:20:00", "", ""}},
        {"only late punches after the first period", false, {"08:25:00", "11:20:00", "17:35:00", "17:40:00"},
         {"08:25:00", "11:20:00", "", "17:35:00"}},
        {"duplicates at one time", false, {"08:25:00", "08:25:00", "11:35:00", "11:35:00", "17:35:00"},
         {"08:25:00", "11:35:00", "", "17:35:00"}},
        {"duplicates of the off-duty punch are one punch", false, {"08:25:00", "12:00:00", "12:00:00"},
         {"08:25:00", "12:00:00", "", ""}},
        {"no morning: the first punch also opens the second period", false,
         {"12:00:00", "12:40:00", "13:00:00", "17:35:00"}, {"12:00:00", "12:40:00", "12:00:00", "17:35:00"}},
        {"half day from noon", false, {"12:00:00", "17:35:00"}, {"12:00:00", "", "12:00:00", "17:35:00"}},
        {"half day from just before the second period", false, {"13:25:00", "17:35:00"},
         {"13:25:00", "", "13:25:00", "17:35:00"}},
        {"a midnight punch takes no slot", false, {"00:00:00", "08:25:00", "11:35:00", "13:25:00", "23:59:59"},
         {"08:25:00", "11:35:00", "13:25:00", "23:59:59"}},
        {"a punch a second after midnight is a real one", false, {"00:00:01", "11:35:00", "13:25:00", "17:35:00"},
         {"00:00:01", "11:35:00", "13:25:00", "17:35:00"}},
        {"one period: a midnight punch takes no slot", true, {"00:00:00", "08:29:00", "17:31:00"},
         {"08:29:00", "17:31:00", "", ""}},
        {"one period: first and last", true, {"08:25:00", "12:00:00", "17:35:00"}, {"08:25:00", "17:35:00", "", ""}},
        {"one period: one punch", true, {"08:25:00"}, {"08:25:00", "", "", ""}},
        {"one period: several at one time", true, {"08:25:00", "08:25:00"}, {"08:25:00", "", "", ""}},
        {"one period: stored out of order", true, {"17:35:00", "08:25:00"}, {"08:25:00", "17:35:00", "", ""}},
    };
    for (bool onePeriod : {false, true}) {
        exec(QStringLiteral("delete from data"));
        exec(QStringLiteral("delete from people"));
        if (onePeriod)
            setRules("08:30:00", "11:30:00", "00:00:00", "00:00:00");
        else
            twoPeriods();
        for (int i = 0; i < cases.size(); ++i) {
            if (cases[i].onePeriod != onePeriod)
                continue;
            addPerson(num(i), QStringLiteral("员工"), QStringLiteral("一部"));
            punches(num(i), kWednesday, cases[i].punches);
        }
        run();
        for (int i = 0; i < cases.size(); ++i) {
            if (cases[i].onePeriod != onePeriod)
                continue;
            const QVariantList got = day(num(i), kWednesday);
            ASSERT_FALSE(got.isEmpty()) << cases[i].what;
            for (int s = 0; s < 4; ++s) {
                const QString want = cases[i].want[s].isEmpty() ? kMissing : cases[i].want[s];
                EXPECT_EQ(got[s].toString(), want) << cases[i].what << ", 时间" << s + 1;
            }
        }
    }
}

TEST_F(FrmkqzlTest, WorksOutTheDaysFigures)
{
    struct Case {
        const char* what;
        QString date;
        QStringList punches;
        int late, early, absent;
        double hours;
    };
    const QList<Case> cases = {
        {"hours rounded per period before the break", kWednesday, {"08:25:00", "11:35:00", "13:25:00", "17:35:00"}, 0, 0, 0, 5.84},
        {"late in both periods", kWednesday, {"08:40:00", "11:35:00", "13:40:00", "17:35:00"}, 20, 0, 0, 5.34},
        {"early in both periods", kWednesday, {"08:25:00", "11:20:00", "13:25:00", "17:20:00"}, 0, 20, 0, 5.34},
        {"seconds dropped: not late", kWednesday, {"08:30:59", "11:35:00", "13:25:00", "17:35:00"}, 0, 0, 0, 5.75},
        {"seconds dropped: one minute late", kWednesday, {"08:31:00", "11:35:00", "13:25:00", "17:35:00"}, 1, 0, 0, 5.74},
        {"second period missing counts its length once", kWednesday, {"08:25:00", "11:35:00"}, 0, 0, 240, 1.67},
        {"one punch per period", kWednesday, {"08:25:00", "17:35:00"}, 0, 0, 420, 0},
        {"half day from noon: the afternoon is worked", kWednesday, {"12:00:00", "17:35:00"}, 210, 0, 180, 4.08},
        {"half day from 13:25", kWednesday, {"13:25:00", "17:35:00"}, 295, 0, 180, 2.67},
        {"no absence on a Saturday", kSaturday, {"08:25:00", "17:35:00"}, 0, 0, 0, 0},
        {"Saturday still counts lateness and hours", kSaturday, {"08:40:00", "11:35:00", "13:25:00", "17:35:00"}, 10, 0, 0, 5.59},
        {"capped at the most hours of a day", kWednesday, {"07:00:00", "11:30:00", "13:00:00", "19:00:00"}, 0, 0, 0, 8},
    };
    twoPeriods();
    for (int i = 0; i < cases.size(); ++i) {
        addPerson(num(i), QStringLiteral("员工"), QStringLiteral("一部"));
        punches(num(i), cases[i].date, cases[i].punches);
    }
    run();
    for (int i = 0; i < cases.size(); ++i) {
        const QVariantList got = day(num(i), cases[i].date);
        ASSERT_FALSE(got.isEmpty()) << cases[i].what;
        EXPECT_EQ(got[4].toInt(), cases[i].late) << cases[i].what;
        EXPECT_EQ(got[5].toInt(), cases[i].early) << cases[i].what;
        EXPECT_EQ(got[6].toInt(), cases[i].absent) << cases[i].what;
        EXPECT_DOUBLE_EQ(got[7].toDouble(), cases[i].hours) << cases[i].what;
    }
}

TEST_F(FrmkqzlTest, OnePeriodCountsTheFirstPeriodOnly)
{
    // A break of 0.3 minutes leaves 0.995 hours, shown as 1.
    setRules("08:30:00", "11:30:00", "00:00:00", "00:00:00", 0.3, 8);
    addPerson(num(1), "甲", "一部");
    addPerson(num(2), "乙", "一部");
    punch(num(1), kWednesday, "08:25:00");
    punches(num(2), kWednesday, {"08:00:00", "09:00:00"});
    run();
    EXPECT_EQ(day(num(1), kWednesday),
              (QVariantList{"08:25:00", kMissing, kMissing, kMissing, 0, 0, 180, 0.0}));
    EXPECT_EQ(day(num(2), kWednesday),
              (QVariantList{"08:00:00", "09:00:00", kMissing, kMissing, 0, 150, 0, 1.0}));
}

TEST_F(FrmkqzlTest, WritesRowsOnlyForKnownEmployeesWithPunches)
{
    twoPeriods();
    addPerson(num(1), "甲", "一部");
    addPerson(num(2), "乙", "二部");
    exec("update people set 职务='组长' where 卡号=?", {num(1)});
    punches(num(1), kWednesday, {"08:25:00", "11:35:00"});
    punches(num(2), "2026-12-10", {"08:25:00", "11:35:00"});
    punch(num(2), "2026-12-11", "00:00:00");   // reads as no punch
    punches("99999999", kWednesday, {"08:25:00", "11:35:00"});
    punch(num(1), "2026-11-30", "08:25:00");   // outside the range
    Frmkqzl* w = run();

    EXPECT_EQ(status(w), QStringLiteral("数据整理完毕！"));
    EXPECT_TRUE(w->CmdStart->isEnabled());
    EXPECT_TRUE(w->Prg->isHidden());
    EXPECT_EQ(w->Prg->maximum(), 3);
    EXPECT_EQ(w->Prg->value(), 2);   // the unknown number does not move it
    EXPECT_EQ(rows("select 卡号, 日期, 姓名, 部门, 职务 from datakq order by 卡号, 日期"),
              (QList<QVariantList>{{num(1), kWednesday, "甲", "一部", "组长"}, {num(2), "2026-12-10", "乙", "二部", QVariant()}}));
}

TEST_F(FrmkqzlTest, ARerunUpdatesInPlaceAndKeepsNamesAndOtherRows)
{
    twoPeriods();
    addPerson(num(1), "甲", "一部");
    punches(num(1), kWednesday, {"08:40:00", "11:35:00", "13:25:00", "17:35:00"});
    exec("insert into datakq (姓名, 卡号, 日期, 时间1, 迟到) values ('旧', ?, '2026-12-02', '09:00:00', 30)", {num(1)});
    run();
    const QVariantList first = day(num(1), kWednesday);

    exec("update people set 姓名='改名' where 卡号=?", {num(1)});
    exec("delete from data where 时间='08:40:00'");
    punch(num(1), kWednesday, "08:20:00");
    run();
    EXPECT_EQ(datakqRows(), 2);
    EXPECT_EQ(value("select 姓名 from datakq where 日期=?", {kWednesday}).toString(), "甲");
    EXPECT_EQ(day(num(1), kWednesday)[0].toString(), "08:20:00");
    EXPECT_EQ(day(num(1), kWednesday)[4].toInt(), 0);
    EXPECT_NE(first[4].toInt(), 0);
    // a day without punches any more is left as it was
    EXPECT_EQ(rows("select 姓名, 时间1, 迟到 from datakq where 日期='2026-12-02'"),
              (QList<QVariantList>{{"旧", "09:00:00", 30}}));
}

TEST_F(FrmkqzlTest, RefusesToRunWithoutWhatItNeeds)
{
    struct Case {
        const char* what;
        bool rules;
        QString punchDay;
        QString status;
        bool printRowsKept;
    };
    const QList<Case> cases = {
        {"no working times", false, kWednesday, "请先设置上下班时间！", true},
        {"no punch at all", true, QString(), "原始记录中没有可用的卡号！", false},
        {"no punch in the range", true, "2026-11-30", "没有数据可整理", false},
    };
    addPerson(num(1), "甲", "一部");
    for (const Case& c : cases) {
        exec("delete from owt");
        exec("delete from data");
        exec("delete from datakqpt");
        if (c.rules)
            twoPeriods();
        if (!c.punchDay.isEmpty())
            punch(num(1), c.punchDay, "08:25:00");
        exec("insert into datakqpt (卡号, 日期) values (?, ?)", {num(1), kWednesday});
        Frmkqzl* w = run();
        EXPECT_EQ(status(w), c.status) << c.what;
        EXPECT_TRUE(w->CmdStart->isEnabled()) << c.what;
        EXPECT_EQ(value("select count(*) from datakqpt").toInt(), c.printRowsKept ? 1 : 0) << c.what;
        EXPECT_EQ(datakqRows(), 0) << c.what;
        EXPECT_TRUE(scripted.messages.isEmpty()) << c.what;
        ui::forms::unload<Frmkqzl>();
    }
}

TEST_F(FrmkqzlTest, AnErrorStopsTheRunAndKeepsWhatWasStored)
{
    twoPeriods();
    addPerson(num(1), "甲", "一部");
    addPerson(num(2), "乙", "一部");
    addPerson(num(3), "丙", "一部");
    punches(num(1), kWednesday, {"08:25:00", "11:35:00"});
    // the employee's day before the broken one is stored all the same
    punches(num(2), kWednesday, {"08:25:00", "11:35:00"});
    punch(num(2), "2026-12-1x", "08:25:00");   // no date
    punches(num(3), kWednesday, {"08:25:00", "11:35:00"});
    exec("insert into datakqpt (卡号, 日期) values (?, '2026-11-30')", {num(1)});
    Frmkqzl* w = run();
    ASSERT_EQ(scripted.messages.size(), 1);
    EXPECT_EQ(scripted.messages[0].text, "13:类型不匹配");
    EXPECT_EQ(scripted.messages[0].title, "错误提示");
    EXPECT_EQ(scripted.messages[0].style, ui::mb::OKOnly);
    EXPECT_TRUE(w->CmdStart->isEnabled());
    EXPECT_EQ(status(w), QString());   // no longer "under way"
    EXPECT_FALSE(w->Prg->isHidden());   // left where the error stopped it
    EXPECT_EQ(w->Prg->value(), 1);
    EXPECT_EQ(rows("select 卡号, 日期 from datakq order by 卡号"),
              (QList<QVariantList>{{num(1), kWednesday}, {num(2), kWednesday}}));
    EXPECT_EQ(value("select count(*) from datakqpt").toInt(), 1);   // outside the range

    // working times the window cannot read stop the run before anything changes
    exec("update owt set MaxHour=NULL");
    scripted.clearMessages();
    run();
    EXPECT_EQ(scripted.lastMessage(), "94:无效使用 Null");
}

TEST_F(FrmkqzlTest, AFullDiskEndsTheRunAndItsStatusLine)
{
    twoPeriods();
    exec("BEGIN");
    for (int p = 1; p <= 300; ++p) {
        addPerson(num(p), "甲", "一部");
        for (int d = 1; d <= 10; ++d)
            punches(num(p), QStringLiteral("2026-12-%1").arg(d, 2, 10, QLatin1Char('0')), {"08:25:00", "17:35:00"});
    }
    exec("COMMIT");
    // The database on a disk with 16 KB to spare.
    const QString small = folder() + "small";
    ASSERT_TRUE(QDir().mkpath(small));
    const qint64 pages = QFileInfo(folder() + "door.mdb").size() / 4096 + 5;
    const TestMount disk = TestMount::tmpfs(small, QStringLiteral("%1k").arg(pages * 4));
    if (!disk.ok())
        GTEST_SKIP() << disk.why().toStdString();
    ASSERT_TRUE(QFile::copy(folder() + "door.mdb", small + "/door.mdb"));
    mdl::DatabasePathInUse = small + "/door.mdb";

    Frmkqzl* w = run();
    ASSERT_EQ(scripted.messages.size(), 1);
    EXPECT_TRUE(scripted.messages[0].text.startsWith("3000:数据库错误：磁盘空间已满，数据未能写入"))
        << scripted.messages[0].text.toStdString();
    EXPECT_EQ(status(w), QString());
    EXPECT_TRUE(w->CmdStart->isEnabled());
    ui::forms::unload<Frmkqzl>();
}

TEST_F(FrmkqzlTest, OpensOnThisMonthUpToToday)
{
    auto* w = ui::forms::load<Frmkqzl>();
    EXPECT_EQ(w->DTP1->date(), QDate(2026, 12, 1));
    EXPECT_EQ(w->DTP2->date(), QDate(2026, 12, 8));
}

} // namespace

namespace {

// The selection as a chain of queries on one employee and day, each rule
// one query; the run's choice must agree with it on every day.
class FrmkqzlChainTest : public FrmkqzlTest {
protected:
    QString on1 = "08:30:00", off1 = "11:30:00", on2 = "13:30:00", off2 = "17:30:00";

    QStringList query(const QString& number, const QString& date, const QString& cond, const QVariantList& bounds,
                      bool descending = false)
    {
        QStringList out;
        const QString sql = QStringLiteral("select 时间 from data where 卡号=? and 日期=? %1 order by 时间%2")
                                .arg(cond, descending ? QStringLiteral(" desc") : QString());
        for (const QVariantList& r : rows(sql, QVariantList{number, date} + bounds))
            out << r[0].toString();
        return out;
    }
    QStringList chain(const QString& n, const QString& d)
    {
        QString t1 = kMissing, t2 = kMissing, t3 = kMissing, t4 = kMissing;
        const QStringList p = query(n, d, "and 时间<=?", {on2});
        if (!p.isEmpty() && p[0] < on2) {
            const QString f = p[0];
            t1 = f;
            const QStringList q = query(n, d, "and 时间>? and 时间<? and 时间<>?", {on1, on2, f});
            if (q.size() == 1) {
                t2 = q[0];
            } else if (q.size() >= 2) {
                const QStringList r = query(n, d, "and 时间>? and 时间<? and 时间<>?", {off1, on2, f});
                if (r.isEmpty()) {
                    t2 = q.last();
                } else if (r.size() >= 2) {
                    t2 = r[0];
                } else {
                    const QStringList s = query(n, d, "and 时间>=? and 时间<?", {on2, off2});
                    const int t = punches::secondsOfDay(r[0]);
                    const bool first = !s.isEmpty() && std::abs(t - punches::secondsOfDay(off1))
                                                           <= std::abs(punches::secondsOfDay(on2) - t);
                    t2 = first ? r[0] : q[q.size() - 2];
                }
            }
        }
        const QStringList u = query(n, d, "and 时间>? and 时间<>?", {off1, t2});
        if (!u.isEmpty()) {
            const QString g = u[0];
            if (g <= on2) {
                t3 = g;
                const QStringList v = query(n, d, "and 时间>?", {on2}, true);
                if (!v.isEmpty())
                    t4 = v[0];
            } else if (g < off2) {
                t3 = g;
                if (u.last() != g)
                    t4 = u.last();
            } else {
                t4 = g;
            }
        }
        return {t1, t2, t3, t4};
    }
};

TEST_F(FrmkqzlChainTest, AgreesWithTheQueriesOnManyDays)
{
    twoPeriods();
    // Times at, just around and between the bounds, so every comparison is met from both sides.
    const QStringList times = {"07:59:59", "08:30:00", "08:30:01", "09:10:00", "11:29:59", "11:30:00", "11:30:01",
                               "12:00:00", "12:30:00", "12:30:01", "13:00:00", "13:29:59", "13:30:00", "13:30:01",
                               "15:00:00", "17:29:59", "17:30:00", "17:30:01", "19:00:00"};
    uint32_t seed = 12345;
    auto next = [&](int n) {
        seed = seed * 1103515245u + 12345u;
        return int((seed >> 16) % uint32_t(n));
    };
    const int employees = 200;
    exec("begin");
    for (int e = 0; e < employees; ++e) {
        addPerson(num(e), "员工", "一部");
        const int count = 1 + next(6);
        for (int i = 0; i < count; ++i)
            punch(num(e), kWednesday, times[next(int(times.size()))]);
    }
    exec("commit");
    run();
    int compared = 0;
    for (int e = 0; e < employees; ++e) {
        const QStringList want = chain(num(e), kWednesday);
        const QVariantList got = day(num(e), kWednesday);
        if (want == QStringList(4, kMissing)) {
            EXPECT_TRUE(got.isEmpty()) << num(e).toStdString();
            continue;
        }
        ASSERT_FALSE(got.isEmpty()) << num(e).toStdString();
        const QStringList gotSlots{got[0].toString(), got[1].toString(), got[2].toString(), got[3].toString()};
        EXPECT_EQ(gotSlots, want) << "employee " << num(e).toStdString() << ": "
                                  << query(num(e), kWednesday, "", {}).join(' ').toStdString();
        ++compared;
    }
    EXPECT_GT(compared, employees * 9 / 10);
}

} // namespace
