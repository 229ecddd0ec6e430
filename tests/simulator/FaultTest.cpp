// Misbehaving controllers and the timing of the simulated line.
#include "SimSite.h"

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>

using sim::Fault;

namespace {

const QByteArray kStatus = QByteArray::fromHex("0310");
const QByteArray kClear = QByteArray::fromHex("0306");

TEST(Faults, NoAnswerOnceThenNormal)
{
    SimSite s;
    sim::Controller& c = s.line.add(1);
    c.inject(Fault::noAnswer(0x10));
    const int64_t t0 = s.ui.monotonicMs();
    EXPECT_TRUE(s.exchange(1, kStatus, 131, 3000).isEmpty());
    EXPECT_GE(s.ui.monotonicMs() - t0, 3000);
    EXPECT_EQ(s.exchange(1, kStatus, 131).size(), 131);
    EXPECT_TRUE(c.faults().empty());
}

TEST(Faults, PersistentUntilCleared)
{
    SimSite s;
    sim::Controller& c = s.line.add(1);
    c.inject(Fault::noAnswer(-1, 0));
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(s.exchange(1, kStatus, 131, 100).isEmpty());
    c.clearFaults();
    EXPECT_EQ(s.exchange(1, kStatus, 131).size(), 131);
}

TEST(Faults, OnlyTheNamedCommand)
{
    SimSite s;
    sim::Controller& c = s.line.add(1);
    c.inject(Fault::noAnswer(0x10, 2));
    EXPECT_EQ(s.exchange(1, kClear, 4).size(), 4);
    EXPECT_TRUE(s.exchange(1, kStatus, 131, 100).isEmpty());
    EXPECT_TRUE(s.exchange(1, kStatus, 131, 100).isEmpty());
    EXPECT_EQ(s.exchange(1, kStatus, 131).size(), 131);
}

TEST(Faults, CommandTakesEffectEvenWhenReplyIsLost)
{
    SimSite s;
    sim::Controller& c = s.line.add(1);
    c.addPunch({1, QDateTime(QDate(2026, 1, 1), QTime(1, 0))});
    c.inject(Fault::noAnswer(0x06));
    EXPECT_TRUE(s.exchange(1, kClear, 4, 100).isEmpty());
    EXPECT_TRUE(c.punches().empty());
}

TEST(Faults, LateReplyMissesItsWaitAndIsDroppedByTheNext)
{
    SimSite s;
    sim::Controller& c = s.line.add(1);
    c.inject(Fault::late(0x10, 2500));
    EXPECT_TRUE(s.exchange(1, kStatus, 131, 2000).isEmpty());
    s.ui.advanceMs(1000); // the late reply arrives meanwhile
    const QByteArray r = s.exchange(1, kClear, 4);
    ASSERT_EQ(r.size(), 4);
    EXPECT_EQ(uint8_t(r[2]), 0x06);
    EXPECT_EQ(s.port->inBufferCount(), 0);
}

TEST(Faults, LateReplyWithinTheWait)
{
    SimSite s;
    s.line.add(1).inject(Fault::late(0x10, 1500));
    const int64_t t0 = s.ui.monotonicMs();
    EXPECT_EQ(s.exchange(1, kStatus, 131, 3000).size(), 131);
    EXPECT_GE(s.ui.monotonicMs() - t0, 1500);
    EXPECT_LT(s.ui.monotonicMs() - t0, 1600);
}

TEST(Faults, WrongCheckByte)
{
    SimSite s;
    s.line.add(1).inject(Fault::badChecksum(0x06));
    const QByteArray r = s.exchange(1, kClear, 4);
    ASSERT_EQ(r.size(), 4);
    EXPECT_NE(uint8_t(r[3]), xorRange(r, 0, 3));
    EXPECT_EQ(uint8_t(r[2]), 0x06);
}

TEST(Faults, ReplyFromAnotherAddress)
{
    SimSite s;
    s.line.add(1).inject(Fault::otherAddress(0x06, 7));
    const QByteArray r = s.exchange(1, kClear, 4);
    ASSERT_EQ(r.size(), 4);
    EXPECT_EQ(uint8_t(r[0]), 7);
    EXPECT_EQ(uint8_t(r[3]), xorRange(r, 0, 3)); // otherwise a sound reply
}

TEST(Faults, ExtraBytesFollowTheReply)
{
    SimSite s;
    s.line.add(1).inject(Fault::extraBytes(0x06, QByteArray::fromHex("AABBCC")));
    const QByteArray r = s.exchange(1, kClear, 4);
    ASSERT_EQ(r.size(), 4);
    EXPECT_EQ(uint8_t(r[3]), xorRange(r, 0, 3));
    EXPECT_EQ(s.port->inBufferCount(), 3);
    EXPECT_EQ(s.exchange(1, kClear, 4).size(), 4); // the next exchange starts clean
}

TEST(Faults, ReplyInPiecesWithGaps)
{
    SimSite s;
    sim::Controller& c = s.line.add(1);
    c.inject(Fault::pieces(0x10, 50, 400));
    std::vector<int> counts;
    s.ui.onSleep = [&](int) { counts.push_back(s.port->inBufferCount()); };
    const int64_t t0 = s.ui.monotonicMs();
    const QByteArray r = s.exchange(1, kStatus, 131, 3000);
    ASSERT_EQ(r.size(), 131);
    EXPECT_EQ(s.ui.monotonicMs() - t0, 1 + 800); // the pause after the address byte, then two gaps
    EXPECT_NE(std::find(counts.begin(), counts.end(), 50), counts.end());
    EXPECT_NE(std::find(counts.begin(), counts.end(), 100), counts.end());
}

TEST(Faults, ShortReplyNeverCompletes)
{
    SimSite s;
    s.line.add(1).inject(Fault::truncate(0x1B, 1));
    EXPECT_TRUE(s.exchange(1, QByteArray::fromHex("031B"), 6, 1000).size() < 6);
}

TEST(Faults, SpoiledSlotsInCollectionBlocks)
{
    SimSite s;
    sim::Controller& c = s.line.add(2);
    for (int i = 0; i < 15; ++i)
        c.addPunch({uint32_t(i), QDateTime(QDate(2026, 2, 3), QTime(4, 5, 6))});
    c.inject(Fault::badSlot(0x05, 3));
    c.inject(Fault::badSlot(0x05, 4, true));
    QByteArray r = s.exchange(2, QByteArray::fromHex("05050000"), 240);
    ASSERT_EQ(r.size(), 240);
    EXPECT_NE(uint8_t(r[16 * 3 + 15]), xorRange(r, 48, 63));
    EXPECT_EQ(uint8_t(r[16 * 3]), 2);
    EXPECT_NE(uint8_t(r[16 * 4]), 2);
    EXPECT_EQ(uint8_t(r[16 * 4 + 15]), xorRange(r, 64, 79));
    for (int k : {0, 1, 2, 5, 14}) {
        EXPECT_EQ(uint8_t(r[16 * k]), 2);
        EXPECT_EQ(uint8_t(r[16 * k + 15]), xorRange(r, 16 * k, 16 * k + 15));
    }
    // one-shot: the retry is sound
    r = s.exchange(2, QByteArray::fromHex("05050000"), 240);
    for (int k = 0; k < 15; ++k)
        EXPECT_EQ(uint8_t(r[16 * k + 15]), xorRange(r, 16 * k, 16 * k + 15));

    c.storeCard({77});
    c.inject(Fault::badSlot(0x04, 0));
    r = s.exchange(2, QByteArray::fromHex("05040000"), 315);
    EXPECT_NE(uint8_t(r[20]), xorRange(r, 0, 20));
}

TEST(Faults, SpoiledTimeGroup)
{
    SimSite s;
    s.line.add(1).inject(Fault::badSlot(0x42, 5));
    const QByteArray r = s.exchange(1, QByteArray::fromHex("0342"), 112);
    EXPECT_NE(uint8_t(r[41]), xorRange(r, 35, 41));
    EXPECT_EQ(uint8_t(r[48]), xorRange(r, 42, 48));
}

// Every command with a request it accepts, its reply length and the size of
// the part its last byte checks (a record for the replies made of records).
struct CommandCase {
    uint8_t code;
    const char* frame;
    int reply;
    int checked;
};
const CommandCase kEveryCommand[] = {
    {0x10, "0310", 131, 131},
    {0x06, "0306", 4, 4},
    {0x0C, "030C", 4, 4},
    {0x03, "140300BC614E00001234C0FE991231000100 01", 6, 6},
    {0x0D, "070D00BC614E", 6, 6},
    {0x1D, "071D00BC614E", 21, 21},
    {0x0B, "030B", 8, 8},
    {0x05, "05050000", 240, 16},
    {0x04, "05040000", 315, 21},
    {0x41, "094102010800 1730", 5, 5},
    {0x42, "0342", 112, 7},
    {0x08, "0A0826032308153001", 4, 4},
    {0x09, "0509050A00", 4, 4},
    {0x40, "044001", 5, 5},
    {0x1B, "031B", 6, 6},
    {0x19, "0319", 13, 13},
    {0x18, "0318", 10, 10},
    {0x80, "0380", 12, 12},
};

// A site whose controller 1 holds a full first block of punches and of
// cards, so that the last byte of a block reply checks a record.
struct StockedSite : SimSite {
    sim::Controller& c = line.add(1);
    StockedSite()
    {
        for (uint32_t i = 0; i < 15; ++i) {
            c.addPunch({0x12D687 + i, QDateTime(QDate(2026, 3, 23), QTime(8, 15, 30)), 0x0A, 0x02});
            c.storeCard({12345678 + i, 0x00001234});
        }
    }
};

TEST(Faults, EveryCommandCanBeSpoiledEveryWay)
{
    for (const CommandCase& k : kEveryCommand) {
        SCOPED_TRACE(testing::Message() << "command 0x" << std::hex << int(k.code));
        const QByteArray frame = QByteArray::fromHex(QByteArray(k.frame).replace(' ', ""));
        const int n = k.reply;
        auto checkOk = [&](const QByteArray& r) { return uint8_t(r[n - 1]) == xorRange(r, n - k.checked, n - 1); };
        {
            StockedSite s;
            const QByteArray r = s.exchange(1, frame, n);
            ASSERT_EQ(r.size(), n);
            EXPECT_EQ(uint8_t(r[0]), 1);
            EXPECT_TRUE(checkOk(r));

            s.c.inject(Fault::noAnswer(k.code));
            EXPECT_TRUE(s.exchange(1, frame, n).isEmpty());

            s.c.inject(Fault::badChecksum(k.code));
            const QByteArray bad = s.exchange(1, frame, n);
            ASSERT_EQ(bad.size(), n);
            EXPECT_FALSE(checkOk(bad));

            s.c.inject(Fault::otherAddress(k.code, 7));
            const QByteArray other = s.exchange(1, frame, n);
            ASSERT_EQ(other.size(), n);
            EXPECT_EQ(uint8_t(other[0]), 7);
            EXPECT_TRUE(checkOk(other));

            s.c.inject(Fault::extraBytes(k.code, QByteArray("\xAA\xBB", 2)));
            EXPECT_EQ(s.exchange(1, frame, n + 2).right(2), QByteArray("\xAA\xBB", 2));

            s.c.inject(Fault::truncate(k.code, 1));
            EXPECT_EQ(s.exchange(1, frame, n, 500).size(), n - 1);

            s.c.inject(Fault::pieces(k.code, 5, 20));
            EXPECT_EQ(s.exchange(1, frame, n).size(), n);
        }
        {
            StockedSite s; // a late reply misses its wait and is gone by the next exchange
            s.c.inject(Fault::late(k.code, 1500));
            EXPECT_TRUE(s.exchange(1, frame, n, 1000).isEmpty());
            s.ui.advanceMs(1000);
            EXPECT_EQ(s.exchange(1, frame, n).size(), n);
        }
    }
}

TEST(LineSpeed, CharactersTakeTheirTimeOnTheFakeClock)
{
    SimSite s;
    s.line.setLineSpeed(true);
    s.line.add(1);
    const int64_t t0 = s.ui.monotonicMs();
    ASSERT_EQ(s.exchange(1, kStatus, 131).size(), 131);
    const int64_t took = s.ui.monotonicMs() - t0;
    EXPECT_GE(took, 131 * 11 * 1000 / 19200); // 75 ms of reply alone
    EXPECT_LE(took, 90);
}

TEST(LineSpeed, WaitingOnTheRealClockDoesNotSpin)
{
    SimSite s;
    s.ui.useRealClock(true);
    s.line.setLineSpeed(true);
    s.line.add(1);
    s.line.add(1).inject(Fault::late(0x04, 100));
    using Clock = std::chrono::steady_clock;
    const std::clock_t cpu0 = std::clock();
    const auto t0 = Clock::now();
    ASSERT_EQ(s.exchange(1, QByteArray::fromHex("05040000"), 315).size(), 315);
    const double wallMs = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
    const double cpuMs = double(std::clock() - cpu0) * 1000.0 / CLOCKS_PER_SEC;
    EXPECT_GE(wallMs, 100 + 315 * 11 * 1000.0 / 19200 - 2);
    EXPECT_LT(cpuMs, wallMs / 4);
}

} // namespace
