#include "FrmSSXX.h"

#include "AppForms.h"
#include "ControllerCalls.h"
#include "DoorLink.h"
#include "Globals.h"
#include "runtime/Conv.h"
#include "runtime/RuntimeError.h"
#include "ui/RunGuard.h"
#include "ui/Ui.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

namespace {
QFont kaiti(int points)
{
    QFont f(QStringLiteral("楷体_GB2312"));
    f.setPointSize(points);
    return f;
}
} // namespace

FrmSSXX::FrmSSXX(QWidget* parent)
    : ui::Form(parent)
{
    setObjectName(QStringLiteral("FrmSSXX"));
    setWindowTitle(QStringLiteral("实时监视打卡状况"));
    resize(1024, 720);
    Picture1 = new QWidget(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Label1 = new QLabel(QStringLiteral("实时监视打卡状况"), Picture1);
    Label1->setFont(kaiti(26));
    Label1->setGeometry(24, 16, 460, 48);
    const char* captions[6] = {"卡号:", "姓名:", "时间:", "部门:", "职务:", "通道："};
    QLabel** fixed[6] = {&Label8, &Label5, &Label6, &Label7, &Label9, &Label3};
    for (int i = 0; i < 6; ++i) {
        *fixed[i] = new QLabel(QString::fromUtf8(captions[i]), Picture1);
        (*fixed[i])->setFont(kaiti(20));
        (*fixed[i])->setGeometry(24, 90 + i * 60, 100, 44);
        Label2[i] = new QLabel(Picture1);
        Label2[i]->setObjectName(QStringLiteral("Label2_%1").arg(i));
        Label2[i]->setFont(kaiti(20));
        Label2[i]->setGeometry(124, 90 + i * 60, 360, 44);
    }
    Image1 = new QLabel(Picture1);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setScaledContents(true);
    Lblinfo = new QLabel(QStringLiteral("监控中......"), Picture1);
    Lblinfo->setFont(kaiti(16));
    Lblinfo->setGeometry(24, 460, 300, 32);
    Label4 = new QLabel(Picture1);
    Label4->setFont(kaiti(16));
    Label4->setGeometry(24, 500, 460, 32);
    Command1 = new QPushButton(QStringLiteral("退出"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setFont(QFont(QStringLiteral("宋体")));
    connect(Command1, &QPushButton::clicked, this, &FrmSSXX::Command1_Click);

    TimerScanTD = new QTimer(this);
    connect(TimerScanTD, &QTimer::timeout, this, &FrmSSXX::TimerScanTD_Timer);
    Timer2 = new QTimer(this);
    Timer2->setInterval(60000);
    connect(Timer2, &QTimer::timeout, this, &FrmSSXX::Timer2_Timer);
}

void FrmSSXX::blank()
{
    for (QLabel* l : Label2)
        l->clear();
}

void FrmSSXX::Form_Load()
{
    blank();
    Label4->clear();
    TimerScanTD->stop();
    Timer2->start();
    reported_.clear();

    // The whole screen, the photo on the right half of the panel.
    QRect screen(0, 0, 1024, 768);
    if (QScreen* s = QGuiApplication::primaryScreen())
        screen = s->geometry();
    setGeometry(screen);
    // Full screen rather than a window the size of the screen, whose frame
    // would push its bottom row (and the exit button) off the screen.
    setWindowState(windowState() | Qt::WindowFullScreen);
    Picture1->setGeometry(0, 0, screen.width() - 300 / 15, screen.height() - 600 / 15);
    const int w = Picture1->width() / 2;
    Image1->setGeometry(Picture1->width() - w, 0, w, Picture1->height());
    Command1->setGeometry(24, Picture1->height() + 4, 90, 28);

    try {
        if (mdl::DaoDatabase.openRecordset(QStringLiteral("SELECT DISTINCT 地址 FROM doors")).eof()) {
            ui::msgBox(QStringLiteral("请先进行门锁设置！"), ui::mb::OKOnly, QStringLiteral("提示"));
            return;
        }
        // An interval of 0 leaves the timer stopped rather than spinning.
        TimerScanTD->setInterval(mdl::CommandDelay);
        if (mdl::CommandDelay > 0)
            TimerScanTD->start();
        ctl::openPort();   // a command opens the port itself when this fails
        Label4->clear();
    } catch (const rt::Error& e) {
        ui::msgBox(e.description());
    }
}

void FrmSSXX::TimerScanTD_Timer()
{
    // Closing meanwhile waits for the end of the poll.
    ui::RunGuard run(this, {}, ui::RunGuard::CloseAfterRun);
    if (!run)
        return;
    QList<QVariant> addresses;
    try {
        db::Recordset rs = mdl::DaoDatabase.openRecordset(QStringLiteral("SELECT 地址 FROM doors ORDER BY rowid"));
        for (; !rs.eof(); rs.moveNext())
            addresses << rs.field(QStringLiteral("地址"));
    } catch (const rt::Error&) {
        return;   // the next tick tries again
    }
    if (addresses.isEmpty())
        return;
    for (const QVariant& stored : addresses) {
        // A door that fails in any way is skipped for this tick.
        try {
            const int16_t address = db::cint(stored);
            com::Args a{address, QString()};
            if (!doorlink::call(QStringLiteral("getCardLockStatus"), a).toBool())
                continue;
            const QString status = a[1].toString().trimmed();
            const QString card = rt::Left(status, 10);
            const QString pair = rt::Mid(status, 11, 2);
            // A controller keeps reporting its last card: only a card other
            // than the one of its previous answer is a new swipe. Its first
            // answer in this window is what it held before, not a swipe.
            const auto before = reported_.constFind(address);
            const bool swiped = before != reported_.cend() && *before != card;
            if (!swiped || card == QLatin1String("0000000000")) {
                reported_.insert(address, card);
                continue;
            }
            db::Recordset p = mdl::DaoDatabase.openRecordset(
                QStringLiteral("SELECT P.卡号, P.姓名, P.部门, P.职务, P.照片 FROM people AS P "
                               "INNER JOIN Dfaka AS F ON P.卡号 = F.卡号 WHERE F.物理卡号=? ORDER BY F.rowid"),
                {card});
            // Recorded once the query ran: a failed one is tried again next tick.
            reported_.insert(address, card);
            if (p.eof())
                continue;
            Label2[0]->setText(p.text(QStringLiteral("卡号")));
            Label2[1]->setText(p.text(QStringLiteral("姓名")));
            Label2[4]->setText(p.text(QStringLiteral("职务")));
            Label2[2]->setText(rt::isoDateTime(ui::now()));
            Label2[3]->setText(p.text(QStringLiteral("部门")));
            QString channel = db::text(stored);
            if (pair == QLatin1String("10"))
                channel += QStringLiteral("-1");
            else if (pair == QLatin1String("01"))
                channel += QStringLiteral("-2");
            Label2[5]->setText(channel);
            // A photo that cannot be read shows no picture rather than a stale one.
            const QString photo = p.text(QStringLiteral("照片")).trimmed();
            QPixmap pic;
            if (!photo.isEmpty() && pic.load(photo))
                Image1->setPixmap(pic);
            else
                Image1->clear();
        } catch (const rt::Error&) {
            continue;
        }
    }
    mdl::PortReady = 0;
}

void FrmSSXX::Timer2_Timer()
{
    ++timer2Ticks_;
    if (timer2Ticks_ >= 2) {
        Timer2->stop();
        Image1->clear();
        blank();
    }
}

void FrmSSXX::Command1_Click()
{
    if (ui::holdClose(this))
        return;
    TimerScanTD->stop();
    Timer2->stop();
    unloadForm();
}

void FrmSSXX::Form_Unload(bool&)
{
    TimerScanTD->stop();
    ctl::releasePort();
}

OSTRELA_WINDOW(FrmSSXX);
