#pragma once
// Windows metafiles (WMF, EMF): measured and drawn by our own player.

#include <QByteArray>
#include <QRectF>
#include <QSize>
#include <cstdint>
#include <memory>

class QPainter;

namespace tamarind {

// The most work one drawing of a metafile may do, so that a hostile file
// cannot hold the program. Playback stops at whichever limit it reaches first
// and keeps what it has drawn.
struct MetafileLimits {
    // Records played.
    int64_t maxRecords = 2'000'000;
    // Vertices, characters, region rectangles and path elements handed on.
    double maxPoints = 20'000'000;
    // Pixels covered by the shapes drawn, in multiples of the target's area,
    // plus a fixed allowance of maxPixelsExtra.
    double maxOverdraw = 1000;
    double maxPixelsExtra = 64.0 * 1024 * 1024;
    // Device-context states saved at once.
    int maxSavedStates = 1024;
};

class MetafilePicture {
  public:
    virtual ~MetafilePicture() = default;
    // The picture's natural size in pixels at 96 dpi.
    virtual QSize NaturalSize() const = 0;
    // Draws the whole picture stretched into `target`.
    virtual void Draw(QPainter& painter, const QRectF& target) const = 0;
    // The same within explicit limits (Draw uses the defaults). Drawing never
    // throws: a record that cannot be played is skipped, and damage that
    // breaks the record chain ends the picture there.
    virtual void DrawWithin(QPainter& painter, const QRectF& target,
                            const MetafileLimits& limits) const {
        (void)limits;
        Draw(painter, target);
    }
};

// Parse a WMF (with or without the placeable header) or an EMF file's bytes.
// A damaged or hostile file raises TamarindError("メタファイルが不正です").
std::shared_ptr<const MetafilePicture> LoadWmf(const QByteArray& bytes);
std::shared_ptr<const MetafilePicture> LoadEmf(const QByteArray& bytes);

}  // namespace tamarind
