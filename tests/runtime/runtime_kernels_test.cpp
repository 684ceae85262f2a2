// The target runtime's twelve kernels (runtime/, the block's scalar level), each run through the
// runtime's own list against the plain reference of kernels/reference of the same form, bit for bit
// in every output and in Prev, Cumsum and FirstStep, over the random simulations of kqhost validate
// (its setups, events and phase sources) and over the hard signals and cutoffs of the kernel tests;
// and its libm-free truncation, magnitude and calm tests against the standard library and the exact
// difference.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "host/data_types.h"
#include "kernel_test_support.h"
#include "kernels/kernel_call.h"
#include "kernels/reference/unwrap_reference.h"
#include "runtime/kq_kernel_list.h"
#include "runtime/kq_unwrap_runtime.h"
#include "runtime/kq_wrap_step.h"
#include "sim/kqhost/validate/validate_phase_source.h"
#include "sim/kqhost/validate/validate_random.h"
#include "sim/kqhost/validate/validate_random_setup.h"
#include "sim/kqhost/validate/validate_reference.h"

using namespace kq;

namespace {

using kq::ref::referenceRunningFrame;
using kq::ref::referenceRunningSample;
using kq::ref::ReferenceState;
using kq::ref::referenceStateless;
using kq::test::bitsOf;
using kq::test::fromBits;
using kq::test::HardSignalSource;
using kq::test::sameBits;

// ---------------------------------------------------------------------------------------------
// The runtime's kernels behind the calling form of the block's table

// The runtime's kernel of a form and data type, found in its list (runtime/kq_kernel_list.h).
template <typename T>
void runRuntimeKernel(KernelForm form, const KernelArgs<T>& a) {
    bool ran = false;
#define KQ_RUN_LISTED_KERNEL(function, shape, place, precision, TT)                   \
    if constexpr (std::is_same_v<T, TT>) {                                            \
        constexpr KernelForm listed = listedForm(KQ_SHAPE_##shape, KQ_PLACE_##place); \
        if (form == listed) {                                                         \
            callKernel<listed, T>(&(function), a);                                    \
            ran = true;                                                               \
        }                                                                             \
    }
    KQ_KERNEL_LIST(KQ_RUN_LISTED_KERNEL)
#undef KQ_RUN_LISTED_KERNEL
    ASSERT_TRUE(ran) << "not a kernel of the runtime's list";
}

// The forms the runtime's list holds for data type T, in its order.
template <typename T>
std::vector<KernelForm> listedForms() {
    std::vector<KernelForm> forms;
#define KQ_LISTED_FORM(function, shape, place, precision, TT)            \
    if (std::is_same_v<T, TT>) {                                         \
        forms.push_back(listedForm(KQ_SHAPE_##shape, KQ_PLACE_##place)); \
    }
    KQ_KERNEL_LIST(KQ_LISTED_FORM)
#undef KQ_LISTED_FORM
    return forms;
}

// The plain reference (kernels/reference/) of a form on one call, on the state of one side.
template <typename T>
void runReference(KernelForm form, ReferenceState<T>& state, const std::vector<T>& in,
                  std::vector<T>& out, T cutoff, int32_t numChans, int32_t frameLen) {
    switch (shapeOf(form)) {
        case KernelShape::Stateless:
            referenceStateless(in.data(), out.data(), cutoff, numChans, frameLen);
            return;
        case KernelShape::RunningSample:
            referenceRunningSample(state, in.data(), out.data(), cutoff, numChans * frameLen);
            return;
        case KernelShape::RunningFrame:
            referenceRunningFrame(state, in.data(), out.data(), cutoff, numChans, frameLen);
            return;
    }
}

// The state one kernel keeps between calls: Prev, Cumsum, FirstStep. Before the first call Prev
// and Cumsum hold a marker, which a first call must replace.
template <typename T>
ReferenceState<T> freshState(size_t length) {
    return {std::vector<T>(length, kq::test::unwrittenValue<T>()),
            std::vector<T>(length, kq::test::unwrittenValue<T>()), 1};
}

// One form run by the runtime's kernel (the block's scalar level) and by the plain reference side
// by side, each with its own state, on the same calls; every call must give both the same bits.
template <typename T>
class KernelPair {
  public:
    KernelPair(KernelForm form, size_t stateLength)
        : form_(form),
          reference_(freshState<T>(stateLength)),
          runtime_(freshState<T>(stateLength)) {}

    // What the block's initial conditions do: FirstStep set, Cumsum zero.
    void reset() {
        for (ReferenceState<T>* state : {&reference_, &runtime_}) {
            state->firstStep = 1;
            std::fill(state->cumsum.begin(), state->cumsum.end(), T{0});
        }
    }

    ::testing::AssertionResult call(const std::vector<T>& in, T cutoff, int32_t numChans,
                                    int32_t frameLen) {
        const std::vector<T> expected = run(reference_, in, cutoff, numChans, frameLen, false);
        const std::vector<T> actual = run(runtime_, in, cutoff, numChans, frameLen, true);
        if (auto r = sameBits(actual, expected); !r) {
            return r << " (outputs)";
        }
        if (auto r = sameBits(runtime_.prev, reference_.prev); !r) {
            return r << " (Prev)";
        }
        if (auto r = sameBits(runtime_.cumsum, reference_.cumsum); !r) {
            return r << " (Cumsum)";
        }
        if (runtime_.firstStep != reference_.firstStep) {
            return ::testing::AssertionFailure() << "FirstStep " << int{runtime_.firstStep}
                                                 << ", expected " << int{reference_.firstStep};
        }
        return ::testing::AssertionSuccess();
    }

  private:
    std::vector<T> run(ReferenceState<T>& state, const std::vector<T>& in, T cutoff,
                       int32_t numChans, int32_t frameLen, bool runtime) {
        const std::vector<T> input = in;
        std::vector<T> out = isInPlace(form_) ? in : std::vector<T>(in.size(), T{0});
        const KernelArgs<T> args{
            input.data(), out.data(), state.prev.data(),   state.cumsum.data(), cutoff,
            numChans,     frameLen,   numChans * frameLen, &state.firstStep};
        if (runtime) {
            runRuntimeKernel(form_, args);
        } else {
            runReference(form_, state, input, out, cutoff, numChans, frameLen);
        }
        EXPECT_TRUE(sameBits(input, in)) << "a kernel changed its input";
        return out;
    }

    KernelForm form_;
    ReferenceState<T> reference_;
    ReferenceState<T> runtime_;
};

std::string formName(KernelForm form, bool single) {
    return kKernelNames[kernelIndex(form, single)];
}

// ---------------------------------------------------------------------------------------------
// The hard signals and cutoffs of the kernel tests

constexpr int32_t kHardLengths[] = {0, 1, 2, 3, 7, 16, 33, 257};
constexpr int32_t kHardChannels[] = {1, 3};

template <typename T>
void checkHardSignals(uint64_t seed) {
    HardSignalSource<T> source(seed);
    for (KernelForm form : listedForms<T>()) {
        for (int32_t length : kHardLengths) {
            for (int32_t chans : kHardChannels) {
                for (int trial = 0; trial < 6; ++trial) {
                    const size_t state = kq::test::stateLength(shapeOf(form), chans, length);
                    KernelPair<T> pair(form, state);
                    const T cutoff = source.cutoff();
                    for (int call = 0; call < 3; ++call) {
                        const std::vector<T> in =
                            source.signal(static_cast<size_t>(chans) * length);
                        ASSERT_TRUE(
                            pair.call(in, call == 2 ? source.cutoff() : cutoff, chans, length))
                            << formName(form, sizeof(T) == 4) << ", " << chans << " x " << length
                            << ", trial " << trial << ", call " << call << ", seed " << seed;
                    }
                }
            }
        }
    }
}

TEST(RuntimeKernels, MatchTheBlockOnHardSignalsDouble) {
    checkHardSignals<double>(0x5eed0001);
}

TEST(RuntimeKernels, MatchTheBlockOnHardSignalsSingle) {
    checkHardSignals<float>(0x5eed0002);
}

// ---------------------------------------------------------------------------------------------
// The random simulations of kqhost validate

// The kernel form the block's table takes for a walk (in place as the setup says).
KernelForm formOf(const kq::kqhost::KernelWalk& walk, bool inPlace) {
    switch (walk.shape) {
        case kq::kqhost::KernelWalk::Shape::Stateless:
            return kq::formOf(KernelShape::Stateless, inPlace);
        case kq::kqhost::KernelWalk::Shape::RunningFrame:
            return kq::formOf(KernelShape::RunningFrame, inPlace);
        case kq::kqhost::KernelWalk::Shape::RunningSample:
            break;
    }
    return kq::formOf(KernelShape::RunningSample, inPlace);
}

// One validate simulation through both kernels, the copying and the in-place form of its walk,
// with the setup's tolerance changes and resets.
template <typename T>
void checkSimulation(const kq::kqhost::ValidateSetup& setup, kq::kqhost::ValidateRandom& random,
                     const std::string& what) {
    const kq::kqhost::KernelWalk walk = kq::kqhost::kernelWalkFor(setup.simulation);
    const bool perElement = walk.shape == kq::kqhost::KernelWalk::Shape::RunningSample;
    // The kernels see the per-element walk as numElems values; the others as channels.
    const int32_t numChans = perElement ? 1 : walk.numChans;
    const int32_t frameLen = perElement ? walk.numChans : walk.frameLen;
    std::vector<kq::kqhost::PhaseSampleSource<T>> lanes;
    for (int32_t lane = 0; lane < walk.numChans; ++lane) {
        lanes.emplace_back(setup.hardShare, setup.phaseSpread,
                           random.uniform(-std::numbers::pi, std::numbers::pi));
    }
    const size_t state = static_cast<size_t>(walk.numChans);
    KernelPair<T> copying(formOf(walk, false), state);
    KernelPair<T> inPlace(formOf(walk, true), state);
    T cutoff = kq::kqhost::cutoffFor<T>(setup.simulation.tolerance);
    std::vector<T> input(walk.values());
    size_t nextEvent = 0;
    for (size_t step = 0; step < setup.steps; ++step) {
        for (; nextEvent < setup.events.size() && setup.events[nextEvent].step == step;
             ++nextEvent) {
            if (setup.events[nextEvent].isReset) {
                copying.reset();
                inPlace.reset();
            } else {
                cutoff = kq::kqhost::cutoffFor<T>(setup.events[nextEvent].tolerance);
            }
        }
        const size_t laneLength = static_cast<size_t>(walk.frameLen);
        for (size_t lane = 0; lane < lanes.size(); ++lane) {
            for (size_t n = 0; n < laneLength; ++n) {
                input[lane * laneLength + n] = lanes[lane].next(random);
            }
        }
        ASSERT_TRUE(copying.call(input, cutoff, numChans, frameLen))
            << what << ", step " << step << " (copying)";
        ASSERT_TRUE(inPlace.call(input, cutoff, numChans, frameLen))
            << what << ", step " << step << " (in place)";
    }
}

TEST(RuntimeKernels, MatchTheBlockOverValidateSimulations) {
    constexpr uint64_t kRunSeed = 0x7e57'0026;
    constexpr uint64_t kSimulations = 400;
    for (uint64_t index = 0; index < kSimulations; ++index) {
        kq::kqhost::ValidateRandom random(kq::kqhost::simulationSeed(kRunSeed, index));
        const kq::kqhost::ValidateSetup setup = kq::kqhost::drawValidateSetup(random);
        const std::string what = "simulation " + std::to_string(index) + " of run seed " +
                                 std::to_string(kRunSeed) + ": " + kq::kqhost::describeSetup(setup);
        if (setup.simulation.typeId == kTypeIdSingle) {
            checkSimulation<float>(setup, random, what);
        } else {
            checkSimulation<double>(setup, random, what);
        }
        if (HasFatalFailure()) {
            return;
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Truncation and magnitude without libm

// Every exponent with fractions at both ends and in between, both signs, and NaNs with payloads
// (quiet and signalling): the bits of std::trunc and std::fabs.
std::vector<double> truncationValues() {
    std::vector<double> values;
    std::mt19937_64 rng(0x7a0c);
    const uint64_t fractions[] = {0,
                                  1,
                                  2,
                                  0x0008'0000'0000'0000ull,
                                  0x000F'FFFF'FFFF'FFFFull,
                                  0x000F'FFFF'FFFF'FFFEull,
                                  0x0007'FFFF'FFFF'FFFFull};
    for (uint64_t exponent = 0; exponent <= 0x7FF; ++exponent) {
        for (uint64_t sign : {0ull, 1ull}) {
            const uint64_t high = (sign << 63) | (exponent << 52);
            for (uint64_t fraction : fractions) {
                values.push_back(fromBits<double>(high | fraction));
            }
            for (int draw = 0; draw < 40; ++draw) {
                values.push_back(fromBits<double>(high | (rng() & 0x000F'FFFF'FFFF'FFFFull)));
            }
        }
    }
    return values;
}

// A signalling NaN is the one input where C libraries differ (glibc's trunc as GCC calls it keeps
// it, as clang calls it quiets it); the step never uses the bits of a NaN turn count, so there the
// payload and sign must agree and the quiet bit may differ.
bool sameTruncation(double actual, double expected) {
    constexpr uint64_t kQuietBit = 0x0008'0000'0000'0000ull;
    if (std::isnan(expected)) {
        return std::isnan(actual) && (bitsOf(actual) | kQuietBit) == (bitsOf(expected) | kQuietBit);
    }
    return bitsOf(actual) == bitsOf(expected);
}

TEST(RuntimeArithmetic, TruncationAndMagnitudeHaveTheLibraryBits) {
    for (double value : truncationValues()) {
        ASSERT_TRUE(sameTruncation(kq_trunc(value), std::trunc(value)))
            << "trunc of " << kq::test::describe(value) << ": got "
            << kq::test::describe(kq_trunc(value)) << ", expected "
            << kq::test::describe(std::trunc(value));
        ASSERT_TRUE(sameBits(kq_fabs(value), std::fabs(value)))
            << "fabs of " << kq::test::describe(value);
    }
}

// ---------------------------------------------------------------------------------------------
// The calm tests

// Pairs around the bounds of the calm tests: 1.5 and 3 (and 2.9 in single) and their neighbours,
// zeros, tiny and huge values, infinities and NaNs, with every sign, and random values near them.
template <typename T>
std::vector<T> calmEdgeValues() {
    using L = std::numeric_limits<T>;
    const T bounds[] = {T{0}, L::denorm_min(), T{1.5},       T{3}, T{2.9f},
                        T{6}, L::max(),        L::infinity()};
    std::vector<T> values = {L::quiet_NaN()};
    for (T bound : bounds) {
        for (T edge : {std::nextafter(bound, T{0}), bound, std::nextafter(bound, L::infinity())}) {
            values.push_back(edge);
            values.push_back(-edge);
        }
    }
    std::mt19937_64 rng(0xca1);
    std::uniform_real_distribution<double> draw(-4.0, 4.0);
    for (int i = 0; i < 60; ++i) {
        values.push_back(static_cast<T>(draw(rng)));
    }
    return values;
}

TEST(RuntimeArithmetic, CalmTestsAgreeWithTheExactDifference) {
    const std::vector<double> doubles = calmEdgeValues<double>();
    for (double v : doubles) {
        for (double x : doubles) {
            const bool calm = std::fabs(x - v) < KQ_CALM_STEP;
            ASSERT_EQ(kq_calm_step_dbl(v, x) != 0, calm) << "v " << v << ", x " << x;
            ASSERT_EQ(kq_calm_step_dbl_bits(v, x) != 0, calm) << "v " << v << ", x " << x;
        }
    }
    // In single the test may miss a calm step (that one runs the whole step), never call a
    // step calm whose binary64 difference is not.
    const std::vector<float> singles = calmEdgeValues<float>();
    for (float v : singles) {
        for (float x : singles) {
            if (kq_calm_step_sgl(v, x) != 0) {
                ASSERT_LT(std::fabs(static_cast<double>(x) - static_cast<double>(v)), KQ_CALM_STEP)
                    << "v " << v << ", x " << x;
            }
        }
    }
}

// The calm cutoff's bound, on the bits in double and in binary32 in single, at its neighbours,
// zeros of both signs, infinities and NaNs.
TEST(RuntimeArithmetic, CalmCutoffTestsAgreeWithTheBinary64Comparison) {
    using D = std::numeric_limits<double>;
    using F = std::numeric_limits<float>;
    const double bound = KQ_CALM_CUTOFF;
    for (double cutoff : {std::nextafter(bound, 0.0), bound, std::nextafter(bound, 1.0), 0.0, -0.0,
                          -bound, 1.0, D::max(), D::infinity(), -D::infinity(), D::quiet_NaN(),
                          -D::quiet_NaN(), D::denorm_min()}) {
        EXPECT_EQ(kq_calm_cutoff_dbl_bits(cutoff) != 0, cutoff >= KQ_CALM_CUTOFF) << cutoff;
    }
    const float singleBound = KQ_CALM_CUTOFF_SGL;
    for (float cutoff :
         {std::nextafter(singleBound, 0.0f), singleBound, std::nextafter(singleBound, 1.0f), 0.0f,
          -0.0f, F::infinity(), -F::infinity(), F::quiet_NaN(), F::max()}) {
        EXPECT_EQ(cutoff >= KQ_CALM_CUTOFF_SGL, static_cast<double>(cutoff) >= KQ_CALM_CUTOFF)
            << cutoff;
    }
}

// The cutoff a tolerance gives, against the block's derivation (the value when above zero, else
// its negation, rounded to binary32 in single): signed zeros, NaNs with payloads, binary32 ties
// and overflow.
TEST(RuntimeArithmetic, CutoffOfToleranceIsTheBlocksMagnitude) {
    using D = std::numeric_limits<double>;
    for (double tolerance :
         {0.0, -0.0, 1e-15, -3.141592653589793, D::max(), -D::max(), D::infinity(), -D::infinity(),
          D::denorm_min(), fromBits<double>(0x7ff8000000000123ull),
          fromBits<double>(0xfff0000000000456ull), fromBits<double>(0x3ff0000010000000ull),
          fromBits<double>(0xbff0000030000000ull), 3.4028235677973366e38, -1e-46}) {
        const double magnitude = tolerance > 0.0 ? tolerance : -tolerance;
        EXPECT_TRUE(sameBits(kq_cutoff_of_tolerance_dbl(tolerance), magnitude)) << tolerance;
        EXPECT_TRUE(sameBits(kq_cutoff_of_tolerance_sgl(tolerance), static_cast<float>(magnitude)))
            << tolerance;
    }
}

}  // namespace
