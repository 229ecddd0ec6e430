// bench_monitor: the live lock-state monitor (FrmssjsN) polling virtual
// controllers whose line runs at the real speed (19200 baud, 11 bit times a
// character), on the real clock with the desktop services, as the program
// runs it: the window loaded, its timer ticking in the Qt event loop. It
// measures
//   - how long the window's events wait: a probe timer firing every 2 ms
//     records the largest gap between two of its firings; the goal is no
//     more than one status exchange (request and reply on the line plus the
//     library's 1 ms address pause) and a 2 ms scheduling allowance, since
//     only the status read itself may block;
//   - the CPU time of this process (user + system) while a status read waits
//     on the line, against that wait's wall time (goal: under 2 %: waiting
//     must block, not spin); and, for information, the CPU time of the whole
//     polling against the wall time.
//
// usage: bench_monitor [--controllers N] [--delay MS] [--seconds S] [--line socket|inproc]
//   socket: the doorsim program serving the line on a local socket, a separate
//           process like a real device (default);
//   inproc: the simulated line inside this process (its CPU time counts here).
// Exit code 0 when both goals are met, 3 when one is missed, 1 when the
// monitor did not poll.
#include "BenchSupport.h"
#include "FrmssjsN.h"
#include "Globals.h"
#include "Line.h"

#include "com/Com.h"
#include "db/Db.h"
#include "serial/SerialPort.h"
#include "ui/Form.h"
#include "ui/ProgramFolder.h"
#include "ui/Ui.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <vector>
#include <cstdio>
#include <dlfcn.h>
#include <sys/resource.h>

namespace {

constexpr double kBitsPerChar = 11.0;
constexpr double kBaud = 19200.0;
constexpr int kStatusChars = 1 + 3 + 10;   // address byte, frame, reply
constexpr double kAddressSleepMs = 1.0;
constexpr double kAllowanceMs = 2.0;
constexpr double kGoalCpuPct = 2.0;
constexpr int kProbeMs = 2;

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec) + double(u.ru_utime.tv_usec) / 1e6 + double(u.ru_stime.tv_sec)
        + double(u.ru_stime.tv_usec) / 1e6;
}

bool registerLibrary(const QString& folder)
{
    const QString built = QCoreApplication::applicationDirPath() + QStringLiteral("/libVantrel.so");
    const QString copy = folder + QStringLiteral("/libVantrel.so");
    if (!QFile::copy(built, copy))
        return false;
    void* h = dlopen(QFile::encodeName(copy).constData(), RTLD_NOW);
    if (!h)
        return false;
    auto reg = reinterpret_cast<com::DllRegisterServerFn>(dlsym(h, "DllRegisterServer"));
    return reg && reg() == 0;
}

} // namespace

int main(int argc, char** argv)
{
    bench::headlessWhenNoDisplay();
    QApplication app(argc, argv);

    int controllers = 8, delay = 100, seconds = 10;
    QString lineKind = QStringLiteral("socket");
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--controllers"))
            controllers = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--delay"))
            delay = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--seconds"))
            seconds = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--line") && (args[i + 1] == "socket" || args[i + 1] == "inproc"))
            lineKind = args[i + 1];
        else
            return std::fprintf(stderr, "usage: bench_monitor [--controllers N] [--delay MS] [--seconds S] [--line socket|inproc]\n"), 2;
    }
    if (controllers < 1 || controllers > 99 || delay < 1 || seconds < 1)
        return std::fprintf(stderr, "bench_monitor: controllers 1..99, delay >= 1, seconds >= 1\n"), 2;

    // A program folder with the shipped database and the library registered in it.
    QTemporaryDir dir;
    if (!dir.isValid() || !QFile::copy(QStringLiteral(SHIPPED_DB), dir.filePath(QStringLiteral("door.mdb"))))
        return std::fprintf(stderr, "bench_monitor: cannot prepare the program folder\n"), 1;
    QFile::setPermissions(dir.filePath(QStringLiteral("door.mdb")), QFile::ReadOwner | QFile::WriteOwner);
    qputenv("DOORSUITE_REGISTRY_DIR", QFile::encodeName(dir.filePath(QStringLiteral("registry"))));
    ui::setProgramFolder(dir.path());
    if (!registerLibrary(dir.path()))
        return std::fprintf(stderr, "bench_monitor: cannot register the library\n"), 1;
    sim::Line line;
    mdl::DaoDatabase = db::Database::open(dir.filePath(QStringLiteral("door.mdb")));
    mdl::DaoDatabase.execute(QStringLiteral("INSERT INTO people (卡号, 姓名, 部门, 职务) VALUES ('00000001', '张三', '生产部', '职员')"));
    for (int a = 1; a <= controllers; ++a) {
        mdl::DaoDatabase.execute(
            QStringLiteral("INSERT INTO doors (地址, namedr1, dtype1, namedr2, dtype2, delay3) VALUES (?, '前门', '玻', '后门', '木', 0)"),
            {a});
        mdl::DaoDatabase.execute(QStringLiteral("INSERT INTO dfaka (地址, 卡号, 物理卡号) VALUES (?, '00000001', ?)"),
                                 {a, QStringLiteral("%1").arg(100000 + a, 10, 10, QLatin1Char('0'))});
        sim::Controller& c = line.add(uint8_t(a));
        c.setDelays(60, 60, 0);
        c.presentCard(uint32_t(100000 + a));
    }
    line.setLineSpeed(true);
    QProcess doorsim;
    QByteArray portMap = "1=inproc:bench\n";
    if (lineKind == QLatin1String("inproc")) {
        serial::registerInprocLine(QStringLiteral("bench"), &line);
    } else {
        const QString state = dir.filePath(QStringLiteral("line.json"));
        const QString socket = dir.filePath(QStringLiteral("line.sock"));
        if (!line.save(state))
            return 1;
        doorsim.setProcessChannelMode(QProcess::ForwardedChannels);
        doorsim.start(QCoreApplication::applicationDirPath() + QStringLiteral("/doorsim"),
                      {socket, QStringLiteral("--state"), state, QStringLiteral("--line-speed")});
        if (!doorsim.waitForStarted(5000))
            return std::fprintf(stderr, "bench_monitor: doorsim did not start\n"), 1;
        for (int i = 0; i < 500 && !QFileInfo::exists(socket); ++i)
            QThread::msleep(10);
        portMap = "1=sim:" + QFile::encodeName(socket) + "\n";
    }
    QFile conf(dir.filePath(QStringLiteral("serialports.conf")));
    if (!conf.open(QIODevice::WriteOnly) || conf.write(portMap) < 0)
        return 1;
    conf.close();

    mdl::Door = com::CreateObject(QStringLiteral("Vantrel.Door8096"));
    mdl::PortNumber = 1;
    mdl::CommandDelay = int16_t(delay);
    int polls = 0;
    com::setCallObserver([&](const com::CallRecord& r) {
        if (r.member == QLatin1String("getCardLockStatus") && r.result.toBool())
            ++polls;
    });

    // One status read on its own: how long the library blocks for it.
    double callMaxMs = 0, callSumMs = 0;
    constexpr int kCalls = 20;
    {
        com::Args open{int16_t(1), QString()};   // opens the port: not measured
        mdl::Door.call(QStringLiteral("getCardLockStatus"), open);
    }
    const double waitCpu0 = cpuSeconds();
    for (int i = 0; i < kCalls; ++i) {
        com::Args a{int16_t(1), QString()};
        const auto c0 = std::chrono::steady_clock::now();
        mdl::Door.call(QStringLiteral("getCardLockStatus"), a);
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - c0).count();
        callMaxMs = std::max(callMaxMs, ms);
        callSumMs += ms;
    }
    const double waitCpuPct = (cpuSeconds() - waitCpu0) / (callSumMs / 1000.0) * 100.0;

    FrmssjsN* w = ui::forms::load<FrmssjsN>();
    w->showModeless();

    // The first second paints the window and loads its fonts: not measured.
    QTimer::singleShot(1000, &app, [] { QCoreApplication::exit(0); });
    app.exec();

    // Phase 1, CPU: the monitor alone in the event loop.
    polls = 0;
    const double cpu0 = cpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    QTimer::singleShot(seconds * 1000, &app, [] { QCoreApplication::exit(0); });   // quit() would close the window
    app.exec();
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    const double cpu = cpuSeconds() - cpu0;
    const int cpuPolls = polls;

    // Phase 2, waiting events: a probe firing every 2 ms; the longest gap
    // between two firings is the longest time the window's events waited.
    QElapsedTimer clock;
    clock.start();
    qint64 last = -1, worstGapNs = 0;
    std::vector<qint64> gaps;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        if (last >= 0) {
            worstGapNs = std::max(worstGapNs, now - last);
            gaps.push_back(now - last);
        }
        last = now;
    });
    probe.start(kProbeMs);
    QTimer::singleShot(seconds * 1000, &app, [] { QCoreApplication::exit(0); });
    app.exec();
    probe.stop();
    const QStringList rowStates = [&] {
        QStringList s;
        for (int r = 0; r < w->rowCount(); ++r)
            s << w->cell(r, FrmssjsN::State);
        return s;
    }();
    const int interval = w->Timer1->interval();
    ui::forms::unloadAll();
    com::setCallObserver({});
    serial::registerInprocLine(QStringLiteral("bench"), nullptr);
    if (doorsim.state() != QProcess::NotRunning) {
        doorsim.terminate();
        doorsim.waitForFinished(5000);
    }

    const double exchangeMs = kStatusChars * kBitsPerChar / kBaud * 1000.0 + kAddressSleepMs;
    const double worstWaitMs = double(worstGapNs) / 1e6 - kProbeMs;
    const double goalWaitMs = callMaxMs + kAllowanceMs;
    std::sort(gaps.begin(), gaps.end());
    const double p99WaitMs = gaps.empty() ? 0 : double(gaps[gaps.size() * 99 / 100]) / 1e6 - kProbeMs;
    const double cpuPct = cpu / wall * 100.0;
    const bool waitMet = worstWaitMs <= goalWaitMs;
    const bool cpuMet = waitCpuPct < kGoalCpuPct;

    std::printf("bench_monitor: lock-state monitor over %d controllers (two locks each), command delay %d ms, "
                "timer interval %d ms, %d s on the real clock; line at %g baud, %g bit times a character, %s\n",
                controllers, delay, interval, seconds, kBaud, kBitsPerChar,
                lineKind == QLatin1String("inproc") ? "simulated in this process" : "doorsim on a local socket");
    std::printf("  status reads     %d answered in the CPU phase (%.1f per second), %d in all\n", cpuPolls,
                cpuPolls / wall, polls);
    std::printf("  rows             %s\n", qPrintable(rowStates.join(QLatin1Char(' '))));
    std::printf("  one exchange     %d characters x %g / %g s + %g ms address pause = %.2f ms\n", kStatusChars,
                kBitsPerChar, kBaud, kAddressSleepMs, exchangeMs);
    std::printf("  one status read  measured alone: at most %.2f ms, mean %.2f ms over %d calls\n", callMaxMs,
                callSumMs / kCalls, kCalls);
    std::printf("  events waited    at most %.2f ms (probe every %d ms)   goal <= longest read + %g ms = %.2f ms: %s\n", worstWaitMs,
                kProbeMs, kAllowanceMs, goalWaitMs, waitMet ? "met" : "MISSED");
    std::printf("  events waited    99th percentile %.2f ms over %zu probe gaps\n", p99WaitMs, gaps.size());
    std::printf("  CPU on the line  %.2f %% of the wall time of those %d status reads   goal < %.0f %%: %s\n", waitCpuPct,
                kCalls, kGoalCpuPct, cpuMet ? "met" : "MISSED");
    std::printf("  CPU polling      %.3f s of %.3f s = %.2f %% (the whole tick: status read, holder query, row"
                " updates and repaint)\n",
                cpu, wall, cpuPct);
    std::fflush(stdout);
    if (polls == 0)
        return 1;
    return waitMet && cpuMet ? 0 : 3;
}
