#include "picture/metafile/TextDecoding.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QHash>
#include <QSet>
#include <QStringDecoder>
#include <array>
#include <mutex>
#include <string_view>

#include "platform/Fonts.h"

namespace tamarind::metafile {
namespace {

constexpr uint8_t kSymbolCharset = 2;

// The Symbol font's codes 0x20 to 0xFF as Unicode characters (0 where the
// font has no glyph).
// clang-format off
constexpr std::array<char16_t, 224> kSymbolToUnicode = {
    /* 20 */ 0x0020, 0x0021, 0x2200, 0x0023, 0x2203, 0x0025, 0x0026, 0x220B,
    /* 28 */ 0x0028, 0x0029, 0x2217, 0x002B, 0x002C, 0x2212, 0x002E, 0x002F,
    /* 30 */ 0x0030, 0x0031, 0x0032, 0x0033, 0x0034, 0x0035, 0x0036, 0x0037,
    /* 38 */ 0x0038, 0x0039, 0x003A, 0x003B, 0x003C, 0x003D, 0x003E, 0x003F,
    /* 40 */ 0x2245, 0x0391, 0x0392, 0x03A7, 0x0394, 0x0395, 0x03A6, 0x0393,
    /* 48 */ 0x0397, 0x0399, 0x03D1, 0x039A, 0x039B, 0x039C, 0x039D, 0x039F,
    /* 50 */ 0x03A0, 0x0398, 0x03A1, 0x03A3, 0x03A4, 0x03A5, 0x03C2, 0x03A9,
    /* 58 */ 0x039E, 0x03A8, 0x0396, 0x005B, 0x2234, 0x005D, 0x22A5, 0x005F,
    /* 60 */ 0x203E, 0x03B1, 0x03B2, 0x03C7, 0x03B4, 0x03B5, 0x03C6, 0x03B3,
    /* 68 */ 0x03B7, 0x03B9, 0x03D5, 0x03BA, 0x03BB, 0x03BC, 0x03BD, 0x03BF,
    /* 70 */ 0x03C0, 0x03B8, 0x03C1, 0x03C3, 0x03C4, 0x03C5, 0x03D6, 0x03C9,
    /* 78 */ 0x03BE, 0x03C8, 0x03B6, 0x007B, 0x007C, 0x007D, 0x223C, 0x0000,
    /* 80 */ 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000,
    /* 88 */ 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000,
    /* 90 */ 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000,
    /* 98 */ 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000,
    /* A0 */ 0x20AC, 0x03D2, 0x2032, 0x2264, 0x2044, 0x221E, 0x0192, 0x2663,
    /* A8 */ 0x2666, 0x2665, 0x2660, 0x2194, 0x2190, 0x2191, 0x2192, 0x2193,
    /* B0 */ 0x00B0, 0x00B1, 0x2033, 0x2265, 0x00D7, 0x221D, 0x2202, 0x2022,
    /* B8 */ 0x00F7, 0x2260, 0x2261, 0x2248, 0x2026, 0x23D0, 0x23AF, 0x21B5,
    /* C0 */ 0x2135, 0x2111, 0x211C, 0x2118, 0x2297, 0x2295, 0x2205, 0x2229,
    /* C8 */ 0x222A, 0x2283, 0x2287, 0x2284, 0x2282, 0x2286, 0x2208, 0x2209,
    /* D0 */ 0x2220, 0x2207, 0x00AE, 0x00A9, 0x2122, 0x220F, 0x221A, 0x22C5,
    /* D8 */ 0x00AC, 0x2227, 0x2228, 0x21D4, 0x21D0, 0x21D1, 0x21D2, 0x21D3,
    /* E0 */ 0x25CA, 0x2329, 0x00AE, 0x00A9, 0x2122, 0x2211, 0x239B, 0x239C,
    /* E8 */ 0x239D, 0x23A1, 0x23A2, 0x23A3, 0x23A7, 0x23A8, 0x23A9, 0x23AA,
    /* F0 */ 0x0000, 0x232A, 0x222B, 0x2320, 0x23AE, 0x2321, 0x239E, 0x239F,
    /* F8 */ 0x23A0, 0x23A4, 0x23A5, 0x23A6, 0x23AB, 0x23AC, 0x23AD, 0x0000,
};
// clang-format on

bool IsSymbolFace(const LogFont& font) {
    return font.face.compare(QLatin1String("Symbol"), Qt::CaseInsensitive) == 0;
}

// Symbol-font text: the Symbol face by its table; other symbol faces
// (Wingdings and the like) have no Unicode counterpart here and are dropped,
// as drawing their codes as letters would show wrong text.
char16_t SymbolCode(const LogFont& font, uint32_t code) {
    if (!IsSymbolFace(font)) return 0;
    if (code >= 0xF020 && code <= 0xF0FF) code -= 0xF000;
    if (code < 0x20 || code > 0xFF) return 0;
    return kSymbolToUnicode[code - 0x20];
}

// The code page Windows uses for a font's character set. The Japanese code
// page stands for the default, OEM and unknown sets, as on a Japanese system.
const char* CodecName(uint8_t charSet) {
    switch (charSet) {
        case 0:
            return "windows-1252";
        case 77:
            return "x-mac-roman";
        case 129:
        case 130:
            return "windows-949";
        case 134:
            return "GBK";
        case 136:
            return "Big5";
        case 161:
            return "windows-1253";
        case 162:
            return "windows-1254";
        case 163:
            return "windows-1258";
        case 177:
            return "windows-1255";
        case 178:
            return "windows-1256";
        case 186:
            return "windows-1257";
        case 204:
            return "windows-1251";
        case 222:
            return "windows-874";
        case 238:
            return "windows-1250";
        default:
            return "windows-31j";
    }
}

// Whether `byte` starts a two-byte character in the code page of `charSet`.
bool IsLeadByte(uint8_t charSet, uint8_t byte) {
    switch (charSet) {
        case 129:
        case 130:
        case 134:
        case 136:
            return byte >= 0x81 && byte <= 0xFE;
        default:
            if (std::string_view(CodecName(charSet)) != "windows-31j") return false;
            return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
    }
}

void Append(TextRun& run, const QString& units, double advance, bool withAdvances) {
    for (qsizetype i = 0; i < units.size(); ++i) {
        run.text.append(units[i]);
        if (withAdvances) run.advances.push_back(i == 0 ? advance : 0.0);
    }
}

}  // namespace

TextRun DecodeAnsiText(std::span<const uchar> bytes, const LogFont& font,
                       std::span<const double> byteAdvances) {
    TextRun run;
    const bool withAdvances = !byteAdvances.empty() && byteAdvances.size() >= bytes.size();
    auto advanceAt = [&](size_t i) { return withAdvances ? byteAdvances[i] : 0.0; };

    if (font.charSet == kSymbolCharset) {
        for (size_t i = 0; i < bytes.size(); ++i) {
            const char16_t code = SymbolCode(font, bytes[i]);
            if (code == 0) {
                // Keep the advance so that the following characters stay put.
                if (withAdvances && !run.advances.empty()) run.advances.back() += advanceAt(i);
                continue;
            }
            Append(run, QString(QChar(code)), advanceAt(i), withAdvances);
        }
        return run;
    }

    QStringDecoder decoder(CodecName(font.charSet));
    if (!decoder.isValid()) decoder = QStringDecoder(QStringDecoder::Latin1);
    for (size_t i = 0; i < bytes.size();) {
        size_t length = 1;
        if (IsLeadByte(font.charSet, bytes[i]) && i + 1 < bytes.size()) length = 2;
        double advance = advanceAt(i) + (length == 2 ? advanceAt(i + 1) : 0.0);
        const QByteArray piece(reinterpret_cast<const char*>(bytes.data() + i), qsizetype(length));
        QString units = decoder.decode(piece);
        decoder.resetState();
        if (units.isEmpty()) units = QString(QChar(0xFFFD));
        Append(run, units, advance, withAdvances);
        i += length;
    }
    return run;
}

TextRun DecodeUtf16Text(std::span<const uchar> bytes, const LogFont& font,
                        std::span<const double> unitAdvances) {
    TextRun run;
    const size_t count = bytes.size() / 2;
    const bool withAdvances = !unitAdvances.empty() && unitAdvances.size() >= count;
    const bool symbol = font.charSet == kSymbolCharset;
    run.text.reserve(qsizetype(count));
    for (size_t i = 0; i < count; ++i) {
        char16_t unit = char16_t(bytes[2 * i] | (bytes[2 * i + 1] << 8));
        const double advance = withAdvances ? unitAdvances[i] : 0.0;
        if (symbol) {
            unit = SymbolCode(font, unit);
            if (unit == 0) {
                if (withAdvances && !run.advances.empty()) run.advances.back() += advance;
                continue;
            }
        }
        run.text.append(QChar(unit));
        if (withAdvances) run.advances.push_back(advance);
    }
    return run;
}

namespace {

// Windows' Japanese faces, shown with the program's substitutes.
QString JapaneseFace(const QString& face) {
    static const QSet<QString> gothic = {
        QStringLiteral("ＭＳ ゴシック"), QStringLiteral("ＭＳ Ｐゴシック"),
        QStringLiteral("MS Gothic"),     QStringLiteral("MS PGothic"),
        QStringLiteral("MS UI Gothic"),  QStringLiteral("メイリオ"),
        QStringLiteral("Meiryo"),        QStringLiteral("Meiryo UI"),
        QStringLiteral("游ゴシック"),    QStringLiteral("Yu Gothic"),
        QStringLiteral("Osaka"),         QStringLiteral("ヒラギノ角ゴ Pro W3")};
    static const QSet<QString> mincho = {QStringLiteral("ＭＳ 明朝"), QStringLiteral("ＭＳ Ｐ明朝"),
                                         QStringLiteral("MS Mincho"), QStringLiteral("MS PMincho"),
                                         QStringLiteral("游明朝"),    QStringLiteral("Yu Mincho")};
    if (gothic.contains(face)) return kGothic;
    if (mincho.contains(face)) return kMincho;
    return {};
}

// The installed families, in lower case, read once.
const QSet<QString>& InstalledFamilies() {
    static const QSet<QString> families = [] {
        QSet<QString> set;
        for (const QString& family : QFontDatabase::families()) set.insert(family.toLower());
        return set;
    }();
    return families;
}

// The installed family that the font matcher (fontconfig) gives for `face`
// when it knows the name: "Times New Roman" is "Liberation Serif" or
// "Nimbus Roman", faces made to the same widths. Empty when the matcher
// knows nothing better than its default for any unknown name. Asked once per
// name, so that no string of a file goes through the matcher again.
QString MatchedFamily(const QString& face) {
    static std::mutex mutex;
    static QHash<QString, QString> cache;
    const std::lock_guard lock(mutex);
    const QString key = face.toLower();
    if (auto it = cache.constFind(key); it != cache.constEnd()) return *it;
    auto resolve = [](const QString& name) {
        QFont probe(name);
        probe.setStyleHint(QFont::AnyStyle);
        return QFontInfo(probe).family();
    };
    static const QString fallback = resolve(QStringLiteral("Tamarind No Such Face"));
    QString family = resolve(face);
    if (family.compare(fallback, Qt::CaseInsensitive) == 0 ||
        !InstalledFamilies().contains(family.toLower()))
        family.clear();
    if (cache.size() < 256) cache.insert(key, family);
    return family;
}

}  // namespace

QFont FontFor(const LogFont& logFont) {
    InstallFontSubstitutions();
    // The face by its name: installed, or the face the font matcher puts in
    // its place (Windows' faces have metric-compatible stand-ins on Linux).
    // Faces the matcher does not know fall back to a generic family chosen by
    // the font's family bits and character set; Shift-JIS and symbol fonts
    // keep their own rules.
    QString family = JapaneseFace(logFont.face);
    if (family.isEmpty() && !logFont.face.isEmpty()) {
        if (InstalledFamilies().contains(logFont.face.toLower()))
            family = logFont.face;
        else if (logFont.charSet != 128 && logFont.charSet != 2)
            family = MatchedFamily(logFont.face);
    }
    QFont font;
    if (family.isEmpty()) {
        const int familyBits = logFont.pitchAndFamily & 0xF0;
        if (logFont.charSet == 128 || logFont.charSet == 1) {
            family = familyBits == 0x10 ? kMincho : kGothic;
        } else if (familyBits == 0x10) {
            family = QStringLiteral("serif");
            font.setStyleHint(QFont::Serif);
        } else if (familyBits == 0x30 || (logFont.pitchAndFamily & 0x03) == 1) {
            family = QStringLiteral("monospace");
            font.setStyleHint(QFont::TypeWriter);
        } else {
            family = QStringLiteral("sans-serif");
            font.setStyleHint(QFont::SansSerif);
        }
    }
    font.setFamily(family);
    if (logFont.weight > 0) font.setWeight(QFont::Weight(std::clamp(logFont.weight, 1, 1000)));
    font.setItalic(logFont.italic);
    font.setUnderline(logFont.underline);
    font.setStrikeOut(logFont.strikeOut);
    return font;
}

double EmPerCell(const QFont& font) {
    static std::mutex mutex;
    static QHash<QString, double> cache;
    const std::lock_guard lock(mutex);
    const QString key = font.family() + QLatin1Char('/') + QString::number(font.weight()) +
                        (font.italic() ? QLatin1String("i") : QLatin1String(""));
    if (auto it = cache.constFind(key); it != cache.constEnd()) return *it;
    QFont probe(font);
    probe.setPixelSize(1000);
    const QFontMetricsF metrics(probe);
    const double cell = metrics.ascent() + metrics.descent();
    const double ratio = cell > 1 ? 1000.0 / cell : 1.0;
    if (cache.size() < 256) cache.insert(key, ratio);
    return ratio;
}

}  // namespace tamarind::metafile
