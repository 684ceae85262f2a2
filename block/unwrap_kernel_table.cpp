#include "block/unwrap_kernel_table.h"

#include <type_traits>

#include "kernels/kernel_call.h"
#include "kernels/level_kernels.h"
#include "kernels/one_element.h"

namespace kq {

namespace {

// The list of kernels is the table's order.
constexpr bool tableFollowsTheIndex() {
    bool inOrder = true;
#define KQ_CHECK_TABLE_INDEX(Name, member, Form, T)                                             \
    inOrder =                                                                                   \
        inOrder && unwrapKernelIndex(isInPlace(KernelForm::Form), std::is_same_v<T, float>,     \
                                     shapeOf(KernelForm::Form) != KernelShape::Stateless,       \
                                     shapeOf(KernelForm::Form) == KernelShape::RunningFrame) == \
                       kernelIndex(KernelForm::Form, std::is_same_v<T, float>);
    KQ_UNWRAP_KERNELS(KQ_CHECK_TABLE_INDEX)
#undef KQ_CHECK_TABLE_INDEX
    return inOrder && kNumKernels == kNumUnwrapKernels;
}
static_assert(tableFollowsTheIndex());

// The record field an in-place entry takes its one buffer from: `in` for the running per-channel
// entries (5 and 11), `out` for the others. Both hold the same address whenever an in-place entry
// is chosen, but the table is part of the block's interface and a host may fill the record's
// fields from different places.
constexpr bool inPlaceBufferIsIn(KernelForm form) {
    return form == KernelForm::RunningFrameInPlace;
}

// One entry: reads the current cutoff through the record and hands the kernel the arguments of its
// form (an in-place kernel's one buffer is the `out` of KernelArgs).
template <KernelForm F, typename T, KernelFn<F, T>* Kernel>
void runEntry(const UnwrapArgs* a) {
    callKernel<F, T>(Kernel, {.in = static_cast<const T*>(a->in),
                              .out = static_cast<T*>(inPlaceBufferIsIn(F) ? a->in : a->out),
                              .prev = static_cast<T*>(a->prev),
                              .cumsum = static_cast<T*>(a->cumsum),
                              .cutoff = *static_cast<const T*>(a->cutoff),
                              .numChans = a->numChans,
                              .frameLen = a->frameLen,
                              .numElems = a->numElems,
                              .firstStep = a->firstStep});
}

// The twelve entries of a level, in list order.
template <VectorLevel Level>
constexpr std::array<UnwrapKernelEntry, kNumUnwrapKernels> kLevelTable = {
#define KQ_TABLE_ENTRY(Name, member, Form, T) \
    runEntry<KernelForm::Form, T, levelKernel<Level, KernelForm::Form, T>()>,
    KQ_UNWRAP_KERNELS(KQ_TABLE_ENTRY)
#undef KQ_TABLE_ENTRY
};

// The entries of a call of one element. The running one stands in for the running per-channel
// entries, so in place it takes its one buffer from `in` as they do.
template <typename T, bool InPlace>
void runRunningOneElement(const UnwrapArgs* a) {
    T* in = static_cast<T*>(a->in);
    unwrapRunningOneElement<T>(in, InPlace ? in : static_cast<T*>(a->out), static_cast<T*>(a->prev),
                               static_cast<T*>(a->cumsum), *static_cast<const T*>(a->cutoff),
                               a->firstStep);
}

// Stateless, the one sample passes through as it is stored (in place there is nothing to do).
template <typename T, bool InPlace>
void runStatelessOneElement(const UnwrapArgs* a) {
    if constexpr (!InPlace) {
        *static_cast<T*>(a->out) = *static_cast<const T*>(a->in);
    }
}

template <typename T, bool InPlace>
UnwrapKernelEntry oneElementEntry(bool running) {
    return running ? runRunningOneElement<T, InPlace> : runStatelessOneElement<T, InPlace>;
}

}  // namespace

UnwrapKernelEntry unwrapOneElementEntry(bool inPlace, bool single, bool running) {
    if (single) {
        return inPlace ? oneElementEntry<float, true>(running)
                       : oneElementEntry<float, false>(running);
    }
    return inPlace ? oneElementEntry<double, true>(running)
                   : oneElementEntry<double, false>(running);
}

const std::array<UnwrapKernelEntry, kNumUnwrapKernels> UnwrapKernelTable =
    kLevelTable<VectorLevel::Scalar>;

namespace {

// The table of a vector level this build has; null for the scalar level, whose table is
// UnwrapKernelTable, and for levels this build lacks, whose kernels are never instantiated.
template <VectorLevel Level, bool Built>
constexpr const std::array<UnwrapKernelEntry, kNumUnwrapKernels>* vectorLevelTable() {
    if constexpr (Built && Level != VectorLevel::Scalar) {
        return &kLevelTable<Level>;
    } else {
        return nullptr;
    }
}

constexpr const std::array<UnwrapKernelEntry, kNumUnwrapKernels>* kVectorLevelTables[] = {
#define KQ_VECTOR_LEVEL_TABLE(Level, name, lanes, built, extensions) \
    vectorLevelTable<VectorLevel::Level, built>(),
    KQ_VECTOR_LEVELS(KQ_VECTOR_LEVEL_TABLE)
#undef KQ_VECTOR_LEVEL_TABLE
};

}  // namespace

const std::array<UnwrapKernelEntry, kNumUnwrapKernels>& unwrapKernelTableFor(VectorLevel level) {
    const std::array<UnwrapKernelEntry, kNumUnwrapKernels>* table =
        kVectorLevelTables[static_cast<int>(level)];
    return table != nullptr ? *table : UnwrapKernelTable;
}

}  // namespace kq
