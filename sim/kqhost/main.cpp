// kqhost: a command-line host that loads the block and drives it through kvxFunction.
#include <cstdio>
#include <exception>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "kq_version.h"
#include "sim/engine/block_error.h"
#include "sim/kqhost/cli/commands.h"
#include "sim/kqhost/cli/kqhost_defaults.h"
#include "sim/kqhost/io/kqhost_error.h"
#include "sim/platform/file_io.h"

namespace {

constexpr const char* kUsage = R"(Usage: kqhost COMMAND [options]
  or:  kqhost --version

A stand-in simulation host for the )" KQHOST_DEFAULT_BLOCK_NAME
                               R"( phase-unwrap block: it loads the block library
and drives it through its one entry point, kvxFunction, as a block-diagram host would.

Commands:
  run INPUT OUTPUT   run one simulation of the block on a signal file and write the result
  gxw                set the block up and print its code-generation record
  generate           write C code for the model, made from the code-generation record
  sizes              make a command-line sizes query and print the 38 sizes entries
  validate           check the block against the protocol and the plain reference with
                     seeded random simulations (the seed is printed, for a replay)

Run 'kqhost COMMAND --help' for the options of a command.
Every command takes --block PATH (default: )" KQHOST_DEFAULT_BLOCK_NAME R"(.so beside kqhost,
else the installed block, in lib/<triplet>/)" KQHOST_DEFAULT_BLOCK_NAME R"(/ next to kqhost's bin/).
)";

int dispatch(std::string_view command, const std::vector<std::string>& args) {
    if (command == "run") {
        return kq::kqhost::runRunCommand(args);
    }
    if (command == "gxw") {
        return kq::kqhost::runGxwCommand(args);
    }
    if (command == "generate") {
        return kq::kqhost::runGenerateCommand(args);
    }
    if (command == "sizes") {
        return kq::kqhost::runSizesCommand(args);
    }
    if (command == "validate") {
        return kq::kqhost::runValidateCommand(args);
    }
    throw kq::kqhost::KqhostError("unknown command '" + std::string(command) +
                                  "' (try 'kqhost --help')");
}

}  // namespace

int main(int argc, char** argv) {
    // The same bytes on every platform: signal files through standard input and output, and
    // line feeds alone in text.
    kq::platform::useBinaryStandardStreams();
    if (argc < 2) {
        std::cerr << kUsage;
        return 2;
    }
    const std::string_view command = argv[1];
    if (command == "--help" || command == "-h" || command == "help") {
        std::cout << kUsage;
        return 0;
    }
    if (command == "--version") {
        std::cout << "kqhost " KQ_VERSION_STRING "\n";
        return 0;
    }
    try {
        return dispatch(command, std::vector<std::string>(argv + 2, argv + argc));
    } catch (const std::exception& error) {
        std::cout.flush();
        std::cerr << "kqhost: " << error.what() << '\n';
        return 1;
    }
}
