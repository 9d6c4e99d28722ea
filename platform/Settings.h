#pragma once
// The program's settings file: ~/.config/tamarind/tamarind.conf in INI
// format, or the same below $XDG_CONFIG_HOME when that is set. Every part of
// the program that keeps something between runs keeps it here, each under a
// group of its own.

#include <QSettings>
#include <QString>
#include <memory>

namespace tamarind {

// Where the settings file is.
QString SettingsFilePath();

// The settings file, opened afresh (it need not exist; nothing is written
// until a value is set). Call sync() and look at status() after writing:
// a file that could not be written shows as QSettings::AccessError.
std::unique_ptr<QSettings> OpenSettings();

}  // namespace tamarind
