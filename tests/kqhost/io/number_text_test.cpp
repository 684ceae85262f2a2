#include "sim/kqhost/io/number_text.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

namespace kq::kqhost {
namespace {

std::string formatted(double v, Precision precision) {
    char text[kMaxNumberTextLength];
    return std::string(text, formatNumber(text, v, precision));
}

TEST(FormatNumber, WritesDigitsThatReadBackAndSpecialsByName) {
    constexpr double kInf = std::numeric_limits<double>::infinity();
    const struct {
        double value;
        Precision precision;
        const char* text;
    } cases[] = {
        {0.1, Precision::Double, "0.10000000000000001"},
        {-0.0, Precision::Double, "-0"},
        {0.0, Precision::Double, "0"},
        {1e22, Precision::Double, "1e+22"},
        {-2.2831853071795862, Precision::Double, "-2.2831853071795862"},
        {std::numeric_limits<double>::denorm_min(), Precision::Double, "4.9406564584124654e-324"},
        {-std::numeric_limits<double>::max(), Precision::Double, "-1.7976931348623157e+308"},
        {kInf, Precision::Double, "inf"},
        {-kInf, Precision::Double, "-inf"},
        {-std::numeric_limits<double>::quiet_NaN(), Precision::Double, "nan"},
        {0.1f, Precision::Single, "0.100000001"},
        {-0.0, Precision::Single, "-0"},
        {0x1p-149, Precision::Single, "1.40129846e-45"},
        {-kInf, Precision::Single, "-inf"},
        {std::numeric_limits<double>::quiet_NaN(), Precision::Single, "nan"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(formatted(c.value, c.precision), c.text) << c.text;
    }
}

TEST(ParseNumber, AcceptsDecimalsSignsAndSpecials) {
    const struct {
        const char* text;
        double value;
    } cases[] = {
        {"1", 1.0},
        {"+1.5", 1.5},
        {"-2.5e-3", -2.5e-3},
        {".5", 0.5},
        {"5.", 5.0},
        {"inf", INFINITY},
        {"-inf", -INFINITY},
        {"+inf", INFINITY},
        {"Infinity", INFINITY},
        {"1e400", INFINITY},
        {"-1e400", -INFINITY},
        {"1e-400", 0.0},
        {"4.9406564584124654e-324", 0x1p-1074},
    };
    for (const auto& c : cases) {
        const std::optional<double> parsed = parseNumber(c.text, Precision::Double);
        ASSERT_TRUE(parsed.has_value()) << c.text;
        EXPECT_EQ(std::bit_cast<std::uint64_t>(*parsed), std::bit_cast<std::uint64_t>(c.value))
            << c.text;
    }
    EXPECT_TRUE(std::isnan(parseNumber("nan", Precision::Double).value()));
    EXPECT_TRUE(std::isnan(parseNumber("-nan", Precision::Single).value()));
    EXPECT_TRUE(std::signbit(parseNumber("-1e-400", Precision::Double).value()));
}

TEST(ParseNumber, RefusesWhatIsNotOneNumber) {
    for (const char* text : {"", "+", "-", "++1", "+-1", "1e", "0x10", "1,2", "1 2", "abc", " 1",
                             "1 ", "1..2", "--1", "nanx"}) {
        EXPECT_FALSE(parseNumber(text, Precision::Double).has_value()) << "'" << text << "'";
        EXPECT_FALSE(parseNumber(text, Precision::Single).has_value()) << "'" << text << "'";
    }
}

TEST(ParseHexNumber, ReadsCHexFloatsExactly) {
    const struct {
        const char* text;
        double value;
    } cases[] = {
        {"0x1.921fb54442d18p+1", 0x1.921fb54442d18p+1},
        {"-0X1P-3", -0x1p-3},
        {"+0x.8", 0.5},
        {"0xAp0", 10.0},
        {"0x1.fffffffffffff8p0", 2.0},  // a tie, rounded to even
        {"0x1.fffffffffffff7p0", 0x1.fffffffffffffp0},
        {"0x1p-1074", 0x1p-1074},
        {"0x1p-1076", 0.0},
        {"0x1p1024", INFINITY},
        {"-0x1p1024", -INFINITY},
        {"-0x0p0", -0.0},
    };
    for (const auto& c : cases) {
        const std::optional<double> parsed = parseHexNumber(c.text);
        ASSERT_TRUE(parsed.has_value()) << c.text;
        EXPECT_EQ(std::bit_cast<std::uint64_t>(*parsed), std::bit_cast<std::uint64_t>(c.value))
            << c.text;
    }
    for (const char* text : {"", "0x", "-0x", "0x-1", "0x+1", "1p3", "0xg", "0x1p", "0x1p+", "0x1 ",
                             " 0x1", "--0x1", "0x1.2.3", "0xinf", "0xnan", "0x."}) {
        EXPECT_FALSE(parseHexNumber(text).has_value()) << "'" << text << "'";
    }
}

TEST(ParseNumber, SingleRoundsOnceFromTheText) {
    // Just above the midpoint between 1 and the next float: correctly rounded it is the next
    // float, but through binary64 it would first become the midpoint, then 1 (ties to even).
    const std::string text = "1.0000000596046447753906250001";
    EXPECT_EQ(parseNumber(text, Precision::Single).value(), static_cast<double>(1.0f + 0x1p-23f));
    EXPECT_EQ(static_cast<float>(parseNumber(text, Precision::Double).value()), 1.0f);
    const struct {
        const char* text;
        double value;
    } cases[] = {{"0.1", static_cast<double>(0.1f)},
                 {"1e39", INFINITY},
                 {"-3.5e38", -INFINITY},
                 {"3.4028235e38", static_cast<double>(std::numeric_limits<float>::max())},
                 {"1e-46", 0.0},
                 {"1.401298464324817e-45", 0x1p-149}};
    for (const auto& c : cases) {
        EXPECT_EQ(parseNumber(c.text, Precision::Single).value(), c.value) << c.text;
    }
}

}  // namespace
}  // namespace kq::kqhost
