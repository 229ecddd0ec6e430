#include "HelpViewer.h"

#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace help {

namespace {
QPointer<HelpViewer>& instance()
{
    static QPointer<HelpViewer> v;
    return v;
}

bool keywordLine(const QString& line, QString& rest)
{
    static const QRegularExpression re(QStringLiteral("^\\s*关键字\\s*[:：]\\s*(.*)$"));
    auto m = re.match(line);
    if (!m.hasMatch())
        return false;
    rest = m.captured(1);
    return true;
}
} // namespace

Document parse(const QString& text)
{
    Document doc;
    QStringList titleLines;
    Topic* cur = nullptr;
    bool justStarted = false;
    QStringList body;
    auto flush = [&] {
        if (cur)
            cur->text = body.join(QLatin1Char('\n')).trimmed();
        body.clear();
    };
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (QString line : lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.startsWith(QLatin1String("## "))) {
            flush();
            doc.topics.append(Topic{line.mid(3).trimmed(), {}, {}});
            cur = &doc.topics.last();
            justStarted = true;
            continue;
        }
        QString rest;
        if (cur && justStarted && keywordLine(line, rest)) {
            for (QString k : rest.split(QRegularExpression(QStringLiteral("[,，、;；]")))) {
                k = k.trimmed();
                if (!k.isEmpty())
                    cur->keywords.append(k);
            }
            justStarted = false;
            continue;
        }
        justStarted = false;
        if (cur)
            body.append(line);
        else if (!line.trimmed().isEmpty())
            titleLines.append(line.trimmed());
    }
    flush();
    doc.title = titleLines.join(QLatin1Char(' '));
    return doc;
}

HelpViewer::HelpViewer(QWidget* parent)
    : QWidget(parent, Qt::Window)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("HelpViewer"));
    resize(760, 520);

    prompt_ = new QLabel(QStringLiteral("请键入要查找的关键字:"), this);
    search_ = new QLineEdit(this);
    search_->setObjectName(QStringLiteral("search"));
    index_ = new QListWidget(this);
    index_->setObjectName(QStringLiteral("index"));
    auto* showBtn = new QPushButton(QStringLiteral("显示(&D)"), this);
    text_ = new QTextBrowser(this);
    text_->setObjectName(QStringLiteral("text"));

    auto* left = new QVBoxLayout;
    left->addWidget(prompt_);
    left->addWidget(search_);
    left->addWidget(index_, 1);
    left->addWidget(showBtn);
    auto* lay = new QHBoxLayout(this);
    lay->addLayout(left, 1);
    lay->addWidget(text_, 2);

    connect(search_, &QLineEdit::textChanged, this, &HelpViewer::filter);
    connect(search_, &QLineEdit::returnPressed, this, [this] {
        for (int i = 0; i < index_->count(); ++i)
            if (!index_->item(i)->isHidden()) {
                showEntry(index_->item(i)->text());
                return;
            }
    });
    auto showCurrent = [this] {
        if (QListWidgetItem* it = index_->currentItem())
            showEntry(it->text());
    };
    connect(index_, &QListWidget::itemActivated, this, showCurrent);
    connect(showBtn, &QPushButton::clicked, this, showCurrent);
}

HelpViewer::~HelpViewer() = default;

HelpViewer* HelpViewer::current() { return instance().data(); }

HelpViewer* HelpViewer::open(const QString& file, int command, const QString& keyword)
{
    HelpViewer* v = instance().data();
    if (!v) {
        v = new HelpViewer;
        instance() = v;
        if (QScreen* s = QGuiApplication::primaryScreen()) {
            const QRect sr = s->availableGeometry();
            v->move(sr.x() + (sr.width() - v->width()) / 2, sr.y() + (sr.height() - v->height()) / 2);
        }
    }
    if (v->file_ != file || !v->loaded_)
        v->load(file);
    v->show();
    v->raise();
    v->activateWindow();
    // Something to read beside the index from the start.
    if (v->shownTitle_.isEmpty() && !v->doc_.topics.isEmpty())
        v->showTopic(0);
    if (command == kHelpPartialKey) {
        v->search_->setText(keyword);
        v->search_->selectAll();
        v->search_->setFocus();
    } else if (!v->doc_.topics.isEmpty()) {
        v->showTopic(0);
    }
    return v;
}

void HelpViewer::load(const QString& file)
{
    file_ = file;
    doc_ = Document{};
    entries_.clear();
    index_->clear();
    shownTitle_.clear();
    QFile f(file);
    loaded_ = f.open(QIODevice::ReadOnly);
    if (!loaded_) {
        setWindowTitle(QStringLiteral("帮助"));
        text_->setPlainText(QStringLiteral("无法打开帮助文件 %1。").arg(file));
        return;
    }
    doc_ = parse(QString::fromUtf8(f.readAll()));
    setWindowTitle(doc_.title.isEmpty() ? QStringLiteral("帮助") : doc_.title);
    for (int i = 0; i < doc_.topics.size(); ++i) {
        entries_.append({doc_.topics[i].title, i});
        for (const QString& k : doc_.topics[i].keywords)
            entries_.append({k, i});
    }
    std::stable_sort(entries_.begin(), entries_.end(),
                     [](const auto& a, const auto& b) { return a.first.localeAwareCompare(b.first) < 0; });
    for (const auto& e : entries_)
        index_->addItem(e.first);
    text_->clear();
}

QStringList HelpViewer::indexEntries() const
{
    QStringList out;
    for (const auto& e : entries_)
        out.append(e.first);
    return out;
}

QStringList HelpViewer::visibleEntries() const
{
    QStringList out;
    for (int i = 0; i < index_->count(); ++i)
        if (!index_->item(i)->isHidden())
            out.append(index_->item(i)->text());
    return out;
}

void HelpViewer::setSearchText(const QString& text) { search_->setText(text); }

void HelpViewer::filter(const QString& text)
{
    const QString t = text.trimmed();
    bool first = true;
    for (int i = 0; i < index_->count(); ++i) {
        QListWidgetItem* it = index_->item(i);
        const bool match = t.isEmpty() || it->text().contains(t, Qt::CaseInsensitive);
        it->setHidden(!match);
        if (match && first) {
            index_->setCurrentItem(it);
            first = false;
        }
    }
}

bool HelpViewer::showEntry(const QString& entry)
{
    for (const auto& e : entries_) {
        if (e.first == entry) {
            showTopic(e.second);
            return true;
        }
    }
    return false;
}

void HelpViewer::showTopic(int i)
{
    if (i < 0 || i >= doc_.topics.size())
        return;
    const Topic& t = doc_.topics[i];
    shownTitle_ = t.title;
    QString html = QStringLiteral("<h3>%1</h3>").arg(t.title.toHtmlEscaped());
    for (const QString& para : t.text.split(QRegularExpression(QStringLiteral("\\n\\s*\\n")), Qt::SkipEmptyParts))
        html += QStringLiteral("<p>%1</p>").arg(para.trimmed().toHtmlEscaped().replace(QLatin1Char('\n'), QStringLiteral("<br>")));
    text_->setHtml(html);
}

} // namespace help
