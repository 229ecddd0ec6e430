#pragma once
// The desktop card reader as the card window opens, reads and closes it
// (one click at a time; the handle is kept in mdl::ReaderHandle).
#include <QString>
#include <cstdint>

namespace Module1 {

// The key loaded into the reader's sectors before a read.
inline const QString kSectorKey = QStringLiteral("5C3A9E17B2D4");

// Status of the last reader call; kept, never shown.
extern int16_t ReaderStatus;

// Opens the reader on the port and loads the key into four sectors from
// firstSector; true when the last load succeeded.
bool OpenCardReader(int16_t port, int32_t baud, const QString& key, int16_t firstSector);
// The card on the reader as a 10-digit number of its serial's low 24 bits;
// false with "0" when no card was read.
bool ReadCardSerial(QString& number);
// Resets and releases the reader when it is open.
void CloseCardReader();

} // namespace Module1
