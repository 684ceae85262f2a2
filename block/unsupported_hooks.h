// Hooks the block does not support, placed in their slots so that a host calling a slot directly
// gets the same message as through kvxFunction.
#ifndef KQ_BLOCK_UNSUPPORTED_HOOKS_H
#define KQ_BLOCK_UNSUPPORTED_HOOKS_H

#include "host/block_instance.h"

namespace kq {

inline constexpr const char* kNoZeroCrossingsMessage =
    "To have nonsampled zero crossings, you must define HOOK_ZERO_CROSSINGS and have a "
    "hookZeroCrossings routine";
inline constexpr const char* kNoVarHitMessage =
    "To have a variable sample time, you must define HOOK_GET_TIME_OF_NEXT_VAR_HIT and add a "
    "hookGetTimeOfNextVarHit routine";

void unsupportedZeroCrossingsHook(BlockInstance* instance);
void unsupportedNextVarHitHook(BlockInstance* instance);

}  // namespace kq

#endif
