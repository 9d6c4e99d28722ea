#include "picture/Ico.h"

#include <QBuffer>
#include <QImageReader>
#include <QtEndian>
#include <cstring>

#include "picture/Bitmap.h"
#include "platform/Errors.h"
#include "platform/FileIo.h"
#include "platform/InputFile.h"

namespace tamarind {
namespace {

[[noreturn]] void Damaged() {
    throw TamarindError(QStringLiteral("アイコンイメージが不正です"));
}

constexpr qsizetype kDirectorySize = 6;
constexpr qsizetype kEntrySize = 16;
constexpr uchar kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
// Deflate never packs more than 1032 bytes into one.
constexpr qint64 kMaxDeflateRatio = 1032;

// Checks a PNG icon's declared size against its data and the pixel limit.
void CheckPng(std::span<const uchar> png, qint64 maxPixels) {
    // Signature, then the IHDR chunk: length, "IHDR", width, height, depth, colour type.
    if (png.size() < 8 + 8 + 13 || memcmp(png.data() + 12, "IHDR", 4) != 0) Damaged();
    const qint64 width = qFromBigEndian<quint32>(png.data() + 16);
    const qint64 height = qFromBigEndian<quint32>(png.data() + 20);
    const int depth = png[24];
    int channels;
    switch (png[25]) {
        case 0:
        case 3:
            channels = 1;
            break;
        case 4:
            channels = 2;
            break;
        case 2:
            channels = 3;
            break;
        case 6:
            channels = 4;
            break;
        default:
            Damaged();
    }
    if (width <= 0 || height <= 0 || depth <= 0 || depth > 16) Damaged();
    if (width > maxPixels / height) Damaged();
    // What the rows inflate to; compressed data smaller than that allows is a bomb.
    const qint64 raw = height * (1 + (width * channels * depth + 7) / 8);
    if (raw > qint64(png.size()) * kMaxDeflateRatio) Damaged();
}

// Checks a BMP icon's header against its data and returns its size.
QSize CheckBmp(std::span<const uchar> bmp, int directoryBits, qint64 maxPixels) {
    if (bmp.size() < 40 || qFromLittleEndian<quint32>(bmp.data()) != 40) Damaged();
    const qint64 width = qFromLittleEndian<qint32>(bmp.data() + 4);
    const qint64 height = qFromLittleEndian<qint32>(bmp.data() + 8) / 2;  // picture, then mask
    const int headerBits = qFromLittleEndian<quint16>(bmp.data() + 14);
    const qint64 bits = headerBits ? headerBits : directoryBits;
    const qint64 usedColours = qFromLittleEndian<quint32>(bmp.data() + 32);
    if (width <= 0 || height <= 0 || bits <= 0 || bits > 32) Damaged();
    if (width > maxPixels / height) Damaged();
    const qint64 colours = bits > 8 ? 0 : usedColours ? usedColours : qint64(1) << bits;
    if (colours > 256) Damaged();
    // Header, colour table, picture rows and mask rows must all be there.
    const qint64 need =
        40 + 4 * colours +
        height * (Bitmap::StrideFor(width, int(bits)) + Bitmap::StrideFor(width, 1));
    if (qint64(bmp.size()) < need) Damaged();
    return QSize(int(width), int(height));
}

}  // namespace

QImage DecodeIco(std::span<const uchar> bytes, qint64 maxPixels) {
    const qsizetype size = qsizetype(bytes.size());
    if (size < kDirectorySize) Damaged();
    const quint16 reserved = qFromLittleEndian<quint16>(bytes.data());
    const quint16 type = qFromLittleEndian<quint16>(bytes.data() + 2);
    const quint16 count = qFromLittleEndian<quint16>(bytes.data() + 4);
    if (reserved != 0 || type != 1 || count == 0 || size < kDirectorySize + count * kEntrySize)
        Damaged();
    const uchar* entry = bytes.data() + kDirectorySize;
    const int directoryBits = qFromLittleEndian<quint16>(entry + 6);
    const quint32 length = qFromLittleEndian<quint32>(entry + 8);
    const quint32 offset = qFromLittleEndian<quint32>(entry + 12);
    if (offset < kDirectorySize + count * kEntrySize || offset >= quint32(size)) Damaged();
    const std::span<const uchar> image = bytes.subspan(offset);

    QByteArray file(reinterpret_cast<const char*>(bytes.data()), size);
    QSize expected;
    if (image.size() >= 8 && memcmp(image.data(), kPngSignature, 8) == 0) {
        CheckPng(image.first(std::min<size_t>(length, image.size())), maxPixels);
    } else {
        // Qt's reader takes the size from the directory unless it says 0; the
        // pixels follow the bitmap header's size, so hand Qt a directory that
        // says 0 and let the header decide.
        expected = CheckBmp(image, directoryBits, maxPixels);
        file[kDirectorySize] = 0;
        file[kDirectorySize + 1] = 0;
    }

    QBuffer buffer(&file);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "ico");
    reader.setDecideFormatFromContent(false);
    const QImage icon = reader.read();
    if (icon.isNull() || (expected.isValid() && icon.size() != expected)) Damaged();
    QImage premultiplied = icon.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (premultiplied.isNull()) throw std::bad_alloc();
    return premultiplied;
}

QImage ReadIcoFile(const QString& path, qint64 maxPixels) {
    // A file that does not start as an icon, or whose first picture claims
    // more pixels than allowed, is refused before the rest is read.
    InputFile file(path);
    uchar head[kDirectorySize + kEntrySize] = {};
    if (file.ReadAt(0, head, sizeof head) < qint64(sizeof head) ||
        qFromLittleEndian<quint16>(head) != 0 || qFromLittleEndian<quint16>(head + 2) != 1 ||
        qFromLittleEndian<quint16>(head + 4) == 0)
        Damaged();
    uchar picture[24] = {};
    const std::int64_t got =
        file.ReadAt(qFromLittleEndian<quint32>(head + kDirectorySize + 12), picture, sizeof picture);
    qint64 width = 0, height = 0;
    if (got >= 24 && memcmp(picture, kPngSignature, 8) == 0) {
        width = qFromBigEndian<quint32>(picture + 16);
        height = qFromBigEndian<quint32>(picture + 20);
    } else if (got >= 12) {
        width = qAbs(qint64(qFromLittleEndian<qint32>(picture + 4)));
        height = qAbs(qint64(qFromLittleEndian<qint32>(picture + 8)) / 2);
    }
    if (height > 0 && width > maxPixels / height) Damaged();
    return DecodeIco(ByteSpan(file.ReadAll()), maxPixels);
}

}  // namespace tamarind
