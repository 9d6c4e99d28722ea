#pragma once
// The picture container: a file decoded by its extension into pixels or a
// metafile, measured and drawn stretched. Copies are cheap and share the
// decoded picture, so one load can serve a slot and the measuring control.

#include <QImage>
#include <QRectF>
#include <QSize>
#include <QString>
#include <memory>

#include "picture/Bitmap.h"
#include "picture/Metafile.h"

class QPainter;

namespace tamarind {

class Picture {
  public:
    // An empty picture.
    Picture() = default;
    // A picture of these pixels.
    static Picture FromBitmap(Bitmap bitmap);
    // A picture of an image with transparency (an icon); drawn with its
    // alpha, while bitmap() holds its colours as a 32-bit bitmap.
    static Picture FromImage(const QImage& image);
    // A metafile, drawn by its player.
    static Picture FromMetafile(std::shared_ptr<const MetafilePicture> metafile);

    bool isNull() const { return !metafile_ && image_.isNull() && bitmap_.isEmpty(); }
    bool isMetafile() const { return metafile_ != nullptr; }
    // The natural size in pixels (a metafile's at 96 dpi).
    QSize size() const;
    int width() const { return size().width(); }
    int height() const { return size().height(); }

    // The pixels, in the file's own format (empty for metafiles).
    const Bitmap& bitmap() const { return bitmap_; }
    // What Draw shows of a pixel picture, sharing the bitmap's pixels: null
    // for metafiles, and for 4-bit pictures, which Qt could only hold as a
    // second copy twice their size (they are read from bitmap() instead).
    const QImage& image() const { return image_; }
    // The metafile (null for pixel pictures).
    const std::shared_ptr<const MetafilePicture>& metafile() const { return metafile_; }

    // Draws the whole picture stretched into `target`. The painter's render
    // hints decide how pixels are sampled.
    void Draw(QPainter& painter, const QRectF& target) const;

  private:
    Bitmap bitmap_;
    QImage image_;
    std::shared_ptr<const MetafilePicture> metafile_;
};

// Loads a picture file, choosing the decoder by the extension of the file
// name, letters in any case: "bmp", "ico", "wmf", "emf", "jpg", "jpeg". Any
// other extension raises TamarindError("拡張子 .%s の画像形式は処理できません")
// with the extension as written (empty when the name has none), before the
// file is read. A file that cannot be read raises FileIo's error naming the
// file; a damaged one the decoder's message ("ビットマップイメージが不正です",
// "アイコンイメージが不正です", "メタファイルが不正です", "JPEG エラー #%d").
Picture LoadPicture(const QString& path);

// The extension of a path's file name as written, from its last dot, dot
// included (empty when the name has no dot).
QString FileExtensionWithDot(const QString& path);
// The same without its dot.
QString FileExtension(const QString& path);

}  // namespace tamarind
