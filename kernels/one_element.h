// The running per-channel kernel on a call of one element (one channel of one sample), inline: a
// host stepping a scalar signal makes that call at every step, and there the loops of a kernel,
// its vector set-up and its calls cost more than the step itself. The same operations in the same
// order as the scalar kernels, so the same bits; the sample is read before the output is written,
// so `in` may equal `out`.
#ifndef KQ_KERNELS_ONE_ELEMENT_H
#define KQ_KERNELS_ONE_ELEMENT_H

#include <cmath>
#include <cstdint>

#include "kernels/first_step.h"
#include "kernels/wrap_correction.h"

namespace kq {

// A calm step (see kCalmStep) takes no correction, so it is only the output's addition.
template <typename T>
inline void unwrapRunningOneElement(const T* in, T* out, T* prev, T* cumsum, T cutoff,
                                    uint8_t* firstStep) {
    seedFirstStep(in, prev, cumsum, 1, 1, firstStep);
    const T x = *in;
    const T v = *prev;
    double S = *cumsum;
    const double cut = cutoff;
    const double d = static_cast<double>(x) - static_cast<double>(v);
    if (std::fabs(d) < kCalmStep && cut >= kCalmCutoff) {
        *out = static_cast<T>(S + static_cast<double>(x));
    } else {
        *out = static_cast<T>(wrapCorrection<T>(v, x, S, cut));
    }
    *prev = x;
    *cumsum = static_cast<T>(S);
}

}  // namespace kq

#endif
