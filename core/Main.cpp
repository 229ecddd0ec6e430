#include "Globals.h"
#include "Module2.h"
#include "runtime/RuntimeError.h"
#include "ui/Ui.h"

#include <QDir>

namespace mdl {

bool Main()
{
    ui::setDefaultTitle(kProgramTitle);
    try {
        if (!Module2::OpenDatabaseConnection()) {
            ui::msgBox(QStringLiteral("数据库连接出错！"), ui::mb::OKOnly);
            return false;
        }
        // A database that cannot be written would take every change and
        // every collection without storing it: the program does not start.
        if (!AdoConnection.canWrite()) {
            const QString path = QDir::toNativeSeparators(AdoConnection.databasePath());
            AdoConnection.close();
            ui::msgBox(QStringLiteral("数据库文件“%1”不能写入：文件、它所在的文件夹或磁盘是只读的。"
                                      "程序无法保存数据，请检查它们的权限后再启动！")
                           .arg(path),
                       ui::mb::OKOnly);
            return false;
        }
        return true;
    } catch (const rt::Error& e) {
        ui::msgBox(e.text(), ui::mb::OKOnly, QStringLiteral("错误提示"));
        return false;
    }
}

} // namespace mdl
