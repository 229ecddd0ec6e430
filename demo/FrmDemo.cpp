#include "FrmDemo.h"

#include "ModDemo.h"
#include "TextViewer.h"
#include "runtime/Conv.h"
#include "runtime/Gbk.h"
#include "runtime/RuntimeError.h"
#include "ui/WindowKeys.h"
#include "ui/RunGuard.h"
#include "ui/Ui.h"

#include <QAction>
#include <QActionGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QFileInfo>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTimeEdit>
#include <QToolBar>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

using com::Args;
using com::Variant;

namespace {

const QString kSection = QStringLiteral("DiveDeri");
const QString kPunchFile = QStringLiteral("DataRecordSet_8096.txt");
const QString kLaidFile = QStringLiteral("DataRecordSet8096.txt");
const QString kNameListFile = QStringLiteral("NameList8096.txt");
const QString kWaiting = QStringLiteral("正在采集，如数据量大，可能要花较长的时间，请耐心等候!");
const QString kHint = QStringLiteral("提示");

// Names the re-layout recognises, in the order of the position table.
const QStringList kFieldNames = {
    QStringLiteral("机号"), QStringLiteral("卡号"), QStringLiteral("年"), QStringLiteral("月"),
    QStringLiteral("日"), QStringLiteral("时"), QStringLiteral("分"), QStringLiteral("秒"),
    QStringLiteral("保留字"), QStringLiteral("特征字")};

// First position and length of each field in a collected line, for hex or
// decimal card numbers and two- or four-digit years.
struct Span { int start; int length; };
const Span kFieldSpans[4][10] = {
    {{1, 3}, {4, 8}, {12, 2}, {14, 2}, {16, 2}, {18, 2}, {20, 2}, {22, 2}, {24, 2}, {26, 2}},
    {{1, 3}, {4, 10}, {14, 2}, {16, 2}, {18, 2}, {20, 2}, {22, 2}, {24, 2}, {26, 2}, {28, 2}},
    {{1, 3}, {4, 8}, {12, 4}, {16, 2}, {18, 2}, {20, 2}, {22, 2}, {24, 2}, {26, 2}, {28, 2}},
    {{1, 3}, {4, 10}, {14, 4}, {18, 2}, {20, 2}, {22, 2}, {24, 2}, {26, 2}, {28, 2}, {30, 2}},
};

const qint64 kMaxCardNumber = 4294967295LL;   // four bytes on the wire
const qint64 kMaxEmployeeNumber = 99999999LL;  // eight digits

QIcon portPicture(const QColor& fill)
{
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(fill.darker(160), 1));
    p.setBrush(fill);
    p.drawEllipse(QRectF(2.5, 2.5, 11, 11));
    return QIcon(pm);
}

// A whole number from operator text (rounded half to even); error 13 when the
// text is no number, 6 beyond 64 bits.
qint64 toInt64(const QString& s)
{
    double d = rt::CDbl(s);
    double r = std::nearbyint(d);
    if (!std::isfinite(r) || std::fabs(r) > 9.0e18)
        rt::raise(rt::ErrOverflow);
    return static_cast<qint64>(r);
}

// True when the text converts to a 16-bit integer from lo to hi; text that is
// no number, or too large, is simply out of range.
bool integerIn(const QString& s, int lo, int hi)
{
    try {
        const int v = rt::CInt(s);
        return v >= lo && v <= hi;
    } catch (const rt::Error&) {
        return false;
    }
}

// The leading decimal digits of a text as a number, 0 when it has none.
int leadingNumber(const QString& s)
{
    int v = 0;
    for (QChar c : s) {
        if (c < u'0' || c > u'9')
            break;
        v = v * 10 + (c.unicode() - '0');
    }
    return v;
}

QString openWord(const QString& c) { return c == u"1" ? QStringLiteral("开") : QStringLiteral("关"); }

// A stored time-of-day text in any of the forms the pickers have written.
QTime parseStoredTime(const QString& text)
{
    const QString t = text.trimmed();
    for (const char* f : {"HH:mm:ss", "H:mm:ss", "HH:mm", "H:mm"}) {
        QTime v = QTime::fromString(t, QLatin1String(f));
        if (v.isValid())
            return v;
    }
    QDateTime dt = rt::parseIsoDateTime(t);
    return dt.isValid() ? dt.time() : QTime();
}

QLineEdit* lineEdit(const QString& text, int width = 0, int maxLength = 0)
{
    auto* e = new QLineEdit(text);
    if (width > 0)
        e->setFixedWidth(width);
    if (maxLength > 0)
        e->setMaxLength(maxLength);
    return e;
}

QTimeEdit* timePicker()
{
    auto* t = new QTimeEdit(QTime(0, 0));
    t->setDisplayFormat(QStringLiteral("HH:mm"));
    t->setWrapping(true);
    return t;
}

// One row of the time-group frame: the row label reads "第n段：从 ... 到" with
// the begin picker standing on its blanks, the end picker after it.
class TimeRow : public QWidget {
public:
    TimeRow(QLabel* label, QTimeEdit* begin, QTimeEdit* end, QCheckBox* box)
        : label_(label), begin_(begin), end_(end), box_(box)
    {
        label_->setParent(this);
        begin_->setParent(this);
        end_->setParent(this);
        box_->setParent(this);
        begin_->raise();
        place();
    }
    QSize sizeHint() const override { return size_; }
    QSize minimumSizeHint() const override { return size_; }

private:
    void place()
    {
        // The pickers carry no spin buttons here so that one fits on the
        // label's thirteen blanks; the keyboard and the wheel still step them.
        begin_->setButtonSymbols(QAbstractSpinBox::NoButtons);
        end_->setButtonSymbols(QAbstractSpinBox::NoButtons);
        const QFontMetrics fm(label_->font());
        const QString text = label_->text();
        const int from = text.indexOf(u'从') + 1;
        const int to = text.indexOf(u'到');
        const int head = fm.horizontalAdvance(text.left(from));
        const int blanks = fm.horizontalAdvance(text.mid(from, to - from));
        const int labelW = fm.horizontalAdvance(text) + 4;
        const int h = std::max(begin_->sizeHint().height(), label_->sizeHint().height());
        const int pickerW = std::max(blanks - 4, fm.horizontalAdvance(QStringLiteral("00:00")) + 8);
        label_->setGeometry(0, 0, labelW, h);
        begin_->setGeometry(head + 2, 0, pickerW, h);
        end_->setGeometry(labelW + 2, 0, pickerW, h);
        const QSize bs = box_->sizeHint();
        box_->setGeometry(labelW + 2 + pickerW + 10, (h - bs.height()) / 2, bs.width(), bs.height());
        size_ = QSize(box_->geometry().right() + 2, h);
    }

    QLabel* label_;
    QTimeEdit* begin_;
    QTimeEdit* end_;
    QCheckBox* box_;
    QSize size_;
};

} // namespace

// ---------------------------------------------------------------------------

SimpleStatusBar::SimpleStatusBar(QWidget* parent)
    : QStatusBar(parent)
    , text_(new QLabel)
{
    text_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    addWidget(text_, 1);
}

void SimpleStatusBar::setSimpleText(const QString& text) { text_->setText(text); }
QString SimpleStatusBar::simpleText() const { return text_->text(); }

// ---------------------------------------------------------------------------

FrmDemo::FrmDemo(DoorFactory createDoor, QWidget* parent)
    : QMainWindow(parent)
    , createDoor_(std::move(createDoor))
{
    buildWindow();
    connectHandlers();
    ui::windowKeys(this);
}

FrmDemo::~FrmDemo()
{
    for (const QPointer<TextViewer>& v : viewers)
        delete v.data();
}

bool FrmDemo::load()
{
    try {
        Form_Load();
        return true;
    } catch (const rt::Error& e) {
        ui::msgBox(e.text(), ui::mb::OKOnly | ui::mb::Critical);
        return false;
    }
}

// --- window -----------------------------------------------------------------

void FrmDemo::buildWindow()
{
    setWindowTitle(QStringLiteral("门禁机JQ8096)动态链接使用演示程序 V1.2.3  2008-09-26"));

    ImageList1 = {portPicture(QColor(40, 170, 60)), portPicture(QColor(170, 170, 170)),
                  portPicture(QColor(210, 50, 40))};

    auto* central = new QWidget;
    auto* top = new QVBoxLayout(central);

    Label10 = new QLabel(QStringLiteral("门禁机动态链接库使用实例"));
    QFont tf = Label10->font();
    tf.setPointSizeF(tf.pointSizeF() * 1.6);
    tf.setBold(true);
    Label10->setFont(tf);
    lblVer = new QLabel(QStringLiteral("动态库版本"));
    auto* head = new QHBoxLayout;
    head->addWidget(Label10);
    head->addStretch(1);
    head->addWidget(lblVer);
    top->addLayout(head);

    Toolbar1 = new QToolBar;
    Toolbar1->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    Toolbar1Group = new QActionGroup(this);
    Toolbar1Group->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    const QStringList tips = {QStringLiteral("Select Com1"), QStringLiteral("Select Com2"),
                              QStringLiteral("Select Com3"), QStringLiteral("Select  Com4"),
                              QStringLiteral("Select  Com5")};
    for (int i = 0; i < 5; ++i) {
        const QString key = QStringLiteral("Com%1").arg(i + 1);
        QAction* a = Toolbar1->addAction(key);
        a->setObjectName(key);
        a->setToolTip(tips[i]);
        a->setCheckable(true);
        Toolbar1Group->addAction(a);
        Toolbar1Buttons[i] = a;
        setPicture(i + 1, 2);
    }
    lblPort = new QLabel(QStringLiteral("设置通讯端口"));
    lblAddress = new QLabel(QStringLiteral("门禁机地址："));
    TxtAddress = lineEdit(QString(), 60);
    auto* portRow = new QHBoxLayout;
    portRow->addWidget(lblPort);
    portRow->addWidget(Toolbar1);
    portRow->addSpacing(24);
    portRow->addWidget(lblAddress);
    portRow->addWidget(TxtAddress);
    portRow->addStretch(1);
    top->addLayout(portRow);

    auto* body = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    left->addWidget(buildCardFrame());
    left->addWidget(buildMachineFrame());
    left->addStretch(1);
    auto* right = new QVBoxLayout;
    right->addWidget(buildGatherFrame());
    right->addStretch(1);
    body->addLayout(left);
    body->addLayout(right);
    top->addLayout(body, 1);
    // The time-group frame lies over the collection frame while it is shown,
    // so the window stays as wide as a small screen allows.
    buildTimeFrame()->setParent(central);
    frmTimeSet->setAutoFillBackground(true);
    central->installEventFilter(this);

    Command1 = new QPushButton(QStringLiteral("设置时间段"));
    Cmd_Exit = new QPushButton(QStringLiteral("退出(&X)"));
    auto* foot = new QHBoxLayout;
    foot->addStretch(1);
    foot->addWidget(Command1);
    foot->addWidget(Cmd_Exit);
    top->addLayout(foot);

    setCentralWidget(central);
    Sta_Info = new SimpleStatusBar;
    setStatusBar(Sta_Info);

    TxtAddress->installEventFilter(this);
    txtDalay->installEventFilter(this);
}

QWidget* FrmDemo::buildCardFrame()
{
    FraCard = new QGroupBox;
    auto* g = new QGridLayout(FraCard);

    TxtCardNum = lineEdit(QString(), 110, 10);
    TxtNo = lineEdit(QString(), 90, 8);
    TxtNo->setToolTip(QStringLiteral("请输入“0-9”，“a-f”之间的字符！"));
    auto* r0 = new QHBoxLayout;
    r0->addWidget(new QLabel(QStringLiteral("物理卡号：")));
    r0->addWidget(TxtCardNum);
    r0->addSpacing(12);
    r0->addWidget(new QLabel(QStringLiteral("工号：")));
    r0->addWidget(TxtNo);
    r0->addStretch(1);
    g->addLayout(r0, 0, 0);

    chkLock01 = new QCheckBox(QStringLiteral("一号锁允许"));
    chkLock02 = new QCheckBox(QStringLiteral("二号锁允许"));
    chkWeekCtrl = new QCheckBox(QStringLiteral("周 控  制："));
    txtWeekValue = lineEdit(QStringLiteral("1111111"), 80, 7);
    chkEndDate = new QCheckBox(QStringLiteral("截止日期："));
    dtpEndDate = new QDateEdit;
    dtpEndDate->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    dtpEndDate->setCalendarPopup(true);
    // Sent as "yymmdd": 1999 would come back as 2099.
    dtpEndDate->setDateRange(rt::firstYymmddDay(), rt::lastYymmddDay());
    dtpEndDate->setMinimumWidth(110);
    chkTimeCtrl = new QCheckBox(QStringLiteral("时段控制："));
    txtWeekValue->setEnabled(false);
    dtpEndDate->setEnabled(false);

    auto* r1 = new QHBoxLayout;
    r1->addWidget(chkLock01);
    r1->addWidget(chkLock02);
    r1->addStretch(1);
    g->addLayout(r1, 1, 0);
    auto* r2 = new QHBoxLayout;
    r2->addWidget(chkWeekCtrl);
    r2->addWidget(txtWeekValue);
    r2->addSpacing(12);
    r2->addWidget(chkEndDate);
    r2->addWidget(dtpEndDate);
    r2->addStretch(1);
    g->addLayout(r2, 2, 0);
    g->addWidget(chkTimeCtrl, 3, 0);

    FraTime = new QGroupBox(QStringLiteral("时间段"));
    auto* tg = new QGridLayout(FraTime);
    tg->setHorizontalSpacing(2);
    tg->addWidget(new QLabel(QStringLiteral("锁1")), 0, 0);
    tg->addWidget(new QLabel(QStringLiteral("锁2")), 1, 0);
    for (int i = 0; i < 32; ++i) {
        QLineEdit* e = lineEdit(QStringLiteral("0"), 20, 1);
        e->setAlignment(Qt::AlignCenter);
        e->setToolTip(QStringLiteral("0/1"));
        txtTime1[i] = e;
        tg->addWidget(e, i / 16, 1 + i % 16);
    }
    FraTime->setEnabled(false);
    g->addWidget(FraTime, 4, 0);

    Command7 = new QPushButton(QStringLiteral("读卡号"));
    cmdSendCard = new QPushButton(QStringLiteral("发卡"));
    cmdBackCard = new QPushButton(QStringLiteral("退卡"));
    Command22 = new QPushButton(QStringLiteral("查找发卡记录"));
    auto* r5 = new QHBoxLayout;
    r5->addWidget(Command7);
    r5->addWidget(cmdSendCard);
    r5->addWidget(cmdBackCard);
    r5->addWidget(Command22);
    r5->addStretch(1);
    g->addLayout(r5, 5, 0);

    txtCardStep = lineEdit(QStringLiteral("0"), 60);
    txtCardTotal = lineEdit(QStringLiteral("0"), 60);
    cmdSendCardMulti = new QPushButton(QStringLiteral("批量发卡"));
    auto* r6 = new QHBoxLayout;
    r6->addWidget(new QLabel(QStringLiteral("卡号自增：")));
    r6->addWidget(txtCardStep);
    r6->addWidget(new QLabel(QStringLiteral("数量：")));
    r6->addWidget(txtCardTotal);
    r6->addWidget(cmdSendCardMulti);
    r6->addStretch(1);
    g->addLayout(r6, 6, 0);
    return FraCard;
}

QWidget* FrmDemo::buildGatherFrame()
{
    FraGather = new QGroupBox;
    auto* v = new QVBoxLayout(FraGather);

    IsCheck = new QCheckBox(QStringLiteral("采集时输出十进制物理卡号"));
    YearCheck = new QCheckBox(QStringLiteral("采集时输出完整年份"));
    v->addWidget(IsCheck);
    v->addWidget(YearCheck);

    txtSleepDate = lineEdit(QStringLiteral("3"), 50);
    txtSleepDate->setToolTip(QStringLiteral("秒"));
    txtIntenal = lineEdit(QStringLiteral("100"), 50);
    txtIntenal->setToolTip(QStringLiteral("毫秒"));
    auto* r = new QHBoxLayout;
    r->addWidget(new QLabel(QStringLiteral("超时(秒)：")));
    r->addWidget(txtSleepDate);
    r->addWidget(new QLabel(QStringLiteral("间隔(毫秒)：")));
    r->addWidget(txtIntenal);
    r->addStretch(1);
    v->addLayout(r);

    Cmd_GetData = new QPushButton(QStringLiteral("采集数据"));
    Cmd_GetNameList = new QPushButton(QStringLiteral("采集发卡名单"));
    cmd_BrowsData = new QPushButton(QStringLiteral("浏览采集数据"));
    cmd_BrowsNameList = new QPushButton(QStringLiteral("浏览发卡名单"));
    auto* b = new QGridLayout;
    b->addWidget(Cmd_GetData, 0, 0);
    b->addWidget(Cmd_GetNameList, 0, 1);
    b->addWidget(cmd_BrowsData, 1, 0);
    b->addWidget(cmd_BrowsNameList, 1, 1);
    v->addLayout(b);

    Label19 = new QLabel(QStringLiteral(
        "以下是用户所需要的采集数据的格式：如果以下面的例子填写那么得出的格式是(机器地址物理卡号年月日时分秒),淡黄底为分隔符。"));
    Label19->setWordWrap(true);
    v->addWidget(Label19);

    const QStringList names = kFieldNames;
    auto* fg = new QGridLayout;
    fg->setHorizontalSpacing(2);
    for (int i = 0; i < 10; ++i) {
        TxtF[i] = lineEdit(QString(), 26);
        TxtF[i]->setStyleSheet(QStringLiteral("QLineEdit { background-color: #ffffc0; }"));
        TxtT[i] = lineEdit(names[i], 52);
        fg->addWidget(TxtF[i], i / 5, (i % 5) * 2);
        fg->addWidget(TxtT[i], i / 5, (i % 5) * 2 + 1);
    }
    v->addLayout(fg);
    return FraGather;
}

QWidget* FrmDemo::buildMachineFrame()
{
    FraMachine = new QGroupBox;
    auto* g = new QGridLayout(FraMachine);
    cmdClearNameList = new QPushButton(QStringLiteral("清除发卡名单"));
    cmdClearRecord = new QPushButton(QStringLiteral("清除打卡记录"));
    cmdGetLockStatus = new QPushButton(QStringLiteral("读锁状态"));
    cmdGetCardLockStatus = new QPushButton(QStringLiteral("读卡及锁状态"));
    cmdGetDateTimeDelay = new QPushButton(QStringLiteral("读取时间及锁延时"));
    cmdGetMachVer = new QPushButton(QStringLiteral("读机器版本"));
    CmdModifyDateTime = new QPushButton(QStringLiteral("修改日期时间"));
    cmdOpenLock = new QPushButton(QStringLiteral("直接开锁"));
    cmdSetDelay = new QPushButton(QStringLiteral("设置延时"));
    Command5 = new QPushButton(QStringLiteral("读打卡记录数"));
    Command6 = new QPushButton(QStringLiteral("读发卡记录数"));

    g->addWidget(cmdClearNameList, 0, 0);
    g->addWidget(cmdClearRecord, 0, 1);
    g->addWidget(cmdGetLockStatus, 0, 2);
    g->addWidget(cmdGetCardLockStatus, 0, 3);
    g->addWidget(cmdGetDateTimeDelay, 1, 0);
    g->addWidget(cmdGetMachVer, 1, 1);
    g->addWidget(CmdModifyDateTime, 1, 2);

    cmbLockNo = new QComboBox;
    cmbLockNo->setEditable(true);
    cmbLockNo->addItems({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")});
    cmbLockNo->setCurrentIndex(-1);
    cmbLockNo->setFixedWidth(60);
    auto* lockRow = new QHBoxLayout;
    lockRow->addWidget(new QLabel(QStringLiteral("锁号：")));
    lockRow->addWidget(cmbLockNo);
    lockRow->addWidget(cmdOpenLock);
    lockRow->addStretch(1);
    g->addLayout(lockRow, 2, 0, 1, 4);

    const QStringList delayNames = {QStringLiteral("锁1延时"), QStringLiteral("锁2延时"),
                                    QStringLiteral("继电器延时")};
    auto* delayRow = new QHBoxLayout;
    for (int i = 0; i < 3; ++i) {
        txtDelay[i] = lineEdit(QStringLiteral("2"), 40);
        delayRow->addWidget(new QLabel(delayNames[i]));
        delayRow->addWidget(txtDelay[i]);
    }
    delayRow->addWidget(cmdSetDelay);
    delayRow->addStretch(1);
    g->addLayout(delayRow, 3, 0, 1, 4);

    Label = new QLabel(QStringLiteral("000"));
    Label7 = new QLabel(QStringLiteral("000"));
    auto* countRow = new QHBoxLayout;
    countRow->addWidget(Command5);
    countRow->addWidget(Label);
    countRow->addSpacing(24);
    countRow->addWidget(Command6);
    countRow->addWidget(Label7);
    countRow->addStretch(1);
    g->addLayout(countRow, 4, 0, 1, 4);
    return FraMachine;
}

QWidget* FrmDemo::buildTimeFrame()
{
    frmTimeSet = new QGroupBox(QStringLiteral("时间段操作"));
    auto* v = new QVBoxLayout(frmTimeSet);
    v->setSpacing(2);
    for (int i = 0; i < 16; ++i) {
        lblTime[i] = new QLabel(QStringLiteral("第%1段：从             到").arg(i + 1));
        dtp_Begin[i] = timePicker();
        dtp_End[i] = timePicker();
        chkCardAndPsw[i] = new QCheckBox(QStringLiteral("卡加密码"));
        v->addWidget(new TimeRow(lblTime[i], dtp_Begin[i], dtp_End[i], chkCardAndPsw[i]));
    }
    dtp_Begin[16] = timePicker();
    dtp_End[16] = timePicker();
    txtStep1 = lineEdit(QStringLiteral("1"), 40);
    txtStep2 = lineEdit(QStringLiteral("1"), 40);
    auto* g = new QGridLayout;
    g->addWidget(new QLabel(QStringLiteral("开始时间:")), 0, 0);
    g->addWidget(dtp_Begin[16], 0, 1);
    g->addWidget(new QLabel(QStringLiteral("步长:")), 0, 2);
    g->addWidget(txtStep1, 0, 3);
    g->addWidget(new QLabel(QStringLiteral("结束时间:")), 1, 0);
    g->addWidget(dtp_End[16], 1, 1);
    g->addWidget(new QLabel(QStringLiteral("步长:")), 1, 2);
    g->addWidget(txtStep2, 1, 3);
    g->setColumnStretch(4, 1);
    v->addLayout(g);

    Command13 = new QPushButton(QStringLiteral("批量设置"));
    Command9 = new QPushButton(QStringLiteral("清零"));
    Command2 = new QPushButton(QStringLiteral("读取"));
    Command8 = new QPushButton(QStringLiteral("发送"));
    Command3 = new QPushButton(QStringLiteral("退出"));
    txtDalay = lineEdit(QStringLiteral("200"), 50);
    txtDalay->setToolTip(QStringLiteral("毫秒"));
    auto* b = new QHBoxLayout;
    b->addWidget(Command13);
    b->addWidget(Command9);
    b->addWidget(Command2);
    b->addWidget(Command8);
    v->addLayout(b);
    auto* b2 = new QHBoxLayout;
    b2->addWidget(new QLabel(QStringLiteral("延时(毫秒):")));
    b2->addWidget(txtDalay);
    b2->addStretch(1);
    b2->addWidget(Command3);
    v->addLayout(b2);
    frmTimeSet->setVisible(false);
    return frmTimeSet;
}

void FrmDemo::connectHandlers()
{
    for (int i = 0; i < 5; ++i)
        connect(Toolbar1Buttons[i], &QAction::triggered, this, [this, i] { Toolbar1_ButtonClick(i + 1); });
    auto on = [this](QPushButton* b, void (FrmDemo::*h)()) {
        connect(b, &QPushButton::clicked, this, [this, h] { (this->*h)(); });
    };
    on(Cmd_Exit, &FrmDemo::Cmd_Exit_Click);
    on(Command7, &FrmDemo::Command7_Click);
    on(cmdSendCard, &FrmDemo::cmdSendCard_Click);
    on(cmdSendCardMulti, &FrmDemo::cmdSendCardMulti_Click);
    on(cmdBackCard, &FrmDemo::cmdBackCard_Click);
    on(Command22, &FrmDemo::Command22_Click);
    on(Cmd_GetData, &FrmDemo::Cmd_GetData_Click);
    on(Cmd_GetNameList, &FrmDemo::Cmd_GetNameList_Click);
    on(cmd_BrowsData, &FrmDemo::cmd_BrowsData_Click);
    on(cmd_BrowsNameList, &FrmDemo::cmd_BrowsNameList_Click);
    on(cmdClearNameList, &FrmDemo::cmdClearNameList_Click);
    on(cmdClearRecord, &FrmDemo::cmdClearRecord_Click);
    on(cmdGetLockStatus, &FrmDemo::cmdGetLockStatus_Click);
    on(cmdGetCardLockStatus, &FrmDemo::cmdGetCardLockStatus_Click);
    on(cmdGetDateTimeDelay, &FrmDemo::cmdGetDateTimeDelay_Click);
    on(cmdGetMachVer, &FrmDemo::cmdGetMachVer_Click);
    on(CmdModifyDateTime, &FrmDemo::CmdModifyDateTime_Click);
    on(cmdOpenLock, &FrmDemo::cmdOpenLock_Click);
    on(cmdSetDelay, &FrmDemo::cmdSetDelay_Click);
    on(Command5, &FrmDemo::Command5_Click);
    on(Command6, &FrmDemo::Command6_Click);
    on(Command1, &FrmDemo::Command1_Click);
    on(Command3, &FrmDemo::Command3_Click);
    on(Command13, &FrmDemo::Command13_Click);
    on(Command9, &FrmDemo::Command9_Click);
    on(Command8, &FrmDemo::Command8_Click);
    on(Command2, &FrmDemo::Command2_Click);
    connect(chkEndDate, &QCheckBox::toggled, this, [this] { chkEndDate_Click(); });
    connect(chkWeekCtrl, &QCheckBox::toggled, this, [this] { chkWeekCtrl_Click(); });
    connect(chkTimeCtrl, &QCheckBox::toggled, this, [this] { chkTimeCtrl_Click(); });
}

bool FrmDemo::eventFilter(QObject* watched, QEvent* e)
{
    if (e->type() == QEvent::Resize && watched == centralWidget())
        placeTimeFrame();
    if (e->type() == QEvent::FocusOut && (watched == TxtAddress || watched == txtDalay)) {
        // Only a move of the focus inside the window validates; a message
        // box or another window taking the focus does not.
        auto reason = static_cast<QFocusEvent*>(e)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
            bool cancel = false;
            if (watched == TxtAddress)
                TxtAddress_Validate(cancel);
            else
                txtDalay_Validate(cancel);
            if (cancel)
                static_cast<QWidget*>(watched)->setFocus();
        }
    }
    return QMainWindow::eventFilter(watched, e);
}

void FrmDemo::closeEvent(QCloseEvent* e)
{
    if (ui::holdClose(this)) {
        e->ignore();
        return;
    }
    Form_Unload();
    e->accept();
}

// --- small helpers ------------------------------------------------------------

void FrmDemo::setPicture(int index, int picture)
{
    Toolbar1Buttons[index - 1]->setIcon(ImageList1[picture - 1]);
    pictures_[index - 1] = picture;
}

int FrmDemo::buttonPicture(int index) const { return pictures_[index - 1]; }
bool FrmDemo::buttonPressed(int index) const { return Toolbar1Buttons[index - 1]->isChecked(); }

void FrmDemo::setStatus(const QString& text) { Sta_Info->setSimpleText(text); }
QString FrmDemo::status() const { return Sta_Info->simpleText(); }

// Digits only: a pasted "5.5" must not reach controller 6.
int16_t FrmDemo::address() const { return rt::CWhole(TxtAddress->text()); }

bool FrmDemo::checkAddress(int16_t& addr)
{
    if (const auto a = rt::WholeNumber(TxtAddress->text(), 0, 255)) {
        addr = *a;
        return true;
    }
    ui::msgBox(QStringLiteral("请输入考勤机地址。"), ui::mb::OKOnly | ui::mb::Question);
    return false;
}

void FrmDemo::guarded(const std::function<void()>& body)
{
    // While a command waits the library runs the window's events: nothing
    // else may start or close the window before this one is done.
    ui::RunGuard run(this, {Toolbar1, TxtAddress});
    if (run)
        reported(body);
}

void FrmDemo::reported(const std::function<void()>& body)
{
    try {
        body();
    } catch (const rt::Error& e) {
        ui::msgBox(e.text(), ui::mb::OKOnly, kHint);
    }
}

Variant FrmDemo::callDoor(const QString& member, Args& args) { return door_.call(member, args); }

bool FrmDemo::readStatus(const QString& member, QString& text)
{
    Args a{address(), QString()};
    if (!callDoor(member, a).toBool()) {
        setStatus(QStringLiteral("读取失败！"));
        return false;
    }
    text = a[1].toString();
    return true;
}

// --- start-up, port, address, exit ------------------------------------------------

void FrmDemo::Form_Load()
{
    door_ = createDoor_ ? createDoor_() : com::CreateObject(QStringLiteral("Vantrel.Door8096"));
    lblVer->setText(QStringLiteral("动态库：") + door_.getProperty(QStringLiteral("Ver")).toString());
    portFlag_ = false;
    TxtAddress->setText(ModDemo::GetSetting(QStringLiteral("Address"), QStringLiteral("Value"), QStringLiteral("18")));
    portText_ = ModDemo::GetSetting(QStringLiteral("Com"), QStringLiteral("Value"), QStringLiteral("2"));
    try {
        Args a{portText_};
        portFlag_ = callDoor(QStringLiteral("SetPort"), a).toBool();
    } catch (const rt::Error& e) {
        // A damaged stored port (no number) counts as a port that did not open.
        if (e.number() != rt::ErrTypeMismatch && e.number() != rt::ErrOverflow)
            throw;
        portFlag_ = false;
    }
    const double n = rt::Val(portText_);
    if (n >= 1 && n <= 5 && n == std::floor(n)) {
        const int idx = int(n);
        Toolbar1Buttons[idx - 1]->setChecked(portFlag_);
        setPicture(idx, portFlag_ ? 1 : 3);
    }
    for (QLineEdit* e : txtTime1)
        e->setEnabled(false);
    dtpEndDate->setDate(ui::now().date().addDays(30));
    ReadSys();
}

void FrmDemo::Form_Unload()
{
    // The port last chosen is kept (the stored one when none was chosen).
    ModDemo::SaveSetting(QStringLiteral("Com"), QStringLiteral("Value"), portText_);
    ModDemo::SaveSetting(QStringLiteral("Address"), QStringLiteral("Value"), TxtAddress->text());
    WriteSys();
}

void FrmDemo::Toolbar1_ButtonClick(int index)
{
    guarded([&] {
        ModDemo::SaveSetting(QStringLiteral("Com"), QStringLiteral("Value"), QString::number(index));
        ModDemo::SaveSetting(QStringLiteral("Address"), QStringLiteral("Value"), TxtAddress->text());
        portText_ = QString::number(index);
        const QString key = Toolbar1Buttons[index - 1]->objectName();
        for (int port = 1; port <= 5; ++port) {
            if (key != QStringLiteral("Com%1").arg(port))
                continue;
            OpenPort(int16_t(port));
            for (int other = 1; other <= 5; ++other)
                if (other != port)
                    setPicture(other, 2);
        }
    });
}

void FrmDemo::OpenPort(int16_t port)
{
    Args a{port};
    portFlag_ = callDoor(QStringLiteral("SetPort"), a).toBool();
    if (portFlag_) {
        Toolbar1Buttons[port - 1]->setChecked(true);
        setPicture(port, 1);
        setStatus(QStringLiteral("串口:") + QString::number(port) + QStringLiteral(" 设置成功!"));
    } else {
        Toolbar1Buttons[port - 1]->setChecked(false);
        setPicture(port, 2);
        setStatus(QStringLiteral("串口:") + QString::number(port) + QStringLiteral(" 设置失败!"));
    }
    portFlag_ = false;
}

void FrmDemo::Cmd_Exit_Click()
{
    if (ui::holdClose(this))
        return;
    door_.reset();
    ui::endProgram(0);
}

void FrmDemo::TxtAddress_Validate(bool& cancel)
{
    const QString t = TxtAddress->text();
    if (t.isEmpty() || rt::WholeNumber(t, 1, 255))
        return;
    ui::msgBox(QStringLiteral("请输入‘1 → 255  之间的数字字符！"), ui::mb::OKOnly | ui::mb::Question);
    TxtAddress->clear();
    cancel = true;
}

void FrmDemo::txtDalay_Validate(bool& cancel)
{
    const QString t = txtDalay->text();
    if (t.isEmpty() || integerIn(t, 0, 1000))
        return;
    ui::msgBox(QStringLiteral("请输入‘0 → 1000  之间的数字字符！"), ui::mb::OKOnly | ui::mb::Question);
    txtDalay->setText(QStringLiteral("100"));
    cancel = true;
}

// --- settings store ------------------------------------------------------------

void FrmDemo::ReadSys()
{
    auto setBox = [](QCheckBox* box, const QString& v) {
        if (v.isEmpty())
            return;
        try {
            const int n = rt::CInt(v);
            if (n == 0 || n == 1)
                box->setChecked(n == 1);
        } catch (const rt::Error&) {
            // A hand-edited value that is no number keeps the box as it is.
        }
    };
    setBox(IsCheck, ModDemo::GetIniValue(kSection, QStringLiteral("IsCheck")));
    setBox(YearCheck, ModDemo::GetIniValue(kSection, QStringLiteral("YearCheck")));

    const QString sleep = ModDemo::GetIniValue(kSection, QStringLiteral("SleepDate"));
    txtSleepDate->setText(rt::IsNumeric(sleep) ? sleep : QStringLiteral("5"));

    auto unwrap = [](QLineEdit* box, const QString& v) {
        if (v.isEmpty() || v == QStringLiteral("{}"))
            return;
        // The braces keep blanks at either end; whatever the outer characters are, they go.
        box->setText(v.size() > 2 ? v.mid(1, v.size() - 2) : QString());
    };
    for (int i = 0; i < 10; ++i) {
        unwrap(TxtF[i], ModDemo::GetIniValue(kSection, QStringLiteral("TxtF%1").arg(i)));
        unwrap(TxtT[i], ModDemo::GetIniValue(kSection, QStringLiteral("TxtT%1").arg(i)));
    }
    auto setTime = [](QTimeEdit* picker, const QString& v) {
        if (v.isEmpty())
            return;
        const QTime t = parseStoredTime(v);
        if (t.isValid())
            picker->setTime(t);
    };
    for (int i = 0; i < 16; ++i) {
        setTime(dtp_Begin[i], ModDemo::GetIniValue(kSection, QStringLiteral("TimeBegin%1").arg(i)));
        setTime(dtp_End[i], ModDemo::GetIniValue(kSection, QStringLiteral("TimeEnd%1").arg(i)));
    }
}

void FrmDemo::WriteSys()
{
    auto put = [](const QString& key, const QString& value) { ModDemo::SetIniValue(kSection, key, value); };
    put(QStringLiteral("IsCheck"), QString::number(IsCheck->isChecked() ? 1 : 0));
    put(QStringLiteral("YearCheck"), QString::number(YearCheck->isChecked() ? 1 : 0));
    put(QStringLiteral("SleepDate"), txtSleepDate->text());
    for (int i = 0; i < 10; ++i) {
        put(QStringLiteral("TxtF%1").arg(i), u'{' + TxtF[i]->text() + u'}');
        put(QStringLiteral("TxtT%1").arg(i), u'{' + TxtT[i]->text() + u'}');
    }
    for (int i = 0; i < 16; ++i) {
        put(QStringLiteral("TimeBegin%1").arg(i), dtp_Begin[i]->time().toString(QLatin1String(rt::kTimeFormat)));
        put(QStringLiteral("TimeEnd%1").arg(i), dtp_End[i]->time().toString(QLatin1String(rt::kTimeFormat)));
    }
}

// --- card commands ---------------------------------------------------------------

void FrmDemo::chkEndDate_Click() { dtpEndDate->setEnabled(chkEndDate->isChecked()); }
void FrmDemo::chkWeekCtrl_Click() { txtWeekValue->setEnabled(chkWeekCtrl->isChecked()); }

void FrmDemo::chkTimeCtrl_Click()
{
    const bool on = chkTimeCtrl->isChecked();
    FraTime->setEnabled(on);
    for (QLineEdit* e : txtTime1)
        e->setEnabled(on);
}

void FrmDemo::Command7_Click()
{
    guarded([&] {
        TxtCardNum->clear();
        Args a{address(), QString()};
        const QString card = callDoor(QStringLiteral("ReadCardNum"), a).toString();
        if (!card.isEmpty()) {
            TxtCardNum->setText(card);
            setStatus(QStringLiteral("物理卡号:") + card);
        } else {
            setStatus(QStringLiteral("读取物理卡号不成功"));
        }
    });
}

void FrmDemo::cmdSendCard_Click()
{
    guarded([&] { sendCard(); });
}

void FrmDemo::sendCard()
{
    if (TxtCardNum->text().size() != 10) {
        setStatus(QStringLiteral("请先读取卡号!"));
        return;
    }
    if (TxtNo->text().isEmpty()) {
        setStatus(QStringLiteral("请输入工号"));
        return;
    }
    const QString empNo = rt::Right(QStringLiteral("00000000") + TxtNo->text().trimmed(), 8);
    setStatus(QString());
    const QString endDate = dtpEndDate->date().toString(QStringLiteral("yyMMdd"));
    QString mask1, mask2;
    for (int i = 0; i < 16; ++i)
        mask1 += txtTime1[i]->text();
    for (int i = 16; i < 32; ++i)
        mask2 += txtTime1[i]->text();
    if (!GetEmployeeNo())
        return;
    auto flag = [](QCheckBox* b) { return int16_t(b->isChecked() ? 1 : 0); };
    Args a{address(), empNo, TxtCardNum->text(), flag(chkLock01), flag(chkLock02), flag(chkWeekCtrl),
           flag(chkEndDate), flag(chkTimeCtrl), txtWeekValue->text(), endDate, mask1, mask2};
    const bool ok = callDoor(QStringLiteral("CardSendToMachine"), a).toBool();
    setStatus(QStringLiteral("卡号:") + TxtNo->text() + (ok ? QStringLiteral("发送成功!") : QStringLiteral("发送不成功")));
}

bool FrmDemo::GetEmployeeNo()
{
    if (TxtNo->text().isEmpty()) {
        ui::msgBox(QStringLiteral("请输入该卡的工号！"), ui::mb::OKOnly | ui::mb::Question);
        return false;
    }
    QString t = TxtNo->text().trimmed();
    if (t.size() >= 8)
        t = t.left(8);
    else
        t = QString(8 - t.size(), u'0') + t;
    TxtNo->setText(t);
    return true;
}

void FrmDemo::cmdSendCardMulti_Click()
{
    guarded([&] {
        if (!rt::IsNumeric(TxtCardNum->text())) {
            ui::msgBox(QStringLiteral("请先设置物理卡号基数！"), ui::mb::OKOnly, kHint);
            TxtCardNum->setFocus();
            return;
        }
        if (!rt::IsNumeric(TxtNo->text())) {
            ui::msgBox(QStringLiteral("请先设置卡号基数！"), ui::mb::OKOnly, kHint);
            TxtNo->setFocus();
            return;
        }
        // Every number is read and checked before the first card goes out, so
        // a bad entry never leaves half a batch behind.
        // A batch of no cards needs nothing else.
        const int32_t total = rt::CLng(txtCardTotal->text());
        qint64 card = 0, emp = 0, step = 0, pause = 0;
        if (total > 0) {
            card = toInt64(TxtCardNum->text());
            emp = toInt64(TxtNo->text());
            step = toInt64(txtCardStep->text());
            pause = qint64(rt::CInt(txtSleepDate->text())) * 30;
            address();
            // Card numbers are four bytes and employee numbers eight digits:
            // a batch running past either is refused (the ends of the run suffice).
            for (double k : {1.0, double(total)}) {
                const double c = double(card) + double(step) * k;
                const double e = double(emp) + double(step) * k;
                if (c < 0 || c > double(kMaxCardNumber) || e < 0 || e > double(kMaxEmployeeNumber))
                    rt::raise(rt::ErrOverflow);
            }
        }
        int failures = 0;
        for (int32_t k = 1; k <= total; ++k) {
            card += step;
            emp += step;
            TxtCardNum->setText(rt::Right(QStringLiteral("0000000000") + QString::number(card), 10));
            TxtNo->setText(rt::Right(QStringLiteral("00000000") + QString::number(emp), 8));
            // Each card as its own send, within this run.
            reported([&] { sendCard(); });
            if (status().endsWith(QStringLiteral("发送不成功")))
                ++failures;
            ui::sleepMs(int(std::clamp<qint64>(pause, 0, INT32_MAX)));
        }
        setStatus(QStringLiteral("批量发卡，共下发卡号：") + txtCardTotal->text() + QStringLiteral("个，发送失败：")
                  + QString::number(failures) + QStringLiteral("个！"));
    });
}

void FrmDemo::cmdBackCard_Click()
{
    guarded([&] {
        setStatus(QString());
        if (TxtCardNum->text().size() != 10) {
            ui::msgBox(QStringLiteral("物理卡号要是10位"));
            return;
        }
        const QString card = TxtCardNum->text().trimmed();
        Args a{address(), card};
        const int32_t n = callDoor(QStringLiteral("ClearName"), a).toLong();
        if (n < 0)
            setStatus(QStringLiteral("物理卡号:") + card + QStringLiteral("清除不成功"));
        else
            setStatus(QStringLiteral("物理卡号:") + card + QStringLiteral("清除成功，当前机内退卡总数：") + QString::number(n));
    });
}

void FrmDemo::Command22_Click()
{
    guarded([&] {
        if (TxtCardNum->text().size() != 10) {
            ui::msgBox(QStringLiteral("物理卡号要是10位"));
            return;
        }
        Args c{address()};
        const int32_t count = callDoor(QStringLiteral("GatherSendCardSum"), c).toLong();
        if (count < 0) {
            setStatus(QStringLiteral("通讯失败!"));
            return;
        }
        // A second of search per thousand stored cards.
        const int16_t wait = int16_t(std::min<int32_t>(count / 1000 + 1, INT16_MAX));
        const QString card = TxtCardNum->text().trimmed();
        Args a{address(), card, QString(), wait};
        const bool ok = callDoor(QStringLiteral("FindCard"), a).toBool();
        const QString line = a[2].toString();
        if (!ok) {
            setStatus(QStringLiteral("通讯失败!"));
            return;
        }
        if (line.isEmpty()) {
            setStatus(QStringLiteral("物理卡号:") + card + QStringLiteral("不存在"));
            return;
        }
        setStatus(QStringLiteral("物理卡号:") + card + QStringLiteral("已找到"));
        TxtCardNum->setText(rt::Mid(line, 1, 10));
        TxtNo->setText(rt::Mid(line, 12, 8));
        auto digit = [&](int pos) { return rt::Mid(line, pos, 1) == u"1"; };
        chkLock01->setChecked(digit(21));
        chkLock02->setChecked(digit(22));
        chkWeekCtrl->setChecked(digit(26));
        chkEndDate->setChecked(digit(27));
        chkTimeCtrl->setChecked(digit(28));
        txtWeekValue->setText(rt::Mid(line, 30, 7));
        // An end date that is no date (all zeros when none was set) leaves the picker as it is.
        const QDate end(2000 + leadingNumber(rt::Mid(line, 38, 2)), leadingNumber(rt::Mid(line, 40, 2)),
                        leadingNumber(rt::Mid(line, 42, 2)));
        if (end.isValid() && rt::Mid(line, 38, 6).size() == 6)
            dtpEndDate->setDate(end);
        for (int i = 0; i < 16; ++i) {
            txtTime1[i]->setText(rt::Mid(line, 45 + i, 1));
            txtTime1[16 + i]->setText(rt::Mid(line, 62 + i, 1));
        }
    });
}

// --- collection and re-layout ----------------------------------------------------

QString FrmDemo::DataBaseForm(const QString& TxtString) const
{
    const int layout = (IsCheck->isChecked() ? 1 : 0) + (YearCheck->isChecked() ? 2 : 0);
    QString out;
    for (int i = 0; i < 10; ++i) {
        out += TxtF[i]->text();
        const int field = kFieldNames.indexOf(TxtT[i]->text().trimmed());
        if (field >= 0)
            out += rt::Mid(TxtString, kFieldSpans[layout][field].start, kFieldSpans[layout][field].length);
    }
    return out;
}

void FrmDemo::Cmd_GetData_Click()
{
    guarded([&] {
        int16_t addr = 0;
        if (!checkAddress(addr))
            return;
        const bool fullYear = YearCheck->isChecked();
        const bool decimalCard = IsCheck->isChecked();
        // The options are read before the file is touched, so a bad one changes nothing.
        const int32_t sleepSeconds = rt::CLng(txtSleepDate->text());
        const int32_t interval = rt::CLng(txtIntenal->text());

        QFile laid(ModDemo::programFile(kLaidFile));
        if (!laid.open(QIODevice::WriteOnly | QIODevice::Truncate))
            rt::raise(rt::ErrPathFileAccess);
        setStatus(kWaiting);
        Args a{addr, ModDemo::programFolder(), kPunchFile, QString(), int32_t(0), sleepSeconds,
               decimalCard, fullYear, int32_t(0), interval};
        if (!callDoor(QStringLiteral("GatherData"), a).toBool()) {
            setStatus(QStringLiteral("采集不成功"));
            return;
        }
        const int32_t lines = a[4].toLong();
        setStatus(QStringLiteral(" 总记录数为：") + QString::number(lines) + QStringLiteral("  采集到的记录数为：")
                  + QString::number(a[8].toLong()) + a[3].toString());
        if (lines > 0) {
            QStringList raw;
            if (!rt::readGbkLines(ModDemo::programFile(kPunchFile), raw))
                rt::raise(rt::ErrFileNotFound);
            QByteArray bytes;
            for (const QString& line : raw)
                bytes += rt::toGbk(DataBaseForm(line)) + "\r\n";
            if (laid.write(bytes) != bytes.size())
                rt::raise(rt::ErrIoError);
        }
    });
}

void FrmDemo::Cmd_GetNameList_Click()
{
    guarded([&] {
        const int16_t addr = address();
        const int32_t sleepSeconds = rt::CLng(txtSleepDate->text());
        const int32_t interval = rt::CLng(txtIntenal->text());
        setStatus(QString());
        setStatus(kWaiting);
        Args a{addr, ModDemo::programFolder(), kNameListFile, QString(), int32_t(0), sleepSeconds,
               IsCheck->isChecked(), interval};
        if (callDoor(QStringLiteral("GatherSendCardData"), a).toBool()) {
            const QString n = QString::number(a[4].toLong());
            setStatus(QStringLiteral(" 总记录数为：") + n + QStringLiteral("  采集到的记录数为：") + n);
        } else {
            setStatus(QStringLiteral("采集不成功"));
        }
    });
}

void FrmDemo::browse(const QString& fileName)
{
    const QString path = ModDemo::programFile(fileName);
    if (!QFileInfo(path).isFile()) {
        setStatus(QStringLiteral("没有采集数据可浏览，请先采集。"));
        return;
    }
    auto* v = new TextViewer(path);
    viewers.append(v);
    v->showMaximized();
    v->raise();
    v->activateWindow();
}

void FrmDemo::cmd_BrowsData_Click() { browse(kLaidFile); }
void FrmDemo::cmd_BrowsNameList_Click() { browse(kNameListFile); }

// --- maintenance and status readers --------------------------------------------------

void FrmDemo::cmdClearNameList_Click()
{
    guarded([&] {
        int16_t addr = 0;
        if (!checkAddress(addr))
            return;
        if (ui::msgBox(QStringLiteral("注意：确定要删除考勤机中所有的名单表与考勤记录吗？"),
                       ui::mb::YesNo | ui::mb::Critical) != ui::mb::Yes)
            return;
        Args a{addr};
        setStatus(callDoor(QStringLiteral("ClearNameList"), a).toBool() ? QStringLiteral("删除名单表成功")
                                                                          : QStringLiteral("删除名单表不成功"));
    });
}

void FrmDemo::cmdClearRecord_Click()
{
    guarded([&] {
        int16_t addr = 0;
        if (!checkAddress(addr))
            return;
        if (ui::msgBox(QStringLiteral("注意：确定它将删除考勤机中所有的考勤记录吗？"),
                       ui::mb::YesNo | ui::mb::Critical) != ui::mb::Yes)
            return;
        setStatus(QString());
        Args a{addr};
        setStatus(callDoor(QStringLiteral("ClearRecord"), a).toBool() ? QStringLiteral("删除记录成功")
                                                                        : QStringLiteral("删除记录不成功"));
    });
}

void FrmDemo::cmdGetLockStatus_Click()
{
    guarded([&] {
        QString s;
        if (!readStatus(QStringLiteral("getLockStatus"), s))
            return;
        setStatus(QStringLiteral("读取成功！锁1") + openWord(rt::Left(s, 1)) + QStringLiteral("，锁2")
                  + openWord(rt::Right(s, 1)));
    });
}

void FrmDemo::cmdGetCardLockStatus_Click()
{
    guarded([&] {
        QString s;
        if (!readStatus(QStringLiteral("getCardLockStatus"), s))
            return;
        const QString card = rt::Mid(s, 1, 10);
        const QString locks = QStringLiteral("锁1") + openWord(rt::Mid(s, 11, 1)) + QStringLiteral("，锁2")
                              + openWord(rt::Mid(s, 12, 1));
        if (card == QStringLiteral("0000000000")) {
            setStatus(QStringLiteral("读取成功！无打卡数据！") + locks);
            return;
        }
        const QString mode = rt::Mid(s, 13, 1) == u"1" ? QStringLiteral("一控一") : QStringLiteral("二控一");
        const QString reader = rt::Mid(s, 14, 1) == u"1" ? QStringLiteral("1") : QStringLiteral("2");
        setStatus(QStringLiteral("读取成功！物理卡号：") + card + u'，' + locks + QStringLiteral("，模式：") + mode
                  + QStringLiteral("，感应器：") + reader);
    });
}

void FrmDemo::cmdGetDateTimeDelay_Click()
{
    guarded([&] {
        QString s;
        if (!readStatus(QStringLiteral("getDateTimeDelay"), s))
            return;
        auto delay = [&](int pos) { return QString::number(rt::CInt(rt::Mid(s, pos, 3))); };
        const QString d1 = delay(13), d2 = delay(16), d3 = delay(19);
        setStatus(QStringLiteral("读取成功！当前日期时间：") + rt::Mid(s, 1, 2) + u'年' + rt::Mid(s, 3, 2) + u'月'
                  + rt::Mid(s, 5, 2) + u'日' + rt::Mid(s, 7, 2) + u':' + rt::Mid(s, 9, 2) + u':' + rt::Mid(s, 11, 2)
                  + u'，' + QStringLiteral("锁1延时：") + d1 + QStringLiteral("，锁2延时：") + d2
                  + QStringLiteral("，外接继电器延时：") + d3);
    });
}

void FrmDemo::cmdGetMachVer_Click()
{
    guarded([&] {
        QString s;
        if (!readStatus(QStringLiteral("getMachVer"), s))
            return;
        const QString model = rt::Mid(s, 1, 4);
        const QDate date = QDate::fromString(QStringLiteral("20") + rt::Mid(s, 5, 2) + u'-' + rt::Mid(s, 7, 2) + u'-'
                                                 + rt::Mid(s, 9, 2),
                                             QLatin1String(rt::kDateFormat));
        if (!date.isValid())
            rt::raise(rt::ErrTypeMismatch);
        const QString version = QString::number(leadingNumber(rt::Mid(s, 11, 2))) + u'.'
                                + QString::number(leadingNumber(rt::Mid(s, 13, 2))) + u'.'
                                + QString::number(leadingNumber(rt::Mid(s, 15, 2)));
        setStatus(TxtAddress->text() + QStringLiteral("号机读取成功！ 机器名称：") + model
                  + QStringLiteral("，最后修改日期：") + rt::isoDate(date) + QStringLiteral("，版本号：") + version);
    });
}

void FrmDemo::CmdModifyDateTime_Click()
{
    guarded([&] {
        int16_t addr = 0;
        if (!checkAddress(addr))
            return;
        setStatus(QString());
        const QDateTime now = ui::now();
        // Monday 1 .. Sunday 7, the controller's weekday numbering.
        const int16_t week = int16_t(now.date().dayOfWeek());
        Args a{addr, now.toString(QStringLiteral("yyMMdd")), now.toString(QStringLiteral("HHmmss")), week};
        portFlag_ = callDoor(QStringLiteral("ModifyDateTime"), a).toBool();
        setStatus(portFlag_ ? QStringLiteral("修改日期成功") : QStringLiteral("修改日期不成功"));
    });
}

void FrmDemo::cmdOpenLock_Click()
{
    guarded([&] {
        const QString lock = cmbLockNo->currentText();
        if (lock.isEmpty()) {
            ui::msgBox(QStringLiteral("请选择锁号！"), ui::mb::OKOnly, kHint);
            return;
        }
        Args a{address(), lock};
        const bool ok = callDoor(QStringLiteral("OpenLock"), a).toBool();
        setStatus((ok ? QStringLiteral("开锁成功！锁号：") : QStringLiteral("开锁失败！锁号：")) + lock);
    });
}

void FrmDemo::cmdSetDelay_Click()
{
    guarded([&] {
        const int16_t d1 = rt::CInt(txtDelay[0]->text());
        const int16_t d2 = rt::CInt(txtDelay[1]->text());
        const int16_t d3 = rt::CInt(txtDelay[2]->text());
        Args a{address(), d1, d2, d3};
        setStatus(callDoor(QStringLiteral("SetLockDelayTime"), a).toBool() ? QStringLiteral("设置延时时间成功！")
                                                                             : QStringLiteral("设置延时时间失败！"));
    });
}

void FrmDemo::Command5_Click()
{
    guarded([&] {
        Args a{address()};
        const int32_t n = callDoor(QStringLiteral("GatherRecordSum"), a).toLong();
        if (n < 0) {
            setStatus(QStringLiteral("采集失败"));
            return;
        }
        Label->setText(QString::number(n) + QStringLiteral(" 条"));
        setStatus(QStringLiteral("采集成功"));
    });
}

void FrmDemo::Command6_Click()
{
    guarded([&] {
        Args a{address()};
        const int32_t n = callDoor(QStringLiteral("GatherSendCardSum"), a).toLong();
        if (n < 0) {
            setStatus(QStringLiteral("采集失败"));
            return;
        }
        setStatus(QStringLiteral("采集成功"));
        Label7->setText(QString::number(n) + QStringLiteral(" 条"));
    });
}

// --- time groups ---------------------------------------------------------------------

void FrmDemo::Command1_Click()
{
    if (!frmTimeSet->isVisibleTo(this))
        sizeBeforeTimeFrame_ = size();
    frmTimeSet->setVisible(true);
    placeTimeFrame();
}

void FrmDemo::Command3_Click()
{
    frmTimeSet->setVisible(false);
    if (sizeBeforeTimeFrame_.isValid())
        resize(sizeBeforeTimeFrame_);
    sizeBeforeTimeFrame_ = QSize();
}

void FrmDemo::placeTimeFrame()
{
    if (!frmTimeSet->isVisibleTo(this))
        return;
    QWidget* c = centralWidget();
    const QPoint at = FraGather->mapTo(c, QPoint(0, 0));
    const QSize need = frmTimeSet->sizeHint().expandedTo(FraGather->size());
    const int x = std::max(0, std::min(at.x(), c->width() - need.width()));
    frmTimeSet->setGeometry(x, at.y(), need.width(), need.height());
    frmTimeSet->raise();
    // The buttons below the frames stay reachable: the window grows as far
    // as the frame needs, and no further.
    const int bottom = Command1->mapTo(c, QPoint(0, 0)).y() - 6;
    const int missing = at.y() + need.height() - bottom;
    if (missing > 0)
        resize(width(), height() + missing);
}

void FrmDemo::Command13_Click()
{
    guarded([&] {
        const double step1 = rt::CDbl(txtStep1->text());
        const double step2 = rt::CDbl(txtStep2->text());
        // The last row has the largest offset: a step too large for it
        // is refused before any row changes.
        rt::CLng(step1 * 15 * 60);
        rt::CLng(step2 * 15 * 60);
        for (int i = 0; i < 16; ++i) {
            dtp_Begin[i]->setTime(dtp_Begin[16]->time().addSecs(qint64(rt::CLng(step1 * i * 60)) * 60));
            dtp_End[i]->setTime(dtp_End[16]->time().addSecs(qint64(rt::CLng(step2 * i * 60)) * 60));
        }
    });
}

void FrmDemo::Command9_Click()
{
    for (int i = 0; i < 16; ++i) {
        dtp_Begin[i]->setTime(QTime(0, 0));
        dtp_End[i]->setTime(QTime(0, 0));
    }
}

void FrmDemo::Command8_Click()
{
    guarded([&] {
        std::array<QString, 16> rows;
        int16_t total = 0;
        for (int i = 0; i < 16; ++i) {
            const QString b = dtp_Begin[i]->time().toString(QStringLiteral("HHmm"));
            const QString e = dtp_End[i]->time().toString(QStringLiteral("HHmm"));
            if (b == u"0000" && e == u"0000")
                continue;
            if (b > e) {
                ui::msgBox(QStringLiteral("第 ") + QString::number(i + 1)
                               + QStringLiteral("段时间非法，开始时间不能大于结束时间！"),
                           ui::mb::OKOnly, kHint);
                dtp_Begin[i]->setFocus();
                return;
            }
            rows[i] = b + u'-' + e;
            ++total;
        }
        // Address and pause are read only when a row goes out, and before the
        // first one does, so a bad entry never leaves half the groups sent.
        int16_t addr = 0;
        int32_t pause = 0;
        if (total > 0) {
            addr = address();
            const QString delayText = txtDalay->text().trimmed();
            pause = delayText.isEmpty() ? 0 : rt::CLng(rt::CDbl(delayText));
        }
        int failures = 0;
        for (int i = 0; i < 16; ++i) {
            if (rows[i].isEmpty())
                continue;
            Args a{addr, total, int16_t(i), rows[i], int16_t(chkCardAndPsw[i]->isChecked() ? 3 : 0)};
            if (callDoor(QStringLiteral("SetTimeGroup"), a).toBool()) {
                setStatus(QStringLiteral("第：") + QString::number(i) + QStringLiteral("段时间发送成功"));
            } else {
                ++failures;
                setStatus(QStringLiteral("第：") + QString::number(i) + QStringLiteral("段时间发送失败"));
            }
            ui::sleepMs(std::max(0, pause));
        }
        setStatus(QStringLiteral("共下发：") + QString::number(total) + QStringLiteral("个时段，其中发送失败：")
                  + QString::number(failures) + QStringLiteral("个!"));
    });
}

void FrmDemo::Command2_Click()
{
    guarded([&] {
        Args a{address(), QString(), QString()};
        if (!callDoor(QStringLiteral("GetTimeGroup"), a).toBool()) {
            setStatus(QStringLiteral("时间段采集失败"));
            return;
        }
        setStatus(QStringLiteral("时间段采集成功"));
        const QString list = a[1].toString();
        const QString modes = a[2].toString();
        if (list.size() < 64) {
            ui::msgBox(QStringLiteral("采集出的时间段长度不够,现在长度为:") + QString::number(list.size()) + u'\n' + list,
                       ui::mb::OKOnly, kHint);
            return;
        }
        auto begin = [&](int j) { return rt::Mid(list, j * 8 + 1, 2) + u':' + rt::Mid(list, j * 8 + 3, 2); };
        auto end = [&](int j) { return rt::Mid(list, j * 8 + 5, 2) + u':' + rt::Mid(list, j * 8 + 7, 2); };
        QString overview;
        for (int j = 0; j < 16; ++j)
            overview += QString::number(j) + QStringLiteral("   ") + begin(j) + QStringLiteral("--") + end(j) + u'\n';
        ui::msgBox(overview, ui::mb::OKOnly, kHint);

        int valid = 0;
        for (int j = 0; j < 16; ++j) {
            QString b = begin(j), e = end(j);
            QTime tb = QTime::fromString(b, QStringLiteral("HH:mm"));
            QTime te = QTime::fromString(e, QStringLiteral("HH:mm"));
            if (!tb.isValid() || !te.isValid()) {
                if (b == u"FF:FF" && e == u"FF:FF") {
                    b = e = QStringLiteral("00:00");
                    tb = te = QTime(0, 0);
                } else {
                    ui::msgBox(QStringLiteral("采集出的时间段有非法数据，不符合时间格式！(第：") + QString::number(j + 1)
                                   + QStringLiteral("段)") + u'\n' + list,
                               ui::mb::OKOnly, kHint);
                    return;
                }
            }
            if (!(b == u"00:00" && e == u"00:00"))
                ++valid;
            dtp_Begin[j]->setTime(tb);
            dtp_End[j]->setTime(te);
            chkCardAndPsw[j]->setChecked(rt::Mid(modes, j + 1, 1) == u"3");
        }
        setStatus(QStringLiteral("采集成功，有效时段数：") + QString::number(valid));
    });
}
