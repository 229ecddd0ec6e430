// The link and version settings: what Apply stores and assigns, the
// connection test's call on the controller, the typing filters.
#include "WindowBench.h"

#include "Globals.h"
#include "RealKeys.h"
#include "frmsys.h"

#include <QComboBox>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

class frmsysTest : public WindowBench {
protected:
    void SetUp() override
    {
        WindowBench::SetUp();
        // As the main window loads them from the shipped rows.
        mdl::PortSettings = QStringLiteral("9600,n,8,1");
        mdl::InBufferSize = 2048;
        mdl::OutBufferSize = 512;
        mdl::CommandDelay = 400;
    }
    QVariant setting(const char* name, const char* column)
    {
        return value(QStringLiteral("SELECT %1 FROM system WHERE name=?").arg(QLatin1String(column)),
                     {QString::fromUtf8(name)});
    }
};

TEST_F(frmsysTest, ApplyStoresTheBoxesAndClosesOrRefusesADelayThatIsNoWholeNumber)
{
    struct Case {
        QString delay;
        bool applies;
        int storedDelay;
        int storedWait;   // shown and written back, 5 when not above 0
        QString shownWait;
    };
    // Pasted text is never read as its leading number: "12abc" is no 12.
    const Case cases[] = {
        {"12abc", false, 400, 12, "12"},
        {"abc", false, 400, 0, "5"},
        {" 250 ", true, 250, -3, "5"},
        {"40000", false, 400, 12, "12"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.delay.toStdString());
        exec("UPDATE system SET zhi=400 WHERE name='命令延时'");
        exec("UPDATE system SET zhi=? WHERE name='采集等待时间'", {c.storedWait});
        exec("UPDATE system SET zhi=1, detail='某公司' WHERE name='串口号'");
        mdl::GatherWaitTime = 9;
        mdl::MachineVersion = QStringLiteral("JQ8096 V5.1.0");
        mdl::PortNumber = 1;
        mdl::CommandDelay = 400;
        clearTrace();
        scripted.clearMessages();
        auto* w = ui::forms::load<frmsys>();
        EXPECT_EQ(w->TxtWait->text(), c.shownWait);
        EXPECT_EQ(w->CmbMachVer->currentText(), "JQ8096 V5.1.0");
        w->Tport->setText("2");
        w->Txtdelay->setText(c.delay);
        w->CmbMachVer->setEditText("  JQ8096 V6.0.0 ");
        w->CmdOk_Click();
        EXPECT_EQ(setting("命令延时", "zhi").toInt(), c.storedDelay);
        if (c.applies) {
            EXPECT_TRUE(scripted.messages.isEmpty());
            EXPECT_FALSE(ui::forms::isLoaded<frmsys>());
            EXPECT_EQ(mdl::CommandDelay, c.storedDelay);
            EXPECT_EQ(mdl::GatherWaitTime, c.shownWait.toInt());
            EXPECT_EQ(setting("采集等待时间", "zhi").toInt(), c.shownWait.toInt());
            EXPECT_EQ(setting("串口号", "zhi").toInt(), 2);
            EXPECT_EQ(setting("串口号", "detail").toString(), "某公司");   // the company name stays
            EXPECT_EQ(setting("机器版本号", "detail").toString(), "JQ8096 V6.0.0");
            EXPECT_EQ(mdl::MachineVersion, "JQ8096 V6.0.0");
            EXPECT_EQ(traceText(), (QStringList{"SetPort(2)", "DestoryPort()"}));
        } else {
            EXPECT_EQ(scripted.lastMessage(), "命令延时应为1到32767之间的整数！");
            EXPECT_TRUE(ui::forms::isLoaded<frmsys>());
            // Refused before anything changes: no global, no row, no port.
            EXPECT_EQ(mdl::PortNumber, 1);
            EXPECT_EQ(mdl::CommandDelay, 400);
            EXPECT_EQ(mdl::MachineVersion, "JQ8096 V5.1.0");
            EXPECT_TRUE(callsOf("SetPort").isEmpty());
            EXPECT_EQ(setting("串口号", "zhi").toInt(), 1);
            EXPECT_EQ(setting("采集等待时间", "zhi").toInt(), c.storedWait);
            ui::forms::unload<frmsys>();
        }
    }
}

// Each number box is checked whole before anything is assigned, written or
// opened, and the message names the box.
TEST_F(frmsysTest, PastedNumbersAreRefusedByTheBoxTheyWerePastedInto)
{
    struct Box {
        const char* name;
        const char* label;
        int initial;   // hidden: the stored value is named and this one put back
    };
    const Box boxes[] = {
        {"Txtdelay", "命令延时", 0}, {"TxtWait", "采集等待时间", 0}, {"Tinb", "输入缓冲区", 2048}, {"Toutb", "输出缓冲区", 512}};
    const char* pasted[] = {"-1", "1e1", "0x10", "5.5", "\uFF11\uFF10\uFF10", "0", "32768", "&H10", "1 0", "+5"};
    for (const Box& b : boxes) {
        for (const char* text : pasted) {
            SCOPED_TRACE(std::string(b.name) + " " + text);
            scripted.clearMessages();
            clearTrace();
            mdl::PortNumber = 1;
            mdl::CommandDelay = 400;
            mdl::GatherWaitTime = 9;
            mdl::InBufferSize = 2048;
            auto* w = ui::forms::load<frmsys>();
            w->Tport->setText("3");
            w->findChild<QLineEdit*>(QLatin1String(b.name))->setText(QString::fromUtf8(text));
            w->CmdOk_Click();
            EXPECT_EQ(scripted.lastMessage(),
                      b.initial ? QString("保存的%1“%2”不是1到32767之间的整数，已改回默认值%3，请再按“应用”！")
                                      .arg(QString::fromUtf8(b.label), QString::fromUtf8(text))
                                      .arg(b.initial)
                                : QString::fromUtf8(b.label) + "应为1到32767之间的整数！");
            EXPECT_EQ(scripted.messages.last().title, "提示");
            EXPECT_TRUE(ui::forms::isLoaded<frmsys>());
            EXPECT_TRUE(trace().isEmpty());
            EXPECT_EQ(mdl::PortNumber, 1);
            EXPECT_EQ(mdl::CommandDelay, 400);
            EXPECT_EQ(mdl::GatherWaitTime, 9);
            EXPECT_EQ(mdl::InBufferSize, 2048);
            EXPECT_EQ(setting("串口号", "zhi").toInt(), 1);
            EXPECT_EQ(setting("命令延时", "zhi").toInt(), 400);
            EXPECT_EQ(setting("输入缓冲区", "zhi").toInt(), 2048);
            ui::forms::unload<frmsys>();
        }
    }
    // A stored size the operator cannot see is no dead end: the next Apply stores the initial one.
    mdl::OutBufferSize = 0;
    auto* w = ui::forms::load<frmsys>();
    w->CmdOk_Click();
    EXPECT_TRUE(ui::forms::isLoaded<frmsys>());
    w->CmdOk_Click();
    EXPECT_FALSE(ui::forms::isLoaded<frmsys>());
    EXPECT_EQ(mdl::OutBufferSize, 512);
    EXPECT_EQ(setting("输出缓冲区", "zhi").toInt(), 512);
    // The bounds themselves go through.
    w = ui::forms::load<frmsys>();
    w->Txtdelay->setText(" 1 ");
    w->TxtWait->setText("32767");
    w->CmdOk_Click();
    EXPECT_FALSE(ui::forms::isLoaded<frmsys>());
    EXPECT_EQ(mdl::CommandDelay, 1);
    EXPECT_EQ(setting("采集等待时间", "zhi").toInt(), 32767);
}

TEST_F(frmsysTest, ApplyWithAMissingRowWritesNothing)
{
    exec("DELETE FROM system WHERE name='采集等待时间'");
    mdl::PortNumber = 1;
    auto* w = ui::forms::load<frmsys>();
    EXPECT_EQ(w->TxtWait->text(), "5");
    w->Tport->setText("4");
    w->Txtdelay->setText("100");
    w->CmdOk_Click();
    EXPECT_TRUE(scripted.lastMessage().contains("采集等待时间")) << scripted.lastMessage().toStdString();
    EXPECT_TRUE(ui::forms::isLoaded<frmsys>());
    // The program goes on with the settings it had.
    EXPECT_EQ(mdl::PortNumber, 1);
    EXPECT_EQ(mdl::CommandDelay, 400);
    EXPECT_TRUE(callsOf("SetPort").isEmpty());
    EXPECT_EQ(setting("串口号", "zhi").toInt(), 1);
    EXPECT_EQ(setting("命令延时", "zhi").toInt(), 400);
    EXPECT_EQ(value("SELECT COUNT(*) FROM system").toInt(), 7);
}

TEST_F(frmsysTest, ApplyFailingHalfWayKeepsTheRowsWritten)
{
    exec("CREATE TRIGGER frmsys_refuse BEFORE UPDATE ON system WHEN old.name='命令延时' "
         "BEGIN SELECT RAISE(ABORT, 'injected'); END");
    exec("UPDATE system SET zhi=9 WHERE name='采集等待时间'");
    auto* w = ui::forms::load<frmsys>();
    w->Tport->setText("3");
    w->Txtdelay->setText("100");
    w->CmdOk_Click();
    EXPECT_TRUE(scripted.lastMessage().contains("injected")) << scripted.lastMessage().toStdString();
    EXPECT_TRUE(ui::forms::isLoaded<frmsys>());
    EXPECT_EQ(setting("串口号", "zhi").toInt(), 3);
    EXPECT_EQ(setting("输出缓冲区", "zhi").toInt(), 512);
    EXPECT_EQ(setting("命令延时", "zhi").toInt(), 400);
    EXPECT_EQ(setting("采集等待时间", "zhi").toInt(), 9);
    EXPECT_EQ(mdl::CommandDelay, 100);
}

TEST_F(frmsysTest, ApplyWithAnEmptyBoxStopsBeforeAnything)
{
    // The port box takes the focus; a hidden box cannot, which is reported.
    const std::pair<const char*, QString> cases[] = {{"Tport", ""}, {"Tinb", "5:无效的过程调用或参数"}};
    for (const auto& [box, message] : cases) {
        SCOPED_TRACE(box);
        scripted.clearMessages();
        mdl::PortNumber = 1;
        auto* w = ui::forms::load<frmsys>();
        w->Tport->setText("6");   // not taken over either
        w->findChild<QLineEdit*>(QLatin1String(box))->clear();
        w->CmdOk_Click();
        EXPECT_TRUE(callsOf("SetPort").isEmpty());
        EXPECT_EQ(scripted.lastMessage(), message);
        EXPECT_EQ(mdl::PortNumber, 1);
        EXPECT_EQ(setting("串口号", "zhi").toInt(), 1);
        EXPECT_TRUE(ui::forms::isLoaded<frmsys>());
        ui::forms::unload<frmsys>();
    }
}

TEST_F(frmsysTest, ConnectionTestSetsTheControllerClock)
{
    struct Case {
        QDateTime now;
        QString call;
        int weekday;
    };
    const Case cases[] = {
        {QDateTime(QDate(2026, 12, 6), QTime(9, 5, 3)), "ModifyDateTime(5, 261206, 090503, 7)", 7},   // Sunday
        {QDateTime(QDate(2026, 3, 9), QTime(23, 59, 58)), "ModifyDateTime(5, 260309, 235958, 1)", 1},  // Monday
    };
    sim::Controller& c = controller(5);
    for (const Case& k : cases) {
        SCOPED_TRACE(k.call.toStdString());
        scripted.setNow(k.now);
        clearTrace();
        auto* w = ui::forms::load<frmsys>();
        w->Tport->setText("9");   // not applied: the test uses the port in force
        w->cmdTest_Click();
        EXPECT_FALSE(w->CmdOk->isEnabled());
        w->tdz->setText(" 5 ");
        w->Command1_Click();
        EXPECT_EQ(traceText(), (QStringList{"SetPort(1)", k.call}));
        EXPECT_EQ(scripted.lastMessage(), "测试成功");
        EXPECT_EQ(scripted.messages.last().style, ui::mb::Information);
        EXPECT_EQ(c.weekday(), k.weekday);
        EXPECT_EQ(c.clock().toString("yyMMddHHmmss"), k.now.toString("yyMMddHHmmss"));
        EXPECT_EQ(mdl::PortReady, 0);
        EXPECT_TRUE(w->Command1->isEnabled());
        w->Command2_Click();
        EXPECT_TRUE(w->CmdOk->isEnabled());
        w->CmdExit_Click();
        EXPECT_EQ(members().last(), "DestoryPort");
    }
}

TEST_F(frmsysTest, ConnectionTestAddressChecks)
{
    struct Case {
        QString address;
        QString message;
        bool calls;
    };
    const Case cases[] = {
        {"", "请输入考勤机地址", false},
        {"0", "地址为0-99之间的整数", false},
        {"100", "地址为0-99之间的整数", false},
        {"x", "地址为0-99之间的整数", false},
        {"5.5", "地址为0-99之间的整数", false},   // pasted: never rounded onto 6
        {"-1", "地址为0-99之间的整数", false},
        {"1", "测试不成功", true},   // nobody at 1 or 99
        {"99", "测试不成功", true},
    };
    auto* w = ui::forms::load<frmsys>();
    w->cmdTest_Click();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address.toStdString());
        clearTrace();
        w->tdz->setText(c.address);
        w->Command1_Click();
        EXPECT_EQ(scripted.lastMessage(), c.message);
        EXPECT_EQ(callsOf("ModifyDateTime").size(), c.calls ? 1 : 0);
    }
}

TEST_F(frmsysTest, TypingFilters)
{
    auto* w = ui::forms::load<frmsys>();
    w->Tport->clear();
    QTest::keyClicks(w->Tport, "1a2 ");
    EXPECT_EQ(w->Tport->text(), "12");
    EXPECT_EQ(scripted.beeps, 2);
    QTest::keyClick(w->Tport, Qt::Key_Backspace);
    EXPECT_EQ(w->Tport->text(), "1");
    w->tdz->clear();
    QTest::keyClicks(w->tdz, "3-4");
    EXPECT_EQ(w->tdz->text(), "34");
    QTest::keyClick(w->tdz, Qt::Key_Backspace);   // a mistyped address can be corrected
    EXPECT_EQ(w->tdz->text(), "3");
    EXPECT_EQ(scripted.beeps, 2);

    // Delete comes with the character 0x7F on X11: it still deletes, silently.
    for (QLineEdit* b : {w->Tport, w->tdz}) {
        SCOPED_TRACE(b->objectName().toStdString());
        b->setText("123");
        b->setCursorPosition(1);
        QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier, QStringLiteral("\x7f"));
        QCoreApplication::sendEvent(b, &del);
        EXPECT_EQ(b->text(), "13");
    }
    EXPECT_EQ(scripted.beeps, 2);
}

// What the display itself sends with the keys, on a virtual X display.
TEST_F(frmsysTest, DeleteAndBackspaceEditTheFilteredBoxesOnARealDisplay)
{
    REQUIRE_REAL_DISPLAY();
    auto* w = ui::forms::load<frmsys>();
    w->show();
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w));
    w->cmdTest_Click();
    struct Case {
        QLineEdit* box;
        const char* key;
        QString text;
        int beeps;
    };
    const Case cases[] = {
        {w->Tport, "Delete", "23", 0},   {w->Tport, "Right", "23", 0}, {w->Tport, "a", "23", 1},
        {w->Tport, "7", "273", 1},       {w->Tport, "BackSpace", "23", 1}, {w->tdz, "Delete", "23", 1},
        {w->tdz, "End", "23", 1},        {w->tdz, "BackSpace", "2", 1},    {w->tdz, "7", "27", 1},
    };
    for (QLineEdit* b : {w->Tport, w->tdz}) {
        b->setText("123");
        b->setCursorPosition(0);
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.box->objectName().toStdString() + " " + c.key);
        c.box->setFocus();
        ASSERT_TRUE(QTest::qWaitFor([&] { return c.box->hasFocus(); }));
        ASSERT_TRUE(pressRealKey(c.key));
        QTest::qWait(50);
        EXPECT_TRUE(QTest::qWaitFor([&] { return c.box->text() == c.text; }, 2000)) << c.box->text().toStdString();
        EXPECT_EQ(scripted.beeps, c.beeps);
    }
}

TEST_F(frmsysTest, PastedPortThatIsNotAWholeNumberIsRefusedBeforeAnything)
{
    struct Case {
        QString port;
        QString message;
        int stored;
    };
    const Case cases[] = {
        {"5.5", "13:类型不匹配", 1}, {"12abc", "13:类型不匹配", 1}, {"-1", "13:类型不匹配", 1},
        {"1e1", "13:类型不匹配", 1}, {" 7 ", "", 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.port.toStdString());
        scripted.clearMessages();
        clearTrace();
        mdl::PortNumber = 1;
        auto* w = ui::forms::load<frmsys>();
        w->Tport->setText(c.port);
        w->CmdOk_Click();
        EXPECT_EQ(scripted.lastMessage(), c.message);
        EXPECT_EQ(mdl::PortNumber, c.stored);
        EXPECT_EQ(setting("串口号", "zhi").toInt(), c.stored);
        EXPECT_EQ(callsOf("SetPort").size(), c.message.isEmpty() ? 1 : 0);
        ui::forms::unload<frmsys>();
    }
}

TEST_F(frmsysTest, TabLeavesTheFilteredBoxes)
{
    auto* w = ui::forms::load<frmsys>();
    w->show();
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w));
    w->cmdTest_Click();
    for (QLineEdit* b : {w->Txtdelay, w->Tport, w->tdz}) {
        SCOPED_TRACE(b->objectName().toStdString());
        b->setFocus();
        ASSERT_TRUE(b->hasFocus());
        QTest::keyClick(b, Qt::Key_Tab);
        EXPECT_FALSE(b->hasFocus());
    }
}

TEST_F(frmsysTest, ConnectionTestHoldsItsRun)
{
    const QList<Interruption<frmsys>> clicks = {
        {"close box", [](frmsys* w) { w->close(); }},
        {"exit", [](frmsys* w) { w->CmdExit_Click(); }},
        {"apply", [](frmsys* w) { w->CmdOk_Click(); }},
        {"test again", [](frmsys* w) { w->Command1_Click(); }},
        {"back button", [](frmsys* w) { w->Command2->click(); }},
    };
    holdsItsRuns<frmsys>(
        QStringLiteral("SELECT name, zhi, detail FROM system ORDER BY name"), "connection test",
        [&] {
            ui::forms::unloadAll();
            line.remove(3);
            controller(3).inject(sim::Fault::noAnswer(0x08, 0));   // the clock is never acknowledged
            auto* w = ui::forms::load<frmsys>();
            w->cmdTest_Click();
            w->tdz->setText("3");
            return w;
        },
        [](frmsys* w) { w->Command1_Click(); }, "ModifyDateTime", 1, clicks, [](frmsys* w) { w->CmdExit_Click(); });
    EXPECT_EQ(scripted.lastMessage(), "测试不成功");
}
