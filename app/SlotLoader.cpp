#include "app/SlotLoader.h"

#include <algorithm>

#include "exif/Exif.h"
#include "picture/Orientation.h"
#include "picture/PictureLoad.h"

namespace tamarind {
namespace {

SlotLoad DecodeForSlot(const QString& path, const BoxForSize& boxFor, const SlotPreview& preview) {
    if (preview.failure) throw TamarindError(*preview.failure);
    // One read of the file's start gives the summary and the orientation the
    // thumbnail needs (the preview's, for JPEG files); the summary is used
    // only when the picture decodes.
    const ExifFacts facts = preview.facts ? *preview.facts : ReadExifFacts(path);
    SlotLoad load;
    if (!preview.picture.isNull()) {
        load.thumbnail.image = preview.picture;
        load.thumbnail.natural = preview.natural;
        load.thumbnail.orientation = facts.orientation;
        load.thumbnail.options = preview.options;
    } else {
        DecodedForThumbnail decoded;
        decoded.cover = ThumbnailEntryCover;
        DecodedForThumbnail* keep = preview.file ? &decoded : nullptr;
        try {
            load.thumbnail = LoadThumbnail(path, boxFor, preview.options, facts.orientation, keep);
        } catch (const TamarindError& error) {
            if (preview.file) KeepSlotFailure(*preview.file, error);
            throw;
        }
        // The entry is written only for the file as it was looked at.
        if (keep && !decoded.decoded.isEmpty() && CachedFileOf(path) == preview.file)
            KeepSlotThumbnail(*preview.file, load.thumbnail.image.size(),
                              UprightSize(load.thumbnail.natural,
                                          preview.options.upright ? facts.orientation : 1),
                              facts.orientation, decoded.decoded);
    }
    load.summary = facts.summary;
    return load;
}

std::mutex decoderMutex;
SlotDecoder& Decoder() {
    static SlotDecoder decoder = DecodeForSlot;
    return decoder;
}

}  // namespace

SlotDecoder CurrentSlotDecoder() {
    std::lock_guard lock(decoderMutex);
    return Decoder();
}

SlotDecoder SetSlotDecoder(SlotDecoder decoder) {
    std::lock_guard lock(decoderMutex);
    SlotDecoder previous = std::move(Decoder());
    Decoder() = decoder ? std::move(decoder) : SlotDecoder(DecodeForSlot);
    return previous;
}

SlotLoad LoadSlotPicture(const QString& path, const BoxForSize& boxFor,
                         const SlotPreview& preview) {
    return CurrentSlotDecoder()(path, boxFor, preview);
}

ParallelSlotLoads::ParallelSlotLoads(QStringList paths, BoxForSize boxFor, int threads)
    : paths_(std::move(paths)),
      boxFor_(std::move(boxFor)),
      decoder_(CurrentSlotDecoder()),
      previews_(size_t(paths_.size())),
      previewed_(size_t(paths_.size()), 0),
      results_(size_t(paths_.size())),
      errors_(size_t(paths_.size())) {
    if (threads <= 0) threads = int(std::max(1u, std::thread::hardware_concurrency()));
    threads = std::min<int>(threads, int(paths_.size()));
    for (int i = 0; i < threads; ++i) workers_.emplace_back([this] { Work(); });
}

ParallelSlotLoads::~ParallelSlotLoads() {
    {
        std::lock_guard lock(mutex_);
        stopped_ = true;
        closing_ = true;
    }
    ready_.notify_all();
    for (std::thread& worker : workers_) worker.join();
}

void ParallelSlotLoads::Work() {
    const int n = int(paths_.size());
    for (;;) {
        int task;
        {
            std::unique_lock lock(mutex_);
            // Previews are always made: the caller waits for each of them.
            if (closing_ || nextToStart_ >= 2 * n || (stopped_ && nextToStart_ >= n)) return;
            task = nextToStart_++;
            // A file is decoded after its preview, which another thread may
            // still be making.
            if (task >= n) {
                ready_.wait(lock, [&] { return stopped_ || previewed_[size_t(task - n)]; });
                if (stopped_) return;
            }
        }
        if (task < n) {
            SlotPreview preview = PreviewSlotFile(paths_[task], boxFor_);
            {
                std::lock_guard lock(mutex_);
                previews_[size_t(task)] = std::move(preview);
                previewed_[size_t(task)] = 1;
            }
            ready_.notify_all();
            continue;
        }
        const int index = task - n;
        std::optional<SlotLoad> result;
        std::exception_ptr error;
        try {
            result = decoder_(paths_[index], boxFor_, previews_[size_t(index)]);
        } catch (...) {
            error = std::current_exception();
        }
        {
            std::lock_guard lock(mutex_);
            results_[size_t(index)] = std::move(result);
            errors_[size_t(index)] = error;
            // Files after a failed one will never be committed.
            if (error) stopped_ = true;
        }
        ready_.notify_all();
    }
}

const SlotPreview& ParallelSlotLoads::Preview(int index) {
    std::unique_lock lock(mutex_);
    ready_.wait(lock, [&] { return previewed_[size_t(index)] != 0; });
    return previews_[size_t(index)];
}

SlotLoad ParallelSlotLoads::Take(int index) {
    std::unique_lock lock(mutex_);
    ready_.wait(lock, [&] { return results_[size_t(index)] || errors_[size_t(index)]; });
    if (errors_[size_t(index)]) {
        stopped_ = true;
        std::rethrow_exception(errors_[size_t(index)]);
    }
    SlotLoad result = std::move(*results_[size_t(index)]);
    results_[size_t(index)].reset();
    return result;
}

}  // namespace tamarind
