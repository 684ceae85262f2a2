#include "sim/kqhost/io/signal_format.h"

#include <cmath>
#include <limits>
#include <string>

#include "sim/kqhost/io/kqhost_error.h"

namespace kq::kqhost {

std::size_t rawValueBytes(SignalFormat format) {
    switch (format) {
        case SignalFormat::F64:
            return sizeof(double);
        case SignalFormat::F32:
            return sizeof(float);
        case SignalFormat::Csv:
            break;
    }
    return 0;
}

SignalFormat signalFormatOf(std::string_view path) {
    if (path == "-") {
        return SignalFormat::Csv;
    }
    if (path.ends_with(".csv")) {
        return SignalFormat::Csv;
    }
    if (path.ends_with(".f64")) {
        return SignalFormat::F64;
    }
    if (path.ends_with(".f32")) {
        return SignalFormat::F32;
    }
    throw KqhostError(std::string(path) +
                      ": unknown file type (use .csv, .f64 or .f32, or - for standard "
                      "input/output)");
}

float roundToSingle(double v) {
    constexpr double kFloatMax = std::numeric_limits<float>::max();
    // Half an ulp above the largest float: from here on round-to-nearest gives infinity (the tie
    // itself goes to infinity too, because the largest float has an odd significand).
    constexpr double kOverflowThreshold = 0x1.ffffffp127;
    if (std::fabs(v) > kFloatMax && std::isfinite(v)) {
        const float big = std::fabs(v) >= kOverflowThreshold
                              ? std::numeric_limits<float>::infinity()
                              : std::numeric_limits<float>::max();
        return std::signbit(v) ? -big : big;
    }
    return static_cast<float>(v);
}

double roundToPrecision(double v, Precision precision) {
    return precision == Precision::Single ? static_cast<double>(roundToSingle(v)) : v;
}

}  // namespace kq::kqhost
