// Demo: the bench program that drives every command of the controller
// library against one controller.
#include "FrmDemo.h"
#include "ModDemo.h"
#include "ui/Ui.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Demo"));
    ui::setDefaultTitle(QStringLiteral("Demo"));
    ui::installQtTranslations();
    ModDemo::setProgramFolder(QApplication::applicationDirPath());

    FrmDemo frm;
    if (!frm.load())
        return 1;
    frm.show();
    return app.exec();
}
