#include "Ui.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>
#include <QFileDialog>
#include <QGridLayout>
#include <QHeaderView>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QMimeDatabase>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QSpacerItem>
#include <QTranslator>
#include <QThread>
#include <QTreeView>
#include <QUrl>

#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <unistd.h>
#include <cstdlib>
#include <thread>

namespace ui {

namespace {
DesktopServices& desktop()
{
    static DesktopServices d;
    return d;
}
Services* current = nullptr;
QString& titleStore()
{
    static QString t;
    return t;
}
} // namespace

Services& services() { return current ? *current : desktop(); }
void setServices(Services* s) { current = s; }

int msgBox(const QString& text, int style, const QString& title)
{
    return services().messageBox(text, style, title.isEmpty() ? defaultTitle() : title);
}
namespace {
int depth = 0;
} // namespace

WaitScope::WaitScope() { ++depth; }
WaitScope::~WaitScope() { --depth; }
int waitDepth() { return depth; }

void doEvents()
{
    WaitScope wait;
    services().doEvents();
}
void sleepMs(int ms) { services().sleepMs(ms); }
void waitWithEvents(int ms)
{
    WaitScope wait;
    services().waitWithEvents(ms);
}
bool waitReadableWithEvents(int fd, int ms)
{
    WaitScope wait;
    return services().waitReadableWithEvents(fd, ms);
}

void Services::waitWithEvents(int ms)
{
    constexpr int kSliceMs = 10;
    const int64_t end = monotonicMs() + ms;
    for (;;) {
        doEvents();
        const int64_t left = end - monotonicMs();
        if (left <= 0)
            return;
        sleepMs(int(std::min<int64_t>(left, kSliceMs)));
    }
}
QDateTime now() { return services().now(); }
int64_t monotonicMs() { return services().monotonicMs(); }
void endProgram(int code) { services().endProgram(code); }
void beep() { services().beep(); }
void Services::beep() { QApplication::beep(); }

namespace {
// Qt asks for the file types of its file dialog (文件夹, 驱动器, "%1 文件")
// under a newer context than the Chinese texts were written for: look them
// up under the file dialog's own context too.
class QtTranslator : public QTranslator {
public:
    using QTranslator::QTranslator;
    QString translate(const char* context, const char* source, const char* disambiguation, int n) const override
    {
        QString t = QTranslator::translate(context, source, disambiguation, n);
        if (t.isEmpty() && qstrcmp(context, "QAbstractFileIconProvider") == 0)
            t = QTranslator::translate("QFileDialog", source, disambiguation, n);
        return t;
    }
};
} // namespace

bool installQtTranslations()
{
    auto* app = QCoreApplication::instance();
    if (!app)
        return false;
    static QTranslator* translator = nullptr;
    if (translator)
        return true;
    auto* t = new QtTranslator(app);
    if (!t->load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"), QStringLiteral("_"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete t;
        return false;
    }
    QCoreApplication::installTranslator(t);
    translator = t;
    return true;
}

void setDefaultTitle(const QString& title) { titleStore() = title; }
QString defaultTitle() { return titleStore(); }

int DesktopServices::messageBox(const QString& text, int style, const QString& title)
{
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return mb::OK; // no GUI: nothing can be asked
    QMessageBox box;
    box.setWindowTitle(title);
    // Texts break lines with a carriage return as well; Qt breaks only on line feeds.
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    box.setText(shown);
    switch (style & 0x70) {
    case mb::Critical: box.setIcon(QMessageBox::Critical); break;
    case mb::Question: box.setIcon(QMessageBox::Question); break;
    case mb::Exclamation: box.setIcon(QMessageBox::Warning); break;
    case mb::Information: box.setIcon(QMessageBox::Information); break;
    default: break;
    }
    struct B { QMessageBox::StandardButton b; int answer; };
    QList<B> buttons;
    switch (style & 0x7) {
    case mb::OKCancel: buttons = {{QMessageBox::Ok, mb::OK}, {QMessageBox::Cancel, mb::Cancel}}; break;
    case mb::AbortRetryIgnore: buttons = {{QMessageBox::Abort, mb::Abort}, {QMessageBox::Retry, mb::Retry}, {QMessageBox::Ignore, mb::Ignore}}; break;
    case mb::YesNoCancel: buttons = {{QMessageBox::Yes, mb::Yes}, {QMessageBox::No, mb::No}, {QMessageBox::Cancel, mb::Cancel}}; break;
    case mb::YesNo: buttons = {{QMessageBox::Yes, mb::Yes}, {QMessageBox::No, mb::No}}; break;
    case mb::RetryCancel: buttons = {{QMessageBox::Retry, mb::Retry}, {QMessageBox::Cancel, mb::Cancel}}; break;
    default: buttons = {{QMessageBox::Ok, mb::OK}}; break;
    }
    QMessageBox::StandardButtons set;
    for (const B& b : buttons)
        set |= b.b;
    box.setStandardButtons(set);
    int def = (style >> 8) & 0x3;
    if (def < buttons.size())
        box.setDefaultButton(buttons[def].b);
    // A short text makes a narrow box that cuts its title: keep room for the
    // title and the frame's buttons beside it.
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
        const int room = box.fontMetrics().horizontalAdvance(title) + 140;
        grid->addItem(new QSpacerItem(room, 0, QSizePolicy::Minimum, QSizePolicy::Minimum), grid->rowCount(), 0, 1,
                      grid->columnCount());
    }
    int r = box.exec();
    for (const B& b : buttons)
        if (b.b == r)
            return b.answer;
    // Closed by Esc or the close box: the escape answer.
    return buttons.size() == 1 ? mb::OK : (style & 0x7) == mb::YesNo ? mb::No : mb::Cancel;
}

namespace {
// Qt's own file dialog sizes its columns for short English texts: the
// Chinese type names and sizes would be cut. Each column takes what it
// shows, and the dialog widens (within the screen) so that none scrolls away.
void fitColumns(QFileDialog& dialog)
{
    auto* view = dialog.findChild<QTreeView*>();
    if (!view)
        return; // the desktop's own dialog
    QHeaderView* header = view->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(QHeaderView::ResizeToContents);
    auto widen = [&dialog, view, header] {
        const int missing = header->length() - view->viewport()->width();
        if (missing <= 0)
            return;
        int width = dialog.width() + missing;
        if (QScreen* s = dialog.screen())
            width = std::min(width, s->availableGeometry().width());
        dialog.resize(width, dialog.height());
    };
    QObject::connect(header, &QHeaderView::sectionResized, &dialog,
                     [&dialog, widen] { QTimer::singleShot(0, &dialog, widen); });
}
} // namespace

QString DesktopServices::fileDialog(const FileDialogRequest& req)
{
    QString start = req.directory;
    if (!req.fileName.isEmpty())
        start = start.isEmpty() ? req.fileName : start + QLatin1Char('/') + req.fileName;
    QFileDialog dialog(nullptr, req.title, start, req.filter);
    dialog.setAcceptMode(req.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(req.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    fitColumns(dialog);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles().value(0);
}

void DesktopServices::doEvents()
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void DesktopServices::sleepMs(int ms)
{
    if (ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// Both waits sleep in the event loop itself: a window's timers fire on time
// and nothing wakes without a reason.
void DesktopServices::waitWithEvents(int ms)
{
    if (!QCoreApplication::instance() || ms <= 0) {
        Services::waitWithEvents(ms);
        return;
    }
    QEventLoop loop;
    QTimer done;
    done.setSingleShot(true);
    done.setTimerType(Qt::PreciseTimer);
    QObject::connect(&done, &QTimer::timeout, &loop, &QEventLoop::quit);
    done.start(ms);
    loop.exec();
}

bool DesktopServices::waitReadableWithEvents(int fd, int ms)
{
    if (!QCoreApplication::instance() || fd < 0)
        return false;
    // A copy of the descriptor: an event handler may close the port (and
    // its descriptor) while the loop runs.
    const int own = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (own < 0)
        return false;
    QEventLoop loop;
    QSocketNotifier input(own, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &loop, &QEventLoop::quit);
    QTimer done;
    done.setSingleShot(true);
    done.setTimerType(Qt::PreciseTimer);
    QObject::connect(&done, &QTimer::timeout, &loop, &QEventLoop::quit);
    done.start(std::max(ms, 0));
    loop.exec();
    input.setEnabled(false);
    ::close(own);
    return true;
}

QDateTime DesktopServices::now() { return QDateTime::currentDateTime(); }

int64_t DesktopServices::monotonicMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void DesktopServices::endProgram(int code)
{
    std::fflush(nullptr);
    std::_Exit(code);
}

bool DesktopServices::openWithDesktop(const QString& path)
{
    // The desktop's opener starts (and reports success) even when no program
    // takes the file's type: ask the desktop first whether one does.
    const QString xdgMime = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (xdgMime.isEmpty())
        return false;
    const QString type = QMimeDatabase().mimeTypeForFile(path, QMimeDatabase::MatchExtension).name();
    QProcess query;
    query.start(xdgMime, {QStringLiteral("query"), QStringLiteral("default"), type});
    if (!query.waitForFinished(5000) || query.exitCode() != 0 || query.readAllStandardOutput().trimmed().isEmpty())
        return false;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

} // namespace ui
