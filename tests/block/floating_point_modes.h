// The floating-point modes a caller may leave, for the tests that check the block computes in the
// default one whatever it finds: the mode bits of each, as the processor manuals give them, and
// the whole state of the thread (mode and exception flags) to set and read around a call.
#ifndef KQ_TESTS_BLOCK_FLOATING_POINT_MODES_H
#define KQ_TESTS_BLOCK_FLOATING_POINT_MODES_H

#include <cstdint>

#include "kernels/floating_point_mode.h"

namespace kq::test {

struct CallerMode {
    const char* name;
    FloatingPointControl bits;  // added to the default mode
};

#if defined(__x86_64__) || defined(_M_X64)
// MXCSR: flush-to-zero bit 15, denormals-are-zero bit 6, rounding control bits 13-14.
inline constexpr FloatingPointControl kFlushToZero = 1u << 15;
inline constexpr FloatingPointControl kDenormalsAreZero = 1u << 6;
inline constexpr FloatingPointControl kRoundUp = 2u << 13;
inline constexpr FloatingPointControl kRoundDown = 1u << 13;
inline constexpr FloatingPointControl kRoundTowardZero = 3u << 13;
inline constexpr CallerMode kCallerModes[] = {
    {"FlushToZero", kFlushToZero},
    {"DenormalsAreZero", kDenormalsAreZero},
    {"FlushToZeroAndDenormalsAreZero", kFlushToZero | kDenormalsAreZero},
    {"RoundUp", kRoundUp},
    {"RoundDown", kRoundDown},
    {"RoundTowardZero", kRoundTowardZero},
    {"RoundUpFlushToZeroAndDenormalsAreZero", kRoundUp | kFlushToZero | kDenormalsAreZero},
};
// A flag the caller raised before the call that the unwrap never raises: divide-by-zero (bit 2).
inline constexpr uint64_t kCallersFlag = 1u << 2;
inline constexpr uint64_t kEveryFlag = 0x3F;

inline uint64_t readFloatingPointFlags() {
    return readFloatingPointControl() & kFloatingPointFlagBits;
}
inline void writeFloatingPointFlags(uint64_t flags) {
    writeFloatingPointControl((readFloatingPointControl() & ~kFloatingPointFlagBits) |
                              static_cast<FloatingPointControl>(flags));
}
#elif defined(__aarch64__)
// FPCR: flush-to-zero bit 24, default NaN bit 25, rounding mode bits 22-23 (there is no separate
// denormals-are-zero: flush-to-zero flushes inputs and results).
inline constexpr FloatingPointControl kFlushToZero = 1u << 24;
inline constexpr FloatingPointControl kDefaultNaN = 1u << 25;
inline constexpr FloatingPointControl kRoundUp = 1u << 22;
inline constexpr FloatingPointControl kRoundDown = 2u << 22;
inline constexpr FloatingPointControl kRoundTowardZero = 3u << 22;
inline constexpr CallerMode kCallerModes[] = {
    {"FlushToZero", kFlushToZero},
    {"DefaultNaN", kDefaultNaN},
    {"FlushToZeroAndDefaultNaN", kFlushToZero | kDefaultNaN},
    {"RoundUp", kRoundUp},
    {"RoundDown", kRoundDown},
    {"RoundTowardZero", kRoundTowardZero},
    {"RoundUpFlushToZeroAndDefaultNaN", kRoundUp | kFlushToZero | kDefaultNaN},
};
// FPSR: divide-by-zero (bit 1), which the unwrap never raises; the cumulative flags 0-4 and 7.
inline constexpr uint64_t kCallersFlag = 1u << 1;
inline constexpr uint64_t kEveryFlag = 0x9F;

inline uint64_t readFloatingPointFlags() {
    uint64_t status;
    asm volatile("mrs %0, fpsr" : "=r"(status));
    return status & kEveryFlag;
}
inline void writeFloatingPointFlags(uint64_t flags) {
    uint64_t status;
    asm volatile("mrs %0, fpsr" : "=r"(status));
    status = (status & ~kEveryFlag) | flags;
    asm volatile("msr fpsr, %0" : : "r"(status) : "memory");
}
#endif

// The thread's mode and flags.
struct FloatingPointState {
    FloatingPointControl mode;
    uint64_t flags;
    bool operator==(const FloatingPointState&) const = default;
};

inline FloatingPointState readFloatingPointState() {
    return {readFloatingPointControl() & kFloatingPointModeBits, readFloatingPointFlags()};
}

inline void writeFloatingPointState(const FloatingPointState& state) {
    writeFloatingPointControl((readFloatingPointControl() & ~kFloatingPointModeBits) | state.mode);
    writeFloatingPointFlags(state.flags);
}

// Runs `call` with the thread in `state` and gives the state it left; the thread is back in the
// default mode without flags afterwards.
template <typename Call>
FloatingPointState stateAfter(const FloatingPointState& state, Call&& call) {
    writeFloatingPointState(state);
    call();
    const FloatingPointState after = readFloatingPointState();
    writeFloatingPointState({kDefaultFloatingPointMode, 0});
    return after;
}

}  // namespace kq::test

#endif
