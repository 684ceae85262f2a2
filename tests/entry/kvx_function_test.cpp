// The entry point's own part of a host call: where it finds the instance, and what it does when the
// host gives none.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "block_test_support.h"
#include "host/kvx_function.h"

namespace {

// A host call with no instance: leftArgs itself missing, or its instance slot empty. The block has
// nothing to run on and nowhere to store a message, so it returns at once and touches nothing; the
// call runs in a child process so that a crash fails the case rather than the whole suite.
struct NoInstanceCase {
    const char* name;
    double flag;
    bool withLeftArgs;
};

// Makes the call and exits with 0 when nothing the host handed over has changed.
[[noreturn]] void callWithoutInstance(const NoInstanceCase& c) {
    kq::test::Arrays arrays;
    vzArray* flag = arrays.scalar(c.flag);
    vzArray* leftArgs[2] = {nullptr, nullptr};
    const vzArray* rightArgs[4] = {nullptr, nullptr, nullptr, flag};
    kvxFunction(-1, c.withLeftArgs ? leftArgs : nullptr, 4, rightArgs);
    const bool untouched = leftArgs[0] == nullptr && leftArgs[1] == nullptr &&
                           rightArgs[3] == flag && vzGetScalar(flag) == c.flag;
    std::exit(untouched ? 0 : 1);
}

class HostCallWithoutInstance : public ::testing::TestWithParam<NoInstanceCase> {};

TEST_P(HostCallWithoutInstance, ReturnsWithoutTouchingAnything) {
    EXPECT_EXIT(callWithoutInstance(GetParam()), ::testing::ExitedWithCode(0), "");
}

// Codes that run a hook on the instance, codes that store a message in it, and an invalid one.
INSTANTIATE_TEST_SUITE_P(
    EveryKindOfCode, HostCallWithoutInstance,
    ::testing::Values(NoInstanceCase{"SampleTimesEmptySlot", kFlagInitializeSampleTimes, true},
                      NoInstanceCase{"OutputsEmptySlot", kFlagOutputs, true},
                      NoInstanceCase{"TerminateEmptySlot", kFlagTerminate, true},
                      NoInstanceCase{"StartEmptySlot", kFlagStart, true},
                      NoInstanceCase{"GxwEmptySlot", kFlagGXW, true},
                      NoInstanceCase{"ZeroCrossingsEmptySlot", kFlagZeroCrossings, true},
                      NoInstanceCase{"InvalidCodeEmptySlot", 100.0, true},
                      NoInstanceCase{"OutputsNoLeftArgs", kFlagOutputs, false},
                      NoInstanceCase{"InvalidCodeNoLeftArgs", 100.0, false}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

}  // namespace
