// The twelve phase-unwrap kernels. Each walks a buffer of raw phase samples in radians and writes
// the unwrapped samples: every output is its input plus the correction accumulated on its channel,
// where a correction (a whole number of turns of 2*pi) is taken whenever the wrapped step between
// two successive raw samples corrects by more than the cutoff in magnitude.
//
// Their scalar form is the target runtime's (runtime/kq_unwrap_runtime.h, listed in
// runtime/kq_kernel_list.h), compiled into the kernels with the block's flags: the functions
// kq_unwrap_<shape>_<copy or in_place>_<dbl or sgl>, with external C linkage, hidden in the
// block. They are the scalar level and the reference that every vector level matches bit for bit.
//
// Layout: numChans channels of frameLen samples, channel after channel (column-major for a matrix
// with one channel per column); the per-element kernels see numElems independent values. Counts of
// 0 read and write nothing. Copy kernels read `in` and write `out` (distinct buffers of the same
// size); in-place kernels read and overwrite one buffer. The single kernels compute in binary64 and
// round each stored value to binary32. The kernels allocate nothing and keep no state of their own.
// Running kernels carry Prev and Cumsum (one value per channel or element) from call to call;
// *firstStep (non-zero) makes the call seed Prev from its own input and zero Cumsum, and every
// call clears it. A call without samples has nothing to seed from and leaves the state alone.
// Outputs are S + x, so on a first call every value comes out unchanged except that -0 becomes +0.
//
// Example: kq_unwrap_stateless_copy_dbl on one channel {0, 4, 8} with cutoff pi writes
// {0, -2.2831853071795862, -4.5663706143591725}.
#ifndef KQ_KERNELS_UNWRAP_KERNELS_H
#define KQ_KERNELS_UNWRAP_KERNELS_H

#include "runtime/kq_unwrap_runtime.h"

#endif
