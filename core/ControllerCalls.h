#pragma once
// Controller calls several windows make the same way, through mdl::Door.
#include <cstdint>

namespace ctl {

// PortReady := SetPort(PortNumber); true when the port is open.
bool openPort();
// DestoryPort; its result, false also when the call raised (the port is
// then closed or was never open).
bool releasePort();
// Sets the controller's clock to the PC clock with ModifyDateTime: date
// "yymmdd", time "hhmmss" (24-hour), weekday Monday 1 .. Sunday 7.
bool setClockNow(int16_t address);

} // namespace ctl
