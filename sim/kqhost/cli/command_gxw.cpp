// kqhost gxw: the block's code-generation record.
#include <iostream>

#include "sim/engine/block_library.h"
#include "sim/engine/host_caller.h"
#include "sim/engine/simulation.h"
#include "sim/kqhost/cli/commands.h"
#include "sim/kqhost/cli/setup_options.h"
#include "sim/kqhost/io/kqhost_error.h"

namespace kq::kqhost {

namespace {
constexpr const char* kGxwHelp = R"(Usage: kqhost gxw [options]

Sets the block up as 'kqhost run' would, through the initial conditions, runs its
code-generation hook and prints the record that the host's writer formatted: the opening
text, one line per setting (name, value, type), the closing text.

Options:
)";
}  // namespace

int runGxwCommand(const std::vector<std::string>& args) {
    SetupOptions options;
    options.blockPath = defaultBlockPath();
    OptionCursor cursor(args);
    while (!cursor.done()) {
        const std::string word = cursor.takeWord();
        if (word == "--help" || word == "-h") {
            std::cout << kGxwHelp << kSetupOptionsHelp << "  --help               this text\n";
            return 0;
        }
        if (!takeSetupOption(word, cursor, options)) {
            throw KqhostError("gxw: unknown option '" + word + "' (try 'kqhost gxw --help')");
        }
    }
    const kq::sim::SimulationSetup setup = toSimulationSetup(
        options, options.channels.value_or(1), options.precision.value_or(Precision::Double));
    kq::sim::BlockLibrary library(options.blockPath);
    kq::sim::HostCaller caller(library.kvxFunction());
    kq::sim::Simulation simulation(caller, setup, hostOptionsFor(options.blockPath));
    simulation.initialize();
    std::cout << simulation.generateCode();
    simulation.terminate();
    return 0;
}

}  // namespace kq::kqhost
