// The settings file: where it is, the two picture options read and written,
// their defaults without a file, and a file that cannot be written reported.
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
        EXPECT_EQ(SettingsFilePath(), QStringLiteral("/tmp/some where/tamarind/tamarind.conf"));
    }
    for (const QByteArray& unusable : {QByteArray(), QByteArray("relative/dir")}) {
        const ConfigHome home(unusable);
        EXPECT_EQ(SettingsFilePath(), QDir::homePath() + QStringLiteral("/.config/tamarind/tamarind.conf"));
    }
}

TEST(SettingsFile, PictureOptionsRoundTripAndDefaultToOff) {
    QTemporaryDir dir;
    const ConfigHome home(dir.path().toLocal8Bit());
    ASSERT_FALSE(QFile::exists(SettingsFilePath()));
    EXPECT_EQ(ReadPictureOptions(*OpenSettings()), PictureOptions{});
    EXPECT_FALSE(QFile::exists(SettingsFilePath()));  // reading writes nothing

    PictureOptions both;
    both.upright = true;
    both.otherFormats = true;
    {
        const auto settings = OpenSettings();
        WritePictureOptions(*settings, both);
        settings->sync();
        EXPECT_EQ(settings->status(), QSettings::NoError);
    }
    QFile file(SettingsFilePath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(text.contains(QStringLiteral("[View]"))) << qPrintable(text);
    EXPECT_TRUE(text.contains(QStringLiteral("Upright=true")));
    EXPECT_TRUE(text.contains(QStringLiteral("OtherFormats=true")));
    EXPECT_EQ(ReadPictureOptions(*OpenSettings()), both);
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
