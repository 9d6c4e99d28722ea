#pragma once
// Saving the working picture as BMP or JPEG: the save dialog's proposals, the
// format chosen by the typed extension, and the safe write.

#include <QString>
#include <QStringList>

#include "picture/Bitmap.h"
#include "platform/Dialogs.h"

namespace tamarind {

// The save dialog's filter list as the window starts: all picture files,
// then jpg, jpeg, bmp, ico, emf and wmf.
QStringList PictureSaveFilters();

// Sets the dialog's folder, proposed name and the options of a picture save.
// For a shown ".bmp" or ".jpg" file (any letter case) it also sets the title
// ("BMPファイル保存" / "JPGファイル保存"), the default extension, the
// preselected filter entry and proposes the name with its extension in lower
// case; for other files the title and filter stay as they are.
void PrepareSaveDialog(SaveDialogRequest& request, const QString& folder, const QString& fileName);

// The kind of file a chosen path asks for: the extension without its dot,
// at most its first five characters, upper-cased ("BMP", "JPG", "JPEG", "").
QString SaveKind(const QString& path);

// Writes the picture to `path` as kind "BMP" (its own format and palette) or
// "JPG" (24-bit colour at `quality`, 1..100), replacing the file only once
// the new one is complete (WriteFileSafely). Other kinds are not written;
// returns false for them.
bool SavePictureFile(const QString& path, const QString& kind, const Bitmap& bitmap, int quality);

}  // namespace tamarind
