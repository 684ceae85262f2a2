// Command-line calls: load-time registration, or a sizes query.
#ifndef KQ_ENTRY_COMMAND_LINE_CALL_H
#define KQ_ENTRY_COMMAND_LINE_CALL_H

#include <cstdint>

#include "host/block_instance.h"

namespace kq {

// Checks the arguments (raising every failure with kvxErrMsgTxt, which does not return); with the
// load-time marker, checks the host's block name and registers the hooks in the host's instance,
// otherwise builds a private instance; then runs hookInitializeSizes and stores the SizesVector in
// leftArgs[0].
void commandLineCall(int32_t numLeft, vzArray* leftArgs[], int32_t numRight,
                     const vzArray* rightArgs[]);

}  // namespace kq

#endif
