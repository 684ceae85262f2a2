// kqhost generate: C code for the model, made from the block's code-generation record.
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "sim/engine/block_library.h"
#include "sim/engine/host_caller.h"
#include "sim/engine/simulation.h"
#include "sim/kqhost/cli/commands.h"
#include "sim/kqhost/cli/setup_options.h"
#include "sim/kqhost/generate/codegen_record.h"
#include "sim/kqhost/generate/generated_model.h"
#include "sim/kqhost/generate/runtime_sources.h"
#include "sim/kqhost/io/atomic_output_file.h"
#include "sim/kqhost/io/kqhost_error.h"
#include "sim/kqhost/validate/validate_random_setup.h"

namespace kq::kqhost {

namespace {

constexpr const char* kDefaultModelName = "kqphasefix2_model";

constexpr const char* kGenerateHelp = R"(usage: kqhost generate [options] --output-dir DIR

Sets the block up as 'kqhost run' would, asks it for its code-generation record as a host
does, and writes C99 code for the model into DIR, made from the record's Cutoff and Running:
  NAME.h, NAME.c        the port sizes, data type and state struct; NAME_initialize,
                        NAME_step(state, in, out), NAME_reset, NAME_set_tolerance,
                        NAME_terminate (no heap, no globals)
  kq_wrap_step.h, kq_soft_binary64.h, kq_wrap_step_soft.h, kq_unwrap_runtime.h,
  kq_unwrap_runtime.c   the target runtime; NAME.c compiles in the one kernel it calls
Compile NAME.c (alone: it holds the runtime) with -ffp-contract=off: the outputs then have the
bits of 'kqhost run'. Files already in DIR under these names are replaced; on failure none of
them is written.

Options:
  --name NAME          prefix of the generated names and files, a C identifier
                       (default kqphasefix2_model)
  --output-dir DIR     the folder to write to (created if missing)
)";

constexpr const char* kGenerateHelpTail = R"(  --help               this text
The setup options are those of 'kqhost run'. With no input file to take them from, --channels
defaults to 1 and --precision to double.
)";

struct GenerateOptions {
    SetupOptions setup;
    std::string name = kDefaultModelName;
    std::string outputDir;
};

// The files of the model, in the order they are written.
struct OutputText {
    std::string fileName;
    std::string text;
};

// Writes every file to a temporary beside its name first; only when all are written are they
// renamed into place, so a failure leaves none of them behind.
void writeAll(const std::filesystem::path& dir, const std::vector<OutputText>& outputs) {
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    if (error) {
        throw KqhostError(dir.string() + ": cannot create the folder: " + error.message());
    }
    std::vector<std::unique_ptr<AtomicOutputFile>> files;
    for (const OutputText& output : outputs) {
        files.push_back(std::make_unique<AtomicOutputFile>((dir / output.fileName).string()));
        files.back()->write(output.text.data(), output.text.size());
    }
    for (const std::unique_ptr<AtomicOutputFile>& file : files) {
        file->commit();
    }
}

}  // namespace

int runGenerateCommand(const std::vector<std::string>& args) {
    GenerateOptions options;
    options.setup.blockPath = defaultBlockPath();
    OptionCursor cursor(args);
    while (!cursor.done()) {
        const std::string word = cursor.takeWord();
        if (word == "--help" || word == "-h") {
            std::cout << kGenerateHelp << kSetupOptionsHelp << kGenerateHelpTail;
            return 0;
        }
        if (word == "--name") {
            options.name = cursor.takeValue(word);
        } else if (word == "--output-dir") {
            options.outputDir = cursor.takeValue(word);
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
    writeAll(options.outputDir, outputs);
    return 0;
}

}  // namespace kq::kqhost
