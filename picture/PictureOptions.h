#pragma once
// The two picture options a user may turn on: JPEGs shown upright by their
// Exif orientation, and pictures of other formats (PNG, GIF, TIFF, WebP,
// HEIC/HEIF, AVIF) read as well. Both are off unless chosen; the settings
// file keeps them between runs (keys View/Upright and View/OtherFormats).

#include <QRgb>

class QSettings;

namespace tamarind {

struct PictureOptions {
    bool upright = false;
    bool otherFormats = false;
    // What transparent pixels of other formats are laid on: the colour
    // behind a slot's picture.
    QRgb background = qRgb(240, 240, 240);

    bool operator==(const PictureOptions&) const = default;
};

// The options new loads use; safe to read from the loading threads.
PictureOptions CurrentPictureOptions();
void SetPictureOptions(const PictureOptions& options);

// The two switches as the settings file holds them (off when absent); the
// background is left as given.
PictureOptions ReadPictureOptions(const QSettings& settings, PictureOptions base = {});
void WritePictureOptions(QSettings& settings, const PictureOptions& options);

}  // namespace tamarind
