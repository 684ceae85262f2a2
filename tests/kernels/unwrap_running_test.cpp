// The eight running kernels on worked call sequences: each case runs through the copy and the
// in-place kernel of its shape and precision, on guarded buffers, checking the outputs and the
// Prev, Cumsum and FirstStep left after every call.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "kernel_test_support.h"

namespace {

using kq::test::KernelInfo;
using kq::test::KernelRunner;
using kq::test::sameBits;
using kq::test::Shape;

template <typename T>
struct RunningCall {
    T cutoff;
    std::vector<T> in;
    std::vector<T> out;
    std::vector<T> prev;
    std::vector<T> cumsum;
};

// Per-element cases have numChans elements of one sample each.
template <typename T>
struct RunningCase {
    const char* name;
    Shape shape;
    int32_t numChans;
    int32_t frameLen;
    std::vector<RunningCall<T>> calls;
};

template <typename T>
void checkRunningCase(const RunningCase<T>& c) {
    for (bool inPlace : {false, true}) {
        const KernelInfo<T>& kernel = kq::test::findKernel<T>(c.shape, inPlace);
        SCOPED_TRACE(kernel.name);
        // FirstStep starts true and Cumsum holds a marker: the first call must reset it.
        KernelRunner<T> runner(kernel, kq::test::stateLength(c.shape, c.numChans, c.frameLen));
        for (size_t i = 0; i < c.calls.size(); ++i) {
            SCOPED_TRACE(::testing::Message() << "call " << i);
            const RunningCall<T>& call = c.calls[i];
            EXPECT_TRUE(
                sameBits(runner.call(call.in, call.cutoff, c.numChans, c.frameLen), call.out));
            EXPECT_TRUE(sameBits(runner.prev(), call.prev)) << "Prev";
            EXPECT_TRUE(sameBits(runner.cumsum(), call.cumsum)) << "Cumsum";
            EXPECT_EQ(runner.firstStep(), 0);
        }
    }
}

template <typename T>
std::string caseName(const ::testing::TestParamInfo<RunningCase<T>>& info) {
    return info.param.name;
}

constexpr double kPi = 3.141592653589793;
constexpr double kTwoPi = 6.283185307179586;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

class RunningDouble : public ::testing::TestWithParam<RunningCase<double>> {};

TEST_P(RunningDouble, GivesTheWorkedBits) {
    checkRunningCase(GetParam());
}

INSTANTIATE_TEST_SUITE_P(
    WorkedValues, RunningDouble,
    ::testing::Values(
        // The step of -6 across the call boundary gets +2pi.
        RunningCase<double>{"FrameAcrossCallBoundary",
                            Shape::RunningFrame,
                            1,
                            2,
                            {{kPi, {0, 3}, {0, 3}, {3}, {0}},
                             {kPi, {-3, 0}, {3.2831853071795862, kTwoPi}, {0}, {kTwoPi}}}},
        RunningCase<double>{
            "FrameTwoChannels",
            Shape::RunningFrame,
            2,
            2,
            {{kPi, {0, 3, 1, 2}, {0, 3, 1, 2}, {3, 2}, {0, 0}},
             {kPi, {-3, 0, 5, 6}, {3.2831853071795862, kTwoPi, 5, 6}, {0, 6}, {kTwoPi, 0}}}},
        // A first call seeds Prev from its own samples: sample 0 of every channel is unchanged.
        RunningCase<double>{"FrameFirstCallPassesFirstSamples",
                            Shape::RunningFrame,
                            2,
                            3,
                            {{kPi,
                              {10, 14, 18, -20, -16, 0},
                              {10, 7.716814692820414, 5.4336293856408275, -20, -22.283185307179586,
                               -25.132741228718345},
                              {18, 0},
                              {-12.566370614359172, -25.132741228718345}}}},
        // A NaN at the end of a call stays in Prev; the next call's first step is skipped.
        RunningCase<double>{"FrameNaNAcrossCallBoundary",
                            Shape::RunningFrame,
                            1,
                            3,
                            {{kPi, {0, 4, kNaN}, {0, -2.2831853071795862, kNaN}, {kNaN}, {-kTwoPi}},
                             {kPi,
                              {8, 12, 16},
                              {1.7168146928204138, -0.5663706143591725, -2.8495559215387587},
                              {16},
                              {-18.84955592153876}}}},
        // A new cutoff applies to new corrections only; Cumsum keeps the earlier ones.
        RunningCase<double>{
            "FrameCutoffChangeKeepsCumsum",
            Shape::RunningFrame,
            1,
            2,
            {{kPi, {0, 4}, {0, -2.2831853071795862}, {4}, {-kTwoPi}},
             {7.0, {8, 12}, {1.7168146928204138, 5.716814692820414}, {12}, {-kTwoPi}}}},
        RunningCase<double>{
            "SampleThreeCalls",
            Shape::RunningSample,
            2,
            1,
            {{kPi, {0, 1}, {0, 1}, {0, 1}, {0, 0}},
             {kPi, {4, -3}, {-2.2831853071795862, 3.2831853071795862}, {4, -3}, {-kTwoPi, kTwoPi}},
             {kPi,
              {8, -6},
              {-4.5663706143591725, 0.28318530717958623},
              {8, -6},
              {-12.566370614359172, kTwoPi}}}},
        // The output is S + x with S = +0, so a -0 comes out as +0; Prev keeps the raw -0.
        RunningCase<double>{"SampleFirstCallPassesEveryValue",
                            Shape::RunningSample,
                            4,
                            1,
                            {{kPi,
                              {1e300, -kInf, kNaN, -0.0},
                              {1e300, -kInf, kNaN, 0.0},
                              {1e300, -kInf, kNaN, -0.0},
                              {0, 0, 0, 0}}}},
        // The NaN of one call stays in Prev, so the next call's step is skipped too.
        RunningCase<double>{"SampleNaNStaysLocal",
                            Shape::RunningSample,
                            1,
                            1,
                            {{kPi, {0}, {0}, {0}, {0}},
                             {kPi, {4}, {-2.2831853071795862}, {4}, {-kTwoPi}},
                             {kPi, {kNaN}, {kNaN}, {kNaN}, {-kTwoPi}},
                             {kPi, {8}, {1.7168146928204138}, {8}, {-kTwoPi}},
                             {kPi, {12}, {-0.5663706143591725}, {12}, {-12.566370614359172}}}}),
    caseName<double>);

constexpr float kPiF = 3.1415927f;

class RunningSingle : public ::testing::TestWithParam<RunningCase<float>> {};

TEST_P(RunningSingle, GivesTheWorkedBits) {
    checkRunningCase(GetParam());
}

INSTANTIATE_TEST_SUITE_P(
    WorkedValues, RunningSingle,
    ::testing::Values(
        // Cumsum is rounded to binary32 between the calls (-18.84955644607544 stored as
        // -18.84955596923828), so the second call differs from one call over all eight samples.
        RunningCase<float>{"FrameRoundsCumsumBetweenCalls",
                           Shape::RunningFrame,
                           1,
                           4,
                           {{kPiF,
                             {0, 4, 8, 12},
                             {0, -2.2831854820251465f, -4.566370964050293f, -6.8495564460754395f},
                             {12},
                             {-18.84955596923828f}},
                            {kPiF,
                             {16, 20, 24, 28},
                             {-9.132741928100586f, -11.415926933288574f, -13.699111938476562f,
                              -15.982297897338867f},
                             {28},
                             {-43.9822998046875f}}}},
        RunningCase<float>{"SampleOneTurn",
                           Shape::RunningSample,
                           2,
                           1,
                           {{kPiF, {0, 1}, {0, 1}, {0, 1}, {0, 0}},
                            {kPiF,
                             {4, -3},
                             {-2.2831854820251465f, 3.2831854820251465f},
                             {4, -3},
                             {-6.2831854820251465f, 6.2831854820251465f}}}}),
    caseName<float>);

// ---------------------------------------------------------------------------------------------
// Calls with nothing to do, and a new start

template <typename T>
class RunningKernels : public ::testing::Test {};
using Precisions = ::testing::Types<double, float>;
TYPED_TEST_SUITE(RunningKernels, Precisions);

// Without samples a first call only clears FirstStep: Prev and Cumsum keep what they held (the
// runner's marker), and no sample position is touched.
TYPED_TEST(RunningKernels, EmptyCallsOnlyClearFirstStep) {
    using T = TypeParam;
    struct Layout {
        int32_t numChans;
        int32_t frameLen;
    };
    for (const kq::test::KernelInfo<T>& kernel : kq::test::kernelCatalogue<T>()) {
        if (kernel.shape == Shape::Stateless) {
            continue;
        }
        for (const Layout layout : {Layout{0, 3}, Layout{3, 0}, Layout{0, 0}}) {
            SCOPED_TRACE(::testing::Message()
                         << kernel.name << ", " << layout.numChans << " x " << layout.frameLen);
            const size_t stateLen = kernel.shape == Shape::RunningFrame
                                        ? static_cast<size_t>(layout.numChans)
                                        : size_t{0};
            KernelRunner<T> runner(kernel, stateLen);
            const std::vector<T> untouched = runner.prev();
            for (int call = 0; call < 2; ++call) {
                EXPECT_TRUE(runner.call({}, T{0}, layout.numChans, layout.frameLen).empty());
                EXPECT_EQ(runner.firstStep(), 0);
                EXPECT_TRUE(sameBits(runner.prev(), untouched)) << "Prev";
                EXPECT_TRUE(sameBits(runner.cumsum(), untouched)) << "Cumsum";
            }
        }
    }
}

// After a new initialisation the next call is a first call again: earlier corrections are gone.
TYPED_TEST(RunningKernels, NewInitialisationStartsAfresh) {
    using T = TypeParam;
    const std::vector<T> first = {0, 4, 8, 1, 5, 9};
    const std::vector<T> second = {20, 24, 28, -3, 1, 5};
    for (const kq::test::KernelInfo<T>& kernel : kq::test::kernelCatalogue<T>()) {
        if (kernel.shape == Shape::Stateless) {
            continue;
        }
        SCOPED_TRACE(kernel.name);
        // Per channel: 2 channels of 3 samples; per element: 6 elements.
        const bool perChannel = kernel.shape == Shape::RunningFrame;
        const int32_t numChans = perChannel ? 2 : 6;
        const int32_t frameLen = perChannel ? 3 : 1;
        const T cutoff = static_cast<T>(3.141592653589793);

        KernelRunner<T> used(kernel, kq::test::stateLength(kernel.shape, numChans, frameLen));
        used.initializeConditions();
        used.call(first, cutoff, numChans, frameLen);
        used.call(second, cutoff, numChans, frameLen);
        used.initializeConditions();
        const std::vector<T> restarted = used.call(second, cutoff, numChans, frameLen);

        KernelRunner<T> fresh(kernel, kq::test::stateLength(kernel.shape, numChans, frameLen));
        fresh.initializeConditions();
        EXPECT_TRUE(sameBits(restarted, fresh.call(second, cutoff, numChans, frameLen)));
        EXPECT_TRUE(sameBits(used.prev(), fresh.prev()));
        EXPECT_TRUE(sameBits(used.cumsum(), fresh.cumsum()));
        // A first call leaves sample 0 of each channel as it came in.
        for (int32_t j = 0; j < numChans; ++j) {
            EXPECT_TRUE(sameBits(restarted[static_cast<size_t>(j) * frameLen],
                                 second[static_cast<size_t>(j) * frameLen]));
        }
    }
}

}  // namespace
