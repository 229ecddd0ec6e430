// The simulated line: characters carry their ninth bit to the controllers,
// either in this process ("inproc:NAME") or over the simulator's socket
// ("sim:/path").
#include "Backend.h"
#include "runtime/RuntimeError.h"
#include "ui/Ui.h"

#include <QHash>
#include <QMutex>

#include <cerrno>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace serial {

namespace {
struct Registered {
    LineEndpoint* line = nullptr;
    bool claimed = false;
};
QMutex registryMutex;
QHash<QString, Registered>& registry()
{
    static QHash<QString, Registered> r;
    return r;
}
} // namespace

void registerInprocLine(const QString& name, LineEndpoint* line)
{
    QMutexLocker lock(&registryMutex);
    if (line)
        registry()[name] = Registered{line, false};
    else
        registry().remove(name);
}

LineEndpoint* inprocLine(const QString& name)
{
    QMutexLocker lock(&registryMutex);
    auto it = registry().constFind(name);
    return it == registry().constEnd() ? nullptr : it->line;
}

namespace detail {

namespace {

std::vector<LineByte> withNinthBits(const QByteArray& bytes, const LineSettings& s)
{
    std::vector<LineByte> out;
    out.reserve(bytes.size());
    for (char c : bytes)
        out.push_back({uint8_t(c), ninthBit(s, uint8_t(c))});
    return out;
}

// A line registered in this process. Every call looks the line up again, so
// a line that goes away while the port is open just falls silent.
class InprocBackend : public Backend {
public:
    explicit InprocBackend(QString name)
        : name_(std::move(name))
    {
        QMutexLocker lock(&registryMutex);
        auto it = registry().find(name_);
        if (it == registry().end())
            rt::raise(rt::ErrBadPortNumber);
        if (it->claimed)
            rt::raise(rt::ErrPortOpen);
        it->claimed = true;
    }
    ~InprocBackend() override
    {
        QMutexLocker lock(&registryMutex);
        auto it = registry().find(name_);
        if (it != registry().end())
            it->claimed = false;
    }

    void applySettings(const LineSettings&) override {}
    void write(const QByteArray& bytes, const LineSettings& s) override
    {
        if (LineEndpoint* l = inprocLine(name_))
            l->fromPort(withNinthBits(bytes, s), ui::monotonicMs());
    }
    void readAvailable(QByteArray& into) override
    {
        if (LineEndpoint* l = inprocLine(name_))
            for (const LineByte& b : l->toPort(ui::monotonicMs()))
                into.append(char(b.value));
    }
    void waitForMore(int ms, QByteArray& into) override
    {
        const qsizetype before = into.size();
        readAvailable(into);
        if (into.size() > before)
            return;
        LineEndpoint* l = inprocLine(name_);
        int wait = ms;
        if (l) {
            const int64_t next = l->nextToPortAt();
            if (next >= 0)
                wait = int(std::clamp<int64_t>(next - ui::monotonicMs(), 0, ms));
        }
        if (wait > 0)
            ui::sleepMs(wait);
        readAvailable(into);
    }

private:
    QString name_;
};

// The simulator program's socket.
class SocketBackend : public Backend {
public:
    explicit SocketBackend(const QString& path)
    {
        const QByteArray p = path.toLocal8Bit();
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        if (p.isEmpty() || size_t(p.size()) >= sizeof(addr.sun_path))
            rt::raise(rt::ErrBadPortNumber);
        memcpy(addr.sun_path, p.constData(), p.size());
        // A line this program has just released may still count as busy at
        // the simulator for a moment (closing and opening the port again in
        // one SetPort): ask again for up to a second before giving up.
        for (int attempt = 0;; ++attempt) {
            const int greeting = connectOnce(addr);
            if (greeting == kSimAccepted || greeting == kNoGreetingYet) {
                greeted_ = greeting == kSimAccepted;
                return;
            }
            closeFd();
            if (greeting < 0)
                rt::raise(rt::ErrBadPortNumber);
            if (attempt >= 50)
                rt::raise(rt::ErrPortOpen);
            ::poll(nullptr, 0, 20);
        }
    }
    ~SocketBackend() override { closeFd(); }

    // Connects and reads the simulator's greeting: the greeting,
    // kNoGreetingYet when none came in time, -1 when the connection fails.
    // A running simulator greets at once; a stopped one, whose socket still
    // takes connections, never does. Like a device, whose open does not
    // wait for the line, the port then counts as open: the greeting is read
    // with the first reply, and commands time out as on a silent line.
    int connectOnce(const sockaddr_un& addr)
    {
        fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd_ < 0)
            return -1;
        if (::connect(fd_, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0)
            return -1;
        pollfd pfd{fd_, POLLIN, 0};
        const int ready = ::poll(&pfd, 1, kGreetingMs);
        if (ready == 0)
            return kNoGreetingYet;
        uint8_t greeting = 0;
        if (ready < 0 || ::recv(fd_, &greeting, 1, 0) != 1)
            return -1;
        return greeting;
    }

    void applySettings(const LineSettings&) override {}
    void write(const QByteArray& bytes, const LineSettings& s) override
    {
        QByteArray wire;
        wire.reserve(bytes.size() * 2);
        for (const LineByte& b : withNinthBits(bytes, s)) {
            wire.append(char(b.ninth ? 1 : 0));
            wire.append(char(b.value));
        }
        qsizetype done = 0;
        while (done < wire.size()) {
            const ssize_t n = ::send(fd_, wire.constData() + done, size_t(wire.size() - done), MSG_NOSIGNAL);
            if (n > 0) {
                done += n;
            } else if (n < 0 && errno == EAGAIN) {
                pollfd pfd{fd_, POLLOUT, 0};
                ::poll(&pfd, 1, 1000);
            } else if (n < 0 && errno == EINTR) {
                continue;
            } else {
                gone_ = true; // the simulator went away
                rt::raise(rt::ErrIoError);
            }
        }
    }
    void readAvailable(QByteArray& into) override
    {
        char buf[4096];
        for (;;) {
            const ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
            if (n < 0 && errno == EINTR)
                continue;
            if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK))
                gone_ = true;
            if (n <= 0)
                break;
            pending_.append(buf, n);
        }
        if (!greeted_ && !pending_.isEmpty()) {
            greeted_ = true;
            const uint8_t greeting = uint8_t(pending_.front());
            pending_.remove(0, 1);
            if (greeting != kSimAccepted) {
                // Another port held the line after all.
                gone_ = true;
                pending_.clear();
                return;
            }
        }
        const qsizetype pairs = pending_.size() / 2;
        for (qsizetype i = 0; i < pairs; ++i)
            into.append(pending_[2 * i + 1]);
        pending_.remove(0, pairs * 2);
    }
    void waitForMore(int ms, QByteArray& into) override
    {
        const qsizetype before = into.size();
        readAvailable(into);
        if (into.size() > before)
            return;
        if (gone_)
            return;
        RealWait clock;
        pollInput(fd_, ms, [&](short revents) {
            if (revents & (POLLERR | POLLNVAL))
                gone_ = true;
            readAvailable(into);
            return into.size() > before || gone_;
        });
    }

    int handle() const override { return fd_; }

private:
    void closeFd()
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }
    static constexpr int kGreetingMs = 200;
    static constexpr int kNoGreetingYet = 0x100;
    int fd_ = -1;
    bool greeted_ = false;
    QByteArray pending_; // half a pair at most
};

} // namespace

std::unique_ptr<Backend> openInproc(const QString& name) { return std::make_unique<InprocBackend>(name); }
std::unique_ptr<Backend> openSocket(const QString& path) { return std::make_unique<SocketBackend>(path); }

} // namespace detail
} // namespace serial
