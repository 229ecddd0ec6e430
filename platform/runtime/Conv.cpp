#include "Conv.h"

#include "RuntimeError.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace rt {

namespace {

double roundHalfEven(double v)
{
    double r = std::nearbyint(v); // default rounding mode is to-nearest-even
    return r;
}

template <typename T>
T toIntChecked(double v)
{
    if (std::isnan(v))
        raise(ErrOverflow);
    double r = roundHalfEven(v);
    if (r < static_cast<double>(std::numeric_limits<T>::min()) || r > static_cast<double>(std::numeric_limits<T>::max()))
        raise(ErrOverflow);
    return static_cast<T>(r);
}

bool parseNumber(const QString& text, double& out)
{
    QString s = text.trimmed();
    if (s.isEmpty())
        return false;
    if (s.startsWith(QLatin1String("&H"), Qt::CaseInsensitive)) {
        bool ok = false;
        qlonglong v = s.mid(2).toLongLong(&ok, 16);
        if (!ok)
            return false;
        out = static_cast<double>(v);
        return true;
    }
    if (s.startsWith(QLatin1String("&O"), Qt::CaseInsensitive)) {
        bool ok = false;
        qlonglong v = s.mid(2).toLongLong(&ok, 8);
        if (!ok)
            return false;
        out = static_cast<double>(v);
        return true;
    }
    // Only plain decimal notation: digits, sign, point, exponent.
    for (QChar c : s) {
        if (!(c.isDigit() && c.unicode() < 128) && c != u'+' && c != u'-' && c != u'.' && c != u'e' && c != u'E')
            return false;
    }
    bool ok = false;
    double v = s.toDouble(&ok);
    if (!ok || std::isinf(v))
        return false;
    out = v;
    return true;
}

} // namespace

int16_t CInt(double v) { return toIntChecked<int16_t>(v); }
int32_t CLng(double v) { return toIntChecked<int32_t>(v); }

double CDbl(const QString& s)
{
    double v = 0;
    if (!parseNumber(s, v))
        raise(ErrTypeMismatch);
    return v;
}

int16_t CInt(const QString& s) { return CInt(CDbl(s)); }
int32_t CLng(const QString& s) { return CLng(CDbl(s)); }

bool IsDigits(const QString& s)
{
    if (s.isEmpty())
        return false;
    for (QChar c : s)
        if (c < u'0' || c > u'9')
            return false;
    return true;
}

std::optional<int64_t> WholeNumber64(const QString& s, int64_t lo, int64_t hi)
{
    const QString t = s.trimmed();
    if (!IsDigits(t))
        return std::nullopt;
    int64_t v = 0;
    for (QChar c : t) {
        v = v * 10 + (c.unicode() - u'0');
        // Digits only add: past hi it can only grow.
        if (v > hi)
            return std::nullopt;
    }
    if (v < lo)
        return std::nullopt;
    return v;
}

std::optional<int16_t> WholeNumber(const QString& s, int lo, int hi)
{
    const auto v = WholeNumber64(s, lo, std::min<int64_t>(hi, std::numeric_limits<int16_t>::max()));
    return v ? std::optional<int16_t>(int16_t(*v)) : std::nullopt;
}

int16_t CWhole(const QString& s)
{
    if (const auto v = WholeNumber(s))
        return *v;
    raise(IsDigits(s.trimmed()) ? ErrOverflow : ErrTypeMismatch);
}

bool IsNumeric(const QString& s)
{
    double v = 0;
    return parseNumber(s, v);
}

double Val(const QString& s)
{
    // Blanks, tabs and line feeds are skipped anywhere in the number.
    QString t;
    for (QChar c : s) {
        if (c != u' ' && c != u'\t' && c != u'\n' && c != u'\r')
            t.append(c);
    }
    if (t.startsWith(QLatin1String("&H"), Qt::CaseInsensitive) || t.startsWith(QLatin1String("&O"), Qt::CaseInsensitive)) {
        int base = (t[1].toUpper() == u'H') ? 16 : 8;
        int i = 2;
        qlonglong v = 0;
        while (i < t.size()) {
            int d = QString(t[i]).toInt(nullptr, base == 16 ? 16 : 8);
            bool isDigit = base == 16 ? QStringLiteral("0123456789abcdefABCDEF").contains(t[i])
                                      : QStringLiteral("01234567").contains(t[i]);
            if (!isDigit)
                break;
            v = v * base + d;
            if (v > 0xFFFFFFFFLL)
                raise(ErrOverflow);
            ++i;
        }
        // Hexadecimal and octal numbers are 16- or 32-bit patterns: "&HFFFF" is -1.
        if (v <= 0xFFFF)
            return static_cast<double>(static_cast<int16_t>(v));
        return static_cast<double>(static_cast<int32_t>(static_cast<uint32_t>(v)));
    }
    int i = 0;
    QString num;
    if (i < t.size() && (t[i] == u'+' || t[i] == u'-'))
        num.append(t[i++]);
    bool digits = false;
    while (i < t.size() && t[i].isDigit() && t[i].unicode() < 128) {
        num.append(t[i++]);
        digits = true;
    }
    if (i < t.size() && t[i] == u'.') {
        num.append(t[i++]);
        while (i < t.size() && t[i].isDigit() && t[i].unicode() < 128) {
            num.append(t[i++]);
            digits = true;
        }
    }
    if (!digits)
        return 0;
    if (i < t.size() && (t[i] == u'e' || t[i] == u'E' || t[i] == u'd' || t[i] == u'D')) {
        QString exp = QStringLiteral("e");
        int j = i + 1;
        if (j < t.size() && (t[j] == u'+' || t[j] == u'-'))
            exp.append(t[j++]);
        bool expDigits = false;
        while (j < t.size() && t[j].isDigit() && t[j].unicode() < 128) {
            exp.append(t[j++]);
            expDigits = true;
        }
        if (expDigits)
            num.append(exp);
    }
    bool ok = false;
    double v = num.toDouble(&ok);
    if (!ok || std::isinf(v))
        raise(ErrOverflow);   // only a number beyond the range of Double fails to convert here
    return v;
}

QString Mid(const QString& s, int start, int length)
{
    if (start < 1)
        raise(ErrInvalidCall);
    if (start > s.size())
        return QString();
    if (length < 0)
        return s.mid(start - 1);
    return s.mid(start - 1, length);
}

QString Left(const QString& s, int length)
{
    if (length < 0)
        raise(ErrInvalidCall);
    return s.left(length);
}

QString Right(const QString& s, int length)
{
    if (length < 0)
        raise(ErrInvalidCall);
    return s.right(length);
}

QString isoDate(const QDate& d) { return d.toString(QLatin1String(kDateFormat)); }
QString isoTime(const QTime& t) { return t.toString(QLatin1String(kTimeFormat)); }
QString isoDateTime(const QDateTime& dt) { return dt.toString(QLatin1String(kDateTimeFormat)); }

QDate parseIsoDate(const QString& s)
{
    return QDate::fromString(s.trimmed().left(10), QLatin1String(kDateFormat));
}

QDateTime wallTime(const QDate& d, const QTime& t)
{
    return d.isValid() && t.isValid() ? QDateTime(d, t, Qt::UTC) : QDateTime();
}

QDateTime parseIsoDateTime(const QString& s)
{
    const QString t = s.trimmed();
    if (t.size() == 10)
        return wallTime(parseIsoDate(t), QTime(0, 0));
    const QStringList parts = t.split(u' ');
    if (parts.size() != 2)
        return QDateTime();
    return wallTime(QDate::fromString(parts[0], QLatin1String(kDateFormat)),
                    QTime::fromString(parts[1], QLatin1String(kTimeFormat)));
}

} // namespace rt
