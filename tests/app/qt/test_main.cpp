// Window tests run headless with one QApplication for the whole binary, and settings of their own.
#include <gtest/gtest.h>

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>

#include "app_resources.h"
#include "message_box.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(kAppName));
    // The windows' settings go to a directory of the test's own, not to the user's.
    const QTemporaryDir settingsDir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
    RegisterFontSubstitutions();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
