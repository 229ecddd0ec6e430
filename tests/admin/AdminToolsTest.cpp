// The main window's tools for the administration windows follow the
// operator's rights.
#include "WindowBench.h"

#include "ActiveBar.h"
#include "LoginWindow.h"
#include "MenuWindow.h"

#include <QLineEdit>

class AdminToolsTest : public WindowBench {};

TEST_F(AdminToolsTest, ToolsOpenForTheirRights)
{
    // tool, the right that governs it, the window it opens
    struct Case {
        int tool;
        int right;
        QString window;
    };
    const Case cases[] = {
        {9, 2, "frmsys"}, {10, 0, "FrmRigS"}, {16, 1, "FrmInit"}, {35, 10, "FrmDataBase"}, {36, 11, "sjkwf2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.window.toStdString());
        for (bool granted : {false, true}) {
            exec("DELETE FROM user WHERE sysname='op'");
            exec(QStringLiteral("INSERT INTO user (sysname, syspword, r%1) VALUES ('op', '7', ?)").arg(c.right),
                 {granted});
            auto* l = ui::forms::load<login>();
            l->Tuser->setText("op");
            l->tpasswd->setText("7");
            l->CmdOk_Click();
            menu* m = ui::forms::find<menu>();
            ASSERT_NE(m, nullptr);
            EXPECT_EQ(m->ActiveBar1->isUsable(c.tool), granted);
            if (granted) {
                ui::forms::modalShows().clear();
                ui::forms::setModalHandler([](ui::Form& f) { f.unloadForm(); });
                m->ActiveBar1_ToolClick(c.tool);
                EXPECT_EQ(ui::forms::modalShows(), QStringList{c.window});
            }
            ui::forms::unloadAll();
        }
    }
}
