#pragma once
// Choosing the up to four punches of one employee and day that become the
// slots 时间1..时间4 of the day's attendance row. Times are seconds of the
// day; 0 is a missing slot (a punch at exactly 00:00:00 reads as missing).
// Every function takes the day's punch times sorted ascending, duplicates
// kept: a duplicate counts as one punch only where a rule excludes a time.
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

// The day's first and last punch, wherever they lie (slots 0 and 1).
void selectOnePeriod(const Times& day, Slots& out);
// The first period's on- and off-duty punch (slots 0 and 1).
void selectFirstPeriod(const Times& day, const Periods& p, Slots& out);
// The second period's punches (slots 2 and 3), after selectFirstPeriod.
void selectSecondPeriod(const Times& day, const Periods& p, Slots& out);
// The four slots of a day in the mode the periods give.
Slots selectDay(const Times& day, const Periods& p);

// "hh:mm:ss" (one- or two-digit hour) -> seconds of the day; -1 when the
// text is no time of day.
int secondsOfDay(const QString& text);
// Seconds of the day -> "hh:mm:ss".
QString timeText(int seconds);

} // namespace punches
