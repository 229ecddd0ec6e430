// bench_resend: 卡机重整 (FrmFKZL) re-sending a name list on the largest site
// the system is built for: 99 controllers on the line, the state file of the
// simulated controllers about 2.6 MB, 1,000 cards re-sent to controller 1,
// the line at the real speed (19200 baud, 11 bit times a character), on the
// real clock with the desktop services (its question answered with OK). The
// same run twice: on the simulated line in this process, then through the
// doorsim program with --line-speed, a separate process like a real device.
// Goals:
//   - the run through doorsim takes at most 1.10 times the in-process run:
//     storing what it serves must not cost the line its pace;
//   - doorsim's CPU time (user + system) is at most 15 % of its run's time;
//   - two seconds after the run, doorsim's state file holds every card sent.
//
// usage: bench_resend [--cards N] [--controllers N] [--held N] [--delay MS]
//   --held: cards each other controller holds (they make up the file's size);
//   --delay: the program's command delay (命令延时; default 1 ms, the least
//            the settings window takes, where doorsim's own time counts most).
// Exit code 0 when every goal is met, 3 when one is missed, 1 when a run failed.
#include "BenchSupport.h"
#include "BenchSite.h"
#include "FrmFKZL.h"
#include "Globals.h"
#include "Line.h"

#include "com/Com.h"
#include "db/Db.h"
#include "ui/Ui.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <unistd.h>

namespace {

constexpr int kAddress = 1;
constexpr double kGoalRatio = 1.10;
constexpr double kGoalCpuPct = 15.0;
constexpr int kSettleMs = 2000;

struct Options {
    int cards = 1000;
    int controllers = 99;
    int held = 465;
    int delay = 1;
};

struct Run {
    bool ok = false;
    double wall = 0;
    int accepted = 0;
    QString status;
};

// The window's full re-send of controller 1.
Run resend()
{
    Run r;
    mdl::Door = com::CreateObject(QStringLiteral("Vantrel.Door8096"));
    auto* w = ui::forms::load<FrmFKZL>();
    w->Combo1->setCurrentIndex(w->Combo1->findText(QString::number(kAddress)));
    const auto t0 = bench::Clock::now();
    w->CmdReset_Click();
    r.wall = bench::since(t0);
    r.accepted = w->ListSuccess->count();
    r.status = w->Panels[0]->text();
    r.ok = r.status == QStringLiteral("重整成功！");
    ui::forms::unloadAll();
    return r;
}

// User and system time of a process, from /proc.
double cpuSecondsOf(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray stat = f.readAll();
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');   // from field 3 on
    return fields.size() > 12 ? (fields[11].toDouble() + fields[12].toDouble()) / double(sysconf(_SC_CLK_TCK)) : 0;
}

// Cards of controller 1 in the state file that are among those sent.
int cardsKept(const QString& state, const Options& opt)
{
    sim::Line kept;
    QString why;
    if (!kept.load(state, &why) || !kept.controller(kAddress)) {
        std::fprintf(stderr, "bench_resend: the state file: %s\n", qPrintable(why));
        return 0;
    }
    QSet<uint32_t> held;
    for (const sim::CardRecord& c : kept.controller(kAddress)->cardSlots())
        if (!c.isEmpty())
            held.insert(c.card);
    int n = 0;
    for (int i = 0; i < opt.cards; ++i)
        n += held.contains(bench::physical(i));
    return n;
}

int parse(const QStringList& args, Options& opt)
{
    for (int i = 1; i < args.size(); ++i) {
        int* target = args[i] == QLatin1String("--cards")         ? &opt.cards
                    : args[i] == QLatin1String("--controllers") ? &opt.controllers
                    : args[i] == QLatin1String("--held")        ? &opt.held
                    : args[i] == QLatin1String("--delay")       ? &opt.delay
                                                                : nullptr;
        if (!target || i + 1 >= args.size()) {
            std::fprintf(stderr, "usage: bench_resend [--cards N] [--controllers N] [--held N] [--delay MS]\n");
            return 2;
        }
        *target = args[++i].toInt();
    }
    if (opt.cards < 1 || opt.cards > 30000 || opt.controllers < 1 || opt.controllers > 99 || opt.held < 0 || opt.delay < 0) {
        std::fprintf(stderr, "bench_resend: cards 1..30000, controllers 1..99, held >= 0, delay >= 0\n");
        return 2;
    }
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
    bench::Confirming services;
    ui::setServices(&services);

    QTemporaryDir dir;
    if (!dir.isValid() || !bench::prepareProgramFolder(dir.path()))
        return std::fprintf(stderr, "bench_resend: cannot prepare the program folder\n"), 1;
    bench::seedCards(opt.controllers, opt.cards, kAddress);
    mdl::PortNumber = 1;
    mdl::CommandDelay = int16_t(opt.delay);
    mdl::MachineVersion = QStringLiteral("JQ8096 V5.1.0");

    // Controller 1 holds its list already; the others hold lists of their own.
    sim::Line line;
    for (int a = 1; a <= opt.controllers; ++a) {
        sim::Controller& c = line.add(uint8_t(a), std::max(opt.cards, opt.held));
        const int count = a == kAddress ? opt.cards : opt.held;
        for (int i = 0; i < count; ++i)
            c.storeCard({bench::physical(i), uint32_t(i + 1), 0xC0, 0xFE, 0x991231, 0x0001, 0x0001});
    }
    line.setLineSpeed(true);
    const QString state = dir.filePath(QStringLiteral("doorsim.json"));
    const QString socket = dir.filePath(QStringLiteral("doorsim.sock"));
    if (!line.save(state))
        return 1;

    // 1. The simulated line in this process.
    line.registerAs(QStringLiteral("resend"));
    if (!sim::mapPort(dir.path(), 1, QStringLiteral("inproc:resend")))
        return 1;
    const Run inproc = resend();

    // 2. doorsim serving the same controllers, as they were before the first run.
    QProcess doorsim;
    doorsim.setProcessChannelMode(QProcess::ForwardedChannels);
    doorsim.start(QCoreApplication::applicationDirPath() + QStringLiteral("/doorsim"),
                  {socket, QStringLiteral("--state"), state, QStringLiteral("--line-speed")});
    for (int i = 0; i < 3000 && !QFileInfo::exists(socket) && doorsim.state() != QProcess::NotRunning; ++i)
        QThread::msleep(10);
    if (!QFileInfo::exists(socket) || !sim::mapPort(dir.path(), 1, QStringLiteral("sim:") + socket))
        return std::fprintf(stderr, "bench_resend: doorsim did not start\n"), 1;
    const double cpu0 = cpuSecondsOf(doorsim.processId());
    const Run served = resend();
    const double cpu = cpuSecondsOf(doorsim.processId()) - cpu0;
    QThread::msleep(kSettleMs);
    const int kept = cardsKept(state, opt);
    doorsim.terminate();
    doorsim.waitForFinished(10000);

    const double ratio = served.wall / inproc.wall;
    const double cpuPct = cpu / served.wall * 100.0;
    const bool ratioMet = ratio <= kGoalRatio, cpuMet = cpuPct <= kGoalCpuPct, keptMet = kept == opt.cards;
    std::printf("bench_resend: 卡机重整 of %d cards to controller %d of %d, a state file of %.2f MB, command delay %d ms,"
                " line at 19200 baud\n",
                opt.cards, kAddress, opt.controllers, double(QFileInfo(state).size()) / 1e6, opt.delay);
    std::printf("  in process       %8.2f s   %d accepted   %s\n", inproc.wall, inproc.accepted, qPrintable(inproc.status));
    std::printf("  through doorsim  %8.2f s   %d accepted   %s\n", served.wall, served.accepted, qPrintable(served.status));
    std::printf("  ratio            %8.3f   goal <= %.2f: %s\n", ratio, kGoalRatio, ratioMet ? "met" : "MISSED");
    std::printf("  doorsim's CPU    %8.2f s = %.1f %% of its run   goal <= %.0f %%: %s\n", cpu, cpuPct, kGoalCpuPct,
                cpuMet ? "met" : "MISSED");
    std::printf("  state file       %d of %d cards %.0f s after the run   goal all: %s\n", kept, opt.cards,
                kSettleMs / 1000.0, keptMet ? "met" : "MISSED");
    std::printf("  doorsim's exit   %d\n", doorsim.exitCode());
    for (const QString& b : services.boxes)
        std::printf("  message box: %s\n", qPrintable(b));
    std::fflush(stdout);
    ui::setServices(nullptr);
    if (!inproc.ok || !served.ok)
        return 1;
    return ratioMet && cpuMet && keptMet ? 0 : 3;
}
