// The eight running kernels: the correction and the last raw sample of every channel are carried
// from one call to the next in Cumsum and Prev.
//
// One body per shape (per channel, per element), each a template over the data type; the in-place
// kernels pass the same buffer as input and output. S is a binary64 local for the whole of a
// channel's call and is rounded to the data type only when stored into Cumsum. This plain scalar
// form is the reference that faster paths must match bit for bit.
#include <cstddef>
#include <cstdint>

#include "kernels/first_step.h"
#include "kernels/unwrap_kernels.h"
#include "kernels/wrap_correction.h"

namespace kq {

namespace {

// numChans channels of frameLen samples. Reads every raw sample before the same position is
// written, so `in` may equal `out`.
template <typename T>
void unwrapRunningFrame(const T* in, T* out, T* prev, T* cumsum, T cutoff, int32_t numChans,
                        int32_t frameLen, uint8_t* firstStep) {
    seedFirstStep(in, prev, cumsum, numChans, frameLen, firstStep);
    if (frameLen <= 0) {
        return;
    }

    const double cut = cutoff;
    for (int32_t j = 0; j < numChans; ++j) {
        const std::ptrdiff_t base = static_cast<std::ptrdiff_t>(j) * frameLen;
        const T* chanIn = in + base;
        T* chanOut = out + base;

        double S = cumsum[j];
        T v = prev[j];
        for (int32_t n = 0; n < frameLen; ++n) {
            const T x = chanIn[n];
            chanOut[n] = static_cast<T>(wrapCorrection<T>(v, x, S, cut));
            v = x;
        }
        prev[j] = v;
        cumsum[j] = static_cast<T>(S);
    }
}

// numElems independent channels of one sample each. Reads every raw value before the same
// position is written, so `in` may equal `out`.
template <typename T>
void unwrapRunningSample(const T* in, T* out, T* prev, T* cumsum, T cutoff, int32_t numElems,
                         uint8_t* firstStep) {
    seedFirstStep(in, prev, cumsum, numElems, 1, firstStep);

    const double cut = cutoff;
    for (int32_t i = 0; i < numElems; ++i) {
        double S = cumsum[i];
        const T x = in[i];
        out[i] = static_cast<T>(wrapCorrection<T>(prev[i], x, S, cut));
        prev[i] = x;
        cumsum[i] = static_cast<T>(S);
    }
}

}  // namespace

void unwrapRunningSampleCopyDbl(const double* in, double* out, double* prev, double* cumsum,
                                double cutoff, int32_t numElems, uint8_t* firstStep) {
    unwrapRunningSample<double>(in, out, prev, cumsum, cutoff, numElems, firstStep);
}

void unwrapRunningSampleInPlaceDbl(double* buf, double* prev, double* cumsum, double cutoff,
                                   int32_t numElems, uint8_t* firstStep) {
    unwrapRunningSample<double>(buf, buf, prev, cumsum, cutoff, numElems, firstStep);
}

void unwrapRunningSampleCopySgl(const float* in, float* out, float* prev, float* cumsum,
                                float cutoff, int32_t numElems, uint8_t* firstStep) {
    unwrapRunningSample<float>(in, out, prev, cumsum, cutoff, numElems, firstStep);
}

void unwrapRunningSampleInPlaceSgl(float* buf, float* prev, float* cumsum, float cutoff,
                                   int32_t numElems, uint8_t* firstStep) {
    unwrapRunningSample<float>(buf, buf, prev, cumsum, cutoff, numElems, firstStep);
}

void unwrapRunningFrameCopyDbl(const double* in, double* out, double* prev, double* cumsum,
                               double cutoff, int32_t numChans, int32_t frameLen,
                               uint8_t* firstStep) {
    unwrapRunningFrame<double>(in, out, prev, cumsum, cutoff, numChans, frameLen, firstStep);
}

void unwrapRunningFrameInPlaceDbl(double* buf, double* prev, double* cumsum, double cutoff,
                                  int32_t numChans, int32_t frameLen, uint8_t* firstStep) {
    unwrapRunningFrame<double>(buf, buf, prev, cumsum, cutoff, numChans, frameLen, firstStep);
}

void unwrapRunningFrameCopySgl(const float* in, float* out, float* prev, float* cumsum,
                               float cutoff, int32_t numChans, int32_t frameLen,
                               uint8_t* firstStep) {
    unwrapRunningFrame<float>(in, out, prev, cumsum, cutoff, numChans, frameLen, firstStep);
}

void unwrapRunningFrameInPlaceSgl(float* buf, float* prev, float* cumsum, float cutoff,
                                  int32_t numChans, int32_t frameLen, uint8_t* firstStep) {
    unwrapRunningFrame<float>(buf, buf, prev, cumsum, cutoff, numChans, frameLen, firstStep);
}

}  // namespace kq
