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
#include <cstdint>
#include <memory>
#include <vector>

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
    // A descriptor that becomes readable when input arrives, for a caller
    // that waits in its event loop; -1 when there is none.
    virtual int readHandle() const { return -1; }
};

// A port whose number is resolved through "serialports.conf" in configDir.
std::unique_ptr<SerialPort> createSerialPort(const QString& configDir);

// ---- Line settings and port resolution -------------------------------------

// A parsed settings string.
struct LineSettings {
    int baud = 9600;
    char parity = 'n';   // n, e, o, m, s
    int dataBits = 8;
    int stopTenths = 10; // 10, 15 or 20 (one, one and a half, two stop bits)
};
// Parses "19200,s,8,1" (fields may carry blanks, parity in either case).
// Raises 380 for anything malformed or out of range.
LineSettings parseSettings(const QString& settings);
// The bit that follows the data bits of a byte sent with these settings: the
// parity bit, or with no parity the first stop bit (always 1).
bool ninthBit(const LineSettings& s, uint8_t byte);
// Bit times of one character (start, data, parity, stop): 11 for "19200,s,8,1".
int bitsPerCharacter(const LineSettings& s);

// What port number N means: "/dev/ttyUSB0", "sim:/path/socket" or
// "inproc:NAME", from "serialports.conf" in configDir; /dev/ttyS<N-1> when
// the file has no line for N. Blank lines and lines starting with # or ; are
// ignored.
QString resolvePort(const QString& configDir, int number);

// ---- The simulated line -----------------------------------------------------

// One character on the simulated line with the bit that follows its 8 data
// bits (set on an address byte, clear on frame bytes).
struct LineByte {
    uint8_t value = 0;
    bool ninth = false;
    bool operator==(const LineByte&) const = default;
};

// The far end of a simulated line (the controllers). Times are in
// ui::monotonicMs() units.
class LineEndpoint {
public:
    virtual ~LineEndpoint() = default;
    // Characters a port puts on the line at time nowMs.
    virtual void fromPort(const std::vector<LineByte>& bytes, int64_t nowMs) = 0;
    // Characters that have reached the port by nowMs, taken off the line.
    virtual std::vector<LineByte> toPort(int64_t nowMs) = 0;
    // When the next character reaches the port; -1 when none is on its way.
    virtual int64_t nextToPortAt() const = 0;
};

// Makes a line reachable as "inproc:NAME" in this process (nullptr removes
// it). The line is not owned and must stay alive while registered. A port
// that has the line open holds it exclusively (a second open raises 8005).
void registerInprocLine(const QString& name, LineEndpoint* line);
LineEndpoint* inprocLine(const QString& name);

// Framing on the socket of "sim:/path": on connecting, the simulator sends
// one byte, kSimAccepted or kSimBusy (another port holds the line); after
// that every character travels in both directions as two bytes, a flag byte
// (bit 0 = ninth bit) and the character.
inline constexpr uint8_t kSimAccepted = 0xA5;
inline constexpr uint8_t kSimBusy = 0x5A;

} // namespace serial
