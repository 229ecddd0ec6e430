#include "ControllerCalls.h"

#include "Globals.h"
#include "runtime/RuntimeError.h"
#include "ui/RunGuard.h"
#include "ui/Ui.h"

namespace ctl {

bool openPort()
{
    com::Args port{mdl::PortNumber};
    mdl::PortReady = mdl::Door.call(QStringLiteral("setport"), port).toBool() ? -1 : 0;
    return mdl::PortReady != 0;
}

bool releasePort(const QWidget* owner)
{
    if (ui::anyRunInProgress(owner))
        return false;
    try {
        return mdl::Door.call(QStringLiteral("DestoryPort")).toBool();
    } catch (const rt::Error&) {
        return false;
    }
}

bool setClockNow(int16_t address)
{
    const QDateTime now = ui::now();
    return mdl::Door
        .call(QStringLiteral("ModifyDateTime"), {address, now.toString(QStringLiteral("yyMMdd")),
                                                  now.toString(QStringLiteral("HHmmss")), int16_t(now.date().dayOfWeek())})
        .toBool();
}

} // namespace ctl
