#include "sim/kqhost/io/file_descriptor.h"

#include <cerrno>
#include <cstring>
#include <utility>

#include "sim/kqhost/io/kqhost_error.h"
#include "sim/platform/file_io.h"

namespace kq::kqhost {

FileDescriptor::FileDescriptor(FileDescriptor&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), owned_(std::exchange(other.owned_, false)) {}

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = std::exchange(other.fd_, -1);
        owned_ = std::exchange(other.owned_, false);
    }
    return *this;
}

FileDescriptor::~FileDescriptor() {
    close();
}

int FileDescriptor::close() {
    int error = 0;
    if (fd_ >= 0 && owned_ && kq::platform::closeFile(fd_) != 0) {
        error = errno;
    }
    fd_ = -1;
    owned_ = false;
    return error;
}

std::string errnoText(int error) {
    return std::strerror(error);
}

std::size_t readFully(int fd, char* data, std::size_t size, const std::string& name) {
    std::size_t done = 0;
    while (done < size) {
        const std::ptrdiff_t got = kq::platform::readSome(fd, data + done, size - done);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw KqhostError(name + ": cannot read: " + errnoText(errno));
        }
        if (got == 0) {
            break;
        }
        done += static_cast<std::size_t>(got);
    }
    return done;
}

void writeAll(int fd, const char* data, std::size_t size, const std::string& name) {
    while (size > 0) {
        const std::ptrdiff_t put = kq::platform::writeSome(fd, data, size);
        if (put < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw KqhostError(name + ": cannot write: " + errnoText(errno));
        }
        if (put == 0) {
            // Only a full device makes no progress without an error; say so rather than spin.
            throw KqhostError(name + ": cannot write: " + errnoText(ENOSPC));
        }
        data += put;
        size -= static_cast<std::size_t>(put);
    }
}

}  // namespace kq::kqhost
