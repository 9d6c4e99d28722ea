// libFuzzer target for the other formats' load path (PNG, GIF, TIFF, WebP
// through Qt's readers, HEIC and AVIF through libheif): the first byte of an
// input chooses the format, the rest is the file, read as a slot's
// thumbnail and in full with both picture options on.
//
// Seeds: TAMARIND_MAKE_SEEDS=<folder> fuzz_other_formats writes one small
// picture of each format into the folder (made with Qt's writers and
// libheif's encoders, each behind its format byte) and ends.
#include <libheif/heif.h>
#include <unistd.h>

#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <cstdint>
#include <cstdlib>

#include "picture/OtherFormats.h"
#include "picture/PictureLoad.h"
#include "platform/Errors.h"
#include "platform/FileIo.h"

using namespace tamarind;

namespace {

const char* const kExtensions[] = {"png", "gif", "tiff", "webp", "heic", "avif"};

QImage SeedPicture() {
    QImage image(24, 16, QImage::Format_ARGB32);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 24; ++x) image.setPixel(x, y, qRgba(x * 10, y * 15, 90, x < 4 ? 0 : 255));
    return image;
}

QByteArray HeifSeed(const QImage& source, bool avif) {
    const QImage image = source.convertToFormat(QImage::Format_RGB888);
    heif_context* context = heif_context_alloc();
    heif_encoder* encoder = nullptr;
    heif_image* picture = nullptr;
    QByteArray bytes;
    if (heif_context_get_encoder_for_format(context, avif ? heif_compression_AV1 : heif_compression_HEVC,
                                            &encoder).code == heif_error_Ok &&
        heif_image_create(image.width(), image.height(), heif_colorspace_RGB,
                          heif_chroma_interleaved_RGB, &picture).code == heif_error_Ok &&
        heif_image_add_plane(picture, heif_channel_interleaved, image.width(), image.height(), 8)
                .code == heif_error_Ok) {
        int stride = 0;
        uint8_t* plane = heif_image_get_plane(picture, heif_channel_interleaved, &stride);
        for (int y = 0; y < image.height(); ++y)
            memcpy(plane + y * stride, image.constScanLine(y), size_t(image.width()) * 3);
        heif_writer writer{1, [](heif_context*, const void* data, size_t size, void* user) {
                               static_cast<QByteArray*>(user)->append(
                                   static_cast<const char*>(data), qsizetype(size));
                               return heif_error{heif_error_Ok, heif_suberror_Unspecified, ""};
                           }};
        if (heif_context_encode_image(context, picture, encoder, nullptr, nullptr).code == heif_error_Ok)
            heif_context_write(context, &writer, &bytes);
    }
    if (picture) heif_image_release(picture);
    if (encoder) heif_encoder_release(encoder);
    heif_context_free(context);
    return bytes;
}

void MakeSeeds(const QString& folder) {
    const QImage image = SeedPicture();
    for (int k = 0; k < 6; ++k) {
        QByteArray bytes;
        if (k >= 4) {
            bytes = HeifSeed(image, k == 5);
        } else if (k == 1) {  // Qt writes no GIF: one pixel written out by hand
            bytes = QByteArray(
                "GIF89a\x01\0\x01\0\x80\0\0\xFF\xFF\xFF\0\0\0!\xF9\x04\x01\0\0\0\0"
                ",\0\0\0\0\x01\0\x01\0\0\x02\x02"
                "D\x01\0;",
                43);
        } else {
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::WriteOnly);
            image.save(&buffer, kExtensions[k]);
        }
        if (bytes.isEmpty()) continue;
        WriteFileBytes(folder + QStringLiteral("/seed.") + QLatin1String(kExtensions[k]),
                       QByteArray(1, char(k)) + bytes);
    }
}

QString scratch;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    heif_init(nullptr);
    if (qEnvironmentVariableIsSet("TAMARIND_MAKE_SEEDS")) {
        MakeSeeds(qEnvironmentVariable("TAMARIND_MAKE_SEEDS"));
        std::exit(0);
    }
    scratch = QStringLiteral("/dev/shm/tamarind-fuzz-%1").arg(getpid());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const QString path = scratch + u'.' + QLatin1String(kExtensions[data[0] % 6]);
    WriteFileBytes(path, QByteArray(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1)));
    PictureOptions options;
    options.upright = true;
    options.otherFormats = true;
    try {
        const PictureThumbnail t = LoadThumbnail(path, [](QSize) { return QSize(64, 48); }, options, 1);
        if (t.natural.isEmpty() || (!t.image.isNull() && t.image.size() != QSize(64, 48))) abort();
    } catch (const TamarindError&) {
    }
    try {
        // Held to 64 MB so each run stays quick and within libFuzzer's memory limit.
        const OtherPicture full = ReadOtherPicture(path, OtherFormatOf(path), nullptr, 64 << 20);
        if (full.image.isNull() || full.natural.isEmpty()) abort();
    } catch (const TamarindError&) {
    }
    return 0;
}
