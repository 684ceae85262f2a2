// Port values as bit patterns, for kqhost validate: outputs are compared bit for bit (NaNs
// included), and output buffers are pre-filled with a marker NaN that no input ever carries.
#ifndef KQ_SIM_KQHOST_VALIDATE_VALIDATE_BITS_H
#define KQ_SIM_KQHOST_VALIDATE_VALIDATE_BITS_H

#include <cstdint>

#include "kernels/reference/value_bits.h"

namespace kq::kqhost {

using kq::ref::BitsOf;
using kq::ref::bitsOf;
using kq::ref::fromBits;

// A NaN of the port type: sign, quiet bit and payload as given. A signalling NaN needs a payload
// other than 0 (0 would be infinity); the payload is cut to the bits below the quiet bit.
template <typename T>
T makeNaN(bool negative, bool quiet, uint64_t payload) {
    using Bits = BitsOf<T>;
    constexpr int kFractionBits = sizeof(T) == 8 ? 52 : 23;
    constexpr Bits kExponent = sizeof(T) == 8 ? Bits{0x7ff} << 52 : Bits{0xff} << 23;
    constexpr Bits kQuiet = Bits{1} << (kFractionBits - 1);
    constexpr Bits kSign = Bits{1} << (sizeof(T) * 8 - 1);
    Bits bits = kExponent | (static_cast<Bits>(payload) & (kQuiet - 1));
    if (quiet) {
        bits |= kQuiet;
    } else if ((bits & (kQuiet - 1)) == 0) {
        bits |= 1;
    }
    if (negative) {
        bits |= kSign;
    }
    return fromBits<T>(bits);
}

// Written into the output buffer of a copying run before every output step, so that a sample the
// block never writes shows up. A signalling NaN with a payload far above the ones the input
// carries (at most 0xff): no block output can legitimately have these bits.
template <typename T>
T outputMarker() {
    return makeNaN<T>(false, false, sizeof(T) == 8 ? 0x5a5a5a5a5a5a5u : 0x25a5a5u);
}

// Largest payload of the signalling NaNs in validate's input.
inline constexpr uint64_t kMaxInputSignallingPayload = 0xff;

}  // namespace kq::kqhost

#endif
