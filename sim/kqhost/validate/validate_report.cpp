#include "sim/kqhost/validate/validate_report.h"

#include <cstdio>

#include "host/data_types.h"
#include "sim/kqhost/validate/validate_bits.h"

namespace kq::kqhost {

namespace {

// "0x400921fb54442d18 (3.1415926535897931)": the bits in the port's width and the value.
std::string bitsText(uint64_t bits, bool single) {
    char text[64];
    if (single) {
        const auto word = static_cast<uint32_t>(bits);
        std::snprintf(text, sizeof text, "0x%08x (%.9g)", static_cast<unsigned>(word),
                      static_cast<double>(fromBits<float>(word)));
    } else {
        std::snprintf(text, sizeof text, "0x%016llx (%.17g)", static_cast<unsigned long long>(bits),
                      fromBits<double>(bits));
    }
    return text;
}

std::string positionText(const kq::sim::SimulationSetup& port, size_t position) {
    const std::string element = "element " + std::to_string(position);
    switch (layoutOf(port)) {
        case ValidateLayout::Frame:
            return element + " (row " + std::to_string(position % port.frameLen) + ", column " +
                   std::to_string(position / port.frameLen) + ")";
        case ValidateLayout::Row:
            return element + " (row 0, column " + std::to_string(position) + ")";
        case ValidateLayout::Column:
            return element + " (row " + std::to_string(position) + ", column 0)";
        case ValidateLayout::Vector:
            break;
    }
    return element;
}

}  // namespace

ValidateReport::ValidateReport(uint64_t seed, size_t findingLimit)
    : seed_(seed), findingLimit_(findingLimit) {}

void ValidateReport::addProtocolChecks(const std::vector<ProtocolCheck>& checks) {
    checks_.insert(checks_.end(), checks.begin(), checks.end());
}

void ValidateReport::addSimulation(size_t index, const ValidateSetup& setup,
                                   const SimulationOutcome& outcome) {
    ++simulations_;
    outputSteps_ += outcome.outputSteps;
    samplesCompared_ += outcome.samplesCompared;
    mismatches_ += outcome.mismatches;
    neverWritten_ += outcome.neverWritten;
    inputChanges_ += outcome.inputChanges;
    blockErrors_ += outcome.blockFailed ? 1 : 0;
    if (outcome.mismatches > 0 || outcome.inputChanges > 0 || outcome.blockFailed) {
        ++failedSimulations_;
    }
    for (const ValidateFinding& finding : outcome.findings) {
        if (shown_.size() < findingLimit_) {
            shown_.push_back({index, describeSetup(setup), setup.simulation, finding});
        }
    }
}

size_t ValidateReport::findingsToShow() const {
    return findingLimit_ - shown_.size();
}

bool ValidateReport::passed() const {
    for (const ProtocolCheck& check : checks_) {
        if (!check.passed) {
            return false;
        }
    }
    return failedSimulations_ == 0;
}

void ValidateReport::printFinding(std::ostream& out, const ShownFinding& shown) const {
    const ValidateFinding& f = shown.finding;
    const bool single = shown.port.typeId == kTypeIdSingle;
    const std::string where =
        "output step " + std::to_string(f.step) + ", " + positionText(shown.port, f.position);
    switch (f.kind) {
        case ValidateFinding::Kind::Output: {
            std::string line = "  mismatch at " + where + ": expected " +
                               bitsText(f.expected, single) + ", actual " +
                               bitsText(f.actual, single);
            const uint64_t marker =
                single ? bitsOf(outputMarker<float>()) : bitsOf(outputMarker<double>());
            if (f.actual == marker) {
                line += " (never written)";
            }
            out << line << '\n';
            break;
        }
        case ValidateFinding::Kind::InputChanged:
            out << "  input changed by a copying call at " << where << ": was "
                << bitsText(f.expected, single) << ", now " << bitsText(f.actual, single) << '\n';
            break;
        case ValidateFinding::Kind::BlockError:
            out << "  block error after " << f.step << " output steps: \"" << f.message << "\"\n";
            break;
    }
}

void ValidateReport::print(std::ostream& out) const {
    size_t checksPassed = 0;
    for (const ProtocolCheck& check : checks_) {
        if (check.passed) {
            ++checksPassed;
        } else {
            out << "protocol check failed: " << check.name << ": " << check.detail << '\n';
        }
    }
    for (size_t i = 0; i < shown_.size(); ++i) {
        const ShownFinding& shown = shown_[i];
        if (i == 0 || shown_[i - 1].simulation != shown.simulation) {
            out << "simulation " << shown.simulation << " of seed " << seed_
                << " (replay: kqhost validate --seed " << seed_ << " --simulation "
                << shown.simulation << ")\n  setup: " << shown.setupText << '\n';
        }
        printFinding(out, shown);
    }
    const size_t findings = mismatches_ + inputChanges_ + blockErrors_;
    if (findings > shown_.size()) {
        out << "(" << findings - shown_.size() << " more findings not shown)\n";
    }
    out << "protocol checks: " << checksPassed << " of " << checks_.size() << " passed\n"
        << "simulations: " << simulations_ << " (" << failedSimulations_ << " failed)\n"
        << "output steps: " << outputSteps_ << '\n'
        << "samples compared: " << samplesCompared_ << '\n'
        << "mismatches: " << mismatches_ << '\n'
        << "outputs never written: " << neverWritten_ << '\n'
        << "input buffer changes: " << inputChanges_ << '\n'
        << "block errors: " << blockErrors_ << '\n'
        << "result: " << (passed() ? "pass" : "FAIL") << '\n';
}

}  // namespace kq::kqhost
