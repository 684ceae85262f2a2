// kqhost run: one simulation of the block on a signal file.
#include <algorithm>
#include <iostream>
#include <map>
#include <optional>
#include <vector>

#include "entry/block_identity.h"
#include "sim/engine/block_library.h"
#include "sim/engine/host_caller.h"
#include "sim/engine/simulation.h"
#include "sim/kqhost/cli/commands.h"
#include "sim/kqhost/cli/progress_meter.h"
#include "sim/kqhost/cli/setup_options.h"
#include "sim/kqhost/io/kqhost_error.h"
#include "sim/kqhost/io/signal_reader.h"
#include "sim/kqhost/io/signal_writer.h"
#include "sim/kqhost/plot/svg_plot.h"

namespace kqhost {

namespace {

constexpr const char* kRunHelp = R"(usage: kqhost run [options] INPUT OUTPUT

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

constexpr size_t kMaxStepIndex = static_cast<size_t>(1) << 62;

void addToleranceChange(std::multimap<size_t, StepEvent>& events, const std::string& text) {
    const size_t colon = text.find(':');
    if (colon == std::string::npos) {
        throw KqhostError("--set-tolerance: expected STEP:X, not '" + text + "'");
    }
    const size_t step = parseIndex("--set-tolerance", text.substr(0, colon), kMaxStepIndex);
    const double value = parseFiniteNumber("--set-tolerance", text.substr(colon + 1));
    events.emplace(step, StepEvent{false, value, "--set-tolerance " + text});
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

}  // namespace

int runRunCommand(const std::vector<std::string>& args) {
    SetupOptions options;
    options.blockPath = defaultBlockPath();
    std::multimap<size_t, StepEvent> events;
    std::optional<std::string> plotPath;
    bool trace = false;
    std::vector<std::string> files;

    OptionCursor cursor(args);
    while (!cursor.done()) {
        const std::string word = cursor.takeWord();
        if (word == "--help" || word == "-h") {
            std::cout << kRunHelp << kSetupOptionsHelp << kRunHelpEvents;
            return 0;
        }
        if (takeSetupOption(word, cursor, options)) {
            continue;
        }
        if (word == "--set-tolerance") {
            addToleranceChange(events, cursor.takeValue(word));
        } else if (word == "--reset") {
            const std::string value = cursor.takeValue(word);
            events.emplace(parseIndex(word, value, kMaxStepIndex),
                           StepEvent{true, 0.0, "--reset " + value});
        } else if (word == "--plot") {
            plotPath = cursor.takeValue(word);
        } else if (word == "--trace") {
            trace = true;
        } else if (word.size() > 1 && word[0] == '-') {
            throw KqhostError("run: unknown option '" + word + "' (try 'kqhost run --help')");
        } else {
            files.push_back(word);
        }
    }
    if (files.size() != 2) {
        throw KqhostError("run: expected INPUT and OUTPUT (try 'kqhost run --help')");
    }
    const std::string& inputPath = files[0];
    const std::string& outputPath = files[1];
    const SignalFormat inputFormat = signalFormatOf(inputPath);
    const SignalFormat outputFormat = signalFormatOf(outputPath);
    const Precision precision = options.precision.value_or(
        inputFormat == SignalFormat::F32 ? Precision::Single : Precision::Double);

    std::unique_ptr<SignalReader> reader =
        SignalReader::open(inputPath, inputFormat, options.channels, precision);
    const size_t channels = reader->channels();
    const kq::sim::SimulationSetup setup = toSimulationSetup(options, channels, precision);

    kq::sim::BlockLibrary library(options.blockPath);
    kq::sim::HostCaller caller(library.kvxFunction(), trace ? &std::cerr : nullptr);
    kq::sim::Simulation simulation(caller, setup, hostOptionsFor(options.blockPath));
    simulation.initialize();

    std::unique_ptr<SignalWriter> writer =
        SignalWriter::open(outputPath, outputFormat, channels, precision);
    std::optional<PlotRecorder> plot;
    if (plotPath) {
        plot.emplace(channels, options.samplePeriod);
    }

    // Whole output steps are read in chunks, so the run streams in bounded memory. About 128 KiB of
    // doubles: the chunk, the port buffers and the kernel's copies to and from the file stay in
    // the processor's cache (chunks of 512 KiB made the run about twice as slow).
    const size_t timeStepsPerStep = simulation.timeStepsPerStep();
    const size_t stepsPerChunk = std::max<size_t>(1, 16384 / simulation.valuesPerStep());
    const size_t chunkTimeSteps = stepsPerChunk * timeStepsPerStep;
    std::vector<double> input(chunkTimeSteps * channels);
    std::vector<double> output(chunkTimeSteps * channels);
    size_t step = 0;
    size_t timeStepsDone = 0;
    ProgressMeter progress;
    for (;;) {
        const size_t got = readFully(*reader, input.data(), chunkTimeSteps);
        if (got == 0) {
            break;
        }
        const size_t steps = (got + timeStepsPerStep - 1) / timeStepsPerStep;
        // A trailing partial frame is padded by repeating its last time step.
        for (size_t t = got; t < steps * timeStepsPerStep; ++t) {
            std::copy_n(&input[(got - 1) * channels], channels, &input[t * channels]);
        }
        for (size_t s = 0; s < steps; ++s, ++step) {
            for (auto [it, end] = events.equal_range(step); it != end; ++it) {
                if (it->second.isReset) {
                    simulation.reset();
                } else {
                    simulation.setTolerance(it->second.tolerance);
                }
            }
            const size_t offset = s * timeStepsPerStep * channels;
            simulation.step(&input[offset], &output[offset]);
        }
        writer->writeSteps(output.data(), got);
        if (plot) {
            plot->add(input.data(), output.data(), got);
        }
        timeStepsDone += got;
        progress.update(timeStepsDone);
        if (got < chunkTimeSteps) {
            break;
        }
    }
    progress.finish();
    simulation.terminate();

    const auto late = events.lower_bound(step);
    if (late != events.end()) {
        throw KqhostError(late->second.option + ": step " + std::to_string(late->first) +
                          " is past the end (the run has " + std::to_string(step) +
                          " output steps)");
    }
    if (plot) {
        plot->writeSvg(*plotPath, std::string(kBlockName) + ": " + inputPath);
    }
    writer->commit();
    return 0;
}

}  // namespace kqhost
