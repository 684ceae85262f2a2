#include <gtest/gtest.h>

#include <bit>
#include <string>

#include "block/block_hooks.h"
#include "block_test_support.h"

namespace {

using kq::sim::HostInstance;

TEST(GxwHook, DoubleCutoffAndRunningSwitch) {
    HostInstance host;
    kqtest::TerminateAtEnd terminate(host);
    ASSERT_EQ(kqtest::startInstance(host, {.dims = {1, 1}, .secondParam = 0.0, .tolerance = -0.25}),
              "");
    ASSERT_EQ(kqtest::hostCall(host, kFlagGXW), "");
    EXPECT_EQ(host.recordWriter().record(),
              "RBlkParamSettings {\n  Cutoff = 0.25 (double)\n  Running = 1 (boolean)\n}\n");
}

TEST(GxwHook, SingleCutoffStateless) {
    HostInstance host;
    kqtest::TerminateAtEnd terminate(host);
    ASSERT_EQ(kqtest::startInstance(
                  host, {.dims = {1, 1}, .typeId = 1, .secondParam = 1.0, .tolerance = 0.1}),
              "");
    ASSERT_EQ(kqtest::hostCall(host, kFlagGXW), "");
    EXPECT_EQ(host.recordWriter().record(),
              "RBlkParamSettings {\n  Cutoff = 0.100000001 (single)\n  Running = 0 (boolean)\n}\n");
}

TEST(GxwHook, ExportsWhatTheWorkVectorHolds) {
    // In mode 3 the block does not load the cutoff itself: the record shows the host's value.
    HostInstance host(kq::sim::HostInstanceOptions{.simMode = 3});
    kqtest::TerminateAtEnd terminate(host);
    ASSERT_EQ(kqtest::startInstance(host, {.dims = {1, 1}, .tolerance = 2.0}), "");
    *static_cast<double*>(host.block()->workVectors[0].data) = 1.5;
    ASSERT_EQ(kqtest::hostCall(host, kFlagGXW), "");
    EXPECT_NE(host.recordWriter().record().find("Cutoff = 1.5 (double)"), std::string::npos);
}

TEST(GxwHook, WriterFailureIsReportedAndStopsTheRecord) {
    HostInstance host;
    kqtest::TerminateAtEnd terminate(host);
    ASSERT_EQ(kqtest::startInstance(host, {.dims = {1, 1}}), "");
    host.recordWriter().failCall(2, 0);  // the first pair
    kqtest::hostCall(host, kFlagGXW);
    EXPECT_EQ(host.recordWriter().record(), "RBlkParamSettings {\n");
}

}  // namespace
