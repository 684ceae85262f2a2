// Windows only: errors told the way POSIX tells them, so that kqhost's messages read the same on
// every platform; and the system's message text of a GetLastError code, on one line.
#ifndef KQ_SIM_PLATFORM_WINDOWS_ERRORS_H
#define KQ_SIM_PLATFORM_WINDOWS_ERRORS_H

#include <windows.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <system_error>

namespace kq::platform {

inline std::string windowsErrorText(DWORD error) {
    char* text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message = length > 0 ? std::string(text, length) : std::string();
    LocalFree(text);
    // The system's texts end with a full stop and a line break.
    while (!message.empty() &&
           (message.back() == '\n' || message.back() == '\r' || message.back() == '.')) {
        message.pop_back();
    }
    return message.empty() ? "error " + std::to_string(error) : message;
}

inline int errnoOfWindowsError(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_DIRECTORY:
            return ENOENT;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return EACCES;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return EEXIST;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return ENOSPC;
        case ERROR_NOT_SAME_DEVICE:
            return EXDEV;
        default:
            return EIO;
    }
}

// The errno of a path that was not found: ENOTDIR when a file stands where one of its folders
// should be (Windows says only "not found" then), ENOENT otherwise.
inline int errnoOfMissingPath(const std::string& path) {
    std::filesystem::path folder = std::filesystem::path(path).parent_path();
    while (!folder.empty()) {
        std::error_code error;
        const std::filesystem::file_status status = std::filesystem::status(folder, error);
        if (std::filesystem::exists(status)) {
            return std::filesystem::is_directory(status) ? ENOENT : ENOTDIR;
        }
        if (folder == folder.parent_path()) {
            break;
        }
        folder = folder.parent_path();
    }
    return ENOENT;
}

}  // namespace kq::platform

#endif
