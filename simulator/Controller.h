#pragma once
// One virtual 8096 controller on the simulated line: it listens for its
// address byte, reads the frame that follows, and answers in the
// controller's reply layouts. Tests reach its whole state directly.
#include "serial/SerialPort.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QString>

#include <array>
#include <climits>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace sim {

struct StateReader;

// One entry of the name list, fields as the card command carries them.
struct CardRecord {
    uint32_t card = 0;
    uint32_t employee = 0; // four bytes whose hex digits are the employee number
    uint8_t flags = 0;     // bit 7 lock 1, bit 6 lock 2, bit 2 weekdays, bit 1 end date, bit 0 time groups
    uint8_t weekdays = 0;  // bits 7..1 Monday..Sunday
    uint32_t endDate = 0;  // three bytes yy mm dd (BCD), 0x991231
    uint16_t groups1 = 0;
    uint16_t groups2 = 0;

    // A deleted slot holds an all-zero record.
    bool isEmpty() const { return *this == CardRecord{}; }
    QByteArray toBytes() const; // 17 bytes in the card command's order
    static CardRecord fromBytes(const QByteArray& b, int offset = 0);
    bool operator==(const CardRecord&) const = default;
};

// One stored punch.
struct PunchRecord {
    uint32_t card = 0;     // only the low 24 bits travel
    QDateTime time;
    uint8_t openType = 0x0A; // 0x0A card, 0x0B password
    uint8_t code = 0x00;     // reader and direction
    uint8_t reserved1 = 0;
    uint8_t reserved2 = 0;
    bool operator==(const PunchRecord&) const = default;
};

// One time group, bytes as sent: the start hour carries the mode in its top
// two bits; the digits are BCD.
struct TimeGroup {
    uint8_t startHour = 0;
    uint8_t startMinute = 0;
    uint8_t endHour = 0;
    uint8_t endMinute = 0;
    int mode() const { return startHour >> 6; }
    bool operator==(const TimeGroup&) const = default;
};

// A misbehaviour for the next replies to one command (or to any).
struct Fault {
    enum Kind {
        NoAnswer,
        Late,         // first byte after delayMs
        BadChecksum,  // last byte of the reply inverted
        OtherAddress, // the reply names address instead of the controller's
        ExtraBytes,   // extra appended
        Pieces,       // pieces of size bytes, delayMs apart
        BadSlot,      // record slot of a block (or a time group) spoiled
        Truncate,     // the last size bytes never come
    };
    Kind kind = NoAnswer;
    int command = -1; // command code; -1 for every command
    int times = 1;    // replies it spoils; 0 = every reply from now on
    int delayMs = 0;
    int size = 1;
    int address = 0;
    QByteArray extra;
    int slot = 0;
    bool slotOtherAddress = false; // BadSlot: foreign address instead of a bad check byte

    static Fault make(Kind k, int command, int times)
    {
        Fault f;
        f.kind = k;
        f.command = command;
        f.times = times;
        return f;
    }
    static Fault noAnswer(int command = -1, int times = 1) { return make(NoAnswer, command, times); }
    static Fault late(int command, int delayMs, int times = 1)
    {
        Fault f = make(Late, command, times);
        f.delayMs = delayMs;
        return f;
    }
    static Fault badChecksum(int command = -1, int times = 1) { return make(BadChecksum, command, times); }
    static Fault otherAddress(int command, int address, int times = 1)
    {
        Fault f = make(OtherAddress, command, times);
        f.address = address;
        return f;
    }
    static Fault extraBytes(int command, const QByteArray& extra, int times = 1)
    {
        Fault f = make(ExtraBytes, command, times);
        f.extra = extra;
        return f;
    }
    static Fault pieces(int command, int size, int gapMs, int times = 1)
    {
        Fault f = make(Pieces, command, times);
        f.size = size;
        f.delayMs = gapMs;
        return f;
    }
    static Fault badSlot(int command, int slot, bool otherAddress = false, int times = 1)
    {
        Fault f = make(BadSlot, command, times);
        f.slot = slot;
        f.slotOtherAddress = otherAddress;
        return f;
    }
    static Fault truncate(int command, int bytes, int times = 1)
    {
        Fault f = make(Truncate, command, times);
        f.size = bytes;
        return f;
    }
};

// A reply as it goes on the line: pieces, each after a gap.
struct Reply {
    struct Piece {
        QByteArray bytes;
        int gapMs = 0; // pause before this piece (the first: after the request)
    };
    std::vector<Piece> pieces;
};

// A frame the controller read after its address byte.
struct SeenFrame {
    QByteArray bytes;    // length byte .. check byte
    bool intact = false; // check byte right and layout known
};

class Controller {
public:
    explicit Controller(uint8_t address, int capacity = 1000);

    uint8_t address() const { return address_; }

    // Name list: slots in storing order; a deleted card leaves an all-zero
    // slot until the list is erased. The list holds at most capacity slots.
    int capacity() const { return capacity_; }
    void setCapacity(int count);
    const std::vector<CardRecord>& cardSlots() const { return slots_; }
    std::optional<CardRecord> findCard(uint32_t card) const;
    bool storeCard(const CardRecord& r); // false when full
    bool deleteCard(uint32_t card);      // false when not held
    void clearList();
    int deletedCount() const { return deleted_; } // since the list was last erased
    // The count stops here, so that a state file holds every count it can reach.
    static constexpr int kMostDeleted = INT_MAX;

    // Punch records.
    const std::vector<PunchRecord>& punches() const { return punches_; }
    void addPunch(const PunchRecord& p);
    void clearPunches();

    // Time groups 0..15.
    const std::array<TimeGroup, 16>& timeGroups() const { return groups_; }
    void setTimeGroup(int index, const TimeGroup& g);

    // The controller's clock: a date and time without a zone (rt::wallTime),
    // set by command and running with ui::now(); a new controller starts at
    // the PC's wall clock, and a daylight-saving change of the PC moves it not.
    QDateTime clock() const;
    void setClock(const QDateTime& t);
    int weekday() const { return clock().date().dayOfWeek(); } // 1 Monday .. 7 Sunday

    // Delays of lock 1, lock 2 and the external relay (units of 0.3 s).
    const std::array<uint8_t, 3>& delays() const { return delays_; }
    void setDelays(uint8_t lock1, uint8_t lock2, uint8_t relay);
    // Releases lock 1, 2 or both (3) for its delay.
    void openLock(int lock);
    bool lockOpen(int lock) const;

    // The reader: the last card presented, and the reader/mode byte the
    // card-and-lock status reports.
    void presentCard(uint32_t card);
    // A card held to reader 1 or 2, as a person swipes it: the reader reports
    // it, and a card in the name list is let through (a punch with the
    // reader's direction at the controller's time, that reader's lock opened
    // for its delay). A card the controller does not hold leaves no record:
    // the punch layout has no open type for a refused card.
    void swipeCard(uint32_t card, int reader = 1);
    std::optional<uint32_t> lastCard() const { return lastCard_; }
    void setReaderCode(uint8_t code);
    uint8_t readerCode() const { return readerCode_; }

    // Version: model (2 bytes), firmware date yymmdd (3), version (3).
    QByteArray version() const { return version_; }
    void setVersion(const QByteArray& eightBytes);
    // The eight bytes of version "MAJOR.MINOR.PATCH" (a leading "V" allowed,
    // parts 0-99); empty when the text is not one. A new controller reports
    // kDefaultVersion, the one the shipped database is set to.
    static QByteArray versionBytes(const QString& text);
    static constexpr const char* kDefaultVersion = "5.1.0";

    // Misbehaviour.
    void inject(const Fault& f) { faults_.push_back(f); }
    void clearFaults() { faults_.clear(); }
    const std::vector<Fault>& faults() const { return faults_; }

    // What the controller saw: every character on the line, and the frames
    // addressed to it.
    const std::vector<serial::LineByte>& seen() const { return seen_; }
    const std::vector<SeenFrame>& frames() const { return frames_; }
    void clearLog();

    // The line side: one character; a reply when it completed a frame for
    // this controller that it answers.
    std::optional<Reply> onByte(const serial::LineByte& b);
    // The reply to an intact frame, as if sent by replyAddress; empty for
    // frames the controller does not answer.
    QByteArray answer(const QByteArray& frame, uint8_t replyAddress);

    // Called after every change of the state kept in the state file.
    std::function<void()> onChange;

    QJsonObject toJson() const;
    // One controller of the state file; unusable when read names a bad field.
    static std::unique_ptr<Controller> fromJson(const QJsonObject& o, StateReader& read);

private:
    void changed();
    std::optional<Reply> respond(const QByteArray& frame);

    uint8_t address_;
    int capacity_;
    std::vector<CardRecord> slots_;
    int deleted_ = 0;
    std::vector<PunchRecord> punches_;
    std::array<TimeGroup, 16> groups_{};
    int64_t clockMinusUtcMs_ = 0; // the controller's wall time, read as UTC, minus the real time
    std::array<uint8_t, 3> delays_{{10, 10, 10}};
    std::array<int64_t, 2> openUntil_{{0, 0}};
    std::optional<uint32_t> lastCard_;
    uint8_t readerCode_ = 0x01;
    QByteArray version_;
    std::vector<Fault> faults_;
    std::vector<serial::LineByte> seen_;
    std::vector<SeenFrame> frames_;
    bool selected_ = false;
    QByteArray frame_;
};

// Frame length of a command as it travels (its length byte aside, which is
// 5 for the 6-byte frame of 0x09); 0 for commands the controller lacks.
int frameLength(uint8_t command);
// Reply length of a command; 0 for commands the controller lacks.
int replyLength(uint8_t command);
uint8_t xorOf(const QByteArray& b, int from, int to); // bytes from..to-1

} // namespace sim
