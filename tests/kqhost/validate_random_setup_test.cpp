// The random setups of kqhost validate: every kind of port, precision, mode and buffer arrangement
// turns up in a few hundred draws, every setup stays within its bounds, and a seed always draws
// the same setups.
#include "sim/kqhost/validate/validate_random_setup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <utility>
#include <vector>

#include "host/data_types.h"

namespace {

using kq::kqhost::ValidateLayout;
using kq::kqhost::ValidateRandom;
using kq::kqhost::ValidateSetup;

constexpr size_t kDraws = 600;

std::vector<ValidateSetup> drawSetups(uint64_t seed, size_t count) {
    std::vector<ValidateSetup> setups;
    for (size_t i = 0; i < count; ++i) {
        ValidateRandom random(kq::kqhost::simulationSeed(seed, i));
        setups.push_back(kq::kqhost::drawValidateSetup(random));
    }
    return setups;
}

size_t valuesPerStep(const ValidateSetup& setup) {
    const size_t rows = setup.simulation.frameLen > 0 ? setup.simulation.frameLen : 1;
    return rows * setup.simulation.channels;
}

TEST(ValidateRandomSetup, EveryLayoutPrecisionModeAndArrangementAppears) {
    std::set<std::pair<ValidateLayout, int32_t>> layoutsAndTypes;
    std::set<std::pair<bool, bool>> modesAndArrangements;
    for (const ValidateSetup& setup : drawSetups(1, kDraws)) {
        layoutsAndTypes.insert({kq::kqhost::layoutOf(setup.simulation), setup.simulation.typeId});
        modesAndArrangements.insert(
            {kq::kqhost::isRunningMode(setup.simulation.mode), setup.simulation.inPlace});
    }
    EXPECT_EQ(layoutsAndTypes.size(), 8u);       // 4 layouts x 2 precisions
    EXPECT_EQ(modesAndArrangements.size(), 4u);  // running or not x in place or not
}

TEST(ValidateRandomSetup, EveryListedFrameAndChannelCountAndSomeOtherFramesAppear) {
    std::set<size_t> frames;
    std::set<size_t> channels;
    size_t unlistedFrames = 0;
    for (const ValidateSetup& setup : drawSetups(2, kDraws)) {
        channels.insert(setup.simulation.channels);
        const size_t frame = setup.simulation.frameLen;
        if (frame == 0) {
            continue;
        }
        frames.insert(frame);
        if (std::find(std::begin(kq::kqhost::kValidateFrameSizes),
                      std::end(kq::kqhost::kValidateFrameSizes),
                      frame) == std::end(kq::kqhost::kValidateFrameSizes)) {
            ++unlistedFrames;
        }
    }
    for (size_t listed : kq::kqhost::kValidateFrameSizes) {
        EXPECT_TRUE(frames.count(listed)) << "frame " << listed;
    }
    EXPECT_EQ(channels, std::set<size_t>(std::begin(kq::kqhost::kValidateChannelCounts),
                                         std::end(kq::kqhost::kValidateChannelCounts)));
    EXPECT_GT(unlistedFrames, 10u);
}

TEST(ValidateRandomSetup, HardParametersAndEventsAppear) {
    bool zeroTolerance = false, negativeTolerance = false, nanTolerance = false;
    bool negativeZeroRunning = false, nanStateless = false;
    bool reset = false, toleranceChange = false, eventBeforeFirstStep = false;
    bool longRun = false;
    for (const ValidateSetup& setup : drawSetups(3, kDraws)) {
        const kq::sim::SimulationSetup& s = setup.simulation;
        zeroTolerance |= s.tolerance == 0.0;
        negativeTolerance |= s.tolerance < 0.0;
        nanTolerance |= std::isnan(s.tolerance);
        negativeZeroRunning |= s.mode == 0.0 && std::signbit(s.mode);
        nanStateless |= std::isnan(s.mode);
        longRun |= setup.steps * valuesPerStep(setup) > kq::kqhost::kValidateMediumRunValues;
        for (const kq::kqhost::ValidateEvent& event : setup.events) {
            reset |= event.isReset;
            toleranceChange |= !event.isReset;
            eventBeforeFirstStep |= event.step == 0;
        }
    }
    EXPECT_TRUE(zeroTolerance);
    EXPECT_TRUE(negativeTolerance);
    EXPECT_TRUE(nanTolerance);
    EXPECT_TRUE(negativeZeroRunning);
    EXPECT_TRUE(nanStateless);
    EXPECT_TRUE(reset);
    EXPECT_TRUE(toleranceChange);
    EXPECT_TRUE(eventBeforeFirstStep);
    EXPECT_TRUE(longRun);
}

TEST(ValidateRandomSetup, EverySetupStaysWithinItsBounds) {
    size_t shortRuns = 0;
    for (const ValidateSetup& setup : drawSetups(4, kDraws)) {
        const kq::sim::SimulationSetup& s = setup.simulation;
        SCOPED_TRACE(kq::kqhost::describeSetup(setup));
        EXPECT_TRUE(s.typeId == kTypeIdDouble || s.typeId == kTypeIdSingle);
        EXPECT_LE(s.frameLen, kq::kqhost::kValidateMaxRandomFrame);
        EXPECT_GT(s.samplePeriod, 0.0);
        EXPECT_TRUE(std::isfinite(s.samplePeriod));
        EXPECT_GE(setup.steps, 1u);
        const size_t work = setup.steps * valuesPerStep(setup);
        EXPECT_LE(work, std::max(2 * valuesPerStep(setup), kq::kqhost::kValidateLongRunValues));
        shortRuns += work <= kq::kqhost::kValidateShortRunValues ? 1 : 0;
        EXPECT_GE(setup.hardShare, 0.0);
        EXPECT_LT(setup.hardShare, 1.0);
        EXPECT_GT(setup.phaseSpread, 0.0);
        EXPECT_TRUE(std::is_sorted(setup.events.begin(), setup.events.end(),
                                   [](const auto& a, const auto& b) { return a.step < b.step; }));
        for (const kq::kqhost::ValidateEvent& event : setup.events) {
            EXPECT_LT(event.step, setup.steps);
        }
    }
    // Mostly short runs.
    EXPECT_GT(shortRuns, kDraws / 2);
}

TEST(ValidateRandomSetup, TheSameSeedDrawsTheSameSetupsAndAnotherSeedOthers) {
    const std::vector<ValidateSetup> first = drawSetups(99, 50);
    const std::vector<ValidateSetup> again = drawSetups(99, 50);
    const std::vector<ValidateSetup> other = drawSetups(100, 50);
    size_t same = 0;
    for (size_t i = 0; i < first.size(); ++i) {
        EXPECT_EQ(kq::kqhost::describeSetup(again[i]), kq::kqhost::describeSetup(first[i])) << i;
        ASSERT_EQ(again[i].events.size(), first[i].events.size()) << i;
        for (size_t e = 0; e < first[i].events.size(); ++e) {
            EXPECT_EQ(again[i].events[e].step, first[i].events[e].step);
            EXPECT_EQ(again[i].events[e].isReset, first[i].events[e].isReset);
        }
        same += kq::kqhost::describeSetup(other[i]) == kq::kqhost::describeSetup(first[i]) ? 1 : 0;
    }
    EXPECT_EQ(same, 0u);
}

TEST(ValidateRandomSetup, NeighbouringSimulationsDrawFromUnrelatedStreams) {
    std::set<uint64_t> seeds;
    for (uint64_t index = 0; index < 1000; ++index) {
        seeds.insert(kq::kqhost::simulationSeed(7, index));
        seeds.insert(kq::kqhost::simulationSeed(8, index));
    }
    EXPECT_EQ(seeds.size(), 2000u);
}

}  // namespace
