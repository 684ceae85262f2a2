// Command-line calls: load-time registration, or a sizes query.
#ifndef KQ_ENTRY_COMMAND_LINE_CALL_H
#define KQ_ENTRY_COMMAND_LINE_CALL_H

#include <cstdint>

#include "host/block_instance.h"

namespace kq {

// The message of a failed command-line call, cut to the buffer, never overflowing it.
struct CommandLineMessage {
    char text[256];
};

// Checks the arguments; with the load-time marker, checks the host's block name and registers the
// hooks in the host's instance, otherwise builds a private instance; then runs hookInitializeSizes
// and stores the SizesVector in leftArgs[0]. A failed check returns false with its message, which
// the caller raises with kvxErrMsgTxt (which does not return) once the call's floating-point mode
// is the caller's again.
bool commandLineCall(int32_t numLeft, vzArray* leftArgs[], int32_t numRight,
                     const vzArray* rightArgs[], CommandLineMessage& message);

}  // namespace kq

#endif
