// bench_runlog: the card windows' long runs at the largest site, their
// windows shown so that every wait for a reply repaints their logs, on the
// real clock with the desktop services (questions answered with OK) and the
// line at the real speed, against the line's own time: every character at
// 11 bit times at 19200 baud, plus the library's fixed pauses (1 ms after
// each address character, 5 ms after each card sent, 20 ms after a list is
// erased). Command delay 0.
//   - 增扩卡机 (FrmEtD) extends controller 1's 1,002 cards onto 10 further
//     controllers by source address: 10,020 log lines (goal: at most 1.10
//     times the line's own time);
//   - 卡机重整 (FrmFKZL) re-sends controller 1's 1,002 cards (goal: the same).
// For information, the time per card sent over the first and the last tenth
// of each run: a log line must cost the same late in a run as early.
//
// usage: bench_runlog [--cards N] [--controllers N]   (further controllers)
// Exit code 0 when both goals are met, 3 when one is missed, 1 when a run failed.
#include "BenchSupport.h"
#include "BenchSite.h"
#include "CountingLine.h"
#include "FrmEtD.h"
#include "FrmFKZL.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QTemporaryDir>

#include <cstdio>
#include <numeric>
#include <vector>

namespace {

constexpr int kSource = 1;
constexpr double kGoalRatio = 1.10;
constexpr double kCharacterS = 11.0 / 19200.0;
constexpr double kAddressPauseS = 0.001, kSendPauseS = 0.005, kClearPauseS = 0.020;

struct Run {
    double wall = 0, line = 0;
    int lines = 0;
    QString status;
    std::vector<double> perSend;   // from one accepted or refused send to the next
    bool ok = false;
};

// Runs start() with the window shown, timing it and the line it used.
template <typename Start>
Run timed(QWidget* w, bench::CountingLine& counted, Start start)
{
    Run r;
    w->show();
    QApplication::processEvents();
    const int64_t up = counted.up, down = counted.down, addresses = counted.addresses;
    int sends = 0, clears = 0;
    auto last = bench::Clock::now();
    com::setCallObserver([&](const com::CallRecord& c) {
        if (c.member == QLatin1String("CardSendToMachine")) {
            ++sends;
            r.perSend.push_back(bench::since(last));
            last = bench::Clock::now();
        } else if (c.member.compare(QLatin1String("ClearNameList"), Qt::CaseInsensitive) == 0) {
            ++clears;
        }
    });
    const auto t0 = bench::Clock::now();
    last = t0;
    start();
    r.wall = bench::since(t0);
    com::setCallObserver({});
    r.line = double(counted.up - up + counted.down - down) * kCharacterS + double(counted.addresses - addresses) * kAddressPauseS
           + sends * kSendPauseS + clears * kClearPauseS;
    return r;
}

double meanOf(const std::vector<double>& v, size_t from, size_t to)
{
    return to > from ? std::accumulate(v.begin() + long(from), v.begin() + long(to), 0.0) / double(to - from) : 0;
}

bool report(const char* what, const Run& r)
{
    const double ratio = r.line > 0 ? r.wall / r.line : 0;
    const bool met = r.ok && ratio <= kGoalRatio;
    const size_t tenth = r.perSend.size() / 10;
    std::printf("\n== %s ==\n", what);
    std::printf("  result           %d log lines; status \"%s\"\n", r.lines, qPrintable(r.status));
    std::printf("  run              %8.2f s against the line's own %8.2f s = %.3f x   goal <= %.2f x: %s\n", r.wall, r.line,
                ratio, kGoalRatio, met ? "met" : "MISSED");
    std::printf("  per card sent    %6.2f ms over the first tenth, %6.2f ms over the last\n",
                meanOf(r.perSend, 0, tenth) * 1e3, meanOf(r.perSend, r.perSend.size() - tenth, r.perSend.size()) * 1e3);
    return met;
}

} // namespace

int main(int argc, char** argv)
{
    bench::headlessWhenNoDisplay();
    QApplication app(argc, argv);
    int cards = 1002, further = 10;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); i += 2) {
        int* target = args[i] == QLatin1String("--cards") ? &cards : args[i] == QLatin1String("--controllers") ? &further : nullptr;
        if (!target || i + 1 >= args.size())
            return std::fprintf(stderr, "usage: bench_runlog [--cards N] [--controllers N]\n"), 2;
        *target = args[i + 1].toInt();
    }
    if (cards < 1 || cards > 30000 || further < 1 || further > 98)
        return std::fprintf(stderr, "bench_runlog: cards 1..30000, controllers 1..98\n"), 2;
    bench::Confirming services;
    ui::setServices(&services);

    QTemporaryDir dir;
    if (!dir.isValid() || !bench::prepareProgramFolder(dir.path()))
        return std::fprintf(stderr, "bench_runlog: cannot prepare the program folder\n"), 1;
    bench::seedCards(1 + further, cards, kSource);
    mdl::PortNumber = 1;
    mdl::CommandDelay = 0;
    mdl::MachineVersion = QStringLiteral("JQ8096 V5.1.0");
    sim::Line line;
    for (int a = 1; a <= 1 + further; ++a)
        line.add(uint8_t(a), std::max(cards, 1000));
    line.setLineSpeed(true);
    bench::CountingLine counted(line);
    serial::registerInprocLine(QStringLiteral("runlog"), &counted);
    if (!sim::mapPort(dir.path(), 1, QStringLiteral("inproc:runlog")))
        return 1;
    mdl::Door = com::CreateObject(QStringLiteral("Vantrel.Door8096"));

    // Every card of controller 1 onto each further controller.
    auto* etd = ui::forms::load<FrmEtD>();
    etd->CmbAddr->setEditText(QString::number(kSource));
    for (int i = 0; i < etd->LstAddr->count(); ++i)
        etd->LstAddr->item(i)->setSelected(!etd->LstAddr->item(i)->text().startsWith(QStringLiteral("%1[").arg(kSource)));
    Run extension = timed(etd, counted, [etd] { etd->CmdEtDByMach_Click(); });
    extension.lines = etd->ListLog->count();
    extension.status = etd->Panel1->text();
    extension.ok = extension.lines == cards * further
        && mdl::DaoDatabase.openRecordset(QStringLiteral("select count(*) from dfaka")).value(0).toInt() == cards * (1 + further);
    ui::forms::unloadAll();

    // The re-send of controller 1's list.
    auto* zl = ui::forms::load<FrmFKZL>();
    zl->Combo1->setCurrentIndex(zl->Combo1->findText(QString::number(kSource)));
    Run resend = timed(zl, counted, [zl] { zl->CmdReset_Click(); });
    resend.lines = zl->ListSuccess->count() + zl->ListFalse->count();
    resend.status = zl->Panels[0]->text();
    resend.ok = zl->ListSuccess->count() == cards && resend.status == QStringLiteral("重整成功！");
    ui::forms::unloadAll();

    std::printf("bench_runlog: %d cards of controller %d, %d further controllers, command delay 0, line at 19200 baud,"
                " windows shown\n",
                cards, kSource, further);
    const bool extensionMet = report("增扩卡机 by source address", extension);
    const bool resendMet = report("卡机重整", resend);
    for (const QString& b : services.boxes)
        std::printf("  message box: %s\n", qPrintable(b));
    std::fflush(stdout);
    serial::registerInprocLine(QStringLiteral("runlog"), nullptr);
    ui::setServices(nullptr);
    if (!extension.ok || !resend.ok)
        return 1;
    return extensionMet && resendMet ? 0 : 3;
}
