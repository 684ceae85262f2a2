// kqhost run end to end: the program's output, read back from its files, against the plain
// reference walked the way the block walks each port shape.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <numbers>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "entry/block_identity.h"
#include "kernels/reference/unwrap_reference.h"
#include "process_runner.h"
#include "sim/kqhost/cli/kqhost_defaults.h"
#include "sim/kqhost/io/signal_reader.h"
#include "sim/kqhost/io/signal_writer.h"
#include "tests/block/floating_point_modes.h"

namespace {

using kq::kqhost::Precision;
using kq::kqhost::SignalFormat;
using kq::test::runProgram;
using kq::test::ScratchDir;

// kqhost keeps its own defaults (the engine knows no block): they name this block and start its
// dialog where the block's own does.
TEST(KqhostDefaults, AreTheBlocksOwn) {
    EXPECT_STREQ(kq::kqhost::kDefaultBlockName, kq::kBlockName);
    EXPECT_EQ(std::bit_cast<uint64_t>(kq::kqhost::kDefaultTolerance),
              std::bit_cast<uint64_t>(kq::kDefaultTolerance));
    EXPECT_STREQ(KQHOST_DEFAULT_TOLERANCE_TEXT, KQ_DEFAULT_TOLERANCE_TEXT);
}

enum class Layout { Row, Column, Vector, Frame };

struct RunCase {
    std::string name;
    Precision precision;
    bool running;
    Layout layout;
    size_t frameLen;  // for Layout::Frame
    bool inPlace;
    // A raw input tells kqhost how many steps to expect, which a raw output sets room aside for.
    SignalFormat inputFormat = SignalFormat::Csv;
};

// The input file of a case: its name says its format.
std::string inputName(SignalFormat format) {
    switch (format) {
        case SignalFormat::F64:
            return "in.f64";
        case SignalFormat::F32:
            return "in.f32";
        case SignalFormat::Csv:
            break;
    }
    return "in.csv";
}

// Wrapped phase with hard values mixed in: steps of exactly pi, zeros of both signs, NaN, inf.
std::vector<double> makeSignal(size_t steps, size_t channels, Precision precision, uint64_t seed) {
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> jump(-4.0, 4.0);
    std::vector<double> values(steps * channels);
    for (size_t c = 0; c < channels; ++c) {
        double phase = 0.1 * static_cast<double>(c);
        for (size_t t = 0; t < steps; ++t) {
            phase += jump(rng);
            double v = std::atan2(std::sin(phase), std::cos(phase));
            const uint64_t pick = rng() % 50;
            if (pick == 0) {
                v = std::numbers::pi;
            } else if (pick == 1) {
                v = -0.0;
            } else if (pick == 2) {
                v = std::nan("");
            } else if (pick == 3) {
                v = -std::numeric_limits<double>::infinity();
            }
            values[t * channels + c] = precision == Precision::Single ? static_cast<float>(v) : v;
        }
    }
    return values;
}

// What a host running the block produces: per output step, the port buffer (column-major) goes
// through the plain reference, walked as the block walks the layout.
template <typename T>
std::vector<double> expectedOutput(const RunCase& c, const std::vector<double>& input,
                                   size_t channels, T cutoff) {
    const size_t steps = input.size() / channels;
    const size_t rows = c.layout == Layout::Frame ? c.frameLen : 1;
    std::vector<T> in(rows * channels), out(rows * channels);
    kq::ref::ReferenceState<T> state{std::vector<T>(channels), std::vector<T>(channels)};
    std::vector<double> result(input.size());
    for (size_t first = 0; first < steps; first += rows) {
        for (size_t r = 0; r < rows; ++r) {
            const size_t t =
                std::min(first + r, steps - 1);  // a partial frame repeats its last step
            for (size_t ch = 0; ch < channels; ++ch) {
                in[r + ch * rows] = static_cast<T>(input[t * channels + ch]);
            }
        }
        const auto n = static_cast<int32_t>(channels);
        if (!c.running && c.layout == Layout::Frame) {
            kq::ref::referenceStateless(in.data(), out.data(), cutoff, n,
                                        static_cast<int32_t>(rows));
        } else if (!c.running) {
            kq::ref::referenceStateless(in.data(), out.data(), cutoff, 1, n);  // along the elements
        } else if (c.layout == Layout::Frame) {
            kq::ref::referenceRunningFrame(state, in.data(), out.data(), cutoff, n,
                                           static_cast<int32_t>(rows));
        } else if (c.layout == Layout::Vector) {
            kq::ref::referenceRunningFrame(state, in.data(), out.data(), cutoff, 1, n);
        } else {
            kq::ref::referenceRunningSample(state, in.data(), out.data(), cutoff, n);
        }
        for (size_t r = 0; r < rows && first + r < steps; ++r) {
            for (size_t ch = 0; ch < channels; ++ch) {
                result[(first + r) * channels + ch] = out[r + ch * rows];
            }
        }
    }
    return result;
}

void writeSignal(const std::filesystem::path& path, SignalFormat format,
                 const std::vector<double>& values, size_t channels, Precision precision) {
    auto writer = kq::kqhost::SignalWriter::open(path.string(), format, channels, precision);
    writer->writeSteps(values.data(), values.size() / channels);
    writer->commit();
}

std::vector<double> readSignal(const std::filesystem::path& path, SignalFormat format,
                               size_t channels, Precision precision) {
    auto reader = kq::kqhost::SignalReader::open(path.string(), format, channels, precision);
    std::vector<double> values;
    std::vector<double> chunk(1024 * channels);
    while (size_t got = reader->readSteps(chunk.data(), 1024)) {
        values.insert(values.end(), chunk.begin(), chunk.begin() + got * channels);
    }
    return values;
}

void expectSameBits(const std::vector<double>& actual, const std::vector<double>& expected) {
    ASSERT_EQ(actual.size(), expected.size());
    for (size_t i = 0; i < actual.size(); ++i) {
        // NaN outputs are compared as NaN: CSV keeps neither sign nor payload of a NaN.
        if (std::isnan(expected[i])) {
            EXPECT_TRUE(std::isnan(actual[i])) << "value " << i;
        } else {
            EXPECT_EQ(std::bit_cast<uint64_t>(actual[i]), std::bit_cast<uint64_t>(expected[i]))
                << "value " << i << ": " << actual[i] << " vs " << expected[i];
        }
    }
}

std::vector<std::string> layoutArgs(const RunCase& c) {
    std::vector<std::string> args;
    switch (c.layout) {
        case Layout::Row:
            args = {"--shape", "row"};
            break;
        case Layout::Column:
            args = {"--shape", "column"};
            break;
        case Layout::Vector:
            args = {"--shape", "vector"};
            break;
        case Layout::Frame:
            args = {"--frame", std::to_string(c.frameLen)};
            break;
    }
    args.insert(args.end(), {"--mode", c.running ? "running" : "stateless", "--precision",
                             c.precision == Precision::Single ? "single" : "double"});
    if (c.inPlace) {
        args.push_back("--in-place");
    }
    return args;
}

class KqhostRun : public ::testing::TestWithParam<RunCase> {};

TEST_P(KqhostRun, OutputEqualsTheKernelsDrivenAsTheBlockDrivesThem) {
    const RunCase& c = GetParam();
    constexpr size_t kChannels = 3;
    constexpr size_t kSteps = 203;  // not a multiple of the frame lengths used
    ScratchDir dir;
    const std::vector<double> input = makeSignal(kSteps, kChannels, c.precision, 7);
    const std::string inName = inputName(c.inputFormat);
    writeSignal(dir / inName, c.inputFormat, input, kChannels, c.precision);
    std::vector<std::string> args = {"run"};
    const std::vector<std::string> options = layoutArgs(c);
    args.insert(args.end(), options.begin(), options.end());
    if (c.inputFormat != SignalFormat::Csv) {
        args.insert(args.end(), {"--channels", std::to_string(kChannels)});
    }
    args.insert(args.end(), {(dir / inName).string(), (dir / "out.csv").string()});
    const kq::test::ProcessResult result = runProgram(KQHOST_PATH, args, dir.path());
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.err, "");
    const std::vector<double> actual =
        readSignal(dir / "out.csv", SignalFormat::Csv, kChannels, c.precision);
    if (c.precision == Precision::Single) {
        expectSameBits(actual, expectedOutput<float>(c, input, kChannels, 3.14159274f));
    } else {
        expectSameBits(actual, expectedOutput<double>(c, input, kChannels, std::numbers::pi));
    }
}

INSTANTIATE_TEST_SUITE_P(
    ShapesModesPrecisions, KqhostRun,
    ::testing::Values(
        RunCase{"RowRunningDouble", Precision::Double, true, Layout::Row, 0, false},
        RunCase{"RowRunningSingleInPlace", Precision::Single, true, Layout::Row, 0, true},
        RunCase{"RowStatelessDouble", Precision::Double, false, Layout::Row, 0, false},
        RunCase{"ColumnRunningSingle", Precision::Single, true, Layout::Column, 0, false},
        RunCase{"ColumnStatelessDoubleInPlace", Precision::Double, false, Layout::Column, 0, true},
        RunCase{"VectorRunningDouble", Precision::Double, true, Layout::Vector, 0, false},
        RunCase{"VectorStatelessSingle", Precision::Single, false, Layout::Vector, 0, false},
        RunCase{"Frame16RunningDouble", Precision::Double, true, Layout::Frame, 16, false},
        RunCase{"Frame7RunningSingleInPlace", Precision::Single, true, Layout::Frame, 7, true},
        RunCase{"Frame10StatelessDouble", Precision::Double, false, Layout::Frame, 10, true},
        RunCase{"Frame1StatelessSingle", Precision::Single, false, Layout::Frame, 1, false},
        RunCase{"Frame500RunningDouble", Precision::Double, true, Layout::Frame, 500, false},
        RunCase{"RawInputRowRunningDouble", Precision::Double, true, Layout::Row, 0, false,
                SignalFormat::F64},
        RunCase{"RawInputFrame7StatelessSingle", Precision::Single, false, Layout::Frame, 7, false,
                SignalFormat::F32}),
    [](const auto& testCase) { return testCase.param.name; });

TEST(KqhostRun, ShippedExampleMatchesItsExpectedOutputExactly) {
    ScratchDir dir;
    const auto result = runProgram(KQHOST_PATH,
                                   {"run", "--plot", (dir / "chirp.svg").string(),
                                    EXAMPLES_DIR "/chirp.csv", (dir / "out.csv").string()},
                                   dir.path());
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const auto actual = readSignal(dir / "out.csv", SignalFormat::Csv, 2, Precision::Double);
    const auto expected =
        readSignal(EXAMPLES_DIR "/chirp_unwrapped.csv", SignalFormat::Csv, 2, Precision::Double);
    expectSameBits(actual, expected);
    const std::string svg = kq::test::readWholeFile(dir / "chirp.svg");
    EXPECT_NE(svg.find("<svg"), std::string::npos);
    EXPECT_NE(svg.find("ch 2"), std::string::npos);
}

TEST(KqhostRun, RawFilesAndStandardOutputCarryTheSameValues) {
    ScratchDir dir;
    const auto input = makeSignal(50, 2, Precision::Double, 11);
    writeSignal(dir / "in.f64", SignalFormat::F64, input, 2, Precision::Double);
    writeSignal(dir / "in.csv", SignalFormat::Csv, input, 2, Precision::Double);
    const auto raw = runProgram(
        KQHOST_PATH,
        {"run", "--channels", "2", (dir / "in.f64").string(), (dir / "out.f64").string()},
        dir.path());
    ASSERT_EQ(raw.exitCode, 0) << raw.err;
    const auto toStdout =
        runProgram(KQHOST_PATH, {"run", (dir / "in.csv").string(), "-"}, dir.path());
    ASSERT_EQ(toStdout.exitCode, 0) << toStdout.err;
    kq::test::writeFile(dir / "stdout.csv", toStdout.out);
    expectSameBits(readSignal(dir / "out.f64", SignalFormat::F64, 2, Precision::Double),
                   readSignal(dir / "stdout.csv", SignalFormat::Csv, 2, Precision::Double));

    // .f32 input defaults to single precision.
    const auto single = makeSignal(40, 1, Precision::Single, 12);
    writeSignal(dir / "in.f32", SignalFormat::F32, single, 1, Precision::Single);
    const auto f32 = runProgram(
        KQHOST_PATH,
        {"run", "--channels", "1", (dir / "in.f32").string(), (dir / "out.f32").string()},
        dir.path());
    ASSERT_EQ(f32.exitCode, 0) << f32.err;
    expectSameBits(readSignal(dir / "out.f32", SignalFormat::F32, 1, Precision::Single),
                   expectedOutput<float>({"", Precision::Single, true, Layout::Row, 0, false},
                                         single, 1, 3.14159274f));

    // A signalling NaN reaches the single port as the file holds it: the stateless unwrap passes
    // every first sample on, so it comes out unchanged (read through binary64 it would be
    // 7fc00001). The running unwrap adds to it, which quiets it.
    const std::vector<std::uint32_t> nans = {0x7f800001, 0x3f800000, 0xffbfffff, 0x7fc00123};
    kq::test::writeFile(dir / "nan.f32", std::string(reinterpret_cast<const char*>(nans.data()),
                                                     nans.size() * sizeof nans[0]));
    for (const char* mode : {"stateless", "running"}) {
        const auto run = runProgram(KQHOST_PATH,
                                    {"run", "--channels", "1", "--mode", mode,
                                     (dir / "nan.f32").string(), (dir / "nan-out.f32").string()},
                                    dir.path());
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const std::string out = kq::test::readWholeFile(dir / "nan-out.f32");
        ASSERT_EQ(out.size(), nans.size() * sizeof nans[0]);
        std::vector<std::uint32_t> got(nans.size());
        std::memcpy(got.data(), out.data(), out.size());
        const std::vector<std::uint32_t> quieted = {0x7fc00001, 0x3f800000, 0xffffffff, 0x7fc00123};
        EXPECT_EQ(got, std::string(mode) == "stateless" ? nans : quieted) << mode;
    }
}

TEST(KqhostRun, ToleranceChangesAndResetsApplyBeforeTheirStep) {
    ScratchDir dir;
    // One channel climbing by 4 rad a step: corrected while the cutoff is below 2 pi.
    std::vector<double> input;
    for (int t = 0; t < 8; ++t) {
        input.push_back(4.0 * t);
    }
    writeSignal(dir / "in.csv", SignalFormat::Csv, input, 1, Precision::Double);
    const auto result =
        runProgram(KQHOST_PATH,
                   {"run", "--set-tolerance", "3:7", "--reset", "5", "--set-tolerance=6:1",
                    (dir / "in.csv").string(), (dir / "out.csv").string()},
                   dir.path());
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const double twoPi = 6.283185307179586;
    // Steps 1 and 2 corrected; 3 and 4 not (cutoff 7); 5 starts afresh; 6 and 7 corrected again.
    const std::vector<double> expected = {
        0.0,  4.0 - twoPi,  8.0 - 2 * twoPi, 12.0 - 2 * twoPi, 16.0 - 2 * twoPi,
        20.0, 24.0 - twoPi, 28.0 - 2 * twoPi};
    expectSameBits(readSignal(dir / "out.csv", SignalFormat::Csv, 1, Precision::Double), expected);
}

TEST(KqhostRun, TraceShowsEveryHostCall) {
    ScratchDir dir;
    kq::test::writeFile(dir / "in.csv", "0\n4\n");
    const auto result = runProgram(
        KQHOST_PATH, {"run", "--trace", (dir / "in.csv").string(), (dir / "out.csv").string()},
        dir.path());
    ASSERT_EQ(result.exitCode, 0);
    for (const char* line :
         {"112 hookCheckParameters", "113 hookSetInputPortDataType", "111 hookSetWorkWidths",
          "117 hookStart", "102 hookInitializeConditions", "104 hookOutputs",
          "107 hookTerminate"}) {
        EXPECT_NE(result.err.find(line), std::string::npos) << line;
    }
}

TEST(KqhostGxw, PrintsTheRecordOfTheSetUpBlock) {
    ScratchDir dir;
    const auto result =
        runProgram(KQHOST_PATH,
                   {"gxw", "--tolerance", "-0.25", "--precision", "single", "--mode", "stateless"},
                   dir.path());
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out,
              "RBlkParamSettings {\n  Cutoff = 0.25 (single)\n  Running = 0 (boolean)\n}\n");
}

TEST(KqhostSizes, PrintsTheSizesVector) {
    ScratchDir dir;
    const auto result = runProgram(KQHOST_PATH, {"sizes"}, dir.path());
    ASSERT_EQ(result.exitCode, 0) << result.err;
    std::vector<long long> entries;
    std::istringstream words(result.out);
    for (long long v = 0; words >> v;) {
        entries.push_back(v);
    }
    ASSERT_EQ(entries.size(), 38u);
    EXPECT_EQ(entries[2], 1);
    EXPECT_EQ(entries[3], 1);
    EXPECT_EQ(entries[6], 0);
    EXPECT_EQ(entries[19], 5200229);
    EXPECT_EQ(entries[23], 8192);
    EXPECT_EQ(entries[31], 2050);
    const auto raised = runProgram(KQHOST_PATH, {"sizes", "--flag", "1"}, dir.path());
    EXPECT_EQ(raised.exitCode, 1);
    EXPECT_EQ(raised.err, "kqhost: Invalid flag passed to KVX level2 R-block \"kqphasefix2\"\n");
}

#ifdef KQ_FLOATING_POINT_MODE_PRELOAD
// kqhost in a process whose floating-point mode was set before main (by a library loaded ahead of
// it, as a host's plug-ins or a library built with -ffast-math set it), so the block loads and
// runs in that mode: every mode of kCallerModes gives the default mode's bytes, in raw and CSV
// files, double and single (with a Tolerance of 2 pi, whose single-precision cutoff falls on one
// side of a turn or the other with the rounding direction). The block built without its mode
// guard must give other bytes in every mode, or the inputs would not see the mode.
struct ModeRunCase {
    const char* input;
    const char* output;
    std::vector<std::string> options;
};

// Runs kqhost with the preloaded library setting `modeBits` (none: not preloaded); the output's
// bytes.
std::string runInMode(const ScratchDir& dir, const ModeRunCase& c, const std::string& block,
                      const std::string* modeBits) {
    const bool emulated = !kq::test::childLauncher().empty();
    const std::string preload = std::string("LD_PRELOAD=") + KQ_FLOATING_POINT_MODE_PRELOAD;
    const std::string mode = modeBits != nullptr ? "KQ_TEST_FLOATING_POINT_MODE=" + *modeBits : "";
    const char* asanOptions = std::getenv("ASAN_OPTIONS");
    const std::string savedAsanOptions = asanOptions != nullptr ? asanOptions : "";
    if (modeBits != nullptr) {
        if (emulated) {  // the emulator sets the program's environment, not its own
            setenv("QEMU_SET_ENV", (preload + "," + mode).c_str(), 1);
        } else {
            setenv("LD_PRELOAD", KQ_FLOATING_POINT_MODE_PRELOAD, 1);
            setenv("KQ_TEST_FLOATING_POINT_MODE", modeBits->c_str(), 1);
            // A sanitized kqhost wants its runtime first; the preloaded library needs none.
            setenv("ASAN_OPTIONS", (savedAsanOptions + ":verify_asan_link_order=0").c_str(), 1);
        }
    }
    std::vector<std::string> args = {"run", "--block", block};
    args.insert(args.end(), c.options.begin(), c.options.end());
    args.insert(args.end(), {(dir / c.input).string(), (dir / c.output).string()});
    const kq::test::ProcessResult result = runProgram(KQHOST_PATH, args, dir.path());
    unsetenv("QEMU_SET_ENV");
    unsetenv("LD_PRELOAD");
    unsetenv("KQ_TEST_FLOATING_POINT_MODE");
    if (asanOptions != nullptr) {
        setenv("ASAN_OPTIONS", savedAsanOptions.c_str(), 1);
    } else {
        unsetenv("ASAN_OPTIONS");
    }
    EXPECT_EQ(result.exitCode, 0) << result.err;
    return kq::test::readWholeFile(dir / c.output);
}

TEST(KqhostInEveryMode, GivesTheDefaultModesBytesAndWithoutTheGuardOtherOnes) {
    ScratchDir dir;
    // Wrapped phase with subnormals and a NaN with a payload among the samples, exact in single.
    constexpr size_t kChannels = 2;
    constexpr size_t kSteps = 300;
    std::vector<double> input = makeSignal(kSteps, kChannels, Precision::Single, 29);
    for (size_t i = 0; i < input.size(); ++i) {
        if (i % 11 == 4) {
            input[i] = std::numeric_limits<float>::denorm_min() * static_cast<float>(i % 5 + 1);
        } else if (i % 13 == 9) {
            input[i] = -std::numeric_limits<float>::min() / 4;
        } else if (i % 37 == 20) {
            input[i] = std::bit_cast<double>(uint64_t{0x7FF8'0000'1234'0000});
        }
    }
    writeSignal(dir / "in.f64", SignalFormat::F64, input, kChannels, Precision::Double);
    writeSignal(dir / "in.f32", SignalFormat::F32, input, kChannels, Precision::Single);
    writeSignal(dir / "in.csv", SignalFormat::Csv, input, kChannels, Precision::Double);
    const ModeRunCase cases[] = {
        {"in.f64", "out.f64", {"--channels", "2", "--frame", "64"}},
        {"in.f64", "out.f64", {"--channels", "2", "--mode", "stateless", "--frame", "16"}},
        {"in.f32", "out.f32", {"--channels", "2", "--tolerance", "6.283185307179586"}},
        {"in.f32",
         "out.f32",
         {"--channels", "2", "--tolerance", "6.283185307179586", "--frame", "7", "--in-place"}},
        {"in.csv", "out.csv", {"--frame", "10"}},
        {"in.csv", "out.csv", {"--precision", "single", "--tolerance", "6.283185307179586"}},
    };
    for (const kq::test::CallerMode& mode : kq::test::kCallerModes) {
        std::ostringstream bits;
        bits << std::hex << mode.bits;
        const std::string modeBits = bits.str();
        int unguardedDifferences = 0;
        for (const ModeRunCase& c : cases) {
            SCOPED_TRACE(::testing::Message() << mode.name << ", " << c.input << " "
                                              << ::testing::PrintToString(c.options));
            const std::string inDefault = runInMode(dir, c, KQ_BLOCK_MODULE_PATH, nullptr);
            ASSERT_FALSE(inDefault.empty());
            EXPECT_EQ(runInMode(dir, c, KQ_BLOCK_MODULE_PATH, &modeBits), inDefault);
            if (runInMode(dir, c, KQ_UNGUARDED_BLOCK_PATH, &modeBits) != inDefault) {
                ++unguardedDifferences;
            }
        }
        EXPECT_GT(unguardedDifferences, 0)
            << mode.name << ": the block without its guard gave the default bytes in every case";
    }
}
#endif

}  // namespace
