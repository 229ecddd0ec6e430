#include "FakePort.h"

#include "LinkLayer.h"
#include "runtime/RuntimeError.h"

#include <algorithm>

namespace vantrel::test {

QByteArray withChecksum(QByteArray b)
{
    uint8_t x = 0;
    for (char c : b)
        x ^= uint8_t(c);
    b.append(char(x));
    return b;
}

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray b;
    for (int v : values)
        b.append(char(v));
    return b;
}

std::vector<std::pair<uint8_t, QByteArray>> FakePort::frames() const
{
    std::vector<std::pair<uint8_t, QByteArray>> out;
    int addr = -1;
    for (const Write& w : writes) {
        if (w.settings == QLatin1String(kAddressSettings) && w.bytes.size() == 1)
            addr = uint8_t(w.bytes[0]);
        else if (w.settings == QLatin1String(kFrameSettings))
            out.emplace_back(uint8_t(addr), w.bytes);
    }
    return out;
}

void FakePort::setCommPort(int number)
{
    if (number < 1)
        rt::raise(rt::ErrBadPortNumber);
    if (open_)
        rt::raise(rt::ErrPortOpen);
    port_ = number;
}

void FakePort::setSettings(const QString& s)
{
    if (s.split(QLatin1Char(',')).size() != 4)
        rt::raise(rt::ErrBadSettings);
    settings_ = s;
    log << QStringLiteral("settings:") + s;
}

void FakePort::setPortOpen(bool open)
{
    if (open && failOpen)
        rt::raise(rt::ErrBadPortNumber);
    if (open && open_)
        rt::raise(rt::ErrPortOpen);
    open_ = open;
    log << (open ? QStringLiteral("open") : QStringLiteral("close"));
}

void FakePort::output(const QByteArray& b)
{
    if (!open_)
        rt::raise(rt::ErrPortNotOpen);
    writes.push_back({settings_, b, ui_.monotonicMs()});
    log << QStringLiteral("out");
    if (settings_ == QLatin1String(kAddressSettings)) {
        lastAddress_ = b.isEmpty() ? -1 : uint8_t(b[0]);
        return;
    }
    std::optional<Reply> r;
    if (responder) {
        r = responder(uint8_t(lastAddress_), b);
    } else if (!replies.empty()) {
        r = replies.front();
        replies.pop_front();
    }
    if (r)
        pending_.emplace_back(ui_.monotonicMs() + r->delayMs, r->bytes);
    deliverDue();
}

void FakePort::deliverDue()
{
    const int64_t now = ui_.monotonicMs();
    std::stable_sort(pending_.begin(), pending_.end(), [](auto& a, auto& b) { return a.first < b.first; });
    while (!pending_.empty() && pending_.front().first <= now) {
        in_ += pending_.front().second;
        pending_.erase(pending_.begin());
    }
}

int FakePort::inBufferCount()
{
    deliverDue();
    return int(in_.size());
}

void FakePort::clearInput()
{
    deliverDue();
    in_.clear();
    log << QStringLiteral("clearIn");
}

// Sizes below one are refused as the real port refuses them.
void FakePort::setInBufferSize(int b)
{
    if (b < 1)
        rt::raise(rt::ErrBadSettings);
    inSize_ = b;
}

void FakePort::setOutBufferSize(int b)
{
    if (b < 1)
        rt::raise(rt::ErrBadSettings);
    outSize_ = b;
}

void FakePort::clearOutput() { log << QStringLiteral("clearOut"); }

QByteArray FakePort::input()
{
    deliverDue();
    const int n = inputLen_ <= 0 ? int(in_.size()) : std::min<int>(inputLen_, int(in_.size()));
    QByteArray out = in_.left(n);
    in_.remove(0, n);
    return out;
}

bool FakePort::waitForInput(int timeoutMs)
{
    ++waitCalls;
    deliverDue();
    int64_t step = std::max(timeoutMs, 0);
    if (!pending_.empty())
        step = std::min<int64_t>(step, std::max<int64_t>(pending_.front().first - ui_.monotonicMs(), 0));
    ui_.advanceMs(step);
    deliverDue();
    return !in_.isEmpty();
}

} // namespace vantrel::test
