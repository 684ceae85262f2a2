#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "block/block_hooks.h"
#include "block/dialog_params.h"
#include "block_test_support.h"
#include "host/data_types.h"

namespace {

using kq::sim::HostInstance;
using kq::sim::HostInstanceOptions;

void giveParams(HostInstance& host, double running) {
    host.setDialogParams({vzCreateDoubleScalar(3.141592653589793), vzCreateDoubleScalar(running)});
}

class InitializeSizesByMode : public ::testing::TestWithParam<int32_t> {};

TEST_P(InitializeSizesByMode, DeclaresPortsAndMarksParametersOnlyInModesTwoAndThree) {
    const int32_t mode = GetParam();
    HostInstance host(HostInstanceOptions{.simMode = mode});
    giveParams(host, 0.0);
    BlockInstance* b = host.block();
    b->paramAttributes[0] = 0xFFFFFFF6u;  // bit 0 clear, bits 1 and 2 set, bit 3 clear
    b->paramAttributes[1] = 0x6u;
    b->sizes[kSizesInstanceFlags] = 0x1000 | 0x1;
    hookInitializeSizes(b);
    EXPECT_EQ(b->errorStatus, nullptr);
    EXPECT_EQ(b->sizes[kSizesInstanceFlags], 0x800 | 0x2 | 0x1);
    if (mode == 2 || mode == 3) {
        EXPECT_EQ(b->paramAttributes[0], 0xFFFFFFF1u);
        EXPECT_EQ(b->paramAttributes[1], 0x1u);
    } else {
        EXPECT_EQ(b->paramAttributes[0], 0xFFFFFFF6u);
        EXPECT_EQ(b->paramAttributes[1], 0x6u);
    }
    const InputPortRecord& in = b->inputPorts[0];
    EXPECT_EQ(in.attributes, 0x3Bu);  // frame -1, reuse 1, may overwrite, contiguous
    EXPECT_EQ(in.typeId, -1);
    EXPECT_EQ(in.complexity, 0);
    EXPECT_EQ(in.feedThrough, 1);
    EXPECT_EQ(in.width, -1);  // through the dims service
    const OutputPortRecord& out = b->outputPorts[0];
    EXPECT_EQ(out.attributes, 0xDu);  // frame -1, reuse 1
    EXPECT_EQ(out.typeId, -1);
    EXPECT_EQ(b->sizes[kSizesNumSampleTimes], 1);
    EXPECT_EQ(static_cast<uint32_t>(b->sizes[kSizesBlockOptions]), 0x21080022u);
    EXPECT_EQ(b->sizes[kSizesNumWorkVectors], -1);
}

INSTANTIATE_TEST_SUITE_P(HostModes, InitializeSizesByMode, ::testing::Values(0, 1, 2, 3));

TEST(InitializeSizes, KeepsHostBitsOfThePortFlagWords) {
    HostInstance host;
    giveParams(host, 0.0);
    BlockInstance* b = host.block();
    hookInitializeSizes(b);
    // A host whose port services keep the records it already has.
    b->setNumInputPorts = [](void*, int32_t) { return int32_t{1}; };
    b->setNumOutputPorts = [](void*, int32_t) { return int32_t{1}; };
    b->inputPorts[0].attributes = 0xFFFFFF00u | 0x4u;  // host bits, reuse code 2
    b->outputPorts[0].attributes = 0xFFFFFF00u | 0x2u;
    hookInitializeSizes(b);
    EXPECT_EQ(b->inputPorts[0].attributes, 0xFFFFFF00u | 0x3Bu);
    EXPECT_EQ(b->outputPorts[0].attributes, 0xFFFFFF00u | 0xDu);
}

TEST(InitializeSizes, WithoutOptionalServices) {
    HostInstance host(
        HostInstanceOptions{.offerPortDimsServices = false, .offerWorkVectorService = false});
    giveParams(host, 0.0);
    BlockInstance* b = host.block();
    b->userData = b;  // must stay as the host left it
    hookInitializeSizes(b);
    EXPECT_EQ(b->sizes[kSizesNumInputPorts], 1);
    EXPECT_EQ(b->sizes[kSizesNumOutputPorts], 1);
    EXPECT_EQ(b->inputPorts[0].width, 0);  // no dims service: left alone
    EXPECT_EQ(b->inputPorts[0].typeId, -1);
    EXPECT_EQ(b->userData, b);
    EXPECT_EQ(b->sizes[kSizesNumSampleTimes], 0);
    EXPECT_EQ(b->sizes[kSizesBlockOptions], 0);
}

TEST(InitializeSizes, StopsAtTheFirstRefusedService) {
    HostInstance host;
    giveParams(host, 0.0);
    BlockInstance* b = host.block();
    b->hostInfo->setOutputPortDims = [](BlockInstance*, int32_t, const PortDimsRecord*) {
        return 0;
    };
    hookInitializeSizes(b);
    EXPECT_EQ(b->inputPorts[0].typeId, -1);
    EXPECT_EQ(b->outputPorts[0].typeId, 0);  // never declared
    EXPECT_EQ(b->sizes[kSizesNumWorkVectors], 0);
    EXPECT_EQ(b->errorStatus, nullptr);  // the host reports its own refusal
}

TEST(InitializeSizes, WrongParameterCountStopsBeforeAnything) {
    HostInstance host;
    host.setDialogParams({vzCreateDoubleScalar(1.0)});
    BlockInstance* b = host.block();
    hookInitializeSizes(b);
    EXPECT_NE(b->errorStatus, nullptr);
    EXPECT_EQ(b->sizes[kSizesNumInputPorts], 0);
    EXPECT_EQ(b->sizes[kSizesInstanceFlags], 0);
}

TEST(InitializeSampleTimes, DeclaresOneInheritedSampleTime) {
    HostInstance host;
    host.block()->samplePeriod[0] = 2.0;
    host.block()->sampleOffset[0] = 1.0;
    hookInitializeSampleTimes(host.block());
    EXPECT_EQ(host.block()->samplePeriod[0], -1.0);
    EXPECT_EQ(host.block()->sampleOffset[0], 0.0);
}

struct WidthCase {
    std::string name;
    std::vector<int32_t> dims;
    int32_t frameMode;
    double running;  // second parameter
    int32_t typeId;
    int32_t expectedCount;
    int32_t expectedStateWidth;
};

class WorkWidths : public ::testing::TestWithParam<WidthCase> {};

TEST_P(WorkWidths, DeclaresOneOrFourVectors) {
    const WidthCase& c = GetParam();
    HostInstance host;
    giveParams(host, c.running);
    BlockInstance* b = host.block();
    hookInitializeSizes(b);
    host.propagateInputShape(c.dims, c.frameMode);
    if (c.frameMode < 0) {  // leave the frame mode inherited
        b->inputPorts[0].attributes |= kInputFrameModeHighBit;
    }
    b->inputPorts[0].typeId = c.typeId;
    hookSetWorkWidths(b);
    ASSERT_EQ(host.numWorkVectors(), c.expectedCount);
    const WorkVectorRecord* w = b->workVectors;
    EXPECT_STREQ(w[0].name, "Cutoff");
    EXPECT_EQ(w[0].width, 1);
    EXPECT_EQ(w[0].typeId, c.typeId);
    if (c.expectedCount == 4) {
        EXPECT_STREQ(w[1].name, "Prev");
        EXPECT_STREQ(w[2].name, "Cumsum");
        EXPECT_STREQ(w[3].name, "FirstStep");
        EXPECT_EQ(w[1].width, c.expectedStateWidth);
        EXPECT_EQ(w[2].width, c.expectedStateWidth);
        EXPECT_EQ(w[1].typeId, c.typeId);
        EXPECT_EQ(w[2].typeId, c.typeId);
        EXPECT_EQ(w[3].width, 1);
        EXPECT_EQ(w[3].typeId, kTypeIdBoolean);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, WorkWidths,
    ::testing::Values(WidthCase{"SampleStateless", {1, 3}, 0, 1.0, 0, 1, 0},
                      WidthCase{"FrameStatelessStillFour", {4, 3}, 1, 1.0, 0, 4, 3},
                      WidthCase{"InheritedFrameModeFour", {4, 3}, -1, 1.0, 1, 4, 12},
                      WidthCase{"FrameRunningPerChannel", {4, 3}, 1, 0.0, 1, 4, 3},
                      WidthCase{"SampleRunningPerElement", {4, 3}, 0, 0.0, 0, 4, 12},
                      WidthCase{"VectorSample", {5}, 0, 0.0, 0, 4, 5},
                      WidthCase{"VectorFrame", {5}, 1, 0.0, 1, 4, 1},
                      WidthCase{"NanSecondParamIsStateless",
                                {1, 3},
                                0,
                                std::numeric_limits<double>::quiet_NaN(),
                                0,
                                1,
                                0}),
    [](const auto& testCase) { return testCase.param.name; });

TEST(WorkWidths, WithoutTheServiceDeclaresNothing) {
    HostInstance host(HostInstanceOptions{.offerWorkVectorService = false});
    giveParams(host, 0.0);
    BlockInstance* b = host.block();
    hookInitializeSizes(b);
    host.propagateInputShape({1, 2}, 0);
    hookSetWorkWidths(b);
    EXPECT_EQ(b->workVectors, nullptr);
}

// The second parameter as the host may hand it over.
class RunningSwitch : public ::testing::TestWithParam<int> {};

TEST_P(RunningSwitch, OnlyADoubleZeroRuns) {
    HostInstance host;
    vzArray* second = nullptr;
    bool expected = false;
    switch (GetParam()) {
        case 0:
            second = vzCreateDoubleScalar(0.0), expected = true;
            break;
        case 1:
            second = vzCreateDoubleScalar(-0.0), expected = true;
            break;
        case 2:
            second = vzCreateDoubleScalar(2.0);
            break;
        case 3:
            second = vzCreateDoubleMatrix(0, 0, vzREAL);
            break;
        case 4:
            second = vzCreateNumericMatrix(1, 1, vzSINGLE_CLASS, vzREAL);
            break;
        case 5:
            second = vzCreateString("");
            break;
        default:
            break;  // missing parameter
    }
    if (second != nullptr) {
        host.setDialogParams({vzCreateDoubleScalar(1.0), second});
    } else {
        host.setDialogParams({vzCreateDoubleScalar(1.0)});
    }
    EXPECT_EQ(isRunning(host.block()), expected);
}

INSTANTIATE_TEST_SUITE_P(ParameterForms, RunningSwitch, ::testing::Range(0, 7));

}  // namespace
