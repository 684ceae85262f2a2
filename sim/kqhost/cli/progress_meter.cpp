#include "sim/kqhost/cli/progress_meter.h"

#include <cstdio>

#include "sim/platform/terminal.h"

namespace kqhost {

namespace {
constexpr auto kQuietStart = std::chrono::seconds(1);
constexpr auto kRefresh = std::chrono::milliseconds(250);
}  // namespace

ProgressMeter::ProgressMeter()
    : enabled_(kq::platform::standardErrorIsTerminal()), start_(Clock::now()), lastShown_(start_) {}

void ProgressMeter::update(size_t timeStepsDone) {
    if (!enabled_) {
        return;
    }
    const Clock::time_point now = Clock::now();
    if (now - start_ < kQuietStart || now - lastShown_ < kRefresh) {
        return;
    }
    lastShown_ = now;
    shown_ = true;
    const double seconds = std::chrono::duration<double>(now - start_).count();
    std::fprintf(stderr, "\rkqhost: %zu time steps in %.1f s", timeStepsDone, seconds);
    std::fflush(stderr);
}

void ProgressMeter::finish() {
    if (shown_) {
        std::fprintf(stderr, "\r\033[K");
        std::fflush(stderr);
        shown_ = false;
    }
}

}  // namespace kqhost
