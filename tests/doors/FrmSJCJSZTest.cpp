// The collection schedule: the single cjtype row, the globals and the main
// window's timer.
#include "WindowBench.h"

#include "FrmSJCJSZ.h"
#include "Globals.h"
#include "MenuWindow.h"

#include <QLabel>
#include <QRadioButton>
#include <QTimeEdit>
#include <QTimer>

namespace {

class FrmSJCJSZTest : public WindowBench {};

TEST_F(FrmSJCJSZTest, SavesOneRowAndSwitchesTheMainTimer)
{
    exec("DELETE FROM cjtype");
    menu* m = ui::forms::load<menu>();
    ASSERT_NE(m, nullptr);
    FrmSJCJSZ* w = ui::forms::load<FrmSJCJSZ>();
    EXPECT_TRUE(w->Label2->isHidden());
    w->Opt1[0]->setChecked(true);
    w->Opt1_Click(0);
    w->DTP1->setTime(QTime(7, 5, 41));
    w->Command1_Click();
    EXPECT_FALSE(ui::forms::isLoaded<FrmSJCJSZ>());
    EXPECT_EQ(rows("SELECT 采集类型, 采集时间 FROM cjtype"), (QList<QVariantList>{{1, "07:05"}}));
    EXPECT_EQ(mdl::GatherType, 1);
    EXPECT_EQ(mdl::GatherTime, "07:05");
    EXPECT_TRUE(m->Timer1->isActive());

    w = ui::forms::load<FrmSJCJSZ>();
    EXPECT_EQ(w->Label2->text(), "上次设定的时间：  07:05:00");
    EXPECT_TRUE(w->Opt1[0]->isChecked());
    w->Opt1[1]->setChecked(true);
    w->Opt1_Click(1);
    EXPECT_FALSE(w->DTP1->isEnabled());
    w->Command1_Click();
    EXPECT_EQ(rows("SELECT 采集类型, 采集时间 FROM cjtype"), (QList<QVariantList>{{0, "0"}}));
    EXPECT_EQ(mdl::GatherTime, "0");
    EXPECT_FALSE(m->Timer1->isActive());

    w = ui::forms::load<FrmSJCJSZ>();
    EXPECT_TRUE(w->Opt1[1]->isChecked());
    EXPECT_FALSE(w->DTP1->isEnabled());
    EXPECT_EQ(w->Label2->text(), "上次设定的时间：  0:00");
    w->Opt1[0]->setChecked(true);
    w->Opt1_Click(0);
    EXPECT_TRUE(w->DTP1->isEnabled());
    w->Command2_Click();   // cancel: nothing stored
    EXPECT_EQ(rows("SELECT 采集类型, 采集时间 FROM cjtype"), (QList<QVariantList>{{0, "0"}}));
    EXPECT_EQ(mdl::GatherType, 0);
}

} // namespace
