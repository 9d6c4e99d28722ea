#include "detail/FileFacts.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>

#include "platform/FileIo.h"
#include "platform/Folders.h"

namespace tamarind {

std::optional<FileFacts> ReadFileFacts(const QString& path) {
    const QByteArray native = EncodePath(path);
    struct statx st {};
    if (::statx(AT_FDCWD, native.constData(), 0,
                STATX_TYPE | STATX_MODE | STATX_SIZE | STATX_MTIME | STATX_BTIME, &st) != 0)
        return std::nullopt;
    FileFacts facts;
    if (::access(native.constData(), W_OK) != 0) facts.attributes += u'R';
    if (FileNameOf(path).startsWith(u'.')) facts.attributes += u'H';
    if (st.stx_mask & STATX_BTIME) facts.birthTime = st.stx_btime.tv_sec;
    facts.modifyTime = st.stx_mtime.tv_sec;
    facts.size = qint64(st.stx_size);
    return facts;
}

QString FormatFileTime(std::optional<qint64> secondsUtc) {
    static const char16_t* const kWeekdays[] = {u"日", u"月", u"火", u"水", u"木", u"金", u"土"};
    if (!secondsUtc) return QStringLiteral("不明");
    const std::time_t t = std::time_t(*secondsUtc);
    std::tm local {};
    if (!::localtime_r(&t, &local) || local.tm_year + 1900 < 1900) return QStringLiteral("不明");
    return QString::asprintf("%4d/%.2d/%.2d %.2d:%.2d:%.2d(", local.tm_year + 1900,
                             local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                             local.tm_sec) +
           QString::fromUtf16(kWeekdays[local.tm_wday]) + u')';
}

QString FormatByteCount(qint64 bytes, const QLocale& locale) {
    QLocale withGroups = locale;
    withGroups.setNumberOptions(withGroups.numberOptions() & ~QLocale::OmitGroupSeparator);
    return withGroups.toString(bytes) + QStringLiteral(" バイト");
}

QString LowerExtension(const QString& fileName) {
    const QString name = FileNameOf(fileName);
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot < 0 ? QString() : name.mid(dot).toLower();
}

DetailFormat DetailFormatOf(const QString& fileName) {
    const QString e = LowerExtension(fileName);
    if (e == u".jpg") return DetailFormat::Jpeg;
    if (e == u".bmp") return DetailFormat::Bmp;
    if (e == u".wmf" || e == u".ico") return DetailFormat::Measured;
    return DetailFormat::Unknown;
}

QString DepthText(int bitsPerPixel) {
    switch (bitsPerPixel) {
        case 1: return QStringLiteral("２色");
        case 4: return QStringLiteral("16色");
        case 8: return QStringLiteral("256色");
        case 15:
        case 16: return QStringLiteral("32k/64k色");
        case 24: return QStringLiteral("16.8Ｍ色");
        case 32: return QStringLiteral("4.3G色");
        default: return QStringLiteral("?????");
    }
}

QString ImageLine(int width, int height, const QString& depth) {
    return QStringLiteral(" ( %1×%2 ) ").arg(width).arg(height) + depth;
}

}  // namespace tamarind
