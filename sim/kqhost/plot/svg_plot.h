// kqhost's picture of a run: the raw (wrapped) input and the unwrapped output of the first few
// channels against time, written as an SVG file. The recorder keeps a decimated copy of the
// signals, min/max buckets whose width doubles whenever they fill up, so a run of any length is
// plotted in bounded memory and every spike still shows.
#ifndef KQ_SIM_KQHOST_PLOT_SVG_PLOT_H
#define KQ_SIM_KQHOST_PLOT_SVG_PLOT_H

#include <cstddef>
#include <string>
#include <vector>

namespace kq::kqhost {

// One drawn column of a plotted series: its time in seconds and the range of its finite samples
// (low > high when it has none).
struct PlotColumn {
    double time;
    double low;
    double high;
};

class PlotRecorder {
  public:
    // Channels beyond this are not plotted.
    static constexpr std::size_t kMaxPlottedChannels = 4;
    // Buckets kept per series; when they are full, neighbours merge pairwise.
    static constexpr std::size_t kMaxBuckets = 4096;

    // `channels` values per time step; time = step index x samplePeriod (seconds, positive and
    // finite, else KqhostError).
    PlotRecorder(std::size_t channels, double samplePeriod);

    // Records `steps` time steps of input and output, time-major, channels values per step.
    // NaN and infinite samples are left out and show as gaps.
    void add(const double* inputSteps, const double* outputSteps, std::size_t steps);

    // Writes the plot: input thin and light, output solid, one colour per channel, axes with
    // round tick values, axis titles, `title` on top and a legend ("ch 1 input",
    // "ch 1 unwrapped", ...). The file appears only when complete. Throws KqhostError
    // "PATH: cannot write: REASON".
    void writeSvg(const std::string& path, const std::string& title) const;

    // Steps recorded so far, and buckets now held per series (at most kMaxBuckets).
    std::size_t stepCount() const { return steps_; }
    std::size_t bucketCount() const { return buckets_; }

  private:
    // The finite samples of one series that fell into one bucket; empty while low > high.
    struct Bucket {
        double low;
        double high;
    };

    void startBucket();
    void mergeBucketPairs();
    // The series (2c: input of channel c, 2c + 1: its output) grouped into drawn columns.
    std::vector<PlotColumn> columnsOf(std::size_t series) const;

    std::size_t channels_;
    std::size_t plottedChannels_;
    double samplePeriod_;
    std::size_t steps_ = 0;
    // Bucket i holds steps i * stepsPerBucket_ onwards; only the last one may be partly filled.
    std::size_t stepsPerBucket_ = 1;
    std::size_t buckets_ = 0;
    // Series 2c is the input of channel c, series 2c + 1 its output.
    std::vector<std::vector<Bucket>> series_;
};

}  // namespace kq::kqhost

#endif
