#include "app/FileFilter.h"

namespace tamarind {
namespace {

// Shown text and mask, alternating.
const char* const kFilterDefinition =
    "全ての画像ファイル|*.jpg;*.bmp;*.tif;*.png,*.wmf,*.ico,*.gif|JPGファイル(*.jpg)|*.jpg|"
    "BMPファイル(*.bmp)|*.bmp|TIFファイル(*.tif)|*.tif|PNGファイル(*.png)|*.png|"
    "WMFファイル(*.wmf)|*.wmf|ICOファイル(*.ico)|*.ico|GIFファイル(*.gif)|*.gif|"
    "全てのファイル(*.*)|*.*";

const char* const kOtherDefinition =
    "TIFFファイル(*.tiff)|*.tiff|WebPファイル(*.webp)|*.webp|"
    "HEIC/HEIFファイル(*.heic;*.heif)|*.heic;*.heif|AVIFファイル(*.avif)|*.avif";

QList<FilterEntry> Entries(const char* definition) {
    const QStringList parts = QString::fromUtf8(definition).split(u'|');
    QList<FilterEntry> entries;
    for (int i = 0; i + 1 < parts.size(); i += 2) entries.push_back({parts[i], parts[i + 1]});
    return entries;
}

}  // namespace

QList<FilterEntry> FilterEntries(bool otherFormats) {
    QList<FilterEntry> entries = Entries(kFilterDefinition);
    if (!otherFormats) return entries;
    const QList<FilterEntry> others = Entries(kOtherDefinition);
    for (const FilterEntry& other : others) {
        entries.front().mask += u';' + other.mask;
        entries.push_back(other);
    }
    return entries;
}

}  // namespace tamarind
