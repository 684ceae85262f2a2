#include "sim/kqhost/io/number_text.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <system_error>
#include <type_traits>

namespace kq::kqhost {
namespace {

constexpr int kDoubleDigits = 17;
constexpr int kSingleDigits = 9;

template <typename Real>
std::optional<double> parseIn(const char* first, const char* last) {
    Real value{};
    const auto [end, ec] = std::from_chars(first, last, value, std::chars_format::general);
    if (end != last) {
        return std::nullopt;
    }
    if (ec == std::errc::result_out_of_range) {
        // from_chars refuses results that round to infinity or zero; strto* gives exactly those
        // (correctly rounded, straight to the type) for the text from_chars has just validated.
        const std::string text(first, last);
        if constexpr (std::is_same_v<Real, float>) {
            return std::strtof(text.c_str(), nullptr);
        } else {
            return std::strtod(text.c_str(), nullptr);
        }
    }
    if (ec != std::errc()) {
        return std::nullopt;
    }
    return static_cast<double>(value);
}

}  // namespace

char* formatNumber(char* out, double v, Precision precision) {
    if (std::isnan(v)) {
        std::memcpy(out, "nan", 3);
        return out + 3;
    }
    char* const last = out + kMaxNumberTextLength;
    const std::to_chars_result result =
        precision == Precision::Single
            ? std::to_chars(out, last, roundToSingle(v), std::chars_format::general, kSingleDigits)
            : std::to_chars(out, last, v, std::chars_format::general, kDoubleDigits);
    return result.ptr;
}

std::optional<double> parseNumber(std::string_view text, Precision precision) {
    const char* first = text.data();
    const char* const last = first + text.size();
    // from_chars takes '-' but not '+'; one '+' is allowed in front of anything but a sign.
    if (first != last && *first == '+') {
        ++first;
        if (first != last && (*first == '-' || *first == '+')) {
            return std::nullopt;
        }
    }
    if (first == last) {
        return std::nullopt;
    }
    return precision == Precision::Single ? parseIn<float>(first, last)
                                          : parseIn<double>(first, last);
}

}  // namespace kq::kqhost
