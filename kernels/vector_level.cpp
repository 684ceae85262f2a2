// The kernel sets of the vector levels and the processor check that picks one.
#include "kernels/vector_level.h"

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
            return kLevelKernels<VectorLevel::Avx2>;
        case VectorLevel::Avx512:
            return kLevelKernels<VectorLevel::Avx512>;
    }
#else
    (void)level;
#endif
    return kLevelKernels<VectorLevel::Scalar>;
}
