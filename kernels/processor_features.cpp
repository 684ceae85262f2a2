// cpuid says what the processor implements; xgetbv says which register state the operating
// system saves across a context switch. A vector level needs both: an instruction set whose
// registers the system does not save would lose them at the first switch.
#include "kernels/processor_features.h"

#if defined(__x86_64__)
#include <cpuid.h>
#endif

namespace kq {

const char* x86ExtensionName(X86Extension e) {
    switch (e) {
#define KQ_X86_EXTENSION_NAME(Name) \
    case X86Extension::Name:        \
        return #Name;
        KQ_X86_EXTENSIONS(KQ_X86_EXTENSION_NAME)
#undef KQ_X86_EXTENSION_NAME
    }
    return "?";
}

namespace {

// Where cpuid reports an extension: leaf 1 ecx, or leaf 7 subleaf 0 ebx, and the bit.
enum class CpuidWord { Leaf1Ecx, Leaf7Ebx };

struct CpuidBit {
    CpuidWord word;
    unsigned bit;
};

constexpr CpuidBit cpuidBitOf(X86Extension e) {
    switch (e) {
        case X86Extension::Sse3:
            return {CpuidWord::Leaf1Ecx, 0};
        case X86Extension::Ssse3:
            return {CpuidWord::Leaf1Ecx, 9};
        case X86Extension::Fma:
            return {CpuidWord::Leaf1Ecx, 12};
        case X86Extension::Sse41:
            return {CpuidWord::Leaf1Ecx, 19};
        case X86Extension::Sse42:
            return {CpuidWord::Leaf1Ecx, 20};
        case X86Extension::Popcnt:
            return {CpuidWord::Leaf1Ecx, 23};
        case X86Extension::Xsave:
            return {CpuidWord::Leaf1Ecx, 26};
        case X86Extension::Avx:
            return {CpuidWord::Leaf1Ecx, 28};
        case X86Extension::F16c:
            return {CpuidWord::Leaf1Ecx, 29};
        case X86Extension::Avx2:
            return {CpuidWord::Leaf7Ebx, 5};
        case X86Extension::Avx512F:
            return {CpuidWord::Leaf7Ebx, 16};
        case X86Extension::Avx512VL:
            return {CpuidWord::Leaf7Ebx, 31};
    }
    return {CpuidWord::Leaf1Ecx, 32};
}

// Leaf 1 ecx: the system has turned on xgetbv and XCR0.
constexpr uint32_t kOsXsave = 1u << 27;
// Bits of XCR0: the register state the system saves.
constexpr uint64_t kSseAndYmmState = (1u << 1) | (1u << 2);
constexpr uint64_t kZmmAndOpmaskState = (1u << 5) | (1u << 6) | (1u << 7);

bool allSet(uint64_t value, uint64_t bits) {
    return (value & bits) == bits;
}

// The extensions a report names.
X86Extensions reportedExtensions(const ProcessorReport& report) {
    X86Extensions extensions = 0;
#define KQ_REPORTED_EXTENSION(Name)                                                               \
    {                                                                                             \
        const CpuidBit at = cpuidBitOf(X86Extension::Name);                                       \
        const uint32_t word = at.word == CpuidWord::Leaf1Ecx ? report.leaf1Ecx : report.leaf7Ebx; \
        if (((word >> at.bit) & 1u) != 0) {                                                       \
            extensions |= extensionBit(X86Extension::Name);                                       \
        }                                                                                         \
    }
    KQ_X86_EXTENSIONS(KQ_REPORTED_EXTENSION)
#undef KQ_REPORTED_EXTENSION
    return extensions;
}

#if defined(__x86_64__)
// XCR0, read with the instruction itself: the intrinsic would need the whole unit compiled for
// XSAVE. Call it only once cpuid reported OSXSAVE.
uint64_t extendedControlRegister0() {
    uint32_t low = 0;
    uint32_t high = 0;
    __asm__ volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
    return (static_cast<uint64_t>(high) << 32) | low;
}
#endif

}  // namespace

ProcessorReport thisProcessor() {
    ProcessorReport report;
#if defined(__x86_64__)
    unsigned eax = 0;
    unsigned ebx = 0;
    unsigned ecx = 0;
    unsigned edx = 0;
    if (__get_cpuid_count(1, 0, &eax, &ebx, &ecx, &edx) == 0) {
        return report;
    }
    report.leaf1Ecx = ecx;
    // Returns 0 when the processor has no leaf 7: then no extension of that leaf is reported.
    if (__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx) != 0) {
        report.leaf7Ebx = ebx;
    }
    if (allSet(report.leaf1Ecx, kOsXsave)) {
        report.xcr0 = extendedControlRegister0();
    }
#endif
    return report;
}

bool processorRuns(const ProcessorReport& report, X86Extensions required) {
    if (required == 0) {
        return true;
    }
    if (!allSet(reportedExtensions(report), required)) {
        return false;
    }
    // Without OSXSAVE, XCR0 says nothing: no register state counts as saved.
    const uint64_t savedState = allSet(report.leaf1Ecx, kOsXsave) ? report.xcr0 : 0;
    // Any of the 256-bit extensions uses the ymm registers (and AVX-512 the zmm and mask ones).
    const X86Extensions ymm =
        extensionSet(X86Extension::Avx, X86Extension::F16c, X86Extension::Fma, X86Extension::Avx2,
                     X86Extension::Avx512F, X86Extension::Avx512VL);
    const X86Extensions zmm = extensionSet(X86Extension::Avx512F, X86Extension::Avx512VL);
    if ((required & ymm) != 0 && !allSet(savedState, kSseAndYmmState)) {
        return false;
    }
    return (required & zmm) == 0 || allSet(savedState, kZmmAndOpmaskState);
}

}  // namespace kq
