// The per-sample step: the worked values of the wrap step in both precision variants, bit for bit,
// then the behaviour for differences too large for a 32-bit turn count, then random agreement with
// the naive reference step.
#include "kernels/wrap_correction.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <type_traits>
#include <utility>
#include <vector>

#include "kernel_test_support.h"
#include "kernels/reference/unwrap_reference.h"

using namespace kq;

namespace {

using kq::test::sameBits;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// One step from S = sIn; sOut and y are the binary64 results (y before any rounding to T).
template <typename T>
struct StepCase {
    const char* name;
    T v;
    T x;
    T cutoff;
    double sIn;
    double sOut;
    double y;
};

template <typename T>
void checkStep(const StepCase<T>& c) {
    double S = c.sIn;
    const double y = wrapCorrection<T>(c.v, c.x, S, c.cutoff);
    EXPECT_TRUE(sameBits(S, c.sOut)) << "S after the step";
    EXPECT_TRUE(sameBits(y, c.y)) << "returned sample";
}

template <typename T>
std::string caseName(const ::testing::TestParamInfo<StepCase<T>>& info) {
    return info.param.name;
}

// ---------------------------------------------------------------------------------------------
// Double variant

constexpr double kPi = 3.141592653589793;
constexpr double kTwoPi = 6.283185307179586;
constexpr double kThreePi = 9.42477796076938;

class DoubleStep : public ::testing::TestWithParam<StepCase<double>> {};

TEST_P(DoubleStep, GivesTheWorkedBits) {
    checkStep(GetParam());
}

INSTANTIATE_TEST_SUITE_P(
    WorkedValues, DoubleStep,
    ::testing::Values(
        // The worked example: d = -4 is one turn up.
        StepCase<double>{"DownFour", 4.0, 0.0, kPi, 0.0, kTwoPi, kTwoPi},
        StepCase<double>{"NoDifference", 1.5, 1.5, 0.0, 0.0, 0.0, 1.5},
        StepCase<double>{"UpFour", 0.0, 4.0, kPi, 0.0, -kTwoPi, -2.2831853071795862},
        StepCase<double>{"DownFourFromZero", 0.0, -4.0, kPi, 0.0, kTwoPi, 2.2831853071795862},
        // The cutoff comparison is strict: a cutoff equal to the correction keeps it out.
        StepCase<double>{"CutoffEqualToCorrection", 0.0, 4.0, kTwoPi, 0.0, 0.0, 4.0},
        StepCase<double>{"CutoffJustBelowCorrection", 0.0, 4.0, 6.2831853071795853, 0.0, -kTwoPi,
                         -2.2831853071795862},
        // An upward step of exactly pi is +pi through the tie-break; downward it is -pi.
        StepCase<double>{"UpExactlyPi", 0.0, kPi, 0.0, 0.0, 0.0, kPi},
        StepCase<double>{"DownExactlyPi", kPi, 0.0, 0.0, 0.0, 0.0, 0.0},
        StepCase<double>{"UpThreePi", 0.0, kThreePi, 0.0, 0.0, -kTwoPi, kPi},
        StepCase<double>{"DownThreePi", kThreePi, 0.0, 0.0, 0.0, kTwoPi, kTwoPi},
        StepCase<double>{"UpTen", 0.0, 10.0, kPi, 0.0, -12.566370614359172, -2.5663706143591725},
        // Just below -pi the floor bias gives one turn less than the floor, up to ~6.28e-10.
        StepCase<double>{"InsideBiasWindow", 3.141592653909793, 0.0, 0.0, 0.0, 0.0, 0.0},
        StepCase<double>{"BeyondBiasWindow", 3.1415926548897932, 0.0, 0.0, 0.0, kTwoPi, kTwoPi},
        // Differences inside (-pi, pi) leave rounding residues that only a cutoff of 0 lets in.
        StepCase<double>{"ResidueWithZeroCutoff", 0.0, 1.2345678901234567, 0.0, 0.0,
                         2.220446049250313e-16, 1.234567890123457},
        StepCase<double>{"ResidueBelowCutoff", 0.0, 1.2345678901234567, 1e-15, 0.0, 0.0,
                         1.2345678901234567},
        StepCase<double>{"LargestBelowPi", 0.0, 3.1415926535897927, 0.0, 0.0, 4.440892098500626e-16,
                         kPi},
        StepCase<double>{"DifferenceLostInPi", 0.0, 1e-17, 0.0, 0.0, -1e-17, 0.0},
        StepCase<double>{"AddsToEarlierCorrection", 4.0, 0.0, kPi, kTwoPi, 12.566370614359172,
                         12.566370614359172},
        StepCase<double>{"ResidueKeptOffEarlierCorrection", 0.0, 1.0, kPi, kTwoPi, kTwoPi,
                         7.283185307179586},
        // Not-a-number and infinite differences leave S as it was.
        StepCase<double>{"NaNSample", 0.0, kNaN, kPi, kTwoPi, kTwoPi, kNaN},
        StepCase<double>{"NaNPrevious", kNaN, 1.0, kPi, kTwoPi, kTwoPi, 7.283185307179586},
        StepCase<double>{"PlusInfSample", 0.0, kInf, 0.0, kTwoPi, kTwoPi, kInf},
        StepCase<double>{"MinusInfSample", 0.0, -kInf, 0.0, kTwoPi, kTwoPi, -kInf},
        StepCase<double>{"InfPrevious", kInf, 1.0, 0.0, kTwoPi, kTwoPi, 7.283185307179586},
        StepCase<double>{"MinusInfPrevious", -kInf, 1.0, 0.0, kTwoPi, kTwoPi, 7.283185307179586},
        StepCase<double>{"InfBoth", kInf, kInf, 0.0, kTwoPi, kTwoPi, kInf},
        StepCase<double>{"NaNCutoff", 0.0, 4.0, kNaN, 0.0, 0.0, 4.0},
        StepCase<double>{"InfCutoff", 0.0, 4.0, kInf, 0.0, 0.0, 4.0}),
    caseName<double>);

// ---------------------------------------------------------------------------------------------
// Single variant: binary32 samples and constants, binary64 arithmetic

constexpr float kPiF = 3.1415927f;
constexpr double kTwoPiF = 6.2831854820251465;  // the single 2*pi, widened
constexpr float kThreePiF = 9.42477798461914f;
constexpr float kNaNF = std::numeric_limits<float>::quiet_NaN();
constexpr float kInfF = std::numeric_limits<float>::infinity();

class SingleStep : public ::testing::TestWithParam<StepCase<float>> {};

TEST_P(SingleStep, GivesTheWorkedBits) {
    checkStep(GetParam());
}

INSTANTIATE_TEST_SUITE_P(
    WorkedValues, SingleStep,
    ::testing::Values(
        StepCase<float>{"UpFour", 0.0f, 4.0f, kPiF, 0.0, -kTwoPiF, -2.2831854820251465},
        StepCase<float>{"DownFour", 4.0f, 0.0f, kPiF, 0.0, kTwoPiF, kTwoPiF},
        StepCase<float>{"NoDifference", 2.5f, 2.5f, 0.0f, 0.0, 0.0, 2.5},
        // With the single constants t stays just below 1: no turn and no tie-break.
        StepCase<float>{"UpExactlyPi", 0.0f, kPiF, 0.0f, 0.0, 0.0, 3.1415927410125732},
        StepCase<float>{"DownExactlyPi", kPiF, 0.0f, 0.0f, 0.0, 0.0, 0.0},
        StepCase<float>{"UpThreePi", 0.0f, kThreePiF, 0.0f, 0.0, -kTwoPiF, 3.141592502593994},
        // The single bias leaves a window of ~6.29e-5 below -pi.
        StepCase<float>{"InsideBiasWindow", 3.1416027545928955f, 0.0f, 0.0f, 0.0, 0.0, 0.0},
        StepCase<float>{"BeyondBiasWindow", 3.141692638397217f, 0.0f, 0.0f, 0.0, kTwoPiF, kTwoPiF},
        StepCase<float>{"CutoffEqualToCorrection", 0.0f, 4.0f, 6.2831855f, 0.0, 0.0, 4.0},
        // S is binary64 and is not rounded to binary32 by the step.
        StepCase<float>{"AddsToEarlierCorrection", 4.0f, 0.0f, kPiF, 0.1, 6.383185482025146,
                        6.383185482025146},
        StepCase<float>{"NaNSample", 0.0f, kNaNF, kPiF, kTwoPiF, kTwoPiF, kNaN},
        StepCase<float>{"InfSample", 0.0f, kInfF, 0.0f, kTwoPiF, kTwoPiF, kInf},
        StepCase<float>{"MinusInfPrevious", -kInfF, 1.0f, 0.0f, kTwoPiF, kTwoPiF,
                        7.2831854820251465}),
    caseName<float>);

// ---------------------------------------------------------------------------------------------
// Differences beyond the range of a 32-bit turn count (|t'| >= 2^31, about 1.35e10 rad)

template <typename T>
class LargeDifference : public ::testing::Test {};
using Precisions = ::testing::Types<double, float>;
TYPED_TEST_SUITE(LargeDifference, Precisions);

// The correction is a whole number of turns, in double one that brings the difference back into
// [-pi, pi]: a turn count wrapped to 32 bits would be off by billions of turns.
TYPED_TEST(LargeDifference, CorrectsByWholeTurns) {
    using T = TypeParam;
    const double twoPi = WrapConstants<T>::kTwoPi;
    const std::vector<std::pair<T, T>> pairs = {
        {T{0}, static_cast<T>(1e11)},  {static_cast<T>(1e11), T{0}},
        {T{0}, static_cast<T>(-1e11)}, {static_cast<T>(-5e10), static_cast<T>(5e10)},
        {T{0}, static_cast<T>(1e12)},  {T{0}, static_cast<T>(2147483648.0 * 6.5)}};
    for (const auto& [v, x] : pairs) {
        SCOPED_TRACE(::testing::Message() << "v = " << v << ", x = " << x);
        const double d = static_cast<double>(x) - static_cast<double>(v);
        double S = 0.0;
        const double y = wrapCorrection<T>(v, x, S, T{0});
        const double c = S;  // S started at 0 and the cutoff is 0
        const double turns = std::nearbyint(c / twoPi);
        // A few units in the last place of d: the rounding of the step's operations at this size.
        const double slack = 8.0 * (std::nextafter(std::fabs(d), kInf) - std::fabs(d));
        EXPECT_GT(std::fabs(turns), 1e9);
        EXPECT_LE(std::fabs(c - turns * twoPi), slack) << "c = " << c;
        if constexpr (std::is_same_v<T, double>) {
            // In single, 2*pi times 1/(2*pi) of the binary32 constants is 1 + 1.3e-8, so at this
            // size the count is off by that fraction: still whole turns, but not back within pi.
            EXPECT_LE(std::fabs(d + c), WrapConstants<T>::kPi + slack) << "c = " << c;
        }
        EXPECT_TRUE(sameBits(y, static_cast<double>(x) + c));

        double refS = 0.0;
        const double refY = kq::ref::referenceStep<T>(v, x, refS, T{0});
        EXPECT_TRUE(sameBits(S, refS));
        EXPECT_TRUE(sameBits(y, refY));
    }
}

TYPED_TEST(LargeDifference, NonFiniteDifferencesLeaveCorrectionAlone) {
    using T = TypeParam;
    using L = std::numeric_limits<T>;
    const T values[] = {T{0},      T{5},          static_cast<T>(-1e30), L::max(),
                        -L::max(), L::infinity(), -L::infinity(),        L::quiet_NaN()};
    for (T v : values) {
        for (T x : values) {
            const double d = static_cast<double>(x) - static_cast<double>(v);
            if (std::isfinite(d)) {
                continue;
            }
            SCOPED_TRACE(::testing::Message() << "v = " << v << ", x = " << x);
            double S = 3.5;
            const double y = wrapCorrection<T>(v, x, S, T{0});
            EXPECT_TRUE(sameBits(S, 3.5));
            EXPECT_TRUE(sameBits(y, 3.5 + static_cast<double>(x)));
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Random agreement with the naive reference step

template <typename T>
class StepAgainstReference : public ::testing::Test {};
TYPED_TEST_SUITE(StepAgainstReference, Precisions);

TYPED_TEST(StepAgainstReference, MatchesOnHardValues) {
    using T = TypeParam;
    constexpr uint64_t kSeed = 0x5eed'57e9'0001ull;
    kq::test::HardSignalSource<T> source(kSeed);
    const std::vector<T> samples = source.signal(200000);
    double S = 0.0;
    double refS = 0.0;
    int failures = 0;
    for (size_t i = 1; i < samples.size() && failures < 5; ++i) {
        const T cutoff = source.cutoff();
        const double y = wrapCorrection<T>(samples[i - 1], samples[i], S, cutoff);
        const double refY = kq::ref::referenceStep<T>(samples[i - 1], samples[i], refS, cutoff);
        const bool same = kq::test::bitsOf(y) == kq::test::bitsOf(refY) &&
                          kq::test::bitsOf(S) == kq::test::bitsOf(refS);
        if (!same) {
            ++failures;
            ADD_FAILURE() << "seed " << kSeed << ", sample " << i
                          << ": v = " << kq::test::describe(samples[i - 1])
                          << ", x = " << kq::test::describe(samples[i])
                          << ", cutoff = " << kq::test::describe(cutoff) << "\n  y "
                          << sameBits(y, refY).message() << "\n  S " << sameBits(S, refS).message();
        }
        // Keep S moving but bounded, so later steps are not lost in a huge S.
        if (!std::isfinite(S) || std::fabs(S) > 1e6) {
            S = refS = 0.0;
        }
    }
}

}  // namespace
