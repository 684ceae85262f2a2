#include "sim/kqhost/validate/validate_simulation.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <numbers>

#include "host/data_types.h"
#include "sim/engine/simulation.h"
#include "sim/kqhost/validate/validate_bits.h"
#include "sim/kqhost/validate/validate_phase_source.h"
#include "sim/kqhost/validate/validate_reference.h"

namespace kq::kqhost {

namespace {

void addFinding(SimulationOutcome& outcome, size_t limit, ValidateFinding finding) {
    if (outcome.findings.size() < limit) {
        outcome.findings.push_back(std::move(finding));
    }
}

// Counts the values of `actual` whose bits differ from `expected`, keeping the first findings.
template <typename T>
size_t compareBits(const T* expected, const T* actual, size_t count, ValidateFinding::Kind kind,
                   size_t step, SimulationOutcome& outcome, size_t limit) {
    if (std::memcmp(expected, actual, count * sizeof(T)) == 0) {
        return 0;
    }
    size_t differences = 0;
    for (size_t i = 0; i < count; ++i) {
        if (bitsOf(expected[i]) != bitsOf(actual[i])) {
            ++differences;
            addFinding(outcome, limit, {kind, step, i, bitsOf(expected[i]), bitsOf(actual[i]), {}});
        }
    }
    return differences;
}

template <typename T>
class ValidatedRun {
  public:
    ValidatedRun(kq::sim::Simulation& simulation, const ValidateSetup& setup,
                 ValidateRandom& random)
        : simulation_(simulation),
          setup_(setup),
          walk_(kernelWalkFor(setup.simulation)),
          reference_(walk_, setup.simulation.tolerance),
          input_(walk_.values()),
          expected_(walk_.values()),
          actual_(walk_.values()),
          markers_(walk_.values(), outputMarker<T>()) {
        for (int32_t lane = 0; lane < walk_.numChans; ++lane) {
            lanes_.emplace_back(setup.hardShare, setup.phaseSpread,
                                random.uniform(-std::numbers::pi, std::numbers::pi));
        }
    }

    void run(ValidateRandom& random, SimulationOutcome& outcome, size_t limit) {
        size_t nextEvent = 0;
        for (size_t step = 0; step < setup_.steps; ++step) {
            for (; nextEvent < setup_.events.size() && setup_.events[nextEvent].step == step;
                 ++nextEvent) {
                apply(setup_.events[nextEvent]);
            }
            outputStep(step, random, outcome, limit);
        }
    }

  private:
    void apply(const ValidateEvent& event) {
        if (event.isReset) {
            simulation_.reset();
            reference_.reset();
        } else {
            simulation_.setTolerance(event.tolerance);
            reference_.setTolerance(event.tolerance);
        }
    }

    void outputStep(size_t step, ValidateRandom& random, SimulationOutcome& outcome, size_t limit) {
        const size_t count = walk_.values();
        const size_t frameLen = static_cast<size_t>(walk_.frameLen);
        for (size_t lane = 0; lane < lanes_.size(); ++lane) {
            for (size_t n = 0; n < frameLen; ++n) {
                input_[lane * frameLen + n] = lanes_[lane].next(random);
            }
        }
        BlockInstance* block = simulation_.host().block();
        void* inPort = block->inputPorts[0].data;
        void* outPort = block->outputPorts[0].data;
        std::memcpy(inPort, input_.data(), count * sizeof(T));
        if (!setup_.simulation.inPlace) {
            std::memcpy(outPort, markers_.data(), count * sizeof(T));
        }
        simulation_.runOutputStep();
        ++outcome.outputSteps;

        reference_.step(input_.data(), expected_.data());
        std::memcpy(actual_.data(), outPort, count * sizeof(T));
        outcome.samplesCompared += count;
        const size_t mismatches = compareBits(expected_.data(), actual_.data(), count,
                                              ValidateFinding::Kind::Output, step, outcome, limit);
        outcome.mismatches += mismatches;
        if (!setup_.simulation.inPlace) {
            if (mismatches > 0) {
                outcome.neverWritten +=
                    static_cast<size_t>(std::count_if(actual_.begin(), actual_.end(), [](T value) {
                        return bitsOf(value) == bitsOf(outputMarker<T>());
                    }));
            }
            std::memcpy(actual_.data(), inPort, count * sizeof(T));
            outcome.inputChanges +=
                compareBits(input_.data(), actual_.data(), count,
                            ValidateFinding::Kind::InputChanged, step, outcome, limit);
        }
    }

    kq::sim::Simulation& simulation_;
    const ValidateSetup& setup_;
    KernelWalk walk_;
    ReferenceUnwrap<T> reference_;
    std::vector<PhaseSampleSource<T>> lanes_;
    std::vector<T> input_;
    std::vector<T> expected_;
    std::vector<T> actual_;
    std::vector<T> markers_;
};

}  // namespace

SimulationOutcome runValidateSimulation(kq::sim::HostCaller& caller,
                                        const kq::sim::HostInstanceOptions& hostOptions,
                                        const ValidateSetup& setup, ValidateRandom& random,
                                        size_t findingLimit) {
    SimulationOutcome outcome;
    try {
        kq::sim::Simulation simulation(caller, setup.simulation, hostOptions);
        simulation.initialize();
        if (setup.simulation.typeId == kTypeIdSingle) {
            ValidatedRun<float>(simulation, setup, random).run(random, outcome, findingLimit);
        } else {
            ValidatedRun<double>(simulation, setup, random).run(random, outcome, findingLimit);
        }
        simulation.terminate();
    } catch (const std::exception& error) {
        // The block's message, or what the host could not do with what the block declared (a
        // block without ports cannot be propagated).
        outcome.blockFailed = true;
        // A block error is always kept: it ends the simulation.
        outcome.findings.push_back(
            {ValidateFinding::Kind::BlockError, outcome.outputSteps, 0, 0, 0, error.what()});
    }
    return outcome;
}

}  // namespace kq::kqhost
