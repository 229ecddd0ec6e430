#include "Frmdoors.h"

#include "AppForms.h"
#include "ControllerCalls.h"
#include "DoorLink.h"
#include "FrmSetTime.h"
#include "Globals.h"
#include "Module1.h"
#include "runtime/Conv.h"
#include "runtime/RuntimeError.h"
#include "ui/KeyPress.h"
#include "ui/RunGuard.h"
#include "ui/Ui.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStatusBar>

namespace {

const QString kInfoTitle = QStringLiteral("信息提示");

struct LockKind {
    const char* caption;
    const char* stored;
    const char* defaultDelay;
};
const LockKind kKinds[3] = {{"玻璃门锁", "玻", "5"}, {"木门锁", "木", "5"}, {"铁门锁", "铁", "0.5"}};

QLabel* label(QWidget* parent, const QString& text, int x, int y, int w = 90)
{
    auto* l = new QLabel(text, parent);
    l->setGeometry(x, y, w, 22);
    return l;
}

template <class T>
T* named(T* w, const QString& name)
{
    w->setObjectName(name);
    return w;
}

// The trimmed text of a delay box. Typing takes digits and points only, so
// pasted text with anything else ("1e1", "-1", "&H5") is no delay at all.
QString delayText(const QLineEdit* box)
{
    static const QRegularExpression other(QStringLiteral("[^0-9.]"));
    const QString t = box->text().trimmed();
    if (t.contains(other))
        rt::raise(rt::ErrTypeMismatch);
    return t;
}

// Releases the busy pointer however the operation ends.
struct BusyPointer {
    BusyPointer() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyPointer() { QApplication::restoreOverrideCursor(); }
};

} // namespace

Frmdoors::Frmdoors(QWidget* parent)
    : ui::Form(parent)
{
    setObjectName(QStringLiteral("Frmdoors"));
    setWindowTitle(QStringLiteral("门锁设置"));
    resize(560, 448);

    label(this, QStringLiteral("地址:"), 16, 14, 40);
    Cdoor = named(new QComboBox(this), QStringLiteral("Cdoor"));
    Cdoor->setEditable(true);
    Cdoor->setInsertPolicy(QComboBox::NoInsert);
    Cdoor->setGeometry(60, 12, 100, 24);
    ui::onKeyPress(Cdoor, [this](int& k) { Cdoor_KeyPress(k); });
    connect(Cdoor, &QComboBox::activated, this, [this] { Cdoor_Click(); });

    for (int lock = 0; lock < 2; ++lock) {
        auto* frame = named(new QGroupBox(this), lock == 0 ? QStringLiteral("Frame2") : QStringLiteral("Frame4"));
        frame->setGeometry(16, 44 + lock * 156, 262, 148);
        (lock == 0 ? Frame2 : Frame4) = frame;
        Clkn1[lock] = named(new QCheckBox(lock == 0 ? QStringLiteral("一号锁") : QStringLiteral("二号锁"), frame),
                            QStringLiteral("Clkn1_%1").arg(lock));
        Clkn1[lock]->setGeometry(10, 14, 100, 22);
        label(frame, QStringLiteral("重命名:"), 10, 44, 80);
        drnam[lock] = named(new QLineEdit(frame), QStringLiteral("drnam_%1").arg(lock));
        drnam[lock]->setGeometry(100, 44, 150, 22);
        label(frame, QStringLiteral("开门延迟时间:"), 10, 74, 90);
        second2[lock] = named(new QLineEdit(QStringLiteral("5"), frame), QStringLiteral("second2_%1").arg(lock));
        second2[lock]->setGeometry(100, 74, 60, 22);
        ui::onKeyPress(second2[lock], [this, lock](int& k) { second2_KeyPress(lock, k); });
        for (int k = 0; k < 3; ++k) {
            const int index = lock * 3 + k;
            Opt[index] = named(new QRadioButton(QString::fromUtf8(kKinds[k].caption), frame),
                               QStringLiteral("Opt_%1").arg(index));
            Opt[index]->setGeometry(10 + k * 82, 110, 82, 22);
            connect(Opt[index], &QRadioButton::clicked, this, [this, index] { Opt_Click(index); });
        }
    }

    LblExp = named(label(this, QStringLiteral("外接延时："), 16, 362, 70), QStringLiteral("LblExp"));
    TxtSecond3 = named(new QLineEdit(QStringLiteral("5"), this), QStringLiteral("TxtSecond3"));
    TxtSecond3->setGeometry(86, 362, 60, 22);
    ui::onKeyPress(TxtSecond3, [this](int& k) { TxtSecond3_KeyPress(k); });
    // On its own line: beside the box it ran under the buttons of the right-hand column.
    LblS = named(label(this, QStringLiteral("说明：1 个延时相当于 0.3 秒"), 16, 388, 262), QStringLiteral("LblS"));

    label(this, QStringLiteral("*门锁信息"), 292, 14, 100);
    ListView1 = named(new QListWidget(this), QStringLiteral("ListView1"));
    ListView1->setGeometry(292, 40, 252, 196);

    auto button = [this](const QString& text, const QString& name, int x, int y, int w = 122) {
        auto* b = named(new QPushButton(text, this), name);
        b->setGeometry(x, y, w, 26);
        return b;
    };
    Cmdadd = button(QStringLiteral("新增(&A)"), QStringLiteral("Cmdadd"), 292, 248);
    Command4 = button(QStringLiteral("修改(&C)"), QStringLiteral("Command4"), 422, 248);
    Cmddel = button(QStringLiteral("删除(&D)"), QStringLiteral("Cmddel"), 292, 280);
    Command2 = button(QStringLiteral("退出(&E)"), QStringLiteral("Command2"), 422, 280);
    Command1 = button(QStringLiteral("修改机器时间(&M)"), QStringLiteral("Command1"), 292, 312);
    cmdTest = button(QStringLiteral("门锁初始化(&I)"), QStringLiteral("cmdTest"), 422, 312);
    CmdSetTime = button(QStringLiteral("时间段设置(&S)"), QStringLiteral("CmdSetTime"), 292, 344, 252);
    connect(Cmdadd, &QPushButton::clicked, this, &Frmdoors::Cmdadd_Click);
    connect(Command4, &QPushButton::clicked, this, &Frmdoors::Command4_Click);
    connect(Cmddel, &QPushButton::clicked, this, &Frmdoors::Cmddel_Click);
    connect(Command2, &QPushButton::clicked, this, &Frmdoors::Command2_Click);
    connect(Command1, &QPushButton::clicked, this, &Frmdoors::Command1_Click);
    connect(cmdTest, &QPushButton::clicked, this, &Frmdoors::cmdTest_Click);
    connect(CmdSetTime, &QPushButton::clicked, this, &Frmdoors::CmdSetTime_Click);

    Pic = named(new QFrame(this), QStringLiteral("Pic"));
    Pic->setFrameShape(QFrame::Box);
    Pic->setGeometry(16, 44, 262, 304);
    ChkRecord = named(new QCheckBox(QStringLiteral("清空机器刷卡记录"), Pic), QStringLiteral("ChkRecord"));
    ChkRecord->setGeometry(30, 60, 200, 24);
    ChkName = named(new QCheckBox(QStringLiteral("清空机器发卡名单"), Pic), QStringLiteral("ChkName"));
    ChkName->setGeometry(30, 100, 200, 24);
    cmdY = named(new QPushButton(QStringLiteral("确定"), Pic), QStringLiteral("cmdY"));
    cmdY->setGeometry(30, 180, 90, 26);
    cmdCancel = named(new QPushButton(QStringLiteral("返回"), Pic), QStringLiteral("cmdCancel"));
    cmdCancel->setGeometry(140, 180, 90, 26);
    connect(cmdY, &QPushButton::clicked, this, &Frmdoors::cmdY_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &Frmdoors::cmdCancel_Click);
    Pic->hide();

    StatusBar1 = named(new QStatusBar(this), QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);
    StatusBar1->setGeometry(0, 424, 560, 24);
    auto* panel = named(new QLabel(StatusBar1), QStringLiteral("Panel1"));
    StatusBar1->addWidget(panel, 1);
}

QString Frmdoors::panel1() const
{
    return StatusBar1->findChild<QLabel*>(QStringLiteral("Panel1"))->text();
}

void Frmdoors::setPanel1(const QString& text)
{
    StatusBar1->findChild<QLabel*>(QStringLiteral("Panel1"))->setText(text);
}

void Frmdoors::fillAddresses()
{
    Cdoor->clear();
    db::Recordset rs = mdl::AdoConnection.execute(
        QStringLiteral("SELECT DISTINCT 地址 FROM doors ORDER BY CAST(地址 AS INTEGER)"));
    for (; !rs.eof(); rs.moveNext())
        Cdoor->addItem(rs.text(QStringLiteral("地址")));
    Cdoor->setCurrentIndex(-1);
    Cdoor->setEditText(QString());
}

void Frmdoors::Form_Load()
{
    try {
        fillAddresses();
        ListView1->clear();
        Module1::SaveControlLayout(this);
        layoutSaved_ = true;
        if (!ctl::openPort())
            setPanel1(QStringLiteral("串口打开失败！"));
    } catch (const rt::Error& e) {
        ui::msgBox(e.description(), ui::mb::OKOnly);
    }
}

void Frmdoors::resizeEvent(QResizeEvent* e)
{
    ui::Form::resizeEvent(e);
    if (layoutSaved_)
        Module1::ResizeControls(this);
}

void Frmdoors::Cdoor_KeyPress(int& KeyAscii)
{
    if ((KeyAscii < '0' || KeyAscii > '9') && KeyAscii != ui::kEnter && KeyAscii != ui::kBackspace)
        KeyAscii = 0;
}

void Frmdoors::TxtSecond3_KeyPress(int& KeyAscii)
{
    Cdoor_KeyPress(KeyAscii);
}

void Frmdoors::second2_KeyPress(int, int& KeyAscii)
{
    if ((KeyAscii < '0' || KeyAscii > '9') && KeyAscii != '.' && KeyAscii != ui::kEnter && KeyAscii != ui::kBackspace)
        KeyAscii = 0;
}

void Frmdoors::Opt_Click(int index)
{
    second2[index / 3]->setText(QString::fromUtf8(kKinds[index % 3].defaultDelay));
}

void Frmdoors::Cdoor_Click()
{
    ui::RunGuard run(this, {Cdoor});
    if (!run)
        return;
    try {
        setPanel1(QStringLiteral("正在读取门锁信息，请稍候..."));
        if (!ctl::openPort()) {
            setPanel1(QStringLiteral("串口打开失败!"));
            return;
        }
        ListView1->clear();
        const int16_t address = rt::CWhole(Cdoor->currentText());

        db::Recordset rs = mdl::DaoDatabase.openRecordset(QStringLiteral("SELECT * FROM doors WHERE 地址=?"), {address});
        if (!rs.eof()) {
            for (int lock = 0; lock < 2; ++lock) {
                const QVariant type = rs.field(lock == 0 ? QStringLiteral("dtype1") : QStringLiteral("dtype2"));
                const QString t = db::text(type);
                for (int k = 0; k < 3; ++k) {
                    if (t == QString::fromUtf8(kKinds[k].stored)) {
                        QRadioButton* o = Opt[lock * 3 + k];
                        if (!o->isChecked()) {
                            o->setChecked(true);
                            Opt_Click(lock * 3 + k);
                        }
                    }
                }
                if (!db::isNull(type) && t.isEmpty())
                    Clkn1[lock]->setChecked(false);
            }
            drnam[0]->setText(rs.text(QStringLiteral("namedr1")));
            drnam[1]->setText(rs.text(QStringLiteral("namedr2")));
        }

        com::Args clock{address, QString()};
        if (!doorlink::call(QStringLiteral("getDateTimeDelay"), clock).toBool()) {
            setPanel1(QStringLiteral("通信失败!"));
            return;
        }
        const QString c = clock[1].toString();
        const QString clockText = QStringLiteral("20") + rt::Mid(c, 1, 2) + "-" + rt::Mid(c, 3, 2) + "-" + rt::Mid(c, 5, 2)
                                  + " " + rt::Mid(c, 7, 2) + ":" + rt::Mid(c, 9, 2) + ":" + rt::Mid(c, 11, 2);
        const int16_t delay1 = rt::CInt(rt::Mid(c, 13, 3));
        const int16_t delay2 = rt::CInt(rt::Mid(c, 16, 3));
        const int16_t delay3 = rt::CInt(rt::Mid(c, 19, 3));
        second2[0]->setText(QString::number(delay1));
        second2[1]->setText(QString::number(delay2));
        TxtSecond3->setText(QString::number(delay3));

        // Each read that fails is named on the panel; a count not read shows
        // as such, never as -1.
        QStringList unread;
        doorlink::pause();
        com::Args ver{address, QString()};
        doorlink::MachineVersion v;
        if (doorlink::call(QStringLiteral("GetMachVer"), ver).toBool()) {
            v = doorlink::parseMachineVersion(ver[1].toString());
        } else {
            v.version = QStringLiteral("未读到版本号！");
            unread << QStringLiteral("版本号");
        }
        auto count = [&](const QString& member, const QString& name) {
            doorlink::pause();
            com::Args a{address};
            const int32_t n = doorlink::call(member, a).toLong();
            if (n >= 0)
                return QString::number(n);
            unread << name;
            return QStringLiteral("未读到");
        };
        const QString cards = count(QStringLiteral("GatherSendCardSum"), QStringLiteral("发卡数"));
        const QString records = count(QStringLiteral("GatherRecordSum"), QStringLiteral("打卡数"));

        ListView1->addItems({
            QStringLiteral("机器地址：") + QString::number(address),
            QStringLiteral("锁一延时：") + QString::number(delay1),
            QStringLiteral("锁二延时：") + QString::number(delay2),
            QStringLiteral("外接延时：") + QString::number(delay3),
            QStringLiteral("发  卡  数：") + cards,
            QStringLiteral("打  卡  数：") + records,
            QStringLiteral("机器时间：") + clockText,
            QStringLiteral("型         号：") + v.model,
            QStringLiteral("版        本：") + v.version,
            QStringLiteral("版本日期：") + v.date,
        });
        mdl::PortReady = 0;
        setPanel1(unread.isEmpty() ? QStringLiteral("读取门锁信息，成功.")
                                   : QStringLiteral("读取门锁信息，未读到") + unread.join(QStringLiteral("、")) + QStringLiteral("！"));
    } catch (const rt::Error& e) {
        setPanel1(QString());
        ui::msgBox(e.text(), ui::mb::OKOnly, kInfoTitle);
    }
}

QString Frmdoors::lockType(int lock) const
{
    if (!Clkn1[lock]->isChecked())
        return QString();
    if (Opt[lock * 3]->isChecked())
        return QString::fromUtf8(kKinds[0].stored);
    if (Opt[lock * 3 + 1]->isChecked())
        return QString::fromUtf8(kKinds[1].stored);
    return QString::fromUtf8(kKinds[2].stored);
}

bool Frmdoors::checkLockDelay(int lock)
{
    if (!Clkn1[lock]->isChecked())
        return true;
    const bool iron = Opt[lock * 3 + 2]->isChecked();
    const QString text = delayText(second2[lock]);
    if (text.isEmpty()) {
        second2[lock]->setText(QString::fromUtf8(kKinds[iron ? 2 : 0].defaultDelay));
        return true;
    }
    const double d = rt::CDbl(text);
    if (iron && (d < 0 || d > 2)) {
        setPanel1(QStringLiteral("铁门锁延迟时间建议在0到2之间!"));
        return false;
    }
    if (!iron && (d < 0 || d > 25)) {
        setPanel1(QStringLiteral("门锁延迟时间建议在0到25之间!"));
        return false;
    }
    return true;
}

bool Frmdoors::checkRowAddress(int16_t& address)
{
    const QString addressText = Cdoor->currentText().trimmed();
    if (addressText.isEmpty()) {
        setPanel1(QStringLiteral("请输入地址!"));
        return false;
    }
    address = rt::CWhole(addressText);
    if (address > 99) {
        setPanel1(QStringLiteral("地址<=99，请重输!"));
        return false;
    }
    return true;
}

std::optional<int16_t> Frmdoors::externalDelay(int most)
{
    // Typing takes digits only; pasted "-5", "5.5" or "1e2" is refused
    // rather than rounded onto another delay.
    const QString text = TxtSecond3->text().trimmed();
    const std::optional<int16_t> units = rt::WholeNumber(text, 0, most);
    if (!units) {
        setPanel1(rt::IsDigits(text) ? QStringLiteral("建议外接延时不要超过60秒！") : QStringLiteral("外接延时应为非负整数！"));
        TxtSecond3->setFocus();
        TxtSecond3->selectAll();
    }
    return units;
}

void Frmdoors::Cmdadd_Click()
{
    try {
        int16_t address = 0;
        if (!checkRowAddress(address))
            return;
        for (int lock = 0; lock < 2; ++lock) {
            if (Clkn1[lock]->isChecked() && drnam[lock]->text().trimmed().isEmpty()) {
                setPanel1(QStringLiteral("请输入重命名！"));
                return;
            }
        }
        const std::optional<int16_t> external = externalDelay(200);
        if (!external)
            return;
        if (!checkLockDelay(0) || !checkLockDelay(1))
            return;
        if (!mdl::DaoDatabase.openRecordset(QStringLiteral("SELECT 地址 FROM doors WHERE 地址=?"), {address}).eof()) {
            setPanel1(QStringLiteral("地址重复,请重设"));
            return;
        }
        // A lock not in use keeps no value at all; with neither lock ticked
        // the row still carries lock 1's name and delay.
        const bool use1 = Clkn1[0]->isChecked();
        const bool use2 = Clkn1[1]->isChecked();
        QVariant cols[6];   // namedr1, delay1, dtype1, namedr2, delay2, dtype2
        if (use1 || !use2) {
            cols[0] = drnam[0]->text().trimmed();
            cols[1] = rt::CDbl(delayText(second2[0]));
            cols[2] = lockType(0);
        }
        if (use2) {
            cols[3] = drnam[1]->text().trimmed();
            cols[4] = rt::CDbl(delayText(second2[1]));
            cols[5] = lockType(1);
        }
        mdl::DaoDatabase.execute(
            QStringLiteral("INSERT INTO doors (地址,namedr1,delay1,dtype1,namedr2,delay2,dtype2,delay3) "
                           "VALUES (?,?,?,?,?,?,?,?)"),
            {address, cols[0], cols[1], cols[2], cols[3], cols[4], cols[5], *external});
        Cdoor->addItem(Cdoor->currentText());
        setPanel1(QStringLiteral("已经添加完毕"));
    } catch (const rt::Error& e) {
        ui::msgBox(e.text(), ui::mb::OKOnly, kInfoTitle);
    }
}

void Frmdoors::Command4_Click()
{
    ui::RunGuard run(this, {Cdoor});
    if (!run)
        return;
    try {
        int16_t address = 0;
        if (!checkRowAddress(address))
            return;
        for (int lock = 0; lock < 2; ++lock) {
            if (Clkn1[lock]->isChecked() && drnam[lock]->text().isEmpty()) {
                setPanel1(QStringLiteral("请填写锁一或者锁二的重命名！"));
                return;
            }
        }
        if (!checkLockDelay(0) || !checkLockDelay(1))
            return;
        // Any whole number goes: the library clamps it to what a controller takes.
        const std::optional<int16_t> external = externalDelay(32767);
        if (!external)
            return;
        if (mdl::DaoDatabase.openRecordset(QStringLiteral("SELECT 地址 FROM doors WHERE 地址=?"), {address}).eof()) {
            ui::msgBox(QStringLiteral("地址不存在,请重设"), ui::mb::Exclamation | ui::mb::OKOnly);
            return;
        }
        if (second2[0]->text().isEmpty() || second2[1]->text().isEmpty()) {
            setPanel1(QStringLiteral("请输入锁一和锁二延时数"));
            return;
        }
        com::Args delays{address, rt::CInt(delayText(second2[0])), rt::CInt(delayText(second2[1])), *external};
        // The row is what is sent: the boxes can be typed in while the controller answers.
        const QVariantList values{address,
                                  drnam[0]->text().trimmed(),
                                  second2[0]->text().trimmed(),
                                  lockType(0),
                                  drnam[1]->text().trimmed(),
                                  second2[1]->text().trimmed(),
                                  lockType(1),
                                  *external};
        if (!doorlink::call(QStringLiteral("SetLockDelayTime"), delays).toBool()) {
            setPanel1(QStringLiteral("已经修改完毕,失败！"));
            return;
        }
        // The old row goes only together with the new one going in.
        try {
            mdl::DaoDatabase.beginTrans();
            mdl::DaoDatabase.execute(QStringLiteral("DELETE FROM doors WHERE 地址=?"), {address});
            mdl::DaoDatabase.execute(
                QStringLiteral("INSERT INTO doors (地址,namedr1,delay1,dtype1,namedr2,delay2,dtype2,delay3) "
                               "VALUES (?,?,?,?,?,?,?,?)"),
                values);
            mdl::DaoDatabase.commitTrans();
        } catch (const rt::Error&) {
            mdl::DaoDatabase.rollback();
            setPanel1(QStringLiteral("已经修改完毕,失败！"));
            throw;
        }
        setPanel1(QStringLiteral("已经修改完毕,成功！"));
    } catch (const rt::Error& e) {
        ui::msgBox(e.text(), ui::mb::OKOnly, kInfoTitle);
    }
}

void Frmdoors::Cmddel_Click()
{
    try {
        if (Cdoor->currentText().isEmpty()) {
            setPanel1(QStringLiteral("请输入要删除的地址!"));
            return;
        }
        const QString addressText = Cdoor->currentText().trimmed();
        const int16_t address = rt::CWhole(addressText);
        if (ui::msgBox(QStringLiteral("确信要删除地址为") + addressText + QStringLiteral("的门及其相应的发卡记录吗?"),
                       ui::mb::YesNo | ui::mb::Question)
            != ui::mb::Yes)
            return;
        // The door and its issued credentials go together.
        try {
            mdl::DaoDatabase.beginTrans();
            mdl::DaoDatabase.execute(QStringLiteral("DELETE FROM doors WHERE 地址=?"), {address});
            mdl::DaoDatabase.execute(QStringLiteral("DELETE FROM dfaka WHERE 地址=?"), {address});
            mdl::DaoDatabase.commitTrans();
        } catch (const rt::Error&) {
            mdl::DaoDatabase.rollback();
            throw;
        }
        fillAddresses();
    } catch (const rt::Error& e) {
        ui::msgBox(e.text(), ui::mb::OKOnly, kInfoTitle);
    }
}

void Frmdoors::Command2_Click()
{
    if (ui::holdClose(this))
        return;
    mdl::PortReady = 0;
    unloadForm();
}

void Frmdoors::Form_Unload(bool&)
{
    mdl::PortReady = 0;
    ctl::releasePort();
}

void Frmdoors::Command1_Click()
{
    ui::RunGuard run(this, {Cdoor});
    if (!run)
        return;
    try {
        const QString addressText = Cdoor->currentText().trimmed();
        if (addressText.isEmpty()) {
            setPanel1(QStringLiteral("请选择地址 ！"));
            return;
        }
        int16_t address = 0;
        try {
            address = rt::CWhole(addressText);
        } catch (const rt::Error& e) {
            // Not the line's fault: "abc" or "5.5" must not set another clock.
            ui::msgBox(e.text(), ui::mb::OKOnly, kInfoTitle);
            return;
        }
        const QDateTime now = ui::now();
        // Monday 1 .. Sunday 7, whatever language the desktop speaks.
        const QString week = QString::number(now.date().dayOfWeek());
        com::Args a{address, now.toString(QStringLiteral("yyMMdd")), now.toString(QStringLiteral("HHmmss")), week};
        if (doorlink::call(QStringLiteral("ModifyDateTime"), a).toBool())
            setPanel1(QStringLiteral("修改日期时间成功 ！"));
        else
            setPanel1(QStringLiteral("修改日期时间不成功 ！"));
    } catch (const rt::Error&) {
        ui::msgBox(QStringLiteral("修改日期时间失败,请检查线路!"), ui::mb::OKOnly, QStringLiteral("提示"));
    }
}

void Frmdoors::cmdTest_Click()
{
    Pic->show();
    Pic->raise();
    Frame2->hide();
    Frame4->hide();
}

void Frmdoors::cmdCancel_Click()
{
    ChkRecord->setChecked(false);
    ChkName->setChecked(false);
    Pic->hide();
    Frame2->show();
    Frame4->show();
}

void Frmdoors::cmdY_Click()
{
    ui::RunGuard run(this, {Cdoor});
    if (!run)
        return;
    BusyPointer busy;
    try {
        if (Cdoor->currentText().isEmpty()) {
            setPanel1(QStringLiteral("请选择或者输入机器号!"));
            return;
        }
        const int16_t address = rt::CWhole(Cdoor->currentText());
        bool failed = false;
        if (ChkRecord->isChecked()) {
            com::Args a{address};
            if (!doorlink::call(QStringLiteral("clearRecord"), a).toBool()) {
                setPanel1(QStringLiteral("清空机器刷卡记录失败!"));
                failed = true;
            }
        }
        doorlink::pause();
        if (ChkName->isChecked()) {
            com::Args a{address};
            if (!doorlink::call(QStringLiteral("ClearNamelist"), a).toBool()) {
                setPanel1(QStringLiteral("清空机器发卡名单失败!"));
                failed = true;
            }
        }
        // A refused step stays on the panel; success is claimed only when
        // every ticked step went through.
        if (!failed)
            setPanel1(QStringLiteral("初始化机器已完成！"));
    } catch (const rt::Error& e) {
        ui::msgBox(e.text(), ui::mb::OKOnly, kInfoTitle);
    }
}

void Frmdoors::CmdSetTime_Click()
{
    ui::RunGuard run(this, {Cdoor});
    if (!run)
        return;
    try {
        if (Cdoor->currentText().isEmpty()) {
            setPanel1(QStringLiteral("请选择机器号!"));
            return;
        }
        if (!ctl::openPort()) {
            setPanel1(QStringLiteral("串口打开失败!"));
            return;
        }
        const int16_t address = rt::CWhole(Cdoor->currentText());
        doorlink::pause();
        com::Args ver{address, QString()};
        if (!doorlink::call(QStringLiteral("GetMachVer"), ver).toBool()) {
            setPanel1(QStringLiteral("机器：") + QString::number(address) + QStringLiteral(" 通迅不成功！"));
            return;
        }
        // The panel text would be replaced at once by the next step's: the
        // mismatch is shown in a box of its own, with both versions.
        const QString found = doorlink::parseMachineVersion(ver[1].toString()).label();
        if (found != mdl::MachineVersion)
            ui::msgBox(QStringLiteral("系统设置的机器版本与所检测到机器：") + QString::number(address)
                           + QStringLiteral("的版本对不上！请重设！\n系统设置：") + mdl::MachineVersion
                           + QStringLiteral("\n机器：") + found,
                       ui::mb::OKOnly | ui::mb::Exclamation, kInfoTitle);
        // Group 16 is prepared again on the next hand-over; a failure here
        // must not keep the operator from the time-group window.
        try {
            InitTimeGroup16();
        } catch (const rt::Error&) {
        }
        hideForm();
        FrmSetTime::PresetAddr = rt::CWhole(Cdoor->currentText());
        ui::forms::load<FrmSetTime>()->showModeless();
    } catch (const rt::Error& e) {
        ui::msgBox(e.text(), ui::mb::OKOnly, kInfoTitle);
    }
}

void Frmdoors::InitTimeGroup16()
{
    setPanel1(QStringLiteral("正在初始化机器..."));
    const int16_t address = rt::CWhole(Cdoor->currentText());
    db::Recordset rs = mdl::AdoConnection.execute(
        QStringLiteral("SELECT 时间段16 FROM DTime WHERE 地址=? ORDER BY rowid LIMIT 1"), {address});
    if (rs.eof() || rs.text(QStringLiteral("时间段16")) == QLatin1String("0000-2359"))
        return;
    com::Args a{address, int16_t(1), int16_t(15), QStringLiteral("0000-2359"), int16_t(0)};
    if (!doorlink::call(QStringLiteral("SetTimeGroup"), a).toBool())
        return;
    mdl::AdoConnection.execute(QStringLiteral("UPDATE DTime SET 时间段16='0000-2359' WHERE 地址=?"), {address});
    setPanel1(QStringLiteral("正在初始化机器完毕"));
}

OSTRELA_WINDOW(Frmdoors);
