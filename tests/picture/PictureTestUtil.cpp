#include "PictureTestUtil.h"

#include <QRandomGenerator>

#include "TestData.h"
#include "platform/Errors.h"
#include "platform/FileIo.h"

namespace tamarind::test {

QByteArray ReadTestFile(const QString& relative) {
    return ReadFileBytes(TestDataPath(relative));
}

int MaxColourDifference(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) return -1;
    const QImage x = a.convertToFormat(QImage::Format_RGB888);
    const QImage y = b.convertToFormat(QImage::Format_RGB888);
    int worst = 0;
    for (int row = 0; row < x.height(); ++row) {
        const uchar* p = x.constScanLine(row);
        const uchar* q = y.constScanLine(row);
        for (int i = 0; i < 3 * x.width(); ++i) worst = std::max(worst, std::abs(p[i] - q[i]));
    }
    return worst;
}

::testing::AssertionResult SameBitmap(const Bitmap& a, const Bitmap& b) {
    if (a.size() != b.size() || a.bitsPerPixel() != b.bitsPerPixel())
        return ::testing::AssertionFailure()
               << a.width() << "x" << a.height() << "/" << a.bitsPerPixel() << " vs " << b.width()
               << "x" << b.height() << "/" << b.bitsPerPixel();
    if (a.palette() != b.palette()) return ::testing::AssertionFailure() << "palettes differ";
    const int bits = a.bitsPerPixel() == 15 ? 16 : a.bitsPerPixel();
    const qsizetype fullBytes = qsizetype(a.width()) * bits / 8;
    const int restBits = int(qsizetype(a.width()) * bits % 8);
    for (int y = 0; y < a.height(); ++y) {
        const uchar* p = a.scanLine(y);
        const uchar* q = b.scanLine(y);
        bool same = memcmp(p, q, fullBytes) == 0;
        if (restBits) same = same && ((p[fullBytes] ^ q[fullBytes]) >> (8 - restBits)) == 0;
        if (!same) return ::testing::AssertionFailure() << "row " << y << " differs";
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult RefusedWith(const std::function<void()>& load, const QString& message,
                                       bool mayDecode) {
    try {
        load();
    } catch (const TamarindError& e) {
        if (e.text() == message) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "message: " << e.text().toStdString();
    } catch (const std::exception& e) {
        return ::testing::AssertionFailure() << "other error: " << e.what();
    }
    if (mayDecode) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "decoded without error";
}

Bitmap RandomBitmap(int width, int height, int bitsPerPixel, quint32 seed) {
    QRandomGenerator random(seed);
    Bitmap bitmap(width, height, bitsPerPixel);
    for (int y = 0; y < height; ++y) {
        uchar* row = bitmap.scanLine(y);
        for (qsizetype i = 0; i < bitmap.stride(); ++i) row[i] = uchar(random.bounded(256));
        if (bitsPerPixel == 32)
            for (int x = 0; x < width; ++x) row[4 * x + 3] = 0xFF;
    }
    QList<QRgb> palette;
    for (int i = 0; i < bitmap.palette().size(); ++i)
        palette.append(random.generate() | 0xFF000000);
    bitmap.setPalette(palette);
    return bitmap;
}

}  // namespace tamarind::test
