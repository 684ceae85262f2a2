#include "sim/engine/block_library.h"

#include "sim/engine/block_error.h"
#include "sim/platform/dynamic_library.h"

namespace kq::sim {

BlockLibrary::BlockLibrary(const std::string& path) {
    std::string reason;
    handle_ = platform::openLibrary(path, reason);
    if (handle_ == nullptr) {
        throw BlockLoadError("cannot load block library " + path + ": " + reason);
    }
    void* symbol = platform::librarySymbol(handle_, "kvxFunction");
    if (symbol == nullptr) {
        platform::closeLibrary(handle_);
        handle_ = nullptr;
        throw BlockLoadError("block library " + path + " has no kvxFunction");
    }
    // POSIX and Windows both guarantee that the symbol's address converts to the function's
    // pointer type.
    kvxFunction_ = reinterpret_cast<KvxFunctionFn>(symbol);
}

BlockLibrary::~BlockLibrary() {
    if (handle_ != nullptr) {
        platform::closeLibrary(handle_);
    }
}

}  // namespace kq::sim
