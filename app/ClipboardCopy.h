#pragma once
// What a slot may put on the clipboard and in which form.

#include <QImage>
#include <QString>
#include <optional>

#include "picture/PictureOptions.h"

namespace tamarind {

class Picture;

// The extension of a file name with its dot, as written ("" when the name
// has no dot or is empty).
QString ExtensionWithDot(const QString& fileName);

// Nothing when a file of this name may be copied (".bmp" or ".jpg" in any
// case, and the other formats' extensions when the slot's picture was read
// with them on); otherwise the refusal shown to the user, the extension in
// front.
std::optional<QString> ClipboardRefusal(const QString& fileName, bool otherFormats = false);

// The pixels put on the clipboard: the whole picture at its natural size, as
// an opaque 32-bit colour image (a grey or palette picture in its colours),
// made straight from the picture's rows: a 32-bit picture is shared, any
// other is converted into the one copy the clipboard keeps.
QImage ClipboardImage(const Picture& picture);
// The same for a picture file, with the slot's picture options: a JPEG shown
// as stored is decoded straight into that 32-bit copy, other files are
// loaded (LoadPicture) and converted.
QImage ClipboardImageOfFile(const QString& path, const PictureOptions& options);

}  // namespace tamarind
