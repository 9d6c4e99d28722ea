// Build-time tool: writes the program icon as tamarind.svg and as
// tamarind-<size>.png for each size given, into the folder given first.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <cstdio>

#include "app/AppIcon.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 3) {
        std::fprintf(stderr, "usage: tamarind_make_icons <folder> <size>...\n");
        return 2;
    }
    const QDir dir(args.at(1));
    if (!QDir().mkpath(dir.path())) return 1;
    QFile svg(dir.filePath(QStringLiteral("tamarind.svg")));
    const QByteArray text = tamarind::AppIconSvg().toUtf8();
    if (!svg.open(QIODevice::WriteOnly) || svg.write(text) != text.size() || !svg.flush()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(svg.fileName()));
        return 1;
    }
    for (int i = 2; i < args.size(); ++i) {
        const int size = args.at(i).toInt();
        const QString path = dir.filePath(QStringLiteral("tamarind-%1.png").arg(size));
        if (size <= 0 || !tamarind::DrawAppIcon(size).save(path, "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
