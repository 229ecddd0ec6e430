#include "DoorLink.h"

#include "Globals.h"
#include "runtime/Conv.h"
#include "runtime/RuntimeError.h"
#include "ui/Ui.h"

namespace doorlink {

void pause() { ui::sleepMs(mdl::CommandDelay); }

void waitWithEvents(int ms)
{
    if (ms > 0)
        ui::waitWithEvents(ms);
}

com::Variant call(const QString& member, com::Args& args) { return mdl::Door.call(member, args); }

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
