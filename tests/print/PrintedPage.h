#pragma once
// Checks on a printed page as the printer got it: the PDF is rendered with
// pdftoppm at the printer's resolution around where the picture should be,
// and the picture's edges and colours are found in the dots.

#include <QImage>
#include <QRect>
#include <QString>

namespace tamarind::test {

// Renders `region` (dots at `dpi`) of the first page of a PDF file; a null
// image when pdftoppm fails.
QImage RenderPdfRegion(const QString& pdf, int dpi, const QRect& region);

// The picture as found in a rendered region: the bounding box of the dots
// that are not white along the middle row and column of `expected`.
QRect FindPicture(const QImage& rendered, const QRect& expected);

// The first picture stored in a PDF file, as its own pixels (pdfimages),
// and in `encoding` how the file stores it ("image" for plain or
// Flate-compressed samples, "jpeg" for DCT); a null image on failure.
QImage ExtractPdfImage(const QString& pdf, QString* encoding);

// Expects the printed picture at `expected` (page dots, right and bottom
// excluded) within one dot, and the four colours of the quarters picture
// in its quarters within a small tolerance.
void ExpectQuartersAt(const QString& pdf, int dpi, const QRect& expected);

}  // namespace tamarind::test
