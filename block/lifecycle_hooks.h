// The two steps of hookStart, visible for tests.
#ifndef KQ_BLOCK_LIFECYCLE_HOOKS_H
#define KQ_BLOCK_LIFECYCLE_HOOKS_H

#include "block/unwrap_args.h"
#include "host/block_instance.h"

namespace kq {

// Fills the record from the propagated input, the port buffers and the work vectors, then runs
// selectUnwrapKernel.
void fillUnwrapArgs(UnwrapArgs* args, const BlockInstance* instance);

// Chooses the kernel table entry for the whole run and stores it in args->kernel.
void selectUnwrapKernel(const BlockInstance* instance, UnwrapArgs* args);

}  // namespace kq

#endif
