#include "FrmFKZL.h"

#include "AppForms.h"
#include "ControllerCalls.h"
#include "Globals.h"
#include "Module1.h"
#include "db/Db.h"
#include "runtime/Conv.h"
#include "runtime/RuntimeError.h"
#include "ui/RunGuard.h"
#include "ui/Ui.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSet>
#include <QStatusBar>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>

namespace {

const QString kListHeader = QStringLiteral("    卡号      姓名      机号             是否密码");
const QString kGap = QStringLiteral("     ");

int16_t flag(bool b) { return b ? int16_t(-1) : int16_t(0); }

QList<FrmFKZL::CardRow> readRows(const QString& sql, const QVariantList& params)
{
    QList<FrmFKZL::CardRow> out;
    db::Recordset rs = mdl::DaoDatabase.openRecordset(sql, params);
    for (; !rs.eof(); rs.moveNext()) {
        FrmFKZL::CardRow r;
        r.number = rs.text(QStringLiteral("卡号"));
        r.physical = rs.text(QStringLiteral("物理卡号"));
        r.name = rs.text(QStringLiteral("姓名"));
        r.week = rs.text(QStringLiteral("周标志"));
        r.endDate = rs.text(QStringLiteral("截止日期"));
        r.groups1 = rs.text(QStringLiteral("锁1时间段标志"));
        r.groups2 = rs.text(QStringLiteral("锁2时间段标志"));
        r.weekControl = db::toBool(rs.field(QStringLiteral("周控制")));
        r.lock1 = db::toBool(rs.field(QStringLiteral("锁1允许")));
        r.lock2 = db::toBool(rs.field(QStringLiteral("锁2允许")));
        r.timeControl = db::toBool(rs.field(QStringLiteral("时间控制")));
        r.endDateControl = db::toBool(rs.field(QStringLiteral("截止日期控制")));
        r.password = db::toBool(rs.field(QStringLiteral("密码标志")));
        out.append(r);
    }
    return out;
}

bool sendable(const FrmFKZL::CardRow& r)
{
    using Module1::IsValidNumberString;
    return IsValidNumberString(r.number, 8, 16) && IsValidNumberString(r.physical, 10, 10)
        && IsValidNumberString(r.week, 7, 2) && IsValidNumberString(r.groups1, 16, 2)
        && IsValidNumberString(r.groups2, 16, 2) && IsValidNumberString(r.endDate, 6, 10);
}

// A refused row as its list item names it.
struct ListedKey {
    QString number;
    bool password = false;
    int address = 0;
};

ListedKey keyOf(const QString& item)
{
    return {rt::Left(item, 8), rt::Right(item, 1) == QLatin1String("T"),
            int(rt::Val(rt::Left(rt::Right(item, 8), 2)))};
}

} // namespace

FrmFKZL::FrmFKZL(QWidget* parent)
    : ui::Form(parent)
{
    setObjectName(QStringLiteral("FrmFKZL"));
    setWindowTitle(QStringLiteral("发卡信息重整"));
    resize(640, 480);

    auto named = [](QWidget* w, const char* name) {
        w->setObjectName(QLatin1String(name));
        return w;
    };
    auto label = [this, &named](const QString& text, const char* name) {
        auto* l = new QLabel(text, this);
        named(l, name);
        return l;
    };
    auto button = [this, &named](const QString& text, const char* name) {
        auto* b = new QPushButton(text, this);
        named(b, name);
        return b;
    };
    Label1 = label(QStringLiteral("请选择地址:"), "Label1");
    Combo1 = new QComboBox(this);
    named(Combo1, "Combo1");
    Combo1->setEditable(false);
    Label5 = label(QStringLiteral("总发卡数："), "Label5");
    txtCount = new QLineEdit(this);
    named(txtCount, "txtCount");
    txtCount->setReadOnly(true);
    CmdReset = button(QStringLiteral("重整"), "CmdReset");
    CmdRetry = button(QStringLiteral("重整异常"), "CmdRetry");
    CmdClear = button(QStringLiteral("清除日志"), "CmdClear");
    Command2 = button(QStringLiteral("退出"), "Command2");
    Label6 = label(QStringLiteral("正常记录："), "Label6");
    Label7 = label(QStringLiteral("异常记录："), "Label7");
    Label8 = label(kListHeader, "Label8");
    Label9 = label(kListHeader, "Label9");
    ListSuccess = new ui::LogList(this);
    named(ListSuccess, "ListSuccess");
    ListFalse = new ui::LogList(this);
    named(ListFalse, "ListFalse");
    LblSuccess = label(QStringLiteral("共0笔"), "LblSuccess");
    LblFalse = label(QStringLiteral("共0笔"), "LblFalse");
    PrgBar = new QProgressBar(this);
    named(PrgBar, "PrgBar");
    PrgBar->hide();
    StatusBar1 = new QStatusBar(this);
    named(StatusBar1, "StatusBar1");
    StatusBar1->setSizeGripEnabled(false);
    Panels[0] = new QLabel(StatusBar1);
    Panels[0]->setFrameShape(QFrame::Panel);
    Panels[0]->setFrameShadow(QFrame::Sunken);
    StatusBar1->addWidget(Panels[0], 1);

    auto* top = new QHBoxLayout;
    top->addWidget(Label1);
    top->addWidget(Combo1, 1);
    top->addWidget(Label5);
    top->addWidget(txtCount);
    auto* lists = new QGridLayout;
    lists->addWidget(Label6, 0, 0);
    lists->addWidget(LblSuccess, 0, 1, Qt::AlignRight);
    lists->addWidget(Label7, 0, 2);
    lists->addWidget(LblFalse, 0, 3, Qt::AlignRight);
    lists->addWidget(Label8, 1, 0, 1, 2);
    lists->addWidget(Label9, 1, 2, 1, 2);
    lists->addWidget(ListSuccess, 2, 0, 1, 2);
    lists->addWidget(ListFalse, 2, 2, 1, 2);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {CmdReset, CmdRetry, CmdClear, Command2})
        buttons->addWidget(b);
    auto* lay = new QVBoxLayout(this);
    lay->addWidget(new QLabel(QStringLiteral("提示：此项操作将重新清理门禁控制器，使得控制器"), this));
    lay->addWidget(new QLabel(QStringLiteral("的开门名单与发卡库相符。"), this));
    lay->addLayout(top);
    lay->addLayout(lists, 1);
    lay->addWidget(PrgBar);
    lay->addLayout(buttons);
    lay->addWidget(StatusBar1);

    connect(Combo1, &QComboBox::currentIndexChanged, this, &FrmFKZL::Combo1_Click);
    connect(CmdReset, &QPushButton::clicked, this, &FrmFKZL::CmdReset_Click);
    connect(CmdRetry, &QPushButton::clicked, this, &FrmFKZL::CmdRetry_Click);
    connect(CmdClear, &QPushButton::clicked, this, &FrmFKZL::CmdClear_Click);
    connect(Command2, &QPushButton::clicked, this, &FrmFKZL::Command2_Click);
}

void FrmFKZL::setStatus(const QString& text)
{
    Panels[0]->setText(text);
}

void FrmFKZL::Form_Load()
{
    try {
        Combo1->blockSignals(true);
        Combo1->clear();
        Module1::AddDoorAddresses(mdl::DaoDatabase, Combo1);
        Combo1->setCurrentIndex(-1);
        Combo1->blockSignals(false);
    } catch (const rt::Error& e) {
        Combo1->blockSignals(false);
        ui::msgBox(e.text(), ui::mb::OKOnly, QStringLiteral("错误提示"));
    }
}

void FrmFKZL::Form_Unload(bool& cancel)
{
    Q_UNUSED(cancel);
    mdl::PortReady = 0;
    ctl::releasePort();
}

void FrmFKZL::Combo1_Click()
{
    // Refused rows belong to the address they were refused at: a retry
    // must never send them to another controller.
    ListFalse->clear();
    CmdRetry->setEnabled(false);
    txtCount->clear();
    if (Combo1->currentIndex() < 0)
        return;
    try {
        db::Recordset rs = mdl::DaoDatabase.openRecordset(QStringLiteral("SELECT COUNT(卡号) FROM dfaka WHERE 地址=?"),
                                                          {rt::CInt(Combo1->currentText())});
        txtCount->setText(db::text(rs.value(0)));
    } catch (const rt::Error&) {
    }
}

void FrmFKZL::CmdClear_Click()
{
    ListSuccess->clear();
    ListFalse->clear();
}

void FrmFKZL::Command2_Click()
{
    if (ui::holdClose(this))
        return;
    ctl::releasePort();
    ui::doEvents();
    unloadForm();
}

bool FrmFKZL::prepareController(int16_t address)
{
    if (!ctl::openPort()) {
        setStatus(QStringLiteral("串口打开失败!"));
        return false;
    }
    ui::sleepMs(mdl::CommandDelay);
    if (!ctl::setClockNow(address)) {
        setStatus(QString::number(address) + QStringLiteral("号机通信不成功!"));
        return false;
    }
    return true;
}

void FrmFKZL::sendRows(int16_t address, const QList<CardRow>& rows, bool full, const std::function<void()>& end)
{
    if (rows.isEmpty()) {
        setStatus(QString::number(address) + QStringLiteral("号机没有发卡信息！"));
        end();
        Command2->setFocus();
        return;
    }
    const QString shownAddress = full ? QStringLiteral("%1").arg(address, 2, 10, QLatin1Char('0')) : QString::number(address);
    PrgBar->setRange(0, int(rows.size()));
    PrgBar->setValue(0);
    PrgBar->show();
    int accepted = 0;
    for (const CardRow& r : rows) {
        if (!sendable(r)) {
            const QString text = QStringLiteral("待发送信息中有非法字符或卡号、物理卡号位数错，请检查并修改发卡名单！\n"
                                                "卡号：%1，姓名：%2，物理卡号：%3\n\n"
                                                "按【终止】终止本次整理，按【忽略】接着发送下一个人的卡号，请选择：")
                                     .arg(r.number, r.name, r.physical);
            const int answer = ui::msgBox(text, ui::mb::AbortRetryIgnore, QStringLiteral("提示"));
            if (answer == ui::mb::Abort)
                return end();
            // Retry and Ignore both go on with the next row; the bad row is not sent.
            // A full run shows 重整 again after Retry; the busy guard still refuses a second start.
            if (full && answer == ui::mb::Retry)
                CmdReset->setEnabled(true);
        } else {
            ui::sleepMs(mdl::CommandDelay);
            const bool ok = mdl::Door
                                .call(QStringLiteral("CardSendToMachine"),
                                      {address, r.number, r.physical, flag(r.lock1), flag(r.lock2), flag(r.weekControl),
                                       flag(r.endDateControl), flag(r.timeControl), r.week, r.endDate, r.groups1,
                                       r.groups2})
                                .toBool();
            const QString item = r.number + kGap + r.name + kGap + shownAddress + kGap
                + (r.password ? QStringLiteral("T") : QStringLiteral("F"));
            if (ok) {
                ++accepted;
                ListSuccess->addItem(item);
            } else {
                ListFalse->addItem(item);
            }
        }
        PrgBar->setValue(std::min(PrgBar->value() + 1, PrgBar->maximum()));
        ui::doEvents();
    }
    finishRun(accepted, int(rows.size()), end);
}

void FrmFKZL::failRun(const rt::Error& e, const std::function<void()>& end)
{
    ctl::releasePort(this);
    end();
    ui::msgBox(e.text(), ui::mb::OKOnly, QStringLiteral("错误提示"));
}

void FrmFKZL::finishRun(int accepted, int total, const std::function<void()>& end)
{
    ctl::releasePort(this);
    LblSuccess->setText(QStringLiteral("共%1笔").arg(accepted));
    LblFalse->setText(QStringLiteral("共%1笔").arg(total - accepted));
    const bool allAccepted = accepted == total;
    setStatus(allAccepted ? QStringLiteral("重整成功！") : QStringLiteral("%1条记录重整不成功!").arg(total - accepted));
    end();
    CmdRetry->setEnabled(!allAccepted);
}

void FrmFKZL::CmdReset_Click()
{
    // The address may not change under the refused list either.
    ui::RunGuard run(this, {Combo1});
    if (!run)
        return;
    auto end = [&] {
        PrgBar->hide();
        run.end();
    };
    try {
        CmdClear_Click();
        if (Combo1->currentIndex() < 0 || Combo1->currentText().trimmed().isEmpty()) {
            setStatus(QStringLiteral("请先选择地址!"));
            return end();
        }
        if (txtCount->text().trimmed().isEmpty() || rt::Val(txtCount->text()) == 0) {
            setStatus(QStringLiteral("本机暂无发卡名单，不需要整理！"));
            return end();
        }
        if (ui::msgBox(QStringLiteral("确定要重新整理发卡名单吗！"), ui::mb::OKCancel | ui::mb::Question,
                       QStringLiteral("提示"))
            != ui::mb::OK)
            return end();
        setStatus(QStringLiteral("正在重整信息，请耐心等候..."));
        const int16_t address = rt::CInt(Combo1->currentText());
        if (!prepareController(address))
            return end();
        ui::sleepMs(2 * mdl::CommandDelay);
        if (!mdl::Door.call(QStringLiteral("ClearNamelist"), {address}).toBool()) {
            setStatus(QString::number(address) + QStringLiteral("号机清除名单失败,请重新整理！"));
            return end();
        }
        const QList<CardRow> rows = readRows(QStringLiteral("SELECT * FROM dfaka WHERE 地址=? ORDER BY 卡号"), {address});
        sendRows(address, rows, true, end);
    } catch (const rt::Error& e) {
        failRun(e, end);
    }
}

void FrmFKZL::CmdRetry_Click()
{
    if (ListFalse->count() == 0)
        return;
    ui::RunGuard run(this, {Combo1});
    if (!run)
        return;
    auto end = [&] {
        PrgBar->hide();
        run.end();
    };
    try {
        QList<ListedKey> keys;
        for (const QString& item : ListFalse->lines())
            keys.append(keyOf(item));
        ListFalse->clear();
        setStatus(QStringLiteral("正在重整信息，请耐心等候..."));
        const int16_t address = rt::CInt(Combo1->currentText());
        if (!prepareController(address))
            return end();
        ui::sleepMs(2 * mdl::CommandDelay);

        // Every row a listed item names, each once, in employee-number order.
        QList<int> addresses;
        for (const ListedKey& k : keys)
            if (!addresses.contains(k.address))
                addresses.append(k.address);
        QList<CardRow> rows;
        for (int a : addresses) {
            for (const CardRow& r : readRows(QStringLiteral("SELECT * FROM dfaka WHERE 地址=? ORDER BY 卡号"), {a})) {
                const bool listed = std::any_of(keys.cbegin(), keys.cend(), [&](const ListedKey& k) {
                    return k.address == a && k.password == r.password
                        && k.number.compare(r.number, Qt::CaseInsensitive) == 0;
                });
                if (listed)
                    rows.append(r);
            }
        }
        std::stable_sort(rows.begin(), rows.end(), [](const CardRow& x, const CardRow& y) {
            return x.number.compare(y.number, Qt::CaseInsensitive) < 0;
        });
        sendRows(address, rows, false, end);
    } catch (const rt::Error& e) {
        failRun(e, end);
    }
}

OSTRELA_WINDOW(FrmFKZL);
