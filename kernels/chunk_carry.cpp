#include "kernels/chunk_carry.h"

#include <cmath>

#include "kernels/wrap_correction.h"

namespace kq {

namespace {

// A calm step takes no correction with such a cutoff (see kCalmStep), so it may be skipped.
bool calmStep(double v, double x, double cutoff) {
    return cutoff >= kCalmCutoff && std::fabs(x - v) < kCalmStep;
}

template <typename T>
int64_t takenCorrections(const T* in, int64_t n, T prev, T cutoff, double* taken) {
    const double cut = cutoff;
    int64_t count = 0;
    double v = prev;
    for (int64_t i = 0; i < n; ++i) {
        const double x = in[i];
        if (!calmStep(v, x, cut)) {
            // From a zero sum, the sum after the step is the correction itself: 0 + c is c, and a
            // nonzero one was taken. A zero correction (taken only when the cutoff is negative) is
            // left out: it changes no sum but -0.
            double sum = 0.0;
            wrapCorrection<T>(v, x, sum, cut);
            if (sum != 0.0) {
                taken[count++] = sum;
            }
        }
        v = x;
    }
    return count;
}

}  // namespace

int64_t takenCorrectionsDbl(const double* in, int64_t n, double prev, double cutoff,
                            double* taken) {
    return takenCorrections<double>(in, n, prev, cutoff, taken);
}

int64_t takenCorrectionsSgl(const float* in, int64_t n, float prev, float cutoff, double* taken) {
    return takenCorrections<float>(in, n, prev, cutoff, taken);
}

double addTaken(double sum, const double* taken, int64_t n) {
    for (int64_t i = 0; i < n; ++i) {
        sum = sum + taken[i];
    }
    return sum;
}

namespace {

template <typename T>
void unwrapCarried(const T* in, T* out, int64_t n, T* prev, double* sum, T cutoff) {
    const double cut = cutoff;
    double s = *sum;
    T v = *prev;
    for (int64_t i = 0; i < n; ++i) {
        const T x = in[i];
        if (calmStep(v, x, cut)) {
            out[i] = static_cast<T>(s + static_cast<double>(x));
        } else {
            out[i] = static_cast<T>(wrapCorrection<T>(v, x, s, cut));
        }
        v = x;
    }
    *prev = v;
    *sum = s;
}

}  // namespace

void unwrapCarriedDbl(const double* in, double* out, int64_t n, double* prev, double* sum,
                      double cutoff) {
    unwrapCarried<double>(in, out, n, prev, sum, cutoff);
}

void unwrapCarriedSgl(const float* in, float* out, int64_t n, float* prev, double* sum,
                      float cutoff) {
    unwrapCarried<float>(in, out, n, prev, sum, cutoff);
}

}  // namespace kq
