#pragma once
// The slots and the desktop's shared thumbnail cache. Before a JPEG file is
// decoded for a slot, a look at its head and at the cache tells what the
// slot can show at once: an entry this program wrote that covers the box is
// the slot's final picture; any other valid entry, or else the camera's
// Exif thumbnail, stands in until the decoded picture replaces it. After a
// decode, the entry of the class covering the box is written in the
// background; a file that fails to decode is recorded, and refused with the
// same message until it changes. Nothing here touches a widget.

#include <QImage>
#include <QSize>
#include <QString>
#include <functional>
#include <optional>

#include "exif/Exif.h"
#include "picture/Bitmap.h"
#include "picture/PictureOptions.h"
#include "platform/Errors.h"
#include "platform/ThumbnailCache.h"

namespace tamarind {

// This program as a writer of thumbnail entries.
ThumbnailWriter ProgramThumbnailWriter();

// What a slot can show of a file before decoding it.
struct SlotPreview {
    // The picture options in force when the preview was made; the decode
    // uses the same.
    PictureOptions options;
    // The size from the file's header, as stored and as shown (upright when
    // the options say so); invalid when not known.
    QSize stored;
    QSize natural;
    // The slot's final thumbnail at the box's size, from the cache.
    QImage picture;
    // A stand-in of any size, drawn stretched into the box meanwhile.
    QImage placeholder;
    // The Exif summary and orientation, from the head already read (none
    // when it could not be read).
    std::optional<ExifFacts> facts;
    // The message recorded when the unchanged file failed to decode before.
    std::optional<QString> failure;
    // The file as the cache knows it, when the cache may be used for it.
    std::optional<CachedFile> file;
};

// Looks at a JPEG file's head and at the cache, within the box that
// `boxFor` gives for the natural size as shown (in device pixels); other
// files give a preview that holds only the options. Entries are kept
// upright, as the desktop shows them; a slot that shows pictures as stored
// gets them turned back. Never raises.
SlotPreview PreviewSlotFile(const QString& path, const std::function<QSize(QSize)>& boxFor);

// The size a JPEG decode must also cover so that the cache's entry for a
// slot of `box` can be made from it.
QSize ThumbnailEntryCover(QSize natural, QSize box);

// Queues the cache's entry for `file`, a picture of `stored` pixels with
// the Exif `orientation`, decoded as `decoded` (as stored) for a slot of
// `box`: made, turned upright and written in the background, at low
// priority.
void KeepSlotThumbnail(const CachedFile& file, QSize box, QSize stored, int orientation,
                       const Bitmap& decoded);
// Records, in the background, that `file` failed to decode with `error`,
// when the failure lies in the file itself (not in reading it, nor in a
// shortage of memory).
void KeepSlotFailure(const CachedFile& file, const TamarindError& error);
// Waits until everything queued is written.
void FinishThumbnailWrites();

}  // namespace tamarind
