// libkvx: the stand-in host's error routine. kvxErrMsgTxt throws kq::sim::HostError, which the host
// catches around its call of kvxFunction; the throw unwinds through the block's frames.

#include "host/kvx_error.h"

#include <string>

#include "sim/libkvx/host_error.h"

namespace kq::sim {

HostError::HostError(const std::string& message) : std::runtime_error(message) {}

// Out of line: the key function, so the vtable and type information are emitted here only.
HostError::~HostError() = default;

}  // namespace kq::sim

extern "C" [[noreturn]] void kvxErrMsgTxt(const char* text) {
    // std::string copies the text before the throw leaves the caller's frame.
    throw kq::sim::HostError(text == nullptr ? std::string() : std::string(text));
}
