// Host calls: a flag code names the hook to run on the host's instance.
#ifndef KQ_ENTRY_HOST_CALL_DISPATCHER_H
#define KQ_ENTRY_HOST_CALL_DISPATCHER_H

#include "host/block_instance.h"

namespace kq {

inline constexpr const char* kInvalidFlagMessage = "Invalid flag encountered in veltrano";

// Runs the hook for the flag code (truncated toward zero) on the instance, or stores the code's
// message with setErrorStatus when the slot is empty, its condition fails or the code is invalid.
// A code that is NaN, infinite or outside the signed 32-bit range is invalid.
void dispatchHostCall(BlockInstance* instance, double flagCode);

}  // namespace kq

#endif
