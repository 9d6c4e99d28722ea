// Text of metafile records: 8-bit strings by the font's character set, the
// Symbol font, and spacing arrays kept with their characters.

#include <gtest/gtest.h>

#include "picture/metafile/TextDecoding.h"

namespace tamarind::metafile {
namespace {

std::span<const uchar> Bytes(const char* text, size_t length) {
    return {reinterpret_cast<const uchar*>(text), length};
}

LogFont FontWith(uint8_t charSet, const char* face = "") {
    LogFont font;
    font.charSet = charSet;
    font.face = QString::fromLatin1(face);
    return font;
}

TEST(MetafileText, ShiftJisPairsKeepTheirSummedAdvance) {
    const char text[] =
        "\x82\xA0\x93\xFA"
        "A";
    const double advances[] = {10, 11, 20, 21, 5};
    for (uint8_t charSet : {128, 1}) {  // Shift-JIS, and the system default
        const TextRun run = DecodeAnsiText(Bytes(text, 5), FontWith(charSet), advances);
        EXPECT_EQ(run.text, QStringLiteral("あ日A"));
        EXPECT_EQ(run.advances, (std::vector<double>{21, 41, 5}));
    }
}

TEST(MetafileText, WesternAndOtherCharacterSets) {
    EXPECT_EQ(DecodeAnsiText(Bytes("\x80"
                                   "e\xE9",
                                   3),
                             FontWith(0), {})
                  .text,
              QStringLiteral("€eé"));
    EXPECT_EQ(DecodeAnsiText(Bytes("\xC4\xE0", 2), FontWith(204), {}).text, QStringLiteral("Да"));
    // A lead byte at the very end stands alone.
    EXPECT_EQ(DecodeAnsiText(Bytes("A\x82", 2), FontWith(128), {}).text.size(), 2);
}

TEST(MetafileText, SymbolFontLettersBecomeGreek) {
    EXPECT_EQ(DecodeAnsiText(Bytes("abW\xA5", 4), FontWith(2, "Symbol"), {}).text,
              QStringLiteral("αβΩ∞"));
    const char wide[] =
        "\x61\xF0"
        "\x70\x00";  // U+F061 (private use) and 'p'
    EXPECT_EQ(DecodeUtf16Text(Bytes(wide, 4), FontWith(2, "Symbol"), {}).text,
              QStringLiteral("απ"));
}

TEST(MetafileText, UnknownSymbolFontsDropTheirCodesButKeepSpacing) {
    const double advances[] = {7, 8, 9};
    const TextRun run = DecodeAnsiText(Bytes("a\x80"
                                             "b",
                                             3),
                                       FontWith(2, "Symbol"), advances);
    EXPECT_EQ(run.text, QStringLiteral("αβ"));
    EXPECT_EQ(run.advances, (std::vector<double>{15, 9}));
    EXPECT_TRUE(DecodeAnsiText(Bytes("abc", 3), FontWith(2, "Wingdings"), {}).text.isEmpty());
}

TEST(MetafileText, SpacingArraysShorterThanTheTextAreIgnored) {
    const double advances[] = {7};
    const TextRun run = DecodeUtf16Text(Bytes("a\0b\0", 4), FontWith(0), advances);
    EXPECT_EQ(run.text, QStringLiteral("ab"));
    EXPECT_TRUE(run.advances.empty());
}

}  // namespace
}  // namespace tamarind::metafile
