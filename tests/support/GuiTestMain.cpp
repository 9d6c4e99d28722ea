// main() of the widget tests: a QApplication on the offscreen platform unless
// the environment asks for another one (Xvfb runs set QT_QPA_PLATFORM=xcb).
#include <gtest/gtest.h>

#include <QApplication>

#include "platform/Fonts.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    tamarind::InstallFontSubstitutions();
    return RUN_ALL_TESTS();
}
