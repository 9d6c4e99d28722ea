#pragma once
// The program's settings file, ~/.config/tamarind/tamarind.conf (INI), or
// tamarind/tamarind.conf under $XDG_CONFIG_HOME when that is set. Each part
// of the program keeps its keys in a group of its own.

#include <QSettings>
#include <QString>
#include <memory>

namespace tamarind {

// The path of the settings file.
QString SettingsPath();

// The settings file, read now; changes reach the file at sync() or when
// the object goes.
std::unique_ptr<QSettings> OpenSettings();

}  // namespace tamarind
