// The four stateless kernels: every channel of every call starts from a zero correction.
//
// One body serves all four: it is a template over the data type, and the in-place kernels pass
// the same buffer as input and output. This plain scalar form is the reference that faster paths
// must match bit for bit.
#include <cstddef>
#include <cstdint>

#include "kernels/unwrap_kernels.h"
#include "kernels/wrap_correction.h"

namespace kq {

namespace {

// Reads every raw sample before the same position is written, so `in` may equal `out`.
template <typename T>
void unwrapStateless(const T* in, T* out, T cutoff, int32_t numChans, int32_t frameLen) {
    if (numChans <= 0 || frameLen <= 0) {
        return;
    }
    const double cut = cutoff;
    for (int32_t j = 0; j < numChans; ++j) {
        const std::ptrdiff_t base = static_cast<std::ptrdiff_t>(j) * frameLen;
        const T* chanIn = in + base;
        T* chanOut = out + base;

        double S = 0.0;
        T v = chanIn[0];
        chanOut[0] = v;  // Sample 0 passes through; in place this stores the value it read.
        for (int32_t n = 1; n < frameLen; ++n) {
            const T x = chanIn[n];
            chanOut[n] = static_cast<T>(wrapCorrection<T>(v, x, S, cut));
            v = x;
        }
    }
}

}  // namespace

void unwrapStatelessCopyDbl(const double* in, double* out, double cutoff, int32_t numChans,
                            int32_t frameLen) {
    unwrapStateless<double>(in, out, cutoff, numChans, frameLen);
}

void unwrapStatelessInPlaceDbl(double* buf, double cutoff, int32_t numChans, int32_t frameLen) {
    unwrapStateless<double>(buf, buf, cutoff, numChans, frameLen);
}

void unwrapStatelessCopySgl(const float* in, float* out, float cutoff, int32_t numChans,
                            int32_t frameLen) {
    unwrapStateless<float>(in, out, cutoff, numChans, frameLen);
}

void unwrapStatelessInPlaceSgl(float* buf, float cutoff, int32_t numChans, int32_t frameLen) {
    unwrapStateless<float>(buf, buf, cutoff, numChans, frameLen);
}

}  // namespace kq
