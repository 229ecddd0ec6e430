// Collection of punch records and of the name list into text files.
#include "DoorFixture.h"

#include "runtime/RuntimeError.h"

#include <QDir>
#include <QFile>
#include <functional>
#include <map>

using namespace vantrel;
using namespace vantrel::test;

namespace {

// A punch record slot: address, card bytes 3-6, date and time in BCD, open type, reader code.
QByteArray punch(int address, uint32_t card, std::initializer_list<int> yymmddhhmiss, int openType, int reader)
{
    QByteArray b = bytes({address, 0x11, 0x22, int(card >> 24), int((card >> 16) & 0xFF), int((card >> 8) & 0xFF),
                          int(card & 0xFF)});
    b += bytes(yymmddhhmiss);
    b += bytes({openType, reader});
    return withChecksum(b);
}

QByteArray cardSlot(int address, uint32_t card, int seq)
{
    QByteArray b = bytes({address, 0, 0, int(card >> 24), int((card >> 16) & 0xFF), int((card >> 8) & 0xFF),
                          int(card & 0xFF), 0x00, 0x00, 0x12, seq, 0xC5, 0xFE, 0x99, 0x12, 0x31, 0x00, 0x01, 0x80,
                          0x03});
    return withChecksum(b);
}

// A controller holding held, answering the count and the block requests.
// tamper(block, attempt, reply) may change a block's reply; an empty result is silence.
class Controller {
public:
    int address = 1;
    std::vector<QByteArray> punches;
    std::vector<QByteArray> cards;
    std::function<QByteArray(int, int, QByteArray)> tamper;
    std::map<int, int> attempts;  // block -> attempts so far
    std::vector<int> blocksAsked; // in order

    std::optional<Reply> answer(uint8_t addr, const QByteArray& frame)
    {
        if (addr != address)
            return std::nullopt;
        const int code = uint8_t(frame[1]);
        if (code == 0x10) {
            QByteArray b(131, '\0');
            b[0] = char(address);
            b[50] = char(cards.size() >> 8);
            b[51] = char(cards.size() & 0xFF);
            b[52] = char(punches.size() >> 8);
            b[53] = char(punches.size() & 0xFF);
            return Reply{b, 80};
        }
        if (code != 0x05 && code != 0x04)
            return std::nullopt;
        const int block = uint8_t(frame[2]) * 256 + uint8_t(frame[3]);
        blocksAsked.push_back(block);
        const int attempt = ++attempts[block];
        const auto& held = code == 0x05 ? punches : cards;
        const int slotSize = code == 0x05 ? 16 : 21;
        QByteArray b;
        for (int k = 0; k < 15; ++k) {
            const size_t i = size_t(block) * 15 + size_t(k);
            b += i < held.size() ? held[i] : QByteArray(slotSize, '\0');
        }
        if (tamper)
            b = tamper(block, attempt, b);
        if (b.isEmpty())
            return std::nullopt;
        return Reply{b, 150};
    }
};

class Collect : public DoorFixture {
protected:
    void SetUp() override
    {
        DoorFixture::SetUp();
        port->responder = [this](uint8_t a, const QByteArray& f) { return ctl.answer(a, f); };
        out = dir.path() + "/basedata";
        QDir().mkpath(out);
    }
    QByteArray fileBytes(const QString& name) const
    {
        QFile f(out + "/" + name);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    QList<QByteArray> fileLines(const QString& name) const
    {
        QList<QByteArray> l = fileBytes(name).split('\n');
        if (!l.isEmpty() && l.last().isEmpty())
            l.removeLast();
        for (QByteArray& s : l) {
            EXPECT_TRUE(s.endsWith('\r'));
            s.chop(1);
        }
        return l;
    }
    void addPunches(int n)
    {
        for (int i = 0; i < n; ++i)
            ctl.punches.push_back(punch(ctl.address, 0x000100 + i, {0x26, 0x03, 0x23, 0x08, 0x15, i % 60}, 0x0A, 0x01));
    }
    bool gather(int32_t sleepDate = 2, bool decimal = true, bool fullYear = false, int32_t interval = 100)
    {
        return door->GatherData(int16_t(ctl.address), out, "rec.txt", description, back, sleepDate, decimal, fullYear,
                                &count, interval);
    }
    bool gatherCards(bool decimal = true)
    {
        return door->GatherSendCardData(int16_t(ctl.address), out, "cards.txt", description, back, 5, decimal);
    }

    Controller ctl;
    QString out;
    QString description = "before";
    int32_t back = -5;
    int32_t count = 77;
};

// --- punch records --------------------------------------------------------------

TEST_F(Collect, NoRecordsAsksNoBlockAndWritesNoFile)
{
    QFile f(out + "/rec.txt");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("kept\r\n");
    f.close();
    EXPECT_TRUE(gather());
    EXPECT_TRUE(ctl.blocksAsked.empty());
    EXPECT_EQ(count, 0);
    EXPECT_EQ(back, 0);
    EXPECT_EQ(fileBytes("rec.txt"), "kept\r\n");
    EXPECT_EQ(description, "before");
}

TEST_F(Collect, SixteenRecordsTakeTwoBlocksInControllerOrder)
{
    addPunches(16);
    ctl.address = 18;
    for (auto& p : ctl.punches)
        p = punch(18, 0x00010000 + uint32_t(&p - &ctl.punches[0]), {0x26, 0x03, 0x23, 0x08, 0x15, 0x30}, 0x0A, 0x02);
    EXPECT_TRUE(gather());
    EXPECT_EQ(ctl.blocksAsked, (std::vector<int>{0, 1}));
    const auto f = port->frames();
    ASSERT_EQ(f.size(), 3u);
    EXPECT_EQ(f[1].second, bytes({0x05, 0x05, 0x00, 0x00, 18 ^ 0x05 ^ 0x05}));
    EXPECT_EQ(f[2].second, bytes({0x05, 0x05, 0x00, 0x01, 18 ^ 0x05 ^ 0x05 ^ 0x01}));
    EXPECT_EQ(port->inputLen(), 240); // the short last block is still awaited whole
    EXPECT_EQ(count, 16);
    EXPECT_EQ(back, 16);
    const auto lines = fileLines("rec.txt");
    ASSERT_EQ(lines.size(), 16);
    EXPECT_EQ(lines[0], "0180000065536260323081530" "0A02");
    EXPECT_EQ(lines[15], "0180000065551260323081530" "0A02");
}

TEST_F(Collect, FourPunchLineLayouts)
{
    ctl.address = 5;
    ctl.punches = {punch(5, 0x12345678, {0x26, 0x03, 0x23, 0x08, 0x15, 0x30}, 0x0A, 0x02)};
    struct Case { bool decimal, fullYear; QByteArray line; };
    for (const Case& c : {Case{true, true, "00500034300082026032308153" "00A02"},
                          Case{true, false, "005000343000826032308153" "00A02"},
                          Case{false, true, "005003456782026032308153" "00A02"},
                          Case{false, false, "0050034567826032308153" "00A02"}}) {
        EXPECT_TRUE(gather(2, c.decimal, c.fullYear));
        EXPECT_EQ(fileBytes("rec.txt"), c.line + "\r\n");
    }
    EXPECT_EQ(QByteArray("00500034300082026032308153" "00A02").size(), 31);
}

TEST_F(Collect, Block256IsRequestedAsOneZero)
{
    addPunches(15 * 256 + 1);
    EXPECT_TRUE(gather(2, true, false, 0));
    ASSERT_EQ(ctl.blocksAsked.size(), 257u);
    const auto f = port->frames();
    EXPECT_EQ(f.back().second.mid(2, 2), bytes({0x01, 0x00}));
    EXPECT_EQ(count, 3841);
    EXPECT_EQ(fileLines("rec.txt").size(), 3841);
}

TEST_F(Collect, BadRecordIsRetriedAndSleepsPrecedeEveryAttempt)
{
    addPunches(15);
    ctl.tamper = [](int, int attempt, QByteArray b) {
        if (attempt == 1)
            b[16 * 3] = char(9); // another address in slot 3
        return b;
    };
    // When each frame goes out, and the largest stretch without the caller's events.
    std::vector<int64_t> sentAt;
    auto answer = port->responder;
    port->responder = [&](uint8_t a, const QByteArray& f) {
        sentAt.push_back(ui.monotonicMs());
        return answer(a, f);
    };
    int64_t lastEvents = ui.monotonicMs(), longestWithout = 0;
    ui.onDoEvents = [&] {
        longestWithout = std::max(longestWithout, ui.monotonicMs() - lastEvents);
        lastEvents = ui.monotonicMs();
    };
    EXPECT_TRUE(gather(2, true, false, 250));
    EXPECT_EQ(ctl.attempts[0], 2);
    ASSERT_EQ(sentAt.size(), 3u);
    // Count reply (80 ms), 50 ms, the interval, the address byte's 1 ms; then
    // block reply (150 ms), the interval again before the second attempt.
    EXPECT_GE(sentAt[1] - sentAt[0], 80 + 50 + 250 + 1);
    EXPECT_LE(sentAt[1] - sentAt[0], 80 + 50 + 250 + 1 + 15);
    EXPECT_GE(sentAt[2] - sentAt[1], 150 + 250 + 1);
    EXPECT_LE(sentAt[2] - sentAt[1], 150 + 250 + 1 + 15);
    // Never a whole pause without events: one wait slice on the port at most.
    EXPECT_LE(longestWithout, 21);
    EXPECT_EQ(fileLines("rec.txt").size(), 15);
    EXPECT_FALSE(fileLines("rec.txt").contains(QByteArray()));
}

TEST_F(Collect, SlotBadInEveryAttemptLeavesAnEmptyLineInPlace)
{
    addPunches(20);
    ctl.tamper = [](int block, int, QByteArray b) {
        if (block == 0)
            b[16 * 4 + 15] = char(b[16 * 4 + 15] ^ 1); // checksum of slot 4
        return b;
    };
    EXPECT_TRUE(gather());
    EXPECT_EQ(ctl.attempts[0], 3);
    const auto lines = fileLines("rec.txt");
    ASSERT_EQ(lines.size(), 20);
    EXPECT_TRUE(lines[4].isEmpty());
    EXPECT_EQ(lines[5].mid(3, 10), "0000000261");
    EXPECT_EQ(lines[19].mid(3, 10), "0000000275");
}

TEST_F(Collect, TimedOutBlockKeepsLaterRecordsInTheFile)
{
    addPunches(40);
    ctl.tamper = [](int block, int, QByteArray b) { return block == 1 ? QByteArray() : b; };
    EXPECT_TRUE(gather());
    EXPECT_EQ(description, "user:overtime");
    EXPECT_EQ(ctl.attempts[1], 3);
    EXPECT_EQ(count, 40);
    EXPECT_EQ(back, 40);
    const auto lines = fileLines("rec.txt");
    ASSERT_EQ(lines.size(), 40);
    EXPECT_EQ(lines[14].mid(3, 10), "0000000270");
    for (int i = 15; i < 30; ++i)
        EXPECT_TRUE(lines[i].isEmpty()) << i;
    EXPECT_EQ(lines[30].mid(3, 10), "0000000286");
    EXPECT_EQ(lines[39].mid(3, 10), "0000000295");
}

TEST_F(Collect, TimeOutThenSuccessStillReportsOvertime)
{
    addPunches(3);
    ctl.tamper = [](int, int attempt, QByteArray b) { return attempt == 1 ? QByteArray() : b; };
    const int64_t start = ui.monotonicMs();
    EXPECT_TRUE(gather(4));
    EXPECT_GE(ui.monotonicMs() - start, 4000);
    EXPECT_EQ(description, "user:overtime");
    EXPECT_EQ(fileLines("rec.txt").size(), 3);
}

TEST_F(Collect, ZeroSleepDateTimesOutEveryAttempt)
{
    addPunches(2);
    EXPECT_TRUE(gather(0));
    EXPECT_EQ(ctl.attempts[0], 3);
    EXPECT_EQ(description, "user:overtime");
    EXPECT_EQ(fileLines("rec.txt"), (QList<QByteArray>{"", ""}));
}

TEST_F(Collect, FourthBadBlockEndsWithPackageError)
{
    addPunches(15 * 6);
    ctl.tamper = [](int block, int, QByteArray b) {
        if (block != 2)
            b[0] = char(0x63); // slot 0 names another address
        return b;
    };
    EXPECT_FALSE(gather());
    EXPECT_EQ(ctl.blocksAsked.back(), 4);
    ASSERT_EQ(ui.messages.size(), 1);
    EXPECT_EQ(ui.messages[0].text, "201, Package Error");
    EXPECT_EQ(ui.messages[0].title, "Door8096.GatherData");
    EXPECT_EQ(description, "before");
    EXPECT_EQ(count, 60); // blocks 0-3; the fourth bad block adds nothing
    const auto lines = fileLines("rec.txt");
    ASSERT_EQ(lines.size(), 60);
    EXPECT_TRUE(lines[0].isEmpty());
    EXPECT_FALSE(lines[1].isEmpty());
}

TEST_F(Collect, ThreeBadBlocksStillSucceed)
{
    addPunches(15 * 4);
    ctl.tamper = [](int block, int, QByteArray b) {
        if (block != 3)
            b[0] = char(0x63);
        return b;
    };
    EXPECT_TRUE(gather());
    EXPECT_EQ(count, 60);
    EXPECT_TRUE(ui.messages.isEmpty());
}

TEST_F(Collect, MissingFolderAndFailedCount)
{
    EXPECT_FALSE(door->GatherData(1, out + "/nope", "rec.txt", description, back));
    EXPECT_EQ(description, "user:File path no exist!");
    EXPECT_TRUE(port->writes.empty());

    description = "before";
    ctl.address = 2; // nobody answers address 1
    EXPECT_FALSE(door->GatherData(1, out, "rec.txt", description, back, 2, true, false, &count));
    EXPECT_EQ(description, "before");
    EXPECT_EQ(count, 77);
    EXPECT_EQ(back, 0);
    EXPECT_EQ(fileBytes("rec.txt"), "<missing>");
}

TEST_F(Collect, FileThatCannotBeCreatedIsASystemFailure)
{
    addPunches(2);
    QDir(out).mkdir("rec.txt"); // a folder in the way of the file
    EXPECT_FALSE(gather());
    ASSERT_EQ(ui.messages.size(), 1);
    EXPECT_EQ(ui.messages[0].title, "Door8096.GatherData");
    EXPECT_EQ(ui.messages[0].text, "75:" + rt::errorDescription(75));
    EXPECT_EQ(description, "system:" + rt::errorDescription(75));
}

TEST_F(Collect, PortFailureMidwayKeepsTheCountOfTheBlocksDone)
{
    addPunches(40);
    auto tamper = [this](int block, int, QByteArray b) {
        if (block == 2) { // the port is lost while this reply is awaited
            port->setPortOpen(false);
            port->failOpen = true;
        }
        return b;
    };
    ctl.tamper = tamper;
    EXPECT_FALSE(gather());
    EXPECT_EQ(ctl.blocksAsked, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(count, 30);
    EXPECT_EQ(back, 0);
    EXPECT_EQ(fileBytes("rec.txt"), "<missing>");
    ASSERT_EQ(ui.messages.size(), 1);
    EXPECT_EQ(ui.messages[0].title, "Door8096.GatherData");
    EXPECT_TRUE(description.startsWith("system:"));
}

TEST_F(Collect, CountErrorBoxAppearsDuringCollection)
{
    addPunches(1);
    ctl.punches.resize(0x8000, ctl.punches[0]);
    EXPECT_FALSE(gather());
    ASSERT_EQ(ui.messages.size(), 1);
    EXPECT_EQ(ui.messages[0].title, "GatherRecordSum");
    EXPECT_EQ(description, "before");
}

// --- name list -----------------------------------------------------------------

TEST_F(Collect, NoCardsWritesNoFile)
{
    EXPECT_TRUE(gatherCards());
    EXPECT_TRUE(ctl.blocksAsked.empty());
    EXPECT_EQ(back, 0);
    EXPECT_EQ(fileBytes("cards.txt"), "<missing>");
}

TEST_F(Collect, ThirtyOneCardsInThreeBlocksBothLayouts)
{
    for (int i = 0; i < 31; ++i)
        ctl.cards.push_back(cardSlot(1, 3000000000u + uint32_t(i), i));
    EXPECT_TRUE(gatherCards());
    EXPECT_EQ(ctl.blocksAsked, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(port->frames()[1].second, bytes({0x05, 0x04, 0x00, 0x00, 1 ^ 0x05 ^ 0x04}));
    EXPECT_EQ(port->inputLen(), 315);
    EXPECT_EQ(back, 31);
    auto lines = fileLines("cards.txt");
    ASSERT_EQ(lines.size(), 31);
    EXPECT_EQ(lines[0], "3000000000/00001200/11000101/1111111/991231/0000000000000001/1000000000000011");
    EXPECT_EQ(lines[0].size(), 77);
    EXPECT_EQ(lines[30].left(20), "3000000030/0000121E/");

    ctl.attempts.clear();
    EXPECT_TRUE(gatherCards(false));
    lines = fileLines("cards.txt");
    EXPECT_EQ(lines[0], "B2D05E00/00001200/11000101/1111111/991231/0000000000000001/1000000000000011");
    EXPECT_EQ(lines[0].size(), 75);
}

TEST_F(Collect, ZeroCardSlotAndBadSlotKeepTheirPositions)
{
    for (int i = 0; i < 5; ++i)
        ctl.cards.push_back(cardSlot(1, uint32_t(i), i));
    ctl.tamper = [](int, int, QByteArray b) {
        b[21 * 2 + 20] = char(b[21 * 2 + 20] ^ 4);
        return b;
    };
    EXPECT_TRUE(gatherCards());
    EXPECT_EQ(ctl.attempts[0], 3);
    const auto lines = fileLines("cards.txt");
    ASSERT_EQ(lines.size(), 5);
    EXPECT_TRUE(lines[0].startsWith("0000000000/"));
    EXPECT_TRUE(lines[2].isEmpty());
    EXPECT_TRUE(lines[3].startsWith("0000000003/"));
}

TEST_F(Collect, CardTimeOutsLeaveNoTextAndFourBadBlocksWriteAllLines)
{
    for (int i = 0; i < 15 * 5; ++i)
        ctl.cards.push_back(cardSlot(1, uint32_t(i), i));
    ctl.tamper = [](int block, int, QByteArray b) { return block == 4 ? b : QByteArray(); };
    EXPECT_FALSE(door->GatherSendCardData(1, out, "cards.txt", description, back, 1, true, 0));
    EXPECT_EQ(description, "before");
    ASSERT_EQ(ui.messages.size(), 1);
    EXPECT_EQ(ui.messages[0].text, "201, Package Error");
    EXPECT_EQ(ui.messages[0].title, "Door8096.GatherSendCardData");
    EXPECT_EQ(ctl.blocksAsked.back(), 3); // block 4 is never asked
    EXPECT_EQ(back, 75);
    EXPECT_EQ(fileLines("cards.txt").size(), 75);
}

TEST_F(Collect, CardSystemFailureTextCarriesTheNumber)
{
    ctl.cards.push_back(cardSlot(1, 1, 1));
    QDir(out).mkdir("cards.txt");
    EXPECT_FALSE(gatherCards());
    EXPECT_EQ(description, "system:75:" + rt::errorDescription(75));
    ASSERT_EQ(ui.messages.size(), 1);
    EXPECT_EQ(ui.messages[0].title, "Door8096.GatherSendCardData");
}

TEST_F(Collect, CardMissingFolder)
{
    EXPECT_FALSE(door->GatherSendCardData(1, out + "/nope", "c.txt", description, back));
    EXPECT_EQ(description, "user:File path no exist!");
}

} // namespace
