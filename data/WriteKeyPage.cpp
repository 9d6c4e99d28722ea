// Writes the key page of the user guide from the key table: the part of
// the help file between the key page's two marker lines is replaced, the
// rest kept byte for byte. Run by `cmake --build build --target key_page`
// after the table changed; a test checks that the guide is current.
#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>
#include <cstdio>

#include "app/KeyActions.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s tamarind.hlp\n", argv[0]);
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "%s: cannot read %s\n", argv[0], argv[1]);
        return 1;
    }
    const QString text = QString::fromUtf8(in.readAll());
    in.close();
    const QString written = tamarind::WithKeyPage(text, tamarind::KeyPageHtml());
    if (!text.contains(tamarind::kKeyPageBegin) || !text.contains(tamarind::kKeyPageEnd)) {
        std::fprintf(stderr, "%s: %s has no key page markers\n", argv[0], argv[1]);
        return 1;
    }
    if (written == text) return 0;
    QSaveFile out(path);
    const QByteArray bytes = written.toUtf8();
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit()) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[1]);
        return 1;
    }
    return 0;
}
