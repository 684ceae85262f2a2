// The row kernels: the step of the running kernels, sample by sample, row after row. This plain
// scalar form is the reference that faster paths must match bit for bit.
#include "kernels/unwrap_rows.h"

#include "kernels/wrap_correction.h"

namespace kq {

namespace {

// Reads every raw sample of a row before the same position is written, so `in` may equal `out`.
template <typename T>
void unwrapRows(const T* in, int64_t inRowStep, T* out, int64_t outRowStep, int64_t rows,
                int64_t numChans, T* prev, double* sum, T cutoff) {
    const double cut = cutoff;
    for (int64_t r = 0; r < rows; ++r) {
        const T* rowIn = in + r * inRowStep;
        T* rowOut = out + r * outRowStep;
        for (int64_t j = 0; j < numChans; ++j) {
            const T x = rowIn[j];
            rowOut[j] = static_cast<T>(wrapCorrection<T>(prev[j], x, sum[j], cut));
            prev[j] = x;
        }
    }
}

}  // namespace

void unwrapRowsDbl(const double* in, int64_t inRowStep, double* out, int64_t outRowStep,
                   int64_t rows, int64_t numChans, double* prev, double* sum, double cutoff) {
    unwrapRows<double>(in, inRowStep, out, outRowStep, rows, numChans, prev, sum, cutoff);
}

void unwrapRowsSgl(const float* in, int64_t inRowStep, float* out, int64_t outRowStep, int64_t rows,
                   int64_t numChans, float* prev, double* sum, float cutoff) {
    unwrapRows<float>(in, inRowStep, out, outRowStep, rows, numChans, prev, sum, cutoff);
}

}  // namespace kq
