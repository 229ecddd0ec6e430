#include "ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>

namespace ui {

namespace {
QString& overrideStore()
{
    static QString f;
    return f;
}
} // namespace

QString programFolder()
{
    QString f = overrideStore();
    if (f.isEmpty())
        f = QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QDir::currentPath();
    if (!f.endsWith(QLatin1Char('/')))
        f += QLatin1Char('/');
    return f;
}

void setProgramFolder(const QString& folder) { overrideStore() = folder; }

} // namespace ui
