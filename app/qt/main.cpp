#include <QApplication>

#include "app_resources.h"
#include "message_box.h"
#include "pelorin_app.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(kAppName));
    QApplication::setWindowIcon(AppIcon());
    // Wayland matches the window to its menu entry by this name, not by the program's.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.pelorin.Pelorin"));
    RegisterFontSubstitutions();

    CPelorinApp app;
    if (app.InitInstance()) {
        application.exec();
    }
    return app.ExitInstance();
}
