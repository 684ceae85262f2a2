#include "sim/kqhost/io/signal_format.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

#include "sim/kqhost/io/kqhost_error.h"

namespace kq::kqhost {
namespace {

TEST(SignalFormatOf, TakesTheFormatFromTheExtension) {
    const struct {
        const char* path;
        SignalFormat format;
    } cases[] = {{"in.csv", SignalFormat::Csv},
                 {"-", SignalFormat::Csv},
                 {"a/b.c/x.f64", SignalFormat::F64},
                 {"x.f32", SignalFormat::F32},
                 {".csv", SignalFormat::Csv}};
    for (const auto& c : cases) {
        EXPECT_EQ(signalFormatOf(c.path), c.format) << c.path;
    }
}

TEST(SignalFormatOf, RefusesOtherExtensionsNamingThePath) {
    for (const char* path : {"in.CSV", "in.txt", "in", "in.csv.gz", "f64", "--"}) {
        try {
            signalFormatOf(path);
            ADD_FAILURE() << path << " was accepted";
        } catch (const KqhostError& error) {
            EXPECT_EQ(std::string(error.what()),
                      std::string(path) +
                          ": unknown file type (use .csv, .f64 or .f32, or - for standard "
                          "input/output)");
        }
    }
}

TEST(RoundToSingle, RoundsToNearestEvenAndOverflowsLikeIeee) {
    constexpr float kMax = std::numeric_limits<float>::max();
    constexpr float kInf = std::numeric_limits<float>::infinity();
    const struct {
        double in;
        float out;
    } cases[] = {
        {1.0 + 0x1p-24, 1.0f},                       // tie: to even
        {1.0 + 0x1p-24 + 0x1p-52, 1.0f + 0x1p-23f},  // just above the tie
        {0x1.ffffffp127, kInf},                      // the tie above the largest float
        {-0x1.ffffffp127, -kInf},
        {0x1.fffffefffffffp127, kMax},  // just below that tie
        {1e300, kInf},
        {-1e300, -kInf},
        {0x1p-149, 0x1p-149f},  // smallest subnormal
        {0x1p-150, 0.0f},       // half of it: tie to even zero
        {-0.0, -0.0f},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(std::bit_cast<std::uint32_t>(roundToSingle(c.in)),
                  std::bit_cast<std::uint32_t>(c.out))
            << c.in;
    }
    EXPECT_TRUE(std::isnan(roundToSingle(std::numeric_limits<double>::quiet_NaN())));
    EXPECT_EQ(roundToPrecision(0.1, Precision::Double), 0.1);
    EXPECT_EQ(roundToPrecision(0.1, Precision::Single), static_cast<double>(0.1f));
}

}  // namespace
}  // namespace kq::kqhost
