#pragma once
// Builds the head of a JPEG file with an Exif block as its first segment:
// IFD0, the Exif sub-directory, an empty IFD1 and a data area for values
// longer than 4 bytes, written in either byte order.

#include <QByteArray>
#include <QLocale>
#include <QString>
#include <cstdint>
#include <optional>
#include <ostream>
#include <vector>

#include "exif/Exif.h"

// Shows summaries readably in failure messages, line ends included.
inline void PrintTo(const QString& text, std::ostream* os) {
    QString shown = text;
    shown.replace(QLatin1Char('\n'), QLatin1String("\\n")).replace(QLatin1Char('\r'), "\\r");
    *os << '"' << shown.toStdString() << '"';
}

namespace tamarind::test {

class TestIfd {
  public:
    // ASCII text followed by its zero byte (count = length + 1).
    TestIfd& Ascii(std::uint16_t tag, const QByteArray& text) {
        Entry e{tag, kExifAscii, std::uint32_t(text.size() + 1)};
        for (char c : text) e.values.push_back({std::uint8_t(c), 1});
        e.values.push_back({0, 1});
        entries.push_back(e);
        return *this;
    }
    TestIfd& Rational(std::uint16_t tag, std::uint32_t numerator, std::uint32_t denominator) {
        entries.push_back({tag, kExifRational, 1, {{numerator, 4}, {denominator, 4}}});
        return *this;
    }
    TestIfd& Short(std::uint16_t tag, std::uint16_t value) {
        entries.push_back({tag, kExifShort, 1, {{value, 2}}});
        return *this;
    }
    TestIfd& Long(std::uint16_t tag, std::uint32_t value) {
        entries.push_back({tag, kExifLong, 1, {{value, 4}}});
        return *this;
    }
    // Raw bytes of any type (written as they are, whatever the byte order).
    TestIfd& Bytes(std::uint16_t tag, std::uint16_t type, std::uint32_t count,
                   const QByteArray& bytes) {
        Entry e{tag, type, count};
        for (char c : bytes) e.values.push_back({std::uint8_t(c), 1});
        entries.push_back(e);
        return *this;
    }
    // Numbers of `width` bytes each, written in the file's byte order; the
    // count is the number of values of `type` they make up.
    TestIfd& Numbers(std::uint16_t tag, std::uint16_t type, int width,
                     const std::vector<std::uint64_t>& numbers) {
        const int size = ExifTypeSize(type);
        const std::size_t bytes = numbers.size() * std::size_t(width);
        Entry e{tag, type, std::uint32_t(size ? bytes / std::size_t(size) : numbers.size())};
        for (auto n : numbers) e.values.push_back({n, width});
        entries.push_back(e);
        return *this;
    }
    // An entry whose value field holds `field` as given.
    TestIfd& Raw(std::uint16_t tag, std::uint16_t type, std::uint32_t count, std::uint32_t field) {
        Entry e{tag, type, count};
        e.field = field;
        entries.push_back(e);
        return *this;
    }
    // The Exif IFD pointer (LONG), pointing at the builder's Exif sub-directory.
    TestIfd& ExifPointer() {
        Entry e{kTagExifIfdPointer, kExifLong, 1};
        e.exifPointer = true;
        entries.push_back(e);
        return *this;
    }

    struct Value {
        std::uint64_t number;
        int width;
    };
    struct Entry {
        std::uint16_t tag;
        std::uint16_t type;
        std::uint32_t count;
        std::vector<Value> values{};
        std::optional<std::uint32_t> field{};
        bool exifPointer = false;
    };
    std::vector<Entry> entries;
    // Written in place of the real entry count when set.
    std::optional<std::uint16_t> countField;
};

class ExifBuilder {
  public:
    explicit ExifBuilder(ExifByteOrder order = ExifByteOrder::Intel) : order_(order) {}

    TestIfd ifd0;
    TestIfd exif;
    // IFD0's link to IFD1; by default the offset of an empty IFD1.
    std::optional<std::uint32_t> ifd1Link;

    QByteArray Build() const {
        // TIFF offsets: header, IFD0, Exif IFD, IFD1, then the data area.
        const std::uint32_t ifd0At = 8;
        const std::uint32_t exifAt = ifd0At + DirSize(ifd0);
        const std::uint32_t ifd1At = exifAt + DirSize(exif);
        std::uint32_t dataAt = ifd1At + 6;

        QByteArray tiff = order_ == ExifByteOrder::Motorola ? "MM" : "II";
        tiff += Number(42, 2) + Number(ifd0At, 4);
        QByteArray data;
        auto writeDir = [&](const TestIfd& dir, std::uint32_t link) {
            tiff += Number(dir.countField.value_or(std::uint16_t(dir.entries.size())), 2);
            for (const auto& e : dir.entries) {
                tiff += Number(e.tag, 2) + Number(e.type, 2) + Number(e.count, 4);
                QByteArray bytes;
                for (const auto& v : e.values) bytes += Number(v.number, v.width);
                if (e.field) {
                    tiff += Number(*e.field, 4);
                } else if (e.exifPointer) {
                    tiff += Number(exifAt, 4);
                } else if (bytes.size() <= 4) {
                    tiff += bytes + QByteArray(4 - bytes.size(), '\0');
                } else {
                    tiff += Number(dataAt + std::uint32_t(data.size()), 4);
                    data += bytes;
                    if (data.size() % 2) data += '\0';
                }
            }
            tiff += Number(link, 4);
        };
        writeDir(ifd0, ifd1Link.value_or(ifd1At));
        writeDir(exif, 0);
        tiff += Number(0, 2) + Number(0, 4);  // IFD1: no entries, no link
        tiff += data;

        QByteArray out("\xFF\xD8\xFF\xE1", 4);
        const int length = 2 + 6 + int(tiff.size());
        out += char(length >> 8);
        out += char(length & 0xFF);
        out += QByteArray("Exif\0\0", 6) + tiff;
        out += QByteArray("\xFF\xD9", 2);
        return out;
    }

    // A number of `width` bytes in the builder's byte order.
    QByteArray Number(std::uint64_t n, int width) const {
        QByteArray out;
        for (int i = 0; i < width; ++i) {
            const int shift = order_ == ExifByteOrder::Motorola ? 8 * (width - 1 - i) : 8 * i;
            out += char((n >> shift) & 0xFF);
        }
        return out;
    }

  private:
    static std::uint32_t DirSize(const TestIfd& dir) {
        return 2 + 12 * std::uint32_t(dir.entries.size()) + 4;
    }

    ExifByteOrder order_;
};

// Sets the default locale for the lifetime of the object.
class LocaleScope {
  public:
    explicit LocaleScope(const QLocale& locale) { QLocale::setDefault(locale); }
    ~LocaleScope() { QLocale::setDefault(saved_); }

  private:
    QLocale saved_;
};

// The summary of `bytes` as the reader sees the start of a file.
inline QString Summary(const QByteArray& bytes) {
    return ParseExifBlock(ExifWindow(bytes));
}

}  // namespace tamarind::test
