#include "WindowBench.h"

#include "AppForms.h"
#include "FrmDec.h"
#include "FrmEtD.h"
#include "FrmFK.h"
#include "FrmFKZL.h"
#include "FrmGatherData.h"
#include "FrmGatherName.h"
#include "FrmMon.h"
#include "FrmSSXX.h"
#include "FrmSetTime.h"
#include "FrmSysInf.h"
#include "FrmTkcx.h"
#include "FrmFKXXCX.h"
#include "Frmdoors.h"
#include "Frmkq.h"
#include "Frmkqzl.h"
#include "Frmque.h"
#include "Frmspe.h"
#include "FrmssjsN.h"
#include "Frmxg.h"
#include "Globals.h"
#include "LoginWindow.h"
#include "MenuWindow.h"
#include "sjkwf2.h"
#include "ui/LogList.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QProgressBar>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOption>
#include <QTableView>
#include <QTest>
#include <QTextEdit>
#include <QThread>
#include <QTreeView>
#include <QTreeWidget>

#include <functional>

namespace {

QString nameOf(const QWidget* w)
{
    QString n = w->objectName();
    if (n.isEmpty())
        n = QString::fromLatin1(w->metaObject()->className());
    if (auto* l = qobject_cast<const QLabel*>(w))
        n += " \"" + l->text().left(20) + "\"";
    if (auto* b = qobject_cast<const QAbstractButton*>(w))
        n += " \"" + b->text() + "\"";
    return n;
}

bool shown(const QWidget* w, const QWidget* window)
{
    return w->isVisibleTo(const_cast<QWidget*>(window)) && w->width() > 0 && w->height() > 0;
}

QRect onWindow(const QWidget* w, const QRect& r, const QWidget* window)
{
    return QRect(w->mapTo(window, r.topLeft()), r.size());
}

// Where a label paints its text, on the window.
QRect textArea(const QLabel* l, const QWidget* window)
{
    const QRect cr = l->contentsRect();
    int flags = int(l->alignment());
    if (l->wordWrap())
        flags |= Qt::TextWordWrap;
    return onWindow(l, l->fontMetrics().boundingRect(cr, flags, l->text()), window);
}

// Width a line edit needs to show text whole: the text, its cursor, and
// what the style and the box's margins take of its width.
int lineEditNeed(const QLineEdit* e, const QString& text)
{
    QStyleOptionFrame opt;
    opt.initFrom(e);
    opt.rect = e->rect();
    opt.lineWidth = e->hasFrame() ? e->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &opt, e) : 0;
    const QRect contents = e->style()->subElementRect(QStyle::SE_LineEditContents, &opt, e);
    const int room = contents.width() - e->textMargins().left() - e->textMargins().right() - 2 * 2;
    return e->width() - room + e->fontMetrics().horizontalAdvance(text) + 1;
}

int comboNeed(const QComboBox* c, const QString& text)
{
    QComboBox probe;
    probe.setFont(c->font());
    probe.setEditable(c->isEditable());
    probe.setSizeAdjustPolicy(QComboBox::AdjustToContents);
    probe.addItem(text);
    return probe.sizeHint().width();
}

// Width a button needs for its text (an indicator and its spacing for check
// and radio buttons).
int buttonNeed(const QAbstractButton* b)
{
    const int text = b->fontMetrics().size(Qt::TextShowMnemonic, b->text()).width();
    const QStyle* st = b->style();
    if (qobject_cast<const QCheckBox*>(b))
        return st->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, b) + st->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, b) + text;
    if (qobject_cast<const QRadioButton*>(b))
        return st->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth, nullptr, b)
             + st->pixelMetric(QStyle::PM_RadioButtonLabelSpacing, nullptr, b) + text;
    return text + 8;
}

// The part of a control that shows something.
QRect paintedArea(QWidget* w, const QWidget* window)
{
    if (auto* l = qobject_cast<QLabel*>(w); l && !l->text().isEmpty() && l->frameShape() == QFrame::NoFrame)
        return textArea(l, window);
    if (auto* b = qobject_cast<QAbstractButton*>(w); b && !qobject_cast<QPushButton*>(w))
        return onWindow(w, QRect(0, 0, std::min(w->width(), buttonNeed(b)), w->height()), window);
    return onWindow(w, w->rect(), window);
}

// What a window shows cut off or hidden under another control.
QStringList layoutFaults(QWidget* window)
{
    QStringList out;
    const QList<QWidget*> all = window->findChildren<QWidget*>();
    QList<QWidget*> controls;
    for (QWidget* w : all) {
        if (!shown(w, window) || !onWindow(w, w->rect(), window).intersects(window->rect()))
            continue;   // hidden, or placed where the window shows it only when widened
        if (qobject_cast<QScrollBar*>(w) || qobject_cast<QHeaderView*>(w) || w->parentWidget()->inherits("QAbstractScrollArea")
            || w->inherits("QComboBoxPrivateContainer") || qobject_cast<QAbstractSpinBox*>(w->parentWidget())
            || qobject_cast<QComboBox*>(w->parentWidget()))
            continue;
        if (auto* v = qobject_cast<QAbstractItemView*>(w)) {
            auto* table = qobject_cast<QTableView*>(v);
            auto* tree = qobject_cast<QTreeView*>(v);
            QHeaderView* h = table ? table->horizontalHeader() : tree ? tree->header() : nullptr;
            if (h && !h->isHidden()) {
                for (int c = 0; c < h->count(); ++c) {
                    if (h->isSectionHidden(c) || h->sectionSize(c) == 0)
                        continue;
                    const int need = std::max(h->sectionSizeHint(c), v->sizeHintForColumn(c));
                    if (h->sectionSize(c) < need)
                        out << QStringLiteral("%1 column %2 \"%3\": %4 < %5")
                                   .arg(nameOf(v)).arg(c)
                                   .arg(v->model()->headerData(c, Qt::Horizontal).toString().trimmed())
                                   .arg(h->sectionSize(c)).arg(need);
                }
            } else if (qobject_cast<QListView*>(v) && v->horizontalScrollBar()->maximum() > 0) {
                out << nameOf(v) + QStringLiteral(": scrolls sideways");
            }
        } else if (auto* e = qobject_cast<QLineEdit*>(w)) {
            // Its text, and a number as long as a short bounded box takes
            // (employee and card numbers, addresses, delays).
            QString longest = e->text();
            if (e->maxLength() <= 10 && e->maxLength() > longest.size())
                longest = QString(e->maxLength(), QLatin1Char('0'));
            if (e->width() < lineEditNeed(e, longest))
                out << QStringLiteral("%1 \"%2\": %3 < %4").arg(nameOf(e), longest).arg(e->width()).arg(lineEditNeed(e, longest));
        } else if (auto* c = qobject_cast<QComboBox*>(w)) {
            // The box shows its choice whole, the list each item.
            if (c->width() < comboNeed(c, c->currentText()))
                out << QStringLiteral("%1 \"%2\": %3 < %4").arg(nameOf(c), c->currentText()).arg(c->width()).arg(comboNeed(c, c->currentText()));
            const QAbstractItemView* v = c->view();
            const int list = std::max(c->width(), v->minimumWidth());
            for (int i = 0; i < c->count(); ++i) {
                const int need = v->fontMetrics().horizontalAdvance(c->itemText(i)) + 2 * v->frameWidth()
                               + 2 * (v->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, v) + 1);
                if (list < need)
                    out << QStringLiteral("%1 item \"%2\": %3 < %4").arg(nameOf(c), c->itemText(i)).arg(list).arg(need);
            }
        } else if (auto* s = qobject_cast<QAbstractSpinBox*>(w)) {
            if (s->width() < s->minimumSizeHint().width())
                out << QStringLiteral("%1: %2 < %3").arg(nameOf(s)).arg(s->width()).arg(s->minimumSizeHint().width());
        } else if (auto* l = qobject_cast<QLabel*>(w)) {
            if (qobject_cast<QStatusBar*>(l->parentWidget())) {
                controls << w;   // a status panel: its texts vary, its box must show whole
                continue;
            }
            if (l->text().isEmpty()) {
                if (l->frameShape() != QFrame::NoFrame || !l->pixmap().isNull())
                    controls << w;   // a picture or a framed box
                continue;
            }
            if (!l->wordWrap() ? l->width() < l->sizeHint().width() : l->height() < l->heightForWidth(l->width()))
                out << QStringLiteral("%1: cut (%2x%3 < %4x%5)").arg(nameOf(l)).arg(l->width()).arg(l->height())
                           .arg(l->sizeHint().width()).arg(l->wordWrap() ? l->heightForWidth(l->width()) : l->sizeHint().height());
        } else if (auto* b = qobject_cast<QAbstractButton*>(w)) {
            if (!b->text().isEmpty() && b->width() < buttonNeed(b))
                out << QStringLiteral("%1: cut (%2 < %3)").arg(nameOf(b)).arg(b->width()).arg(buttonNeed(b));
        } else if (auto* g = qobject_cast<QGroupBox*>(w)) {
            if (g->width() < g->fontMetrics().horizontalAdvance(g->title()) + 16)
                out << QStringLiteral("%1: title cut").arg(nameOf(g));
        } else if (!qobject_cast<QAbstractScrollArea*>(w) && !w->inherits("QProgressBar") && !w->inherits("QLCDNumber")
                   && !qobject_cast<QStatusBar*>(w)) {
            continue;
        }
        controls << w;
    }
    // No label's text under another control, no two controls on each other.
    for (int i = 0; i < controls.size(); ++i) {
        for (int j = i + 1; j < controls.size(); ++j) {
            QWidget* a = controls[i];
            QWidget* b = controls[j];
            if (a->isAncestorOf(b) || b->isAncestorOf(a))
                continue;
            if (paintedArea(a, window).intersects(paintedArea(b, window)))
                out << QStringLiteral("%1 overlaps %2").arg(nameOf(a), nameOf(b));
        }
    }
    // A layout with less room than it needs pushes its last rows past the
    // window's bottom edge (wrapped labels need their lines at this width).
    if (QLayout* lay = window->layout()) {
        const int need = lay->hasHeightForWidth() ? lay->totalMinimumHeightForWidth(window->width()) : lay->totalMinimumSize().height();
        if (need > window->height())
            out << QStringLiteral("its layout needs %1 px of height, the window has %2").arg(need).arg(window->height());
    }
    // Nothing shows past the edge of what holds it.
    for (QWidget* w : controls) {
        const QRect shownArea = paintedArea(w, window);
        for (QWidget* p = w->parentWidget(); p; p = p == window ? nullptr : p->parentWidget())
            if (!onWindow(p, p->rect(), window).contains(shownArea))
                out << QStringLiteral("%1 runs past the edge of %2").arg(nameOf(w), nameOf(p));
    }
    return out;
}

// Lets the window lay itself out and paint (longer for a screenshot on a
// real display).
void settle(bool forShot)
{
    for (int i = 0; i < (forShot ? 10 : 2); ++i) {
        QCoreApplication::processEvents();
        QThread::msleep(forShot ? 20 : 1);
    }
}

QDateTime dec(int day, int h, int m, int sec = 0) { return QDateTime(QDate(2026, 12, day), QTime(h, m, sec)); }

// What the operator does in a window to fill it.
using Fill = std::function<void(ui::Form&)>;
template <class T>
Fill as(std::function<void(T*)> f)
{
    return [f](ui::Form& w) { f(static_cast<T*>(&w)); };
}

void pickAddress(QComboBox* box, const QString& text) { box->setCurrentIndex(box->findText(text)); }

// The statements of one of the sample's SQL files, without comments and
// without the transaction around them.
QStringList sampleStatements(const QString& path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    QString script;
    for (const QString& line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n')))
        if (!line.trimmed().startsWith(QLatin1String("--")))
            script += line + QLatin1Char('\n');
    QStringList out;
    for (const QString& statement : script.split(QLatin1Char(';'))) {
        const QString s = statement.trimmed();
        if (!s.isEmpty() && s != QLatin1String("BEGIN") && s != QLatin1String("COMMIT"))
            out << s;
    }
    return out;
}

void selectFirst(QListWidget* list)
{
    if (list->count() > 0) {
        list->setCurrentRow(0);
        list->item(0)->setSelected(true);
    }
}

} // namespace

class WindowLayoutTest : public WindowBench {
protected:
    void SetUp() override
    {
        WindowBench::SetUp();
        for (const QString& s : sampleStatements(QStringLiteral(SAMPLE_SEED)))
            exec(s);
        // The longest texts the sample's columns and boxes hold.
        exec("UPDATE people SET 身份证号 = '11010519491231002X' WHERE 卡号 = '00000001'");
        exec("DELETE FROM owt");
        exec("INSERT INTO owt (上班时间, 下班时间, 迟到时间, 早退时间, timeb, timee, lat, let, Rest, MaxHour) "
             "VALUES ('08:30:00', '11:30:00', '08:30:00', '11:30:00', '13:30:00', '17:30:00', '13:30:00', '17:30:00', 90, 8)");
        exec("INSERT INTO dtuika (地址, 卡号, 物理卡号, 姓名, 部门, 退卡日期) VALUES (2, '00000006', '0001310726', '赵磊', '生产部', '2026-12-07')");
        // The sample's controllers: the cards they hold and punches of the last two days.
        const struct { int address; uint32_t card; uint32_t employee; } cards[] = {
            {1, 1310721, 0x1}, {1, 1310722, 0x2}, {2, 1310723, 0x3}, {2, 1310724, 0x4}};
        for (const auto& c : cards) {
            controller(c.address).storeCard({c.card, c.employee, 0x80, 0xFE, 0x991231, 1, 1});
            for (int day : {6, 7}) {
                controller(c.address).addPunch({c.card, dec(day, 8, 2, 11), 0x0A, 0x01});
                controller(c.address).addPunch({c.card, dec(day, 17, 31, 5), 0x0A, 0x02});
            }
        }
        collect(1);
        collect(2);
        auto* kqzl = ui::forms::load<Frmkqzl>();
        kqzl->DTP1->setDate(QDate(2026, 12, 1));
        kqzl->DTP2->setDate(QDate(2026, 12, 8));
        kqzl->CmdStart_Click();
        ui::forms::unloadAll();
        scripted.clearMessages();
    }
    void collect(int address)
    {
        auto* w = ui::forms::load<FrmGatherData>();
        pickAddress(w->cText, QString::number(address));
        w->ReadCommand_Click();
    }
    void swipe()
    {
        controller(1).setDelays(60, 60, 0);
        controller(1).swipeCard(1310722, 1);
        controller(2).swipeCard(1310724, 1);
    }
    void check(ui::Form& f, const QString& cls, const Fill& fill)
    {
        settle(!shots_.isEmpty());   // shown, with the focus in its first box
        if (fill)
            fill(f);
        settle(!shots_.isEmpty());
        if (!shots_.isEmpty())
            QGuiApplication::primaryScreen()->grabWindow(0).save(shots_ + "/" + cls + ".png");
        for (const QString& fault : layoutFaults(&f))
            ADD_FAILURE() << cls.toStdString() << ": " << fault.toStdString();
        // During a run its progress bars show too.
        QList<QWidget*> shownForRun;
        for (QProgressBar* p : f.findChildren<QProgressBar*>())
            if (!p->isVisibleTo(&f) && p->parentWidget()->isVisibleTo(&f)) {
                p->show();
                shownForRun << p;
            }
        if (!shownForRun.isEmpty()) {
            settle(false);
            for (const QString& fault : layoutFaults(&f))
                ADD_FAILURE() << cls.toStdString() << " during a run: " << fault.toStdString();
        }
        // A window that may be resized may be made as small as it allows
        // (the operator, or a window manager on a small screen).
        if (f.layout() && !f.isFullScreen() && f.minimumSize() != f.maximumSize() && f.minimumSize() != f.size()) {
            const QSize was = f.size();
            f.resize(f.minimumSize());
            settle(false);
            for (const QString& fault : layoutFaults(&f))
                ADD_FAILURE() << cls.toStdString() << " at its smallest: " << fault.toStdString();
            f.resize(was);
        }
        for (QWidget* p : shownForRun)
            p->hide();
        tabLeavesGridsAndLogs(f, cls);
        // The smaller screen holds every window (a full-screen one fills any).
        if (!f.isFullScreen()) {
            const QSize outer = f.frameGeometry().size();
            EXPECT_LE(outer.width(), 1024) << cls.toStdString();
            EXPECT_LE(outer.height(), 768) << cls.toStdString();
        }
    }
    // Tab and Shift+Tab take the keyboard from a grid or a run's log with rows
    // to the window's next or previous control; Down still moves a row.
    void tabLeavesGridsAndLogs(ui::Form& f, const QString& cls)
    {
        for (QTableView* v : f.findChildren<QTableView*>()) {
            if (!v->isVisibleTo(&f) || !v->isEnabled())
                continue;
            if (auto* log = qobject_cast<ui::LogList*>(v))
                while (log->count() < 2)
                    log->addItem(QStringLiteral("第%1行").arg(log->count() + 1));
            if (v->model()->rowCount() < 2)
                continue;
            const QString name = cls + "." + v->objectName();
            SCOPED_TRACE(name.toStdString());
            keyedGrids_ << name;
            int column = 0;   // the first the grid shows
            while (column + 1 < v->model()->columnCount() && (v->isColumnHidden(column) || v->columnWidth(column) == 0))
                ++column;
            const QModelIndex first = v->model()->index(0, column);
            v->setFocus();
            v->setCurrentIndex(first);
            QTest::keyClick(v, Qt::Key_Down);
            EXPECT_EQ(v->currentIndex().row(), 1);
            // A log's Home and End go to its first and last line, selected.
            if (qobject_cast<ui::LogList*>(v))
                for (const auto& [key, row, what] : {std::tuple{Qt::Key_Home, 0, "Home"},
                                                      std::tuple{Qt::Key_End, v->model()->rowCount() - 1, "End"}}) {
                    QTest::keyClick(v, key);
                    EXPECT_EQ(v->currentIndex().row(), row) << what;
                    EXPECT_TRUE(v->selectionModel()->isRowSelected(row)) << what;
                }
            // Last: leaving may run the next control's own handlers.
            for (const Qt::Key key : {Qt::Key_Tab, Qt::Key_Backtab}) {
                v->setFocus();
                QTest::keyClick(v, key, key == Qt::Key_Backtab ? Qt::ShiftModifier : Qt::NoModifier);
                QWidget* now = f.focusWidget();
                EXPECT_TRUE(now && now != v && !v->isAncestorOf(now)) << (now ? nameOf(now).toStdString() : "none");
            }
        }
    }
    // Every grid and log the operator meets with rows.
    QStringList keyedGrids_;
    // LAYOUT_SHOTS=<folder>: a screenshot of each window there (run on a
    // real display, for instance xvfb-run with QT_QPA_PLATFORM=xcb).
    QString shots_ = qEnvironmentVariable("LAYOUT_SHOTS");
};

TEST_F(WindowLayoutTest, EveryWindowShowsItsWholeText)
{
    const QHash<QString, Fill> fills = {
        {"FrmGatherData", as<FrmGatherData>([](FrmGatherData* w) {
             pickAddress(w->cText, "1");
             w->ReadCommand_Click();
         })},
        {"FrmGatherName", as<FrmGatherName>([](FrmGatherName* w) {
             w->cText->setEditText("1");
             w->ReadCommand_Click();
         })},
        {"FrmssjsN", as<FrmssjsN>([this](FrmssjsN* w) {
             swipe();
             w->Timer1_Timer();
             w->Timer1_Timer();
         })},
        {"FrmSSXX", as<FrmSSXX>([this](FrmSSXX* w) {
             swipe();
             w->TimerScanTD_Timer();
         })},
        {"FrmFK", as<FrmFK>([](FrmFK* w) {
             w->LstDepart->item(0)->setSelected(true);
             w->LstDepart_Click();
             for (int i = 0; i < w->LstEmpInfo->count(); ++i)
                 if (w->LstEmpInfo->item(i)->text().startsWith("00000005"))
                     w->LstEmpInfo->item(i)->setSelected(true);
             w->LstEmpInfo_Click();
             w->tcard->setText("1310725");
             selectFirst(w->DoorAddr);
             w->CmdSendCard_Click();
         })},
        {"FrmDec", as<FrmDec>([](FrmDec* w) {
             selectFirst(w->LstDepart);
             w->LstDepart_Click();
             selectFirst(w->LstAddr);
             w->LstAddr_Click();
             selectFirst(w->LstInfo);
             w->LstInfo_Click();
             w->CmdDelInfo_Click();
         })},
        {"FrmEtD", as<FrmEtD>([](FrmEtD* w) {
             pickAddress(w->CmbAddr, "1");
             w->CmbAddr_Click();
             selectFirst(w->LstDepart);
             w->LstDepart_Click();
         })},
        {"FrmFKZL", as<FrmFKZL>([](FrmFKZL* w) {
             pickAddress(w->Combo1, "1");
             w->Combo1_Click();
             w->CmdReset_Click();
         })},
        {"Frmque", as<Frmque>([](Frmque* w) { w->CmdSearch_Click(); })},
        {"Frmkq", as<Frmkq>([](Frmkq* w) { w->CmdSearch_Click(); })},
        {"FrmFKXXCX", as<FrmFKXXCX>([](FrmFKXXCX* w) { w->CmdSearch_Click(); })},
        {"FrmTkcx", as<FrmTkcx>([](FrmTkcx* w) { w->CmdSearch_Click(); })},
        {"FrmMon", as<FrmMon>([](FrmMon* w) {
             w->DTP->setDate(QDate(2026, 12, 8));
             w->Cka->setText("00000001");
             w->Command1_Click();
             w->Picture1_Click();   // 展开: the remarks beside the month
         })},
        {"Frmxg", as<Frmxg>([](Frmxg* w) {
             w->EditMode = 3;
             w->CmdSearch_Click();
         })},
        {"sjkwf2", as<sjkwf2>([](sjkwf2* w) {
             w->Cdb->setCurrentIndex(1);
             w->Cdb_Click();
         })},
        {"FrmSysInf", as<FrmSysInf>([](FrmSysInf* w) {
             QTreeWidgetItem* root = w->AdrView->topLevelItem(0);
             root->setExpanded(true);
             if (root->childCount() > 0)
                 w->AdrView_NodeClick(root->child(0));
         })},
        {"Frmdoors", as<Frmdoors>([](Frmdoors* w) {
             pickAddress(w->Cdoor, "1");
             w->Cdoor_Click();
         })},
    };
    // The backup window lists the current folder: make it the program
    // folder, so what it shows does not depend on where the tests run.
    const QString cwd = QDir::currentPath();
    QDir::setCurrent(folder());
    QStringList classes = appforms::registeredWindows();
    classes.sort();
    for (const QString& cls : classes) {
        ui::forms::setModalHandler([&](ui::Form& f) {
            check(f, cls, fills.value(cls));
            f.unloadForm();
        });
        appforms::open(cls);
        ui::forms::setModalHandler({});
        ui::forms::unloadAll();
    }
    // Windows that others open.
    const std::pair<QString, std::function<ui::Form*()>> others[] = {
        {"FrmSetTime", [] { return ui::forms::load<FrmSetTime>(); }},
        {"FrmSetTime-card-only", [] {
             mdl::MachineVersion = QStringLiteral("JQ8096 V4.1.0");   // no card-plus-password boxes
             return ui::forms::load<FrmSetTime>();
         }},
        {"Frmspe", [] { return ui::forms::load<Frmspe>(); }},
        {"login", [] { return ui::forms::load<login>(); }},
        {"menu", [] { return ui::forms::load<menu>(); }},
    };
    for (const auto& [cls, load] : others) {
        ui::Form* f = load();
        f->show();
        check(*f, cls, {});
        ui::forms::unloadAll();
    }
    QDir::setCurrent(cwd);
    for (const char* grid : {"Frmque.DGshow", "Frmkq.DGshow", "FrmFKXXCX.DGshow", "FrmTkcx.DGshow", "Frmxg.DGshow",
                             "FrmGatherData.datalist", "FrmGatherName.SendGrid", "FrmMon.MSF", "FrmFK.Lst_info",
                             "FrmEtD.ListLog", "FrmDec.ListLog", "FrmFKZL.ListSuccess", "FrmFKZL.ListFalse"})
        EXPECT_TRUE(keyedGrids_.contains(QLatin1String(grid))) << grid << " was not tried with the keyboard";
}

// 门锁设置 on the sample site as a new operator meets it: each controller
// holds the delays the site script gives it from its stored door, picking
// the address shows them, and 修改 with the door's locks ticked and no
// number changed goes through.
TEST_F(WindowLayoutTest, SampleDoorsAgreeWithTheirControllers)
{
    const QList<QVariantList> doors = rows("SELECT 地址, delay1, delay2, delay3, dtype1, dtype2 FROM doors ORDER BY 地址");
    const QList<QVariantList> delays = rows(sampleStatements(QStringLiteral(SAMPLE_CONTROLLERS)).value(0));
    ASSERT_EQ(delays.size(), doors.size());
    for (const QVariantList& line : delays) {
        const QStringList d = db::text(line[0]).split(',');
        ASSERT_EQ(d.size(), 4) << "a door without all three delays";
        // As doorsim's --delays: an empty field keeps the controller's own delay.
        sim::Controller& c = controller(d[0].toInt());
        std::array<uint8_t, 3> kept = c.delays();
        for (size_t i = 0; i < kept.size(); ++i)
            if (!d[int(i) + 1].isEmpty())
                kept[i] = uint8_t(d[int(i) + 1].toInt());
        c.setDelays(kept[0], kept[1], kept[2]);
    }
    auto* w = ui::forms::load<Frmdoors>();
    for (const QVariantList& door : doors) {
        SCOPED_TRACE(db::text(door[0]).toStdString());
        pickAddress(w->Cdoor, db::text(door[0]));
        w->Cdoor_Click();
        ASSERT_EQ(w->ListView1->count(), 10) << w->panel1().toStdString();
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(w->ListView1->item(1 + i)->text().section(u'：', 1).toDouble(), door[1 + i].toDouble())
                << w->ListView1->item(1 + i)->text().toStdString();
        for (int lock = 0; lock < 2; ++lock)
            w->Clkn1[lock]->setChecked(!db::text(door[4 + lock]).isEmpty());
        w->Command4_Click();
        EXPECT_EQ(w->panel1(), "已经修改完毕,成功！");
    }
}
