// What the processor and the operating system let the vector kernels use, asked of the processor
// at every call: nothing is cached, so the library keeps no writable state and runs no code at
// load. x86-64 asks cpuid and xgetbv (the same code on every operating system); other
// architectures have no optional extension here. The decision is a function of what those report
// (ProcessorReport), so that it can be checked for any processor; only thisProcessor() asks.
//
// A vector level's instructions may come from every extension its compiler flags enable, not only
// from the one it is named after (-mavx2 also lets the compiler use POPCNT, SSE4.2 and others), so
// a level asks for all of them: kernels/vector_level.h names each level's set, and a test compares
// the set with what the level's flags enable.
#ifndef KQ_KERNELS_PROCESSOR_FEATURES_H
#define KQ_KERNELS_PROCESSOR_FEATURES_H

#include <cstdint>

namespace kq {

// X(Name): the x86-64 extensions beyond the architecture's own (SSE2) that a level's compiler
// flags may enable, each a bit of X86Extensions. processor_features.cpp says where cpuid reports
// each one.
#define KQ_X86_EXTENSIONS(X) \
    X(Sse3)                  \
    X(Ssse3)                 \
    X(Sse41)                 \
    X(Sse42)                 \
    X(Popcnt)                \
    X(Xsave)                 \
    X(Avx)                   \
    X(F16c)                  \
    X(Fma)                   \
    X(Avx2)                  \
    X(Avx512F)               \
    X(Avx512VL)

enum class X86Extension {
#define KQ_X86_EXTENSION_ENUM(Name) Name,
    KQ_X86_EXTENSIONS(KQ_X86_EXTENSION_ENUM)
#undef KQ_X86_EXTENSION_ENUM
};

// A set of extensions, one bit per X86Extension.
using X86Extensions = uint32_t;

constexpr X86Extensions extensionBit(X86Extension e) {
    return X86Extensions{1} << static_cast<unsigned>(e);
}

template <class... E>
constexpr X86Extensions extensionSet(E... e) {
    return (X86Extensions{0} | ... | extensionBit(e));
}

// The enumerator's name ("Sse3", "Avx512VL", ...), for messages.
const char* x86ExtensionName(X86Extension e);

// The words of cpuid and xgetbv that the check reads.
struct ProcessorReport {
    uint32_t leaf1Ecx = 0;  // cpuid leaf 1, ecx
    uint32_t leaf7Ebx = 0;  // cpuid leaf 7 subleaf 0, ebx; 0 without leaf 7
    uint64_t xcr0 = 0;      // XCR0, the register state the system saves; read only under OSXSAVE
};

// What this processor reports; all zero off x86-64.
ProcessorReport thisProcessor();

// True when a processor reporting `report` implements every extension of `required` and its
// operating system has turned on XSAVE (OSXSAVE) and saves the registers they use (the 256-bit
// state for AVX, the 512-bit and mask state for AVX-512F). The empty set is always run.
bool processorRuns(const ProcessorReport& report, X86Extensions required);

}  // namespace kq

#endif
