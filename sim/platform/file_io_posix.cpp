#include "sim/platform/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace kq::platform {

int openForReading(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    // A folder opens without complaint and fails only at the first read; say so up front.
    struct stat status {};
    if (::fstat(fd, &status) == 0 && S_ISDIR(status.st_mode)) {
        ::close(fd);
        errno = EISDIR;
        return -1;
    }
    return fd;
}

std::ptrdiff_t readSome(int fd, void* data, std::size_t size) {
    return ::read(fd, data, size);
}

std::ptrdiff_t writeSome(int fd, const void* data, std::size_t size) {
    return ::write(fd, data, size);
}

int closeFile(int fd) {
    return ::close(fd);
}

std::optional<std::uint64_t> regularFileSize(int fd) {
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(status.st_size);
}

void reserveFileSpace(int fd, std::uint64_t bytes) {
#if defined(__linux__)
    // Without FALLOC_FL_KEEP_SIZE the file would show the reserved room as zeros.
    (void)::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(bytes));
#else
    (void)fd;
    (void)bytes;
#endif
}

void releaseSpaceBeyond(int fd, std::uint64_t size) {
    // Truncating to the length the file has frees the blocks reserved past its end.
    (void)::ftruncate(fd, static_cast<off_t>(size));
}

void useBinaryStandardStreams() {}

}  // namespace kq::platform
