// The row kernels: channels stored time-major, side by side, as the rows of a matrix with one
// channel per column. The block does not run them (its buffers hold channel after channel); the
// Python module walks arrays whose channels lie side by side with them.
//
// `rows` rows of numChans samples (any count from 1; counts not above 0 read and write nothing):
// sample r of channel j at in[r * inRowStep + j] and out[r * outRowStep + j], the steps in
// elements and of any sign. Channel j carries on from its last raw sample prev[j] and its
// correction sum[j], and leaves them there. The correction stays binary64 in both precisions, so
// the outputs are the bits of the running per-channel kernel given the same channels one after
// another with cumsum = sum (that kernel keeps its correction in binary64 within a call), and the
// rows may be walked in any number of calls. `in` may equal `out` with the same row step; any
// other overlap is not allowed. There is no first step: the caller seeds prev and sum.
//
// Example: unwrapRowsDbl on the rows {0, 0}, {4, 1}, {8, 2} (two channels), prev {0, 0},
// sum {0, 0} and cutoff pi writes {0, 0}, {-2.2831853071795862, 1}, {-4.5663706143591725, 2}.
#ifndef KQ_KERNELS_UNWRAP_ROWS_H
#define KQ_KERNELS_UNWRAP_ROWS_H

#include <cstdint>

namespace kq {

void unwrapRowsDbl(const double* in, int64_t inRowStep, double* out, int64_t outRowStep,
                   int64_t rows, int64_t numChans, double* prev, double* sum, double cutoff);
void unwrapRowsSgl(const float* in, int64_t inRowStep, float* out, int64_t outRowStep, int64_t rows,
                   int64_t numChans, float* prev, double* sum, float cutoff);

}  // namespace kq

#endif
