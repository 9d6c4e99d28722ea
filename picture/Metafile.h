#pragma once
// Windows metafiles (WMF, EMF): measured and drawn by our own player.

#include <QByteArray>
#include <QRectF>
#include <QSize>
#include <memory>

class QPainter;

namespace tamarind {

class MetafilePicture {
public:
    virtual ~MetafilePicture() = default;
    // The picture's natural size in pixels at 96 dpi.
    virtual QSize NaturalSize() const = 0;
    // Draws the whole picture stretched into `target`.
    virtual void Draw(QPainter& painter, const QRectF& target) const = 0;
};

// Parse a WMF (with or without the placeable header) or an EMF file's bytes.
// A damaged or hostile file raises TamarindError("メタファイルが不正です").
std::shared_ptr<const MetafilePicture> LoadWmf(const QByteArray& bytes);
std::shared_ptr<const MetafilePicture> LoadEmf(const QByteArray& bytes);

}  // namespace tamarind
