#pragma once
// Loading picture files for the slots: the thumbnail and the Exif summary of
// one file, and a run of files loaded in parallel on all cores but handed to
// the caller strictly in list order. Nothing here touches a widget; the
// caller commits each result to its slot on the user-interface thread.

#include <QSize>
#include <QString>
#include <QStringList>
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "picture/ThumbnailLoad.h"

namespace tamarind {

// What a slot receives of one file.
struct SlotLoad {
    PictureThumbnail thumbnail;
    QString summary;  // the Exif summary, from the read that gave the orientation
};

// Gives the picture box for a picture of the natural size.
using BoxForSize = std::function<QSize(QSize natural)>;
// Decodes one file for a slot; raises the decoder's error on failure.
using SlotDecoder = std::function<SlotLoad(const QString& path, const BoxForSize& boxFor)>;

// The thumbnail, then the Exif summary, through the decoder in force.
SlotLoad LoadSlotPicture(const QString& path, const BoxForSize& boxFor);
// The decoder in force unless replaced: ReadExifFacts, then LoadThumbnail
// with the current picture options.
SlotDecoder CurrentSlotDecoder();
// Replaces the decoder (tests slow some files down); an empty one restores
// the real decoder. Returns the previous one.
SlotDecoder SetSlotDecoder(SlotDecoder decoder);

// A run of files decoded by a small pool of threads, which take the files in
// list order. Take(i) waits for file i and hands over its result, or raises
// its error; after an error nothing more is started. The destructor lets
// files being decoded finish and drops every result not taken.
class ParallelSlotLoads {
  public:
    // `threads` 0 means one per core.
    ParallelSlotLoads(QStringList paths, BoxForSize boxFor, int threads = 0);
    ~ParallelSlotLoads();
    ParallelSlotLoads(const ParallelSlotLoads&) = delete;
    ParallelSlotLoads& operator=(const ParallelSlotLoads&) = delete;

    int count() const { return int(paths_.size()); }
    SlotLoad Take(int index);

  private:
    void Work();

    const QStringList paths_;
    const BoxForSize boxFor_;
    const SlotDecoder decoder_;
    std::mutex mutex_;
    std::condition_variable ready_;
    int nextToStart_ = 0;
    bool stopped_ = false;
    std::vector<std::optional<SlotLoad>> results_;
    std::vector<std::exception_ptr> errors_;
    std::vector<std::thread> workers_;
};

}  // namespace tamarind
