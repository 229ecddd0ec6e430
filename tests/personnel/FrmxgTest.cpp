// The employee window: lookup, photo, the lists, adding, modifying,
// deleting and exporting employees, the key rules of the fields.
#include "WindowBench.h"
#include "XlsxSheet.h"

#include "ActiveBar.h"
#include "AppForms.h"
#include "Frmxg.h"
#include "Globals.h"
#include "MenuWindow.h"
#include "db/RecordsetModel.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QStatusBar>
#include <QTableView>

namespace {

// The smallest GIF: Qt reads GIF files but does not write them.
const QByteArray kGif = QByteArray::fromBase64("R0lGODlhAQABAIAAAP///wAAACH5BAEAAAAALAAAAAABAAEAAAICRAEAOw==");

class FrmxgTest : public WindowBench {
protected:
    void SetUp() override
    {
        WindowBench::SetUp();
        addDepartment("销售部");
        addDepartment("R&D's");
    }

    Frmxg* load() { return ui::forms::load<Frmxg>(); }

    void person(const QString& number, const QString& name, const QString& department,
                const QVariant& photo = QVariant())
    {
        exec("insert into people (卡号, 姓名, 部门, 职务, sex, birthday, marriage, tel, hukou, nation, 身份证号, 照片) "
             "values (?, ?, ?, '职员', '男', '1980-02-03', '否', '5551234', '上海', '汉', '310000198002030011', ?)",
             {number, name, department, photo});
    }

    // A picture file of the given format in the program folder.
    QString picture(const QString& file)
    {
        const QString path = folder() + file;
        if (file.endsWith(".gif")) {
            QFile f(path);
            EXPECT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(kGif);
        } else {
            QImage image(4, 3, QImage::Format_RGB32);
            image.fill(Qt::red);
            EXPECT_TRUE(image.save(path));
        }
        return path;
    }

    int gridRows(Frmxg* w) const { return w->DGshow->model()->rowCount(); }
    QStringList gridHeaders(Frmxg* w) const
    {
        QStringList out;
        for (int c = 0; c < w->DGshow->model()->columnCount(); ++c)
            out << w->DGshow->model()->headerData(c, Qt::Horizontal).toString();
        return out;
    }

    // Selects employees of the list by number, as the operator clicks them.
    void pick(Frmxg* w, const QStringList& numbers)
    {
        w->LstDepart->setCurrentRow(0);
        w->LstDepart_Click();
        w->LstEmpInfo->clearSelection();
        for (int i = 0; i < w->LstEmpInfo->count(); ++i)
            if (numbers.contains(w->LstEmpInfo->item(i)->text().left(8)))
                w->LstEmpInfo->item(i)->setSelected(true);
        w->LstEmpInfo_Click();
    }

    bool focusIn(Frmxg* w, QWidget* control) const
    {
        QWidget* f = w->focusWidget();
        return f && (f == control || control->isAncestorOf(f));
    }
};

TEST_F(FrmxgTest, LookupByNumberAndByPartOfName)
{
    person("00000001", "张三丰", "销售部");
    person("00000002", "张无忌", "销售部");
    person("00000003", "O'Hara", "R&D's");
    auto* w = load();
    struct Case {
        QString number, name;
        QString shown;   // Tkh afterwards, empty when nothing matched
        int rows;
    } cases[] = {
        {"", "", "00000001", 3},        {"00000002", "", "00000002", 1}, {"", "张", "00000001", 2},
        {"", "'Ha", "00000003", 1},     {"00000003", "张", "", 0},       {" ", "", "", 0},
        {"", " ", "00000001", 3},       {"0000000", "", "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE((c.number + "|" + c.name).toStdString());
        w->Txt_Search_Name->setText(c.name);
        w->Txt_Search_EmpID->setText(c.number);
        w->EditMode = 3;
        w->CmdSearch_Click();
        EXPECT_EQ(w->EditMode, 0);
        EXPECT_EQ(w->Tkh->text(), c.shown);
        if (c.rows) {
            EXPECT_EQ(gridRows(w), c.rows);
            EXPECT_EQ(gridHeaders(w).size(), 11);
        } else {
            EXPECT_EQ(w->statusText(), "查无数据！");
            EXPECT_EQ(gridHeaders(w), QStringList{"卡号"});
            EXPECT_EQ(w->Txm->text(), "");
        }
    }
    w->Txt_Search_Name->clear();
    w->Txt_Search_EmpID->setText("00000003");
    EXPECT_EQ(w->Txm->text(), "O'Hara");
    EXPECT_EQ(w->Cbm->currentText(), "R&D's");
    EXPECT_EQ(w->DTPicker2->date(), QDate(1980, 2, 3));
    EXPECT_EQ(w->Tid->text(), "310000198002030011");
}

TEST_F(FrmxgTest, PhotosOfEachFormatAreShownAndAMissingOneIsReported)
{
    struct Case {
        QString photo;
        QString status;
        bool shown;
    } cases[] = {
        {picture("a.jpg"), "", true},
        {picture("b.gif"), "", true},
        {picture("c.bmp"), "", true},
        {folder() + "nofolder/d.jpg", "相片不存在！", false},
        {folder() + "e.jpg", "错误提示：53:文件未找到", false},
    };
    person("00000009", "其他", "销售部");
    auto* w = load();
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.photo.toStdString());
        const QString number = QString("%1").arg(++n, 8, 10, QChar('0'));
        person(number, "员工" + number, "销售部", c.photo);
        w->Txt_Search_EmpID->clear();
        w->CmdSearch_Click();   // everybody: the grid holds every row
        w->Picture1->clear();
        w->Txt_Search_EmpID->setText(number);
        EXPECT_EQ(w->Txm->text(), "员工" + number);
        EXPECT_EQ(w->Tnation->text(), "汉");
        EXPECT_EQ(!w->Picture1->pixmap().isNull(), c.shown);
        if (!c.status.isEmpty()) {
            EXPECT_EQ(w->statusText(), c.status);
            EXPECT_EQ(gridRows(w), n + 1) << "the grid keeps its previous rows";
        } else {
            EXPECT_EQ(gridRows(w), 1);
        }
    }
}

TEST_F(FrmxgTest, AddRefusesIncompleteRecordsAndKeepsAdding)
{
    person("00000001", "张三", "销售部");
    auto* w = load();
    struct Case {
        QString number, name, department, position;
        QString status;
        QWidget* focus;
    } cases[] = {
        {"", "李四", "销售部", "职员", "卡号不能空！", w->Tkh},
        {"1234567", "李四", "销售部", "职员", "卡号必须为八位的数字或者字母！", w->Tkh},
        {"1234567a", "李四", "销售部", "职员", "卡号必须为八位的数字或者字母！", w->Tkh},   // pasted
        {"1234.678", "李四", "销售部", "职员", "卡号必须为八位的数字或者字母！", w->Tkh},
        {"12345678", "", "销售部", "职员", "姓名不能留空！", w->Txm},
        {"12345678", "李四", "", "职员", "请选择部门！", w->Cbm},
        {"12345678", "李四", "销售部", "", "请选择职务！", w->tzw},
        {"00000001", "李四", "销售部", "职员", "卡号：00000001已经存在！", nullptr},
    };
    w->show();
    w->activateWindow();
    w->Toolbar1_ButtonClick(1);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.status.toStdString());
        w->Txm->setFocus();
        w->Tkh->setText(c.number);
        w->Txm->setText(c.name);
        w->Cbm->setEditText(c.department);
        w->tzw->setEditText(c.position);
        w->Toolbar1_ButtonClick(5);
        EXPECT_EQ(w->statusText(), c.status);
        EXPECT_EQ(w->EditMode, 1);
        EXPECT_TRUE(w->toolButton(5)->isEnabled());
        EXPECT_FALSE(w->toolButton(1)->isEnabled());
        if (c.focus) {
            EXPECT_TRUE(focusIn(w, c.focus));
        }
    }
    EXPECT_EQ(w->Tkh->text(), "") << "a stored number is emptied";
    EXPECT_EQ(value("select count(*) from people").toInt(), 1);
}

TEST_F(FrmxgTest, AddStoresEveryColumnWithTheBirthdayAsADate)
{
    auto* w = load();
    w->Toolbar1_ButtonClick(1);
    w->Tkh->setText("00000007");
    w->Txm->setText("O'Hara");
    w->Cbm->setEditText("R&D's");
    w->tzw->setEditText("工程师");
    w->Csex->setEditText("女");
    w->DTPicker2->setDate(QDate(1990, 5, 6));
    w->Tma->setEditText("是");
    w->Ttel->setText("+86 21-5555");
    w->Thukou->setText("江苏");
    w->Tnation->setText("汉");
    w->Tid->setText("320000199005060022");
    const QString photo = picture("p.jpg");
    scripted.queueFile(photo);
    w->Command5_Click();
    w->Toolbar1_ButtonClick(5);

    EXPECT_EQ(w->statusText(), "卡号：00000007,保存成功!");
    EXPECT_EQ(rows("select * from people"),
              (QList<QVariantList>{{"00000007", "O'Hara", "R&D's", "320000199005060022", "工程师", "", "女",
                                    "1990-05-06", "是", "+86 21-5555", "江苏", "", "", "汉", "", "", "", "", "",
                                    "", "", "", photo}}));
    EXPECT_EQ(gridRows(w), 1);
    EXPECT_EQ(gridHeaders(w).first(), "员工号");
    EXPECT_EQ(w->EditMode, 0);
    EXPECT_TRUE(w->toolButton(1)->isEnabled());
    EXPECT_FALSE(w->toolButton(5)->isEnabled());
    EXPECT_EQ(w->LstEmpInfo->count(), 0) << "the list is not refreshed";

    // The next new employee does not inherit the photo chosen for this one.
    w->Toolbar1_ButtonClick(1);
    w->Tkh->setText("00000008");
    w->Tid->setText(QString(25, '9'));   // pasted: cut where typing stops
    w->Toolbar1_ButtonClick(5);
    EXPECT_EQ(value("select 照片 from people where 卡号='00000008'").toString(), "");
    EXPECT_EQ(value("select 身份证号 from people where 卡号='00000008'").toString(), QString(18, '9'));
}

TEST_F(FrmxgTest, ModifyKeepsTheStoredPhotoUnlessOneWasChosenForThisRecord)
{
    const QString a = picture("a.jpg"), b = picture("b.bmp"), c = picture("c.gif");
    person("00000001", "张三", "销售部", a);
    person("00000002", "李四", "销售部", b);
    auto* w = load();

    // A photo chosen while 张三 is shown is not given to 李四.
    pick(w, {"00000001"});
    scripted.queueFile(c);
    w->Command5_Click();
    EXPECT_EQ(w->PhotoPath, c);
    pick(w, {"00000002"});
    w->Toolbar1_ButtonClick(3);
    w->Txm->setText(" 李四四 ");
    w->DTPicker2->setDate(QDate(1985, 12, 31));
    w->Toolbar1_ButtonClick(5);
    EXPECT_EQ(w->statusText(), "卡号：00000002,更新成功!");
    EXPECT_EQ(rows("select 姓名, birthday, 照片 from people where 卡号='00000002'"),
              (QList<QVariantList>{{"李四四", "1985-12-31", b}}));

    // Chosen for this record: stored. A cancelled dialog changes nothing.
    pick(w, {"00000001"});
    w->Toolbar1_ButtonClick(3);
    scripted.queueFile(c);
    w->Command5_Click();
    scripted.queueFile("");
    w->Command5_Click();
    w->Toolbar1_ButtonClick(5);
    EXPECT_EQ(value("select 照片 from people where 卡号='00000001'").toString(), c);
    EXPECT_EQ(value("select 照片 from people where 卡号='00000002'").toString(), b);

    w->Toolbar1_ButtonClick(3);
    w->Tkh->setText("00000005");
    w->Toolbar1_ButtonClick(5);
    EXPECT_EQ(w->statusText(), "卡号不存在！");
    EXPECT_EQ(w->EditMode, 3);
}

// What the operator did not change keeps its stored value: a Null birthday,
// an identity number stored longer than typing allows.
TEST_F(FrmxgTest, ModifyKeepsANullBirthdayUnlessADateWasSet)
{
    person("00000001", "张三", "销售部");   // born 1980-02-03
    person("00000002", "李四", "销售部");
    const QString longId = QString(25, '1');
    const struct {
        const char* what;
        QDate set;   // set by the operator while modifying, or none
        QVariant stored;
        QString id;   // pasted by the operator, or none
        QString storedId;
    } cases[] = {
        {"the picker still shows the employee shown before", QDate(), QVariant(), {}, longId},
        {"a date set by the operator", QDate(1985, 12, 31), "1985-12-31", QString(21, '9'), QString(18, '9')},
    };
    auto* w = load();
    for (const auto& c : cases) {
        exec("update people set birthday=NULL, 身份证号=? where 卡号='00000002'", {longId});
        pick(w, {"00000001"});
        EXPECT_EQ(w->DTPicker2->date(), QDate(1980, 2, 3)) << c.what;
        pick(w, {"00000002"});
        w->Toolbar1_ButtonClick(3);
        w->Ttel->setText("5550000");
        if (c.set.isValid())
            w->DTPicker2->setDate(c.set);
        if (!c.id.isEmpty())
            w->Tid->setText(c.id);
        w->Toolbar1_ButtonClick(5);
        EXPECT_EQ(w->statusText(), "卡号：00000002,更新成功!") << c.what;
        EXPECT_EQ(rows("select tel, birthday, 身份证号 from people where 卡号='00000002'"),
                  (QList<QVariantList>{{"5550000", c.stored, c.storedId}}))
            << c.what;
    }
    EXPECT_EQ(value("select birthday from people where 卡号='00000001'").toString(), "1980-02-03");
}

TEST_F(FrmxgTest, DeletingSelectedPeopleLeavesTheirIssuedCards)
{
    for (int i = 1; i <= 4; ++i)
        person(QString("0000000%1").arg(i), QString("员工%1").arg(i), "销售部");
    exec("insert into dfaka (地址, 卡号, 物理卡号, 姓名, 部门) values (1, '00000002', '0000001002', '员工2', '销售部')");
    auto* w = load();
    w->Toolbar1_ButtonClick(9);
    EXPECT_EQ(w->statusText(), "请选择人员再按删除！");

    pick(w, {"00000001", "00000002", "00000004"});
    EXPECT_EQ(w->statusText(), "选中人数：3");
    EXPECT_EQ(gridRows(w), 3);
    scripted.queueAnswer(ui::mb::Cancel);
    w->Toolbar1_ButtonClick(9);
    EXPECT_EQ(w->statusText(), "删除人事资料,失败");
    EXPECT_EQ(value("select count(*) from people").toInt(), 4);

    scripted.queueAnswer(ui::mb::OK);
    w->Toolbar1_ButtonClick(9);
    EXPECT_EQ(scripted.messages.last().text, "确定需要删除这[ 3 ]个人的人事资料吗？");
    EXPECT_EQ(scripted.messages.last().title, "信息提示");
    EXPECT_EQ(w->statusText(), "删除3个人的人事资料,成功");
    EXPECT_EQ(rows("select 卡号 from people"), (QList<QVariantList>{{"00000003"}}));
    EXPECT_EQ(value("select count(*) from dfaka").toInt(), 1);
    EXPECT_EQ(w->LstEmpInfo->count(), 1);
    EXPECT_EQ(gridHeaders(w), QStringList{"卡号"});
    EXPECT_EQ(gridRows(w), 0);
    EXPECT_EQ(w->Tkh->text(), "");
}

TEST_F(FrmxgTest, ExportWritesTheGridAsShown)
{
    QTemporaryDir tmp;
    const QByteArray oldTmp = qgetenv("TMPDIR");
    qputenv("TMPDIR", tmp.path().toUtf8());
    person("00000001", "张三", "销售部");
    person("00000002", "O'Hara", "R&D's");
    auto* w = load();
    w->CmdSearch_Click();
    w->Toolbar1_ButtonClick(13);
    EXPECT_EQ(w->statusText(), "输出成功！");
    ASSERT_EQ(scripted.opened.size(), 1);
    auto cells = readXlsxSheet(scripted.opened[0]);
    EXPECT_EQ(cells.value("A1").text, "员工号");
    EXPECT_EQ(cells.value("K1").text, "性别");
    EXPECT_EQ(cells.value("A2").text, "00000001");
    EXPECT_EQ(cells.value("B3").text, "O'Hara");
    EXPECT_EQ(cells.value("C3").text, "R&D's");
    EXPECT_EQ(cells.value("D2").text, "1980-02-03");

    w->Toolbar1_ButtonClick(11);   // an empty grid has nothing to export
    w->Toolbar1_ButtonClick(13);
    EXPECT_EQ(w->statusText(), "没有数据可导出");
    qputenv("TMPDIR", oldTmp);
}

TEST_F(FrmxgTest, TypedNumberLooksTheEmployeeUpAndKeysFollowTheRules)
{
    person("00000002", "李四", "销售部");
    auto* w = load();
    w->show();
    w->activateWindow();
    struct Case {
        QString text;
        int key;
        int passed;      // the key as it reaches the box
        QString name;    // Txm afterwards
        bool movesOn;
    } cases[] = {
        {"0000000", '2', '2', "", false},
        {"0000000", 'a', 0, "", false},
        {"0000000", 13, 0, "", true},
        {"00000002", '5', 0, "李四", true},
        {"00000002", 8, 8, "", false},
        {"00000003", 13, 0, "", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE((c.text + "+" + QString::number(c.key)).toStdString());
        w->Txm->clear();
        w->Tkh->setText(c.text);
        w->Tkh->setFocus();
        int key = c.key;
        w->Tkh_KeyPress(key);
        EXPECT_EQ(key, c.passed);
        EXPECT_EQ(w->Txm->text(), c.name);
        EXPECT_EQ(!focusIn(w, w->Tkh), c.movesOn);
    }

    // Through the keyboard: a letter never reaches the number box.
    w->Tkh->setText("123");
    QKeyEvent letter(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a");
    QCoreApplication::sendEvent(w->Tkh, &letter);
    EXPECT_EQ(w->Tkh->text(), "123");
    for (QWidget* box : {static_cast<QWidget*>(w->Cbm), static_cast<QWidget*>(w->DTPicker2)}) {
        box->setFocus();
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, "\r");
        QCoreApplication::sendEvent(box, &enter);
        EXPECT_FALSE(focusIn(w, box)) << box->objectName().toStdString();
    }

    // The identity number takes 18 characters, then moves on.
    w->Tid->setText(QString(18, '1'));
    w->Tid->setFocus();
    int key = '2';
    w->Tid_KeyPress(key);
    EXPECT_EQ(key, 0);
    EXPECT_FALSE(focusIn(w, w->Tid));
    w->Ttel->clear();
    w->Ttel->setFocus();
    key = 8;
    w->Field_KeyPress(w->Ttel, key);
    EXPECT_EQ(key, 8);
    EXPECT_FALSE(focusIn(w, w->Ttel)) << "Backspace in an empty field goes back";
}

TEST_F(FrmxgTest, SearchBoxClearsUntilEightCharactersAndASearchEndsTheEdit)
{
    person("00000002", "李四", "销售部");
    auto* w = load();
    w->Toolbar1_ButtonClick(1);
    w->Tkh->setText("00000009");
    w->Txm->setText("新人");
    w->Txt_Search_EmpID->setText("0000000");
    EXPECT_EQ(w->Txm->text(), "");
    EXPECT_EQ(w->Tkh->text(), "");
    w->Txt_Search_EmpID->setText("00000002");
    EXPECT_EQ(w->Txm->text(), "李四");
    EXPECT_EQ(w->EditMode, 0);
    EXPECT_TRUE(w->toolButton(5)->isEnabled());
    w->Toolbar1_ButtonClick(5);
    EXPECT_FALSE(w->toolButton(5)->isEnabled());
    EXPECT_EQ(value("select count(*) from people").toInt(), 1);
}

TEST_F(FrmxgTest, LoadFillsTheListsAndWarnsWithoutDepartments)
{
    exec("insert into Dict_Pub (PubItem, SubItem, ParID) values ('门禁系统', '职位', 0)");
    exec("insert into Dict_Pub (PubItem, SubItem, ParID) select '职位', '经理', ChiID from Dict_Pub where "
         "SubItem='职位'");
    auto* w = load();
    EXPECT_EQ(w->LstDepart->item(0)->text(), "所有部门");
    EXPECT_EQ(w->Cbm->count(), 3);
    EXPECT_EQ(w->tzw->count(), 2);
    EXPECT_EQ(w->tzw->itemText(1), "经理");
    EXPECT_TRUE(scripted.messages.isEmpty());

    ui::forms::unload<Frmxg>();
    exec("delete from department");
    w = load();
    EXPECT_EQ(messageTexts(), QStringList{"请先对部门进行设置"});
    EXPECT_EQ(w->Cbm->count(), 1);
}

TEST_F(FrmxgTest, MainWindowToolsOpenBothWindows)
{
    ui::forms::setModalHandler([](ui::Form& f) { f.unloadForm(); });
    menu* m = ui::forms::load<menu>();
    scripted.clearMessages();
    for (int tool : {15, 18}) {
        EXPECT_TRUE(m->ActiveBar1->isUsable(tool)) << tool;
        m->ActiveBar1->clickTool(tool);
    }
    EXPECT_EQ(ui::forms::modalShows(), (QStringList{"Frmbm", "Frmxg"}));
    ui::forms::setModalHandler(nullptr);
}

TEST_F(FrmxgTest, ResizingScalesEveryControlAndComesBackExactly)
{
    auto* w = load();
    w->show();
    const QSize design = w->size();
    QList<QWidget*> controls;
    for (QWidget* c : w->findChildren<QWidget*>())
        if (!c->objectName().isEmpty() && !c->objectName().startsWith("qt_") && c->parentWidget()
            && !c->parentWidget()->layout() && c->parentWidget() != static_cast<QWidget*>(w->StatusBar1))
            controls << c;
    QList<QRect> before;
    for (QWidget* c : controls)
        before << c->geometry();
    w->resize(design * 2);
    EXPECT_EQ(w->Tkh->geometry(), QRect(before[controls.indexOf(w->Tkh)].topLeft() * 2,
                                        before[controls.indexOf(w->Tkh)].size() * 2));
    EXPECT_EQ(w->findChild<QLabel*>("Label员工姓名：")->x(), 2 * 230) << "labels move with their fields";
    w->resize(design);
    for (int i = 0; i < controls.size(); ++i)
        EXPECT_EQ(controls[i]->geometry(), before[i]) << controls[i]->objectName().toStdString();
}

} // namespace
