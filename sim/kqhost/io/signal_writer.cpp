#include "sim/kqhost/io/signal_writer.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <vector>

#include "sim/engine/single_in_double.h"
#include "sim/kqhost/io/atomic_output_file.h"
#include "sim/kqhost/io/file_descriptor.h"
#include "sim/kqhost/io/kqhost_error.h"
#include "sim/kqhost/io/number_text.h"
#include "sim/platform/file_io.h"

namespace kq::kqhost {
namespace {

static_assert(std::endian::native == std::endian::little,
              "raw signal files hold little-endian values, written here without conversion");

constexpr std::size_t kBufferBytes = std::size_t{1} << 20;
constexpr std::size_t kDirectBytes = std::size_t{64} << 10;

// One writer for all formats: the formats differ only in how a step becomes bytes.
class BufferedSignalWriter final : public SignalWriter {
  public:
    BufferedSignalWriter(const std::string& path, SignalFormat format, std::size_t channels,
                         Precision precision)
        : format_(format), channels_(channels), precision_(precision) {
        if (path == "-") {
            name_ = "<stdout>";
        } else {
            name_ = path;
            file_.emplace(path);
        }
        buffer_.reserve(kBufferBytes);
    }

    void writeSteps(const double* values, std::size_t steps) override {
        if (committed_) {
            throw std::logic_error("SignalWriter::writeSteps after commit");
        }
        const std::size_t count = steps * channels_;
        switch (format_) {
            case SignalFormat::Csv:
                appendCsv(values, count);
                break;
            case SignalFormat::F64:
                appendBytes(reinterpret_cast<const char*>(values), count * sizeof(double));
                break;
            case SignalFormat::F32:
                appendSingles(values, count);
                break;
        }
    }

    void expectSteps(std::uint64_t steps) override {
        // CSV lines vary in length; only raw files know their size.
        const std::uint64_t stepBytes = rawValueBytes(format_) * channels_;
        if (file_ && stepBytes != 0 && steps <= UINT64_MAX / stepBytes) {
            file_->reserve(steps * stepBytes);
        }
    }

    void commit() override {
        if (committed_) {
            throw std::logic_error("SignalWriter::commit called twice");
        }
        flush();
        if (file_) {
            file_->commit();
        }
        committed_ = true;
    }

  private:
    void appendCsv(const double* values, std::size_t count) {
        constexpr std::size_t kRoomPerValue = kMaxNumberTextLength + 1;
        for (std::size_t i = 0; i < count; ++i) {
            if (buffer_.capacity() - buffer_.size() < kRoomPerValue) {
                flush();
            }
            char text[kRoomPerValue];
            char* end = formatNumber(text, values[i], precision_);
            *end++ = (i + 1) % channels_ == 0 ? '\n' : ',';
            buffer_.insert(buffer_.end(), text, end);
        }
    }

    void appendSingles(const double* values, std::size_t count) {
        for (std::size_t i = 0; i < count; ++i) {
            if (buffer_.capacity() - buffer_.size() < sizeof(float)) {
                flush();
            }
            // A NaN by its bits: the single the port held, a signalling one included.
            const float single = std::isnan(values[i]) ? kq::sim::narrowToSingle(values[i])
                                                       : roundToSingle(values[i]);
            const auto* bytes = reinterpret_cast<const char*>(&single);
            buffer_.insert(buffer_.end(), bytes, bytes + sizeof single);
        }
    }

    void appendBytes(const char* bytes, std::size_t size) {
        // A large block with nothing buffered goes out as it is: copying it first would only add a
        // pass over memory.
        if (buffer_.empty() && size >= kDirectBytes) {
            emit(bytes, size);
            return;
        }
        if (buffer_.size() + size <= buffer_.capacity()) {
            buffer_.insert(buffer_.end(), bytes, bytes + size);
            return;
        }
        // Large blocks go straight from the caller's memory.
        flush();
        if (size >= buffer_.capacity()) {
            emit(bytes, size);
        } else {
            buffer_.insert(buffer_.end(), bytes, bytes + size);
        }
    }

    void flush() {
        emit(buffer_.data(), buffer_.size());
        buffer_.clear();
    }

    void emit(const char* bytes, std::size_t size) {
        if (file_) {
            file_->write(bytes, size);
        } else {
            writeAll(kq::platform::kStandardOutput, bytes, size, name_);
        }
    }

    SignalFormat format_;
    std::size_t channels_;
    Precision precision_;
    std::string name_;
    std::optional<AtomicOutputFile> file_;  // empty for standard output
    std::vector<char> buffer_;
    bool committed_ = false;
};

void checkRawPrecision(const std::string& path, SignalFormat format, Precision precision) {
    if (format == SignalFormat::F64 && precision == Precision::Single) {
        throw KqhostError(path +
                          ": .f64 output holds double precision, but the values are single "
                          "precision; use .f32 or .csv");
    }
    if (format == SignalFormat::F32 && precision == Precision::Double) {
        throw KqhostError(path +
                          ": .f32 output holds single precision, but the values are double "
                          "precision; use .f64 or .csv");
    }
}

}  // namespace

SignalWriter::~SignalWriter() = default;

std::unique_ptr<SignalWriter> SignalWriter::open(const std::string& path, SignalFormat format,
                                                 std::size_t channels, Precision precision) {
    const std::string name = path == "-" ? "<stdout>" : path;
    if (channels == 0) {
        throw KqhostError(name + ": the channel count must be at least 1");
    }
    if (path == "-" && format != SignalFormat::Csv) {
        throw KqhostError("<stdout>: standard output takes CSV only");
    }
    checkRawPrecision(name, format, precision);
    return std::make_unique<BufferedSignalWriter>(path, format, channels, precision);
}

}  // namespace kq::kqhost
