// The controller version set in the shipped database against the one the
// simulated controllers report: the sample site opens its time-group window
// and reads its doors without a version warning.
#include "WindowBench.h"

#include "FrmSetTime.h"
#include "Frmdoors.h"
#include "Globals.h"

#include <QComboBox>
#include <QListWidget>

namespace {

class ControllerVersionTest : public WindowBench {};

TEST_F(ControllerVersionTest, TheSampleControllersReportTheShippedSetting)
{
    const QString mismatch = QStringLiteral("系统设置的机器版本与所检测到机器：3的版本对不上！请重设！");
    const struct {
        const char* what;
        const char* told;   // the version the controller was told, "" none
        const char* read;   // as the door window's read shows it
        bool warned;
    } cases[] = {
        {"a new controller", "", "版        本：5.1.0", false},
        {"a controller told another version", "4.1.0", "版        本：4.1.0", true},
    };
    // What the program reads at start-up from the shipped database.
    mdl::MachineVersion = value("SELECT detail FROM system WHERE name = '机器版本号'").toString();
    addDoor(3);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        line.remove(3);
        if (*c.told)
            controller(3).setVersion(sim::Controller::versionBytes(QString::fromLatin1(c.told)));
        else
            controller(3);
        scripted.clearMessages();
        auto* w = ui::forms::load<Frmdoors>();
        w->Cdoor->setCurrentIndex(w->Cdoor->findText("3"));
        w->Cdoor_Click();
        EXPECT_EQ(w->ListView1->findItems(QString::fromUtf8(c.read), Qt::MatchExactly).size(), 1);
        w->CmdSetTime_Click();
        EXPECT_TRUE(ui::forms::isLoaded<FrmSetTime>());
        const QStringList shown = messageTexts();
        if (c.warned)
            EXPECT_TRUE(shown.size() == 1 && shown[0].startsWith(mismatch)) << shown.join('\n').toStdString();
        else
            EXPECT_TRUE(shown.isEmpty()) << shown.join('\n').toStdString();
        ui::forms::unloadAll();
    }
}

} // namespace
