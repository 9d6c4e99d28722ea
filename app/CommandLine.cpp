#include "app/CommandLine.h"

namespace tamarind {

StartupOptions ParseCommandLine(const QStringList& given) {
    StartupOptions options;
    QStringList args;
    for (const QString& arg : given) {
        if (arg == u"--upright") options.upright = true;
        else if (arg == u"--other-formats") options.otherFormats = true;
        else args << arg;
    }
    if (args.isEmpty()) return options;
    const QString& first = args.at(0);
    if (first.size() >= 3) {
        options.startFile = first;
        options.layout = 1;
        return options;
    }
    bool ok = false;
    const int layout = first.toInt(&ok, 10);
    if (ok && layout >= 1) options.layout = layout > 10 ? 10 : layout;
    if (args.size() >= 2) options.continuous = args.at(1) == QStringLiteral("1");
    if (args.size() >= 3 && !args.at(2).isEmpty()) {
        const int unit = args.at(2).toInt(&ok, 10);
        options.displayUnit = ok && (unit == 1 || unit == 2) ? unit : 0;
    }
    return options;
}

}  // namespace tamarind
