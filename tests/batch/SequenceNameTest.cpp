// Sequential names: the padding rule (at least digits - 1 digits, never cut),
// initial value and increment, the fixed part and the extension.
#include <gtest/gtest.h>

#include "batch/SequenceName.h"

using namespace tamarind;

TEST(SequenceNames, PaddingGivesOneDigitLessThanTheSetting) {
    EXPECT_EQ(PadNumber("0", 5), "0000");
    EXPECT_EQ(PadNumber("0", 1), "0");
    EXPECT_EQ(PadNumber("0", 2), "0");
    EXPECT_EQ(PadNumber("0", 3), "00");
    EXPECT_EQ(PadNumber("7", 9), "00000007");
    EXPECT_EQ(PadNumber("12345", 5), "12345");  // never cut
    EXPECT_EQ(PadNumber("1234", 5), "1234");
    EXPECT_EQ(PadNumber("123", 5), "0123");
}

TEST(SequenceNames, NamesOfTheKthFile) {
    NamingSettings s;
    s.extensionPart = ".jpg";
    EXPECT_EQ(FirstSequenceName(s), "A0000.jpg");
    EXPECT_EQ(SequenceName(s, 1), "A0001.jpg");
    EXPECT_EQ(SequenceName(s, 9999), "A9999.jpg");
    EXPECT_EQ(SequenceName(s, 10000), "A10000.jpg");
    s.digits = 1;
    EXPECT_EQ(SequenceName(s, 1), "A1.jpg");
    s.digits = 2;
    EXPECT_EQ(SequenceName(s, 0), "A0.jpg");
    s.digits = 3;
    EXPECT_EQ(SequenceName(s, 0), "A00.jpg");

    // Initial value 12 (tens 1, ones 2), increment 5: 12, 17, 22.
    s = NamingSettings{};
    s.extensionPart = ".jpg";
    s.startValue = 2 + 10 * 1;
    s.increment = 5;
    EXPECT_EQ(SequenceName(s, 0), "A0012.jpg");
    EXPECT_EQ(SequenceName(s, 1), "A0017.jpg");
    EXPECT_EQ(SequenceName(s, 2), "A0022.jpg");
    // The largest settings: 910 and 100; a huge row index does not overflow.
    s.startValue = kStartOnesMax + 10 * kStartTensMax;
    s.increment = kIncrementOnesMax + 10 * kIncrementTensMax;
    EXPECT_EQ(s.startValue, 910);
    EXPECT_EQ(s.increment, 100);
    EXPECT_EQ(SequenceName(s, 30000000), "A3000000910.jpg");

    // An empty fixed part, mixed extensions.
    s = NamingSettings{};
    s.fixedPart.clear();
    s.extensionPart = ".*";
    EXPECT_EQ(FirstSequenceName(s), "0000.*");
}

TEST(SequenceNames, FirstLineAndUsableFixedParts) {
    EXPECT_EQ(FirstLine("B\nsecond"), "B");
    EXPECT_EQ(FirstLine("B\r\nsecond"), "B");
    EXPECT_EQ(FirstLine(""), "");
    EXPECT_EQ(FirstLine(" x "), " x ");  // not trimmed
    EXPECT_TRUE(IsUsableFixedPart("A"));
    EXPECT_TRUE(IsUsableFixedPart(""));
    EXPECT_TRUE(IsUsableFixedPart("写真 "));
    EXPECT_FALSE(IsUsableFixedPart("../"));
    EXPECT_FALSE(IsUsableFixedPart("x/"));
    EXPECT_FALSE(IsUsableFixedPart(QString("a") + QChar(u'\0')));
}
