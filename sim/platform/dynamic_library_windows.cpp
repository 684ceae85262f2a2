#include "sim/platform/dynamic_library.h"

#include <windows.h>

#include <algorithm>

#include "sim/platform/windows_errors.h"

namespace kq::platform {

LibraryHandle openLibrary(const std::string& path, std::string& reason) {
    // The loader wants backslashes; Wine and Windows take Linux-style slashes everywhere else.
    std::string native = path;
    std::replace(native.begin(), native.end(), '/', '\\');
    // A missing dependency fails the call rather than opening a dialog box.
    DWORD previousMode = 0;
    SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previousMode);
    HMODULE module = LoadLibraryExA(native.c_str(), nullptr, 0);
    const DWORD error = GetLastError();
    SetThreadErrorMode(previousMode, nullptr);
    if (module == nullptr) {
        reason = windowsErrorText(error);
    }
    return reinterpret_cast<LibraryHandle>(module);
}

void* librarySymbol(LibraryHandle library, const char* name) {
    // FARPROC and data pointers have the same size and representation on Windows.
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void closeLibrary(LibraryHandle library) {
    FreeLibrary(static_cast<HMODULE>(library));
}

const char* libraryFileSuffix() {
    return ".dll";
}

}  // namespace kq::platform
