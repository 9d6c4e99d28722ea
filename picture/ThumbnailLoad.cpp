#include "picture/ThumbnailLoad.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

#include "picture/Bmp.h"
#include "picture/Ico.h"
#include "picture/Jpeg.h"
#include "picture/Picture.h"
#include "picture/Resample.h"
#include "platform/Errors.h"
#include "platform/FileIo.h"

namespace tamarind {

int JpegThumbnailScale(QSize natural, QSize box) {
    const qint64 w = std::max(0, natural.width()), h = std::max(0, natural.height());
    for (int n = 1; n < 8; ++n) {
        const qint64 outW = (w * n + 7) / 8, outH = (h * n + 7) / 8;
        if (outW >= box.width() && outH >= box.height()) return n;
    }
    return 8;
}

namespace {

// Boxes of at least this many pixels are filtered on a second thread while
// libjpeg decodes: for them the filter costs a fair part of the decoding
// time. Smaller ones are filtered after the decode.
constexpr qint64 kOverlapPixels = 100000;

// The filter thread is woken for bands of at least this many new rows, so
// it is not woken for every few rows libjpeg gives; the decoding thread
// filters the last band itself.
constexpr int kBandRows = 32;

// The rows decoded so far, handed from the decoding thread to the filter.
struct Handover {
    std::mutex mutex;
    std::condition_variable ready;
    Bitmap pixels;  // shares the bitmap being filled
    int rows = 0;
    bool finished = false;
};

QImage ReadJpegThumbnail(const QString& path, const std::function<QSize(QSize)>& boxFor,
                         QSize* natural, DecodedForThumbnail* keep) {
    QSize box;
    JpegReadOptions options;
    options.scaleDenominator = 8;
    options.scaleFor = [&](QSize size) {
        box = boxFor(size);
        const QSize cover = keep && keep->cover ? box.expandedTo(keep->cover(size, box)) : box;
        return JpegThumbnailScale(size, cover);
    };
    options.maxMemory = kJpegThumbnailMaxMemory;
    options.naturalSize = natural;
    // The box is known only once the header is read; starting the thread
    // costs little either way.
    Handover handover;
    std::optional<LanczosResampler> resampler;
    int filtered = 0;  // rows handed to the resampler, under the mutex
    int announced = 0;  // rows the filter thread was woken for (decoding thread only)
    std::thread filter;
    const bool overlap = std::thread::hardware_concurrency() > 1;
    if (overlap) {
        options.onRows = [&](const Bitmap& filling, int rows) {
            if (rows - announced < kBandRows) return;
            announced = rows;
            {
                std::lock_guard lock(handover.mutex);
                if (handover.pixels.isEmpty()) handover.pixels = filling;
                handover.rows = rows;
            }
            handover.ready.notify_one();
        };
        filter = std::thread([&] {
            std::unique_lock lock(handover.mutex);
            try {
                for (;;) {
                    handover.ready.wait(
                        lock, [&] { return handover.finished || handover.rows > filtered; });
                    if (handover.finished) return;
                    if (!resampler) {
                        // Small boxes are left to the decoding thread.
                        if (box.isEmpty() || qint64(box.width()) * box.height() < kOverlapPixels)
                            return;
                        // The rows of a grey JPEG get their palette only
                        // once decoded.
                        const Bitmap& p = handover.pixels;
                        resampler.emplace(p.size(), p.bitsPerPixel(),
                                          p.bitsPerPixel() == 8 ? GreyPalette() : QList<QRgb>(),
                                          box);
                    }
                    const int to = handover.rows;
                    const uchar* bits = handover.pixels.constBits();
                    const qsizetype stride = handover.pixels.stride();
                    lock.unlock();
                    resampler->Across(bits, stride, to);
                    lock.lock();
                    filtered = to;
                }
            } catch (...) {
                // Memory ran short: the decoding thread filters it all after.
                if (!lock.owns_lock()) lock.lock();
                resampler.reset();
            }
        });
    }
    // The filter thread ends, whatever way the decode ends, before the
    // pixels it reads can go.
    struct Join {
        Handover& handover;
        std::thread& filter;
        ~Join() {
            if (!filter.joinable()) return;
            {
                std::lock_guard lock(handover.mutex);
                handover.finished = true;
            }
            handover.ready.notify_one();
            filter.join();
        }
    };
    Bitmap reduced;
    {
        const Join join{handover, filter};
        reduced = ReadJpegFile(path, options);
    }
    if (keep) keep->decoded = reduced;
    if (box.isEmpty()) return {};
    if (!resampler) return ResampleLanczos(reduced, box);
    resampler->Across(reduced.constBits(), reduced.stride(), reduced.height());
    return resampler->Down();
}

}  // namespace

PictureThumbnail LoadThumbnail(const QString& path, const std::function<QSize(QSize)>& boxFor,
                               DecodedForThumbnail* keep) {
    const QString extension = FileExtension(path);
    const QString kind = extension.toLower();
    PictureThumbnail thumbnail;
    if (kind == u"jpg" || kind == u"jpeg") {
        thumbnail.image = ReadJpegThumbnail(path, boxFor, &thumbnail.natural, keep);
        return thumbnail;
    }
    if (kind == u"bmp") {
        BmpThumbnail bmp = ReadBmpThumbnail(path, boxFor);
        thumbnail.image = std::move(bmp.image);
        thumbnail.natural = bmp.natural;
        return thumbnail;
    }
    if (kind == u"ico") {
        const QImage icon = ReadIcoFile(path, kIconThumbnailMaxPixels);
        thumbnail.natural = icon.size();
        const QSize box = boxFor(thumbnail.natural);
        if (!box.isEmpty())
            thumbnail.image = icon.size() == box ? icon
                                                 : icon.scaled(box, Qt::IgnoreAspectRatio,
                                                               Qt::SmoothTransformation);
        return thumbnail;
    }
    // Metafiles are kept whole and drawn at the box's size; every other
    // extension is refused by LoadPicture with its message.
    const Picture picture = LoadPicture(path);
    thumbnail.metafile = picture.metafile();
    thumbnail.natural = picture.size();
    return thumbnail;
}

}  // namespace tamarind
