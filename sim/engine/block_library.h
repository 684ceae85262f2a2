// A block library loaded at run time, and its typed entry point.
#ifndef KQ_SIM_ENGINE_BLOCK_LIBRARY_H
#define KQ_SIM_ENGINE_BLOCK_LIBRARY_H

#include <string>

#include "host/kvx_function.h"

namespace kq::sim {

class BlockLibrary {
  public:
    // Loads the library and finds kvxFunction; throws BlockLoadError with a one-line reason.
    explicit BlockLibrary(const std::string& path);
    BlockLibrary(const BlockLibrary&) = delete;
    BlockLibrary& operator=(const BlockLibrary&) = delete;
    ~BlockLibrary();

    KvxFunctionFn kvxFunction() const { return kvxFunction_; }

  private:
    void* handle_ = nullptr;
    KvxFunctionFn kvxFunction_ = nullptr;
};

}  // namespace kq::sim

#endif
