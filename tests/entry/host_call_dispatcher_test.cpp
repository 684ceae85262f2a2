#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "block/block_hooks.h"
#include "block/unsupported_hooks.h"
#include "block_test_support.h"
#include "entry/host_call_dispatcher.h"
#include "host/data_types.h"

using namespace kq;

namespace {

using HostInstance = kq::test::BlockHost;

// What the spy hooks saw, in call order.
std::vector<std::string> gCalls;

void spyA(BlockInstance*) {
    gCalls.push_back("A");
}
void spyP(BlockInstance*, int32_t port, int32_t value) {
    gCalls.push_back("P " + std::to_string(port) + " " + std::to_string(value));
}
void spyD(BlockInstance*, int32_t port, const PortDimsRecord* dims) {
    gCalls.push_back("D " + std::to_string(port) + " " + std::to_string(dims->width));
}
void spyT(BlockInstance*, int32_t port, double period, double offset) {
    gCalls.push_back("T " + std::to_string(port) + " " + std::to_string(period) + " " +
                     std::to_string(offset));
}
void spyI(BlockInstance*, int32_t port) {
    gCalls.push_back("I " + std::to_string(port));
}

// Every slot a host may fill, filled with a spy of the slot's form.
void fillEverySlot(BlockInstance* b) {
    HookSlots& s = b->hookSlots;
    s.hookSetWorkWidths = spyA;
    s.hookCheckParameters = spyA;
    s.hookSetInputPortDataType = spyP;
    s.hookSetOutputPortDataType = spyP;
    s.hookProcessParameters = spyA;
    s.hookGXW = spyA;
    s.hookSetInputPortComplexSignal = spyP;
    s.hookSetOutputPortComplexSignal = spyP;
    s.hookSetInputPortSampleTime = spyT;
    s.hookSetOutputPortSampleTime = spyT;
    s.hookGetTimeOfNextVarHit = spyA;
    s.hookZeroCrossings = spyA;
    b->extHookSlots->hookSetInputPortFrameData = spyP;
    b->extHookSlots->hookSetDefaultPortDimensionInfo = spyA;
    b->extHookSlots->hookSetDefaultPortDataTypes = spyA;
    b->extHookSlots->hookSetDefaultPortComplexSignals = spyA;
    b->extHookSlots->hookInitializePropagationPass = spyI;
}

struct SlotCase {
    int code;
    std::string ranWhenFilled;  // the spy's record
    std::string messageWhenEmpty;
};

class SlotDispatch : public ::testing::TestWithParam<SlotCase> {
  protected:
    void SetUp() override {
        gCalls.clear();
        host.block()->sizes[kSizesCurrentPort] = 3;
        host.hostInfo().portValue = 7;
        host.hostInfo().portSamplePeriod = 0.25;
        host.hostInfo().portSampleOffset = 0.125;
    }
    HostInstance host;
};

TEST_P(SlotDispatch, FilledSlotRunsInItsFormWithTheHostsArguments) {
    fillEverySlot(host.block());
    EXPECT_EQ(kq::test::hostCall(host, GetParam().code), "");
    EXPECT_EQ(gCalls, std::vector<std::string>{GetParam().ranWhenFilled});
}

TEST_P(SlotDispatch, EmptySlotStoresItsMessage) {
    EXPECT_EQ(kq::test::hostCall(host, GetParam().code), GetParam().messageWhenEmpty);
    EXPECT_TRUE(gCalls.empty());
}

INSTANTIATE_TEST_SUITE_P(
    EveryFilledSlotCode, SlotDispatch,
    ::testing::Values(
        SlotCase{111, "A", "Unexpected call to hookSetWorkWidths"},
        SlotCase{112, "A", "Unexpected call to hookCheckParameters"},
        SlotCase{113, "P 3 7", "Unexpected call to hookSetInputPortDataType"},
        SlotCase{114, "P 3 7", "Unexpected call to hookSetOutputPortDataType"},
        SlotCase{118, "A", "Unexpected call to hookProcessParameters"},
        SlotCase{119, "A", "Unexpected call to hookGXW"},
        SlotCase{120, "P 3 7", "Unexpected call to hookSetInputPortComplexSignal"},
        SlotCase{121, "P 3 7", "Unexpected call to hookSetOutputPortComplexSignal"},
        SlotCase{122, "T 3 0.250000 0.125000", "Unexpected call to hookSetInputPortSampleTime"},
        SlotCase{123, "T 3 0.250000 0.125000", "Unexpected call to hookSetOutputPortSampleTime"},
        SlotCase{128, "P 3 7", "Unexpected call to hookSetInputPortFrameData"},
        SlotCase{131, "A", "Unexpected call to hookSetDefaultPortDimensionInfo"},
        SlotCase{132, "A", "Unexpected call to hookSetDefaultPortDataTypes"},
        SlotCase{133, "A", "Unexpected call to hookSetDefaultPortComplexSignals"},
        SlotCase{142, "I 3", "Unexpected call to hookInitializePropagationPass"}));

TEST(HostCallDispatch, ExtensionCodesWithoutAnExtensionTableStoreTheirMessage) {
    HostInstance host(kq::sim::HostInstanceOptions{.withExtHookSlots = false});
    EXPECT_EQ(kq::test::hostCall(host, 131), "Unexpected call to hookSetDefaultPortDimensionInfo");
    EXPECT_EQ(kq::test::hostCall(host, 142), "Unexpected call to hookInitializePropagationPass");
}

TEST(HostCallDispatch, VarHitAndZeroCrossingCodesNeverRunTheirSlots) {
    HostInstance host;
    gCalls.clear();
    fillEverySlot(host.block());
    EXPECT_EQ(kq::test::hostCall(host, 103), kNoVarHitMessage);
    EXPECT_EQ(kq::test::hostCall(host, 108), kNoZeroCrossingsMessage);
    EXPECT_TRUE(gCalls.empty());
}

struct SizingCase {
    int code;
    bool dimensionInfoBit;
    bool runs;
    std::string expected;  // spy record when it runs, message otherwise
};

class SizingDispatch : public ::testing::TestWithParam<SizingCase> {};

TEST_P(SizingDispatch, TheSharedSlotRunsOnlyForTheHostsSizingStyle) {
    const SizingCase& c = GetParam();
    HostInstance host(kq::sim::HostInstanceOptions{.dimensionInfoSizing = c.dimensionInfoBit});
    gCalls.clear();
    const int32_t dims[2] = {4, 5};
    const PortDimsRecord record = {20, 2, dims};
    host.hostInfo().portDims = &record;
    host.hostInfo().portValue = 9;
    host.block()->sizes[kSizesCurrentPort] = 0;
    const HookEntry entry =
        c.dimensionInfoBit ? reinterpret_cast<HookEntry>(spyD) : reinterpret_cast<HookEntry>(spyP);
    host.block()->hookSlots.inputPortSizing = entry;
    host.block()->hookSlots.outputPortSizing = entry;
    const std::string message = kq::test::hostCall(host, c.code);
    if (c.runs) {
        EXPECT_EQ(message, "");
        EXPECT_EQ(gCalls, std::vector<std::string>{c.expected});
    } else {
        EXPECT_EQ(message, c.expected);
        EXPECT_TRUE(gCalls.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    WidthAndDimensionInfo, SizingDispatch,
    ::testing::Values(
        SizingCase{115, false, true, "P 0 9"}, SizingCase{116, false, true, "P 0 9"},
        SizingCase{126, true, true, "D 0 20"}, SizingCase{127, true, true, "D 0 20"},
        SizingCase{115, true, false, "Unexpected call to hookSetInputPortWidth"},
        SizingCase{116, true, false, "Unexpected call to hookSetOutputPortWidth"},
        SizingCase{126, false, false, "Unexpected call to hookSetInputPortDimensionInfo"},
        SizingCase{127, false, false, "Unexpected call to hookSetOutputPortDimensionInfo"}));

class InvalidFlag : public ::testing::TestWithParam<double> {};

TEST_P(InvalidFlag, StoresTheInvalidFlagMessage) {
    HostInstance host;
    host.setDialogParams({vzCreateDoubleScalar(1.0), vzCreateDoubleScalar(0.0)});
    ASSERT_EQ(kq::test::loadBlock(host), "");
    EXPECT_EQ(kq::test::hostCall(host, GetParam()), kInvalidFlagMessage);
}

INSTANTIATE_TEST_SUITE_P(OutsideTheTableOrNotANumber, InvalidFlag,
                         ::testing::Values(100.0, 105.0, 106.0, 109.0, 110.0, 124.0, 125.0, 129.0,
                                           130.0, 134.0, 141.0, 143.0, 0.0, -101.0, 100.99,
                                           2147483648.0, -2147483649.0, 4294967397.0, 1e300,
                                           std::numeric_limits<double>::quiet_NaN(),
                                           std::numeric_limits<double>::infinity(),
                                           -std::numeric_limits<double>::infinity()));

TEST(HostCallDispatch, FractionalCodesAreTruncated) {
    HostInstance host;
    host.block()->samplePeriod[0] = 5.0;
    EXPECT_EQ(kq::test::hostCall(host, 101.9), "");
    EXPECT_EQ(host.block()->samplePeriod[0], -1.0);
}

TEST(HostCallDispatch, BlockRoutineCodesIgnoreTheSlots) {
    // 101, 104 and 107 run the block's routines on an instance whose slots are all empty.
    HostInstance host;
    host.block()->samplePeriod[0] = 5.0;
    EXPECT_EQ(kq::test::hostCall(host, 101), "");
    EXPECT_EQ(host.block()->samplePeriod[0], -1.0);
    EXPECT_EQ(kq::test::hostCall(host, 104), "");  // no record yet: nothing runs, nothing breaks
    EXPECT_EQ(kq::test::hostCall(host, 107), "");
    EXPECT_EQ(host.block()->userData, nullptr);
}

TEST(HostCallDispatch, StartAndInitialConditionsNeedTheirSlotFilled) {
    HostInstance host;
    EXPECT_EQ(kq::test::hostCall(host, 102), "Unexpected call to hookInitializeConditions");
    EXPECT_EQ(kq::test::hostCall(host, 117), "Unexpected call to hookStart");
    // A filled slot runs the block's own routine, whatever the slot holds.
    gCalls.clear();
    host.block()->hookSlots.hookStart = spyA;
    host.block()->samplePeriod[0] = 0.0;
    EXPECT_EQ(kq::test::hostCall(host, 117), "Input to block must have a discrete sample time");
    EXPECT_TRUE(gCalls.empty());
}

TEST(HostCallDispatch, RegisteredInstanceRunsTheBlocksHooksAndRefusesTheRest) {
    HostInstance host;
    host.setDialogParams({vzCreateDoubleScalar(1.0), vzCreateDoubleScalar(0.0)});
    ASSERT_EQ(kq::test::loadBlock(host), "");
    const BlockInstance* b = host.block();
    EXPECT_EQ(b->hookSlots.hookSetInputPortDataType, &hookSetPortDataType);
    EXPECT_EQ(b->hookSlots.hookSetOutputPortDataType, &hookSetPortDataType);
    EXPECT_EQ(b->hookSlots.hookGetTimeOfNextVarHit, &unsupportedNextVarHitHook);
    EXPECT_EQ(b->hookSlots.hookZeroCrossings, &unsupportedZeroCrossingsHook);
    EXPECT_EQ(b->hookSlots.inputPortSizing, nullptr);
    // A data type offered on the output port is spread to every port, as on the input port.
    host.hostInfo().portValue = kTypeIdSingle;
    EXPECT_EQ(kq::test::hostCall(host, 114), "");
    EXPECT_EQ(b->inputPorts[0].typeId, kTypeIdSingle);
    EXPECT_EQ(b->outputPorts[0].typeId, kTypeIdSingle);
    for (int code : {115, 116, 120, 121, 122, 123, 126, 127, 128, 131, 132, 133, 142}) {
        EXPECT_NE(kq::test::hostCall(host, code).find("Unexpected call to"), std::string::npos)
            << code;
    }
}

}  // namespace
