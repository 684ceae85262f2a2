// kqhost generate: C code for the model, made from the block's code-generation record.
#include <fmt/format.h>

#include <algorithm>
#include <bit>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#include "sim/engine/block_library.h"
#include "sim/engine/host_caller.h"
#include "sim/engine/simulation.h"
#include "sim/engine/single_in_double.h"
#include "sim/kqhost/cli/commands.h"
#include "sim/kqhost/cli/kqhost_defaults.h"
#include "sim/kqhost/cli/setup_options.h"
#include "sim/kqhost/generate/codegen_record.h"
#include "sim/kqhost/generate/generated_model.h"
#include "sim/kqhost/generate/runtime_sources.h"
#include "sim/kqhost/generate/self_test_inputs.h"
#include "sim/kqhost/generate/self_test_program.h"
#include "sim/kqhost/io/atomic_output_file.h"
#include "sim/kqhost/io/kqhost_error.h"
#include "sim/kqhost/validate/validate_random_setup.h"

namespace kq::kqhost {

namespace {

constexpr const char* kDefaultModelName = "kqphasefix2_model";

constexpr const char* kGenerateHelp = R"(Usage: kqhost generate [options] --output-dir DIR

Sets the block up as 'kqhost run' would, asks it for its code-generation record as a host
does, and writes C99 code for the model into DIR, made from the record's Cutoff and Running:
  NAME.h, NAME.c        the port sizes, data type and state struct; NAME_initialize,
                        NAME_step(state, in, out) (in place: NAME_step(state, buf)),
                        NAME_reset, NAME_set_tolerance, NAME_terminate (no heap, no globals);
                        the header states kqhost's version and this command line
  kq_wrap_step.h, kq_fp_mode.h, kq_soft_binary64.h, kq_wrap_step_soft.h, kq_kernel_list.h,
  kq_unwrap_runtime.h, kq_unwrap_runtime.c
                        the target runtime; NAME.c compiles in the one kernel it calls
Compile NAME.c (alone: it holds the runtime) with -ffp-contract=off: the outputs then have the
bits of 'kqhost run', in whatever floating-point mode the caller leaves (the step sets the mode
it needs and puts the caller's back). Files already in DIR under these names are replaced, all
of them or, on failure, none: those already replaced are put back.

Options:
  --name NAME          prefix of the generated names and files, a C identifier of at most {}
                       characters, not starting with _ or kq_, not a C keyword and not the name
                       of a C standard header (default kqphasefix2_model)
  --output-dir DIR     the folder to write to (created if missing)
  --tolerance X        the Tolerance dialog parameter; its magnitude is the cutoff, written
                       into the code exactly (default )" KQHOST_DEFAULT_TOLERANCE_TEXT R"()
  --mode M             running (default: the unwrap carries on from step to step) or
                       stateless (every step is unwrapped on its own)
  --precision P        double (default) or single: the port's data type
  --channels C         number of channels (default 1)
  --frame N            frame based: N samples of every channel per step (an N x C port)
  --shape S            sample based port shape: row (1 x C, default), column (C x 1) or
                       vector (one-dimensional, C elements); not with --frame
  --in-place           the step reads and writes one buffer
  --sample-time T      the source's sample time, for the block's setup (default 1)
  --block PATH         block library (default: )" KQHOST_DEFAULT_BLOCK_NAME R"(.so beside kqhost)
  --self-test          also write NAME_self_test.h and NAME_self_test.c: a known-answer test
                       of the model for the product's processor and toolchain, with samples
                       that meet the hard classes of floating-point arithmetic and the
                       block's answers for them, as C arrays; NAME_self_test(print) checks
                       the floating-point mode, runs the model and reports through print
  --help               this text
Each option may be given once. On failure kqhost prints one line 'kqhost: ...' on stderr and
exits with status 1.
)";

struct GenerateOptions {
    SetupOptions setup;
    std::string name = kDefaultModelName;
    std::string outputDir;
    bool selfTest = false;
};

// The files of the model, in the order they are written.
struct OutputText {
    std::string fileName;
    std::string text;
};

// The bytes of a regular file, or nullopt when there is none under the name.
std::optional<std::string> regularFileBytes(const std::filesystem::path& path) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        return std::nullopt;
    }
    std::ifstream file(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    if (!file) {
        throw KqhostError(path.string() + ": cannot read the file it would replace");
    }
    return bytes.str();
}

// Puts a file back as it was before: its earlier bytes, or no file. Returns what went wrong, or
// an empty text.
std::string restore(const std::filesystem::path& path, const std::optional<std::string>& bytes) {
    try {
        if (bytes) {
            AtomicOutputFile file(path.string());
            file.write(bytes->data(), bytes->size());
            file.commit();
        } else {
            std::filesystem::remove(path);
        }
    } catch (const std::exception& error) {
        return error.what();
    }
    return "";
}

// Writes every file to a temporary beside its name first; only when all are written are they
// renamed into place. Should a rename fail, the files already renamed are put back as they were,
// so a failure leaves the folder as it found it.
void writeAll(const std::filesystem::path& dir, const std::vector<OutputText>& outputs) {
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    if (error) {
        throw KqhostError(dir.string() + ": cannot create the folder: " + error.message());
    }
    std::vector<std::unique_ptr<AtomicOutputFile>> files;
    std::vector<std::optional<std::string>> earlier;
    for (const OutputText& output : outputs) {
        earlier.push_back(regularFileBytes(dir / output.fileName));
        files.push_back(std::make_unique<AtomicOutputFile>((dir / output.fileName).string()));
        files.back()->write(output.text.data(), output.text.size());
    }
    for (size_t i = 0; i < files.size(); ++i) {
        try {
            files[i]->commit();
        } catch (const KqhostError& failure) {
            std::string message = failure.what();
            for (size_t j = i; j-- > 0;) {
                const std::string problem = restore(files[j]->path(), earlier[j]);
                if (!problem.empty()) {
                    message += "; and it cannot be put back: " + problem;
                }
            }
            throw KqhostError(message);
        }
    }
}

// The self-test's inputs run through the block as kqhost run runs them, whole output steps (the
// last partial frame padded with its last row), twice: as set up, then reset with a tolerance of
// 0, as the self-test does.
KnownAnswers knownAnswers(const GenerateOptions& options, const kq::sim::SimulationSetup& setup,
                          Precision precision) {
    KnownAnswers answers;
    answers.input = selfTestInputBits(precision, setup.channels);
    const bool single = precision == Precision::Single;
    const size_t channels = setup.channels;
    const size_t rows = answers.input.size() / channels;
    kq::sim::BlockLibrary library(options.setup.blockPath);
    kq::sim::HostCaller caller(library.kvxFunction());
    kq::sim::Simulation simulation(caller, setup, hostOptionsFor(options.setup.blockPath));
    simulation.initialize();
    const size_t frame = simulation.timeStepsPerStep();
    const size_t steps = (rows + frame - 1) / frame;
    std::vector<double> input(steps * frame * channels);
    for (size_t i = 0; i < input.size(); ++i) {
        const std::uint64_t bits =
            answers.input[std::min(i / channels, rows - 1) * channels + i % channels];
        input[i] = single ? kq::sim::widenSingle(std::bit_cast<float>(static_cast<uint32_t>(bits)))
                          : std::bit_cast<double>(bits);
    }
    std::vector<double> output(input.size());
    for (int pass = 0; pass < 2; ++pass) {
        if (pass == 1) {
            simulation.reset();
            simulation.setTolerance(0.0);
        }
        for (size_t step = 0; step < steps; ++step) {
            simulation.step(&input[step * frame * channels], &output[step * frame * channels]);
        }
        for (size_t i = 0; i < rows * channels; ++i) {
            answers.expected.push_back(
                single ? std::bit_cast<uint32_t>(kq::sim::narrowToSingle(output[i]))
                       : std::bit_cast<uint64_t>(output[i]));
        }
    }
    simulation.terminate();
    return answers;
}

}  // namespace

int runGenerateCommand(const std::vector<std::string>& args) {
    GenerateOptions options;
    options.setup.blockPath = defaultBlockPath();
    OptionCursor cursor(args);
    while (!cursor.done()) {
        const std::string word = cursor.takeWord();
        if (word == "--help" || word == "-h") {
            std::cout << fmt::format(kGenerateHelp, kMaxModelNameLength);
            return 0;
        }
        if (word == "--name") {
            options.name = cursor.takeValue(word);
        } else if (word == "--output-dir") {
            options.outputDir = cursor.takeValue(word);
        } else if (word == "--self-test") {
            options.selfTest = true;
        } else if (!takeSetupOption(word, cursor, options.setup)) {
            throw KqhostError("generate: unknown option '" + word +
                              "' (try 'kqhost generate --help')");
        }
    }
    checkModelName(options.name);
    if (options.outputDir.empty()) {
        throw KqhostError("generate: expected --output-dir DIR (try 'kqhost generate --help')");
    }
    const Precision precision = options.setup.precision.value_or(Precision::Double);
    const kq::sim::SimulationSetup setup =
        toSimulationSetup(options.setup, options.setup.channels.value_or(1), precision);

    kq::sim::BlockLibrary library(options.setup.blockPath);
    kq::sim::HostCaller caller(library.kvxFunction());
    kq::sim::Simulation simulation(caller, setup, hostOptionsFor(options.setup.blockPath));
    simulation.initialize();
    const std::string record = simulation.generateCode();
    simulation.terminate();

    GeneratedModel model;
    model.name = options.name;
    model.arguments = args;
    model.precision = precision;
    model.settings = parseCodegenRecord(record);
    if (model.settings.cutoffType != precision) {
        throw KqhostError(
            "code-generation record: Cutoff is not of the port's data type, as the block's "
            "kernels read it");
    }
    model.channels = setup.channels;
    model.frameBased = setup.frameLen > 0;
    model.frameLen = model.frameBased ? setup.frameLen : 1;
    model.inPlace = setup.inPlace;
    // The walk of the block's table for this port, with the running switch of the record.
    kq::sim::SimulationSetup recorded = setup;
    recorded.mode = model.settings.running ? 0.0 : 1.0;
    model.walk = kernelWalkFor(recorded);

    std::vector<OutputText> outputs = {{model.name + ".h", modelHeaderText(model)},
                                       {model.name + ".c", modelSourceText(model)}};
    for (const RuntimeSource& source : runtimeSources()) {
        outputs.push_back({std::string(source.fileName), std::string(source.text)});
    }
    if (options.selfTest) {
        outputs.push_back({model.name + "_self_test.h", selfTestHeaderText(model)});
        outputs.push_back({model.name + "_self_test.c",
                           selfTestSourceText(model, knownAnswers(options, setup, precision))});
    }
    writeAll(options.outputDir, outputs);
    return 0;
}

}  // namespace kq::kqhost
