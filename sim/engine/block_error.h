// A failure the block reported, carrying its message verbatim.
#ifndef KQ_SIM_ENGINE_BLOCK_ERROR_H
#define KQ_SIM_ENGINE_BLOCK_ERROR_H

#include <stdexcept>
#include <string>

namespace kq::sim {

// The block stored a message in errorStatus, or raised one through the host's error routine.
struct BlockError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The host could not load or use a block library.
struct BlockLoadError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

}  // namespace kq::sim

#endif
