// bench_gather: what the punch-collection window costs beyond the line.
//
// A program folder with the shipped database, table data holding 1,000,000
// punches and dfaka 10,000 credentials; a virtual controller holding 30,000
// punch records (mostly issued cards, some unknown cards, some passwords).
//   1. The library collects the records into a file over a fast simulated
//      line: that file is what the window reads.
//   2. Line time: the library collects a sample of the same records from a
//      second controller whose line runs at the real speed (19200 baud, 11
//      bit times a character), with the arguments the window passes, on the
//      real clock; scaled to all records (--line-records N measures more,
//      up to all of them).
//   3. Processing: FrmGatherData's own collection handler, with a controller
//      object whose GatherData hands over the file of step 1 at once, so the
//      handler's time is its own: reading the file, the dfaka mapping, the
//      duplicate check, the inserts, the grid (and painting it). Run twice:
//      the second run finds every record stored already.
// Goals: the first run under 1 s, the second run stores nothing and costs no
// more than the first (10 % allowance for timer noise). Figures are given as
// shares of the line time measured in the same run.
//
// usage: bench_gather [--records N] [--line-records N] [--cards N] [--data N]
// Exit code 0 when every goal is met, 3 when one is missed, 1 when the
// collection itself failed.
#include "BenchSite.h"
#include "BenchSupport.h"
#include "FrmGatherData.h"
#include "Globals.h"
#include "Line.h"

#include "com/Com.h"
#include "db/Db.h"
#include "runtime/RuntimeError.h"
#include "serial/SerialPort.h"
#include "ui/Ui.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <cstdio>
#include <sys/resource.h>

namespace {

constexpr int kCollected = 1;   // controller of the file the window reads
constexpr int kTimed = 2;       // controller of the line-time sample
constexpr int kPasswords = 500; // the last credentials of dfaka are passwords

struct Options {
    int records = 30000;
    int lineRecords = 1500;
    int cards = 10000;
    int data = 1000000;
};

double seconds(std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point b)
{
    return std::chrono::duration<double>(b - a).count();
}

// CPU time of this process (user + system): what the run costs on a machine
// that other work keeps busy.
double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec) + double(u.ru_utime.tv_usec) / 1e6 + double(u.ru_stime.tv_sec)
        + double(u.ru_stime.tv_usec) / 1e6;
}

// Punch i of the controller: most by issued cards, every 20th a password,
// every 20th (offset 1) by a card nobody was issued.
sim::PunchRecord punch(int i, const Options& opt)
{
    sim::PunchRecord p;
    const int regular = opt.cards - kPasswords;
    if (i % 20 == 0) {
        p.card = uint32_t(300000 + regular + (i / 20) % kPasswords);
        p.openType = 0x0B;
    } else if (i % 20 == 1) {
        p.card = uint32_t(5000000 + i);
    } else {
        p.card = uint32_t(1000000 + i % regular);
    }
    p.time = QDateTime(QDate(2026, 12, 1), QTime(6, 0)).addSecs(7LL * i);
    p.code = uint8_t(i % 4);
    return p;
}

int knownPunches(const Options& opt)
{
    int n = 0;
    for (int i = 0; i < opt.records; ++i)
        n += i % 20 != 1;
    return n;
}

// Hands the window a finished file, as GatherData does after the line.
class ReplayDoor : public com::DispatchObject {
public:
    ReplayDoor(QString source, int32_t lines)
        : source_(std::move(source)), lines_(lines)
    {
        using com::VType;
        addMethod(QStringLiteral("SetPort"), {com::refArg(QStringLiteral("PortNum"), VType::Integer)},
                  [](com::Args&) { return com::Variant(true); });
        addMethod(QStringLiteral("DestoryPort"), {}, [](com::Args&) { return com::Variant(true); });
        addMethod(QStringLiteral("GatherData"),
                  {com::arg(QStringLiteral("varAddr"), VType::Integer), com::arg(QStringLiteral("VarFilePath"), VType::String),
                   com::arg(QStringLiteral("VarFileName"), VType::String),
                   com::refArg(QStringLiteral("VarDescription"), VType::String),
                   com::refArg(QStringLiteral("BackRecordSum"), VType::Long),
                   com::optArg(QStringLiteral("SleepDate"), VType::Long, int32_t(2)),
                   com::optArg(QStringLiteral("phStrCardFlg"), VType::Boolean, true),
                   com::optArg(QStringLiteral("IsFullYear"), VType::Boolean, false)},
                  [this](com::Args& a) {
                      const QString target = a[1].toString() + QLatin1Char('/') + a[2].toString();
                      QFile::remove(target);
                      if (!QFile::copy(source_, target))
                          return com::Variant(false);
                      a[4] = lines_;
                      return com::Variant(true);
                  });
    }

private:
    QString source_;
    int32_t lines_;
};

struct Site {
    QTemporaryDir dir;
    QString folder;
};

bool prepareSite(Site& site)
{
    if (!site.dir.isValid())
        return false;
    site.folder = site.dir.path() + QLatin1Char('/');
    return QDir().mkpath(site.folder + QStringLiteral("basedata")) && bench::prepareProgramFolder(site.dir.path());
}

void seed(const Options& opt)
{
    db::Database& db = mdl::DaoDatabase;
    db.execute(QStringLiteral("INSERT INTO doors (地址, namedr1) VALUES (?, '前门'), (?, '后门')"), {kCollected, kTimed});
    const int regular = opt.cards - kPasswords;
    db.execute(QStringLiteral(
                   "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i + 1 < ?) "
                   "INSERT INTO dfaka (地址, 卡号, 物理卡号, 姓名, 部门, 周控制, 锁1允许, 锁2允许, 时间控制, 截止日期控制, "
                   "周标志, 截止日期, 锁1时间段标志, 锁2时间段标志, 发卡日期, 密码标志) "
                   "SELECT ?, printf('%08d', i + 1), printf('%010d', CASE WHEN i < ? THEN 1000000 + i ELSE 300000 + i END), "
                   "'员工' || i, '生产部', 0, 1, 1, 0, 0, '1111111', '991231', '0000000000000001', '0000000000000001', "
                   "'2026-01-05', i >= ? FROM n"),
               {opt.cards, kCollected, regular, regular});
    db.execute(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i + 1 < ?) "
                              "INSERT INTO data (地址, 卡号, 日期, 时间, flagIO) "
                              "SELECT ?, printf('%08d', i % ? + 1), date('2024-01-01', '+' || (i / 5000) || ' days'), "
                              "printf('%02d:%02d:%02d', 6 + (i / 3600) % 14, (i / 60) % 60, i % 60), '锁1进' FROM n"),
               {opt.data, kCollected, opt.cards});
}

long long dataRows()
{
    return mdl::DaoDatabase.openRecordset(QStringLiteral("SELECT COUNT(*) FROM data")).value(0).toLongLong();
}


struct Gathered {
    bool ok = false;
    int32_t lines = 0;
    double wall = 0;
};

Gathered gather(int address, const QString& folder, const QString& name, int32_t interval)
{
    Gathered g;
    com::Args port{int16_t(1)};
    if (!mdl::Door.call(QStringLiteral("setport"), port).toBool())
        return g;
    // As the window asks: wait per block, decimal card, full year.
    com::Args a{int16_t(address), folder, name, QString(), int32_t(0), int32_t(5), true, true, int32_t(-1), interval};
    const auto t0 = std::chrono::steady_clock::now();
    g.ok = mdl::Door.call(QStringLiteral("GatherData"), a).toBool();
    g.wall = seconds(t0, std::chrono::steady_clock::now());
    g.lines = a[4].toLong();
    mdl::Door.call(QStringLiteral("DestoryPort"));
    return g;
}

struct Processed {
    double wall = 0, cpu = 0;
    long long stored = 0;
    QString labtext, errors;
};

Processed runWindow(FrmGatherData* w)
{
    Processed p;
    const long long before = dataRows();
    const double c0 = cpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    w->ReadCommand_Click();
    QCoreApplication::processEvents();   // the grid painted
    p.wall = seconds(t0, std::chrono::steady_clock::now());
    p.cpu = cpuSeconds() - c0;
    p.stored = dataRows() - before;
    p.labtext = w->labtext->text();
    p.errors = w->txtErrCount->text();
    return p;
}

int parse(const QStringList& args, Options& opt)
{
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        const bool hasValue = i + 1 < args.size();
        int* target = nullptr;
        if (a == QLatin1String("--records"))
            target = &opt.records;
        else if (a == QLatin1String("--line-records"))
            target = &opt.lineRecords;
        else if (a == QLatin1String("--cards"))
            target = &opt.cards;
        else if (a == QLatin1String("--data"))
            target = &opt.data;
        if (!target || !hasValue) {
            std::fprintf(stderr, "usage: bench_gather [--records N] [--line-records N] [--cards N] [--data N]\n");
            return 2;
        }
        *target = args[++i].toInt();
    }
    if (opt.records < 1 || opt.records > 32767 || opt.lineRecords < 15 || opt.cards <= kPasswords || opt.data < 0) {
        std::fprintf(stderr, "bench_gather: records 1..32767, line-records >= 15, cards > %d, data >= 0\n", kPasswords);
        return 2;
    }
    opt.lineRecords = std::min(opt.lineRecords, opt.records);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    bench::headlessWhenNoDisplay();
    QApplication app(argc, argv);
    Options opt;
    if (const int rc = parse(app.arguments(), opt))
        return rc;

    bench::BoxCloser closer;

    Site site;
    if (!prepareSite(site))
        return 1;
    std::printf("bench_gather: %d punch records; data %d rows, dfaka %d credentials\n", opt.records, opt.data, opt.cards);
    std::fflush(stdout);
    const auto s0 = std::chrono::steady_clock::now();
    try {
        seed(opt);
    } catch (const rt::Error& e) {
        std::fprintf(stderr, "bench_gather: seeding failed: %s\n", qPrintable(e.text()));
        return 1;
    }
    std::printf("  seeded in %.1f s\n", seconds(s0, std::chrono::steady_clock::now()));

    sim::Line line;
    sim::Controller& collected = line.add(kCollected);
    for (int i = 0; i < opt.records; ++i)
        collected.addPunch(punch(i, opt));
    sim::Controller& timed = line.add(kTimed);
    for (int i = 0; i < opt.lineRecords; ++i)
        timed.addPunch(punch(i, opt));
    line.registerAs(QStringLiteral("bench_gather"));
    if (!sim::mapPort(site.dir.path(), 1, QStringLiteral("inproc:bench_gather")))
        return 1;
    mdl::Door = com::CreateObject(QStringLiteral("Vantrel.Door8096"));
    mdl::PortNumber = 1;
    mdl::CommandDelay = 0;
    mdl::MachineVersion = QStringLiteral("JQ8096 V5.1.0");

    // 1. The file the window reads, collected over a fast line.
    const QString basedata = site.folder + QStringLiteral("basedata");
    line.setLineSpeed(false);
    const Gathered file = gather(kCollected, basedata, QStringLiteral("source.txt"), 0);
    if (!file.ok || file.lines != opt.records) {
        std::fprintf(stderr, "bench_gather: the library collected %d of %d records\n", file.lines, opt.records);
        return 1;
    }

    // 2. Line time at the real speed.
    line.setLineSpeed(true);
    const Gathered sample = gather(kTimed, basedata, QStringLiteral("sample.txt"), 100);
    if (!sample.ok || sample.lines != opt.lineRecords) {
        std::fprintf(stderr, "bench_gather: the line sample collected %d of %d records\n", sample.lines, opt.lineRecords);
        return 1;
    }
    const double lineTime = sample.wall * opt.records / opt.lineRecords;

    // 3. The window's processing of the collected file.
    mdl::Door = com::Dispatch(new ReplayDoor(basedata + QStringLiteral("/source.txt"), opt.records), false);
    auto* w = ui::forms::load<FrmGatherData>();
    w->cText->setCurrentIndex(w->cText->findText(QString::number(kCollected)));
    w->show();
    QCoreApplication::processEvents();
    const Processed first = runWindow(w);
    const Processed second = runWindow(w);
    ui::forms::unloadAll();

    const int known = knownPunches(opt);
    const double goalFirst = 1.0;
    const bool firstMet = first.wall < goalFirst;
    const bool secondMet = second.wall <= first.wall * 1.10 + 0.02;
    const bool stored = first.stored == known && second.stored == 0 && closer.boxes.isEmpty();

    std::printf("\n  line time        %d records at 19200 baud measured: %8.3f s (%.2f ms a record)\n", opt.lineRecords,
                sample.wall, sample.wall * 1000.0 / opt.lineRecords);
    std::printf("                   for all %d records%s:        %8.3f s\n", opt.records,
                opt.lineRecords == opt.records ? "" : " (scaled)", lineTime);
    std::printf("  first run        %8.3f s = %6.3f %% of the line time (CPU %.3f s)   stored %lld of %d known punches"
                "   goal < %.0f s: %s\n",
                first.wall, first.wall / lineTime * 100.0, first.cpu, first.stored, known, goalFirst,
                firstMet ? "met" : "MISSED");
    std::printf("  second run       %8.3f s = %6.3f %% of the line time (CPU %.3f s)   stored %lld"
                "   goal <= first: %s\n",
                second.wall, second.wall / lineTime * 100.0, second.cpu, second.stored, secondMet ? "met" : "MISSED");
    std::printf("  window text      \"%s\", 错误条数 %s\n", qPrintable(first.labtext), qPrintable(first.errors));
    for (const QString& b : closer.boxes)
        std::printf("  message box: %s\n", qPrintable(b));
    std::fflush(stdout);
    if (!stored)
        return 1;
    return firstMet && secondMet ? 0 : 3;
}
