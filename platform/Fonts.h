#pragma once
// The program's fonts by their Windows names. Linux has none of them, so each
// name is mapped to an installed face that covers Japanese (the IPA fonts),
// and no text ever falls back to empty boxes.

#include <QFont>
#include <QString>

namespace tamarind {

inline const QString kGothic = QStringLiteral("ＭＳ Ｐゴシック");
inline const QString kMincho = QStringLiteral("ＭＳ Ｐ明朝");
inline const QString kCenturyGothic = QStringLiteral("Century Gothic");

// Registers the substitutions; called once at start-up (idempotent).
void InstallFontSubstitutions();

// A font of `family` at `pixels` pixels, bold when asked.
QFont UiFont(const QString& family, int pixels, bool bold = false);

}  // namespace tamarind
