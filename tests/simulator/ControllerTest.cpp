// The controllers' answers, byte by byte, through a port on the in-process line.
#include "SimSite.h"

#include <gtest/gtest.h>

using sim::Fault;

namespace {

uint8_t xorRange(const QByteArray& b, int from, int to)
{
    uint8_t x = 0;
    for (int i = from; i < to; ++i)
        x ^= uint8_t(b[i]);
    return x;
}

TEST(Status, BlockCarriesCountsAtFiftyToFiftyThree)
{
    SimSite s;
    sim::Controller& c = s.line.add(1);
    for (int i = 0; i < 300; ++i)
        c.addPunch({uint32_t(1000 + i), QDateTime(QDate(2026, 3, 23), QTime(8, 0)), 0x0A, 0x00});
    for (uint32_t card = 1; card <= 15; ++card)
        ASSERT_TRUE(c.storeCard({card, 0x1234}));
    const QByteArray r = s.exchange(1, hexBytes("0310"), 131);
    ASSERT_EQ(r.size(), 131);
    EXPECT_EQ(uint8_t(r[0]), 1);
    EXPECT_EQ(r.mid(50, 4), hexBytes("000F012C"));
    EXPECT_EQ(uint8_t(r[130]), xorRange(r, 0, 130));
}

TEST(Status, RequestTravelsWithNinthBitOnAddressOnly)
{
    SimSite s;
    sim::Controller& c = s.line.add(1);
    s.exchange(1, hexBytes("0310"), 131);
    const std::vector<serial::LineByte> want = {{0x01, true}, {0x03, false}, {0x10, false}, {0x12, false}};
    EXPECT_EQ(s.line.sent(), want);
    ASSERT_EQ(c.frames().size(), 1u);
    EXPECT_EQ(c.frames()[0].bytes, hexBytes("031012"));
    EXPECT_TRUE(c.frames()[0].intact);
}

TEST(Status, OtherControllersStaySilent)
{
    SimSite s;
    sim::Controller& one = s.line.add(1);
    sim::Controller& two = s.line.add(2);
    two.addPunch({7, QDateTime(QDate(2026, 1, 1), QTime(0, 0))});
    const QByteArray r = s.exchange(2, hexBytes("0310"), 131);
    ASSERT_EQ(r.size(), 131);
    EXPECT_EQ(uint8_t(r[0]), 2);
    EXPECT_EQ(r.mid(52, 2), hexBytes("0001"));
    EXPECT_TRUE(one.frames().empty());
    EXPECT_FALSE(s.line.replyPending());
}

TEST(ClearRecords, ErasesPunchesAndEchoesCommand)
{
    SimSite s;
    sim::Controller& c = s.line.add(3);
    c.addPunch({7, QDateTime(QDate(2026, 1, 1), QTime(0, 0))});
    const QByteArray r = s.exchange(3, hexBytes("0306"), 4);
    ASSERT_EQ(r.size(), 4);
    EXPECT_EQ(uint8_t(r[0]), 3);
    EXPECT_EQ(uint8_t(r[2]), 0x06);
    EXPECT_EQ(uint8_t(r[3]), xorRange(r, 0, 3));
    EXPECT_TRUE(c.punches().empty());
}

TEST(Frames, BadCheckByteGetsNoAnswer)
{
    SimSite s;
    sim::Controller& c = s.line.add(1);
    s.port->setPortOpen(true);
    s.port->setSettings(QStringLiteral("19200,n,8,2"));
    s.port->output(hexBytes("01"));
    s.port->setSettings(QStringLiteral("19200,s,8,1"));
    s.port->output(hexBytes("031013"));
    EXPECT_FALSE(s.port->waitForInput(500));
    ASSERT_EQ(c.frames().size(), 1u);
    EXPECT_FALSE(c.frames()[0].intact);
}

} // namespace
