#pragma once
// Byte and text conversions shared by the controller commands: hexadecimal
// and binary digit strings, card and employee numbers as they travel on the
// line, and the text lines of collected records.
#include <QByteArray>
#include <QString>
#include <cstdint>

namespace vantrel {

// Every byte as two upper-case hex digits, no separators ("" for no bytes).
QString BytesToHex(const QByteArray& bytes);
QString BytesToHex(const QByteArray& bytes, int from, int count);

// A physical card number (decimal text) as the 4 bytes it travels as, most
// significant first; numbers up to 4294967295 (unsigned 32 bits). Raises
// type mismatch for text that is no number, overflow outside 0..4294967295.
QByteArray cardNumberBytes(const QString& decimalText);
// 4 bytes, most significant first, as an unsigned number.
uint32_t bigEndian32(const QByteArray& bytes, int from);
// A number as ten decimal digits, zero-padded.
QString tenDigits(uint32_t value);

// A two-character field read as a hexadecimal number the lenient way: the
// value of its leading hex digits, 0 when there are none ("12" -> 0x12).
uint8_t leadingHexByte(const QString& field);
// The same field read strictly: both characters must be hex digits, else
// type mismatch is raised.
uint8_t strictHexByte(const QString& field);
// Characters "0".."9" as bits, character 1 most significant: the digit
// times its bit weight, summed. Raises type mismatch when the mask is shorter
// than `length` or holds a character that is no digit, overflow when the
// sum does not fit maxValue.
uint32_t maskValue(const QString& mask, int length, int firstWeight, uint32_t maxValue);

// `bits` binary digits of value, most significant first.
QString binaryDigits(uint32_t value, int bits);

// One stored card, from the 17 bytes starting at `from` (card number,
// employee number, flags, weekdays, end date, two time-group masks), as the
// seven fields joined by "/". decimalCard: the card as ten decimal digits,
// else as eight hex digits.
QString CardListLine(const QByteArray& bytes, int from, bool decimalCard);

// One punch record from its 16-byte slot starting at `from`.
QString PunchRecordLine(int address, const QByteArray& bytes, int from, bool decimalCard, bool fullYear);

} // namespace vantrel
