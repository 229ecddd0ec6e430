// bench_attendance: the attendance processing run over one month of punches
// of a large site, through the window's own start button, on the real clock.
// 1,000 employees punch four times on each of the 31 days of December
// (124,000 rows in data); the run writes 31,000 rows of datakq, and a second
// run over the same month updates all of them in place.
//   goal: each run under 2 s, the second no slower than the first (10 %).
//
// usage: bench_attendance [--employees N] [--keep]
//   --keep: leaves the database in the printed folder for a look.
// Exit code 0 when every goal is met, 3 when a goal is missed, 1 when a run
// failed.
#include "BenchSupport.h"
#include "Frmkqzl.h"
#include "Globals.h"
#include "db/Db.h"
#include "runtime/Conv.h"
#include "ui/ScriptedUi.h"

#include <QApplication>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>

#include <cstdio>

namespace {

constexpr double kGoalSeconds = 2.0;
constexpr double kGoalSecondRunRatio = 1.10;
const QDate kFirstDay(2026, 12, 1);
constexpr int kDays = 31;

QString time(int minutes, int seconds)
{
    return QStringLiteral("%1:%2:%3")
        .arg(minutes / 60, 2, 10, QLatin1Char('0'))
        .arg(minutes % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds, 2, 10, QLatin1Char('0'));
}

void seed(const QString& path, int employees)
{
    db::Database d = db::Database::open(path);
    d.beginTrans();
    d.execute(QStringLiteral("insert into owt (上班时间, 下班时间, 迟到时间, 早退时间, timeb, timee, lat, let, Rest, MaxHour) "
                             "values ('08:30:00', '11:30:00', '08:35:00', '11:25:00', '13:30:00', '17:30:00', "
                             "'13:35:00', '17:25:00', 90, 8)"));
    for (int e = 0; e < employees; ++e) {
        const QString number = QStringLiteral("%1").arg(e + 1, 8, 10, QLatin1Char('0'));
        d.execute(QStringLiteral("insert into people (卡号, 姓名, 部门, 职务) values (?, ?, ?, ?)"),
                  {number, QStringLiteral("员工%1").arg(e + 1), QStringLiteral("部门%1").arg(e % 20), QStringLiteral("职员")});
        for (int day = 0; day < kDays; ++day) {
            const QString date = rt::isoDate(kFirstDay.addDays(day));
            // Punches spread around the four period bounds, some late, some early.
            const int spread = (e * 7 + day * 13) % 21 - 10;
            const int mins[4] = {8 * 60 + 30 + spread, 11 * 60 + 30 - spread / 2, 13 * 60 + 30 + spread / 3,
                                 17 * 60 + 30 - spread};
            for (int i = 0; i < 4; ++i)
                d.execute(QStringLiteral("insert into data (地址, 卡号, 日期, 时间, flagIO) values (?, ?, ?, ?, ?)"),
                          {1 + e % 4, number, date, time(mins[i], (e + day + i) % 60), QStringLiteral("锁1进")});
        }
    }
    d.commitTrans();
}

} // namespace

int main(int argc, char** argv)
{
    bench::headlessWhenNoDisplay();
    QApplication app(argc, argv);

    int employees = 1000;
    bool keep = false;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--employees") && i + 1 < args.size()) {
            employees = args[++i].toInt();
        } else if (args[i] == QLatin1String("--keep")) {
            keep = true;
        } else {
            std::fprintf(stderr, "usage: bench_attendance [--employees N] [--keep]\n");
            return 2;
        }
    }
    if (employees < 1) {
        std::fprintf(stderr, "bench_attendance: employees >= 1\n");
        return 2;
    }

    // Message boxes are recorded, not shown; the clock is the real one.
    ui::ScriptedUi scripted;
    scripted.useRealClock(true);

    QTemporaryDir dir;
    dir.setAutoRemove(!keep);
    const QString path = dir.path() + QStringLiteral("/door.mdb");
    if (!QFile::copy(QStringLiteral(SHIPPED_DB), path)) {
        std::fprintf(stderr, "bench_attendance: cannot copy %s\n", SHIPPED_DB);
        return 1;
    }
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    mdl::DatabasePathInUse = path;

    QElapsedTimer clock;
    clock.start();
    seed(path, employees);
    std::printf("seeded %d employees x %d days x 4 punches = %d rows in data (%.2f s)\n", employees, kDays,
                employees * kDays * 4, clock.elapsed() / 1000.0);

    auto* w = ui::forms::load<Frmkqzl>();
    w->DTP1->setDate(kFirstDay);
    w->DTP2->setDate(kFirstDay.addDays(kDays - 1));
    db::Database check = db::Database::open(path);
    const int expected = employees * kDays;

    double seconds[2] = {0, 0};
    for (int run = 0; run < 2; ++run) {
        clock.restart();
        w->CmdStart_Click();
        seconds[run] = clock.nsecsElapsed() / 1e9;
        const int rows = check.openRecordset(QStringLiteral("select count(*) from datakq")).value(0).toInt();
        std::printf("run %d (%s): %.3f s, %d rows in datakq, status \"%s\"\n", run + 1,
                    run ? "all rows updated in place" : "all rows new", seconds[run], rows,
                    qPrintable(w->Panels[0]->text()));
        if (!scripted.messages.isEmpty() || rows != expected) {
            std::fprintf(stderr, "bench_attendance: the run failed: %s\n", qPrintable(scripted.lastMessage()));
            return 1;
        }
    }
    if (keep)
        std::printf("database kept in %s\n", qPrintable(path));

    bool met = true;
    for (int run = 0; run < 2; ++run)
        if (seconds[run] >= kGoalSeconds) {
            std::printf("goal missed: run %d took %.3f s (goal under %.1f s)\n", run + 1, seconds[run], kGoalSeconds);
            met = false;
        }
    if (seconds[1] > seconds[0] * kGoalSecondRunRatio) {
        std::printf("goal missed: the second run is slower (%.3f s after %.3f s)\n", seconds[1], seconds[0]);
        met = false;
    }
    std::printf("%s\n", met ? "all goals met" : "goals missed");
    ui::forms::unloadAll();
    return met ? 0 : 3;
}
