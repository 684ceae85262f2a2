#include "kernel_calls.h"

#include "kernels/vector_level.h"

namespace kqpy {

namespace {

struct ChosenKernels {
    VectorLevel level;
    const KernelSet* set;
};

const ChosenKernels& chosen() {
    static const ChosenKernels kernels = [] {
        const VectorLevel level = bestVectorLevel();
        return ChosenKernels{level, &kernelsFor(level)};
    }();
    return kernels;
}

}  // namespace

template <>
void unwrapStateless<double>(const double* in, double* out, double cutoff, int32_t numChans,
                             int32_t frameLen) {
    const KernelSet& k = *chosen().set;
    if (in == out) {
        k.statelessInPlaceDbl(out, cutoff, numChans, frameLen);
    } else {
        k.statelessCopyDbl(in, out, cutoff, numChans, frameLen);
    }
}

template <>
void unwrapStateless<float>(const float* in, float* out, float cutoff, int32_t numChans,
                            int32_t frameLen) {
    const KernelSet& k = *chosen().set;
    if (in == out) {
        k.statelessInPlaceSgl(out, cutoff, numChans, frameLen);
    } else {
        k.statelessCopySgl(in, out, cutoff, numChans, frameLen);
    }
}

template <>
void unwrapRunning<double>(const double* in, double* out, double* prev, double* cumsum,
                           double cutoff, int32_t numChans, int32_t frameLen, uint8_t* firstStep) {
    const KernelSet& k = *chosen().set;
    if (in == out) {
        k.runningFrameInPlaceDbl(out, prev, cumsum, cutoff, numChans, frameLen, firstStep);
    } else {
        k.runningFrameCopyDbl(in, out, prev, cumsum, cutoff, numChans, frameLen, firstStep);
    }
}

template <>
void unwrapRunning<float>(const float* in, float* out, float* prev, float* cumsum, float cutoff,
                          int32_t numChans, int32_t frameLen, uint8_t* firstStep) {
    const KernelSet& k = *chosen().set;
    if (in == out) {
        k.runningFrameInPlaceSgl(out, prev, cumsum, cutoff, numChans, frameLen, firstStep);
    } else {
        k.runningFrameCopySgl(in, out, prev, cumsum, cutoff, numChans, frameLen, firstStep);
    }
}

const char* chosenVectorLevelName() {
    return vectorLevelName(chosen().level);
}

}  // namespace kqpy
