// Every kernel of a vector level, over its lane set L: each form runs by the body of its strategy
// (kernels/simd/unwrap_simd_body.h, unwrap_simd_rows.h, chunk_carry_simd_body.h). Include it only
// from the level's own translation unit.
#ifndef KQ_KERNELS_SIMD_UNWRAP_SIMD_FORMS_H
#define KQ_KERNELS_SIMD_UNWRAP_SIMD_FORMS_H

#include "kernels/kernel_list.h"
#include "kernels/simd/chunk_carry_simd_body.h"
#include "kernels/simd/unwrap_simd_body.h"
#include "kernels/simd/unwrap_simd_rows.h"

namespace kq::simd {

// A kernel of a shape on its own arguments, run by the body of the shape: an in-place kernel's one
// buffer is the body's input and output.
template <typename L, KernelShape S, typename T, class... Rest>
[[gnu::always_inline]] inline void runShape(const T* in, T* out, Rest... rest) {
    if constexpr (S == KernelShape::Stateless) {
        unwrapStateless<L, T>(in, out, rest...);
    } else if constexpr (S == KernelShape::RunningSample) {
        unwrapRunningSample<L, T>(in, out, rest...);
    } else {
        unwrapRunningFrame<L, T>(in, out, rest...);
    }
}

// A kernel of form F on its own arguments: the row and chunk kernels' by their bodies, the others'
// by the body of their shape.
template <typename L, KernelForm F, typename T, class First, class... Rest>
[[gnu::always_inline]] inline auto runInForm(First first, Rest... rest) {
    if constexpr (F == KernelForm::Rows) {
        return unwrapRows<L, T>(first, rest...);
    } else if constexpr (F == KernelForm::TakenCorrections) {
        return takenCorrectionsInLanes<L, T>(first, rest...);
    } else if constexpr (F == KernelForm::Carried) {
        return unwrapCarriedInLanes<L, T>(first, rest...);
    } else if constexpr (isInPlace(F)) {
        return runShape<L, shapeOf(F), T>(first, first, rest...);
    } else {
        return runShape<L, shapeOf(F), T>(first, rest...);
    }
}

}  // namespace kq::simd

#endif
