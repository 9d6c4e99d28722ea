#include "app/AppIcon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <vector>

namespace tamarind {

namespace {

// Shapes in a 256 × 256 design square, drawn in order.
struct Shape {
    enum Kind { RoundedRect, Circle, Polygon } kind;
    QColor fill;
    QRectF rect;     // RoundedRect; Circle: its bounding square
    double radius;   // RoundedRect corner radius
    std::vector<QPointF> points;  // Polygon
};

const std::vector<Shape>& IconShapes() {
    static const std::vector<Shape> shapes = {
        // the tile
        {Shape::RoundedRect, QColor(0x7a, 0x4a, 0x22), QRectF(16, 16, 224, 224), 40, {}},
        {Shape::RoundedRect, QColor(0x96, 0x5e, 0x2e), QRectF(24, 24, 208, 208), 34, {}},
        // the picture frame and its sky
        {Shape::RoundedRect, QColor(0xff, 0xff, 0xff), QRectF(44, 56, 168, 144), 10, {}},
        {Shape::RoundedRect, QColor(0x8e, 0xc9, 0xf0), QRectF(56, 68, 144, 120), 3, {}},
        // the sun
        {Shape::Circle, QColor(0xf6, 0xb7, 0x3c), QRectF(150, 82, 36, 36), 0, {}},
        // the hills
        {Shape::Polygon, QColor(0x4e, 0x9a, 0x4a), {}, 0,
         {{56, 188}, {56, 150}, {100, 108}, {138, 146}, {162, 128}, {200, 162}, {200, 188}}},
        {Shape::Polygon, QColor(0x3a, 0x7a, 0x38), {}, 0,
         {{56, 188}, {56, 172}, {96, 150}, {140, 176}, {170, 160}, {200, 178}, {200, 188}}},
    };
    return shapes;
}

QString SvgColor(const QColor& c) { return c.name(QColor::HexRgb); }

}  // namespace

QImage DrawAppIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 256.0, size / 256.0);
    painter.setPen(Qt::NoPen);
    for (const Shape& s : IconShapes()) {
        painter.setBrush(s.fill);
        switch (s.kind) {
            case Shape::RoundedRect: painter.drawRoundedRect(s.rect, s.radius, s.radius); break;
            case Shape::Circle: painter.drawEllipse(s.rect); break;
            case Shape::Polygon:
                painter.drawPolygon(QPolygonF(QList<QPointF>(s.points.begin(), s.points.end())));
                break;
        }
    }
    painter.end();
    return image;
}

QString AppIconSvg() {
    QString svg = QStringLiteral(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"256\" height=\"256\" "
        "viewBox=\"0 0 256 256\">\n"
        "  <title>Tamarind</title>\n");
    for (const Shape& s : IconShapes()) {
        switch (s.kind) {
            case Shape::RoundedRect:
                svg += QStringLiteral(
                           "  <rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" rx=\"%5\" "
                           "fill=\"%6\"/>\n")
                           .arg(s.rect.x()).arg(s.rect.y()).arg(s.rect.width())
                           .arg(s.rect.height()).arg(s.radius).arg(SvgColor(s.fill));
                break;
            case Shape::Circle:
                svg += QStringLiteral("  <circle cx=\"%1\" cy=\"%2\" r=\"%3\" fill=\"%4\"/>\n")
                           .arg(s.rect.center().x()).arg(s.rect.center().y())
                           .arg(s.rect.width() / 2).arg(SvgColor(s.fill));
                break;
            case Shape::Polygon: {
                QStringList points;
                for (const QPointF& p : s.points)
                    points << QStringLiteral("%1,%2").arg(p.x()).arg(p.y());
                svg += QStringLiteral("  <polygon points=\"%1\" fill=\"%2\"/>\n")
                           .arg(points.join(u' '), SvgColor(s.fill));
                break;
            }
        }
    }
    svg += QStringLiteral("</svg>\n");
    return svg;
}

}  // namespace tamarind
