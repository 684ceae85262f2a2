#include "block/unwrap_kernel_table.h"

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

} // namespace

const std::array<UnwrapKernelEntry, kNumUnwrapKernels> UnwrapKernelTable = {
    statelessCopy<double, unwrapStatelessCopyDbl>,
    statelessInPlace<double, unwrapStatelessInPlaceDbl>,
    runningSampleCopy<double, unwrapRunningSampleCopyDbl>,
    runningSampleInPlace<double, unwrapRunningSampleInPlaceDbl>,
    runningFrameCopy<double, unwrapRunningFrameCopyDbl>,
    runningFrameInPlace<double, unwrapRunningFrameInPlaceDbl>,
    statelessCopy<float, unwrapStatelessCopySgl>,
    statelessInPlace<float, unwrapStatelessInPlaceSgl>,
    runningSampleCopy<float, unwrapRunningSampleCopySgl>,
    runningSampleInPlace<float, unwrapRunningSampleInPlaceSgl>,
    runningFrameCopy<float, unwrapRunningFrameCopySgl>,
    runningFrameInPlace<float, unwrapRunningFrameInPlaceSgl>,
};
