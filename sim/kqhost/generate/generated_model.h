// The C code kqhost generate writes for one model: NAME.h (port sizes, data type, state struct
// and the five functions) and NAME.c (the functions, calling the runtime kernel that the block's
// table would choose for the same port). No heap, no globals: all state is in the caller's
// NAME_state, so any number of instances may run at once.
#ifndef KQ_SIM_KQHOST_GENERATE_GENERATED_MODEL_H
#define KQ_SIM_KQHOST_GENERATE_GENERATED_MODEL_H

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "sim/kqhost/generate/codegen_record.h"
#include "sim/kqhost/io/signal_format.h"
#include "sim/kqhost/validate/validate_reference.h"

namespace kq::kqhost {

struct GeneratedModel {
    std::string name;  // a C identifier: checked by checkModelName
    Precision precision = Precision::Double;
    size_t channels = 1;       // NAME_NUM_CHANNELS
    size_t frameLen = 1;       // NAME_FRAME_LENGTH: 1 when sample based
    bool inPlace = false;      // NAME_step expects in == out
    bool frameBased = false;   // the port is frame based (its state is reset even stateless)
    KernelWalk walk{};         // how the kernel walks the port buffer
    CodegenSettings settings;  // from the block's record
    // The options given to kqhost generate, which the header states as its command line.
    std::vector<std::string> arguments;
};

// The command line "kqhost generate ARGS...", each argument quoted as a POSIX shell would need it,
// as text that may stand inside a C comment (no "*" followed by "/", no control characters).
std::string generateCommandLine(const std::vector<std::string>& arguments);

// Throws KqhostError unless `name` can prefix the generated C names and files: a C identifier of
// at most kMaxModelNameLength characters, not a C keyword, not reserved (a leading underscore)
// and not in the runtime's "kq_" name space.
void checkModelName(std::string_view name);
inline constexpr size_t kMaxModelNameLength = 40;

std::string modelHeaderText(const GeneratedModel& model);
std::string modelSourceText(const GeneratedModel& model);

}  // namespace kq::kqhost

#endif
