#include "RtfWriter.h"

#include <QColor>
#include <QList>
#include <QSaveFile>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextDocument>
#include <QTextFragment>

namespace rtf {

namespace {

void appendText(QByteArray& out, const QString& text)
{
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == u'\\' || u == u'{' || u == u'}') {
            out += '\\';
            out += char(u);
        } else if (u == u'\t') {
            out += "\\tab ";
        } else if (u == 0x2028 || u == u'\n' || u == u'\r') {
            out += "\\line ";
        } else if (u >= 0x20 && u < 0x80) {
            out += char(u);
        } else if (u >= 0x80) {
            // Signed 16-bit value, one fallback character; surrogates go one by one.
            out += "\\u" + QByteArray::number(int(int16_t(u))) + '?';
        }
    }
}

} // namespace

QByteArray fromDocument(const QTextDocument& doc)
{
    QList<QColor> colours;
    auto colourIndex = [&colours](const QTextCharFormat& f) {
        if (!f.hasProperty(QTextFormat::ForegroundBrush))
            return 0;
        const QColor c = f.foreground().color();
        int i = int(colours.indexOf(c));
        if (i < 0) {
            colours.append(c);
            i = int(colours.size()) - 1;
        }
        return i + 1;
    };

    QByteArray body;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment frag = it.fragment();
            if (!frag.isValid())
                continue;
            const QTextCharFormat f = frag.charFormat();
            // \plain resets the font and its size too: 9 points in every run.
            body += "{\\plain\\f0\\fs18";
            if (f.fontWeight() >= QFont::Bold)
                body += "\\b";
            if (f.fontItalic())
                body += "\\i";
            if (f.fontUnderline())
                body += "\\ul";
            if (const int c = colourIndex(f))
                body += "\\cf" + QByteArray::number(c);
            body += ' ';
            appendText(body, frag.text());
            body += '}';
        }
        if (b.next().isValid())
            body += "\\par\r\n";
    }

    QByteArray out = "{\\rtf1\\ansi\\ansicpg936\\deff0\\uc1{\\fonttbl{\\f0\\fnil\\fcharset134 SimSun;}}";
    if (!colours.isEmpty()) {
        out += "{\\colortbl ;";
        for (const QColor& c : colours)
            out += "\\red" + QByteArray::number(c.red()) + "\\green" + QByteArray::number(c.green()) + "\\blue"
                + QByteArray::number(c.blue()) + ';';
        out += '}';
    }
    out += "\r\n\\pard\\f0\\fs18 ";
    out += body;
    out += "\\par\r\n}\r\n";
    return out;
}

bool save(const QTextDocument& doc, const QString& path, QString* error)
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(fromDocument(doc)) < 0 || !f.commit()) {
        if (error)
            *error = f.errorString();
        return false;
    }
    return true;
}

} // namespace rtf
