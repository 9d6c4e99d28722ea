// main() of the widget tests: a QApplication on the offscreen platform with a
// 1024 x 768 screen, unless the environment asks for another platform (the
// Xvfb runs set QT_QPA_PLATFORM=xcb).
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "OffscreenScreen.h"
#include "platform/Fonts.h"

int main(int argc, char** argv) {
    QTemporaryDir runtime;
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    }
    // Thumbnails the tests' loads write go to a cache of this run's own,
    // never the user's.
    qputenv("XDG_CACHE_HOME", runtime.filePath(QStringLiteral("cache")).toLocal8Bit());
    // The program's settings file of this run only: no user's settings
    // change what the tests see.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (platform.isEmpty() || platform == "offscreen")
        tamarind::test::UseOffscreenScreen(runtime.path());
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    tamarind::InstallFontSubstitutions();
    return RUN_ALL_TESTS();
}
