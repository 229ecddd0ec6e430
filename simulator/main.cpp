// doorsim: virtual 8096 controllers served on a local socket as a simulated
// controller line (the port "sim:/path/socket" of serialports.conf). The
// controllers live in a state file that is saved after every change. A second
// socket beside it ("SOCKET.ctl") takes cards held at a controller's reader.
#include "Line.h"

#include <QDateTime>
#include <QFileInfo>
#include <QString>
#include <QStringList>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "ui/Ui.h"

namespace {

volatile std::sig_atomic_t stopRequested = 0;
void onSignal(int) { stopRequested = 1; }

int usage(const char* why)
{
    std::fprintf(stderr,
                 "doorsim: %s\n"
                 "usage: doorsim [options] SOCKET\n"
                 "  --state FILE     state file (default SOCKET.json)\n"
                 "  --add ADDR[:CAPACITY]\n"
                 "                   a controller at ADDR (1-255), name list of CAPACITY cards\n"
                 "  --punch ADDR,CARD,YYYY-MM-DD HH:MM:SS[,TYPE,CODE]\n"
                 "                   a stored punch; TYPE and CODE in hex (default 0A,00)\n"
                 "  --card ADDR,CARD,EMPLOYEE\n"
                 "                   a card in the name list of the controller at ADDR, lock 1,\n"
                 "                   every day, no end date; EMPLOYEE is the 8-digit number\n"
                 "  --present ADDR,CARD\n"
                 "                   a card held at the reader of the controller at ADDR; sent\n"
                 "                   to the simulator serving SOCKET when one runs\n"
                 "  --line-speed     characters take their time at 19200 baud\n"
                 "  --setup-only     apply the options to the state file and exit\n",
                 why);
    return 2;
}

// A local socket's address; false when the path is too long for one.
bool unixAddress(const QByteArray& path, sockaddr_un& addr)
{
    addr = sockaddr_un{};
    addr.sun_family = AF_UNIX;
    if (size_t(path.size()) >= sizeof(addr.sun_path))
        return false;
    std::memcpy(addr.sun_path, path.constData(), size_t(path.size()));
    return true;
}

// Exit status when another simulator holds the state file.
constexpr int kStateInUse = 3;

// One simulator per state file: a second one would overwrite the cards
// issued through the first. The lock lives as long as the process.
bool lockState(const QString& statePath)
{
    const QByteArray p = QFileInfo(statePath).absoluteFilePath().toLocal8Bit() + ".lock";
    const int fd = ::open(p.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return true; // a folder that takes no lock file: nothing to guard with
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
        return true;
    ::close(fd);
    return false;
}

bool parsePresent(const QString& text, int& address, uint32_t& card)
{
    const QStringList f = text.split(QLatin1Char(','));
    bool ok1 = false, ok2 = false;
    if (f.size() != 2)
        return false;
    address = f[0].trimmed().toInt(&ok1);
    card = f[1].trimmed().toUInt(&ok2);
    return ok1 && ok2 && address >= 1 && address <= 255;
}

// "ADDR,CARD,EMPLOYEE": a name-list entry that opens lock 1 at any time.
bool parseCard(const QString& text, int& address, sim::CardRecord& r)
{
    const QStringList f = text.split(QLatin1Char(','));
    bool ok1 = false, ok2 = false, ok3 = false;
    if (f.size() != 3 || f[2].trimmed().size() != 8)
        return false;
    address = f[0].trimmed().toInt(&ok1);
    r = sim::CardRecord{};
    r.card = f[1].trimmed().toUInt(&ok2);
    r.employee = f[2].trimmed().toUInt(&ok3, 16);   // its hex digits are the employee number
    r.flags = 0x80;
    r.weekdays = 0xFE;
    r.endDate = 0x991231;
    r.groups1 = r.groups2 = 0x0001;
    return ok1 && ok2 && ok3 && address >= 1 && address <= 255;
}

QString controlPath(const QString& socketPath) { return socketPath + QStringLiteral(".ctl"); }

// Sends the card to the simulator serving the socket. -1 when none answers,
// else the exit status (its answer printed).
int presentToRunning(const QString& socketPath, int address, uint32_t card)
{
    sockaddr_un addr{};
    if (!unixAddress(QFileInfo(controlPath(socketPath)).absoluteFilePath().toLocal8Bit(), addr))
        return -1;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return -1;
    }
    const QByteArray request = "present " + QByteArray::number(address) + ' ' + QByteArray::number(card) + '\n';
    ::send(fd, request.constData(), size_t(request.size()), MSG_NOSIGNAL);
    QByteArray answer;
    char buf[256];
    pollfd pfd{fd, POLLIN, 0};
    while (!answer.contains('\n') && ::poll(&pfd, 1, 5000) > 0) {
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0)
            break;
        answer.append(buf, n);
    }
    ::close(fd);
    if (answer.startsWith("ok"))
        return 0;
    std::fprintf(stderr, "doorsim: %s", answer.isEmpty() ? "no answer from the running simulator\n" : answer.constData());
    return 1;
}

// One request on the control socket: "present ADDR CARD".
void serveControl(int fd, sim::Line& line)
{
    QByteArray request;
    char buf[256];
    pollfd pfd{fd, POLLIN, 0};
    while (!request.contains('\n') && request.size() < 256 && ::poll(&pfd, 1, 1000) > 0) {
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0)
            break;
        request.append(buf, n);
    }
    const QList<QByteArray> f = request.trimmed().split(' ');
    QByteArray answer = "error: bad request\n";
    bool ok1 = false, ok2 = false;
    if (f.size() == 3 && f[0] == "present") {
        const int address = f[1].toInt(&ok1);
        const uint32_t card = f[2].toUInt(&ok2);
        sim::Controller* c = ok1 && ok2 ? line.controller(address) : nullptr;
        if (c) {
            c->presentCard(card);
            answer = "ok\n";
        } else if (ok1 && ok2) {
            answer = "error: no controller at address " + f[1] + "\n";
        }
    }
    ::send(fd, answer.constData(), size_t(answer.size()), MSG_NOSIGNAL);
    ::close(fd);
}

bool parsePunch(const QString& text, int& address, sim::PunchRecord& p)
{
    const QStringList f = text.split(QLatin1Char(','));
    if (f.size() != 3 && f.size() != 5)
        return false;
    bool ok1 = false, ok2 = false;
    address = f[0].trimmed().toInt(&ok1);
    p.card = f[1].trimmed().toUInt(&ok2);
    p.time = QDateTime::fromString(f[2].trimmed(), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    if (!ok1 || !ok2 || !p.time.isValid())
        return false;
    if (f.size() == 5) {
        bool ok3 = false, ok4 = false;
        p.openType = uint8_t(f[3].trimmed().toUInt(&ok3, 16));
        p.code = uint8_t(f[4].trimmed().toUInt(&ok4, 16));
        if (!ok3 || !ok4)
            return false;
    }
    return true;
}

// The socket is bound under a passing name and renamed into place once it
// listens: whoever sees the name can connect at once.
int listenOn(const QString& path)
{
    const QByteArray p = QFileInfo(path).absoluteFilePath().toLocal8Bit();
    const QByteArray passing = p + ".new";
    sockaddr_un addr{};
    if (!unixAddress(passing, addr))
        return -1;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    ::unlink(passing.constData()); // left by an earlier run
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 4) != 0
        || ::rename(passing.constData(), p.constData()) != 0) {
        const int e = errno;
        ::unlink(passing.constData());
        ::close(fd);
        errno = e;
        return -1;
    }
    return fd;
}

void sendAll(int fd, const QByteArray& data)
{
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t n = ::send(fd, data.constData() + done, size_t(data.size() - done), MSG_NOSIGNAL);
        if (n > 0)
            done += n;
        else if (n < 0 && errno == EINTR)
            continue;
        else
            return; // the port went away; the loop notices the hang-up
    }
}

} // namespace

int main(int argc, char** argv)
{
    QString socketPath, statePath;
    QStringList adds, punches, presents, cardEntries;
    bool lineSpeed = false, setupOnly = false;
    for (int i = 1; i < argc; ++i) {
        const QString a = QString::fromLocal8Bit(argv[i]);
        auto value = [&](QString& into) {
            if (i + 1 >= argc)
                return false;
            into = QString::fromLocal8Bit(argv[++i]);
            return true;
        };
        QString v;
        if (a == QLatin1String("--state")) {
            if (!value(statePath))
                return usage("--state needs a file");
        } else if (a == QLatin1String("--add")) {
            if (!value(v))
                return usage("--add needs an address");
            adds << v;
        } else if (a == QLatin1String("--punch")) {
            if (!value(v))
                return usage("--punch needs a record");
            punches << v;
        } else if (a == QLatin1String("--card")) {
            if (!value(v))
                return usage("--card needs an address, a card and an employee number");
            cardEntries << v;
        } else if (a == QLatin1String("--present")) {
            if (!value(v))
                return usage("--present needs an address and a card");
            presents << v;
        } else if (a == QLatin1String("--line-speed")) {
            lineSpeed = true;
        } else if (a == QLatin1String("--setup-only")) {
            setupOnly = true;
        } else if (a.startsWith(QLatin1String("--"))) {
            return usage("unknown option");
        } else if (socketPath.isEmpty()) {
            socketPath = a;
        } else {
            return usage("one socket only");
        }
    }
    if (socketPath.isEmpty() && (statePath.isEmpty() || !setupOnly))
        return usage("no socket given");
    if (statePath.isEmpty())
        statePath = socketPath + QStringLiteral(".json");

    std::vector<std::pair<int, uint32_t>> cardsAtReaders;
    for (const QString& t : presents) {
        int address = 0;
        uint32_t card = 0;
        if (!parsePresent(t, address, card))
            return usage("bad --present");
        cardsAtReaders.emplace_back(address, card);
    }
    // Cards alone for a simulator that is serving: it takes them at once.
    if (!cardsAtReaders.empty() && adds.isEmpty() && punches.isEmpty() && cardEntries.isEmpty() && !socketPath.isEmpty()) {
        int status = -1;
        for (const auto& [address, card] : cardsAtReaders) {
            status = presentToRunning(socketPath, address, card);
            if (status != 0)
                break;
        }
        if (status >= 0)
            return status;
    }

    if (!lockState(statePath)) {
        std::fprintf(stderr, "doorsim: the state file %s is in use by another simulator; stop that one first\n",
                     qPrintable(statePath));
        return kStateInUse;
    }

    sim::Line line;
    if (QFileInfo::exists(statePath) && !line.load(statePath)) {
        std::fprintf(stderr, "doorsim: cannot read the state file %s\n", qPrintable(statePath));
        return 1;
    }
    if (lineSpeed)
        line.setLineSpeed(true);
    for (const QString& a : adds) {
        const QStringList f = a.split(QLatin1Char(':'));
        bool ok1 = false, ok2 = true;
        const int address = f[0].toInt(&ok1);
        const int capacity = f.size() > 1 ? f[1].toInt(&ok2) : 1000;
        if (!ok1 || !ok2 || f.size() > 2 || address < 1 || address > 255 || capacity < 0)
            return usage("bad --add");
        sim::Controller& c = line.add(uint8_t(address), capacity);
        if (f.size() > 1 && c.capacity() != capacity)
            c.setCapacity(capacity); // a controller from the state file gets the new size
    }
    for (const QString& t : punches) {
        int address = 0;
        sim::PunchRecord p;
        if (!parsePunch(t, address, p))
            return usage("bad --punch");
        sim::Controller* c = line.controller(address);
        if (!c)
            return usage("--punch for an address without a controller");
        c->addPunch(p);
    }
    for (const QString& t : cardEntries) {
        int address = 0;
        sim::CardRecord r;
        if (!parseCard(t, address, r))
            return usage("bad --card");
        sim::Controller* c = line.controller(address);
        if (!c)
            return usage("--card for an address without a controller");
        if (!c->findCard(r.card) && !c->storeCard(r))
            return usage("--card for a controller whose name list is full");
    }
    for (const auto& [address, card] : cardsAtReaders) {
        sim::Controller* c = line.controller(address);
        if (!c)
            return usage("--present for an address without a controller");
        c->presentCard(card);
    }
    if (!line.save(statePath)) {
        std::fprintf(stderr, "doorsim: cannot write the state file %s\n", qPrintable(statePath));
        return 1;
    }
    if (setupOnly)
        return 0;

    const int listenFd = listenOn(socketPath);
    if (listenFd < 0) {
        std::fprintf(stderr, "doorsim: cannot listen on %s: %s\n", qPrintable(socketPath), std::strerror(errno));
        return 1;
    }
    const int controlFd = listenOn(controlPath(socketPath));
    if (controlFd < 0) {
        std::fprintf(stderr, "doorsim: cannot listen on %s: %s\n", qPrintable(controlPath(socketPath)),
                     std::strerror(errno));
        return 1;
    }
    struct sigaction sa{};
    sa.sa_handler = onSignal;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    bool dirty = false;
    line.onChange = [&dirty] { dirty = true; };
    int client = -1;
    QByteArray pending; // half a character pair at most

    while (!stopRequested) {
        pollfd fds[3] = {{listenFd, POLLIN, 0}, {controlFd, POLLIN, 0}, {client, POLLIN, 0}};
        int timeout = -1;
        if (const int64_t next = line.nextToPortAt(); next >= 0)
            timeout = int(std::clamp<int64_t>(next - ui::monotonicMs(), 0, 60'000));
        const int r = ::poll(fds, client >= 0 ? 3 : 2, timeout);
        if (r < 0 && errno != EINTR)
            break;
        if (r > 0 && (fds[1].revents & POLLIN)) {
            const int fd = ::accept4(controlFd, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0)
                serveControl(fd, line);
        }
        if (r > 0 && (fds[0].revents & POLLIN)) {
            const int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0) {
                const uint8_t answer = client >= 0 ? serial::kSimBusy : serial::kSimAccepted;
                sendAll(fd, QByteArray(1, char(answer)));
                if (client >= 0) {
                    ::close(fd);
                } else {
                    client = fd;
                    pending.clear();
                    line.dropPending();
                }
            }
        }
        if (r > 0 && client >= 0 && (fds[2].revents & (POLLIN | POLLHUP | POLLERR))) {
            char buf[4096];
            const ssize_t n = ::recv(client, buf, sizeof buf, MSG_DONTWAIT);
            if (n <= 0 && !(n < 0 && (errno == EAGAIN || errno == EINTR))) {
                ::close(client);
                client = -1;
                line.dropPending();
            } else if (n > 0) {
                pending.append(buf, n);
                std::vector<serial::LineByte> bytes;
                const qsizetype pairs = pending.size() / 2;
                for (qsizetype i = 0; i < pairs; ++i)
                    bytes.push_back({uint8_t(pending[2 * i + 1]), (uint8_t(pending[2 * i]) & 1) != 0});
                pending.remove(0, pairs * 2);
                line.fromPort(bytes, ui::monotonicMs());
                line.clearLog(); // nobody reads the log of a long run
            }
        }
        const std::vector<serial::LineByte> due = line.toPort(ui::monotonicMs());
        if (!due.empty() && client >= 0) {
            QByteArray wire;
            for (const serial::LineByte& b : due) {
                wire.append(char(b.ninth ? 1 : 0));
                wire.append(char(b.value));
            }
            sendAll(client, wire);
        }
        if (dirty) {
            line.save(statePath);
            dirty = false;
        }
    }
    if (client >= 0)
        ::close(client);
    ::close(listenFd);
    ::close(controlFd);
    ::unlink(QFileInfo(socketPath).absoluteFilePath().toLocal8Bit().constData());
    ::unlink(QFileInfo(controlPath(socketPath)).absoluteFilePath().toLocal8Bit().constData());
    return 0;
}
