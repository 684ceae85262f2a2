// The kernel sets of the vector levels and the processor check that picks one.
#include "kernels/vector_level.h"

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

}  // namespace

const char* vectorLevelName(VectorLevel level) {
    switch (level) {
        case VectorLevel::Scalar:
            return "scalar";
        case VectorLevel::Avx2:
            return "avx2";
        case VectorLevel::Avx512:
            return "avx512";
    }
    return "unknown";
}

bool vectorLevelAvailable(VectorLevel level) {
#if defined(__x86_64__)
    // The processor check of the compiler's runtime also asks the operating system whether it
    // saves the wide registers; it is idempotent and reads state the runtime filled at load.
    __builtin_cpu_init();
    switch (level) {
        case VectorLevel::Scalar:
            return true;
        case VectorLevel::Avx2:
            return __builtin_cpu_supports("avx2");
        case VectorLevel::Avx512:
            return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl");
    }
    return false;
#else
    return level == VectorLevel::Scalar;
#endif
}

VectorLevel bestVectorLevel() {
    for (VectorLevel level : {VectorLevel::Avx512, VectorLevel::Avx2}) {
        if (vectorLevelAvailable(level)) {
            return level;
        }
    }
    return VectorLevel::Scalar;
}

const KernelSet& kernelsFor(VectorLevel level) {
#if defined(__x86_64__)
    switch (level) {
        case VectorLevel::Scalar:
            break;
        case VectorLevel::Avx2:
            return kAvx2Kernels;
        case VectorLevel::Avx512:
            return kAvx512Kernels;
    }
#else
    (void)level;
#endif
    return kScalarKernels;
}
