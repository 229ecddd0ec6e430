#pragma once
// The PC clock in the form "ModifyDateTime" takes it: date "yymmdd", time
// "hhmmss" (24-hour) and the controller's weekday code, Monday 1 .. Sunday 7.
#include <QDateTime>
#include <QString>
#include <cstdint>

namespace clockset {

struct ClockText {
    QString date;
    QString time;
    int16_t weekday = 1;
};

inline ClockText controllerClock(const QDateTime& at)
{
    return {at.toString(QStringLiteral("yyMMdd")), at.toString(QStringLiteral("HHmmss")),
            int16_t(at.date().dayOfWeek())};
}

} // namespace clockset
