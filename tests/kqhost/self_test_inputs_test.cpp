// The self-test's inputs meet the classes they promise, in every channel and both precisions.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <set>
#include <vector>

#include "sim/kqhost/generate/self_test_inputs.h"

namespace kq::kqhost {
namespace {

struct Fields {
    int fractionBits;
    std::uint64_t signBit;
    std::uint64_t exponentMask;
};

Fields fieldsOf(Precision precision) {
    return precision == Precision::Single
               ? Fields{23, 0x8000'0000u, 0x7F80'0000u}
               : Fields{52, 0x8000'0000'0000'0000u, 0x7FF0'0000'0000'0000u};
}

// The channel's values as doubles (a single widened by the hardware: only finite ones are used).
double valueOf(std::uint64_t bits, Precision precision) {
    return precision == Precision::Single ? std::bit_cast<float>(static_cast<std::uint32_t>(bits))
                                          : std::bit_cast<double>(bits);
}

// The exponent differences k of successive positive finite samples (small, then large): all of
// them in `met`, and in `crossing` those whose difference, rounded in the precision, falls into
// the binade below the large one (beyond the fraction's width it rounds back up: sticky bits).
void binadeCrossings(const std::vector<std::uint64_t>& channel, Precision precision,
                     std::set<int>& met, std::set<int>& crossing) {
    for (std::size_t i = 1; i < channel.size(); ++i) {
        const double small = valueOf(channel[i - 1], precision);
        const double large = valueOf(channel[i], precision);
        if (!(small > 0.0 && large > small && std::isfinite(large))) {
            continue;
        }
        const double difference =
            precision == Precision::Single
                ? static_cast<double>(static_cast<float>(large) - static_cast<float>(small))
                : large - small;
        const int k = std::ilogb(large) - std::ilogb(small);
        met.insert(k);
        if (difference < std::exp2(std::ilogb(large))) {
            crossing.insert(k);
        }
    }
}

TEST(SelfTestInputs, EveryChannelMeetsEveryClassInBothPrecisions) {
    for (const Precision precision : {Precision::Double, Precision::Single}) {
        const Fields f = fieldsOf(precision);
        for (const std::size_t channels : {std::size_t{1}, std::size_t{3}}) {
            const std::vector<std::uint64_t> rows = selfTestInputBits(precision, channels);
            ASSERT_EQ(rows.size() % channels, 0u);
            EXPECT_EQ(rows, selfTestInputBits(precision, channels)) << "not the same every time";
            std::vector<std::vector<std::uint64_t>> columns(channels);
            for (std::size_t i = 0; i < rows.size(); ++i) {
                columns[i % channels].push_back(rows[i]);
            }
            for (std::size_t c = 0; c < channels; ++c) {
                std::set<int> met;
                std::set<int> crossing;
                binadeCrossings(columns[c], precision, met, crossing);
                for (int k = 0; k <= 66; ++k) {
                    EXPECT_TRUE(met.count(k))
                        << "no pair with exponents " << k << " apart in channel " << c;
                    EXPECT_TRUE(k > f.fractionBits + 1 || crossing.count(k))
                        << "no crossing with exponents " << k << " apart in channel " << c;
                }
                const std::set<std::uint64_t> values(columns[c].begin(), columns[c].end());
                const std::uint64_t quiet = std::uint64_t{1} << (f.fractionBits - 1);
                const auto has = [&](auto predicate) {
                    return std::any_of(values.begin(), values.end(), predicate);
                };
                EXPECT_TRUE(values.count(0) && values.count(f.signBit)) << "signed zeros";
                EXPECT_TRUE(values.count(f.exponentMask) &&
                            values.count(f.exponentMask | f.signBit))
                    << "infinities";
                EXPECT_TRUE(has([&](std::uint64_t v) {
                    return (v & f.exponentMask) == 0 && (v & ~f.signBit) != 0;
                })) << "subnormals";
                // NaNs: signalling and quiet with payloads, of both signs.
                for (const bool negative : {false, true}) {
                    for (const bool signalling : {false, true}) {
                        EXPECT_TRUE(has([&](std::uint64_t v) {
                            const std::uint64_t fraction =
                                v & (f.exponentMask - 1) & ~f.signBit &
                                ((std::uint64_t{1} << f.fractionBits) - 1);
                            return (v & f.exponentMask) == f.exponentMask && fraction != 0 &&
                                   ((v & f.signBit) != 0) == negative &&
                                   ((v & quiet) == 0) == signalling &&
                                   (fraction & (quiet - 1)) != 0;
                        })) << "NaN negative "
                            << negative << " signalling " << signalling;
                    }
                }
            }
            if (channels > 1) {
                EXPECT_NE(columns[0], columns[1]) << "channels draw their own values";
            }
        }
    }
}

}  // namespace
}  // namespace kq::kqhost
