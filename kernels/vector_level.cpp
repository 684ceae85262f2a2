// The kernel sets of the vector levels and the processor check that picks one.
#include "kernels/vector_level.h"

#include "kernels/processor_features.h"
#include "kernels/simd/unwrap_kernels_simd.h"
#include "kernels/unwrap_kernels.h"

namespace {

constexpr KernelSet kScalarKernels = {
    unwrapStatelessCopyDbl,        unwrapStatelessInPlaceDbl, unwrapRunningSampleCopyDbl,
    unwrapRunningSampleInPlaceDbl, unwrapRunningFrameCopyDbl, unwrapRunningFrameInPlaceDbl,
    unwrapStatelessCopySgl,        unwrapStatelessInPlaceSgl, unwrapRunningSampleCopySgl,
    unwrapRunningSampleInPlaceSgl, unwrapRunningFrameCopySgl, unwrapRunningFrameInPlaceSgl,
};

#if defined(__x86_64__)
constexpr KernelSet kAvx2Kernels = {
    avx2::unwrapStatelessCopyDbl,     avx2::unwrapStatelessInPlaceDbl,
    avx2::unwrapRunningSampleCopyDbl, avx2::unwrapRunningSampleInPlaceDbl,
    avx2::unwrapRunningFrameCopyDbl,  avx2::unwrapRunningFrameInPlaceDbl,
    avx2::unwrapStatelessCopySgl,     avx2::unwrapStatelessInPlaceSgl,
    avx2::unwrapRunningSampleCopySgl, avx2::unwrapRunningSampleInPlaceSgl,
    avx2::unwrapRunningFrameCopySgl,  avx2::unwrapRunningFrameInPlaceSgl,
};

constexpr KernelSet kAvx512Kernels = {
    avx512::unwrapStatelessCopyDbl,     avx512::unwrapStatelessInPlaceDbl,
    avx512::unwrapRunningSampleCopyDbl, avx512::unwrapRunningSampleInPlaceDbl,
    avx512::unwrapRunningFrameCopyDbl,  avx512::unwrapRunningFrameInPlaceDbl,
    avx512::unwrapStatelessCopySgl,     avx512::unwrapStatelessInPlaceSgl,
    avx512::unwrapRunningSampleCopySgl, avx512::unwrapRunningSampleInPlaceSgl,
    avx512::unwrapRunningFrameCopySgl,  avx512::unwrapRunningFrameInPlaceSgl,
};
#endif

#if defined(__aarch64__)
constexpr KernelSet kNeonKernels = {
    neon::unwrapStatelessCopyDbl,     neon::unwrapStatelessInPlaceDbl,
    neon::unwrapRunningSampleCopyDbl, neon::unwrapRunningSampleInPlaceDbl,
    neon::unwrapRunningFrameCopyDbl,  neon::unwrapRunningFrameInPlaceDbl,
    neon::unwrapStatelessCopySgl,     neon::unwrapStatelessInPlaceSgl,
    neon::unwrapRunningSampleCopySgl, neon::unwrapRunningSampleInPlaceSgl,
    neon::unwrapRunningFrameCopySgl,  neon::unwrapRunningFrameInPlaceSgl,
};
#endif

}  // namespace

const char* vectorLevelName(VectorLevel level) {
    switch (level) {
        case VectorLevel::Scalar:
            return "scalar";
        case VectorLevel::Avx2:
            return "avx2";
        case VectorLevel::Avx512:
            return "avx512";
        case VectorLevel::Neon:
            return "neon";
    }
    return "unknown";
}

bool vectorLevelAvailable(VectorLevel level) {
    switch (level) {
        case VectorLevel::Scalar:
            return true;
        case VectorLevel::Avx2:
            return queryProcessorFeatures().avx2;
        case VectorLevel::Avx512:
            return queryProcessorFeatures().avx512;
        case VectorLevel::Neon:
            // Advanced SIMD is part of the base 64-bit ARM architecture.
#if defined(__aarch64__)
            return true;
#else
            return false;
#endif
    }
    return false;
}

VectorLevel bestVectorLevel() {
    for (VectorLevel level : {VectorLevel::Avx512, VectorLevel::Avx2, VectorLevel::Neon}) {
        if (vectorLevelAvailable(level)) {
            return level;
        }
    }
    return VectorLevel::Scalar;
}

const KernelSet& kernelsFor(VectorLevel level) {
    switch (level) {
        case VectorLevel::Scalar:
            break;
#if defined(__x86_64__)
        case VectorLevel::Avx2:
            return kAvx2Kernels;
        case VectorLevel::Avx512:
            return kAvx512Kernels;
#endif
#if defined(__aarch64__)
        case VectorLevel::Neon:
            return kNeonKernels;
#endif
        default:
            break;
    }
    return kScalarKernels;
}
