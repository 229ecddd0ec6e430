#pragma once
// Punch times of one employee and day and the slots 时间1..时间4 they are
// chosen into (the choice itself is Frmkqzl's). Times are seconds of the
// day; 0 is a missing slot, so a punch at exactly 00:00:00 is left out of
// the day's times.
// A day's times are sorted ascending, duplicates kept: a duplicate counts as
// one punch only where a rule excludes a time.
#include <QString>

#include <array>
#include <vector>

namespace punches {

using Times = std::vector<int>;
using Slots = std::array<int, 4>;

// The period times of the working-time rules (seconds of the day).
struct Periods {
    int on1 = 0;    // 上班时间
    int off1 = 0;   // 下班时间
    int on2 = 0;    // timeb
    int off2 = 0;   // timee
    // One-period mode: the second period is 00:00:00 to 00:00:00.
    bool onePeriod() const { return on2 == 0 && off2 == 0; }
};

// "hh:mm:ss" (one- or two-digit hour) -> seconds of the day; -1 when the
// text is no time of day.
int secondsOfDay(const QString& text);
// Seconds of the day -> "hh:mm:ss".
QString timeText(int seconds);

} // namespace punches
