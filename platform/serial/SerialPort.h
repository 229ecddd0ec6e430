#pragma once
// The serial control the library talks through: the operations it needs and
// nothing more. Errors (no such port, port in use, refused settings) are
// raised as rt::Error with the serial control's numbers (8002 bad port
// number, 8005 port already open, 8018 port not open, 380 bad settings).
//
// Port number N is resolved to a device when the port opens, through the
// mapping file "serialports.conf" in a configuration folder (the library's
// own folder): lines "N=/dev/ttyUSB0", "N=sim:/path/to/socket" (a simulator
// program serving the simulated line) or "N=inproc:NAME" (a simulated line
// registered in this process, for tests). A port without a line in the file
// is /dev/ttyS<N-1>.
#include <QByteArray>
#include <QString>
#include <memory>

namespace serial {

class SerialPort {
public:
    virtual ~SerialPort() = default;

    virtual void setCommPort(int number) = 0;          // raises 8002 for < 1, 8005 while open
    virtual int commPort() const = 0;
    // "19200,n,8,2", "19200,s,8,1": baud, parity n/e/o/m/s, data bits, stop bits.
    // Takes effect at once on an open port. Raises 380 when malformed.
    virtual void setSettings(const QString& settings) = 0;
    virtual QString settings() const = 0;
    virtual void setInBufferSize(int bytes) = 0;
    virtual int inBufferSize() const = 0;
    virtual void setOutBufferSize(int bytes) = 0;
    virtual int outBufferSize() const = 0;
    virtual void setBinaryMode(bool binary) = 0;        // binary or text receive mode
    virtual bool binaryMode() const = 0;

    virtual void setPortOpen(bool open) = 0;           // raises 8002/8005/other on failure to open
    virtual bool portOpen() const = 0;

    // Writes all bytes (blocks until they are handed to the line). Raises 8018 when closed.
    virtual void output(const QByteArray& bytes) = 0;
    // Waits until everything written has left the line (the address byte
    // before a settings change).
    virtual void drainOutput() = 0;
    // Bytes waiting in the receive buffer.
    virtual int inBufferCount() = 0;
    // Empties the receive buffer / the send buffer (harmless on a closed port).
    virtual void clearInput() = 0;
    virtual void clearOutput() = 0;
    // Bytes returned by the next input(); 0 = all waiting.
    virtual void setInputLen(int n) = 0;
    virtual QByteArray input() = 0;
    // Blocks until more bytes arrive or timeoutMs passes, without spinning.
    // True when bytes are waiting. Returns at once when the port is closed.
    virtual bool waitForInput(int timeoutMs) = 0;
};

// A port whose number is resolved through "serialports.conf" in configDir.
std::unique_ptr<SerialPort> createSerialPort(const QString& configDir);

} // namespace serial
