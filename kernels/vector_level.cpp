// The kernel sets of the vector levels and the processor check that picks one.
#include "kernels/vector_level.h"

#include "kernels/processor_features.h"
#include "kernels/simd/unwrap_kernels_simd.h"

namespace {

template <VectorLevel Level>
constexpr KernelSet kLevelKernels = {
#define KQ_LEVEL_KERNEL(Name, member, Form, T) .member = levelKernel<Level, KernelForm::Form, T>(),
    KQ_UNWRAP_KERNELS(KQ_LEVEL_KERNEL)
#undef KQ_LEVEL_KERNEL
};

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
            return kLevelKernels<VectorLevel::Avx2>;
        case VectorLevel::Avx512:
            return kLevelKernels<VectorLevel::Avx512>;
#endif
#if defined(__aarch64__)
        case VectorLevel::Neon:
            return kLevelKernels<VectorLevel::Neon>;
#endif
        default:
            break;
    }
    return kLevelKernels<VectorLevel::Scalar>;
}
