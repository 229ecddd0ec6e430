#pragma once
// Conversions with the rules the operator-facing code relies on: integer
// conversion rounds half to even and overflows outside 16/32 bits, Val reads
// the leading number, Mid/Left/Right never fail on short text, and dates and
// times are written as ISO text.
#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>
#include <cstdint>
#include <optional>

namespace rt {

// Round half to even, then range-check: error 6 (overflow) outside the range.
int16_t CInt(double v);
int32_t CLng(double v);
// Text: must be numeric (after trimming), else error 13 (type mismatch).
int16_t CInt(const QString& s);
int32_t CLng(const QString& s);
double CDbl(const QString& s);

// True when the text, trimmed, is a number (sign, digits, one decimal point, exponent; "&H" hex).
bool IsNumeric(const QString& s);
// The leading number of a text; blanks are skipped, "&H"/"&O" prefixes honoured
// (as 16- or 32-bit patterns: "&HFFFF" is -1); 0 when none; error 6 beyond Double.
double Val(const QString& s);

// One or more decimal digits "0".."9" and nothing else (no blank, sign or point).
bool IsDigits(const QString& s);
// A whole number as the operator types it into a box: the trimmed text must
// be the digits "0".."9" only, so a pasted "5.5", "-1", "1e1", "&H10" or a
// full-width "１００" never becomes another number. Empty for anything else
// and outside lo..hi.
std::optional<int64_t> WholeNumber64(const QString& s, int64_t lo, int64_t hi);
// The same within 16 bits, for an address, a count or a delay.
std::optional<int16_t> WholeNumber(const QString& s, int lo = 0, int hi = 32767);
// The same for a call: error 13 (type mismatch) for text that is not digits
// only, 6 (overflow) for digits beyond 16 bits.
int16_t CWhole(const QString& s);

// 1-based, never fail on short text; a negative length means "to the end".
QString Mid(const QString& s, int start, int length = -1);
QString Left(const QString& s, int length);
QString Right(const QString& s, int length);

// The stored forms of dates and times.
inline constexpr const char* kDateFormat = "yyyy-MM-dd";
inline constexpr const char* kTimeFormat = "HH:mm:ss";
inline constexpr const char* kDateTimeFormat = "yyyy-MM-dd HH:mm:ss";
QString isoDate(const QDate& d);
QString isoTime(const QTime& t);
QString isoDateTime(const QDateTime& dt);
QDate parseIsoDate(const QString& s);          // invalid QDate when malformed
// A date and time of day without a time zone, as the controllers and the
// database keep them: every valid one stays as it is whatever the PC's zone
// and its daylight saving. Invalid when either part is.
QDateTime wallTime(const QDate& d, const QTime& t);
QDateTime parseIsoDateTime(const QString& s);   // a wallTime; accepts "yyyy-MM-dd" too

// The days a date written "yymmdd" can name: it is read back as 20yy.
inline QDate firstYymmddDay() { return QDate(2000, 1, 1); }
inline QDate lastYymmddDay() { return QDate(2099, 12, 31); }

// Yes/No columns: any non-zero value is True.
inline bool yesNo(long long v) { return v != 0; }

} // namespace rt
