// A controller that stops answering in the middle of a handler's commands:
// what the window then says must name what failed, never success.
#include "WindowBench.h"

#include "FrmGatherData.h"
#include "FrmGatherName.h"
#include "FrmSetTime.h"
#include "Frmdoors.h"
#include "Globals.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QStatusBar>

#include <functional>

namespace {

class StoppedControllerTest : public WindowBench {
protected:
    void SetUp() override
    {
        WindowBench::SetUp();
        addDoor(5);
    }
    // Controller 5 as every row finds it: one card, one punch, answering.
    void freshController()
    {
        line.remove(5);
        sim::Controller& c = controller(5);
        c.setDelays(3, 4, 6);
        c.setVersion(QByteArray::fromHex("8096261105010210"));
        c.storeCard({0x111, 0x00000001});
        c.addPunch({0x111, QDateTime(QDate(2026, 12, 7), QTime(8, 0))});
    }

    // The door window's read of address 5: its panel and its lines.
    QString doorRead(QStringList& lines)
    {
        auto* w = ui::forms::load<Frmdoors>();
        w->Cdoor->setEditText(QStringLiteral("5"));
        w->Cdoor_Click();
        for (int i = 0; i < w->ListView1->count(); ++i)
            lines << w->ListView1->item(i)->text();
        return w->panel1();
    }
};

TEST_F(StoppedControllerTest, NoHandlerReportsSuccessOverCallsThatFailed)
{
    struct Case {
        const char* handler;
        int silentFrom;   // the controller command from which nothing answers; 0: all answer
        std::function<QString(QStringList&)> run;   // the text shown at the end
        QString shown;
        QStringList lines;   // of the door window's list, when checked
    };
    const auto doorRead = [this](QStringList& lines) { return this->doorRead(lines); };
    const auto doorInit = [](QStringList&) {
        auto* w = ui::forms::load<Frmdoors>();
        w->Cdoor->setEditText(QStringLiteral("5"));
        w->ChkRecord->setChecked(true);
        w->ChkName->setChecked(true);
        w->cmdY_Click();
        return w->panel1();
    };
    const auto gatherTest = [](QStringList&) {
        auto* w = ui::forms::load<FrmGatherData>();
        w->cText->setCurrentIndex(w->cText->findText(QStringLiteral("5")));
        w->numCommand_Click();
        return w->Panels[0]->text() + QStringLiteral(" / ") + w->numText->text();
    };
    const auto nameTest = [](QStringList&) {
        auto* w = ui::forms::load<FrmGatherName>();
        w->cText->setEditText(QStringLiteral("5"));
        w->cmdTest_Click();
        return w->statusText();
    };
    const auto groupInit = [this](QStringList&) {
        FrmSetTime::PresetAddr = 5;
        auto* w = ui::forms::load<FrmSetTime>();
        w->CmbAddr->setEditText(QStringLiteral("5"));
        scripted.queueAnswer(ui::mb::Yes);
        w->CmdInitMachine_Click();
        return w->InfoStb->text();
    };
    auto withCounts = [](const QString& cards, const QString& records) {
        return QStringList{"机器地址：5", "锁一延时：3", "锁二延时：4", "外接延时：6",
                           "发  卡  数：" + cards, "打  卡  数：" + records};
    };
    const QStringList calm = withCounts("1", "1");
    const Case cases[] = {
        {"door read", 0, doorRead, "读取门锁信息，成功.", calm},
        {"door read", 1, doorRead, "通信失败!", {}},
        {"door read", 2, doorRead, "读取门锁信息，未读到版本号、发卡数、打卡数！", withCounts("未读到", "未读到")},
        {"door read", 3, doorRead, "读取门锁信息，未读到发卡数、打卡数！", withCounts("未读到", "未读到")},
        {"door read", 4, doorRead, "读取门锁信息，未读到打卡数！", withCounts("1", "未读到")},
        {"door initialisation", 2, doorInit, "清空机器发卡名单失败!", {}},
        {"collection test", 0, gatherTest, "机器通讯测试成功 / 1", {}},
        {"collection test", 2, gatherTest, "机器通讯测试不成功 / ", {}},
        {"name-list test", 1, nameTest, "5采集测试不成功，请检查线路是否连通！", {}},
        // The window's load reads the groups first: the third group is the fourth command.
        {"time-group initialisation", 4, groupInit,
         "已成功初始化时间段：1、2，初始化失败：3、4、5、6、7、8、9、10、11、12、13、14、15、16", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.handler) + " silent from " + std::to_string(c.silentFrom));
        ui::forms::unloadAll();
        freshController();
        onCall = nullptr;
        if (c.silentFrom > 0)
            silenceFrom(c.silentFrom);
        QStringList lines;
        EXPECT_EQ(c.run(lines), c.shown);
        if (!c.lines.isEmpty()) {
            EXPECT_EQ(lines.mid(0, 6), c.lines);
        }
        for (const QString& l : lines)
            EXPECT_FALSE(l.endsWith(QStringLiteral("-1"))) << l.toStdString();
    }
}

} // namespace
