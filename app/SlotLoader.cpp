#include "app/SlotLoader.h"

#include <algorithm>

#include "exif/Exif.h"
#include "picture/PictureLoad.h"

namespace tamarind {
namespace {

SlotLoad DecodeForSlot(const QString& path, const BoxForSize& boxFor) {
    // One read of the file's start gives the summary and the orientation the
    // thumbnail needs; the summary is used only when the picture decodes.
    const ExifFacts facts = ReadExifFacts(path);
    SlotLoad load;
    load.thumbnail = LoadThumbnail(path, boxFor, CurrentPictureOptions(), facts.orientation);
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

SlotLoad LoadSlotPicture(const QString& path, const BoxForSize& boxFor) {
    return CurrentSlotDecoder()(path, boxFor);
}

ParallelSlotLoads::ParallelSlotLoads(QStringList paths, BoxForSize boxFor, int threads)
    : paths_(std::move(paths)),
      boxFor_(std::move(boxFor)),
      decoder_(CurrentSlotDecoder()),
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
    }
    for (std::thread& worker : workers_) worker.join();
}

void ParallelSlotLoads::Work() {
    for (;;) {
        int index;
        {
            std::lock_guard lock(mutex_);
            if (stopped_ || nextToStart_ >= paths_.size()) return;
            index = nextToStart_++;
        }
        std::optional<SlotLoad> result;
        std::exception_ptr error;
        try {
            result = decoder_(paths_[index], boxFor_);
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
