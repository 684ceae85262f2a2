#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

#include "block/block_hooks.h"
#include "block/unwrap_args.h"
#include "block/work_vectors.h"
#include "block_test_support.h"
#include "host/data_types.h"
#include "sim/sig_blk_common/sig_blk_host.h"

using namespace kq;

namespace {

using HostInstance = kq::test::BlockHost;
using kq::sim::HostInstanceOptions;

double* inputOf(HostInstance& host) {
    return static_cast<double*>(host.block()->inputPorts[0].data);
}
double* outputOf(HostInstance& host) {
    return static_cast<double*>(host.block()->outputPorts[0].data);
}

// One output step of a 1x1 running double instance.
double stepOne(HostInstance& host, double x) {
    inputOf(host)[0] = x;
    EXPECT_EQ(kq::test::hostCall(host, kFlagOutputs), "");
    return outputOf(host)[0];
}

TEST(Lifecycle, ContinuousSampleTimeIsRefusedAtStart) {
    HostInstance host;
    kq::test::TerminateAtEnd terminate(host);
    ASSERT_EQ(kq::test::prepareInstance(host, {.dims = {1, 1}, .samplePeriod = 0.0}), "");
    EXPECT_EQ(kq::test::hostCall(host, kFlagStart),
              "Input to block must have a discrete sample time");
    EXPECT_EQ(host.block()->userData, nullptr);
    EXPECT_EQ(kq::test::hostCall(host, kFlagOutputs), "");  // no record: writes nothing
    EXPECT_EQ(kq::test::hostCall(host, kFlagTerminate), "");
}

TEST(Lifecycle, DiscreteSampleTimesStart) {
    for (double period : {0.1, -1.0, std::numeric_limits<double>::quiet_NaN()}) {
        HostInstance host;
        kq::test::TerminateAtEnd terminate(host);
        ASSERT_EQ(kq::test::startInstance(host, {.dims = {1, 1}, .samplePeriod = period}), "");
        EXPECT_NE(host.block()->userData, nullptr);
    }
}

TEST(Lifecycle, RunningUnwrapCarriesOnAndAResetRestartsIt) {
    HostInstance host;
    kq::test::TerminateAtEnd terminate(host);
    ASSERT_EQ(kq::test::startInstance(host, {.dims = {1, 1}}), "");
    EXPECT_EQ(stepOne(host, 0.0), 0.0);
    EXPECT_EQ(stepOne(host, 4.0), -2.2831853071795862);
    EXPECT_EQ(stepOne(host, 8.0), -4.5663706143591725);
    ASSERT_EQ(kq::test::hostCall(host, kFlagInitializeConditions), "");
    EXPECT_EQ(stepOne(host, 8.0), 8.0);  // a first call again: passed through
    EXPECT_EQ(stepOne(host, 12.0), 12.0 - 6.283185307179586);
}

TEST(Lifecycle, ToleranceChangeTakesEffectAtTheNextCall) {
    HostInstance host;
    kq::test::TerminateAtEnd terminate(host);
    ASSERT_EQ(kq::test::startInstance(host, {.dims = {1, 1}}), "");
    EXPECT_EQ(stepOne(host, 0.0), 0.0);
    EXPECT_EQ(stepOne(host, 4.0), -2.2831853071795862);
    host.replaceDialogParam(0, vzCreateDoubleScalar(7.0));  // above 2 pi: no more corrections
    ASSERT_EQ(kq::test::hostCall(host, kFlagCheckParameters), "");
    ASSERT_EQ(kq::test::hostCall(host, kFlagProcessParameters), "");
    // The correction taken before stays; new steps are no longer corrected.
    EXPECT_EQ(stepOne(host, 8.0), 8.0 - 6.283185307179586);
}

TEST(Lifecycle, InPlaceOutputSharesTheInputBuffer) {
    HostInstance host;
    kq::test::TerminateAtEnd terminate(host);
    ASSERT_EQ(kq::test::startInstance(host, {.dims = {3, 1}, .frameMode = 1, .inPlace = true}), "");
    ASSERT_EQ(host.block()->inputPorts[0].data, host.block()->outputPorts[0].data);
    double* buffer = inputOf(host);
    buffer[0] = 0.0, buffer[1] = 4.0, buffer[2] = 8.0;
    ASSERT_EQ(kq::test::hostCall(host, kFlagOutputs), "");
    EXPECT_EQ(buffer[1], -2.2831853071795862);
    EXPECT_EQ(buffer[2], -4.5663706143591725);
}

TEST(Lifecycle, TerminateReleasesTheRecordAndASecondStartKeepsNoOldOne) {
    HostInstance host;
    kq::test::TerminateAtEnd terminate(host);
    ASSERT_EQ(kq::test::startInstance(host, {.dims = {1, 1}}), "");
    ASSERT_EQ(kq::test::hostCall(host, kFlagStart),
              "");  // the first record is released, not leaked
    EXPECT_NE(host.block()->userData, nullptr);
    ASSERT_EQ(kq::test::hostCall(host, kFlagTerminate), "");
    EXPECT_EQ(host.block()->userData, nullptr);
    EXPECT_EQ(kq::test::hostCall(host, kFlagTerminate), "");  // null is fine
}

TEST(Lifecycle, StartWithoutTheStateVectorsFails) {
    // Stateless when the widths were set, running by start: the state vectors do not exist.
    HostInstance host;
    kq::test::TerminateAtEnd terminate(host);
    ASSERT_EQ(kq::test::prepareInstance(host, {.dims = {1, 2}, .secondParam = 1.0}), "");
    host.replaceDialogParam(1, vzCreateDoubleScalar(0.0));
    EXPECT_NE(kq::test::hostCall(host, kFlagStart), "");
    EXPECT_EQ(host.block()->userData, nullptr);
}

class ResetWithoutTypeSize : public ::testing::TestWithParam<int32_t> {};

TEST_P(ResetWithoutTypeSize, ClearsExactlyTheCumsumWidth) {
    const int32_t typeId = GetParam();
    HostInstance host(HostInstanceOptions{.offerTypeSizeService = false});
    kq::test::TerminateAtEnd terminate(host);
    ASSERT_EQ(kq::test::prepareInstance(host, {.dims = {3, 2}, .typeId = typeId}), "");
    WorkVectorRecord& cumsum = host.block()->workVectors[2];
    const size_t elementSize = typeId == 1 ? 4 : 8;
    // A buffer with guard bytes after the vector's own width.
    std::vector<unsigned char> memory(cumsum.width * elementSize + 16, 0xAB);
    cumsum.data = memory.data();
    auto* firstStep = static_cast<uint8_t*>(host.block()->workVectors[3].data);
    *firstStep = 0;
    hookInitializeConditions(host.block());
    EXPECT_EQ(*firstStep, 1);
    for (size_t i = 0; i < memory.size(); ++i) {
        EXPECT_EQ(memory[i], i < cumsum.width * elementSize ? 0x00 : 0xAB) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(BothPrecisions, ResetWithoutTypeSize, ::testing::Values(0, 1));

TEST(Lifecycle, StatelessSampleBasedResetTouchesNoState) {
    HostInstance host;
    kq::test::TerminateAtEnd terminate(host);
    ASSERT_EQ(kq::test::prepareInstance(host, {.dims = {1, 2}, .secondParam = 1.0}), "");
    ASSERT_EQ(host.numWorkVectors(), 1);
    EXPECT_EQ(kq::test::hostCall(host, kFlagInitializeConditions), "");
    EXPECT_EQ(*static_cast<double*>(host.block()->workVectors[0].data), 3.141592653589793);
}

}  // namespace

namespace {

// A host that calls hooks out of order, after a size hook that failed on the parameter count:
// the block has no ports, and every hook leaves the instance alone instead of crashing.
TEST(Lifecycle, HooksOutOfOrderWithoutPortsDoNothing) {
    kq::test::BlockHost host;
    host.setDialogParams({vzCreateDoubleScalar(1.0)});  // one parameter: registration fails
    EXPECT_EQ(kq::test::loadBlock(host), "Block expects 2 dialog parameters");
    for (int32_t code : {kFlagSetWorkWidths, kFlagInitializeConditions, kFlagProcessParameters,
                         kFlagOutputs, kFlagTerminate}) {
        EXPECT_EQ(kq::test::hostCall(host, code), "") << code;
    }
    // The two that need what the block never got say so.
    EXPECT_NE(kq::test::hostCall(host, kFlagGXW), "");
    EXPECT_NE(kq::test::hostCall(host, kFlagStart), "");
    EXPECT_EQ(host.block()->userData, nullptr);
}

}  // namespace

namespace {

// A host that changes the input after the work vectors were declared: the vectors no longer fit,
// and nothing reads or writes them in the wrong size.
TEST(Lifecycle, InputChangedAfterTheWorkWidthsIsRefusedAtStart) {
    for (int change = 0; change < 2; ++change) {
        kq::test::BlockHost host;
        kq::test::TerminateAtEnd terminate(host);
        ASSERT_EQ(kq::test::prepareInstance(host, {.dims = {1, 2}, .typeId = kTypeIdSingle}), "");
        if (change == 0) {
            host.hostInfo().portValue = kTypeIdDouble;  // single vectors, double input
            ASSERT_EQ(kq::test::hostCall(host, kFlagSetInputPortDataType), "");
        } else {
            host.propagateInputShape({1, 5}, 0);  // state for 2 elements, input of 5
        }
        EXPECT_NE(kq::test::hostCall(host, kFlagStart), "");
        EXPECT_EQ(host.block()->userData, nullptr);
        EXPECT_EQ(kq::test::hostCall(host, kFlagOutputs), "");
    }
}

TEST(Lifecycle, CutoffIsOnlyWrittenAndExportedInItsDeclaredType) {
    kq::test::BlockHost host;
    ASSERT_EQ(kq::test::prepareInstance(host, {.dims = {1, 1}, .typeId = kTypeIdSingle}), "");
    host.hostInfo().portValue = kTypeIdDouble;
    ASSERT_EQ(kq::test::hostCall(host, kFlagSetInputPortDataType), "");
    auto* cutoff = static_cast<float*>(host.block()->workVectors[0].data);
    *cutoff = 5.0f;
    EXPECT_EQ(kq::test::hostCall(host, kFlagProcessParameters), "");
    EXPECT_EQ(*cutoff, 5.0f);  // a double would not fit in the single vector
    EXPECT_NE(kq::test::hostCall(host, kFlagGXW), "");
    EXPECT_EQ(host.recordWriter().record(), "");
}

TEST(Lifecycle, WorkWidthsBeforeTheDataTypeAreRefused) {
    kq::test::BlockHost host;
    host.setDialogParams({vzCreateDoubleScalar(1.0), vzCreateDoubleScalar(0.0)});
    ASSERT_EQ(kq::test::loadBlock(host), "");
    host.propagateInputShape({1, 2}, 0);
    EXPECT_EQ(kq::test::hostCall(host, kFlagSetWorkWidths),
              "Data type of the input must be double or single before the work vectors are set");
    EXPECT_EQ(host.numWorkVectors(), -1);
}

}  // namespace

namespace {

// State vectors declared before the input settled, wider than it then needs (or narrower for an
// input without rows, which needs none): start accepts them and the block runs exactly as with
// vectors that fit, call after call.
struct WiderStateCase {
    std::string name;
    std::vector<int32_t> dimsAtWorkWidths;  // the input when the widths are set
    int32_t frameModeAtWorkWidths;
    std::vector<int32_t> settledDims;  // and as propagation finally settles it
    int32_t settledFrameMode;
    double secondParam;
    int32_t declaredWidth;
    int32_t neededWidth;
};

void PrintTo(const WiderStateCase& c, std::ostream* os) {
    *os << c.name;
}

class WiderStateVectors : public ::testing::TestWithParam<WiderStateCase> {};

// Values with steps beyond pi along every channel and across calls.
void fillPhase(double* data, int32_t count, int call) {
    for (int32_t i = 0; i < count; ++i) {
        data[i] = std::fmod((call * 7 + i * 3) * 2.3, 25.0) - 12.0;
    }
}

TEST_P(WiderStateVectors, StartAcceptsThemAndRunsAsWithFittingOnes) {
    const WiderStateCase& c = GetParam();
    HostInstance wide;
    kq::test::TerminateAtEnd terminateWide(wide);
    ASSERT_EQ(kq::test::prepareInstance(wide, {.dims = c.dimsAtWorkWidths,
                                               .frameMode = c.frameModeAtWorkWidths,
                                               .secondParam = c.secondParam}),
              "");
    ASSERT_EQ(wide.block()->workVectors[kWorkPrev].width, c.declaredWidth);
    wide.propagateInputShape(c.settledDims, c.settledFrameMode);
    wide.allocateBuffers(false);
    ASSERT_EQ(kq::test::hostCall(wide, kFlagStart), "");
    ASSERT_EQ(kq::test::hostCall(wide, kFlagInitializeConditions), "");

    HostInstance fitting;
    kq::test::TerminateAtEnd terminateFitting(fitting);
    ASSERT_EQ(kq::test::startInstance(fitting, {.dims = c.settledDims,
                                                .frameMode = c.settledFrameMode,
                                                .secondParam = c.secondParam}),
              "");
    ASSERT_EQ(fitting.block()->workVectors[kWorkPrev].width, c.neededWidth);

    const int32_t count = fitting.block()->inputPorts[0].width;
    for (int call = 0; call < 3; ++call) {
        fillPhase(inputOf(wide), count, call);
        fillPhase(inputOf(fitting), count, call);
        ASSERT_EQ(kq::test::hostCall(wide, kFlagOutputs), "");
        ASSERT_EQ(kq::test::hostCall(fitting, kFlagOutputs), "");
        for (int32_t i = 0; i < count; ++i) {
            EXPECT_EQ(std::bit_cast<uint64_t>(outputOf(wide)[i]),
                      std::bit_cast<uint64_t>(outputOf(fitting)[i]))
                << "call " << call << ", element " << i;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(SettledAfterTheWidths, WiderStateVectors,
                         ::testing::Values(
                             // A frame mode still inherited gives one element per input element;
                             // frame based, the block needs one per channel.
                             WiderStateCase{"InheritedThenFrameRunning",
                                            {4, 3},
                                            kFrameModeInherited,
                                            {4, 3},
                                            kFrameModeFrame,
                                            0.0,
                                            12,
                                            3},
                             WiderStateCase{"InheritedThenFrameStateless",
                                            {4, 3},
                                            kFrameModeInherited,
                                            {4, 3},
                                            kFrameModeFrame,
                                            1.0,
                                            12,
                                            3},
                             // A frame of 0 rows needs no state: vectors of width C x 0 = 0
                             // declared while the mode was inherited start, and the output
                             // call runs the empty call.
                             WiderStateCase{"InheritedThenFrameOfZeroRowsRunning",
                                            {0, 3},
                                            kFrameModeInherited,
                                            {0, 3},
                                            kFrameModeFrame,
                                            0.0,
                                            0,
                                            3},
                             WiderStateCase{"TwoRowsThenOneRowRunning",
                                            {2, 3},
                                            kFrameModeSample,
                                            {1, 3},
                                            kFrameModeSample,
                                            0.0,
                                            6,
                                            3}),
                         [](const auto& testCase) { return testCase.param.name; });

// The block's one allocation per instance: start takes it from tqCalloc, a second start swaps it,
// terminate gives it back to tqFree, and a refused start takes nothing.
TEST(Lifecycle, StartHoldsOneRecordOfTqCallocUntilTerminate) {
    const size_t before = tqHeldAllocations();
    HostInstance running;
    HostInstance stateless;
    ASSERT_EQ(kq::test::prepareInstance(running, {.dims = {4, 3}, .frameMode = kFrameModeFrame}),
              "");
    ASSERT_EQ(kq::test::prepareInstance(stateless,
                                        {.dims = {1, 2}, .secondParam = 1.0, .samplePeriod = 0.0}),
              "");
    EXPECT_NE(kq::test::hostCall(stateless, kFlagStart), "");
    EXPECT_EQ(tqHeldAllocations(), before);
    stateless.resolveSampleTime(1.0, 0.0);

    ASSERT_EQ(kq::test::hostCall(running, kFlagStart), "");
    EXPECT_EQ(tqHeldAllocations(), before + 1);
    ASSERT_EQ(kq::test::hostCall(stateless, kFlagStart), "");
    EXPECT_EQ(tqHeldAllocations(), before + 2);
    ASSERT_EQ(kq::test::hostCall(running, kFlagStart), "");
    EXPECT_EQ(tqHeldAllocations(), before + 2);

    ASSERT_EQ(kq::test::hostCall(running, kFlagTerminate), "");
    EXPECT_EQ(tqHeldAllocations(), before + 1);
    ASSERT_EQ(kq::test::hostCall(stateless, kFlagTerminate), "");
    EXPECT_EQ(tqHeldAllocations(), before);
    ASSERT_EQ(kq::test::hostCall(stateless, kFlagTerminate), "");
    EXPECT_EQ(tqHeldAllocations(), before);
}

}  // namespace
