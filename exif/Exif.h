#pragma once
// The Exif reader: the shooting summary of a JPEG file.
//
// Only the first 4096 bytes of a file are looked at. When they start with the
// JPEG start-of-image marker and an Exif block as the first segment, the
// reader walks the block's first directory (IFD0) and, when IFD0 holds the
// Exif pointer, the Exif sub-directory, and turns ten tags into a short
// Japanese text. Lines of the text end in line feed then carriage return.

#include <QByteArrayView>
#include <QString>
#include <array>
#include <cstdint>

namespace tamarind {

// Field types of TIFF directory entries.
enum ExifType : std::uint16_t {
    kExifByte = 1,
    kExifAscii = 2,
    kExifShort = 3,
    kExifLong = 4,
    kExifRational = 5,
    kExifSByte = 6,
    kExifUndefined = 7,
    kExifSShort = 8,
    kExifSLong = 9,
    kExifSRational = 10,
    kExifFloat = 11,
    kExifDouble = 12,
};

// Bytes per value of a field type; 0 for a type outside 1 to 12.
int ExifTypeSize(std::uint16_t type);

enum class ExifByteOrder { Intel, Motorola };

// The first bytes of a file, read from position 0. Every position outside the
// bytes held (negative, past the end of a short file, or past the 4096-byte
// window) reads as zero, so no accessor ever reads outside the window.
// 16- and 32-bit numbers are read in the byte order of the TIFF header at
// position 12 ("MM" is Motorola order; anything else is taken as Intel order).
class ExifWindow {
  public:
    static constexpr int kSize = 4096;

    ExifWindow() = default;
    // Keeps the first kSize bytes of `fileStart`.
    explicit ExifWindow(QByteArrayView fileStart);

    // Number of bytes held (at most kSize).
    int size() const { return size_; }
    ExifByteOrder byteOrder() const { return order_; }

    std::uint8_t ByteAt(std::int64_t position) const {
        return position >= 0 && position < size_ ? bytes_[std::size_t(position)] : 0;
    }
    // Unsigned 16-bit number at `position`.
    std::uint16_t ReadWord(std::int64_t position) const;
    // 32-bit number at `position`, taken as signed.
    std::int32_t ReadLong(std::int64_t position) const;

  private:
    std::array<std::uint8_t, kSize> bytes_{};
    int size_ = 0;
    ExifByteOrder order_ = ExifByteOrder::Intel;
};

// One 12-byte directory entry.
struct ExifEntry {
    std::uint16_t tag = 0;
    std::uint16_t type = 0;
    std::uint32_t count = 0;
    // The value field read as a 32-bit number: the offset of the values
    // inside the TIFF block when they do not fit into the field.
    std::uint32_t value = 0;
    // Window position of the entry's first byte; the value field is 8 further.
    std::int64_t position = 0;
};

// Tags that show in the summary.
enum ExifTag : std::uint16_t {
    kTagMake = 0x010F,
    kTagModel = 0x0110,
    kTagDateTime = 0x0132,
    kTagExposureTime = 0x829A,
    kTagExifIfdPointer = 0x8769,
    kTagCompressedBitsPerPixel = 0x9102,
    kTagApertureValue = 0x9202,
    kTagFlash = 0x9209,
    kTagFocalLength = 0x920A,
    kTagPixelXDimension = 0xA002,
    kTagPixelYDimension = 0xA003,
};

// Walks the directories of one window and formats their entries. The only
// state kept between entries is the pending shutter text: the exposure time
// shows in front of the aperture that follows it.
class ExifParser {
  public:
    explicit ExifParser(const ExifWindow& window) : window_(window) {}

    // The summary of the whole window: "Not JPG File", "Not Exif 形式", or
    // the lines of IFD0 followed by the texts of the Exif sub-directory.
    QString ParseExifBlock();
    // Texts of the directory whose first entry lies at window `position`,
    // run together, up to and including an entry with tag 0.
    QString WalkExifSubIfd(std::int64_t position);

    ExifEntry ReadEntry(std::int64_t position) const;
    // What one entry contributes to the summary, or "?" for nothing.
    QString FormatTag(const ExifEntry& entry);
    // The entry's value as text.
    QString FormatTagValue(const ExifEntry& entry) const;

    const QString& PendingShutterText() const { return pendingShutterText_; }

  private:
    QString ShutterText(const ExifEntry& entry) const;
    QString FNumberText(const ExifEntry& entry) const;

    const ExifWindow& window_;
    QString pendingShutterText_;
};

// The summary of the bytes held by `window` (see ExifParser::ParseExifBlock).
QString ParseExifBlock(const ExifWindow& window);

// The summary of a file, from one read of at most 4096 bytes; the empty text
// when the file cannot be read.
QString ReadExifSummary(const QString& path);

// What a slot takes from the start of a file: the summary and the Exif
// orientation (1 to 8, see exif/Orientation.h), both from the same one read.
struct ExifFacts {
    QString summary;
    int orientation = 1;
};
ExifFacts ReadExifFacts(const QString& path);

// F-number of the APEX aperture value `av`, F = 2^(av/2), written "%.1f" with
// the decimal point of the user's locale; "?" when it is not a finite number.
QString ApertureToFNumber(double av);

}  // namespace tamarind
