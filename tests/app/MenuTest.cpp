// The main window: settings read at load, the shutdown question, the tool
// dispatch, help and F1, and the collection timer.
#include "ActiveBar.h"
#include "AppFixture.h"
#include "MenuWindow.h"
#include "runtime/RuntimeError.h"

#include <QLabel>
#include <QLocale>
#include <QTest>
#include <QTimer>

namespace {

const QString kQuestion = QStringLiteral("您真要关闭门禁管理系统？");

// A function window for the dispatch tests: counts its loads and keeps a
// value across shows.
class FrmProbe : public ui::Form {
public:
    static inline int loads = 0;
    int shows = 0;
    void Form_Load() override { ++loads; }
};

class MenuTest : public AppFixture {
protected:
    // A Chinese desktop unless a test says otherwise.
    void SetUp() override
    {
        AppFixture::SetUp();
        QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    }
    void TearDown() override
    {
        QLocale::setDefault(QLocale::system());
        AppFixture::TearDown();
    }
    menu* load() { return ui::forms::load<menu>(); }
};

TEST_F(MenuTest, LoadReadsTheSettingsWithTheirConversions)
{
    exec("update system set zhi=2.5 where name='串口号'");
    exec("update system set zhi=3.5 where name='命令延时'");
    // only blanks go; a tab is part of the text
    exec("update system set detail=? where name='通讯设置'", {QStringLiteral("  \t19200,n,8,1  ")});
    exec("update system set zhi=4096 where name='输入缓冲区'");
    exec("update system set zhi=-2.5 where name='输出缓冲区'");
    exec("update system set zhi=7 where name='发卡机'");
    exec("update system set detail='JQ8096 V5.1.0' where name='机器版本号'");
    exec("update cjtype set 采集类型=1, 采集时间='08:30'");
    menu* m = load();
    EXPECT_EQ(mdl::PortNumber, 2);
    EXPECT_EQ(mdl::CommandDelay, 4);
    EXPECT_EQ(mdl::PortSettings, "\t19200,n,8,1");
    EXPECT_EQ(mdl::InBufferSize, 4096);
    EXPECT_EQ(mdl::OutBufferSize, -2);
    EXPECT_EQ(mdl::CardIssuer, 7);
    EXPECT_EQ(mdl::MachineVersion, "JQ8096 V5.1.0");
    EXPECT_EQ(mdl::GatherType, 1);
    EXPECT_EQ(mdl::GatherTime, "08:30");
    EXPECT_TRUE(scripted.messages.isEmpty());
    EXPECT_EQ(m->windowTitle(), "门禁管理系统 V3.0");
    EXPECT_EQ(m->Panels[0]->text(), "");
    EXPECT_EQ(m->Panels[1]->text(), "星期二,2026/12/08");
    EXPECT_FALSE(m->isVisible()); // the load does not show it
    // the automatic schedule keeps the timer on; its tick does nothing
    EXPECT_TRUE(m->Timer1->isActive());
    EXPECT_EQ(m->Timer1->interval(), 50000);
}

TEST_F(MenuTest, ManualScheduleLeavesTheTimerOff)
{
    menu* m = load();
    EXPECT_EQ(mdl::GatherType, 0);
    EXPECT_EQ(mdl::GatherTime, "0");
    EXPECT_FALSE(m->Timer1->isActive());
}

TEST_F(MenuTest, EmptyScheduleGivesOneMessageAndEmptyValues)
{
    exec("delete from cjtype");
    load();
    ASSERT_EQ(scripted.messages.size(), 1);
    EXPECT_EQ(scripted.messages[0].text, "请设置数据采集类型！");
    EXPECT_EQ(scripted.messages[0].title, "提示");
    EXPECT_EQ(scripted.messages[0].style, ui::mb::OKOnly);
    EXPECT_EQ(mdl::GatherType, 0);
    EXPECT_EQ(mdl::GatherTime, "");
    EXPECT_EQ(mdl::CommandDelay, 400); // the rest of the load ran
}

TEST_F(MenuTest, NullOrOutOfRangeOrMissingRowStopsTheLoad)
{
    exec("update system set zhi=NULL where name='输入缓冲区'");
    try {
        load();
        FAIL() << "load went on";
    } catch (const rt::Error& e) {
        EXPECT_EQ(e.number(), 94);
    }
    EXPECT_EQ(mdl::PortNumber, 1);    // read before the failing row
    EXPECT_EQ(mdl::InBufferSize, 0);  // not read
    EXPECT_EQ(mdl::CommandDelay, 0);
    EXPECT_FALSE(ui::forms::isLoaded<menu>());

    exec("update system set zhi=40000 where name='输入缓冲区'");
    EXPECT_THROW(load(), rt::Error);

    // A missing row is never read as another row's value.
    exec("update system set zhi=512 where name='输入缓冲区'");
    exec("delete from system where name='发卡机'");
    mdl::CardIssuer = 0;
    try {
        load();
        FAIL() << "load went on";
    } catch (const rt::Error& e) {
        EXPECT_EQ(e.number(), 3021);
    }
    EXPECT_EQ(mdl::CardIssuer, 0);
    EXPECT_EQ(mdl::CommandDelay, 0);
}

TEST_F(MenuTest, MissingOrNullVersionLeavesItAndTheLoadGoesOn)
{
    mdl::MachineVersion = "before";
    exec("update system set detail=NULL where name='机器版本号'");
    load();
    EXPECT_EQ(mdl::MachineVersion, "before");
    ui::forms::unloadAll();
    exec("delete from system where name='机器版本号'");
    load();
    EXPECT_EQ(mdl::MachineVersion, "before"); // not the delay row's detail
    EXPECT_EQ(mdl::GatherTime, "0");
}

TEST_F(MenuTest, CloseBoxAsksAndNoKeepsEverything)
{
    menu* m = load();
    m->showModeless();
    scripted.queueAnswer(ui::mb::No);
    m->close();
    ASSERT_EQ(scripted.messages.size(), 1);
    EXPECT_EQ(scripted.messages[0].text, kQuestion);
    EXPECT_EQ(scripted.messages[0].style, 292);
    EXPECT_EQ(scripted.messages[0].title, "门禁系统");
    EXPECT_EQ(scripted.endCalls, 0);
    EXPECT_TRUE(ui::forms::isLoaded<menu>());
    EXPECT_TRUE(m->isVisible());
}

TEST_F(MenuTest, CloseBoxYesEndsOnceWithoutFurtherMessage)
{
    menu* m = load();
    m->showModeless();
    scripted.queueAnswer(ui::mb::Yes);
    m->close();
    EXPECT_EQ(scripted.messages.size(), 1);
    EXPECT_EQ(scripted.endCalls, 1);
}

TEST_F(MenuTest, ExitToolAsksTheSameQuestion)
{
    menu* m = load();
    scripted.queueAnswer(ui::mb::No);
    m->ActiveBar1->clickTool(14);
    EXPECT_EQ(scripted.lastMessage(), kQuestion);
    EXPECT_EQ(scripted.endCalls, 0);
    scripted.queueAnswer(ui::mb::Yes);
    m->ActiveBar1->clickTool(14);
    EXPECT_EQ(scripted.endCalls, 1);
    EXPECT_EQ(scripted.messages.size(), 2);
}

TEST_F(MenuTest, RestoreEndsTheProgramAtOnceOtherwiseTheWindowStays)
{
    bool restore = false;
    appforms::registerWindow("FrmDataBase", [&] {
        if (restore)
            mdl::DatabaseRestored = 1;
    });
    menu* m = load();
    m->ActiveBar1->clickTool(35);
    EXPECT_EQ(scripted.endCalls, 0);
    EXPECT_TRUE(scripted.messages.isEmpty());
    restore = true;
    m->ActiveBar1->clickTool(35);
    EXPECT_EQ(scripted.endCalls, 1);
    EXPECT_TRUE(scripted.messages.isEmpty()); // no question
    appforms::unregisterWindow("FrmDataBase");
}

TEST_F(MenuTest, DispatchReusesOneInstancePerClassWithItsState)
{
    appforms::registerWindow("Frmbm", &appforms::openForm<FrmProbe>);
    FrmProbe::loads = 0;
    menu* m = load();
    EXPECT_TRUE(m->ActiveBar1->isUsable(15));
    QList<FrmProbe*> seen;
    ui::forms::setModalHandler([&](ui::Form& f) {
        auto* p = dynamic_cast<FrmProbe*>(&f);
        ASSERT_NE(p, nullptr);
        ++p->shows;
        seen.append(p);
        p->hideForm(); // hides itself instead of closing
    });
    m->ActiveBar1->clickTool(15);
    m->ActiveBar1->clickTool(15);
    ASSERT_EQ(seen.size(), 2);
    EXPECT_EQ(seen[0], seen[1]);
    EXPECT_EQ(seen[1]->shows, 2);
    EXPECT_EQ(FrmProbe::loads, 1);
    EXPECT_EQ(ui::forms::modalShows(), (QStringList{"FrmProbe", "FrmProbe"}));
    appforms::unregisterWindow("Frmbm");
}

TEST_F(MenuTest, ToolOfAWindowNotInTheProgramCannotBeUsed)
{
    menu* m = load();
    appforms::unregisterWindow("Frmxg");
    m->refreshTools();
    EXPECT_TRUE(m->ActiveBar1->Tools("18").enabled());
    EXPECT_FALSE(m->ActiveBar1->isUsable(18));
    EXPECT_FALSE(m->ActiveBar1->Tools("18").action()->isEnabled());
    m->ActiveBar1->clickTool(18);
    EXPECT_TRUE(ui::forms::modalShows().isEmpty());
    // adding the window later is all it takes
    appforms::registerWindow("Frmxg", &appforms::openForm<FrmProbe>);
    m->refreshTools();
    EXPECT_TRUE(m->ActiveBar1->Tools("18").action()->isEnabled());
    ui::forms::setModalHandler([](ui::Form& f) { f.unloadForm(); });
    m->ActiveBar1->clickTool(18);
    EXPECT_EQ(ui::forms::modalShows(), QStringList{"FrmProbe"});
    appforms::unregisterWindow("Frmxg");
}

// A window whose load fails without handling its error.
class FrmBroken : public ui::Form {
public:
    void Form_Load() override { rt::raise(53); }
};

TEST_F(MenuTest, WindowLoadErrorIsReportedAndTheMainWindowGoesOn)
{
    appforms::registerWindow("Frmdoors", &appforms::openForm<FrmBroken>);
    menu* m = load();
    m->ActiveBar1->clickTool(8);
    ASSERT_EQ(scripted.messages.size(), 1);
    EXPECT_TRUE(scripted.messages[0].text.startsWith("53:"));
    EXPECT_FALSE(ui::forms::isLoaded<FrmBroken>());
    EXPECT_TRUE(ui::forms::isLoaded<menu>());
    EXPECT_EQ(scripted.endCalls, 0);
    appforms::unregisterWindow("Frmdoors");
}

TEST_F(MenuTest, AboutToolOpensTheAboutBox)
{
    menu* m = load();
    ui::forms::setModalHandler([](ui::Form& f) { f.unloadForm(); });
    m->ActiveBar1->clickTool(12);
    EXPECT_EQ(ui::forms::modalShows(), QStringList{"frmabout"});
}

TEST_F(MenuTest, F1OpensHelpUnlessTheBarTakesIt)
{
    menu* m = load();
    int key = 112, shift = 0;
    m->Form_KeyDown(key, shift);
    help::HelpViewer* v = help::HelpViewer::current();
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->fileName(), ui::programFolder() + "door.hlp");
    EXPECT_EQ(m->dlg.HelpCommand, 257);
    delete v;

    // The key as the window receives it takes the same road.
    m->showModeless();
    QTest::keyClick(m, Qt::Key_F1);
    ASSERT_NE(help::HelpViewer::current(), nullptr);
    delete help::HelpViewer::current();
    QTest::keyClick(m, Qt::Key_F2);
    EXPECT_EQ(help::HelpViewer::current(), nullptr);

    // A tool of the bar claims F1: the key is used up and help stays shut.
    m->ActiveBar1->setToolShortcut(12, 112, 0);
    ui::forms::setModalHandler([](ui::Form& f) { f.unloadForm(); });
    key = 112;
    shift = 0;
    m->Form_KeyDown(key, shift);
    EXPECT_EQ(key, 0);
    EXPECT_EQ(shift, 0);
    EXPECT_EQ(help::HelpViewer::current(), nullptr);
    EXPECT_EQ(ui::forms::modalShows(), QStringList{"frmabout"});
}

TEST_F(MenuTest, HelpToolOpensTheViewerInKeywordSearch)
{
    QFile::copy(QStringLiteral(HELP_DOC), dir.filePath("door.hlp"));
    menu* m = load();
    m->ActiveBar1->clickTool(11);
    help::HelpViewer* v = help::HelpViewer::current();
    ASSERT_NE(v, nullptr);
    EXPECT_TRUE(v->loaded());
    v->setSearchText("备份");
    EXPECT_FALSE(v->visibleEntries().isEmpty());
}

} // namespace

namespace {
TEST_F(MenuTest, WeekdayIsNamedInTheDesktopLanguageWithItsDateSeparator)
{
    const std::pair<QLocale, const char*> cases[] = {
        {QLocale(QLocale::Chinese, QLocale::China), "星期二,2026/12/08"},
        {QLocale(QLocale::English, QLocale::UnitedStates), "Tuesday,2026/12/08"},
        {QLocale(QLocale::German, QLocale::Germany), "Dienstag,2026.12.08"},
        {QLocale(QLocale::Dutch, QLocale::Netherlands), "dinsdag,2026-12-08"},
        {QLocale::c(), "Tuesday,2026/12/08"},
    };
    menu* m = load();
    for (const auto& [locale, text] : cases) {
        QLocale::setDefault(locale);
        m->Form_Load();
        EXPECT_EQ(m->Panels[1]->text(), QString::fromUtf8(text));
    }
}
} // namespace
