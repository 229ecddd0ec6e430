#include "Globals.h"
#include "Module2.h"
#include "runtime/RuntimeError.h"
#include "ui/Ui.h"

namespace mdl {

bool Main()
{
    ui::setDefaultTitle(kProgramTitle);
    try {
        if (!Module2::OpenDatabaseConnection()) {
            ui::msgBox(QStringLiteral("数据库连接出错！"), ui::mb::OKOnly);
            return false;
        }
        return true;
    } catch (const rt::Error& e) {
        ui::msgBox(e.text(), ui::mb::OKOnly, QStringLiteral("错误提示"));
        return false;
    }
}

} // namespace mdl
