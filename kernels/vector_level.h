// Vector levels of the unwrap kernels: the scalar reference and the fast paths that give the same
// bits as the reference on every input: AVX2 and AVX-512 on x86-64, Advanced SIMD on 64-bit ARM.
//
// The level is chosen once per run: the block asks bestVectorLevel() at start and keeps the table
// entry of that level in its run-time record, so nothing is cached here and an output call makes
// no choice. Tests and benchmarks force a level through kernelsFor(); a level the processor lacks
// must not be run (vectorLevelAvailable() says which ones it has).
//
// Example: kernelsFor(bestVectorLevel()).statelessCopyDbl(in, out, cutoff, numChans, frameLen)
// writes the same bits as unwrapStatelessCopyDbl(in, out, cutoff, numChans, frameLen).
#ifndef KQ_KERNELS_VECTOR_LEVEL_H
#define KQ_KERNELS_VECTOR_LEVEL_H

#include <array>
#include <cstdint>

#include "kernels/kernel_list.h"
#include "kernels/processor_features.h"

// The architectures a level can be built for.
#if defined(__x86_64__)
inline constexpr bool kBuildsForX86_64 = true;
#else
inline constexpr bool kBuildsForX86_64 = false;
#endif
#if defined(__aarch64__)
inline constexpr bool kBuildsForAarch64 = true;
#else
inline constexpr bool kBuildsForAarch64 = false;
#endif

// The x86-64 extensions each level's compiler flags enable (cmake/KqCompilerFlags.cmake), which
// the processor must have before the level runs: -mavx2 brings SSE3 to SSE4.2, POPCNT and XSAVE
// with AVX; the AVX-512 flags bring all of those with AVX2, FMA and F16C (-ffp-contract=off keeps
// fused multiply-adds out of the code: see kernels/CMakeLists.txt).
inline constexpr X86Extensions kAvx2LevelExtensions =
    extensionSet(X86Extension::Sse3, X86Extension::Ssse3, X86Extension::Sse41, X86Extension::Sse42,
                 X86Extension::Popcnt, X86Extension::Xsave, X86Extension::Avx, X86Extension::Avx2);
inline constexpr X86Extensions kAvx512LevelExtensions =
    kAvx2LevelExtensions | extensionSet(X86Extension::F16c, X86Extension::Fma,
                                        X86Extension::Avx512F, X86Extension::Avx512VL);

// X(Level, name, lanes, built, extensions): every vector level, in order of preference (the block
// runs the last available one).
// lanes is the number of binary64 lanes of one vector, built whether this build has the level's
// kernels, extensions what the processor must implement to run them. A new level is a row here,
// its lane set and translation unit in kernels/simd/, and its flags in KqCompilerFlags.cmake.
#define KQ_VECTOR_LEVELS(X)                                          \
    X(Scalar, "scalar", 1, true, X86Extensions{0})                   \
    X(Avx2, "avx2", 4, kBuildsForX86_64, kAvx2LevelExtensions)       \
    X(Avx512, "avx512", 8, kBuildsForX86_64, kAvx512LevelExtensions) \
    X(Neon, "neon", 2, kBuildsForAarch64, X86Extensions{0})

enum class VectorLevel {
#define KQ_VECTOR_LEVEL_ENUM(Level, name, lanes, built, extensions) Level,
    KQ_VECTOR_LEVELS(KQ_VECTOR_LEVEL_ENUM)
#undef KQ_VECTOR_LEVEL_ENUM
};

inline constexpr std::array kAllVectorLevels = {
#define KQ_VECTOR_LEVEL_VALUE(Level, name, lanes, built, extensions) VectorLevel::Level,
    KQ_VECTOR_LEVELS(KQ_VECTOR_LEVEL_VALUE)
#undef KQ_VECTOR_LEVEL_VALUE
};

// "scalar", "avx2", "avx512" or "neon".
const char* vectorLevelName(VectorLevel level);

// The binary64 lanes of one vector of the level: 1 for the scalar level.
int32_t vectorLevelLanes(VectorLevel level);

// The x86-64 extensions the level's instructions come from (none off x86-64).
X86Extensions vectorLevelExtensions(VectorLevel level);

// True when this build has the level's kernels and the processor and operating system run them.
// The scalar level is always available.
bool vectorLevelAvailable(VectorLevel level);

// The level the block runs: the fastest available one, asked of the processor at every call.
VectorLevel bestVectorLevel();

// The kernels of one level, with the signatures of kernels/unwrap_kernels.h, kernels/unwrap_rows.h
// and kernels/chunk_carry.h; one member per entry of KQ_LEVEL_KERNELS (statelessCopyDbl ...
// runningFrameInPlaceSgl, rowsDbl, rowsSgl, takenCorrectionsDbl ... carriedSgl), in its order.
struct KernelSet {
// NOLINTNEXTLINE(bugprone-macro-parentheses): `member` is a declarator.
#define KQ_KERNEL_SET_MEMBER(Name, member, Form, T) KernelFn<KernelForm::Form, T>* member;
    KQ_LEVEL_KERNELS(KQ_KERNEL_SET_MEMBER)
#undef KQ_KERNEL_SET_MEMBER
};

// The kernels of `level`; the scalar set (the functions of kernels/unwrap_kernels.h) for a level
// this build does not have. Calling a set whose level is not available is undefined.
const KernelSet& kernelsFor(VectorLevel level);

#endif
