#include "sim/kqhost/io/raw_signal_reader.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdint>
#include <limits>
#include <optional>
#include <utility>

#include "sim/engine/single_in_double.h"
#include "sim/kqhost/io/kqhost_error.h"
#include "sim/platform/file_io.h"

namespace kq::kqhost {
namespace {

static_assert(std::endian::native == std::endian::little,
              "raw signal files hold little-endian values, read here without conversion");

constexpr std::size_t kStagingBytes = std::size_t{1} << 20;

}  // namespace

RawSignalReader::RawSignalReader(FileDescriptor file, std::string name, SignalFormat format,
                                 std::size_t channels, Precision precision)
    : file_(std::move(file)),
      name_(std::move(name)),
      format_(format),
      channels_(channels),
      precision_(precision),
      elementBytes_(rawValueBytes(format)) {
    if (channels_ > std::numeric_limits<std::size_t>::max() / elementBytes_) {
        throw KqhostError(name_ + ": the channel count " + std::to_string(channels_) +
                          " is too large");
    }
    stepBytes_ = channels_ * elementBytes_;
    if (const std::optional<std::uint64_t> fileSize = kq::platform::regularFileSize(file_.get())) {
        const auto size = static_cast<unsigned long long>(*fileSize);
        if (size == 0) {
            throw KqhostError(name_ + ": no data");
        }
        if (size % stepBytes_ != 0) {
            throwSizeError(size);
        }
        fileSteps_ = *fileSize / stepBytes_;
    }
}

std::size_t RawSignalReader::readSteps(double* dst, std::size_t maxSteps) {
    if (format_ == SignalFormat::F64) {
        const std::size_t steps = readRawSteps(reinterpret_cast<char*>(dst), maxSteps);
        if (precision_ == Precision::Single) {
            std::transform(dst, dst + steps * channels_, dst,
                           [](double v) { return roundToPrecision(v, Precision::Single); });
        }
        return steps;
    }
    // binary32 values widen exactly, at either precision, a signalling NaN included; they come
    // through a bounded buffer.
    const std::size_t stagingSteps = std::max<std::size_t>(1, kStagingBytes / stepBytes_);
    std::size_t steps = 0;
    while (steps < maxSteps) {
        const std::size_t want = std::min(stagingSteps, maxSteps - steps);
        singles_.resize(want * channels_);
        const std::size_t got = readRawSteps(reinterpret_cast<char*>(singles_.data()), want);
        std::transform(singles_.begin(),
                       singles_.begin() + static_cast<std::ptrdiff_t>(got * channels_),
                       dst + steps * channels_, kq::sim::widenSingle);
        steps += got;
        if (got < want) {
            break;
        }
    }
    return steps;
}

std::size_t RawSignalReader::readRawSteps(char* dst, std::size_t maxSteps) {
    maxSteps = std::min(maxSteps, std::numeric_limits<std::size_t>::max() / stepBytes_);
    const std::size_t wanted = maxSteps * stepBytes_;
    const std::size_t got = readFully(file_.get(), dst, wanted, name_);
    bytesRead_ += got;
    if (got < wanted) {
        // The end of the file: a pipe's size is only known now.
        if (bytesRead_ == 0) {
            throw KqhostError(name_ + ": no data");
        }
        if (bytesRead_ % stepBytes_ != 0) {
            throwSizeError(bytesRead_);
        }
    }
    return got / stepBytes_;
}

void RawSignalReader::throwSizeError(unsigned long long size) const {
    throw KqhostError(name_ + ": size of " + std::to_string(size) +
                      " bytes is not a whole number of " + std::to_string(stepBytes_) +
                      "-byte time steps (" + std::to_string(channels_) +
                      (channels_ == 1 ? " channel of " : " channels of ") +
                      std::to_string(elementBytes_) + " bytes)");
}

}  // namespace kq::kqhost
