// The text form of one sample value in a CSV signal file, both ways. Written values read back as
// the same bits in their precision (apart from the sign and payload of a NaN).
#ifndef KQ_SIM_KQHOST_IO_NUMBER_TEXT_H
#define KQ_SIM_KQHOST_IO_NUMBER_TEXT_H

#include <cstddef>
#include <optional>
#include <string_view>

#include "sim/kqhost/io/signal_format.h"

namespace kq::kqhost {

// Room that formatNumber needs at `out`.
inline constexpr std::size_t kMaxNumberTextLength = 32;

// Writes v with 17 significant digits for Double, or v rounded to binary32 with 9 significant
// digits for Single, in the shortest of fixed and exponent notation ("%.17g"); every NaN as
// "nan", infinities as "inf" and "-inf", negative zero as "-0". Returns the end of the text.
char* formatNumber(char* out, double v, Precision precision);

// The value of one field, already stripped of surrounding blanks: a decimal number with an
// optional leading '+' or '-', or nan / inf / infinity in any case. The text is rounded once,
// straight to the precision (never through binary64 for Single); magnitudes beyond the
// precision's range round to infinity or zero as IEEE 754 rounding does. nullopt if the text is
// not such a number.
std::optional<double> parseNumber(std::string_view text, Precision precision);

// A hexadecimal float as C writes it ("0x1.921fb54442d18p+1", "-0X1P-3", "0x.8"), with an
// optional sign, rounded once to binary64 (beyond its range to infinity or zero); nullopt if the
// text is not one.
std::optional<double> parseHexNumber(std::string_view text);

}  // namespace kq::kqhost

#endif
