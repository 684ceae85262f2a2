// The floating-point mode the arithmetic needs, whatever mode the caller leaves: round to
// nearest, subnormals kept (no flush-to-zero, no denormals-are-zero), NaNs propagated (no default
// NaN), every exception masked. A host, or a library in the same process (one built with
// -ffast-math turns on flush-to-zero at load), may leave another mode in the thread, which would
// change the bits silently.
//
// DefaultFloatingPointMode puts that mode in place for its scope and gives the caller's back. It
// reads the control register once and writes it only when the caller's mode differs, so a caller
// in the default mode pays one read. The exception flags work as for any arithmetic the caller
// runs: those the caller had stay raised, and those the computation raises (inexact, mostly) are
// raised too, the same ones in every mode. x86-64 keeps the flags in MXCSR beside the mode, so
// the caller's MXCSR comes back with the computation's flags added; restoring it as read would
// clear them in a non-default mode only, and clearing them in the default mode too would cost a
// write at every call. On 64-bit ARM the flags live apart, in FPSR, which the guard never touches.
#ifndef KQ_KERNELS_FLOATING_POINT_MODE_H
#define KQ_KERNELS_FLOATING_POINT_MODE_H

#include <cstdint>

#if defined(__x86_64__) || defined(_M_X64)
#include <xmmintrin.h>
#elif !defined(__aarch64__)
#error "the floating-point mode is kept for x86-64 (MXCSR) and 64-bit ARM (FPCR) only"
#endif

namespace kq {

#if defined(__x86_64__) || defined(_M_X64)
// MXCSR: exception flags in bits 0-5, denormals-are-zero 6, exception masks 7-12, rounding
// control 13-14, flush-to-zero 15.
using FloatingPointControl = uint32_t;
inline constexpr FloatingPointControl kFloatingPointModeBits = 0xFFC0;
inline constexpr FloatingPointControl kDefaultFloatingPointMode = 0x1F80;  // all masked, nearest
inline constexpr FloatingPointControl kFloatingPointFlagBits = 0x003F;

inline FloatingPointControl readFloatingPointControl() {
    return _mm_getcsr();
}
inline void writeFloatingPointControl(FloatingPointControl control) {
    _mm_setcsr(control);
}
#else
// FPCR: FIZ 0, AH 1 and NEP 2 (alternate floating-point behaviour, where the processor has it),
// trap enables 8-12 and 15, rounding mode 22-23, flush-to-zero 24, default NaN 25. Bits a
// processor lacks read as zero and ignore writes. The flags are in FPSR.
using FloatingPointControl = uint64_t;
inline constexpr FloatingPointControl kFloatingPointModeBits = 0x03C0'9F07;
inline constexpr FloatingPointControl kDefaultFloatingPointMode = 0;
inline constexpr FloatingPointControl kFloatingPointFlagBits = 0;

inline FloatingPointControl readFloatingPointControl() {
    FloatingPointControl control;
    asm volatile("mrs %0, fpcr" : "=r"(control));
    return control;
}
inline void writeFloatingPointControl(FloatingPointControl control) {
    asm volatile("msr fpcr, %0" : : "r"(control) : "memory");
}
#endif

// Puts the default mode in place when `callers` (the control register as read) differs from it;
// returns whether it did.
inline bool enterDefaultFloatingPointMode(FloatingPointControl callers) {
#ifdef KQ_PROBE_WITHOUT_FLOATING_POINT_MODE
    // A build for the probes that must fail: the guard takes no part.
    static_cast<void>(callers);
    return false;
#else
    if ((callers & kFloatingPointModeBits) == kDefaultFloatingPointMode) {
        return false;
    }
    writeFloatingPointControl((callers & ~kFloatingPointModeBits) | kDefaultFloatingPointMode);
    return true;
#endif
}

// Gives the caller's mode back after enterDefaultFloatingPointMode changed it, with the flags
// raised in between added to the caller's.
inline void leaveDefaultFloatingPointMode(FloatingPointControl callers) {
    FloatingPointControl raised = 0;
    if constexpr (kFloatingPointFlagBits != 0) {
        raised = readFloatingPointControl() & kFloatingPointFlagBits;
    }
    writeFloatingPointControl(callers | raised);
}

// The default mode for the scope of one object: one at every way into the arithmetic.
class DefaultFloatingPointMode {
  public:
    DefaultFloatingPointMode() noexcept
        : callers_(readFloatingPointControl()), changed_(enterDefaultFloatingPointMode(callers_)) {}
    ~DefaultFloatingPointMode() {
        if (changed_) {
            leaveDefaultFloatingPointMode(callers_);
        }
    }
    DefaultFloatingPointMode(const DefaultFloatingPointMode&) = delete;
    DefaultFloatingPointMode& operator=(const DefaultFloatingPointMode&) = delete;

  private:
    const FloatingPointControl callers_;
    const bool changed_;
};

// `work` in the default mode, for the block's entry point, which a host calls at every step: in
// the default mode the work is the caller's last act (a tail call, no frame kept), and no object
// with a destructor is made, so the entry needs no unwinding code of its own. `work` must return
// normally (the entry raises its errors after it), or the caller's mode does not come back.
template <typename Work>
inline void inDefaultFloatingPointMode(Work&& work) {
    const FloatingPointControl callers = readFloatingPointControl();
    if (!enterDefaultFloatingPointMode(callers)) {
        work();
        return;
    }
    work();
    leaveDefaultFloatingPointMode(callers);
}

}  // namespace kq

#endif
