#pragma once
// Steps shared by the end-to-end print tests.

#include <QString>

#include "picture/Bitmap.h"

namespace tamarind::test {

// A picture of four coloured quarters: red, green / blue, yellow.
Bitmap QuartersBitmap(int width, int height);

// Writes a BMP of four coloured quarters into `folder`; its path.
QString WriteQuartersBmp(const QString& folder, int width, int height);

// As a user does it: the file into a slot, a double click on the slot,
// "中央に配置" ticked if it is not, "印刷実行", which hides the layout
// window unless the job failed.
void PrintSlotPictureCentred(const QString& path, bool expectFailure = false);

}  // namespace tamarind::test
