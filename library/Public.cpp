#include "Public.h"

#include "runtime/Conv.h"
#include "runtime/RuntimeError.h"

#include <QStringList>
#include <cmath>

namespace vantrel {

namespace {
int hexDigit(QChar c)
{
    if (c >= u'0' && c <= u'9')
        return c.unicode() - u'0';
    if (c >= u'A' && c <= u'F')
        return c.unicode() - u'A' + 10;
    if (c >= u'a' && c <= u'f')
        return c.unicode() - u'a' + 10;
    return -1;
}
} // namespace

QString BytesToHex(const QByteArray& bytes) { return BytesToHex(bytes, 0, int(bytes.size())); }

QString BytesToHex(const QByteArray& bytes, int from, int count)
{
    static const char digits[] = "0123456789ABCDEF";
    QString s;
    s.reserve(count * 2);
    for (int i = from; i < from + count && i < bytes.size(); ++i) {
        const uint8_t b = uint8_t(bytes[i]);
        s.append(QLatin1Char(digits[b >> 4]));
        s.append(QLatin1Char(digits[b & 0xF]));
    }
    return s;
}

QByteArray cardNumberBytes(const QString& decimalText)
{
    const double v = rt::CDbl(decimalText);   // raises 13 for no number
    const double r = std::nearbyint(v);       // half to even
    if (!(r >= 0.0 && r <= 4294967295.0))
        rt::raise(rt::ErrOverflow);
    const uint32_t n = uint32_t(r);
    QByteArray b(4, '\0');
    b[0] = char(n >> 24);
    b[1] = char(n >> 16);
    b[2] = char(n >> 8);
    b[3] = char(n);
    return b;
}

uint32_t bigEndian32(const QByteArray& bytes, int from)
{
    return (uint32_t(uint8_t(bytes[from])) << 24) | (uint32_t(uint8_t(bytes[from + 1])) << 16)
        | (uint32_t(uint8_t(bytes[from + 2])) << 8) | uint32_t(uint8_t(bytes[from + 3]));
}

QString tenDigits(uint32_t value) { return QStringLiteral("%1").arg(value, 10, 10, QLatin1Char('0')); }

uint8_t leadingHexByte(const QString& field)
{
    int v = 0;
    for (QChar c : field) {
        const int d = hexDigit(c);
        if (d < 0)
            break;
        v = v * 16 + d;
    }
    return uint8_t(v);
}

uint8_t strictHexByte(const QString& field)
{
    if (field.isEmpty())
        rt::raise(rt::ErrTypeMismatch);
    int v = 0;
    for (QChar c : field) {
        const int d = hexDigit(c);
        if (d < 0)
            rt::raise(rt::ErrTypeMismatch);
        v = v * 16 + d;
    }
    if (v > 255)
        rt::raise(rt::ErrOverflow);
    return uint8_t(v);
}

uint32_t maskValue(const QString& mask, int length, int firstWeight, uint32_t maxValue)
{
    if (mask.size() < length)
        rt::raise(rt::ErrTypeMismatch);
    uint32_t sum = 0;
    for (int i = 0; i < length; ++i) {
        const QChar c = mask[i];
        if (c < u'0' || c > u'9')
            rt::raise(rt::ErrTypeMismatch);
        sum += uint32_t(c.unicode() - u'0') << (firstWeight - i);
    }
    if (sum > maxValue)
        rt::raise(rt::ErrOverflow);
    return sum;
}

QString binaryDigits(uint32_t value, int bits)
{
    QString s;
    s.reserve(bits);
    for (int b = bits - 1; b >= 0; --b)
        s.append((value >> b) & 1u ? u'1' : u'0');
    return s;
}

QString CardListLine(const QByteArray& r, int from, bool decimalCard)
{
    const QString card = decimalCard ? tenDigits(bigEndian32(r, from)) : BytesToHex(r, from, 4);
    const uint8_t flags = uint8_t(r[from + 8]);
    const uint8_t week = uint8_t(r[from + 9]);
    const uint32_t lock1 = (uint32_t(uint8_t(r[from + 13])) << 8) | uint8_t(r[from + 14]);
    const uint32_t lock2 = (uint32_t(uint8_t(r[from + 15])) << 8) | uint8_t(r[from + 16]);
    return QStringList{card,
                       BytesToHex(r, from + 4, 4),
                       binaryDigits(flags, 8),
                       binaryDigits(week >> 1, 7),
                       BytesToHex(r, from + 10, 3),
                       binaryDigits(lock1, 16),
                       binaryDigits(lock2, 16)}
        .join(QLatin1Char('/'));
}

QString PunchRecordLine(int address, const QByteArray& r, int from, bool decimalCard, bool fullYear)
{
    QString line = rt::Right(QStringLiteral("000") + QString::number(address), 3);
    // Byte 3 is not part of the card number: its place holds "00".
    const QString cardHex = QStringLiteral("00") + BytesToHex(r, from + 4, 3);
    if (decimalCard)
        line += tenDigits(cardHex.toUInt(nullptr, 16));
    else
        line += cardHex;
    if (fullYear)
        line += QStringLiteral("20");
    line += BytesToHex(r, from + 7, 8);
    return line;
}

} // namespace vantrel
