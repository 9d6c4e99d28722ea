#pragma once
// Little-endian reading inside one metafile record. Every read is checked
// against the record's end: reading past it yields zeros and marks the reader
// failed, so a record handler reads all its fields first and then acts only
// when ok() still holds.

#include <QtGlobal>
#include <cstdint>
#include <cstring>
#include <span>

namespace tamarind::metafile {

class ByteReader {
  public:
    ByteReader() = default;
    explicit ByteReader(std::span<const uchar> bytes) : bytes_(bytes) {}

    bool ok() const { return ok_; }
    size_t pos() const { return pos_; }
    size_t size() const { return bytes_.size(); }
    size_t remaining() const { return bytes_.size() - pos_; }
    std::span<const uchar> all() const { return bytes_; }

    // Moves to an absolute position; beyond the end fails the reader.
    void Seek(size_t pos) {
        if (pos > bytes_.size()) {
            ok_ = false;
            pos_ = bytes_.size();
        } else {
            pos_ = pos;
        }
    }
    void Skip(size_t count) {
        if (count > remaining()) {
            ok_ = false;
            pos_ = bytes_.size();
        } else {
            pos_ += count;
        }
    }
    // The next `count` bytes, or an empty span (and a failed reader) when
    // fewer remain.
    std::span<const uchar> Bytes(size_t count) {
        if (count > remaining()) {
            ok_ = false;
            pos_ = bytes_.size();
            return {};
        }
        auto part = bytes_.subspan(pos_, count);
        pos_ += count;
        return part;
    }
    // True when `count` more bytes can be read.
    bool Has(uint64_t count) const { return count <= remaining(); }

    uint8_t U8() { return Read<uint8_t>(); }
    uint16_t U16() { return Read<uint16_t>(); }
    int16_t I16() { return static_cast<int16_t>(Read<uint16_t>()); }
    uint32_t U32() { return Read<uint32_t>(); }
    int32_t I32() { return static_cast<int32_t>(Read<uint32_t>()); }
    float F32() {
        const uint32_t bits = Read<uint32_t>();
        float value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }

  private:
    template <typename T>
    T Read() {
        if (sizeof(T) > remaining()) {
            ok_ = false;
            pos_ = bytes_.size();
            return 0;
        }
        T value = 0;
        for (size_t i = 0; i < sizeof(T); ++i) value |= T(bytes_[pos_ + i]) << (8 * i);
        pos_ += sizeof(T);
        return value;
    }

    std::span<const uchar> bytes_;
    size_t pos_ = 0;
    bool ok_ = true;
};

}  // namespace tamarind::metafile
