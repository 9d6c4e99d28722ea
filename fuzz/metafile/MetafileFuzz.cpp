// libFuzzer target for the metafile players: loads the input as a WMF (with
// TAMARIND_FUZZ_WMF) or an EMF and, when it loads, draws it into a small
// image with the default playback limits.

#include <QByteArray>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cstddef>
#include <cstdint>

#include "picture/Metafile.h"
#include "platform/Errors.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    // Text needs fonts, and fonts need a GUI application; the offscreen
    // platform needs no display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication* app = new QGuiApplication(*argc, *argv);
    (void)app;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The bytes stay in libFuzzer's own buffer, so that a read past the end
    // is caught.
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    try {
#ifdef TAMARIND_FUZZ_WMF
        const auto picture = tamarind::LoadWmf(bytes);
#else
        const auto picture = tamarind::LoadEmf(bytes);
#endif
        (void)picture->NaturalSize();
        QImage image(96, 72, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        QPainter painter(&image);
        picture->Draw(painter, QRectF(0, 0, 96, 72));
    } catch (const tamarind::TamarindError&) {
        // A refused file is a correct answer.
    }
    return 0;
}
