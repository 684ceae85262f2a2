#include "sim/kqhost/io/signal_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "sim/kqhost/io/csv_signal_reader.h"
#include "sim/kqhost/io/file_descriptor.h"
#include "sim/kqhost/io/kqhost_error.h"
#include "sim/kqhost/io/raw_signal_reader.h"

namespace kqhost {
namespace {

FileDescriptor openForReading(const std::string& path) {
    if (path == "-") {
        return FileDescriptor(STDIN_FILENO, false);
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        throw KqhostError(path + ": cannot open: " + errnoText(errno));
    }
    FileDescriptor file(fd, true);
    // A folder opens without complaint and fails only at the first read; say so up front.
    struct stat status {};
    if (::fstat(fd, &status) == 0 && S_ISDIR(status.st_mode)) {
        throw KqhostError(path + ": cannot open: " + errnoText(EISDIR));
    }
    return file;
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

}  // namespace kqhost
