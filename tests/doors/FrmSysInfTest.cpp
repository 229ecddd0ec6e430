// The hardware information window and its "sysinf.ini".
#include "WindowBench.h"

#include "AboutWindow.h"
#include "FrmSysInf.h"
#include "Globals.h"
#include "runtime/Gbk.h"

#include <QFile>
#include <QListWidget>
#include <QPushButton>
#include <QTreeWidget>

namespace {

class FrmSysInfTest : public WindowBench {
protected:
    void SetUp() override
    {
        WindowBench::SetUp();
        addDoor(2);
        addDoor(7);
    }
    void writeSysInf(const QString& text) { ASSERT_TRUE(rt::writeGbkFile(folder() + "sysinf.ini", text)); }
    QStringList lines(FrmSysInf* w)
    {
        QStringList out;
        for (int i = 0; i < w->ListView1->count(); ++i)
            out << w->ListView1->item(i)->text();
        return out;
    }
    QTreeWidgetItem* node(FrmSysInf* w, int i) { return w->AdrView->topLevelItem(0)->child(i); }
};

TEST_F(FrmSysInfTest, EightLinesFromTheShippedFileForEveryAddress)
{
    ASSERT_TRUE(QFile::copy(OSTRELA_SHIPPED_SYSINF, folder() + "sysinf.ini"));
    FrmSysInf* w = ui::forms::load<FrmSysInf>();
    EXPECT_EQ(w->NodeCount, 3);
    w->AdrView_NodeClick(node(w, 0));
    const QStringList first = lines(w);
    ASSERT_EQ(first.size(), 8);
    EXPECT_EQ(first[0], " 地址：  2");
    EXPECT_EQ(first[6], " 星    期：Tuesday");
    EXPECT_EQ(FrmSysInf::imageOf(node(w, 0)), "ok");
    w->AdrView_NodeClick(node(w, 1));
    EXPECT_EQ(lines(w).mid(1), first.mid(1));   // the file is not per address
    EXPECT_EQ(FrmSysInf::imageOf(node(w, 0)), "info1");
    EXPECT_EQ(mdl::PortReady, 0);
}

TEST_F(FrmSysInfTest, ValuesWeekdaysAndShortFiles)
{
    const struct {
        const char* file;
        QStringList values;
        bool bom = false;   // saved by an editor that puts a byte-order mark in front
    } cases[] = {
        {"12,3,4,2026-12-08,09:30:00, 3 ,V1,2", {"12", "3", "4", "2026-12-08", "09:30:00", "Wednesday", "V12"}},
        {"12,3,4,2026-12-08,09:30:00,3,版本1", {"12", "3", "4", "2026-12-08", "09:30:00", "Wednesday", "版本1"}, true},
        {"1,2,3,d,t,8,v", {"1", "2", "3", "d", "t", "8", "v"}},
        {"1,2,3,d,t,5\n,v", {"1", "2", "3", "d", "t", "5\n", "v"}},   // only blanks are trimmed
        {"12,3", {"12", "3", "", "", "", "", ""}},
        {"", {"", "", "", "", "", "", ""}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        writeSysInf(QString::fromUtf8(c.file));
        if (c.bom) {
            QFile f(folder() + "sysinf.ini");
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(rt::kUtf8Bom + rt::toGbk(QString::fromUtf8(c.file)));
        }
        FrmSysInf* w = ui::forms::load<FrmSysInf>();
        w->AdrView_NodeClick(node(w, 1));
        const QStringList l = lines(w);
        ASSERT_EQ(l.size(), 8);
        QStringList values;
        const char* labels[7] = {" 打卡记录数：", " 锁一延时：", " 锁二延时：", " 日    期：", " 时    间：", " 星    期：",
                                 " 版 本 号："};
        for (int i = 0; i < 7; ++i) {
            EXPECT_TRUE(l[i + 1].startsWith(QString::fromUtf8(labels[i])));
            values << l[i + 1].mid(QString::fromUtf8(labels[i]).size());
        }
        EXPECT_EQ(values, c.values);
        ui::forms::unload<FrmSysInf>();
    }
}

TEST_F(FrmSysInfTest, MissingFileAndRootClick)
{
    FrmSysInf* w = ui::forms::load<FrmSysInf>();
    clearTrace();
    w->AdrView_NodeClick(w->AdrView->topLevelItem(0));
    EXPECT_EQ(members(), QStringList{"setport"});
    EXPECT_EQ(w->ListView1->count(), 0);
    w->AdrView_NodeClick(node(w, 0));
    EXPECT_EQ(lines(w), QStringList{"正在通信中,请稍后..."});
    EXPECT_EQ(FrmSysInf::imageOf(node(w, 0)), "info");
    clearTrace();
    w->exitclose_Click();
    EXPECT_EQ(members(), QStringList{"DestoryPort"});
}

TEST_F(FrmSysInfTest, TheAboutBoxOpensIt)
{
    frmabout* about = ui::forms::load<frmabout>();
    EXPECT_TRUE(about->Command1->isEnabled());
    QString shown;
    ui::forms::setModalHandler([&](ui::Form& f) { shown = f.objectName(); });
    about->Command1_Click();
    ui::forms::setModalHandler({});
    EXPECT_EQ(shown, "FrmSysInf");
}

} // namespace
