// Load time: the block places its hooks in the host's slots.
#include "block/block_hooks.h"
#include "block/unsupported_hooks.h"

namespace kq {

void registerBlockHooks(BlockInstance* instance) {
    HookSlots& slots = instance->hookSlots;
    slots.hookInitializeSizes = hookInitializeSizes;
    slots.hookSetInputPortDataType = hookSetPortDataType;
    slots.hookSetOutputPortDataType = hookSetPortDataType;
    slots.hookInitializeSampleTimes = hookInitializeSampleTimes;
    slots.hookSetWorkWidths = hookSetWorkWidths;
    slots.hookGXW = hookGXW;
    slots.hookInitializeConditions = hookInitializeConditions;
    slots.hookStart = hookStart;
    slots.hookCheckParameters = hookCheckParameters;
    slots.hookProcessParameters = hookProcessParameters;
    slots.hookGetTimeOfNextVarHit = unsupportedNextVarHitHook;
    slots.hookOutputs = hookOutputs;
    slots.hookZeroCrossings = unsupportedZeroCrossingsHook;
    slots.hookTerminate = hookTerminate;
}

}  // namespace kq
