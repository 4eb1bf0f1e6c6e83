// Window tests run headless with one QApplication for the whole binary.
#include <gtest/gtest.h>

#include <QApplication>

#include "app_resources.h"
#include "message_box.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(kAppName));
    RegisterFontSubstitutions();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
