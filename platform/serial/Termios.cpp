// A real serial device through termios: raw 8-bit transfer in both
// directions, mark and space parity through CMSPAR, exclusive use.
#include "Backend.h"
#include "runtime/RuntimeError.h"

#include <algorithm>
#include <cerrno>
#include <iterator>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

namespace serial::detail {

namespace {

speed_t speedFor(int baud)
{
    switch (baud) {
    case 110: return B110;
    case 300: return B300;
    case 600: return B600;
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    default: rt::raise(rt::ErrBadSettings); // no standard divisor for this rate
    }
}

} // namespace

// Raw mode: nothing translated, dropped or replaced, no flow control, no
// parity checking on input (a mark/space ninth bit would read as an error).
void makeTermios(termios& t, const LineSettings& s)
{
    cfmakeraw(&t);
    t.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY | INPCK | IGNPAR);
    t.c_oflag &= ~OPOST;
    t.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    t.c_cflag |= CLOCAL | CREAD;
    switch (s.dataBits) {
    case 5: t.c_cflag |= CS5; break;
    case 6: t.c_cflag |= CS6; break;
    case 7: t.c_cflag |= CS7; break;
    case 8: t.c_cflag |= CS8; break;
    default: rt::raise(rt::ErrBadSettings);
    }
    switch (s.parity) {
    case 'e': t.c_cflag |= PARENB; break;
    case 'o': t.c_cflag |= PARENB | PARODD; break;
    case 'm': t.c_cflag |= PARENB | CMSPAR | PARODD; break;
    case 's': t.c_cflag |= PARENB | CMSPAR; break;
    default: break;
    }
    if (s.stopTenths > 10)
        t.c_cflag |= CSTOPB;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    const speed_t sp = speedFor(s.baud);
    cfsetispeed(&t, sp);
    cfsetospeed(&t, sp);
}

bool holdsSettings(const termios& wanted, const termios& read, bool pseudoTerminal)
{
    const tcflag_t ignored = pseudoTerminal ? tcflag_t(PARENB | PARODD | CMSPAR) : 0;
    return read.c_iflag == wanted.c_iflag && read.c_oflag == wanted.c_oflag && read.c_lflag == wanted.c_lflag
           && (read.c_cflag & ~ignored) == (wanted.c_cflag & ~ignored)
           && cfgetispeed(&read) == cfgetispeed(&wanted) && cfgetospeed(&read) == cfgetospeed(&wanted)
           && std::equal(std::begin(read.c_cc), std::end(read.c_cc), std::begin(wanted.c_cc));
}

namespace {

class TermiosBackend : public Backend {
public:
    TermiosBackend(const QString& device, const LineSettings& s)
    {
        fd_ = ::open(device.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd_ < 0)
            rt::raise(errno == EBUSY ? rt::ErrPortOpen : rt::ErrBadPortNumber);
        // Another holder of the device (a lock works for root too, which
        // TIOCEXCL alone does not stop).
        if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
            closeFd();
            rt::raise(rt::ErrPortOpen);
        }
        termios t{};
        if (::tcgetattr(fd_, &t) != 0) { // not a terminal device
            closeFd();
            rt::raise(rt::ErrBadPortNumber);
        }
        ::ioctl(fd_, TIOCEXCL);
        try {
            applySettings(s);
        } catch (...) {
            closeFd();
            throw;
        }
        ::tcflush(fd_, TCIOFLUSH);
    }
    ~TermiosBackend() override { closeFd(); }

    void applySettings(const LineSettings& s) override
    {
        termios t{};
        ::tcgetattr(fd_, &t);
        makeTermios(t, s);
        // TCSADRAIN: what was written (the address byte) leaves the line
        // under the old settings.
        if (::tcsetattr(fd_, TCSADRAIN, &t) != 0) {
            const int err = errno;
            if (deviceLost(err)) {
                gone_ = true;
                return;
            }
            // A request that changes nothing the device can hold is reported
            // as invalid (a pseudo-terminal still holding the last space
            // parity without its parity bit): what reads back decides.
            termios now{};
            if (err != EINVAL || ::tcgetattr(fd_, &now) != 0 || !holdsSettings(t, now, isPseudoTerminal()))
                rt::raise(rt::ErrBadSettings);
        }
        if (s.parity == 'm' || s.parity == 's')
            checkStickParity();
    }
    void write(const QByteArray& bytes, const LineSettings&) override
    {
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(fd_, bytes.constData() + done, size_t(bytes.size() - done));
            if (n > 0) {
                done += n;
            } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
                pollfd pfd{fd_, POLLOUT, 0};
                ::poll(&pfd, 1, 1000);
            } else {
                gone_ = gone_ || n == 0 || deviceLost(errno);
                rt::raise(rt::ErrIoError);
            }
        }
    }
    void drain() override { ::tcdrain(fd_); }
    void flushInput() override
    {
        if (::tcflush(fd_, TCIFLUSH) != 0 && deviceLost(errno))
            gone_ = true;
        checkHangup();
    }
    void flushOutput() override { ::tcflush(fd_, TCOFLUSH); }
    void readAvailable(QByteArray& into) override
    {
        char buf[4096];
        for (;;) {
            const ssize_t n = ::read(fd_, buf, sizeof buf);
            if (n > 0) {
                into.append(buf, n);
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && deviceLost(errno))
                gone_ = true;
            else if (n == 0)
                checkHangup(); // a hung-up device reads as empty, like an idle one
            break;
        }
    }
    void waitForMore(int ms, QByteArray& into) override
    {
        const qsizetype before = into.size();
        readAvailable(into);
        if (into.size() > before)
            return;
        RealWait clock;
        pollInput(fd_, ms, [&](short revents) {
            if (revents & (POLLHUP | POLLERR | POLLNVAL))
                gone_ = true;
            readAvailable(into);
            return into.size() > before || gone_;
        });
    }

public:
    int handle() const override { return fd_; }

private:
    static bool deviceLost(int err) { return err == EIO || err == ENXIO || err == ENODEV || err == EBADF; }
    void checkHangup()
    {
        pollfd pfd{fd_, POLLIN, 0};
        if (::poll(&pfd, 1, 0) > 0 && (pfd.revents & (POLLHUP | POLLERR | POLLNVAL)))
            gone_ = true;
    }
    // Mark and space parity need CMSPAR, which some drivers drop without an
    // error: frames would then go out with the wrong ninth bit. A
    // pseudo-terminal has no parity at all and clears it; it stays usable.
    void checkStickParity()
    {
        termios now{};
        if (::tcgetattr(fd_, &now) != 0)
            return;
        const bool parity = now.c_cflag & PARENB;
        if (parity && (now.c_cflag & CMSPAR))
            return;
        if (!parity && isPseudoTerminal())
            return;
        rt::raise(rt::ErrCommState);
    }
    bool isPseudoTerminal() const
    {
        struct stat st{};
        if (::fstat(fd_, &st) != 0 || !S_ISCHR(st.st_mode))
            return false;
        const unsigned m = major(st.st_rdev);
        return m >= 136 && m <= 143; // Unix98 pseudo-terminal slaves
    }

    void closeFd()
    {
        if (fd_ >= 0) {
            ::ioctl(fd_, TIOCNXCL);
            ::close(fd_);
        }
        fd_ = -1;
    }
    int fd_ = -1;
};

} // namespace

std::unique_ptr<Backend> openTermios(const QString& device, const LineSettings& s)
{
    return std::make_unique<TermiosBackend>(device, s);
}

} // namespace serial::detail
