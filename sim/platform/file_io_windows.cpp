#include "sim/platform/file_io.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <climits>

#include "sim/platform/windows_errors.h"

namespace kq::platform {

int openForReading(const std::string& path) {
    // Windows refuses to open a folder with "permission denied"; name the real reason. (The
    // runtime's stat fails for a folder named with a trailing separator; the system call does not.)
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        errno = EISDIR;
        return -1;
    }
    const int fd = ::_open(path.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
    if (fd < 0 && errno == ENOENT) {
        errno = errnoOfMissingPath(path);
    }
    return fd;
}

// The runtime's reads and writes take an unsigned int count.
std::ptrdiff_t readSome(int fd, void* data, std::size_t size) {
    return ::_read(fd, data, static_cast<unsigned>(std::min<std::size_t>(size, INT_MAX)));
}

std::ptrdiff_t writeSome(int fd, const void* data, std::size_t size) {
    return ::_write(fd, data, static_cast<unsigned>(std::min<std::size_t>(size, INT_MAX)));
}

int closeFile(int fd) {
    return ::_close(fd);
}

std::optional<std::uint64_t> regularFileSize(int fd) {
    struct _stat64 status {};
    if (::_fstat64(fd, &status) != 0 || (status.st_mode & _S_IFREG) == 0) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(status.st_size);
}

// The C runtime has no way to reserve room without writing it; the writes find room as they go.
void reserveFileSpace(int /*fd*/, std::uint64_t /*bytes*/) {}
void releaseSpaceBeyond(int /*fd*/, std::uint64_t /*size*/) {}

void useBinaryStandardStreams() {
    for (const int fd : {0, 1, 2}) {
        ::_setmode(fd, _O_BINARY);
    }
}

}  // namespace kq::platform
