// How a fuzz target reports a finding: one line on stderr naming the target, then a trap, so that
// libFuzzer keeps the input as a crash. Each target defines kq::fuzz::kTargetName.
#ifndef KQ_FUZZ_FUZZ_CHECK_H
#define KQ_FUZZ_FUZZ_CHECK_H

#include <cstdio>
#include <string>

namespace kq::fuzz {

// The target's own name, the first word of its reports ("fuzz_kernels").
extern const char* const kTargetName;

[[noreturn]] inline void fail(const char* what, const std::string& detail = {}) {
    std::fprintf(stderr, "%s: %s%s%s\n", kTargetName, what, detail.empty() ? "" : ": ",
                 detail.c_str());
    std::fflush(stderr);
    __builtin_trap();
}

inline void check(bool condition, const char* what, const std::string& detail = {}) {
    if (!condition) {
        fail(what, detail);
    }
}

}  // namespace kq::fuzz

#endif
