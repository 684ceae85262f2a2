// The twelve-entry kernel table, in the order of the runtime's kernel list
// (runtime/kq_kernel_list.h), so indexed by
//   inPlace + 6 * single + 2 * running * (1 + perChannel).
#ifndef KQ_BLOCK_UNWRAP_KERNEL_TABLE_H
#define KQ_BLOCK_UNWRAP_KERNEL_TABLE_H

#include <array>

#include "block/unwrap_args.h"
#include "kernels/vector_level.h"

namespace kq {

inline constexpr int kNumUnwrapKernels = kNumKernels;

// Entry i runs kernel i of KQ_UNWRAP_KERNELS (kernels/kernel_list.h), in this order: stateless
// copy, stateless in place, running per-element copy, running per-element in place, running
// per-channel copy, running per-channel in place; double for 0 to 5, single for 6 to 11.
// An in-place entry reads and overwrites one buffer: entries 5 and 11 take it from the record's
// `in`, entries 1, 3, 7 and 9 from its `out`.
// These entries run the scalar kernels (the runtime's, kernels/unwrap_kernels.h), the reference of
// every level.
extern const std::array<UnwrapKernelEntry, kNumUnwrapKernels> UnwrapKernelTable;

// The same twelve entries running the kernels of one vector level (kernelsFor(level)); the scalar
// level's table is UnwrapKernelTable itself. The block stores the entry of the level it detects
// at start, so an output call is still one indirect call.
const std::array<UnwrapKernelEntry, kNumUnwrapKernels>& unwrapKernelTableFor(VectorLevel level);

// The entry for a call of one element (one channel of one sample), with the choices of
// unwrapKernelIndex: the step alone, without a kernel's loops and calls. It gives the bits of the
// table's entry for that call.
UnwrapKernelEntry unwrapOneElementEntry(bool inPlace, bool single, bool running);

// Index of the entry for a choice of layout, precision and buffer sharing.
constexpr int unwrapKernelIndex(bool inPlace, bool single, bool running, bool perChannel) {
    const KernelShape shape = !running     ? KernelShape::Stateless
                              : perChannel ? KernelShape::RunningFrame
                                           : KernelShape::RunningSample;
    return kernelIndex(formOf(shape, inPlace), single);
}

}  // namespace kq

#endif
