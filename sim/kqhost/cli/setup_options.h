// The options that set the block up, shared by 'run' and 'gxw'.
#ifndef KQ_SIM_KQHOST_CLI_SETUP_OPTIONS_H
#define KQ_SIM_KQHOST_CLI_SETUP_OPTIONS_H

#include <optional>
#include <string>
#include <string_view>

#include "sim/engine/simulation.h"
#include "sim/kqhost/cli/kqhost_defaults.h"
#include "sim/kqhost/cli/option_parsing.h"
#include "sim/kqhost/io/signal_format.h"

namespace kq::kqhost {

struct SetupOptions {
    double tolerance = kDefaultTolerance;
    double mode = 0.0;
    std::optional<Precision> precision;  // unset: from the input file
    std::optional<size_t> channels;
    size_t frameLen = 0;
    kq::sim::PortShape shape = kq::sim::PortShape::Row;
    bool shapeGiven = false;
    bool inPlace = false;
    double samplePeriod = 1.0;
    std::string blockPath;
};

// "running" gives 0, "stateless" 1.
double parseModeOption(std::string_view text);

// Takes the option `word` (already read from the cursor) when it is a setup option; returns false
// for any other word.
bool takeSetupOption(const std::string& word, OptionCursor& cursor, SetupOptions& options);

// The simulation setup for `channels` channels at `precision`; rejects a shape given together
// with --frame.
kq::sim::SimulationSetup toSimulationSetup(const SetupOptions& options, size_t channels,
                                           Precision precision);

// The host's options for the block library at `blockPath`: the host names the block after its
// library file, as the block's load-time name check expects.
kq::sim::HostInstanceOptions hostOptionsFor(const std::string& blockPath);

// Help text of the setup options, one per line.
extern const char* const kSetupOptionsHelp;

}  // namespace kq::kqhost

#endif
