// Progress of a long run on stderr, shown only on a terminal and only once a run has taken more
// than a second, so that short runs and redirected output stay clean.
#ifndef KQ_SIM_KQHOST_CLI_PROGRESS_METER_H
#define KQ_SIM_KQHOST_CLI_PROGRESS_METER_H

#include <chrono>
#include <cstddef>

namespace kqhost {

class ProgressMeter {
  public:
    ProgressMeter();
    // Called after each chunk of output steps; cheap when nothing is shown.
    void update(size_t timeStepsDone);
    // Clears the progress line, if one was shown.
    void finish();

  private:
    using Clock = std::chrono::steady_clock;
    bool enabled_;
    bool shown_ = false;
    Clock::time_point start_;
    Clock::time_point lastShown_;
};

}  // namespace kqhost

#endif
