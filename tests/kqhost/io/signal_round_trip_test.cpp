// Whatever kqhost writes, it reads back as the same bits: every format, both precisions.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

#include "scratch_folder.h"
#include "signal_io_helpers.h"
#include "sim/engine/single_in_double.h"

namespace kq::kqhost {
namespace {

using test::ScratchFolder;
using test::SignalData;

struct RoundTripCase {
    SignalFormat format;
    Precision precision;
    const char* file;
};

std::string caseName(const RoundTripCase& c) {
    const char* format = c.format == SignalFormat::Csv   ? "Csv"
                         : c.format == SignalFormat::F64 ? "F64"
                                                         : "F32";
    return std::string(format) + (c.precision == Precision::Double ? "Double" : "Single");
}

void PrintTo(const RoundTripCase& c, std::ostream* out) {
    *out << caseName(c);
}

class SignalRoundTrip : public testing::TestWithParam<RoundTripCase> {};

// Special values first, then random bit patterns of the precision (so NaNs, subnormals and
// infinities turn up among them too).
std::vector<double> valuesToStore(Precision precision, std::size_t count) {
    using Limits = std::numeric_limits<double>;
    std::vector<double> values = {
        0.0, -0.0, Limits::infinity(), -Limits::infinity(), Limits::quiet_NaN(), 0.1, -1.0 / 3.0};
    if (precision == Precision::Double) {
        values.insert(values.end(), {Limits::denorm_min(), -Limits::min(), Limits::max(),
                                     0x1.fffffffffffffp-1023, 1e-310});
    } else {
        using Single = std::numeric_limits<float>;
        values.insert(values.end(), {Single::denorm_min(), -Single::min(), Single::max(),
                                     0x1.fffffcp-127, 1.0f / 3.0f});
        for (double& v : values) {
            v = roundToPrecision(v, Precision::Single);
        }
    }
    std::uint64_t state = 0x243f6a8885a308d3;  // splitmix64, fixed seed
    while (values.size() < count) {
        std::uint64_t z = (state += 0x9e3779b97f4a7c15);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9;
        z = (z ^ (z >> 27)) * 0x94d049bb133111eb;
        z ^= z >> 31;
        // A single by its bits: signalling NaNs must come back signalling.
        values.push_back(precision == Precision::Double ? std::bit_cast<double>(z)
                                                        : sim::widenSingle(std::bit_cast<float>(
                                                              static_cast<std::uint32_t>(z))));
    }
    return values;
}

TEST_P(SignalRoundTrip, ReadsBackTheBitsItWrote) {
    const RoundTripCase& c = GetParam();
    constexpr std::size_t kChannels = 3;
    const SignalData written{kChannels, valuesToStore(c.precision, kChannels * 50000)};
    ScratchFolder folder;
    test::writeSignal(folder.file(c.file), c.format, written, c.precision, 7);
    const SignalData read =
        test::readSignal(folder.file(c.file), c.format, kChannels, c.precision, 5);

    ASSERT_EQ(read.channels, kChannels);
    ASSERT_EQ(read.values.size(), written.values.size());
    const bool keepsNanBits = c.format != SignalFormat::Csv;  // text writes every NaN as "nan"
    for (std::size_t i = 0; i < written.values.size(); ++i) {
        if (std::isnan(written.values[i]) && !keepsNanBits) {
            ASSERT_TRUE(std::isnan(read.values[i])) << "value " << i;
        } else {
            ASSERT_EQ(std::bit_cast<std::uint64_t>(read.values[i]),
                      std::bit_cast<std::uint64_t>(written.values[i]))
                << "value " << i << ": wrote " << written.values[i] << ", read " << read.values[i];
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    FormatsAndPrecisions, SignalRoundTrip,
    testing::Values(RoundTripCase{SignalFormat::Csv, Precision::Double, "s.csv"},
                    RoundTripCase{SignalFormat::Csv, Precision::Single, "s.csv"},
                    RoundTripCase{SignalFormat::F64, Precision::Double, "s.f64"},
                    RoundTripCase{SignalFormat::F32, Precision::Single, "s.f32"}),
    [](const testing::TestParamInfo<RoundTripCase>& testCase) { return caseName(testCase.param); });

}  // namespace
}  // namespace kq::kqhost
