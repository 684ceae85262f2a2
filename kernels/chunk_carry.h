// The unwrap of one channel cut into chunks, chunk by chunk, with the bits of one call.
//
// Which corrections a channel takes depends on its raw samples alone: the step from sample i-1 to
// sample i takes the correction c_i when cutoff < |c_i|. Only their sum is sequential. So a
// channel cut into chunks can be unwrapped in three passes that keep the bits of one call:
// takenCorrectionsDbl/Sgl lists, for every chunk on its own, the corrections its steps take (the
// step into its first sample included, from the last raw sample of the chunk before); addTaken adds
// them, chunk after chunk, to the carried correction sum, one binary64 addition each, in the
// order the kernels add them; unwrapCarriedDbl/Sgl then runs every chunk seeded with its carried
// sum and the raw sample before it. The first chunk is the stateless call: sample 0 passes.
#ifndef KQ_KERNELS_CHUNK_CARRY_H
#define KQ_KERNELS_CHUNK_CARRY_H

#include <cstdint>

namespace kq {

// The corrections (binary64, as added to the sum) taken over the steps prev -> in[0], in[0] ->
// in[1], ..., in[n-2] -> in[n-1], written to taken (room for n values) in the order they are
// taken, zero ones left out (only a negative cutoff takes them, and they change no sum but -0).
// Returns how many. The step is the kernels' own.
int64_t takenCorrectionsDbl(const double* in, int64_t n, double prev, double cutoff, double* taken);
int64_t takenCorrectionsSgl(const float* in, int64_t n, float prev, float cutoff, double* taken);

// The correction sum after adding taken[0..n) to sum, one addition at a time, in order.
double addTaken(double sum, const double* taken, int64_t n);

// One channel of n samples carried on from its last raw sample *prev and its correction sum *sum
// (binary64 in both precisions): out[i] is the sum after the step into in[i], plus in[i],
// rounded to T, as the running per-channel kernel stores it. Leaves the channel's last raw sample
// in *prev and its sum in *sum. `in` may equal `out`.
void unwrapCarriedDbl(const double* in, double* out, int64_t n, double* prev, double* sum,
                      double cutoff);
void unwrapCarriedSgl(const float* in, float* out, int64_t n, float* prev, double* sum,
                      float cutoff);

// Both passes run at every vector level too, with the same results: the members
// takenCorrectionsDbl ... carriedSgl of kernelsFor(level) (kernels/vector_level.h).

}  // namespace kq

#endif
