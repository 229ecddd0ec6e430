#pragma once
// The state file is read by one rule: a field that is there must be of its
// kind and within its range, or the file is refused with the first bad field
// named in why. Taking what can be read would save the file back without
// the rest. A missing field keeps its default.
#include "runtime/Conv.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <algorithm>
#include <cctype>
#include <cmath>

namespace sim {

struct StateReader {
    QString why;

    void fail(const char* key)
    {
        if (why.isEmpty())
            why = QString::fromLatin1(key);
    }

    // A whole number from low to high.
    double number(const QJsonValue& v, const char* key, double low, double high, double missing)
    {
        if (v.isUndefined())
            return missing;
        const double d = v.toDouble(std::nan(""));
        if (d >= low && d <= high && d == std::floor(d))
            return d;
        fail(key);
        return low;
    }
    double number(const QJsonObject& o, const char* key, double low, double high, double missing)
    {
        return number(o.value(QLatin1String(key)), key, low, high, missing);
    }

    // A date and time of day without a zone; there is no default.
    QDateTime time(const QJsonObject& o, const char* key)
    {
        const QDateTime t = rt::parseIsoDateTime(o.value(QLatin1String(key)).toString());
        if (!t.isValid())
            fail(key);
        return t;
    }

    bool flag(const QJsonObject& o, const char* key)
    {
        const QJsonValue v = o.value(QLatin1String(key));
        if (!v.isUndefined() && !v.isBool())
            fail(key);
        return v.toBool();
    }

    // A list of at most `most` entries; empty when missing.
    QJsonArray list(const QJsonObject& o, const char* key, qsizetype most = -1)
    {
        const QJsonValue v = o.value(QLatin1String(key));
        if (v.isUndefined())
            return {};
        if (!v.isArray() || (most >= 0 && v.toArray().size() > most)) {
            fail(key);
            return {};
        }
        return v.toArray();
    }

    QJsonObject object(const QJsonValue& v, const char* key)
    {
        if (!v.isObject())
            fail(key);
        return v.toObject();
    }

    // `size` bytes written as hex digits; empty when missing.
    QByteArray bytes(const QJsonValue& v, const char* key, int size)
    {
        if (v.isUndefined())
            return {};
        const QByteArray digits = v.toString().toLatin1();
        if (digits.size() != 2 * size
            || !std::all_of(digits.begin(), digits.end(), [](char c) { return std::isxdigit(uchar(c)) != 0; })) {
            fail(key);
            return {};
        }
        return QByteArray::fromHex(digits);
    }
};

} // namespace sim
