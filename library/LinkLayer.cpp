#include "LinkLayer.h"

#include "runtime/RuntimeError.h"
#include "serial/SerialPort.h"
#include "ui/Ui.h"

#include <QString>
#include <algorithm>
#include <cmath>
#include <iterator>

namespace vantrel {

namespace {

// Code, frame length, length byte, reply length, time-out (s), yields, send buffer emptied.
const CommandSpec kCommands[] = {
    {Command::GatherRecordSum, 0x10, 3, 3, 131, 3, true, true},
    {Command::GatherSendCardSum, 0x10, 3, 3, 131, 3, true, true},
    {Command::ClearRecord, 0x06, 3, 3, 4, 10, true, true},
    {Command::ClearNameList, 0x0C, 3, 3, 4, 10, true, true},
    {Command::CardSendToMachine, 0x03, 20, 20, 6, 3, true, false},
    {Command::ClearName, 0x0D, 7, 7, 6, 3, true, false},
    {Command::FindCard, 0x1D, 7, 7, 21, 2, false, false},
    {Command::ReadCardNum, 0x0B, 3, 3, 8, 3, true, false},
    {Command::GatherData, 0x05, 5, 5, 240, 2, true, true},
    {Command::GatherSendCardData, 0x04, 5, 5, 315, 5, true, true},
    {Command::SetTimeGroup, 0x41, 9, 9, 5, 3, true, false},
    {Command::GetTimeGroup, 0x42, 3, 3, 112, 4, true, false},
    {Command::ModifyDateTime, 0x08, 10, 10, 4, 3, true, false},
    // The controller expects 5 in the length byte of this six-byte frame.
    {Command::SetLockDelayTime, 0x09, 6, 5, 4, 3, true, false},
    {Command::OpenLock, 0x40, 4, 4, 5, 2, true, false},
    {Command::GetLockStatus, 0x1B, 3, 3, 6, 1, true, false},
    {Command::GetDateTimeDelay, 0x19, 3, 3, 13, 1, true, false},
    {Command::GetCardLockStatus, 0x18, 3, 3, 10, 1, false, false},
    {Command::GetMachVer, 0x80, 3, 3, 12, 2, true, false},
};

// Longest single block on the port while waiting, so a yielding wait still
// lets the caller's events run often enough.
constexpr int kWaitSliceMs = 20;
// Longest wait in the caller's event loop, which wakes at once for input.
constexpr int kEventWaitMs = 100;

// Time of one character on the line while a reply comes in (19200 baud,
// 11 bit times), in milliseconds.
const double kCharacterMs = [] {
    const serial::LineSettings ls = serial::parseSettings(QString::fromLatin1(kFrameSettings));
    return 1000.0 * serial::bitsPerCharacter(ls) / ls.baud;
}();
// Wait for the last character of a reply that is coming in; short, so that
// a character that slipped in just before the wait began costs little.
constexpr int kLastCharacterWaitMs = 2;

} // namespace

const CommandSpec& spec(Command c)
{
    auto it = std::find_if(std::begin(kCommands), std::end(kCommands),
                           [c](const CommandSpec& s) { return s.command == c; });
    return *it; // every command has its row
}

uint8_t FrameChecksum(uint8_t address, const QByteArray& bytes, int count)
{
    if (count < 0 || count > bytes.size())
        count = int(bytes.size());
    uint8_t x = address;
    for (int i = 0; i < count; ++i)
        x ^= uint8_t(bytes[i]);
    return x;
}

bool replyChecksumOk(const QByteArray& reply, int length)
{
    if (length < 2 || reply.size() < length)
        return false;
    uint8_t x = 0;
    for (int i = 0; i < length - 1; ++i)
        x ^= uint8_t(reply[i]);
    return x == uint8_t(reply[length - 1]);
}

QByteArray buildFrame(const CommandSpec& s, uint8_t address, const QByteArray& data)
{
    QByteArray f;
    f.reserve(s.frameLength);
    f.append(char(s.lengthByte));
    f.append(char(s.code));
    f.append(data);
    f.append(char(FrameChecksum(address, f)));
    return f;
}

uint8_t addressByte(int address)
{
    if (address < 0 || address > 255)
        rt::raise(rt::ErrOverflow);
    return uint8_t(address);
}

std::optional<QByteArray> CommandExchange(serial::SerialPort& port, uint8_t address, const CommandSpec& s,
                                          const QByteArray& data, std::optional<double> timeoutSeconds,
                                          const std::function<void()>& afterAddress)
{
    const QByteArray frame = buildFrame(s, address, data);
    const int n = s.replyLength;
    const double t = timeoutSeconds.value_or(s.timeoutSeconds);
    const double limitMs = t * 1000.0;

    // Whatever arrived before this moment (a late reply, extra bytes) is stale.
    port.clearInput();
    if (s.clearSendBuffer)
        port.clearOutput();
    port.setSettings(QString::fromLatin1(kAddressSettings));
    if (!port.portOpen())
        port.setPortOpen(true);
    port.output(QByteArray(1, char(address)));
    // The address byte must have left the line before its parity changes.
    port.drainOutput();
    ui::sleepMs(1);
    if (afterAddress)
        afterAddress();
    port.setSettings(QString::fromLatin1(kFrameSettings));
    port.output(frame);

    const int64_t start = ui::monotonicMs();
    // The whole reply cannot be in before the frame and the reply have both
    // crossed the line.
    const double fullMs = double(s.frameLength + n) * kCharacterMs;
    int seen = 0;
    for (;;) {
        const int64_t elapsed = ui::monotonicMs() - start;
        if (s.yields)
            ui::doEvents();
        // Closed meanwhile (by the caller during its events, or because the
        // device went away): no reply can come, and waiting on a closed port
        // would not block.
        if (double(elapsed) >= limitMs || !port.portOpen())
            return std::nullopt;
        const int have = port.inBufferCount();
        if (have >= n)
            break;
        const int slice = int(std::clamp(std::ceil(limitMs - double(elapsed)), 1.0, double(kWaitSliceMs)));
        const bool flowing = have > seen;
        seen = have;
        if (!s.yields) {
            // No events to serve: sleep until the rest can have arrived at the
            // line's speed, so a reply costs a wake-up or two, not one per
            // character. A quiet line (a late or silent controller, a stalled
            // reply) blocks on the port, which also ends at once when the
            // device goes away.
            const double rest = std::max(fullMs - double(elapsed), flowing ? double(n - have) * kCharacterMs : 0.0);
            if (rest > 0)
                ui::sleepMs(std::min(int(std::ceil(rest)), slice));
            else
                port.waitForInput(slice);
            continue;
        }
        if (!flowing) {
            // Nothing new since the last look: block on the port, in the
            // caller's event loop when the port can.
            const int fd = port.readHandle();
            const int longer = int(std::clamp(std::ceil(limitMs - double(elapsed)), 1.0, double(kEventWaitMs)));
            if (fd < 0 || !ui::waitReadableWithEvents(fd, longer))
                port.waitForInput(slice);
            continue;
        }
        // The reply is coming in. The rest cannot be there before its time on
        // the line: sleep through that instead of waking for every character,
        // then wait briefly for the last one.
        const int ahead = std::min(int(double(n - have) * kCharacterMs), slice);
        if (ahead > 0)
            ui::waitWithEvents(ahead);
        else
            port.waitForInput(std::min(slice, kLastCharacterWaitMs));
    }

    port.setInputLen(n);
    QByteArray reply = port.input();
    if (reply.size() < n)
        return std::nullopt;
    reply.truncate(n);
    return reply;
}

} // namespace vantrel
