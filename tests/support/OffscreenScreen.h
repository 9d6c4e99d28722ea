#pragma once
// Qt's offscreen platform with one 1024 x 768 screen at 96 dots per inch, no
// window frames, and window-system events delivered at once: the screen every
// widget test and benchmark child runs on. Header only, for the benchmarks.

#include <QFile>
#include <QString>
#include <QtGlobal>

namespace tamarind::test {

// Writes the platform's configuration into `folder` (which must outlive the
// application) and selects it for the QApplication made next.
inline void UseOffscreenScreen(const QString& folder) {
    const QString config = folder + QStringLiteral("/screen.json");
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly)) return;
    file.write(R"({"synchronousWindowSystemEvents": true, "windowFrameMargins": false,
        "screens": [{"name": "Screen", "x": 0, "y": 0, "width": 1024, "height": 768,
        "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
    file.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config.toLocal8Bit());
}

}  // namespace tamarind::test
