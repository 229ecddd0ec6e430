#pragma once
// The link to the controllers: one request/reply exchange on the shared line.
// A controller is selected by its address byte sent with the ninth bit set
// (mark parity, "19200,n,8,2"), then the request frame follows with the ninth
// bit clear (space parity, "19200,s,8,1") and a fixed-length reply is awaited.
#include <QByteArray>
#include <cstdint>
#include <functional>
#include <optional>

namespace serial {
class SerialPort;
}

namespace vantrel {

// Every command the library sends, one row each in the command table.
enum class Command {
    GatherRecordSum,
    GatherSendCardSum,
    ClearRecord,
    ClearNameList,
    CardSendToMachine,
    ClearName,
    FindCard,
    ReadCardNum,
    GatherData,
    GatherSendCardData,
    SetTimeGroup,
    GetTimeGroup,
    ModifyDateTime,
    SetLockDelayTime,
    OpenLock,
    GetLockStatus,
    GetDateTimeDelay,
    GetCardLockStatus,
    GetMachVer,
};

struct CommandSpec {
    Command command;
    uint8_t code;          // command byte (frame byte 1)
    int frameLength;       // bytes sent after the address byte, checksum included
    uint8_t lengthByte;    // frame byte 0 (differs from frameLength for 0x09 only)
    int replyLength;       // N
    double timeoutSeconds; // T; the default for commands whose caller passes it
    bool yields;           // the wait lets the caller's window events run
    bool clearSendBuffer;  // the send buffer is emptied along with the receive buffer
};

// The row of a command.
const CommandSpec& spec(Command c);

// XOR of the address byte and the given bytes.
uint8_t FrameChecksum(uint8_t address, const QByteArray& bytes, int count = -1);
// True when the last byte of the reply is the XOR of bytes 0 .. last-1
// (the reply's byte 0 is the answering address, so the address is covered).
bool replyChecksumOk(const QByteArray& reply, int length);

// The request frame of a command: length byte, command code, data, checksum.
QByteArray buildFrame(const CommandSpec& s, uint8_t address, const QByteArray& data);

// The line settings of the two halves of an exchange.
inline constexpr const char* kAddressSettings = "19200,n,8,2";
inline constexpr const char* kFrameSettings = "19200,s,8,1";

// One exchange. Sends the address byte and the frame (built from the
// command's row and data) and waits for the reply. Returns exactly N bytes,
// or nothing when fewer than N arrived within the time-out. Errors of the
// port (it cannot be opened, ...) are raised as rt::Error.
// afterAddress runs once the address byte has been written.
std::optional<QByteArray> CommandExchange(serial::SerialPort& port, uint8_t address, const CommandSpec& s,
                                          const QByteArray& data, std::optional<double> timeoutSeconds = {},
                                          const std::function<void()>& afterAddress = {});

// The controller address as the one byte it travels as; raises the overflow
// error outside 0..255.
uint8_t addressByte(int address);

} // namespace vantrel
