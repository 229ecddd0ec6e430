// The attendance processing window's choice of the day's punches for
// 时间1..时间4, as plain code over one employee's sorted punch times of a day.
#include "PunchSelection.h"

#include "Frmkqzl.h"

#include <cstdlib>

namespace {

// The punches of the day that satisfy keep, ascending.
template <class Pred>
punches::Times where(const punches::Times& day, Pred keep)
{
    punches::Times out;
    for (int t : day)
        if (keep(t))
            out.push_back(t);
    return out;
}

} // namespace

// The day's first and last punch, wherever they lie; the times are not used.
void Frmkqzl::GetPunchesOnePeriod(const punches::Times& day, int onDuty, int offDuty)
{
    Q_UNUSED(onDuty);
    Q_UNUSED(offDuty);
    punchSlots[0] = punchSlots[1] = 0;
    if (day.empty())
        return;
    punchSlots[0] = day.front();
    const int first = punchSlots[0];
    const punches::Times rest = where(day, [&](int t) { return t != first; });
    if (!rest.empty())
        punchSlots[1] = rest.back();
}

void Frmkqzl::GetPunchesFirstPeriod(const punches::Times& day, int onDuty1, int offDuty1, int onDuty2, int offDuty2)
{
    punches::Slots& out = punchSlots;
    out[0] = out[1] = 0;
    // Only punches strictly before the second period's start belong here.
    if (day.empty() || day.front() >= onDuty2)
        return;
    const int f = day.front();
    out[0] = f;

    const punches::Times q = where(day, [&](int t) { return t > onDuty1 && t < onDuty2 && t != f; });
    if (q.empty())
        return;
    if (q.size() == 1) {
        out[1] = q.front();
        return;
    }
    // Punches between the periods; the first punch is never its own off-duty punch.
    const punches::Times r = where(day, [&](int t) { return t > offDuty1 && t < onDuty2 && t != f; });
    if (r.empty()) {
        out[1] = q.back();
    } else if (r.size() >= 2) {
        out[1] = r.front();
    } else {
        const int t = r.front();
        const int beforeT = q[q.size() - 2];
        const bool secondPeriodPunched =
            !where(day, [&](int x) { return x >= onDuty2 && x < offDuty2; }).empty();
        if (!secondPeriodPunched) {
            // t is then the second period's early on-duty punch.
            out[1] = beforeT;
        } else {
            // The nearer period takes t; a tie goes to the first.
            out[1] = std::abs(t - offDuty1) <= std::abs(onDuty2 - t) ? t : beforeT;
        }
    }
}

void Frmkqzl::GetPunchesSecondPeriod(const punches::Times& day, int offDuty1, int onDuty2, int offDuty2)
{
    punches::Slots& out = punchSlots;
    out[2] = out[3] = 0;
    // Only the first period's off-duty punch is set aside: a first punch
    // after the first period (a half day) also opens the second.
    const int t2 = out[1];
    const punches::Times u = where(day, [&](int t) { return t > offDuty1 && t != t2; });
    if (u.empty())
        return;
    const int g = u.front();
    if (g <= onDuty2) {
        out[2] = g;
        for (auto it = day.rbegin(); it != day.rend(); ++it)
            if (*it > onDuty2) {
                out[3] = *it;
                break;
            }
    } else if (g < offDuty2) {
        out[2] = g;
        if (u.back() != g)
            out[3] = u.back();
    } else {
        out[3] = g;
    }
}

namespace punches {

int secondsOfDay(const QString& text)
{
    const QString s = text.trimmed();
    const int n = int(s.size());
    if (n != 7 && n != 8)
        return -1;
    const int h = n - 6;   // digits of the hour
    if (s[h] != u':' || s[h + 3] != u':')
        return -1;
    auto digits = [&](int from, int count, int& out) {
        out = 0;
        for (int i = from; i < from + count; ++i) {
            const char16_t c = s[i].unicode();
            if (c < u'0' || c > u'9')
                return false;
            out = out * 10 + (c - u'0');
        }
        return true;
    };
    int hh = 0, mm = 0, ss = 0;
    if (!digits(0, h, hh) || !digits(h + 1, 2, mm) || !digits(h + 4, 2, ss))
        return -1;
    if (hh > 23 || mm > 59 || ss > 59)
        return -1;
    return hh * 3600 + mm * 60 + ss;
}

QString timeText(int seconds)
{
    const int h = seconds / 3600, m = seconds / 60 % 60, s = seconds % 60;
    const char16_t buf[8] = {char16_t(u'0' + h / 10), char16_t(u'0' + h % 10), u':', char16_t(u'0' + m / 10),
                             char16_t(u'0' + m % 10), u':', char16_t(u'0' + s / 10), char16_t(u'0' + s % 10)};
    return QString(reinterpret_cast<const QChar*>(buf), 8);
}

} // namespace punches
