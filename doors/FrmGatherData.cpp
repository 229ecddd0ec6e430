#include "FrmGatherData.h"

#include "AppForms.h"
#include "Collection.h"
#include "ControllerCalls.h"
#include "Globals.h"
#include "Module1.h"
#include "db/Db.h"
#include "runtime/Conv.h"
#include "runtime/Gbk.h"
#include "runtime/RuntimeError.h"
#include "ui/ProgramFolder.h"
#include "ui/KeyPress.h"
#include "ui/RunGuard.h"
#include "ui/Ui.h"
#include "ui/Widths.h"

#include <QAbstractTableModel>
#include <QComboBox>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHash>
#include <QPair>
#include <QSet>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTableView>
#include <QVBoxLayout>

#include <array>
#include <optional>
#include <vector>

namespace {

constexpr int kColumns = 7;

// The collected records as the grid shows them; a plain table of texts, so
// that tens of thousands of rows cost little to fill.
class PunchGrid : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    std::array<QString, kColumns> headers;

    void resize(int rows)
    {
        beginResetModel();
        rows_.assign(size_t(std::max(rows, 0)), {});
        endResetModel();
    }
    // Cells are written while the rows are being read; the view is told once, at the end.
    void setText(int row, int column, const QString& text)
    {
        if (row >= int(rows_.size()))
            rows_.resize(size_t(row) + 1);
        rows_[size_t(row)][size_t(column)] = text;
    }
    void refresh()
    {
        beginResetModel();
        endResetModel();
    }
    QString text(int row, int column) const
    {
        if (row < 0 || row >= int(rows_.size()) || column < 0 || column >= kColumns)
            return QString();
        return rows_[size_t(row)][size_t(column)];
    }

    int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : int(rows_.size()); }
    int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : kColumns; }
    QVariant data(const QModelIndex& index, int role) const override
    {
        if (role != Qt::DisplayRole || !index.isValid())
            return {};
        return text(index.row(), index.column());
    }
    QVariant headerData(int section, Qt::Orientation o, int role) const override
    {
        if (role != Qt::DisplayRole || o != Qt::Horizontal || section < 0 || section >= kColumns)
            return {};
        return headers[size_t(section)];
    }

private:
    std::vector<std::array<QString, kColumns>> rows_;
};

PunchGrid* gridOf(QAbstractTableModel* m) { return static_cast<PunchGrid*>(m); }

QString directionText(const QString& code)
{
    if (code == QLatin1String("00") || code == QLatin1String("01"))
        return QStringLiteral("锁1进");
    if (code == QLatin1String("02"))
        return QStringLiteral("锁1出");
    if (code == QLatin1String("03"))
        return QStringLiteral("锁2进");
    // An unknown reader code says nothing about the direction.
    return QString();
}

int twoDigits(const QString& s, int at)
{
    return (s[at].unicode() - u'0') * 10 + (s[at + 1].unicode() - u'0');
}

// The date "yyyy-mm-dd" and time "hh:mm:ss" of a line; false when either
// is not a real date or time of day.
bool punchTime(const QString& line, QString& date, QString& time)
{
    const QString digits = rt::Mid(line, 14, 14);
    date = rt::Mid(line, 14, 4) + QLatin1Char('-') + rt::Mid(line, 18, 2) + QLatin1Char('-') + rt::Mid(line, 20, 2);
    time = rt::Mid(line, 22, 2) + QLatin1Char(':') + rt::Mid(line, 24, 2) + QLatin1Char(':') + rt::Mid(line, 26, 2);
    if (digits.size() != 14 || !rt::IsDigits(digits))
        return false;
    return QDate::isValid(twoDigits(digits, 0) * 100 + twoDigits(digits, 2), twoDigits(digits, 4), twoDigits(digits, 6))
        && QTime::isValid(twoDigits(digits, 8), twoDigits(digits, 10), twoDigits(digits, 12));
}

const QString kInsert = QStringLiteral("INSERT INTO data (地址, 卡号, 日期, 时间, flagIO) VALUES (?, ?, ?, ?, ?)");

} // namespace

FrmGatherData::FrmGatherData(QWidget* parent)
    : ui::Form(parent)
{
    setObjectName(QStringLiteral("FrmGatherData"));
    setWindowTitle(QStringLiteral("打卡数据采集"));
    resize(620, 520);

    auto named = [](QWidget* w, const char* name) {
        w->setObjectName(QLatin1String(name));
        return w;
    };
    Label1 = new QLabel(QStringLiteral("请选择要采集数据的门禁控制器地址："), this);
    named(Label1, "Label1");
    cText = new QComboBox(this);
    named(cText, "cText");
    cText->setEditable(false);
    ui::onKeyPress(cText, [this](int& k) { cText_KeyPress(k); });
    ReadCommand = new QPushButton(QStringLiteral("采集数据"), this);
    named(ReadCommand, "ReadCommand");
    numCommand = new QPushButton(QStringLiteral("通讯测试"), this);
    named(numCommand, "numCommand");
    CmdClearData = new QPushButton(QStringLiteral("清除数据"), this);
    named(CmdClearData, "CmdClearData");
    cdexit = new QPushButton(QStringLiteral("结  束"), this);
    named(cdexit, "cdexit");

    model_ = new PunchGrid(this);
    datalist = new QTableView(this);
    named(datalist, "datalist");
    datalist->setModel(model_);
    datalist->setEditTriggers(QAbstractItemView::NoEditTriggers);
    datalist->verticalHeader()->hide();
    datalist->verticalHeader()->setDefaultSectionSize(20);

    auto box = [this, &named](const char* name) {
        auto* e = new QLineEdit(this);
        named(e, name);
        e->setReadOnly(true);
        e->setMaximumWidth(90);
        return e;
    };
    numText = box("numText");
    counterText = box("counterText");
    txtErrCount = box("txtErrCount");
    readProgressBar = new QProgressBar(this);
    named(readProgressBar, "readProgressBar");
    readProgressBar->hide();
    labtext = new QLabel(QStringLiteral("请选择门禁控制器地址，然后按“采集数据”"), this);
    named(labtext, "labtext");
    labtext->setWordWrap(true);
    Label4 = new QLabel(this);
    named(Label4, "Label4");
    Label6 = new QLabel(QStringLiteral("注意事项：          为了避免因数据量太大而影响采集的速度，请每隔一定的时间就清除一"
                                       "下数据。此清除数据是清除机器中的打卡记录，已经采集成功的数据不受影响"),
                        this);
    named(Label6, "Label6");
    Label6->setWordWrap(true);
    StatusBar1 = new QStatusBar(this);
    named(StatusBar1, "StatusBar1");
    StatusBar1->setSizeGripEnabled(false);
    Panels[0] = new QLabel(StatusBar1);
    Panels[0]->setFrameShape(QFrame::Panel);
    Panels[0]->setFrameShadow(QFrame::Sunken);
    StatusBar1->addWidget(Panels[0], 1);

    auto* top = new QHBoxLayout;
    top->addWidget(Label1);
    top->addWidget(cText, 1);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {ReadCommand, numCommand, CmdClearData, cdexit})
        buttons->addWidget(b);
    auto* counts = new QHBoxLayout;
    counts->addWidget(new QLabel(QStringLiteral("总条数："), this));
    counts->addWidget(numText);
    counts->addWidget(new QLabel(QStringLiteral("处理条数："), this));
    counts->addWidget(counterText);
    counts->addWidget(new QLabel(QStringLiteral("错误条数："), this));
    counts->addWidget(txtErrCount);
    counts->addStretch(1);
    auto* lay = new QVBoxLayout(this);
    lay->addLayout(top);
    lay->addWidget(datalist, 1);
    lay->addLayout(counts);
    lay->addWidget(readProgressBar);
    lay->addWidget(labtext);
    lay->addWidget(Label4);
    lay->addWidget(Label6);
    lay->addLayout(buttons);
    lay->addWidget(StatusBar1);
    // The notes wrap to more lines as the window narrows.
    ui::keepHeightForWidth(this);

    connect(ReadCommand, &QPushButton::clicked, this, &FrmGatherData::ReadCommand_Click);
    connect(numCommand, &QPushButton::clicked, this, &FrmGatherData::numCommand_Click);
    connect(CmdClearData, &QPushButton::clicked, this, &FrmGatherData::CmdClearData_Click);
    connect(cdexit, &QPushButton::clicked, this, &FrmGatherData::cdexit_Click);
}

void FrmGatherData::cText_KeyPress(int& KeyAscii)
{
    KeyAscii = 0;
}

void FrmGatherData::setStatus(const QString& text)
{
    Panels[0]->setText(text);
}

QString FrmGatherData::gridText(int row, int column) const
{
    return gridOf(model_)->text(row, column);
}

int FrmGatherData::gridRows() const
{
    return model_->rowCount();
}

void FrmGatherData::InitGrid()
{
    static const int widths[kColumns] = {600, 1000, 1200, 950, 700, 1000, 1200};
    static const char* const heads[kColumns] = {" 序号", "  卡号", "   日期", "   时间", "标志", "开锁类型", "物理卡号"};
    // The longest each column holds: a row number of a large collection, an
    // employee number, a date, a time, a direction, an open type, a card.
    static const char* const longest[kColumns] = {"000000", "00000000", "0000-00-00", "00:00:00", "锁1进",
                                                  "刷卡&密码", "0000000000"};
    PunchGrid* g = gridOf(model_);
    for (int c = 0; c < kColumns; ++c)
        g->headers[size_t(c)] = QString::fromUtf8(heads[c]);
    g->resize(0);
    for (int c = 0; c < kColumns; ++c)
        ui::fitColumn(datalist, c, widths[c], {QString::fromUtf8(longest[c])});
}

void FrmGatherData::Form_Load()
{
    try {
        if (QScreen* s = QGuiApplication::primaryScreen()) {
            const QRect sr = s->availableGeometry();
            move(sr.x() + (sr.width() - width()) / 2, sr.y() + (sr.height() - height()) / 2);
        }
        datalist->show();
        cText->clear();
        cText->addItem(QString());
        Module1::AddDoorAddresses(mdl::DaoDatabase, cText);
        InitGrid();
        mdl::GatherWaitTime = Module1::LoadGatherWaitTime(mdl::AdoConnection);
        Label4->clear();
        passwordSupport_ = rt::Val(rt::Mid(mdl::MachineVersion, 9, 1)) >= 5;
        setWindowTitle(QStringLiteral("打卡数据采集"));
    } catch (const rt::Error& e) {
        ui::msgBox(e.text(), ui::mb::OKOnly, QStringLiteral("错误提示"));
    }
}

void FrmGatherData::Form_Unload(bool& cancel)
{
    Q_UNUSED(cancel);
    ctl::releasePort();
}

void FrmGatherData::cdexit_Click()
{
    unloadForm();
}

void FrmGatherData::ReadCommand_Click()
{
    ui::RunGuard run(this, {cText});
    if (!run)
        return;
    try {
        if (!ctl::openPort()) {
            setStatus(QStringLiteral("串口打开失败！"));
            return;
        }
        numText->setText(QStringLiteral("0"));
        counterText->setText(QStringLiteral("0"));
        const int16_t address = rt::CWhole(cText->currentText());
        const QString fileName = collection::collectedFileName(address, ui::now());
        gridOf(model_)->resize(0);
        labtext->setText(QStringLiteral("正在采集，如数据量大，可能要花较长的时间，请耐心等候!"));

        const QString folder = ui::programFolder() + QStringLiteral("basedata/");
        com::Args a{address, folder, fileName, QString(), int32_t(0), int32_t(mdl::GatherWaitTime), true, true};
        const bool ok = mdl::Door.call(QStringLiteral("GatherData"), a).toBool();
        const int32_t total = a[4].toLong();
        if (!ok) {
            // A full disk is no matter of the wait time; the records stay in the controller.
            if (a[3].toString() == QStringLiteral("system:") + rt::errorDescription(rt::ErrDiskFull))
                labtext->setText(QStringLiteral("采集不成功：%1“%2”，请腾出磁盘空间后重新采集！")
                                     .arg(rt::errorDescription(rt::ErrDiskFull), folder));
            else
                labtext->setText(QStringLiteral("采集不成功，可能是因为采集等待时间过短，可尝试在“系统设置”中设置稍大的采集等待时间！"));
            setStatus(QStringLiteral("采集不成功"));
            mdl::PortReady = 0;
            return;
        }
        if (total <= 0) {
            labtext->setText(QStringLiteral("没有打卡记录，请先打卡！"));
            setStatus(labtext->text());
            return;
        }
        labtext->setText(QStringLiteral("总记录为%1条").arg(total));
        setStatus(labtext->text());
        numText->setText(QString::number(total));
        storeFile(folder + fileName, total);
        mdl::PortReady = 0;
    } catch (const rt::Error& e) {
        readProgressBar->hide();
        run.end();
        ui::msgBox(e.text(), ui::mb::OKOnly, QStringLiteral("错误提示"));
    }
}

void FrmGatherData::storeFile(const QString& path, int total)
{
    QStringList lines;
    if (!rt::readGbkLines(path, lines))
        rt::raise(rt::ErrFileNotFound);

    PunchGrid* grid = gridOf(model_);
    grid->resize(std::max<int>(total, int(lines.size())));
    readProgressBar->setRange(0, total);
    readProgressBar->setValue(0);
    readProgressBar->show();

    int processed = 0, garbled = 0, unread = 0;
    int64_t nextPaint = 0;
    db::Database& db = mdl::DaoDatabase;
    // Physical number -> employee number; of several, the lowest, as the
    // sorted distinct lookup gives it.
    QHash<QString, QString> employeeOf;
    {
        db::Recordset rs = db.openRecordset(
            QStringLiteral("SELECT DISTINCT 物理卡号, 卡号 FROM dfaka WHERE 物理卡号 IS NOT NULL AND 卡号 IS NOT NULL"));
        for (; !rs.eof(); rs.moveNext()) {
            const QString employee = db::text(rs.value(1));
            QString& known = employeeOf[db::text(rs.value(0))];
            if (known.isEmpty() || employee.compare(known, Qt::CaseInsensitive) < 0)
                known = employee;
        }
    }
    struct Punch {
        int address;
        QString employee, date, time, direction;
    };
    std::vector<Punch> punches;
    std::optional<rt::Error> failure;
    punches.reserve(size_t(lines.size()));
    for (const QString& line : lines) {
        const int row = processed;
        grid->setText(row, 0, QString::number(row + 1));
        if (line.trimmed().isEmpty()) {
            // A slot the library could not read: the record is still in the
            // controller. Counted as unread, not as garbled as well.
            ++unread;
        } else {
            QString date, time;
            const bool validTime = punchTime(line, date, time);
            if (!validTime)
                ++garbled;
            const QString code = rt::Mid(line, int(line.size()) - 3, 2).trimmed();
            QString openType;
            if (code == QLatin1String("0A"))
                openType = QStringLiteral("刷卡");
            else if (code == QLatin1String("0B"))
                openType = QStringLiteral("密码");
            else
                openType = passwordSupport_ ? QStringLiteral("刷卡&密码") : QStringLiteral("刷卡");
            const QString direction = directionText(rt::Right(line, 2));
            const QString physical = rt::Mid(line, 4, 10);
            grid->setText(row, 2, date);
            grid->setText(row, 3, time);
            grid->setText(row, 4, direction);
            grid->setText(row, 5, openType);
            grid->setText(row, 6, openType == QStringLiteral("密码") ? QStringLiteral("**********") : physical);

            const QString employee = employeeOf.value(physical);
            if (!employee.isEmpty()) {
                int address = 0;
                try {
                    address = rt::CInt(rt::Mid(line, 1, 3));
                } catch (const rt::Error& e) {
                    // The collection ends here; what was read before is still stored.
                    failure = e;
                    break;
                }
                if (validTime)
                    punches.push_back({address, employee, date, time, direction});
                grid->setText(row, 1, employee);
            }
        }
        ++processed;
        // Painting the bar costs far more than a line: a few times a second.
        if (processed == total || ui::monotonicMs() >= nextPaint) {
            readProgressBar->setValue(std::min(processed, total));
            counterText->setText(QString::number(processed));
            readProgressBar->repaint();
            nextPaint = ui::monotonicMs() + 200;
        }
    }

    // A punch is stored once: not when data holds the same address,
    // employee number (in any letter case, as the column compares it), date
    // and time. The stored punches of the file's days are read once, then
    // each punch is checked in memory.
    auto key = [](int address, const QString& employee, const QString& date, const QString& time) {
        return QString::number(address) + QLatin1Char('|') + employee.toUpper() + QLatin1Char('|') + date
            + QLatin1Char('|') + time;
    };
    // In the order of the duplicate index, so that each of its pages is
    // written once; the table's own order is never relied on.
    std::stable_sort(punches.begin(), punches.end(), [](const Punch& a, const Punch& b) {
        if (const int c = a.employee.compare(b.employee, Qt::CaseInsensitive))
            return c < 0;
        if (a.date != b.date)
            return a.date < b.date;
        return a.time < b.time;
    });
    db.beginTrans();
    try {
        QSet<QString> stored;
        QSet<QPair<int, QString>> days;
        for (const Punch& p : punches)
            days.insert({p.address, p.date});
        for (const auto& [address, date] : std::as_const(days)) {
            db::Recordset rs = db.openRecordset(
                QStringLiteral("SELECT DISTINCT 卡号, 时间 FROM data WHERE 日期=? AND 地址=?"), {date, address});
            for (; !rs.eof(); rs.moveNext())
                stored.insert(key(address, db::text(rs.value(0)), date, db::text(rs.value(1))));
        }
        for (const Punch& p : punches) {
            const QString k = key(p.address, p.employee, p.date, p.time);
            if (stored.contains(k))
                continue;
            db.execute(kInsert, {p.address, p.employee, p.date, p.time, p.direction});
            stored.insert(k);
        }
        db.commitTrans();
    } catch (...) {
        // Rows stored before the failure stay.
        try {
            db.commitTrans();
        } catch (...) {
            try {
                db.rollback();
            } catch (...) {
            }
        }
        grid->refresh();
        // The records are still in the controller only: erasing them now would lose them.
        labtext->setText(labtext->text() + QStringLiteral(" 打卡记录未能全部存入数据库，请排除故障后重新采集，暂勿清除数据！"));
        setStatus(QStringLiteral("采集未完成：打卡记录未能存入数据库!"));
        throw;
    }
    grid->refresh();
    counterText->setText(QString::number(processed));
    if (failure)
        throw *failure;
    // Lines the file lacks are records that never reached it.
    if (processed < total)
        unread += total - processed;

    readProgressBar->hide();
    if (garbled > 0)
        labtext->setText(labtext->text() + QStringLiteral(" 其中%1条数据中有乱码！").arg(garbled));
    if (unread > 0)
        labtext->setText(labtext->text() + QStringLiteral(" 其中%1条记录未能读出，请重新采集，暂勿清除数据！").arg(unread));
    txtErrCount->setText(QString::number(garbled));
    setStatus(unread > 0 ? QStringLiteral("采集未完成：%1条记录未能读出!").arg(unread) : QStringLiteral("采集完成!"));
}

void FrmGatherData::numCommand_Click()
{
    ui::RunGuard run(this, {cText});
    if (!run)
        return;
    setStatus(QStringLiteral("正在测试机器的通讯，请稍候..."));
    try {
        if (!ctl::openPort()) {
            setStatus(QStringLiteral("串口打开失败！"));
            return;
        }
        const QString text = cText->currentText().trimmed();
        if (text.isEmpty() || rt::Val(text) > 99 || rt::Val(text) < 1) {
            setStatus(QStringLiteral("地址为0-99之间的整数"));
            cText->setFocus();
            return;
        }
        const int16_t address = rt::CWhole(text);
        bool answered = ctl::setClockNow(address);
        if (answered) {
            ui::sleepMs(100);
            const int32_t count = mdl::Door.call(QStringLiteral("GatherRecordSum"), {address}).toLong();
            numText->setText(count >= 0 ? QString::number(count) : QString());
            // A controller that stops answering after the clock has not passed.
            answered = count >= 0;
        }
        setStatus(answered ? QStringLiteral("机器通讯测试成功") : QStringLiteral("机器通讯测试不成功"));
    } catch (const rt::Error& e) {
        run.end();
        ui::msgBox(e.text(), ui::mb::OKOnly, QStringLiteral("信息提示"));
    }
}

void FrmGatherData::CmdClearData_Click()
{
    ui::RunGuard run(this, {cText});
    if (!run)
        return;
    try {
        const QString text = cText->currentText();
        if (text.isEmpty()) {
            setStatus(QStringLiteral("请先选择门禁控制器"));
            cText->setFocus();
            return;
        }
        const int answer = ui::msgBox(QStringLiteral("在清存储器之前,请确保已经正确采集到将该门禁控制器中的数据\n"
                                                     "确定需要删除地址号为'%1'的门禁控制器上的数据吗？！")
                                          .arg(text),
                                      ui::mb::YesNo | ui::mb::Question, QStringLiteral("提示信息"));
        if (answer != ui::mb::Yes)
            return;
        setStatus(QStringLiteral("正在清除 %1 号机器，请稍候...").arg(text));
        if (mdl::Door.call(QStringLiteral("clearRecord"), {rt::CWhole(text)}).toBool()) {
            labtext->setText(QStringLiteral("记录删除成功！"));
            gridOf(model_)->resize(0);
        } else {
            labtext->setText(QStringLiteral("记录删除失败！"));
        }
        setStatus(labtext->text());
    } catch (const rt::Error& e) {
        run.end();
        ui::msgBox(e.text(), ui::mb::OKOnly, QStringLiteral("错误提示"));
    }
}

OSTRELA_WINDOW(FrmGatherData);
