// The summary of a kqhost validate run: the protocol checks, the counts over every simulation, and
// the first things found wrong with what is needed to replay them (seed, simulation number, setup,
// output step, position, expected and actual bits). The text depends on nothing but the seed, the
// options and the block, so a replayed run prints the same summary.
#ifndef KQ_SIM_KQHOST_VALIDATE_VALIDATE_REPORT_H
#define KQ_SIM_KQHOST_VALIDATE_VALIDATE_REPORT_H

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "sim/kqhost/validate/validate_protocol.h"
#include "sim/kqhost/validate/validate_random_setup.h"
#include "sim/kqhost/validate/validate_simulation.h"

namespace kq::kqhost {

class ValidateReport {
  public:
    // findingLimit: how many findings are shown in full.
    ValidateReport(uint64_t seed, size_t findingLimit);

    void addProtocolChecks(const std::vector<ProtocolCheck>& checks);
    // The outcome of simulation `index` (as --simulation numbers it) run with `setup`.
    void addSimulation(size_t index, const ValidateSetup& setup, const SimulationOutcome& outcome);

    // How many more findings are shown in full (a simulation's own limit).
    size_t findingsToShow() const;
    // No failed protocol check, no mismatch, no changed input and no block error.
    bool passed() const;
    void print(std::ostream& out) const;

  private:
    struct ShownFinding {
        size_t simulation;
        std::string setupText;
        kq::sim::SimulationSetup port;  // to place the finding in the port
        ValidateFinding finding;
    };

    void printFinding(std::ostream& out, const ShownFinding& shown) const;

    uint64_t seed_;
    size_t findingLimit_;
    std::vector<ProtocolCheck> checks_;
    size_t simulations_ = 0;
    size_t outputSteps_ = 0;
    size_t samplesCompared_ = 0;
    size_t mismatches_ = 0;
    size_t neverWritten_ = 0;
    size_t inputChanges_ = 0;
    size_t blockErrors_ = 0;
    size_t failedSimulations_ = 0;
    std::vector<ShownFinding> shown_;
};

}  // namespace kq::kqhost

#endif
