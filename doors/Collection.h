#pragma once
// What the two collection windows share: the name of the file the library
// is told to write.
#include <QDateTime>
#include <QString>
#include <cstdint>

namespace collection {

// "<address>_<yyyy-mm-dd>_<hhmmss>.txt", e.g. 3_2026-12-08_014043.txt.
QString collectedFileName(int address, const QDateTime& at);

} // namespace collection
