#include "AppForms.h"

#include <QHash>

namespace appforms {

namespace {
QHash<QString, Opener>& table()
{
    static QHash<QString, Opener> t;
    return t;
}
} // namespace

void registerWindow(const QString& windowClass, Opener open) { table().insert(windowClass, std::move(open)); }
void unregisterWindow(const QString& windowClass) { table().remove(windowClass); }
bool exists(const QString& windowClass) { return table().contains(windowClass); }

void open(const QString& windowClass)
{
    auto it = table().constFind(windowClass);
    if (it == table().constEnd())
        return;
    Opener o = it.value(); // the table may change while the window is open
    o();
}

QStringList registeredWindows()
{
    QStringList l = table().keys();
    l.sort();
    return l;
}

} // namespace appforms
