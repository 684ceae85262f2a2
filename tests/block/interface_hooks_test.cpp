#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

#include "block/block_hooks.h"
#include "block/dialog_params.h"
#include "block_test_support.h"
#include "host/data_types.h"

using namespace kq;

namespace {

using HostInstance = kq::test::BlockHost;
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

// The second parameter as the host may hand it over: a zero of any numeric class runs, as the
// tolerance of any numeric class is read; logical and char parameters never run.
struct SwitchCase {
    std::string name;
    vzClassId classId;
    std::vector<double> values;  // the elements, converted to the class; none: an empty array
    vzComplexity complexity;
    bool running;
};

void PrintTo(const SwitchCase& c, std::ostream* os) {
    *os << c.name;
}

vzArray* switchParam(const SwitchCase& c) {
    vzArray* a =
        vzCreateNumericMatrix(c.values.empty() ? 0 : 1, c.values.size(), c.classId, c.complexity);
    for (size_t i = 0; i < c.values.size(); ++i) {
        void* data = vzGetData(a);
        switch (c.classId) {
            case vzDOUBLE_CLASS:
                static_cast<double*>(data)[i] = c.values[i];
                break;
            case vzSINGLE_CLASS:
                static_cast<float*>(data)[i] = static_cast<float>(c.values[i]);
                break;
            case vzINT32_CLASS:
                static_cast<int32_t*>(data)[i] = static_cast<int32_t>(c.values[i]);
                break;
            case vzLOGICAL_CLASS:
            case vzCHAR_CLASS:
                static_cast<unsigned char*>(data)[i] = static_cast<unsigned char>(c.values[i]);
                break;
        }
    }
    return a;
}

class RunningSwitch : public ::testing::TestWithParam<SwitchCase> {};

TEST_P(RunningSwitch, AZeroOfAnyNumericClassRuns) {
    const SwitchCase& c = GetParam();
    HostInstance host;
    host.setDialogParams({vzCreateDoubleScalar(1.0), switchParam(c)});
    EXPECT_EQ(isRunning(host.block()), c.running);
}

// The switch decides the state at every step that reads it: a sample-based input gets the four
// vectors of a running block, and code generation reports it running.
TEST_P(RunningSwitch, DecidesTheWorkVectorsAndTheExportedSetting) {
    const SwitchCase& c = GetParam();
    HostInstance host;
    kq::test::TerminateAtEnd terminate(host);
    ASSERT_EQ(kq::test::prepareInstance(host, {.dims = {1, 2}, .secondParam = 1.0}), "");
    host.replaceDialogParam(1, switchParam(c));
    ASSERT_EQ(kq::test::hostCall(host, kFlagSetWorkWidths), "");
    host.allocateBuffers(false);
    EXPECT_EQ(host.numWorkVectors(), c.running ? 4 : 1);
    ASSERT_EQ(kq::test::hostCall(host, kFlagStart), "");
    ASSERT_EQ(kq::test::hostCall(host, kFlagGXW), "");
    EXPECT_NE(host.recordWriter().record().find(c.running ? "Running = 1" : "Running = 0"),
              std::string::npos)
        << host.recordWriter().record();
}

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(
    ParameterForms, RunningSwitch,
    ::testing::Values(SwitchCase{"DoubleZero", vzDOUBLE_CLASS, {0.0}, vzREAL, true},
                      SwitchCase{"DoubleNegativeZero", vzDOUBLE_CLASS, {-0.0}, vzREAL, true},
                      SwitchCase{"DoubleTwo", vzDOUBLE_CLASS, {2.0}, vzREAL, false},
                      SwitchCase{"DoubleNaN", vzDOUBLE_CLASS, {kNaN}, vzREAL, false},
                      SwitchCase{"DoubleEmpty", vzDOUBLE_CLASS, {}, vzREAL, false},
                      SwitchCase{"DoubleZeroFirstOfTwo", vzDOUBLE_CLASS, {0.0, 5.0}, vzREAL, true},
                      SwitchCase{"ComplexZero", vzDOUBLE_CLASS, {0.0}, vzCOMPLEX, true},
                      SwitchCase{"SingleZero", vzSINGLE_CLASS, {0.0}, vzREAL, true},
                      SwitchCase{"SingleHalf", vzSINGLE_CLASS, {0.5}, vzREAL, false},
                      SwitchCase{"SingleEmpty", vzSINGLE_CLASS, {}, vzREAL, false},
                      SwitchCase{"Int32Zero", vzINT32_CLASS, {0.0}, vzREAL, true},
                      SwitchCase{"Int32ZeroFirstOfTwo", vzINT32_CLASS, {0.0, 7.0}, vzREAL, true},
                      SwitchCase{"Int32One", vzINT32_CLASS, {1.0}, vzREAL, false},
                      SwitchCase{"LogicalFalse", vzLOGICAL_CLASS, {0.0}, vzREAL, false},
                      SwitchCase{"LogicalTrue", vzLOGICAL_CLASS, {1.0}, vzREAL, false},
                      SwitchCase{"CharNul", vzCHAR_CLASS, {0.0}, vzREAL, false},
                      SwitchCase{"CharDigitZero", vzCHAR_CLASS, {48.0}, vzREAL, false},
                      SwitchCase{"CharEmpty", vzCHAR_CLASS, {}, vzREAL, false}),
    [](const auto& testCase) { return testCase.param.name; });

TEST(RunningSwitchMissing, ASingleDialogParameterDoesNotRun) {
    HostInstance host;
    host.setDialogParams({vzCreateDoubleScalar(1.0)});
    EXPECT_FALSE(isRunning(host.block()));
}

}  // namespace
