#include "Controller.h"
#include "StateReader.h"

#include "runtime/Conv.h"
#include "ui/Ui.h"

#include <QJsonArray>
#include <QStringList>

#include <algorithm>
#include <climits>
#include <cstdint>

namespace sim {

namespace {

uint8_t toBcd(int v) { return uint8_t((v / 10) * 16 + v % 10); }

int fromBcd(uint8_t b, bool& ok)
{
    if ((b >> 4) > 9 || (b & 15) > 9)
        ok = false;
    return (b >> 4) * 10 + (b & 15);
}

uint32_t be32(const QByteArray& b, int at)
{
    return uint32_t(uint8_t(b[at])) << 24 | uint32_t(uint8_t(b[at + 1])) << 16 | uint32_t(uint8_t(b[at + 2])) << 8
         | uint32_t(uint8_t(b[at + 3]));
}

// How far the PC's wall clock runs ahead of UTC now (its zone and daylight saving).
int64_t wallAheadOfUtcMs(const QDateTime& now) { return int64_t(now.offsetFromUtc()) * 1000; }

// Further than this from the PC's clock, a controller's clock could not be
// shown as a date.
constexpr double kMostClockOffsetMs = 200.0 * 366 * 86400000;

void put32(QByteArray& b, int at, uint32_t v)
{
    b[at] = char(v >> 24);
    b[at + 1] = char(v >> 16);
    b[at + 2] = char(v >> 8);
    b[at + 3] = char(v);
}

void put16(QByteArray& b, int at, int v)
{
    b[at] = char(v >> 8);
    b[at + 1] = char(v);
}

void seal(QByteArray& r) { r[r.size() - 1] = char(xorOf(r, 0, int(r.size()) - 1)); }

// Record sizes of the replies made of records (block replies and the time
// groups), which carry a check byte per record instead of one at the end.
int recordSize(uint8_t command)
{
    switch (command) {
    case 0x05: return 16;
    case 0x04: return 21;
    case 0x42: return 7;
    default: return 0;
    }
}

QByteArray punchSlot(const PunchRecord& p, uint8_t address)
{
    QByteArray s(16, 0);
    s[0] = char(address);
    s[1] = char(p.reserved1);
    s[2] = char(p.reserved2);
    put32(s, 3, p.card);
    const QDate d = p.time.date();
    const QTime t = p.time.time();
    s[7] = char(toBcd(d.year() % 100));
    s[8] = char(toBcd(d.month()));
    s[9] = char(toBcd(d.day()));
    s[10] = char(toBcd(t.hour()));
    s[11] = char(toBcd(t.minute()));
    s[12] = char(toBcd(t.second()));
    s[13] = char(p.openType);
    s[14] = char(p.code);
    seal(s);
    return s;
}

QByteArray cardSlot(const CardRecord& c, uint8_t address)
{
    QByteArray s(21, 0);
    s[0] = char(address);
    s.replace(3, 17, c.toBytes());
    seal(s);
    return s;
}

QString hex(const QByteArray& b) { return QString::fromLatin1(b.toHex().toUpper()); }

} // namespace

uint8_t xorOf(const QByteArray& b, int from, int to)
{
    uint8_t x = 0;
    for (int i = from; i < to && i < b.size(); ++i)
        x ^= uint8_t(b[i]);
    return x;
}

int frameLength(uint8_t command)
{
    switch (command) {
    case 0x10: case 0x06: case 0x0C: case 0x0B: case 0x42:
    case 0x1B: case 0x19: case 0x18: case 0x80: return 3;
    case 0x40: return 4;
    case 0x05: case 0x04: return 5;
    case 0x09: return 6;
    case 0x0D: case 0x1D: return 7;
    case 0x41: return 9;
    case 0x08: return 10;
    case 0x03: return 20;
    default: return 0;
    }
}

int replyLength(uint8_t command)
{
    switch (command) {
    case 0x10: return 131;
    case 0x06: case 0x0C: case 0x08: case 0x09: return 4;
    case 0x03: case 0x0D: case 0x1B: return 6;
    case 0x1D: return 21;
    case 0x0B: return 8;
    case 0x05: return 240;
    case 0x04: return 315;
    case 0x41: case 0x40: return 5;
    case 0x42: return 112;
    case 0x19: return 13;
    case 0x18: return 10;
    case 0x80: return 12;
    default: return 0;
    }
}

QByteArray CardRecord::toBytes() const
{
    QByteArray b(17, 0);
    put32(b, 0, card);
    put32(b, 4, employee);
    b[8] = char(flags);
    b[9] = char(weekdays);
    b[10] = char(endDate >> 16);
    b[11] = char(endDate >> 8);
    b[12] = char(endDate);
    put16(b, 13, groups1);
    put16(b, 15, groups2);
    return b;
}

CardRecord CardRecord::fromBytes(const QByteArray& b, int at)
{
    CardRecord c;
    c.card = be32(b, at);
    c.employee = be32(b, at + 4);
    c.flags = uint8_t(b[at + 8]);
    c.weekdays = uint8_t(b[at + 9]);
    c.endDate = uint32_t(uint8_t(b[at + 10])) << 16 | uint32_t(uint8_t(b[at + 11])) << 8 | uint8_t(b[at + 12]);
    c.groups1 = uint16_t(uint8_t(b[at + 13]) << 8 | uint8_t(b[at + 14]));
    c.groups2 = uint16_t(uint8_t(b[at + 15]) << 8 | uint8_t(b[at + 16]));
    return c;
}

Controller::Controller(uint8_t address, int capacity)
    : address_(address)
    , capacity_(std::max(0, capacity))
    , clockMinusUtcMs_(wallAheadOfUtcMs(ui::now()))
    , version_(versionBytes(QString::fromLatin1(kDefaultVersion)))
{
    groups_[15] = TimeGroup{0x00, 0x00, 0x23, 0x59}; // the last group is the whole day
}

void Controller::changed()
{
    if (onChange)
        onChange();
}

void Controller::setCapacity(int count)
{
    capacity_ = std::max(0, count);
    changed();
}

std::optional<CardRecord> Controller::findCard(uint32_t card) const
{
    for (const CardRecord& r : slots_)
        if (!r.isEmpty() && r.card == card)
            return r;
    return std::nullopt;
}

bool Controller::storeCard(const CardRecord& r)
{
    for (CardRecord& s : slots_) {
        if (!s.isEmpty() && s.card == r.card) { // a card sent again replaces its record
            s = r;
            changed();
            return true;
        }
    }
    if (int(slots_.size()) >= capacity_)
        return false;
    slots_.push_back(r);
    changed();
    return true;
}

bool Controller::deleteCard(uint32_t card)
{
    for (CardRecord& s : slots_) {
        if (!s.isEmpty() && s.card == card) {
            s = CardRecord{};
            if (deleted_ < kMostDeleted)
                ++deleted_;
            changed();
            return true;
        }
    }
    return false;
}

void Controller::clearList()
{
    slots_.clear();
    deleted_ = 0;
    changed();
}

void Controller::addPunch(const PunchRecord& p)
{
    punches_.push_back(p);
    punches_.back().time = rt::wallTime(p.time.date(), p.time.time());
    changed();
}

void Controller::clearPunches()
{
    punches_.clear();
    changed();
}

void Controller::setTimeGroup(int index, const TimeGroup& g)
{
    if (index < 0 || index > 15)
        return;
    groups_[size_t(index)] = g;
    changed();
}

QDateTime Controller::clock() const
{
    return QDateTime::fromMSecsSinceEpoch(ui::now().toMSecsSinceEpoch() + clockMinusUtcMs_, Qt::UTC);
}

void Controller::setClock(const QDateTime& t)
{
    clockMinusUtcMs_ = rt::wallTime(t.date(), t.time()).toMSecsSinceEpoch() - ui::now().toMSecsSinceEpoch();
    changed();
}

void Controller::setDelays(uint8_t lock1, uint8_t lock2, uint8_t relay)
{
    delays_ = {lock1, lock2, relay};
    changed();
}

void Controller::openLock(int lock)
{
    const int64_t now = ui::monotonicMs();
    if (lock == 1 || lock == 3)
        openUntil_[0] = now + int64_t(delays_[0]) * 300;
    if (lock == 2 || lock == 3)
        openUntil_[1] = now + int64_t(delays_[1]) * 300;
}

bool Controller::lockOpen(int lock) const
{
    if (lock != 1 && lock != 2)
        return false;
    return ui::monotonicMs() < openUntil_[size_t(lock - 1)];
}

void Controller::presentCard(uint32_t card)
{
    lastCard_ = card;
    changed();
}

void Controller::swipeCard(uint32_t card, int reader)
{
    // Bit 0 of the reader byte is the mode: set, one door with an in and an
    // out reader; clear, two doors with a reader each.
    const bool oneDoor = (readerCode_ & 1) != 0;
    const bool second = reader == 2;
    readerCode_ = uint8_t((readerCode_ & 1) | (second ? 2 : 0));
    presentCard(card);
    if (!findCard(card))
        return;
    PunchRecord p;
    p.card = card;
    p.time = clock();
    p.time.setTime(QTime(p.time.time().hour(), p.time.time().minute(), p.time.time().second()));
    p.openType = 0x0A;
    p.code = !second ? 0x01 : oneDoor ? 0x02 : 0x03;   // lock 1 in, lock 1 out, lock 2 in
    addPunch(p);
    openLock(second && !oneDoor ? 2 : 1);
}

void Controller::setReaderCode(uint8_t code)
{
    readerCode_ = code;
    changed();
}

void Controller::setVersion(const QByteArray& eightBytes)
{
    version_ = eightBytes.left(8);
    version_.resize(8, '\0');
    changed();
}

QByteArray Controller::versionBytes(const QString& text)
{
    QString t = text.trimmed();
    if (t.startsWith(QLatin1Char('V'), Qt::CaseInsensitive))
        t.remove(0, 1);
    const QStringList parts = t.split(QLatin1Char('.'));
    if (parts.size() != 3)
        return {};
    // Model 8096 and a firmware date of 2010-05-20; the parts as BCD.
    QByteArray b = QByteArray::fromHex("8096100520");
    for (const QString& part : parts) {
        bool ok = false;
        const int n = part.toInt(&ok);
        if (!ok || n < 0 || n > 99 || part.size() > 2)
            return {};
        b.append(char((n / 10) << 4 | n % 10));
    }
    return b;
}

void Controller::clearLog()
{
    seen_.clear();
    frames_.clear();
}

std::optional<Reply> Controller::onByte(const serial::LineByte& b)
{
    seen_.push_back(b);
    if (b.ninth) {
        selected_ = b.value == address_;
        frame_.clear();
        return std::nullopt;
    }
    if (!selected_)
        return std::nullopt;
    frame_.append(char(b.value));
    if (frame_.size() == 1) {
        if (b.value < 3) // no frame is that short: wait for the next address byte
            selected_ = false;
        return std::nullopt;
    }
    const uint8_t cmd = uint8_t(frame_[1]);
    const int known = frameLength(cmd);
    const int expected = known ? known : uint8_t(frame_[0]);
    if (frame_.size() < expected)
        return std::nullopt;
    selected_ = false;
    const int lengthByte = cmd == 0x09 ? 5 : expected;
    const bool intact = known && uint8_t(frame_[0]) == lengthByte
                     && (xorOf(frame_, 0, expected - 1) ^ address_) == uint8_t(frame_[expected - 1]);
    frames_.push_back({frame_, intact});
    QByteArray frame = frame_;
    frame_.clear();
    if (!intact)
        return std::nullopt;
    return respond(frame);
}

std::optional<Reply> Controller::respond(const QByteArray& frame)
{
    const uint8_t cmd = uint8_t(frame[1]);
    std::vector<Fault> active;
    for (auto it = faults_.begin(); it != faults_.end();) {
        if (it->command == -1 || it->command == cmd) {
            active.push_back(*it);
            if (it->times > 0 && --it->times == 0) {
                it = faults_.erase(it);
                continue;
            }
        }
        ++it;
    }
    auto has = [&](Fault::Kind k) {
        return std::find_if(active.begin(), active.end(), [k](const Fault& f) { return f.kind == k; }) != active.end();
    };

    uint8_t replyAddress = address_;
    for (const Fault& f : active)
        if (f.kind == Fault::OtherAddress)
            replyAddress = uint8_t(f.address);
    QByteArray r = answer(frame, replyAddress); // the command takes effect even when its reply is lost
    if (r.isEmpty() || has(Fault::NoAnswer))
        return std::nullopt;

    int gapFirst = 0, pieceSize = 0, pieceGap = 0;
    for (const Fault& f : active) {
        switch (f.kind) {
        case Fault::BadSlot: {
            const int size = recordSize(cmd);
            const int at = f.slot * size;
            if (size && at + size <= r.size()) {
                if (f.slotOtherAddress) {
                    r[at] = char(uint8_t(r[at]) ^ 0x80);
                    r[at + size - 1] = char(xorOf(r, at, at + size - 1));
                } else {
                    r[at + size - 1] = char(~uint8_t(r[at + size - 1]));
                }
            }
            break;
        }
        case Fault::BadChecksum: r[r.size() - 1] = char(~uint8_t(r[r.size() - 1])); break;
        default: break;
        }
    }
    for (const Fault& f : active) {
        if (f.kind == Fault::Truncate)
            r.chop(std::min<qsizetype>(f.size, r.size()));
        else if (f.kind == Fault::ExtraBytes)
            r.append(f.extra);
        else if (f.kind == Fault::Late)
            gapFirst += f.delayMs;
        else if (f.kind == Fault::Pieces) {
            pieceSize = std::max(1, f.size);
            pieceGap = f.delayMs;
        }
    }
    Reply reply;
    if (pieceSize == 0) {
        reply.pieces.push_back({r, gapFirst});
    } else {
        for (qsizetype at = 0; at < r.size(); at += pieceSize)
            reply.pieces.push_back({r.mid(at, pieceSize), at == 0 ? gapFirst : pieceGap});
    }
    return reply;
}

QByteArray Controller::answer(const QByteArray& frame, uint8_t replyAddress)
{
    const uint8_t cmd = uint8_t(frame[1]);
    const int len = replyLength(cmd);
    if (!len)
        return {};
    QByteArray r(len, 0);
    if (!recordSize(cmd)) {
        r[0] = char(replyAddress);
        r[2] = char(cmd);
    }
    switch (cmd) {
    case 0x10: // status block: counts at 50-53
        put16(r, 50, int(std::min<size_t>(slots_.size(), 0xFFFF)));
        put16(r, 52, int(std::min<size_t>(punches_.size(), 0xFFFF)));
        break;
    case 0x06:
        clearPunches();
        break;
    case 0x0C:
        clearList();
        break;
    case 0x03: {
        const CardRecord c = CardRecord::fromBytes(frame, 2);
        if (storeCard(c)) {
            const auto it = std::find(slots_.begin(), slots_.end(), c);
            put16(r, 3, int(it - slots_.begin()));
        } else {
            r[3] = r[4] = char(0xFF); // list full
        }
        break;
    }
    case 0x0D: {
        const bool gone = deleteCard(be32(frame, 2));
        r[3] = char(std::min(deleted_, 255));
        r[4] = char(gone ? 1 : 0);
        break;
    }
    case 0x1D: {
        if (auto c = findCard(be32(frame, 2)))
            r.replace(3, 17, c->toBytes());
        else
            put32(r, 3, 0xFFFFFFFF);
        break;
    }
    case 0x0B:
        r[2] = char(lastCard_ ? 0x04 : 0x00);
        put32(r, 3, lastCard_.value_or(0));
        break;
    case 0x05: {
        r.fill(char(0xFF));
        const size_t first = (size_t(uint8_t(frame[2])) << 8 | uint8_t(frame[3])) * 15;
        for (size_t k = 0; k < 15 && first + k < punches_.size(); ++k)
            r.replace(qsizetype(k * 16), 16, punchSlot(punches_[first + k], replyAddress));
        return r;
    }
    case 0x04: {
        r.fill(char(0xFF));
        const size_t first = (size_t(uint8_t(frame[2])) << 8 | uint8_t(frame[3])) * 15;
        for (size_t k = 0; k < 15 && first + k < slots_.size(); ++k)
            r.replace(qsizetype(k * 21), 21, cardSlot(slots_[first + k], replyAddress));
        return r;
    }
    case 0x41: {
        const int g = uint8_t(frame[2]);
        if (g > 15)
            return {};
        setTimeGroup(g, TimeGroup{uint8_t(frame[4]), uint8_t(frame[5]), uint8_t(frame[6]), uint8_t(frame[7])});
        r[3] = char(g);
        break;
    }
    case 0x42:
        for (int g = 0; g < 16; ++g) {
            QByteArray rec(7, 0);
            rec[0] = char(replyAddress);
            rec[1] = char(0x42);
            rec[2] = char(groups_[size_t(g)].startHour);
            rec[3] = char(groups_[size_t(g)].startMinute);
            rec[4] = char(groups_[size_t(g)].endHour);
            rec[5] = char(groups_[size_t(g)].endMinute);
            seal(rec);
            r.replace(g * 7, 7, rec);
        }
        return r;
    case 0x08: {
        bool ok = true;
        const QDate d(2000 + fromBcd(uint8_t(frame[2]), ok), fromBcd(uint8_t(frame[3]), ok), fromBcd(uint8_t(frame[4]), ok));
        const QTime t(fromBcd(uint8_t(frame[5]), ok), fromBcd(uint8_t(frame[6]), ok), fromBcd(uint8_t(frame[7]), ok));
        if (!ok || !d.isValid() || !t.isValid())
            return {}; // a clock it cannot keep: no answer
        setClock(rt::wallTime(d, t));
        break;
    }
    case 0x09:
        setDelays(uint8_t(frame[2]), uint8_t(frame[3]), uint8_t(frame[4]));
        break;
    case 0x40: {
        const int lock = uint8_t(frame[2]);
        openLock(lock);
        r[3] = char(lock);
        break;
    }
    case 0x1B:
        r[3] = char(lockOpen(1) ? 1 : 0);
        r[4] = char(lockOpen(2) ? 1 : 0);
        break;
    case 0x19: {
        const QDateTime c = clock();
        r[3] = char(toBcd(c.date().year() % 100));
        r[4] = char(toBcd(c.date().month()));
        r[5] = char(toBcd(c.date().day()));
        r[6] = char(toBcd(c.time().hour()));
        r[7] = char(toBcd(c.time().minute()));
        r[8] = char(toBcd(c.time().second()));
        r[9] = char(delays_[0]);
        r[10] = char(delays_[1]);
        r[11] = char(delays_[2]);
        break;
    }
    case 0x18:
        put32(r, 3, lastCard_.value_or(0xFFFFFFFF));
        r[7] = char((lockOpen(1) ? 0x10 : 0) | (lockOpen(2) ? 0x01 : 0));
        r[8] = char(readerCode_);
        break;
    case 0x80:
        r.replace(3, 8, version_);
        break;
    default:
        return {};
    }
    seal(r);
    return r;
}

QJsonObject Controller::toJson() const
{
    QJsonArray cards;
    for (const CardRecord& c : slots_)
        cards.append(hex(c.toBytes()));
    QJsonArray punches;
    for (const PunchRecord& p : punches_) {
        punches.append(QJsonObject{
            {QStringLiteral("card"), double(p.card)},
            {QStringLiteral("time"), p.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))},
            {QStringLiteral("openType"), p.openType},
            {QStringLiteral("code"), p.code},
            {QStringLiteral("reserved"), QJsonArray{p.reserved1, p.reserved2}},
        });
    }
    QJsonArray groups;
    for (const TimeGroup& g : groups_)
        groups.append(QStringLiteral("%1%2%3%4")
                          .arg(g.startHour, 2, 16, QLatin1Char('0'))
                          .arg(g.startMinute, 2, 16, QLatin1Char('0'))
                          .arg(g.endHour, 2, 16, QLatin1Char('0'))
                          .arg(g.endMinute, 2, 16, QLatin1Char('0'))
                          .toUpper());
    QJsonObject o{
        {QStringLiteral("address"), address_},
        {QStringLiteral("capacity"), capacity_},
        {QStringLiteral("deleted"), deleted_},
        {QStringLiteral("cards"), cards},
        {QStringLiteral("punches"), punches},
        {QStringLiteral("timeGroups"), groups},
        // Kept against the PC's wall clock, so that a file moved to another
        // zone, or read after a daylight-saving change, starts as it was left.
        {QStringLiteral("clockOffsetMs"), double(clockMinusUtcMs_ - wallAheadOfUtcMs(ui::now()))},
        {QStringLiteral("delays"), QJsonArray{delays_[0], delays_[1], delays_[2]}},
        {QStringLiteral("readerCode"), readerCode_},
        {QStringLiteral("version"), hex(version_)},
    };
    if (lastCard_)
        o.insert(QStringLiteral("lastCard"), double(*lastCard_));
    return o;
}

std::unique_ptr<Controller> Controller::fromJson(const QJsonObject& o, StateReader& read)
{
    const int address = int(read.number(o, "address", 0, 255, -1));
    if (address < 0)
        read.fail("address");
    auto c = std::make_unique<Controller>(uint8_t(address), int(read.number(o, "capacity", 0, INT_MAX, 1000)));
    c->deleted_ = int(read.number(o, "deleted", 0, kMostDeleted, 0));
    for (const QJsonValue& v : read.list(o, "cards")) {
        const QByteArray b = read.bytes(v, "cards", 17);
        if (!b.isEmpty())
            c->slots_.push_back(CardRecord::fromBytes(b));
    }
    for (const QJsonValue& v : read.list(o, "punches")) {
        const QJsonObject p = read.object(v, "punches");
        PunchRecord r;
        r.card = uint32_t(read.number(p, "card", 0, UINT32_MAX, 0));
        r.time = read.time(p, "time");
        r.openType = uint8_t(read.number(p, "openType", 0, 255, 0x0A));
        r.code = uint8_t(read.number(p, "code", 0, 255, 0));
        const QJsonArray res = read.list(p, "reserved", 2);
        r.reserved1 = uint8_t(read.number(res.at(0), "reserved", 0, 255, 0));
        r.reserved2 = uint8_t(read.number(res.at(1), "reserved", 0, 255, 0));
        c->punches_.push_back(r);
    }
    const QJsonArray groups = read.list(o, "timeGroups", 16);
    for (int g = 0; g < groups.size(); ++g) {
        const QByteArray b = read.bytes(groups[g], "timeGroups", 4);
        if (!b.isEmpty())
            c->groups_[size_t(g)] = TimeGroup{uint8_t(b[0]), uint8_t(b[1]), uint8_t(b[2]), uint8_t(b[3])};
    }
    c->clockMinusUtcMs_ = int64_t(read.number(o, "clockOffsetMs", -kMostClockOffsetMs, kMostClockOffsetMs, 0))
                        + wallAheadOfUtcMs(ui::now());
    const QJsonArray d = read.list(o, "delays", 3);
    for (int i = 0; i < d.size(); ++i)
        c->delays_[size_t(i)] = uint8_t(read.number(d[i], "delays", 0, 255, 10));
    c->readerCode_ = uint8_t(read.number(o, "readerCode", 0, 255, 1));
    const QByteArray ver = read.bytes(o.value(QStringLiteral("version")), "version", 8);
    // Before versions could be chosen every controller was saved with this
    // one: such a controller reports the default like a new one.
    if (!ver.isEmpty() && ver != QByteArray::fromHex("8096080827010204"))
        c->version_ = ver;
    if (o.contains(QStringLiteral("lastCard")))
        c->lastCard_ = uint32_t(read.number(o, "lastCard", 0, UINT32_MAX, 0));
    return c;
}

} // namespace sim
