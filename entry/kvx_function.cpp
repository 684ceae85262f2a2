// The block library's one export.
#include "host/kvx_function.h"

#include <limits>
#include <type_traits>

#include "block/output_step.h"
#include "entry/command_line_call.h"
#include "entry/host_call_dispatcher.h"
#include "host/kvx_error.h"
#include "kernels/floating_point_mode.h"

namespace {
constexpr int32_t kInstanceSlot = 1;
constexpr int32_t kFlagSlot = 3;
}  // namespace

static_assert(std::is_same_v<decltype(&kvxFunction), KvxFunctionFn>);

namespace {

// A host call (numLeft < 0), which reports its failures in the instance and returns.
void hostCall(vzArray* leftArgs[], const vzArray* rightArgs[]) {
    // A host call: the instance travels in the second result slot, the flag code in the fourth
    // argument; nothing else is read.
    if (leftArgs == nullptr || leftArgs[kInstanceSlot] == nullptr) {
        return;  // no instance to run on or to report to
    }
    auto* instance = reinterpret_cast<BlockInstance*>(leftArgs[kInstanceSlot]);
    const vzArray* flag = rightArgs != nullptr ? rightArgs[kFlagSlot] : nullptr;
    // An empty or missing flag array reads as NaN, which is an invalid code.
    const double code =
        flag != nullptr ? vzGetScalar(flag) : std::numeric_limits<double>::quiet_NaN();
    // The output step, made at every step of a run, goes straight to its routine, as the
    // dispatcher's row for it would: that row looks at no slot and stores no message.
    if (code == static_cast<double>(kFlagOutputs)) {
        kq::runOutputStep(instance);
        return;
    }
    kq::dispatchHostCall(instance, code);
}

}  // namespace

void kvxFunction(int32_t numLeft, vzArray* leftArgs[], int32_t numRight,
                 const vzArray* rightArgs[]) {
    // Every call computes in the mode the bits need (the cutoff from the dialog at start as much
    // as the output step), and leaves the caller's mode as it found it: a failed command-line call
    // raises its message once the mode is the caller's again.
    if (numLeft >= 0) {
        kq::CommandLineMessage message{};
        bool done = false;
        kq::inDefaultFloatingPointMode(
            [&] { done = kq::commandLineCall(numLeft, leftArgs, numRight, rightArgs, message); });
        if (!done) {
            kvxErrMsgTxt(message.text);
        }
        return;
    }
    kq::inDefaultFloatingPointMode([&] { hostCall(leftArgs, rightArgs); });
}
