// The door and lock table and the controller set-up of the door window,
// against simulated controllers.
#include <functional>
#include "WindowBench.h"

#include "AppForms.h"
#include "FrmSetTime.h"
#include "Frmdoors.h"
#include "Globals.h"
#include "ToolTable.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QTimeEdit>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

namespace {

class FrmdoorsTest : public WindowBench {
protected:
    Frmdoors* open()
    {
        Frmdoors* w = ui::forms::load<Frmdoors>();
        clearTrace();
        return w;
    }
    // Lock: ticked, type option (0 glass, 1 wood, 2 iron, -1 none), name, delay text.
    void lock(Frmdoors* w, int n, bool ticked, int type, const QString& name, const QString& delay)
    {
        w->Clkn1[n]->setChecked(ticked);
        if (type >= 0) {
            w->Opt[n * 3 + type]->setChecked(true);
            w->Opt_Click(n * 3 + type);
        }
        w->drnam[n]->setText(name);
        w->second2[n]->setText(delay);
    }
    QVariantList doorRow(int address)
    {
        const auto r = rows("SELECT namedr1, delay1, dtype1, namedr2, delay2, dtype2, delay3 FROM doors WHERE 地址=?",
                            {address});
        return r.isEmpty() ? QVariantList() : r.first();
    }
};

const QString kNull = QStringLiteral("<null>");
QStringList shown(const QVariantList& row)
{
    QStringList out;
    for (const QVariant& v : row)
        out << (db::isNull(v) ? kNull : db::text(v));
    return out;
}

TEST_F(FrmdoorsTest, AddChecksLimitsInOrderAndStoresNullForUnusedLocks)
{
    struct Case {
        const char* address;
        bool use1;
        int type1;
        const char* name1;
        const char* delay1;
        bool use2;
        int type2;
        const char* name2;
        const char* delay2;
        const char* external;
        const char* panel;
        QStringList row;   // namedr1 .. delay3; empty: no row
    };
    const QString N = kNull;
    const Case cases[] = {
        {"100", true, 0, "前门", "5", false, -1, "", "5", "5", "地址<=99，请重输!", {}},
        {"0", true, 0, "前门", "5", false, -1, "", "5", "5", "已经添加完毕", {"前门", "5", "玻", N, N, N, "5"}},
        {"1", true, 2, "铁门", "", false, -1, "", "5", "5", "已经添加完毕", {"铁门", "0.5", "铁", N, N, N, "5"}},
        {"2", true, 2, "铁门", "2.5", false, -1, "", "5", "5", "铁门锁延迟时间建议在0到2之间!", {}},
        {"3", true, 0, "玻门", "25", true, 1, "O'Hara", "3", "200", "已经添加完毕",
         {"玻门", "25", "玻", "O'Hara", "3", "木", "200"}},
        {"4", true, 0, "玻门", "25.5", false, -1, "", "5", "5", "门锁延迟时间建议在0到25之间!", {}},
        {"5", true, 0, "玻门", "5", false, -1, "", "5", "201", "建议外接延时不要超过60秒！", {}},
        {"6", false, -1, "", "5", true, -1, "  ", "5", "5", "请输入重命名！", {}},
        {"7", false, -1, "侧门", "4", false, -1, "", "5", "5", "已经添加完毕", {"侧门", "4", "", N, N, N, "5"}},
        {"8", false, -1, "x", "5", true, 1, " 后门 ", "7", "9", "已经添加完毕", {N, N, N, "后门", "7", "木", "9"}},
        {"", true, 0, "前门", "5", false, -1, "", "5", "5", "请输入地址!", {}},
    };
    for (const Case& c : cases) {
        Frmdoors* w = open();
        w->Cdoor->setEditText(c.address);
        lock(w, 0, c.use1, c.type1, c.name1, c.delay1);
        lock(w, 1, c.use2, c.type2, c.name2, c.delay2);
        w->TxtSecond3->setText(c.external);
        w->Cmdadd_Click();
        SCOPED_TRACE(c.address);
        EXPECT_EQ(w->panel1(), c.panel);
        const QVariantList row = QString(c.address).isEmpty() ? QVariantList() : doorRow(QString(c.address).toInt());
        EXPECT_EQ(shown(row), c.row);
        ui::forms::unload<Frmdoors>();
    }
    EXPECT_TRUE(scripted.messages.isEmpty());
    EXPECT_TRUE(callsOf("SetLockDelayTime").isEmpty());   // adding talks to no controller
}

TEST_F(FrmdoorsTest, AddRefusesATakenAddressAndListsTheNewOne)
{
    addDoor(3);
    Frmdoors* w = open();
    EXPECT_EQ(w->Cdoor->count(), 1);
    w->Cdoor->setEditText("3");
    w->Cmdadd_Click();
    EXPECT_EQ(w->panel1(), "地址重复,请重设");
    EXPECT_EQ(value("SELECT COUNT(*) FROM doors").toInt(), 1);
    w->Cdoor->setEditText("12");
    w->Cmdadd_Click();
    EXPECT_EQ(w->Cdoor->itemText(w->Cdoor->count() - 1), "12");
}

TEST_F(FrmdoorsTest, ChoosingAnAddressShowsTheControllersTenLines)
{
    exec("INSERT INTO doors (地址, namedr1, delay1, dtype1, namedr2, delay2, dtype2, delay3) "
         "VALUES (5, '前门', 3, '玻', '后门', 3, '', 0)");
    sim::Controller& c = controller(5);
    c.setClock(QDateTime(QDate(2026, 12, 8), QTime(1, 40, 43)));
    c.setDelays(7, 12, 200);
    c.setVersion(QByteArray::fromHex("8096261105010210"));
    c.storeCard({0x111, 0x00000001});
    c.storeCard({0x222, 0x00000002});
    c.addPunch({0x111, QDateTime(QDate(2026, 12, 7), QTime(8, 0))});
    mdl::CommandDelay = 20;

    Frmdoors* w = open();
    w->Clkn1[0]->setChecked(true);
    w->Clkn1[1]->setChecked(true);
    w->Cdoor->setEditText("5");
    w->Cdoor_Click();

    QStringList lines;
    for (int i = 0; i < w->ListView1->count(); ++i)
        lines << w->ListView1->item(i)->text();
    EXPECT_EQ(lines, (QStringList{"机器地址：5", "锁一延时：7", "锁二延时：12", "外接延时：200", "发  卡  数：2",
                                  "打  卡  数：1", "机器时间：2026-12-08 01:40:43", "型         号：8096",
                                  "版        本：1.2.10", "版本日期：2026-11-05"}));
    EXPECT_EQ(members(), (QStringList{"setport", "getDateTimeDelay", "GetMachVer", "GatherSendCardSum", "GatherRecordSum"}));
    EXPECT_EQ(w->panel1(), "读取门锁信息，成功.");
    EXPECT_EQ(mdl::PortReady, 0);
    // The row's lock types: glass chosen without ticking, an empty type unticks.
    EXPECT_TRUE(w->Opt[0]->isChecked());
    EXPECT_TRUE(w->Clkn1[0]->isChecked());
    EXPECT_FALSE(w->Clkn1[1]->isChecked());
    EXPECT_EQ(w->drnam[1]->text(), "后门");
    // The boxes show the controller's delays, not the stored ones.
    EXPECT_EQ(w->second2[0]->text(), "7");
    EXPECT_EQ(w->TxtSecond3->text(), "200");
}

TEST_F(FrmdoorsTest, SilentControllerOrSilentVersionRead)
{
    addDoor(5);
    Frmdoors* w = open();
    w->Cdoor->setEditText("5");
    w->Cdoor_Click();   // nobody at 5
    EXPECT_EQ(w->panel1(), "通信失败!");
    EXPECT_EQ(w->ListView1->count(), 0);
    EXPECT_EQ(members(), (QStringList{"setport", "getDateTimeDelay"}));

    controller(5).inject(sim::Fault::badChecksum(0x80));
    w->Cdoor_Click();
    ASSERT_EQ(w->ListView1->count(), 10);
    EXPECT_EQ(w->ListView1->item(7)->text(), "型         号：");
    EXPECT_EQ(w->ListView1->item(8)->text(), "版        本：未读到版本号！");
    EXPECT_EQ(w->ListView1->item(9)->text(), "版本日期：");
    EXPECT_EQ(w->panel1(), "读取门锁信息，未读到版本号！");   // never reported as read
}

TEST_F(FrmdoorsTest, ModifySendsRoundedDelaysAndReplacesTheRowOnlyWhenEverythingWorks)
{
    exec("INSERT INTO doors (地址, namedr1, delay1, dtype1, namedr2, delay2, dtype2, delay3) "
         "VALUES (4, '旧门', 3, '玻', NULL, NULL, NULL, 0)");
    const QStringList old = shown(doorRow(4));
    sim::Controller& c = controller(4);
    Frmdoors* w = open();
    w->Cdoor->setEditText("4");

    // An empty delay box of an unused lock stops before the controller.
    lock(w, 0, true, 2, "铁门", "0.5");
    lock(w, 1, false, -1, "", "");
    w->Command4_Click();
    EXPECT_EQ(w->panel1(), "请输入锁一和锁二延时数");
    EXPECT_TRUE(trace().isEmpty());

    // A silent controller: the row stays.
    w->second2[1]->setText("1.5");
    w->TxtSecond3->setText("300");
    c.inject(sim::Fault::badChecksum(0x09));
    w->Command4_Click();
    EXPECT_EQ(w->panel1(), "已经修改完毕,失败！");
    EXPECT_EQ(shown(doorRow(4)), old);

    // The database refuses the new row: the old one stays and the failure shows.
    exec("CREATE TRIGGER FrmdoorsTest_refuse BEFORE INSERT ON doors WHEN NEW.namedr1='铁门' "
         "BEGIN SELECT RAISE(ABORT, 'refused'); END");
    clearTrace();
    w->Command4_Click();
    EXPECT_EQ(w->panel1(), "已经修改完毕,失败！");
    EXPECT_EQ(shown(doorRow(4)), old);
    EXPECT_EQ(scripted.messages.size(), 1);
    exec("DROP TRIGGER FrmdoorsTest_refuse");

    clearTrace();
    w->drnam[0]->setText("O'Hara");
    w->Command4_Click();
    EXPECT_EQ(w->panel1(), "已经修改完毕,成功！");
    ASSERT_EQ(callsOf("SetLockDelayTime").size(), 1);
    EXPECT_EQ(callsOf("SetLockDelayTime")[0].text(), "SetLockDelayTime(4, 0, 2, 300)");   // halves to even
    EXPECT_EQ(c.delays()[2], 60);   // the library clamps
    EXPECT_EQ(shown(doorRow(4)), (QStringList{"O'Hara", "0.5", "铁", "", "1.5", "", "300"}));
    EXPECT_EQ(value("SELECT COUNT(*) FROM doors WHERE 地址=4").toInt(), 1);
}

TEST_F(FrmdoorsTest, ModifyOfAnUnknownAddressAsks)
{
    Frmdoors* w = open();
    w->Cdoor->setEditText("9");
    w->Command4_Click();
    EXPECT_EQ(scripted.lastMessage(), "地址不存在,请重设");
    EXPECT_TRUE(trace().isEmpty());
}

TEST_F(FrmdoorsTest, DeleteTakesTheAddressesIssueRowsWithIt)
{
    addDoor(2);
    addDoor(3);
    for (int a : {2, 2, 3})
        exec("INSERT INTO dfaka (地址, 卡号, 物理卡号) VALUES (?, '00000001', '0000000001')", {a});
    Frmdoors* w = open();
    w->Cdoor->setEditText("2");
    scripted.queueAnswer(ui::mb::No);
    w->Cmddel_Click();
    EXPECT_EQ(value("SELECT COUNT(*) FROM dfaka").toInt(), 3);
    EXPECT_EQ(value("SELECT COUNT(*) FROM doors").toInt(), 2);

    w->Cdoor->setEditText("2");
    scripted.queueAnswer(ui::mb::Yes);
    w->Cmddel_Click();
    EXPECT_EQ(scripted.lastMessage(), "确信要删除地址为2的门及其相应的发卡记录吗?");
    EXPECT_EQ(rows("SELECT 地址 FROM doors"), (QList<QVariantList>{{3}}));
    EXPECT_EQ(rows("SELECT 地址 FROM dfaka"), (QList<QVariantList>{{3}}));
    ASSERT_EQ(w->Cdoor->count(), 1);
    EXPECT_EQ(w->Cdoor->itemText(0), "3");
    EXPECT_TRUE(trace().isEmpty());
}

// A pasted address that is not a whole number never rounds onto another
// controller: nothing is asked, sent or deleted.
TEST_F(FrmdoorsTest, AnAddressThatIsNotAWholeNumberTouchesNoController)
{
    addDoor(6);
    exec("INSERT INTO dfaka (地址, 卡号, 物理卡号) VALUES (6, '00000001', '0000000001')");
    controller(6);
    Frmdoors* w = open();
    w->ChkRecord->setChecked(true);
    const std::function<void()> handlers[] = {[w] { w->Cmddel_Click(); },  [w] { w->cmdY_Click(); },
                                              [w] { w->Command4_Click(); }, [w] { w->Cdoor_Click(); },
                                              [w] { w->CmdSetTime_Click(); }, [w] { w->Command1_Click(); },
                                              [w] { w->Cmdadd_Click(); }};
    for (const QString text : {"5.5", "6x", "-6", "abc"}) {
        for (const auto& click : handlers) {
            w->Cdoor->setEditText(text);
            clearTrace();
            scripted.clearMessages();
            click();
            EXPECT_EQ(scripted.lastMessage(), "13:类型不匹配") << text.toStdString();
            for (const QString& m : members())
                EXPECT_EQ(m.toLower(), "setport") << text.toStdString();
        }
    }
    EXPECT_EQ(value("SELECT COUNT(*) FROM doors").toInt(), 1);
    EXPECT_EQ(value("SELECT COUNT(*) FROM dfaka").toInt(), 1);
    EXPECT_FALSE(ui::forms::isLoaded<FrmSetTime>());
}

// Typing takes digits and points only: a pasted delay with anything else is
// refused before the controller, in a used lock's box and in an unused one.
TEST_F(FrmdoorsTest, PastedDelaysAreRefusedBeforeTheController)
{
    addDoor(4);
    controller(4);
    const QStringList old = shown(doorRow(4));
    Frmdoors* w = open();
    w->Cdoor->setEditText("4");
    struct Case {
        const char* delay1;
        const char* delay2;
        bool sent;
    };
    const Case cases[] = {{"1e1", "5", false}, {"-1", "5", false}, {"&H5", "5", false}, {"2,5", "5", false},
                          {"5", "1e1", false}, {"5", "1.2.3", false}, {" 1.5 ", "5", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.delay1) + " / " + c.delay2);
        lock(w, 0, true, 0, "前门", c.delay1);
        lock(w, 1, false, -1, "", c.delay2);
        clearTrace();
        scripted.clearMessages();
        w->Command4_Click();
        EXPECT_EQ(callsOf("SetLockDelayTime").size(), c.sent ? 1 : 0);
        if (!c.sent) {
            EXPECT_EQ(scripted.lastMessage(), "13:类型不匹配");
            EXPECT_EQ(shown(doorRow(4)), old);
        }
    }
    EXPECT_EQ(callsOf("SetLockDelayTime").value(0).num(1), 2);

    // Adding stores nothing either.
    w->Cdoor->setEditText("9");
    lock(w, 0, true, 0, "前门", "1e1");
    w->Cmdadd_Click();
    EXPECT_EQ(scripted.lastMessage(), "13:类型不匹配");
    EXPECT_TRUE(doorRow(9).isEmpty());
}

// The external delay is a whole number of units: pasted text that is not
// is refused by adding and by modifying before anything is sent or stored.
TEST_F(FrmdoorsTest, PastedExternalDelaysAreRefusedBeforeTheControllerAndTheTable)
{
    exec("INSERT INTO doors (地址, namedr1, delay1, dtype1, namedr2, delay2, dtype2, delay3) "
         "VALUES (4, '前门', 5, '玻', NULL, NULL, NULL, 9)");
    controller(4);
    const QStringList old = shown(doorRow(4));
    Frmdoors* w = open();
    struct Case {
        const char* external;
        const char* panel;   // empty: accepted
        int units;           // sent and stored when accepted
    };
    const Case cases[] = {
        {"-5", "外接延时应为非负整数！", 0},
        {"5.5", "外接延时应为非负整数！", 0},
        {"1e2", "外接延时应为非负整数！", 0},
        {"&H10", "外接延时应为非负整数！", 0},
        {"\uFF15", "外接延时应为非负整数！", 0},   // a full-width 5
        {"", "外接延时应为非负整数！", 0},
        {"99999", "建议外接延时不要超过60秒！", 0},
        {" 7 ", "", 7},
    };
    const std::pair<const char*, std::function<void()>> handlers[] = {{"add", [w] { w->Cmdadd_Click(); }},
                                                                      {"modify", [w] { w->Command4_Click(); }}};
    int address = 10;
    for (const auto& [name, click] : handlers) {
        const bool adding = QLatin1String(name) == QLatin1String("add");
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(name) + " " + c.external);
            const int at = adding ? ++address : 4;
            w->Cdoor->setEditText(QString::number(at));
            lock(w, 0, true, 0, "前门", "5");
            lock(w, 1, false, -1, "", "5");
            w->TxtSecond3->setText(QString::fromUtf8(c.external));
            clearTrace();
            scripted.clearMessages();
            click();
            EXPECT_TRUE(scripted.messages.isEmpty());
            if (*c.panel) {
                EXPECT_EQ(w->panel1(), c.panel);
                EXPECT_TRUE(trace().isEmpty());
                EXPECT_EQ(shown(doorRow(4)), old);
                if (adding) {
                    EXPECT_TRUE(doorRow(at).isEmpty());
                }
            } else {
                EXPECT_EQ(w->panel1(), adding ? "已经添加完毕" : "已经修改完毕,成功！");
                EXPECT_EQ(doorRow(at).value(6).toInt(), c.units);
                if (!adding) {
                    EXPECT_EQ(callsOf("SetLockDelayTime").value(0).num(3), c.units);
                }
            }
        }
    }
}

TEST_F(FrmdoorsTest, ClockGoesWithTheWeekdayOfTheDateWhateverTheLanguage)
{
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    controller(6);
    Frmdoors* w = open();
    w->Cdoor->setEditText("6");
    const struct {
        QDate date;
        const char* week;
    } days[] = {{QDate(2026, 12, 13), "7"}, {QDate(2026, 12, 14), "1"}, {QDate(2026, 12, 12), "6"}};
    for (const auto& d : days) {
        scripted.setNow(QDateTime(d.date, QTime(7, 5, 9)));
        clearTrace();
        w->Command1_Click();
        ASSERT_EQ(trace().size(), 1);
        EXPECT_EQ(trace()[0].member, "ModifyDateTime");
        EXPECT_EQ(trace()[0].arg(3), d.week);
        EXPECT_EQ(trace()[0].arg(1), d.date.toString("yyMMdd"));
        EXPECT_EQ(trace()[0].arg(2), "070509");
        EXPECT_EQ(w->panel1(), "修改日期时间成功 ！");
    }
    QLocale::setDefault(before);
    EXPECT_EQ(controller(6).clock().date(), QDate(2026, 12, 12));
}

TEST_F(FrmdoorsTest, InitialisationReportsARefusedStep)
{
    sim::Controller& c = controller(7);
    c.addPunch({0x1, QDateTime(QDate(2026, 12, 1), QTime(8, 0))});
    c.storeCard({0x1, 0x1});
    Frmdoors* w = open();
    w->Cdoor->setEditText("7");
    w->cmdTest_Click();
    EXPECT_TRUE(w->Pic->isVisibleTo(w));
    EXPECT_FALSE(w->Frame2->isVisibleTo(w));

    w->cmdY_Click();   // nothing ticked
    EXPECT_EQ(w->panel1(), "初始化机器已完成！");
    EXPECT_TRUE(trace().isEmpty());

    w->ChkRecord->setChecked(true);
    w->ChkName->setChecked(true);
    c.inject(sim::Fault::badChecksum(0x06));
    w->cmdY_Click();
    EXPECT_EQ(w->panel1(), "清空机器刷卡记录失败!");
    EXPECT_EQ(members(), (QStringList{"clearRecord", "ClearNamelist"}));
    EXPECT_TRUE(c.cardSlots().empty());

    w->cmdY_Click();
    EXPECT_EQ(w->panel1(), "初始化机器已完成！");
    EXPECT_TRUE(c.punches().empty());

    // Both refused: the later failure is the one left on the panel.
    c.inject(sim::Fault::noAnswer(-1, 1000));
    w->cmdY_Click();
    EXPECT_EQ(w->panel1(), "清空机器发卡名单失败!");
    c.clearFaults();

    w->cmdCancel_Click();
    EXPECT_FALSE(w->ChkRecord->isChecked());
    EXPECT_TRUE(w->Frame4->isVisibleTo(w));
}

TEST_F(FrmdoorsTest, TimeGroupsHideTheDoorWindowAndBringTheSameOneBack)
{
    addDoor(5);
    exec("INSERT INTO DTime (地址, 时间段16) VALUES (5, '0000-0000')");
    sim::Controller& c = controller(5);
    c.setVersion(QByteArray::fromHex("8096261105050100"));
    c.setTimeGroup(0, {0x08, 0x00, 0x12, 0x00});

    ASSERT_TRUE(appforms::exists("Frmdoors"));
    EXPECT_EQ(tools::dispatchOf(8).windowClass, "Frmdoors");
    EXPECT_EQ(tools::rightOfTool(8), 6);
    Frmdoors* door = nullptr;
    ui::forms::setModalHandler([&](ui::Form& f) {
        door = qobject_cast<Frmdoors*>(&f);
        ASSERT_NE(door, nullptr);
        door->Cdoor->setEditText("5");
        door->CmdSetTime_Click();
    });
    appforms::open("Frmdoors");   // the main window's tool 8
    ui::forms::setModalHandler({});

    ASSERT_NE(door, nullptr);
    EXPECT_EQ(ui::forms::find<Frmdoors>(), door);   // hidden, not unloaded
    EXPECT_FALSE(door->isVisible());
    EXPECT_TRUE(door->CmdSetTime->isEnabled());
    EXPECT_EQ(door->panel1(), "正在初始化机器完毕");
    EXPECT_EQ(value("SELECT 时间段16 FROM DTime WHERE 地址=5").toString(), "0000-2359");
    EXPECT_EQ(callsOf("SetTimeGroup")[0].text(), "SetTimeGroup(5, 1, 15, 0000-2359, 0)");

    FrmSetTime* groups = ui::forms::find<FrmSetTime>();
    ASSERT_NE(groups, nullptr);
    EXPECT_TRUE(groups->isVisible());
    EXPECT_FALSE(groups->isShownModally());
    EXPECT_EQ(groups->CmbAddr->currentText(), "5");
    EXPECT_EQ(groups->DTPEnd1[0]->time(), QTime(12, 0));
    EXPECT_EQ(FrmSetTime::PresetAddr, 0);

    groups->CmdExit_Click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(ui::forms::isLoaded<FrmSetTime>());
    EXPECT_EQ(ui::forms::find<Frmdoors>(), door);
    EXPECT_TRUE(door->isVisible());
    EXPECT_EQ(door->Cdoor->currentText(), "5");
    // Usable again.
    clearTrace();
    door->Cdoor_Click();
    EXPECT_EQ(door->panel1(), "读取门锁信息，成功.");
}

TEST_F(FrmdoorsTest, TimeGroupsStopAtASilentControllerOrAGroup16AlreadySet)
{
    addDoor(5);
    exec("INSERT INTO DTime (地址, 时间段16) VALUES (5, '0000-2359')");
    Frmdoors* w = open();
    w->Cdoor->setEditText("5");
    w->CmdSetTime_Click();   // nobody answers
    EXPECT_EQ(w->panel1(), "机器：5 通迅不成功！");
    EXPECT_FALSE(ui::forms::isLoaded<FrmSetTime>());
    EXPECT_TRUE(w->CmdSetTime->isEnabled());

    controller(5).setVersion(QByteArray::fromHex("8096261105050100"));   // the configured version
    clearTrace();
    w->CmdSetTime_Click();
    EXPECT_TRUE(callsOf("SetTimeGroup").isEmpty());
    EXPECT_TRUE(ui::forms::isLoaded<FrmSetTime>());

    // A group 16 that cannot be looked up does not keep the operator out.
    ui::forms::find<FrmSetTime>()->CmdExit_Click();
    exec("DROP TABLE DTime");
    scripted.clearMessages();
    w->CmdSetTime_Click();
    EXPECT_TRUE(ui::forms::isLoaded<FrmSetTime>());
    EXPECT_TRUE(scripted.messages.isEmpty());
}

TEST_F(FrmdoorsTest, AVersionMismatchIsShownWithBothVersionsBeforeTheHandOver)
{
    addDoor(5);
    controller(5).setVersion(QByteArray::fromHex("8096080827010204"));
    Frmdoors* w = open();
    w->Cdoor->setEditText("5");
    w->CmdSetTime_Click();
    ASSERT_EQ(scripted.messages.size(), 1);
    EXPECT_EQ(scripted.messages[0].text,
              "系统设置的机器版本与所检测到机器：5的版本对不上！请重设！\n系统设置：JQ8096 V5.1.0\n机器：JQ8096 V1.2.4");
    EXPECT_TRUE(ui::forms::isLoaded<FrmSetTime>());   // the operation goes on
}

} // namespace

namespace {

// The same hand-over in a real modal loop: the hide ends the door window's
// modal show, and the registry keeps the hidden instance.
TEST_F(FrmdoorsTest, HandOverInARealModalLoopKeepsTheHiddenDoorWindow)
{
    addDoor(5);
    controller(5).setVersion(QByteArray::fromHex("8096261105050100"));
    ui::DesktopServices desktop;
    ui::setServices(&desktop);
    Frmdoors* door = nullptr;
    QTimer::singleShot(0, [&] {
        door = ui::forms::find<Frmdoors>();
        door->Cdoor->setEditText("5");
        door->CmdSetTime_Click();
    });
    appforms::open("Frmdoors");   // returns once the door window hid itself
    ui::setServices(&scripted);

    ASSERT_NE(door, nullptr);
    EXPECT_EQ(ui::forms::find<Frmdoors>(), door);
    EXPECT_FALSE(door->isVisible());
    EXPECT_FALSE(door->isShownModally());
    FrmSetTime* groups = ui::forms::find<FrmSetTime>();
    ASSERT_NE(groups, nullptr);
    EXPECT_TRUE(groups->isVisible());
    groups->CmdExit_Click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(door->isVisible());
    EXPECT_EQ(door->windowModality(), Qt::NonModal);
}

} // namespace
