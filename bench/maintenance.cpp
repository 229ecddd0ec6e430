// bench_maintenance: the database initialisation and the expired-data
// cleanup on a database of 1,000,000 punch records of 1,000 employees,
// through the windows' own handlers, on the real clock.
//   Each runs on a fresh copy of the seeded file, and the same handler on a
//   fresh copy of a file whose print-table stamp triggers were dropped, in
//   turns, in this one run: what the stamp costs is their ratio
//   (goal: at most 1.2). For reference, the same rows deleted once by a
//   plain handle with the row triggers firing.
//   - initialisation (FrmInit): every table emptied;
//   - cleanup (sjkwf2): the punches of 2026-01-01 to 2026-04-30 (480,000).
// usage: bench_maintenance [--runs N]
// Exit code 0 when the goal is met, 3 when it is missed, 1 when a run failed
// or left the wrong rows.
#include "BenchSupport.h"
#include "FrmInit.h"
#include "Globals.h"
#include "PunchSeed.h"
#include "db/Db.h"
#include "runtime/RuntimeError.h"
#include "sjkwf2.h"
#include "ui/Form.h"
#include "ui/ProgramFolder.h"
#include "ui/ScriptedUi.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <unistd.h>
#include <vector>

namespace {

constexpr double kGoalRatio = 1.2;
constexpr int kEmployees = 1000;
constexpr int kPunches = 1000000;
const QString kFirstDay = QStringLiteral("2026-01-01");
const QString kLastDay = QStringLiteral("2026-04-30");
constexpr int kCleanedPunches = 120 * 4 * kEmployees;

using bench::Clock;
using bench::median;
using bench::since;

qlonglong number(db::Database& d, const QString& sql)
{
    return d.openRecordset(sql).value(0).toLongLong();
}

// A fresh copy of source as the program's database, on the disk before
// anything is timed.
void freshCopy(const QString& source, const QString& work)
{
    for (const char* suffix : {"", "-wal", "-shm", "-journal"})
        QFile::remove(work + QLatin1String(suffix));
    if (!QFile::copy(source, work))
        rt::raise(rt::ErrFail, QStringLiteral("cannot copy ") + source);
    QFile::setPermissions(work, QFile::ReadOwner | QFile::WriteOwner);
    ::sync();
}

} // namespace

int main(int argc, char** argv)
{
    bench::headlessWhenNoDisplay();
    QApplication app(argc, argv);
    const int runs = bench::runsArgument(app.arguments(), 3, "bench_maintenance");
    if (runs < 0)
        return 2;

    QTemporaryDir dir;
    const QString stamped = dir.filePath(QStringLiteral("stamped.mdb"));
    const QString plain = dir.filePath(QStringLiteral("plain.mdb"));
    const QString work = dir.filePath(QStringLiteral("door.mdb"));
    ui::setProgramFolder(dir.path());
    ui::ScriptedUi scripted;
    scripted.useRealClock(true);
    try {
        freshCopy(QCoreApplication::applicationDirPath() + QStringLiteral("/door.mdb"), stamped);
        const auto t0 = Clock::now();
        {
            db::Database d = db::Database::open(stamped);
            d.beginTrans();
            bench::seedPunches(d, kEmployees, kPunches);
            d.commitTrans();
        }
        freshCopy(stamped, plain);
        {
            db::Database d = db::Database::open(plain);
            for (const char* table : {"data", "people", "dataPT"})
                for (const char* write : {"insert", "update", "delete"})
                    d.execute(QStringLiteral("drop trigger \"%1.%2\"").arg(QLatin1String(table), QLatin1String(write)));
        }
        ::sync();
        std::printf("bench_maintenance: seeded %d punches of %d employees in %.1f s; %d runs each\n", kPunches,
                    kEmployees, since(t0), runs);
    } catch (const rt::Error& e) {
        std::fprintf(stderr, "bench_maintenance: %s\n", qPrintable(e.text()));
        return 1;
    }

    bool wrong = false;
    mdl::CurrentUser = QStringLiteral("admin");
    auto* init = ui::forms::load<FrmInit>();
    auto* cleanup = ui::forms::load<sjkwf2>();

    // One handler on a fresh copy of source: its seconds, and the punches
    // left and whether the stamp moved on (or the file has none).
    struct Outcome {
        double seconds = 0;
        qlonglong punchesLeft = -1;
        bool stampMoved = false;
    };
    auto runOn = [&](const QString& source, const std::function<void()>& prepare, const std::function<void()>& click,
                     const QString& success) {
        Outcome o;
        try {
            freshCopy(source, work);
            mdl::DaoDatabase = db::Database::open(work);
            const bool hasStamp = number(mdl::DaoDatabase, QStringLiteral(
                                             "select count(*) from sqlite_master where name='dataPTstamp'")) > 0;
            const qlonglong before =
                hasStamp ? number(mdl::DaoDatabase, QStringLiteral("select stamp from dataPTstamp")) : 0;
            prepare();
            scripted.clearMessages();
            scripted.queueAnswer(ui::mb::Yes);
            const auto t0 = Clock::now();
            click();
            o.seconds = since(t0);
            if (scripted.lastMessage() != success) {
                std::printf("  message: %s\n", qPrintable(scripted.lastMessage()));
                wrong = true;
            }
            o.punchesLeft = number(mdl::DaoDatabase, QStringLiteral("select count(*) from data"));
            o.stampMoved = !hasStamp || number(mdl::DaoDatabase, QStringLiteral("select stamp from dataPTstamp")) == before + 1;
            mdl::DaoDatabase.close();
        } catch (const rt::Error& e) {
            std::fprintf(stderr, "bench_maintenance: %s\n", qPrintable(e.text()));
            wrong = true;
        }
        return o;
    };
    // The same rows deleted by a plain handle of their own, triggers firing.
    auto plainDelete = [&](const QStringList& statements) {
        try {
            freshCopy(stamped, work);
            db::Database d = db::Database::open(work);
            const auto t0 = Clock::now();
            d.beginTrans();
            for (const QString& sql : statements)
                d.execute(sql, sql.contains(QLatin1Char('?')) ? QVariantList{kFirstDay, kLastDay} : QVariantList{});
            d.commitTrans();
            return since(t0);
        } catch (const rt::Error& e) {
            std::fprintf(stderr, "bench_maintenance: %s\n", qPrintable(e.text()));
            wrong = true;
            return 0.0;
        }
    };

    struct Task {
        const char* name;
        std::function<void()> prepare, click;
        QString success;
        qlonglong punchesLeft;
        QStringList plainStatements;
    };
    const QList<Task> tasks = {
        {"initialisation (FrmInit)",
         [&] { init->Text1->setText(mdl::kDefaultAdminPassword); },
         [&] { init->Command1_Click(); }, QStringLiteral("初始化数据库成功！"), 0,
         {QStringLiteral("delete from data"), QStringLiteral("delete from people")}},
        {"expired-data cleanup (sjkwf2)",
         [&] {
             cleanup->Cdb->setCurrentIndex(0);
             cleanup->Cdb_Click();
             cleanup->Combo1->setCurrentIndex(cleanup->Combo1->findText(kFirstDay));
             cleanup->Combo2->setCurrentIndex(cleanup->Combo2->findText(kLastDay));
         },
         [&] { cleanup->Command1_Click(); }, QStringLiteral("删除成功！"), kPunches - kCleanedPunches,
         {QStringLiteral("delete from data where substr(日期,1,10) between ? and ?")}},
    };

    bool met = true;
    for (const Task& t : tasks) {
        std::vector<double> withStamp, withoutTriggers;
        for (int r = 0; r < runs; ++r) {
            for (const bool stampedFile : {true, false}) {
                const Outcome o = runOn(stampedFile ? stamped : plain, t.prepare, t.click, t.success);
                (stampedFile ? withStamp : withoutTriggers).push_back(o.seconds);
                if (o.punchesLeft != t.punchesLeft || !o.stampMoved) {
                    std::printf("  run %d on the %s file: %lld punches left, stamp %s\n", r,
                                stampedFile ? "stamped" : "plain", o.punchesLeft, o.stampMoved ? "moved on" : "NOT moved on");
                    wrong = true;
                }
            }
        }
        const double reference = plainDelete(t.plainStatements);
        const double ratio = median(withStamp) / median(withoutTriggers);
        met = met && ratio <= kGoalRatio;
        auto series = [](const std::vector<double>& v) {
            return QStringLiteral("median %1 s (best %2, worst %3)")
                .arg(median(v), 0, 'f', 3)
                .arg(*std::min_element(v.begin(), v.end()), 0, 'f', 3)
                .arg(*std::max_element(v.begin(), v.end()), 0, 'f', 3);
        };
        std::printf("\n== %s, %d punches ==\n", t.name, kPunches);
        std::printf("  %-44s %s\n", "stamped file (the window)", qPrintable(series(withStamp)));
        std::printf("  %-44s %s\n", "file without the stamp triggers (the window)", qPrintable(series(withoutTriggers)));
        std::printf("  %-44s %.3f   goal <= %.1f: %s\n", "ratio", ratio, kGoalRatio, ratio <= kGoalRatio ? "met" : "MISSED");
        std::printf("  %-44s %.3f s (one run, for reference)\n", "same punches, plain handle, triggers firing", reference);
    }
    std::fflush(stdout);

    ui::forms::unloadAll();
    if (wrong) {
        std::printf("  WRONG RESULT\n");
        return 1;
    }
    return met ? 0 : 3;
}
