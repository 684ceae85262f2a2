// The input of kqhost validate, in both port precisions: the hard values and steps all turn up,
// ordinary samples are wrapped phase, no sample carries the output marker's bits, and a seed gives
// the same samples.
#include "sim/kqhost/validate/validate_phase_source.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <numbers>
#include <string>
#include <vector>

#include "sim/kqhost/validate/validate_bits.h"

namespace {

using kq::kqhost::PhaseSampleSource;
using kq::kqhost::ValidateRandom;

template <typename T>
std::vector<T> drawSamples(uint64_t seed, double hardShare, size_t count) {
    ValidateRandom random(seed);
    PhaseSampleSource<T> source(hardShare, 2.0, 0.5);
    std::vector<T> samples;
    for (size_t i = 0; i < count; ++i) {
        samples.push_back(source.next(random));
    }
    return samples;
}

template <typename T>
bool isSignallingNaN(T x) {
    constexpr auto kQuietBit = kq::kqhost::BitsOf<T>{1} << (std::numeric_limits<T>::digits - 2);
    return std::isnan(x) && (kq::kqhost::bitsOf(x) & kQuietBit) == 0;
}

template <typename T>
class ValidatePhaseSource : public ::testing::Test {};

using PortTypes = ::testing::Types<double, float>;
TYPED_TEST_SUITE(ValidatePhaseSource, PortTypes);

TYPED_TEST(ValidatePhaseSource, EveryHardValueAndStepTurnsUp) {
    using T = TypeParam;
    constexpr double pi = std::numbers::pi_v<T>;
    const T threePi = static_cast<T>(3.0 * pi);
    const T belowPi = std::nextafter(std::numbers::pi_v<T>, T{0});
    const std::vector<T> samples = drawSamples<T>(5, 0.6, 20000);
    std::map<std::string, size_t> seen;
    for (size_t i = 0; i < samples.size(); ++i) {
        const T x = samples[i];
        seen["+0"] += x == 0 && !std::signbit(x);
        seen["-0"] += x == 0 && std::signbit(x);
        seen["subnormal"] += std::fpclassify(x) == FP_SUBNORMAL;
        seen["1e15"] += std::fabs(x) >= T(1e15) && std::isfinite(x);
        seen["+inf"] += std::isinf(x) && x > 0;
        seen["-inf"] += std::isinf(x) && x < 0;
        seen["largest below pi"] += std::fabs(x) == belowPi;
        seen["quiet NaN"] += std::isnan(x) && !isSignallingNaN(x);
        seen["signalling NaN"] += isSignallingNaN(x);
        seen["negative NaN"] += std::isnan(x) && std::signbit(x);
        if (i == 0) {
            continue;
        }
        const double d = static_cast<double>(x) - static_cast<double>(samples[i - 1]);
        seen["step +pi"] += d == pi;
        seen["step -pi"] += d == -pi;
        seen["step +3pi"] += d == threePi;
        seen["step -3pi"] += d == -threePi;
        seen["step just beyond -pi"] += d < -pi && d > -pi - 2e-4;
    }
    for (const auto& [what, count] : seen) {
        EXPECT_GT(count, 0u) << what;
    }
    if constexpr (sizeof(T) == sizeof(double)) {
        // Both sides of the double window of about 6.3e-10 rad below -pi.
        size_t inWindow = 0, beyondWindow = 0;
        for (size_t i = 1; i < samples.size(); ++i) {
            const double d = samples[i] - samples[i - 1];
            inWindow += d < -pi && d > -pi - 5e-10;
            beyondWindow += d < -pi - 5e-10 && d > -pi - 2e-9;
        }
        EXPECT_GT(inWindow, 0u);
        EXPECT_GT(beyondWindow, 0u);
    }
}

TYPED_TEST(ValidatePhaseSource, OrdinarySamplesAreWrappedPhase) {
    using T = TypeParam;
    for (T x : drawSamples<T>(6, 0.0, 5000)) {
        ASSERT_TRUE(std::isfinite(x));
        ASSERT_LE(std::fabs(x), std::numbers::pi_v<T>);
    }
}

TYPED_TEST(ValidatePhaseSource, NoSampleCarriesTheOutputMarker) {
    using T = TypeParam;
    const auto marker = kq::kqhost::bitsOf(kq::kqhost::outputMarker<T>());
    size_t signalling = 0;
    for (T x : drawSamples<T>(7, 0.9, 50000)) {
        ASSERT_NE(kq::kqhost::bitsOf(x), marker);
        signalling += isSignallingNaN(x);
    }
    // The marker is a signalling NaN, and the input does carry signalling NaNs: they differ.
    ASSERT_TRUE(isSignallingNaN(kq::kqhost::outputMarker<T>()));
    EXPECT_GT(signalling, 0u);
}

TYPED_TEST(ValidatePhaseSource, TheSameSeedGivesTheSameSamples) {
    using T = TypeParam;
    const std::vector<T> first = drawSamples<T>(8, 0.3, 2000);
    const std::vector<T> again = drawSamples<T>(8, 0.3, 2000);
    const std::vector<T> other = drawSamples<T>(9, 0.3, 2000);
    size_t same = 0;
    for (size_t i = 0; i < first.size(); ++i) {
        ASSERT_EQ(kq::kqhost::bitsOf(again[i]), kq::kqhost::bitsOf(first[i])) << i;
        same += kq::kqhost::bitsOf(other[i]) == kq::kqhost::bitsOf(first[i]);
    }
    EXPECT_LT(same, first.size() / 2);
}

}  // namespace
