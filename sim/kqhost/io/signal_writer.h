// Writes the time steps of a signal file (CSV or raw, see SignalFormat) through a large buffer.
// A file appears under its name only at commit(); a writer destroyed without commit() leaves
// nothing behind, not even a partial file.
#ifndef KQ_SIM_KQHOST_IO_SIGNAL_WRITER_H
#define KQ_SIM_KQHOST_IO_SIGNAL_WRITER_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "sim/kqhost/io/signal_format.h"

namespace kq::kqhost {

class SignalWriter {
  public:
    // Starts writing `path`, or CSV to standard output for "-" (named "<stdout>" in messages;
    // written with write(2) on descriptor 1, bypassing stdio). CSV values get the digits that
    // read back as the same bits in the precision (17 significant digits for Double, 9 for
    // Single; nan, inf, -inf; -0 as "-0"). Raw output must carry the precision: .f64 for Double,
    // .f32 for Single. Throws KqhostError:
    //   "PATH: cannot write: REASON"      missing or unwritable folder
    //   "PATH: .f64 output holds double precision, but the values are single precision; use .f32
    //    or .csv" (and the .f32 counterpart)
    //   "PATH: the channel count must be at least 1"
    static std::unique_ptr<SignalWriter> open(const std::string& path, SignalFormat format,
                                              std::size_t channels, Precision precision);

    // Without commit(), removes the temporary file: the path keeps whatever it held before.
    virtual ~SignalWriter();

    // Appends `steps` time steps of channels values each, time-major. Values are taken as
    // exactly representable in the precision (others are rounded to it). Throws KqhostError
    // "PATH: cannot write: REASON".
    virtual void writeSteps(const double* values, std::size_t steps) = 0;

    // A hint that about `steps` time steps will be written in all: a raw file may set aside room
    // for them up front (see AtomicOutputFile::reserve).
    virtual void expectSteps(std::uint64_t steps) = 0;

    // Flushes the buffer and renames the finished file onto the path (for standard output: only
    // flushes). Throws KqhostError "PATH: cannot write: REASON"; then nothing is left behind.
    virtual void commit() = 0;
};

}  // namespace kq::kqhost

#endif
