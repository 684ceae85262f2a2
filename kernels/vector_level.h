// Vector levels of the unwrap kernels: the scalar reference and, on x86-64, the AVX2 and AVX-512
// fast paths that give the same bits as the reference on every input.
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

#include "kernels/unwrap_kernels.h"

enum class VectorLevel { Scalar, Avx2, Avx512 };

inline constexpr std::array<VectorLevel, 3> kAllVectorLevels = {
    VectorLevel::Scalar, VectorLevel::Avx2, VectorLevel::Avx512};

// "scalar", "avx2" or "avx512".
const char* vectorLevelName(VectorLevel level);

// True when this build has the level's kernels and the processor and operating system run them.
// The scalar level is always available.
bool vectorLevelAvailable(VectorLevel level);

// The fastest available level, asked of the processor at every call.
VectorLevel bestVectorLevel();

// The twelve kernels of one level, with the signatures of kernels/unwrap_kernels.h.
struct KernelSet {
    decltype(&unwrapStatelessCopyDbl) statelessCopyDbl;
    decltype(&unwrapStatelessInPlaceDbl) statelessInPlaceDbl;
    decltype(&unwrapRunningSampleCopyDbl) runningSampleCopyDbl;
    decltype(&unwrapRunningSampleInPlaceDbl) runningSampleInPlaceDbl;
    decltype(&unwrapRunningFrameCopyDbl) runningFrameCopyDbl;
    decltype(&unwrapRunningFrameInPlaceDbl) runningFrameInPlaceDbl;
    decltype(&unwrapStatelessCopySgl) statelessCopySgl;
    decltype(&unwrapStatelessInPlaceSgl) statelessInPlaceSgl;
    decltype(&unwrapRunningSampleCopySgl) runningSampleCopySgl;
    decltype(&unwrapRunningSampleInPlaceSgl) runningSampleInPlaceSgl;
    decltype(&unwrapRunningFrameCopySgl) runningFrameCopySgl;
    decltype(&unwrapRunningFrameInPlaceSgl) runningFrameInPlaceSgl;
};

// The kernels of `level`; the scalar set (the functions of kernels/unwrap_kernels.h) for a level
// this build does not have. Calling a set whose level is not available is undefined.
const KernelSet& kernelsFor(VectorLevel level);

#endif
