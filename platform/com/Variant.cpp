#include "Variant.h"

#include "runtime/Conv.h"
#include "runtime/RuntimeError.h"

#include <cmath>
#include <limits>

namespace com {

namespace {

// Dates as numbers: days since 1899-12-30, the time of day as the fraction.
const QDate kDateZero(1899, 12, 30);

double dateToNumber(const QDateTime& d)
{
    if (!d.isValid())
        return 0;
    double days = static_cast<double>(kDateZero.daysTo(d.date()));
    double frac = d.time().msecsSinceStartOfDay() / 86400000.0;
    return days + frac;
}

QDateTime numberToDate(double v)
{
    if (std::isnan(v) || std::fabs(v) > 2958465.0)   // beyond 9999-12-31
        rt::raise(rt::ErrOverflow);
    double days = std::floor(v);
    qint64 ms = std::llround((v - days) * 86400000.0);
    if (ms >= 86400000) {
        days += 1;
        ms -= 86400000;
    }
    return rt::wallTime(kDateZero.addDays(static_cast<qint64>(days)), QTime(0, 0).addMSecs(static_cast<int>(ms)));
}

QString doubleToText(double v)
{
    // Fifteen significant digits, exponent written "1E+20" as the callers expect.
    if (v == 0)
        return QStringLiteral("0");   // also for -0
    QString s = QString::number(v, 'g', 15);
    s.replace(QLatin1Char('e'), QLatin1Char('E'));
    return s;
}

QString dateToText(const QDateTime& d)
{
    bool noTime = d.time() == QTime(0, 0);
    bool noDate = d.date() == kDateZero;
    if (noTime)
        return rt::isoDate(d.date());
    if (noDate)
        return rt::isoTime(d.time());
    return rt::isoDateTime(d);
}

bool textToBool(const QString& s, bool& out)
{
    QString t = s.trimmed();
    if (t.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0) {
        out = true;
        return true;
    }
    if (t.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0) {
        out = false;
        return true;
    }
    return false;
}

} // namespace

Variant::Variant(long v)
{
    if (v >= std::numeric_limits<int32_t>::min() && v <= std::numeric_limits<int32_t>::max())
        v_ = static_cast<int32_t>(v);
    else
        v_ = static_cast<double>(v);
}

Variant::Variant(long long v)
{
    if (v >= std::numeric_limits<int32_t>::min() && v <= std::numeric_limits<int32_t>::max())
        v_ = static_cast<int32_t>(v);
    else
        v_ = static_cast<double>(v);
}

Variant::Variant(unsigned long v)
{
    if (v <= static_cast<unsigned long>(std::numeric_limits<int32_t>::max()))
        v_ = static_cast<int32_t>(v);
    else
        v_ = static_cast<double>(v);
}

Variant Variant::null()
{
    Variant v;
    v.v_ = NullTag{};
    return v;
}

Variant Variant::missing()
{
    Variant v;
    v.v_ = MissingTag{};
    return v;
}

VType Variant::type() const
{
    switch (v_.index()) {
    case 0: return VType::Empty;
    case 1: return VType::Null;
    case 2: return VType::Missing;
    case 3: return VType::Integer;
    case 4: return VType::Long;
    case 5: return VType::Boolean;
    case 6: return VType::Double;
    case 7: return VType::String;
    case 8: return VType::Date;
    }
    return VType::Empty;
}

QString Variant::typeName(VType t)
{
    switch (t) {
    case VType::Empty: return QStringLiteral("Empty");
    case VType::Null: return QStringLiteral("Null");
    case VType::Missing: return QStringLiteral("Missing");
    case VType::Integer: return QStringLiteral("Integer");
    case VType::Long: return QStringLiteral("Long");
    case VType::Boolean: return QStringLiteral("Boolean");
    case VType::Double: return QStringLiteral("Double");
    case VType::String: return QStringLiteral("String");
    case VType::Date: return QStringLiteral("Date");
    }
    return QString();
}

double Variant::toDouble() const
{
    switch (type()) {
    case VType::Empty: return 0;
    case VType::Null: rt::raise(rt::ErrInvalidUseOfNull);
    case VType::Missing: rt::raise(rt::ErrTypeMismatch);
    case VType::Integer: return std::get<int16_t>(v_);
    case VType::Long: return std::get<int32_t>(v_);
    case VType::Boolean: return std::get<bool>(v_) ? -1.0 : 0.0;
    case VType::Double: return std::get<double>(v_);
    case VType::String: return rt::CDbl(std::get<QString>(v_));
    case VType::Date: return dateToNumber(std::get<DateBox>(v_).d);
    }
    rt::raise(rt::ErrTypeMismatch);
}

int16_t Variant::toInteger() const
{
    switch (type()) {
    case VType::Integer: return std::get<int16_t>(v_);
    case VType::Boolean: return std::get<bool>(v_) ? -1 : 0;
    default: return rt::CInt(toDouble());
    }
}

int32_t Variant::toLong() const
{
    switch (type()) {
    case VType::Integer: return std::get<int16_t>(v_);
    case VType::Long: return std::get<int32_t>(v_);
    case VType::Boolean: return std::get<bool>(v_) ? -1 : 0;
    default: return rt::CLng(toDouble());
    }
}

bool Variant::toBool() const
{
    switch (type()) {
    case VType::Boolean: return std::get<bool>(v_);
    case VType::Empty: return false;
    case VType::String: {
        bool b = false;
        if (textToBool(std::get<QString>(v_), b))
            return b;
        return rt::CDbl(std::get<QString>(v_)) != 0.0;
    }
    default: return toDouble() != 0.0;
    }
}

QString Variant::toString() const
{
    switch (type()) {
    case VType::Empty: return QString();
    case VType::Null: rt::raise(rt::ErrInvalidUseOfNull);
    case VType::Missing: rt::raise(rt::ErrTypeMismatch);
    case VType::Integer: return QString::number(std::get<int16_t>(v_));
    case VType::Long: return QString::number(std::get<int32_t>(v_));
    case VType::Boolean: return std::get<bool>(v_) ? QStringLiteral("True") : QStringLiteral("False");
    case VType::Double: return doubleToText(std::get<double>(v_));
    case VType::String: return std::get<QString>(v_);
    case VType::Date: return dateToText(std::get<DateBox>(v_).d);
    }
    rt::raise(rt::ErrTypeMismatch);
}

QDateTime Variant::toDate() const
{
    switch (type()) {
    case VType::Date: return std::get<DateBox>(v_).d;
    case VType::String: {
        const QString s = std::get<QString>(v_).trimmed();
        QDateTime d = rt::parseIsoDateTime(s);
        if (d.isValid())
            return d;
        QTime t = QTime::fromString(s, QLatin1String(rt::kTimeFormat));
        if (!t.isValid())
            t = QTime::fromString(s, QStringLiteral("HH:mm"));
        if (t.isValid())
            return rt::wallTime(kDateZero, t);
        if (rt::IsNumeric(s))
            return numberToDate(rt::CDbl(s));
        rt::raise(rt::ErrTypeMismatch);
    }
    default: return numberToDate(toDouble());
    }
}

Variant Variant::convertedTo(VType t) const
{
    if (t == type())
        return *this;
    switch (t) {
    case VType::Empty: return Variant();
    case VType::Null: return null();
    case VType::Missing: return missing();
    case VType::Integer: return Variant(toInteger());
    case VType::Long: return Variant(toLong());
    case VType::Boolean: return Variant(toBool());
    case VType::Double: return Variant(toDouble());
    case VType::String: return Variant(toString());
    case VType::Date: return Variant(toDate());
    }
    return *this;
}

} // namespace com
