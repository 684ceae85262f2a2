#include "sim/platform/file_replacement.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace kq::platform {

int createUniqueFile(std::string& pattern) {
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd >= 0) {
        pattern.assign(name.data());
    }
    return fd;
}

int giveNewFilePermissions(int fd) {
    // Reading the umask means setting it and setting it back; kqhost is single-threaded, so this
    // races with nothing.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return ::fchmod(fd, static_cast<mode_t>(0666 & ~mask)) == 0 ? 0 : errno;
}

int replaceFile(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

void removeFile(const std::string& path) {
    ::unlink(path.c_str());
}

}  // namespace kq::platform
