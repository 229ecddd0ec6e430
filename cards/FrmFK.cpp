#include "FrmFK.h"

#include "AppForms.h"
#include "ControllerCalls.h"
#include "DesktopReader.h"
#include "FrmConfirmPWD.h"
#include "Globals.h"
#include "Module1.h"
#include "ReturnBook.h"
#include "cardreader/CardReader.h"
#include "runtime/Conv.h"
#include "runtime/RuntimeError.h"
#include "ui/KeyPress.h"
#include "ui/RunGuard.h"
#include "ui/Ui.h"
#include "ui/Widths.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QStatusBar>

#include <functional>

namespace {

const QString kBlanks = QStringLiteral("     ");
// The largest employee or card number a controller keeps (four bytes).
constexpr int64_t kMostFourBytes = 4294967295LL;

// One line of the log: time, employee, card or password, address, outcome.
QString logLine(const QString& time, const QString& employee, const QString& kind, int address, const QString& outcome)
{
    return time + QStringLiteral(" 卡号:") + employee + kind + QStringLiteral("  机器号：") + QString::number(address) + outcome;
}

// " AND 地址 IN (0,?,?...)" over the addresses of SelectedLocks.
QString addressFilter(QVariantList& params)
{
    QString f = QStringLiteral(" AND 地址 IN (0");
    for (const QString& item : mdl::SelectedLocks) {
        f += QStringLiteral(",?");
        params << cards::addressOf(item);
    }
    return f + QLatin1Char(')');
}

} // namespace

FrmFK::FrmFK(QWidget* parent)
    : ui::Form(parent)
{
    setObjectName(QStringLiteral("FrmFK"));
    resize(940, 600);

    auto* left = new QGroupBox(this);
    left->setGeometry(8, 8, 230, 540);
    LstDepart = new QListWidget(left);
    LstDepart->setObjectName(QStringLiteral("LstDepart"));
    LstDepart->setSelectionMode(QAbstractItemView::MultiSelection);
    LstDepart->setGeometry(8, 10, 214, 140);
    static const char* const who[3] = {"全部人员", "已发卡人员", "未发卡人员"};
    for (int i = 0; i < 3; ++i) {
        opt_select[i] = new QRadioButton(QString::fromUtf8(who[i]), left);
        opt_select[i]->setGeometry(i == 1 ? 112 : 8, i == 2 ? 178 : 156, 110, 22);
        connect(opt_select[i], &QRadioButton::clicked, this, [this, i] { opt_select_Click(i); });
    }
    opt_select[0]->setChecked(true);
    LstEmpInfo = new QListWidget(left);
    LstEmpInfo->setObjectName(QStringLiteral("LstEmpInfo"));
    LstEmpInfo->setGeometry(8, 204, 214, 328);

    auto* person = new QGroupBox(QStringLiteral("人事信息"), this);
    person->setGeometry(246, 8, 300, 300);
    static const char* const captions[6] = {"卡    号：", "姓    名：", "职    务：", "部    门：", "身 份 证：", "物理卡号："};
    QLineEdit** boxes[6] = {&TxtCardID, &Tname, &Tzhiwu, &Cdw, &tsfz, &tcard};
    for (int i = 0; i < 6; ++i) {
        auto* l = new QLabel(QString::fromUtf8(captions[i]), person);
        l->setGeometry(10, 24 + i * 32, 80, 24);
        *boxes[i] = new QLineEdit(person);
        (*boxes[i])->setGeometry(92, 24 + i * 32, 196, 24);
    }
    TxtCardID->setObjectName(QStringLiteral("TxtCardID"));
    tcard->setObjectName(QStringLiteral("tcard"));
    ui::onKeyPress(tcard, [this](int& k) { tcard_KeyPress(k); });
    ChkPWD = new QCheckBox(QStringLiteral("密   码"), person);
    ChkPWD->setGeometry(10, 220, 90, 24);
    Label7 = new QLabel(QStringLiteral("需要密码,请勾选"), person);
    Label7->setGeometry(110, 220, 170, 24);
    TextHidPWD = new QLineEdit(person);
    TextHidPWD->setVisible(false);
    Option1[0] = new QRadioButton(QStringLiteral("键盘输入"), person);
    Option1[0]->setGeometry(10, 252, 90, 24);
    Option1[1] = new QRadioButton(QStringLiteral("从发卡机读入"), person);
    Option1[1]->setGeometry(110, 252, 120, 24);
    Option1[1]->setChecked(true);

    auto* machine = new QGroupBox(this);
    machine->setGeometry(246, 312, 300, 60);
    Cdk = new QComboBox(machine);
    Cdk->setObjectName(QStringLiteral("Cdk"));
    Cdk->setEditable(true);
    Cdk->setGeometry(10, 18, 80, 26);
    Cdk->installEventFilter(this);
    ui::onKeyPress(Cdk, [this](int& k) { Cdk_KeyPress(k); });
    Label3 = new QLabel(QStringLiteral("串口号"), machine);
    Label3->setGeometry(120, 18, 50, 26);
    ComPort = new QComboBox(machine);
    ComPort->setObjectName(QStringLiteral("ComPort"));
    ComPort->setEditable(true);
    ComPort->setGeometry(176, 18, 80, 26);
    for (int p = 1; p <= 7; ++p)
        ComPort->addItem(QString::number(p));
    ComPort->setCurrentText(QStringLiteral("1"));

    auto* locks = new QGroupBox(QStringLiteral("选择门锁："), this);
    locks->setGeometry(554, 8, 376, 170);
    DoorAddr = new QListWidget(locks);
    DoorAddr->setObjectName(QStringLiteral("DoorAddr"));
    DoorAddr->setSelectionMode(QAbstractItemView::MultiSelection);
    DoorAddr->setGeometry(8, 22, 360, 140);

    auto* control = new QGroupBox(QStringLiteral("控制方式："), this);
    control->setGeometry(554, 182, 376, 190);
    rights_ = new cards::RightsControls(control);
    CheckWeek = rights_->CheckWeek;
    CheckWeek->setGeometry(8, 22, 80, 22);
    for (int k = 0; k < 7; ++k) {
        w1Check[k] = rights_->w1Check[k];
        w1Check[k]->setGeometry(90 + k * 40, 22, 40, 22);
    }
    CheckEndDate = rights_->CheckEndDate;
    CheckEndDate->setGeometry(8, 56, 120, 22);
    stopDate = rights_->stopDate;
    stopDate->setGeometry(130, 54, 130, 26);
    CheckTime = rights_->CheckTime;
    CheckTime->setGeometry(8, 90, 120, 22);
    for (int i = 0; i < 2; ++i) {
        ButtonChkTime[i] = rights_->ButtonChkTime[i];
        ButtonChkTime[i]->setGeometry(8, 120 + i * 32, 110, 26);
        TxtTime[i] = rights_->TxtTime[i];
        TxtTime[i]->setGeometry(124, 120 + i * 32, 200, 26);
        connect(ButtonChkTime[i], &QPushButton::clicked, this, [this, i] { ButtonChkTime_Click(i); });
    }
    auto* hint = new QGroupBox(QStringLiteral("提示："), this);
    hint->setGeometry(246, 376, 300, 44);
    (new QLabel(QStringLiteral("   需要权限请设置控制方式"), hint))->setGeometry(8, 16, 280, 22);

    auto* logFrame = new QGroupBox(this);
    logFrame->setGeometry(554, 376, 376, 172);
    Lst_info = new ui::LogList(logFrame);
    Lst_info->setObjectName(QStringLiteral("Lst_info"));
    Lst_info->setGeometry(8, 10, 360, 154);
    // The log's longest line is read without scrolling: the right-hand
    // column widens with it.
    const int grow = ui::widenToShow(
        Lst_info, {logLine(QStringLiteral("00:00:00"), QStringLiteral("00000000"), QStringLiteral("  类型：0000000000"), 255,
                           QStringLiteral("  发卡重发"))});
    for (QWidget* w : std::initializer_list<QWidget*>{locks, DoorAddr, control})
        w->resize(w->width() + grow, w->height());

    CmdSendCard = new QPushButton(QStringLiteral("发卡(&W)"), this);
    Cmddel = new QPushButton(QStringLiteral("退卡(&S)"), this);
    CmdRearCard = new QPushButton(QStringLiteral("读取物理卡号(&R)"), this);
    cmdTest = new QPushButton(QStringLiteral("机 器 通 讯 测 试"), this);
    CmdClear = new QPushButton(QStringLiteral("清空日志(&C)"), this);
    Command2 = new QPushButton(QStringLiteral("退出(&X)"), this);
    cmdchg = new QPushButton(QStringLiteral("修改(&C)"), this);
    int x = 246;
    for (QPushButton* b : {CmdSendCard, Cmddel, cmdchg, CmdRearCard}) {
        b->setGeometry(x, 428, b == CmdRearCard ? 120 : 56, 30);
        x += b == CmdRearCard ? 124 : 60;
    }
    cmdTest->setGeometry(246, 466, 140, 30);
    CmdClear->setGeometry(392, 466, 100, 30);
    Command2->setGeometry(392, 504, 100, 30);
    Stb_info = new QStatusBar(this);
    Stb_info->setSizeGripEnabled(false);
    Stb_info->setGeometry(0, 570, 940, 26);

    connect(LstDepart, &QListWidget::itemSelectionChanged, this, &FrmFK::LstDepart_Click);
    connect(LstEmpInfo, &QListWidget::itemSelectionChanged, this, &FrmFK::LstEmpInfo_Click);
    connect(DoorAddr, &QListWidget::itemSelectionChanged, this, &FrmFK::DoorAddr_Click);
    connect(Cdk, &QComboBox::editTextChanged, this, &FrmFK::Cdk_Change);
    connect(tcard, &QLineEdit::textChanged, this, &FrmFK::tcard_Change);
    connect(CmdSendCard, &QPushButton::clicked, this, &FrmFK::CmdSendCard_Click);
    connect(Cmddel, &QPushButton::clicked, this, &FrmFK::Cmddel_Click);
    connect(CmdRearCard, &QPushButton::clicked, this, &FrmFK::CmdRearCard_Click);
    connect(cmdTest, &QPushButton::clicked, this, &FrmFK::cmdTest_Click);
    connect(CmdClear, &QPushButton::clicked, this, &FrmFK::CmdClear_Click);
    connect(Command2, &QPushButton::clicked, this, &FrmFK::Command2_Click);
}

// ---- loading, lists and selection ------------------------------------------

void FrmFK::Form_Load()
{
    passwordFlag_ = cards::passwordsSupported();
    cards::ClearSelectArray();
    // Each step on its own: a failing one leaves the rest of the window usable.
    try {
        QSignalBlocker block(LstDepart);
        Module1::FillDepartmentList(mdl::AdoConnection, LstDepart);
    } catch (const rt::Error&) {
    }
    try {
        QSignalBlocker block(DoorAddr);
        cards::FillDoorList(DoorAddr);
    } catch (const rt::Error&) {
    }
    initAddArray();
    {
        // Filling the machine box chooses no machine: CardIssuer stays.
        QSignalBlocker block(Cdk);
        Cdk->clear();
        for (int a : addresses_)
            Cdk->addItem(QString::number(a));
        Cdk->setCurrentIndex(-1);
        Cdk->clearEditText();
    }
    ChkPWD->setVisible(passwordFlag_);
    Label7->setVisible(passwordFlag_);
    setWindowTitle(QStringLiteral("发卡退卡") + kBlanks);
}

void FrmFK::initAddArray() { addresses_ = cards::addressArray(DoorAddr); }

void FrmFK::LstDepart_Click() { ViewEmpList(); }

void FrmFK::opt_select_Click(int index)
{
    if (!opt_select[index]->isChecked())
        opt_select[index]->setChecked(true);
    ViewEmpList();
}

void FrmFK::ViewEmpList()
{
    QList<QListWidgetItem*> chosen;
    for (int i = 0; i < LstDepart->count(); ++i)
        if (LstDepart->item(i)->isSelected())
            chosen << LstDepart->item(i);
    if (chosen.isEmpty()) {
        setStatus(QStringLiteral("请选择部门！"));
        return;
    }
    QSignalBlocker block(LstEmpInfo);
    LstEmpInfo->clear();
    try {
        const bool issued = opt_select[0]->isChecked() || opt_select[1]->isChecked();
        const bool notIssued = opt_select[0]->isChecked() || opt_select[2]->isChecked();
        for (QListWidgetItem* it : chosen) {
            const QString dept = it->text().trimmed();
            const bool all = dept == Module1::kAllDepartments;
            const QVariantList byDept = all ? QVariantList{} : QVariantList{dept};
            if (issued) {
                db::Recordset rs = mdl::AdoConnection.execute(
                    QStringLiteral("SELECT DISTINCT 姓名, 卡号 FROM dfaka") +
                        (all ? QString() : QStringLiteral(" WHERE 部门=?")) + QStringLiteral(" ORDER BY 卡号, 姓名"),
                    byDept);
                for (; !rs.eof(); rs.moveNext()) {
                    const QString number = rs.text(QStringLiteral("卡号"));
                    QString item = number + kBlanks + rs.text(QStringLiteral("姓名"));
                    db::Recordset own = mdl::AdoConnection.execute(
                        QStringLiteral("SELECT DISTINCT 姓名, 卡号, 密码标志, 物理卡号 FROM dfaka WHERE 卡号=? ORDER BY ") +
                            db::yesNo(QStringLiteral("密码标志")) + QStringLiteral(", 物理卡号, 姓名"),
                        {number});
                    if (own.recordCount() == 1) {
                        if (db::toBool(own.field(QStringLiteral("密码标志"))))
                            item += QStringLiteral("(*)");
                        else
                            item += kBlanks + own.text(QStringLiteral("物理卡号"));
                    } else if (own.recordCount() > 1) {
                        own.moveFirst();
                        if (db::toBool(own.field(QStringLiteral("密码标志"))))
                            own.moveNext();
                        item += QStringLiteral("(*)") + kBlanks + own.text(QStringLiteral("物理卡号"));
                    }
                    LstEmpInfo->addItem(item);
                }
            }
            if (notIssued) {
                db::Recordset rs = mdl::AdoConnection.execute(
                    QStringLiteral("SELECT DISTINCT 姓名, 卡号 FROM people WHERE ") +
                        (all ? QString() : QStringLiteral("部门=? AND ")) +
                        QStringLiteral("卡号 NOT IN (SELECT 卡号 FROM dfaka WHERE 卡号 IS NOT NULL) ORDER BY 卡号, 姓名"),
                    byDept);
                for (; !rs.eof(); rs.moveNext())
                    LstEmpInfo->addItem(rs.text(QStringLiteral("卡号")) + kBlanks + rs.text(QStringLiteral("姓名")));
            }
            if (all)
                break;
        }
    } catch (const rt::Error& e) {
        setStatus(e.text());
        return;
    }
    setStatus(QStringLiteral("共有人数：") + QString::number(LstEmpInfo->count()));
}

void FrmFK::LstEmpInfo_Click()
{
    const QList<QListWidgetItem*> sel = LstEmpInfo->selectedItems();
    if (sel.size() != 1)
        return;
    const QString number = sel.first()->text().left(8);
    const QString key = number.trimmed();
    db::Recordset rs;
    try {
        rs = mdl::DaoDatabase.openRecordset(
            QStringLiteral("SELECT DISTINCT D.物理卡号, P.姓名, P.部门, P.职务, P.身份证号, D.密码标志, D.锁1允许, D.锁2允许, "
                           "D.周控制, D.周标志, D.截止日期控制, D.时间控制, D.锁1时间段标志, D.锁2时间段标志, D.截止日期 "
                           "FROM dfaka AS D INNER JOIN people AS P ON D.卡号 = P.卡号 WHERE P.卡号=? ORDER BY ") +
                db::yesNo(QStringLiteral("D.密码标志")) + QStringLiteral(", D.物理卡号, D.截止日期"),
            {key});
    } catch (const rt::Error&) {
    }
    if (!rs.isOpen() || rs.eof()) {
        db::Recordset p;
        try {
            p = mdl::DaoDatabase.openRecordset(QStringLiteral("SELECT * FROM people WHERE 卡号=?"), {key});
        } catch (const rt::Error&) {
        }
        if (!p.isOpen() || p.eof()) {
            for (QLineEdit* b : {TxtCardID, Tname, Tzhiwu, Cdw, tsfz, tcard})
                b->clear();
        } else {
            TxtCardID->setText(number);
            Tname->setText(p.text(QStringLiteral("姓名")));
            Tzhiwu->setText(p.text(QStringLiteral("职务")));
            Cdw->setText(p.text(QStringLiteral("部门")));
            tsfz->setText(p.text(QStringLiteral("身份证号")));
            tcard->clear();
            rights_->clearControls();
            TextHidPWD->clear();
            ChkPWD->setChecked(false);
        }
        DoorAddr->clearSelection();
        return;
    }
    focusNextChild();
    TxtCardID->setText(number);
    Tname->setText(rs.text(QStringLiteral("姓名")));
    Tzhiwu->setText(rs.text(QStringLiteral("职务")));
    Cdw->setText(rs.text(QStringLiteral("部门")));
    tsfz->setText(rs.text(QStringLiteral("身份证号")));
    rights_->showRow(rs);
    const int count = rs.recordCount();
    for (; !rs.eof(); rs.moveNext()) {
        if (!db::toBool(rs.field(QStringLiteral("密码标志")))) {
            tcard->setText(rs.text(QStringLiteral("物理卡号")));
            if (count == 1) {
                TextHidPWD->clear();
                ChkPWD->setChecked(false);
            }
        } else {
            TextHidPWD->setText(rt::Right(rs.text(QStringLiteral("物理卡号")), 6));
            ChkPWD->setChecked(true);
            if (count == 1)
                tcard->clear();
        }
    }
    try {
        db::Recordset at = mdl::DaoDatabase.openRecordset(
            QStringLiteral("SELECT doors.地址, dfaka.锁1允许, dfaka.锁2允许 FROM dfaka, doors "
                           "WHERE dfaka.地址=doors.地址 AND dfaka.卡号=? ORDER BY doors.地址"),
            {key});
        if (!at.eof() && DoorAddr->count() > 0) {
            for (int i = 0; i < DoorAddr->count(); ++i) {
                QListWidgetItem* item = DoorAddr->item(i);
                item->setSelected(false);
                const int a = cards::GetintAddress(item->text());
                const int l = cards::GetIntNumber(item->text());
                bool allowed = false;
                for (at.moveFirst(); !at.eof(); at.moveNext()) {
                    if (db::cint(at.field(QStringLiteral("地址"))) != a)
                        continue;
                    if ((l == 1 && db::toBool(at.field(QStringLiteral("锁1允许")))) ||
                        (l == 2 && db::toBool(at.field(QStringLiteral("锁2允许")))))
                        allowed = true;
                }
                if (allowed)
                    item->setSelected(true);
            }
        }
    } catch (const rt::Error&) {
    }
}

void FrmFK::DoorAddr_Click() { cards::GetAddSelectArray(DoorAddr); }

void FrmFK::Cdk_Change()
{
    const QString t = Cdk->currentText().trimmed();
    if (t.size() <= 3)
        mdl::CardIssuer = rt::CInt(rt::Val(t));
}

void FrmFK::Cdk_GotFocus() { Option1[1]->setChecked(true); }

void FrmFK::Cdk_KeyPress(int& keyAscii)
{
    if (keyAscii == ui::kEnter) {
        keyAscii = 0;
        focusNextChild();
        return;
    }
    if (!(keyAscii >= '0' && keyAscii <= '9') && keyAscii != ui::kBackspace)
        keyAscii = 0;
    if (Cdk->currentText().trimmed().size() >= 3 && keyAscii != ui::kBackspace)
        keyAscii = 0;
}

void FrmFK::tcard_Change()
{
    if (tcard->text().trimmed().size() >= 10 && tcard->hasFocus())
        focusNextChild();
}

void FrmFK::tcard_KeyPress(int& keyAscii)
{
    if (tcard->text().trimmed().size() >= 10 && keyAscii != ui::kBackspace && keyAscii != ui::kEnter) {
        keyAscii = 0;
        focusNextChild();
        return;
    }
    if (!(keyAscii >= '0' && keyAscii <= '9') && keyAscii != ui::kBackspace && keyAscii != ui::kEnter)
        keyAscii = 0;
    if (keyAscii == ui::kEnter) {
        if (tcard->text().size() != 10) {
            ui::msgBox(QStringLiteral("卡号长度应为10"), ui::mb::OKOnly, QStringLiteral("提示"));
        } else {
            keyAscii = 0;
            focusNextChild();
        }
    }
}

bool FrmFK::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Cdk && event->type() == QEvent::FocusIn)
        Cdk_GotFocus();
    return ui::Form::eventFilter(watched, event);
}

void FrmFK::CheckWeek_Click() { rights_->CheckWeek_Click(); }
void FrmFK::CheckEndDate_Click() { rights_->CheckEndDate_Click(); }
void FrmFK::CheckTime_Click() { rights_->CheckTime_Click(); }

void FrmFK::ButtonChkTime_Click(int index)
{
    // The picker reads the controller's groups while this window is open.
    ui::RunGuard run(this, {ComPort, Cdk});
    if (!run)
        return;
    if (!cards::hasSelection(DoorAddr)) {
        ui::msgBox(QStringLiteral("请选择机器地址!"));
        return;
    }
    cards::pickTimeGroups(TxtTime[index]);
}

void FrmFK::CmdClear_Click() { Lst_info->clear(); }

void FrmFK::releasePort() { ctl::releasePort(); }

void FrmFK::Command2_Click()
{
    if (ui::holdClose(this))
        return;
    releasePort();
    unloadForm();
}

void FrmFK::Form_Unload(bool&) { releasePort(); }

// ---- shared pieces of the operations -----------------------------------------

QString FrmFK::status() const { return Stb_info->currentMessage(); }

void FrmFK::setStatus(const QString& text) { Stb_info->showMessage(text); }

void FrmFK::log(const QString& employee, const QString& kind, int address, const QString& outcome)
{
    Lst_info->addItem(logLine(ui::now().toString(QStringLiteral("HH:mm:ss")), employee, kind, address, outcome));
}

int16_t FrmFK::portOfBox() const
{
    // "1.5" is no port: rounded it would open port 2 and store it as the
    // library's port.
    return rt::WholeNumber(ComPort->currentText()).value_or(0);
}

bool FrmFK::openPort()
{
    const int16_t port = portOfBox();
    mdl::PortReady = port > 0 && mdl::Door.call(QStringLiteral("SetPort"), {port}).toBool() ? -1 : 0;
    if (mdl::PortReady)
        return true;
    setStatus(QStringLiteral("串口打开失败！"));
    ComPort->setFocus();
    return false;
}

// ---- issuing ---------------------------------------------------------------

bool FrmFK::CheckControls()
{
    if (Tname->text().isEmpty()) {
        setStatus(QStringLiteral("姓名不能为空白"));
        return false;
    }
    const QString number = TxtCardID->text();
    if (number.isEmpty()) {
        setStatus(QStringLiteral("工号不能为空白"));
        return false;
    }
    // Digits only: "5.5", "1e1" or "-1" is no number a controller keeps.
    if (!rt::IsDigits(number.trimmed())) {
        setStatus(QStringLiteral("工号中不能有非数字的字符"));
        return false;
    }
    if (!rt::WholeNumber64(number, 0, kMostFourBytes)) {
        setStatus(QStringLiteral("工号不可大于4294967295"));
        return false;
    }
    if (!cards::hasSelection(DoorAddr)) {
        QApplication::beep();
        setStatus(QStringLiteral("请选择门锁地址"));
        DoorAddr->setFocus();
        return false;
    }
    if (tcard->text().isEmpty()) {
        if (ChkPWD->isChecked())
            return true;
        setStatus(QStringLiteral("请输入物理卡号或者选中密码！"));
        return false;
    }
    // Typing takes at most 10 digits; a pasted "12345678901" must not be cut
    // to another card, nor "   " padded to card 0000000000.
    const QString typed = tcard->text().trimmed();
    if (!rt::IsDigits(typed) || typed.size() > 10) {
        setStatus(QStringLiteral("卡号应为10位整数，如“0000000001”"));
        return false;
    }
    // A card number is four bytes: refused here, not by the library's overflow.
    if (!rt::WholeNumber64(typed, 0, kMostFourBytes)) {
        setStatus(QStringLiteral("物理卡号不可大于4294967295"));
        return false;
    }
    // The card is sent padded to 10 digits: check it in that form.
    const QString physical = rt::Right(QStringLiteral("0000000000") + tcard->text().trimmed(), 10);
    QVariantList params{physical};
    QString filter = addressFilter(params);
    if (mdl::AdoConnection.execute(QStringLiteral("SELECT * FROM dfaka WHERE 物理卡号=?") + filter, params).recordCount() > 0) {
        setStatus(QStringLiteral("物理卡号已被用过，请重新设置！"));
        return false;
    }
    params = QVariantList{number};
    filter = addressFilter(params);
    if (mdl::AdoConnection
            .execute(QStringLiteral("SELECT * FROM dfaka WHERE 卡号=? AND ") + db::yesNo(QStringLiteral("密码标志")) +
                         QStringLiteral("=0") + filter,
                     params)
            .recordCount() > 0) {
        setStatus(QStringLiteral("此员工已在该机器上发卡!"));
        return false;
    }
    return true;
}

bool FrmFK::issue(int address, const Holder& holder, const QString& physical, bool password,
                  const cards::Rights& windowRights, int lock)
{
    const QString kind = password ? QStringLiteral("  类型：密码") : QStringLiteral("  类型：") + physical;
    for (int attempt = 0;; ++attempt) {
        // The window's rights for every address, unless the employee's other
        // credential here carries its own.
        cards::Rights r = windowRights;
        r.lock1 = lock == 1 || (lock != 2);
        r.lock2 = lock == 2 || (lock != 1);
        db::Recordset other = mdl::AdoConnection.execute(
            QStringLiteral("SELECT * FROM dfaka WHERE 卡号=? AND ") + db::yesNo(QStringLiteral("密码标志")) +
                QStringLiteral("=? AND 地址=? ORDER BY 物理卡号"),
            {holder.employee, !password, address});
        if (!other.eof())
            r = cards::rightsOfRow(other);
        ui::sleepMs(mdl::CommandDelay);
        const bool ok = mdl::Door
                            .call(QStringLiteral("CardSendToMachine"),
                                  {int16_t(address), holder.employee, physical, r.lock1, r.lock2, r.week, r.endDate,
                                   r.time, r.weekMask, r.endDateText, r.mask1, r.mask2})
                            .toBool();
        if (ok) {
            cards::storeIssued(mdl::DaoDatabase, {address, holder.employee, physical, holder.name, holder.department, r,
                                                  rt::isoDate(ui::now().date()), password});
            log(holder.employee, kind, address, QStringLiteral("  发卡成功"));
            return true;
        }
        log(holder.employee, kind, address, QStringLiteral("  发卡失败"));
        if (attempt >= 1)
            return false;
        log(holder.employee, kind, address, password ? QStringLiteral("  发卡重发...") : QStringLiteral("  发卡重发"));
    }
}

void FrmFK::CmdSendCard_Click()
{
    ui::RunGuard run(this, {ComPort, Cdk});
    if (!run)
        return;
    try {
        if (!openPort())
            return;
        // Who gets the credential is fixed now: a click in the lists while a
        // controller answers must not put another name on the later rows.
        const Holder holder{TxtCardID->text(), Tname->text().trimmed(), Cdw->text().trimmed()};
        if (!CheckControls())
            return;
        QString password;
        if (ChkPWD->isChecked()) {
            mdl::ConfirmedPassword.clear();
            ui::forms::load<FrmConfirmPWD>()->showModal(this);
            if (mdl::ConfirmedPassword.isEmpty())
                return;
            password = mdl::ConfirmedPassword;
        }
        const QString physical =
            tcard->text().isEmpty() ? QString() : rt::Right(QStringLiteral("0000000000") + tcard->text().trimmed(), 10);
        const cards::Rights windowRights = rights_->rights();
        // Decided now as well: the card box may be emptied during a wait.
        bool sendCard = physical.size() == 10;
        if (cards::hasSelection(DoorAddr)) {
            const QStringList selection = mdl::SelectedLocks;
            for (const QString& item : selection) {
                const int address = cards::addressOf(item);
                const int lock = cards::lockOf(item);
                if (sendCard && !issue(address, holder, physical, false, windowRights, lock)) {
                    sendCard = false;   // a refused card is not tried elsewhere
                    tcard->clear();
                }
                if (password.size() == 10)
                    issue(address, holder, password, true, windowRights, lock);
                ui::sleepMs(mdl::CommandDelay);
            }
        }
        setStatus(QStringLiteral(" 发卡完成"));
    } catch (const rt::Error& e) {
        run.end();
        ui::msgBox(QStringLiteral("信息提示：") + e.text());
        return;
    }
    run.end();
    LstDepart_Click();
}

// ---- return ----------------------------------------------------------------

bool FrmFK::withdraw(int address, const QString& number, QString employee, QString name, QString department,
                     bool password)
{
    // One card may be issued to two people at two addresses: the return
    // here is booked under the one whose row is at this address.
    db::Recordset holder = mdl::DaoDatabase.openRecordset(
        QStringLiteral("SELECT 卡号, 姓名, 部门 FROM dfaka WHERE 物理卡号=? AND 地址=? AND ") +
            db::yesNo(QStringLiteral("密码标志")) + QStringLiteral("=? ORDER BY 卡号"),
        {number, address, password});
    if (!holder.eof()) {
        employee = holder.text(QStringLiteral("卡号"));
        name = holder.text(QStringLiteral("姓名"));
        department = holder.text(QStringLiteral("部门"));
    }
    const QString kind = QStringLiteral("  类型：") + (password ? QStringLiteral("**********") : number);
    const bool adviseAt100 = !password;
    for (int attempt = 0;; ++attempt) {
        ui::sleepMs(mdl::CommandDelay);
        const int result = mdl::Door.call(QStringLiteral("ClearName"), {int16_t(address), number}).toInteger();
        if (result >= 0) {
            // Booked before any advice, so a re-send cannot put it back.
            returns::bookReturn(mdl::DaoDatabase, {address, employee, number, name, department, rt::isoDateTime(ui::now())});
            if (adviseAt100 && result >= 100 &&
                ui::msgBox(QStringLiteral("退卡条数超过了100条，请先采集数据，再对") + QString::number(address) +
                               QStringLiteral("号机器进行重整！"),
                           ui::mb::OKCancel | ui::mb::Information, QStringLiteral("提示")) == ui::mb::OK) {
                setHourglass(false);
                appforms::open(QStringLiteral("FrmGatherData"));
                appforms::open(QStringLiteral("FrmFKZL"));
                // Those windows opened the port of the settings:
                // the rest of this return goes on at this window's port.
                openPort();
            }
            log(employee, kind, address, QStringLiteral("  退卡成功"));
            return true;
        }
        log(employee, kind, address, QStringLiteral("  退卡失败"));
        if (attempt >= 1)
            return false;
        log(employee, kind, address, QStringLiteral("  正在重试"));
    }
}

void FrmFK::setHourglass(bool on)
{
    if (on == hourglass_)
        return;
    hourglass_ = on;
    if (on)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void FrmFK::Cmddel_Click()
{
    {
        ui::RunGuard run(this, {ComPort, Cdk});
        if (!run)
            return;
        try {
            if (!openPort())
                return;
            QString kind = QStringLiteral("00");
            if (ChkPWD->checkState() == Qt::Unchecked)
                kind = tcard->text().isEmpty() ? QStringLiteral("00") : QStringLiteral("10");
            else if (ChkPWD->checkState() == Qt::Checked)
                kind = tcard->text().isEmpty() ? QStringLiteral("01") : QStringLiteral("11");
            const bool card = kind[0] == QLatin1Char('1');
            const bool pwd = kind[1] == QLatin1Char('1');
            const QString password =
                pwd && !TextHidPWD->text().isEmpty() ? rt::Right(QStringLiteral("000000000") + TextHidPWD->text(), 10) : QString();
            const QString cardText = tcard->text().trimmed();
            if (TxtCardID->text().trimmed().isEmpty()) {
                setStatus(QStringLiteral("请选择或输入卡号"));
                return;
            }
            if (kind == QLatin1String("00")) {
                setStatus(QStringLiteral("没有物理卡或者密码可退！"));
                return;
            }
            if (card) {
                if (tcard->text().isEmpty()) {
                    setStatus(QStringLiteral("请输入物理卡号"));
                    return;
                }
                if (tcard->text().size() != 10) {
                    setStatus(QStringLiteral("请按“读卡”按扭读入卡号"));
                    return;
                }
                if (!rt::IsDigits(tcard->text())) {
                    setStatus(QStringLiteral("卡号应为10位整数，如“0000000001”"));
                    return;
                }
            }
            if (pwd && TextHidPWD->text().isEmpty()) {
                setStatus(QStringLiteral("没有密码可退或者密码有误！"));
                return;
            }
            QString physical, employee, name, department;
            if (card || pwd) {
                // The card's row names the employee; a password alone is looked up by itself.
                db::Recordset rs = card ? mdl::DaoDatabase.openRecordset(
                                              QStringLiteral("SELECT * FROM dfaka WHERE 物理卡号=? ORDER BY 地址"), {cardText})
                                        : mdl::DaoDatabase.openRecordset(
                                              QStringLiteral("SELECT * FROM dfaka WHERE 物理卡号=? AND ") +
                                                  db::yesNo(QStringLiteral("密码标志")) + QStringLiteral("=1 ORDER BY 地址"),
                                              {password});
                if (rs.eof()) {
                    setStatus(card ? QStringLiteral("找不到该卡号对应的门号") : QStringLiteral("找不到该密码"));
                    return;
                }
                physical = rs.text(QStringLiteral("物理卡号"));
                employee = rs.text(QStringLiteral("卡号"));
                name = rs.text(QStringLiteral("姓名"));
                department = rs.text(QStringLiteral("部门"));
                if (card && cardText != physical) {
                    setStatus(QStringLiteral("请确认此员工物理卡号正确！"));
                    return;
                }
            }
            if (!cards::hasSelection(DoorAddr)) {
                QApplication::beep();
                setStatus(QStringLiteral("请选择从哪个门删除"));
                return;
            }
            setStatus(QStringLiteral("正在退卡，请稍候..."));
            const QStringList selection = mdl::SelectedLocks;
            for (const QString& item : selection) {
                const int address = cards::addressOf(item);
                setHourglass(true);
                if (card)
                    withdraw(address, physical.trimmed(), employee, name, department, false);
                if (pwd && password.size() == 10)
                    withdraw(address, password, employee, name, department, true);
                ui::sleepMs(mdl::CommandDelay);
            }
            setStatus(QStringLiteral("退卡完成"));
            mdl::PortReady = 0;
            for (QLineEdit* b : {TxtCardID, tcard, Tname, Tzhiwu, tsfz, Cdw})
                b->clear();
            setHourglass(false);
        } catch (const rt::Error& e) {
            setHourglass(false);
            run.end();
            ui::msgBox(e.text(), ui::mb::OKOnly, QStringLiteral("错误提示"));
            return;
        }
    }
    LstDepart_Click();
}

// ---- card reading and communication test -----------------------------------

void FrmFK::CmdRearCard_Click()
{
    ui::RunGuard run(this, {ComPort, Cdk});
    if (!run)
        return;
    try {
        if (!openPort())
            return;
        tcard->clear();
        if (mdl::CardIssuer == 300) {
            setStatus(QStringLiteral("请选择机号"));
            return;
        }
        if (Cdk->currentText().isEmpty()) {
            setStatus(QStringLiteral("请选择从哪台机读取卡号"));
            Cdk->setFocus();
            return;
        }
        if (Cdk->currentText().trimmed() == QLatin1String("99")) {
            // The reader may sit on the controllers' serial port.
            mdl::Door.call(QStringLiteral("DestoryPort"));
            if (!Module1::OpenCardReader(portOfBox(), 115200, Module1::kSectorKey, 1)) {
                setStatus(QStringLiteral("发卡机初始化失败"));
                Module1::CloseCardReader();
                return;
            }
            QString number;
            if (Module1::ReadCardSerial(number)) {
                tcard->setText(number);
                setStatus(QStringLiteral("物理卡号：") + number);
                cardreader::rf_beep(mdl::ReaderHandle, 30);
            } else {
                cardreader::rf_beep(mdl::ReaderHandle, 10);
                tcard->clear();
                setStatus(QStringLiteral("读卡失败,请重试!"));
                tcard->setFocus();
            }
            Module1::CloseCardReader();
            return;
        }
        const int16_t address = rt::CWhole(Cdk->currentText());
        const QString number = mdl::Door.call(QStringLiteral("ReadCardNum"), {address}).toString();
        if (number.isEmpty()) {
            setStatus(QStringLiteral("读卡不成功！"));
            mdl::PortReady = 0;
            return;
        }
        const QString t = number.trimmed();
        const QString card = t.size() >= 10 ? t.left(10) : t.rightJustified(10, QLatin1Char('0'));
        tcard->setText(card);
        setStatus(QStringLiteral("物理卡号：") + card);
        mdl::PortReady = 0;
    } catch (const rt::Error&) {
        setStatus(QStringLiteral("读取卡号不成功"));
    }
}

void FrmFK::cmdTest_Click()
{
    ui::RunGuard run(this, {ComPort, Cdk});
    if (!run)
        return;
    try {
        if (!openPort())
            return;
        if (!cards::hasSelection(DoorAddr)) {
            setStatus(QStringLiteral("请选择门锁地址进行测试！"));
            return;
        }
        setStatus(QStringLiteral("正在测试机器，请稍假..."));
        const QDateTime now = ui::now();
        const QString date = now.toString(QStringLiteral("yyMMdd"));
        const QString time = now.toString(QStringLiteral("HHmmss"));
        const int16_t week = int16_t(now.date().dayOfWeek());
        QString good = QStringLiteral("测试机器，成功：");
        QString bad = QStringLiteral("，失败：");
        const QStringList selection = mdl::SelectedLocks;
        for (const QString& item : selection) {
            const int address = cards::addressOf(item);
            const bool ok = mdl::Door.call(QStringLiteral("ModifyDateTime"), {int16_t(address), date, time, week}).toBool();
            (ok ? good : bad) += QStringLiteral("  ") + QString::number(address);
        }
        setStatus(good + bad);
    } catch (const rt::Error& e) {
        ui::msgBox(e.text(), ui::mb::OKOnly, QStringLiteral("信息提示"));
    }
}

OSTRELA_WINDOW(FrmFK);
