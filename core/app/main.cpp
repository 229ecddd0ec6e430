// Ostrela: the start procedure opens the database, then the login window
// takes over; the program ends only when a window ends it.
#include "Globals.h"
#include "LoginWindow.h"
#include "runtime/RuntimeError.h"
#include "ui/Form.h"
#include "ui/Ui.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    // Between the login and the main window no window is visible; closing
    // windows never ends the program by itself.
    QApplication::setQuitOnLastWindowClosed(false);
    ui::installQtTranslations();

    // A start that fails ends with a non-zero status, so a script can tell.
    if (!mdl::Main())
        return 1;
    try {
        ui::forms::load<login>()->showModeless();
    } catch (const rt::Error& e) {
        ui::msgBox(e.text(), ui::mb::OKOnly, QStringLiteral("错误提示"));
        return 1;
    }
    return app.exec();
}
