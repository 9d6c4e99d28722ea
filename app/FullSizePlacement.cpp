#include "app/FullSizePlacement.h"

#include <QtGlobal>

namespace tamarind {

namespace {

// a * b / c on 64 bits, so that very large pictures cannot overflow; the
// result is at most the limit it was fitted to, so it fits an int again.
int ScaleTruncated(int a, int b, int c) {
    return static_cast<int>(static_cast<qint64>(a) * b / c);
}

QPoint Centred(QSize window, QSize screen) {
    return {(screen.width() - window.width()) / 2, (screen.height() - window.height()) / 2};
}

}  // namespace

QSize FullSizeLimits(QSize screen) {
    return {screen.width() * 95 / 100, screen.height() * 95 / 100};
}

QSize FullSizeImageSize(QSize picture, QSize screen) {
    const QSize limit = FullSizeLimits(screen);
    const int w = picture.width();
    const int h = picture.height();
    if (w < limit.width() && h < limit.height()) return picture;
    if (w <= 0 || h <= 0 || screen.height() <= 0) return picture;
    const float heightAsScreenWidth =
        static_cast<float>(h) * static_cast<float>(screen.width()) / static_cast<float>(screen.height());
    if (heightAsScreenWidth >= static_cast<float>(w))
        return {ScaleTruncated(limit.height(), w, h), limit.height()};
    return {limit.width(), ScaleTruncated(limit.width(), h, w)};
}

QPoint PlaceByWidth(int value, QSize window, QSize screen) {
    return value <= 700 ? Centred(window, screen) : QPoint(20, 50);
}

QPoint PlaceByHeight(int value, QSize window, QSize screen) {
    return value <= 700 ? Centred(window, screen) : QPoint(20, 0);
}

}  // namespace tamarind
