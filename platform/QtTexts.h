#pragma once
// The texts Qt draws itself (the buttons of its file, input and printer
// dialogs, their questions and labels) come from Qt's own catalogues. The
// program speaks Japanese whatever the locale, so Qt's Japanese catalogue is
// loaded by name, never chosen from the user's language settings.

class QCoreApplication;

namespace tamarind {

// Installs Qt's Japanese catalogue ("qtbase_ja" from Qt's translations
// folder) on `app`, once. False when the catalogue is not installed (Debian's
// qt6-translations-l10n); Qt's dialogs then stay in English.
bool InstallQtJapaneseTexts(QCoreApplication* app);

}  // namespace tamarind
