#pragma once
// What the benchmarks of the program's windows share: a program folder with
// the shipped database and the library registered in it, the desktop's
// services with every message box answered OK, and a controller's name list
// in dfaka.
#include "Globals.h"

#include "com/Com.h"
#include "db/Db.h"
#include "ui/ProgramFolder.h"
#include "ui/Ui.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringList>

#include <cstdint>
#include <cstdio>
#include <dlfcn.h>

namespace bench {

// The desktop's services, with every message box answered OK and recorded.
class Confirming : public ui::DesktopServices {
public:
    QStringList boxes;
    int messageBox(const QString& text, int, const QString&) override
    {
        boxes << text;
        return ui::mb::OK;
    }
};

// The program folder, its database open as the program's two handles; what
// went wrong is said on standard error.
inline bool prepareProgramFolder(const QString& folder)
{
    qputenv("DOORSUITE_REGISTRY_DIR", QFile::encodeName(folder + QStringLiteral("/registry")));
    const QString bin = QCoreApplication::applicationDirPath() + QLatin1Char('/');
    for (const char* f : {"door.mdb", "Public.Sys", "libVantrel.so"})
        if (!QFile::copy(bin + QLatin1String(f), folder + QLatin1Char('/') + QLatin1String(f)))
            return std::fprintf(stderr, "cannot copy %s into the program folder\n", f), false;
    QFile::setPermissions(folder + QStringLiteral("/door.mdb"), QFile::ReadOwner | QFile::WriteOwner);
    void* h = dlopen(QFile::encodeName(folder + QStringLiteral("/libVantrel.so")).constData(), RTLD_NOW);
    if (!h)
        return std::fprintf(stderr, "%s\n", dlerror()), false;
    auto reg = reinterpret_cast<com::DllRegisterServerFn>(dlsym(h, "DllRegisterServer"));
    if (!reg || reg() != 0)
        return std::fprintf(stderr, "the controller library does not register\n"), false;
    ui::setProgramFolder(folder);
    mdl::DaoDatabase = db::Database::open(folder + QStringLiteral("/door.mdb"));
    mdl::AdoConnection.setProvider(db::Connection::kProvider);
    mdl::AdoConnection.setConnectionString(QStringLiteral("Data Source=") + folder + QStringLiteral("/door.mdb"));
    mdl::AdoConnection.open();
    return true;
}

// The physical number of card i of the lists.
inline uint32_t physical(int i) { return uint32_t(1000000 + i); }

// Doors 1..controllers (lock 1 each), and cards 0..cards-1 issued at address.
inline void seedCards(int controllers, int cards, int address)
{
    db::Database& db = mdl::DaoDatabase;
    db.execute(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < ?) "
                              "INSERT INTO doors (地址, namedr1, dtype1, delay3) SELECT i, '前门', '玻', 0 FROM n"),
               {controllers});
    db.execute(QStringLiteral(
                   "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i + 1 < ?) "
                   "INSERT INTO dfaka (地址, 卡号, 物理卡号, 姓名, 部门, 周控制, 锁1允许, 锁2允许, 时间控制, 截止日期控制, "
                   "周标志, 截止日期, 锁1时间段标志, 锁2时间段标志, 发卡日期, 密码标志) "
                   "SELECT ?, printf('%08d', i + 1), printf('%010d', ? + i), '员工' || i, '生产部', 0, 1, 1, 0, 0, "
                   "'1111111', '991231', '0000000000000001', '0000000000000001', '2026-01-05', 0 FROM n"),
               {cards, address, physical(0)});
}

} // namespace bench
