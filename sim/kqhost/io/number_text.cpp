#include "sim/kqhost/io/number_text.h"

#include <cctype>
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
std::optional<double> parseIn(const char* first, const char* last,
                              std::chars_format format = std::chars_format::general) {
    Real value{};
    const auto [end, ec] = std::from_chars(first, last, value, format);
    if (end != last) {
        return std::nullopt;
    }
    if (ec == std::errc::result_out_of_range) {
        // from_chars refuses results that round to infinity or zero; strto* gives exactly those
        // (correctly rounded, straight to the type) for the text from_chars has just validated.
        const std::string text =
            (format == std::chars_format::hex ? "0x" : "") + std::string(first, last);
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

std::optional<double> parseHexNumber(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    if (text.size() < 3 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X')) {
        return std::nullopt;
    }
    text.remove_prefix(2);
    // from_chars would take a sign, "inf" or "nan" of its own here.
    if (text[0] != '.' && !std::isxdigit(static_cast<unsigned char>(text[0]))) {
        return std::nullopt;
    }
    const std::optional<double> magnitude =
        parseIn<double>(text.data(), text.data() + text.size(), std::chars_format::hex);
    if (!magnitude) {
        return std::nullopt;
    }
    return negative ? -*magnitude : *magnitude;
}

}  // namespace kq::kqhost
