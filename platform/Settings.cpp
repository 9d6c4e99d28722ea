#include "platform/Settings.h"

#include <QDir>

namespace tamarind {

QString SettingsPath() {
    // The XDG base directory rule: an absolute $XDG_CONFIG_HOME, else ~/.config.
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir(QDir::homePath()).filePath(QStringLiteral(".config"));
    return QDir(base).filePath(QStringLiteral("tamarind/tamarind.conf"));
}

std::unique_ptr<QSettings> OpenSettings() {
    return std::make_unique<QSettings>(SettingsPath(), QSettings::IniFormat);
}

}  // namespace tamarind
