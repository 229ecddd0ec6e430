#include "FrmMon.h"

#include "AppForms.h"
#include "Globals.h"
#include "Module1.h"
#include "Module2.h"
#include "RtfWriter.h"
#include "runtime/Conv.h"
#include "runtime/RuntimeError.h"
#include "ui/Ui.h"

#include <QApplication>
#include <QDateEdit>
#include <QEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QTableWidget>
#include <QTextCursor>
#include <QTextEdit>

#include <algorithm>

namespace {

const QString kTitle = QStringLiteral("提示");
const QColor kLateColour(0, 0, 255);
const QColor kEarlyColour(255, 0, 0);
const QColor kSunday(150, 200, 150);
const QColor kSaturday(200, 160, 180);
const QColor kWeekend(230, 230, 230);
const QColor kFixed(212, 208, 200);

// A time of day from a stored value ("hh:mm:ss", or a date and time);
// invalid when there is none.
QTime timeOf(const QString& stored)
{
    QString t = stored.trimmed();
    if (t.contains(QLatin1Char(' ')))
        t = t.section(QLatin1Char(' '), -1);
    for (const char* f : {"HH:mm:ss", "H:mm:ss", "H:mm"}) {
        const QTime q = QTime::fromString(t, QString::fromLatin1(f));
        if (q.isValid())
            return q;
    }
    return QTime();
}

QTime thresholdOf(const db::TableRecordset& rs, const QString& column)
{
    const QTime t = timeOf(rs.text(column));
    return t.isValid() ? t : QTime(0, 0);
}

QString shownTime(const QVariant& v)
{
    const QString text = db::text(v);
    const QTime t = timeOf(text);
    return t.isValid() ? rt::isoTime(t) : text;
}

} // namespace

FrmMon::FrmMon(QWidget* parent)
    : ui::Form(parent)
{
    setObjectName(QStringLiteral("FrmMon"));
    setWindowTitle(QStringLiteral("个人月总查询"));
    setFixedSize(kNarrowWidth, 545);

    LstDepart = new QListWidget(this);
    LstDepart->setObjectName(QStringLiteral("LstDepart"));
    LstDepart->setSelectionMode(QAbstractItemView::ExtendedSelection);
    LstDepart->setGeometry(8, 8, 150, 170);
    LstInfo = new QListWidget(this);
    LstInfo->setObjectName(QStringLiteral("LstInfo"));
    LstInfo->setGeometry(8, 184, 150, 330);

    MSF = new QTableWidget(32, 6, this);
    MSF->setObjectName(QStringLiteral("MSF"));
    MSF->setGeometry(164, 8, 340, 506);
    MSF->horizontalHeader()->hide();
    MSF->verticalHeader()->hide();
    MSF->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Small type so that 32 rows and six columns fit without scrolling.
    QFont small = MSF->font();
    small.setPointSize(8);
    MSF->setFont(small);
    MSF->setStyleSheet(QStringLiteral("QTableWidget::item { padding: 0px; }"));
    MSF->verticalHeader()->setMinimumSectionSize(14);
    MSF->verticalHeader()->setDefaultSectionSize(15);
    const int widths[6] = {700, 600, 900, 900, 900, 900};
    for (int c = 0; c < 6; ++c)
        MSF->setColumnWidth(c, widths[c] / 15);

    Label1 = new QLabel(QStringLiteral("I 段上班"), this);
    Label1->setGeometry(510, 8, 150, 18);
    Text1 = new QLineEdit(this);
    Text1->setGeometry(510, 28, 72, 22);
    Text2 = new QLineEdit(this);
    Text2->setGeometry(588, 28, 72, 22);
    Label2 = new QLabel(QStringLiteral("II段上班"), this);
    Label2->setGeometry(510, 56, 150, 18);
    Text3 = new QLineEdit(this);
    Text3->setGeometry(510, 76, 72, 22);
    Text4 = new QLineEdit(this);
    Text4->setGeometry(588, 76, 72, 22);

    Frame1 = new QGroupBox(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setGeometry(510, 104, 150, 172);
    Label4 = new QLabel(QStringLiteral("年     月："), Frame1);
    Label4->setGeometry(8, 8, 134, 18);
    DTP = new QDateEdit(Frame1);
    DTP->setObjectName(QStringLiteral("DTP"));
    DTP->setDisplayFormat(QString::fromLatin1(rt::kDateFormat));
    DTP->setCalendarPopup(true);
    DTP->setGeometry(8, 28, 134, 22);
    Option1 = new QRadioButton(QStringLiteral("按卡号"), Frame1);
    Option1->setGeometry(8, 56, 134, 20);
    Option1->setChecked(true);
    Cka = new QLineEdit(Frame1);
    Cka->setObjectName(QStringLiteral("Cka"));
    Cka->setGeometry(8, 78, 134, 22);
    Option2 = new QRadioButton(QStringLiteral("按姓名"), Frame1);
    Option2->setGeometry(8, 108, 134, 20);
    Cna = new QLineEdit(Frame1);
    Cna->setObjectName(QStringLiteral("Cna"));
    Cna->setGeometry(8, 130, 134, 22);

    auto button = [this](const QString& text, const QString& name, int x, int y, int w) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(name);
        b->setGeometry(x, y, w, 26);
        return b;
    };
    Command1 = button(QStringLiteral("查看"), QStringLiteral("Command1"), 510, 284, 72);
    Command2 = button(QStringLiteral("退出"), QStringLiteral("Command2"), 588, 284, 72);
    Clate = button(QStringLiteral("迟到"), QStringLiteral("Clate"), 510, 318, 48);
    Cle = button(QStringLiteral("早退"), QStringLiteral("Cle"), 561, 318, 48);
    Cabs = button(QStringLiteral("旷工"), QStringLiteral("Cabs"), 612, 318, 48);
    Command6 = button(QStringLiteral("保存备注"), QStringLiteral("Command6"), 510, 352, 72);
    Command3 = button(QStringLiteral("清除"), QStringLiteral("Command3"), 588, 352, 72);

    auto picture = [this](QStyle::StandardPixmap icon, const QString& name) {
        auto* p = new QLabel(this);
        p->setObjectName(name);
        p->setPixmap(style()->standardIcon(icon).pixmap(32, 32));
        p->setGeometry(548, 400, 32, 32);
        p->setCursor(Qt::PointingHandCursor);
        p->installEventFilter(this);
        return p;
    };
    Picture1 = picture(QStyle::SP_ArrowRight, QStringLiteral("Picture1"));
    Label14 = new QLabel(QStringLiteral("展开"), this);
    Label14->setGeometry(586, 406, 60, 20);
    Picture2 = picture(QStyle::SP_ArrowLeft, QStringLiteral("Picture2"));
    Label15 = new QLabel(QStringLiteral("收缩"), this);
    Label15->setGeometry(586, 406, 60, 20);

    Frame2 = new QGroupBox(QStringLiteral("备注"), this);
    Frame2->setObjectName(QStringLiteral("Frame2"));
    Frame2->setGeometry(664, 8, 185, 506);
    RBox = new QTextEdit(Frame2);
    RBox->setObjectName(QStringLiteral("RBox"));
    RBox->setGeometry(6, 20, 173, 480);
    RBox->setAcceptRichText(true);

    stb_Info = new QStatusBar(this);
    stb_Info->setObjectName(QStringLiteral("stb_Info"));
    stb_Info->setSizeGripEnabled(false);
    stb_Info->setGeometry(0, 523, kWideWidth, 22);

    wideOnly_ = {Picture2, Label15, Clate, Cle, Cabs, Command6, Command3};
    for (QWidget* w : wideOnly_)
        w->hide();

    Cka->installEventFilter(this);
    Cna->installEventFilter(this);
    connect(LstDepart, &QListWidget::itemSelectionChanged, this, &FrmMon::LstDepart_Click);
    connect(LstInfo, &QListWidget::itemClicked, this, &FrmMon::LstInfo_Click);
    connect(Command1, &QPushButton::clicked, this, &FrmMon::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &FrmMon::Command2_Click);
    connect(Clate, &QPushButton::clicked, this, &FrmMon::Clate_Click);
    connect(Cle, &QPushButton::clicked, this, &FrmMon::Cle_Click);
    connect(Cabs, &QPushButton::clicked, this, &FrmMon::Cabs_Click);
    connect(Command6, &QPushButton::clicked, this, &FrmMon::Command6_Click);
    connect(Command3, &QPushButton::clicked, this, &FrmMon::Command3_Click);
}

FrmMon::~FrmMon() = default;

bool FrmMon::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusIn) {
        if (watched == Cka)
            Cka_GotFocus();
        else if (watched == Cna)
            Cna_GotFocus();
    } else if (event->type() == QEvent::MouseButtonRelease
               && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (watched == Cka)
            Cka_Click();
        else if (watched == Cna)
            Cna_Click();
        else if (watched == Picture1)
            Picture1_Click();
        else if (watched == Picture2)
            Picture2_Click();
    }
    return ui::Form::eventFilter(watched, event);
}

void FrmMon::Form_Load()
{
    try {
        const QDate today = ui::now().date();
        DTP->setDate(today);
        // Placed over the main window (found by name: no link to it).
        for (const ui::Form* f : ui::forms::loaded())
            if (f->objectName() == QLatin1String("menu")) {
                move(f->x() + 2400 / 15, f->y() + 1200 / 15);
                // Kept on the screen even when widened for the remarks (a
                // 1024-pixel screen has no room for that beside the menu).
                if (const QScreen* s = f->screen()) {
                    const QRect room = s->availableGeometry();
                    const int frame = 16, title = 32;
                    move(std::max(room.left(), std::min(x(), room.right() + 1 - kWideWidth - frame)),
                         std::max(room.top(), std::min(y(), room.bottom() + 1 - height() - title)));
                }
            }
        setFixedWidth(kNarrowWidth);
        db_ = db::Database::open(Module2::GetDatabasePath());
        DTP->setDate(today);
        year_ = QString::number(DTP->date().year());
        month_ = QString::number(DTP->date().month());
        gridHeader();

        db::TableRecordset owt = db_.openTable(QStringLiteral("owt"));
        if (!owt.eof()) {
            late1_ = thresholdOf(owt, QStringLiteral("迟到时间"));
            early1_ = thresholdOf(owt, QStringLiteral("早退时间"));
            late2_ = thresholdOf(owt, QStringLiteral("lat"));
            early2_ = thresholdOf(owt, QStringLiteral("let"));
            Text1->setText(shownTime(owt.field(QStringLiteral("上班时间"))));
            Text2->setText(shownTime(owt.field(QStringLiteral("下班时间"))));
            Text3->setText(shownTime(owt.field(QStringLiteral("timeb"))));
            Text4->setText(shownTime(owt.field(QStringLiteral("timee"))));
        } else {
            late1_ = early1_ = late2_ = early2_ = QTime(0, 0);
            ui::msgBox(QStringLiteral("请先设置上下班时间！"), ui::mb::OKOnly, kTitle);
        }
        LstDepart->clear();
        Module1::FillDepartmentList(mdl::AdoConnection, LstDepart);
    } catch (const rt::Error& e) {
        ui::msgBox(e.text());
    }
}

void FrmMon::LstDepart_Click()
{
    LstInfo->clear();
    try {
        // Each selected department adds its people; the list is not emptied between them.
        QListWidget people;
        for (int i = 0; i < LstDepart->count(); ++i) {
            if (!LstDepart->item(i)->isSelected())
                continue;
            Module1::FillPeopleList(mdl::AdoConnection, &people, LstDepart->item(i)->text());
            while (people.count() > 0)
                LstInfo->addItem(people.takeItem(0));
        }
    } catch (const rt::Error& e) {
        ui::msgBox(e.text());
    }
}

void FrmMon::LstInfo_Click()
{
    const QListWidgetItem* item = LstInfo->currentItem();
    if (!item)
        return;
    // "number", five blanks, "name": the whole name, however long.
    const QString text = item->text();
    const qsizetype gap = text.indexOf(QStringLiteral("     "));
    if (gap >= 0) {
        Cka->setText(text.left(gap).trimmed());
        Cna->setText(text.mid(gap).trimmed());
    } else {
        Cka->setText(text.left(8).trimmed());
        Cna->setText(text.mid(8).trimmed());
    }
}

void FrmMon::Cka_GotFocus()
{
    Option1->setChecked(true);
}

void FrmMon::Cka_Click()
{
    Command1_Click();
}

void FrmMon::Cna_GotFocus()
{
    Option2->setChecked(true);
}

void FrmMon::Cna_Click()
{
    Command1_Click();
}

void FrmMon::gridHeader()
{
    static const QStringList captions = {QStringLiteral(" 星期"),   QStringLiteral(" 日期"),
                                         QStringLiteral("上班时间"), QStringLiteral("下班时间"),
                                         QStringLiteral("上班时间"), QStringLiteral("下班时间")};
    for (int c = 0; c < 6; ++c) {
        auto* item = new QTableWidgetItem(captions[c]);
        QFont f = item->font();
        f.setBold(true);
        item->setFont(f);
        item->setTextAlignment(Qt::AlignCenter);
        item->setBackground(kFixed);
        MSF->setItem(0, c, item);
    }
}

QString FrmMon::cellText(int row, int column) const
{
    const QTableWidgetItem* item = MSF->item(row, column);
    return item ? item->text() : QString();
}

void FrmMon::Command1_Click()
{
    auto cell = [this](int row, int column) {
        QTableWidgetItem* item = MSF->item(row, column);
        if (!item) {
            item = new QTableWidgetItem;
            item->setTextAlignment(Qt::AlignCenter);
            MSF->setItem(row, column, item);
        }
        return item;
    };

    db::Recordset rs;
    QDate first;
    try {
        MSF->clearContents();
        const int widths[6] = {700, 600, 900, 900, 900, 900};
        for (int c = 0; c < 6; ++c)
            MSF->setColumnWidth(c, widths[c] / 15);
        gridHeader();
        for (int r = 1; r < MSF->rowCount(); ++r)
            cell(r, 0)->setBackground(kFixed);

        year_ = QString::number(DTP->date().year());
        month_ = QString::number(DTP->date().month());
        first = QDate(DTP->date().year(), DTP->date().month(), 1);
        const QDate last = first.addMonths(1).addDays(-1);

        if (Cka->text().isEmpty() && Cna->text().isEmpty()) {
            ui::msgBox(QStringLiteral("请选择卡号或姓名!!"), ui::mb::OKOnly, kTitle);
            return;
        }
        if (!Option1->isChecked() && !Option2->isChecked()) {
            ui::msgBox(QStringLiteral("按卡号查询还是按姓名查询？"), ui::mb::OKOnly, kTitle);
            return;
        }
        if (Option1->isChecked() && Cka->text().isEmpty()) {
            ui::msgBox(QStringLiteral("请选择卡号!!"), ui::mb::OKOnly, kTitle);
            return;
        }
        if (Option2->isChecked() && Cna->text().isEmpty()) {
            ui::msgBox(QStringLiteral("请选择姓名!!"), ui::mb::OKOnly, kTitle);
            return;
        }
        QString column;
        QString key;
        if (Option1->isChecked()) {
            selectedCard_ = Cka->text();
            selectedName_.clear();
            column = QStringLiteral("卡号");
            key = Cka->text().trimmed();
        } else {
            selectedName_ = Cna->text();
            selectedCard_.clear();
            column = QStringLiteral("姓名");
            key = Cna->text().trimmed();
        }
        rs = db_.openRecordset(QStringLiteral("select * from datakq where ") + column
                                   + QStringLiteral("=? and 日期 between ? and ? order by 日期"),
                               {key, rt::isoDate(first), rt::isoDate(last)});
    } catch (const rt::Error& e) {
        ui::msgBox(e.text(), ui::mb::OKOnly, QStringLiteral("提示信息"));
        return;
    }

    static const QStringList weekdays = {QStringLiteral("星期日"), QStringLiteral("星期一"), QStringLiteral("星期二"),
                                         QStringLiteral("星期三"), QStringLiteral("星期四"), QStringLiteral("星期五"),
                                         QStringLiteral("星期六")};
    for (int d = 1; d <= first.daysInMonth(); ++d) {
        const QDate day(first.year(), first.month(), d);
        const int wd = day.dayOfWeek() % 7;   // 0 Sunday
        cell(d, 0)->setText(weekdays[wd]);
        if (wd == 0 || wd == 6) {
            cell(d, 0)->setBackground(wd == 0 ? kSunday : kSaturday);
            for (int c = 1; c < 6; ++c)
                cell(d, c)->setBackground(kWeekend);
        }
        cell(d, 1)->setText(QString::number(d));
    }

    if (rs.eof()) {
        ui::msgBox(QStringLiteral("此员工本月无打卡记录！"), ui::mb::OKOnly, kTitle);
        return;
    }
    try {
        struct Punch {
            const char* field;
            int column;
            bool late;
        };
        const Punch punches[4] = {{"时间1", 2, true}, {"时间2", 3, false}, {"时间3", 4, true}, {"时间4", 5, false}};
        for (; !rs.eof(); rs.moveNext()) {
            const QDate date = rt::parseIsoDateTime(rs.text(QStringLiteral("日期"))).date();
            if (!date.isValid())
                continue;
            const int d = date.day();
            cell(d, 1)->setText(QString::number(d));
            for (const Punch& p : punches) {
                const QVariant v = rs.field(QString::fromUtf8(p.field));
                QTableWidgetItem* item = cell(d, p.column);
                item->setText(shownTime(v));
                item->setForeground(QBrush());
                const QTime t = timeOf(db::text(v));
                if (!t.isValid())
                    continue;
                const QTime& threshold = p.column < 4 ? (p.late ? late1_ : early1_) : (p.late ? late2_ : early2_);
                if (p.late ? t > threshold : t < threshold)
                    item->setForeground(p.late ? kLateColour : kEarlyColour);
            }
        }
    } catch (const rt::Error& e) {
        ui::msgBox(e.text(), ui::mb::OKOnly, QStringLiteral("提示信息"));
    }
}

void FrmMon::appendRemarks(const QString& text)
{
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QTextCursor c(RBox->document());
    c.movePosition(QTextCursor::End);
    c.insertText(t);
}

int FrmMon::remarksLength() const
{
    const QString t = RBox->toPlainText();
    return int(t.size() + t.count(QLatin1Char('\n')));
}

void FrmMon::appendPersonLine()
{
    if (!selectedCard_.isEmpty() || !selectedName_.isEmpty())
        appendRemarks(QStringLiteral("\r\n") + selectedName_ + selectedCard_ + QStringLiteral("\r\n"));
}

QString FrmMon::dayEntry(int row, const QTime& time, const QString& word) const
{
    return year_ + QLatin1Char('-') + month_ + QLatin1Char('-') + QString::number(row) + QStringLiteral("号")
        + rt::isoTime(time) + word + QStringLiteral("  ");
}

// An empty cell, or one holding no time, keeps the time last read.
void FrmMon::readCell(int row, int column, QTime& current) const
{
    const QString text = cellText(row, column);
    if (text.isEmpty())
        return;
    const QTime t = timeOf(text);
    if (t.isValid())
        current = t;
}

void FrmMon::Clate_Click()
{
    appendPersonLine();
    QString entries;
    for (int row = 1; row <= 31; ++row) {
        // An empty afternoon cell tests the morning's time against the afternoon's rule.
        QTime current(0, 0);
        readCell(row, 2, current);
        if (late1_ < current && current < early1_)
            entries += dayEntry(row, current, QStringLiteral("迟到"));
        readCell(row, 4, current);
        if (late2_ < current && current < early2_)
            entries += dayEntry(row, current, QStringLiteral("迟到"));
    }
    if (!entries.isEmpty())
        appendRemarks(entries);
    if (remarksLength() < 10)
        appendRemarks(QStringLiteral("本月无迟到记录"));
}

void FrmMon::Cle_Click()
{
    appendPersonLine();
    QString entries;
    // Reset only after a listed departure: an empty cell tests the time last read.
    QTime current(0, 0);
    for (int row = 1; row <= 31; ++row) {
        readCell(row, 3, current);
        if (late1_ < current && current < early1_) {
            entries += dayEntry(row, current, QStringLiteral("早退"));
            current = QTime(0, 0);
        }
        readCell(row, 5, current);
        if (late2_ < current && current < early2_) {
            entries += dayEntry(row, current, QStringLiteral("早退"));
            current = QTime(0, 0);
        }
    }
    if (!entries.isEmpty())
        appendRemarks(entries);
    if (remarksLength() < 20)
        appendRemarks(QStringLiteral("本月无早退记录"));
}

void FrmMon::Cabs_Click()
{
    if (selectedCard_.isEmpty() && selectedName_.isEmpty()) {
        ui::msgBox(QStringLiteral("请选择工号或姓名！"), ui::mb::OKCancel, kTitle);
        return;
    }
    appendPersonLine();
    try {
        const QString prefix = rt::isoDate(DTP->date()).left(7);
        const bool byCard = !selectedCard_.isEmpty();
        db::Recordset rs = mdl::AdoConnection.execute(
            QStringLiteral("select * from datakq where ") + (byCard ? QStringLiteral("(卡号=?)") : QStringLiteral("(姓名=?)"))
                + QStringLiteral(" and (日期 like ?) order by 日期"),
            {byCard ? selectedCard_ : selectedName_, prefix + QLatin1Char('%')});
        QString entries;
        for (; !rs.eof(); rs.moveNext()) {
            const QVariant minutes = rs.field(QStringLiteral("旷工"));
            if (!db::isNull(minutes) && minutes.toDouble() > 0)
                entries += rs.text(QStringLiteral("日期")) + QStringLiteral("号旷工") + db::text(minutes)
                    + QStringLiteral("分钟  ");
        }
        if (!entries.isEmpty())
            appendRemarks(entries);
    } catch (const rt::Error& e) {
        ui::msgBox(e.text(), ui::mb::OKOnly, QStringLiteral("提示信息"));
    }
}

void FrmMon::Command3_Click()
{
    RBox->clear();
}

void FrmMon::Command6_Click()
{
    ui::FileDialogRequest req;
    req.title = QStringLiteral("保存");
    req.filter = QStringLiteral("所有文件 (*.doc)");
    req.save = true;
    const QString path = ui::services().fileDialog(req);
    if (path.isEmpty())
        return;
    QString why;
    if (!rtf::save(*RBox->document(), path, &why))
        ui::msgBox(QString::number(rt::ErrPathFileAccess) + QLatin1Char(':') + rt::errorDescription(rt::ErrPathFileAccess)
                       + QStringLiteral("（") + why + QStringLiteral("）"),
                   ui::mb::OKOnly, kTitle);
}

void FrmMon::Command2_Click()
{
    if (isWide()
        && ui::msgBox(QStringLiteral("退出前是否要保存备注信息？"), ui::mb::YesNo, kTitle) == ui::mb::Yes)
        Command6_Click();
    unloadForm();
}

bool FrmMon::isWide() const
{
    return !Picture2->isHidden();
}

void FrmMon::Picture1_Click()
{
    setFixedWidth(kWideWidth);
    for (QWidget* w : wideOnly_)
        w->show();
    Picture1->hide();
    Label14->hide();
}

void FrmMon::Picture2_Click()
{
    setFixedWidth(kNarrowWidth);
    Picture1->show();
    Label14->show();
    for (QWidget* w : wideOnly_)
        w->hide();
}

OSTRELA_WINDOW(FrmMon);
