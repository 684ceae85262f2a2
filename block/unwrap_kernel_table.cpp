#include "block/unwrap_kernel_table.h"

#include "kernels/simd/unwrap_kernels_simd.h"
#include "kernels/unwrap_kernels.h"

namespace {

// Each entry reads the current cutoff through the record and hands the kernel its arguments in the
// kernel's own order. The in-place entries pass one buffer: the per-channel ones take it from `in`,
// the others from `out`; both hold the same address whenever an in-place entry is chosen.

template <typename T, void (*Kernel)(const T*, T*, T, int32_t, int32_t)>
void statelessCopy(const UnwrapArgs* a) {
    Kernel(static_cast<const T*>(a->in), static_cast<T*>(a->out), *static_cast<const T*>(a->cutoff),
           a->numChans, a->frameLen);
}

template <typename T, void (*Kernel)(T*, T, int32_t, int32_t)>
void statelessInPlace(const UnwrapArgs* a) {
    Kernel(static_cast<T*>(a->out), *static_cast<const T*>(a->cutoff), a->numChans, a->frameLen);
}

template <typename T, void (*Kernel)(const T*, T*, T*, T*, T, int32_t, uint8_t*)>
void runningSampleCopy(const UnwrapArgs* a) {
    Kernel(static_cast<const T*>(a->in), static_cast<T*>(a->out), static_cast<T*>(a->prev),
           static_cast<T*>(a->cumsum), *static_cast<const T*>(a->cutoff), a->numElems,
           a->firstStep);
}

template <typename T, void (*Kernel)(T*, T*, T*, T, int32_t, uint8_t*)>
void runningSampleInPlace(const UnwrapArgs* a) {
    Kernel(static_cast<T*>(a->out), static_cast<T*>(a->prev), static_cast<T*>(a->cumsum),
           *static_cast<const T*>(a->cutoff), a->numElems, a->firstStep);
}

template <typename T, void (*Kernel)(const T*, T*, T*, T*, T, int32_t, int32_t, uint8_t*)>
void runningFrameCopy(const UnwrapArgs* a) {
    Kernel(static_cast<const T*>(a->in), static_cast<T*>(a->out), static_cast<T*>(a->prev),
           static_cast<T*>(a->cumsum), *static_cast<const T*>(a->cutoff), a->numChans, a->frameLen,
           a->firstStep);
}

template <typename T, void (*Kernel)(T*, T*, T*, T, int32_t, int32_t, uint8_t*)>
void runningFrameInPlace(const UnwrapArgs* a) {
    Kernel(static_cast<T*>(a->in), static_cast<T*>(a->prev), static_cast<T*>(a->cumsum),
           *static_cast<const T*>(a->cutoff), a->numChans, a->frameLen, a->firstStep);
}

}  // namespace

// The twelve entries over one family of kernels with the scalar kernels' names: the global ones,
// or those of a vector level's namespace.
#define KQ_UNWRAP_KERNEL_ENTRIES(family)                                    \
    statelessCopy<double, family unwrapStatelessCopyDbl>,                   \
        statelessInPlace<double, family unwrapStatelessInPlaceDbl>,         \
        runningSampleCopy<double, family unwrapRunningSampleCopyDbl>,       \
        runningSampleInPlace<double, family unwrapRunningSampleInPlaceDbl>, \
        runningFrameCopy<double, family unwrapRunningFrameCopyDbl>,         \
        runningFrameInPlace<double, family unwrapRunningFrameInPlaceDbl>,   \
        statelessCopy<float, family unwrapStatelessCopySgl>,                \
        statelessInPlace<float, family unwrapStatelessInPlaceSgl>,          \
        runningSampleCopy<float, family unwrapRunningSampleCopySgl>,        \
        runningSampleInPlace<float, family unwrapRunningSampleInPlaceSgl>,  \
        runningFrameCopy<float, family unwrapRunningFrameCopySgl>,          \
        runningFrameInPlace<float, family unwrapRunningFrameInPlaceSgl>

const std::array<UnwrapKernelEntry, kNumUnwrapKernels> UnwrapKernelTable = {
    KQ_UNWRAP_KERNEL_ENTRIES(::)};

namespace {
#if defined(__x86_64__)
const std::array<UnwrapKernelEntry, kNumUnwrapKernels> kAvx2Table = {
    KQ_UNWRAP_KERNEL_ENTRIES(avx2::)};
const std::array<UnwrapKernelEntry, kNumUnwrapKernels> kAvx512Table = {
    KQ_UNWRAP_KERNEL_ENTRIES(avx512::)};
#endif
#if defined(__aarch64__)
const std::array<UnwrapKernelEntry, kNumUnwrapKernels> kNeonTable = {
    KQ_UNWRAP_KERNEL_ENTRIES(neon::)};
#endif
}  // namespace

#undef KQ_UNWRAP_KERNEL_ENTRIES

const std::array<UnwrapKernelEntry, kNumUnwrapKernels>& unwrapKernelTableFor(VectorLevel level) {
    switch (level) {
        case VectorLevel::Scalar:
            break;
#if defined(__x86_64__)
        case VectorLevel::Avx2:
            return kAvx2Table;
        case VectorLevel::Avx512:
            return kAvx512Table;
#endif
#if defined(__aarch64__)
        case VectorLevel::Neon:
            return kNeonTable;
#endif
        default:
            break;
    }
    return UnwrapKernelTable;
}
