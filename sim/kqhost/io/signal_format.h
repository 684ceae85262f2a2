// How a signal file stores its values, and the precision of the block's ports that the values are
// rounded to.
#ifndef KQ_SIM_KQHOST_IO_SIGNAL_FORMAT_H
#define KQ_SIM_KQHOST_IO_SIGNAL_FORMAT_H

#include <cstddef>
#include <string_view>

namespace kq::kqhost {

// Csv: one line per time step, one comma-separated number per channel.
// F64, F32: raw little-endian binary64 or binary32 values, time-major (all channels of step 0,
// then of step 1, ...).
enum class SignalFormat { Csv, F64, F32 };

enum class Precision { Double, Single };

// The format named by the path's extension: ".csv", ".f64" or ".f32" (case-sensitive); "-"
// (standard input or output) is Csv. Throws KqhostError naming the path and the accepted
// extensions otherwise.
SignalFormat signalFormatOf(std::string_view path);

// The bytes of one value in a raw format (8 for F64, 4 for F32); 0 for Csv, whose values vary.
std::size_t rawValueBytes(SignalFormat format);

// The binary32 value nearest to v (ties to even), overflowing to +-inf like IEEE 754 conversion;
// NaN stays NaN. Defined for every double, unlike a plain cast of an out-of-range value.
float roundToSingle(double v);

// v rounded to the precision: unchanged for Double, through roundToSingle for Single.
double roundToPrecision(double v, Precision precision);

}  // namespace kq::kqhost

#endif
