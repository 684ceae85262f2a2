// The files of the target runtime (runtime/), embedded in kqhost when it is built.
#ifndef KQ_SIM_KQHOST_GENERATE_RUNTIME_SOURCES_H
#define KQ_SIM_KQHOST_GENERATE_RUNTIME_SOURCES_H

#include <string_view>
#include <vector>

namespace kq::kqhost {

struct RuntimeSource {
    std::string_view fileName;
    std::string_view text;
};

// kq_wrap_step.h, kq_soft_binary64.h, kq_wrap_step_soft.h, kq_unwrap_runtime.h and
// kq_unwrap_runtime.c, as they were at build time.
const std::vector<RuntimeSource>& runtimeSources();

}  // namespace kq::kqhost

#endif
