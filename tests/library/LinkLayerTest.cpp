// The exchange on the line: address byte with the ninth bit set, frame with it
// clear, time-outs on the monotonic clock, stale bytes, reopening the port.
#include "DoorFixture.h"
#include "LinkLayer.h"
#include "runtime/RuntimeError.h"

using namespace vantrel;
using namespace vantrel::test;

namespace {

class LinkLayer : public DoorFixture {};

TEST_F(LinkLayer, GatherRecordSumToAddressOneIsAddressUnderMarkThenFrameUnderSpace)
{
    reply(statusBlock(1, 0, 0));
    EXPECT_EQ(door->GatherRecordSum(1), 0);
    ASSERT_EQ(port->writes.size(), 2u);
    EXPECT_EQ(port->writes[0].settings, "19200,n,8,2");
    EXPECT_EQ(port->writes[0].bytes, bytes({0x01}));
    EXPECT_EQ(port->writes[1].settings, "19200,s,8,1");
    EXPECT_EQ(port->writes[1].bytes, bytes({0x03, 0x10, 0x12}));
    // The frame settings stay in force after the exchange.
    EXPECT_EQ(port->settings(), "19200,s,8,1");
}

TEST_F(LinkLayer, StepsRunInOrderAndBuffersAreEmptiedPerCommand)
{
    port->log.clear();
    reply(statusBlock(1, 0, 0));
    door->GatherRecordSum(1);
    // The address byte has left the line before the parity changes.
    EXPECT_EQ(port->log, (QStringList{"clearIn", "clearOut", "settings:19200,n,8,2", "open", "out", "drain",
                                      "settings:19200,s,8,1", "out"}));
    EXPECT_EQ(port->inputLen(), 131);

    port->log.clear();
    reply(withChecksum(bytes({1, 0, 0, 0, 0})));
    door->OpenLock(1, 1);
    // Port already open; the send buffer is not emptied for this command.
    EXPECT_EQ(port->log,
              (QStringList{"clearIn", "settings:19200,n,8,2", "out", "drain", "settings:19200,s,8,1", "out"}));
}

TEST_F(LinkLayer, CommandTableRows)
{
    EXPECT_EQ(spec(Command::SetLockDelayTime).frameLength, 6);
    EXPECT_EQ(spec(Command::SetLockDelayTime).lengthByte, 5);
    EXPECT_FALSE(spec(Command::FindCard).yields);
    EXPECT_FALSE(spec(Command::GetCardLockStatus).yields);
    EXPECT_TRUE(spec(Command::GetMachVer).yields);
    EXPECT_EQ(spec(Command::GatherData).replyLength, 240);
    EXPECT_EQ(spec(Command::GatherSendCardData).replyLength, 315);
    EXPECT_EQ(FrameChecksum(1, bytes({0x03, 0x10})), 0x12);
}

TEST_F(LinkLayer, SilentControllerFailsWithinItsTimeOutAndTheNextCommandWorks)
{
    silence();
    const int64_t start = ui.monotonicMs();
    EXPECT_EQ(door->GatherRecordSum(1), -1);
    const int64_t spent = ui.monotonicMs() - start;
    EXPECT_GE(spent, 3000);
    EXPECT_LE(spent, 3000 + 25);
    EXPECT_TRUE(ui.messages.isEmpty()); // a time-out is silent

    reply(statusBlock(1, 0, 300));
    EXPECT_EQ(door->GatherRecordSum(1), 300);
}

TEST_F(LinkLayer, WaitBlocksOnThePortInsteadOfSpinning)
{
    silence();
    door->ClearRecord(1); // 10 s time-out
    // Waits of about 20 ms each, not thousands of polls.
    EXPECT_GE(port->waitCalls, 400);
    EXPECT_LE(port->waitCalls, 520);
}

TEST_F(LinkLayer, YieldingCommandsPumpEventsWhileTheOthersDoNot)
{
    reply(statusBlock(1, 0, 5), 200);
    door->GatherRecordSum(1);
    EXPECT_GT(ui.doEventsCalls, 5);

    ui.doEventsCalls = 0;
    QString line;
    silence();
    EXPECT_FALSE(door->FindCard(1, "1", line));
    silence();
    EXPECT_FALSE(door->getCardLockStatus(1, line));
    EXPECT_EQ(ui.doEventsCalls, 0);
}

TEST_F(LinkLayer, LateReplyIsDiscardedByTheNextExchange)
{
    // Arrives half a second after the 3 s time-out.
    reply(statusBlock(1, 0, 77), 3500);
    EXPECT_EQ(door->GatherRecordSum(1), -1);
    ui.advanceMs(1000);
    reply(statusBlock(1, 0, 12));
    EXPECT_EQ(door->GatherRecordSum(1), 12);
}

TEST_F(LinkLayer, BytesBeyondTheReplyLengthAreIgnoredAndDropped)
{
    QString s;
    reply(withChecksum(bytes({1, 0x1B, 0, 1, 0})) + bytes({0xAA, 0xBB, 0xCC}));
    EXPECT_TRUE(door->getLockStatus(1, s));
    EXPECT_EQ(s, "10");
    // The leftover bytes must not be taken for the next reply.
    reply(withChecksum(bytes({1, 0x1B, 0, 0, 1})));
    EXPECT_TRUE(door->getLockStatus(1, s));
    EXPECT_EQ(s, "01");
}

TEST_F(LinkLayer, ReplyInPiecesIsAssembled)
{
    QString s;
    const QByteArray r = withChecksum(bytes({1, 0x1B, 0, 1, 1}));
    // Two pieces from one request: the second arrives 300 ms later.
    port->responder = [&](uint8_t, const QByteArray&) -> std::optional<Reply> {
        port->arrive(r.left(2));
        return Reply{r.mid(2), 300};
    };
    EXPECT_TRUE(door->getLockStatus(1, s));
    EXPECT_EQ(s, "11");
}

TEST_F(LinkLayer, OneByteShortIsATimeOut)
{
    QString s;
    reply(withChecksum(bytes({1, 0x1B, 0, 1, 1})).left(5));
    EXPECT_FALSE(door->getLockStatus(1, s));
    EXPECT_EQ(s, "");
}

TEST_F(LinkLayer, ClosedPortReopensWithTheLastPortNumber)
{
    ASSERT_TRUE(door->SetPort(4));
    EXPECT_TRUE(door->DestoryPort());
    EXPECT_FALSE(port->portOpen());
    reply(statusBlock(1, 0, 3));
    EXPECT_EQ(door->GatherRecordSum(1), 3);
    EXPECT_TRUE(port->portOpen());
    EXPECT_EQ(port->commPort(), 4);
}

TEST_F(LinkLayer, AddressOutsideOneByteSendsNothing)
{
    QString s;
    EXPECT_EQ(door->GatherRecordSum(256), -1);
    ASSERT_EQ(ui.messages.size(), 1);
    EXPECT_EQ(ui.messages[0].title, "GatherRecordSum");
    EXPECT_EQ(ui.messages[0].text, "6:" + rt::errorDescription(6));
    EXPECT_EQ(door->GatherSendCardSum(-1), -1);
    EXPECT_FALSE(door->ClearRecord(-1));
    EXPECT_FALSE(door->ClearNameList(256));
    EXPECT_EQ(door->ClearName(300, "1"), -1);
    EXPECT_FALSE(door->OpenLock(-1, 1));
    EXPECT_FALSE(door->getLockStatus(256, s));
    EXPECT_EQ(door->ReadCardNum(-5), "");
    EXPECT_TRUE(port->writes.empty());
    EXPECT_EQ(ui.messages.size(), 1);
}

TEST_F(LinkLayer, PortThatCannotOpenGivesTheFailureValue)
{
    port->failOpen = true;
    QString s = "x";
    EXPECT_EQ(door->GatherRecordSum(1), -1);
    EXPECT_EQ(ui.messages.size(), 1);
    EXPECT_FALSE(door->getDateTimeDelay(1, s));
    EXPECT_EQ(s, "");
    EXPECT_TRUE(port->writes.empty());
}

TEST_F(LinkLayer, TimeOutHoldsAcrossMidnight)
{
    ui.setNow(QDateTime(QDate(2026, 3, 1), QTime(23, 59, 59), Qt::UTC));
    silence();
    const int64_t start = ui.monotonicMs();
    EXPECT_FALSE(door->OpenLock(1, 1));
    EXPECT_LE(ui.monotonicMs() - start, 2000 + 25);
}

} // namespace
