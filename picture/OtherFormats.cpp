#include "picture/OtherFormats.h"

#include <libheif/heif.h>

#include <QBuffer>
#include <QIODevice>
#include <QImageReader>
#include <QPainter>
#include <memory>
#include <mutex>

#include "picture/Picture.h"
#include "platform/Errors.h"
#include "platform/InputFile.h"

namespace tamarind {
namespace {

QString Unsupported(const QString& path) {
    return QStringLiteral("拡張子 .%1 の画像形式は処理できません").arg(FileExtension(path));
}

[[noreturn]] void RaiseDamaged(OtherFormat format) {
    throw TamarindError(QStringLiteral("%1 イメージが不正です").arg(OtherFormatName(format)));
}

[[noreturn]] void RaiseTooLarge(OtherFormat format) {
    throw TamarindError(QStringLiteral("%1 イメージが大きすぎます").arg(OtherFormatName(format)));
}

// Refuses a picture of `size` whose decoding would need more than the caps,
// at `bytesPerPixel` for what the decoder holds.
void CheckSize(OtherFormat format, QSize size, qint64 bytesPerPixel, qint64 maxBytes) {
    if (size.width() <= 0 || size.height() <= 0) RaiseDamaged(format);
    const qint64 pixels = qint64(size.width()) * size.height();
    if (pixels > Bitmap::kMaxPixels || pixels * bytesPerPixel > maxBytes) RaiseTooLarge(format);
}

QRgb Blend(QRgb colour, QRgb background) {
    const int a = qAlpha(colour);
    const auto mix = [a](int c, int b) { return (c * a + b * (255 - a) + 127) / 255; };
    return qRgb(mix(qRed(colour), qRed(background)), mix(qGreen(colour), qGreen(background)),
                mix(qBlue(colour), qBlue(background)));
}

// The decoded picture with its transparency laid on the background, in one
// of the four formats OtherPicture names. Never shares external memory.
QImage Flatten(const QImage& decoded, QRgb background) {
    switch (decoded.format()) {
        case QImage::Format_Mono:
        case QImage::Format_MonoLSB:
        case QImage::Format_Indexed8: {
            QImage image = decoded.convertToFormat(QImage::Format_Indexed8);
            if (image.constBits() == decoded.constBits()) image = image.copy();
            QList<QRgb> colours = image.colorTable();
            for (QRgb& c : colours) c = Blend(c, background);
            image.setColorTable(colours);
            return image;
        }
        case QImage::Format_Grayscale8:
        case QImage::Format_Grayscale16:
            return decoded.convertToFormat(QImage::Format_Grayscale8).copy();
        default:
            break;
    }
    if (!decoded.hasAlphaChannel()) return decoded.convertToFormat(QImage::Format_RGB888).copy();
    QImage image(decoded.size(), QImage::Format_RGB32);
    if (image.isNull()) throw std::bad_alloc();
    image.fill(background);
    QPainter painter(&image);
    painter.drawImage(0, 0, decoded);
    return image;
}

// The picture reduced to `wanted` when that is a smaller valid size.
QImage Reduced(const QImage& image, QSize wanted) {
    if (!wanted.isValid() || wanted.isEmpty() || wanted == image.size()) return image;
    return image.scaled(wanted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

// --- Qt's readers ---------------------------------------------------------------------

// An InputFile as a random-access device, so Qt's readers take the file a
// piece at a time as they need it.
class InputFileDevice : public QIODevice {
  public:
    explicit InputFileDevice(const QString& path) : file_(path) { open(QIODevice::ReadOnly); }
    bool isSequential() const override { return false; }
    qint64 size() const override { return file_.size(); }

  protected:
    qint64 readData(char* data, qint64 maxSize) override {
        try {
            return file_.ReadAt(pos(), data, maxSize);
        } catch (...) {
            return -1;
        }
    }
    qint64 writeData(const char*, qint64) override { return -1; }

  private:
    InputFile file_;
};

const char* QtFormatKey(OtherFormat format) {
    switch (format) {
        case OtherFormat::Png: return "png";
        case OtherFormat::Gif: return "gif";
        case OtherFormat::Tiff: return "tiff";
        case OtherFormat::Webp: return "webp";
        default: return nullptr;
    }
}

bool QtReads(OtherFormat format) {
    const char* key = QtFormatKey(format);
    return key && QImageReader::supportedImageFormats().contains(QByteArray(key));
}

int ExifOrientationOf(QImageIOHandler::Transformations t) {
    switch (int(t)) {
        case QImageIOHandler::TransformationMirror: return 2;
        case QImageIOHandler::TransformationRotate180: return 3;
        case QImageIOHandler::TransformationFlip: return 4;
        case QImageIOHandler::TransformationFlipAndRotate90: return 5;
        case QImageIOHandler::TransformationRotate90: return 6;
        case QImageIOHandler::TransformationMirrorAndRotate90: return 7;
        case QImageIOHandler::TransformationRotate270: return 8;
        default: return 1;
    }
}

OtherPicture ReadWithQt(const QString& path, OtherFormat format,
                        const std::function<QSize(QSize, int)>& sizeFor, qint64 maxBytes,
                        QRgb background) {
    if (!QtReads(format)) throw TamarindError(Unsupported(path));
    InputFileDevice device(path);
    QImageReader reader(&device, QtFormatKey(format));
    reader.setAutoTransform(false);
    // Qt refuses larger pictures on its own, with a message of its own.
    const qint64 qtLimit = qint64(QImageReader::allocationLimit()) << 20;
    if (qtLimit > 0) maxBytes = std::min(maxBytes, qtLimit);
    if (!reader.canRead()) RaiseDamaged(format);
    OtherPicture picture;
    picture.natural = reader.size();
    picture.orientation = ExifOrientationOf(reader.transformation());
    // A reader that does not say its size is held to the caps when it allocates.
    const bool sized = picture.natural.isValid();
    const QSize wanted = sized && sizeFor ? sizeFor(picture.natural, picture.orientation) : QSize();
    const bool scales = wanted.isValid() && !wanted.isEmpty() &&
                        reader.supportsOption(QImageIOHandler::ScaledSize);
    if (sized) CheckSize(format, scales ? wanted : picture.natural, 4, maxBytes);
    if (scales) reader.setScaledSize(wanted);
    QImage decoded;
    if (!reader.read(&decoded) || decoded.isNull()) RaiseDamaged(format);
    if (!sized) {
        picture.natural = decoded.size();
        CheckSize(format, picture.natural, 4, maxBytes);
    }
    picture.image = Reduced(Flatten(decoded, background), wanted);
    return picture;
}

// --- libheif ------------------------------------------------------------------------------

void InitHeif() {
    static std::once_flag once;
    std::call_once(once, [] { heif_init(nullptr); });
}

// The file handed to libheif through its reader interface.
struct HeifSource {
    InputFile file;
    std::int64_t position = 0;
};

const heif_reader kHeifReader = {
    1,
    [](void* user) -> std::int64_t { return static_cast<HeifSource*>(user)->position; },
    [](void* data, size_t size, void* user) -> int {
        auto* source = static_cast<HeifSource*>(user);
        try {
            if (source->file.ReadAt(source->position, data, std::int64_t(size)) !=
                std::int64_t(size))
                return 1;
        } catch (...) {
            return 1;
        }
        source->position += std::int64_t(size);
        return 0;
    },
    [](std::int64_t position, void* user) -> int {
        auto* source = static_cast<HeifSource*>(user);
        if (position < 0 || position > source->file.size()) return 1;
        source->position = position;
        return 0;
    },
    [](std::int64_t target, void* user) -> heif_reader_grow_status {
        return target > static_cast<HeifSource*>(user)->file.size()
                   ? heif_reader_grow_status_size_beyond_eof
                   : heif_reader_grow_status_size_reached;
    },
};

struct HeifContextDeleter {
    void operator()(heif_context* c) const { heif_context_free(c); }
};
struct HeifHandleDeleter {
    void operator()(heif_image_handle* h) const { heif_image_handle_release(h); }
};
struct HeifImageDeleter {
    void operator()(heif_image* i) const { heif_image_release(i); }
};
struct HeifOptionsDeleter {
    void operator()(heif_decoding_options* o) const { heif_decoding_options_free(o); }
};
using HeifHandle = std::unique_ptr<heif_image_handle, HeifHandleDeleter>;

bool HeifReads(OtherFormat format) {
    InitHeif();
    return heif_have_decoder_for_format(format == OtherFormat::Avif ? heif_compression_AV1
                                                                   : heif_compression_HEVC) != 0;
}

// What libheif and this reader hold per pixel of a decoded picture: the
// decoder's planes, the interleaved colours and their reduction.
constexpr qint64 kHeifBytesPerPixel = 4;

QSize HandleSize(const heif_image_handle* handle) {
    return {heif_image_handle_get_width(handle), heif_image_handle_get_height(handle)};
}

OtherPicture ReadWithHeif(const QString& path, OtherFormat format,
                          const std::function<QSize(QSize, int)>& sizeFor, qint64 maxBytes,
                          QRgb background) {
    if (!HeifReads(format)) throw TamarindError(Unsupported(path));
    HeifSource source{InputFile(path)};
    std::unique_ptr<heif_context, HeifContextDeleter> context(heif_context_alloc());
    if (!context) throw std::bad_alloc();
    heif_context_set_maximum_image_size_limit(context.get(), 1 << 16);
    if (heif_context_read_from_reader(context.get(), &kHeifReader, &source, nullptr).code !=
        heif_error_Ok)
        RaiseDamaged(format);
    heif_image_handle* primary = nullptr;
    if (heif_context_get_primary_image_handle(context.get(), &primary).code != heif_error_Ok)
        RaiseDamaged(format);
    HeifHandle handle(primary);
    OtherPicture picture;
    // The size as shown: libheif turns and mirrors as the file says, always,
    // so no orientation is left for the viewer to apply.
    picture.natural = HandleSize(handle.get());
    if (picture.natural.width() <= 0 || picture.natural.height() <= 0) RaiseDamaged(format);
    const QSize wanted = sizeFor ? sizeFor(picture.natural, 1) : QSize();
    // The smallest stored thumbnail that still covers the size wanted.
    if (wanted.isValid() && !wanted.isEmpty()) {
        const int count = heif_image_handle_get_number_of_thumbnails(handle.get());
        std::vector<heif_item_id> ids(size_t(std::max(0, count)));
        if (count > 0) heif_image_handle_get_list_of_thumbnail_IDs(handle.get(), ids.data(), count);
        for (heif_item_id id : ids) {
            heif_image_handle* thumbnail = nullptr;
            if (heif_image_handle_get_thumbnail(handle.get(), id, &thumbnail).code != heif_error_Ok)
                continue;
            HeifHandle candidate(thumbnail);
            const QSize s = HandleSize(thumbnail);
            if (s.width() >= wanted.width() && s.height() >= wanted.height() &&
                qint64(s.width()) * s.height() < qint64(HandleSize(handle.get()).width()) *
                                                      HandleSize(handle.get()).height())
                handle = std::move(candidate);
        }
    }
    const bool primaryChosen = heif_image_handle_is_primary_image(handle.get()) != 0;
    CheckSize(format, HandleSize(handle.get()), kHeifBytesPerPixel, maxBytes);
    const bool alpha = heif_image_handle_has_alpha_channel(handle.get()) != 0;
    std::unique_ptr<heif_decoding_options, HeifOptionsDeleter> options(
        heif_decoding_options_alloc());
    if (!options) throw std::bad_alloc();
    options->convert_hdr_to_8bit = 1;
    heif_image* decodedImage = nullptr;
    if (heif_decode_image(handle.get(), &decodedImage, heif_colorspace_RGB,
                          alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB,
                          options.get())
            .code != heif_error_Ok)
        RaiseDamaged(format);
    std::unique_ptr<heif_image, HeifImageDeleter> decoded(decodedImage);
    int stride = 0;
    const uint8_t* plane =
        heif_image_get_plane_readonly(decoded.get(), heif_channel_interleaved, &stride);
    const int w = heif_image_get_width(decoded.get(), heif_channel_interleaved);
    const int h = heif_image_get_height(decoded.get(), heif_channel_interleaved);
    if (!plane || w <= 0 || h <= 0 || stride < w * (alpha ? 4 : 3)) RaiseDamaged(format);
    // What was decoded is the picture's size, should a damaged file state another.
    if (primaryChosen) picture.natural = QSize(w, h);
    // libheif's rows seen as a picture; Flatten and Reduced make copies.
    const QImage rows(plane, w, h, stride,
                      alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
    picture.image = Reduced(Flatten(rows, background), wanted);
    return picture;
}

}  // namespace

OtherFormat OtherFormatOf(const QString& path) {
    const QString e = FileExtension(path).toLower();
    if (e == u"png") return OtherFormat::Png;
    if (e == u"gif") return OtherFormat::Gif;
    if (e == u"tif" || e == u"tiff") return OtherFormat::Tiff;
    if (e == u"webp") return OtherFormat::Webp;
    if (e == u"heic" || e == u"heif") return OtherFormat::Heif;
    if (e == u"avif") return OtherFormat::Avif;
    return OtherFormat::None;
}

QString OtherFormatName(OtherFormat format) {
    switch (format) {
        case OtherFormat::Png: return QStringLiteral("PNG");
        case OtherFormat::Gif: return QStringLiteral("GIF");
        case OtherFormat::Tiff: return QStringLiteral("TIFF");
        case OtherFormat::Webp: return QStringLiteral("WebP");
        case OtherFormat::Heif: return QStringLiteral("HEIF");
        case OtherFormat::Avif: return QStringLiteral("AVIF");
        case OtherFormat::None: break;
    }
    return {};
}

OtherPicture ReadOtherPicture(const QString& path, OtherFormat format,
                              const std::function<QSize(QSize, int)>& sizeFor, qint64 maxBytes,
                              QRgb background) {
    switch (format) {
        case OtherFormat::Heif:
        case OtherFormat::Avif:
            return ReadWithHeif(path, format, sizeFor, maxBytes, background);
        case OtherFormat::None:
            throw TamarindError(Unsupported(path));
        default:
            return ReadWithQt(path, format, sizeFor, maxBytes, background);
    }
}

QList<FormatSupport> OtherFormatSupport() {
    const QString qtPlugins = QStringLiteral("qt6-image-formats-plugins");
    return {
        {QStringLiteral("PNG"), QStringLiteral("*.png"), QtReads(OtherFormat::Png),
         QStringLiteral("libqt6gui6")},
        {QStringLiteral("GIF"), QStringLiteral("*.gif"), QtReads(OtherFormat::Gif),
         QStringLiteral("libqt6gui6")},
        {QStringLiteral("TIFF"), QStringLiteral("*.tif;*.tiff"), QtReads(OtherFormat::Tiff),
         qtPlugins},
        {QStringLiteral("WebP"), QStringLiteral("*.webp"), QtReads(OtherFormat::Webp), qtPlugins},
        {QStringLiteral("HEIC/HEIF"), QStringLiteral("*.heic;*.heif"),
         HeifReads(OtherFormat::Heif), QStringLiteral("libde265-0")},
        {QStringLiteral("AVIF"), QStringLiteral("*.avif"), HeifReads(OtherFormat::Avif),
         QStringLiteral("libdav1d6")},
    };
}

QString OtherFormatSupportText() {
    QString text;
    for (const FormatSupport& f : OtherFormatSupport()) {
        text += f.readable ? QStringLiteral("%1: 表示できます").arg(f.name)
                           : QStringLiteral("%1: 表示できません (%2 をインストールしてください)")
                                 .arg(f.name, f.package);
        text += u'\n';
    }
    return text;
}

}  // namespace tamarind
