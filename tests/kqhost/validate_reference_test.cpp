// The reference of kqhost validate: which walk each layout and mode gets, the cutoff a Tolerance
// gives, and the reference's outputs, state, resets and tolerance changes on worked examples of
// the unwrap (values as the wrap step produces them).
#include "sim/kqhost/validate/validate_reference.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "host/data_types.h"

namespace {

using kq::kqhost::KernelWalk;
using kq::kqhost::ReferenceUnwrap;
using kq::sim::PortShape;
using kq::sim::SimulationSetup;

SimulationSetup portSetup(size_t frameLen, PortShape shape, size_t channels, double mode) {
    SimulationSetup setup;
    setup.frameLen = frameLen;
    setup.shape = shape;
    setup.channels = channels;
    setup.mode = mode;
    return setup;
}

struct WalkCase {
    std::string name;
    SimulationSetup setup;
    KernelWalk::Shape shape;
    int32_t numChans;
    int32_t frameLen;
};

class ValidateKernelWalk : public ::testing::TestWithParam<WalkCase> {};

TEST_P(ValidateKernelWalk, FollowsTheBlocksLayoutForThePort) {
    const WalkCase& c = GetParam();
    const KernelWalk walk = kq::kqhost::kernelWalkFor(c.setup);
    EXPECT_EQ(walk.shape, c.shape);
    EXPECT_EQ(walk.numChans, c.numChans);
    EXPECT_EQ(walk.frameLen, c.frameLen);
    EXPECT_EQ(walk.values(), static_cast<size_t>(c.numChans * c.frameLen));
}

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(
    Table, ValidateKernelWalk,
    ::testing::Values(WalkCase{"FrameRunning", portSetup(4, PortShape::Row, 3, 0.0),
                               KernelWalk::Shape::RunningFrame, 3, 4},
                      WalkCase{"FrameStateless", portSetup(4, PortShape::Row, 3, 1.0),
                               KernelWalk::Shape::Stateless, 3, 4},
                      WalkCase{"FrameOfOneRowRunning", portSetup(1, PortShape::Row, 9, 0.0),
                               KernelWalk::Shape::RunningFrame, 9, 1},
                      WalkCase{"RowRunning", portSetup(0, PortShape::Row, 5, 0.0),
                               KernelWalk::Shape::RunningSample, 5, 1},
                      WalkCase{"RowRunningNegativeZeroMode", portSetup(0, PortShape::Row, 5, -0.0),
                               KernelWalk::Shape::RunningSample, 5, 1},
                      WalkCase{"RowStateless", portSetup(0, PortShape::Row, 5, 1.0),
                               KernelWalk::Shape::Stateless, 1, 5},
                      WalkCase{"RowStatelessNaNMode", portSetup(0, PortShape::Row, 5, kNaN),
                               KernelWalk::Shape::Stateless, 1, 5},
                      WalkCase{"ColumnRunning", portSetup(0, PortShape::Column, 8, 0.0),
                               KernelWalk::Shape::RunningSample, 8, 1},
                      WalkCase{"ColumnStateless", portSetup(0, PortShape::Column, 8, -1.0),
                               KernelWalk::Shape::Stateless, 1, 8},
                      WalkCase{"VectorRunning", portSetup(0, PortShape::Vector, 5, 0.0),
                               KernelWalk::Shape::RunningFrame, 1, 5},
                      WalkCase{"VectorStateless", portSetup(0, PortShape::Vector, 5, 0.5),
                               KernelWalk::Shape::Stateless, 1, 5}),
    [](const ::testing::TestParamInfo<WalkCase>& testCase) { return testCase.param.name; });

TEST(ValidateCutoff, IsTheMagnitudeOfTheToleranceInThePortPrecision) {
    struct Case {
        double tolerance;
        uint64_t doubleBits;
        uint32_t singleBits;
    };
    const Case cases[] = {
        {-0.5, std::bit_cast<uint64_t>(0.5), std::bit_cast<uint32_t>(0.5f)},
        {0.5, std::bit_cast<uint64_t>(0.5), std::bit_cast<uint32_t>(0.5f)},
        // The value itself when above zero, else its negation: zeros change sign.
        {0.0, std::bit_cast<uint64_t>(-0.0), std::bit_cast<uint32_t>(-0.0f)},
        {-0.0, std::bit_cast<uint64_t>(0.0), std::bit_cast<uint32_t>(0.0f)},
        {0.1, std::bit_cast<uint64_t>(0.1), std::bit_cast<uint32_t>(0.1f)},
        {-std::numeric_limits<double>::infinity(),
         std::bit_cast<uint64_t>(std::numeric_limits<double>::infinity()),
         std::bit_cast<uint32_t>(std::numeric_limits<float>::infinity())},
        // Beyond the single range: infinity, as rounding to nearest gives.
        {-1e300, std::bit_cast<uint64_t>(1e300),
         std::bit_cast<uint32_t>(std::numeric_limits<float>::infinity())},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(std::bit_cast<uint64_t>(kq::kqhost::cutoffFor<double>(c.tolerance)), c.doubleBits)
            << c.tolerance;
        EXPECT_EQ(std::bit_cast<uint32_t>(kq::kqhost::cutoffFor<float>(c.tolerance)), c.singleBits)
            << c.tolerance;
    }
    EXPECT_TRUE(std::isnan(kq::kqhost::cutoffFor<double>(kNaN)));
    EXPECT_TRUE(std::isnan(kq::kqhost::cutoffFor<float>(kNaN)));
}

// Runs the reference over output steps and returns every output, step after step.
template <typename T>
std::vector<T> runSteps(ReferenceUnwrap<T>& reference, const std::vector<std::vector<T>>& steps) {
    std::vector<T> outputs;
    for (const std::vector<T>& input : steps) {
        std::vector<T> out(input.size());
        reference.step(input.data(), out.data());
        outputs.insert(outputs.end(), out.begin(), out.end());
    }
    return outputs;
}

constexpr double kPi = 3.141592653589793;

TEST(ValidateReference, RunningElementsCarryEachElementAcrossSteps) {
    ReferenceUnwrap<double> reference({KernelWalk::Shape::RunningSample, 2, 1}, kPi);
    EXPECT_EQ(runSteps<double>(reference, {{0, 1}, {4, -3}, {8, -6}}),
              (std::vector<double>{0, 1, -2.2831853071795862, 3.2831853071795862,
                                   -4.5663706143591725, 0.28318530717958623}));
}

TEST(ValidateReference, RunningChannelsCarryOnAcrossTheStepBoundary) {
    ReferenceUnwrap<double> reference({KernelWalk::Shape::RunningFrame, 1, 2}, -kPi);
    EXPECT_EQ(runSteps<double>(reference, {{0, 3}, {-3, 0}}),
              (std::vector<double>{0, 3, 3.2831853071795862, 6.283185307179586}));
}

TEST(ValidateReference, StatelessStepsForgetEverything) {
    ReferenceUnwrap<double> reference({KernelWalk::Shape::Stateless, 1, 3}, kPi);
    const std::vector<double> once{0, -2.2831853071795862, -4.5663706143591725};
    EXPECT_EQ(runSteps<double>(reference, {{0, 4, 8}}), once);
    EXPECT_EQ(runSteps<double>(reference, {{0, 4, 8}}), once);
}

TEST(ValidateReference, AResetStartsAfreshAndAToleranceChangeKeepsTheCorrections) {
    ReferenceUnwrap<double> reference({KernelWalk::Shape::RunningSample, 1, 1}, kPi);
    EXPECT_EQ(runSteps<double>(reference, {{0}, {4}}),
              (std::vector<double>{0, -2.2831853071795862}));
    // A cutoff above the next jump's correction: no new correction, the old one stays.
    reference.setTolerance(-7.0);
    EXPECT_EQ(runSteps<double>(reference, {{8}}), (std::vector<double>{1.7168146928204138}));
    // After a reset the first step returns its input unchanged.
    reference.reset();
    EXPECT_EQ(runSteps<double>(reference, {{12}, {16}}), (std::vector<double>{12, 16}));
}

TEST(ValidateReference, SingleRunningChannelRoundsTheCorrectionBetweenSteps) {
    ReferenceUnwrap<float> reference({KernelWalk::Shape::RunningFrame, 1, 4},
                                     static_cast<double>(3.1415927f));
    EXPECT_EQ(
        runSteps<float>(reference, {{0, 4, 8, 12}, {16, 20, 24, 28}}),
        (std::vector<float>{
            0.0f, -2.2831855f, -4.566371f, -6.8495564f, static_cast<float>(-9.132741928100586),
            static_cast<float>(-11.415926933288574), static_cast<float>(-13.699111938476562),
            static_cast<float>(-15.982297897338867)}));
}

}  // namespace
