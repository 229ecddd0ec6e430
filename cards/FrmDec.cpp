#include "FrmDec.h"

#include "AppForms.h"
#include "ControllerCalls.h"
#include "FormParts.h"
#include "Globals.h"
#include "Module1.h"
#include "ReturnBook.h"
#include "runtime/Conv.h"
#include "runtime/RuntimeError.h"
#include "ui/RunGuard.h"
#include "ui/Ui.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStatusBar>

namespace {

QLineEdit* labelledBox(QWidget* parent, const QString& label, const char* name, int x, int y)
{
    auto* l = new QLabel(label, parent);
    l->move(x, y + 4);
    auto* t = new QLineEdit(parent);
    t->setObjectName(QString::fromLatin1(name));
    t->setGeometry(x + 50, y, 104, 24);   // room for the caption in a larger type
    return t;
}

} // namespace

FrmDec::FrmDec(QWidget* parent)
    : ui::Form(parent)
{
    setObjectName(QStringLiteral("FrmDec"));
    setWindowTitle(QStringLiteral("压缩卡机"));
    resize(820, 560);

    LstDepart = formparts::multiSelectList(this, "LstDepart", QRect(12, 12, 150, 200));
    Frame5 = new QGroupBox(QStringLiteral("地址："), this);
    Frame5->setObjectName(QStringLiteral("Frame5"));
    Frame5->setGeometry(12, 220, 150, 200);
    LstAddr = formparts::multiSelectList(Frame5, "LstAddr", QRect(8, 20, 134, 172));

    Label5 = new QLabel(QStringLiteral("卡号             姓 名           物理卡号              地址"), this);
    Label5->setObjectName(QStringLiteral("Label5"));
    Label5->setGeometry(176, 12, 420, 20);
    LstInfo = formparts::multiSelectList(this, "LstInfo", QRect(176, 34, 420, 300));

    TxtDepart = labelledBox(this, QStringLiteral("部门："), "TxtDepart", 610, 34);
    TxtName = labelledBox(this, QStringLiteral("姓名："), "TxtName", 610, 66);
    TxtCardID = labelledBox(this, QStringLiteral("卡号："), "TxtCardID", 610, 98);

    ChkSpe = new QCheckBox(QStringLiteral("如果物理卡在机器中退卡失败时，您是否希望删除数据库的发卡名单？选是，则选上该项"), this);
    ChkSpe->setObjectName(QStringLiteral("ChkSpe"));
    ChkSpe->setGeometry(176, 340, 630, 24);

    cmdSelect = formparts::button(this, QStringLiteral("全选"), "cmdSelect", QRect(610, 140, 150, 28));
    CmdDelAddr = formparts::button(this, QStringLiteral("删除所选地址"), "CmdDelAddr", QRect(610, 176, 150, 28));
    CmdDelInfo = formparts::button(this, QStringLiteral("删除所选人员"), "CmdDelInfo", QRect(610, 212, 150, 28));
    CmdClear = formparts::button(this, QStringLiteral("清除日志"), "CmdClear", QRect(610, 248, 150, 28));
    Command2 = formparts::button(this, QStringLiteral("退出"), "Command2", QRect(610, 284, 150, 28));

    Label6 = new QLabel(QStringLiteral("日志："), this);
    Label6->setObjectName(QStringLiteral("Label6"));
    Label6->move(176, 372);
    ListLog = new ui::LogList(this);
    ListLog->setObjectName(QStringLiteral("ListLog"));
    ListLog->setGeometry(176, 392, 630, 130);

    Panel1 = formparts::statusBarWithPanel(this, StbInfo, "StbInfo", QRect(0, 532, 820, 26));

    connect(LstDepart, &QListWidget::itemSelectionChanged, this, &FrmDec::LstDepart_Click);
    connect(LstAddr, &QListWidget::itemSelectionChanged, this, &FrmDec::LstAddr_Click);
    connect(LstInfo, &QListWidget::itemSelectionChanged, this, &FrmDec::LstInfo_Click);
    connect(cmdSelect, &QPushButton::clicked, this, &FrmDec::cmdSelect_Click);
    connect(CmdDelAddr, &QPushButton::clicked, this, &FrmDec::CmdDelAddr_Click);
    connect(CmdDelInfo, &QPushButton::clicked, this, &FrmDec::CmdDelInfo_Click);
    connect(CmdClear, &QPushButton::clicked, this, &FrmDec::CmdClear_Click);
    connect(Command2, &QPushButton::clicked, this, &FrmDec::Command2_Click);
}

QString FrmDec::statusText() const
{
    return Panel1->text();
}

void FrmDec::setStatus(const QString& text)
{
    Panel1->setText(text);
}

void FrmDec::Form_Load()
{
    try {
        Module1::FillDepartmentList(mdl::AdoConnection, LstDepart);
    } catch (const rt::Error&) {
    }
    try {
        db::Recordset rs = mdl::DaoDatabase.openRecordset(
            QStringLiteral("SELECT DISTINCT 地址 FROM doors ORDER BY CAST(地址 AS INTEGER)"));
        for (; !rs.eof(); rs.moveNext())
            LstAddr->addItem(rs.text(QStringLiteral("地址")));
    } catch (const rt::Error&) {
    }
}

void FrmDec::LstDepart_Click()
{
    const QList<QListWidgetItem*> selected = LstDepart->selectedItems();
    if (selected.isEmpty())
        return;
    const QSignalBlocker quiet(LstInfo);
    LstInfo->clear();
    if (selected.size() == 1) {
        TxtDepart->setText(selected.first()->text().trimmed());
        TxtName->clear();
        TxtCardID->clear();
    } else {
        TxtDepart->clear();
    }
    for (int i = 0; i < LstDepart->count(); ++i) {
        if (!LstDepart->item(i)->isSelected())
            continue;
        try {
            Module1::FillCardList(mdl::AdoConnection, LstInfo, LstDepart->item(i)->text());
        } catch (const rt::Error&) {
        }
    }
}

void FrmDec::LstAddr_Click()
{
    if (LstAddr->selectedItems().isEmpty())
        return;
    const QSignalBlocker quiet(LstInfo);
    try {
        for (int i = 0; i < LstAddr->count(); ++i) {
            if (!LstAddr->item(i)->isSelected())
                continue;
            LstInfo->clear();
            db::Recordset rs = mdl::AdoConnection.execute(
                QStringLiteral("SELECT * FROM dfaka WHERE 地址=? ORDER BY 卡号"), {rt::CInt(LstAddr->item(i)->text())});
            if (rs.eof())
                return;
            for (; !rs.eof(); rs.moveNext())
                LstInfo->addItem(Module1::CardListItem(rs));
        }
    } catch (const rt::Error&) {
    }
}

void FrmDec::LstInfo_Click()
{
    const QList<QListWidgetItem*> selected = LstInfo->selectedItems();
    if (selected.size() == 1) {
        const QString item = selected.first()->text().trimmed();
        TxtName->setText(rt::Mid(item, 14, 6));
        TxtCardID->setText(rt::Left(item, 8));
    } else {
        TxtName->clear();
        TxtCardID->clear();
    }
}

void FrmDec::cmdSelect_Click()
{
    if (LstInfo->count() == 0)
        return;
    const bool all = cmdSelect->text() == QStringLiteral("全选");
    for (int i = 0; i < LstInfo->count(); ++i)
        LstInfo->item(i)->setSelected(all);
    cmdSelect->setText(all ? QStringLiteral("全消") : QStringLiteral("全选"));
}

bool FrmDec::openPort()
{
    if (!ctl::openPort()) {
        setStatus(QStringLiteral("串口打开失败！"));
        return false;
    }
    return true;
}

// One delete run: buttons off and the port open around the body, which
// returns the closing status or nothing when it stopped before any work.
void FrmDec::runBatch(const QString& startText, const std::function<std::optional<QString>()>& body)
{
    ui::RunGuard run(this);
    if (!run)
        return;
    setStatus(startText);
    QApplication::setOverrideCursor(Qt::BusyCursor);
    auto end = [&] {
        QApplication::restoreOverrideCursor();
        run.end();
    };
    try {
        if (!openPort()) {
            end();
            return;
        }
        refused_ = 0;
        const std::optional<QString> done = body();
        if (!done) {
            end();
            return;
        }
        setStatus(*done);
        mdl::PortReady = 0;
        end();
        LstDepart_Click();
    } catch (const rt::Error& e) {
        end();
        ui::msgBox(e.text(), ui::mb::OKOnly, QStringLiteral("信息提示"));
    }
}

QString FrmDec::endText(const QString& done, const QString& partly) const
{
    if (refused_ == 0)
        return done;
    return partly + QStringLiteral("，其中%1条未能从机器中删除！").arg(refused_);
}

void FrmDec::log(const Credential& c, const QString& outcome)
{
    ListLog->addItem(ui::now().toString(QStringLiteral("HH:mm:ss")) + QStringLiteral(" 卡号:") + c.employee +
                     QStringLiteral(" 机号:") + QString::number(c.address) + outcome);
}

void FrmDec::withdraw(const Credential& c, bool changeDatabaseAnyway)
{
    ui::sleepMs(mdl::CommandDelay);
    com::Args a{int16_t(c.address), c.physical};
    const int result = mdl::Door.call(QStringLiteral("ClearName"), a).toInteger();
    const returns::ReturnedCredential booked{c.address, c.employee, c.physical, c.name, c.department,
                                             rt::isoDateTime(ui::now())};
    if (result < 0) {
        ++refused_;
        if (changeDatabaseAnyway) {
            returns::bookReturn(mdl::DaoDatabase, booked);
            log(c, QStringLiteral(" 删除数据成功"));
        } else {
            log(c, QStringLiteral(" 删除失败"));
        }
        return;
    }
    // Booked before the advice, so a re-send from the advice windows does not
    // put this credential back on the controller.
    returns::bookReturn(mdl::DaoDatabase, booked);
    if (result >= 100) {
        const int answer = ui::msgBox(QStringLiteral("退卡条数超过了100条，请先采集数据，再对") + QString::number(c.address) +
                                          QStringLiteral("号机器进行重整！"),
                                      ui::mb::OKCancel | ui::mb::Question, QStringLiteral("提示"));
        if (answer == ui::mb::OK) {
            QApplication::setOverrideCursor(Qt::ArrowCursor);
            appforms::open(QStringLiteral("FrmGatherData"));
            appforms::open(QStringLiteral("FrmFKZL"));
            QApplication::restoreOverrideCursor();
        }
    }
    log(c, QStringLiteral(" 删除机器成功"));
}

void FrmDec::CmdDelAddr_Click()
{
    const bool anyway = ChkSpe->isChecked();
    runBatch(QStringLiteral("正在按机器号删除，请稍候..."), [&]() -> std::optional<QString> {
        // The addresses selected now: clicks in the list during a wait do not change the run.
        QStringList selected;
        for (int i = 0; i < LstAddr->count(); ++i)
            if (LstAddr->item(i)->isSelected())
                selected << LstAddr->item(i)->text();
        if (selected.isEmpty()) {
            setStatus(QStringLiteral("请选择要删除的机号！"));
            return std::nullopt;
        }
        for (const QString& text : selected) {
            const int address = rt::CInt(text);
            // The address's rows as one snapshot: the deletes of the run do not
            // change what is walked.
            db::Recordset rs = mdl::AdoConnection.execute(
                QStringLiteral("SELECT DISTINCT 卡号, 物理卡号, 姓名, 部门 FROM dfaka WHERE 地址=? ORDER BY 卡号, 物理卡号"),
                {address});
            for (; !rs.eof(); rs.moveNext())
                withdraw({address, rs.text(QStringLiteral("卡号")), rs.text(QStringLiteral("物理卡号")),
                          rs.text(QStringLiteral("姓名")), rs.text(QStringLiteral("部门"))},
                         anyway);
        }
        return endText(selected.last() + QStringLiteral("号机删除成功！"), selected.last() + QStringLiteral("号机删除完成"));
    });
}

void FrmDec::CmdDelInfo_Click()
{
    const bool anyway = ChkSpe->isChecked();
    runBatch(QStringLiteral("正在删除所选人员，请稍候..."), [&]() -> std::optional<QString> {
        QStringList items;
        for (int i = 0; i < LstInfo->count(); ++i)
            if (LstInfo->item(i)->isSelected())
                items << LstInfo->item(i)->text();
        if (items.isEmpty()) {
            setStatus(QStringLiteral("请选择要删除的人员！"));
            return std::nullopt;
        }
        for (const QString& item : items) {
            const Module1::CardListEntry e = Module1::ParseCardListItem(item);
            db::Recordset rs = mdl::AdoConnection.execute(
                QStringLiteral("SELECT DISTINCT 卡号, 物理卡号, 姓名, 部门 FROM dfaka WHERE 卡号=? AND 地址=? AND ") +
                    db::yesNo(QStringLiteral("密码标志")) + QStringLiteral("=? ORDER BY 物理卡号"),
                {e.employee, e.address, e.password});
            if (rs.eof())
                continue;
            withdraw({e.address, e.employee, rs.text(QStringLiteral("物理卡号")), rs.text(QStringLiteral("姓名")),
                      rs.text(QStringLiteral("部门"))},
                     anyway);
        }
        return endText(QStringLiteral("删除完成"), QStringLiteral("删除完成"));
    });
}

void FrmDec::CmdClear_Click()
{
    ListLog->clear();
}

void FrmDec::Command2_Click()
{
    unloadForm();
}

void FrmDec::Form_Unload(bool& cancel)
{
    Q_UNUSED(cancel);
    ctl::releasePort();
}

OSTRELA_WINDOW(FrmDec);
