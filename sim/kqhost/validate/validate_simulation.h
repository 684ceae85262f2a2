// One simulation of kqhost validate: the stand-in host drives the block through its kvxFunction
// with a random setup and input, and every output step is checked against the reference.
//
// Per output step: the host applies the tolerance changes and resets due before it (to the block
// and to the reference alike), writes the input into input port 0's buffer, pre-fills a separate
// output buffer with outputMarker, runs the output hook, and then compares every output value
// with the reference bit for bit (NaNs included) and, for a copying run, the input buffer with
// what it wrote.
#ifndef KQ_SIM_KQHOST_VALIDATE_VALIDATE_SIMULATION_H
#define KQ_SIM_KQHOST_VALIDATE_VALIDATE_SIMULATION_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "sim/engine/host_caller.h"
#include "sim/engine/host_instance.h"
#include "sim/kqhost/validate/validate_random.h"
#include "sim/kqhost/validate/validate_random_setup.h"

namespace kq::kqhost {

// One thing found wrong in a simulation.
struct ValidateFinding {
    enum class Kind {
        Output,        // an output value differs from the reference
        InputChanged,  // a copying output step changed its input buffer
        BlockError     // the block reported an error; the simulation ended there
    };
    Kind kind;
    size_t step = 0;        // output step (from 0)
    size_t position = 0;    // element of the port buffer, in column-major order
    uint64_t expected = 0;  // bits: the reference's output, or the input as written
    uint64_t actual = 0;    // bits found in the buffer after the step
    std::string message;    // the block's message, for BlockError
};

struct SimulationOutcome {
    size_t outputSteps = 0;      // output steps run
    size_t samplesCompared = 0;  // output values compared with the reference
    size_t mismatches = 0;       // output values that differ
    size_t neverWritten = 0;     // of them, values that still hold the marker (copying runs)
    size_t inputChanges = 0;     // input values a copying step changed
    bool blockFailed = false;    // the block reported an error
    std::vector<ValidateFinding> findings;  // the first of them, up to the caller's limit
};

// Runs the simulation of `setup`, drawing the input from `random`. The block is loaded into a new
// instance with `hostOptions`. A block error (or a host error caused by what the block declared)
// ends the simulation and is returned as a finding, not thrown.
SimulationOutcome runValidateSimulation(kq::sim::HostCaller& caller,
                                        const kq::sim::HostInstanceOptions& hostOptions,
                                        const ValidateSetup& setup, ValidateRandom& random,
                                        size_t findingLimit);

}  // namespace kq::kqhost

#endif
