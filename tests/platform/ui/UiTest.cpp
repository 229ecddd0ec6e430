#include "ui/WindowKeys.h"
#include "ui/Form.h"
#include "ui/KeyPress.h"
#include "ui/LogList.h"
#include "ui/ScriptedUi.h"
#include "ui/Ui.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>
#include <gtest/gtest.h>

#include <functional>
#include <unistd.h>

namespace {

QApplication& app()
{
    static int argc = 1;
    static char name[] = "ui_tests";
    static char* argv[] = {name, nullptr};
    // Never destroyed: the input devices of key events outlive static objects.
    static QApplication* a = new QApplication(argc, argv);
    return *a;
}

// Shows a real box, reads what it displays and presses the button with the given text.
int showAndPress(const QString& text, int style, const QString& press, QString* shown, QStringList* buttons)
{
    app();
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        *shown = box->text();
        for (QAbstractButton* b : box->buttons()) {
            buttons->append(box->standardButton(b) == QMessageBox::Yes ? "Yes"
                            : box->standardButton(b) == QMessageBox::No ? "No"
                            : box->standardButton(b) == QMessageBox::Ok ? "OK"
                            : box->standardButton(b) == QMessageBox::Cancel ? "Cancel" : "other");
        }
        for (QAbstractButton* b : box->buttons())
            if (buttons->at(box->buttons().indexOf(b)) == press)
                b->click();
    });
    return ui::DesktopServices().messageBox(text, style, QStringLiteral("t"));
}

} // namespace

TEST(DesktopMessageBox, ButtonsAnswersAndLineBreaks)
{
    QString shown;
    QStringList buttons;
    EXPECT_EQ(showAndPress("a\rb\r\nc", ui::mb::YesNo | ui::mb::Question, "No", &shown, &buttons), ui::mb::No);
    EXPECT_EQ(shown, "a\nb\nc"); // a carriage return breaks the line as it does in the texts' origin
    EXPECT_EQ(buttons.size(), 2);

    buttons.clear();
    EXPECT_EQ(showAndPress("x", ui::mb::OKCancel, "Cancel", &shown, &buttons), ui::mb::Cancel);
    buttons.clear();
    EXPECT_EQ(showAndPress("x", ui::mb::OKOnly, "OK", &shown, &buttons), ui::mb::OK);
    EXPECT_EQ(buttons, QStringList{"OK"});
}

TEST(ScriptedUi, AnswersDefaultsAndFakeClock)
{
    ui::ScriptedUi s;
    EXPECT_EQ(ui::msgBox("q", ui::mb::YesNo | ui::mb::DefaultButton2), ui::mb::No);
    s.queueAnswer(ui::mb::Yes);
    EXPECT_EQ(ui::msgBox("q", ui::mb::YesNo | ui::mb::DefaultButton2), ui::mb::Yes);
    ASSERT_EQ(s.messages.size(), 2);

    const auto t0 = ui::monotonicMs();
    const QDateTime d0 = ui::now();
    ui::sleepMs(1500);
    EXPECT_EQ(ui::monotonicMs() - t0, 1500);
    EXPECT_EQ(d0.msecsTo(ui::now()), 1500);

    ui::endProgram(3);
    EXPECT_EQ(s.endCalls, 1);
    EXPECT_EQ(s.lastEndCode, 3);
}

TEST(ScriptedUi, DefaultTitleIsUsedWhenNoneIsGiven)
{
    ui::ScriptedUi s;
    ui::setDefaultTitle("门禁系统");
    ui::msgBox("x");
    ui::msgBox("y", ui::mb::OKOnly, "提示");
    EXPECT_EQ(s.messages[0].title, "门禁系统");
    EXPECT_EQ(s.messages[1].title, "提示");
    ui::setDefaultTitle(QString());
}

TEST(DesktopMessageBox, ChineseButtonsAndRoomForTheTitle)
{
    app();
    ASSERT_TRUE(ui::installQtTranslations()) << "qt6-translations-l10n missing";
    const QString title = QStringLiteral("门禁管理系统：卡片发行与名单下载");
    QStringList texts;
    int width = 0, titleWidth = 0;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        for (QAbstractButton* b : box->buttons())
            texts << b->text().remove('&');
        width = box->width();
        titleWidth = box->fontMetrics().horizontalAdvance(title);
        box->button(QMessageBox::Cancel)->click();
    });
    EXPECT_EQ(ui::DesktopServices().messageBox("x", ui::mb::YesNoCancel, title), ui::mb::Cancel);
    texts.sort();
    for (const QString& t : texts)
        EXPECT_TRUE(t.startsWith(QStringLiteral("是")) || t.startsWith(QStringLiteral("否"))
                    || t.startsWith(QStringLiteral("取消")))
            << t.toStdString();
    EXPECT_EQ(texts.size(), 3);
    EXPECT_GT(width, titleWidth);
}

// Qt's own file dialog (restore, a photo) speaks Chinese and shows each of
// its columns whole, the folder's and the file's type among them.
TEST(DesktopFileDialog, ChineseTextsAndWholeColumns)
{
    app();
    ASSERT_TRUE(ui::installQtTranslations()) << "qt6-translations-l10n missing";
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("备份数据库文件夹")));
    // A backup named at length and a photo, whose type has a long name.
    for (const QString& name : {QStringLiteral("门禁数据库备份_2026年12月08日_09时30分.mdb"), QStringLiteral("00000001.bmp")}) {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(123456, 'x'));
    }

    QString openButton, folderType;
    QStringList headers, cut;
    int missing = -1;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->setViewMode(QFileDialog::Detail);
        auto* view = dialog->findChild<QTreeView*>();
        ASSERT_NE(view, nullptr);
        QAbstractItemModel* model = view->model();
        EXPECT_TRUE(QTest::qWaitFor([&] { return model->rowCount(view->rootIndex()) == 3; }, 5000));
        QTest::qWait(50);
        openButton = dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Open)->text();
        QHeaderView* header = view->header();
        for (int c = 0; c < header->count(); ++c) {
            if (header->isSectionHidden(c))
                continue;
            headers << model->headerData(c, Qt::Horizontal).toString();
            const int need = std::max(header->sectionSizeHint(c), static_cast<QAbstractItemView*>(view)->sizeHintForColumn(c));
            if (header->sectionSize(c) < need)
                cut << QStringLiteral("%1: %2 < %3").arg(headers.last()).arg(header->sectionSize(c)).arg(need);
        }
        for (int r = 0; r < model->rowCount(view->rootIndex()); ++r) {
            const QModelIndex name = model->index(r, 0, view->rootIndex());
            if (name.data().toString() == QStringLiteral("备份数据库文件夹"))
                folderType = model->index(r, 2, view->rootIndex()).data().toString();
        }
        missing = header->length() - view->viewport()->width();
        dialog->reject();
    });
    ui::FileDialogRequest req;
    req.title = QStringLiteral("恢复数据");
    req.directory = dir.path();
    req.filter = QStringLiteral("*.mdb *.bmp");
    EXPECT_EQ(ui::DesktopServices().fileDialog(req), QString());

    EXPECT_TRUE(openButton.startsWith(QStringLiteral("打开"))) << openButton.toStdString();
    EXPECT_EQ(headers, QStringList({"名称", "体积", "类型", "修改日期"}));
    EXPECT_EQ(folderType, QStringLiteral("文件夹"));
    EXPECT_TRUE(cut.isEmpty()) << cut.join("; ").toStdString();
    EXPECT_LE(missing, 0) << "columns scroll out of sight";
}

// The desktop's waits keep a window's timers running and end as soon as
// input comes.
TEST(DesktopWaits, TimersRunAndInputEndsTheWait)
{
    app();
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    int ticks = 0;
    QTimer window;
    QObject::connect(&window, &QTimer::timeout, [&] { ++ticks; });
    window.start(10);
    ui::DesktopServices desk;

    QElapsedTimer clock;
    clock.start();
    desk.waitWithEvents(100);
    EXPECT_GE(clock.elapsed(), 100);
    EXPECT_GE(ticks, 6);

    ticks = 0;
    QTimer::singleShot(60, [&] { ASSERT_EQ(write(fds[1], "x", 1), 1); });
    clock.restart();
    EXPECT_TRUE(desk.waitReadableWithEvents(fds[0], 2000));
    EXPECT_GE(clock.elapsed(), 50);
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_GE(ticks, 3);
    close(fds[0]);
    close(fds[1]);
}

// A run's log: a line added and painted costs the same with 30,000 lines
// there as with none (a list view lays every line out again each time), and
// a line too long for the box scrolls it sideways.
TEST(LogList, ALineCostsTheSameHoweverManyAreThere)
{
    app();
    ui::LogList log;
    log.resize(400, 150);
    log.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&log));   // else nothing is painted
    int n = 0;
    auto line = [&n] { return QStringLiteral("09:30:00 卡号:%1 类型:0001193046 地址:5 成功").arg(++n, 8, 10, QLatin1Char('0')); };
    // The cheapest of a few batches, each line followed by a repaint as in
    // a run's waits: a busy machine only makes some batches slower.
    auto perLine = [&] {
        qint64 best = -1;
        for (int batch = 0; batch < 5; ++batch) {
            QElapsedTimer t;
            t.start();
            for (int i = 0; i < 100; ++i) {
                log.addItem(line());
                log.repaint();
            }
            best = best < 0 ? t.nsecsElapsed() : std::min(best, t.nsecsElapsed());
        }
        return double(best) / 100;
    };
    perLine();   // fonts and caches warm up
    const double early = perLine();
    for (int i = 0; i < 30000; ++i)
        log.addItem(line());
    QApplication::processEvents();
    const double late = perLine();
    EXPECT_LT(late / early, 3.0) << early / 1e3 << " us a line at first, " << late / 1e3 << " us with 30,000 there";
    EXPECT_EQ(log.count(), n);
    EXPECT_EQ(log.lines().constLast(), QStringLiteral("09:30:00 卡号:%1 类型:0001193046 地址:5 成功").arg(n, 8, 10, QLatin1Char('0')));
    EXPECT_EQ(log.horizontalScrollBar()->maximum(), 0);
    log.addItem(QString(200, QChar(0x5361)));
    QApplication::processEvents();
    EXPECT_GT(log.horizontalScrollBar()->maximum(), 0);
    log.clear();
    QApplication::processEvents();
    EXPECT_EQ(log.count(), 0);
    EXPECT_EQ(log.horizontalScrollBar()->maximum(), 0);
}

// To assistive tools a log is a list of its lines, as the list box was.
TEST(LogList, IsAListOfItsLinesToAssistiveTools)
{
    app();
    ui::LogList log;
    for (const char* line : {"第一行", "second", "third"})
        log.addItem(QString::fromUtf8(line));
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(&log);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->role(), QAccessible::List);
    ASSERT_EQ(list->childCount(), 3);
    QAccessibleInterface* first = list->child(0);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->role(), QAccessible::ListItem);
    EXPECT_EQ(first->text(QAccessible::Name), "第一行");
    EXPECT_EQ(list->child(2)->text(QAccessible::Name), "third");
    EXPECT_EQ(list->indexOfChild(list->child(2)), 2);
    EXPECT_EQ(first->parent(), list);
    EXPECT_EQ(list->child(3), nullptr);
    log.clear();
    EXPECT_EQ(list->childCount(), 0);
    EXPECT_FALSE(first->isValid());
}

// The key-press layer: what a handler is shown, and what still edits.
TEST(KeyPressLayer, HandlerSeesCharactersBackspaceEnterAndEscOnly)
{
    app();
    struct Case {
        const char* what;
        int key;
        QString text;
        Qt::KeyboardModifiers mods;
        int seen;   // 0: the handler never saw it
        QString after;
        int cursor;
    };
    const Case cases[] = {
        {"Delete with 0x7F", Qt::Key_Delete, "\x7f", Qt::NoModifier, 0, "abd", 2},
        {"left", Qt::Key_Left, "", Qt::NoModifier, 0, "abcd", 1},
        {"home", Qt::Key_Home, "", Qt::NoModifier, 0, "abcd", 0},
        {"end", Qt::Key_End, "", Qt::NoModifier, 0, "abcd", 4},
        {"F2", Qt::Key_F2, "", Qt::NoModifier, 0, "abcd", 2},
        {"tab", Qt::Key_Tab, "\t", Qt::NoModifier, 0, "abcd", 2},
        {"shortcut", Qt::Key_Z, "\x1a", Qt::ControlModifier, 0, "abcd", 2},
        {"backspace", Qt::Key_Backspace, "\b", Qt::NoModifier, 8, "acd", 1},
        {"enter", Qt::Key_Return, "\r", Qt::NoModifier, 13, "abcd", 2},
        {"keypad enter", Qt::Key_Enter, "\r", Qt::KeypadModifier, 13, "abcd", 2},
        {"esc", Qt::Key_Escape, "\x1b", Qt::NoModifier, 27, "abcd", 2},
        {"digit", Qt::Key_5, "5", Qt::NoModifier, '5', "ab5cd", 3},
        {"shifted", Qt::Key_Percent, "%", Qt::ShiftModifier, '%', "ab%cd", 3},
    };
    QLineEdit box;
    int seen = 0;
    ui::onKeyPress(&box, [&](int& k) { seen = k; });
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        box.setText("abcd");
        box.setCursorPosition(2);
        seen = 0;
        QKeyEvent e(QEvent::KeyPress, c.key, c.mods, c.text);
        QCoreApplication::sendEvent(&box, &e);
        EXPECT_EQ(seen, c.seen);
        EXPECT_EQ(box.text(), c.after);
        EXPECT_EQ(box.cursorPosition(), c.cursor);
    }
}

TEST(KeyPressLayer, HandlerDropsReplacesBeepsAndSeesComposedText)
{
    app();
    ui::ScriptedUi scripted;
    auto rule = [](int& k) {
        if (k == 'a')
            k = 'A';
        else if ((k < '0' || k > '9') && k != ui::kBackspace) {
            k = 0;
            ui::beep();
        }
    };
    QLineEdit box;
    ui::onKeyPress(&box, rule);
    for (const char* typed : {"1", "x", "a", "2"}) {
        QKeyEvent e(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString::fromLatin1(typed));
        QCoreApplication::sendEvent(&box, &e);
    }
    EXPECT_EQ(box.text(), "1A2");
    EXPECT_EQ(scripted.beeps, 1);

    // An input method's text passes the rule character by character.
    QInputMethodEvent composed;
    composed.setCommitString(QStringLiteral("3y4a"));
    QCoreApplication::sendEvent(&box, &composed);
    EXPECT_EQ(box.text(), "1A234A");
    EXPECT_EQ(scripted.beeps, 2);

    // A combo box takes the keys itself: its line edit stands for it.
    QComboBox combo;
    combo.setEditable(true);
    ui::onKeyPress(combo.lineEdit(), rule);
    for (const char* typed : {"7", "x", "a"}) {
        QKeyEvent e(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString::fromLatin1(typed));
        QCoreApplication::sendEvent(&combo, &e);
    }
    EXPECT_EQ(combo.currentText(), "7A");
    EXPECT_EQ(scripted.beeps, 3);
}

// Enter on the focused button presses it, in a program window as in a
// dialog; a key rule of the button's own that takes Enter keeps it, and
// Enter elsewhere presses nothing.
TEST(WindowKeys, EnterPressesTheFocusedButtonOnly)
{
    app();
    ui::Form window;
    auto* plain = new QPushButton(QStringLiteral("确认"), &window);
    auto* ruled = new QPushButton(QStringLiteral("登录"), &window);
    auto* off = new QPushButton(QStringLiteral("开锁"), &window);
    auto* box = new QLineEdit(&window);
    off->setEnabled(false);
    int ruleSaw = 0;
    ui::onKeyPress(ruled, [&](int& k) {
        if (k == ui::kEnter) {
            k = 0;
            ++ruleSaw;
        }
    });
    QHash<QPushButton*, int> clicks;
    for (QPushButton* b : {plain, ruled, off})
        QObject::connect(b, &QPushButton::clicked, [&clicks, b] { ++clicks[b]; });
    window.show();
    struct Case {
        const char* what;
        QWidget* at;
        int key;
        Qt::KeyboardModifiers mods;
        int plain, ruled, off, rule;
    };
    const Case cases[] = {
        {"Return on a button", plain, Qt::Key_Return, Qt::NoModifier, 1, 0, 0, 0},
        {"keypad Enter on a button", plain, Qt::Key_Enter, Qt::KeypadModifier, 2, 0, 0, 0},
        {"Space still presses", plain, Qt::Key_Space, Qt::NoModifier, 3, 0, 0, 0},
        {"its own rule takes Enter", ruled, Qt::Key_Return, Qt::NoModifier, 3, 0, 0, 1},
        {"a disabled button", off, Qt::Key_Return, Qt::NoModifier, 3, 0, 0, 1},
        {"Enter in a text box", box, Qt::Key_Return, Qt::NoModifier, 3, 0, 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.at->setFocus();
        QTest::keyClick(c.at, Qt::Key(c.key), c.mods);
        EXPECT_EQ(clicks.value(plain), c.plain);
        EXPECT_EQ(clicks.value(ruled), c.ruled);
        EXPECT_EQ(clicks.value(off), c.off);
        EXPECT_EQ(ruleSaw, c.rule);
    }

    // A window that is not one of the program's own windows asks for it.
    QWidget other;
    auto* button = new QPushButton(QStringLiteral("退出"), &other);
    ui::windowKeys(&other);
    int pressed = 0;
    QObject::connect(button, &QPushButton::clicked, [&] { ++pressed; });
    other.show();
    QTest::keyClick(button, Qt::Key_Return);
    EXPECT_EQ(pressed, 1);
}

// Tab leaves a grid that came after its window was shown: added to it, built
// elsewhere and moved in, or in a dialog the window opens.
TEST(WindowKeys, TabLeavesAGridThatCameAfterTheWindowWasShown)
{
    app();
    ui::Form window;
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(new QPushButton(QStringLiteral("查询")));
    window.show();
    const struct {
        const char* what;
        std::function<QTableWidget*()> make;
    } cases[] = {
        {"added to the shown window",
         [&] {
             auto* grid = new QTableWidget(3, 2);
             layout->addWidget(grid);
             return grid;
         }},
        {"shown elsewhere first, then moved in",
         [&] {
             auto* part = new QWidget;
             auto* grid = new QTableWidget(3, 2, part);
             part->show();   // polished as a window of its own
             layout->addWidget(part);
             return grid;
         }},
        {"in a dialog opened later",
         [&] {
             auto* dialog = new QDialog(&window);
             auto* inside = new QVBoxLayout(dialog);
             auto* grid = new QTableWidget(3, 2);
             inside->addWidget(grid);
             inside->addWidget(new QPushButton(QStringLiteral("确定")));
             dialog->show();
             return grid;
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QTableWidget* grid = c.make();
        QApplication::processEvents();   // a child added to a shown layout shows then
        ASSERT_TRUE(grid->isVisible());
        grid->setFocus();
        grid->setCurrentCell(0, 0);
        QTest::keyClick(grid, Qt::Key_Tab);
        EXPECT_NE(grid->window()->focusWidget(), grid);
    }
}
