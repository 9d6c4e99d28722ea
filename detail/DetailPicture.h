#pragma once
// The detail window's working picture read from a file with the picture
// options: JPEG ("*.jpg") and BMP as always, a JPEG turned upright by its
// Exif orientation when that option is on, and the other formats' first
// frame or page when that option is on.

#include <QString>
#include <optional>

#include "picture/Bitmap.h"
#include "picture/PictureOptions.h"

namespace tamarind {

struct DetailPicture {
    Bitmap bitmap;
    // The Exif orientation the file states (1 when none).
    int orientation = 1;
};

// The picture, or nothing for a file the window does not read as pixels
// (then it measures it or refuses it as before). Decoder errors are raised.
std::optional<DetailPicture> ReadDetailPicture(const QString& path, const PictureOptions& options);

// Whether the window converts the file to BMP or JPEG ("画像形式変更").
bool DetailConverts(const QString& fileName, const PictureOptions& options);

// What follows the image line for a file stating an orientation other
// than 1 ("  向き↻90"); nothing otherwise.
QString OrientationNote(int orientation);

}  // namespace tamarind
