// The two live monitors against simulated controllers: the punch monitor's
// holder display and the lock-state monitor's rows and polling cycle.
#include "WindowBench.h"

#include "FrmGatherData.h"
#include "FrmSSXX.h"
#include "FrmssjsN.h"
#include "Globals.h"
#include "runtime/Conv.h"
#include "ui/Ui.h"

#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QTimer>

namespace {

constexpr uint32_t kCard = 0x123456;   // "0001193046"
const QString kCardText = QStringLiteral("0001193046");

class FrmSSXXTest : public WindowBench {
protected:
    void issue(const QString& number, const QString& name, int address, const QString& physical,
               const QString& photo = QString())
    {
        exec("INSERT INTO people (卡号, 姓名, 部门, 职务, 照片) VALUES (?, ?, '生产部', '职员', ?)",
             {number, name, photo.isEmpty() ? QVariant() : QVariant(photo)});
        exec("INSERT INTO dfaka (地址, 卡号, 物理卡号, 姓名) VALUES (?, ?, ?, ?)", {address, number, physical, name});
    }
    // A controller whose reader saw the card, with the given locks open.
    sim::Controller& reading(int address, uint32_t card, bool lock1, bool lock2)
    {
        sim::Controller& c = controller(address);
        c.setDelays(60, 60, 0);
        c.presentCard(card);
        if (lock1)
            c.openLock(1);
        if (lock2)
            c.openLock(2);
        return c;
    }
    QStringList shown(FrmSSXX* w)
    {
        QStringList out;
        for (QLabel* l : w->Label2)
            out << l->text();
        return out;
    }
    QString photoFile()
    {
        const QString path = folder() + "photo.png";
        QImage img(8, 8, QImage::Format_RGB32);
        img.fill(Qt::red);
        img.save(path);
        return path;
    }
};

TEST_F(FrmSSXXTest, ShowsTheHolderWithTheChannelOfTheOpenLock)
{
    issue("00000007", "张三", 3, kCardText, photoFile());
    addDoor(3);
    const struct {
        bool lock1, lock2;
        const char* channel;
    } cases[] = {{true, false, "3-1"}, {false, true, "3-2"}, {false, false, "3"}, {true, true, "3"}};
    for (const auto& c : cases) {
        line.remove(3);
        sim::Controller& door = reading(3, 0, c.lock1, c.lock2);
        FrmSSXX* w = ui::forms::load<FrmSSXX>();
        w->TimerScanTD_Timer();
        door.presentCard(kCard);
        w->TimerScanTD_Timer();
        EXPECT_EQ(shown(w), (QStringList{"00000007", "张三", "2026-12-08 09:30:00", "生产部", "职员", c.channel}));
        EXPECT_FALSE(w->Image1->pixmap().isNull());
        ui::forms::unload<FrmSSXX>();
    }
}

// Swipes at the controllers between ticks, one second apart: the display
// shows the latest new swipe with the time it was first seen.
TEST_F(FrmSSXXTest, ShowsEachNewSwipeWhicheverControllerReadIt)
{
    constexpr uint32_t A = kCard, B = 0x200, C = 0x300, None = 0;
    issue("00000007", "张三", 1, kCardText);
    issue("00000008", "李四", 2, "0000000512");
    issue("00000009", "王五", 3, "0000000768");
    struct Swipe {
        int address;
        uint32_t card;
    };
    struct Tick {
        QList<Swipe> swipes;   // read before the tick
        const char* name;      // shown after it ("" nothing)
        int seenAt;            // the tick whose time it shows
        const char* channel;
    };
    const struct {
        const char* what;
        QList<int> doors;
        QList<Swipe> held;   // read before the window opened
        QList<Tick> ticks;
    } cases[] = {
        {"two controllers in turn", {1, 2}, {},
         {{{}, "", 0, ""}, {{{1, A}}, "张三", 1, "1"}, {{{2, B}}, "李四", 2, "2"}, {{}, "李四", 2, "2"},
          {{{1, C}}, "王五", 4, "1"}}},
        {"three controllers in turn", {1, 2, 3}, {},
         {{{}, "", 0, ""}, {{{1, A}}, "张三", 1, "1"}, {{{2, B}}, "李四", 2, "2"}, {{{3, C}}, "王五", 3, "3"},
          {{{1, B}}, "李四", 4, "1"}, {{{3, A}}, "张三", 5, "3"}}},
        {"the same card twice at one controller", {1, 2}, {},
         {{{}, "", 0, ""}, {{{1, A}}, "张三", 1, "1"}, {{{1, A}}, "张三", 1, "1"}, {{{2, B}}, "李四", 3, "2"},
          {{{1, A}}, "李四", 3, "2"}, {{{1, C}}, "王五", 5, "1"}}},
        {"no card between two that have one", {1, 2, 3}, {{2, None}},
         {{{}, "", 0, ""}, {{{1, A}}, "张三", 1, "1"}, {{{3, C}}, "王五", 2, "3"}, {{{2, None}}, "王五", 2, "3"}}},
        {"cards held before the window opened", {1, 2}, {{1, A}, {2, B}},
         {{{}, "", 0, ""}, {{}, "", 0, ""}, {{{2, C}}, "王五", 2, "2"}, {{{1, B}}, "李四", 3, "1"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        exec("DELETE FROM doors");
        for (int a : {1, 2, 3})
            line.remove(a);
        for (int a : c.doors) {
            addDoor(a);
            controller(a);
        }
        for (const Swipe& s : c.held)
            controller(s.address).presentCard(s.card);
        const QDateTime opened = ui::now();
        FrmSSXX* w = ui::forms::load<FrmSSXX>();
        for (int t = 0; t < c.ticks.size(); ++t) {
            const Tick& tick = c.ticks[t];
            for (const Swipe& s : tick.swipes)
                controller(s.address).presentCard(s.card);
            scripted.advanceMs(1000);
            w->TimerScanTD_Timer();
            const QStringList now = shown(w);
            const QString time = *tick.name ? rt::isoDateTime(opened.addSecs(tick.seenAt + 1)) : QString();
            EXPECT_EQ((QStringList{now[1], now[2], now[5]}), (QStringList{tick.name, time, tick.channel})) << "tick " << t;
        }
        ui::forms::unload<FrmSSXX>();
    }
}

TEST_F(FrmSSXXTest, FailingDoorsAndUnknownCardsAreSkippedAndPollingGoesOn)
{
    issue("00000007", "张三", 1, kCardText, folder() + "missing.png");
    addDoor(1);
    addDoor(2);
    addDoor(4);   // silent: skipped
    sim::Controller& first = reading(1, 0, true, false);
    sim::Controller& second = controller(2);   // no card read yet
    FrmSSXX* w = ui::forms::load<FrmSSXX>();
    clearTrace();
    w->TimerScanTD_Timer();
    EXPECT_EQ(shown(w), QStringList(6, QString()));
    QStringList polled;
    for (const TracedCall& c : callsOf("getCardLockStatus"))
        polled << c.arg(0);
    EXPECT_EQ(polled, (QStringList{"1", "2", "4"}));

    // A missing photo clears the picture; a card nobody holds leaves the display.
    w->Image1->setPixmap(QPixmap(4, 4));
    first.presentCard(kCard);
    w->TimerScanTD_Timer();
    EXPECT_EQ(shown(w)[1], "张三");
    EXPECT_TRUE(w->Image1->pixmap().isNull());
    second.presentCard(0x999);
    w->TimerScanTD_Timer();
    EXPECT_EQ(shown(w)[1], "张三");
    EXPECT_EQ(shown(w)[5], "1-1");
    EXPECT_EQ(callsOf("getCardLockStatus").size(), 9);

    // A swipe whose holder query fails is shown once the query works again.
    second.presentCard(kCard);
    exec("ALTER TABLE people RENAME TO FrmSSXXTest_people");
    w->TimerScanTD_Timer();
    EXPECT_EQ(callsOf("getCardLockStatus").size(), 12);
    EXPECT_EQ(shown(w)[5], "1-1");
    exec("ALTER TABLE FrmSSXXTest_people RENAME TO people");
    w->TimerScanTD_Timer();
    EXPECT_EQ(shown(w)[5], "2");
    EXPECT_EQ(mdl::PortReady, 0);
}

TEST_F(FrmSSXXTest, ClearsOnceAtTheSecondMinuteAndStopsWithoutDoors)
{
    issue("00000007", "张三", 1, kCardText);
    issue("00000008", "李四", 1, "0000000512");
    addDoor(1);
    sim::Controller& door = reading(1, 0, false, false);
    mdl::CommandDelay = 0;
    FrmSSXX* w = ui::forms::load<FrmSSXX>();
    EXPECT_FALSE(w->TimerScanTD->isActive());   // an interval of 0 never runs
    EXPECT_TRUE(w->Timer2->isActive());
    w->TimerScanTD_Timer();
    door.presentCard(kCard);
    w->TimerScanTD_Timer();
    w->Timer2_Timer();
    EXPECT_EQ(shown(w)[0], "00000007");
    w->Timer2_Timer();
    EXPECT_EQ(shown(w), QStringList(6, QString()));
    EXPECT_FALSE(w->Timer2->isActive());
    w->TimerScanTD_Timer();
    EXPECT_EQ(shown(w), QStringList(6, QString()));   // the same swipe is not shown again
    door.presentCard(0x200);
    w->TimerScanTD_Timer();
    EXPECT_EQ(shown(w)[0], "00000008");   // later swipes show
    ui::forms::unload<FrmSSXX>();

    exec("DELETE FROM doors");
    mdl::CommandDelay = 50;
    clearTrace();
    w = ui::forms::load<FrmSSXX>();
    EXPECT_EQ(scripted.lastMessage(), "请先进行门锁设置！");
    EXPECT_FALSE(w->TimerScanTD->isActive());
    EXPECT_TRUE(trace().isEmpty());
    mdl::PortReady = -1;
    w->TimerScanTD_Timer();   // a tick over no doors touches nothing
    EXPECT_TRUE(trace().isEmpty());
    EXPECT_EQ(mdl::PortReady, -1);
    w->Command1_Click();
    EXPECT_FALSE(ui::forms::isLoaded<FrmSSXX>());
    EXPECT_EQ(members(), QStringList{"DestoryPort"});
}

class FrmssjsNTest : public FrmSSXXTest {
protected:
    void door(int address, const QVariant& type1, const QVariant& name1, const QVariant& type2, const QVariant& name2)
    {
        exec("INSERT INTO doors (地址, namedr1, dtype1, namedr2, dtype2, delay3) VALUES (?, ?, ?, ?, ?, 0)",
             {address, name1, type1, name2, type2});
    }
    QStringList column(FrmssjsN* w, FrmssjsN::Column c)
    {
        QStringList out;
        for (int r = 0; r < w->rowCount(); ++r)
            out << w->cell(r, c);
        return out;
    }
};

TEST_F(FrmssjsNTest, OneRowPerLockInUseAndEachControllerUpdatesOnlyItsOwn)
{
    const QVariant none;
    door(12, "玻", "前门", "铁", none);
    door(3, none, none, "木", "仓库");   // lock 2 only
    door(5, "木", none, none, none);
    issue("00000007", "张三", 12, kCardText);
    reading(3, 0, false, true);
    sim::Controller& c12 = reading(12, kCard, true, false);
    c12.setReaderCode(0x02);   // read at reader 2
    mdl::CommandDelay = 100;

    FrmssjsN* w = ui::forms::load<FrmssjsN>();
    EXPECT_EQ(column(w, FrmssjsN::Channel), (QStringList{"3-2*仓库", "5-1", "12-1*前门", "12-2"}));
    EXPECT_EQ(column(w, FrmssjsN::State), QStringList(4, "?"));
    EXPECT_EQ(w->Timer1->interval(), 200);   // fewer than 7 controllers
    EXPECT_TRUE(w->Timer1->isActive());
    clearTrace();

    for (int tick = 0; tick < 4; ++tick)
        w->Timer1_Timer();
    QStringList polled;
    for (const TracedCall& c : callsOf("getCardLockStatus"))
        polled << c.arg(0);
    EXPECT_EQ(polled, (QStringList{"3", "5", "12", "3"}));   // one per tick, back to the first
    EXPECT_EQ(column(w, FrmssjsN::State), (QStringList{"开", "?", "开", "关"}));
    EXPECT_EQ(w->icon(0), 2);
    EXPECT_EQ(w->icon(1), 3);   // nobody at 5
    EXPECT_EQ(w->icon(3), 1);
    EXPECT_EQ(column(w, FrmssjsN::Name), (QStringList{"", "", "", "张三"}));
    EXPECT_TRUE(w->cell(3, FrmssjsN::Time).startsWith("2026-12-08 09:30:"));

    // No card reported: the states refresh, the holder stays.
    line.remove(12);
    sim::Controller& again = controller(12);
    again.setDelays(60, 60, 0);
    w->currentIndex = 2;
    w->Timer1_Timer();
    EXPECT_EQ(w->cell(2, FrmssjsN::State), "关");
    EXPECT_EQ(w->cell(3, FrmssjsN::Name), "张三");
}

// Reader 2 is lock 2's entry reader on a controller with two locks, and
// lock 1's exit reader on one whose door has lock 1 only.
TEST_F(FrmssjsNTest, TheHolderGoesToTheRowOfTheLockTheReaderServes)
{
    const QVariant none;
    const struct {
        const char* what;
        QVariant type1, type2;
        int reader;
        QStringList names;   // per row, lock 1 first
    } cases[] = {
        {"lock 1 only, entry", "玻", none, 1, {"张三"}},
        {"lock 1 only, exit", "玻", none, 2, {"张三"}},
        {"both locks, lock 1", "玻", "铁", 1, {"张三", ""}},
        {"both locks, lock 2", "玻", "铁", 2, {"", "张三"}},
        {"lock 2 only", none, "铁", 2, {"张三"}},
    };
    issue("00000007", "张三", 7, kCardText);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        exec("DELETE FROM doors");
        door(7, c.type1, "前门", c.type2, none);
        line.remove(7);
        controller(7).swipeCard(kCard, c.reader);
        FrmssjsN* w = ui::forms::load<FrmssjsN>();
        w->Timer1_Timer();
        EXPECT_EQ(column(w, FrmssjsN::Name), c.names);
        ui::forms::unload<FrmssjsN>();
    }
}

TEST_F(FrmssjsNTest, ACardSwipedAtTheControllerIsSeenByBothMonitorsAndCollected)
{
    issue("00000007", "张三", 3, kCardText);
    door(3, "玻", "前门", QVariant(), QVariant());
    sim::Controller& c = controller(3);
    c.setDelays(60, 60, 0);
    c.storeCard({kCard, 0x00000007, 0x80});

    // The punch monitor is watching when the card is swiped.
    FrmSSXX* punchMonitor = ui::forms::load<FrmSSXX>();
    punchMonitor->TimerScanTD_Timer();
    c.swipeCard(kCard, 1);
    punchMonitor->TimerScanTD_Timer();
    EXPECT_EQ(shown(punchMonitor).mid(0, 2), (QStringList{"00000007", "张三"}));
    ui::forms::unload<FrmSSXX>();
    FrmssjsN* lockMonitor = ui::forms::load<FrmssjsN>();
    lockMonitor->Timer1_Timer();
    EXPECT_EQ(column(lockMonitor, FrmssjsN::State), QStringList{"开"});
    EXPECT_EQ(column(lockMonitor, FrmssjsN::Name), QStringList{"张三"});
    ui::forms::unload<FrmssjsN>();

    auto* gather = ui::forms::load<FrmGatherData>();
    gather->cText->setCurrentIndex(gather->cText->findText("3"));
    gather->ReadCommand_Click();
    EXPECT_EQ(rows("SELECT 卡号, 日期, 时间, flagIO FROM data"),
              (QList<QVariantList>{{"00000007", "2026-12-08", "09:30:00", "锁1进"}}));
}

TEST_F(FrmssjsNTest, IntervalRuleAndNothingToWatch)
{
    mdl::CommandDelay = 100;
    for (int n : {6, 7}) {
        exec("DELETE FROM doors");
        for (int a = 1; a <= n; ++a)
            addDoor(a);
        FrmssjsN* w = ui::forms::load<FrmssjsN>();
        EXPECT_EQ(w->Timer1->interval(), n < 7 ? 200 : 100) << n;
        ui::forms::unload<FrmssjsN>();
    }
    exec("DELETE FROM doors");
    FrmssjsN* w = ui::forms::load<FrmssjsN>();
    EXPECT_EQ(messageTexts().mid(messageTexts().size() - 2),
              (QStringList{"请先设置门号地址！", "没有门禁机可监控！请先设置门锁。"}));
    EXPECT_FALSE(w->Timer1->isActive());
    clearTrace();
    w->Timer1_Timer();
    EXPECT_TRUE(trace().isEmpty());
}

TEST_F(FrmssjsNTest, ViewModesAndUnloadReleasesThePort)
{
    addDoor(1);
    FrmssjsN* w = ui::forms::load<FrmssjsN>();
    EXPECT_EQ(w->view(), FrmssjsN::Details);
    w->Toolbar1_ButtonClick("ico");
    EXPECT_EQ(w->view(), FrmssjsN::LargeIcons);
    w->Toolbar1_ButtonClick("other");
    EXPECT_EQ(w->view(), FrmssjsN::LargeIcons);
    w->list_Click();
    EXPECT_EQ(w->view(), FrmssjsN::List);
    clearTrace();
    w->closew_Click();
    EXPECT_EQ(members(), QStringList{"DestoryPort"});
    EXPECT_EQ(mdl::PortReady, 0);
}

} // namespace
