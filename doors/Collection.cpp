#include "Collection.h"

#include "Globals.h"

namespace collection {

QString collectedFileName(int address, const QDateTime& at)
{
    return QString::number(address) + QLatin1Char('_') + at.toString(QStringLiteral("yyyy-MM-dd")) + QLatin1Char('_') +
           at.toString(QStringLiteral("HHmmss")) + QStringLiteral(".txt");
}

int16_t loadGatherWaitTime()
{
    db::Recordset rs = mdl::AdoConnection.execute(QStringLiteral("SELECT zhi FROM system WHERE name=?"),
                                                  {QStringLiteral("采集等待时间")});
    if (rs.eof())
        return 5;
    const double v = rs.field(QStringLiteral("zhi")).toDouble();
    return v > 0 ? int16_t(v) : int16_t(5);
}

} // namespace collection
