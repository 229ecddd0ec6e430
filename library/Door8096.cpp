#include "Door8096.h"

#include "FAbout.h"
#include "LinkLayer.h"
#include "Public.h"

#include "runtime/Conv.h"
#include "runtime/Gbk.h"
#include "runtime/RuntimeError.h"
#include "serial/SerialPort.h"
#include "ui/Ui.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <algorithm>
#include <cerrno>
#include <exception>
#include <functional>
#include <new>
#include <optional>

#include <fcntl.h>
#include <unistd.h>

namespace vantrel {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

// The error in flight inside a catch block, as the run-time error it stands for.
rt::Error currentError()
{
    try {
        throw;
    } catch (const rt::Error& e) {
        return e;
    } catch (const std::bad_alloc&) {
        return rt::Error(rt::ErrOutOfMemory);
    } catch (...) {
        return rt::Error(rt::ErrInvalidCall);
    }
}

uint8_t at(const QByteArray& b, int i) { return uint8_t(b[i]); }

// A pause of the collections. A collection lets the caller's window events
// run while it waits for each block; its pauses between blocks do the same,
// so the window never freezes for a whole pause.
void collectionPause(int ms) { ui::waitWithEvents(ms); }

// The reply of one exchange when it names the address and its last byte
// checks it; nothing otherwise.
std::optional<QByteArray> addressedReply(serial::SerialPort& port, uint8_t address, Command c,
                                         const QByteArray& data = {}, std::optional<double> timeoutSeconds = {})
{
    const CommandSpec& s = spec(c);
    auto r = CommandExchange(port, address, s, data, timeoutSeconds);
    if (!r || at(*r, 0) != address || !replyChecksumOk(*r, s.replyLength))
        return std::nullopt;
    return r;
}

// XOR of `count` bytes from `from`, compared with the byte after them.
bool slotChecksumOk(const QByteArray& b, int from, int count)
{
    uint8_t x = 0;
    for (int i = from; i < from + count; ++i)
        x ^= at(b, i);
    return x == at(b, from + count);
}

uint8_t toByte(int v)
{
    if (v < 0 || v > 255)
        rt::raise(rt::ErrOverflow);
    return uint8_t(v);
}

QString folderJoin(const QString& folder, const QString& name) { return folder + QLatin1Char('/') + name; }

// Writes lines 0 .. count-1 of the table as a new file in code page 936, each
// ended by CR LF, counting the lines written. A file that cannot be written
// to its end (a full disk: error 61) is removed, so that no reader takes a
// cut file for a whole one.
void writeLines(const QString& path, const QStringList& table, int32_t count, int32_t& written)
{
    QByteArray bytes;
    for (int32_t i = 0; i < count; ++i)
        bytes += rt::toGbk(table[i] + kCrLf);
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        rt::raiseErrno(errno);
    int err = 0;
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno != EINTR) {
            err = errno;
            break;
        }
        done += std::max<ssize_t>(n, 0);
    }
    // Some file systems tell of a full disk only when the data reaches it.
    if (!err && ::fsync(fd) != 0 && errno != EINVAL)
        err = errno;
    if (::close(fd) != 0 && !err && errno != EINTR)
        err = errno;
    if (err) {
        ::unlink(native.constData());
        rt::raiseErrno(err);
    }
    written = count;
}

// The block loop of both collections: blocks of 15 slots, up to three
// attempts each, `interval` ms before every attempt. A slot that passes its
// check and names the address lands at its table position (15 * block +
// slot). A block whose third attempt has been made counts as bad; the fourth
// bad block ends the loop without being counted as processed. `processed`
// grows by each processed block's records as the loop goes, so a caller
// sees how far it got when an error ends it. Returns the bad blocks.
int runBlocks(serial::SerialPort& port, Command command, uint8_t address, int32_t n, double timeoutSeconds,
              int32_t interval, QStringList& table, int32_t& processed,
                   const std::function<QString(const QByteArray&, int)>& formatSlot,
                   const std::function<void()>& onTimeout)
{
    const CommandSpec& s = spec(command);
    const int slotSize = s.replyLength / 15;
    const int32_t blocks = (n + 14) / 15;
    int badBlocks = 0;
    for (int32_t i = 0; i < blocks; ++i) {
        const int expected = i < blocks - 1 ? 15 : int(n - 15 * (blocks - 1));
        int attemptsLeft = 3;
        for (;;) {
            collectionPause(interval);
            --attemptsLeft;
            bool good = true;
            QByteArray data;
            data.append(char((i >> 8) & 0xFF));
            data.append(char(i & 0xFF));
            const auto reply = CommandExchange(port, address, s, data, timeoutSeconds);
            if (!reply) {
                good = false;
                if (onTimeout)
                    onTimeout();
            } else {
                for (int k = 0; k < expected; ++k) {
                    const int off = k * slotSize;
                    if (slotChecksumOk(*reply, off, slotSize - 1) && at(*reply, off) == address)
                        table[15 * i + k] = formatSlot(*reply, off);
                    else
                        good = false;
                }
            }
            if (good || attemptsLeft == 0)
                break;
        }
        if (attemptsLeft == 0) {
            ++badBlocks;
            if (badBlocks > 3)
                break;
        }
        processed += expected;
    }
    return badBlocks;
}

} // namespace

// --- object, settings file, port ---------------------------------------------

Door8096Core::Door8096Core(const QString& libraryFolder)
    : Door8096Core(libraryFolder, serial::createSerialPort(libraryFolder))
{
}

Door8096Core::Door8096Core(const QString& libraryFolder, std::unique_ptr<serial::SerialPort> port)
    : folder_(libraryFolder), port_(std::move(port))
{
    Ver = QString::fromLatin1(kInitialVer);
    initialize();
}

Door8096Core::~Door8096Core()
{
    try {
        if (port_->portOpen())
            port_->setPortOpen(false);
    } catch (...) {
    }
}

QString Door8096Core::settingsFilePath() const { return folderJoin(folder_, QString::fromLatin1(kSettingsFileName)); }

void Door8096Core::initialize()
{
    const QString path = settingsFilePath();
    bool reading = false;
    try {
        if (port_->portOpen())
            port_->setPortOpen(false);
        if (!QFileInfo::exists(path)) {
            port_->setBinaryMode(true);
            port_->setSettings(QStringLiteral("19200,n,8,1"));
            port_->setInBufferSize(1024);
            port_->setOutBufferSize(512);
            port_->setCommPort(1);
            port_->setInputLen(0);
            WriteDefaultIni();
            return;
        }
        reading = true;
        QStringList lines;
        if (!rt::readGbkLines(path, lines))
            rt::raise(rt::ErrPathFileAccess);
        auto line = [&lines](int i) -> QString {
            if (i >= lines.size())
                rt::raise(rt::ErrInputPastEnd);
            return lines[i];
        };
        const QString mode = line(0);
        if (mode == QLatin1String("coninputmodebinary"))
            port_->setBinaryMode(true);
        else if (mode == QLatin1String("coninputmodetext"))
            port_->setBinaryMode(false);
        port_->setSettings(line(1));
        // The leading number of each line, rounded to an Integer.
        auto number = [&line](int i) { return rt::CInt(rt::Val(line(i))); };
        port_->setInBufferSize(number(2));
        port_->setOutBufferSize(number(3));
        port_->setCommPort(number(4));
        port_->setInputLen(number(5));
    } catch (...) {
        // A damaged file is dropped so that the next creation starts from the defaults.
        if (reading)
            QFile::remove(path);
        ui::msgBox(QStringLiteral("Class initialize failed Becaus the Port already opened."),
                   ui::mb::OKOnly | ui::mb::Critical, QStringLiteral("Err:Vantrel.dll"));
    }
}

void Door8096Core::WriteDefaultIni()
{
    const QStringList lines{QStringLiteral("coninputmodebinary"), QStringLiteral("19200,n,8,1"), QStringLiteral("2048"),
                            QStringLiteral("512"), QStringLiteral("1"), QStringLiteral("0")};
    if (!rt::writeGbkFile(settingsFilePath(), lines.join(kCrLf) + kCrLf))
        rt::raise(rt::ErrPathFileAccess);
}

bool Door8096Core::SetPort(int16_t PortNum)
{
    if (PortNum < 1 || PortNum > 16)
        return false;
    try {
        if (port_->portOpen())
            port_->setPortOpen(false);
        port_->setCommPort(PortNum);
        port_->setPortOpen(true);
        if (port_->portOpen()) {
            // A file deleted as damaged at creation starts again from the defaults.
            if (!QFileInfo::exists(settingsFilePath()))
                WriteDefaultIni();
            QStringList lines;
            if (!rt::readGbkLines(settingsFilePath(), lines))
                rt::raise(rt::ErrFileNotFound);
            QStringList out;
            for (int i = 0; i < 6; ++i) {
                if (i == 4)
                    out.append(QString::number(PortNum));
                else
                    out.append(i < lines.size() ? lines[i] : QString());
            }
            if (!rt::writeGbkFile(settingsFilePath(), out.join(kCrLf) + kCrLf))
                rt::raise(rt::ErrPathFileAccess);
        }
        return port_->portOpen();
    } catch (...) {
        return false;
    }
}

bool Door8096Core::DestoryPort()
{
    try {
        if (port_->portOpen())
            port_->setPortOpen(false);
    } catch (...) {
    }
    try {
        return !port_->portOpen();
    } catch (...) {
        return false;
    }
}

void Door8096Core::ShowAbout()
{
    // Without a desktop application there is nothing to show the window on.
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return;
    F_About about;
    about.exec();
}

// --- counts and clearing -------------------------------------------------------

int32_t Door8096Core::statusCount(int16_t varAddr, int highByte)
{
    const Command c = highByte == 52 ? Command::GatherRecordSum : Command::GatherSendCardSum;
    const uint8_t a = addressByte(varAddr);
    const auto r = CommandExchange(*port_, a, spec(c), {});
    if (!r || at(*r, 0) != a)
        return -1;
    // The count is a 16-bit signed number: a high byte of 128 or more overflows.
    const int hi = at(*r, highByte);
    if (hi >= 128)
        rt::raise(rt::ErrOverflow);
    return hi * 256 + at(*r, highByte + 1);
}

int32_t Door8096Core::GatherRecordSum(int16_t varAddr)
{
    try {
        return statusCount(varAddr, 52);
    } catch (...) {
        ui::msgBox(currentError().text(), ui::mb::OKOnly, QStringLiteral("GatherRecordSum"));
        return -1;
    }
}

int32_t Door8096Core::GatherSendCardSum(int16_t varAddr)
{
    try {
        return statusCount(varAddr, 50);
    } catch (...) {
        return -1;
    }
}

bool Door8096Core::ClearRecord(int16_t varAddr)
{
    try {
        const uint8_t a = addressByte(varAddr);
        const auto r = CommandExchange(*port_, a, spec(Command::ClearRecord), {});
        if (!r)
            return false;
        // The answering address is not compared.
        if (replyChecksumOk(*r, 4) && at(*r, 2) == 0x06) {
            ui::sleepMs(50);
            return true;
        }
        return false;
    } catch (...) {
        return false;
    }
}

// --- name list ---------------------------------------------------------------

bool Door8096Core::ClearNameList(int16_t varAddr)
{
    try {
        const uint8_t a = addressByte(varAddr);
        const auto r = CommandExchange(*port_, a, spec(Command::ClearNameList), {});
        if (!r)
            return false;
        if (replyChecksumOk(*r, 4)) {
            ui::sleepMs(20);
            return true;
        }
        return false;
    } catch (...) {
        return false;
    }
}

bool Door8096Core::CardSendToMachine(int16_t varAddr, const QString& strEmpID, const QString& strPhyCardNum,
                                     int16_t intLockCtr1, int16_t intLockCtr2, int16_t IsWeek, int16_t IsEndDate,
                                     int16_t IsTime, const QString& strWeekValue, const QString& strEndDateValue,
                                     const QString& strTimeValue1, const QString& strTimeValue2)
{
    try {
        const uint8_t a = addressByte(varAddr);
        QByteArray data = cardNumberBytes(strPhyCardNum);
        for (int i = 0; i < 4; ++i)
            data.append(char(leadingHexByte(rt::Mid(strEmpID, 2 * i + 1, 2))));
        uint8_t flags = 0;
        if (intLockCtr1 != 0)
            flags |= 0x80;
        if (intLockCtr2 != 0)
            flags |= 0x40;
        if (IsWeek != 0)
            flags |= 0x04;
        if (IsEndDate != 0)
            flags |= 0x02;
        if (IsTime != 0)
            flags |= 0x01;
        data.append(char(flags));
        data.append(char(maskValue(strWeekValue, 7, 7, 0xFF)));
        for (int i = 0; i < 3; ++i)
            data.append(char(leadingHexByte(rt::Mid(strEndDateValue, 2 * i + 1, 2))));
        for (const QString* mask : {&strTimeValue1, &strTimeValue2}) {
            const uint32_t v = maskValue(*mask, 16, 15, 0xFFFF);
            data.append(char(v >> 8));
            data.append(char(v & 0xFF));
        }

        const auto r = addressedReply(*port_, a, Command::CardSendToMachine, data);
        if (!r)
            return false;
        if (at(*r, 3) == 0xFF && at(*r, 4) == 0xFF) {
            ui::msgBox(QStringLiteral("Memory OverFlow"), ui::mb::OKOnly, QStringLiteral("Vantrel.CardSendToMachine"));
            ui::sleepMs(5);
            return false;
        }
        ui::sleepMs(5);
        return true;
    } catch (...) {
        return false;
    }
}

int16_t Door8096Core::ClearName(int16_t varAddr, const QString& strPhyCardNum)
{
    try {
        const uint8_t a = addressByte(varAddr);
        const auto r = CommandExchange(*port_, a, spec(Command::ClearName), cardNumberBytes(strPhyCardNum));
        // The answering address is not compared.
        if (!r || !replyChecksumOk(*r, 6) || at(*r, 4) == 0)
            return -1;
        return int16_t(at(*r, 3));
    } catch (...) {
        return -1;
    }
}

bool Door8096Core::FindCard(int16_t varAddr, const QString& strPhyNum, QString& strSendCard, int16_t intSleep)
{
    strSendCard.clear();
    try {
        const uint8_t a = addressByte(varAddr);
        const auto r = addressedReply(*port_, a, Command::FindCard, cardNumberBytes(strPhyNum), double(intSleep));
        if (!r)
            return false;
        if (BytesToHex(*r, 3, 4) == QLatin1String("FFFFFFFF"))
            return true; // not in the list
        strSendCard = CardListLine(*r, 3, true);
        return true;
    } catch (...) {
        return false;
    }
}

QString Door8096Core::ReadCardNum(int16_t varAddr, QString* AllStr)
{
    if (AllStr)
        AllStr->clear();
    try {
        const uint8_t a = addressByte(varAddr);
        const auto r = CommandExchange(*port_, a, spec(Command::ReadCardNum), {});
        // The answering address is not compared.
        if (!r || !replyChecksumOk(*r, 8))
            return QString();
        if (at(*r, 2) != 0x04 && at(*r, 2) != 0x09)
            return QString();
        if (AllStr)
            *AllStr = BytesToHex(*r);
        return tenDigits(bigEndian32(*r, 3));
    } catch (...) {
        return QString();
    }
}

// --- collections -----------------------------------------------------------------

bool Door8096Core::GatherData(int16_t varAddr, const QString& VarFilePath, const QString& VarFileName,
                              QString& VarDescription, int32_t& BackRecordSum, int32_t SleepDate, bool phStrCardFlg,
                              bool IsFullYear, int32_t* intGatherRecordCount, int32_t interval)
{
    const QString folder = VarFilePath;
    const QString name = VarFileName;
    BackRecordSum = 0;
    int32_t ownCount = -1;
    int32_t& count = intGatherRecordCount ? *intGatherRecordCount : ownCount;

    if (folder.isEmpty() || !QFileInfo::exists(folder)) {
        VarDescription = QStringLiteral("user:File path no exist!");
        return false;
    }
    try {
        const int32_t n = GatherRecordSum(varAddr);
        if (n < 0)
            return false;
        collectionPause(50);
        QStringList table;
        table.resize(n + 1);
        count = 0;
        const uint8_t a = addressByte(varAddr);
        const int address = varAddr;
        // Every processed block is counted, also one whose last attempt timed
        // out, so the records of later blocks stay inside the written range.
        const int badBlocks = runBlocks(
            *port_, Command::GatherData, a, n, double(SleepDate), interval, table, count,
            [&](const QByteArray& r, int off) { return PunchRecordLine(address, r, off, phStrCardFlg, IsFullYear); },
            [&] { VarDescription = QStringLiteral("user:overtime"); });
        if (count >= 1)
            writeLines(folderJoin(folder, name), table, count, BackRecordSum);
        if (badBlocks <= 3)
            return true;
        ui::msgBox(QStringLiteral("201, Package Error"), ui::mb::OKOnly, QStringLiteral("Door8096.GatherData"));
        return false;
    } catch (...) {
        const rt::Error e = currentError();
        ui::msgBox(e.text(), ui::mb::OKOnly, QStringLiteral("Door8096.GatherData"));
        VarDescription = QStringLiteral("system:") + e.description();
        return false;
    }
}

bool Door8096Core::GatherSendCardData(int16_t varAddr, const QString& VarFilePath, const QString& VarFileName,
                                      QString& VarDescription, int32_t& BackRecordSum, int32_t SleepDate,
                                      bool phStrCardFlg, int32_t interval)
{
    const QString folder = VarFilePath;
    const QString name = VarFileName;
    BackRecordSum = 0;

    if (folder.isEmpty() || !QFileInfo::exists(folder)) {
        VarDescription = QStringLiteral("user:File path no exist!");
        return false;
    }
    try {
        const int32_t n = GatherSendCardSum(varAddr);
        if (n < 0)
            return false;
        QStringList table;
        table.resize(n + 1);
        collectionPause(100);
        const uint8_t a = addressByte(varAddr);
        int32_t processed = 0;
        const int badBlocks = runBlocks(
            *port_, Command::GatherSendCardData, a, n, double(SleepDate), interval, table, processed,
            [&](const QByteArray& r, int off) { return CardListLine(r, off + 3, phStrCardFlg); }, {});
        // All slots are written, those never read correctly as empty lines.
        if (n >= 1)
            writeLines(folderJoin(folder, name), table, n, BackRecordSum);
        if (badBlocks <= 3)
            return true;
        ui::msgBox(QStringLiteral("201, Package Error"), ui::mb::OKOnly, QStringLiteral("Door8096.GatherSendCardData"));
        return false;
    } catch (...) {
        const rt::Error e = currentError();
        ui::msgBox(e.text(), ui::mb::OKOnly, QStringLiteral("Door8096.GatherSendCardData"));
        VarDescription = QStringLiteral("system:") + e.text();
        return false;
    }
}

// --- time groups ---------------------------------------------------------------

bool Door8096Core::SetTimeGroup(int16_t varAddr, int16_t intTotal, int16_t intOrder, const QString& strTime,
                                int16_t intCardOrPassword)
{
    if (strTime.size() < 9) {
        ui::msgBox(QStringLiteral("strTime Length Error!"), ui::mb::OKOnly, QStringLiteral("Door8096.SetTimeGroup"));
        return false;
    }
    try {
        const int mode = (intCardOrPassword < 0 || intCardOrPassword > 3) ? 0 : intCardOrPassword;
        const uint8_t a = addressByte(varAddr);
        QByteArray data;
        data.append(char(toByte(intOrder)));
        data.append(char(toByte(intTotal)));
        data.append(char(toByte(strictHexByte(rt::Mid(strTime, 1, 2)) + mode * 64)));
        data.append(char(strictHexByte(rt::Mid(strTime, 3, 2))));
        data.append(char(strictHexByte(rt::Mid(strTime, 6, 2))));
        data.append(char(strictHexByte(rt::Mid(strTime, 8, 2))));
        const auto r = CommandExchange(*port_, a, spec(Command::SetTimeGroup), data);
        return r && at(*r, 0) == a && at(*r, 3) == uint8_t(intOrder);
    } catch (...) {
        return false;
    }
}

bool Door8096Core::GetTimeGroup(int16_t varAddr, QString& strTime, QString* strCardOrPassword)
{
    QString modes;
    try {
        const uint8_t a = addressByte(varAddr);
        const auto r = CommandExchange(*port_, a, spec(Command::GetTimeGroup), {}, {}, [&] { strTime.clear(); });
        if (!r)
            return false;
        strTime.clear();
        for (int g = 0; g < 16; ++g) {
            const int off = 7 * g;
            if (at(*r, off) == a && at(*r, off + 1) == 0x42 && slotChecksumOk(*r, off, 6)) {
                const uint8_t startHour = at(*r, off + 2);
                modes += startHour < 0x40 ? QStringLiteral("0") : QString::number(startHour / 64);
                QByteArray fields = r->mid(off + 2, 4);
                fields[0] = char(startHour & 0x3F);
                strTime += BytesToHex(fields);
            } else {
                ui::msgBox(QStringLiteral("Time package Error\r") + strTime, ui::mb::OKOnly,
                           QStringLiteral("Door8096.GetTimeGroup"));
            }
        }
        if (strCardOrPassword && *strCardOrPassword != QLatin1String("Null"))
            *strCardOrPassword = modes;
        return true;
    } catch (...) {
        return false;
    }
}

// --- clock, delays, locks ------------------------------------------------------

bool Door8096Core::ModifyDateTime(int16_t varAddr, const QString& strDate, const QString& strTime, int16_t intWeek)
{
    try {
        const uint8_t a = addressByte(varAddr);
        QByteArray data;
        for (int i = 0; i < 3; ++i)
            data.append(char(strictHexByte(rt::Mid(strDate, 2 * i + 1, 2))));
        for (int i = 0; i < 3; ++i)
            data.append(char(strictHexByte(rt::Mid(strTime, 2 * i + 1, 2))));
        // The weekday's decimal text read as hex digits (1..7 unchanged).
        data.append(char(strictHexByte(QString::number(intWeek))));
        return addressedReply(*port_, a, Command::ModifyDateTime, data).has_value();
    } catch (...) {
        ui::msgBox(currentError().description(), ui::mb::OKOnly);
        return false;
    }
}

bool Door8096Core::SetLockDelayTime(int16_t varAddr, int16_t Secon1, int16_t Secon2, int16_t Secon3)
{
    try {
        const uint8_t a = addressByte(varAddr);
        QByteArray data;
        for (int16_t v : {Secon1, Secon2, Secon3})
            data.append(char(std::clamp<int>(v, 0, 60)));
        return addressedReply(*port_, a, Command::SetLockDelayTime, data).has_value();
    } catch (...) {
        return false;
    }
}

bool Door8096Core::OpenLock(int16_t varAddr, int16_t intLockNo)
{
    if (intLockNo < 1 || intLockNo > 3)
        return false;
    try {
        const uint8_t a = addressByte(varAddr);
        const auto r = addressedReply(*port_, a, Command::OpenLock, QByteArray(1, char(intLockNo)));
        return r && at(*r, 3) == intLockNo;
    } catch (...) {
        return false;
    }
}

// --- status and version readers --------------------------------------------

bool Door8096Core::getLockStatus(int16_t varAddr, QString& strStatus)
{
    strStatus.clear();
    try {
        const uint8_t a = addressByte(varAddr);
        const auto r = addressedReply(*port_, a, Command::GetLockStatus);
        if (!r)
            return false;
        strStatus = QString(QLatin1Char(at(*r, 3) & 1 ? '1' : '0')) + QLatin1Char(at(*r, 4) & 1 ? '1' : '0');
        return true;
    } catch (...) {
        return false;
    }
}

bool Door8096Core::getDateTimeDelay(int16_t varAddr, QString& strResult)
{
    strResult.clear();
    try {
        const uint8_t a = addressByte(varAddr);
        const auto r = addressedReply(*port_, a, Command::GetDateTimeDelay);
        if (!r)
            return false;
        QString s = BytesToHex(*r, 3, 6);
        for (int i = 9; i <= 11; ++i)
            s += QStringLiteral("%1").arg(at(*r, i), 3, 10, QLatin1Char('0'));
        strResult = s;
        return true;
    } catch (...) {
        return false;
    }
}

bool Door8096Core::getCardLockStatus(int16_t varAddr, QString& strStatus)
{
    strStatus.clear();
    try {
        const uint8_t a = addressByte(varAddr);
        const auto r = addressedReply(*port_, a, Command::GetCardLockStatus);
        if (!r)
            return false;
        QString s = BytesToHex(*r, 3, 4) == QLatin1String("FFFFFFFF") ? QStringLiteral("0000000000")
                                                                        : tenDigits(bigEndian32(*r, 3));
        const uint8_t locks = at(*r, 7);
        const uint8_t mode = at(*r, 8);
        // Lock 1: byte / 16 rounded half to even, odd means open.
        int q = locks / 16;
        const int rem = locks % 16;
        if (rem > 8 || (rem == 8 && (q & 1)))
            ++q;
        s += QLatin1Char(q & 1 ? '1' : '0');
        s += QLatin1Char(locks & 1 ? '1' : '0');
        s += QLatin1Char(mode & 1 ? '1' : '2');
        s += QLatin1Char(mode < 2 ? '1' : '2');
        strStatus = s;
        return true;
    } catch (...) {
        return false;
    }
}

bool Door8096Core::GetMachVer(int16_t varAddr, QString& strMachVer)
{
    try {
        const uint8_t a = addressByte(varAddr);
        const auto r =
            CommandExchange(*port_, a, spec(Command::GetMachVer), {}, {}, [&] { strMachVer.clear(); });
        // The answering address is not compared.
        if (!r || !replyChecksumOk(*r, 12))
            return false;
        strMachVer = BytesToHex(*r, 3, 8);
        return true;
    } catch (...) {
        ui::msgBox(currentError().text(), ui::mb::OKOnly, QStringLiteral("Door8096.GetMachVer"));
        return false;
    }
}

} // namespace vantrel
