#include "sim/kqhost/plot/svg_plot.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>
#include <utility>

#include "sim/kqhost/io/atomic_output_file.h"
#include "sim/kqhost/io/kqhost_error.h"
#include "sim/kqhost/plot/plot_axis.h"

namespace kq::kqhost {
namespace {

// Picture layout, in SVG user units (pixels).
constexpr int kWidth = 960;
constexpr int kHeight = 540;
constexpr double kPlotLeft = 80;
constexpr double kPlotRight = 760;
constexpr double kPlotTop = 50;
constexpr double kPlotBottom = 470;
constexpr double kLegendLeft = 780;
constexpr int kTargetTicksX = 8;
constexpr int kTargetTicksY = 6;
// Points drawn per pixel column: enough to show each column's extremes, few enough to keep
// the file small.
constexpr double kPointsPerPixel = 2;

constexpr const char* kChannelColours[PlotRecorder::kMaxPlottedChannels] = {"#1f5fbf", "#d9480f",
                                                                            "#2b8a3e", "#7b3fbf"};

// Appends the formatted text, however long, to `out`.
template <typename... Args>
void appendFormat(std::string& out, fmt::format_string<Args...> format, Args&&... args) {
    fmt::format_to(std::back_inserter(out), format, std::forward<Args>(args)...);
}

std::string escapeXml(const std::string& text) {
    std::string escaped;
    for (const char c : text) {
        switch (c) {
            case '&':
                escaped += "&amp;";
                break;
            case '<':
                escaped += "&lt;";
                break;
            case '>':
                escaped += "&gt;";
                break;
            case '"':
                escaped += "&quot;";
                break;
            default:
                // Control characters are not allowed in XML text at all.
                escaped += static_cast<unsigned char>(c) < 0x20 ? ' ' : c;
        }
    }
    return escaped;
}

// Pixel positions of axis values, clamped so that no value, however wild, makes a coordinate
// that is not a number.
struct PlotFrame {
    PlotAxis x;
    PlotAxis y;

    double px(double time) const {
        return clampPixel(kPlotLeft + x.fraction(time) * (kPlotRight - kPlotLeft));
    }
    double py(double value) const {
        return clampPixel(kPlotBottom - y.fraction(value) * (kPlotBottom - kPlotTop));
    }

    static double clampPixel(double p) { return std::isnan(p) ? 0.0 : std::clamp(p, -1e5, 1e5); }
};

void appendAxes(std::string& svg, const PlotFrame& frame) {
    svg += "<g stroke=\"#e4e4e4\" stroke-width=\"1\">\n";
    for (const double tick : frame.x.ticks) {
        appendFormat(svg, "<line x1=\"{:.1f}\" y1=\"{:.1f}\" x2=\"{:.1f}\" y2=\"{:.1f}\"/>\n",
                     frame.px(tick), kPlotTop, frame.px(tick), kPlotBottom);
    }
    for (const double tick : frame.y.ticks) {
        appendFormat(svg, "<line x1=\"{:.1f}\" y1=\"{:.1f}\" x2=\"{:.1f}\" y2=\"{:.1f}\"/>\n",
                     kPlotLeft, frame.py(tick), kPlotRight, frame.py(tick));
    }
    svg += "</g>\n";
    appendFormat(svg,
                 "<rect x=\"{:.1f}\" y=\"{:.1f}\" width=\"{:.1f}\" height=\"{:.1f}\" fill=\"none\" "
                 "stroke=\"#333\" stroke-width=\"1\"/>\n",
                 kPlotLeft, kPlotTop, kPlotRight - kPlotLeft, kPlotBottom - kPlotTop);

    svg += "<g font-size=\"12\" fill=\"#333\">\n";
    for (std::size_t i = 0; i < frame.x.ticks.size(); ++i) {
        const double at = frame.px(frame.x.ticks[i]);
        appendFormat(
            svg,
            "<line x1=\"{:.1f}\" y1=\"{:.1f}\" x2=\"{:.1f}\" y2=\"{:.1f}\" stroke=\"#333\"/>\n", at,
            kPlotBottom, at, kPlotBottom + 5);
        appendFormat(svg, "<text x=\"{:.1f}\" y=\"{:.1f}\" text-anchor=\"middle\">{}</text>\n", at,
                     kPlotBottom + 19, frame.x.labels[i]);
    }
    for (std::size_t i = 0; i < frame.y.ticks.size(); ++i) {
        const double at = frame.py(frame.y.ticks[i]);
        appendFormat(
            svg,
            "<line x1=\"{:.1f}\" y1=\"{:.1f}\" x2=\"{:.1f}\" y2=\"{:.1f}\" stroke=\"#333\"/>\n",
            kPlotLeft - 5, at, kPlotLeft, at);
        appendFormat(svg, "<text x=\"{:.1f}\" y=\"{:.1f}\" text-anchor=\"end\">{}</text>\n",
                     kPlotLeft - 8, at + 4, frame.y.labels[i]);
    }
    svg += "</g>\n";
    appendFormat(
        svg,
        "<text x=\"{:.1f}\" y=\"{:.1f}\" font-size=\"14\" text-anchor=\"middle\">time (s)</text>\n",
        (kPlotLeft + kPlotRight) / 2, kPlotBottom + 45);
    appendFormat(svg,
                 "<text transform=\"translate({:.1f} {:.1f}) rotate(-90)\" font-size=\"14\" "
                 "text-anchor=\"middle\">phase (rad)</text>\n",
                 22.0, (kPlotTop + kPlotBottom) / 2);
}

const char* lineStyle(bool isInput) {
    return isInput ? "stroke-width=\"1\" stroke-opacity=\"0.5\"" : "stroke-width=\"1.8\"";
}

// A series as one path: a vertical stroke over each column's range, joined to the next column,
// with a gap wherever a column has no finite sample.
void appendSeriesPath(std::string& svg, const PlotFrame& frame,
                      const std::vector<PlotColumn>& columns, const char* colour, bool isInput) {
    appendFormat(svg, "<path stroke=\"{}\" {} d=\"", colour, lineStyle(isInput));
    bool penDown = false;
    double lastY = 0.0;
    for (const PlotColumn& column : columns) {
        if (!(column.low <= column.high)) {
            penDown = false;
            continue;
        }
        const double x = frame.px(column.time);
        double first = frame.py(column.low);
        double second = frame.py(column.high);
        // Visit the extreme nearer to the previous point first, so the line does not zig-zag
        // across the column.
        if (penDown && std::fabs(second - lastY) < std::fabs(first - lastY)) {
            std::swap(first, second);
        }
        appendFormat(svg, "{}{:.1f} {:.1f}", penDown ? 'L' : 'M', x, first);
        if (second != first) {
            appendFormat(svg, "L{:.1f} {:.1f}", x, second);
        }
        svg += ' ';
        penDown = true;
        lastY = second;
    }
    svg += "\"/>\n";
}

void appendLegend(std::string& svg, std::size_t plottedChannels, std::size_t channels) {
    svg += "<g font-size=\"13\" fill=\"#333\">\n";
    double y = kPlotTop + 10;
    for (std::size_t channel = 0; channel < plottedChannels; ++channel) {
        for (const bool isInput : {true, false}) {
            appendFormat(svg,
                         "<line x1=\"{:.1f}\" y1=\"{:.1f}\" x2=\"{:.1f}\" y2=\"{:.1f}\" "
                         "stroke=\"{}\" {}/>\n",
                         kLegendLeft, y, kLegendLeft + 26, y, kChannelColours[channel],
                         lineStyle(isInput));
            appendFormat(svg, "<text x=\"{:.1f}\" y=\"{:.1f}\">ch {} {}</text>\n", kLegendLeft + 34,
                         y + 4, channel + 1, isInput ? "input" : "unwrapped");
            y += 20;
        }
        y += 6;
    }
    if (channels > plottedChannels) {
        appendFormat(
            svg,
            "<text x=\"{:.1f}\" y=\"{:.1f}\" font-size=\"11\">(first {} of {} channels)</text>\n",
            kLegendLeft, y + 4, plottedChannels, channels);
    }
    svg += "</g>\n";
}

}  // namespace

PlotRecorder::PlotRecorder(std::size_t channels, double samplePeriod)
    : channels_(channels),
      plottedChannels_(std::min(channels, kMaxPlottedChannels)),
      samplePeriod_(samplePeriod),
      series_(2 * plottedChannels_) {
    if (!(samplePeriod > 0.0) || !std::isfinite(samplePeriod)) {
        throw KqhostError("plot: the sample period must be a positive number of seconds");
    }
}

void PlotRecorder::add(const double* inputSteps, const double* outputSteps, std::size_t steps) {
    for (std::size_t step = 0; step < steps; ++step) {
        if (buckets_ == 0 || steps_ == buckets_ * stepsPerBucket_) {
            startBucket();
        }
        const std::size_t first = step * channels_;
        for (std::size_t channel = 0; channel < plottedChannels_; ++channel) {
            const double samples[2] = {inputSteps[first + channel], outputSteps[first + channel]};
            for (int which = 0; which < 2; ++which) {
                if (std::isfinite(samples[which])) {
                    Bucket& bucket = series_[2 * channel + which].back();
                    bucket.low = std::min(bucket.low, samples[which]);
                    bucket.high = std::max(bucket.high, samples[which]);
                }
            }
        }
        ++steps_;
    }
}

void PlotRecorder::startBucket() {
    if (buckets_ == kMaxBuckets) {
        mergeBucketPairs();
    }
    constexpr double kInf = std::numeric_limits<double>::infinity();
    for (std::vector<Bucket>& buckets : series_) {
        buckets.push_back(Bucket{kInf, -kInf});
    }
    ++buckets_;
}

void PlotRecorder::mergeBucketPairs() {
    for (std::vector<Bucket>& buckets : series_) {
        for (std::size_t i = 0; i < buckets.size() / 2; ++i) {
            buckets[i] = Bucket{std::min(buckets[2 * i].low, buckets[2 * i + 1].low),
                                std::max(buckets[2 * i].high, buckets[2 * i + 1].high)};
        }
        buckets.resize(buckets.size() / 2);
    }
    buckets_ /= 2;
    stepsPerBucket_ *= 2;
}

void PlotRecorder::writeSvg(const std::string& path, const std::string& title) const {
    double low = std::numeric_limits<double>::infinity();
    double high = -low;
    for (const std::vector<Bucket>& buckets : series_) {
        for (const Bucket& bucket : buckets) {
            if (bucket.low <= bucket.high) {
                low = std::min(low, bucket.low);
                high = std::max(high, bucket.high);
            }
        }
    }
    PlotFrame frame;
    const double lastTime =
        steps_ > 1 ? static_cast<double>(steps_ - 1) * samplePeriod_ : samplePeriod_;
    frame.x = makePlotAxis(0.0, lastTime, kTargetTicksX, AxisEnds::OnTicks);
    frame.y = low <= high ? makePlotAxis(low, high, kTargetTicksY, AxisEnds::Padded)
                          : makePlotAxis(-1.0, 1.0, kTargetTicksY, AxisEnds::Padded);

    std::string svg;
    appendFormat(svg,
                 "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                 "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"{}\" height=\"{}\" "
                 "viewBox=\"0 0 {} {}\" font-family=\"sans-serif\">\n",
                 kWidth, kHeight, kWidth, kHeight);
    svg += "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
    appendFormat(svg,
                 "<text x=\"{:.1f}\" y=\"30\" font-size=\"16\" font-weight=\"bold\" "
                 "text-anchor=\"middle\">{}</text>\n",
                 (kPlotLeft + kPlotRight) / 2, escapeXml(title));
    appendAxes(svg, frame);
    appendFormat(svg,
                 "<clipPath id=\"plot-area\"><rect x=\"{:.1f}\" y=\"{:.1f}\" width=\"{:.1f}\" "
                 "height=\"{:.1f}\"/></clipPath>\n",
                 kPlotLeft, kPlotTop, kPlotRight - kPlotLeft, kPlotBottom - kPlotTop);
    // Inputs first, so that every unwrapped output lies on top of them.
    svg += "<g clip-path=\"url(#plot-area)\" fill=\"none\" stroke-linejoin=\"round\">\n";
    for (const bool isInput : {true, false}) {
        for (std::size_t channel = 0; channel < plottedChannels_; ++channel) {
            appendSeriesPath(svg, frame, columnsOf(2 * channel + (isInput ? 0 : 1)),
                             kChannelColours[channel], isInput);
        }
    }
    svg += "</g>\n";
    appendLegend(svg, plottedChannels_, channels_);
    svg += "</svg>\n";

    AtomicOutputFile file(path);
    file.write(svg.data(), svg.size());
    file.commit();
}

std::vector<PlotColumn> PlotRecorder::columnsOf(std::size_t series) const {
    // Buckets are drawn in columns of `group` buckets, at most kPointsPerPixel per pixel.
    const auto columnsWanted = static_cast<std::size_t>((kPlotRight - kPlotLeft) * kPointsPerPixel);
    const std::size_t group =
        std::max<std::size_t>(1, (buckets_ + columnsWanted - 1) / columnsWanted);
    std::vector<PlotColumn> columns;
    for (std::size_t first = 0; first < buckets_; first += group) {
        const std::size_t end = std::min(buckets_, first + group);
        // The column's time is that of its middle step.
        const std::size_t firstStep = first * stepsPerBucket_;
        const std::size_t lastStep = std::min(steps_, end * stepsPerBucket_) - 1;
        PlotColumn column{
            (static_cast<double>(firstStep) + static_cast<double>(lastStep)) / 2 * samplePeriod_,
            std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()};
        for (std::size_t b = first; b < end; ++b) {
            column.low = std::min(column.low, series_[series][b].low);
            column.high = std::max(column.high, series_[series][b].high);
        }
        columns.push_back(column);
    }
    return columns;
}

}  // namespace kq::kqhost
