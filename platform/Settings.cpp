#include "platform/Settings.h"

#include <QDir>

namespace tamarind {

QString SettingsFilePath() {
    // An empty or relative $XDG_CONFIG_HOME is ignored, as the base
    // directory rules ask.
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base)) base = QDir::homePath() + QStringLiteral("/.config");
    return QDir::cleanPath(base) + QStringLiteral("/tamarind/tamarind.conf");
}

std::unique_ptr<QSettings> OpenSettings() {
    return std::make_unique<QSettings>(SettingsFilePath(), QSettings::IniFormat);
}

}  // namespace tamarind
