// Runs one kernel of one vector level on one channel of typical phase data, once, for counting
// the instructions it executes (bench/count_instructions.sh runs it under qemu-aarch64).
//
//   kernel_call LEVEL KERNEL STEP N
// LEVEL: a level name of KQ_VECTOR_LEVELS (kernels/vector_level.h); KERNEL: stateless-dbl,
// stateless-sgl, frame-dbl, element-dbl, element-sgl; STEP: rad per sample of the ramp (0.3
// typical, 0.05 rare wraps, 2.5 dense wraps); N: samples (or elements). The per-element kernels run
// two calls of N elements: the first seeds the state.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "kernels/vector_level.h"

using namespace kq;

namespace {

// Wrapped phase: a ramp of `step` rad per sample plus Gaussian noise of 0.05 rad, through atan2.
std::vector<double> phaseRamp(size_t n, double step, uint64_t seed) {
    std::mt19937_64 rng(seed);
    std::normal_distribution<double> noise(0.0, 0.05);
    std::vector<double> out(n);
    double phase = 0.0;
    for (double& value : out) {
        phase += step + noise(rng);
        value = std::atan2(std::sin(phase), std::cos(phase));
    }
    return out;
}

template <typename T>
std::vector<T> as(const std::vector<double>& values) {
    return std::vector<T>(values.begin(), values.end());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: kernel_call LEVEL KERNEL STEP N\n");
        return 2;
    }
    VectorLevel level = VectorLevel::Scalar;
    for (VectorLevel candidate : kAllVectorLevels) {
        if (vectorLevelName(candidate) == std::string(argv[1])) {
            level = candidate;
        }
    }
    if (!vectorLevelAvailable(level)) {
        std::fprintf(stderr, "kernel_call: this processor lacks %s\n", argv[1]);
        return 2;
    }
    const std::string kernel = argv[2];
    const double step = std::atof(argv[3]);
    const size_t n = static_cast<size_t>(std::atol(argv[4]));
    const int32_t count = static_cast<int32_t>(n);
    const KernelSet& k = kernelsFor(level);
    const double pi = 3.141592653589793;
    const std::vector<double> first = phaseRamp(n, step, 1);
    const std::vector<double> second = phaseRamp(n, step, 2);
    std::vector<double> out(n), prev(n), cumsum(n);
    std::vector<float> outSgl(n), prevSgl(n), cumsumSgl(n);
    uint8_t firstStep = 1;
    if (kernel == "stateless-dbl") {
        k.statelessCopyDbl(first.data(), out.data(), pi, 1, count);
    } else if (kernel == "stateless-sgl") {
        k.statelessCopySgl(as<float>(first).data(), outSgl.data(), 3.1415927f, 1, count);
    } else if (kernel == "frame-dbl") {
        k.runningFrameCopyDbl(first.data(), out.data(), prev.data(), cumsum.data(), pi, 1, count,
                              &firstStep);
    } else if (kernel == "element-dbl") {
        for (const std::vector<double>* in : {&first, &second}) {
            k.runningSampleCopyDbl(in->data(), out.data(), prev.data(), cumsum.data(), pi, count,
                                   &firstStep);
        }
    } else if (kernel == "element-sgl") {
        for (const std::vector<double>* in : {&first, &second}) {
            k.runningSampleCopySgl(as<float>(*in).data(), outSgl.data(), prevSgl.data(),
                                   cumsumSgl.data(), 3.1415927f, count, &firstStep);
        }
    } else {
        std::fprintf(stderr, "kernel_call: unknown kernel %s\n", argv[2]);
        return 2;
    }
    // Keeps the outputs alive.
    std::printf("%a %a\n", out[n / 2], static_cast<double>(outSgl[n / 2]));
    return 0;
}
