#include "Frmbm.h"

#include "AppForms.h"
#include "ControllerCalls.h"
#include "Globals.h"
#include "ReturnBook.h"
#include "runtime/RuntimeError.h"
#include "ui/KeyPress.h"
#include "ui/RunGuard.h"
#include "ui/Ui.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabBar>

namespace {

const QString kInfoTitle = QStringLiteral("信息提示");
const QString kPosition = QStringLiteral("职位");

void showError(const rt::Error& e, const QString& title = kInfoTitle)
{
    ui::msgBox(e.text(), ui::mb::OKOnly, title);
}

QPushButton* button(const QString& caption, const char* name, QWidget* parent, int x, int y)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setGeometry(x, y, 90, 26);
    return b;
}

// A column the withdrawal cannot do without: Null is error 94.
QString required(const db::Recordset& rs, const QString& field)
{
    const QVariant v = rs.field(field);
    if (db::isNull(v))
        rt::raise(rt::ErrInvalidUseOfNull);
    return db::text(v);
}

} // namespace

Frmbm::Frmbm(QWidget* parent)
    : ui::Form(parent)
{
    setObjectName(QStringLiteral("Frmbm"));
    setWindowTitle(QStringLiteral("部门职务管理"));
    setFixedSize(420, 330);

    TabStrip1 = new QTabBar(this);
    TabStrip1->setObjectName(QStringLiteral("TabStrip1"));
    TabStrip1->addTab(QStringLiteral("部门管理"));
    TabStrip1->addTab(QStringLiteral("职务管理"));
    TabStrip1->setGeometry(8, 8, 404, 26);

    struct Side {
        QGroupBox*& frame;
        const char* frameName;
        QString caption;
        QListWidget*& list;
        const char* listName;
        QLineEdit*& edit;
        const char* editName;
        QLabel*& label;
        const char* labelName;
    };
    for (const Side& s : {Side{Frame1, "Frame1", QStringLiteral("部门"), List1, "List1", Tbm, "Tbm", LabelMessage, "LabelMessage"},
                          Side{Frame2, "Frame2", QStringLiteral("职务"), List2, "List2", tzw, "tzw", LabelMessage2,
                               "LabelMessage2"}}) {
        s.frame = new QGroupBox(s.caption, this);
        s.frame->setObjectName(QLatin1String(s.frameName));
        s.frame->setGeometry(8, 36, 404, 286);
        s.list = new QListWidget(s.frame);
        s.list->setObjectName(QLatin1String(s.listName));
        s.list->setSelectionMode(QAbstractItemView::SingleSelection);
        s.list->setGeometry(10, 22, 180, 220);
        s.edit = new QLineEdit(s.frame);
        s.edit->setObjectName(QLatin1String(s.editName));
        s.edit->setMaxLength(30);
        s.edit->setGeometry(200, 22, 190, 24);
        s.label = new QLabel(s.frame);
        s.label->setObjectName(QLatin1String(s.labelName));
        s.label->setGeometry(10, 252, 384, 24);
    }
    Cmdadd = button(QStringLiteral("添加"), "Cmdadd", Frame1, 200, 60);
    Cmdch = button(QStringLiteral("修改"), "Cmdch", Frame1, 300, 60);
    Cmddel = button(QStringLiteral("删除"), "Cmddel", Frame1, 200, 94);
    Command1 = button(QStringLiteral("清空"), "Command1", Frame1, 300, 94);
    CmdExit = button(QStringLiteral("退出"), "CmdExit", Frame1, 300, 128);
    cmdadd2 = button(QStringLiteral("添加"), "cmdadd2", Frame2, 200, 60);
    Cmdch2 = button(QStringLiteral("修改"), "Cmdch2", Frame2, 300, 60);
    Cmddel2 = button(QStringLiteral("删除"), "Cmddel2", Frame2, 200, 94);
    Command2 = button(QStringLiteral("清空"), "Command2", Frame2, 300, 94);
    Cmdexit2 = button(QStringLiteral("退出"), "Cmdexit2", Frame2, 300, 128);

    connect(TabStrip1, &QTabBar::tabBarClicked, this, [this](int i) {
        TabStrip1->setCurrentIndex(i);
        TabStrip1_Click();
    });
    connect(List1, &QListWidget::itemClicked, this, &Frmbm::List1_Click);
    connect(List2, &QListWidget::itemClicked, this, &Frmbm::List2_Click);
    ui::onKeyPress(Tbm, [this](int& k) { Tbm_KeyPress(k); });
    connect(Cmdadd, &QPushButton::clicked, this, &Frmbm::Cmdadd_Click);
    connect(Cmdch, &QPushButton::clicked, this, &Frmbm::Cmdch_Click);
    connect(Cmddel, &QPushButton::clicked, this, &Frmbm::Cmddel_Click);
    connect(Command1, &QPushButton::clicked, this, &Frmbm::Command1_Click);
    connect(CmdExit, &QPushButton::clicked, this, &Frmbm::CmdExit_Click);
    connect(cmdadd2, &QPushButton::clicked, this, &Frmbm::cmdadd2_Click);
    connect(Cmdch2, &QPushButton::clicked, this, &Frmbm::Cmdch2_Click);
    connect(Cmddel2, &QPushButton::clicked, this, &Frmbm::Cmddel2_Click);
    connect(Command2, &QPushButton::clicked, this, &Frmbm::Command2_Click);
    connect(Cmdexit2, &QPushButton::clicked, this, &Frmbm::Cmdexit2_Click);
}

void Frmbm::Form_Load()
{
    ViewDepart();
    ViewZW();
    Frame2->setVisible(false);
    Frame1->setVisible(true);
}

void Frmbm::TabStrip1_Click()
{
    if (TabStrip1->currentIndex() + 1 == 2) {
        Frame2->setVisible(true);
        Frame1->setVisible(false);
        LabelMessage2->clear();
    } else {
        Frame2->setVisible(false);
        Frame1->setVisible(true);
        LabelMessage->clear();
    }
}

void Frmbm::ViewDepart()
{
    try {
        List1->clear();
        db::Recordset rs = mdl::AdoConnection.execute(QStringLiteral("select distinct 部门 from department order by 部门"));
        for (; !rs.eof(); rs.moveNext())
            List1->addItem(required(rs, QStringLiteral("部门")));
    } catch (const rt::Error& e) {
        showError(e);
    }
}

void Frmbm::ViewZW()
{
    try {
        List2->clear();
        db::Recordset rs = mdl::AdoConnection.execute(
            QStringLiteral("select SubItem from Dict_Pub where ParID=(select ChiID from Dict_Pub where SubItem=? and "
                           "ParID=0 order by ChiID limit 1) order by ChiID"),
            {kPosition});
        if (rs.recordCount() == 0)
            LabelMessage2->setText(QStringLiteral("还没有设置职务"));
        for (; !rs.eof(); rs.moveNext())
            List2->addItem(required(rs, QStringLiteral("SubItem")));
    } catch (const rt::Error& e) {
        showError(e);
    }
}

void Frmbm::List1_Click()
{
    if (QListWidgetItem* i = List1->currentItem())
        Tbm->setText(i->text());
}

void Frmbm::List2_Click()
{
    if (QListWidgetItem* i = List2->currentItem())
        tzw->setText(i->text());
}

void Frmbm::Tbm_KeyPress(int& KeyAscii)
{
    // The Enter itself still reaches the box.
    if (KeyAscii == ui::kEnter)
        ui::sendTab(Tbm);
}

void Frmbm::Command1_Click()
{
    LabelMessage->clear();
    Tbm->clear();
}

void Frmbm::Command2_Click()
{
    LabelMessage2->clear();
    tzw->clear();
}

void Frmbm::CmdExit_Click() { unloadForm(); }
void Frmbm::Cmdexit2_Click() { unloadForm(); }

qint64 Frmbm::positionRoot()
{
    const QString find = QStringLiteral("select ChiID from Dict_Pub where SubItem=? and ParID=0 order by ChiID");
    db::Recordset rs = mdl::AdoConnection.execute(find, {kPosition});
    if (rs.eof()) {
        mdl::AdoConnection.execute(QStringLiteral("insert into Dict_Pub(PubItem,SubItem,ParID) values (?,?,0)"),
                                   {QStringLiteral("门禁系统"), kPosition});
        rs = mdl::AdoConnection.execute(find, {kPosition});
    }
    const QVariant id = rs.field(QStringLiteral("ChiID"));
    if (db::isNull(id))
        rt::raise(rt::ErrInvalidUseOfNull);
    return id.toLongLong();
}

Frmbm::Side Frmbm::departmentSide()
{
    Side s;
    s.list = List1;
    s.box = Tbm;
    s.label = LabelMessage;
    s.kind = QStringLiteral("部门");
    s.pickFirst = QStringLiteral("请选择要修改的部门");
    auto stored = [](const QString& name) {
        return !mdl::AdoConnection.execute(QStringLiteral("select distinct 部门 from department where 部门=?"), {name})
                    .eof();
    };
    s.addClash = stored;
    s.renameClash = stored;
    s.insert = [](const QString& name) {
        mdl::AdoConnection.execute(QStringLiteral("insert into department(部门) values (?)"), {name});
    };
    s.renames = {QStringLiteral("update department set 部门=? where 部门=?"),
                 QStringLiteral("update people set 部门=? where 部门=?")};
    s.refresh = [this] { ViewDepart(); };
    return s;
}

Frmbm::Side Frmbm::positionSide()
{
    Side s;
    s.list = List2;
    s.box = tzw;
    s.label = LabelMessage2;
    s.kind = kPosition;
    s.pickFirst = QStringLiteral("请选择要修改的职位名称");
    s.addClash = [this](const QString& name) {
        return !mdl::AdoConnection
                    .execute(QStringLiteral("select * from Dict_Pub where ParID=? and SubItem=?"), {positionRoot(), name})
                    .eof();
    };
    s.renameClash = [](const QString& name) {
        return !mdl::AdoConnection
                    .execute(QStringLiteral("select SubItem from Dict_Pub where PubItem=? and SubItem=?"),
                             {kPosition, name})
                    .eof();
    };
    s.insert = [this](const QString& name) {
        mdl::AdoConnection.execute(QStringLiteral("insert into Dict_Pub(PubItem,SubItem,ParID) values (?,?,?)"),
                                   {kPosition, name, positionRoot()});
    };
    s.renames = {QStringLiteral("update Dict_Pub set SubItem=? where PubItem='职位' and SubItem=?"),
                 QStringLiteral("update people set 职务=? where 职务=?")};
    s.refresh = [this] { ViewZW(); };
    return s;
}

void Frmbm::addName(const Side& s)
{
    s.label->clear();
    const QString name = s.box->text().trimmed();
    if (name.isEmpty()) {
        s.label->setText(QStringLiteral("请输入") + s.kind);
        return;
    }
    try {
        if (s.addClash(name)) {
            s.label->setText(QStringLiteral("该") + s.kind + QStringLiteral("已存在"));
        } else {
            s.insert(name);
            s.refresh();
            s.label->setText(QStringLiteral("添加 ") + s.box->text() + QStringLiteral(" 成功"));
            s.box->clear();
        }
        s.box->setFocus();
    } catch (const rt::Error& e) {
        showError(e);
    }
}

void Frmbm::renameName(const Side& s)
{
    s.label->clear();
    QListWidgetItem* selected = s.list->currentItem();
    if (!selected || !selected->isSelected()) {
        s.label->setText(s.pickFirst);
        return;
    }
    const QString oldName = selected->text().trimmed();
    const QString name = s.box->text().trimmed();
    if (name.isEmpty()) {
        s.label->setText(QStringLiteral("请输入") + s.kind);
        return;
    }
    try {
        if (s.renameClash(name)) {
            s.label->setText(QStringLiteral("该") + s.kind + QStringLiteral("已存在"));
            return;
        }
        // The name and the employees that hold it change together or not at all.
        db::Database& dao = mdl::DaoDatabase;
        dao.beginTrans();
        try {
            for (const QString& sql : s.renames)
                dao.execute(sql, {name, oldName});
            dao.commitTrans();
        } catch (...) {
            dao.rollback();
            throw;
        }
        s.refresh();
        s.label->setText(s.kind + QStringLiteral(" ") + s.box->text() + QStringLiteral(" 修改成功"));
        s.box->clear();
    } catch (const rt::Error& e) {
        showError(e);
    }
}

void Frmbm::Cmdadd_Click() { addName(departmentSide()); }
void Frmbm::Cmdch_Click() { renameName(departmentSide()); }
void Frmbm::cmdadd2_Click() { addName(positionSide()); }
void Frmbm::Cmdch2_Click() { renameName(positionSide()); }

void Frmbm::Cmddel2_Click()
{
    // The name comes from the box, not from the list; there is no question.
    const QString name = tzw->text().trimmed();
    try {
        db::Recordset rs = mdl::AdoConnection.execute(
            QStringLiteral("select SubItem from Dict_Pub where PubItem=? and SubItem=?"), {kPosition, name});
        if (!rs.eof()) {
            mdl::AdoConnection.execute(QStringLiteral("delete from Dict_Pub where PubItem=? and SubItem=?"),
                                       {kPosition, name});
            ViewZW();
            LabelMessage2->setText(QStringLiteral("删除 ") + tzw->text() + QStringLiteral(" 成功"));
            tzw->clear();
        } else {
            LabelMessage2->setText(QStringLiteral("职位 ") + tzw->text() + QStringLiteral(" 不存在"));
        }
    } catch (const rt::Error& e) {
        LabelMessage2->setText(QStringLiteral("删除 ") + tzw->text() + QStringLiteral(" 失败"));
        showError(e, QString());
    }
}

void Frmbm::Cmddel_Click()
{
    // The list and the box stay as they are while the cards are withdrawn,
    // and the end message names what was captured here in any case.
    ui::RunGuard run(this, {TabStrip1, List1, Tbm});
    if (!run)
        return;
    LabelMessage->clear();
    const QString typed = Tbm->text();
    const QString department = typed.trimmed();
    try {
        if (!ctl::openPort()) {
            ui::msgBox(QStringLiteral("串口打开失败！"), ui::mb::OKOnly, QStringLiteral("提示"));
            return;
        }
        if (List1->selectedItems().isEmpty()) {
            LabelMessage->setText(QStringLiteral("请选择要删除的部门"));
            return;
        }
        db::Recordset rs = mdl::AdoConnection.execute(
            QStringLiteral("select distinct 部门 from department where 部门=?"), {department});
        if (!rs.eof()) {
            if (ui::msgBox(QStringLiteral("是否要同时删除该部门的所有人员？"), ui::mb::YesNo, QStringLiteral("提示"))
                == ui::mb::Yes) {
                if (!withdrawCredentials(department))
                    return;
            } else {
                LabelMessage->setText(QStringLiteral("没有删除") + department + QStringLiteral("的人员！"));
            }
            mdl::AdoConnection.execute(QStringLiteral("delete from department where 部门=?"), {department});
        }
        ViewDepart();
        LabelMessage->setText(QStringLiteral("删除 ") + typed + QStringLiteral(" 成功"));
        Tbm->clear();
    } catch (const rt::Error& e) {
        showError(e);
    }
}

bool Frmbm::withdrawCredentials(const QString& department)
{
    // One snapshot: the deletes below do not change the rows walked.
    db::Recordset rs =
        mdl::AdoConnection.execute(QStringLiteral("select * from dfaka where 部门=? order by rowid"), {department});
    const int count = rs.recordCount();
    for (int i = 0; i < count; ++i, rs.moveNext()) {
        const QString physical = required(rs, QStringLiteral("物理卡号"));
        const int16_t address = db::cint(rs.field(QStringLiteral("地址")));
        const QString employee = required(rs, QStringLiteral("卡号"));
        const QString name = db::text(rs.field(QStringLiteral("姓名")));

        com::Args a{address, physical};
        const int16_t held = int16_t(mdl::Door.call(QStringLiteral("ClearName"), a).toLong());
        if (held < 0) {
            LabelMessage->setText(employee + QStringLiteral("号员工删除不成功！"));
            return false;
        }

        const QString today = ui::now().date().toString(QStringLiteral("yyyy-MM-dd"));
        if (returns::returnedOn(mdl::DaoDatabase, address, physical, today))
            ui::msgBox(employee + QStringLiteral("号卡今天已经在") + QString::number(address)
                           + QStringLiteral("号机退过卡！"),
                       ui::mb::OKCancel | ui::mb::Information, QStringLiteral("提示"));

        // Booked before the advice: a list re-sent from the advice's
        // windows no longer holds this credential.
        returns::bookReturn(mdl::DaoDatabase, {address, employee, physical, name, department, today}, department);

        if (held >= 100
            && ui::msgBox(QStringLiteral("退卡条数超过了100条，请先采集数据，再对") + QString::number(address)
                              + QStringLiteral("号机器进行重整！"),
                          ui::mb::OKCancel | ui::mb::Information, QStringLiteral("提示"))
                   == ui::mb::OK) {
            unsetCursor();
            appforms::open(QStringLiteral("FrmGatherData"));
            appforms::open(QStringLiteral("FrmFKZL"));
        }
        ui::sleepMs(mdl::CommandDelay);
    }
    return true;
}

OSTRELA_WINDOW(Frmbm);
