// Placeholder until the backends exist: every port refuses to open.
#include "SerialPort.h"

#include "runtime/RuntimeError.h"

namespace serial {

namespace {
class NoPort : public SerialPort {
public:
    void setCommPort(int n) override { port_ = n; }
    int commPort() const override { return port_; }
    void setSettings(const QString& s) override { settings_ = s; }
    QString settings() const override { return settings_; }
    void setInBufferSize(int b) override { in_ = b; }
    int inBufferSize() const override { return in_; }
    void setOutBufferSize(int b) override { out_ = b; }
    int outBufferSize() const override { return out_; }
    void setBinaryMode(bool b) override { binary_ = b; }
    bool binaryMode() const override { return binary_; }
    void setPortOpen(bool open) override { if (open) rt::raise(rt::ErrBadPortNumber); }
    bool portOpen() const override { return false; }
    void output(const QByteArray&) override { rt::raise(rt::ErrPortNotOpen); }
    void drainOutput() override {}
    int inBufferCount() override { return 0; }
    void clearInput() override {}
    void clearOutput() override {}
    void setInputLen(int) override {}
    QByteArray input() override { return {}; }
    bool waitForInput(int) override { return false; }

private:
    int port_ = 1, in_ = 1024, out_ = 512;
    bool binary_ = true;
    QString settings_ = QStringLiteral("9600,n,8,1");
};
} // namespace

std::unique_ptr<SerialPort> createSerialPort(const QString&) { return std::make_unique<NoPort>(); }

} // namespace serial
