// One random simulation of kqhost validate: the port, the two dialog parameters, the sample time,
// how many output steps run, the tolerance changes and resets between them, and how hard the input
// is. Drawn from a seeded ValidateRandom, so the same seed gives the same setups.
#ifndef KQ_SIM_KQHOST_VALIDATE_VALIDATE_RANDOM_SETUP_H
#define KQ_SIM_KQHOST_VALIDATE_VALIDATE_RANDOM_SETUP_H

#include <cstddef>
#include <string>
#include <vector>

#include "sim/engine/simulation.h"
#include "sim/kqhost/validate/validate_random.h"

namespace kq::kqhost {

// The port layouts: frame based (N x C), or sample based as a 1 x C row, a C x 1 column or a
// one-dimensional vector of C elements.
enum class ValidateLayout { Frame, Row, Column, Vector };

// Something the host does between output steps.
struct ValidateEvent {
    size_t step;       // happens before output step `step` (from 0)
    bool isReset;      // true: the initial-conditions hook runs again; false: Tolerance changes
    double tolerance;  // the new Tolerance of a change
};

struct ValidateSetup {
    kq::sim::SimulationSetup simulation;
    size_t steps = 1;                   // output steps, at least 1
    std::vector<ValidateEvent> events;  // in the order they happen, steps never decreasing
    double hardShare = 0.0;             // share of input samples taken from the hard values
    double phaseSpread = 1.0;           // ordinary phase moves by up to this many radians a sample
};

// Frame lengths tried often; other frames are drawn from 1 to kValidateMaxRandomFrame.
inline constexpr size_t kValidateFrameSizes[] = {1, 2, 3, 7, 16, 17, 256, 1024, 2027, 4096};
inline constexpr size_t kValidateMaxRandomFrame = 5000;
inline constexpr size_t kValidateChannelCounts[] = {1, 2, 3, 8, 9};

// Work per simulation, in port values over all output steps: most simulations stay within the
// short budget, one in ten within the medium one, one in fifty runs up to the long one. A port
// larger than its budget still gets up to two output steps.
inline constexpr size_t kValidateShortRunValues = 10000;
inline constexpr size_t kValidateMediumRunValues = 100000;
inline constexpr size_t kValidateLongRunValues = 1000000;

ValidateLayout layoutOf(const kq::sim::SimulationSetup& setup);

// The running switch as the block reads it: the second dialog parameter equal to 0 (of either
// sign); any other value, NaN included, is stateless.
bool isRunningMode(double mode);

ValidateSetup drawValidateSetup(ValidateRandom& random);

// One line for a report, e.g. "double running (mode 0), frame 256x3, copying, sample period 1,
// tolerance 3.1415926535897931, 5 output steps, hard values 5%, phase steps up to 2 rad, no
// events".
std::string describeSetup(const ValidateSetup& setup);

}  // namespace kq::kqhost

#endif
