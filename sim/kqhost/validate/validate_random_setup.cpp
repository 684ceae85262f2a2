#include "sim/kqhost/validate/validate_random_setup.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <numbers>

#include "host/data_types.h"

namespace kq::kqhost {

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Tolerances at the edges of the cutoff comparison: zeros of both signs, the smallest values, the
// rounding residues of a step, the single pi, exactly one turn, and values no correction exceeds.
constexpr double kSpecialTolerances[] = {0.0,
                                         -0.0,
                                         std::numeric_limits<double>::denorm_min(),
                                         1e-300,
                                         1e-16,
                                         4.440892098500626e-16,
                                         1e-10,
                                         3.1415927410125732,
                                         6.283185307179586,
                                         -6.283185307179586,
                                         1e10,
                                         1e300,
                                         -1e300,
                                         kInf,
                                         -kInf,
                                         kNaN};

// Stateless values of the second parameter besides 1: anything but zero, NaN included.
constexpr double kOtherStatelessModes[] = {
    -1.0, 0.5, kNaN, kInf, std::numeric_limits<double>::denorm_min(), 1e300};

constexpr double kSamplePeriods[] = {1.0, 0.1, 1e-3, std::numeric_limits<double>::denorm_min(),
                                     1e300};

constexpr double kEventRates[] = {0.0, 0.0, 0.02, 0.1, 0.5};
constexpr double kHardShares[] = {0.0, 0.01, 0.05, 0.2, 0.6};
constexpr double kPhaseSpreads[] = {0.01, 0.5, 2.0, 3.1, 6.0, 40.0};

double drawTolerance(ValidateRandom& random) {
    const uint64_t kind = random.below(10);
    if (kind < 3) {
        return random.chance(0.5) ? std::numbers::pi : -std::numbers::pi;
    }
    if (kind < 6) {
        return random.pick(kSpecialTolerances);
    }
    if (kind < 9) {
        return random.uniform(-7.0, 7.0);
    }
    // Any magnitude from 1e-20 to 1e20, either sign. The power of ten is built from basic
    // operations only, which round the same everywhere (a library pow need not).
    double magnitude = random.uniform(1.0, 10.0);
    for (int64_t e = random.between(-20, 19); e != 0; e += e > 0 ? -1 : 1) {
        magnitude = e > 0 ? magnitude * 10.0 : magnitude / 10.0;
    }
    return random.chance(0.5) ? magnitude : -magnitude;
}

double drawMode(ValidateRandom& random) {
    if (random.chance(0.5)) {
        return random.chance(0.85) ? 0.0 : -0.0;
    }
    return random.chance(0.7) ? 1.0 : random.pick(kOtherStatelessModes);
}

double drawSamplePeriod(ValidateRandom& random) {
    return random.chance(0.7) ? random.pick(kSamplePeriods) : random.uniform(1e-6, 100.0);
}

void drawPort(ValidateRandom& random, kq::sim::SimulationSetup& setup) {
    setup.typeId = random.chance(0.5) ? kTypeIdDouble : kTypeIdSingle;
    setup.channels = random.pick(kValidateChannelCounts);
    if (random.chance(0.5)) {
        setup.frameLen = random.chance(0.7)
                             ? random.pick(kValidateFrameSizes)
                             : static_cast<size_t>(random.between(1, kValidateMaxRandomFrame));
    } else {
        setup.frameLen = 0;
        constexpr kq::sim::PortShape kShapes[] = {
            kq::sim::PortShape::Row, kq::sim::PortShape::Column, kq::sim::PortShape::Vector};
        setup.shape = random.pick(kShapes);
    }
    setup.inPlace = random.chance(0.5);
}

size_t drawSteps(ValidateRandom& random, size_t valuesPerStep) {
    size_t budget = 0;
    const double size = random.unit();
    if (size < 0.88) {
        budget = static_cast<size_t>(random.between(1, kValidateShortRunValues));
    } else if (size < 0.98) {
        budget =
            static_cast<size_t>(random.between(kValidateShortRunValues, kValidateMediumRunValues));
    } else {
        budget =
            static_cast<size_t>(random.between(kValidateMediumRunValues, kValidateLongRunValues));
    }
    const size_t maxSteps = std::max<size_t>(2, budget / valuesPerStep);
    return 1 + static_cast<size_t>(random.below(maxSteps));
}

std::vector<ValidateEvent> drawEvents(ValidateRandom& random, size_t steps) {
    const double changeRate = random.pick(kEventRates);
    const double resetRate = random.pick(kEventRates);
    std::vector<ValidateEvent> events;
    if (changeRate == 0.0 && resetRate == 0.0) {
        return events;
    }
    for (size_t step = 0; step < steps; ++step) {
        // Both may happen before one step, in either order.
        const bool resetFirst = random.chance(0.5);
        for (int turn = 0; turn < 2; ++turn) {
            const bool reset = (turn == 0) == resetFirst;
            if (random.chance(reset ? resetRate : changeRate)) {
                events.push_back({step, reset, reset ? 0.0 : drawTolerance(random)});
            }
        }
    }
    return events;
}

std::string numberText(double value) {
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

std::string portText(const kq::sim::SimulationSetup& setup) {
    const std::string channels = std::to_string(setup.channels);
    switch (layoutOf(setup)) {
        case ValidateLayout::Frame:
            return "frame " + std::to_string(setup.frameLen) + "x" + channels;
        case ValidateLayout::Row:
            return "sample-based row 1x" + channels;
        case ValidateLayout::Column:
            return "sample-based column " + channels + "x1";
        case ValidateLayout::Vector:
            break;
    }
    return "sample-based vector of " + channels;
}

std::string eventsText(const std::vector<ValidateEvent>& events) {
    constexpr size_t kShown = 6;
    if (events.empty()) {
        return "no events";
    }
    std::string text =
        std::to_string(events.size()) + (events.size() == 1 ? " event:" : " events:");
    for (size_t i = 0; i < events.size() && i < kShown; ++i) {
        text += (i > 0 ? ", " : " ") + std::string("before step ") +
                std::to_string(events[i].step) +
                (events[i].isReset ? " reset" : " tolerance " + numberText(events[i].tolerance));
    }
    if (events.size() > kShown) {
        text += ", ...";
    }
    return text;
}

}  // namespace

ValidateLayout layoutOf(const kq::sim::SimulationSetup& setup) {
    if (setup.frameLen > 0) {
        return ValidateLayout::Frame;
    }
    switch (setup.shape) {
        case kq::sim::PortShape::Row:
            return ValidateLayout::Row;
        case kq::sim::PortShape::Column:
            return ValidateLayout::Column;
        case kq::sim::PortShape::Vector:
            break;
    }
    return ValidateLayout::Vector;
}

bool isRunningMode(double mode) {
    return mode == 0.0;
}

ValidateSetup drawValidateSetup(ValidateRandom& random) {
    ValidateSetup setup;
    drawPort(random, setup.simulation);
    setup.simulation.mode = drawMode(random);
    setup.simulation.tolerance = drawTolerance(random);
    setup.simulation.samplePeriod = drawSamplePeriod(random);
    const size_t rows = setup.simulation.frameLen > 0 ? setup.simulation.frameLen : 1;
    setup.steps = drawSteps(random, rows * setup.simulation.channels);
    setup.events = drawEvents(random, setup.steps);
    setup.hardShare = random.pick(kHardShares);
    setup.phaseSpread = random.pick(kPhaseSpreads);
    return setup;
}

std::string describeSetup(const ValidateSetup& setup) {
    const kq::sim::SimulationSetup& s = setup.simulation;
    std::string text = s.typeId == kTypeIdSingle ? "single" : "double";
    text += isRunningMode(s.mode) ? " running" : " stateless";
    text += " (mode " + numberText(s.mode) + "), " + portText(s);
    text += s.inPlace ? ", in place" : ", copying";
    text += ", sample period " + numberText(s.samplePeriod);
    text += ", tolerance " + numberText(s.tolerance);
    text +=
        ", " + std::to_string(setup.steps) + (setup.steps == 1 ? " output step" : " output steps");
    char shares[80];
    std::snprintf(shares, sizeof shares, ", hard values %g%%, phase steps up to %g rad, ",
                  setup.hardShare * 100.0, setup.phaseSpread);
    text += shares;
    text += eventsText(setup.events);
    return text;
}

}  // namespace kq::kqhost
