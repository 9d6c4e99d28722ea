// The real program on a Wayland display: a headless weston of the test's own
// with one 1024 x 768 output. The program's protocol traffic (WAYLAND_DEBUG)
// shows what the compositor is told: the application id, and the window's
// size, which is the full mode's as under X11.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include "Program.h"

namespace {

class Wayland : public ::testing::Test {
  protected:
    void SetUp() override {
        if (QStandardPaths::findExecutable(QStringLiteral("weston")).isEmpty())
            GTEST_SKIP() << "weston is not installed (tools/deps.sh installs it)";
        QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        compositor.setProcessEnvironment(env);
        compositor.setProcessChannelMode(QProcess::MergedChannels);
        compositor.start(QStringLiteral("weston"),
                         {QStringLiteral("--backend=headless-backend.so"),
                          QStringLiteral("--socket=") + kSocket, QStringLiteral("--width=1024"),
                          QStringLiteral("--height=768"), QStringLiteral("--idle-time=0")});
        ASSERT_TRUE(compositor.waitForStarted(5000));
        ASSERT_TRUE(WaitFor([&] { return QFileInfo::exists(runtime.filePath(kSocket)); }))
            << compositor.readAll().toStdString();
    }
    void TearDown() override {
        for (QProcess* p : {&program, &compositor}) {
            if (p->state() == QProcess::NotRunning) continue;
            p->terminate();
            if (!p->waitForFinished(3000)) {
                p->kill();
                p->waitForFinished(3000);
            }
        }
    }
    static bool WaitFor(const std::function<bool()>& done, int ms = 10000) {
        QElapsedTimer clock;
        clock.start();
        while (!done()) {
            if (clock.elapsed() > ms) return false;
            QThread::msleep(20);
        }
        return true;
    }
    // Starts the program on the compositor; its protocol log goes to `log`.
    void Launch() {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
        env.insert(QStringLiteral("WAYLAND_DISPLAY"), kSocket);
        env.insert(QStringLiteral("WAYLAND_DEBUG"), QStringLiteral("client"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_CACHE_HOME"), home.filePath(QStringLiteral("cache")));
        program.setProcessEnvironment(env);
        program.setWorkingDirectory(home.path());
        program.start(tamarind::test::TamarindProgram(), {});
        ASSERT_TRUE(program.waitForStarted(5000));
    }
    // Reads the protocol log until `pattern` matched, or until its latest
    // match is `wanted` when one is given; gives the latest match's first
    // capture.
    QString WaitForRequest(const QRegularExpression& pattern, const QString& wanted = {}) {
        QString found;
        WaitFor([&] {
            program.waitForReadyRead(50);
            log += QString::fromUtf8(program.readAllStandardError());
            QRegularExpressionMatchIterator it = pattern.globalMatch(log);
            while (it.hasNext()) found = it.next().captured(1);
            if (program.state() == QProcess::NotRunning) return true;
            return wanted.isEmpty() ? !found.isEmpty() : found == wanted;
        });
        return found;
    }

    const QString kSocket = QStringLiteral("tamarind-test");
    QTemporaryDir runtime, home;
    QProcess compositor, program;
    QString log;
};

}  // namespace

TEST_F(Wayland, StartsNativelyAtTheFullModeSizeNamedAsItsDesktopEntry) {
    Launch();
    // The size the program gives its window, its decoration included (it may
    // be sized again once the decoration's size is known).
    const QString full = QStringLiteral("0, 0, 1024, 743");
    const QString geometry = WaitForRequest(
        QRegularExpression(
            QStringLiteral(R"(xdg_surface@\d+\.set_window_geometry\((\d+, \d+, \d+, \d+)\))")),
        full);
    EXPECT_EQ(geometry, full) << log.right(3000).toStdString();
    // The application id is the desktop entry's name, so that the desktop
    // finds the entry's icon and name for the window.
    const QString id = WaitForRequest(
        QRegularExpression(QStringLiteral(R"re(xdg_toplevel@\d+\.set_app_id\("([^"]*)"\))re")));
    EXPECT_EQ(id + QStringLiteral(".desktop.in"),
              QFileInfo(QStringLiteral(TAMARIND_SOURCE_DIR "/data/tamarind.desktop.in")).fileName());
    // The window's contents reach the compositor, and Qt had nothing to warn
    // about (such as a position it cannot set).
    EXPECT_FALSE(WaitForRequest(QRegularExpression(QStringLiteral(R"((wl_surface@\d+)\.attach\(wl_buffer)")))
                     .isEmpty());
    EXPECT_EQ(program.state(), QProcess::Running);
    const QStringList warnings =
        log.split(u'\n').filter(QRegularExpression(QStringLiteral(R"(^(?!\[)\S)")));
    EXPECT_TRUE(warnings.isEmpty()) << warnings.join(u'\n').toStdString();
}
