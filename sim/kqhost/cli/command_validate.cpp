// kqhost validate: protocol checks, then N random simulations of the block compared bit for bit
// with the plain reference of the unwrap.
#include "sim/kqhost/cli/commands.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <iostream>
#include <limits>
#include <optional>

#include "sim/engine/block_library.h"
#include "sim/engine/host_caller.h"
#include "sim/kqhost/cli/commands.h"
#include "sim/kqhost/cli/kqhost_defaults.h"
#include "sim/kqhost/cli/option_parsing.h"
#include "sim/kqhost/cli/progress_meter.h"
#include "sim/kqhost/cli/setup_options.h"
#include "sim/kqhost/io/kqhost_error.h"
#include "sim/kqhost/validate/validate_protocol.h"
#include "sim/kqhost/validate/validate_random.h"
#include "sim/kqhost/validate/validate_random_setup.h"
#include "sim/kqhost/validate/validate_report.h"
#include "sim/kqhost/validate/validate_simulation.h"

namespace kq::kqhost {

namespace {

constexpr const char* kValidateHelp = R"(Usage: kqhost validate [options]

Checks a block library against the block protocol: a few protocol checks first (the sizes
query, invalid flags, the command-line FLAG messages, a continuous sample time, the run-time
record that start takes and terminate must give back), then N random simulations, each driven
through the block's kvxFunction by the stand-in host and compared bit for bit, NaNs included,
with the plain reference of the unwrap walked the way the block must walk the port for its
layout.

Every simulation draws at random: frame based (N x C, N from 1, 2, 3, 7, 16, 17, 256, 1024,
2027, 4096 or from 1 to 5000) or sample based (a row, a column or a vector of C); C from 1, 2,
3, 8, 9; double or single; running or stateless; copying or in place; a sample period; a
tolerance (zeros, negative, tiny, huge, infinite and NaN ones included); the number of output
steps; tolerance changes and resets between them; and an input of wrapped phase mixed with hard
values (steps of exactly pi and 3pi, steps just beyond -pi, zeros of both signs, subnormals,
huge values, infinities, NaNs). Before each output step of a copying run the output buffer is
filled with a marker NaN, so that samples the block never writes are caught; after it the
input buffer must be unchanged.

The seed is printed first: the same seed replays the same run.

Options:
  --block PATH         block library (default: )" KQHOST_DEFAULT_BLOCK_NAME R"(.so beside kqhost)
  --iterations N       number of simulations (default 10000)
  --seed S             seed of the run (default: from the clock)
  --simulation K       run only simulation K of the seed's run, as the summary numbers them
  --help               this text

Prints a summary: the protocol checks, simulations, output steps, samples compared, mismatches
(the first few in full: simulation, setup, output step, position, expected and actual bits).
Exit status: 0 when every check passed and every output matched, 1 otherwise.
)";

constexpr size_t kDefaultIterations = 10000;
constexpr size_t kMaxIterations = 1000000000;
// Findings shown in full: a few from each failing simulation, so that different setups show.
constexpr size_t kFindingLimit = 8;
constexpr size_t kFindingsPerSimulation = 3;

uint64_t clockSeed() {
    return static_cast<uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
}

}  // namespace

int runValidateCommand(const std::vector<std::string>& args) {
    std::string blockPath = defaultBlockPath();
    size_t iterations = kDefaultIterations;
    std::optional<uint64_t> seed;
    std::optional<size_t> onlySimulation;
    OptionCursor cursor(args);
    while (!cursor.done()) {
        const std::string word = cursor.takeWord();
        if (word == "--help" || word == "-h") {
            std::cout << kValidateHelp;
            return 0;
        }
        if (word == "--block") {
            blockPath = cursor.takeValue(word);
        } else if (word == "--iterations") {
            iterations = parseIndex(word, cursor.takeValue(word), kMaxIterations);
        } else if (word == "--seed") {
            seed = parseIndex(word, cursor.takeValue(word), std::numeric_limits<uint64_t>::max());
        } else if (word == "--simulation") {
            onlySimulation = parseIndex(word, cursor.takeValue(word), kMaxIterations);
        } else {
            throw KqhostError("validate: unknown option '" + word +
                              "' (try 'kqhost validate --help')");
        }
    }
    const uint64_t runSeed = seed.value_or(clockSeed());
    // First, and at once: whatever happens to the run, it can be replayed.
    std::cout << "seed " << runSeed << std::endl;

    kq::sim::BlockLibrary library(blockPath);
    kq::sim::HostCaller caller(library.kvxFunction());
    const kq::sim::HostInstanceOptions hostOptions = hostOptionsFor(blockPath);
    ValidateReport report(runSeed, kFindingLimit);
    report.addProtocolChecks(runProtocolChecks(caller, hostOptions));

    const size_t first = onlySimulation.value_or(0);
    const size_t count = onlySimulation ? 1 : iterations;
    ProgressMeter progress(ProgressMeter::Clock::duration::zero());
    for (size_t i = 0; i < count; ++i) {
        ValidateRandom random(simulationSeed(runSeed, first + i));
        const ValidateSetup setup = drawValidateSetup(random);
        const SimulationOutcome outcome =
            runValidateSimulation(caller, hostOptions, setup, random,
                                  std::min(report.findingsToShow(), kFindingsPerSimulation));
        report.addSimulation(first + i, setup, outcome);
        progress.update("kqhost validate: {} of {} simulations", i + 1, count);
    }
    progress.finish();
    report.print(std::cout);
    return report.passed() ? 0 : 1;
}

}  // namespace kq::kqhost
