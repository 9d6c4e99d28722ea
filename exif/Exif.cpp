#include "exif/Exif.h"

#include <QLocale>
#include <QStringDecoder>
#include <algorithm>
#include <cmath>
#include <optional>

#include "exif/Orientation.h"
#include "platform/FileIo.h"

namespace tamarind {
namespace {

const QString kLineEnd = QStringLiteral("\n\r");
const QString kNothing = QStringLiteral("?");

// The TIFF block starts after the JPEG marker, the APP1 marker and length and
// the six bytes "Exif\0\0"; offsets inside it become window positions by
// adding this.
constexpr std::int64_t kTiffStart = 12;
// IFD0 is taken at TIFF offset 8: its entry count, then its entries.
constexpr std::int64_t kIfd0Count = kTiffStart + 8;
constexpr std::int64_t kIfd0Entries = kIfd0Count + 2;
constexpr std::int64_t kEntrySize = 12;

// A non-negative number as numerator and denominator.
struct Ratio {
    std::uint64_t numerator = 0;
    std::uint64_t denominator = 1;
};

// Bytes of one number inside a value of `type`, for writing a value in hex:
// the two halves of a RATIONAL are numbers of their own.
int HexUnitSize(std::uint16_t type) {
    if (type == kExifRational || type == kExifSRational) return 4;
    return std::max(1, ExifTypeSize(type));
}

bool IsInteger(std::uint16_t type) {
    switch (type) {
        case kExifByte:
        case kExifShort:
        case kExifLong:
        case kExifSByte:
        case kExifSShort:
        case kExifSLong:
            return true;
        default:
            return false;
    }
}

// Text bytes in the code page the camera texts were written in. Control bytes
// are never part of a double-byte character; they are copied as they are,
// since the Shift-JIS converter moves a few of them to other control codes.
QString DecodeShiftJis(const QByteArray& bytes) {
    QStringDecoder decoder("Shift_JIS", QStringDecoder::Flag::Stateless);
    // A Qt built without a converter for the code page still keeps plain ASCII.
    if (!decoder.isValid()) return QString::fromLatin1(bytes);
    QString text;
    qsizetype runStart = 0;
    for (qsizetype i = 0; i <= bytes.size(); ++i) {
        const bool end = i == bytes.size();
        const auto c = end ? 0 : static_cast<unsigned char>(bytes[i]);
        if (!end && c >= 0x20 && c != 0x7F) continue;
        if (i > runStart)
            text += decoder.decode(QByteArrayView(bytes).sliced(runStart, i - runStart));
        if (!end) text += QChar(c);
        runStart = i + 1;
    }
    return text;
}

// A number given in tenths, the tenths shown only when they are not zero,
// with the decimal point of the user's locale.
QString TenthsText(std::uint64_t tenths) {
    QString text = QString::number(tenths / 10);
    if (tenths % 10 != 0) text += QLocale().decimalPoint() + QString::number(tenths % 10);
    return text;
}

QString WithLocaleDecimalPoint(QString number) {
    return number.replace(QLatin1Char('.'), QLocale().decimalPoint());
}

}  // namespace

int ExifTypeSize(std::uint16_t type) {
    switch (type) {
        case kExifByte:
        case kExifAscii:
        case kExifSByte:
        case kExifUndefined:
            return 1;
        case kExifShort:
        case kExifSShort:
            return 2;
        case kExifLong:
        case kExifSLong:
        case kExifFloat:
            return 4;
        case kExifRational:
        case kExifSRational:
        case kExifDouble:
            return 8;
        default:
            return 0;
    }
}

ExifWindow::ExifWindow(QByteArrayView fileStart) {
    size_ = int(std::min<qsizetype>(fileStart.size(), kSize));
    std::copy_n(reinterpret_cast<const std::uint8_t*>(fileStart.data()), size_, bytes_.begin());
    if (ByteAt(kTiffStart) == 'M' && ByteAt(kTiffStart + 1) == 'M')
        order_ = ExifByteOrder::Motorola;
}

std::uint16_t ExifWindow::ReadWord(std::int64_t position) const {
    const unsigned b0 = ByteAt(position), b1 = ByteAt(position + 1);
    return std::uint16_t(order_ == ExifByteOrder::Motorola ? (b0 << 8 | b1) : (b1 << 8 | b0));
}

std::int32_t ExifWindow::ReadLong(std::int64_t position) const {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
        const int shift = order_ == ExifByteOrder::Motorola ? 8 * (3 - i) : 8 * i;
        v |= std::uint32_t(ByteAt(position + i)) << shift;
    }
    return std::int32_t(v);
}

namespace {

// The number that an entry of an integer type holds in its value field (the
// first value, read at the field's start), or the whole field as a signed
// 32-bit number for every other type.
std::int64_t FieldNumber(const ExifWindow& window, const ExifEntry& entry) {
    const std::int64_t field = entry.position + 8;
    switch (entry.type) {
        case kExifByte:
            return window.ByteAt(field);
        case kExifSByte:
            return std::int8_t(window.ByteAt(field));
        case kExifShort:
            return window.ReadWord(field);
        case kExifSShort:
            return std::int16_t(window.ReadWord(field));
        case kExifLong:
            return std::uint32_t(window.ReadLong(field));
        default:
            return window.ReadLong(field);
    }
}

std::uint64_t TotalBytes(const ExifEntry& entry) {
    return std::uint64_t(entry.count) * std::uint64_t(ExifTypeSize(entry.type));
}

// The entry's value as a non-negative ratio: the first value of a RATIONAL,
// or a non-negative whole number held in the value field. Nothing for text,
// undefined bytes and the other types.
std::optional<Ratio> EntryRatio(const ExifWindow& window, const ExifEntry& entry) {
    if (entry.type == kExifRational && entry.count > 0) {
        const std::int64_t data = std::int64_t(entry.value) + kTiffStart;
        return Ratio{std::uint32_t(window.ReadLong(data)),
                     std::uint32_t(window.ReadLong(data + 4))};
    }
    if (IsInteger(entry.type) && TotalBytes(entry) <= 4) {
        const std::int64_t n = FieldNumber(window, entry);
        if (n >= 0) return Ratio{std::uint64_t(n), 1};
    }
    return std::nullopt;
}

// The TIFF offset an Exif pointer entry holds: a SHORT's number stands in
// the first two bytes of the field, which in Motorola order are not the low
// half of the field read as a 32-bit number.
std::int64_t SubIfdOffset(const ExifWindow& window, const ExifEntry& entry) {
    if (entry.type == kExifShort) return window.ReadWord(entry.position + 8);
    return entry.value;
}

}  // namespace

ExifEntry ExifParser::ReadEntry(std::int64_t position) const {
    ExifEntry entry;
    entry.tag = window_.ReadWord(position);
    entry.type = window_.ReadWord(position + 2);
    entry.count = std::uint32_t(window_.ReadLong(position + 4));
    entry.value = std::uint32_t(window_.ReadLong(position + 8));
    entry.position = position;
    return entry;
}

QString ExifParser::ParseExifBlock() {
    pendingShutterText_.clear();
    if (window_.ByteAt(0) != 0xFF || window_.ByteAt(1) != 0xD8)
        return QStringLiteral("Not JPG File");
    static constexpr char kIdentifier[] = "Exif";  // with its zero byte
    for (int i = 0; i < 5; ++i) {
        if (window_.ByteAt(6 + i) != std::uint8_t(kIdentifier[i]))
            return QStringLiteral("Not Exif 形式");
    }

    QString result;
    const int count = window_.ReadWord(kIfd0Count);
    std::int64_t position = kIfd0Entries;
    // The first Exif pointer of IFD0, wherever it stands: cameras write the
    // GPS pointer or other entries after it, and many files have no IFD1.
    std::optional<std::int64_t> subIfd;
    for (int i = 0; i < count; ++i) {
        // Past the bytes held every entry reads as zeros, which shows nothing
        // and is no Exif pointer.
        if (position >= window_.size()) break;
        const ExifEntry entry = ReadEntry(position);
        position += kEntrySize;
        if (entry.tag == kTagExifIfdPointer && !subIfd)
            subIfd = SubIfdOffset(window_, entry) + kTiffStart + 2;
        const QString text = FormatTag(entry);
        if (text != kNothing) result += text + kLineEnd;
    }
    // The sub-directory's texts come after all of IFD0's lines.
    if (subIfd) result += WalkExifSubIfd(*subIfd);
    return result;
}

QString ExifParser::WalkExifSubIfd(std::int64_t position) {
    // The entry count is not read: the walk ends at the first entry with tag
    // 0, normally the zero link after the last entry. Past the window every
    // entry reads as zeros, so the walk always ends.
    QString result;
    for (;;) {
        const ExifEntry entry = ReadEntry(position);
        position += kEntrySize;
        const QString text = FormatTag(entry);
        if (text != kNothing) result += text;
        if (entry.tag == 0) break;
    }
    return result;
}

QString ExifParser::FormatTag(const ExifEntry& entry) {
    switch (entry.tag) {
        case kTagMake:
        case kTagModel:
            return FormatTagValue(entry);
        case kTagDateTime:
            return QStringLiteral("撮影 ") + FormatTagValue(entry);
        case kTagExposureTime:
            pendingShutterText_ = ShutterText(entry);
            return kNothing;
        case kTagCompressedBitsPerPixel:
            return QStringLiteral("  圧縮度合=") + FormatTagValue(entry);
        case kTagApertureValue:
            return pendingShutterText_ + QStringLiteral("  絞り=") + FNumberText(entry) + kLineEnd;
        case kTagFlash:
            return QStringLiteral("  ﾌﾗｯｼｭ=") + FormatTagValue(entry);
        case kTagFocalLength:
            return QStringLiteral("  f= ") + FormatTagValue(entry) + QStringLiteral("mm");
        case kTagPixelXDimension:
            return QStringLiteral("  W=") + FormatTagValue(entry);
        case kTagPixelYDimension:
            return QStringLiteral(" H=") + FormatTagValue(entry);
        default:
            return kNothing;
    }
}

QString ExifParser::FormatTagValue(const ExifEntry& entry) const {
    if (entry.type == kExifUndefined) return {};
    // 64-bit, so that no count can overflow the byte total.
    const std::uint64_t total = TotalBytes(entry);
    const bool inField = total <= 4;
    const std::int64_t data = inField ? entry.position + 8 : std::int64_t(entry.value) + kTiffStart;

    if (entry.type == kExifAscii) {
        // Zero bytes are left out wherever they stand; bytes past the end of
        // the window would all be zero.
        const std::int64_t end = std::min<std::int64_t>(data + std::int64_t(total), window_.size());
        QByteArray bytes;
        for (std::int64_t p = data; p < end; ++p) {
            if (const std::uint8_t c = window_.ByteAt(p)) bytes.append(char(c));
        }
        return DecodeShiftJis(bytes);
    }
    if (inField) return QString::number(FieldNumber(window_, entry));

    if (entry.type == kExifRational) {
        // The larger of numerator and denominator divided by the smaller.
        const Ratio r = *EntryRatio(window_, entry);
        if (r.numerator == 0 || r.denominator == 0) return QStringLiteral("0");
        return QString::number(r.denominator < r.numerator ? r.numerator / r.denominator
                                                           : r.denominator / r.numerator);
    }

    // Every byte in upper-case hex, each number of a multi-byte type written
    // least significant byte first whatever the file's byte order. The text
    // stops with the last number that starts inside the window.
    const int unit = HexUnitSize(entry.type);
    const std::int64_t inWindow = std::clamp<std::int64_t>(ExifWindow::kSize - data, 0, total);
    const std::int64_t shown = std::min<std::int64_t>((inWindow + unit - 1) / unit * unit, total);
    const bool swap = window_.byteOrder() == ExifByteOrder::Motorola;
    QString text;
    text.reserve(qsizetype(shown) * 2);
    static constexpr char kDigits[] = "0123456789ABCDEF";
    for (std::int64_t u = 0; u < shown; u += unit) {
        for (int b = 0; b < unit; ++b) {
            const std::uint8_t c = window_.ByteAt(data + u + (swap ? unit - 1 - b : b));
            text += QLatin1Char(kDigits[c >> 4]);
            text += QLatin1Char(kDigits[c & 15]);
        }
    }
    return text;
}

QString ExifParser::ShutterText(const ExifEntry& entry) const {
    const QString label = QStringLiteral("  ｼｬｯﾀｰ=");
    const QString seconds = QStringLiteral("秒");
    const std::optional<Ratio> r = EntryRatio(window_, entry);
    if (!r) return label + QStringLiteral("1/") + FormatTagValue(entry) + seconds;
    if (r->numerator == 0 || r->denominator == 0) return label + QStringLiteral("0") + seconds;
    // Below one second: 1/q with q = denominator / numerator, to the nearest
    // whole number from 10 up and to tenths below (5/8 s is 1/1.6 s, not 1/1).
    if (r->numerator < r->denominator) {
        const std::uint64_t n = r->numerator, d = r->denominator;
        const QString q = d >= 10 * n ? QString::number((2 * d + n) / (2 * n))
                                      : TenthsText((20 * d + n) / (2 * n));
        return label + QStringLiteral("1/") + q + seconds;
    }
    // One second or longer: the seconds, rounded to tenths.
    const std::uint64_t tenths = (20 * r->numerator + r->denominator) / (2 * r->denominator);
    return label + TenthsText(tenths) + seconds;
}

QString ExifParser::FNumberText(const ExifEntry& entry) const {
    const std::optional<Ratio> r = EntryRatio(window_, entry);
    if (!r || r->numerator == 0 || r->denominator == 0) return kNothing;
    return ApertureToFNumber(double(r->numerator) / double(r->denominator));
}

QString ApertureToFNumber(double av) {
    const double f = std::exp2(av / 2);
    if (!std::isfinite(f)) return kNothing;
    return WithLocaleDecimalPoint(QString::asprintf("%.1f", f));
}

QString ParseExifBlock(const ExifWindow& window) {
    return ExifParser(window).ParseExifBlock();
}

QString ReadExifSummary(const QString& path) { return ReadExifFacts(path).summary; }

ExifFacts ReadExifFacts(const QString& path) {
    QByteArray bytes;
    if (!TryReadFileBytes(path, ExifWindow::kSize, bytes)) return {};
    const ExifWindow window(bytes);
    return {ParseExifBlock(window), ExifOrientation(window)};
}

}  // namespace tamarind
