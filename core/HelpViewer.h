#pragma once
// The help viewer: shows the program folder's help document, one topic at a
// time, found through an index of keywords with a search box.
//
// The document is UTF-8 text. A line "## title" starts a topic, an optional
// line "关键字: a, b" right under it adds index words, every other line is
// the topic's text (blank lines separate paragraphs). Lines before the first
// topic are the document's title.
#include <QString>
#include <QStringList>
#include <QWidget>

class QLineEdit;
class QListWidget;
class QTextBrowser;
class QLabel;

namespace help {

// Commands a caller passes, as the help engine numbers them.
inline constexpr int kHelpContents = 3;
inline constexpr int kHelpPartialKey = 257;   // keyword search

struct Topic {
    QString title;
    QStringList keywords;
    QString text;
};

struct Document {
    QString title;
    QList<Topic> topics;
};

// Parses the text of a help document.
Document parse(const QString& text);

class HelpViewer : public QWidget {
    Q_OBJECT
public:
    // Opens (or brings back) the one viewer on the given file and runs the
    // command: 257 puts the focus in the keyword search (with the keyword
    // filled in when one is given); any other command shows the first topic.
    static HelpViewer* open(const QString& file, int command, const QString& keyword = QString());
    // The viewer when one is open, else null.
    static HelpViewer* current();

    const QString& fileName() const { return file_; }
    bool loaded() const { return loaded_; }
    // Index entries as listed (topic titles and keywords, sorted).
    QStringList indexEntries() const;
    // Index entries left after the search text.
    QStringList visibleEntries() const;
    // Shows the topic of an index entry; false when no topic has it.
    bool showEntry(const QString& entry);
    QString shownTitle() const { return shownTitle_; }
    void setSearchText(const QString& text);

    ~HelpViewer() override;

private:
    explicit HelpViewer(QWidget* parent = nullptr);
    void load(const QString& file);
    void filter(const QString& text);
    void showTopic(int index);

    QString file_;
    bool loaded_ = false;
    Document doc_;
    QList<QPair<QString, int>> entries_;   // index entry -> topic
    QString shownTitle_;
    QLabel* prompt_ = nullptr;
    QLineEdit* search_ = nullptr;
    QListWidget* index_ = nullptr;
    QTextBrowser* text_ = nullptr;
};

} // namespace help
