// The settings file: where it is, and a file that cannot be written reported.
// (The picture options kept in it: tests/app/PictureOptionsTest.cpp.)
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "picture/PictureOptions.h"
#include "platform/Settings.h"

using namespace tamarind;

namespace {

// Sets $XDG_CONFIG_HOME (or unsets it for an empty value) for one test.
class ConfigHome {
  public:
    explicit ConfigHome(const QByteArray& value) : old_(qgetenv("XDG_CONFIG_HOME")) {
        had_ = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
        if (value.isEmpty()) qunsetenv("XDG_CONFIG_HOME");
        else qputenv("XDG_CONFIG_HOME", value);
    }
    ~ConfigHome() {
        if (had_) qputenv("XDG_CONFIG_HOME", old_);
        else qunsetenv("XDG_CONFIG_HOME");
    }

  private:
    QByteArray old_;
    bool had_ = false;
};

}  // namespace

TEST(SettingsFile, LivesUnderTheConfigHomeOrDotConfig) {
    {
        const ConfigHome home("/tmp/some where");
        EXPECT_EQ(SettingsPath(), QStringLiteral("/tmp/some where/tamarind/tamarind.conf"));
    }
    for (const QByteArray& unusable : {QByteArray(), QByteArray("relative/dir")}) {
        const ConfigHome home(unusable);
        EXPECT_EQ(SettingsPath(), QDir::homePath() + QStringLiteral("/.config/tamarind/tamarind.conf"));
    }
}

TEST(SettingsFile, AFolderThatCannotBeWrittenIsReported) {
    QTemporaryDir dir;
    // A plain file where the tamarind folder should be.
    QFile blocker(dir.filePath(QStringLiteral("tamarind")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const ConfigHome home(dir.path().toLocal8Bit());
    const auto settings = OpenSettings();
    WritePictureOptions(*settings, PictureOptions{true, true});
    settings->sync();
    EXPECT_EQ(settings->status(), QSettings::AccessError);
}
