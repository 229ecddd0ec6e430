// The controllers' answers, byte by byte, through a port on the in-process line.
#include "SimSite.h"

#include "../platform/PcZone.h"

#include "runtime/Conv.h"

#include <QJsonDocument>

#include <gtest/gtest.h>

using sim::Fault;

namespace {

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

namespace {

// The card record of the worked example: card 0012345678, employee
// 00001234, both locks, weekdays 1111111, end 991231, group 16 on both locks.
const char* kCardFrame = "1403" "00BC614E" "00001234" "C0" "FE" "991231" "0001" "0001";

TEST(Cards, StoreAndFindReadBackTheRecord)
{
    SimSite s;
    sim::Controller& c = s.line.add(5);
    EXPECT_EQ(uint8_t(SimSite::withCheck(5, hexBytes(kCardFrame)).back()), 0x23);
    const QByteArray r = s.exchange(5, hexBytes(kCardFrame), 6);
    ASSERT_EQ(r.size(), 6);
    EXPECT_EQ(uint8_t(r[0]), 5);
    EXPECT_EQ(uint8_t(r[2]), 0x03);
    EXPECT_FALSE(uint8_t(r[3]) == 0xFF && uint8_t(r[4]) == 0xFF);
    EXPECT_EQ(uint8_t(r[5]), xorRange(r, 0, 5));
    ASSERT_EQ(c.cardSlots().size(), 1u);
    const sim::CardRecord want{12345678, 0x00001234, 0xC0, 0xFE, 0x991231, 0x0001, 0x0001};
    EXPECT_EQ(c.cardSlots()[0], want);

    const QByteArray f = s.exchange(5, hexBytes("071D00BC614E"), 21);
    ASSERT_EQ(f.size(), 21);
    EXPECT_EQ(uint8_t(f[0]), 5);
    EXPECT_EQ(f.mid(3, 17), hexBytes(kCardFrame).mid(2, 17));
    EXPECT_EQ(uint8_t(f[20]), xorRange(f, 0, 20));

    const QByteArray missing = s.exchange(5, hexBytes("071D00000001"), 21);
    ASSERT_EQ(missing.size(), 21);
    EXPECT_EQ(missing.mid(3, 4), hexBytes("FFFFFFFF"));
    EXPECT_EQ(uint8_t(missing[20]), xorRange(missing, 0, 20));
}

TEST(Cards, FullListAnswersFFFF)
{
    SimSite s;
    sim::Controller& c = s.line.add(1, 2);
    ASSERT_TRUE(c.storeCard({1}));
    ASSERT_TRUE(c.storeCard({2}));
    QByteArray frame = hexBytes(kCardFrame);
    QByteArray r = s.exchange(1, frame, 6);
    ASSERT_EQ(r.size(), 6);
    EXPECT_EQ(r.mid(3, 2), hexBytes("FFFF"));
    EXPECT_EQ(uint8_t(r[5]), xorRange(r, 0, 5));
    EXPECT_EQ(c.cardSlots().size(), 2u);
    // a card already held is rewritten in place even when the list is full
    frame.replace(2, 4, hexBytes("00000002"));
    r = s.exchange(1, frame, 6);
    EXPECT_NE(r.mid(3, 2), hexBytes("FFFF"));
    EXPECT_EQ(c.cardSlots()[1].employee, 0x00001234u);
}

TEST(Cards, DeleteLeavesHoleAndCountsDeletions)
{
    SimSite s;
    sim::Controller& c = s.line.add(2);
    for (uint32_t card = 10; card < 13; ++card)
        c.storeCard({card, card});
    QByteArray r = s.exchange(2, hexBytes("070D0000000B"), 6);
    ASSERT_EQ(r.size(), 6);
    EXPECT_EQ(uint8_t(r[0]), 2);
    EXPECT_EQ(uint8_t(r[3]), 1);
    EXPECT_NE(uint8_t(r[4]), 0);
    EXPECT_EQ(uint8_t(r[5]), xorRange(r, 0, 5));
    r = s.exchange(2, hexBytes("070D0000000C"), 6);
    EXPECT_EQ(uint8_t(r[3]), 2);
    r = s.exchange(2, hexBytes("070D0000000C"), 6); // not held any more
    EXPECT_EQ(uint8_t(r[3]), 2);
    EXPECT_EQ(uint8_t(r[4]), 0);
    EXPECT_EQ(uint8_t(r[5]), xorRange(r, 0, 5));
    ASSERT_EQ(c.cardSlots().size(), 3u); // holes stay until the list is erased
    EXPECT_TRUE(c.cardSlots()[1].isEmpty());
    EXPECT_EQ(s.exchange(2, hexBytes("0310"), 131).mid(50, 2), hexBytes("0003"));

    r = s.exchange(2, hexBytes("030C"), 4);
    ASSERT_EQ(r.size(), 4);
    EXPECT_EQ(uint8_t(r[0]), 2);
    EXPECT_EQ(uint8_t(r[2]), 0x0C);
    EXPECT_EQ(uint8_t(r[3]), xorRange(r, 0, 3));
    EXPECT_TRUE(c.cardSlots().empty());
    EXPECT_EQ(c.deletedCount(), 0);
}

TEST(Cards, DeleteCountStopsAt255)
{
    SimSite s;
    sim::Controller& c = s.line.add(1);
    for (uint32_t card = 1; card <= 300; ++card) {
        c.storeCard({card});
        c.deleteCard(card);
    }
    c.storeCard({999});
    const QByteArray r = s.exchange(1, hexBytes("070D000003E7"), 6);
    EXPECT_EQ(uint8_t(r[3]), 255);
    EXPECT_NE(uint8_t(r[4]), 0);

    // At the largest count a state file holds, a deletion leaves the count
    // there, and what is saved reads back.
    const QByteArray full = R"({"controllers": [{"address": 1, "deleted": 2147483647, "cards": ["000003E7)"
                            + QByteArray(26, '0') + R"("]}]})";
    ASSERT_EQ(s.line.fromJson(QJsonDocument::fromJson(full).object()), QString());
    EXPECT_NE(uint8_t(s.exchange(1, hexBytes("070D000003E7"), 6)[4]), 0);
    sim::Line restarted;
    ASSERT_EQ(restarted.fromJson(s.line.toJson()), QString());
    EXPECT_EQ(restarted.controller(1)->deletedCount(), sim::Controller::kMostDeleted);
}

TEST(Reader, CardNumberWhenPresented)
{
    SimSite s;
    sim::Controller& c = s.line.add(4);
    QByteArray r = s.exchange(4, hexBytes("030B"), 8);
    ASSERT_EQ(r.size(), 8);
    EXPECT_NE(uint8_t(r[2]), 0x04);
    EXPECT_NE(uint8_t(r[2]), 0x09);
    EXPECT_EQ(uint8_t(r[7]), xorRange(r, 0, 7));
    c.presentCard(1234567);
    r = s.exchange(4, hexBytes("030B"), 8);
    EXPECT_EQ(uint8_t(r[0]), 4);
    EXPECT_EQ(uint8_t(r[2]), 0x04);
    EXPECT_EQ(r.mid(3, 4), hexBytes("0012D687"));
    EXPECT_EQ(uint8_t(r[7]), xorRange(r, 0, 7));
}

TEST(Collection, PunchBlocksOfFifteenSlots)
{
    SimSite s;
    sim::Controller& c = s.line.add(5);
    c.addPunch({0x12345678, QDateTime(QDate(2026, 3, 23), QTime(8, 15, 30)), 0x0A, 0x02});
    for (int i = 1; i < 16; ++i)
        c.addPunch({uint32_t(i), QDateTime(QDate(2026, 3, 24), QTime(9, 0, i)), 0x0B, 0x03});
    QByteArray r = s.exchange(5, hexBytes("05050000"), 240);
    ASSERT_EQ(r.size(), 240);
    EXPECT_EQ(r.left(16), hexBytes("050000" "12345678" "260323081530" "0A02") + char(xorRange(r, 0, 15)));
    for (int k = 0; k < 15; ++k) {
        EXPECT_EQ(uint8_t(r[16 * k]), 5) << k;
        EXPECT_EQ(uint8_t(r[16 * k + 15]), xorRange(r, 16 * k, 16 * k + 15)) << k;
    }
    EXPECT_EQ(r.mid(16 * 14 + 7, 6), hexBytes("260324090014"));

    r = s.exchange(5, hexBytes("05050001"), 240); // the 16th record alone
    ASSERT_EQ(r.size(), 240);
    EXPECT_EQ(r.mid(3, 4), hexBytes("0000000F"));
    EXPECT_EQ(uint8_t(r[15]), xorRange(r, 0, 15));
    EXPECT_EQ(r.mid(16), QByteArray(224, char(0xFF)));
    EXPECT_EQ(c.punches().size(), 16u); // collecting erases nothing
}

TEST(Collection, BlockNumberIsTwoBytes)
{
    SimSite s;
    sim::Controller& c = s.line.add(1);
    const QDateTime t(QDate(2026, 1, 2), QTime(3, 4, 5));
    for (uint32_t i = 0; i < 15 * 256 + 1; ++i)
        c.addPunch({i, t});
    EXPECT_EQ(s.exchange(1, hexBytes("0310"), 131).mid(52, 2), hexBytes("0F01"));
    const QByteArray r = s.exchange(1, hexBytes("05050100"), 240);
    ASSERT_EQ(r.size(), 240);
    EXPECT_EQ(r.mid(3, 4), hexBytes("00000F00")); // record 3840
    EXPECT_EQ(uint8_t(r[16]), 0xFF);
    EXPECT_EQ(c.frames().back().bytes, SimSite::withCheck(1, hexBytes("05050100")));
}

TEST(Collection, CardBlocksIncludeDeletedSlots)
{
    SimSite s;
    sim::Controller& c = s.line.add(3);
    for (uint32_t card = 1; card <= 31; ++card)
        c.storeCard({card, 0x20260000 + card, 0xC5, 0xFE, 0x991231, 0x8001, 0x0003});
    c.deleteCard(2);
    QByteArray r = s.exchange(3, hexBytes("05040000"), 315);
    ASSERT_EQ(r.size(), 315);
    EXPECT_EQ(r.left(21), hexBytes("030000" "00000001" "20260001" "C5" "FE" "991231" "8001" "0003")
                              + char(xorRange(r, 0, 20)));
    EXPECT_EQ(r.mid(21, 20), hexBytes("03") + QByteArray(19, '\0')); // the hole
    EXPECT_EQ(uint8_t(r[41]), 3);
    for (int k = 0; k < 15; ++k)
        EXPECT_EQ(uint8_t(r[21 * k + 20]), xorRange(r, 21 * k, 21 * k + 20)) << k;

    r = s.exchange(3, hexBytes("05040002"), 315);
    ASSERT_EQ(r.size(), 315);
    EXPECT_EQ(r.mid(3, 4), hexBytes("0000001F"));
    EXPECT_EQ(r.mid(21), QByteArray(294, char(0xFF)));
}

TEST(TimeGroups, SetOneReadAll)
{
    SimSite s;
    sim::Controller& c = s.line.add(1);
    QByteArray r = s.exchange(1, hexBytes("094102" "07" "C8001730"), 5);
    ASSERT_EQ(r.size(), 5);
    EXPECT_EQ(uint8_t(r[0]), 1);
    EXPECT_EQ(uint8_t(r[3]), 2);
    EXPECT_EQ(uint8_t(r[4]), xorRange(r, 0, 4));
    EXPECT_EQ(c.timeGroups()[2].mode(), 3);

    r = s.exchange(1, hexBytes("0342"), 112);
    ASSERT_EQ(r.size(), 112);
    for (int g = 0; g < 16; ++g) {
        EXPECT_EQ(uint8_t(r[7 * g]), 1);
        EXPECT_EQ(uint8_t(r[7 * g + 1]), 0x42);
        EXPECT_EQ(uint8_t(r[7 * g + 6]), xorRange(r, 7 * g, 7 * g + 6)) << g;
    }
    EXPECT_EQ(r.mid(14 + 2, 4), hexBytes("C8001730"));
    EXPECT_EQ(r.mid(7 * 15 + 2, 4), hexBytes("00002359"));

    EXPECT_TRUE(s.exchange(1, hexBytes("094110" "00" "08001730"), 5).isEmpty()); // no group 16
}

TEST(Clock, SetRunsAndReadsBackWithDelays)
{
    SimSite s;
    sim::Controller& c = s.line.add(6);
    QByteArray r = s.exchange(6, hexBytes("0A08" "260323081530" "01"), 4);
    ASSERT_EQ(r.size(), 4);
    EXPECT_EQ(uint8_t(r[0]), 6);
    EXPECT_EQ(uint8_t(r[3]), xorRange(r, 0, 3));
    EXPECT_EQ(c.weekday(), 1);

    // the 6-byte frame whose length byte is 5
    r = s.exchange(6, hexBytes("0509" "05" "0C" "C8"), 4);
    ASSERT_EQ(r.size(), 4);
    EXPECT_EQ(uint8_t(r[3]), xorRange(r, 0, 3));
    EXPECT_EQ(c.frames().back().bytes.size(), 6);
    EXPECT_EQ((std::array<uint8_t, 3>{5, 12, 200}), c.delays());

    s.ui.advanceMs(61'000);
    r = s.exchange(6, hexBytes("0319"), 13);
    ASSERT_EQ(r.size(), 13);
    EXPECT_EQ(uint8_t(r[0]), 6);
    EXPECT_EQ(r.mid(3, 6), hexBytes("260323081631"));
    EXPECT_EQ(r.mid(9, 3), hexBytes("050CC8"));
    EXPECT_EQ(uint8_t(r[12]), xorRange(r, 0, 12));

    EXPECT_TRUE(s.exchange(6, hexBytes("0A08" "261323081530" "01"), 4).isEmpty()); // month 13

    // The PC going over to summer time moves the controller's clock not, and
    // the hour the PC skips is a time the controller can be set to.
    const PcZone berlin("Europe/Berlin");
    s.ui.setNow(QDateTime(QDate(2026, 3, 29), QTime(1, 59)));
    s.line.add(7); // a new controller starts at the PC's wall clock
    EXPECT_EQ(s.exchange(7, hexBytes("0319"), 13).mid(3, 6), hexBytes("260329015900"));
    ASSERT_EQ(s.exchange(6, hexBytes("0A08" "260329023000" "07"), 4).size(), 4);
    s.ui.advanceMs(120'000);
    EXPECT_EQ(s.exchange(6, hexBytes("0319"), 13).mid(3, 6), hexBytes("260329023200"));
}

TEST(Locks, OpenForTheirDelay)
{
    SimSite s;
    sim::Controller& c = s.line.add(1);
    c.setDelays(10, 20, 0); // 3 s and 6 s
    QByteArray r = s.exchange(1, hexBytes("044001"), 5);
    ASSERT_EQ(r.size(), 5);
    EXPECT_EQ(uint8_t(r[0]), 1);
    EXPECT_EQ(uint8_t(r[3]), 1);
    EXPECT_EQ(uint8_t(r[4]), xorRange(r, 0, 4));
    r = s.exchange(1, hexBytes("031B"), 6);
    ASSERT_EQ(r.size(), 6);
    EXPECT_EQ(r.mid(3, 2), hexBytes("0100"));
    EXPECT_EQ(uint8_t(r[5]), xorRange(r, 0, 5));

    s.exchange(1, hexBytes("044003"), 5);
    s.ui.advanceMs(4000);
    r = s.exchange(1, hexBytes("0318"), 10);
    ASSERT_EQ(r.size(), 10);
    EXPECT_EQ(uint8_t(r[0]), 1);
    EXPECT_EQ(r.mid(3, 4), hexBytes("FFFFFFFF"));
    EXPECT_EQ(uint8_t(r[7]), 0x01); // lock 1 closed again, lock 2 still open
    EXPECT_EQ(uint8_t(r[8]), 0x01);
    EXPECT_EQ(uint8_t(r[9]), xorRange(r, 0, 9));
    s.ui.advanceMs(3000);
    EXPECT_FALSE(c.lockOpen(2));
}

TEST(Locks, CardAndLockStatusShowsLastCard)
{
    SimSite s;
    sim::Controller& c = s.line.add(1);
    c.presentCard(0x0012D687);
    c.setReaderCode(0x02);
    c.openLock(1);
    const QByteArray r = s.exchange(1, hexBytes("0318"), 10);
    EXPECT_EQ(r.mid(3, 6), hexBytes("0012D687" "10" "02"));
}

TEST(Reader, ASwipedCardIsLetThroughOnlyWhenHeld)
{
    // Reader byte: bit 0 set, one door with an in and an out reader; clear,
    // a door per reader.
    const struct {
        uint8_t mode;
        int reader;
        bool held;
        const char* status;   // card, locks, reader byte of the card-and-lock reply
        int code;             // direction of the punch, -1 for none
    } cases[] = {
        {0x01, 1, true, "0012D687" "10" "01", 0x01},
        {0x01, 2, true, "0012D687" "10" "03", 0x02},
        {0x00, 1, true, "0012D687" "10" "00", 0x01},
        {0x00, 2, true, "0012D687" "01" "02", 0x03},
        {0x01, 1, false, "0012D687" "00" "01", -1},
    };
    for (const auto& k : cases) {
        SimSite s;
        sim::Controller& c = s.line.add(1);
        c.setReaderCode(k.mode);
        c.setDelays(10, 10, 0);
        c.setClock(QDateTime(QDate(2026, 3, 23), QTime(8, 15, 30)));
        if (k.held)
            c.storeCard({0x0012D687, 0x1234, 0xC0});
        c.swipeCard(0x0012D687, k.reader);
        const QByteArray r = s.exchange(1, hexBytes("0318"), 10);
        EXPECT_EQ(r.mid(3, 6), hexBytes(k.status)) << k.reader << k.held;
        if (k.code < 0) {
            EXPECT_TRUE(c.punches().empty());
            continue;
        }
        ASSERT_EQ(c.punches().size(), 1u);
        const QByteArray slot = s.exchange(1, hexBytes("05050000"), 240).left(16);
        EXPECT_EQ(slot.mid(3, 12), hexBytes("0012D687" "260323081530" "0A") + char(k.code));
        s.ui.advanceMs(3000);   // ten units of 0.3 s
        EXPECT_FALSE(c.lockOpen(1) || c.lockOpen(2));
    }
}

TEST(Version, TwelveByteReply)
{
    SimSite s;
    sim::Controller& c = s.line.add(9);
    c.setVersion(hexBytes("8096090115050102"));
    const QByteArray r = s.exchange(9, hexBytes("0380"), 12);
    ASSERT_EQ(r.size(), 12);
    EXPECT_EQ(uint8_t(r[0]), 9);
    EXPECT_EQ(r.mid(3, 8), hexBytes("8096090115050102"));
    EXPECT_EQ(uint8_t(r[11]), xorRange(r, 0, 11));
}

TEST(Frames, WrongLengthByteOrUnknownCommandIsIgnored)
{
    SimSite s;
    sim::Controller& c = s.line.add(1);
    EXPECT_TRUE(s.exchange(1, hexBytes("0609050A0B"), 4, 200).isEmpty()); // 0x09 with length byte 6
    EXPECT_TRUE(s.exchange(1, hexBytes("0377"), 4, 200).isEmpty());
    ASSERT_EQ(c.frames().size(), 2u);
    EXPECT_FALSE(c.frames()[0].intact);
    EXPECT_FALSE(c.frames()[1].intact);
    EXPECT_EQ(s.exchange(1, hexBytes("0310"), 131).size(), 131); // and it listens again
}

TEST(Frames, AddressWithoutNinthBitSelectsNobody)
{
    SimSite s;
    sim::Controller& c = s.line.add(1);
    s.port->setPortOpen(true);
    s.port->setSettings(QStringLiteral("19200,s,8,1")); // the address byte under the frame settings
    s.port->output(hexBytes("01"));
    s.port->output(SimSite::withCheck(1, hexBytes("0310")));
    EXPECT_FALSE(s.port->waitForInput(500));
    EXPECT_TRUE(c.frames().empty());
    EXPECT_EQ(c.seen().size(), 4u);
    EXPECT_FALSE(c.seen()[0].ninth);
}

TEST(Frames, NewAddressByteRestartsAFrame)
{
    SimSite s;
    s.line.add(1);
    s.port->setPortOpen(true);
    s.port->setSettings(QStringLiteral("19200,n,8,2"));
    s.port->output(hexBytes("01"));
    s.port->setSettings(QStringLiteral("19200,s,8,1"));
    s.port->output(hexBytes("1403")); // broken off
    EXPECT_EQ(s.exchange(1, hexBytes("0310"), 131).size(), 131);
}

} // namespace

namespace {

TEST(PortMap, ReplacesOnlyItsOwnLine)
{
    QTemporaryDir dir;
    QFile f(QDir(dir.path()).filePath(QStringLiteral("serialports.conf")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("# site ports\n1=/dev/ttyUSB0\n2=inproc:old\n");
    f.close();
    ASSERT_TRUE(sim::mapPort(dir.path(), 2, QStringLiteral("sim:/run/door.sock")));
    ASSERT_TRUE(sim::mapPort(dir.path(), 3, QStringLiteral("inproc:x")));
    EXPECT_EQ(serial::resolvePort(dir.path(), 1), QStringLiteral("/dev/ttyUSB0"));
    EXPECT_EQ(serial::resolvePort(dir.path(), 2), QStringLiteral("sim:/run/door.sock"));
    EXPECT_EQ(serial::resolvePort(dir.path(), 3), QStringLiteral("inproc:x"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("# site ports\n1=/dev/ttyUSB0\n2=sim:/run/door.sock\n3=inproc:x\n"));
}

TEST(State, JsonKeepsEverythingAControllerHolds)
{
    // Punches and clocks have no zone: kept as they are, whatever the PC's.
    const PcZone berlin("Europe/Berlin");
    ui::ScriptedUi ui;
    sim::Line a;
    sim::Controller& c = a.add(7, 40);
    c.storeCard({1, 0x00001234, 0xC5, 0xFE, 0x991231, 0x8001, 0x0003});
    c.storeCard({2});
    c.deleteCard(2);
    c.storeCard({0xFFFFFFF0, 0x99999999});
    c.addPunch({0x123456, QDateTime(QDate(2026, 3, 23), QTime(8, 15, 30)), 0x0B, 0x03, 1, 2});
    c.addPunch({7, rt::wallTime(QDate(2026, 3, 29), QTime(2, 30))}); // the hour the PC skips
    c.addPunch({0xFFFFFFF0, QDateTime(QDate(2026, 3, 30), QTime(7, 0)), 0x0A, 0x01});   // beyond an int
    c.setTimeGroup(4, {0xC8, 0x00, 0x17, 0x30});
    c.setClock(QDateTime(QDate(2025, 12, 31), QTime(23, 59, 0)));
    c.setDelays(1, 2, 3);
    c.presentCard(99);
    c.setReaderCode(2);
    c.setVersion(QByteArray::fromHex("8096090115050102"));
    a.add(8);

    // A new controller's clock is the PC's wall clock: no offset.
    EXPECT_EQ(a.toJson()["controllers"][1]["clockOffsetMs"].toDouble(), 0);

    sim::Line b;
    b.fromJson(a.toJson());
    ASSERT_EQ(b.controllers().size(), 2u);
    sim::Controller* d = b.controller(7);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->capacity(), 40);
    EXPECT_EQ(d->cardSlots(), c.cardSlots());
    EXPECT_EQ(d->deletedCount(), 1);
    EXPECT_EQ(d->punches(), c.punches());
    EXPECT_EQ(d->timeGroups(), c.timeGroups());
    EXPECT_EQ(d->clock(), c.clock());
    EXPECT_EQ(d->delays(), c.delays());
    EXPECT_EQ(d->lastCard(), std::optional<uint32_t>(99));
    EXPECT_EQ(d->readerCode(), 2);
    EXPECT_EQ(d->version(), c.version());
    EXPECT_EQ(QJsonDocument(b.toJson()).toJson(), QJsonDocument(a.toJson()).toJson()) << "saved again as it was";
}

TEST(State, ChangesAreReported)
{
    ui::ScriptedUi ui;
    sim::Line line;
    int changes = 0;
    line.onChange = [&] { ++changes; };
    sim::Controller& c = line.add(1);
    EXPECT_EQ(changes, 1);
    c.storeCard({5});
    c.addPunch({5, QDateTime(QDate(2026, 1, 1), QTime(0, 0))});
    c.setDelays(1, 1, 1);
    EXPECT_EQ(changes, 4);
}

} // namespace
