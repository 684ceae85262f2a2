#include "sim/kqhost/validate/validate_protocol.h"

#include <cmath>
#include <cstdint>
#include <exception>
#include <limits>
#include <memory>
#include <numbers>
#include <optional>

#include "host/kvx_function.h"
#include "host/sizes_entries.h"
#include "sim/engine/block_error.h"
#include "sim/engine/simulation.h"
#include "sim/libkvx/host_error.h"
#include "sim/libvz/vz_array_owner.h"
#include "sim/libvz/vz_host.h"
#include "sim/sig_blk_common/sig_blk_host.h"

namespace kq::kqhost {

namespace {

constexpr const char* kInvalidHostFlag = "Invalid flag encountered in veltrano";
constexpr const char* kUnexpectedInputWidth = "Unexpected call to hookSetInputPortWidth";
constexpr const char* kNeedsDiscreteSampleTime = "Input to block must have a discrete sample time";

using ArrayPtr = kq::sim::VzArrayPtr;

// What a call left behind: a message, or nothing.
using Message = std::optional<std::string>;

std::string quoted(const std::string& text) {
    return "\"" + text + "\"";
}

ProtocolCheck expectMessage(std::string name, const Message& got, const std::string& want) {
    ProtocolCheck check{std::move(name), got == want, {}};
    if (!check.passed) {
        check.detail = "expected " + quoted(want) + ", got " + (got ? quoted(*got) : "no message");
    }
    return check;
}

// A command-line call with FLAG = flag and the two dialog parameters; the SizesVector it returns,
// or the message it raised.
struct CommandLineResult {
    std::vector<double> sizes;
    Message raised;
};

CommandLineResult commandLineCall(kq::sim::HostCaller& caller, double flag) {
    const ArrayPtr empty(vzCreateDoubleMatrix(0, 0, vzREAL));
    const ArrayPtr flagArray(vzCreateDoubleScalar(flag));
    const ArrayPtr tolerance(vzCreateDoubleScalar(std::numbers::pi));
    const ArrayPtr mode(vzCreateDoubleScalar(0.0));
    const std::vector<const vzArray*> rightArgs = {empty.get(),     empty.get(),     empty.get(),
                                                   flagArray.get(), tolerance.get(), mode.get()};
    CommandLineResult result;
    try {
        result.sizes = caller.commandLine(1, rightArgs);
    } catch (const kq::sim::BlockError& error) {
        result.raised = error.what();
    }
    return result;
}

// The message a host call stores when its flag array holds `flag` (any double, NaN included).
Message hostCallMessage(kq::sim::HostCaller& caller, kq::sim::HostInstance& host, double flag) {
    const ArrayPtr flagArray(vzCreateDoubleScalar(flag));
    vzArray* leftArgs[2] = {nullptr, reinterpret_cast<vzArray*>(host.block())};
    const vzArray* rightArgs[4] = {nullptr, nullptr, nullptr, flagArray.get()};
    try {
        caller.kvxFunction()(-1, leftArgs, 4, rightArgs);
    } catch (const kq::sim::HostError& error) {
        return "(raised instead of stored) " + std::string(error.what());
    }
    if (host.block()->errorStatus == nullptr) {
        return std::nullopt;
    }
    return host.takeErrorStatus();
}

// Entry `index` of a SizesVector as an unsigned 32-bit word, or nullopt when it is not one.
std::optional<uint32_t> sizesWord(const std::vector<double>& sizes, size_t index) {
    if (index >= sizes.size() || !(sizes[index] >= 0.0 && sizes[index] <= 4294967295.0)) {
        return std::nullopt;
    }
    return static_cast<uint32_t>(sizes[index]);
}

ProtocolCheck sizesCheck(std::string name, const CommandLineResult& query, bool passed,
                         std::string detail) {
    if (query.raised) {
        return {std::move(name), false, "the sizes query raised " + quoted(*query.raised)};
    }
    return {std::move(name), passed, passed ? std::string() : std::move(detail)};
}

std::string entryText(const std::vector<double>& sizes, size_t index) {
    if (index >= sizes.size()) {
        return "missing";
    }
    const double value = sizes[index];
    return value == static_cast<double>(static_cast<int64_t>(value))
               ? std::to_string(static_cast<int64_t>(value))
               : std::to_string(value);
}

void addSizesChecks(kq::sim::HostCaller& caller, std::vector<ProtocolCheck>& checks) {
    const CommandLineResult query = commandLineCall(caller, 0.0);
    const std::vector<double>& sizes = query.sizes;
    checks.push_back(sizesCheck("sizes query returns 38 entries", query,
                                sizes.size() == kNumSizesEntries,
                                "it returned " + std::to_string(sizes.size())));
    checks.push_back(
        sizesCheck("sizes entry 19 is the interface stamp 5200229", query,
                   sizesWord(sizes, kSizesInterfaceStamp) == static_cast<uint32_t>(kvxLevel2Stamp),
                   "entry 19 is " + entryText(sizes, kSizesInterfaceStamp)));
    checks.push_back(sizesCheck(
        "sizes entries 2 and 3 (output and input ports) are 1", query,
        sizesWord(sizes, kSizesNumOutputPorts) == 1u && sizesWord(sizes, kSizesNumInputPorts) == 1u,
        "entries 2 and 3 are " + entryText(sizes, kSizesNumOutputPorts) + " and " +
            entryText(sizes, kSizesNumInputPorts)));
    const std::optional<uint32_t> options = sizesWord(sizes, kSizesBlockOptions);
    checks.push_back(sizesCheck("sizes entry 23 has the command-line bit 0x2000", query,
                                options && (*options & kBlockOptionCommandLineCall) != 0,
                                "entry 23 is " + entryText(sizes, kSizesBlockOptions)));
}

void addCommandLineFlagChecks(kq::sim::HostCaller& caller, const std::string& label,
                              std::vector<ProtocolCheck>& checks) {
    checks.push_back(expectMessage(
        "command-line call with FLAG 0.5", commandLineCall(caller, 0.5).raised,
        "The 4th right hand argument, FLAG, passed to " + label + " must be an integer"));
    checks.push_back(expectMessage("command-line call with FLAG 1",
                                   commandLineCall(caller, 1.0).raised,
                                   "Invalid flag passed to " + label));
}

void addHostCallChecks(kq::sim::HostCaller& caller, const kq::sim::HostInstanceOptions& options,
                       std::vector<ProtocolCheck>& checks) {
    kq::sim::HostInstance host(options);
    host.setDialogParams({vzCreateDoubleScalar(std::numbers::pi), vzCreateDoubleScalar(0.0)});
    Message registrationError;
    try {
        caller.registerBlock(host);
    } catch (const kq::sim::BlockError& error) {
        registrationError = error.what();
    }
    const double kFlags[] = {100.0, 105.0, 143.0, std::numeric_limits<double>::quiet_NaN()};
    for (double flag : kFlags) {
        const std::string name =
            "host call with flag " +
            (std::isnan(flag) ? std::string("NaN") : std::to_string(static_cast<int>(flag)));
        if (registrationError) {
            checks.push_back({name, false, "loading the block failed: " + *registrationError});
        } else {
            checks.push_back(
                expectMessage(name, hostCallMessage(caller, host, flag), kInvalidHostFlag));
        }
    }

    const std::string widthName = "host call with flag 115 and an empty input-port sizing slot";
    if (registrationError) {
        checks.push_back({widthName, false, "loading the block failed: " + *registrationError});
    } else if (host.block()->hookSlots.inputPortSizing != nullptr) {
        checks.push_back({widthName, false, "the block filled the input-port sizing slot at load"});
    } else {
        host.block()->sizes[kSizesCurrentPort] = 0;
        host.hostInfo().portValue = 1;
        checks.push_back(expectMessage(widthName,
                                       hostCallMessage(caller, host, kFlagSetInputPortWidth),
                                       kUnexpectedInputWidth));
    }
}

void addSampleTimeChecks(kq::sim::HostCaller& caller, const kq::sim::HostInstanceOptions& options,
                         std::vector<ProtocolCheck>& checks) {
    for (double period : {0.0, -0.0}) {
        kq::sim::SimulationSetup setup;
        setup.samplePeriod = period;
        Message message;
        try {
            kq::sim::Simulation simulation(caller, setup, options);
            simulation.initialize();
        } catch (const kq::sim::BlockError& error) {
            message = error.what();
        } catch (const std::exception& error) {
            // The host could not get as far as the start with what the block declared.
            message = "(host) " + std::string(error.what());
        }
        checks.push_back(expectMessage(std::string("start with the continuous sample time ") +
                                           (std::signbit(period) ? "-0" : "0"),
                                       message, kNeedsDiscreteSampleTime));
    }
}

// The block's one allocation: a start takes its run-time record from tqCalloc and the terminate
// gives it back to tqFree. The host's support library counts the blocks it hands out, so a record
// kept past terminate (one lost per instance) shows as a count that does not come back.
void addRunTimeRecordCheck(kq::sim::HostCaller& caller, const kq::sim::HostInstanceOptions& options,
                           std::vector<ProtocolCheck>& checks) {
    ProtocolCheck check{
        "start takes one record from tqCalloc and terminate gives it back", false, {}};
    const auto held = [before = tqHeldAllocations()] {
        return static_cast<int64_t>(tqHeldAllocations()) - static_cast<int64_t>(before);
    };
    try {
        kq::sim::Simulation simulation(caller, kq::sim::SimulationSetup{}, options);
        simulation.initialize();
        const int64_t afterStart = held();
        simulation.terminate();
        const int64_t afterTerminate = held();
        check.passed = afterStart == 1 && afterTerminate == 0;
        if (!check.passed) {
            check.detail = "blocks held from tqCalloc: " + std::to_string(afterStart) +
                           " after start, " + std::to_string(afterTerminate) +
                           " after terminate (expected 1 and 0)";
        }
    } catch (const kq::sim::BlockError& error) {
        check.detail = "the block failed: " + quoted(error.what());
    } catch (const std::exception& error) {
        check.detail = "(host) " + std::string(error.what());
    }
    checks.push_back(std::move(check));
}

}  // namespace

std::vector<ProtocolCheck> runProtocolChecks(kq::sim::HostCaller& caller,
                                             const kq::sim::HostInstanceOptions& hostOptions) {
    std::vector<ProtocolCheck> checks;
    addSizesChecks(caller, checks);
    addHostCallChecks(caller, hostOptions, checks);
    addCommandLineFlagChecks(caller, "KVX level2 R-block \"" + hostOptions.blockName + "\"",
                             checks);
    addSampleTimeChecks(caller, hostOptions, checks);
    addRunTimeRecordCheck(caller, hostOptions, checks);
    return checks;
}

}  // namespace kq::kqhost
