#pragma once
// What the two collection windows share: the name of the file the library
// is told to write, and the block wait time from table system.
#include <QDateTime>
#include <QString>
#include <cstdint>

namespace collection {

// "<address>_<yyyy-mm-dd>_<hhmmss>.txt", e.g. 3_2026-12-08_014043.txt.
QString collectedFileName(int address, const QDateTime& at);

// Row 采集等待时间 of table system: its zhi when above 0, else 5 (also when
// the row is missing). Raises what the query raises.
int16_t loadGatherWaitTime();

} // namespace collection
