#include "TextViewer.h"

#include "runtime/Gbk.h"

#include <QFileInfo>
#include <QFontDatabase>

TextViewer::TextViewer(const QString& path, QWidget* parent)
    : QPlainTextEdit(parent)
    , path_(path)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setReadOnly(true);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setWindowTitle(QFileInfo(path).fileName());
    QString text;
    if (rt::readGbkFile(path, text)) {
        // Lines end in CR LF in the file; the editor wants bare line feeds.
        text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        setPlainText(text);
    }
}
