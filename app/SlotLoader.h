#pragma once
// Loading picture files for the slots: the thumbnail and the Exif summary of
// one file, and a run of files loaded in parallel on all cores but handed to
// the caller strictly in list order. Each file is first previewed (the
// thumbnail cache and the camera's own thumbnail, see SlotCache.h), then
// decoded unless the preview already holds its thumbnail. Nothing here
// touches a widget; the caller commits each result to its slot on the
// user-interface thread.

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

#include "app/SlotCache.h"
#include "picture/ThumbnailLoad.h"

namespace tamarind {

// What a slot receives of one file.
struct SlotLoad {
    PictureThumbnail thumbnail;
    QString summary;  // the Exif summary, from the read that gave the orientation
};

// Gives the picture box, in device pixels, for a picture of the natural size.
using BoxForSize = std::function<QSize(QSize natural)>;
// Decodes one file for a slot after its preview; raises the decoder's error
// on failure.
using SlotDecoder =
    std::function<SlotLoad(const QString& path, const BoxForSize& boxFor, const SlotPreview&)>;

// The thumbnail, then the Exif summary, through the decoder in force: the
// preview's thumbnail when it has one, otherwise the file decoded with the
// preview's picture options, the cache's entry then written in the
// background (or the failure recorded).
SlotLoad LoadSlotPicture(const QString& path, const BoxForSize& boxFor, const SlotPreview& preview);
// The decoder in force: the above unless replaced.
SlotDecoder CurrentSlotDecoder();
// Replaces the decoder (tests slow some files down); an empty one restores
// the real decoder. Returns the previous one.
SlotDecoder SetSlotDecoder(SlotDecoder decoder);

// A run of files decoded by a small pool of threads, which preview every
// file first and then decode them, in list order. Preview(i) waits for file
// i's preview; Take(i) waits for file i and hands over its result, or
// raises its error; after an error nothing more is decoded. The destructor
// lets files being worked on finish and drops every result not taken.
class ParallelSlotLoads {
  public:
    // `threads` 0 means one per core.
    ParallelSlotLoads(QStringList paths, BoxForSize boxFor, int threads = 0);
    ~ParallelSlotLoads();
    ParallelSlotLoads(const ParallelSlotLoads&) = delete;
    ParallelSlotLoads& operator=(const ParallelSlotLoads&) = delete;

    int count() const { return int(paths_.size()); }
    const SlotPreview& Preview(int index);
    SlotLoad Take(int index);

  private:
    void Work();

    const QStringList paths_;
    const BoxForSize boxFor_;
    const SlotDecoder decoder_;
    std::mutex mutex_;
    std::condition_variable ready_;
    int nextToStart_ = 0;   // previews 0 .. n-1, then decodes n .. 2n-1
    bool stopped_ = false;  // no more decoding
    bool closing_ = false;  // nothing more at all
    std::vector<SlotPreview> previews_;
    std::vector<char> previewed_;
    std::vector<std::optional<SlotLoad>> results_;
    std::vector<std::exception_ptr> errors_;
    std::vector<std::thread> workers_;
};

}  // namespace tamarind
