#include "FrmGatherName.h"

#include "AppForms.h"
#include "Collection.h"
#include "ControllerCalls.h"
#include "FormParts.h"
#include "Globals.h"
#include "Module1.h"
#include "runtime/Conv.h"
#include "runtime/Gbk.h"
#include "runtime/RuntimeError.h"
#include "ui/ProgramFolder.h"
#include "ui/RunGuard.h"
#include "ui/Ui.h"

#include <QCheckBox>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTableWidget>

#include <algorithm>

namespace {

const QString kPasswordMask = QStringLiteral("***************");
const QString kEmptySlot = QStringLiteral("0000000000");

struct Column {
    const char* header;
    int twips;
    const char* widest;   // the longest text the column shows
};
const Column kColumns[15] = {
    {"地址", 500, "255"},
    {"    卡号", 900, "00000000"},
    {"  物理卡号", 1000, "***************"},
    {"  姓名", 800, "欧阳娜娜娜娜"},
    {"    部门", 1000, "行政管理部"},
    {"锁1允许", 700, "0"},
    {"锁2允许", 700, "0"},
    {"周控制", 630, "0"},
    {"截止日期控制", 1200, "0"},
    {"时间段控制", 1000, "0"},
    {" 周标志", 750, "1111111"},
    {"截止日期", 800, "991231"},
    {"   锁1时间段标志", 1550, "0000000000000000"},
    {"   锁2时间段标志", 1550, "0000000000000000"},
    {" 发卡日期", 1000, "2026-12-31"},
};

QLabel* caption(const QString& text, QWidget* parent, int x, int y)
{
    auto* l = new QLabel(text, parent);
    l->move(x, y);
    return l;
}

QLineEdit* numberBox(QWidget* parent, const char* name, int x, int y)
{
    auto* t = new QLineEdit(parent);
    t->setObjectName(QString::fromLatin1(name));
    t->setGeometry(x, y, 70, 22);
    return t;
}

} // namespace

void DropDownCombo::showPopup()
{
    emit dropDown();
    QComboBox::showPopup();
}

// One slot of a collected list, cut by its fixed columns.
struct FrmGatherName::ListLine {
    QString physical;
    QString employee;
    QString lock1, lock2, week, endDateCtl, timeCtl;
    QString weekMask, endDate, mask1, mask2;
    // Filled from dfaka when it knows the card.
    QString name, department, issued;
    bool password = false;
    bool known = false;

    static ListLine cut(const QString& line)
    {
        ListLine l;
        l.physical = rt::Left(line, 10);
        l.employee = rt::Mid(line, 12, 8);
        l.lock1 = rt::Mid(line, 21, 1);
        l.lock2 = rt::Mid(line, 22, 1);
        l.week = rt::Mid(line, 26, 1);
        l.endDateCtl = rt::Mid(line, 27, 1);
        l.timeCtl = rt::Mid(line, 28, 1);
        l.weekMask = rt::Mid(line, 30, 7);
        l.endDate = rt::Mid(line, 38, 6);
        l.mask1 = rt::Mid(line, 45, 16);
        l.mask2 = rt::Mid(line, 62, 16);
        return l;
    }
};

FrmGatherName::FrmGatherName(QWidget* parent)
    : ui::Form(parent)
{
    setObjectName(QStringLiteral("FrmGatherName"));
    setWindowTitle(QStringLiteral("发卡名单采集"));
    resize(900, 560);

    caption(QStringLiteral("地址："), this, 12, 16);
    cText = new DropDownCombo(this);
    cText->setObjectName(QStringLiteral("cText"));
    cText->setEditable(true);
    cText->setGeometry(60, 12, 90, 24);
    caption(QStringLiteral("物理卡号："), this, 160, 16);
    TxtPhyID = new QLineEdit(this);
    TxtPhyID->setObjectName(QStringLiteral("TxtPhyID"));
    TxtPhyID->setGeometry(240, 12, 110, 24);

    ReadCommand = new QPushButton(QStringLiteral("采集名单"), this);
    ReadCommand->setObjectName(QStringLiteral("ReadCommand"));
    ReadCommand->setGeometry(370, 10, 90, 28);
    Command1 = new QPushButton(QStringLiteral("单卡采集"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setGeometry(466, 10, 90, 28);
    cmdTest = new QPushButton(QStringLiteral("通讯测试"), this);
    cmdTest->setObjectName(QStringLiteral("cmdTest"));
    cmdTest->setGeometry(562, 10, 90, 28);
    CmdExit = new QPushButton(QStringLiteral("退出"), this);
    CmdExit->setObjectName(QStringLiteral("CmdExit"));
    CmdExit->setGeometry(658, 10, 90, 28);

    Check1 = new QCheckBox(QStringLiteral("采集发卡名单时更新数据库中的发卡表"), this);
    Check1->setObjectName(QStringLiteral("Check1"));
    Check1->setGeometry(12, 44, 360, 24);

    caption(QStringLiteral("总发卡量："), this, 380, 48);
    txtSendNum = numberBox(this, "txtSendNum", 460, 44);
    caption(QStringLiteral("有效卡："), this, 536, 48);
    txtSendYesNum = numberBox(this, "txtSendYesNum", 600, 44);
    caption(QStringLiteral("无效卡："), this, 676, 48);
    txtSendNoNum = numberBox(this, "txtSendNoNum", 740, 44);

    SendGrid = new QTableWidget(this);
    SendGrid->setObjectName(QStringLiteral("SendGrid"));
    SendGrid->setGeometry(12, 74, 876, 370);
    SendGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    SendGrid->setColumnCount(15);

    Label1 = new QLabel(QStringLiteral("有效卡：指已发到机器内的物理卡号有效,该物理卡号能在机器上打卡         "
                                       "无效卡：指已发到机器里的物理卡号无效,该物理卡号在机器上已打不上卡。"
                                       "无效卡通常认为是机器中的垃圾，可通过整理分析清理掉"),
                        this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setWordWrap(true);
    Label1->setGeometry(12, 450, 876, 40);

    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setGeometry(12, 494, 876, 18);
    ProgressBar1->hide();

    Panel1 = formparts::statusBarWithPanel(this, StatusBar1, "StatusBar1", QRect(0, 530, 900, 26));

    connect(cText, &DropDownCombo::dropDown, this, &FrmGatherName::cText_DropDown);
    connect(ReadCommand, &QPushButton::clicked, this, &FrmGatherName::ReadCommand_Click);
    connect(Command1, &QPushButton::clicked, this, &FrmGatherName::Command1_Click);
    connect(cmdTest, &QPushButton::clicked, this, &FrmGatherName::cmdTest_Click);
    connect(CmdExit, &QPushButton::clicked, this, &FrmGatherName::CmdExit_Click);
}

QString FrmGatherName::statusText() const
{
    return Panel1->text();
}

void FrmGatherName::setStatus(const QString& text)
{
    Panel1->setText(text);
}

void FrmGatherName::Form_Load()
{
    const bool open = ctl::openPort();
    // The grid and the wait time are set up even when the port failed: every
    // command opens the port by itself, so the buttons still work.
    setStatus(open ? QString() : QStringLiteral("串口打开失败！"));
    // The widths were chosen for a narrower type: no column may cut its numbers.
    const QFontMetrics cells(SendGrid->font());
    const QFontMetrics heads(SendGrid->horizontalHeader()->font());
    for (int c = 0; c < 15; ++c)
        SendGrid->setColumnWidth(c, std::max({kColumns[c].twips / 15,
                                              cells.horizontalAdvance(QString::fromUtf8(kColumns[c].widest)) + 12,
                                              heads.horizontalAdvance(QString::fromUtf8(kColumns[c].header)) + 12}));
    QStringList headers;
    for (const Column& c : kColumns)
        headers << QString::fromUtf8(c.header);
    SendGrid->setHorizontalHeaderLabels(headers);
    SendGrid->setRowCount(0);
    try {
        mdl::GatherWaitTime = Module1::LoadGatherWaitTime(mdl::AdoConnection);
    } catch (const rt::Error& e) {
        mdl::GatherWaitTime = 5;
        setStatus(e.description());
    }
    setWindowTitle(QStringLiteral("发卡名单采集"));
}

void FrmGatherName::cText_DropDown()
{
    cText->clear();
    try {
        db::Recordset rs = mdl::AdoConnection.execute(
            QStringLiteral("SELECT DISTINCT 地址 FROM doors ORDER BY CAST(地址 AS INTEGER)"));
        for (; !rs.eof(); rs.moveNext())
            cText->addItem(rs.text(QStringLiteral("地址")));
    } catch (const rt::Error&) {
        // an unreadable door table leaves the list empty
    }
}

void FrmGatherName::fillRow(int row, int address, const ListLine& l, const QString& shownPhysical)
{
    const QStringList cells = {QString::number(address), l.employee, shownPhysical, l.name,   l.department,
                               l.lock1,                  l.lock2,    l.week,        l.endDateCtl, l.timeCtl,
                               l.weekMask,               l.endDate,  l.mask1,       l.mask2,  l.issued};
    for (int c = 0; c < cells.size(); ++c)
        SendGrid->setItem(row, c, new QTableWidgetItem(cells[c]));
}

// Replaces the dfaka row of this card at the address with what the controller
// holds, in one transaction: on any failure the old row stays.
bool FrmGatherName::rebuildRow(int address, const ListLine& l)
{
    db::Database& d = mdl::DaoDatabase;
    d.beginTrans();
    try {
        d.execute(QStringLiteral("DELETE FROM dfaka WHERE 地址=? AND 卡号=? AND 物理卡号=?"),
                  {address, l.employee, l.physical});
        auto flag = [](const QString& c) { return c == QLatin1String("1") ? 1 : 0; };
        d.execute(QStringLiteral("INSERT INTO dfaka (地址, 卡号, 物理卡号, 姓名, 部门, 锁1允许, 锁2允许, 周控制, 时间控制, "
                                 "截止日期控制, 周标志, 截止日期, 锁1时间段标志, 锁2时间段标志, 发卡日期, 密码标志) "
                                 "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                  {address, l.employee, l.physical, l.name, l.department, flag(l.lock1), flag(l.lock2), flag(l.week),
                   flag(l.timeCtl), flag(l.endDateCtl), l.weekMask, l.endDate, l.mask1, l.mask2,
                   l.issued.isEmpty() ? QVariant() : QVariant(l.issued), l.password ? 1 : 0});
        d.commitTrans();
        return true;
    } catch (const rt::Error&) {
        d.rollback();
        return false;
    }
}

void FrmGatherName::ReadCommand_Click()
{
    ui::RunGuard run(this, {cText, TxtPhyID});
    if (!run)
        return;
    setCursor(Qt::BusyCursor);
    try {
        collect();
    } catch (const rt::Error& e) {
        setStatus(e.text());
    }
    ProgressBar1->hide();
    unsetCursor();
}

void FrmGatherName::collect()
{
    if (cText->currentText().trimmed().isEmpty()) {
        setStatus(QStringLiteral("请输入机器地址！"));
        cText->setFocus();
        return;
    }
    address_ = rt::CWhole(cText->currentText());
    const QString addr = QString::number(address_);
    const QString fileName = collection::collectedFileName(address_, ui::now());
    SendGrid->setRowCount(0);
    setStatus(QStringLiteral("正在采集，如数据量大，可能要花较长的时间，请耐心等候!"));
    ui::sleepMs(mdl::CommandDelay);

    const QString folder = ui::programFolder() + QStringLiteral("SendData/");
    com::Args a{address_, folder, fileName, QString(), int32_t(0), int32_t(mdl::GatherWaitTime), true};
    if (!mdl::Door.call(QStringLiteral("GatherSendCardData"), a).toBool()) {
        setStatus(addr + QStringLiteral("号机采集数据不成功！请检查线路是否连通。"));
        return;
    }
    count_ = a[4].toLong();
    if (count_ == 0) {
        txtSendNum->setText(QStringLiteral("0"));
        txtSendYesNum->setText(QStringLiteral("0"));
        txtSendNoNum->setText(QStringLiteral("0"));
        setStatus(addr + QStringLiteral("号机器采集数据成功 ,共有") + QString::number(count_) + QStringLiteral("条记录"));
        return;
    }

    QStringList lines;
    if (!rt::readGbkLines(folder + fileName, lines))
        rt::raise(rt::ErrFileNotFound);
    SendGrid->setRowCount(count_);
    ProgressBar1->setRange(0, count_ + 2);
    ProgressBar1->setValue(0);
    ProgressBar1->show();

    // Every line of the file is one slot of the controller's memory; an empty
    // line is a slot the library could not read, never the end of the list.
    int row = 0;
    int empty = 0;
    int unread = 0;
    db::Connection& conn = mdl::AdoConnection;
    for (const QString& line : lines) {
        if (line.isEmpty()) {
            ++unread;
        } else if (rt::Left(line, 10) == kEmptySlot) {
            ++empty;
        } else {
            ListLine l = ListLine::cut(line);
            db::Recordset rs = conn.execute(
                QStringLiteral("SELECT DISTINCT 部门, 姓名, 发卡日期, 密码标志 FROM dfaka "
                               "WHERE 地址=? AND 卡号=? AND 物理卡号=?"),
                {address_, l.employee, l.physical});
            if (!rs.eof()) {
                l.known = true;
                l.name = rs.text(QStringLiteral("姓名"));
                l.department = rs.text(QStringLiteral("部门"));
                l.issued = rs.text(QStringLiteral("发卡日期"));
                l.password = rt::yesNo(rs.field(QStringLiteral("密码标志")).toLongLong());
            }
            if (row >= SendGrid->rowCount())
                SendGrid->setRowCount(row + 1);
            fillRow(row, address_, l, l.password ? kPasswordMask : l.physical);
            // Only cards the database already knows at this address are rebuilt.
            if (Check1->isChecked() && l.known)
                rebuildRow(address_, l);
            ++row;
        }
        ProgressBar1->setValue(std::min(ProgressBar1->value() + 1, ProgressBar1->maximum()));
    }
    // The grid keeps at least one (empty) data row.
    SendGrid->setRowCount(std::max(row, 1));

    txtSendNum->setText(QString::number(count_));
    txtSendYesNum->setText(QString::number(count_ - empty - unread));
    txtSendNoNum->setText(QString::number(empty));
    QString done = addr + QStringLiteral("号机器采集数据成功");
    if (unread > 0)
        done += QStringLiteral("，有") + QString::number(unread) + QStringLiteral("条记录未能读出");
    setStatus(done);
}

void FrmGatherName::Command1_Click()
{
    ui::RunGuard run(this, {cText, TxtPhyID});
    if (!run)
        return;
    if (cText->currentText().trimmed().isEmpty() || TxtPhyID->text().trimmed().isEmpty()) {
        setStatus(QStringLiteral("请输入地址和物理卡号！"));
        cText->setFocus();
        return;
    }
    try {
        const int16_t address = rt::CWhole(cText->currentText());
        const QString physical = TxtPhyID->text().trimmed();
        com::Args a{address, physical, QString()};
        if (!mdl::Door.call(QStringLiteral("FindCard"), a).toBool()) {
            setStatus(physical + QStringLiteral("数据采集不成功，请检查线路是否连通！"));
            return;
        }
        SendGrid->setRowCount(1);
        const QString result = a[2].toString();
        if (result.isEmpty())
            return;
        ListLine l = ListLine::cut(result);
        l.physical = physical;
        db::Recordset rs = mdl::AdoConnection.execute(
            QStringLiteral("SELECT DISTINCT 部门, 姓名, 发卡日期 FROM dfaka WHERE 地址=? AND 卡号=?"), {address, l.employee});
        if (!rs.eof()) {
            l.name = rs.text(QStringLiteral("姓名"));
            l.department = rs.text(QStringLiteral("部门"));
            l.issued = rs.text(QStringLiteral("发卡日期"));
        }
        fillRow(0, address, l, physical);
        if (Check1->isChecked()) {
            // Only the row of this very card is replaced, keeping its password
            // flag; a card the database does not hold here is not added.
            l.physical = rt::Right(QStringLiteral("0000000000") + physical, 10);
            db::Recordset own = mdl::AdoConnection.execute(
                QStringLiteral("SELECT 姓名, 部门, 发卡日期, 密码标志 FROM dfaka WHERE 地址=? AND 卡号=? AND 物理卡号=?"),
                {address, l.employee, l.physical});
            if (!own.eof()) {
                l.name = own.text(QStringLiteral("姓名"));
                l.department = own.text(QStringLiteral("部门"));
                l.issued = own.text(QStringLiteral("发卡日期"));
                l.password = rt::yesNo(own.field(QStringLiteral("密码标志")).toLongLong());
                rebuildRow(address, l);
            }
        }
        setStatus(physical + QStringLiteral("号卡采集数据成功!"));
    } catch (const rt::Error& e) {
        setStatus(e.text());
    }
}

void FrmGatherName::cmdTest_Click()
{
    ui::RunGuard run(this, {cText, TxtPhyID});
    if (!run)
        return;
    if (cText->currentText().trimmed().isEmpty()) {
        setStatus(QStringLiteral("请输入地址！"));
        cText->setFocus();
        return;
    }
    try {
        const int16_t address = rt::CWhole(cText->currentText());
        const int32_t n = mdl::Door.call(QStringLiteral("GatherSendCardSum"), {address}).toLong();
        if (n >= 0) {
            count_ = n;
            setStatus(QString::number(address) + QStringLiteral("采集测试成功，共有") + QString::number(n) +
                      QStringLiteral("条记录！"));
            txtSendNum->setText(QString::number(n));
        } else {
            setStatus(QString::number(address) + QStringLiteral("采集测试不成功，请检查线路是否连通！"));
        }
    } catch (const rt::Error& e) {
        run.end();
        ui::msgBox(e.text(), ui::mb::OKOnly, QStringLiteral("信息提示"));
    }
}

void FrmGatherName::CmdExit_Click()
{
    if (ui::holdClose(this))
        return;
    ctl::releasePort();
    unloadForm();
}

void FrmGatherName::Form_Unload(bool& cancel)
{
    Q_UNUSED(cancel);
    ctl::releasePort();
}

OSTRELA_WINDOW(FrmGatherName);
