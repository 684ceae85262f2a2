#include "sim/kqhost/cli/setup_options.h"

#include <fmt/format.h>

#include <filesystem>

#include "host/data_types.h"
#include "sim/kqhost/io/kqhost_error.h"

namespace kq::kqhost {

namespace {
// Larger ports than this would not fit the block's 32-bit sizes.
constexpr size_t kMaxPortDimension = 1u << 24;
}  // namespace

const char* const kSetupOptionsHelp =
    R"(  --tolerance X        the Tolerance dialog parameter; its magnitude is the cutoff
                       (default )" KQHOST_DEFAULT_TOLERANCE_TEXT R"()
  --mode M             running (default: the unwrap carries on across output steps) or
                       stateless (every output step is unwrapped on its own)
  --precision P        double or single: the port's data type (default single for .f32
                       input, double otherwise); values are rounded to it when read
  --channels C         number of channels; required for .f64/.f32 input
  --frame N            frame based: N samples of every channel per output step (an N x C
                       port); a trailing partial frame is padded with the last time step
                       and the padded outputs dropped
  --shape S            sample based port shape: row (1 x C, default), column (C x 1) or
                       vector (one-dimensional, C elements); not with --frame
  --in-place           output port 0 shares input port 0's buffer
  --sample-time T      the source's sample time (default 1; 0 makes the start fail)
  --block PATH         block library (default: )" KQHOST_DEFAULT_BLOCK_NAME R"(.so beside kqhost)
)";

double parseModeOption(std::string_view text) {
    if (text == "running") {
        return 0.0;
    }
    if (text == "stateless") {
        return 1.0;
    }
    throw KqhostError("--mode: expected running or stateless, not '" + std::string(text) + "'");
}

bool takeSetupOption(const std::string& word, OptionCursor& cursor, SetupOptions& options) {
    if (word == "--tolerance") {
        options.tolerance = parseFiniteNumber(word, cursor.takeValue(word));
    } else if (word == "--mode") {
        options.mode = parseModeOption(cursor.takeValue(word));
    } else if (word == "--precision") {
        const std::string value = cursor.takeValue(word);
        if (value == "double") {
            options.precision = Precision::Double;
        } else if (value == "single") {
            options.precision = Precision::Single;
        } else {
            throw KqhostError("--precision: expected double or single, not '" + value + "'");
        }
    } else if (word == "--channels") {
        options.channels = parsePositiveCount(word, cursor.takeValue(word), kMaxPortDimension);
    } else if (word == "--frame") {
        options.frameLen = parsePositiveCount(word, cursor.takeValue(word), kMaxPortDimension);
    } else if (word == "--shape") {
        const std::string value = cursor.takeValue(word);
        if (value == "row") {
            options.shape = kq::sim::PortShape::Row;
        } else if (value == "column") {
            options.shape = kq::sim::PortShape::Column;
        } else if (value == "vector") {
            options.shape = kq::sim::PortShape::Vector;
        } else {
            throw KqhostError("--shape: expected row, column or vector, not '" + value + "'");
        }
        options.shapeGiven = true;
    } else if (word == "--in-place") {
        options.inPlace = true;
    } else if (word == "--sample-time") {
        options.samplePeriod = parseFiniteNumber(word, cursor.takeValue(word));
        if (options.samplePeriod < 0.0) {
            throw KqhostError("--sample-time: must not be negative");
        }
    } else if (word == "--block") {
        options.blockPath = cursor.takeValue(word);
    } else {
        return false;
    }
    return true;
}

kq::sim::SimulationSetup toSimulationSetup(const SetupOptions& options, size_t channels,
                                           Precision precision) {
    if (options.frameLen > 0 && options.shapeGiven) {
        throw KqhostError("--shape applies to sample-based input only; a frame is N x C");
    }
    if (options.frameLen * channels > kMaxPortDimension) {
        throw KqhostError(
            fmt::format("the port of {} x {} values is too large", options.frameLen, channels));
    }
    kq::sim::SimulationSetup setup;
    setup.typeId = precision == Precision::Single ? kTypeIdSingle : kTypeIdDouble;
    setup.channels = channels;
    setup.frameLen = options.frameLen;
    setup.shape = options.shape;
    setup.tolerance = options.tolerance;
    setup.mode = options.mode;
    setup.inPlace = options.inPlace;
    setup.samplePeriod = options.samplePeriod;
    return setup;
}

kq::sim::HostInstanceOptions hostOptionsFor(const std::string& blockPath) {
    kq::sim::HostInstanceOptions options;
    options.blockName = std::filesystem::path(blockPath).stem().string();
    return options;
}

}  // namespace kq::kqhost
