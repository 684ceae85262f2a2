// The CSV side of SignalReader: one line per time step, comma-separated numbers, blank lines and
// lines whose first non-blank character is '#' skipped.
#ifndef KQ_SIM_KQHOST_IO_CSV_SIGNAL_READER_H
#define KQ_SIM_KQHOST_IO_CSV_SIGNAL_READER_H

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/kqhost/io/file_descriptor.h"
#include "sim/kqhost/io/signal_reader.h"

namespace kq::kqhost {

class CsvSignalReader final : public SignalReader {
  public:
    // Reads up to the first data line, which fixes the channel count. `name` is the file's name
    // in messages.
    CsvSignalReader(FileDescriptor file, std::string name, std::optional<std::size_t> channels,
                    Precision precision);

    std::size_t channels() const override { return channels_; }
    std::size_t readSteps(double* dst, std::size_t maxSteps) override;

  private:
    // The next line without its line break, or nullopt at the end of the file. The view lasts
    // until the next call.
    std::optional<std::string_view> nextLine();
    std::optional<std::string_view> nextDataLine();
    // Parses exactly channels_ values into dst, or throws naming the line and column.
    void parseLine(std::string_view line, double* dst) const;
    [[noreturn]] void throwAt(std::size_t byteOffset, const std::string& what) const;

    FileDescriptor file_;
    std::string name_;
    Precision precision_;
    std::size_t channels_ = 0;

    std::vector<char> buffer_;
    std::size_t lineStart_ = 0;  // first unread byte in buffer_
    std::size_t dataEnd_ = 0;    // end of the bytes read into buffer_
    bool endOfFile_ = false;
    std::size_t lineNumber_ = 0;

    std::vector<double> firstStep_;  // parsed while finding the channel count
    bool firstStepPending_ = true;
};

}  // namespace kq::kqhost

#endif
