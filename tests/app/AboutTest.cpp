// The about box: where the system-information program is looked up and
// what is started.
#include "AboutWindow.h"
#include "AppFixture.h"

#include <QDir>
#include <QPushButton>

namespace {

const QString kPlace1 = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");
const QString kPlace2 = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location");
const QString kNoInfo = QStringLiteral("此时系统信息无效");

class AboutTest : public AppFixture {
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        frmabout::setProgramStarter([this](const QString& p) {
            started.append(p);
            return startResult;
        });
    }
    void TearDown() override
    {
        frmabout::setProgramStarter({});
        AppFixture::TearDown();
    }
    frmabout* open() { return ui::forms::load<frmabout>(); }

    QStringList started;
    bool startResult = true;
};

TEST_F(AboutTest, FixedContents)
{
    frmabout* w = open();
    EXPECT_EQ(w->windowTitle(), "关于---8096门禁管理");
    EXPECT_EQ(w->CmdOk->text(), "确     定(&O)");
    EXPECT_EQ(w->cmdSysInfo->text(), "系统信息(&S)...");
    EXPECT_EQ(w->Command1->text(), "硬件信息(&H)");
    w->CmdOk_Click();
    EXPECT_FALSE(ui::forms::isLoaded<frmabout>());
}

TEST_F(AboutTest, FirstPlaceStartsItsProgramAndSecondIsNotConsulted)
{
    reg::setValue(reg::Root::LocalMachine, kPlace1, "PATH", "/opt/info/msinfo");
    reg::setValue(reg::Root::LocalMachine, kPlace2, "MSINFO", dir.path());
    open()->cmdSysInfo_Click();
    EXPECT_EQ(started, QStringList{"/opt/info/msinfo"});
    EXPECT_TRUE(scripted.messages.isEmpty());
}

TEST_F(AboutTest, SecondPlaceFolderWithTheProgramStartsIt)
{
    QFile exe(dir.filePath("MSINFO32.EXE"));
    ASSERT_TRUE(exe.open(QIODevice::WriteOnly));
    exe.close();
    reg::setValue(reg::Root::LocalMachine, kPlace2, "MSINFO", dir.path());
    open()->cmdSysInfo_Click();
    EXPECT_EQ(started, QStringList{QDir(dir.path()).filePath("MSINFO32.EXE")});
    EXPECT_TRUE(scripted.messages.isEmpty());
}

TEST_F(AboutTest, SecondPlaceFolderWithoutTheProgramSaysSo)
{
    reg::setValue(reg::Root::LocalMachine, kPlace2, "MSINFO", dir.path());
    frmabout* w = open();
    w->cmdSysInfo_Click();
    EXPECT_TRUE(started.isEmpty());
    ASSERT_EQ(scripted.messages.size(), 1);
    EXPECT_EQ(scripted.messages[0].text, kNoInfo);
    EXPECT_EQ(scripted.messages[0].title, "门禁系统");
    EXPECT_TRUE(ui::forms::isLoaded<frmabout>()); // stays open
}

TEST_F(AboutTest, NothingRegisteredOrStartFailingSaysSo)
{
    open()->cmdSysInfo_Click();
    EXPECT_EQ(scripted.lastMessage(), kNoInfo);
    reg::setValue(reg::Root::LocalMachine, kPlace1, "PATH", "/nowhere/msinfo");
    startResult = false;
    scripted.clearMessages();
    ui::forms::find<frmabout>()->cmdSysInfo_Click();
    EXPECT_EQ(scripted.lastMessage(), kNoInfo);
}

TEST_F(AboutTest, TerminatingNulIsNotPartOfTheValue)
{
    reg::setValue(reg::Root::LocalMachine, kPlace1, "PATH", "/opt/info/msinfo");
    QString v = "old";
    EXPECT_TRUE(frmabout::GetKeyValue(reg::HKEY_LOCAL_MACHINE, kPlace1, "PATH", v));
    EXPECT_EQ(v, "/opt/info/msinfo");
    EXPECT_EQ(v.size(), 16);
    EXPECT_FALSE(frmabout::GetKeyValue(reg::HKEY_LOCAL_MACHINE, kPlace1, "NONE", v));
    EXPECT_EQ(v, "");
    v = "old";
    EXPECT_FALSE(frmabout::GetKeyValue(reg::HKEY_LOCAL_MACHINE, "SOFTWARE\\Nothing", "PATH", v));
    EXPECT_EQ(v, "");
}

TEST_F(AboutTest, ValueThatIsNotTextIsNeverStarted)
{
    reg::setDwordValue(reg::Root::LocalMachine, kPlace1, "PATH", 42);
    reg::setBinaryValue(reg::Root::LocalMachine, kPlace2, "MSINFO", QByteArray("/bin\0", 5));
    QString v = "old";
    EXPECT_FALSE(frmabout::GetKeyValue(reg::HKEY_LOCAL_MACHINE, kPlace1, "PATH", v));
    EXPECT_EQ(v, "");
    open()->cmdSysInfo_Click();
    EXPECT_TRUE(started.isEmpty());
    EXPECT_EQ(scripted.lastMessage(), kNoInfo);
}

TEST_F(AboutTest, HardwareButtonOpensTheHardwareWindowWhenThereIsOne)
{
    EXPECT_FALSE(open()->Command1->isEnabled());
    ui::forms::unloadAll();
    int opened = 0;
    appforms::registerWindow("FrmSysInf", [&] { ++opened; });
    frmabout* w = open();
    EXPECT_TRUE(w->Command1->isEnabled());
    w->Command1_Click();
    EXPECT_EQ(opened, 1);
    appforms::unregisterWindow("FrmSysInf");
}

} // namespace
