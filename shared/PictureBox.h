#pragma once
// A picture control: shows its picture stretched to its own size and reports
// mouse presses and double clicks to the window that owns it. It holds
// either a full picture (drawn from a smoothly scaled copy made once per
// size) or only a thumbnail already made at its size, with the picture's
// natural size and the file it came from. On a scaled screen the copy is
// made at the box's device pixels, so that pictures stay sharp.

#include <QImage>
#include <QWidget>
#include <functional>

#include "picture/Picture.h"
#include "picture/ThumbnailLoad.h"

namespace tamarind {

class PictureBox : public QWidget {
public:
    explicit PictureBox(QWidget* parent = nullptr);

    // True while the box shows a picture (full or thumbnail only).
    bool HasPicture() const { return !picture_.isNull() || natural_.isValid(); }
    // True when the box holds the full picture (given by SetPicture, or a
    // metafile); picture() is empty otherwise.
    bool HasFullPicture() const { return !picture_.isNull(); }
    const Picture& picture() const { return picture_; }
    // The picture's natural size in pixels (0 x 0 when empty).
    QSize NaturalSize() const;
    // The file the thumbnail came from (empty for a full picture).
    const QString& Source() const { return source_; }
    // The Exif orientation the shown file states (1 when none), and the
    // picture options its thumbnail was made with: its full picture is read
    // again with the same ones.
    int Orientation() const { return orientation_; }
    void SetOrientation(int orientation) { orientation_ = orientation; }
    const PictureOptions& LoadOptions() const { return options_; }
    // Shows a full picture and keeps it.
    void SetPicture(const Picture& picture);
    // Shows a thumbnail of the file `source`; a metafile is kept whole.
    void SetThumbnail(const PictureThumbnail& thumbnail, const QString& source);
    void ClearPicture();
    // Draws `image` stretched over a box of `box` pixels while the picture
    // is still being loaded: until a picture is set, the box is cleared, or
    // the stand-in is dropped. The box takes that size meanwhile.
    void ShowPlaceholder(const QImage& image, QSize box);
    // Takes the stand-in away; the box is as it was before.
    void DropPlaceholder();
    bool ShowsPlaceholder() const { return !placeholder_.isNull(); }
    // A self-sizing box takes the natural size of each picture it is given.
    void SetAutoSize(bool on) { autoSize_ = on; }
    bool AutoSize() const { return autoSize_; }
    // The scaled copy drawn now, made on demand at the box's size in device
    // pixels (its device-pixel ratio set). A picture that fills the box one
    // picture pixel per device pixel, short of less than a logical pixel, is
    // drawn as it is.
    const QImage& ScaledImage();

    // Mouse handlers: the button pressed and the keys held at that moment.
    std::function<void(Qt::MouseButton, Qt::KeyboardModifiers)> onMouseDown;
    std::function<void()> onDoubleClick;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void ForgetPlaceholder();
    // The device pixels a copy of a `have`-sized picture is made at.
    QSize DeviceTarget(QSize have) const;

    Picture picture_;
    QImage thumbnail_;  // without a full picture: what was made at load time
    QSize natural_;     // without a full picture: the natural size (invalid when empty)
    QString source_;
    int orientation_ = 1;
    PictureOptions options_;
    QImage scaled_;
    QImage placeholder_;        // drawn instead of everything else while set
    QImage placeholderScaled_;  // at the box's device pixels
    QSize sizeBeforePlaceholder_;
    bool autoSize_ = false;
};

}  // namespace tamarind
