#include "batch/SequenceName.h"

namespace tamarind {

QString PadNumber(const QString& number, int digits) {
    const qsizetype zeros = digits - number.size() - 1;
    if (zeros >= 1) return QString(zeros, u'0') + number;
    return number;
}

QString SequenceName(const NamingSettings& settings, std::int64_t k) {
    const std::int64_t number = k * settings.increment + settings.startValue;
    return settings.fixedPart + PadNumber(QString::number(number), settings.digits) +
           settings.extensionPart;
}

QString FirstLine(const QString& text) {
    qsizetype end = text.indexOf(u'\n');
    if (end < 0) end = text.size();
    QString line = text.left(end);
    if (line.endsWith(u'\r')) line.chop(1);
    return line;
}

bool IsUsableFixedPart(const QString& fixedPart) {
    return !fixedPart.contains(u'/') && !fixedPart.contains(QChar(u'\0'));
}

}  // namespace tamarind
