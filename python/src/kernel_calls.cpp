#include "kernel_calls.h"

#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "kernels/chunk_carry.h"
#include "kernels/kernel_call.h"
#include "kernels/vector_level.h"

namespace kq::python {

namespace {

struct ChosenKernels {
    VectorLevel level;
    const KernelSet* set;
};

// The processor's best level, or a lower one named by KQPHASEFIX2_VECTOR_LEVEL, so that tests
// can run every level the processor has.
VectorLevel levelToRun() {
    const char* named = std::getenv("KQPHASEFIX2_VECTOR_LEVEL");
    if (named == nullptr || *named == '\0') {
        return bestVectorLevel();
    }
    for (VectorLevel level : kAllVectorLevels) {
        if (std::strcmp(named, vectorLevelName(level)) == 0) {
            if (!vectorLevelAvailable(level)) {
                throw std::runtime_error(std::string("KQPHASEFIX2_VECTOR_LEVEL=") + named +
                                         ": this processor does not run that level");
            }
            return level;
        }
    }
    std::string known;
    for (VectorLevel level : kAllVectorLevels) {
        known += (known.empty() ? "" : ", ") + std::string(vectorLevelName(level));
    }
    throw std::runtime_error(std::string("KQPHASEFIX2_VECTOR_LEVEL=") + named +
                             " names no vector level (" + known + ")");
}

const ChosenKernels& chosen() {
    static const ChosenKernels kernels = [] {
        const VectorLevel level = levelToRun();
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

template <>
void unwrapRows<double>(const double* in, int64_t inRowStep, double* out, int64_t outRowStep,
                        int64_t rows, int64_t numChans, double* prev, double* sum, double cutoff) {
    chosen().set->rowsDbl(in, inRowStep, out, outRowStep, rows, numChans, prev, sum, cutoff);
}

template <>
void unwrapRows<float>(const float* in, int64_t inRowStep, float* out, int64_t outRowStep,
                       int64_t rows, int64_t numChans, float* prev, double* sum, float cutoff) {
    chosen().set->rowsSgl(in, inRowStep, out, outRowStep, rows, numChans, prev, sum, cutoff);
}

template <typename T>
int64_t takenCorrections(const T* in, int64_t n, T prev, T cutoff, double* taken) {
    return kernelOf<KernelForm::TakenCorrections, T>(*chosen().set)(in, n, prev, cutoff, taken);
}
template int64_t takenCorrections<double>(const double*, int64_t, double, double, double*);
template int64_t takenCorrections<float>(const float*, int64_t, float, float, double*);

template <typename T>
void unwrapCarried(const T* in, T* out, int64_t n, T* prev, double* sum, T cutoff) {
    kernelOf<KernelForm::Carried, T> (*chosen().set)(in, out, n, prev, sum, cutoff);
}
template void unwrapCarried<double>(const double*, double*, int64_t, double*, double*, double);
template void unwrapCarried<float>(const float*, float*, int64_t, float*, double*, float);

double addTakenCorrections(double sum, const double* taken, int64_t n) {
    return addTaken(sum, taken, n);
}

int64_t unwrapRowsMinChannels() {
    return vectorLevelLanes(chosen().level);
}

const char* chosenVectorLevelName() {
    return vectorLevelName(chosen().level);
}

std::vector<const char*> vectorLevelNames() {
    std::vector<const char*> names;
    for (VectorLevel level : kAllVectorLevels) {
        names.push_back(vectorLevelName(level));
    }
    return names;
}

}  // namespace kq::python
