// The block's hooks: its answers to the host at every step of an instance's life. Every hook takes
// the host's BlockInstance, talks to the host only through that record and the support library, and
// reports a failure by storing a constant message with setErrorStatus.
#ifndef KQ_BLOCK_BLOCK_HOOKS_H
#define KQ_BLOCK_BLOCK_HOOKS_H

#include <cstdint>

#include "host/block_instance.h"

namespace kq {

// Interface setup: parameters, ports, sample time, data types and work vectors.
void hookInitializeSizes(BlockInstance* instance);
void hookInitializeSampleTimes(BlockInstance* instance);
void hookSetWorkWidths(BlockInstance* instance);
// The data-type hook, registered for both the input and the output port: a type offered on either
// port is validated and spread to all ports.
void hookSetPortDataType(BlockInstance* instance, int32_t port, int32_t typeId);

// Parameters: the tolerance check and the cutoff.
void hookCheckParameters(BlockInstance* instance);
void hookProcessParameters(BlockInstance* instance);

// Run time: start, reset, output and terminate.
void hookStart(BlockInstance* instance);
void hookInitializeConditions(BlockInstance* instance);
void hookOutputs(BlockInstance* instance);
void hookTerminate(BlockInstance* instance);

// Code generation: the block's parameter-settings record.
void hookGXW(BlockInstance* instance);

// Fills the instance's hook slots with the hooks above at load time. Slots the block does not use
// keep what the host put there.
void registerBlockHooks(BlockInstance* instance);

}  // namespace kq

#endif
