// Waiting for a reply that comes in at the line's own pace (19200 baud,
// 11 bit times a character) on the simulated line, on the fake clock: the
// reply is taken as soon as its last character is in, and the wait does not
// wake up for every character.
#include "Door8096.h"
#include "Line.h"

#include "ui/ScriptedUi.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>

namespace {

class LineSpeed : public ::testing::Test {
protected:
    void SetUp() override
    {
        ui.setNow(QDateTime(QDate(2026, 3, 23), QTime(8, 0), Qt::UTC));
        line.registerAs(QStringLiteral("linespeed"));
        line.setLineSpeed(true);
        QFile conf(dir.filePath(QStringLiteral("serialports.conf")));
        ASSERT_TRUE(conf.open(QIODevice::WriteOnly));
        conf.write("1=inproc:linespeed\n");
        conf.close();
        sim::Controller& c = line.add(1);
        for (int i = 0; i < 20; ++i)
            c.addPunch({uint32_t(5000 + i), QDateTime(QDate(2026, 3, 23), QTime(7, 30)).addSecs(i), 0x0A, 0x01});
        door = std::make_unique<vantrel::Door8096Core>(dir.path());
    }

    static double lineMs(int characters) { return characters * 11 * 1000.0 / 19200; }

    ui::ScriptedUi ui;
    QTemporaryDir dir;
    sim::Line line;
    std::unique_ptr<vantrel::Door8096Core> door;
};

TEST_F(LineSpeed, ReplyIsTakenWhenItsLastCharacterArrivesWithFewWakeUps)
{
    ASSERT_TRUE(door->SetPort(1));
    int sleeps = 0;
    ui.onSleep = [&](int) { ++sleeps; };
    const int64_t start = ui.monotonicMs();
    EXPECT_EQ(door->GatherRecordSum(1), 20);
    const double spent = double(ui.monotonicMs() - start);
    // Address byte, 1 ms, frame of 3, status block of 131.
    const double need = 1 + lineMs(1 + 3 + 131);
    EXPECT_GE(spent, need - 2);
    EXPECT_LE(spent, need + 3);
    // About 78 ms of waiting in a handful of steps, not one per character.
    EXPECT_LE(sleeps, 15);
}

// Reads that let no events run: one look when the reply can be complete,
// not a wake-up per character, and no more than a millisecond late.
TEST_F(LineSpeed, BlockingReadsWakeOnceTheReplyCanBeComplete)
{
    ASSERT_TRUE(door->SetPort(1));
    struct Case {
        const char* name;
        int frame, reply;
        std::function<bool()> read;
    };
    QString text;
    const Case cases[] = {
        {"getCardLockStatus", 3, 10, [&] { return door->getCardLockStatus(1, text); }},
        {"FindCard", 7, 21, [&] { return door->FindCard(1, QStringLiteral("0000005000"), text); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        int sleeps = 0;
        ui.onSleep = [&](int) { ++sleeps; };
        const int64_t start = ui.monotonicMs();
        EXPECT_TRUE(c.read());
        const double spent = double(ui.monotonicMs() - start);
        // Address byte, 1 ms, the frame and the reply on the line.
        const double need = 1 + lineMs(1 + c.frame + c.reply);
        EXPECT_GE(spent, need - 1);
        EXPECT_LE(spent, need + 2);
        EXPECT_LE(sleeps, 2); // the address pause and one look
    }
}

TEST_F(LineSpeed, CollectionTakesTheLineTimeAndThePauses)
{
    const QString folder = dir.filePath(QStringLiteral("data"));
    ASSERT_TRUE(QDir().mkpath(folder));
    QString description;
    int32_t back = 0, counted = -1;
    const int64_t start = ui.monotonicMs();
    ASSERT_TRUE(door->GatherData(1, folder, QStringLiteral("p.txt"), description, back, 2, true, true, &counted, 100));
    EXPECT_EQ(back, 20);
    const double spent = double(ui.monotonicMs() - start);
    // Count exchange, 50 ms, then two blocks of 240 bytes, each after 100 ms.
    const double need = 1 + lineMs(4 + 131) + 50 + 2 * (100 + 1 + lineMs(6 + 240));
    EXPECT_GE(spent, need - 5);
    EXPECT_LE(spent, need + 8);
}

} // namespace
