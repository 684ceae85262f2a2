// Progress of a long command on stderr: one line, redrawn at most four times a second, shown only
// on a terminal and only once the command has run for its quiet start, so that short runs and
// redirected output stay clean.
#ifndef KQ_SIM_KQHOST_CLI_PROGRESS_METER_H
#define KQ_SIM_KQHOST_CLI_PROGRESS_METER_H

#include <fmt/format.h>

#include <chrono>
#include <string_view>
#include <utility>

namespace kq::kqhost {

class ProgressMeter {
  public:
    using Clock = std::chrono::steady_clock;

    // Nothing is shown before `quietStart` has passed.
    explicit ProgressMeter(Clock::duration quietStart);

    // Redraws the line with the formatted text when a redraw is due; the text is formatted only
    // then, so a call is cheap when nothing is shown.
    template <typename... Args>
    void update(fmt::format_string<Args...> format, Args&&... args) {
        if (redrawDue()) {
            show(fmt::format(format, std::forward<Args>(args)...));
        }
    }

    // Seconds since the meter was made.
    double secondsSoFar() const;

    // Clears the progress line, if one was shown.
    void finish();

  private:
    bool redrawDue();
    void show(std::string_view line);

    bool enabled_;
    bool shown_ = false;
    Clock::duration quietStart_;
    Clock::time_point start_;
    Clock::time_point lastShown_;
};

}  // namespace kq::kqhost

#endif
