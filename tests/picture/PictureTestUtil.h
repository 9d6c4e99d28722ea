#pragma once
// Helpers shared by the picture tests.

#include <gtest/gtest.h>

#include <QByteArray>
#include <QImage>
#include <QString>
#include <functional>

#include "picture/Bitmap.h"

namespace tamarind::test {

// The bytes of a shared test picture.
QByteArray ReadTestFile(const QString& relative);

// Colour differences between two pictures of the same size, compared as RGB:
// the largest difference of one channel (-1 when the sizes differ).
int MaxColourDifference(const QImage& a, const QImage& b);

// Whether the bitmaps have the same format, palette and pixel rows (row
// padding excluded).
::testing::AssertionResult SameBitmap(const Bitmap& a, const Bitmap& b);

// Runs `load` and checks it fails with exactly `message`, or succeeds when
// `mayDecode` is set. Anything else (another exception) fails the test.
::testing::AssertionResult RefusedWith(const std::function<void()>& load, const QString& message,
                                       bool mayDecode = false);

// A bitmap of the given format filled with reproducible pseudo-random pixels
// and palette; 32-bit pixels get a fourth byte of 0xFF.
Bitmap RandomBitmap(int width, int height, int bitsPerPixel, quint32 seed);

}  // namespace tamarind::test
