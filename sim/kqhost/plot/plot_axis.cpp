#include "sim/kqhost/plot/plot_axis.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>

namespace kq::kqhost {
namespace {

// Widest range, relative to its magnitude, that still gets distinct tick labels.
constexpr double kMinRelativeSpan = 1e-9;
constexpr std::size_t kMaxTicks = 50;
// Room left beyond the data on a padded axis, as a fraction of the data's span.
constexpr double kPadding = 0.04;

// The round step (1, 2 or 5 times a power of ten) nearest to `raw` (finite, positive), on a
// logarithmic scale, so the tick count stays close to the one asked for.
double roundStep(double raw) {
    const double exponent = std::floor(std::log10(raw));
    const double power = std::pow(10.0, exponent);
    const double mantissa = raw / power;
    const double round = mantissa < std::sqrt(2.0)    ? 1.0
                         : mantissa < std::sqrt(10.0) ? 2.0
                         : mantissa < std::sqrt(50.0) ? 5.0
                                                      : 10.0;
    return round * power;
}

}  // namespace

PlotAxis makePlotAxis(double dataLow, double dataHigh, int targetTicks, AxisEnds ends) {
    // A flat signal gets a range around its value; a nearly flat one at least a span whose ticks
    // can still be told apart.
    const double magnitude = std::max(std::fabs(dataLow), std::fabs(dataHigh));
    const double minSpan = std::max(magnitude * kMinRelativeSpan, 1e-300);
    if (dataHigh / 2 - dataLow / 2 < minSpan / 2) {
        const double middle = dataLow / 2 + dataHigh / 2;
        const double half =
            dataLow == dataHigh ? (magnitude > 0.0 ? magnitude / 2 : 1.0) : minSpan / 2;
        dataLow = middle - half;
        dataHigh = middle + half;
    }
    // Halves keep the span finite even from -DBL_MAX to DBL_MAX.
    const double halfSpan = dataHigh / 2 - dataLow / 2;
    const double rawStep = halfSpan / std::max(targetTicks, 2) * 2;
    double step = roundStep(rawStep);
    if (!std::isfinite(step)) {
        step = rawStep;
    }

    PlotAxis axis;
    const double firstIndex = std::floor(dataLow / step);
    const double lastIndex = std::ceil(dataHigh / step);
    if (ends == AxisEnds::OnTicks) {
        axis.low = std::isfinite(firstIndex * step) ? firstIndex * step : dataLow;
        axis.high = std::isfinite(lastIndex * step) ? lastIndex * step : dataHigh;
    } else {
        const double pad = halfSpan * 2 * kPadding;
        axis.low = std::isfinite(dataLow - pad) ? dataLow - pad : dataLow;
        axis.high = std::isfinite(dataHigh + pad) ? dataHigh + pad : dataHigh;
    }
    for (double index = firstIndex; index <= lastIndex && axis.ticks.size() < kMaxTicks; ++index) {
        const double value = index * step;
        if (value >= axis.low && value <= axis.high) {
            axis.ticks.push_back(value);
            axis.labels.push_back(tickLabel(value, step));
        }
    }
    return axis;
}

std::string tickLabel(double value, double step) {
    if (value == 0.0) {
        value = 0.0;  // never "-0"
    }
    const double magnitude = std::fabs(value);
    if (step >= 1e-4 && magnitude < 1e6) {
        const int decimals = std::max(0, static_cast<int>(-std::floor(std::log10(step) + 1e-9)));
        return fmt::format("{:.{}f}", value, decimals);
    } else if (value == 0.0) {
        return "0";
    } else {
        // Enough significant digits to tell neighbouring ticks apart.
        const double digits =
            std::floor(std::log10(magnitude)) - std::floor(std::log10(step) + 1e-9);
        const int precision = std::clamp(static_cast<int>(digits) + 1, 1, 17);
        return fmt::format("{:.{}g}", value, precision);
    }
}

}  // namespace kq::kqhost
