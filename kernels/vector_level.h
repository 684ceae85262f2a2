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

#include "kernels/kernel_list.h"

enum class VectorLevel { Scalar, Avx2, Avx512, Neon };

inline constexpr std::array<VectorLevel, 4> kAllVectorLevels = {
    VectorLevel::Scalar, VectorLevel::Avx2, VectorLevel::Avx512, VectorLevel::Neon};

// "scalar", "avx2", "avx512" or "neon".
const char* vectorLevelName(VectorLevel level);

// True when this build has the level's kernels and the processor and operating system run them.
// The scalar level is always available.
bool vectorLevelAvailable(VectorLevel level);

// The level the block runs: the fastest available one, asked of the processor at every call.
VectorLevel bestVectorLevel();

// The twelve kernels of one level, with the signatures of kernels/unwrap_kernels.h; one member per
// entry of KQ_UNWRAP_KERNELS (statelessCopyDbl ... runningFrameInPlaceSgl), in its order.
struct KernelSet {
// NOLINTNEXTLINE(bugprone-macro-parentheses): `member` is a declarator.
#define KQ_KERNEL_SET_MEMBER(Name, member, Form, T) KernelFn<KernelForm::Form, T>* member;
    KQ_UNWRAP_KERNELS(KQ_KERNEL_SET_MEMBER)
#undef KQ_KERNEL_SET_MEMBER
};

// The kernels of `level`; the scalar set (the functions of kernels/unwrap_kernels.h) for a level
// this build does not have. Calling a set whose level is not available is undefined.
const KernelSet& kernelsFor(VectorLevel level);

#endif
