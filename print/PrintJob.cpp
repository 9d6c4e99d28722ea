#include "print/PrintJob.h"

#include <QPainter>

namespace tamarind {

PrintState Printing;

QString PrintJobTitle() { return QString(); }

void StretchPrintBitmap(QPainter& painter, const EdgeRect& rect, const Bitmap& bitmap) {
    if (bitmap.isEmpty() || rect.width() == 0 || rect.height() == 0) return;
    const QImage image = bitmap.ConvertTo24().ToQImage();
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.setRenderHint(QPainter::Antialiasing, false);
    // The page must carry the picture's own pixels: without this hint Qt's
    // PDF writer (which also makes the jobs for CUPS) stores pictures as
    // JPEG and shifts their colours.
    painter.setRenderHint(QPainter::LosslessImageRendering, true);
    painter.drawImage(QRect(rect.left, rect.top, rect.width(), rect.height()), image);
    painter.restore();
}

void DrawPrintPage(QPainter& painter, const EdgeRect& rect, const Bitmap& bitmap) {
    if (bitmap.isEmpty()) return;
    // The picture is combined with a black rectangle (destination OR
    // source), which leaves the picture's own colours.
    painter.fillRect(QRect(rect.left, rect.top, rect.width(), rect.height()), Qt::black);
    StretchPrintBitmap(painter, rect, bitmap);
}

}  // namespace tamarind
