// Reads the time steps of a signal file (CSV or raw, see SignalFormat) in chunks, so that any
// length of file is read in bounded memory. Every value is rounded to the precision of the block's
// ports as it is read.
#ifndef KQ_SIM_KQHOST_IO_SIGNAL_READER_H
#define KQ_SIM_KQHOST_IO_SIGNAL_READER_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "sim/kqhost/io/signal_format.h"

namespace kq::kqhost {

class SignalReader {
  public:
    // Opens `path` ("-" is standard input, named "<stdin>" in messages). `channels` is required
    // for raw formats; for CSV it is taken from the first data line and a given value must match
    // it. Throws KqhostError with a one-line message, among them:
    //   "FILE: cannot open: REASON"       missing or unreadable file, or a folder
    //   "FILE: no data"                   empty file, or CSV with only blank and comment lines
    //   "FILE:LINE:COLUMN: expected C values, found N"
    //   "FILE:LINE:COLUMN: not a number: 'TEXT'"
    //   "FILE: raw input needs the channel count (--channels)"
    //   "FILE: size of N bytes is not a whole number of B-byte time steps (C channels of E bytes)"
    //   "FILE: the channel count must be at least 1"
    // Lines and columns count from 1; a column counts characters, not bytes.
    static std::unique_ptr<SignalReader> open(const std::string& path, SignalFormat format,
                                              std::optional<std::size_t> channels,
                                              Precision precision);

    virtual ~SignalReader();

    // Number of values per time step, at least 1.
    virtual std::size_t channels() const = 0;

    // The number of time steps the input holds, where it is known before reading (a raw regular
    // file); a hint, since a file can change while it is read.
    virtual std::optional<std::uint64_t> knownSteps() const { return std::nullopt; }

    // Fills up to maxSteps * channels() values at dst, time-major (the channels of one step
    // together), and returns the number of whole steps read: fewer than maxSteps only at the end
    // of the file, 0 once it is reached. Each value is exactly representable in the precision;
    // a .f32 file's values come as widenSingle makes them, a signalling NaN still signalling.
    // Throws KqhostError for malformed data met on the way (errors of later lines surface in the
    // call that reaches them).
    virtual std::size_t readSteps(double* dst, std::size_t maxSteps) = 0;
};

}  // namespace kq::kqhost

#endif
