#include "MenuWindow.h"

#include "ActiveBar.h"
#include "AppForms.h"
#include "Globals.h"
#include "HelpViewer.h"
#include "Module2.h"
#include "ToolTable.h"
#include "db/Db.h"
#include "runtime/Conv.h"
#include "runtime/RuntimeError.h"
#include "ui/ProgramFolder.h"
#include "ui/RunGuard.h"
#include "ui/Ui.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLinearGradient>
#include <QLocale>
#include <QPainter>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

namespace {

// The separator of the locale's short date ("yyyy/M/d" gives "/"); "/" for
// a locale whose short date has none (C names the month).
QString dateSeparator(const QLocale& locale)
{
    for (QChar c : locale.dateFormat(QLocale::ShortFormat))
        if (!c.isLetter() && !c.isSpace() && c != QLatin1Char('\''))
            return QString(c);
    return QStringLiteral("/");
}

// The window's background: the design's colours and title in place of its picture.
class Background : public QWidget {
public:
    explicit Background(QWidget* parent) : QWidget(parent) { setObjectName(QStringLiteral("ARBackgr1")); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        QLinearGradient g(0, 0, 0, height());
        g.setColorAt(0, QColor(0, 64, 128));
        g.setColorAt(1, QColor(120, 170, 220));
        p.fillRect(rect(), g);
        QFont f = font();
        f.setPointSize(qMax(16, height() / 14));
        f.setBold(true);
        p.setFont(f);
        p.setPen(QColor(255, 255, 255, 200));
        p.drawText(rect().adjusted(0, 0, 0, -height() / 5), Qt::AlignCenter, QStringLiteral("门禁管理系统"));
    }
};

// A number column of table system as a 16-bit integer: round half to even,
// error 6 outside the range, 94 for Null.
int16_t integerOf(const QVariant& v)
{
    if (db::isNull(v))
        rt::raise(rt::ErrInvalidUseOfNull);
    if (v.typeId() == QMetaType::QString)
        return rt::CInt(v.toString());
    return rt::CInt(v.toDouble());
}

QString textOf(const QVariant& v)
{
    if (db::isNull(v))
        rt::raise(rt::ErrInvalidUseOfNull);
    return db::text(v);
}

// Makes the named row of table system current. A missing row stops the
// load like a Null value would, instead of leaving another row current.
void findSetting(db::TableRecordset& rs, const QString& name)
{
    rs.findFirst(QStringLiteral("name=?"), {name});
    if (rs.noMatch())
        rt::raise(rt::ErrNoCurrentRecord, QStringLiteral("表 system 中没有“%1”一行").arg(name));
}

} // namespace

menu::menu(QWidget* parent)
    : ui::Form(parent)
{
    setObjectName(QStringLiteral("menu"));
    resize(800, 560);
    setFocusPolicy(Qt::StrongFocus);

    auto* lay = new QVBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->setSpacing(0);
    ActiveBar1 = new ActiveBar(this);
    lay->setMenuBar(ActiveBar1);
    ActiveBar1->setHasAction([](int number) {
        const tools::Dispatch d = tools::dispatchOf(number);
        switch (d.action) {
        case tools::Action::Help:
        case tools::Action::Exit: return true;
        case tools::Action::About:
        case tools::Action::OpenWindow: return appforms::exists(d.windowClass);
        case tools::Action::None: break;
        }
        return false;
    });
    connect(ActiveBar1, &ActiveBar::ToolClick, this, &menu::ActiveBar1_ToolClick);

    ARBackgr1 = new Background(this);
    lay->addWidget(ARBackgr1, 1);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);
    for (int i = 0; i < 2; ++i) {
        Panels[i] = new QLabel(StatusBar1);
        Panels[i]->setFrameShape(QFrame::Panel);
        Panels[i]->setFrameShadow(QFrame::Sunken);
        StatusBar1->addWidget(Panels[i], i == 0 ? 3 : 1);
    }
    lay->addWidget(StatusBar1);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));   // the schedule window switches it
    Timer1->setInterval(50000);
    connect(Timer1, &QTimer::timeout, this, &menu::Timer1_Timer);
}

menu::~menu() = default;

void menu::Form_Load()
{
    using namespace mdl;
    // 1-2: a database of the window's own for the schedule, the shared one for the settings
    db::Database own = db::Database::open(Module2::GetDatabasePath());
    db::TableRecordset schedule = own.openTable(QStringLiteral("cjtype"));
    db::TableRecordset sys = DaoDatabase.openTable(QStringLiteral("system"));
    // 3-8: a failure here stops the load
    findSetting(sys, QStringLiteral("串口号"));
    PortNumber = integerOf(sys.field(QStringLiteral("zhi")));
    findSetting(sys, QStringLiteral("通讯设置"));
    PortSettings = trimBlanks(textOf(sys.field(QStringLiteral("detail"))));
    findSetting(sys, QStringLiteral("输入缓冲区"));
    InBufferSize = integerOf(sys.field(QStringLiteral("zhi")));
    findSetting(sys, QStringLiteral("输出缓冲区"));
    OutBufferSize = integerOf(sys.field(QStringLiteral("zhi")));
    findSetting(sys, QStringLiteral("发卡机"));
    CardIssuer = integerOf(sys.field(QStringLiteral("zhi")));
    findSetting(sys, QStringLiteral("命令延时"));
    CommandDelay = integerOf(sys.field(QStringLiteral("zhi")));

    // 9-: from here a failing step is skipped and the load goes on
    try {
        findSetting(sys, QStringLiteral("机器版本号"));
        MachineVersion = textOf(sys.field(QStringLiteral("detail")));
    } catch (const rt::Error&) {
    }
    try {
        sys.close();
    } catch (const rt::Error&) {
    }

    setWindowTitle(QStringLiteral("门禁管理系统 V3.0"));
    const QDate today = ui::now().date();
    // The weekday's name in the desktop's own language, the date with the
    // desktop's date separator.
    const QLocale desktop;
    const QString sep = dateSeparator(desktop);
    Panels[1]->setText(desktop.toString(today, QStringLiteral("dddd")) + QLatin1Char(',')
                       + today.toString(QStringLiteral("yyyy") + sep + QStringLiteral("MM") + sep + QStringLiteral("dd")));
    if (QScreen* s = QGuiApplication::primaryScreen()) {
        const QRect sr = s->geometry();
        const QSize outer = frameGeometry().size();
        move(sr.x() + (sr.width() - outer.width()) / 2, sr.y() + (sr.height() - outer.height()) / 2);
    }

    bool empty = true;
    try {
        empty = schedule.recordCount() == 0;
    } catch (const rt::Error&) {
    }
    if (empty) {
        ui::msgBox(QStringLiteral("请设置数据采集类型！"), ui::mb::OKOnly, QStringLiteral("提示"));
    } else {
        try {
            schedule.moveFirst();
        } catch (const rt::Error&) {
        }
        try {
            GatherType = integerOf(schedule.field(QStringLiteral("采集类型")));
        } catch (const rt::Error&) {
        }
        try {
            GatherTime = textOf(schedule.field(QStringLiteral("采集时间")));
        } catch (const rt::Error&) {
        }
    }
    // The automatic schedule keeps the timer running (its tick starts nothing).
    if (GatherType == 1)
        Timer1->start();
    else
        Timer1->stop();
    try {
        schedule.close();
        own.close();
    } catch (const rt::Error&) {
    }
}

void menu::Timer1_Timer()
{
    // The schedule starts nothing: collection is always started by the operator.
}

void menu::refreshTools()
{
    ActiveBar1->refresh();
}

void menu::ActiveBar1_ToolClick(int number)
{
    // A window without modality (time groups, unlock) may be waiting for a
    // controller: nothing may start beside its run, nor end the program.
    if (ui::anyRunInProgress())
        return;
    const tools::Dispatch d = tools::dispatchOf(number);
    try {
        switch (d.action) {
        case tools::Action::OpenWindow:
            appforms::open(d.windowClass);
            if (number == 35 && mdl::DatabaseRestored == 1) {
                // The database file was replaced: the program ends at once.
                ui::endProgram(0);
            }
            break;
        case tools::Action::Help: openHelp(); break;
        case tools::Action::About: appforms::open(d.windowClass); break;
        case tools::Action::Exit: confirmShutdown(); break;
        case tools::Action::None: break;
        }
    } catch (const rt::Error& e) {
        // An error a window left to its caller: reported, and the main window goes on.
        ui::msgBox(e.text(), ui::mb::OKOnly);
    }
}

void menu::HelpDialog::ShowHelp() const
{
    help::HelpViewer::open(HelpFile, HelpCommand);
}

void menu::openHelp()
{
    dlg.HelpFile = ui::programFolder() + QStringLiteral("door.hlp");
    dlg.HelpCommand = help::kHelpPartialKey;
    dlg.ShowHelp();
}

void menu::Form_KeyDown(int& KeyCode, int& Shift)
{
    if (ActiveBar1->OnKeyDown(KeyCode, Shift)) {
        KeyCode = 0;
        Shift = 0;
    }
    if (KeyCode == 112)
        openHelp();
}

void menu::keyPressEvent(QKeyEvent* event)
{
    int code = vbKeyCode(event);
    int shift = vbShift(event);
    Form_KeyDown(code, shift);
    event->accept();
}

bool menu::confirmShutdown()
{
    if (ui::msgBox(QStringLiteral("您真要关闭门禁管理系统？"), ui::mb::YesNo | ui::mb::Question | ui::mb::DefaultButton2,
                   QStringLiteral("门禁系统")) == ui::mb::Yes) {
        ui::endProgram(0);
        return true;
    }
    return false;
}

void menu::Form_QueryUnload(bool& cancel)
{
    if (ui::anyRunInProgress() || !confirmShutdown())
        cancel = true;
}

void menu::Form_Resize()
{
    // three quarters to panel 1, the rest to panel 2
    Panels[0]->setFixedWidth(frameGeometry().width() * 3 / 4);
}

void menu::resizeEvent(QResizeEvent* event)
{
    ui::Form::resizeEvent(event);
    Form_Resize();
}
