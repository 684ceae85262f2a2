// The output step: the one routine a host calls at every step of a run, inline so that
// kvxFunction reaches the kernel entry without a call in between.
#ifndef KQ_BLOCK_OUTPUT_STEP_H
#define KQ_BLOCK_OUTPUT_STEP_H

#include "block/unwrap_args.h"
#include "host/block_instance.h"

namespace kq {

// Runs the kernel entry chosen at start on the block's record. Without a successful start there
// is no record and nothing to run.
inline void runOutputStep(BlockInstance* instance) {
    const auto* args = static_cast<const UnwrapArgs*>(instance->userData);
    if (args != nullptr) {
        args->kernel(args);
    }
}

}  // namespace kq

#endif
