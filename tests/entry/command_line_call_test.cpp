#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "block/block_hooks.h"
#include "block_test_support.h"
#include "entry/block_identity.h"
#include "entry/query_instance.h"

using namespace kq;

namespace {

using HostInstance = kq::test::BlockHost;
using kq::test::Arrays;
using kq::test::commandLine;

const std::string kLabel = "KVX level2 R-block \"kqphasefix2\"";
const std::string kFlagMessage =
    "The 4th right hand argument, FLAG, passed to " + kLabel + " must be an integer";

TEST(CommandLineCall, TooFewRightArgumentsComesFirst) {
    Arrays a;
    EXPECT_EQ(commandLine(5, {nullptr, nullptr, a.scalar(0)}).raised,
              kLabel + " must be called with at least 4 right hand arguments");
}

TEST(CommandLineCall, TooManyLeftArguments) {
    Arrays a;
    EXPECT_EQ(commandLine(2, {nullptr, nullptr, nullptr, a.scalar(0)}).raised,
              kLabel + " called with too many left hand arguments");
}

// FLAG values that are not a one-element real numeric integer.
class BadFlag : public ::testing::TestWithParam<int> {};

vzArray* badFlag(Arrays& a, int which) {
    switch (which) {
        case 0:
            return a.scalar(0.5);
        case 1:
            return a.matrix(1, 2, {0, 0});
        case 2:
            return a.keep(vzCreateNumericMatrix(1, 1, vzDOUBLE_CLASS, vzCOMPLEX));
        case 3:
            return a.scalar(std::numeric_limits<double>::quiet_NaN());
        case 4:
            return a.keep(vzCreateString("0"));
        case 5:
            return a.scalar(std::numeric_limits<double>::infinity());
        case 6:
            return a.scalar(4294967296.0);  // integral, but outside the 32-bit range
        case 7:
            return a.scalar(-2147483649.0);
        case 8:
            return a.matrix(0, 0);
        default:
            return a.keep(vzCreateNumericMatrix(1, 1, vzLOGICAL_CLASS, vzREAL));
    }
}

TEST_P(BadFlag, FailsWithTheIntegerMessage) {
    Arrays a;
    EXPECT_EQ(commandLine(1, {nullptr, nullptr, nullptr, badFlag(a, GetParam())}).raised,
              kFlagMessage);
}

INSTANTIATE_TEST_SUITE_P(FractionShapeComplexNanTextRange, BadFlag, ::testing::Range(0, 10));

TEST(CommandLineCall, NonZeroIntegerFlagIsAnInvalidFlag) {
    Arrays a;
    for (double flag : {1.0, -1.0, 2147483647.0, -2147483648.0}) {
        EXPECT_EQ(commandLine(1, {nullptr, nullptr, nullptr, a.scalar(flag)}).raised,
                  "Invalid flag passed to " + kLabel)
            << flag;
    }
}

TEST(CommandLineCall, NegativeZeroAndOtherNumericClassesAreAcceptedAsZero) {
    Arrays a;
    EXPECT_EQ(commandLine(1, {nullptr, nullptr, nullptr, a.scalar(-0.0)}).raised, "");
    vzArray* intZero = a.keep(vzCreateNumericMatrix(1, 1, vzINT32_CLASS, vzREAL));
    EXPECT_EQ(commandLine(1, {nullptr, nullptr, nullptr, intZero}).raised, "");
}

TEST(CommandLineCall, SizesQueryWithTwoParameters) {
    Arrays a;
    const auto result = commandLine(
        1, {nullptr, nullptr, nullptr, a.scalar(0), a.scalar(3.141592653589793), a.scalar(0)});
    ASSERT_EQ(result.raised, "");
    ASSERT_EQ(result.sizes.size(), 38u);
    EXPECT_EQ(result.sizes[2], 1);
    EXPECT_EQ(result.sizes[3], 1);
    EXPECT_EQ(result.sizes[6], 0);  // no work-vector service: the hook stops before it
    EXPECT_EQ(result.sizes[19], 5200229);
    EXPECT_EQ(result.sizes[23], 8192);
    EXPECT_EQ(result.sizes[31], 2050);
}

TEST(CommandLineCall, SizesQueryWithoutParametersStopsAtRegistration) {
    Arrays a;
    const auto result = commandLine(0, {nullptr, nullptr, nullptr, a.scalar(0)});
    ASSERT_EQ(result.raised, "");
    ASSERT_EQ(result.sizes.size(), 38u);
    EXPECT_EQ(result.sizes[3], 0);
    EXPECT_EQ(result.sizes[31], 0);
    EXPECT_EQ(result.sizes[19], 5200229);
    EXPECT_EQ(result.sizes[23], 8192);
}

TEST(CommandLineCall, QueryInstanceTakesTheParametersAfterTheFourth) {
    Arrays a;
    const vzArray* args[6] = {nullptr, nullptr, nullptr, a.scalar(0), a.scalar(1), a.scalar(2)};
    BlockInstance* four = createQueryInstance(4, args);
    EXPECT_EQ(four->numDialogParams, 0);
    EXPECT_EQ(four->dialogParams, nullptr);
    BlockInstance* six = createQueryInstance(6, args);
    ASSERT_EQ(six->numDialogParams, 2);
    EXPECT_EQ(six->dialogParams[0], args[4]);
    EXPECT_EQ(six->dialogParams[1], args[5]);
    EXPECT_EQ(six->root, six);
    EXPECT_EQ(six->hostInfo->simMode, 1);
    EXPECT_STREQ(six->blockName, "kqphasefix2");
    EXPECT_STREQ(six->blockPath, "kqphasefix2");
    EXPECT_EQ(six->setNumWorkVectors, nullptr);
    EXPECT_EQ(six->hookSlots.hookInitializeSizes, nullptr);
    vzReleaseCallAllocations();
}

TEST(CommandLineCall, PortCountServicesOfTheQueryInstance) {
    Arrays a;
    const vzArray* args[4] = {nullptr, nullptr, nullptr, a.scalar(0)};
    BlockInstance* b = createQueryInstance(4, args);
    EXPECT_EQ(b->setNumInputPorts(b->setNumInputPortsContext, -1), 0);
    EXPECT_EQ(b->sizes[kSizesNumInputPorts], 0);
    EXPECT_EQ(b->sizes[kSizesInstanceFlags], 0);
    EXPECT_EQ(b->setNumInputPorts(b->setNumInputPortsContext, 0), 1);
    EXPECT_EQ(b->sizes[kSizesInstanceFlags], 2);
    EXPECT_EQ(b->inputPorts, nullptr);
    EXPECT_EQ(b->setNumOutputPorts(b->setNumOutputPortsContext, 3), 1);
    EXPECT_EQ(b->sizes[kSizesNumOutputPorts], 3);
    ASSERT_NE(b->outputPorts, nullptr);
    EXPECT_EQ(b->outputPorts[2].typeId, 0);
    vzReleaseCallAllocations();
}

TEST(CommandLineCall, LoadTimeMarkerRegistersTheHostInstance) {
    HostInstance host;
    host.setDialogParams({vzCreateDoubleScalar(1.0), vzCreateDoubleScalar(0.0)});
    Arrays a;
    // Extra columns play no part.
    vzArray* marker = a.matrix(
        2, 3,
        {static_cast<double>(reinterpret_cast<uintptr_t>(host.block())), 5200229.0, 7, 7, 7, 7});
    const auto result = commandLine(0, {nullptr, marker, nullptr, a.scalar(0)});
    ASSERT_EQ(result.raised, "");
    const BlockInstance* b = host.block();
    EXPECT_EQ(b->hookSlots.hookInitializeSizes, &hookInitializeSizes);
    EXPECT_EQ(b->hookSlots.hookOutputs, &hookOutputs);
    EXPECT_EQ(b->hookSlots.hookTerminate, &hookTerminate);
    EXPECT_EQ(b->sizes[kSizesInterfaceStamp], 5200229);
    // The host's own instance gets the options of the size hook and the command-line bit.
    EXPECT_EQ(static_cast<uint32_t>(b->sizes[kSizesBlockOptions]), 0x21080022u | 0x2000u);
    EXPECT_EQ(result.sizes[6], 1);
    EXPECT_EQ(static_cast<uint32_t>(result.sizes[23]), 0x21080022u | 0x2000u);
}

TEST(CommandLineCall, NearMarkersMakeAPrivateInstance) {
    HostInstance host;
    const double address = static_cast<double>(reinterpret_cast<uintptr_t>(host.block()));
    Arrays a;
    for (vzArray* notMarker :
         {a.matrix(2, 1, {address, 5200229.5}), a.matrix(1, 2, {address, 5200229.0}),
          a.matrix(3, 1, {address, 5200229.0, 0}), a.matrix(2, 0)}) {
        const auto result = commandLine(0, {nullptr, notMarker, nullptr, a.scalar(0)});
        EXPECT_EQ(result.raised, "");
        EXPECT_EQ(host.block()->hookSlots.hookInitializeSizes, nullptr);
    }
}

TEST(CommandLineCall, MarkerWithoutAValidAddressIsRefused) {
    Arrays a;
    for (double address : {0.0, -5.0, std::numeric_limits<double>::quiet_NaN(), 1e300}) {
        const auto result =
            commandLine(0, {nullptr, a.matrix(2, 1, {address, 5200229.0}), nullptr, a.scalar(0)});
        EXPECT_EQ(result.raised,
                  kLabel + " was given a load-time marker without a valid instance address");
        EXPECT_TRUE(result.sizes.empty());
    }
}

TEST(CommandLineCall, NameCheckComparesTheWholeName) {
    const std::string longName(1000, 'k');
    for (const std::string& name : {std::string("kqphasefix"), std::string("kqphasefix22"),
                                    std::string("KQPHASEFIX2"), longName}) {
        HostInstance host(kq::sim::HostInstanceOptions{.blockName = name});
        const std::string raised = kq::test::loadBlock(host);
        const std::string expected =
            "R-block name mismatch. Name in source is \"#define R_BLOCK_NAME kqphasefix2\", "
            "whereas name of the R-block KVX file is \"" +
            name + "\". The source needs to be updated";
        // The message fits its 256-byte buffer: a long name is cut, never overflowed.
        EXPECT_EQ(raised, expected.substr(0, 255)) << name.size();
        EXPECT_EQ(host.block()->hookSlots.hookInitializeSizes, nullptr);
    }
}

TEST(CommandLineCall, UnsignedAndSignedEntries) {
    HostInstance host;
    host.block()->sizes[16] = -1;
    host.block()->sizes[10] = -1;
    Arrays a;
    const auto result =
        commandLine(1, {nullptr, kq::test::loadMarker(a, host.block()), nullptr, a.scalar(0)});
    ASSERT_EQ(result.raised, "");
    EXPECT_EQ(result.sizes[16], 4294967295.0);
    EXPECT_EQ(result.sizes[10], -1.0);
}

}  // namespace
