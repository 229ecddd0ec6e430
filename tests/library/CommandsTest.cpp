// Frames and reply checks of the single-exchange commands.
#include "DoorFixture.h"

#include "runtime/RuntimeError.h"

#include <array>
#include <functional>
#include <vector>

using namespace vantrel;
using namespace vantrel::test;

namespace {

class Commands : public DoorFixture {
protected:
    // The one frame sent (after the address byte).
    QByteArray lastFrame() const
    {
        auto f = port->frames();
        return f.empty() ? QByteArray() : f.back().second;
    }
    int framesSent() const { return int(port->frames().size()); }
};

// The pauses inside each command: 1 ms between the address byte and the
// frame, and the fixed pause after a good reply, neither more nor less.
TEST_F(Commands, PausesInsideCommandsAreTheirOwn)
{
    const struct {
        const char* name;
        QByteArray reply;
        std::function<bool(Door8096Core&)> call;
        int after;
    } cases[] = {
        {"CardSendToMachine", withChecksum(bytes({1, 0x03, 0, 0, 0})),
         [](Door8096Core& d) {
             return d.CardSendToMachine(1, "00001234", "1", 1, 1, 0, 0, 0, "1111111", "991231", "0000000000000001",
                                        "0000000000000001");
         },
         5},
        {"ClearRecord", withChecksum(bytes({1, 0x00, 0x06})), [](Door8096Core& d) { return d.ClearRecord(1); }, 50},
        {"ClearNameList", withChecksum(bytes({1, 0x0C, 0})), [](Door8096Core& d) { return d.ClearNameList(1); }, 20},
        {"OpenLock", withChecksum(bytes({1, 0x40, 0, 1})), [](Door8096Core& d) { return d.OpenLock(1, 1); }, 0},
        {"GatherRecordSum", statusBlock(1, 0, 7), [](Door8096Core& d) { return d.GatherRecordSum(1) == 7; }, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        port->writes.clear();
        reply(c.reply);
        EXPECT_TRUE(c.call(*door));
        const int64_t end = ui.monotonicMs();
        ASSERT_EQ(port->writes.size(), 2u);
        EXPECT_EQ(port->writes[1].at - port->writes[0].at, 1);
        EXPECT_EQ(end - port->writes[1].at, c.after);
    }
}

// --- name list -------------------------------------------------------------

TEST_F(Commands, CardSendToMachineFrameIsByteExact)
{
    reply(withChecksum(bytes({5, 0x03, 0, 0, 0})));
    EXPECT_TRUE(door->CardSendToMachine(5, "00001234", "0012345678", 1, 1, 0, 0, 0, "1111111", "991231",
                                        "0000000000000001", "0000000000000001"));
    EXPECT_EQ(port->frames()[0].first, 5);
    EXPECT_EQ(lastFrame(), bytes({0x14, 0x03, 0x00, 0xBC, 0x61, 0x4E, 0x00, 0x00, 0x12, 0x34, 0xC0, 0xFE, 0x99,
                                  0x12, 0x31, 0x00, 0x01, 0x00, 0x01, 0x23}));
}

TEST_F(Commands, CardSendToMachineFlagsMasksAndLenientFields)
{
    reply(withChecksum(bytes({1, 0x03, 0, 0, 0})));
    // Every control on, lock 2 only; employee pairs and date read by their leading hex digits.
    EXPECT_TRUE(door->CardSendToMachine(1, "1G2", "3000000000", 0, -1, 2, 1, 1, "1000001", "2X1231",
                                        "1000000000000000", "0101"
                                        "010101010101"));
    const QByteArray f = lastFrame();
    EXPECT_EQ(f.mid(2, 4), bytes({0xB2, 0xD0, 0x5E, 0x00}));
    EXPECT_EQ(f.mid(6, 4), bytes({0x01, 0x02, 0x00, 0x00}));
    EXPECT_EQ(uint8_t(f[10]), 0x47);
    EXPECT_EQ(uint8_t(f[11]), 0x82);
    EXPECT_EQ(f.mid(12, 3), bytes({0x02, 0x12, 0x31}));
    EXPECT_EQ(f.mid(15, 4), bytes({0x80, 0x00, 0x55, 0x55}));
}

// Monday is the first character and the top bit, in both directions; masks
// that read the same backwards would hide a reversed order.
TEST_F(Commands, WeekdaysKeepTheirOrderOnTheWire)
{
    const struct {
        const char* mask;
        int byte;
    } cases[] = {{"1000000", 0x80}, {"0000001", 0x02}, {"1100000", 0xC0}, {"0000011", 0x06}, {"0110100", 0x68},
                 {"1111110", 0xFC}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mask);
        reply(withChecksum(bytes({1, 0x03, 0, 0, 0})));
        EXPECT_TRUE(door->CardSendToMachine(1, "00001234", "1", 1, 1, 1, 0, 0, c.mask, "991231",
                                            "0000000000000001", "0000000000000001"));
        EXPECT_EQ(uint8_t(lastFrame()[11]), c.byte);

        // Read back from the controller, bit 0 set or not.
        for (int low : {0, 1}) {
            QString line;
            reply(withChecksum(bytes({1, 0x1D, 0, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x12, 0x34, 0xC4, c.byte | low,
                                      0x99, 0x12, 0x31, 0x00, 0x01, 0x00, 0x01})));
            EXPECT_TRUE(door->FindCard(1, "1", line));
            EXPECT_EQ(line.split('/').value(3), c.mask);
        }
    }
}

TEST_F(Commands, CardSendToMachineRefusesBadArgumentsBeforeSending)
{
    auto send = [&](const QString& card, const QString& week, const QString& t1) {
        return door->CardSendToMachine(1, "00000001", card, 1, 0, 0, 0, 0, week, "991231", t1, "0000000000000000");
    };
    EXPECT_FALSE(send("", "1111111", "0000000000000000"));
    EXPECT_FALSE(send("12x", "1111111", "0000000000000000"));
    EXPECT_FALSE(send("4294967296", "1111111", "0000000000000000"));
    EXPECT_FALSE(send("1", "111111", "0000000000000000"));
    EXPECT_FALSE(send("1", "11a1111", "0000000000000000"));
    EXPECT_FALSE(send("1", "1111111", "000000000000000"));
    EXPECT_FALSE(send("1", "1111111", "000000000000000-"));
    EXPECT_EQ(framesSent(), 0);
    EXPECT_TRUE(port->writes.empty());
}

TEST_F(Commands, CardSendToMachineReplyChecksAndListFull)
{
    auto send = [&] {
        return door->CardSendToMachine(5, "00001234", "1", 1, 1, 0, 0, 0, "1111111", "991231", "0000000000000001",
                                       "0000000000000001");
    };
    reply(withChecksum(bytes({5, 0x03, 0, 0xFF, 0xFF})));
    EXPECT_FALSE(send());
    ASSERT_EQ(ui.messages.size(), 1);
    EXPECT_EQ(ui.messages[0].text, "Memory OverFlow");
    EXPECT_EQ(ui.messages[0].title, "Vantrel.CardSendToMachine");

    reply(withChecksum(bytes({5, 0x03, 0, 0xFF, 0x00})));
    EXPECT_TRUE(send()); // one FF alone is not "full"
    reply(withChecksum(bytes({6, 0x03, 0, 0, 0})));
    EXPECT_FALSE(send()); // another address
    QByteArray bad = withChecksum(bytes({5, 0x03, 0, 0, 0}));
    bad[5] = char(bad[5] ^ 1);
    reply(bad);
    EXPECT_FALSE(send());
    EXPECT_EQ(ui.messages.size(), 1);
}

TEST_F(Commands, ClearNameFrameAndReply)
{
    reply(withChecksum(bytes({9, 0x0D, 0, 42, 1}))); // another address is accepted
    EXPECT_EQ(door->ClearName(1, "0016777215"), 42);
    EXPECT_EQ(lastFrame(), bytes({0x07, 0x0D, 0x00, 0xFF, 0xFF, 0xFF, 1 ^ 0x07 ^ 0x0D ^ 0xFF}));

    reply(withChecksum(bytes({1, 0x0D, 0, 42, 0})));
    EXPECT_EQ(door->ClearName(1, "1"), -1); // not held
    QByteArray bad = withChecksum(bytes({1, 0x0D, 0, 42, 1}));
    bad[5] = char(bad[5] ^ 0x80);
    reply(bad);
    EXPECT_EQ(door->ClearName(1, "1"), -1);
    reply(withChecksum(bytes({1, 0x0D, 0, 255, 1})));
    EXPECT_EQ(door->ClearName(1, "1"), 255);
    EXPECT_EQ(door->ClearName(1, "x"), -1);
}

QByteArray findReply(int address, std::initializer_list<int> record17)
{
    QByteArray b = bytes({address, 0x1D, 0});
    b += bytes(record17);
    return withChecksum(b);
}

TEST_F(Commands, FindCardBuildsTheCardListLine)
{
    QString line = "old";
    reply(findReply(5, {0x00, 0xBC, 0x61, 0x4E, 0x00, 0x00, 0x12, 0x34, 0xC5, 0xFE, 0x99, 0x12, 0x31, 0x00, 0x01,
                        0x80, 0x03}));
    EXPECT_TRUE(door->FindCard(5, "0012345678", line));
    EXPECT_EQ(line, "0012345678/00001234/11000101/1111111/991231/0000000000000001/1000000000000011");
    EXPECT_EQ(lastFrame(), bytes({0x07, 0x1D, 0x00, 0xBC, 0x61, 0x4E, 5 ^ 0x07 ^ 0x1D ^ 0xBC ^ 0x61 ^ 0x4E}));
}

TEST_F(Commands, FindCardNotStoredAndRefusedReplies)
{
    QString line = "old";
    reply(findReply(5, {0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_TRUE(door->FindCard(5, "1", line));
    EXPECT_EQ(line, "");

    line = "old";
    reply(findReply(6, {0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_FALSE(door->FindCard(5, "1", line));
    EXPECT_EQ(line, "");
}

TEST_F(Commands, FindCardTimeOutIsItsArgument)
{
    QString line;
    silence();
    int64_t start = ui.monotonicMs();
    EXPECT_FALSE(door->FindCard(1, "1", line, 5));
    EXPECT_GE(ui.monotonicMs() - start, 5000);
    EXPECT_LE(ui.monotonicMs() - start, 5025);

    // With 0 the clock is looked at before the receive count.
    reply(findReply(1, {0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_FALSE(door->FindCard(1, "1", line, 0));
}

TEST_F(Commands, ClearNameListChecksOnlyTheChecksum)
{
    reply(withChecksum(bytes({7, 0x99, 0})));
    const int64_t start = ui.monotonicMs();
    EXPECT_TRUE(door->ClearNameList(1));
    EXPECT_GE(ui.monotonicMs() - start, 20);
    EXPECT_EQ(lastFrame(), bytes({0x03, 0x0C, 0x0E}));
    EXPECT_TRUE(port->log.contains("clearOut"));
    reply(bytes({1, 0x0C, 0, 0}));
    EXPECT_FALSE(door->ClearNameList(1));
}

TEST_F(Commands, ReadCardNumWithAllStr)
{
    QString all = "old";
    reply(withChecksum(bytes({3, 0x0B, 0x04, 0x00, 0x12, 0xD6, 0x87})));
    EXPECT_EQ(door->ReadCardNum(1, &all), "0001234567"); // the address is not compared
    EXPECT_EQ(all, "030B040012D687" + QString("%1").arg(3 ^ 0x0B ^ 0x04 ^ 0x12 ^ 0xD6 ^ 0x87, 2, 16, QChar('0')).toUpper());
    EXPECT_EQ(lastFrame(), bytes({0x03, 0x0B, 0x09}));

    reply(withChecksum(bytes({1, 0x0B, 0x09, 0xFF, 0xFF, 0xFF, 0xFF})));
    EXPECT_EQ(door->ReadCardNum(1), "4294967295");

    all = "old";
    reply(withChecksum(bytes({1, 0x0B, 0x05, 0, 0, 0, 1})));
    EXPECT_EQ(door->ReadCardNum(1, &all), "");
    EXPECT_EQ(all, "");
    QByteArray bad = withChecksum(bytes({1, 0x0B, 0x04, 0, 0, 0, 1}));
    bad[7] = 0;
    reply(bad);
    EXPECT_EQ(door->ReadCardNum(1, &all), "");
}

// --- counts and clearing ----------------------------------------------------

TEST_F(Commands, CountsReadTheirBytesWithoutAChecksum)
{
    QByteArray b = statusBlock(2, 15, 300);
    b[130] = char(0x5A); // no checksum is examined
    reply(b);
    EXPECT_EQ(door->GatherRecordSum(2), 300);
    reply(b);
    EXPECT_EQ(door->GatherSendCardSum(2), 15);
    EXPECT_EQ(lastFrame(), bytes({0x03, 0x10, 0x02 ^ 0x03 ^ 0x10}));
    reply(statusBlock(3, 15, 300));
    EXPECT_EQ(door->GatherRecordSum(2), -1);
    reply(statusBlock(2, 0x7FFF, 0x7FFF));
    EXPECT_EQ(door->GatherSendCardSum(2), 32767);
    EXPECT_TRUE(ui.messages.isEmpty());
}

TEST_F(Commands, CountOverflowGoesToTheErrorPath)
{
    reply(statusBlock(1, 0, 0x8000));
    EXPECT_EQ(door->GatherRecordSum(1), -1);
    ASSERT_EQ(ui.messages.size(), 1);
    EXPECT_EQ(ui.messages[0].title, "GatherRecordSum");
    EXPECT_TRUE(ui.messages[0].text.startsWith("6:"));
    reply(statusBlock(1, 0x8000, 0));
    EXPECT_EQ(door->GatherSendCardSum(1), -1);
    EXPECT_EQ(ui.messages.size(), 1); // silent
}

TEST_F(Commands, ClearRecordChecksCommandEchoAndChecksum)
{
    reply(withChecksum(bytes({9, 0x00, 0x06})));
    int64_t start = ui.monotonicMs();
    EXPECT_TRUE(door->ClearRecord(1));
    EXPECT_GE(ui.monotonicMs() - start, 50);
    EXPECT_EQ(lastFrame(), bytes({0x03, 0x06, 0x04}));
    reply(withChecksum(bytes({1, 0x00, 0x0C})));
    EXPECT_FALSE(door->ClearRecord(1));
    reply(bytes({1, 0x00, 0x06, 0x00}));
    EXPECT_FALSE(door->ClearRecord(1));
    silence();
    start = ui.monotonicMs();
    EXPECT_FALSE(door->ClearRecord(1));
    EXPECT_GE(ui.monotonicMs() - start, 10000);
}

// --- time groups ---------------------------------------------------------------

TEST_F(Commands, SetTimeGroupFrameModesAndReply)
{
    reply(bytes({1, 0x41, 0, 2, 0}));
    EXPECT_TRUE(door->SetTimeGroup(1, 7, 2, "0800-1730", 3));
    EXPECT_EQ(lastFrame(), withChecksum(bytes({1, 0x09, 0x41, 0x02, 0x07, 0xC8, 0x00, 0x17, 0x30})).mid(1));

    reply(bytes({1, 0x41, 0, 2, 0}));
    EXPECT_TRUE(door->SetTimeGroup(1, 7, 2, "0800-1730", 5));
    EXPECT_EQ(uint8_t(lastFrame()[4]), 0x08);
    reply(bytes({1, 0x41, 0, 2, 0}));
    EXPECT_TRUE(door->SetTimeGroup(1, 7, 2, "0800-1730", -1));
    EXPECT_EQ(uint8_t(lastFrame()[4]), 0x08);

    reply(bytes({1, 0x41, 0, 3, 0}));
    EXPECT_FALSE(door->SetTimeGroup(1, 7, 2, "0800-1730")); // another group
    reply(bytes({2, 0x41, 0, 2, 0}));
    EXPECT_FALSE(door->SetTimeGroup(1, 7, 2, "0800-1730"));
    EXPECT_TRUE(ui.messages.isEmpty());
}

TEST_F(Commands, SetTimeGroupRefusals)
{
    EXPECT_FALSE(door->SetTimeGroup(1, 0, 0, "0800-173"));
    ASSERT_EQ(ui.messages.size(), 1);
    EXPECT_EQ(ui.messages[0].text, "strTime Length Error!");
    EXPECT_EQ(ui.messages[0].title, "Door8096.SetTimeGroup");
    EXPECT_FALSE(door->SetTimeGroup(1, 0, 0, "08:0-1730"));
    EXPECT_FALSE(door->SetTimeGroup(1, 0, 0, "4000-1730", 3)); // 0x40 + 192 > 255
    EXPECT_FALSE(door->SetTimeGroup(1, 300, 0, "0800-1730"));
    EXPECT_EQ(ui.messages.size(), 1);
    EXPECT_TRUE(port->writes.empty());
}

QByteArray timeGroups(int address, const std::vector<std::array<int, 4>>& groups, int badGroup = -1)
{
    QByteArray b;
    for (size_t g = 0; g < groups.size(); ++g) {
        QByteArray r = withChecksum(bytes({address, 0x42, groups[g][0], groups[g][1], groups[g][2], groups[g][3]}));
        if (int(g) == badGroup)
            r[6] = char(r[6] ^ 0xFF);
        b += r;
    }
    return b;
}

TEST_F(Commands, GetTimeGroupListAndModes)
{
    std::vector<std::array<int, 4>> g(16, {0x00, 0x00, 0x23, 0x59});
    g[0] = {0xD2, 0x30, 0x13, 0x00};
    g[1] = {0x48, 0x00, 0x17, 0x30};
    reply(timeGroups(1, g));
    QString list = "old", modes;
    EXPECT_TRUE(door->GetTimeGroup(1, list, &modes));
    EXPECT_EQ(list.size(), 128);
    EXPECT_TRUE(list.startsWith("12301300" "08001730" "00002359"));
    EXPECT_EQ(modes, "3100000000000000");
    EXPECT_EQ(lastFrame(), bytes({0x03, 0x42, 0x01 ^ 0x03 ^ 0x42}));

    // "Null" and an omitted argument leave the modes alone.
    QString null = "Null";
    reply(timeGroups(1, g));
    EXPECT_TRUE(door->GetTimeGroup(1, list, &null));
    EXPECT_EQ(null, "Null");
    reply(timeGroups(1, g));
    EXPECT_TRUE(door->GetTimeGroup(1, list));
    EXPECT_EQ(list.size(), 128);
}

TEST_F(Commands, GetTimeGroupBadRecordIsSkippedWithItsBox)
{
    std::vector<std::array<int, 4>> g(16, {0x08, 0x00, 0x17, 0x30});
    reply(timeGroups(1, g, 2));
    QString list, modes;
    EXPECT_TRUE(door->GetTimeGroup(1, list, &modes));
    EXPECT_EQ(list.size(), 120);
    EXPECT_EQ(modes.size(), 15);
    ASSERT_EQ(ui.messages.size(), 1);
    EXPECT_EQ(ui.messages[0].text, "Time package Error\r0800173008001730");
    EXPECT_EQ(ui.messages[0].title, "Door8096.GetTimeGroup");
}

TEST_F(Commands, GetTimeGroupTimeOut)
{
    silence();
    QString list = "old", modes = "keep";
    const int64_t start = ui.monotonicMs();
    EXPECT_FALSE(door->GetTimeGroup(1, list, &modes));
    EXPECT_GE(ui.monotonicMs() - start, 4000);
    EXPECT_EQ(list, "");
    EXPECT_EQ(modes, "keep");
}

// --- clock, delays, locks ------------------------------------------------------

TEST_F(Commands, ModifyDateTimeFrame)
{
    reply(withChecksum(bytes({1, 0x08, 0})));
    EXPECT_TRUE(door->ModifyDateTime(1, "260323", "081530", 1));
    EXPECT_EQ(lastFrame(), withChecksum(bytes({1, 0x0A, 0x08, 0x26, 0x03, 0x23, 0x08, 0x15, 0x30, 0x01})).mid(1));
    reply(bytes({1, 0x08, 0, 0}));
    EXPECT_FALSE(door->ModifyDateTime(1, "260323", "081530", 7));
    reply(withChecksum(bytes({2, 0x08, 0})));
    EXPECT_FALSE(door->ModifyDateTime(1, "260323", "081530", 7));
    EXPECT_TRUE(ui.messages.isEmpty());
}

TEST_F(Commands, ModifyDateTimeBadFieldShowsItsDescription)
{
    EXPECT_FALSE(door->ModifyDateTime(1, "26-323", "081530", 1));
    EXPECT_FALSE(door->ModifyDateTime(1, "2603", "081530", 1));
    EXPECT_FALSE(door->ModifyDateTime(1, "260323", "081530", 100));
    ASSERT_EQ(ui.messages.size(), 3);
    EXPECT_EQ(ui.messages[0].text, rt::errorDescription(13));
    EXPECT_EQ(ui.messages[2].text, rt::errorDescription(6));
    EXPECT_TRUE(port->writes.empty());
}

TEST_F(Commands, SetLockDelayTimeClampsAndUsesLengthByteFive)
{
    reply(withChecksum(bytes({1, 0x09, 0})));
    EXPECT_TRUE(door->SetLockDelayTime(1, 75, -3, 10));
    EXPECT_EQ(lastFrame(), bytes({0x05, 0x09, 60, 0, 10, 1 ^ 0x05 ^ 0x09 ^ 60 ^ 0 ^ 10}));
    reply(bytes({1, 0x09, 0, 0}));
    EXPECT_FALSE(door->SetLockDelayTime(1, 1, 2, 3));
}

TEST_F(Commands, OpenLockNumbersAndReply)
{
    EXPECT_FALSE(door->OpenLock(1, 0));
    EXPECT_FALSE(door->OpenLock(1, 4));
    EXPECT_TRUE(port->writes.empty());
    reply(withChecksum(bytes({1, 0x40, 0, 3})));
    EXPECT_TRUE(door->OpenLock(1, 3));
    EXPECT_EQ(lastFrame(), bytes({0x04, 0x40, 0x03, 1 ^ 0x04 ^ 0x40 ^ 0x03}));
    reply(withChecksum(bytes({1, 0x40, 0, 2})));
    EXPECT_FALSE(door->OpenLock(1, 1)); // another lock named
    silence();
    const int64_t start = ui.monotonicMs();
    EXPECT_FALSE(door->OpenLock(1, 1));
    EXPECT_GE(ui.monotonicMs() - start, 2000);
}

// --- status and version readers ----------------------------------------------

TEST_F(Commands, GetLockStatus)
{
    QString s;
    reply(withChecksum(bytes({1, 0x1B, 0, 0x03, 0x02})));
    EXPECT_TRUE(door->getLockStatus(1, s));
    EXPECT_EQ(s, "10");
    EXPECT_EQ(lastFrame(), bytes({0x03, 0x1B, 1 ^ 0x03 ^ 0x1B}));
    reply(withChecksum(bytes({2, 0x1B, 0, 1, 1})));
    EXPECT_FALSE(door->getLockStatus(1, s));
    EXPECT_EQ(s, "");
}

TEST_F(Commands, GetDateTimeDelay)
{
    QString s = "old";
    reply(withChecksum(bytes({1, 0x19, 0, 0x26, 0x03, 0x23, 0x08, 0x15, 0x30, 5, 12, 200})));
    EXPECT_TRUE(door->getDateTimeDelay(1, s));
    EXPECT_EQ(s, "260323081530005012200");
    QByteArray bad = withChecksum(bytes({1, 0x19, 0, 0x26, 0x03, 0x23, 0x08, 0x15, 0x30, 5, 12, 200}));
    bad[12] = 0;
    reply(bad);
    EXPECT_FALSE(door->getDateTimeDelay(1, s));
    EXPECT_EQ(s, "");
}

TEST_F(Commands, GetCardLockStatusFields)
{
    QString s;
    reply(withChecksum(bytes({1, 0x18, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0x10, 0x01})));
    EXPECT_TRUE(door->getCardLockStatus(1, s));
    EXPECT_EQ(s, "00000000001011");
    reply(withChecksum(bytes({1, 0x18, 0, 0x00, 0x12, 0xD6, 0x87, 0x01, 0x02})));
    EXPECT_TRUE(door->getCardLockStatus(1, s));
    EXPECT_EQ(s, "00012345670122");
    // 0x18 / 16 = 1.5 rounds to 2 (even): lock 1 reads closed; 0x28 / 16 = 2.5 rounds to 2 too.
    reply(withChecksum(bytes({1, 0x18, 0, 0, 0, 0, 1, 0x18, 0x00})));
    EXPECT_TRUE(door->getCardLockStatus(1, s));
    EXPECT_EQ(s.mid(10, 2), "00");
    reply(withChecksum(bytes({1, 0x18, 0, 0, 0, 0, 1, 0x29, 0x00})));
    EXPECT_TRUE(door->getCardLockStatus(1, s));
    EXPECT_EQ(s.mid(10, 2), "11");
    EXPECT_EQ(lastFrame(), bytes({0x03, 0x18, 1 ^ 0x03 ^ 0x18}));
}

TEST_F(Commands, GetMachVerIgnoresTheAddress)
{
    QString s = "old";
    reply(withChecksum(bytes({7, 0x80, 0, 0x80, 0x96, 0x08, 0x08, 0x27, 0x01, 0x02, 0x04})));
    EXPECT_TRUE(door->GetMachVer(1, s));
    EXPECT_EQ(s, "8096080827010204");
    EXPECT_EQ(lastFrame(), bytes({0x03, 0x80, 1 ^ 0x03 ^ 0x80}));

    s = "old";
    reply(bytes({1, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x55}));
    EXPECT_FALSE(door->GetMachVer(1, s));
    EXPECT_EQ(s, "");
}

TEST_F(Commands, GetMachVerErrorBeforeTheAddressKeepsTheText)
{
    port->failOpen = true;
    QString s = "old";
    EXPECT_FALSE(door->GetMachVer(1, s));
    EXPECT_EQ(s, "old");
    ASSERT_EQ(ui.messages.size(), 1);
    EXPECT_EQ(ui.messages[0].title, "Door8096.GetMachVer");
    EXPECT_TRUE(ui.messages[0].text.startsWith("8002:"));
}

} // namespace
