// Sample values as bit patterns: the kernels' outputs and state are compared with the reference
// bit for bit, NaN signs and payloads included. Shared by the kernel tests, the kernel fuzzer and
// kqhost validate.
#ifndef KQ_KERNELS_REFERENCE_VALUE_BITS_H
#define KQ_KERNELS_REFERENCE_VALUE_BITS_H

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <type_traits>

namespace kq::ref {

// The unsigned integer of the same size as a sample value (double or float).
template <typename T>
using BitsOf = std::conditional_t<sizeof(T) == 8, uint64_t, uint32_t>;

template <typename T>
BitsOf<T> bitsOf(T value) {
    return std::bit_cast<BitsOf<T>>(value);
}

template <typename T>
T fromBits(BitsOf<T> bits) {
    return std::bit_cast<T>(bits);
}

// Index of the first of n values whose bits differ, or n when all agree.
template <typename T>
size_t firstBitDifference(const T* a, const T* b, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        if (bitsOf(a[i]) != bitsOf(b[i])) {
            return i;
        }
    }
    return n;
}

// "value (hex float, bits 0x...)", for reports.
template <typename T>
std::string describeBits(T value) {
    char text[96];
    std::snprintf(text, sizeof text, "%.17g (%a, bits 0x%llx)", static_cast<double>(value),
                  static_cast<double>(value), static_cast<unsigned long long>(bitsOf(value)));
    return text;
}

}  // namespace kq::ref

#endif
