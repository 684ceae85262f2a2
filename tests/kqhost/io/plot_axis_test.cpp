#include "sim/kqhost/plot/plot_axis.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace kq::kqhost {
namespace {

TEST(PlotAxis, CoversTheDataWithRoundTicks) {
    constexpr double kMax = std::numeric_limits<double>::max();
    constexpr AxisEnds kOnTicks = AxisEnds::OnTicks;
    constexpr AxisEnds kPadded = AxisEnds::Padded;
    const struct {
        double low;
        double high;
        int ticks;
        AxisEnds ends;
        std::vector<std::string> labels;  // empty: not checked
    } cases[] = {
        {-3.141592653589793,
         3.141592653589793,
         6,
         kOnTicks,
         {"-4", "-3", "-2", "-1", "0", "1", "2", "3", "4"}},
        {-3.141592653589793, 3.141592653589793, 6, kPadded, {"-3", "-2", "-1", "0", "1", "2", "3"}},
        {0.0, 1.999, 5, kOnTicks, {"0.0", "0.5", "1.0", "1.5", "2.0"}},
        {0.0, 130.0, 6, kPadded, {"0", "20", "40", "60", "80", "100", "120"}},
        {0.0, 2e-7, 4, kOnTicks, {"0", "5e-08", "1e-07", "1.5e-07", "2e-07"}},
        {-120.0, 987.0, 6, kPadded, {"0", "200", "400", "600", "800", "1000"}},
        {-120.0, 987.0, 6, kOnTicks, {"-200", "0", "200", "400", "600", "800", "1000"}},
        {5.0, 5.0, 6, kOnTicks, {}},
        {5.0, 5.0, 6, kPadded, {}},
        {0.0, 0.0, 6, kPadded, {}},
        {1e16, 1e16 + 2, 6, kPadded, {}},
        {-kMax, kMax, 6, kOnTicks, {}},
        {-kMax, kMax, 6, kPadded, {}},
        {0.0, 1e-300, 6, kOnTicks, {}},
    };
    for (const auto& c : cases) {
        const PlotAxis axis = makePlotAxis(c.low, c.high, c.ticks, c.ends);
        SCOPED_TRACE(std::to_string(c.low) + " .. " + std::to_string(c.high) +
                     (c.ends == kOnTicks ? " on ticks" : " padded"));
        EXPECT_TRUE(std::isfinite(axis.low) && std::isfinite(axis.high));
        EXPECT_LE(axis.low, c.low);
        EXPECT_GE(axis.high, c.high);
        EXPECT_LT(axis.low, axis.high);
        ASSERT_GE(axis.ticks.size(), 2u);
        ASSERT_EQ(axis.labels.size(), axis.ticks.size());
        if (c.ends == kOnTicks && std::isfinite(c.high - c.low)) {
            EXPECT_EQ(axis.low, axis.ticks.front());
            EXPECT_EQ(axis.high, axis.ticks.back());
        }
        for (std::size_t i = 0; i < axis.ticks.size(); ++i) {
            EXPECT_TRUE(axis.ticks[i] >= axis.low && axis.ticks[i] <= axis.high);
            if (i > 0) {
                EXPECT_GT(axis.ticks[i], axis.ticks[i - 1]);
                EXPECT_NE(axis.labels[i], axis.labels[i - 1]);
            }
            EXPECT_NE(axis.labels[i].find_first_of("0123456789"), std::string::npos);
            EXPECT_NE(axis.labels[i], "-0");
        }
        if (!c.labels.empty()) {
            EXPECT_EQ(axis.labels, c.labels);
        }
    }
}

TEST(PlotAxis, MapsValuesOntoTheAxisWithoutOverflow) {
    PlotAxis axis;
    axis.low = -std::numeric_limits<double>::max();
    axis.high = std::numeric_limits<double>::max();
    EXPECT_EQ(axis.fraction(axis.low), 0.0);
    EXPECT_EQ(axis.fraction(0.0), 0.5);
    EXPECT_EQ(axis.fraction(axis.high), 1.0);
    axis.low = 2.0;
    axis.high = 6.0;
    EXPECT_EQ(axis.fraction(3.0), 0.25);
    EXPECT_EQ(axis.fraction(10.0), 2.0);
}

}  // namespace
}  // namespace kq::kqhost
