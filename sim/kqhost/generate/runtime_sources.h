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

// kq_wrap_step.h, kq_fp_mode.h, kq_soft_binary64.h, kq_wrap_step_soft.h, kq_kernel_list.h,
// kq_unwrap_runtime.h and kq_unwrap_runtime.c, as they were at build time, with the project's
// version as KQ_RUNTIME_VERSION.
const std::vector<RuntimeSource>& runtimeSources();

// The project's version ("0.2.0"), and the same as KQ_RUNTIME_VERSION (200).
extern const char* const kProjectVersion;
extern const long kRuntimeVersion;

}  // namespace kq::kqhost

#endif
