#include "Collection.h"

namespace collection {

QString collectedFileName(int address, const QDateTime& at)
{
    return QString::number(address) + QLatin1Char('_') + at.toString(QStringLiteral("yyyy-MM-dd")) + QLatin1Char('_') +
           at.toString(QStringLiteral("HHmmss")) + QStringLiteral(".txt");
}

} // namespace collection
