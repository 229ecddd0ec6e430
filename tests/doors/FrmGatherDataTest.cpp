// Punch-record collection through the real library on simulated controllers.
#include "WindowBench.h"

#include "AppForms.h"
#include "FrmGatherData.h"
#include "Globals.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QKeyEvent>
#include <QStatusBar>


namespace {

sim::PunchRecord punch(uint32_t card, const QDateTime& at, uint8_t type = 0x0A, uint8_t code = 0x00)
{
    sim::PunchRecord p;
    p.card = card;
    p.time = at;
    p.openType = type;
    p.code = code;
    return p;
}

QDateTime dec7(int h, int m, int s = 0) { return QDateTime(QDate(2026, 12, 7), QTime(h, m, s)); }

} // namespace

class FrmGatherDataTest : public WindowBench {
protected:
    void issue(int address, const QString& employee, const QString& physical, bool password = false)
    {
        exec(QStringLiteral("INSERT INTO dfaka (地址, 卡号, 物理卡号, 姓名, 部门, 密码标志) VALUES (?, ?, ?, '张三', '行政部', ?)"),
             {address, employee, physical, password ? 1 : 0});
    }
    FrmGatherData* open(int address)
    {
        auto* w = ui::forms::load<FrmGatherData>();
        w->cText->setCurrentIndex(w->cText->findText(QString::number(address)));
        return w;
    }
    QString status(FrmGatherData* w) { return w->Panels[0]->text(); }
    QList<QVariantList> stored()
    {
        return rows(QStringLiteral("SELECT 地址, 卡号, 日期, 时间, flagIO, flag FROM data ORDER BY 日期, 时间, 卡号"));
    }
    QStringList gridRow(FrmGatherData* w, int row)
    {
        QStringList out;
        for (int c = 0; c < 7; ++c)
            out << w->gridText(row, c);
        return out;
    }
};

TEST_F(FrmGatherDataTest, StoresEachKnownPunchOnceAndKeepsReadingPastAFailedSlot)
{
    addDoor(3);
    issue(3, QStringLiteral("00000001"), QStringLiteral("0001193046"));   // card 0x123456
    issue(3, QStringLiteral("00000002"), QStringLiteral("0000654321"), true);
    sim::Controller& c = controller(3);
    c.addPunch(punch(0x123456, dec7(8, 1), 0x0A, 0x00));
    c.addPunch(punch(0x0ABCDE, dec7(8, 2), 0x0A, 0x01));             // not issued
    c.addPunch(punch(654321, dec7(8, 3), 0x0B, 0x02));               // password
    c.addPunch(punch(0x123456, QDateTime(), 0x0A, 0x03));            // no valid date
    c.addPunch(punch(0x123456, dec7(8, 5), 0x0A, 0x00));             // its slot never reads
    c.addPunch(punch(0x123456, dec7(8, 6), 0x0C, 0x05));             // after the failed slot; unknown codes
    c.addPunch(punch(0x123456, dec7(17, 30), 0x0A, 0x01));
    c.inject(sim::Fault::badSlot(0x05, 4, false, 3));

    FrmGatherData* w = open(3);
    w->ReadCommand_Click();

    const auto gather = callsOf("GatherData");
    ASSERT_EQ(gather.size(), 1);
    EXPECT_EQ(gather[0].arg(1), folder() + "basedata/");
    EXPECT_EQ(gather[0].arg(2), "3_2026-12-08_093000.txt");
    EXPECT_EQ(gather[0].num(5), 5);   // GatherWaitTime from table system
    EXPECT_TRUE(QFile::exists(folder() + "basedata/3_2026-12-08_093000.txt"));

    const QList<QVariantList> want{
        {3, "00000001", "2026-12-07", "08:01:00", "锁1进", QVariant()},
        {3, "00000002", "2026-12-07", "08:03:00", "锁1出", QVariant()},
        {3, "00000001", "2026-12-07", "08:06:00", "", QVariant()},
        {3, "00000001", "2026-12-07", "17:30:00", "锁1进", QVariant()},
    };
    EXPECT_EQ(stored(), want);

    ASSERT_EQ(w->gridRows(), 7);
    EXPECT_EQ(gridRow(w, 0), (QStringList{"1", "00000001", "2026-12-07", "08:01:00", "锁1进", "刷卡", "0001193046"}));
    EXPECT_EQ(gridRow(w, 1), (QStringList{"2", "", "2026-12-07", "08:02:00", "锁1进", "刷卡", "0000703710"}));
    EXPECT_EQ(gridRow(w, 2), (QStringList{"3", "00000002", "2026-12-07", "08:03:00", "锁1出", "密码", "**********"}));
    EXPECT_EQ(w->gridText(3, 4), "锁2进");
    EXPECT_EQ(gridRow(w, 4), (QStringList{"5", "", "", "", "", "", ""}));
    EXPECT_EQ(gridRow(w, 5), (QStringList{"6", "00000001", "2026-12-07", "08:06:00", "", "刷卡&密码", "0001193046"}));

    EXPECT_EQ(w->numText->text(), "7");
    EXPECT_EQ(w->counterText->text(), "7");
    EXPECT_EQ(w->txtErrCount->text(), "1");   // the unread record is not garbled as well
    EXPECT_EQ(w->labtext->text(), "总记录为7条 其中1条数据中有乱码！ 其中1条记录未能读出，请重新采集，暂勿清除数据！");
    EXPECT_EQ(status(w), "采集未完成：1条记录未能读出!");
    EXPECT_FALSE(w->readProgressBar->isVisible());
    EXPECT_TRUE(w->ReadCommand->isEnabled());
    EXPECT_EQ(mdl::PortReady, 0);
    EXPECT_EQ(c.punches().size(), 7u);   // collecting erases nothing

    // Once the slot reads, the same collection adds only the punch it had missed.
    w->ReadCommand_Click();
    EXPECT_EQ(stored().size(), 5);
    EXPECT_EQ(w->gridRows(), 7);
    EXPECT_EQ(w->gridText(4, 1), "00000001");
    EXPECT_EQ(w->labtext->text(), "总记录为7条 其中1条数据中有乱码！");
    EXPECT_EQ(status(w), "采集完成!");

    w->ReadCommand_Click();
    EXPECT_EQ(stored().size(), 5);
    EXPECT_EQ(w->gridText(0, 1), "00000001");
}

TEST_F(FrmGatherDataTest, APunchIsStoredOnceWhateverTheFileRepeats)
{
    addDoor(3);
    issue(3, QStringLiteral("0000000A"), QStringLiteral("0001193046"));
    issue(4, QStringLiteral("0000000A"), QStringLiteral("0001193046"));
    // Stored before: the same punch under the number in another letter case,
    // and one at another controller, which is a different punch.
    exec(QStringLiteral("INSERT INTO data (地址, 卡号, 日期, 时间, flagIO) VALUES "
                        "(3, '0000000a', '2026-12-07', '08:01:00', '锁1进'), (4, '0000000A', '2026-12-07', '08:02:00', '锁1进')"));
    sim::Controller& c = controller(3);
    c.addPunch(punch(0x123456, dec7(8, 1)));
    c.addPunch(punch(0x123456, dec7(8, 2)));
    c.addPunch(punch(0x123456, dec7(8, 2)));   // twice in one file
    open(3)->ReadCommand_Click();
    EXPECT_EQ(rows(QStringLiteral("SELECT 地址, 卡号, 时间 FROM data ORDER BY 地址, 时间")),
              (QList<QVariantList>{{3, "0000000a", "08:01:00"}, {3, "0000000A", "08:02:00"}, {4, "0000000A", "08:02:00"}}));
}

TEST_F(FrmGatherDataTest, OperatorTextIsBoundNotSpliced)
{
    addDoor(3);
    issue(3, QStringLiteral("0000'; DELETE FROM data; --"), QStringLiteral("0001193046"));
    exec(QStringLiteral("INSERT INTO data (地址, 卡号, 日期, 时间) VALUES (9, '00000009', '2026-01-01', '08:00:00')"));
    controller(3).addPunch(punch(0x123456, dec7(8, 1)));
    open(3)->ReadCommand_Click();
    EXPECT_EQ(value(QStringLiteral("SELECT COUNT(*) FROM data")).toInt(), 2);
    EXPECT_EQ(value(QStringLiteral("SELECT 卡号 FROM data WHERE 地址=3")).toString(), "0000'; DELETE FROM data; --");
}

TEST_F(FrmGatherDataTest, CollectionFailuresStoreNothing)
{
    struct Case {
        const char* name;
        std::function<void()> arrange;
        QString labtext, status;
    };
    const QString failed = QStringLiteral("采集不成功，可能是因为采集等待时间过短，可尝试在“系统设置”中设置稍大的采集等待时间！");
    const QList<Case> cases{
        {"no basedata folder",
         [this] {
             controller(3).addPunch(punch(0x123456, dec7(8, 1)));
             QDir(folder() + "basedata").removeRecursively();
         },
         failed, "采集不成功"},
        {"controller silent", [this] { controller(3).inject(sim::Fault::noAnswer(-1, 0)); }, failed,
         "采集不成功"},
        {"no records", [this] { controller(3); }, "没有打卡记录，请先打卡！",
         "没有打卡记录，请先打卡！"},
    };
    addDoor(3);
    issue(3, QStringLiteral("00000001"), QStringLiteral("0001193046"));
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        line.remove(3);
        QDir(folder()).mkpath("basedata");
        k.arrange();
        FrmGatherData* w = open(3);
        w->ReadCommand_Click();
        EXPECT_EQ(w->labtext->text(), k.labtext);
        EXPECT_EQ(status(w), k.status);
        EXPECT_TRUE(w->ReadCommand->isEnabled());
        EXPECT_EQ(value(QStringLiteral("SELECT COUNT(*) FROM data")).toInt(), 0);
        EXPECT_TRUE(QDir(folder() + "basedata").entryList(QDir::Files).isEmpty());
        ui::forms::unload<FrmGatherData>();
    }
}

TEST_F(FrmGatherDataTest, AFullDiskIsNamedAndLeavesNoCutFile)
{
    addDoor(3);
    issue(3, QStringLiteral("00000001"), QStringLiteral("0001193046"));
    sim::Controller& c = controller(3);
    for (int i = 0; i < 200; ++i)   // a file of about 6.6 KB
        c.addPunch(punch(0x123456, dec7(8, 0).addSecs(60 * i)));
    const QString basedata = folder() + "basedata";
    const struct {
        const char* what;
        int filled;   // of the 16 KB the disk holds
    } cases[] = {{"full from the first byte", 16384}, {"full in the middle of the file", 12288}};
    for (const auto& k : cases) {
        SCOPED_TRACE(k.what);
        const TestMount small = TestMount::tmpfs(basedata, QStringLiteral("16k"));
        if (!small.ok())
            GTEST_SKIP() << small.why().toStdString();
        QFile filler(basedata + "/filler");
        ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
        ASSERT_EQ(filler.write(QByteArray(k.filled, 'f')), k.filled);
        filler.close();
        scripted.clearMessages();
        FrmGatherData* w = open(3);
        w->ReadCommand_Click();
        ASSERT_EQ(scripted.messages.size(), 1);
        EXPECT_EQ(scripted.messages[0].text, "61:磁盘空间已满，数据未能写入");
        EXPECT_EQ(scripted.messages[0].title, "Door8096.GatherData");
        EXPECT_EQ(w->labtext->text(),
                  "采集不成功：磁盘空间已满，数据未能写入“" + basedata + "/”，请腾出磁盘空间后重新采集！");
        EXPECT_EQ(status(w), "采集不成功");
        EXPECT_EQ(QDir(basedata).entryList(QDir::Files), QStringList{"filler"});
        EXPECT_EQ(value(QStringLiteral("SELECT COUNT(*) FROM data")).toInt(), 0);
        EXPECT_EQ(c.punches().size(), 200u);
        EXPECT_TRUE(w->ReadCommand->isEnabled());
        ui::forms::unload<FrmGatherData>();
    }
    // With room on the disk the same records come in whole.
    FrmGatherData* w = open(3);
    w->ReadCommand_Click();
    EXPECT_EQ(status(w), "采集完成!");
    EXPECT_EQ(value(QStringLiteral("SELECT COUNT(*) FROM data")).toInt(), 200);
}

TEST_F(FrmGatherDataTest, AStoreThatFailsSaysThePunchesWereNotStoredAndMustNotBeErased)
{
    addDoor(3);
    issue(3, QStringLiteral("00000001"), QStringLiteral("0001193046"));
    sim::Controller& c = controller(3);
    c.addPunch(punch(0x123456, dec7(8, 1)));
    c.addPunch(punch(0x123456, dec7(17, 30)));
    mdl::DaoDatabase.execute(QStringLiteral("PRAGMA query_only=1"));   // the file cannot be written
    FrmGatherData* w = open(3);
    w->ReadCommand_Click();
    ASSERT_EQ(scripted.messages.size(), 1);
    EXPECT_EQ(scripted.messages[0].text, "3000:数据库错误：数据库文件是只读的，不能写入（attempt to write a readonly database）");
    EXPECT_EQ(w->labtext->text(), "总记录为2条 打卡记录未能全部存入数据库，请排除故障后重新采集，暂勿清除数据！");
    EXPECT_EQ(status(w), "采集未完成：打卡记录未能存入数据库!");
    EXPECT_EQ(value(QStringLiteral("SELECT COUNT(*) FROM data")).toInt(), 0);
    EXPECT_EQ(c.punches().size(), 2u);
    EXPECT_TRUE(w->ReadCommand->isEnabled());
    mdl::DaoDatabase.execute(QStringLiteral("PRAGMA query_only=0"));
}

TEST_F(FrmGatherDataTest, EmptyAddressAtCollectionIsAnErrorBox)
{
    addDoor(3);
    auto* w = ui::forms::load<FrmGatherData>();
    QKeyEvent typed(QEvent::KeyPress, Qt::Key_3, Qt::NoModifier, "3");
    QCoreApplication::sendEvent(w->cText, &typed);   // typing chooses nothing
    EXPECT_EQ(w->cText->currentText(), "");
    w->ReadCommand_Click();
    ASSERT_EQ(scripted.messages.size(), 1);
    EXPECT_EQ(scripted.messages[0].text, "13:类型不匹配");
    EXPECT_EQ(scripted.messages[0].title, "错误提示");
    EXPECT_TRUE(w->ReadCommand->isEnabled());
    EXPECT_TRUE(callsOf("GatherData").isEmpty());
}

TEST_F(FrmGatherDataTest, ADamagedAddressOfAKnownCardEndsTheCollectionKeepingWhatWasStored)
{
    addDoor(3);
    issue(3, QStringLiteral("00000001"), QStringLiteral("0001193046"));
    sim::Controller& c = controller(3);
    c.addPunch(punch(0x123456, dec7(8, 1)));
    c.addPunch(punch(0x0ABCDE, dec7(8, 2)));   // not issued: its address is never read
    c.addPunch(punch(0x123456, dec7(8, 3)));
    c.addPunch(punch(0x123456, dec7(8, 4)));
    onCall = [](const TracedCall& call) {
        if (call.member != QLatin1String("GatherData"))
            return;
        QFile f(call.arg(1) + call.arg(2));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        QList<QByteArray> lines = f.readAll().split('\n');
        f.close();
        lines[1].replace(0, 3, "x03");
        lines[2].replace(0, 3, "x03");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(lines.join('\n'));
    };
    FrmGatherData* w = open(3);
    w->ReadCommand_Click();
    ASSERT_EQ(scripted.messages.size(), 1);
    EXPECT_EQ(scripted.messages[0].text, "13:类型不匹配");
    EXPECT_EQ(scripted.messages[0].title, "错误提示");
    EXPECT_EQ(rows(QStringLiteral("SELECT 时间 FROM data ORDER BY 时间")), (QList<QVariantList>{{"08:01:00"}}));
    EXPECT_EQ(w->gridText(1, 2), "2026-12-07");
    EXPECT_EQ(w->labtext->text(), "总记录为4条");
    EXPECT_TRUE(w->txtErrCount->text().isEmpty());
    EXPECT_TRUE(w->ReadCommand->isEnabled());
    EXPECT_FALSE(w->readProgressBar->isVisible());
}

TEST_F(FrmGatherDataTest, CommunicationTestSetsTheClockOfValidAddressesOnly)
{
    addDoor(0);
    addDoor(3);
    addDoor(7);   // no controller answers there
    sim::Controller& c = controller(3);
    c.addPunch(punch(0x123456, dec7(8, 1)));
    c.addPunch(punch(0x123456, dec7(8, 2)));
    struct Case {
        QString address;
        QString status;
        QString count;
        QStringList members;
    };
    const QList<Case> cases{
        {"", "地址为0-99之间的整数", "", {"setport"}},
        {"0", "地址为0-99之间的整数", "", {"setport"}},
        {"3", "机器通讯测试成功", "2", {"setport", "ModifyDateTime", "GatherRecordSum"}},
        {"7", "机器通讯测试不成功", "", {"setport", "ModifyDateTime"}},
    };
    auto* w = ui::forms::load<FrmGatherData>();
    for (const Case& k : cases) {
        SCOPED_TRACE(k.address.toStdString());
        clearTrace();
        w->numText->clear();
        w->cText->setCurrentIndex(w->cText->findText(k.address));
        w->numCommand_Click();
        EXPECT_EQ(status(w), k.status);
        EXPECT_EQ(w->numText->text(), k.count);
        EXPECT_EQ(members(), k.members);
        EXPECT_TRUE(w->numCommand->isEnabled());
    }
    clearTrace();
    w->cText->setCurrentIndex(w->cText->findText("3"));
    w->numCommand_Click();
    const TracedCall set = callsOf("ModifyDateTime").value(0);
    EXPECT_EQ(set.arg(1), "261208");
    EXPECT_TRUE(set.arg(2).startsWith("0930")) << set.arg(2).toStdString();
    EXPECT_EQ(set.arg(3), "2");   // Tuesday
    EXPECT_EQ(c.clock().toString("yyyy-MM-dd HH:mm"), "2026-12-08 09:30");
}

TEST_F(FrmGatherDataTest, EraseAsksFirstAndReportsTheController)
{
    addDoor(3);
    sim::Controller& c = controller(3);
    c.addPunch(punch(0x123456, dec7(8, 1)));
    FrmGatherData* w = open(3);

    scripted.queueAnswer(ui::mb::No);
    w->CmdClearData_Click();
    ASSERT_EQ(scripted.messages.size(), 1);
    EXPECT_EQ(scripted.messages[0].text, "在清存储器之前,请确保已经正确采集到将该门禁控制器中的数据\n"
                                         "确定需要删除地址号为'3'的门禁控制器上的数据吗？！");
    EXPECT_EQ(scripted.messages[0].title, "提示信息");
    EXPECT_TRUE(callsOf("clearRecord").isEmpty());
    EXPECT_EQ(c.punches().size(), 1u);

    addDoor(7);   // nobody answers there
    w->cText->addItem("7");
    w->cText->setCurrentIndex(w->cText->findText("7"));
    scripted.queueAnswer(ui::mb::Yes);
    w->CmdClearData_Click();
    EXPECT_EQ(status(w), "记录删除失败！");
    EXPECT_EQ(c.punches().size(), 1u);

    w->cText->setCurrentIndex(w->cText->findText("3"));
    scripted.queueAnswer(ui::mb::Yes);
    w->CmdClearData_Click();
    EXPECT_EQ(status(w), "记录删除成功！");
    EXPECT_EQ(w->labtext->text(), "记录删除成功！");
    EXPECT_TRUE(c.punches().empty());
    EXPECT_EQ(callsOf("setport").size(), 0);   // the erase uses the port as it is
    EXPECT_TRUE(w->CmdClearData->isEnabled());

    w->cText->setCurrentIndex(0);
    w->CmdClearData_Click();
    EXPECT_EQ(status(w), "请先选择门禁控制器");
    EXPECT_EQ(callsOf("clearRecord").size(), 2);
    EXPECT_EQ(callsOf("clearRecord")[1].text(), "clearRecord(3)");
}

TEST_F(FrmGatherDataTest, WaitTimeComesFromTableSystem)
{
    const QList<std::pair<QVariant, int>> cases{{8, 8}, {0, 5}, {-3, 5}, {QVariant(), 5}};
    for (const auto& [zhi, want] : cases) {
        SCOPED_TRACE(zhi.toString().toStdString());
        if (zhi.isValid())
            exec(QStringLiteral("UPDATE system SET zhi=? WHERE name='采集等待时间'"), {zhi});
        else
            exec(QStringLiteral("DELETE FROM system WHERE name='采集等待时间'"));
        mdl::GatherWaitTime = 0;
        ui::forms::load<FrmGatherData>();
        EXPECT_EQ(mdl::GatherWaitTime, want);
        ui::forms::unload<FrmGatherData>();
    }
}

TEST_F(FrmGatherDataTest, OpenedFromAnotherWindowCollectsAndReleasesThePort)
{
    addDoor(3);
    issue(3, QStringLiteral("00000001"), QStringLiteral("0001193046"));
    controller(3).addPunch(punch(0x123456, dec7(8, 1)));
    // Other tests of this program put stand-ins in its place.
    appforms::registerWindow(QStringLiteral("FrmGatherData"), &appforms::openForm<FrmGatherData>);
    ui::forms::setModalHandler([](ui::Form& f) {
        auto* w = qobject_cast<FrmGatherData*>(&f);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->cText->currentText(), "");   // nothing chosen
        w->cText->setCurrentIndex(w->cText->findText("3"));
        w->ReadCommand_Click();
        w->cdexit_Click();
    });
    appforms::open(QStringLiteral("FrmGatherData"));
    ui::forms::setModalHandler({});

    EXPECT_FALSE(ui::forms::isLoaded<FrmGatherData>());
    EXPECT_EQ(members().last(), "DestoryPort");
    EXPECT_EQ(stored().size(), 1);
    // The opener's next command finds the port closed and opens it itself.
    EXPECT_EQ(mdl::Door.call(QStringLiteral("GatherRecordSum"), {int16_t(3)}).toLong(), 1);
}
