#include "FrmSelectTime.h"

#include "AppForms.h"
#include "CardLocks.h"
#include "ControllerCalls.h"
#include "Globals.h"
#include "runtime/RuntimeError.h"
#include "ui/RunGuard.h"
#include "ui/Ui.h"

#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

namespace {
const QString kNoGroups = QStringLiteral("000000000000000");

// "hh:mm" of four digits, or empty when they are no time of day.
QString timeOf(const QString& four)
{
    if (four.size() != 4)
        return QString();
    for (QChar c : four)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))   // no signs or blanks
            return QString();
    const int h = four.left(2).toInt();
    const int m = four.mid(2, 2).toInt();
    if (h > 23 || m > 59)
        return QString();
    return four.left(2) + QLatin1Char(':') + four.mid(2, 2);
}
} // namespace

FrmSelectTime::FrmSelectTime(QWidget* parent)
    : ui::Form(parent)
{
    setObjectName(QStringLiteral("FrmSelectTime"));
    setFixedSize(300, 380);
    Frame1 = new QGroupBox(QStringLiteral("请勾选相应的时间段"), this);
    Frame1->setGeometry(10, 8, 280, 320);
    Label1 = new QLabel(QStringLiteral("时间段"), Frame1);
    Label1->setGeometry(30, 22, 80, 20);
    Label2 = new QLabel(QStringLiteral("是否卡加密码"), Frame1);
    Label2->setGeometry(150, 22, 100, 20);
    List1 = new QListWidget(Frame1);
    List1->setObjectName(QStringLiteral("List1"));
    List1->setGeometry(10, 44, 260, 266);
    CmdAll = new QPushButton(QStringLiteral("全选"), this);
    CmdAll->setGeometry(10, 338, 86, 28);
    CmdSave = new QPushButton(QStringLiteral("保存"), this);
    CmdSave->setGeometry(107, 338, 86, 28);
    CmdClose = new QPushButton(QStringLiteral("取消"), this);
    CmdClose->setGeometry(204, 338, 86, 28);
    connect(CmdAll, &QPushButton::clicked, this, &FrmSelectTime::CmdAll_Click);
    connect(CmdSave, &QPushButton::clicked, this, &FrmSelectTime::CmdSave_Click);
    connect(CmdClose, &QPushButton::clicked, this, &FrmSelectTime::CmdClose_Click);
}

void FrmSelectTime::Form_Load()
{
    setWindowTitle(QStringLiteral("Form1"));
    cardPlusPassword_ = cards::passwordsSupported();

    if (mdl::SelectTimeAddress == 0) {
        List1->clear();
        if (mdl::SelectedLocks.size() == 1) {
            const QString& item = mdl::SelectedLocks.first();
            const int comma = item.indexOf(QLatin1Char(','));
            if (comma >= 0 && !item.mid(comma + 1).trimmed().isEmpty())
                ReadMachineTimeGroups(cards::addressOf(item));
        } else if (mdl::SelectedLocks.size() > 1) {
            addPlaceholders(QStringLiteral("个时间段"));
        }
    } else if (mdl::SelectTimeAddress == 100) {
        List1->clear();
        addPlaceholders(QStringLiteral("个时间"));
    } else {
        ReadMachineTimeGroups(mdl::SelectTimeAddress);
    }
    Label2->setVisible(cardPlusPassword_);
    for (int n = 0; n < List1->count(); ++n)
        setTicked(n, mdl::SelectedTimeGroups.mid(n, 1) == QLatin1String("1"));
    incoming_ = mdl::SelectedTimeGroups;
    mdl::SelectedTimeGroups = kNoGroups;
}

void FrmSelectTime::addPlaceholders(const QString& ending)
{
    for (int n = 1; n <= 15; ++n)
        List1->addItem(QStringLiteral("第%1").arg(n) + ending);
    for (int i = 0; i < List1->count(); ++i)
        setTicked(i, false);
}

void FrmSelectTime::ReadMachineTimeGroups(int address)
{
    ui::RunGuard run(this);
    if (!run)
        return;
    try {
        if (!ctl::openPort()) {
            ui::msgBox(QStringLiteral("串口打开失败！"));
            ReadError = 1;
            return;
        }
        com::Args a{int16_t(address), QString(), QString()};
        const com::Variant r = mdl::Door.call(QStringLiteral("GetTimeGroup"), a);
        if (r.isNull() || r.isEmpty() || !r.toBool()) {
            ui::msgBox(QStringLiteral("读取时间失败，请检查线路通迅！"));
            List1->clear();
            addPlaceholders(QStringLiteral("个时间段"));
            ReadError = 1;
            mdl::PortReady = 0;
            return;
        }
        const QString times = a[1].toString();
        const QString modes = a[2].toString();
        for (int n = 1; n <= 15; ++n) {
            const QString g = times.mid(8 * (n - 1), 8);
            QString begin = timeOf(g.left(4));
            QString end = timeOf(g.mid(4, 4));
            if (begin.isEmpty() || end.isEmpty())
                begin = end = QStringLiteral("00:00");
            QString line = begin + QLatin1Char('-') + end;
            if (cardPlusPassword_)
                line += QString(8, QLatin1Char(' ')) + (modes.mid(n - 1, 1) == QLatin1String("3") ? QStringLiteral("是") : QStringLiteral("否"));
            List1->addItem(line);
            setTicked(List1->count() - 1, false);
        }
        mdl::PortReady = 0;
    } catch (const rt::Error&) {
        ReadError = 1;
    }
}

bool FrmSelectTime::ticked(int n) const
{
    return n >= 0 && n < List1->count() && List1->item(n)->checkState() == Qt::Checked;
}

void FrmSelectTime::setTicked(int n, bool on)
{
    if (n >= 0 && n < List1->count())
        List1->item(n)->setCheckState(on ? Qt::Checked : Qt::Unchecked);
}

void FrmSelectTime::CmdAll_Click()
{
    const bool all = CmdAll->text() == QStringLiteral("全选");
    for (int n = 0; n < List1->count(); ++n)
        setTicked(n, all);
    CmdAll->setText(all ? QStringLiteral("全消") : QStringLiteral("全选"));
}

void FrmSelectTime::CmdSave_Click()
{
    QString s;
    for (int n = 0; n < List1->count(); ++n)
        s += ticked(n) ? QLatin1Char('1') : QLatin1Char('0');
    mdl::SelectedTimeGroups = s.size() == 15 ? s : kNoGroups;
    unloadForm();
}

void FrmSelectTime::CmdClose_Click()
{
    mdl::SelectedTimeGroups = incoming_;
    unloadForm();
}

OSTRELA_WINDOW(FrmSelectTime);
