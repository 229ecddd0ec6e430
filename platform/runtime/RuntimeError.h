#pragma once
// Run-time errors as the programs report them: an error number and a Chinese
// description from one table, shown to the operator as "number:description".
#include <QString>
#include <stdexcept>

namespace rt {

// Error numbers in use across the tree.
enum ErrNo : int {
    ErrReturnWithoutGosub = 3,
    ErrInvalidCall = 5,
    ErrOverflow = 6,
    ErrOutOfMemory = 7,
    ErrSubscript = 9,
    ErrDivByZero = 11,
    ErrTypeMismatch = 13,
    ErrFileNotFound = 53,
    ErrBadFileMode = 54,
    ErrFileAlreadyOpen = 55,
    ErrIoError = 57,
    ErrFileExists = 58,
    ErrDiskFull = 61,
    ErrInputPastEnd = 62,
    ErrPermissionDenied = 70,
    ErrPathFileAccess = 75,
    ErrPathNotFound = 76,
    ErrObjectNotSet = 91,
    ErrInvalidUseOfNull = 94,
    ErrCantCreateObject = 429,
    ErrMemberNotFound = 438,
    ErrAutomation = 440,
    ErrWrongArgCount = 450,
    ErrPortOpen = 8005,
    ErrPortNotOpen = 8018,
    ErrBadPortNumber = 8002,
    ErrBadSettings = 380,
    ErrCommState = 8015,     // the device cannot take the settings (mark/space parity)
    ErrDatabase = 3000,
    ErrNoCurrentRecord = 3021,
    ErrItemNotFound = 3265,
    ErrTableNotFound = 3078,
    ErrProviderNotFound = 3706,
    ErrObjectClosed = 3704,
    ErrFail = -2147467259,   // E_FAIL, as a database provider reports it
};

// The description of an error number ("溢出" for 6); unknown numbers get a
// generic text naming the number.
QString errorDescription(int number);

// An error raised at run time. Handlers catch it and show number():description().
class Error : public std::runtime_error {
public:
    explicit Error(int number, QString description = QString());
    int number() const { return number_; }
    const QString& description() const { return description_; }
    // "number:description", the form the windows show.
    QString text() const;

private:
    int number_;
    QString description_;
};

[[noreturn]] void raise(int number, const QString& description = QString());
// Raises the error a failed file operation's errno stands for (ENOSPC: 61).
[[noreturn]] void raiseErrno(int err);

} // namespace rt
