// The twelve unwrap kernels as one list, and the six calling forms they come in; the row kernels
// and the chunk-carry kernels as two more. Code that needs the kernels one by one (the kernel sets
// of the vector levels, the block's table, the tests, the fuzzers, the benchmark) expands these
// lists instead of naming them again.
//
// The twelve are the target runtime's kernels, listed once in runtime/kq_kernel_list.h; this list
// adds each one's KernelSet member and C++ form, in the same order (the order of the block's kernel
// table: kernelIndex(form, single) below), which the static_assert at the end holds it to.
#ifndef KQ_KERNELS_KERNEL_LIST_H
#define KQ_KERNELS_KERNEL_LIST_H

#include <cstdint>
#include <iterator>
#include <type_traits>

#include "kernels/chunk_carry.h"
#include "kernels/unwrap_kernels.h"
#include "kernels/unwrap_rows.h"
#include "runtime/kq_kernel_list.h"

namespace kq {

// X(Function, member, Form, T): the kernel Function (the runtime's, kernels/unwrap_kernels.h), the
// KernelSet member that holds it at every vector level, its KernelForm and its data type.
#define KQ_UNWRAP_KERNELS(X)                                                                       \
    X(kq_unwrap_stateless_copy_dbl, statelessCopyDbl, StatelessCopy, double)                       \
    X(kq_unwrap_stateless_in_place_dbl, statelessInPlaceDbl, StatelessInPlace, double)             \
    X(kq_unwrap_running_sample_copy_dbl, runningSampleCopyDbl, RunningSampleCopy, double)          \
    X(kq_unwrap_running_sample_in_place_dbl, runningSampleInPlaceDbl, RunningSampleInPlace,        \
      double)                                                                                      \
    X(kq_unwrap_running_frame_copy_dbl, runningFrameCopyDbl, RunningFrameCopy, double)             \
    X(kq_unwrap_running_frame_in_place_dbl, runningFrameInPlaceDbl, RunningFrameInPlace, double)   \
    X(kq_unwrap_stateless_copy_sgl, statelessCopySgl, StatelessCopy, float)                        \
    X(kq_unwrap_stateless_in_place_sgl, statelessInPlaceSgl, StatelessInPlace, float)              \
    X(kq_unwrap_running_sample_copy_sgl, runningSampleCopySgl, RunningSampleCopy, float)           \
    X(kq_unwrap_running_sample_in_place_sgl, runningSampleInPlaceSgl, RunningSampleInPlace, float) \
    X(kq_unwrap_running_frame_copy_sgl, runningFrameCopySgl, RunningFrameCopy, float)              \
    X(kq_unwrap_running_frame_in_place_sgl, runningFrameInPlaceSgl, RunningFrameInPlace, float)

// The row kernels of kernels/unwrap_rows.h, with the same columns. Not in the block's table.
#define KQ_ROW_KERNELS(X)                   \
    X(unwrapRowsDbl, rowsDbl, Rows, double) \
    X(unwrapRowsSgl, rowsSgl, Rows, float)

// The chunk passes of kernels/chunk_carry.h, with the same columns. Not in the block's table.
#define KQ_CHUNK_CARRY_KERNELS(X)                                         \
    X(takenCorrectionsDbl, takenCorrectionsDbl, TakenCorrections, double) \
    X(takenCorrectionsSgl, takenCorrectionsSgl, TakenCorrections, float)  \
    X(unwrapCarriedDbl, carriedDbl, Carried, double)                      \
    X(unwrapCarriedSgl, carriedSgl, Carried, float)

// Every kernel a vector level has: the members of its KernelSet.
#define KQ_LEVEL_KERNELS(X) KQ_UNWRAP_KERNELS(X) KQ_ROW_KERNELS(X) KQ_CHUNK_CARRY_KERNELS(X)

// How a kernel walks its buffer: the runtime's shapes (KQ_SHAPE_* of runtime/kq_kernel_list.h).
enum class KernelShape {
    Stateless = KQ_SHAPE_STATELESS,  // numChans channels of frameLen samples, each call on its own
    RunningSample = KQ_SHAPE_RUNNING_SAMPLE,  // numElems channels of one sample each, carried on
    RunningFrame = KQ_SHAPE_RUNNING_FRAME,    // numChans channels of frameLen samples, carried on
};

// A shape, copying or in place: the kernel's parameter list, and its place within a precision.
enum class KernelForm {
    StatelessCopy,
    StatelessInPlace,
    RunningSampleCopy,
    RunningSampleInPlace,
    RunningFrameCopy,
    RunningFrameInPlace,
    // The forms below have no shape and no place in the table.
    Rows,              // the row kernels
    TakenCorrections,  // the chunk passes: the corrections a chunk takes ...
    Carried,           // ... and the chunk carried on from the sum of those before it
};

// The forms of the table's kernels (those before Rows).
inline constexpr int kNumKernelForms = 6;

constexpr KernelShape shapeOf(KernelForm form) {
    return static_cast<KernelShape>(static_cast<int>(form) / 2);
}
constexpr bool isInPlace(KernelForm form) {
    return static_cast<int>(form) % 2 == 1;
}
constexpr KernelForm formOf(KernelShape shape, bool inPlace) {
    return static_cast<KernelForm>(2 * static_cast<int>(shape) + int{inPlace});
}

// The form of the runtime's list entry of a shape and a place (KQ_SHAPE_* and KQ_PLACE_* of
// runtime/kq_kernel_list.h).
constexpr KernelForm listedForm(int shape, int place) {
    return formOf(static_cast<KernelShape>(shape), place == KQ_PLACE_IN_PLACE);
}

// Position in the list (and in the block's table) of the kernel of `form` in double or single.
constexpr int kernelIndex(KernelForm form, bool single) {
    return static_cast<int>(form) + kNumKernelForms * int{single};
}

// The kernels' names, in list order.
#define KQ_KERNEL_NAME(Function, member, Form, T) #Function,
inline constexpr const char* kKernelNames[] = {KQ_UNWRAP_KERNELS(KQ_KERNEL_NAME)};
#undef KQ_KERNEL_NAME

inline constexpr int kNumKernels = static_cast<int>(std::size(kKernelNames));

// The parameter list of each form, for data type T. In-place kernels read and overwrite `buf`.
template <KernelForm F, typename T>
struct KernelSignature;

template <typename T>
struct KernelSignature<KernelForm::StatelessCopy, T> {
    using type = void(const T* in, T* out, T cutoff, int32_t numChans, int32_t frameLen);
};
template <typename T>
struct KernelSignature<KernelForm::StatelessInPlace, T> {
    using type = void(T* buf, T cutoff, int32_t numChans, int32_t frameLen);
};
template <typename T>
struct KernelSignature<KernelForm::RunningSampleCopy, T> {
    using type = void(const T* in, T* out, T* prev, T* cumsum, T cutoff, int32_t numElems,
                      uint8_t* firstStep);
};
template <typename T>
struct KernelSignature<KernelForm::RunningSampleInPlace, T> {
    using type = void(T* buf, T* prev, T* cumsum, T cutoff, int32_t numElems, uint8_t* firstStep);
};
template <typename T>
struct KernelSignature<KernelForm::RunningFrameCopy, T> {
    using type = void(const T* in, T* out, T* prev, T* cumsum, T cutoff, int32_t numChans,
                      int32_t frameLen, uint8_t* firstStep);
};
template <typename T>
struct KernelSignature<KernelForm::RunningFrameInPlace, T> {
    using type = void(T* buf, T* prev, T* cumsum, T cutoff, int32_t numChans, int32_t frameLen,
                      uint8_t* firstStep);
};

template <typename T>
struct KernelSignature<KernelForm::Rows, T> {
    using type = void(const T* in, int64_t inRowStep, T* out, int64_t outRowStep, int64_t rows,
                      int64_t numChans, T* prev, double* sum, T cutoff);
};

template <typename T>
struct KernelSignature<KernelForm::TakenCorrections, T> {
    using type = int64_t(const T* in, int64_t n, T prev, T cutoff, double* taken);
};
template <typename T>
struct KernelSignature<KernelForm::Carried, T> {
    using type = void(const T* in, T* out, int64_t n, T* prev, double* sum, T cutoff);
};

template <KernelForm F, typename T>
using KernelFn = typename KernelSignature<F, T>::type;

// The scalar kernel of a form and data type: ScalarKernel<F, T>::fn. Defining it checks every
// kernel of unwrap_kernels.h, unwrap_rows.h and chunk_carry.h against the signature of its form.
template <KernelForm F, typename T>
struct ScalarKernel;

#define KQ_SCALAR_KERNEL(Function, member, Form, T)                       \
    template <>                                                           \
    struct ScalarKernel<KernelForm::Form, T> {                            \
        static constexpr KernelFn<KernelForm::Form, T>* fn = &(Function); \
    };
KQ_LEVEL_KERNELS(KQ_SCALAR_KERNEL)
#undef KQ_SCALAR_KERNEL

// The list is in table order, each form once per precision.
constexpr bool kernelListInTableOrder() {
    int position = 0;
    bool inOrder = true;
#define KQ_CHECK_KERNEL_INDEX(Name, member, Form, T) \
    inOrder = inOrder && kernelIndex(KernelForm::Form, std::is_same_v<T, float>) == position++;
    KQ_UNWRAP_KERNELS(KQ_CHECK_KERNEL_INDEX)
#undef KQ_CHECK_KERNEL_INDEX
    return inOrder && position == 2 * kNumKernelForms;
}
static_assert(kernelListInTableOrder());

template <typename F, typename G>
constexpr bool sameFunction(F* f, G* g) {
    if constexpr (std::is_same_v<F, G>) {
        return f == g;
    } else {
        return false;
    }
}

// Entry by entry, the runtime's list holds the same kernels: the same function at the same
// position, of the same form and data type, at the index its three words give.
constexpr bool kernelListMatchesTheRuntime() {
    int position = 0;
    bool same = true;
#define KQ_CHECK_RUNTIME_ENTRY(function, shape, place, precision, T)                          \
    {                                                                                         \
        constexpr KernelForm form = listedForm(KQ_SHAPE_##shape, KQ_PLACE_##place);           \
        constexpr bool single = KQ_PRECISION_##precision == KQ_PRECISION_SGL;                 \
        same = same && KQ_KERNEL_INDEX(shape, place, precision) == position &&                \
               kernelIndex(form, single) == position && std::is_same_v<T, float> == single && \
               sameFunction(ScalarKernel<form, T>::fn, &(function));                          \
        ++position;                                                                           \
    }
    KQ_KERNEL_LIST(KQ_CHECK_RUNTIME_ENTRY)
#undef KQ_CHECK_RUNTIME_ENTRY
    return same && position == kNumKernels && KQ_NUM_KERNELS == kNumKernels;
}
static_assert(kernelListMatchesTheRuntime());

}  // namespace kq

#endif
