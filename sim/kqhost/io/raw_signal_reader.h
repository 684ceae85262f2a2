// The raw side of SignalReader: little-endian binary64 (.f64) or binary32 (.f32) values,
// time-major, with the channel count given by the user since the file does not record it.
#ifndef KQ_SIM_KQHOST_IO_RAW_SIGNAL_READER_H
#define KQ_SIM_KQHOST_IO_RAW_SIGNAL_READER_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/kqhost/io/file_descriptor.h"
#include "sim/kqhost/io/signal_reader.h"

namespace kq::kqhost {

class RawSignalReader final : public SignalReader {
  public:
    // `format` is F64 or F32. A regular file's size is checked here; the size of a pipe is
    // checked when its end is reached. `name` is the file's name in messages.
    RawSignalReader(FileDescriptor file, std::string name, SignalFormat format,
                    std::size_t channels, Precision precision);

    std::size_t channels() const override { return channels_; }
    std::optional<std::uint64_t> knownSteps() const override { return fileSteps_; }
    std::size_t readSteps(double* dst, std::size_t maxSteps) override;

  private:
    // Reads up to maxSteps whole steps of raw bytes into dst; returns the steps read.
    std::size_t readRawSteps(char* dst, std::size_t maxSteps);
    [[noreturn]] void throwSizeError(unsigned long long size) const;

    FileDescriptor file_;
    std::string name_;
    SignalFormat format_;
    std::size_t channels_;
    Precision precision_;
    std::size_t elementBytes_;
    std::size_t stepBytes_;
    unsigned long long bytesRead_ = 0;
    std::optional<std::uint64_t> fileSteps_;  // a regular file's, from its size at open
    std::vector<float> singles_;              // staging for .f32, a bounded chunk at a time
};

}  // namespace kq::kqhost

#endif
