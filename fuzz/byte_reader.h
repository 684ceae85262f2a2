// The structured reader every fuzz target decodes its input with. Fields are taken from the front,
// in order, little-endian, and read as zero once the input is used up, so a seed is simply the
// fields written one after the other (fuzz/make_corpus.py does exactly that) and a shorter input
// is still a valid one.
#ifndef KQ_FUZZ_BYTE_READER_H
#define KQ_FUZZ_BYTE_READER_H

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace kq::fuzz {

class ByteReader {
  public:
    ByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    size_t remaining() const { return size_ - pos_; }
    bool exhausted() const { return pos_ >= size_; }

    uint8_t u8() { return pos_ < size_ ? data_[pos_++] : 0; }
    uint16_t u16() { return static_cast<uint16_t>(unsigned{u8()} | unsigned{u8()} << 8); }
    uint32_t u32() { return uint32_t{u16()} | uint32_t{u16()} << 16; }
    uint64_t u64() { return uint64_t{u32()} | uint64_t{u32()} << 32; }
    double f64Bits() { return std::bit_cast<double>(u64()); }
    float f32Bits() { return std::bit_cast<float>(u32()); }
    bool boolean() { return (u8() & 1u) != 0; }

    // A number in [lo, hi], read from as few bytes as the width of the range needs (one byte for
    // up to 256 values), so that seeds stay small and readable.
    int64_t range(int64_t lo, int64_t hi) {
        const uint64_t span = static_cast<uint64_t>(hi) - static_cast<uint64_t>(lo);
        uint64_t raw = 0;
        if (span == 0) {
            return lo;
        } else if (span <= 0xFFu) {
            raw = u8();
        } else if (span <= 0xFFFFu) {
            raw = u16();
        } else if (span <= 0xFFFFFFFFu) {
            raw = u32();
        } else {
            raw = u64();
        }
        const uint64_t offset =
            span == std::numeric_limits<uint64_t>::max() ? raw : raw % (span + 1);
        return static_cast<int64_t>(static_cast<uint64_t>(lo) + offset);
    }

    // One of the options, by a one-byte index.
    template <typename T, size_t N>
    const T& pick(const T (&options)[N]) {
        return options[static_cast<size_t>(range(0, static_cast<int64_t>(N) - 1))];
    }

    // A length in [0, maxLength] and then that many bytes (fewer when the input ends first).
    std::string text(size_t maxLength) {
        const auto length = static_cast<size_t>(range(0, static_cast<int64_t>(maxLength)));
        std::string result;
        for (size_t i = 0; i < length && !exhausted(); ++i) {
            result.push_back(static_cast<char>(u8()));
        }
        return result;
    }

    // Everything not read yet.
    std::vector<uint8_t> rest() {
        std::vector<uint8_t> bytes(data_ + pos_, data_ + size_);
        pos_ = size_;
        return bytes;
    }

  private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

// Values that sit on the edges the block cares about: signed zeros, NaNs with different payloads
// and signs, infinities, the 32-bit and 53-bit integer limits, fractions, the interface stamp and
// its neighbours, flag codes, the rounding boundaries of pi.
inline double interestingDouble(ByteReader& in) {
    const double kNaN = std::numeric_limits<double>::quiet_NaN();
    const double kInf = std::numeric_limits<double>::infinity();
    const double options[] = {
        0.0,
        -0.0,
        1.0,
        -1.0,
        0.5,
        -0.5,
        0.9999999999999999,
        2.0,
        kNaN,
        -kNaN,
        std::bit_cast<double>(uint64_t{0x7FF0000000000001}),  // signalling NaN
        std::bit_cast<double>(uint64_t{0xFFF8DEADBEEF0001}),  // negative NaN with a payload
        kInf,
        -kInf,
        2147483647.0,
        2147483648.0,
        -2147483648.0,
        -2147483649.0,
        2147483647.5,
        -2147483648.5,
        -2147483648.9999998,
        4294967296.0,
        9007199254740992.0,
        9007199254740991.0,
        1e300,
        -1e300,
        std::numeric_limits<double>::max(),
        std::numeric_limits<double>::denorm_min(),
        -std::numeric_limits<double>::denorm_min(),
        std::numeric_limits<double>::min(),
        5200229.0,
        std::nextafter(5200229.0, kInf),
        std::nextafter(5200229.0, 0.0),
        5200229.5,
        -5200229.0,
        101.0,
        104.0,
        117.0,
        142.0,
        3.141592653589793,
        -3.141592653589793,
        3.1415927410125732421875,
        6.283185307179586,
        1e-15,
        1e10,
    };
    const uint8_t selector = in.u8();
    if (selector < std::size(options)) {
        return options[selector];
    }
    if (selector < 200) {
        // A small number with a fraction: the ordinary values of a dialog parameter.
        return static_cast<double>(static_cast<int16_t>(in.u16())) / 64.0;
    }
    return in.f64Bits();
}

// A binary32 value: raw bits, or one of interestingDouble's values converted to binary32, those
// beyond float's range taken as infinities (a cast of them would be undefined).
inline float interestingFloat(ByteReader& in) {
    if (in.boolean()) {
        return in.f32Bits();
    }
    const double value = interestingDouble(in);
    if (std::isfinite(value) && std::fabs(value) > std::numeric_limits<float>::max()) {
        return std::signbit(value) ? -std::numeric_limits<float>::infinity()
                                   : std::numeric_limits<float>::infinity();
    }
    return static_cast<float>(value);
}

}  // namespace kq::fuzz

#endif
