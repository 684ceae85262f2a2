// The twelve phase-unwrap kernels. Each walks a buffer of raw phase samples in radians and writes
// the unwrapped samples: every output is its input plus the correction accumulated on its channel,
// where a correction (a whole number of turns of 2*pi) is taken whenever the wrapped step between
// two successive raw samples corrects by more than the cutoff in magnitude.
//
// Layout: numChans channels of frameLen samples, channel after channel (column-major for a matrix
// with one channel per column); the per-element kernels see numElems independent values. Counts of
// 0 read and write nothing. Copy kernels read `in` and write `out` (distinct buffers of the same
// size); in-place kernels read and overwrite one buffer. The single kernels compute in binary64 and
// round each stored value to binary32. The kernels allocate nothing and keep no state of their own.
//
// Example: unwrapStatelessCopyDbl on one channel {0, 4, 8} with cutoff pi writes
// {0, -2.2831853071795862, -4.5663706143591725}.
#ifndef KQ_KERNELS_UNWRAP_KERNELS_H
#define KQ_KERNELS_UNWRAP_KERNELS_H

#include <cstdint>

namespace kq {

// Stateless: every channel of every call starts from a zero correction; sample 0 passes through.
void unwrapStatelessCopyDbl(const double* in, double* out, double cutoff, int32_t numChans,
                            int32_t frameLen);
void unwrapStatelessInPlaceDbl(double* buf, double cutoff, int32_t numChans, int32_t frameLen);
void unwrapStatelessCopySgl(const float* in, float* out, float cutoff, int32_t numChans,
                            int32_t frameLen);
void unwrapStatelessInPlaceSgl(float* buf, float cutoff, int32_t numChans, int32_t frameLen);

// Running per element: each of numElems values is a channel with one sample per call. prev and
// cumsum hold numElems values; *firstStep (a one-byte boolean, non-zero = true) makes the call seed
// prev from its own input and zero cumsum, and is cleared by every call. A call without samples has
// nothing to seed from: it leaves prev and cumsum as they are. Outputs are S + x, so on a first
// call every value comes out unchanged except that -0 becomes +0.
void unwrapRunningSampleCopyDbl(const double* in, double* out, double* prev, double* cumsum,
                                double cutoff, int32_t numElems, uint8_t* firstStep);
void unwrapRunningSampleInPlaceDbl(double* buf, double* prev, double* cumsum, double cutoff,
                                   int32_t numElems, uint8_t* firstStep);
void unwrapRunningSampleCopySgl(const float* in, float* out, float* prev, float* cumsum,
                                float cutoff, int32_t numElems, uint8_t* firstStep);
void unwrapRunningSampleInPlaceSgl(float* buf, float* prev, float* cumsum, float cutoff,
                                   int32_t numElems, uint8_t* firstStep);

// Running per channel: numChans channels of frameLen samples, carried on into the next call through
// prev and cumsum (numChans values each); firstStep as above.
void unwrapRunningFrameCopyDbl(const double* in, double* out, double* prev, double* cumsum,
                               double cutoff, int32_t numChans, int32_t frameLen,
                               uint8_t* firstStep);
void unwrapRunningFrameInPlaceDbl(double* buf, double* prev, double* cumsum, double cutoff,
                                  int32_t numChans, int32_t frameLen, uint8_t* firstStep);
void unwrapRunningFrameCopySgl(const float* in, float* out, float* prev, float* cumsum,
                               float cutoff, int32_t numChans, int32_t frameLen,
                               uint8_t* firstStep);
void unwrapRunningFrameInPlaceSgl(float* buf, float* prev, float* cumsum, float cutoff,
                                  int32_t numChans, int32_t frameLen, uint8_t* firstStep);

}  // namespace kq

#endif
