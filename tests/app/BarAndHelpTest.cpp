// The menu bar's stored design and key handling, and the help viewer.
#include "ActiveBar.h"
#include "HelpViewer.h"
#include "ToolTable.h"
#include "runtime/RuntimeError.h"

#include <QAction>
#include <QCoreApplication>
#include <QMenu>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QFile>
#include <gtest/gtest.h>

namespace {

QStringList actionCaptions(const QMenu* m)
{
    QStringList out;
    for (QAction* a : m->actions())
        out.append(a->text());
    return out;
}

} // namespace

TEST(ToolDesign, BandsHoldTheDesignedToolsInMenuOrder)
{
    ActiveBar bar;
    QStringList heads;
    for (QAction* a : bar.actions())
        heads.append(a->text());
    EXPECT_EQ(heads, (QStringList{"系统设置", "卡操作", "采集及监视", "数据查询", "强制开锁", "帮助"}));

    auto* pop1 = bar.findChild<QMenu*>("Pop1");
    ASSERT_NE(pop1, nullptr);
    EXPECT_EQ(actionCaptions(pop1),
              (QStringList{"权限设置", "数据库初始化", "串口版本设置", "部门职务管理", "人事管理", "发卡机设置", "门锁设置",
                           "修改卡机日期时间", "数据采集设置", "上下班时间设置", "数据库备份与恢复", "过期数据处理", "退出"}));
    EXPECT_EQ(actionCaptions(bar.findChild<QMenu*>("pop3")), (QStringList{"发卡退卡", "卡机重整", "压缩卡机", "增扩卡机"}));
    EXPECT_EQ(actionCaptions(bar.findChild<QMenu*>("Pop4")),
              (QStringList{"打卡数据采集", "发卡名单采集", "考勤数据整理", "实时监控门锁状态", "实时监控打卡状况", "自动采集"}));
    EXPECT_EQ(actionCaptions(bar.findChild<QMenu*>("Pop5")),
              (QStringList{"发卡信息查询", "退卡信息查询", "打卡数据查询", "考勤数据查询", "个人月总查询"}));
    EXPECT_EQ(actionCaptions(bar.findChild<QMenu*>("pop2")), (QStringList{"帮助", "关于"}));
}

TEST(ToolDesign, EveryToolReachableByNumberTextAndOnlyThose)
{
    ActiveBar bar;
    QSet<int> expected = {1, 3, 4, 5, 6, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22,
                          23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39};
    for (int n = 0; n <= 40; ++n) {
        if (expected.contains(n)) {
            EXPECT_EQ(bar.Tools(QString::number(n)).number(), n);
        } else {
            EXPECT_THROW(bar.Tools(QString::number(n)), rt::Error) << n;
        }
    }
    EXPECT_EQ(bar.Tools("39").caption(), "退出");
    EXPECT_EQ(bar.Tools("39").action(), nullptr); // on no band
    EXPECT_EQ(bar.Tools("10").name(), "xtczysz");
    EXPECT_EQ(bar.Tools("14").name(), "tc");
}

TEST(ToolDesign, ToolsNineteenAndTwentyFourStoredOff)
{
    ActiveBar bar;
    EXPECT_FALSE(bar.Tools("19").enabled());
    EXPECT_FALSE(bar.Tools("24").enabled());
    EXPECT_FALSE(bar.Tools("19").action()->isEnabled());
    EXPECT_TRUE(bar.Tools("26").enabled());
}

TEST(ToolDesign, EveryRightGovernsItsTool)
{
    const int expected[25] = {10, 16, 9, 15, 18, 19, 8, 38, 37, 29, 35, 36, 17, 25, 31, 32, 20, 21, 34, 22, 33, 27, 28, 30, 6};
    for (int r = 0; r < 25; ++r) {
        EXPECT_EQ(tools::toolOfRight(r), expected[r]) << "r" << r;
        EXPECT_EQ(tools::rightOfTool(expected[r]), r);
    }
    for (int ungoverned : {11, 12, 14, 23, 24, 26})
        EXPECT_EQ(tools::rightOfTool(ungoverned), -1);
}

TEST(ToolDesign, DispatchCoversEveryToolWithAnAction)
{
    const QSet<int> withWindow = {6, 8, 9, 10, 15, 16, 17, 18, 20, 21, 22, 23, 25, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38};
    for (int n = 1; n <= 39; ++n) {
        tools::Dispatch d = tools::dispatchOf(n);
        tools::Action expected = tools::Action::None;
        if (withWindow.contains(n))
            expected = tools::Action::OpenWindow;
        else if (n == 11)
            expected = tools::Action::Help;
        else if (n == 12)
            expected = tools::Action::About;
        else if (n == 14)
            expected = tools::Action::Exit;
        EXPECT_EQ(d.action, expected) << n;
    }
    EXPECT_EQ(tools::dispatchOf(35).windowClass, "FrmDataBase");
    EXPECT_EQ(tools::dispatchOf(36).windowClass, "sjkwf2");
    EXPECT_EQ(tools::dispatchOf(23).windowClass, "FrmSJCJSZ");
}

TEST(ActiveBarState, ToolWithoutActionIsGreyedButKeepsItsEnabledState)
{
    ActiveBar bar;
    bar.setHasAction([](int n) { return n != 17; });
    bar.Tools("17").setEnabled(true);
    EXPECT_TRUE(bar.Tools("17").enabled());
    EXPECT_FALSE(bar.Tools("17").action()->isEnabled());
    EXPECT_FALSE(bar.isUsable(17));
    bar.Tools("15").setEnabled(false);
    EXPECT_FALSE(bar.Tools("15").action()->isEnabled());
    bar.Tools("15").setEnabled(true);
    EXPECT_TRUE(bar.Tools("15").action()->isEnabled());
}

TEST(ActiveBarState, ClickDeliversNumberOnlyForUsableTools)
{
    ActiveBar bar;
    QSignalSpy spy(&bar, &ActiveBar::ToolClick);
    bar.Tools("20").action()->trigger();
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.takeFirst().at(0).toInt(), 20);
    bar.Tools("20").setEnabled(false);
    bar.clickTool(20);
    EXPECT_EQ(spy.count(), 0);
}

TEST(ActiveBarKeys, ShortcutOfUsableToolIsConsumedAndClicks)
{
    ActiveBar bar;
    QSignalSpy spy(&bar, &ActiveBar::ToolClick);
    bar.setToolShortcut(12, 112, 0);
    EXPECT_TRUE(bar.OnKeyDown(112, 0));
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.takeFirst().at(0).toInt(), 12);
    EXPECT_FALSE(bar.OnKeyDown(112, 1)); // other shift state
    bar.Tools("12").setEnabled(false);
    EXPECT_FALSE(bar.OnKeyDown(112, 0)); // a tool that cannot be used does not take its key
    EXPECT_TRUE(bar.OnKeyDown(18, 4));   // Alt belongs to the menus
    EXPECT_FALSE(bar.OnKeyDown(65, 0));
}

TEST(HelpDocument, ParsesTopicsKeywordsAndTitle)
{
    help::Document d = help::parse(QStringLiteral("标题\r\n\r\n## 甲\r\n关键字: 一, 二，三\r\n正文一\r\n\r\n正文二\r\n## 乙\r\n只有正文\r\n"));
    EXPECT_EQ(d.title, "标题");
    ASSERT_EQ(d.topics.size(), 2);
    EXPECT_EQ(d.topics[0].title, "甲");
    EXPECT_EQ(d.topics[0].keywords, (QStringList{"一", "二", "三"}));
    EXPECT_EQ(d.topics[0].text, "正文一\n\n正文二");
    EXPECT_TRUE(d.topics[1].keywords.isEmpty());
    EXPECT_EQ(d.topics[1].text, "只有正文");
}

TEST(HelpDocument, ShippedDocumentHasOneTopicPerMenuTool)
{
    QFile f(QStringLiteral(HELP_DOC));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    help::Document d = help::parse(QString::fromUtf8(f.readAll()));
    QSet<QString> titles;
    QSet<QString> entries;   // every index entry leads to one topic only
    for (const auto& t : d.topics) {
        titles.insert(t.title);
        EXPECT_FALSE(t.text.isEmpty()) << t.title.toStdString();
        const QStringList own = QStringList(t.keywords) << t.title;
        for (const QString& e : own) {
            EXPECT_FALSE(entries.contains(e)) << e.toStdString();
            entries.insert(e);
        }
    }
    for (const tools::ToolDef& t : tools::allTools()) {
        if (t.number != 39) {
            EXPECT_TRUE(titles.contains(t.caption)) << t.caption.toStdString();
        }
    }
}

TEST(HelpViewerWindow, KeywordSearchFindsTopicAndMissingFileSaysSo)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("door.hlp");
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QStringLiteral("帮助\n## 门锁设置\n关键字: 开门延时\n设定门锁。\n## 退出\n退出系统。\n").toUtf8());
    f.close();

    help::HelpViewer* v = help::HelpViewer::open(file, help::kHelpPartialKey);
    ASSERT_NE(v, nullptr);
    EXPECT_TRUE(v->isVisible());
    EXPECT_TRUE(v->loaded());
    EXPECT_EQ(v->shownTitle(), "门锁设置"); // the first topic until one is chosen
    EXPECT_EQ(v->indexEntries().size(), 3);
    v->setSearchText("延时");
    EXPECT_EQ(v->visibleEntries(), QStringList{"开门延时"});
    EXPECT_TRUE(v->showEntry("退出"));
    EXPECT_EQ(v->shownTitle(), "退出");
    EXPECT_TRUE(v->showEntry("开门延时"));
    EXPECT_EQ(v->shownTitle(), "门锁设置");
    // a second request reuses the one viewer
    EXPECT_EQ(help::HelpViewer::open(file, help::kHelpPartialKey), v);

    help::HelpViewer* w = help::HelpViewer::open(dir.filePath("none.hlp"), help::kHelpPartialKey);
    EXPECT_FALSE(w->loaded());
    EXPECT_TRUE(w->indexEntries().isEmpty());
    w->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(help::HelpViewer::current(), nullptr);
}
