// kqhost run: one simulation of the block on a signal file.
#include <fmt/format.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "kernels/floating_point_mode.h"
#include "sim/engine/block_library.h"
#include "sim/engine/host_caller.h"
#include "sim/engine/simulation.h"
#include "sim/kqhost/cli/commands.h"
#include "sim/kqhost/cli/kqhost_defaults.h"
#include "sim/kqhost/cli/progress_meter.h"
#include "sim/kqhost/cli/setup_options.h"
#include "sim/kqhost/io/kqhost_error.h"
#include "sim/kqhost/io/signal_reader.h"
#include "sim/kqhost/io/signal_writer.h"
#include "sim/kqhost/plot/svg_plot.h"

namespace kq::kqhost {

namespace {

constexpr const char* kRunHelp = R"(Usage: kqhost run [options] INPUT OUTPUT

Runs one simulation of the block on a signal of T time steps by C channels and writes the
block's output, time step by time step, to OUTPUT.

Files:
  .csv                 one line per time step, C comma-separated numbers; blank lines and
                       lines starting with # are skipped; nan, inf and -inf are accepted.
                       Written with the digits that read back the same bits (17 significant
                       digits for double, 9 for single).
  .f64, .f32           raw little-endian binary64 or binary32, time-major; needs --channels
  OUTPUT -             CSV on standard output
A raw OUTPUT must match the precision (.f64 for double, .f32 for single).

Options:
)";

constexpr const char* kRunHelpEvents = R"(  --set-tolerance STEP:X
                       before output step STEP (from 0) set Tolerance to X, check the
                       parameters and report the change to the block (repeatable)
  --reset STEP         before output step STEP run the initial-conditions hook again
                       (repeatable)
  --plot FILE.svg      draw input and output against time (up to four channels)
  --trace              print every host call (flag code and hook name) on stderr
  --help               this text

On failure kqhost prints one line 'kqhost: ...' on stderr, exits with status 1 and leaves
no OUTPUT file behind.
)";

// Something the host does before an output step, in the order the options gave them.
struct StepEvent {
    bool isReset;
    double tolerance;
    std::string option;
};

// Events by the output step they come before; equal steps keep the order of the options.
using StepEvents = std::multimap<size_t, StepEvent>;

constexpr size_t kMaxStepIndex = static_cast<size_t>(1) << 62;

// A run's long-running progress line appears only after this long.
constexpr auto kProgressQuietStart = std::chrono::seconds(1);

// Whole output steps are read, run and written in chunks of about this many values, so the run
// streams in bounded memory. About 256 KiB of doubles: the chunk, the port buffers and the
// kernel's copies to and from the file stay in the processor's cache, and the reads and writes
// are large (128 MiB of frames of 4096, processor time: 128 KiB and 512 KiB chunks took 2-5%
// longer).
constexpr size_t kChunkValues = 32768;

struct RunOptions {
    SetupOptions setup;
    StepEvents events;
    std::optional<std::string> plotPath;
    bool trace = false;
    std::string inputPath;
    std::string outputPath;
};

void addToleranceChange(StepEvents& events, const std::string& text) {
    const size_t colon = text.find(':');
    if (colon == std::string::npos) {
        throw KqhostError(fmt::format("--set-tolerance: expected STEP:X, not '{}'", text));
    }
    const size_t step = parseIndex("--set-tolerance", text.substr(0, colon), kMaxStepIndex);
    const double value = parseFiniteNumber("--set-tolerance", text.substr(colon + 1));
    events.emplace(step, StepEvent{false, value, "--set-tolerance " + text});
}

// The options of one run, checked one by one in the order given; nullopt once the help text was
// asked for and printed.
std::optional<RunOptions> parseRunOptions(const std::vector<std::string>& args) {
    RunOptions options;
    options.setup.blockPath = defaultBlockPath();
    std::vector<std::string> files;
    OptionCursor cursor(args, {"--set-tolerance", "--reset"});
    while (!cursor.done()) {
        const std::string word = cursor.takeWord();
        if (word == "--help" || word == "-h") {
            std::cout << kRunHelp << kSetupOptionsHelp << kRunHelpEvents;
            return std::nullopt;
        }
        if (takeSetupOption(word, cursor, options.setup)) {
            continue;
        }
        if (word == "--set-tolerance") {
            addToleranceChange(options.events, cursor.takeValue(word));
        } else if (word == "--reset") {
            const std::string value = cursor.takeValue(word);
            options.events.emplace(parseIndex(word, value, kMaxStepIndex),
                                   StepEvent{true, 0.0, "--reset " + value});
        } else if (word == "--plot") {
            options.plotPath = cursor.takeValue(word);
        } else if (word == "--trace") {
            options.trace = true;
        } else if (word.size() > 1 && word[0] == '-') {
            throw KqhostError(
                fmt::format("run: unknown option '{}' (try 'kqhost run --help')", word));
        } else {
            files.push_back(word);
        }
    }
    if (files.size() != 2) {
        throw KqhostError("run: expected INPUT and OUTPUT (try 'kqhost run --help')");
    }
    options.inputPath = files[0];
    options.outputPath = files[1];
    return options;
}

// Reads up to maxSteps time steps, stopping early only at the end of the input.
size_t readFully(SignalReader& reader, double* dst, size_t maxSteps) {
    size_t total = 0;
    while (total < maxSteps) {
        const size_t got = reader.readSteps(dst + total * reader.channels(), maxSteps - total);
        if (got == 0) {
            break;
        }
        total += got;
    }
    return total;
}

// Fills the time steps from `got` up to `paddedEnd` with copies of the last one read, so that a
// trailing partial frame becomes a whole one.
void padPartialFrame(std::vector<double>& input, size_t got, size_t paddedEnd, size_t channels) {
    for (size_t t = got; t < paddedEnd; ++t) {
        std::copy_n(&input[(got - 1) * channels], channels, &input[t * channels]);
    }
}

// Applies the events that come before output step `step`, in the order they were given.
void applyStepEvents(kq::sim::Simulation& simulation, const StepEvents& events, size_t step) {
    for (auto [it, end] = events.equal_range(step); it != end; ++it) {
        if (it->second.isReset) {
            simulation.reset();
        } else {
            simulation.setTolerance(it->second.tolerance);
        }
    }
}

// Every event must fall inside the run's `stepsRun` output steps.
void checkEventsWithinRun(const StepEvents& events, size_t stepsRun) {
    const auto late = events.lower_bound(stepsRun);
    if (late != events.end()) {
        throw KqhostError(fmt::format("{}: step {} is past the end (the run has {} output steps)",
                                      late->second.option, late->first, stepsRun));
    }
}

// Streams the whole input through the started simulation into the writer (and the plot, if any);
// returns the number of output steps run.
size_t streamRun(kq::sim::Simulation& simulation, const StepEvents& events, SignalReader& reader,
                 SignalWriter& writer, PlotRecorder* plot) {
    const size_t channels = reader.channels();
    const size_t timeStepsPerStep = simulation.timeStepsPerStep();
    const size_t stepsPerChunk = std::max<size_t>(1, kChunkValues / simulation.valuesPerStep());
    const size_t chunkTimeSteps = stepsPerChunk * timeStepsPerStep;
    std::vector<double> input(chunkTimeSteps * channels);
    std::vector<double> output(chunkTimeSteps * channels);
    size_t step = 0;
    size_t timeStepsDone = 0;
    ProgressMeter progress(kProgressQuietStart);
    for (;;) {
        // kqhost's own arithmetic (reading numbers, rounding them to the port's precision, the
        // plot, writing) runs in the default floating-point mode whatever mode the process is in;
        // the block's calls find the process's mode, and the block sets its own.
        size_t got = 0;
        {
            const DefaultFloatingPointMode defaultMode;
            got = readFully(reader, input.data(), chunkTimeSteps);
        }
        if (got == 0) {
            break;
        }
        const size_t steps = (got + timeStepsPerStep - 1) / timeStepsPerStep;
        padPartialFrame(input, got, steps * timeStepsPerStep, channels);
        for (size_t s = 0; s < steps; ++s, ++step) {
            applyStepEvents(simulation, events, step);
            const size_t offset = s * timeStepsPerStep * channels;
            simulation.step(&input[offset], &output[offset]);
        }
        {
            const DefaultFloatingPointMode defaultMode;
            writer.writeSteps(output.data(), got);
            if (plot != nullptr) {
                plot->add(input.data(), output.data(), got);
            }
        }
        timeStepsDone += got;
        progress.update("kqhost: {} time steps in {:.1f} s", timeStepsDone,
                        progress.secondsSoFar());
        if (got < chunkTimeSteps) {
            break;
        }
    }
    progress.finish();
    return step;
}

}  // namespace

int runRunCommand(const std::vector<std::string>& args) {
    const std::optional<RunOptions> options = [&] {
        const DefaultFloatingPointMode defaultMode;  // the numbers of the options
        return parseRunOptions(args);
    }();
    if (!options) {
        return 0;
    }
    const SignalFormat inputFormat = signalFormatOf(options->inputPath);
    const SignalFormat outputFormat = signalFormatOf(options->outputPath);
    const Precision precision = options->setup.precision.value_or(
        inputFormat == SignalFormat::F32 ? Precision::Single : Precision::Double);

    std::unique_ptr<SignalReader> reader =
        SignalReader::open(options->inputPath, inputFormat, options->setup.channels, precision);
    const size_t channels = reader->channels();
    const kq::sim::SimulationSetup setup = toSimulationSetup(options->setup, channels, precision);

    const std::string& blockPath = options->setup.blockPath;
    kq::sim::BlockLibrary library(blockPath);
    kq::sim::HostCaller caller(library.kvxFunction(), options->trace ? &std::cerr : nullptr);
    kq::sim::Simulation simulation(caller, setup, hostOptionsFor(blockPath));
    simulation.initialize();

    std::unique_ptr<SignalWriter> writer =
        SignalWriter::open(options->outputPath, outputFormat, channels, precision);
    if (const std::optional<std::uint64_t> steps = reader->knownSteps()) {
        writer->expectSteps(*steps);  // every input time step gives one output time step
    }
    std::optional<PlotRecorder> plot;
    if (options->plotPath) {
        plot.emplace(channels, options->setup.samplePeriod);
    }
    const size_t stepsRun =
        streamRun(simulation, options->events, *reader, *writer, plot ? &*plot : nullptr);
    simulation.terminate();

    checkEventsWithinRun(options->events, stepsRun);
    if (plot) {
        const DefaultFloatingPointMode defaultMode;
        plot->writeSvg(*options->plotPath,
                       std::string(kDefaultBlockName) + ": " + options->inputPath);
    }
    writer->commit();
    return 0;
}

}  // namespace kq::kqhost
