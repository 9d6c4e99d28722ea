#include "PrintedPage.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>

namespace tamarind::test {

namespace {

bool IsWhite(QRgb c) { return qRed(c) > 230 && qGreen(c) > 230 && qBlue(c) > 230; }

bool Near(QRgb a, QRgb b) {
    return std::abs(qRed(a) - qRed(b)) <= 12 && std::abs(qGreen(a) - qGreen(b)) <= 12 &&
           std::abs(qBlue(a) - qBlue(b)) <= 12;
}

}  // namespace

QImage RenderPdfRegion(const QString& pdf, int dpi, const QRect& region) {
    QTemporaryDir dir;
    const QString prefix = dir.filePath(QStringLiteral("page"));
    QProcess process;
    process.start(QStringLiteral("pdftoppm"),
                  {QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-f"), QStringLiteral("1"),
                   QStringLiteral("-singlefile"), QStringLiteral("-x"), QString::number(region.x()),
                   QStringLiteral("-y"), QString::number(region.y()), QStringLiteral("-W"),
                   QString::number(region.width()), QStringLiteral("-H"),
                   QString::number(region.height()), pdf, prefix});
    if (!process.waitForFinished(120000) || process.exitCode() != 0) {
        ADD_FAILURE() << "pdftoppm failed: " << process.readAllStandardError().toStdString();
        return QImage();
    }
    return QImage(prefix + QStringLiteral(".ppm")).convertToFormat(QImage::Format_RGB32);
}

QImage ExtractPdfImage(const QString& pdf, QString* encoding) {
    QProcess list;
    list.start(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdf});
    if (!list.waitForFinished(60000) || list.exitCode() != 0) {
        ADD_FAILURE() << "pdfimages -list failed";
        return QImage();
    }
    // page num type width height color comp bpc enc ...: the first row
    // after the two heading lines.
    const QList<QByteArray> lines = list.readAllStandardOutput().split('\n');
    if (lines.size() < 3) return QImage();
    const QList<QByteArray> columns = lines[2].simplified().split(' ');
    if (columns.size() > 8) *encoding = QString::fromLatin1(columns[8]);

    QTemporaryDir dir;
    const QString prefix = dir.filePath(QStringLiteral("image"));
    QProcess extract;
    extract.start(QStringLiteral("pdfimages"), {QStringLiteral("-png"), QStringLiteral("-f"),
                                                QStringLiteral("1"), pdf, prefix});
    if (!extract.waitForFinished(60000) || extract.exitCode() != 0) {
        ADD_FAILURE() << "pdfimages -png failed";
        return QImage();
    }
    return QImage(prefix + QStringLiteral("-000.png")).convertToFormat(QImage::Format_RGB32);
}

QRect FindPicture(const QImage& image, const QRect& expected) {
    const int row = expected.center().y();
    const int column = expected.center().x();
    int left = -1, right = -1, top = -1, bottom = -1;
    for (int x = 0; x < image.width(); ++x)
        if (!IsWhite(image.pixel(x, row))) {
            if (left < 0) left = x;
            right = x;
        }
    for (int y = 0; y < image.height(); ++y)
        if (!IsWhite(image.pixel(column, y))) {
            if (top < 0) top = y;
            bottom = y;
        }
    if (left < 0 || top < 0) return QRect();
    return QRect(QPoint(left, top), QPoint(right, bottom));
}

void ExpectQuartersAt(const QString& pdf, int dpi, const QRect& expected) {
    const int margin = 24;
    const QRect region = expected.adjusted(-margin, -margin, margin, margin);
    const QImage image = RenderPdfRegion(pdf, dpi, region);
    ASSERT_FALSE(image.isNull());
    ASSERT_EQ(image.size(), region.size());
    const QRect local = expected.translated(-region.topLeft());
    const QRect found = FindPicture(image, local);
    ASSERT_FALSE(found.isNull()) << "no picture on the page";
    EXPECT_LE(std::abs(found.left() - local.left()), 1) << "left edge";
    EXPECT_LE(std::abs(found.top() - local.top()), 1) << "top edge";
    EXPECT_LE(std::abs(found.right() - local.right()), 1) << "right edge";
    EXPECT_LE(std::abs(found.bottom() - local.bottom()), 1) << "bottom edge";
    // The quarters' centres.
    const int qx = local.width() / 4, qy = local.height() / 4;
    const QRgb expectedColours[4] = {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255),
                                     qRgb(255, 255, 0)};
    const QPoint centres[4] = {local.topLeft() + QPoint(qx, qy),
                               local.topLeft() + QPoint(3 * qx, qy),
                               local.topLeft() + QPoint(qx, 3 * qy),
                               local.topLeft() + QPoint(3 * qx, 3 * qy)};
    for (int i = 0; i < 4; ++i) {
        const QRgb c = image.pixel(centres[i]);
        EXPECT_TRUE(Near(c, expectedColours[i]))
            << "quarter " << i << ": " << qRed(c) << "," << qGreen(c) << "," << qBlue(c);
    }
}

}  // namespace tamarind::test
