// The bench itself: the real library answers from the simulated controllers
// and every call reaches the trace as the program made it.
#include "WindowBench.h"

#include "Globals.h"

class BenchTest : public WindowBench {};

TEST_F(BenchTest, TracesCallsOnTheRealLibrary)
{
    sim::Controller& c = controller(3);
    c.addPunch({0x123456, QDateTime(QDate(2026, 12, 7), QTime(8, 1))});
    EXPECT_TRUE(mdl::Door.call(QStringLiteral("setport"), {int16_t(1)}).toBool());
    EXPECT_EQ(mdl::Door.call(QStringLiteral("GatherRecordSum"), {3}).toLong(), 1);
    com::Args a{int16_t(4), QString(), QString(), QString(), int32_t(0)};
    mdl::Door.call(QStringLiteral("GatherData"), a);   // nobody at 4: fails

    ASSERT_EQ(members(), (QStringList{"setport", "GatherRecordSum", "GatherData"}));
    const TracedCall& sum = trace()[1];
    EXPECT_EQ(sum.args[0].type(), com::VType::Integer);   // coerced to the member's type
    EXPECT_EQ(sum.result.toLong(), 1);
    EXPECT_FALSE(trace()[2].result.toBool());
    EXPECT_EQ(callsOf("gatherdata").size(), 1);
}

TEST_F(BenchTest, SeedsAndReadsTheProgramFolderDatabase)
{
    addDepartment(QStringLiteral("O'Brien组"));
    addPerson(QStringLiteral("00000001"), QStringLiteral("张三"), QStringLiteral("O'Brien组"));
    addDoor(2, QStringLiteral("前门"));
    EXPECT_EQ(value(QStringLiteral("SELECT 部门 FROM people WHERE 卡号=?"), {QStringLiteral("00000001")}).toString(),
              QStringLiteral("O'Brien组"));
    EXPECT_TRUE(value(QStringLiteral("SELECT namedr2 FROM doors WHERE 地址=2")).isNull());
    EXPECT_TRUE(QDir(folder() + "basedata").exists());
    EXPECT_EQ(ui::now(), QDateTime(QDate(2026, 12, 8), QTime(9, 30)));
}
