#include "PictureFiles.h"

#include <libheif/heif.h>

#include <QBuffer>
#include <cstdlib>

namespace tamarind::test {

QByteArray WithExifOrientation(const QByteArray& jpeg, int orientation, bool motorola,
                               bool afterJfif) {
    auto word = [motorola](QByteArray& out, int v) {
        if (motorola) out.append(char(v >> 8)).append(char(v));
        else out.append(char(v)).append(char(v >> 8));
    };
    auto longWord = [motorola, &word](QByteArray& out, int v) {
        if (motorola) { word(out, v >> 16); word(out, v & 0xFFFF); }
        else { word(out, v & 0xFFFF); word(out, v >> 16); }
    };
    QByteArray tiff(motorola ? "MM" : "II");
    word(tiff, 42);
    longWord(tiff, 8);
    word(tiff, 1);  // one entry
    word(tiff, 0x0112);
    word(tiff, 3);  // SHORT
    longWord(tiff, 1);
    word(tiff, orientation);
    word(tiff, 0);
    longWord(tiff, 0);  // no IFD1
    QByteArray block = QByteArray("Exif\0\0", 6) + tiff;
    const int length = int(block.size()) + 2;
    QByteArray app1("\xFF\xE1", 2);
    app1.append(char(length >> 8)).append(char(length));
    app1 += block;
    qsizetype at = 2;
    if (afterJfif && jpeg.size() > 6 && uchar(jpeg[2]) == 0xFF && uchar(jpeg[3]) == 0xE0)
        at = 4 + (uchar(jpeg[4]) << 8 | uchar(jpeg[5]));
    return jpeg.left(at) + app1 + jpeg.mid(at);
}

QRgb QuarterColour(QPoint at, QSize size) {
    const bool right = at.x() >= size.width() / 2, bottom = at.y() >= size.height() / 2;
    if (!bottom) return right ? qRgb(0, 200, 0) : qRgb(220, 0, 0);
    return right ? qRgb(230, 220, 0) : qRgb(0, 0, 220);
}

Bitmap QuarterPicture(int width, int height) {
    Bitmap b(width, height, 24);
    for (int y = 0; y < height; ++y) {
        uchar* p = b.scanLine(y);
        for (int x = 0; x < width; ++x) {
            const QRgb c = QuarterColour({x, y}, {width, height});
            *p++ = uchar(qBlue(c));
            *p++ = uchar(qGreen(c));
            *p++ = uchar(qRed(c));
        }
    }
    return b;
}

QPoint UprightPosition(QPoint at, QSize stored, int orientation) {
    enum Side { Top, Bottom, Left, Right };
    // The visual sides of the stored first row and first column.
    static const Side kRow0[9] = {Top, Top, Top, Bottom, Bottom, Left, Right, Right, Left};
    static const Side kColumn0[9] = {Left, Left, Right, Right, Left, Top, Top, Bottom, Bottom};
    const Side row0 = kRow0[orientation], column0 = kColumn0[orientation];
    const int c = at.x(), r = at.y(), w = stored.width(), h = stored.height();
    if (row0 == Top || row0 == Bottom) {
        const int y = row0 == Top ? r : h - 1 - r;
        const int x = column0 == Left ? c : w - 1 - c;
        return {x, y};
    }
    // Rows run up or down the picture: it is shown h wide and w high.
    const int x = row0 == Left ? r : h - 1 - r;
    const int y = column0 == Top ? c : w - 1 - c;
    return {x, y};
}

::testing::AssertionResult ShowsQuarters(const QImage& image, QSize stored, int orientation) {
    const QSize shown = orientation >= 5 && orientation <= 8 ? stored.transposed() : stored;
    if (image.isNull()) return ::testing::AssertionFailure() << "no picture";
    const int w = stored.width(), h = stored.height();
    for (QPoint at : {QPoint(w / 4, h / 4), QPoint(3 * w / 4, h / 4), QPoint(w / 4, 3 * h / 4),
                      QPoint(3 * w / 4, 3 * h / 4)}) {
        const QPoint up = UprightPosition(at, stored, orientation);
        const QPoint probe(up.x() * image.width() / shown.width(),
                           up.y() * image.height() / shown.height());
        const QRgb got = image.pixel(probe), want = QuarterColour(at, stored);
        if (!Near(got, want))
            return ::testing::AssertionFailure()
                   << "orientation " << orientation << ": stored (" << at.x() << "," << at.y()
                   << ") shows " << std::hex << got << " at (" << std::dec << probe.x() << ","
                   << probe.y() << "), expected " << std::hex << want;
    }
    return ::testing::AssertionSuccess();
}

bool Near(QRgb a, QRgb b, int tolerance) {
    return std::abs(qRed(a) - qRed(b)) <= tolerance &&
           std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

QByteArray GifBytes(const QImage& source) {
    const QImage image = source.convertToFormat(QImage::Format_Indexed8);
    QList<QRgb> colours = image.colorTable();
    int transparent = -1;
    for (int i = 0; i < colours.size(); ++i)
        if (qAlpha(colours[i]) == 0 && transparent < 0) transparent = i;
    colours.resize(256, 0);
    const auto le16 = [](QByteArray& out, int v) { out.append(char(v)).append(char(v >> 8)); };
    QByteArray gif("GIF89a");
    le16(gif, image.width());
    le16(gif, image.height());
    gif.append(char(0xF7)).append('\0').append('\0');  // 256 colours follow
    for (QRgb c : colours) gif.append(char(qRed(c))).append(char(qGreen(c))).append(char(qBlue(c)));
    if (transparent >= 0)
        gif.append("\x21\xF9\x04\x01\0\0", 6).append(char(transparent)).append('\0');
    gif.append(',');
    le16(gif, 0);
    le16(gif, 0);
    le16(gif, image.width());
    le16(gif, image.height());
    gif.append('\0').append(char(8));  // no local colours; 8-bit codes
    // Nine-bit codes, a clear code often enough that the table never grows.
    QByteArray data;
    quint32 bits = 0;
    int held = 0;
    const auto put = [&](int code) {
        bits |= quint32(code) << held;
        held += 9;
        while (held >= 8) {
            data.append(char(bits & 0xFF));
            bits >>= 8;
            held -= 8;
        }
    };
    put(256);
    int run = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            put(image.constScanLine(y)[x]);
            if (++run == 250) {
                put(256);
                run = 0;
            }
        }
    put(257);
    if (held > 0) data.append(char(bits & 0xFF));
    for (qsizetype at = 0; at < data.size(); at += 255) {
        const QByteArray block = data.mid(at, 255);
        gif.append(char(block.size())).append(block);
    }
    gif.append('\0').append(';');
    return gif;
}

QByteArray QtPictureBytes(const QImage& image, const char* format) {
    if (QByteArrayView(format) == "gif") return GifBytes(image);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    // WebP lossless (quality 100), so flat colours stay flat.
    image.save(&buffer, format, QByteArrayView(format) == "webp" ? 100 : -1);
    return bytes;
}

bool WriteHeifPicture(const QImage& source, const QString& path, bool avif, int orientation) {
    heif_init(nullptr);
    const QImage image = source.convertToFormat(QImage::Format_RGB888);
    heif_context* context = heif_context_alloc();
    heif_encoder* encoder = nullptr;
    bool ok = heif_context_get_encoder_for_format(
                  context, avif ? heif_compression_AV1 : heif_compression_HEVC, &encoder)
                  .code == heif_error_Ok;
    heif_image* picture = nullptr;
    if (ok) {
        heif_encoder_set_lossy_quality(encoder, 95);
        ok = heif_image_create(image.width(), image.height(), heif_colorspace_RGB,
                               heif_chroma_interleaved_RGB, &picture)
                     .code == heif_error_Ok &&
             heif_image_add_plane(picture, heif_channel_interleaved, image.width(),
                                  image.height(), 8)
                     .code == heif_error_Ok;
    }
    if (ok) {
        int stride = 0;
        uint8_t* plane = heif_image_get_plane(picture, heif_channel_interleaved, &stride);
        for (int y = 0; y < image.height(); ++y)
            memcpy(plane + qsizetype(y) * stride, image.constScanLine(y), size_t(image.width()) * 3);
        heif_encoding_options* options = heif_encoding_options_alloc();
        options->image_orientation = heif_orientation(orientation);
        ok = heif_context_encode_image(context, picture, encoder, options, nullptr).code ==
                 heif_error_Ok &&
             heif_context_write_to_file(context, path.toLocal8Bit().constData()).code ==
                 heif_error_Ok;
        heif_encoding_options_free(options);
    }
    if (picture) heif_image_release(picture);
    if (encoder) heif_encoder_release(encoder);
    heif_context_free(context);
    return ok;
}

}  // namespace tamarind::test
