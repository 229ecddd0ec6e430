#pragma once
// The device side of a serial port: a real device through termios, or the
// simulated line (in this process or through the simulator's socket).
#include "SerialPort.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>

struct termios;

namespace serial::detail {

class Backend {
public:
    virtual ~Backend() = default;
    virtual void applySettings(const LineSettings& s) = 0; // raises 380 when the device refuses
    virtual void write(const QByteArray& bytes, const LineSettings& s) = 0;
    virtual void drain() {}
    // Drops what has arrived and not been read.
    virtual void flushInput()
    {
        QByteArray dropped;
        readAvailable(dropped);
    }
    virtual void flushOutput() {}
    virtual void readAvailable(QByteArray& into) = 0; // never blocks
    // Blocks until more input arrives or ms pass, appending what came to into.
    // Returns early when the device goes away.
    virtual void waitForMore(int ms, QByteArray& into) = 0;
    // The device went away (unplugged, hung up, the simulator ended): the
    // port closes, and the next command opens the device afresh.
    bool gone() const { return gone_; }
    // Readable when input arrives; -1 for a line without a descriptor.
    virtual int handle() const { return -1; }

protected:
    bool gone_ = false;
};

// Raw-mode termios for these settings (raises 380 for what termios lacks).
void makeTermios(termios& t, const LineSettings& s);
// Whether what a device reads back holds the wanted settings: all of them,
// or on a pseudo-terminal, which carries no parity, all but the parity.
bool holdsSettings(const termios& wanted, const termios& read, bool pseudoTerminal);

std::unique_ptr<Backend> openTermios(const QString& device, const LineSettings& s);
std::unique_ptr<Backend> openInproc(const QString& name);
std::unique_ptr<Backend> openSocket(const QString& path);

// Waits on fd, on the real clock, until input comes or ms pass. After each
// wake-up, took(revents) reads what came and says whether the wait is over.
// Returns the milliseconds left.
int pollInput(int fd, int ms, const std::function<bool(short revents)>& took);

// After a wait measured on the real clock: lets ui::monotonicMs() catch up
// when a test runs on the fake clock (so time-outs still end), and costs
// nothing on the real clock, where both readings agree.
class RealWait {
public:
    RealWait();
    ~RealWait();

private:
    int64_t realStart_;
    int64_t uiStart_;
};

} // namespace serial::detail
