#include "frmsys.h"

#include "AppForms.h"
#include "ControllerCalls.h"
#include "Globals.h"
#include "Module1.h"
#include "db/Db.h"
#include "runtime/Conv.h"
#include "runtime/RuntimeError.h"
#include "ui/KeyPress.h"
#include "ui/RunGuard.h"
#include "ui/Ui.h"

#include <QComboBox>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

namespace {

QLabel* label(QWidget* parent, const QString& text, int x, int y, int w)
{
    auto* l = new QLabel(text, parent);
    l->setGeometry(x, y, w, 24);
    return l;
}

QLineEdit* box(QWidget* parent, const char* name, int x, int y, int w)
{
    auto* b = new QLineEdit(parent);
    b->setObjectName(QLatin1String(name));
    b->setGeometry(x, y, w, 24);
    return b;
}

QPushButton* button(QWidget* parent, const char* name, const QString& caption, int x, int y)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setGeometry(x, y, 80, 28);
    return b;
}

// The rows the window writes, in the order it writes them.
struct SettingRow {
    const char* name;
    const char* column;
};
constexpr SettingRow kRows[] = {
    {"串口号", "zhi"},      {"通讯设置", "detail"},     {"输入缓冲区", "zhi"}, {"输出缓冲区", "zhi"},
    {"命令延时", "zhi"},    {"采集等待时间", "zhi"}, {"机器版本号", "detail"},
};

} // namespace

frmsys::frmsys(QWidget* parent)
    : ui::Form(parent)
{
    setObjectName(QStringLiteral("frmsys"));
    setWindowTitle(QStringLiteral("串口版本设置"));
    setFixedSize(420, 300);

    Label1 = label(this, QStringLiteral("串口号:"), 30, 24, 130);
    Tport = box(this, "Tport", 170, 24, 120);
    Label2 = label(this, QStringLiteral("通讯设置:"), 30, 24, 130);
    Tset = box(this, "Tset", 170, 24, 120);
    Label3 = label(this, QStringLiteral("输入缓冲区:"), 30, 24, 130);
    Tinb = box(this, "Tinb", 170, 24, 120);
    Label4 = label(this, QStringLiteral("输出缓冲区:"), 30, 24, 130);
    Toutb = box(this, "Toutb", 170, 24, 120);
    for (QWidget* w : {static_cast<QWidget*>(Label2), static_cast<QWidget*>(Tset), static_cast<QWidget*>(Label3),
                       static_cast<QWidget*>(Tinb), static_cast<QWidget*>(Label4), static_cast<QWidget*>(Toutb)})
        w->hide();
    Label5 = label(this, QStringLiteral("命令延时 ："), 30, 64, 130);
    Txtdelay = box(this, "Txtdelay", 170, 64, 120);
    Txtdelay->setText(QStringLiteral("400"));
    Label6 = label(this, QStringLiteral("毫秒"), 296, 64, 50);
    Label7 = label(this, QStringLiteral("采集等待时间："), 30, 104, 130);
    TxtWait = box(this, "TxtWait", 170, 104, 120);
    TxtWait->setText(QStringLiteral("5"));
    Label8 = label(this, QStringLiteral("秒"), 296, 104, 50);
    Label9 = label(this, QStringLiteral("门禁机版本设置："), 30, 144, 130);
    CmbMachVer = new QComboBox(this);
    CmbMachVer->setObjectName(QStringLiteral("CmbMachVer"));
    CmbMachVer->setEditable(true);
    CmbMachVer->setInsertPolicy(QComboBox::NoInsert);
    CmbMachVer->setGeometry(170, 144, 160, 24);

    CmdOk = button(this, "CmdOk", QStringLiteral("应用"), 40, 190);
    cmdTest = button(this, "cmdTest", QStringLiteral("测试"), 170, 190);
    CmdExit = button(this, "CmdExit", QStringLiteral("退出"), 300, 190);

    Frame1 = new QFrame(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setFrameShape(QFrame::Box);
    Frame1->setGeometry(20, 230, 380, 60);
    Label10 = label(Frame1, QStringLiteral("请输入一个门禁地址："), 10, 18, 140);
    tdz = box(Frame1, "tdz", 150, 18, 60);
    Command1 = button(Frame1, "Command1", QStringLiteral("确定"), 216, 16);
    Command1->setFixedWidth(70);
    Command2 = button(Frame1, "Command2", QStringLiteral("退出"), 296, 16);
    Command2->setFixedWidth(70);
    Frame1->hide();
    setTabOrder(tdz, Command1);
    setTabOrder(Command1, Command2);

    ui::onKeyPress(Tport, [this](int& k) { Tport_KeyPress(k); });
    ui::onKeyPress(tdz, [this](int& k) { tdz_KeyPress(k); });
    connect(CmdOk, &QPushButton::clicked, this, &frmsys::CmdOk_Click);
    connect(cmdTest, &QPushButton::clicked, this, &frmsys::cmdTest_Click);
    connect(CmdExit, &QPushButton::clicked, this, &frmsys::CmdExit_Click);
    connect(Command1, &QPushButton::clicked, this, &frmsys::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &frmsys::Command2_Click);
}

void frmsys::Form_Load()
{
    if (QScreen* s = QGuiApplication::primaryScreen()) {
        const QRect sr = s->geometry();
        move(sr.x() + (sr.width() - width()) / 2, sr.y() + (sr.height() - height()) / 2);
    }
    Tport->setText(QString::number(mdl::PortNumber));
    Tset->setText(mdl::PortSettings);
    Tinb->setText(QString::number(mdl::InBufferSize));
    Toutb->setText(QString::number(mdl::OutBufferSize));
    Txtdelay->setText(QString::number(mdl::CommandDelay));
    // The stored wait, so that Apply writes back what the operator sees.
    try {
        TxtWait->setText(QString::number(Module1::LoadGatherWaitTime(mdl::AdoConnection)));
    } catch (const rt::Error&) {
        TxtWait->setText(QStringLiteral("5"));
    }
    LoadMachineVersions();
    CmbMachVer->setCurrentIndex(-1);
    CmbMachVer->setEditText(mdl::MachineVersion);
}

void frmsys::LoadMachineVersions()
{
    CmbMachVer->clear();
    try {
        db::Recordset rs = mdl::AdoConnection.execute(
            QStringLiteral("SELECT SubItem FROM Dict_Pub WHERE ParID=(SELECT ChiID FROM Dict_Pub WHERE SubItem=? "
                           "ORDER BY ChiID LIMIT 1) ORDER BY ChiID"),
            {QStringLiteral("机器版本号")});
        if (!rs.eof()) {
            CmbMachVer->addItem(QString());
            for (; !rs.eof(); rs.moveNext())
                CmbMachVer->addItem(rs.text(QStringLiteral("SubItem")));
        }
    } catch (const rt::Error&) {
        // No list: the version can still be typed.
    }
}

void frmsys::CmdOk_Click()
{
    ui::RunGuard run(this);
    if (!run)
        return;
    try {
        for (QLineEdit* b : {Tport, Tset, Tinb, Toutb}) {
            if (b->text().isEmpty()) {
                // A hidden box cannot take the focus.
                if (b->isHidden())
                    rt::raise(rt::ErrInvalidCall);
                b->setFocus();
                return;
            }
        }
        // Every row must be there before anything changes: a missing one is
        // reported, never taken for another, and the program does not run on
        // settings it could not store.
        db::Recordset sys = mdl::DaoDatabase.openRecordset(QStringLiteral("system"));
        for (const SettingRow& r : kRows) {
            sys.findFirst(QStringLiteral("name=?"), {QString::fromUtf8(r.name)});
            if (sys.noMatch())
                rt::raise(rt::ErrNoCurrentRecord,
                          QStringLiteral("表 system 中没有“%1”行").arg(QString::fromUtf8(r.name)));
        }

        // Typing takes digits only: a pasted "5.5" must not become port 6.
        const int16_t port = rt::CWhole(Tport->text());
        // Nor may a pasted "-1", "1e1" or "0x10" become a delay, a wait or a
        // buffer size: a delay of 0 or less would send commands back to back.
        int16_t sizes[4] = {};
        const struct {
            QLineEdit* box;
            const char* name;
            int16_t initial;   // what the initialisation stores
        } numbers[] = {{Tinb, "输入缓冲区", mdl::kInitialInBufferSize}, {Toutb, "输出缓冲区", mdl::kInitialOutBufferSize},
                       {Txtdelay, "命令延时", 0},
                       {TxtWait, "采集等待时间", 0}};
        for (size_t i = 0; i < std::size(numbers); ++i) {
            const std::optional<int16_t> v = rt::WholeNumber(numbers[i].box->text(), 1);
            if (!v) {
                run.end();
                QLineEdit* box = numbers[i].box;
                const QString name = QString::fromUtf8(numbers[i].name);
                if (box->isHidden()) {
                    // The operator cannot see or mend a hidden box: the stored
                    // value is named and the initial one put back for the next Apply.
                    ui::msgBox(QStringLiteral("保存的%1“%2”不是1到32767之间的整数，已改回默认值%3，请再按“应用”！")
                                   .arg(name, box->text())
                                   .arg(numbers[i].initial),
                               ui::mb::OKOnly, QStringLiteral("提示"));
                    box->setText(QString::number(numbers[i].initial));
                } else {
                    ui::msgBox(name + QStringLiteral("应为1到32767之间的整数！"), ui::mb::OKOnly, QStringLiteral("提示"));
                    box->setFocus();
                    box->selectAll();
                }
                return;
            }
            sizes[i] = *v;
        }
        mdl::PortNumber = port;
        mdl::PortSettings = trimBlanks(Tset->text());
        mdl::InBufferSize = sizes[0];
        mdl::OutBufferSize = sizes[1];
        mdl::CommandDelay = sizes[2];
        mdl::GatherWaitTime = sizes[3];
        mdl::MachineVersion = trimBlanks(CmbMachVer->currentText());

        mdl::PortReady = mdl::Door.call(QStringLiteral("SetPort"), {mdl::PortNumber}).toBool() ? -1 : 0;

        const QVariant values[] = {mdl::PortNumber,   mdl::PortSettings,   mdl::InBufferSize,  mdl::OutBufferSize,
                                   mdl::CommandDelay, mdl::GatherWaitTime, mdl::MachineVersion};
        for (size_t i = 0; i < std::size(kRows); ++i) {
            sys.findFirst(QStringLiteral("name=?"), {QString::fromUtf8(kRows[i].name)});
            sys.edit();
            sys.setField(QLatin1String(kRows[i].column), values[i]);
            sys.update();
        }
        sys.close();

        mdl::PortNumber = rt::CInt(Tport->text());
        mdl::PortSettings = Tset->text();
        mdl::InBufferSize = rt::CInt(Tinb->text());
        mdl::OutBufferSize = rt::CInt(Toutb->text());
        mdl::MachineVersion = trimBlanks(CmbMachVer->currentText());
    } catch (const rt::Error& e) {
        run.end();
        ui::msgBox(e.text(), ui::mb::OKOnly);
        return;
    }
    run.end();
    unloadForm();
}

void frmsys::cmdTest_Click()
{
    Frame1->show();
    cmdTest->setEnabled(false);
    CmdOk->setEnabled(false);
}

void frmsys::Command2_Click()
{
    Frame1->hide();
    CmdOk->setEnabled(true);
    cmdTest->setEnabled(true);
}

void frmsys::Command1_Click()
{
    ui::RunGuard run(this);
    if (!run)
        return;
    try {
        // The port last applied, not what the box shows.
        mdl::PortReady = mdl::Door.call(QStringLiteral("SetPort"), {mdl::PortNumber}).toBool() ? -1 : 0;
    } catch (const rt::Error&) {
    }
    if (!mdl::PortReady) {
        ui::msgBox(QStringLiteral("串口打开失败！"), ui::mb::OKOnly);
        return;
    }
    const QString text = trimBlanks(tdz->text());
    if (text.isEmpty()) {
        ui::msgBox(QStringLiteral("请输入考勤机地址"), ui::mb::OKOnly, QStringLiteral("提示"));
        tdz->setFocus();
        return;
    }
    // Pasted text that is not a whole number is refused as out of range.
    const std::optional<int16_t> address = rt::WholeNumber(text, 1, 99);
    if (!address) {
        ui::msgBox(QStringLiteral("地址为0-99之间的整数"), ui::mb::OKOnly, QStringLiteral("提示"));
        tdz->setFocus();
        return;
    }
    bool ok = false;
    try {
        ok = ctl::setClockNow(*address);
    } catch (const rt::Error&) {
        ok = false;
    }
    ui::msgBox(ok ? QStringLiteral("测试成功") : QStringLiteral("测试不成功"), ui::mb::OKOnly | ui::mb::Information,
               QStringLiteral("提示"));
    mdl::PortReady = 0;
}

void frmsys::CmdExit_Click()
{
    unloadForm();
}

void frmsys::Form_Unload(bool& cancel)
{
    Q_UNUSED(cancel);
    try {
        mdl::Door.call(QStringLiteral("DestoryPort"));
    } catch (const rt::Error&) {
    }
}

void frmsys::Tport_KeyPress(int& KeyAscii)
{
    if (KeyAscii == ui::kBackspace || (KeyAscii >= '0' && KeyAscii <= '9'))
        return;
    KeyAscii = 0;
    ui::beep();
}

// Backspace passes as in the port box: a mistyped address can be corrected.
void frmsys::tdz_KeyPress(int& KeyAscii)
{
    if (!ui::enterMovesOn(tdz, KeyAscii) && KeyAscii != ui::kBackspace && (KeyAscii < '0' || KeyAscii > '9'))
        KeyAscii = 0;
}

OSTRELA_WINDOW(frmsys);
