#pragma once
// Controller calls several windows make the same way, through mdl::Door.
#include <cstdint>

class QWidget;

namespace ctl {

// PortReady := SetPort(PortNumber); true when the port is open.
bool openPort();
// DestoryPort; its result, false also when the call raised (the port is
// then closed or was never open). Refused (false, the port stays open) while
// a run of a window other than owner is in progress: that run goes on with
// the port after a window it opened (an advice window) has closed.
bool releasePort(const QWidget* owner = nullptr);
// Sets the controller's clock to the PC clock with ModifyDateTime: date
// "yymmdd", time "hhmmss" (24-hour), weekday Monday 1 .. Sunday 7.
bool setClockNow(int16_t address);

} // namespace ctl
