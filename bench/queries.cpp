// bench_queries: the punch and attendance queries on a large database, on the
// real clock, through the windows' own handlers.
//   - 1,000,000 punch records of 1,000 employees (a year of four punches a
//     working day): a punch query for one employee and one month fills the
//     grid (goal: under 0.3 s), and the whole search with the rebuild of the
//     print table dataPT from the full join completes (goal: under 3 s);
//   - 93,000 attendance rows (three months), a query over one month of
//     31,000 rows with its copy into datakqPT (goal: under 1 s).
// usage: bench_queries [--runs N]
// Exit code 0 when every goal is met, 3 when one is missed, 1 when a query
// failed or returned the wrong rows.
#include "BenchSupport.h"
#include "Frmkq.h"
#include "Frmque.h"
#include "Globals.h"
#include "db/Db.h"
#include "runtime/RuntimeError.h"
#include "ui/Form.h"
#include "ui/ProgramFolder.h"
#include "ui/ScriptedUi.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QLineEdit>
#include <QTableView>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

constexpr double kGoalGridS = 0.3;
constexpr double kGoalPunchSearchS = 3.0;
constexpr double kGoalAttendanceS = 1.0;
constexpr int kEmployees = 1000;
constexpr int kPunches = 1000000;

using Clock = std::chrono::steady_clock;
double since(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Employees "00000001".., punches from 2026-01-01 on, one day after another
// (four a day, 07:xx, 10:xx, 13:xx, 16:xx), addresses 1 to 8, flags 1 to 4;
// attendance rows for October to December 2026.
void seed(db::Database& dao)
{
    dao.beginTrans();
    dao.execute(QStringLiteral(
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i < ?) "
        "INSERT INTO people (卡号,姓名,部门,职务) SELECT printf('%08d', i), '员工' || i, '部门' || (i % 20), '职员' FROM n"),
        {kEmployees});
    dao.execute(QStringLiteral(
        "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i+1 FROM n WHERE i < ?) "
        "INSERT INTO data (地址,卡号,日期,时间,flag,flagIO) "
        "SELECT 1 + i % 8, printf('%08d', 1 + i % ?), date('2026-01-01', '+' || (i / (4 * ?)) || ' days'), "
        "printf('%02d:%02d:%02d', 7 + 3 * ((i / ?) % 4), i % 60, (i / 7) % 60), 1 + (i / ?) % 4, '锁1进' FROM n"),
        {kPunches - 1, kEmployees, kEmployees, kEmployees, kEmployees});
    dao.execute(QStringLiteral(
        "WITH RECURSIVE d(k) AS (SELECT 0 UNION ALL SELECT k+1 FROM d WHERE k < 91), "
        "e(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM e WHERE i < ?) "
        "INSERT INTO datakq (卡号,姓名,部门,职务,日期,时间1,时间2,时间3,时间4,旷工,上班,迟到,早退) "
        "SELECT printf('%08d', i), '员工' || i, '部门' || (i % 20), '职员', date('2026-10-01', '+' || k || ' days'), "
        "'08:01:00', '12:00:00', '13:30:00', '17:30:00', 0, 7.5, i % 3, 0 FROM d, e"),
        {kEmployees});
    dao.commitTrans();
}

int gridRows(QTableView* grid) { return grid->model()->rowCount(); }

} // namespace

int main(int argc, char** argv)
{
    bench::headlessWhenNoDisplay();
    QApplication app(argc, argv);
    int runs = 5;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--runs") && i + 1 < args.size()) {
            runs = std::max(1, args[++i].toInt());
        } else {
            std::fprintf(stderr, "usage: bench_queries [--runs N]\n");
            return 2;
        }
    }

    // A program folder with the shipped database; message boxes are recorded, not shown.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("door.mdb"));
    if (!QFile::copy(QCoreApplication::applicationDirPath() + QStringLiteral("/door.mdb"), path)) {
        std::fprintf(stderr, "bench_queries: no door.mdb next to the program\n");
        return 1;
    }
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    ui::setProgramFolder(dir.path());
    ui::ScriptedUi scripted;
    scripted.useRealClock(true);
    try {
        mdl::AdoConnection.setProvider(db::Connection::kProvider);
        mdl::AdoConnection.setConnectionString(QStringLiteral("Data Source=") + path);
        mdl::AdoConnection.setCommandTimeout(180);
        mdl::AdoConnection.open();
        mdl::DaoDatabase = db::Database::open(path);
        const auto t0 = Clock::now();
        seed(mdl::DaoDatabase);
        std::printf("bench_queries: seeded %d punches of %d employees and %d attendance rows in %.1f s; %d runs each\n",
                    kPunches, kEmployees, 92 * kEmployees, since(t0), runs);
    } catch (const rt::Error& e) {
        std::fprintf(stderr, "bench_queries: %s\n", qPrintable(e.text()));
        return 1;
    }

    bool wrong = false;
    std::vector<double> grid, search, fill, attendance;

    // Punch query: employee 500, March 2026 (31 days of four punches: 124 rows).
    Frmque* que = ui::forms::load<Frmque>();
    que->TxtCardID->setText(QStringLiteral("00000500"));
    que->ChkDate->setChecked(true);
    que->t1s->setDate(QDate(2026, 3, 1));
    que->t1e->setDate(QDate(2026, 3, 31));
    que->Corder->setCurrentIndex(0);
    Clock::time_point started;
    double bound = 0;
    QObject::connect(que->DGshow->model(), &QAbstractItemModel::modelReset, [&] { bound = since(started); });
    for (int r = 0; r < runs; ++r) {
        started = Clock::now();
        que->CmdSearch_Click();
        search.push_back(since(started));
        grid.push_back(bound);
        const auto f0 = Clock::now();
        que->FillDataPT();
        fill.push_back(since(f0));
    }
    const int punchRows = gridRows(que->DGshow);
    const long long ptRows = mdl::AdoConnection.execute(QStringLiteral("select count(*) from dataPT")).value(0).toLongLong();
    const QString queStatus = que->panelText();
    if (punchRows <= 0 || ptRows != kPunches || !queStatus.contains(QString::number(punchRows)))
        wrong = true;

    // Attendance query: December 2026, 31 days of 1,000 employees.
    Frmkq* kq = ui::forms::load<Frmkq>();
    kq->ChkDate->setChecked(true);
    kq->t1s->setDate(QDate(2026, 12, 1));
    kq->t1e->setDate(QDate(2026, 12, 31));
    kq->Corder->setCurrentIndex(0);
    for (int r = 0; r < runs; ++r) {
        const auto t0 = Clock::now();
        kq->CmdSearch_Click();
        attendance.push_back(since(t0));
    }
    const int kqRows = gridRows(kq->DGshow);
    const long long kqPt = mdl::AdoConnection.execute(QStringLiteral("select count(*) from datakqPT")).value(0).toLongLong();
    if (kqRows != 31 * kEmployees || kqPt != kqRows)
        wrong = true;
    for (const ui::ShownMessage& m : scripted.messages) {
        std::printf("  message box: %s\n", qPrintable(m.text));
        wrong = true;
    }

    const double g = median(grid), s = median(search), a = median(attendance);
    auto verdict = [](bool met) { return met ? "met" : "MISSED"; };
    std::printf("\n== punch query (data: %d rows; employee 00000500, 2026-03-01..2026-03-31, sort 1 按日期) ==\n", kPunches);
    std::printf("  result            %d rows; status \"%s\"; dataPT %lld rows\n", punchRows, qPrintable(queStatus), ptRows);
    std::printf("  grid filled       median %.3f s (min %.3f, max %.3f)   goal < %.1f s: %s\n", g,
                *std::min_element(grid.begin(), grid.end()), *std::max_element(grid.begin(), grid.end()), kGoalGridS,
                verdict(g < kGoalGridS));
    std::printf("  whole search      median %.3f s (min %.3f, max %.3f)   goal < %.1f s: %s\n", s,
                *std::min_element(search.begin(), search.end()), *std::max_element(search.begin(), search.end()),
                kGoalPunchSearchS, verdict(s < kGoalPunchSearchS));
    std::printf("  dataPT rebuild    median %.3f s (alone)\n", median(fill));
    std::printf("\n== attendance query (datakq: %d rows; 2026-12-01..2026-12-31, sort 1 按日期) ==\n", 92 * kEmployees);
    std::printf("  result            %d rows; datakqPT %lld rows\n", kqRows, kqPt);
    std::printf("  search with copy  median %.3f s (min %.3f, max %.3f)   goal < %.1f s: %s\n", a,
                *std::min_element(attendance.begin(), attendance.end()),
                *std::max_element(attendance.begin(), attendance.end()), kGoalAttendanceS,
                verdict(a < kGoalAttendanceS));
    std::fflush(stdout);

    ui::forms::unloadAll();
    if (wrong) {
        std::printf("  WRONG RESULT\n");
        return 1;
    }
    return g < kGoalGridS && s < kGoalPunchSearchS && a < kGoalAttendanceS ? 0 : 3;
}
