#include "Ini.h"

#include "runtime/Gbk.h"

#include <QFile>
#include <QSaveFile>

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

// The file's text without its byte-order mark; bom gets the mark (or nothing)
// so that a write can put it back. The mark says UTF-8 (an editor saved the
// file so); without it the file is code page 936.
bool readText(const QString& file, QString& text, QByteArray* bom = nullptr)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    QByteArray raw = f.readAll();
    const bool marked = rt::dropUtf8Bom(raw);
    if (bom)
        *bom = marked ? rt::kUtf8Bom : QByteArray();
    text = marked ? QString::fromUtf8(raw) : rt::fromGbk(raw);
    return true;
}

// A line break inside a name or a value would start new lines of the file:
// new keys or sections nobody typed.
QString oneLine(const QString& s)
{
    QString t = s;
    t.remove(QLatin1Char('\r'));
    t.remove(QLatin1Char('\n'));
    return t;
}

} // namespace

QString readString(const QString& file, const QString& section, const QString& key,
                   const QString& defaultValue, int bufferSize)
{
    const int limit = bufferSize > 0 ? bufferSize - 1 : 0;
    QString result = defaultValue.trimmed();
    QString all;
    if (readText(file, all)) {
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

bool writeString(const QString& file, const QString& sectionText, const QString& keyText, const QString& valueText)
{
    const QString section = oneLine(sectionText), key = oneLine(keyText), value = oneLine(valueText);
    QString all;
    QByteArray bom;
    if (QFile::exists(file) && !readText(file, all, &bom))
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
                // The value is replaced; the key keeps its spelling in the file.
                lines[i].text = k + QLatin1Char('=') + value;
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
    if (bom.isEmpty())
        return rt::writeGbkFile(file, out);
    QSaveFile f(file);
    return f.open(QIODevice::WriteOnly) && f.write(bom + out.toUtf8()) >= 0 && f.commit();
}

} // namespace ini
