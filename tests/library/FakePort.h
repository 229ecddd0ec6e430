#pragma once
// A scripted serial port for the library's tests. It records every write with
// the line settings in force at that moment (so the ninth bit of each byte can
// be checked), and answers each request frame from a responder or a queue of
// replies, delivered on the fake clock of ScriptedUi.
#include "serial/SerialPort.h"
#include "ui/ScriptedUi.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include <ostream>

// Readable values in test failures.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
inline void PrintTo(const QByteArray& b, std::ostream* os) { *os << b.toHex(' ').toUpper().toStdString(); }

namespace vantrel::test {

struct Write {
    QString settings;
    QByteArray bytes;
    int64_t at = 0; // on the fake clock
};

struct Reply {
    QByteArray bytes;
    int64_t delayMs = 0; // after the frame was written
};

// XOR of all bytes appended to them.
QByteArray withChecksum(QByteArray b);
QByteArray bytes(std::initializer_list<int> values);

class FakePort : public serial::SerialPort {
public:
    explicit FakePort(ui::ScriptedUi& ui) : ui_(ui) {}

    // Called for each request frame with the address byte sent before it;
    // nothing means silence. When unset, `replies` is used in order.
    std::function<std::optional<Reply>(uint8_t address, const QByteArray& frame)> responder;
    std::deque<std::optional<Reply>> replies;

    std::vector<Write> writes;
    QStringList log;           // "clearIn", "clearOut", "settings:...", "open", "close", "out", "drain"
    bool failOpen = false;
    int waitCalls = 0;

    // Frames written under the frame settings, with the address before each.
    std::vector<std::pair<uint8_t, QByteArray>> frames() const;
    // Bytes that arrive on the line at once (outside any exchange).
    void arrive(const QByteArray& b) { in_ += b; }

    void setCommPort(int number) override;
    int commPort() const override { return port_; }
    void setSettings(const QString& s) override;
    QString settings() const override { return settings_; }
    void setInBufferSize(int b) override;
    int inBufferSize() const override { return inSize_; }
    void setOutBufferSize(int b) override;
    int outBufferSize() const override { return outSize_; }
    void setBinaryMode(bool b) override { binary_ = b; }
    bool binaryMode() const override { return binary_; }
    void setPortOpen(bool open) override;
    bool portOpen() const override { return open_; }
    void output(const QByteArray& b) override;
    void drainOutput() override { log << QStringLiteral("drain"); }
    int inBufferCount() override;
    void clearInput() override;
    void clearOutput() override;
    void setInputLen(int n) override { inputLen_ = n; }
    int inputLen() const { return inputLen_; }
    QByteArray input() override;
    bool waitForInput(int timeoutMs) override;

private:
    void deliverDue();

    ui::ScriptedUi& ui_;
    int port_ = 1, inSize_ = 0, outSize_ = 0, inputLen_ = 0;
    bool binary_ = false, open_ = false;
    QString settings_ = QStringLiteral("9600,n,8,1");
    QByteArray in_;
    std::vector<std::pair<int64_t, QByteArray>> pending_;
    int lastAddress_ = -1;
};

} // namespace vantrel::test
