#include "sim/kqhost/cli/progress_meter.h"

#include <cstdio>

#include "sim/platform/terminal.h"

namespace kq::kqhost {

namespace {
constexpr auto kRefresh = std::chrono::milliseconds(250);
}  // namespace

ProgressMeter::ProgressMeter(Clock::duration quietStart)
    : enabled_(kq::platform::standardErrorIsTerminal()),
      quietStart_(quietStart),
      start_(Clock::now()),
      lastShown_(start_ - kRefresh) {}

double ProgressMeter::secondsSoFar() const {
    return std::chrono::duration<double>(Clock::now() - start_).count();
}

bool ProgressMeter::redrawDue() {
    if (!enabled_) {
        return false;
    }
    const Clock::time_point now = Clock::now();
    if (now - start_ < quietStart_ || now - lastShown_ < kRefresh) {
        return false;
    }
    lastShown_ = now;
    return true;
}

void ProgressMeter::show(std::string_view line) {
    fmt::print(stderr, "\r{}", line);
    std::fflush(stderr);
    shown_ = true;
}

void ProgressMeter::finish() {
    if (shown_) {
        fmt::print(stderr, "\r\033[K");
        std::fflush(stderr);
        shown_ = false;
    }
}

}  // namespace kq::kqhost
