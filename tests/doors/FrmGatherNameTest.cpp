// The name-list collection window against simulated controllers.
#include "WindowBench.h"

#include "FrmGatherName.h"
#include "Globals.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

#include <functional>

namespace {

constexpr int kReadCards = 0x04;

sim::CardRecord card(uint32_t number, uint32_t employee, uint8_t flags = 0xC0)
{
    sim::CardRecord r;
    r.card = number;
    r.employee = employee;
    r.flags = flags;
    r.weekdays = 0xFE;
    r.endDate = 0x991231;
    r.groups1 = 0x0001;
    r.groups2 = 0x0001;
    return r;
}

class FrmGatherNameTest : public WindowBench {
protected:
    FrmGatherName* w = nullptr;

    void SetUp() override
    {
        WindowBench::SetUp();
        addDoor(3);
        w = ui::forms::load<FrmGatherName>();
        clearTrace();
    }

    void issue(int address, const QString& employee, const QString& physical, const QString& name, bool password,
               int lock2 = 0)
    {
        exec(QStringLiteral("INSERT INTO dfaka (地址, 卡号, 物理卡号, 姓名, 部门, 锁1允许, 锁2允许, 发卡日期, 密码标志) "
                            "VALUES (?, ?, ?, ?, '研发部', 1, ?, '2026-11-02', ?)"),
             {address, employee, physical, name, lock2, password ? 1 : 0});
    }

    QString cell(int row, int col) const
    {
        QTableWidgetItem* i = w->SendGrid->item(row, col);
        return i ? i->text() : QString();
    }

    QList<QVariantList> dfaka()
    {
        return rows(QStringLiteral("SELECT 卡号, 物理卡号, 姓名, 锁2允许, 密码标志 FROM dfaka ORDER BY 卡号, 物理卡号"));
    }
};

TEST_F(FrmGatherNameTest, CollectsEveryReadableSlotAndCountsTheRest)
{
    sim::Controller& c = controller(3);
    c.storeCard(card(1193046, 0x00000001, 0xC5));   // known card, both locks
    c.storeCard(card(7, 0x00000009));               // to be deleted: an empty slot
    c.storeCard(card(123456, 0x00000002));          // known password
    c.storeCard(card(555, 0x00000003));             // unread: spoiled three times
    c.storeCard(card(999, 0x00000004));             // a card the database does not know
    c.deleteCard(7);
    c.inject(sim::Fault::badSlot(kReadCards, 3, false, 3));
    issue(3, "00000001", "0001193046", "O'Hara", false);
    issue(3, "00000002", "0000123456", "李四", true);

    w->cText->setEditText("3");
    QStringList enabledWhileWaiting;
    int waits = 0;
    scripted.onDoEvents = [&] {
        ++waits;
        for (QPushButton* b : {w->ReadCommand, w->Command1, w->cmdTest, w->CmdExit})
            if (b->isEnabled())
                enabledWhileWaiting << b->objectName();
    };
    w->ReadCommand_Click();
    scripted.onDoEvents = nullptr;

    EXPECT_GT(waits, 0);
    EXPECT_TRUE(enabledWhileWaiting.isEmpty()) << enabledWhileWaiting.join(",").toStdString();
    EXPECT_TRUE(w->Command1->isEnabled() && w->cmdTest->isEnabled() && w->CmdExit->isEnabled());
    EXPECT_EQ(w->txtSendNum->text(), "5");
    EXPECT_EQ(w->txtSendYesNum->text(), "3");
    EXPECT_EQ(w->txtSendNoNum->text(), "1");
    EXPECT_EQ(w->statusText(), "3号机器采集数据成功，有1条记录未能读出");
    ASSERT_EQ(w->SendGrid->rowCount(), 3);
    const QStringList first = {"3", "00000001", "0001193046", "O'Hara", "研发部", "1", "1", "1", "0", "1",
                               "1111111", "991231", "0000000000000001", "0000000000000001", "2026-11-02"};
    for (int col = 0; col < 15; ++col)
        EXPECT_EQ(cell(0, col), first[col]) << "column " << col;
    EXPECT_EQ(cell(1, 2), "***************");
    EXPECT_EQ(cell(2, 1), "00000004");
    EXPECT_EQ(cell(2, 3), "");   // unknown card: no name carried over from the row before

    const TracedCall gather = callsOf("GatherSendCardData").value(0);
    EXPECT_TRUE(gather.arg(1).endsWith("/SendData/")) << gather.arg(1).toStdString();
    EXPECT_EQ(gather.arg(2), "3_2026-12-08_093000.txt");
    EXPECT_EQ(gather.num(5), 5);   // the block wait
    EXPECT_EQ(dfaka().size(), 2);  // nothing written without the box
}

TEST_F(FrmGatherNameTest, RebuildReplacesKnownRowsOnceAndKeepsTheirKind)
{
    sim::Controller& c = controller(3);
    c.storeCard(card(1193046, 0x00000001, 0xC0));   // lock 2 allowed on the controller
    c.storeCard(card(123456, 0x00000002));
    c.storeCard(card(999, 0x00000004));
    issue(3, "00000001", "0001193046", "O'Hara", false, 0);
    issue(3, "00000002", "0000123456", "李四", true);
    issue(5, "00000001", "0001193046", "O'Hara", false, 0);   // another controller: untouched

    w->Check1->setChecked(true);
    w->cText->setEditText("3");
    w->ReadCommand_Click();
    w->ReadCommand_Click();

    const QList<QVariantList> expected = {
        {"00000001", "0001193046", "O'Hara", 0, 0},   // address 5
        {"00000001", "0001193046", "O'Hara", 1, 0},   // address 3, rights from the controller
        {"00000002", "0000123456", "李四", 1, 1},
    };
    const QList<QVariantList> got =
        rows(QStringLiteral("SELECT 卡号, 物理卡号, 姓名, 锁2允许, 密码标志 FROM dfaka ORDER BY 卡号, 地址 DESC"));
    ASSERT_EQ(got.size(), expected.size());
    for (int i = 0; i < got.size(); ++i)
        for (int j = 0; j < 5; ++j)
            EXPECT_EQ(got[i][j].toString(), expected[i][j].toString()) << i << "," << j;
}

TEST_F(FrmGatherNameTest, ShortAndFailedCollections)
{
    struct Case {
        const char* address;
        bool silent;
        QString status;
        QString total;
    };
    controller(3);
    const Case cases[] = {
        {"", false, "请输入机器地址！", ""},
        {"3", false, "3号机器采集数据成功 ,共有0条记录", "0"},
        {"4", true, "4号机采集数据不成功！请检查线路是否连通。", "0"},
        {"x", false, "13:类型不匹配", "0"},
    };
    for (const Case& k : cases) {
        w->cText->setEditText(k.address);
        w->ReadCommand_Click();
        EXPECT_EQ(w->statusText(), k.status) << k.address;
        EXPECT_EQ(w->txtSendNum->text(), k.total) << k.address;
        EXPECT_TRUE(w->ReadCommand->isEnabled());
    }
}

// A pasted address that is not a whole number never rounds onto a controller
// ("4.5" onto 4, "5.5" onto 6), nor rewrites its rows with the rebuild ticked.
TEST_F(FrmGatherNameTest, AnAddressThatIsNotAWholeNumberReachesNoController)
{
    for (int a : {4, 6}) {
        controller(a).storeCard(card(1193046, 0x00000001));
        issue(a, "00000001", "0001193046", "O'Hara", false);
    }
    w->Check1->setChecked(true);
    w->TxtPhyID->setText("1193046");
    const std::function<QString()> handlers[] = {
        [this] { w->ReadCommand_Click(); return w->statusText(); },
        [this] { w->Command1_Click(); return w->statusText(); },
        [this] { w->cmdTest_Click(); return scripted.lastMessage(); },
    };
    const std::pair<const char*, bool> cases[] = {{"abc", false}, {"4.5", false}, {"5.5", false}, {"-1", false},
                                                  {"100", true},  {"6", true}};
    const QList<QVariantList> before = rows(QStringLiteral("SELECT * FROM dfaka ORDER BY 地址"));
    for (const auto& [address, whole] : cases) {
        for (int h = 0; h < 3; ++h) {
            SCOPED_TRACE(std::string(address) + " handler " + std::to_string(h));
            w->cText->setEditText(QString::fromLatin1(address));
            clearTrace();
            scripted.clearMessages();
            const QString said = handlers[h]();
            EXPECT_EQ(trace().isEmpty(), !whole);
            if (!whole) {
                EXPECT_EQ(said, "13:类型不匹配");
            }
        }
    }
    EXPECT_EQ(rows(QStringLiteral("SELECT * FROM dfaka ORDER BY 地址")).size(), before.size());
    EXPECT_EQ(value("SELECT COUNT(*) FROM dfaka WHERE 地址=4").toInt(), 1);
}

TEST_F(FrmGatherNameTest, SingleCardLookupRebuildsOnlyThatCard)
{
    sim::Controller& c = controller(3);
    c.storeCard(card(1193046, 0x00000001, 0xC0));
    issue(3, "00000001", "0001193046", "O'Hara", false, 0);
    issue(3, "00000001", "0000654321", "O'Hara", true, 0);   // the same person's password stays
    w->Check1->setChecked(true);
    w->cText->setEditText("3");

    w->TxtPhyID->setText("1193046");
    w->Command1_Click();
    EXPECT_EQ(w->statusText(), "1193046号卡采集数据成功!");
    EXPECT_EQ(cell(0, 2), "1193046");
    EXPECT_EQ(cell(0, 3), "O'Hara");
    const QList<QVariantList> got = dfaka();
    ASSERT_EQ(got.size(), 2);
    EXPECT_EQ(got[0][1].toString(), "0000654321");
    EXPECT_EQ(got[0][4].toInt(), 1);
    EXPECT_EQ(got[1][3].toInt(), 1);   // lock 2 from the controller

    // A card the controller does not hold changes nothing but the row count.
    w->TxtPhyID->setText("42");
    w->Command1_Click();
    EXPECT_EQ(w->statusText(), "1193046号卡采集数据成功!");
    EXPECT_EQ(w->SendGrid->rowCount(), 1);

    w->TxtPhyID->clear();
    w->Command1_Click();
    EXPECT_EQ(w->statusText(), "请输入地址和物理卡号！");
}

TEST_F(FrmGatherNameTest, CommunicationTestAndRelease)
{
    controller(3).storeCard(card(5, 1));
    w->cText->setEditText("3");
    w->cmdTest_Click();
    EXPECT_EQ(w->statusText(), "3采集测试成功，共有1条记录！");
    EXPECT_EQ(w->txtSendNum->text(), "1");
    w->cText->setEditText("8");
    w->cmdTest_Click();
    EXPECT_EQ(w->statusText(), "8采集测试不成功，请检查线路是否连通！");
    EXPECT_TRUE(w->cmdTest->isEnabled());

    w->cText_DropDown();
    EXPECT_EQ(w->cText->count(), 1);
    clearTrace();
    w->CmdExit_Click();
    // The exit button and the unload each release the port.
    EXPECT_EQ(members(), (QStringList{"DestoryPort", "DestoryPort"}));
    EXPECT_FALSE(ui::forms::isLoaded<FrmGatherName>());
}

TEST_F(FrmGatherNameTest, LoadSetsUpTheGridAndWaitTimeWhateverThePortDid)
{
    ui::forms::unload<FrmGatherName>();
    exec(QStringLiteral("DELETE FROM system WHERE name='采集等待时间'"));
    exec(QStringLiteral("INSERT INTO system (name, zhi) VALUES ('采集等待时间', 7)"));
    mdl::GatherWaitTime = 0;
    mdl::PortNumber = 9;   // no such port
    w = ui::forms::load<FrmGatherName>();

    EXPECT_EQ(w->statusText(), "串口打开失败！");
    EXPECT_EQ(mdl::GatherWaitTime, 7);
    ASSERT_EQ(w->SendGrid->columnCount(), 15);
    EXPECT_EQ(w->SendGrid->horizontalHeaderItem(12)->text(), "   锁1时间段标志");
    EXPECT_EQ(w->SendGrid->rowCount(), 0);
}

} // namespace
