// cpuid says what the processor implements; xgetbv says which register state the operating
// system saves across a context switch. A vector level needs both: an instruction set whose
// registers the system does not save would lose them at the first switch.
#include "kernels/processor_features.h"

#if defined(__x86_64__)
#include <cpuid.h>

#include <cstdint>

namespace {

// Bits of cpuid leaf 1, ecx.
constexpr unsigned kOsXsave = 1u << 27;  // the system has turned on xgetbv and XCR0
constexpr unsigned kAvx = 1u << 28;
// Bits of cpuid leaf 7, subleaf 0, ebx.
constexpr unsigned kAvx2 = 1u << 5;
constexpr unsigned kAvx512F = 1u << 16;
constexpr unsigned kAvx512VL = 1u << 31;
// Bits of XCR0: the register state the system saves.
constexpr uint64_t kSseAndYmmState = (1u << 1) | (1u << 2);
constexpr uint64_t kZmmAndOpmaskState = (1u << 5) | (1u << 6) | (1u << 7);

// XCR0, read with the instruction itself: the intrinsic would need the whole unit compiled for
// XSAVE. Call it only once cpuid reported OSXSAVE.
uint64_t extendedControlRegister0() {
    uint32_t low = 0;
    uint32_t high = 0;
    __asm__ volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
    return (static_cast<uint64_t>(high) << 32) | low;
}

bool allSet(uint64_t value, uint64_t bits) {
    return (value & bits) == bits;
}

}  // namespace

ProcessorFeatures queryProcessorFeatures() {
    ProcessorFeatures features;
    unsigned eax = 0;
    unsigned ebx = 0;
    unsigned ecx = 0;
    unsigned edx = 0;
    if (__get_cpuid_count(1, 0, &eax, &ebx, &ecx, &edx) == 0 || !allSet(ecx, kOsXsave | kAvx)) {
        return features;
    }
    const uint64_t savedState = extendedControlRegister0();
    // Returns 0 when the processor has no leaf 7.
    if (__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx) == 0) {
        return features;
    }
    features.avx2 = allSet(savedState, kSseAndYmmState) && allSet(ebx, kAvx2);
    features.avx512 = features.avx2 && allSet(savedState, kZmmAndOpmaskState) &&
                      allSet(ebx, kAvx512F | kAvx512VL);
    return features;
}

#else

ProcessorFeatures queryProcessorFeatures() {
    return {};
}

#endif
