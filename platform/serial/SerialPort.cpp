// The serial port front: properties, the receive buffer and the choice of
// backend when the port opens.
#include "SerialPort.h"

#include "Backend.h"
#include "runtime/RuntimeError.h"
#include "ui/Ui.h"

#include <QDir>
#include <QFile>
#include <QStringList>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <chrono>
#include <poll.h>

namespace serial {

namespace {
int64_t realMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}
} // namespace

namespace detail {
RealWait::RealWait()
    : realStart_(realMs())
    , uiStart_(ui::monotonicMs())
{
}
RealWait::~RealWait()
{
    int64_t behind = (realMs() - realStart_) - (ui::monotonicMs() - uiStart_);
    if (behind > 0)
        ui::sleepMs(int(behind));
}

int pollInput(int fd, int ms, const std::function<bool(short)>& took)
{
    const int64_t deadline = realMs() + ms;
    for (;;) {
        const int64_t left = deadline - realMs();
        if (left <= 0)
            return 0;
        pollfd pfd{fd, POLLIN, 0};
        const int r = ::poll(&pfd, 1, int(left));
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0 || took(pfd.revents))
            return int(std::max<int64_t>(0, deadline - realMs()));
    }
}
} // namespace detail

LineSettings parseSettings(const QString& settings)
{
    const QStringList f = settings.split(QLatin1Char(','));
    if (f.size() != 4)
        rt::raise(rt::ErrBadSettings);
    static const int rates[] = {110, 300, 600, 1200, 2400, 4800, 9600, 14400, 19200,
                                28800, 38400, 56000, 57600, 115200, 128000, 256000};
    LineSettings s;
    bool ok = false;
    s.baud = f[0].trimmed().toInt(&ok);
    if (!ok || std::find(std::begin(rates), std::end(rates), s.baud) == std::end(rates))
        rt::raise(rt::ErrBadSettings);
    const QString p = f[1].trimmed().toLower();
    if (p.size() != 1 || !QStringLiteral("neoms").contains(p))
        rt::raise(rt::ErrBadSettings);
    s.parity = p[0].toLatin1();
    s.dataBits = f[2].trimmed().toInt(&ok);
    if (!ok || s.dataBits < 4 || s.dataBits > 8)
        rt::raise(rt::ErrBadSettings);
    const QString stop = f[3].trimmed();
    if (stop == QLatin1String("1"))
        s.stopTenths = 10;
    else if (stop == QLatin1String("1.5"))
        s.stopTenths = 15;
    else if (stop == QLatin1String("2"))
        s.stopTenths = 20;
    else
        rt::raise(rt::ErrBadSettings);
    return s;
}

bool ninthBit(const LineSettings& s, uint8_t byte)
{
    const bool odd = std::popcount(unsigned(byte)) % 2 == 1;
    switch (s.parity) {
    case 'e': return odd;   // makes the count of ones even
    case 'o': return !odd;
    case 's': return false;
    default: return true;   // mark, or the first stop bit
    }
}

int bitsPerCharacter(const LineSettings& s)
{
    return 1 + s.dataBits + (s.parity == 'n' ? 0 : 1) + (s.stopTenths + 9) / 10;
}

QString resolvePort(const QString& configDir, int number)
{
    QFile f(QDir(configDir).filePath(QStringLiteral("serialports.conf")));
    if (f.open(QIODevice::ReadOnly | QIODevice::Text)) {
        while (!f.atEnd()) {
            const QString line = QString::fromUtf8(f.readLine()).trimmed();
            if (line.isEmpty() || line.startsWith(QLatin1Char('#')) || line.startsWith(QLatin1Char(';')))
                continue;
            const int eq = line.indexOf(QLatin1Char('='));
            if (eq <= 0)
                continue;
            bool ok = false;
            const int n = line.left(eq).trimmed().toInt(&ok);
            if (ok && n == number)
                return line.mid(eq + 1).trimmed();
        }
    }
    return QStringLiteral("/dev/ttyS%1").arg(number - 1);
}

namespace {

class Port : public SerialPort {
public:
    explicit Port(QString configDir)
        : configDir_(std::move(configDir))
        , settings_(parseSettings(settingsText_))
    {
    }
    ~Port() override { backend_.reset(); }

    void setCommPort(int n) override
    {
        if (backend_)
            rt::raise(rt::ErrPortOpen);
        if (n < 1 || n > 255)
            rt::raise(rt::ErrBadPortNumber);
        port_ = n;
    }
    int commPort() const override { return port_; }

    void setSettings(const QString& text) override
    {
        const LineSettings s = parseSettings(text);
        if (backend_)
            guarded([&] { backend_->applySettings(s); });
        settings_ = s;
        settingsText_ = text;
    }
    QString settings() const override { return settingsText_; }

    void setInBufferSize(int b) override
    {
        if (b < 1)
            rt::raise(rt::ErrBadSettings);
        in_ = b;
    }
    int inBufferSize() const override { return in_; }
    void setOutBufferSize(int b) override
    {
        if (b < 1)
            rt::raise(rt::ErrBadSettings);
        out_ = b;
    }
    int outBufferSize() const override { return out_; }
    void setBinaryMode(bool b) override { binary_ = b; }
    bool binaryMode() const override { return binary_; }

    void setPortOpen(bool open) override
    {
        if (!open) {
            backend_.reset();
            buffer_.clear();
            return;
        }
        if (backend_)
            rt::raise(rt::ErrPortOpen);
        const QString target = resolvePort(configDir_, port_);
        if (target.startsWith(QLatin1String("inproc:")))
            backend_ = detail::openInproc(target.mid(7));
        else if (target.startsWith(QLatin1String("sim:")))
            backend_ = detail::openSocket(target.mid(4));
        else
            backend_ = detail::openTermios(target, settings_);
        buffer_.clear();
    }
    bool portOpen() const override { return backend_ != nullptr; }

    void output(const QByteArray& bytes) override
    {
        requireOpen();
        guarded([&] { backend_->write(bytes, settings_); });
    }
    void drainOutput() override
    {
        if (backend_)
            guarded([&] { backend_->drain(); });
    }
    int inBufferCount() override
    {
        if (!backend_)
            return 0;
        guarded([&] { backend_->readAvailable(buffer_); });
        return int(buffer_.size());
    }
    void clearInput() override
    {
        if (backend_)
            guarded([&] { backend_->flushInput(); });
        buffer_.clear();
    }
    void clearOutput() override
    {
        if (backend_)
            backend_->flushOutput();
    }
    void setInputLen(int n) override
    {
        if (n < 0)
            rt::raise(rt::ErrBadSettings);
        inputLen_ = n;
    }
    QByteArray input() override
    {
        requireOpen();
        guarded([&] { backend_->readAvailable(buffer_); });
        const qsizetype n = inputLen_ == 0 ? buffer_.size() : std::min<qsizetype>(inputLen_, buffer_.size());
        QByteArray out = buffer_.left(n);
        buffer_.remove(0, n);
        return out;
    }
    bool waitForInput(int timeoutMs) override
    {
        if (!backend_)
            return false;
        // Bytes that came since the caller last looked count as new: no wait then.
        const qsizetype before = buffer_.size();
        guarded([&] {
            backend_->readAvailable(buffer_);
            if (buffer_.size() == before && timeoutMs > 0)
                backend_->waitForMore(timeoutMs, buffer_);
        });
        return !buffer_.isEmpty();
    }

    int readHandle() const override { return backend_ ? backend_->handle() : -1; }

private:
    // Runs a backend operation; a device that went away meanwhile closes the
    // port (keeping what was received), so the next command opens it again.
    template <class F>
    void guarded(F&& op)
    {
        try {
            op();
        } catch (...) {
            dropIfGone();
            throw;
        }
        dropIfGone();
    }
    void dropIfGone()
    {
        if (backend_ && backend_->gone())
            backend_.reset();
    }

    void requireOpen() const
    {
        if (!backend_)
            rt::raise(rt::ErrPortNotOpen);
    }

    QString configDir_;
    int port_ = 1, in_ = 1024, out_ = 512, inputLen_ = 0;
    bool binary_ = true;
    QString settingsText_ = QStringLiteral("9600,n,8,1");
    LineSettings settings_;
    std::unique_ptr<detail::Backend> backend_;
    QByteArray buffer_;
};

} // namespace

std::unique_ptr<SerialPort> createSerialPort(const QString& configDir) { return std::make_unique<Port>(configDir); }

} // namespace serial
