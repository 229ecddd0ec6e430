#include "DoorLink.h"

#include "Globals.h"
#include "runtime/Conv.h"
#include "runtime/RuntimeError.h"
#include "ui/Ui.h"

#include <QRegularExpression>

namespace doorlink {

void pause() { ui::sleepMs(mdl::CommandDelay); }

void waitWithEvents(int ms)
{
    if (ms > 0)
        ui::waitWithEvents(ms);
}

com::Variant call(const QString& member, com::Args& args) { return mdl::Door.call(member, args); }

bool parseAddress(const QString& text, int16_t& address)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,3}$"));
    const QString t = text.trimmed();
    if (!digits.match(t).hasMatch() || t.toInt() > 255)
        return false;
    address = int16_t(t.toInt());
    return true;
}

MachineVersion parseMachineVersion(const QString& text)
{
    auto part = [&](int start) { return QString::number(rt::Mid(text, start, 2).toInt()); };
    MachineVersion v;
    v.model = rt::Mid(text, 1, 4);
    v.date = QStringLiteral("20") + rt::Mid(text, 5, 2) + QLatin1Char('-') + rt::Mid(text, 7, 2) + QLatin1Char('-')
             + rt::Mid(text, 9, 2);
    v.version = part(11) + QLatin1Char('.') + part(13) + QLatin1Char('.') + part(15);
    return v;
}

} // namespace doorlink
