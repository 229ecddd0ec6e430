#include "Gbk.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

namespace rt {

QByteArray toGbk(const QString& s)
{
    QStringEncoder enc("GBK");
    return enc.encode(s);
}

QString fromGbk(const QByteArray& bytes)
{
    QStringDecoder dec("GBK");
    return dec.decode(bytes);
}

QByteArray toGbkLimited(const QString& s, int maxBytes)
{
    QByteArray out;
    if (maxBytes <= 0)
        return out;
    // Encode one code point at a time so a cut never splits a character.
    for (int i = 0; i < s.size();) {
        int len = (s[i].isHighSurrogate() && i + 1 < s.size()) ? 2 : 1;
        QByteArray piece = toGbk(s.mid(i, len));
        if (out.size() + piece.size() > maxBytes)
            break;
        out += piece;
        i += len;
    }
    return out;
}

bool dropUtf8Bom(QByteArray& bytes)
{
    if (!bytes.startsWith(kUtf8Bom))
        return false;
    bytes.remove(0, kUtf8Bom.size());
    return true;
}

bool readGbkFile(const QString& path, QString& text)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    QByteArray raw = f.readAll();
    dropUtf8Bom(raw);
    text = fromGbk(raw);
    return true;
}

bool writeGbkFile(const QString& path, const QString& text)
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    if (f.write(toGbk(text)) < 0)
        return false;
    return f.commit();
}

bool readGbkLines(const QString& path, QStringList& lines)
{
    QString text;
    if (!readGbkFile(path, text))
        return false;
    lines.clear();
    QString cur;
    for (int i = 0; i < text.size(); ++i) {
        QChar c = text[i];
        if (c == u'\r' || c == u'\n') {
            lines.append(cur);
            cur.clear();
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
        } else {
            cur.append(c);
        }
    }
    if (!cur.isEmpty())
        lines.append(cur);
    return true;
}

} // namespace rt
