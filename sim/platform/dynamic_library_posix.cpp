#include "sim/platform/dynamic_library.h"

#include <dlfcn.h>

namespace kq::platform {

LibraryHandle openLibrary(const std::string& path, std::string& reason) {
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* text = dlerror();
        reason = text != nullptr ? text : "unknown error";
    }
    return handle;
}

void* librarySymbol(LibraryHandle library, const char* name) {
    return dlsym(library, name);
}

void closeLibrary(LibraryHandle library) {
    dlclose(library);
}

const char* libraryFileSuffix() {
    return ".so";
}

}  // namespace kq::platform
