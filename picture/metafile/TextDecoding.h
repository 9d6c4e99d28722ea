#pragma once
// Text and fonts of metafile records: 8-bit strings decoded by the font's
// character set (Shift-JIS where Windows would use the Japanese code page),
// the Symbol font's letters turned into their Unicode characters, and a
// logical font turned into an installed face.

#include <QFont>
#include <span>

#include "picture/metafile/Canvas.h"

namespace tamarind::metafile {

// Decodes `bytes` as text in `font`'s character set. `byteAdvances`, when not
// empty, holds one advance per byte; a character of two bytes gets the sum.
TextRun DecodeAnsiText(std::span<const uchar> bytes, const LogFont& font,
                       std::span<const double> byteAdvances);

// Text given as UTF-16 units, with the Symbol font's private-use or 8-bit
// codes mapped to Unicode.
TextRun DecodeUtf16Text(std::span<const uchar> bytes, const LogFont& font,
                        std::span<const double> unitAdvances);

// The face, weight and style of `font`, without a size.
QFont FontFor(const LogFont& font);

// Em height per cell height (ascent plus descent) of `font`'s face, for
// fonts whose logical height is given as a cell height.
double EmPerCell(const QFont& font);

}  // namespace tamarind::metafile
