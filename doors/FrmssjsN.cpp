#include "FrmssjsN.h"

#include "AppForms.h"
#include "ControllerCalls.h"
#include "DoorLink.h"
#include "Globals.h"
#include "runtime/Conv.h"
#include "runtime/RuntimeError.h"
#include "ui/RunGuard.h"
#include "ui/Ui.h"
#include "ui/Widths.h"

#include <QHeaderView>
#include <QLCDNumber>
#include <QListView>
#include <QMenuBar>
#include <QStackedWidget>
#include <QStandardItemModel>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>

namespace {
const QString kTitle = QStringLiteral("提示");

struct ColumnDef {
    const char* header;
    int twips;
    const char* longest;   // the longest text the column is expected to show
};
const ColumnDef kColumns[FrmssjsN::ColumnCount] = {
    {"通道描述", 1600, ""},     {"门锁状态", 700, "开"},   {"卡号", 800, "00000000"},
    {"姓名", 800, "欧阳明日"},  {"部门", 1400, ""},        {"职务", 600, "副经理"},
    {"进出状态", 700, ""},      {"进出时间", 0, "0000-00-00 00:00:00"}};
} // namespace

FrmssjsN::FrmssjsN(QWidget* parent)
    : ui::Form(parent)
{
    setObjectName(QStringLiteral("FrmssjsN"));
    setWindowTitle(QStringLiteral("实时监控门锁状态"));
    resize(760, 520);

    menuBar = new QMenuBar(this);
    QMenu* viewMenu = menuBar->addMenu(QStringLiteral("查看"));
    viewMenu->addAction(QStringLiteral("大图标"), this, &FrmssjsN::ico_Click)->setObjectName(QStringLiteral("ico"));
    viewMenu->addAction(QStringLiteral("小图标"), this, &FrmssjsN::smico_Click)->setObjectName(QStringLiteral("smico"));
    viewMenu->addAction(QStringLiteral("详细资料"), this, &FrmssjsN::details_Click)->setObjectName(QStringLiteral("details"));
    viewMenu->addAction(QStringLiteral("列表"), this, &FrmssjsN::list_Click)->setObjectName(QStringLiteral("list"));
    viewMenu->addSeparator();
    viewMenu->addAction(QStringLiteral("关闭"), this, &FrmssjsN::closew_Click)->setObjectName(QStringLiteral("closew"));

    Toolbar1 = new QToolBar(this);
    Toolbar1->setObjectName(QStringLiteral("Toolbar1"));
    const char* keys[4][2] = {{"ico", "大图标"}, {"smallico", "小图标"}, {"detail", "详细资料"}, {"list", "列表"}};
    for (const auto& k : keys) {
        const QString key = QString::fromLatin1(k[0]);
        Toolbar1->addAction(QString::fromUtf8(k[1]), this, [this, key] { Toolbar1_ButtonClick(key); });
    }

    DgTime2 = new QLCDNumber(8, this);
    DgTime2->setObjectName(QStringLiteral("DgTime2"));
    DgTime2->setSegmentStyle(QLCDNumber::Flat);
    DgTime2->resize(180, 40);
    clock_ = new QTimer(this);
    clock_->setInterval(1000);
    connect(clock_, &QTimer::timeout, this, &FrmssjsN::showClock);

    const QStyle::StandardPixmap pics[3] = {QStyle::SP_DialogNoButton, QStyle::SP_DialogYesButton,
                                            QStyle::SP_MessageBoxQuestion};
    for (int i = 0; i < 3; ++i)
        iconPics_[i] = style()->standardIcon(pics[i]);
    rowsModel = new QStandardItemModel(0, ColumnCount, this);
    doorlist = new QStackedWidget(this);
    doorlist->setObjectName(QStringLiteral("doorlist"));
    report_ = new QTreeView(doorlist);
    report_->setRootIsDecorated(false);
    report_->setModel(rowsModel);
    report_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    iconView_ = new QListView(doorlist);
    iconView_->setModel(rowsModel);
    iconView_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    doorlist->addWidget(report_);
    doorlist->addWidget(iconView_);

    Timer1 = new QTimer(this);
    connect(Timer1, &QTimer::timeout, this, &FrmssjsN::Timer1_Timer);
}

void FrmssjsN::resizeEvent(QResizeEvent* e)
{
    ui::Form::resizeEvent(e);
    const int top = menuBar->sizeHint().height();
    menuBar->setGeometry(0, 0, width(), top);
    Toolbar1->setGeometry(0, top, width() - DgTime2->width() - 8, 40);
    DgTime2->move((width() - DgTime2->width()) / 2, top);
    doorlist->setGeometry(0, top + 44, width() - 100 / 15, height() - top - 44 - 700 / 15 + 44);
    fitTimeColumn();
}

// The last column takes the rest of the list, but no less than its time.
void FrmssjsN::fitTimeColumn()
{
    int rest = doorlist->width() - 2 * report_->frameWidth();
    for (int c = 0; c < Time; ++c)
        rest -= report_->columnWidth(c);
    const int least = ui::fitColumn(report_, Time, 0, {QString::fromUtf8(kColumns[Time].longest)});
    report_->setColumnWidth(Time, std::max(rest, least));
}

void FrmssjsN::setView(View v)
{
    view_ = v;
    if (v == Details) {
        doorlist->setCurrentWidget(report_);
        return;
    }
    doorlist->setCurrentWidget(iconView_);
    iconView_->setViewMode(v == LargeIcons ? QListView::IconMode : QListView::ListMode);
    iconView_->setIconSize(v == LargeIcons ? QSize(32, 32) : QSize(16, 16));
}

void FrmssjsN::showClock()
{
    DgTime2->display(ui::now().time().toString(QStringLiteral("HH:mm:ss")));
}

void FrmssjsN::Toolbar1_ButtonClick(const QString& key)
{
    if (key == QLatin1String("ico"))
        setView(LargeIcons);
    else if (key == QLatin1String("smallico"))
        setView(SmallIcons);
    else if (key == QLatin1String("detail"))
        setView(Details);
    else if (key == QLatin1String("list"))
        setView(List);
}

void FrmssjsN::closew_Click()
{
    unloadForm();
}

int FrmssjsN::rowCount() const { return rowsModel->rowCount(); }

QString FrmssjsN::cell(int row, Column c) const
{
    const QStandardItem* it = rowsModel->item(row, c);
    return it ? it->text() : QString();
}

int FrmssjsN::icon(int row) const
{
    const QStandardItem* it = rowsModel->item(row, Channel);
    return it ? it->data(kIconRole).toInt() : 0;
}

int FrmssjsN::addRow(const QString& text)
{
    QList<QStandardItem*> items;
    for (int c = 0; c < ColumnCount; ++c)
        items << new QStandardItem(c == Channel ? text : QString());
    rowsModel->appendRow(items);
    const int row = rowsModel->rowCount() - 1;
    setRow(row, 3, QStringLiteral("?"), QString());
    return row;
}

void FrmssjsN::setRow(int row, int iconNumber, const QString& state, const QString& time)
{
    QStandardItem* it = rowsModel->item(row, Channel);
    // Set only on a change: every tick touches these rows.
    if (it->data(kIconRole).toInt() != iconNumber) {
        it->setData(iconNumber, kIconRole);
        it->setIcon(iconPics_[iconNumber - 1]);
    }
    rowsModel->item(row, State)->setText(state);
    if (!time.isNull())
        rowsModel->item(row, Time)->setText(time);
}

void FrmssjsN::Form_Load()
{
    Timer1->stop();
    clock_->start();
    showClock();
    try {
        db::Recordset rs =
            mdl::DaoDatabase.openRecordset(QStringLiteral("SELECT * FROM doors ORDER BY CAST(地址 AS INTEGER)"));
        if (rs.eof()) {
            ui::msgBox(QStringLiteral("请先设置门号地址！"), ui::mb::OKOnly, kTitle);
        } else {
            QStringList headers;
            for (const ColumnDef& c : kColumns)
                headers << QString::fromUtf8(c.header);
            rowsModel->setHorizontalHeaderLabels(headers);
            QStringList channels;
            for (; !rs.eof(); rs.moveNext()) {
                Controller ctl;
                ctl.address = db::cint(rs.field(QStringLiteral("地址")));
                const QString a = QString::number(ctl.address);
                for (int lock = 1; lock <= 2; ++lock) {
                    if (db::isNull(rs.field(QStringLiteral("dtype%1").arg(lock))))
                        continue;
                    const QVariant name = rs.field(QStringLiteral("namedr%1").arg(lock));
                    QString text = a + QStringLiteral("-%1").arg(lock);
                    if (!db::isNull(name))
                        text += QLatin1Char('*') + db::text(name);
                    (lock == 1 ? ctl.row1 : ctl.row2) = addRow(text);
                    channels << text;
                }
                controllers << ctl;
            }
            ui::fitColumn(report_, Channel, kColumns[Channel].twips, channels, true);
            for (int c = Channel + 1; c < Time; ++c)
                ui::fitColumn(report_, c, kColumns[c].twips, {QString::fromUtf8(kColumns[c].longest)});
            fitTimeColumn();
        }
        const bool ready = ctl::openPort();
        if (ready && !controllers.isEmpty()) {
            currentIndex = 0;
            busy = 0;
            const int interval = controllers.size() < 7 ? 2 * mdl::CommandDelay : mdl::CommandDelay;
            Timer1->setInterval(interval);
            // An interval of 0 leaves the timer stopped rather than spinning.
            if (interval > 0)
                Timer1->start();
        } else if (ready) {
            ui::msgBox(QStringLiteral("没有门禁机可监控！请先设置门锁。"), ui::mb::OKOnly, kTitle);
            Timer1->stop();
        } else {
            ui::msgBox(QStringLiteral("串口打开失败！"), ui::mb::OKOnly, kTitle);
            Timer1->stop();
        }
    } catch (const rt::Error& e) {
        Timer1->stop();
        ui::msgBox(e.description());
    }
}

void FrmssjsN::Timer1_Timer()
{
    if (busy != 0 || mdl::PortReady == 0 || controllers.isEmpty())
        return;
    // Closing meanwhile waits for the end of the poll.
    ui::RunGuard run(this, {}, ui::RunGuard::CloseAfterRun);
    if (!run)
        return;
    busy = 1;
    const int i = currentIndex % int(controllers.size());
    const Controller ctl = controllers[i];
    // The pause lets the window's events run; only the status read itself blocks.
    doorlink::waitWithEvents(rt::CLng(mdl::CommandDelay / 2.0));
    if (run.closeRequested()) {
        busy = 0;   // closed during the pause: no status read any more
        return;
    }
    try {
        com::Args a{ctl.address, QString()};
        const bool ok = doorlink::call(QStringLiteral("getCardLockStatus"), a).toBool();
        const QString status = a[1].toString();
        const QString now = rt::isoDateTime(ui::now());
        if (ok && !status.isEmpty()) {
            const QString card = rt::Left(status, 10);
            const int rows[2] = {ctl.row1, ctl.row2};
            for (int lock = 0; lock < 2; ++lock) {
                if (rows[lock] < 0)
                    continue;
                const bool open = rt::Val(rt::Mid(status, 11 + lock, 1)) != 0;
                setRow(rows[lock], open ? 2 : 1, open ? QStringLiteral("开") : QStringLiteral("关"), now);
            }
            const QString reader = rt::Mid(status, 14, 1);
            // Without a lock 2, reader 2 is lock 1's exit reader.
            const int holderRow = reader == QLatin1String("1")   ? ctl.row1
                                  : reader != QLatin1String("2") ? -1
                                  : ctl.row2 >= 0               ? ctl.row2
                                                                : ctl.row1;
            if (card != QLatin1String("0000000000") && holderRow >= 0) {
                db::Recordset p = mdl::DaoDatabase.openRecordset(
                    QStringLiteral("SELECT P.卡号, P.姓名, P.部门, P.职务 FROM people AS P "
                                   "INNER JOIN Dfaka AS F ON P.卡号 = F.卡号 WHERE F.物理卡号=? ORDER BY F.rowid"),
                    {card});
                if (!p.eof()) {
                    rowsModel->item(holderRow, Card)->setText(p.text(QStringLiteral("卡号")));
                    rowsModel->item(holderRow, Name)->setText(p.text(QStringLiteral("姓名")));
                    rowsModel->item(holderRow, Department)->setText(p.text(QStringLiteral("部门")));
                    rowsModel->item(holderRow, Position)->setText(p.text(QStringLiteral("职务")));
                }
            }
        } else {
            for (int row : {ctl.row1, ctl.row2})
                if (row >= 0)
                    setRow(row, 3, QStringLiteral("?"), now);
        }
    } catch (const rt::Error&) {
        // A failing query skips this controller; polling goes on.
    }
    busy = 0;
    currentIndex = (i + 1) % int(controllers.size());
}

void FrmssjsN::Form_Unload(bool&)
{
    if (busy == 1)
        ui::sleepMs(1000);
    busy = 1;
    Timer1->stop();
    clock_->stop();
    if (ctl::releasePort())
        mdl::PortReady = 0;
}

OSTRELA_WINDOW(FrmssjsN);
