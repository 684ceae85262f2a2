// How the stand-in host calls a block: host calls by flag code, and command-line calls, each
// through the block's kvxFunction, with the host's error check after every call.
#ifndef KQ_SIM_ENGINE_HOST_CALLER_H
#define KQ_SIM_ENGINE_HOST_CALLER_H

#include <cstdint>
#include <map>
#include <ostream>
#include <vector>

#include "host/kvx_function.h"
#include "sim/engine/host_instance.h"

namespace kq::sim {

// Name of the hook a flag code runs ("hookOutputs"), or "invalid" for a code without one.
const char* hookNameForFlag(int32_t code);

class HostCaller {
  public:
    // trace, when given, receives one line per host call: the flag code and the hook's name.
    explicit HostCaller(KvxFunctionFn kvxFunction, std::ostream* trace = nullptr);
    HostCaller(const HostCaller&) = delete;
    HostCaller& operator=(const HostCaller&) = delete;
    ~HostCaller();

    // A host call of `code` on the instance; throws BlockError with the message the block stored.
    void call(HostInstance& host, int32_t code);

    // The load-time call: FLAG 0 with the marker of the host's instance. Throws BlockError with
    // the raised message, or with the message the size hook stored.
    void registerBlock(HostInstance& host);

    // A command-line call with the given arguments; returns the SizesVector. Throws BlockError
    // with the raised message.
    std::vector<double> commandLine(int32_t numLeft, const std::vector<const vzArray*>& rightArgs);

    KvxFunctionFn kvxFunction() const { return kvxFunction_; }

  private:
    const vzArray* flagArray(int32_t code);

    KvxFunctionFn kvxFunction_;
    std::ostream* trace_;
    std::map<int32_t, vzArray*> flagArrays_;
};

}  // namespace kq::sim

#endif
