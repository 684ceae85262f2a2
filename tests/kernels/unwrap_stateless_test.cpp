// The four stateless kernels on worked inputs: each case runs through the copy and the in-place
// kernel of its precision, on guarded buffers (see KernelRunner).
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
struct StatelessCase {
    const char* name;
    int32_t numChans;
    int32_t frameLen;
    T cutoff;
    std::vector<T> in;
    std::vector<T> out;
};

template <typename T>
void checkStatelessCase(const StatelessCase<T>& c) {
    for (bool inPlace : {false, true}) {
        const KernelInfo<T>& kernel = kq::test::findKernel<T>(Shape::Stateless, inPlace);
        SCOPED_TRACE(kernel.name);
        KernelRunner<T> runner(kernel, 0);
        EXPECT_TRUE(sameBits(runner.call(c.in, c.cutoff, c.numChans, c.frameLen), c.out));
        // Nothing carries over: the same input gives the same output again.
        EXPECT_TRUE(sameBits(runner.call(c.in, c.cutoff, c.numChans, c.frameLen), c.out));
    }
}

template <typename T>
std::string caseName(const ::testing::TestParamInfo<StatelessCase<T>>& info) {
    return info.param.name;
}

constexpr double kPi = 3.141592653589793;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

class StatelessDouble : public ::testing::TestWithParam<StatelessCase<double>> {};

TEST_P(StatelessDouble, GivesTheWorkedBits) {
    checkStatelessCase(GetParam());
}

INSTANTIATE_TEST_SUITE_P(
    WorkedValues, StatelessDouble,
    ::testing::Values(
        // Steps of 3 stay; the step of -9 gets +2pi and the step of 3.5 -2pi.
        StatelessCase<double>{
            "MixedSteps", 1, 5, kPi, {0, 3, 6, -3, 0.5}, {0, 3, 6, 3.2831853071795862, 0.5}},
        StatelessCase<double>{
            "Ramp", 1, 3, kPi, {0, 4, 8}, {0, -2.2831853071795862, -4.5663706143591725}},
        // The correction of one channel does not leak into the next.
        StatelessCase<double>{"ChannelsIndependent",
                              2,
                              2,
                              kPi,
                              {0, 4, 0, -4},
                              {0, -2.2831853071795862, 0, 2.2831853071795862}},
        StatelessCase<double>{"FirstSamplesPassThrough",
                              2,
                              3,
                              kPi,
                              {10, 14, 18, -20, -16, 0},
                              {10, 7.716814692820414, 5.4336293856408275, -20, -22.283185307179586,
                               -25.132741228718345}},
        // Only the NaN position is NaN; the step after it is skipped, S stays.
        StatelessCase<double>{
            "NaNStaysLocal",
            1,
            5,
            kPi,
            {0, 4, kNaN, 8, 12},
            {0, -2.2831853071795862, kNaN, 1.7168146928204138, -0.5663706143591725}},
        StatelessCase<double>{"FrameLenOneCopiesEverySample",
                              4,
                              1,
                              kPi,
                              {1e300, -kInf, kNaN, -0.0},
                              {1e300, -kInf, kNaN, -0.0}},
        StatelessCase<double>{"NoChannels", 0, 3, kPi, {}, {}},
        StatelessCase<double>{"NoSamples", 3, 0, kPi, {}, {}}),
    caseName<double>);

constexpr float kPiF = 3.1415927f;

class StatelessSingle : public ::testing::TestWithParam<StatelessCase<float>> {};

TEST_P(StatelessSingle, GivesTheWorkedBits) {
    checkStatelessCase(GetParam());
}

INSTANTIATE_TEST_SUITE_P(
    WorkedValues, StatelessSingle,
    ::testing::Values(
        // 4 minus the single 2*pi.
        StatelessCase<float>{"OneTurn", 1, 2, kPiF, {0, 4}, {0, -2.2831854820251465f}},
        // S stays binary64 along the channel: only the outputs are rounded.
        StatelessCase<float>{
            "RampOfEight",
            1,
            8,
            kPiF,
            {0, 4, 8, 12, 16, 20, 24, 28},
            {0, -2.2831854820251465f, -4.566370964050293f, -6.8495564460754395f,
             -9.132741928100586f, -11.41592788696289f, -13.699112892150879f, -15.982297897338867f}},
        StatelessCase<float>{"ChannelsIndependent",
                             2,
                             2,
                             kPiF,
                             {0, 4, 0, -4},
                             {0, -2.2831854820251465f, 0, 2.2831854820251465f}},
        StatelessCase<float>{"NoChannels", 0, 2, kPiF, {}, {}},
        StatelessCase<float>{"NoSamples", 2, 0, kPiF, {}, {}}),
    caseName<float>);

}  // namespace
