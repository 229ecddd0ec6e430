#include "FrmEtD.h"

#include "AppForms.h"
#include "ControllerCalls.h"
#include "FormParts.h"
#include "Globals.h"
#include "Module1.h"
#include "runtime/Conv.h"
#include "runtime/RuntimeError.h"
#include "ui/RunGuard.h"
#include "ui/Ui.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStatusBar>

namespace {

const QString kNoGroups = QStringLiteral("000000000000000");
// How a password shows in the log: the stored password itself never does.
const QString kPasswordText12 = QStringLiteral("密码            ");
const QString kPasswordText11 = QStringLiteral("密码           ");

} // namespace

FrmEtD::FrmEtD(QWidget* parent)
    : ui::Form(parent)
{
    setObjectName(QStringLiteral("FrmEtD"));
    setWindowTitle(QStringLiteral("增扩卡机     "));
    resize(900, 600);

    Label11 = new QLabel(QStringLiteral("源地址："), this);
    Label11->move(12, 16);
    CmbAddr = new QComboBox(this);
    CmbAddr->setObjectName(QStringLiteral("CmbAddr"));
    CmbAddr->setEditable(true);
    CmbAddr->setGeometry(72, 12, 90, 24);
    LstDepart = formparts::multiSelectList(this, "LstDepart", QRect(12, 44, 150, 300));

    Label2 = new QLabel(QStringLiteral("卡号        姓 名       物理卡号        地址"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setGeometry(176, 12, 400, 20);
    LstInfo = formparts::multiSelectList(this, "LstInfo", QRect(176, 34, 400, 310));

    Frame1 = new QGroupBox(QStringLiteral("目的门锁"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setGeometry(590, 12, 150, 332);
    LstAddr = formparts::multiSelectList(Frame1, "LstAddr", QRect(8, 20, 134, 304));

    // The rights controls shared with the card window, under this window's names.
    rights_ = new cards::RightsControls(this);
    ChkWk = rights_->CheckWeek;
    ChkWk->setObjectName(QStringLiteral("ChkWk"));
    ChkWk->setGeometry(754, 12, 130, 22);
    for (int k = 0; k < 7; ++k) {
        ChkWeek[k] = rights_->w1Check[k];
        ChkWeek[k]->setObjectName(QStringLiteral("ChkWeek%1").arg(k));
        ChkWeek[k]->setGeometry(754 + (k % 4) * 34, 38 + (k / 4) * 24, 34, 22);
    }
    ChkEndDate = rights_->CheckEndDate;
    ChkEndDate->setText(QStringLiteral("截止日期"));
    ChkEndDate->setObjectName(QStringLiteral("ChkEndDate"));
    ChkEndDate->setGeometry(754, 92, 130, 22);
    DTPEndDate = rights_->stopDate;
    DTPEndDate->setObjectName(QStringLiteral("DTPEndDate"));
    DTPEndDate->setGeometry(754, 116, 130, 24);
    ChkTime = rights_->CheckTime;
    ChkTime->setObjectName(QStringLiteral("ChkTime"));
    ChkTime->setGeometry(754, 148, 130, 22);
    for (int i = 0; i < 2; ++i) {
        ButtonChkTime[i] = rights_->ButtonChkTime[i];
        ButtonChkTime[i]->setGeometry(754, 174 + i * 60, 130, 26);
        TxtTime[i] = rights_->TxtTime[i];
        TxtTime[i]->setGeometry(754, 204 + i * 60, 130, 24);
        connect(ButtonChkTime[i], &QPushButton::clicked, this, [this, i] { ButtonChkTime_Click(i); });
    }

    CmdEtDByMan = formparts::button(this, QStringLiteral("增扩所选人员"), "CmdEtDByMan", QRect(176, 352, 120, 28));
    CmdEtDByMach = formparts::button(this, QStringLiteral("增扩所选机器"), "CmdEtDByMach", QRect(304, 352, 120, 28));
    CmdClear = formparts::button(this, QStringLiteral("清空日志"), "CmdClear", QRect(432, 352, 90, 28));
    CmdExit = formparts::button(this, QStringLiteral("退出"), "CmdExit", QRect(530, 352, 90, 28));

    Label1 = new QLabel(QStringLiteral("注意：根据设置的限制条件增扩，卡只能按条件打卡。如果您没有设置限制条件，"
                                       "则增扩的卡将不受条件限制，随时都能打卡"),
                        this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setWordWrap(true);
    Label1->setGeometry(12, 386, 876, 40);
    ListLog = new ui::LogList(this);
    ListLog->setObjectName(QStringLiteral("ListLog"));
    ListLog->setGeometry(12, 430, 876, 136);

    Panel1 = formparts::statusBarWithPanel(this, Stb_info, "Stb_info", QRect(0, 572, 900, 26));

    connect(CmbAddr, qOverload<int>(&QComboBox::activated), this, &FrmEtD::CmbAddr_Click);
    connect(LstDepart, &QListWidget::itemSelectionChanged, this, &FrmEtD::LstDepart_Click);
    connect(LstInfo, &QListWidget::itemSelectionChanged, this, &FrmEtD::LstInfo_Click);
    connect(LstAddr, &QListWidget::itemSelectionChanged, this, &FrmEtD::LstAddr_Click);
    connect(CmdEtDByMan, &QPushButton::clicked, this, &FrmEtD::CmdEtDByMan_Click);
    connect(CmdEtDByMach, &QPushButton::clicked, this, &FrmEtD::CmdEtDByMach_Click);
    connect(CmdClear, &QPushButton::clicked, this, &FrmEtD::CmdClear_Click);
    connect(CmdExit, &QPushButton::clicked, this, &FrmEtD::CmdExit_Click);
}

QString FrmEtD::statusText() const
{
    return Panel1->text();
}

void FrmEtD::setStatus(const QString& text)
{
    Panel1->setText(text);
}

void FrmEtD::Form_Load()
{
    cards::ClearSelectArray();
    try {
        db::Recordset rs = mdl::AdoConnection.execute(
            QStringLiteral("SELECT DISTINCT 地址 FROM doors ORDER BY CAST(地址 AS INTEGER)"));
        for (; !rs.eof(); rs.moveNext())
            CmbAddr->addItem(rs.text(QStringLiteral("地址")));
    } catch (const rt::Error&) {
    }
    CmbAddr->setCurrentIndex(-1);
    try {
        const QSignalBlocker quiet(LstAddr);
        cards::FillDoorList(LstAddr);
    } catch (const rt::Error&) {
    }
    try {
        const QSignalBlocker quiet(LstDepart);
        Module1::FillDepartmentList(mdl::AdoConnection, LstDepart);
    } catch (const rt::Error&) {
    }
    setWindowTitle(QStringLiteral("增扩卡机     "));
}

void FrmEtD::CmbAddr_Click()
{
    try {
        const int16_t address = rt::CWhole(CmbAddr->currentText());
        const QSignalBlocker quiet(LstInfo);
        LstInfo->clear();
        db::Recordset rs = mdl::AdoConnection.execute(
            QStringLiteral("SELECT * FROM dfaka WHERE 地址=? ORDER BY 卡号, 物理卡号"), {address});
        if (rs.eof()) {
            setStatus(QString::number(address) + QStringLiteral("号机器上没有发卡记录!"));
            return;
        }
        for (; !rs.eof(); rs.moveNext())
            LstInfo->addItem(Module1::CardListItem(rs));
        setStatus(QString::number(address) + QStringLiteral("号机器上有") + QString::number(LstInfo->count()) +
                  QStringLiteral("条发卡记录!"));
    } catch (const rt::Error& e) {
        ui::msgBox(e.text(), ui::mb::OKOnly, QStringLiteral("信息提示"));
    }
}

void FrmEtD::LstDepart_Click()
{
    if (!LstDepart->selectedItems().isEmpty()) {
        const QSignalBlocker quiet(LstInfo);
        LstInfo->clear();
        for (int i = 0; i < LstDepart->count(); ++i) {
            if (!LstDepart->item(i)->isSelected())
                continue;
            const QString department = LstDepart->item(i)->text();
            try {
                Module1::FillCardList(mdl::AdoConnection, LstInfo, department);
            } catch (const rt::Error&) {
            }
            if (department == Module1::kAllDepartments)
                break;
        }
    }
    setStatus(QStringLiteral("共有 ") + QString::number(LstInfo->count()) + QStringLiteral(" 笔发卡记录"));
}

void FrmEtD::LstInfo_Click()
{
    const QList<QListWidgetItem*> selected = LstInfo->selectedItems();
    if (selected.isEmpty())
        return;
    if (selected.size() > 1) {
        ChkWk->setChecked(false);
        for (QCheckBox* b : ChkWeek)
            b->setChecked(true);
        ChkEndDate->setChecked(false);
        DTPEndDate->setDate(ui::now().date());
        ChkTime->setChecked(false);
        for (int i = 0; i < 2; ++i) {
            ButtonChkTime[i]->setEnabled(false);
            TxtTime[i]->setText(kNoGroups);
        }
        for (int i = 0; i < LstAddr->count(); ++i)
            LstAddr->item(i)->setSelected(false);
        return;
    }
    try {
        const Module1::CardListEntry e = Module1::ParseCardListItem(selected.first()->text());
        db::Recordset rs = mdl::DaoDatabase.openRecordset(
            QStringLiteral("SELECT DISTINCT D.物理卡号, P.姓名, P.部门, P.职务, P.身份证号, D.密码标志, D.锁1允许, D.锁2允许, "
                           "D.周控制, D.周标志, D.截止日期控制, D.时间控制, D.锁1时间段标志, D.锁2时间段标志, D.截止日期 "
                           "FROM dfaka AS D INNER JOIN people AS P ON D.卡号 = P.卡号 WHERE P.卡号=? AND D.地址=?"),
            {e.employee, e.address});
        if (rs.eof())
            return;
        // Every lock this person may open anywhere ends selected.
        db::Recordset held = mdl::DaoDatabase.openRecordset(
            QStringLiteral("SELECT doors.地址, dfaka.锁1允许, dfaka.锁2允许 FROM dfaka, doors "
                           "WHERE dfaka.地址=doors.地址 AND dfaka.卡号=?"),
            {e.employee});
        if (!held.eof() && LstAddr->count() > 0) {
            for (int i = 0; i < LstAddr->count(); ++i) {
                QListWidgetItem* item = LstAddr->item(i);
                item->setSelected(false);
                const int address = cards::GetintAddress(item->text());
                const int lock = cards::GetIntNumber(item->text());
                bool allowed = false;
                for (held.moveFirst(); !held.eof() && !allowed; held.moveNext()) {
                    if (held.field(QStringLiteral("地址")).toInt() != address)
                        continue;
                    allowed = (lock == 1 && db::toBool(held.field(QStringLiteral("锁1允许")))) ||
                              (lock == 2 && db::toBool(held.field(QStringLiteral("锁2允许"))));
                }
                item->setSelected(allowed);
            }
        }
        rights_->showRow(rs);
        for (int i = 0; i < 2; ++i)
            ButtonChkTime[i]->setEnabled(ChkTime->isChecked());
    } catch (const rt::Error&) {
    }
}

void FrmEtD::ChkWk_Click()
{
    rights_->CheckWeek_Click();
}

void FrmEtD::ChkEndDate_Click()
{
    rights_->CheckEndDate_Click();
}

void FrmEtD::ChkTime_Click()
{
    rights_->CheckTime_Click();
}

void FrmEtD::LstAddr_Click()
{
    cards::GetAddSelectArray(LstAddr);
}

void FrmEtD::ButtonChkTime_Click(int index)
{
    // The picker reads the controller's groups while this window is open.
    ui::RunGuard run(this, {CmbAddr});
    if (!run)
        return;
    if (!cards::hasSelection(LstAddr)) {
        setStatus(QStringLiteral("请选择机器地址!"));
        return;
    }
    mdl::SelectTimeAddress = mdl::SelectedLocks.size() == 1 ? int16_t(cards::addressOf(mdl::SelectedLocks.first()))
                                                             : int16_t(100);
    cards::pickTimeGroups(TxtTime[index]);
    mdl::SelectTimeAddress = 0;
}

void FrmEtD::endBusy()
{
    if (busy_) {
        QApplication::restoreOverrideCursor();
        busy_ = false;
    }
}

void FrmEtD::showBusy(Qt::CursorShape shape)
{
    QApplication::setOverrideCursor(shape);
    busy_ = true;
}

bool FrmEtD::openPort()
{
    const bool open = ctl::openPort();
    if (!open)
        setStatus(QStringLiteral("串口打开失败！"));
    return open;
}

void FrmEtD::log(const Source& s, int address, const QString& outcome, const QString& passwordText)
{
    ListLog->addItem(ui::now().toString(QStringLiteral("HH:mm:ss")) + QStringLiteral(" 卡号:") + s.employee +
                     QStringLiteral(" 类型:") + (s.password ? passwordText : s.physical) + QStringLiteral(" 地址:") +
                     QString::number(address) + outcome);
}

void FrmEtD::copyTo(const QString& lockItem, const Source& s, const cards::Rights& rights, Run run)
{
    const int address = cards::addressOf(lockItem);
    const int lock = cards::lockOf(lockItem);
    const bool lock1 = lock != 2;
    const bool lock2 = lock != 1;
    const QString sentText = run == Run::ByPerson ? kPasswordText12 : kPasswordText11;

    ui::sleepMs(mdl::CommandDelay);
    com::Args find{int16_t(address), s.physical, QString()};
    if (!mdl::Door.call(QStringLiteral("FindCard"), find).toBool()) {
        const QString time = ui::now().toString(QStringLiteral("HH:mm:ss"));
        ListLog->addItem(run == Run::ByPerson
                             ? time + QStringLiteral("  ") + QString::number(address) +
                                   QStringLiteral("号机通讯异常,请检查连接线路")
                             : time + QStringLiteral("   ") + QString::number(address) +
                                   QStringLiteral("号机通讯异常！请检查连接线路。"));
        return;
    }
    db::Recordset known = mdl::AdoConnection.execute(
        QStringLiteral("SELECT * FROM dfaka WHERE 物理卡号=? AND 地址=? AND 卡号=?"), {s.physical, address, s.employee});
    if (!known.eof() || !find[2].toString().isEmpty()) {
        log(s, address, QStringLiteral(" 已存在"), kPasswordText12);
        return;
    }
    ui::sleepMs(4 * mdl::CommandDelay);
    auto flag = [](bool b) { return int16_t(b ? -1 : 0); };
    com::Args send{int16_t(address), s.employee,        s.physical,          flag(lock1),     flag(lock2),
                   flag(rights.week), flag(rights.endDate), flag(rights.time), rights.weekMask, rights.endDateText,
                   rights.mask1,      rights.mask2};
    const bool accepted = mdl::Door.call(QStringLiteral("CardSendToMachine"), send).toBool();
    if (run == Run::BySource)
        ui::sleepMs(mdl::CommandDelay);
    if (!accepted) {
        log(s, address, QStringLiteral(" 失败"), sentText);
        if (run == Run::ByPerson && busy_)
            QApplication::changeOverrideCursor(Qt::ArrowCursor);
        return;
    }
    mdl::AdoConnection.execute(
        QStringLiteral("INSERT INTO dfaka (地址, 卡号, 物理卡号, 姓名, 部门, 周控制, 锁1允许, 锁2允许, 时间控制, 截止日期控制, "
                       "周标志, 截止日期, 锁1时间段标志, 锁2时间段标志, 发卡日期, 密码标志) "
                       "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
        {address, s.employee, s.physical, s.name, s.department, rights.week ? 1 : 0, lock1 ? 1 : 0, lock2 ? 1 : 0,
         rights.time ? 1 : 0, rights.endDate ? 1 : 0, rights.weekMask, rights.endDateText, rights.mask1, rights.mask2,
         rt::isoDate(ui::now().date()), s.password ? 1 : 0});
    log(s, address, QStringLiteral(" 成功"), sentText);
}

void FrmEtD::CmdEtDByMan_Click()
{
    ui::RunGuard run(this, {CmbAddr});
    if (!run)
        return;
    setStatus(QString());
    try {
        if (!openPort()) {
            endBusy();
            return;
        }
        if (!cards::hasSelection(LstAddr)) {
            setStatus(QStringLiteral("请选择目的地址!"));
            LstAddr->setFocus();
            endBusy();
            return;
        }
        QStringList items;
        for (int i = 0; i < LstInfo->count(); ++i)
            if (LstInfo->item(i)->isSelected())
                items << LstInfo->item(i)->text();
        if (items.isEmpty()) {
            setStatus(QStringLiteral("请选择要增扩的人员！"));
            endBusy();
            return;
        }
        const cards::Rights rights = rights_->rights();
        const QStringList targets = mdl::SelectedLocks;
        setStatus(QStringLiteral("正在按所选人员扩展......"));
        showBusy(Qt::WaitCursor);
        for (const QString& item : items) {
            // Who and what come whole from the item's own dfaka row.
            const Module1::CardListEntry e = Module1::ParseCardListItem(item);
            db::Recordset rs = mdl::AdoConnection.execute(
                QStringLiteral("SELECT 姓名, 部门, 物理卡号 FROM dfaka WHERE 卡号=? AND 地址=? AND ") +
                    db::yesNo(QStringLiteral("密码标志")) + QStringLiteral("=? ORDER BY 物理卡号"),
                {e.employee, e.address, e.password});
            if (rs.eof())
                rt::raise(rt::ErrNoCurrentRecord);
            const Source s{e.employee, rs.text(QStringLiteral("物理卡号")).trimmed(), rs.text(QStringLiteral("姓名")).trimmed(),
                           rs.text(QStringLiteral("部门")).trimmed(), e.password};
            for (const QString& target : targets)
                copyTo(target, s, rights, Run::ByPerson);
        }
        setStatus(QStringLiteral("增扩完毕！"));
        endBusy();
        LstDepart_Click();
    } catch (const rt::Error& e) {
        endBusy();
        ui::msgBox(e.text(), ui::mb::OKOnly, QStringLiteral("信息提示"));
    }
}

void FrmEtD::CmdEtDByMach_Click()
{
    ui::RunGuard run(this, {CmbAddr});
    if (!run)
        return;
    setStatus(QString());
    try {
        if (!openPort()) {
            endBusy();
            return;
        }
        if (CmbAddr->currentText().trimmed().isEmpty()) {
            setStatus(QStringLiteral("请选择源地址！"));
            CmbAddr->setFocus();
            endBusy();
            return;
        }
        const int16_t source = rt::CWhole(CmbAddr->currentText());
        if (!cards::hasSelection(LstAddr)) {
            setStatus(QStringLiteral("请选择目的地址！"));
            LstAddr->setFocus();
            endBusy();
            return;
        }
        const cards::Rights rights = rights_->rights();
        const QStringList targets = mdl::SelectedLocks;
        setStatus(QStringLiteral("正在处理按机器号增扩......"));
        showBusy(Qt::BusyCursor);
        db::Recordset rs = mdl::AdoConnection.execute(
            QStringLiteral("SELECT 卡号, 物理卡号, 姓名, 部门, 密码标志 FROM dfaka WHERE 地址=? ORDER BY 卡号, 物理卡号"),
            {source});
        for (; !rs.eof(); rs.moveNext()) {
            const Source s{rs.text(QStringLiteral("卡号")), rs.text(QStringLiteral("物理卡号")),
                           rs.text(QStringLiteral("姓名")), rs.text(QStringLiteral("部门")),
                           db::toBool(rs.field(QStringLiteral("密码标志")))};
            for (const QString& target : targets)
                copyTo(target, s, rights, Run::BySource);
        }
        setStatus(QStringLiteral("增扩完毕！"));
        endBusy();
        LstDepart_Click();
    } catch (const rt::Error& e) {
        endBusy();
        ui::msgBox(e.text(), ui::mb::OKOnly, QStringLiteral("信息提示"));
    }
}

void FrmEtD::CmdClear_Click()
{
    ListLog->clear();
}

void FrmEtD::CmdExit_Click()
{
    unloadForm();
}

void FrmEtD::Form_Unload(bool& cancel)
{
    Q_UNUSED(cancel);
    mdl::PortReady = 0;
    ctl::releasePort();
}

OSTRELA_WINDOW(FrmEtD);
