#include "FrmSetTime.h"

#include "ControllerCalls.h"
#include "DoorLink.h"
#include "Frmdoors.h"
#include "Globals.h"
#include "runtime/Conv.h"
#include "runtime/RuntimeError.h"
#include "ui/RunGuard.h"
#include "ui/Ui.h"
#include "ui/Widths.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimeEdit>

#include <algorithm>

namespace {

const QString kTitle = QStringLiteral("提示");
const QString kEmptyGroup = QStringLiteral("0000-0000");
const QString kWholeDay = QStringLiteral("0000-2359");

// Where the controls of a row of groups go from x on: its caption, the two
// times with "到" between them, then the card-plus-password box.
struct Columns {
    int label, start, to, end, check;
};
Columns columnsFrom(int x, int label, int time)
{
    const int start = x + label;
    return {x, start, start + time, start + time + 20, start + 2 * time + 24};
}

} // namespace

FrmSetTime::FrmSetTime(QWidget* parent)
    : ui::Form(parent)
{
    setObjectName(QStringLiteral("FrmSetTime"));
    setWindowTitle(QStringLiteral("时间段设置"));
    setFixedSize(616, 420);

    Label1 = new QLabel(QStringLiteral("设置到机器："), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(16, 14, 80, 22);
    CmbAddr = new QComboBox(this);
    CmbAddr->setObjectName(QStringLiteral("CmbAddr"));
    CmbAddr->setEditable(true);
    CmbAddr->setInsertPolicy(QComboBox::NoInsert);
    CmbAddr->setGeometry(96, 12, 100, 24);

    Frame3 = new QGroupBox(QStringLiteral("锁时间段："), this);
    Frame3->setObjectName(QStringLiteral("Frame3"));
    Frame3->setGeometry(8, 44, 600, 256);
    for (int i = 0; i < kGroups; ++i) {
        Label3[i] = new QLabel(QStringLiteral("时间段%1：").arg(i + 1), Frame3);
        Label3[i]->setObjectName(QStringLiteral("Label3_%1").arg(i));
        DTPicker1[i] = new QTimeEdit(QTime(0, 0), Frame3);
        DTPicker1[i]->setObjectName(QStringLiteral("DTPicker1_%1").arg(i));
        DTPicker1[i]->setDisplayFormat(QStringLiteral("HH:mm"));
        Label2[i] = new QLabel(QStringLiteral("到"), Frame3);
        Label2[i]->setObjectName(QStringLiteral("Label2_%1").arg(i));
        DTPEnd1[i] = new QTimeEdit(QTime(0, 0), Frame3);
        DTPEnd1[i]->setObjectName(QStringLiteral("DTPEnd1_%1").arg(i));
        DTPEnd1[i]->setDisplayFormat(QStringLiteral("HH:mm"));
        chkCardAndPWD[i] = new QCheckBox(QStringLiteral("卡加密码"), Frame3);
        chkCardAndPWD[i]->setObjectName(QStringLiteral("chkCardAndPWD_%1").arg(i));
    }

    Label4 = new QLabel(QStringLiteral("注意：如果打上[卡加密码]前面的选钩，则表示在该时间段内，需要卡和密码才能开门，否则，默认为卡或密码。"),
                        this);
    Label4->setObjectName(QStringLiteral("Label4"));
    Label4->setWordWrap(true);
    Label4->setGeometry(16, 304, 584, 40);

    auto button = [this](const QString& text, const QString& name, int x) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(name);
        b->setGeometry(x, 350, 96, 26);
        return b;
    };
    CmdRead = button(QStringLiteral("读取时间段"), QStringLiteral("CmdRead"), 16);
    CmdOk = button(QStringLiteral("下发时间段"), QStringLiteral("CmdOk"), 118);
    CmdInitMachine = button(QStringLiteral("初始化机器时间"), QStringLiteral("CmdInitMachine"), 220);
    CmdExit = button(QStringLiteral("返回"), QStringLiteral("CmdExit"), 322);
    connect(CmdRead, &QPushButton::clicked, this, &FrmSetTime::CmdRead_Click);
    connect(CmdOk, &QPushButton::clicked, this, &FrmSetTime::CmdOk_Click);
    connect(CmdInitMachine, &QPushButton::clicked, this, &FrmSetTime::CmdInitMachine_Click);
    connect(CmdExit, &QPushButton::clicked, this, &FrmSetTime::CmdExit_Click);

    InfoStb = new QLabel(this);
    InfoStb->setObjectName(QStringLiteral("InfoStb"));
    InfoStb->setGeometry(16, 386, 584, 22);
    placeGroups(true);
}

void FrmSetTime::Form_Load()
{
    try {
        CardAndPWD = rt::Val(rt::Mid(mdl::MachineVersion, 9, 1)) >= 5;
        db::Recordset rs = mdl::AdoConnection.execute(
            QStringLiteral("SELECT DISTINCT 地址 FROM DOORS ORDER BY CAST(地址 AS INTEGER)"));
        for (; !rs.eof(); rs.moveNext())
            CmbAddr->addItem(rs.text(QStringLiteral("地址")));
        CmbAddr->setCurrentIndex(-1);
        CmbAddr->setEditText(QString());
    } catch (const rt::Error&) {
    }
    AutoRead = 1;
    CmdRead_Click();
    if (!CardAndPWD) {
        for (int i = 0; i < kGroups; ++i)
            chkCardAndPWD[i]->hide();
        placeGroups(false);
        Label4->hide();
    }
}

// The groups in two halves of eight rows, the right half after the
// card-plus-password boxes of the left one (or after its times when there
// are none). Captions, times and boxes as wide as the font needs, at least
// as wide as designed.
void FrmSetTime::placeGroups(bool withCheck)
{
    const int label = std::max(64, ui::widthToShow(Label3[kGroups - 1], Label3[kGroups - 1]->text()));
    const int time = std::max(56, ui::widthToShow(DTPicker1[0], QString()));
    const int check = std::max(80, ui::widthToShow(chkCardAndPWD[0], chkCardAndPWD[0]->text()));
    const Columns left = columnsFrom(12, label, time);
    const Columns right = columnsFrom(withCheck ? left.check + check + 20 : left.end + time + 5, label, time);
    for (int i = 0; i < kGroups; ++i) {
        const Columns& c = i < 8 ? left : right;
        const int y = 24 + (i % 8) * 28;
        Label3[i]->setGeometry(c.label, y, label, 22);
        DTPicker1[i]->setGeometry(c.start, y, time, 22);
        Label2[i]->setGeometry(c.to, y, 20, 22);
        DTPEnd1[i]->setGeometry(c.end, y, time, 22);
        chkCardAndPWD[i]->setGeometry(c.check, y, check, 22);
    }
    Frame3->resize((withCheck ? right.check + check : right.end + time) + 8, Frame3->height());
    setFixedWidth(std::max(Frame3->geometry().right() + 9, CmdExit->geometry().right() + 17));
}

bool FrmSetTime::cardPlusPassword(int group) const
{
    return CardAndPWD && chkCardAndPWD[group]->isChecked();
}

QString FrmSetTime::pickerText(int group) const
{
    return DTPicker1[group]->time().toString(QStringLiteral("HHmm")) + QLatin1Char('-')
           + DTPEnd1[group]->time().toString(QStringLiteral("HHmm"));
}

void FrmSetTime::CmdRead_Click()
{
    ui::RunGuard run(this, {CmbAddr});
    if (!run)
        return;
    try {
        if (!ctl::openPort()) {
            ui::msgBox(QStringLiteral("串口打开失败！"));
            return;
        }
        if (CmbAddr->currentText().isEmpty()) {
            if (AutoRead == 1 && PresetAddr >= 1) {
                CmbAddr->setEditText(QString::number(PresetAddr));
                PresetAddr = 0;
                AutoRead = 0;
            } else {
                AutoRead = 0;
                ui::msgBox(QStringLiteral("请选择机器号！"));
                return;
            }
        }
        AutoRead = 0;
        const std::optional<int16_t> typed = rt::WholeNumber(CmbAddr->currentText(), 0, 255);
        if (!typed) {
            ui::msgBox(QStringLiteral("请选择机器号！"));
            return;
        }
        const int16_t address = *typed;
        com::Args a{address, QString(), QString()};
        if (!doorlink::call(QStringLiteral("GetTimeGroup"), a).toBool()) {
            InfoStb->setText(QStringLiteral("时间段采集失败！"));
        } else {
            const QString list = a[1].toString();
            const QString modes = a[2].toString();
            if (list.size() >= 64) {
                for (int i = 0; i < kGroups; ++i) {
                    const QString g = rt::Mid(list, 8 * i + 1, 8);
                    QTime start = QTime::fromString(rt::Mid(g, 1, 4), QStringLiteral("HHmm"));
                    QTime end = QTime::fromString(rt::Mid(g, 5, 4), QStringLiteral("HHmm"));
                    if (!start.isValid() || !end.isValid())
                        start = end = QTime(0, 0);
                    DTPicker1[i]->setTime(start);
                    DTPEnd1[i]->setTime(end);
                    if (CardAndPWD)
                        chkCardAndPWD[i]->setChecked(rt::Mid(modes, i + 1, 1) == QLatin1String("3"));
                }
                InfoStb->setText(QStringLiteral("时间段采集成功"));
            } else {
                ui::msgBox(QStringLiteral("采集出的时间段长度不够,现在长度为:") + QString::number(list.size())
                               + QLatin1Char('\r') + list,
                           ui::mb::OKOnly, kTitle);
            }
        }
        mdl::PortReady = 0;
    } catch (const rt::Error&) {
    }
}

void FrmSetTime::storeRow(int16_t address, const QVariantList& groups, const QString& flags)
{
    // The old row goes only together with the new one going in.
    QString columns = QStringLiteral("地址");
    QString marks = QStringLiteral("?");
    QVariantList values{address};
    for (int i = 0; i < kGroups; ++i) {
        columns += QStringLiteral(",时间段%1").arg(i + 1);
        marks += QStringLiteral(",?");
        values << groups[i];
    }
    columns += QStringLiteral(",标志");
    marks += QStringLiteral(",?");
    values << flags;
    db::Database& dbh = mdl::DaoDatabase;
    try {
        dbh.beginTrans();
        dbh.execute(QStringLiteral("DELETE FROM dTime WHERE 地址=?"), {address});
        dbh.execute(QStringLiteral("INSERT INTO dTime (%1) VALUES (%2)").arg(columns, marks), values);
        dbh.commitTrans();
    } catch (const rt::Error&) {
        dbh.rollback();
        throw;
    }
}

void FrmSetTime::CmdOk_Click()
{
    ui::RunGuard run(this, {CmbAddr});
    if (!run)
        return;
    try {
        if (!ctl::openPort()) {
            ui::msgBox(QStringLiteral("串口打开失败！"));
            return;
        }
        QString texts[kGroups];
        int total = 0;
        for (int i = 0; i < kGroups; ++i) {
            const QString start = i == 15 ? QStringLiteral("0000") : DTPicker1[i]->time().toString(QStringLiteral("HHmm"));
            const QString end = i == 15 ? QStringLiteral("2359") : DTPEnd1[i]->time().toString(QStringLiteral("HHmm"));
            if (start == QLatin1String("0000") && end == QLatin1String("0000"))
                continue;
            if (start > end) {
                ui::msgBox(QStringLiteral("第 %1段时间非法，开始时间不能大于结束时间！").arg(i + 1), ui::mb::OKOnly, kTitle);
                return;
            }
            texts[i] = start + QLatin1Char('-') + end;
            ++total;
        }
        const std::optional<int16_t> typed = rt::WholeNumber(CmbAddr->currentText(), 0, 255);
        if (!typed) {
            ui::msgBox(QStringLiteral("地址不能为空，请选择机器地址！"), ui::mb::OKOnly, kTitle);
            return;
        }
        const int16_t address = *typed;
        if (ui::msgBox(QStringLiteral("重新设置时间段可能会影响正常打卡，请确认设置的时间段无误！"), ui::mb::YesNo, kTitle)
            != ui::mb::Yes)
            return;

        QVariantList columns;
        QString flags;
        int failures = 0;
        for (int i = 0; i < kGroups; ++i) {
            const bool both = cardPlusPassword(i);
            flags += both ? QLatin1Char('3') : QLatin1Char('0');
            if (texts[i].isEmpty()) {
                columns << kEmptyGroup;
            } else {
                com::Args a{address, int16_t(total), int16_t(i), texts[i], int16_t(both ? 3 : 0)};
                if (doorlink::call(QStringLiteral("SetTimeGroup"), a).toBool()) {
                    columns << texts[i];
                    InfoStb->setText(QStringLiteral("第：%1段时间发送成功").arg(i + 1));
                } else {
                    ++failures;
                    columns << QVariant();
                    InfoStb->setText(QStringLiteral("第：%1段时间发送失败").arg(i + 1));
                }
            }
            doorlink::pause();
        }
        storeRow(address, columns, flags);
        InfoStb->setText(QStringLiteral("共下发：%1个时段，其中发送失败：%2个!").arg(total - 1).arg(failures));
        mdl::PortReady = 0;
    } catch (const rt::Error& e) {
        ui::msgBox(e.text(), ui::mb::OKOnly, QStringLiteral("信息提示"));
    }
}

void FrmSetTime::CmdInitMachine_Click()
{
    ui::RunGuard run(this, {CmbAddr});
    if (!run)
        return;
    try {
        if (!ctl::openPort()) {
            ui::msgBox(QStringLiteral("串口打开失败！"));
            return;
        }
        const std::optional<int16_t> typed = rt::WholeNumber(CmbAddr->currentText(), 0, 255);
        if (!typed) {
            ui::msgBox(QStringLiteral("请选择机器号！"));
            return;
        }
        const int16_t address = *typed;
        if (ui::msgBox(QStringLiteral("初始化设置时间段将会清空之前在机器中设置的所有时间，可能会影响到已发卡号的正常打卡，确定请按【是】，否则取消"),
                       ui::mb::YesNo, kTitle)
            != ui::mb::Yes)
            return;
        // What the window shows now: its times can be changed while a controller answers.
        QString shown[kGroups];
        for (int i = 0; i < kGroups; ++i)
            shown[i] = pickerText(i);
        QVariantList columns;
        QString flags;
        QStringList done, refused;
        for (int i = 0; i < kGroups; ++i) {
            com::Args a{address, int16_t(16), int16_t(i), kEmptyGroup, int16_t(0)};
            if (doorlink::call(QStringLiteral("SetTimeGroup"), a).toBool()) {
                DTPicker1[i]->setTime(QTime(0, 0));
                DTPEnd1[i]->setTime(QTime(0, 0));
                chkCardAndPWD[i]->setChecked(false);
                columns << kEmptyGroup;
                flags += QLatin1Char('0');
                if (i < 15)
                    done << QString::number(i + 1);
            } else {
                refused << QString::number(i + 1);
                // What the controller still holds is what the window shows.
                columns << shown[i];
                flags += cardPlusPassword(i) ? QLatin1Char('3') : QLatin1Char('0');
            }
        }
        storeRow(address, columns, flags);
        // The groups a controller did not take are named too: the list of
        // those it took alone reads as complete.
        QString text = QStringLiteral("已成功初始化时间段：") + done.join(QStringLiteral("、"));
        if (!refused.isEmpty())
            text += QStringLiteral("，初始化失败：") + refused.join(QStringLiteral("、"));
        InfoStb->setText(text);
    } catch (const rt::Error& e) {
        ui::msgBox(e.text());
    }
}

void FrmSetTime::CmdExit_Click()
{
    unloadForm();
}

void FrmSetTime::Form_Unload(bool&)
{
    // The door window was hidden while this one was open; closing this one
    // any way brings it back.
    if (Frmdoors* d = ui::forms::find<Frmdoors>())
        d->showModeless();
}
