// The protocol checks of kqhost validate, run once before the random simulations: what a block
// must answer through kvxFunction besides its outputs.
//
//   - A command-line sizes query (FLAG 0 and the two dialog parameters) returns 38 entries, with
//     entry 19 the interface stamp 5200229, entries 2 and 3 (output and input ports) 1, and the
//     command-line bit 0x2000 in entry 23.
//   - Host calls with the invalid flag codes 100, 105, 143 and NaN store "Invalid flag encountered
//     in veltrano"; code 115 on a registered instance whose input-port sizing slot is empty stores
//     "Unexpected call to hookSetInputPortWidth".
//   - A command-line FLAG of 0.5 raises "The 4th right hand argument, FLAG, passed to LABEL must be
//     an integer", a FLAG of 1 "Invalid flag passed to LABEL", where LABEL is
//     KVX level2 R-block "NAME" and NAME the host's name of the block.
//   - A start with a continuous sample time (0, and -0) fails with "Input to block must have a
//     discrete sample time".
//   - A start takes exactly one block from tqCalloc (the run-time record) and the terminate gives
//     it back to tqFree, as the stand-in support library counts them.
#ifndef KQ_SIM_KQHOST_VALIDATE_VALIDATE_PROTOCOL_H
#define KQ_SIM_KQHOST_VALIDATE_VALIDATE_PROTOCOL_H

#include <string>
#include <vector>

#include "sim/engine/host_caller.h"
#include "sim/engine/host_instance.h"

namespace kq::kqhost {

struct ProtocolCheck {
    std::string name;  // what was checked, e.g. "host call with flag 105"
    bool passed = false;
    std::string detail;  // what was found instead, when it failed
};

// Runs every check against the block behind `caller`, loading it with `hostOptions` (whose
// blockName is also the NAME of the command-line messages). A block error never escapes: it
// fails the check it happened in.
std::vector<ProtocolCheck> runProtocolChecks(kq::sim::HostCaller& caller,
                                             const kq::sim::HostInstanceOptions& hostOptions);

}  // namespace kq::kqhost

#endif
