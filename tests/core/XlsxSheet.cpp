#include "XlsxSheet.h"

#include <QProcess>
#include <QStringList>
#include <QXmlStreamReader>

QByteArray xlsxPart(const QString& xlsx, const QString& part)
{
    QProcess p;
    p.start("unzip", {"-p", xlsx, part});
    p.waitForFinished(10000);
    return p.readAllStandardOutput();
}

QHash<QString, XlsxCell> readXlsxSheet(const QString& xlsx)
{
    QStringList shared;
    QXmlStreamReader ss(xlsxPart(xlsx, "xl/sharedStrings.xml"));
    QString current;
    bool inSi = false;
    while (!ss.atEnd()) {
        ss.readNext();
        if (ss.isStartElement() && ss.name() == QLatin1String("si")) {
            inSi = true;
            current.clear();
        } else if (ss.isStartElement() && ss.name() == QLatin1String("t") && inSi) {
            current += ss.readElementText();
        } else if (ss.isEndElement() && ss.name() == QLatin1String("si")) {
            shared << current;
            inSi = false;
        }
    }
    QHash<QString, XlsxCell> cells;
    QXmlStreamReader x(xlsxPart(xlsx, "xl/worksheets/sheet1.xml"));
    QString ref, type;
    while (!x.atEnd()) {
        x.readNext();
        if (x.isStartElement() && x.name() == QLatin1String("c")) {
            ref = x.attributes().value("r").toString();
            type = x.attributes().value("t").toString();
        } else if (x.isStartElement() && x.name() == QLatin1String("v")) {
            QString v = x.readElementText();
            cells.insert(ref, {type, type == "s" ? shared.value(v.toInt()) : v});
        }
    }
    return cells;
}

