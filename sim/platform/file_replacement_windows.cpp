#include "sim/platform/file_replacement.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <random>
#include <string_view>

#include "sim/platform/windows_errors.h"

namespace kq::platform {

int createUniqueFile(std::string& pattern) {
    constexpr std::string_view kLetters =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    constexpr std::string_view kPlaceholder = "XXXXXX";
    if (pattern.size() < kPlaceholder.size() ||
        std::string_view(pattern).substr(pattern.size() - kPlaceholder.size()) != kPlaceholder) {
        errno = EINVAL;
        return -1;
    }
    std::random_device entropy;
    std::uniform_int_distribution<std::size_t> pick(0, kLetters.size() - 1);
    std::string name = pattern;
    // Like mkstemp: another name after each collision, a bounded number of times.
    for (int attempt = 0; attempt < 100; ++attempt) {
        for (std::size_t i = name.size() - kPlaceholder.size(); i < name.size(); ++i) {
            name[i] = kLetters[pick(entropy)];
        }
        const int fd =
            ::_open(name.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                    _S_IREAD | _S_IWRITE);
        if (fd >= 0) {
            pattern = name;
            return fd;
        }
        if (errno == ENOENT) {
            errno = errnoOfMissingPath(name);
        }
        if (errno != EEXIST) {
            return -1;
        }
    }
    errno = EEXIST;
    return -1;
}

int giveNewFilePermissions(int /*fd*/) {
    return 0;
}

int replaceFile(const std::string& from, const std::string& to) {
    // Windows answers "access denied" for a folder in the way; name the real reason.
    const DWORD attributes = GetFileAttributesA(to.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return EISDIR;
    }
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) ==
        0) {
        return errnoOfWindowsError(GetLastError());
    }
    return 0;
}

void removeFile(const std::string& path) {
    ::_unlink(path.c_str());
}

}  // namespace kq::platform
