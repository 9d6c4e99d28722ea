#include "app/SlotCache.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cmath>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <span>
#include <thread>
// clang-format off
#include <cstdio>
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include "app/VersionInfo.h"
#include "exif/Exif.h"
#include "exif/ExifThumbnail.h"
#include "exif/Orientation.h"
#include "picture/Jpeg.h"
#include "picture/JpegHead.h"
#include "picture/Orientation.h"
#include "picture/Picture.h"
#include "picture/Resample.h"
#include "picture/ThumbnailLoad.h"
#include "platform/FileIo.h"

namespace tamarind {
namespace {

// Exif thumbnails are small (160 x 120 is usual); anything claiming more
// than this is no honest one.
constexpr qint64 kMaxExifThumbnailPixels = qint64(1) << 22;
constexpr long kExifThumbnailMaxMemory = 16L * 1024 * 1024;

bool IsJpegName(const QString& path) {
    const QString kind = FileExtension(path).toLower();
    return kind == u"jpg" || kind == u"jpeg";
}

// The middle of `image` in the proportions of `natural`: cameras fill the
// thumbnail of a 3:2 picture out to 4:3 with black bars.
QImage InProportion(const QImage& image, QSize natural) {
    const double want = double(natural.width()) / natural.height();
    const double have = double(image.width()) / image.height();
    if (std::fabs(have / want - 1.0) <= 0.02) return image;
    if (have > want) {
        const int w = std::max(1, int(std::lround(image.height() * want)));
        return image.copy((image.width() - w) / 2, 0, w, image.height());
    }
    const int h = std::max(1, int(std::lround(image.width() / want)));
    return image.copy(0, (image.height() - h) / 2, image.width(), h);
}

// The camera's thumbnail of the picture, decoded no larger than the box
// needs; null when there is none or it is damaged.
QImage ExifPlaceholder(const QByteArray& tiff, QSize natural, QSize box) {
    const QByteArray jpeg = ExifThumbnailJpeg(tiff);
    if (jpeg.isEmpty()) return {};
    try {
        JpegReadOptions options;
        options.scaleDenominator = 8;
        options.scaleFor = [&](QSize size) { return JpegThumbnailScale(size, box); };
        options.maxPixels = kMaxExifThumbnailPixels;
        options.maxMemory = kExifThumbnailMaxMemory;
        const Bitmap bitmap = DecodeJpeg(
            std::span(reinterpret_cast<const uchar*>(jpeg.constData()), size_t(jpeg.size())),
            options);
        if (bitmap.isEmpty()) return {};
        return InProportion(bitmap.ToQImage().convertToFormat(QImage::Format_RGB32), natural);
    } catch (...) {
        return {};
    }
}

// The stored picture back from an upright one: the turn undone.
QImage StoredFromUpright(const QImage& upright, int orientation) {
    // 6 and 8 turn opposite ways; the other orientations undo themselves.
    static const int inverse[9] = {1, 1, 2, 3, 4, 5, 8, 7, 6};
    return OrientImage(upright, orientation >= 1 && orientation <= 8 ? inverse[orientation] : 1);
}

// --- Writing in the background ---------------------------------------------------------

struct EntryJob {
    CachedFile file;
    int classSize = 0;  // 0: a failure record
    QSize natural;      // as stored
    int orientation = 1;
    Bitmap decoded;
    QString failure;
};

void Write(const EntryJob& job) {
    try {
        const ThumbnailWriter writer = ProgramThumbnailWriter();
        if (job.classSize == 0) {
            WriteThumbnailFailure(job.file, job.failure, writer);
            return;
        }
        const QSize size = ThumbnailEntrySize(job.natural, job.classSize);
        // Upright, as the desktop's other programs show their entries.
        const QImage image =
            OrientImage(job.decoded.size() == size
                            ? job.decoded.ToQImage().convertToFormat(QImage::Format_RGB32)
                            : ResampleLanczos(job.decoded, size),
                        job.orientation);
        WriteThumbnail(job.file, job.classSize, image, job.natural, "image/jpeg", writer);
    } catch (...) {
        // Out of memory: the entry is simply not written.
    }
}

// One thread that writes the queued entries at the lowest priority, so that
// decoding for the slots never waits for it; whoever waits for the queue to
// empty lends a hand.
class EntryWriter {
  public:
    static EntryWriter& Instance() {
        static EntryWriter writer;
        return writer;
    }
    ~EntryWriter() {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        wake_.notify_all();
        if (thread_.joinable()) thread_.join();
    }

    void Add(EntryJob job) {
        {
            std::lock_guard lock(mutex_);
            jobs_.push_back(std::move(job));
            if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
        }
        wake_.notify_one();
    }

    void Finish() {
        std::unique_lock lock(mutex_);
        while (!jobs_.empty()) RunOne(lock);
        idle_.wait(lock, [&] { return running_ == 0; });
    }

  private:
    void Run() {
        ::setpriority(PRIO_PROCESS, id_t(::syscall(SYS_gettid)), 19);
        std::unique_lock lock(mutex_);
        for (;;) {
            wake_.wait(lock, [&] { return stop_ || !jobs_.empty(); });
            if (stop_) return;
            RunOne(lock);
        }
    }
    void RunOne(std::unique_lock<std::mutex>& lock) {
        EntryJob job = std::move(jobs_.front());
        jobs_.pop_front();
        ++running_;
        lock.unlock();
        Write(job);
        job = EntryJob{};  // the decoded picture goes before the lock is taken
        lock.lock();
        --running_;
        idle_.notify_all();
    }

    std::mutex mutex_;
    std::condition_variable wake_, idle_;
    std::deque<EntryJob> jobs_;
    int running_ = 0;
    bool stop_ = false;
    std::thread thread_;
};

// Whether a decoder's error lies in the file itself, so that decoding it
// again unchanged fails again: libjpeg's verdicts on the data, not a read
// error or a shortage of memory.
bool IsLastingFailure(const TamarindError& error) {
    static const QString prefix = QStringLiteral("JPEG エラー #");
    if (!error.text().startsWith(prefix)) return false;
    bool ok = false;
    const int code = error.text().mid(prefix.size()).toInt(&ok);
    return ok && code != JERR_FILE_READ && code != JERR_OUT_OF_MEMORY;
}

}  // namespace

ThumbnailWriter ProgramThumbnailWriter() {
    const QString version = VersionEntry("ProductVersion");
    return {QStringLiteral("Tamarind ") + version, QStringLiteral("tamarind-") + version};
}

QSize ThumbnailEntryCover(QSize natural, QSize box) {
    return ThumbnailEntrySize(natural, ThumbnailClassFor(box));
}

SlotPreview PreviewSlotFile(const QString& path, const std::function<QSize(QSize)>& boxFor) {
    SlotPreview preview;
    preview.options = CurrentPictureOptions();
    if (!IsJpegName(path)) return preview;
    try {
        const JpegHead head = ReadJpegHead(path);
        int orientation = 1;
        if (head.opened) {
            const ExifWindow window(head.start);
            preview.facts = ExifFacts{ParseExifBlock(window), ExifOrientation(window)};
            orientation = preview.facts->orientation;
        }
        const ThumbnailWriter writer = ProgramThumbnailWriter();
        preview.file = CachedFileOf(path);
        if (preview.file) {
            preview.failure = RecordedThumbnailFailure(*preview.file, writer);
            if (preview.failure) return preview;
        }
        if (!head.natural.isValid()) return preview;
        // Shown as stored, or upright.
        const int turn = preview.options.upright ? orientation : 1;
        preview.stored = head.natural;
        preview.natural = UprightSize(head.natural, turn);
        const QSize box = boxFor(preview.natural);
        if (box.isEmpty()) return preview;
        if (preview.file) {
            if (std::optional<ThumbnailEntry> entry = FindThumbnail(*preview.file, box, writer)) {
                const QImage shown = turn == orientation
                                         ? entry->image
                                         : StoredFromUpright(entry->image, orientation);
                // Ours, of this very picture, covering the box: the thumbnail itself.
                if (entry->ours && entry->natural == head.natural && shown.width() >= box.width() &&
                    shown.height() >= box.height()) {
                    preview.picture = shown.size() == box
                                          ? shown
                                          : ResampleLanczos(Bitmap::FromQImage(shown), box);
                    return preview;
                }
                preview.placeholder = InProportion(shown, preview.natural);
                return preview;
            }
        }
        // The camera's thumbnail is stored as the picture is.
        preview.placeholder =
            OrientImage(ExifPlaceholder(head.exif, head.natural, UprightSize(box, turn)), turn);
    } catch (...) {
        // Out of memory: no preview, the decode follows as always.
        preview.picture = QImage();
        preview.placeholder = QImage();
    }
    return preview;
}

void KeepSlotThumbnail(const CachedFile& file, QSize box, QSize stored, int orientation,
                       const Bitmap& decoded) {
    const int classSize = ThumbnailClassFor(box);
    if (classSize == 0 || decoded.isEmpty() || stored.isEmpty()) return;
    EntryWriter::Instance().Add({file, classSize, stored, orientation, decoded, {}});
}

void KeepSlotFailure(const CachedFile& file, const TamarindError& error) {
    if (IsLastingFailure(error)) EntryWriter::Instance().Add({file, 0, {}, 1, {}, error.text()});
}

void FinishThumbnailWrites() {
    EntryWriter::Instance().Finish();
}

}  // namespace tamarind
