// One way to call any of the twelve kernels: their arguments by name in one record, handed to each
// kernel in its own order. The block's table, the tests, the fuzzers and the benchmark run kernels
// of every form through it instead of spelling out each parameter list.
#ifndef KQ_KERNELS_KERNEL_CALL_H
#define KQ_KERNELS_KERNEL_CALL_H

#include <cstdint>
#include <type_traits>

#include "kernels/kernel_list.h"
#include "kernels/vector_level.h"

namespace kq {

// The arguments of any kernel. A kernel takes those of its form: an in-place kernel's one buffer
// is `out`, the per-element kernels count numElems values, the others numChans x frameLen.
template <typename T>
struct KernelArgs {
    const T* in = nullptr;
    T* out = nullptr;
    T* prev = nullptr;
    T* cumsum = nullptr;
    T cutoff = T{0};
    int32_t numChans = 0;
    int32_t frameLen = 0;
    int32_t numElems = 0;
    uint8_t* firstStep = nullptr;
};

template <KernelForm F, typename T>
inline void callKernel(KernelFn<F, T>* kernel, const KernelArgs<T>& a) {
    if constexpr (F == KernelForm::StatelessCopy) {
        kernel(a.in, a.out, a.cutoff, a.numChans, a.frameLen);
    } else if constexpr (F == KernelForm::StatelessInPlace) {
        kernel(a.out, a.cutoff, a.numChans, a.frameLen);
    } else if constexpr (F == KernelForm::RunningSampleCopy) {
        kernel(a.in, a.out, a.prev, a.cumsum, a.cutoff, a.numElems, a.firstStep);
    } else if constexpr (F == KernelForm::RunningSampleInPlace) {
        kernel(a.out, a.prev, a.cumsum, a.cutoff, a.numElems, a.firstStep);
    } else if constexpr (F == KernelForm::RunningFrameCopy) {
        kernel(a.in, a.out, a.prev, a.cumsum, a.cutoff, a.numChans, a.frameLen, a.firstStep);
    } else {
        static_assert(F == KernelForm::RunningFrameInPlace);
        kernel(a.out, a.prev, a.cumsum, a.cutoff, a.numChans, a.frameLen, a.firstStep);
    }
}

// The kernel of form F (the row kernels' form included) for data type T in a set.
template <KernelForm F, typename T>
constexpr KernelFn<F, T>* kernelOf(const KernelSet& set) {
#define KQ_SET_MEMBER_OF(Name, member, Form, TT)                    \
    if constexpr (F == KernelForm::Form && std::is_same_v<T, TT>) { \
        return set.member;                                          \
    } else
    KQ_LEVEL_KERNELS(KQ_SET_MEMBER_OF)
#undef KQ_SET_MEMBER_OF
    {
        static_assert(std::is_same_v<T, double> || std::is_same_v<T, float>, "no such kernel");
        return nullptr;
    }
}

// Runs the kernel of `form` for data type T from `set` on `args`.
template <typename T>
void runKernel(const KernelSet& set, KernelForm form, const KernelArgs<T>& args) {
#define KQ_RUN_IF_FORM(Name, member, Form, TT)                 \
    if constexpr (std::is_same_v<T, TT>) {                     \
        if (form == KernelForm::Form) {                        \
            callKernel<KernelForm::Form, T>(set.member, args); \
            return;                                            \
        }                                                      \
    }
    KQ_UNWRAP_KERNELS(KQ_RUN_IF_FORM)
#undef KQ_RUN_IF_FORM
}

}  // namespace kq

#endif
