// binary32 values carried in binary64, bit for bit. The host's buffers and files pass samples as
// doubles; a conversion instruction would quiet a signalling NaN on the way (x86-64 turns
// 7f800001 into 7fc00001), so a single-precision port would never see the NaN the file holds. A
// NaN goes through here by its bits instead: sign, signalling bit and payload kept, the payload
// in the top bits of the double's fraction, where the hardware conversion puts it too.
#ifndef KQ_SIM_ENGINE_SINGLE_IN_DOUBLE_H
#define KQ_SIM_ENGINE_SINGLE_IN_DOUBLE_H

#include <bit>
#include <cstdint>

namespace kq::sim {

// v as a double, exactly; a NaN keeps its bits (a signalling NaN stays signalling).
constexpr double widenSingle(float v) {
    const auto bits = std::bit_cast<std::uint32_t>(v);
    if ((bits & 0x7FFF'FFFFu) <= 0x7F80'0000u) {
        return static_cast<double>(v);
    }
    const std::uint64_t sign = static_cast<std::uint64_t>(bits >> 31) << 63;
    const std::uint64_t payload = static_cast<std::uint64_t>(bits & 0x007F'FFFFu) << 29;
    return std::bit_cast<double>(sign | 0x7FF0'0000'0000'0000u | payload);
}

// The single that widenSingle made v from. For a NaN whose payload a single cannot hold (its top
// 23 fraction bits all zero) the conversion's quiet NaN; v must otherwise be a single's value.
constexpr float narrowToSingle(double v) {
    const auto bits = std::bit_cast<std::uint64_t>(v);
    const std::uint64_t payload = (bits & 0x000F'FFFF'FFFF'FFFFu) >> 29;
    if ((bits & 0x7FF0'0000'0000'0000u) != 0x7FF0'0000'0000'0000u || payload == 0) {
        return static_cast<float>(v);
    }
    const auto sign = static_cast<std::uint32_t>(bits >> 63) << 31;
    return std::bit_cast<float>(sign | 0x7F80'0000u | static_cast<std::uint32_t>(payload));
}

}  // namespace kq::sim

#endif
