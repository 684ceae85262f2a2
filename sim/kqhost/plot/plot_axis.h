// One axis of kqhost's plot: a range covering the data, round tick values within it (1, 2 or 5
// times a power of ten apart) and their labels.
#ifndef KQ_SIM_KQHOST_PLOT_PLOT_AXIS_H
#define KQ_SIM_KQHOST_PLOT_PLOT_AXIS_H

#include <string>
#include <vector>

namespace kq::kqhost {

struct PlotAxis {
    double low = 0.0;                 // the axis starts here (finite)
    double high = 1.0;                // and ends here (finite, above low)
    std::vector<double> ticks;        // ascending, within [low, high]
    std::vector<std::string> labels;  // one per tick

    // Where v lies along the axis: 0 at low, 1 at high (outside for values beyond). Safe for
    // ranges wider than the largest double.
    double fraction(double v) const { return (v / 2 - low / 2) / (high / 2 - low / 2); }
};

// Where an axis ends: on the ticks just outside the data (a time axis that ends on a round
// number), or a little beyond the data with the ticks inside (a value axis with no wasted space).
enum class AxisEnds { OnTicks, Padded };

// An axis for finite data in [dataLow, dataHigh] (dataLow <= dataHigh) with about
// `targetTicks` ticks. A zero-width range is widened around its value.
PlotAxis makePlotAxis(double dataLow, double dataHigh, int targetTicks, AxisEnds ends);

// The label of a tick value on an axis whose ticks lie `step` apart: as many decimals as the
// step needs ("0.25", "1500"), exponent notation for very large or small values ("2.5e-07"),
// and never "-0".
std::string tickLabel(double value, double step);

}  // namespace kq::kqhost

#endif
