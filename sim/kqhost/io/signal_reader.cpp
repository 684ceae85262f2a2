#include "sim/kqhost/io/signal_reader.h"

#include <cerrno>

#include "sim/kqhost/io/csv_signal_reader.h"
#include "sim/kqhost/io/file_descriptor.h"
#include "sim/kqhost/io/kqhost_error.h"
#include "sim/kqhost/io/raw_signal_reader.h"
#include "sim/platform/file_io.h"

namespace kq::kqhost {
namespace {

FileDescriptor openForReading(const std::string& path) {
    if (path == "-") {
        return FileDescriptor(kq::platform::kStandardInput, false);
    }
    const int fd = kq::platform::openForReading(path);
    if (fd < 0) {
        throw KqhostError(path + ": cannot open: " + errnoText(errno));
    }
    return FileDescriptor(fd, true);
}

}  // namespace

SignalReader::~SignalReader() = default;

std::unique_ptr<SignalReader> SignalReader::open(const std::string& path, SignalFormat format,
                                                 std::optional<std::size_t> channels,
                                                 Precision precision) {
    const std::string name = path == "-" ? "<stdin>" : path;
    if (channels == std::size_t{0}) {
        throw KqhostError(name + ": the channel count must be at least 1");
    }
    if (format != SignalFormat::Csv && !channels) {
        throw KqhostError(name + ": raw input needs the channel count (--channels)");
    }
    FileDescriptor file = openForReading(path);
    if (format == SignalFormat::Csv) {
        return std::make_unique<CsvSignalReader>(std::move(file), name, channels, precision);
    }
    return std::make_unique<RawSignalReader>(std::move(file), name, format, *channels, precision);
}

}  // namespace kq::kqhost
