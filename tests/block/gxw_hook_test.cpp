#include <gtest/gtest.h>

#include <bit>
#include <string>

#include "block/block_hooks.h"
#include "block_test_support.h"
#include "host/data_types.h"

namespace {

using HostInstance = kq::test::BlockHost;

TEST(GxwHook, DoubleCutoffAndRunningSwitch) {
    HostInstance host;
    kq::test::TerminateAtEnd terminate(host);
    ASSERT_EQ(
        kq::test::startInstance(host, {.dims = {1, 1}, .secondParam = 0.0, .tolerance = -0.25}),
        "");
    ASSERT_EQ(kq::test::hostCall(host, kFlagGXW), "");
    EXPECT_EQ(host.recordWriter().record(),
              "RBlkParamSettings {\n  Cutoff = 0.25 (double)\n  Running = 1 (boolean)\n}\n");
}

TEST(GxwHook, SingleCutoffStateless) {
    HostInstance host;
    kq::test::TerminateAtEnd terminate(host);
    ASSERT_EQ(kq::test::startInstance(
                  host, {.dims = {1, 1}, .typeId = 1, .secondParam = 1.0, .tolerance = 0.1}),
              "");
    ASSERT_EQ(kq::test::hostCall(host, kFlagGXW), "");
    EXPECT_EQ(host.recordWriter().record(),
              "RBlkParamSettings {\n  Cutoff = 0.100000001 (single)\n  Running = 0 (boolean)\n}\n");
}

TEST(GxwHook, ExportsWhatTheWorkVectorHolds) {
    // In mode 3 the block does not load the cutoff itself: the record shows the host's value.
    HostInstance host(kq::sim::HostInstanceOptions{.simMode = 3});
    kq::test::TerminateAtEnd terminate(host);
    ASSERT_EQ(kq::test::startInstance(host, {.dims = {1, 1}, .tolerance = 2.0}), "");
    *static_cast<double*>(host.block()->workVectors[0].data) = 1.5;
    ASSERT_EQ(kq::test::hostCall(host, kFlagGXW), "");
    EXPECT_NE(host.recordWriter().record().find("Cutoff = 1.5 (double)"), std::string::npos);
}

TEST(GxwHook, WriterFailureIsReportedAndStopsTheRecord) {
    HostInstance host;
    kq::test::TerminateAtEnd terminate(host);
    ASSERT_EQ(kq::test::startInstance(host, {.dims = {1, 1}}), "");
    host.recordWriter().failCall(2, 0);  // the first pair
    kq::test::hostCall(host, kFlagGXW);
    EXPECT_EQ(host.recordWriter().record(), "RBlkParamSettings {\n");
}

constexpr const char* kCutoffNotReady =
    "Work vector Cutoff is missing or not of the input's data type: the host must set the work "
    "widths and allocate the work vectors before it asks for the code-generation record";

// Code generation asked for before the host holds a cutoff of the input's type: the hook reports
// it and writes no record, rather than returning as if it had written one.
enum class CutoffState { NoWorkVectorsYet, NotAllocated, InputTypeChangedAfterWidths };

class GxwWithoutCutoff : public ::testing::TestWithParam<CutoffState> {};

TEST_P(GxwWithoutCutoff, ReportsAndWritesNothing) {
    HostInstance host;
    kq::test::TerminateAtEnd terminate(host);
    host.setDialogParams({vzCreateDoubleScalar(1.0), vzCreateDoubleScalar(0.0)});
    ASSERT_EQ(kq::test::loadBlock(host), "");
    host.propagateInputShape({1, 2}, kFrameModeSample);
    host.hostInfo().portValue = kTypeIdSingle;
    ASSERT_EQ(kq::test::hostCall(host, kFlagSetInputPortDataType), "");
    if (GetParam() != CutoffState::NoWorkVectorsYet) {
        ASSERT_EQ(kq::test::hostCall(host, kFlagSetWorkWidths), "");
    }
    if (GetParam() == CutoffState::InputTypeChangedAfterWidths) {
        host.allocateBuffers(false);
        host.hostInfo().portValue = kTypeIdDouble;
        ASSERT_EQ(kq::test::hostCall(host, kFlagSetInputPortDataType), "");
    }
    EXPECT_EQ(kq::test::hostCall(host, kFlagGXW), kCutoffNotReady);
    EXPECT_EQ(host.recordWriter().record(), "");
}

INSTANTIATE_TEST_SUITE_P(BeforeStart, GxwWithoutCutoff,
                         ::testing::Values(CutoffState::NoWorkVectorsYet, CutoffState::NotAllocated,
                                           CutoffState::InputTypeChangedAfterWidths));

}  // namespace
