// kqhost sizes: a command-line sizes query of the block.
#include <cstdint>
#include <iostream>

#include "host/kvx_function.h"
#include "sim/engine/block_library.h"
#include "sim/engine/host_caller.h"
#include "sim/kqhost/cli/commands.h"
#include "sim/kqhost/cli/kqhost_defaults.h"
#include "sim/kqhost/cli/option_parsing.h"
#include "sim/kqhost/cli/setup_options.h"
#include "sim/kqhost/io/kqhost_error.h"
#include "sim/libvz/vz_array_owner.h"
#include "sim/libvz/vz_host.h"

namespace kq::kqhost {

namespace {

constexpr const char* kSizesHelp = R"(Usage: kqhost sizes [options]

Makes a command-line call of the block, as a host does to ask for its sizes: four arguments
(no load-time marker, FLAG as the fourth), then the two dialog parameters. Prints the 38
entries of the returned sizes vector as integers on one line.

Options:
  --tolerance X        the Tolerance dialog parameter (default )" KQHOST_DEFAULT_TOLERANCE_TEXT R"()
  --mode M             running (second parameter 0, default) or stateless (1)
  --flag V             the FLAG argument (default 0; any number, nan and inf included)
  --no-params          pass no dialog parameters
  --block PATH         block library (default: )" KQHOST_DEFAULT_BLOCK_NAME R"(.so beside kqhost)
  --help               this text

An error raised by the block is printed as 'kqhost: MESSAGE' and exits with status 1.
)";

}  // namespace

int runSizesCommand(const std::vector<std::string>& args) {
    double tolerance = kDefaultTolerance;
    double mode = 0.0;
    double flag = 0.0;
    bool withParams = true;
    std::string blockPath = defaultBlockPath();
    OptionCursor cursor(args);
    while (!cursor.done()) {
        const std::string word = cursor.takeWord();
        if (word == "--help" || word == "-h") {
            std::cout << kSizesHelp;
            return 0;
        } else if (word == "--tolerance") {
            tolerance = parseFiniteNumber(word, cursor.takeValue(word));
        } else if (word == "--mode") {
            mode = parseModeOption(cursor.takeValue(word));
        } else if (word == "--flag") {
            flag = parseAnyNumber(word, cursor.takeValue(word));
        } else if (word == "--no-params") {
            withParams = false;
        } else if (word == "--block") {
            blockPath = cursor.takeValue(word);
        } else {
            throw KqhostError("sizes: unknown option '" + word + "' (try 'kqhost sizes --help')");
        }
    }

    kq::sim::BlockLibrary library(blockPath);
    kq::sim::HostCaller caller(library.kvxFunction());
    kq::sim::VzArrayList arrays;
    std::vector<const vzArray*> rightArgs = {arrays.keep(vzCreateDoubleMatrix(0, 0, vzREAL)),
                                             arrays.keep(vzCreateDoubleMatrix(0, 0, vzREAL)),
                                             arrays.keep(vzCreateDoubleMatrix(0, 0, vzREAL)),
                                             arrays.keep(vzCreateDoubleScalar(flag))};
    if (withParams) {
        rightArgs.push_back(arrays.keep(vzCreateDoubleScalar(tolerance)));
        rightArgs.push_back(arrays.keep(vzCreateDoubleScalar(mode)));
    }
    const std::vector<double> sizes = caller.commandLine(1, rightArgs);
    for (size_t i = 0; i < sizes.size(); ++i) {
        std::cout << (i > 0 ? " " : "") << static_cast<int64_t>(sizes[i]);
    }
    std::cout << '\n';
    return 0;
}

}  // namespace kq::kqhost
