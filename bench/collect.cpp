// bench_collect: collects punch records from a virtual controller whose line
// runs at the real speed (19200 baud, 11 bit times a character), through the
// object created by ProgID "Vantrel.Door8096" and called by member name, on
// the real clock with the desktop services and a Qt application whose events
// the library pumps while it waits. It compares
//   - the wall time of GatherData with what the line and the fixed pauses
//     need (goal: at most 2 % more), and
//   - the CPU time of this process (user + system) with the wall time
//     (goal: under 2 %: waiting must block, not spin), and
//   - the largest gap between two events of a caller's 10 ms timer during
//     the collection, the window's responsiveness while it waits (goal: at
//     most 30 ms). That is measured in a collection of its own: the timer's
//     own wake-ups would count in the CPU time above.
//
// usage: bench_collect [--line inproc|socket|both] [--records N] [--interval MS]
//   inproc: the simulated line inside this process (its CPU time counts here);
//   socket: the doorsim program serving the line on a local socket, as a
//           separate process like a real device (default: both, one after the other).
// Exit code 0 when every goal is met, 3 when a goal is missed, 1 when the
// collection itself failed.
#include "BenchSupport.h"
#include "CountingLine.h"
#include "Line.h"

#include "com/Com.h"
#include "serial/SerialPort.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <cstdio>
#include <dlfcn.h>
#include <sys/resource.h>

namespace {

constexpr int kAddress = 1;
constexpr double kBitsPerChar = 11.0;
constexpr double kBaud = 19200.0;
constexpr double kGoalOverheadPct = 2.0;
constexpr double kGoalCpuPct = 2.0;
constexpr int kCallerTimerMs = 10;
constexpr int64_t kGoalGapMs = 30;

// Byte counts of the exchanges GatherData runs (without retries).
constexpr int kAddressByte = 1;
constexpr int kCountFrame = 3, kCountReply = 131;
constexpr int kBlockFrame = 5, kBlockReply = 240;
constexpr int kPauseAfterCountMs = 50;
constexpr int kAddressSleepMs = 1;

struct Options {
    QStringList lines{QStringLiteral("inproc"), QStringLiteral("socket")};
    int records = 3000;
    int interval = 100;
};

sim::PunchRecord punch(int i)
{
    sim::PunchRecord p;
    p.card = uint32_t(100000 + 37 * i);
    p.time = QDateTime(QDate(2026, 3, 23), QTime(7, 0)).addSecs(17 * i);
    p.openType = i % 5 == 0 ? 0x0B : 0x0A;
    p.code = uint8_t(i % 4);
    return p;
}

// The line the management program's combination (decimal card, full year) gives.
QString expectedLine(const sim::PunchRecord& p)
{
    return QStringLiteral("%1%2%3%4%5")
        .arg(kAddress, 3, 10, QLatin1Char('0'))
        .arg(p.card & 0xFFFFFF, 10, 10, QLatin1Char('0'))
        .arg(p.time.toString(QStringLiteral("yyyyMMddHHmmss")))
        .arg(p.openType, 2, 16, QLatin1Char('0'))
        .arg(p.code, 2, 16, QLatin1Char('0'))
        .toUpper();
}

void fillController(sim::Line& line, int records)
{
    sim::Controller& c = line.add(kAddress);
    for (int i = 0; i < records; ++i)
        c.addPunch(punch(i));
    line.setLineSpeed(true);
}

double cpuSeconds(int who)
{
    rusage u{};
    getrusage(who, &u);
    return double(u.ru_utime.tv_sec) + double(u.ru_utime.tv_usec) / 1e6 + double(u.ru_stime.tv_sec)
        + double(u.ru_stime.tv_usec) / 1e6;
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

struct Site {
    QTemporaryDir dir;
    QString lib, data;
};

// The library registered from a folder of its own, as an installation has it.
bool prepareSite(Site& site)
{
    if (!site.dir.isValid())
        return false;
    qputenv("DOORSUITE_REGISTRY_DIR", QFile::encodeName(site.dir.filePath(QStringLiteral("registry"))));
    site.lib = site.dir.filePath(QStringLiteral("lib"));
    site.data = site.dir.filePath(QStringLiteral("basedata"));
    QDir().mkpath(site.lib);
    QDir().mkpath(site.data);
    const QString built = QCoreApplication::applicationDirPath() + QStringLiteral("/libVantrel.so");
    const QString copy = site.lib + QStringLiteral("/libVantrel.so");
    if (!QFile::copy(built, copy)) {
        std::fprintf(stderr, "bench_collect: cannot copy %s\n", qPrintable(built));
        return false;
    }
    void* h = dlopen(QFile::encodeName(copy).constData(), RTLD_NOW);
    if (!h) {
        std::fprintf(stderr, "bench_collect: %s\n", dlerror());
        return false;
    }
    auto reg = reinterpret_cast<com::DllRegisterServerFn>(dlsym(h, "DllRegisterServer"));
    return reg && reg() == 0;
}

// Message boxes the library raised during the run.
bench::BoxCloser* closer = nullptr;

int64_t steadyMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// The caller's timer: the largest gap between two of its events while a
// collection runs (its start and end count as events).
struct CallerTimer {
    bool measuring = false;
    int64_t last = 0, largestGap = 0;
    void start()
    {
        measuring = true;
        largestGap = 0;
        last = steadyMs();
    }
    void tick()
    {
        if (!measuring)
            return;
        const int64_t now = steadyMs();
        largestGap = std::max(largestGap, now - last);
        last = now;
    }
    int64_t stop()
    {
        tick();
        measuring = false;
        return largestGap;
    }
} callerTimer;

struct Outcome {
    bool ok = false;
    double wall = 0, cpu = 0;
    int64_t largestGapMs = 0;
    int32_t back = 0, counted = 0;
    QString description;
    QString fileError;
};

Outcome collect(const Site& site, int records, int interval, bool withCallerTimer = false)
{
    QTimer caller;
    caller.setTimerType(Qt::PreciseTimer);
    QObject::connect(&caller, &QTimer::timeout, [] { callerTimer.tick(); });
    if (withCallerTimer)
        caller.start(kCallerTimerMs);
    Outcome o;
    com::Dispatch door = com::CreateObject(QStringLiteral("Vantrel.Door8096"));
    if (!door.call(QStringLiteral("setport"), {int16_t(1)}).toBool()) {
        o.fileError = QStringLiteral("SetPort(1) failed");
        return o;
    }
    const QString name = QStringLiteral("bench.txt");
    QFile::remove(site.data + QLatin1Char('/') + name);
    com::Args a{int16_t(kAddress), site.data,     name,      QString(), int32_t(0), int32_t(2),
                true,              true /*year*/, int32_t(-1), int32_t(interval)};

    const double cpu0 = cpuSeconds(RUSAGE_SELF);
    const auto t0 = std::chrono::steady_clock::now();
    callerTimer.start();
    o.ok = door.call(QStringLiteral("GatherData"), a).toBool();
    o.largestGapMs = callerTimer.stop();
    const auto t1 = std::chrono::steady_clock::now();
    o.cpu = cpuSeconds(RUSAGE_SELF) - cpu0;
    o.wall = std::chrono::duration<double>(t1 - t0).count();
    o.description = a[3].toString();
    o.back = a[4].toLong();
    o.counted = a[8].toLong();
    door.call(QStringLiteral("DestoryPort"));

    // Every record must be there, in controller order.
    QFile f(site.data + QLatin1Char('/') + name);
    if (!f.open(QIODevice::ReadOnly)) {
        o.fileError = QStringLiteral("no file written");
        return o;
    }
    const QList<QByteArray> lines = f.readAll().split('\n');
    for (int i = 0; i < records; ++i) {
        const QString want = expectedLine(punch(i)) + QLatin1Char('\r');
        if (i >= lines.size() || QString::fromLatin1(lines[i]) != want) {
            o.fileError = QStringLiteral("line %1 differs").arg(i + 1);
            break;
        }
    }
    return o;
}

int report(const char* title, const Outcome& o, int records, int interval, const bench::CountingLine* counted,
           double simulatorCpu)
{
    const int blocks = (records + 14) / 15;
    const int exchanges = 1 + blocks;
    const int64_t up = (kAddressByte + kCountFrame) + int64_t(blocks) * (kAddressByte + kBlockFrame);
    const int64_t down = kCountReply + int64_t(blocks) * kBlockReply;
    const double lineS = double(up + down) * kBitsPerChar / kBaud;
    const double pauseS = (double(blocks) * interval + double(exchanges) * kAddressSleepMs + kPauseAfterCountMs) / 1000.0;
    const double budget = lineS + pauseS;
    const double overheadPct = (o.wall - budget) / budget * 100.0;
    const double cpuPct = o.cpu / o.wall * 100.0;
    const bool overheadMet = overheadPct <= kGoalOverheadPct;
    const bool cpuMet = cpuPct < kGoalCpuPct;
    const bool gapMet = o.largestGapMs <= kGoalGapMs;

    std::printf("\n== %s ==\n", title);
    std::printf("  GatherData(%d, ..., SleepDate 2, decimal card, full year, interval %d): %s, "
                "BackRecordSum %d, intGatherRecordCount %d, VarDescription \"%s\"\n",
                kAddress, interval, o.ok ? "True" : "False", o.back, o.counted, qPrintable(o.description));
    std::printf("  file: %s\n", o.fileError.isEmpty() ? "every record present, in controller order" : qPrintable(o.fileError));
    for (const QString& b : closer->boxes)
        std::printf("  message box: %s\n", qPrintable(b));
    std::printf("  exchanges        %d (1 record count + %d blocks of 15 records)\n", exchanges, blocks);
    std::printf("  bytes up         %lld = (1 + %d) + %d x (1 + %d)   address byte + frame\n", (long long)up,
                kCountFrame, blocks, kBlockFrame);
    std::printf("  bytes down       %lld = %d + %d x %d\n", (long long)down, kCountReply, blocks, kBlockReply);
    if (counted)
        std::printf("  counted on line  up %lld, down %lld%s\n", (long long)counted->up, (long long)counted->down,
                    counted->up == up && counted->down == down ? " (as computed)" : " (DIFFERS: retries?)");
    std::printf("  line time        (%lld + %lld) x %g / %g s                    = %9.3f s\n", (long long)up,
                (long long)down, kBitsPerChar, kBaud, lineS);
    std::printf("  pauses           %d x %d ms interval + %d x %d ms address sleep + %d ms after the count"
                " = %9.3f s\n",
                blocks, interval, exchanges, kAddressSleepMs, kPauseAfterCountMs, pauseS);
    std::printf("  budget           line time + pauses                               = %9.3f s\n", budget);
    std::printf("  wall time        measured around GatherData                       = %9.3f s\n", o.wall);
    std::printf("  overhead         (wall - budget) / budget = %+.3f s = %+.2f %%   goal <= %.0f %%: %s\n",
                o.wall - budget, overheadPct, kGoalOverheadPct, overheadMet ? "met" : "MISSED");
    std::printf("  CPU (user+sys)   %.3f s = %.2f %% of wall                          goal < %.0f %%: %s\n", o.cpu,
                cpuPct, kGoalCpuPct, cpuMet ? "met" : "MISSED");
    std::printf("  caller's timer   largest gap between two %d ms events (own run) = %lld ms  goal <= %lld ms: %s\n",
                kCallerTimerMs, (long long)o.largestGapMs, (long long)kGoalGapMs, gapMet ? "met" : "MISSED");
    if (simulatorCpu >= 0)
        std::printf("  simulator CPU    %.3f s (doorsim process, not counted above)\n", simulatorCpu);
    std::fflush(stdout);

    const bool collected = o.ok && o.back == records && o.counted == records && o.fileError.isEmpty() && closer->boxes.isEmpty();
    if (!collected)
        return 1;
    return overheadMet && cpuMet && gapMet ? 0 : 3;
}

int runInproc(const Site& site, const Options& opt)
{
    sim::Line line;
    fillController(line, opt.records);
    bench::CountingLine counting(line);
    serial::registerInprocLine(QStringLiteral("bench"), &counting);
    if (!writeFile(site.lib + QStringLiteral("/serialports.conf"), "1=inproc:bench\n"))
        return 1;
    closer->boxes.clear();
    const int64_t gap = collect(site, opt.records, opt.interval, true).largestGapMs;
    counting.up = counting.down = 0;
    closer->boxes.clear();
    Outcome o = collect(site, opt.records, opt.interval);
    o.largestGapMs = gap;
    serial::registerInprocLine(QStringLiteral("bench"), nullptr);
    return report("simulated line in this process", o, opt.records, opt.interval, &counting, -1);
}

int runSocket(const Site& site, const Options& opt)
{
    const QString state = site.dir.filePath(QStringLiteral("line.json"));
    const QString socket = site.dir.filePath(QStringLiteral("line.sock"));
    {
        sim::Line line;
        fillController(line, opt.records);
        if (!line.save(state))
            return 1;
    }
    const double children0 = cpuSeconds(RUSAGE_CHILDREN);
    QProcess doorsim;
    doorsim.setProcessChannelMode(QProcess::ForwardedChannels);
    doorsim.start(QCoreApplication::applicationDirPath() + QStringLiteral("/doorsim"),
                  {socket, QStringLiteral("--state"), state, QStringLiteral("--line-speed")});
    if (!doorsim.waitForStarted(5000)) {
        std::fprintf(stderr, "bench_collect: doorsim did not start\n");
        return 1;
    }
    for (int i = 0; i < 500 && !QFileInfo::exists(socket); ++i)
        QThread::msleep(10);
    if (!writeFile(site.lib + QStringLiteral("/serialports.conf"), "1=sim:" + QFile::encodeName(socket) + "\n"))
        return 1;
    closer->boxes.clear();
    const int64_t gap = collect(site, opt.records, opt.interval, true).largestGapMs;
    closer->boxes.clear();
    Outcome o = collect(site, opt.records, opt.interval);
    o.largestGapMs = gap;
    doorsim.terminate();
    doorsim.waitForFinished(5000);
    const double simCpu = cpuSeconds(RUSAGE_CHILDREN) - children0;
    return report("doorsim program on a local socket (separate process)", o, opt.records, opt.interval, nullptr,
                  simCpu);
}

} // namespace

int main(int argc, char** argv)
{
    bench::headlessWhenNoDisplay();
    QApplication app(argc, argv);

    Options opt;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == QLatin1String("--line") && hasValue) {
            const QString v = args[++i];
            if (v == QLatin1String("both"))
                opt.lines = {QStringLiteral("inproc"), QStringLiteral("socket")};
            else if (v == QLatin1String("inproc") || v == QLatin1String("socket"))
                opt.lines = {v};
            else
                return std::fprintf(stderr, "bench_collect: --line inproc|socket|both\n"), 2;
        } else if (a == QLatin1String("--records") && hasValue) {
            opt.records = args[++i].toInt();
        } else if (a == QLatin1String("--interval") && hasValue) {
            opt.interval = args[++i].toInt();
        } else {
            std::fprintf(stderr, "usage: bench_collect [--line inproc|socket|both] [--records N] [--interval MS]\n");
            return 2;
        }
    }
    if (opt.records < 1 || opt.records > 32767 || opt.interval < 0) {
        std::fprintf(stderr, "bench_collect: records 1..32767, interval >= 0\n");
        return 2;
    }

    // The caller's own events while the library waits: a timer like a
    // window's, which also closes any message box the library raises.
    bench::BoxCloser boxCloser;
    closer = &boxCloser;

    Site site;
    if (!prepareSite(site))
        return 1;
    std::printf("bench_collect: %d punch records from the controller at address %d; line at %g baud, %g bit times "
                "a character; real clock\n",
                opt.records, kAddress, kBaud, kBitsPerChar);

    int worst = 0;
    for (const QString& l : opt.lines) {
        const int r = l == QLatin1String("inproc") ? runInproc(site, opt) : runSocket(site, opt);
        if (r == 1 || worst == 0)
            worst = r;
    }
    return worst;
}
