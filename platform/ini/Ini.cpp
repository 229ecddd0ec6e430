#include "Ini.h"

#include "runtime/Gbk.h"

#include <QFile>

namespace ini {

namespace {

// One physical line of the file with its own line end, so that a write can
// give back every untouched line exactly as it was.
struct Line {
    QString text;
    QString end;
};

QList<Line> splitLines(const QString& all)
{
    QList<Line> lines;
    int start = 0;
    const int n = all.size();
    while (start < n) {
        int i = start;
        while (i < n && all[i] != QLatin1Char('\r') && all[i] != QLatin1Char('\n'))
            ++i;
        Line l;
        l.text = all.mid(start, i - start);
        if (i < n) {
            if (all[i] == QLatin1Char('\r') && i + 1 < n && all[i + 1] == QLatin1Char('\n')) {
                l.end = QStringLiteral("\r\n");
                i += 2;
            } else {
                l.end = all.mid(i, 1);
                ++i;
            }
        }
        lines.append(l);
        start = i;
    }
    return lines;
}

// "[name]" -> name (trimmed); a null string for any other line.
QString sectionName(const QString& line)
{
    QString t = line.trimmed();
    if (!t.startsWith(QLatin1Char('[')))
        return QString();
    int close = t.indexOf(QLatin1Char(']'));
    if (close < 0)
        return QString();
    QString name = t.mid(1, close - 1).trimmed();
    return name.isNull() ? QStringLiteral("") : name;
}

bool splitKey(const QString& line, QString& key, QString& value)
{
    int eq = line.indexOf(QLatin1Char('='));
    if (eq < 0)
        return false;
    key = line.left(eq).trimmed();
    value = line.mid(eq + 1);
    return true;
}

bool sameName(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

QString unquote(QString v)
{
    v = v.trimmed();
    if (v.size() >= 2) {
        QChar q = v.front();
        if ((q == QLatin1Char('"') || q == QLatin1Char('\'')) && v.back() == q)
            v = v.mid(1, v.size() - 2);
    }
    return v;
}

} // namespace

QString readString(const QString& file, const QString& section, const QString& key,
                   const QString& defaultValue, int bufferSize)
{
    const int limit = bufferSize > 0 ? bufferSize - 1 : 0;
    QString result = defaultValue.trimmed();
    QString all;
    if (rt::readGbkFile(file, all)) {
        bool inSection = false;
        for (const Line& l : splitLines(all)) {
            QString name = sectionName(l.text);
            if (!name.isNull()) {
                if (inSection)
                    break; // only the first section of that name counts
                inSection = sameName(name, section.trimmed());
                continue;
            }
            QString k, v;
            if (inSection && splitKey(l.text, k, v) && sameName(k, key.trimmed())) {
                result = unquote(v);
                break;
            }
        }
    }
    return result.left(limit);
}

bool writeString(const QString& file, const QString& section, const QString& key, const QString& value)
{
    QString all;
    if (QFile::exists(file) && !rt::readGbkFile(file, all))
        return false;
    QList<Line> lines = splitLines(all);
    const QString crlf = QStringLiteral("\r\n");
    const QString entry = key.trimmed() + QLatin1Char('=') + value;

    int sectionAt = -1;
    for (int i = 0; i < lines.size(); ++i) {
        QString name = sectionName(lines[i].text);
        if (!name.isNull() && sameName(name, section.trimmed())) {
            sectionAt = i;
            break;
        }
    }
    if (sectionAt < 0) {
        if (!lines.isEmpty() && lines.last().end.isEmpty())
            lines.last().end = crlf;
        lines.append({QLatin1Char('[') + section.trimmed() + QLatin1Char(']'), crlf});
        lines.append({entry, crlf});
    } else {
        int lastContent = sectionAt; // the new key goes after the section's last non-blank line
        int i = sectionAt + 1;
        bool replaced = false;
        for (; i < lines.size(); ++i) {
            if (!sectionName(lines[i].text).isNull())
                break;
            QString k, v;
            if (splitKey(lines[i].text, k, v) && sameName(k, key.trimmed())) {
                lines[i].text = entry;
                replaced = true;
                break;
            }
            if (!lines[i].text.trimmed().isEmpty())
                lastContent = i;
        }
        if (!replaced) {
            if (lines[lastContent].end.isEmpty())
                lines[lastContent].end = crlf;
            lines.insert(lastContent + 1, {entry, crlf});
        }
    }
    QString out;
    for (const Line& l : lines)
        out += l.text + l.end;
    return rt::writeGbkFile(file, out);
}

} // namespace ini
