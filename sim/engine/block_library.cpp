#include "sim/engine/block_library.h"

#include <dlfcn.h>

#include "sim/engine/block_error.h"

namespace kq::sim {

BlockLibrary::BlockLibrary(const std::string& path) {
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        const char* reason = dlerror();
        throw BlockLoadError("cannot load block library " + path + ": " +
                             (reason != nullptr ? reason : "unknown error"));
    }
    void* symbol = dlsym(handle_, "kvxFunction");
    if (symbol == nullptr) {
        dlclose(handle_);
        handle_ = nullptr;
        throw BlockLoadError("block library " + path + " has no kvxFunction");
    }
    // POSIX guarantees that a data pointer from dlsym converts to the function's pointer type.
    kvxFunction_ = reinterpret_cast<KvxFunctionFn>(symbol);
}

BlockLibrary::~BlockLibrary() {
    if (handle_ != nullptr) {
        dlclose(handle_);
    }
}

}  // namespace kq::sim
