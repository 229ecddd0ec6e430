#include "FrmWTS.h"

#include "AppForms.h"
#include "Module2.h"
#include "PunchSelection.h"
#include "runtime/Conv.h"
#include "runtime/RuntimeError.h"
#include "ui/Ui.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimeEdit>

namespace {

constexpr int kDay = 24 * 3600;

QTimeEdit* timePicker(QWidget* parent, int x, int y)
{
    auto* p = new QTimeEdit(QTime(15, 24, 8), parent);
    p->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    p->setGeometry(x, y, 96, 24);
    return p;
}

int secondsOf(const QTimeEdit* p)
{
    return p->time().msecsSinceStartOfDay() / 1000;
}

bool showsMidnight(const QTimeEdit* p)
{
    return secondsOf(p) == 0;
}

// A time of day moved by whole minutes, wrapping at midnight.
int shifted(int seconds, int minutes)
{
    return ((seconds + minutes * 60) % kDay + kDay) % kDay;
}

// The grace a stored threshold was made with: the minutes from the period
// time to its threshold (late) or back from it (early), taken the short way
// round midnight; empty when the period time is unset or the row cannot tell.
QString graceOf(const QVariant& time, const QVariant& threshold, bool late)
{
    if (db::isNull(time) || db::isNull(threshold))
        return QString();
    const int t = punches::secondsOfDay(db::text(time));
    const int th = punches::secondsOfDay(db::text(threshold));
    if (t <= 0 || th < 0)
        return QString();
    int d = ((late ? th - t : t - th) % kDay + kDay) % kDay;
    if (d > kDay / 2)
        d -= kDay;
    if (d % 60 != 0)
        return QString();
    return QString::number(d / 60);
}

} // namespace

FrmWTS::FrmWTS(QWidget* parent)
    : ui::Form(parent)
{
    setObjectName(QStringLiteral("FrmWTS"));
    setWindowTitle(QStringLiteral("上下班时间设置"));
    setFixedSize(480, 360);

    Frame1 = new QGroupBox(this);
    Frame1->setGeometry(12, 8, 456, 110);
    const char16_t* periodCaptions[2] = {u"时间段一", u"时间段二"};
    QTimeEdit** pickers[4] = {&DTX1, &DTX2, &DTX3, &DTX4};
    for (int i = 0; i < 2; ++i) {
        const int y = 20 + i * 44;
        Check1[i] = new QCheckBox(QString::fromUtf16(periodCaptions[i]), Frame1);
        Check1[i]->setGeometry(10, y, 86, 24);
        auto* on = new QLabel(QStringLiteral("上班时间："), Frame1);
        on->setGeometry(96, y, 76, 24);
        *pickers[2 * i] = timePicker(Frame1, 172, y);
        auto* off = new QLabel(QStringLiteral("下班时间："), Frame1);
        off->setGeometry(276, y, 76, 24);
        *pickers[2 * i + 1] = timePicker(Frame1, 352, y);
    }
    Check1[0]->setChecked(true);
    for (int i = 0; i < 2; ++i)
        connect(Check1[i], &QCheckBox::toggled, this, [this, i] { Check1_Click(i); });

    Label13 = new QLabel(QStringLiteral("       最多支持两个时间段的设置，如果只需要设置一个时间段，请设置时间段一，并打上小勾勾,最后保存。"),
                         this);
    Label13->setWordWrap(true);
    Label13->setGeometry(12, 122, 456, 40);

    Frame2 = new QGroupBox(QStringLiteral("其它参数设置"), this);
    Frame2->setGeometry(12, 166, 456, 130);
    struct Row {
        QLineEdit** box;
        const char16_t* before;
        const char16_t* after;
        const char16_t* design;
    };
    const Row rows[4] = {{&Text1, u"迟到", u"分钟以上算迟到", u"5"},
                         {&Text2, u"早退", u"分钟算以上早退", u"5"},
                         {&TextLeave, u"中间休息", u"分钟", u"90"},
                         {&TextMaxHouse, u"出勤不超过", u"小时", u"8"}};
    for (int i = 0; i < 4; ++i) {
        const int y = 22 + i * 26;
        auto* l = new QLabel(QString::fromUtf16(rows[i].before), Frame2);
        l->setGeometry(16, y, 80, 22);
        *rows[i].box = new QLineEdit(QString::fromUtf16(rows[i].design), Frame2);
        (*rows[i].box)->setGeometry(100, y, 60, 22);
        auto* r = new QLabel(QString::fromUtf16(rows[i].after), Frame2);
        r->setGeometry(168, y, 120, 22);
    }
    Text1->setObjectName(QStringLiteral("Text1"));
    Text2->setObjectName(QStringLiteral("Text2"));
    TextLeave->setObjectName(QStringLiteral("TextLeave"));
    TextMaxHouse->setObjectName(QStringLiteral("TextMaxHouse"));

    Command1 = new QPushButton(QStringLiteral("保 存"), this);
    Command1->setGeometry(120, 310, 90, 30);
    Command2 = new QPushButton(QStringLiteral("退 出"), this);
    Command2->setGeometry(270, 310, 90, 30);
    connect(Command1, &QPushButton::clicked, this, &FrmWTS::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &FrmWTS::Command2_Click);
}

void FrmWTS::Form_Load()
{
    // A database that cannot be opened reads as a table without a row.
    try {
        db_ = db::Database::open(Module2::GetDatabasePath());
    } catch (const rt::Error&) {
    }
    db::Recordset rs;
    try {
        rs = db_.openRecordset(QStringLiteral("select * from owt order by rowid limit 1"));
    } catch (const rt::Error&) {
    }
    if (!rs.isOpen() || rs.eof()) {
        DTX1->setTime(QTime(8, 30));
        DTX2->setTime(QTime(11, 30));
        DTX3->setTime(QTime(13, 30));
        DTX4->setTime(QTime(17, 30));
        Check1[0]->setChecked(false);
        Check1[1]->setChecked(false);
        return;
    }
    auto field = [&](const char16_t* name) -> QVariant {
        try {
            return rs.field(QString::fromUtf16(name));
        } catch (const rt::Error&) {
            return QVariant();
        }
    };
    const std::pair<QTimeEdit*, const char16_t*> times[4] = {
        {DTX1, u"上班时间"}, {DTX2, u"下班时间"}, {DTX3, u"timeb"}, {DTX4, u"timee"}};
    for (const auto& [picker, column] : times) {
        const QVariant v = field(column);
        const int s = db::isNull(v) ? -1 : punches::secondsOfDay(db::text(v));
        if (s >= 0)
            picker->setTime(QTime(0, 0).addSecs(s));
    }
    const QVariant maxHour = field(u"MaxHour"), rest = field(u"Rest");
    if (!db::isNull(maxHour))
        TextMaxHouse->setText(db::text(maxHour));
    if (!db::isNull(rest))
        TextLeave->setText(db::text(rest));
    // The graces are not stored: show the ones the thresholds were made
    // with, so a save that changes only a time keeps them.
    QString late = graceOf(field(u"上班时间"), field(u"迟到时间"), true);
    if (late.isEmpty())
        late = graceOf(field(u"timeb"), field(u"lat"), true);
    QString early = graceOf(field(u"下班时间"), field(u"早退时间"), false);
    if (early.isEmpty())
        early = graceOf(field(u"timee"), field(u"let"), false);
    Text1->setText(late.isEmpty() ? QStringLiteral("5") : late);
    Text2->setText(early.isEmpty() ? QStringLiteral("5") : early);

    Check1[0]->setChecked(!(showsMidnight(DTX1) && showsMidnight(DTX2)));
    Check1[1]->setChecked(!(showsMidnight(DTX3) && showsMidnight(DTX4)));
}

void FrmWTS::Check1_Click(int index)
{
    // A box changed by these rules does not run them again.
    if (inCheckRule_)
        return;
    inCheckRule_ = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{inCheckRule_};

    QCheckBox* box = Check1[index];
    if (index == 0) {
        // Period one cannot be switched off; set to 00:00:00 it asks for times.
        if (!box->isChecked())
            box->setChecked(true);
        if (showsMidnight(DTX1) && showsMidnight(DTX2))
            ui::msgBox(QStringLiteral("请先设置第一个时间段!"), ui::mb::OKOnly);
        return;
    }
    if (!box->isChecked())
        return;
    if (Check1[0]->isChecked() && showsMidnight(DTX1) && showsMidnight(DTX2)) {
        ui::msgBox(QStringLiteral("只有先设置第一个时间段，才能设第二个时间段!"), ui::mb::OKOnly);
        box->setChecked(false);
    } else if (showsMidnight(DTX3) && showsMidnight(DTX4)) {
        ui::msgBox(QStringLiteral("请先设置第二个时间段!"), ui::mb::OKOnly);
        box->setChecked(false);
    }
}

void FrmWTS::Command1_Click()
{
    for (QLineEdit* box : {Text1, Text2, TextLeave, TextMaxHouse})
        if (box->text().isEmpty())
            box->setText(QStringLiteral("0"));
    try {
        // Every value is worked out before the row is touched, so a bad
        // text leaves the stored rules as they were.
        auto period = [&](int index, QTimeEdit* onPicker, QTimeEdit* offPicker) {
            std::array<QString, 4> v;
            v.fill(QStringLiteral("00:00:00"));
            if (!Check1[index]->isChecked())
                return v;
            const int on = secondsOf(onPicker), off = secondsOf(offPicker);
            v[0] = punches::timeText(on);
            v[1] = punches::timeText(off);
            v[2] = on == 0 ? v[0] : punches::timeText(shifted(on, rt::CInt(Text1->text())));
            v[3] = off == 0 ? v[1] : punches::timeText(shifted(off, -rt::CInt(Text2->text())));
            return v;
        };
        const std::array<QString, 4> one = period(0, DTX1, DTX2);
        const std::array<QString, 4> two = period(1, DTX3, DTX4);
        const double rest = rt::CDbl(TextLeave->text());
        const double maxHour = rt::CDbl(TextMaxHouse->text());

        const QVariantList values{two[0], two[1], two[2], two[3], one[0], one[1], one[2], one[3], rest, maxHour};
        const db::Recordset first = db_.openRecordset(QStringLiteral("select rowid from owt order by rowid limit 1"));
        if (first.eof()) {
            db_.execute(QStringLiteral("insert into owt (timeb, timee, lat, let, 上班时间, 下班时间, 迟到时间, 早退时间, Rest, "
                                       "MaxHour) values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                        values);
        } else {
            db_.execute(QStringLiteral("update owt set timeb=?, timee=?, lat=?, let=?, 上班时间=?, 下班时间=?, 迟到时间=?, "
                                       "早退时间=?, Rest=?, MaxHour=? where rowid=?"),
                        values + QVariantList{first.value(0)});
        }
        ui::msgBox(QStringLiteral("保存成功!"), ui::mb::OKOnly);
    } catch (const rt::Error& e) {
        if (e.number() == rt::ErrSubscript)
            ui::msgBox(QStringLiteral("对不起，时间设置有误！请重设！"), ui::mb::OKOnly);
        else
            ui::msgBox(e.text(), ui::mb::OKOnly);
    }
}

void FrmWTS::Command2_Click()
{
    unloadForm();
}

void FrmWTS::Form_Unload(bool& cancel)
{
    Q_UNUSED(cancel);
    db_.close();
}

OSTRELA_WINDOW(FrmWTS);
