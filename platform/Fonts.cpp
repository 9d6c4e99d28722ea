#include "platform/Fonts.h"

#include <QStringList>

namespace tamarind {

void InstallFontSubstitutions() {
    static bool done = false;
    if (done) return;
    done = true;
    QFont::insertSubstitutions(kGothic, {QStringLiteral("IPAPGothic"), QStringLiteral("IPAGothic"),
                                         QStringLiteral("Noto Sans CJK JP")});
    QFont::insertSubstitutions(kMincho, {QStringLiteral("IPAPMincho"), QStringLiteral("IPAMincho"),
                                         QStringLiteral("Noto Serif CJK JP")});
    QFont::insertSubstitutions(kCenturyGothic,
                               {QStringLiteral("URW Gothic"), QStringLiteral("DejaVu Sans"),
                                QStringLiteral("IPAPGothic")});
}

QFont UiFont(const QString& family, int pixels, bool bold) {
    InstallFontSubstitutions();
    QFont font(family);
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

}  // namespace tamarind
