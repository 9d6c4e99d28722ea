#pragma once
// Sequential file names: a fixed part, a zero-padded number and an extension,
// the number of the k-th processed file being the initial value plus k times
// the increment.

#include <QString>
#include <cstdint>

namespace tamarind {

// The up-down ranges of the naming group.
inline constexpr int kDigitsMin = 1, kDigitsMax = 9, kDigitsDefault = 5;
inline constexpr int kStartOnesMax = 10;  // the ones of the initial value go to 10
inline constexpr int kStartTensMax = 90;  // and its tens to 90
inline constexpr int kIncrementOnesMin = 1, kIncrementOnesMax = 10;
inline constexpr int kIncrementTensMax = 9;

struct NamingSettings {
    QString fixedPart = QStringLiteral("A");
    int digits = kDigitsDefault;  // digit setting 1..9
    int startValue = 0;           // ones + 10 x tens, 0..910
    int increment = 1;            // ones + 10 x tens, 1..100
    QString extensionPart;        // "." + the extension field's first line
};

// Puts digits - length - 1 zeros in front of `number` when that is at least
// one: the number gets at least digits - 1 digits and is never cut.
QString PadNumber(const QString& number, int digits);

// The new name of the k-th processed file.
QString SequenceName(const NamingSettings& settings, std::int64_t k);

// The preview of the first new name.
inline QString FirstSequenceName(const NamingSettings& settings) {
    return SequenceName(settings, 0);
}

// The first line of a multi-line text.
QString FirstLine(const QString& text);

// A fixed part holding a "/" (or a NUL) would send the new names into other
// folders: such a fixed part is refused before a run touches any file.
bool IsUsableFixedPart(const QString& fixedPart);

// A fixed part starting with "." makes hidden names, which the file lists
// leave out: such a fixed part is refused before a run touches any file too.
inline bool MakesHiddenNames(const QString& fixedPart) { return fixedPart.startsWith(u'.'); }

}  // namespace tamarind
