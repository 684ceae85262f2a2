#include "sim/kqhost/plot/svg_plot.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <set>
#include <string>
#include <vector>

#include "scratch_folder.h"
#include "signal_io_helpers.h"

namespace kq::kqhost {
namespace {

using test::errorOf;
using test::ScratchFolder;

std::size_t occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

// The d attribute of the n-th path (inputs of all plotted channels first, then outputs).
std::string pathData(const std::string& svg, std::size_t n) {
    std::size_t at = 0;
    for (std::size_t i = 0; i <= n; ++i) {
        at = svg.find("<path", at + 1);
    }
    const std::size_t begin = svg.find(" d=\"", at) + 4;
    return svg.substr(begin, svg.find('"', begin) - begin);
}

// The markup problems a cut or unescaped text makes: a tag left open, closed out of order or
// never ended, a quote left open, and a '<' or '&' in text or attribute values that starts no
// entity. Returns the first problem found, or "" for none.
std::string markupProblem(const std::string& svg) {
    std::vector<std::string> open;
    std::size_t at = svg.find("?>");  // after the XML declaration
    if (svg.rfind("<?xml", 0) != 0 || at == std::string::npos) {
        return "no XML declaration";
    }
    for (at += 2; at < svg.size(); ++at) {
        if (svg[at] == '&') {
            const std::size_t semicolon = svg.find(';', at);
            const std::string entity = svg.substr(at, semicolon - at + 1);
            if (entity != "&amp;" && entity != "&lt;" && entity != "&gt;" && entity != "&quot;") {
                return "a bare '&' at " + std::to_string(at);
            }
            continue;
        }
        if (svg[at] != '<') {
            continue;
        }
        // The tag runs to the first '>' outside a quoted attribute value.
        std::size_t end = at + 1;
        for (bool quoted = false; end < svg.size() && (quoted || svg[end] != '>'); ++end) {
            if (svg[end] == '"') {
                quoted = !quoted;
            } else if (svg[end] == '<') {
                return "a '<' inside the tag at " + std::to_string(at);
            }
        }
        if (end == svg.size()) {
            return "the tag at " + std::to_string(at) + " never ends";
        }
        const bool closing = svg[at + 1] == '/';
        const std::size_t nameBegin = at + (closing ? 2 : 1);
        const std::string name =
            svg.substr(nameBegin, svg.find_first_of(" />", nameBegin) - nameBegin);
        if (closing) {
            if (open.empty() || open.back() != name) {
                return "</" + name + "> closes " +
                       (open.empty() ? "nothing" : "<" + open.back() + ">");
            }
            open.pop_back();
        } else if (svg[end - 1] != '/') {
            open.push_back(name);
        }
        at = end;
    }
    return open.empty() ? "" : "<" + open.back() + "> is never closed";
}

// Everything a reader of the plot needs is there, and no coordinate is NaN or infinite.
void expectWellFormed(const std::string& svg, std::size_t plotted) {
    EXPECT_EQ(markupProblem(svg), "");
    EXPECT_EQ(svg.rfind("<?xml", 0), 0u);
    EXPECT_TRUE(svg.ends_with("</svg>\n"));
    EXPECT_EQ(occurrences(svg, "<path"), 2 * plotted);
    for (std::size_t channel = 1; channel <= plotted; ++channel) {
        EXPECT_EQ(occurrences(svg, ">ch " + std::to_string(channel) + " input<"), 1u);
        EXPECT_EQ(occurrences(svg, ">ch " + std::to_string(channel) + " unwrapped<"), 1u);
    }
    EXPECT_EQ(occurrences(svg, ">ch " + std::to_string(plotted + 1) + " "), 0u);
    for (const char* part : {"time (s)", "phase (rad)"}) {
        EXPECT_EQ(occurrences(svg, part), 1u) << part;
    }
    for (const char* bad : {"nan", "inf", "NAN", "INF"}) {
        EXPECT_EQ(occurrences(svg, bad), 0u) << bad;
    }
}

// Ten million steps keep a bounded number of buckets, and the decimation keeps a one-step spike.
TEST(PlotRecorder, KeepsBoundedMemoryAndEveryExtreme) {
    constexpr std::size_t kSteps = 10'000'000;
    constexpr std::size_t kChunk = 65536;
    constexpr std::size_t kSpikeStep = 7'654'321;
    PlotRecorder plot(2, 1e-3);
    std::vector<double> input(2 * kChunk);
    std::vector<double> output(2 * kChunk);
    std::size_t mostBuckets = 0;
    for (std::size_t first = 0; first < kSteps; first += kChunk) {
        const std::size_t steps = std::min(kChunk, kSteps - first);
        for (std::size_t i = 0; i < steps; ++i) {
            const std::size_t step = first + i;
            input[2 * i] = static_cast<double>(step % 7) - 3.0;
            input[2 * i + 1] = std::numeric_limits<double>::quiet_NaN();
            output[2 * i] = step == kSpikeStep ? 100.0 : static_cast<double>(step) * 1e-6;
            output[2 * i + 1] = -static_cast<double>(step) * 1e-5;
        }
        plot.add(input.data(), output.data(), steps);
        mostBuckets = std::max(mostBuckets, plot.bucketCount());
    }
    EXPECT_EQ(plot.stepCount(), kSteps);
    EXPECT_LE(mostBuckets, PlotRecorder::kMaxBuckets);
    EXPECT_GT(plot.bucketCount(), PlotRecorder::kMaxBuckets / 2);

    ScratchFolder folder;
    plot.writeSvg(folder.file("plot.svg"), "long run");
    const std::string svg = folder.read("plot.svg");
    expectWellFormed(svg, 2);
    EXPECT_EQ(occurrences(svg, ">100</text>"), 1u);    // the spike sets the top of the axis
    EXPECT_EQ(occurrences(svg, ">-100</text>"), 1u);   // the other output's end
    EXPECT_EQ(occurrences(svg, ">10000</text>"), 1u);  // time axis up to 10000 s
    EXPECT_EQ(pathData(svg, 1), "");                   // an input with no finite sample at all
}

TEST(PlotRecorder, DrawsFirstFourChannelsWithGapsAtNonFiniteSamples) {
    constexpr std::size_t kChannels = 6;
    constexpr std::size_t kSteps = 300;
    std::vector<double> input(kChannels * kSteps);
    std::vector<double> output(kChannels * kSteps);
    for (std::size_t step = 0; step < kSteps; ++step) {
        for (std::size_t channel = 0; channel < kChannels; ++channel) {
            const double phase = 0.05 * static_cast<double>(step * (channel + 1));
            input[step * kChannels + channel] = std::remainder(phase, 2 * std::numbers::pi);
            output[step * kChannels + channel] = phase;
        }
    }
    output[100 * kChannels] = std::numeric_limits<double>::quiet_NaN();
    output[200 * kChannels] = std::numeric_limits<double>::infinity();
    input[5 * kChannels + 2] = -1e308;
    PlotRecorder plot(kChannels, 0.5);
    plot.add(input.data(), output.data(), kSteps);

    ScratchFolder folder;
    plot.writeSvg(folder.file("plot.svg"), "six <channels> & more");
    const std::string svg = folder.read("plot.svg");
    expectWellFormed(svg, 4);
    EXPECT_EQ(occurrences(svg, ">six &lt;channels&gt; &amp; more<"), 1u);
    EXPECT_EQ(occurrences(svg, "(first 4 of 6 channels)"), 1u);
    EXPECT_EQ(occurrences(pathData(svg, 4), "M"), 3u);  // ch 1 output: three runs of samples
    EXPECT_EQ(occurrences(pathData(svg, 5), "M"), 1u);
    EXPECT_EQ(occurrences(pathData(svg, 0), "M"), 1u);
    EXPECT_EQ(occurrences(pathData(svg, 0), "L"), kSteps - 1);  // one point per step
}

// The markup check itself finds each kind of damage.
TEST(PlotRecorder, MarkupCheckFindsCutAndUnescapedText) {
    const std::string head = "<?xml version=\"1.0\"?>\n";
    EXPECT_EQ(markupProblem(head + "<svg a=\"x>y\"><text>a &amp; b</text><line/></svg>\n"), "");
    EXPECT_NE(markupProblem(head + "<svg><text>cut off"), "");
    EXPECT_NE(markupProblem(head + "<svg><text>cut</svg>"), "");
    EXPECT_NE(markupProblem(head + "<svg><text x=\"1"), "");
    EXPECT_NE(markupProblem(head + "<svg><text>a & b</text></svg>"), "");
    EXPECT_NE(markupProblem(head + "<svg><text>a < b</text></svg>"), "");
    EXPECT_NE(markupProblem("<svg></svg>"), "");
}

// A title of any length is written whole and escaped: a title of 600 characters (an input path
// of that length) once lost its closing tag and left the file malformed.
TEST(PlotRecorder, WritesATitleOfAnyLengthWhole) {
    std::string title = "kqphasefix2: /";
    std::string escaped = title;
    while (title.size() < 600) {
        title += "a&b<c>\"d\"/";
        escaped += "a&amp;b&lt;c&gt;&quot;d&quot;/";
    }
    title += "in.csv";
    escaped += "in.csv";
    PlotRecorder plot(1, 1.0);
    const double input[3] = {0.0, 3.0, -3.0};
    const double output[3] = {0.0, 3.0, 3.28};
    plot.add(input, output, 3);

    ScratchFolder folder;
    plot.writeSvg(folder.file("plot.svg"), title);
    const std::string svg = folder.read("plot.svg");
    expectWellFormed(svg, 1);
    EXPECT_EQ(occurrences(svg, ">" + escaped + "</text>\n"), 1u);
}

TEST(PlotRecorder, WritesAtomicallyAndRefusesBadSamplePeriods) {
    ScratchFolder folder;
    PlotRecorder plot(1, 1.0);
    const std::string missing = folder.file("missing/plot.svg");
    EXPECT_EQ(errorOf([&] { plot.writeSvg(missing, "t"); }),
              missing + ": cannot write: No such file or directory");
    plot.writeSvg(folder.file("empty.svg"), "nothing recorded");
    EXPECT_EQ(folder.listing(), std::set<std::string>{"empty.svg"});
    expectWellFormed(folder.read("empty.svg"), 1);

    for (const double period : {0.0, -1.0, std::numeric_limits<double>::infinity(),
                                std::numeric_limits<double>::quiet_NaN()}) {
        EXPECT_EQ(errorOf([&] { PlotRecorder bad(1, period); }),
                  "plot: the sample period must be a positive number of seconds");
    }
}

}  // namespace
}  // namespace kq::kqhost
