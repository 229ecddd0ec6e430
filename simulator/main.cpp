// doorsim: virtual 8096 controllers served on a local socket as a simulated
// controller line (the port "sim:/path/socket" of serialports.conf). The
// controllers live in a state file that is saved after every change.
#include "Line.h"

#include <QDateTime>
#include <QFileInfo>
#include <QString>
#include <QStringList>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <poll.h>
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
                 "  --line-speed     characters take their time at 19200 baud\n"
                 "  --setup-only     apply the options to the state file and exit\n",
                 why);
    return 2;
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
    addr.sun_family = AF_UNIX;
    if (size_t(passing.size()) >= sizeof(addr.sun_path))
        return -1;
    std::memcpy(addr.sun_path, passing.constData(), size_t(passing.size()));
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
    QStringList adds, punches;
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
        pollfd fds[2] = {{listenFd, POLLIN, 0}, {client, POLLIN, 0}};
        int timeout = -1;
        if (const int64_t next = line.nextToPortAt(); next >= 0)
            timeout = int(std::clamp<int64_t>(next - ui::monotonicMs(), 0, 60'000));
        const int r = ::poll(fds, client >= 0 ? 2 : 1, timeout);
        if (r < 0 && errno != EINTR)
            break;
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
        if (r > 0 && client >= 0 && (fds[1].revents & (POLLIN | POLLHUP | POLLERR))) {
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
    ::unlink(QFileInfo(socketPath).absoluteFilePath().toLocal8Bit().constData());
    return 0;
}
