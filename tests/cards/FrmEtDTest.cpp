// The extension window against simulated controllers.
#include "WindowBench.h"

#include "FrmEtD.h"
#include "Globals.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace {

class FrmEtDTest : public WindowBench {
protected:
    FrmEtD* w = nullptr;

    void SetUp() override
    {
        WindowBench::SetUp();
        addDoor(3, "前门", "后门");
        addDoor(4, "东门");
        addDoor(5, "西门");
        controller(3);
        controller(4);
        w = ui::forms::load<FrmEtD>();
        clearTrace();
    }

    void issue(int address, const QString& employee, const QString& physical, const QString& name, bool password)
    {
        exec(QStringLiteral("INSERT INTO dfaka (地址, 卡号, 物理卡号, 姓名, 部门, 锁1允许, 锁2允许, 周控制, 周标志, 密码标志) "
                            "VALUES (?, ?, ?, ?, '研发部', 1, 0, 1, '1111100', ?)"),
             {address, employee, physical, name, password ? 1 : 0});
    }

    void selectLocks(const QStringList& texts)
    {
        for (int i = 0; i < w->LstAddr->count(); ++i)
            w->LstAddr->item(i)->setSelected(texts.contains(w->LstAddr->item(i)->text()));
    }

    QStringList logTexts() const
    {
        QStringList out;
        for (const QString& line : w->ListLog->lines())
            out << line.mid(8);   // without the time of day
        return out;
    }

    QStringList stored(int address)
    {
        QStringList out;
        for (const QVariantList& r : rows("SELECT 卡号, 物理卡号, 姓名, 锁1允许, 锁2允许, 周控制, 周标志, 发卡日期, 密码标志 "
                                          "FROM dfaka WHERE 地址=? ORDER BY 卡号, 物理卡号",
                                          {address})) {
            QStringList cells;
            for (const QVariant& v : r)
                cells << v.toString();
            out << cells.join("|");
        }
        return out;
    }
};

TEST_F(FrmEtDTest, BySourceCopiesCardsAndPasswordsOntoEveryChosenLock)
{
    issue(3, "00000001", "0000000010", "张三", false);
    issue(3, "00000002", "0000123456", "李四", true);
    controller(4).storeCard({10});   // the destination holds the card already, dfaka does not know it
    selectLocks({"4[1东门]", "5[1西门]"});   // 5 is silent
    ASSERT_EQ(mdl::SelectedLocks, (QStringList{"1,4", "1,5"}));
    w->ChkWk->setChecked(true);
    for (int k = 0; k < 5; ++k)
        w->ChkWeek[k]->setChecked(true);
    w->CmbAddr->setEditText("3");

    w->CmdEtDByMach_Click();

    EXPECT_EQ(logTexts(), (QStringList{
                              " 卡号:00000001 类型:0000000010 地址:4 已存在",
                              "   5号机通讯异常！请检查连接线路。",
                              " 卡号:00000002 类型:密码            地址:4 成功",
                              "   5号机通讯异常！请检查连接线路。",
                          }));
    const QStringList sends = [&] {
        QStringList out;
        for (const TracedCall& c : callsOf("CardSendToMachine"))
            out << c.text();
        return out;
    }();
    EXPECT_EQ(sends, QStringList{"CardSendToMachine(4, 00000002, 0000123456, -1, 0, -1, 0, 0, 1111100, 261208, "
                                 "0000000000000001, 0000000000000001)"});
    QStringList finds;
    for (const TracedCall& c : callsOf("FindCard"))
        finds << c.text();
    EXPECT_EQ(finds, (QStringList{"FindCard(4, 0000000010, , 2)", "FindCard(5, 0000000010, , 2)",
                                  "FindCard(4, 0000123456, , 2)", "FindCard(5, 0000123456, , 2)"}));
    EXPECT_EQ(stored(4), QStringList{"00000002|0000123456|李四|1|0|1|1111100|2026-12-08|1"});
    EXPECT_TRUE(controller(4).findCard(123456).has_value());
    EXPECT_EQ(w->statusText(), "共有 0 笔发卡记录");
}

TEST_F(FrmEtDTest, ByPersonCopiesTheWholeNameAndBothLocks)
{
    addPerson("00000003", "欧阳娜娜娜娜娜", "研发部");
    issue(4, "00000003", "0000000077", "欧阳娜娜娜娜娜", false);
    w->LstDepart->item(0)->setSelected(true);   // 所有部门
    ASSERT_EQ(w->LstInfo->count(), 1);
    w->LstInfo->item(0)->setSelected(true);     // loads the person's rights and locks
    EXPECT_TRUE(w->ChkWk->isChecked());
    EXPECT_EQ(mdl::SelectedLocks, QStringList{"1,4"});
    selectLocks({"3[1前门]", "3[2后门]"});
    ASSERT_EQ(mdl::SelectedLocks, QStringList{"3,3"});

    w->CmdEtDByMan_Click();

    EXPECT_EQ(logTexts(), QStringList{" 卡号:00000003 类型:0000000077 地址:3 成功"});
    EXPECT_EQ(callsOf("CardSendToMachine").value(0).num(3), -1);
    EXPECT_EQ(callsOf("CardSendToMachine").value(0).num(4), -1);
    EXPECT_EQ(stored(3), QStringList{"00000003|0000000077|欧阳娜娜娜娜娜|1|1|1|1111100|2026-12-08|0"});
    EXPECT_EQ(w->statusText(), "共有 2 笔发卡记录");
}

TEST_F(FrmEtDTest, MissingChoicesSendNothing)
{
    struct Case {
        std::function<void()> run;
        QString status;
    };
    const Case cases[] = {
        {[&] { w->CmdEtDByMach_Click(); }, "请选择源地址！"},
        {[&] { w->CmbAddr->setEditText("3"); w->CmdEtDByMach_Click(); }, "请选择目的地址！"},
        {[&] { w->CmdEtDByMan_Click(); }, "请选择目的地址!"},
        {[&] { selectLocks({"4[1东门]"}); w->CmdEtDByMan_Click(); }, "请选择要增扩的人员！"},
        {[&] { selectLocks({}); w->ButtonChkTime_Click(0); }, "请选择机器地址!"},
    };
    for (const Case& k : cases) {
        k.run();
        EXPECT_EQ(w->statusText(), k.status);
    }
    EXPECT_TRUE(callsOf("FindCard").isEmpty());
    EXPECT_TRUE(w->CmdEtDByMan->isEnabled() && w->CmdEtDByMach->isEnabled());

    // A source address without rows ends at once.
    selectLocks({"4[1东门]"});
    w->CmbAddr->setEditText("5");
    w->CmdEtDByMach_Click();
    EXPECT_TRUE(callsOf("FindCard").isEmpty());

    // A pasted source that is not a whole number copies nobody's cards
    // ("2.5" would round onto controller 2's rows).
    issue(2, "00000001", "0000000010", "张三", false);
    for (const char* source : {"2.5", "abc", "-2"}) {
        scripted.clearMessages();
        w->CmbAddr->setEditText(QString::fromLatin1(source));
        w->CmdEtDByMach_Click();
        EXPECT_EQ(scripted.lastMessage(), "13:类型不匹配") << source;
        w->CmbAddr_Click();
        EXPECT_EQ(scripted.lastMessage(), "13:类型不匹配") << source;
    }
    EXPECT_TRUE(callsOf("FindCard").isEmpty());
    EXPECT_TRUE(callsOf("CardSendToMachine").isEmpty());
}

TEST_F(FrmEtDTest, ByPersonRefusedSendIsLoggedWithoutThePassword)
{
    addPerson("00000002", "李四", "研发部");
    issue(5, "00000002", "0000123456", "李四", true);
    controller(3).inject(sim::Fault::noAnswer(0x03, 3));   // the send times out
    w->LstDepart->item(0)->setSelected(true);
    w->LstInfo->item(0)->setSelected(true);
    selectLocks({"3[1前门]", "4[1东门]"});
    QList<Qt::CursorShape> pointer;
    scripted.onSleep = [&](int) {
        pointer << (QApplication::overrideCursor() ? QApplication::overrideCursor()->shape() : Qt::ArrowCursor);
    };

    w->CmdEtDByMan_Click();
    scripted.onSleep = nullptr;

    EXPECT_EQ(logTexts(), (QStringList{" 卡号:00000002 类型:密码             地址:3 失败",
                                       " 卡号:00000002 类型:密码             地址:4 成功"}));
    EXPECT_EQ(stored(3), QStringList{});
    EXPECT_EQ(stored(4), QStringList{"00000002|0000123456|李四|1|0|1|1111100|2026-12-08|1"});
    // Hourglass while it works; the plain pointer back once a send failed.
    ASSERT_FALSE(pointer.isEmpty());
    EXPECT_EQ(pointer.first(), Qt::WaitCursor);
    EXPECT_EQ(pointer.last(), Qt::ArrowCursor);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

} // namespace
