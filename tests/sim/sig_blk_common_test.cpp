// Tests of libsig_blk_common: parameter registration, port data types, the input-port predicates
// and tqCalloc / tqFree with the count of blocks held.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

#include "host/block_instance.h"
#include "host/data_types.h"
#include "host/sig_blk_common.h"
#include "sim/sig_blk_common/sig_blk_host.h"

namespace {

// A host instance with its own port records, as a host would hold them.
struct TestInstance {
    TestInstance(int32_t numInputs, int32_t numOutputs) {
        std::memset(&instance, 0, sizeof instance);
        instance.root = &instance;
        instance.sizes[kSizesNumInputPorts] = numInputs;
        instance.sizes[kSizesNumOutputPorts] = numOutputs;
        instance.inputPorts = inputs;
        instance.outputPorts = outputs;
        for (InputPortRecord& port : inputs) {
            std::memset(&port, 0, sizeof port);
            port.typeId = kTypeIdUnset;
        }
        for (OutputPortRecord& port : outputs) {
            std::memset(&port, 0, sizeof port);
            port.typeId = kTypeIdUnset;
        }
    }
    BlockInstance instance;
    InputPortRecord inputs[4];
    OutputPortRecord outputs[4];
};

TEST(RegisterRBlockParams, AcceptsTheMatchingCount) {
    TestInstance t(1, 1);
    t.instance.numDialogParams = 2;
    EXPECT_TRUE(registerRBlockParams(&t.instance, 2));
    EXPECT_EQ(t.instance.sizes[kSizesNumDialogParamsExpected], 2);
    EXPECT_EQ(t.instance.errorStatus, nullptr);

    t.instance.numDialogParams = 0;
    EXPECT_TRUE(registerRBlockParams(&t.instance, 0));
    EXPECT_EQ(t.instance.sizes[kSizesNumDialogParamsExpected], 0);
    EXPECT_EQ(t.instance.errorStatus, nullptr);
}

TEST(RegisterRBlockParams, RefusesAnotherCountWithAStaticMessage) {
    struct Case {
        int32_t given;
        int32_t expected;
        const char* message;
    };
    const Case cases[] = {
        {0, 2, "Block expects 2 dialog parameters"},
        {3, 2, "Block expects 2 dialog parameters"},
        {2, 0, "Block expects 0 dialog parameters"},
        {0, 1, "Block expects 1 dialog parameter"},
        {0, 9, "Block expects 9 dialog parameters"},
        {0, 10, "Block was given the wrong number of dialog parameters"},
        {0, -1, "Block was given the wrong number of dialog parameters"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "given " << c.given << " expected " << c.expected);
        TestInstance t(1, 1);
        t.instance.numDialogParams = c.given;
        EXPECT_FALSE(registerRBlockParams(&t.instance, c.expected));
        EXPECT_EQ(t.instance.sizes[kSizesNumDialogParamsExpected], c.expected);
        ASSERT_NE(t.instance.errorStatus, nullptr);
        EXPECT_STREQ(t.instance.errorStatus, c.message);
    }
}

TEST(RegisterRBlockParams, MessageGoesToTheRootAndOutlivesTheCall) {
    TestInstance root(0, 0);
    TestInstance child(1, 1);
    child.instance.root = &root.instance;
    child.instance.numDialogParams = 1;
    EXPECT_FALSE(registerRBlockParams(&child.instance, 2));
    EXPECT_EQ(child.instance.errorStatus, nullptr);
    const char* stored = root.instance.errorStatus;
    ASSERT_NE(stored, nullptr);
    // A second refusal stores the very same constant text.
    EXPECT_FALSE(registerRBlockParams(&child.instance, 2));
    EXPECT_EQ(root.instance.errorStatus, stored);
    EXPECT_STREQ(stored, "Block expects 2 dialog parameters");
}

TEST(CheckAndSetAllPorts, SetsEveryPortToDoubleOrSingle) {
    for (int32_t typeId : {kTypeIdDouble, kTypeIdSingle}) {
        SCOPED_TRACE(::testing::Message() << "typeId " << typeId);
        TestInstance t(3, 2);
        EXPECT_TRUE(checkAndSetAllPortsToDblOrSngl(&t.instance, typeId));
        EXPECT_EQ(t.instance.errorStatus, nullptr);
        for (int32_t i = 0; i < 3; ++i) {
            EXPECT_EQ(t.inputs[i].typeId, typeId) << "input " << i;
        }
        for (int32_t i = 0; i < 2; ++i) {
            EXPECT_EQ(t.outputs[i].typeId, typeId) << "output " << i;
        }
        // Records beyond the declared counts are not touched.
        EXPECT_EQ(t.inputs[3].typeId, kTypeIdUnset);
        EXPECT_EQ(t.outputs[2].typeId, kTypeIdUnset);
        EXPECT_EQ(t.outputs[3].typeId, kTypeIdUnset);
    }
}

TEST(CheckAndSetAllPorts, RefusesOtherTypesLeavingPortsUnchanged) {
    for (int32_t typeId : {int32_t{kTypeIdUnset}, int32_t{kTypeIdBoolean}, 2, 3, 7, 100}) {
        SCOPED_TRACE(::testing::Message() << "typeId " << typeId);
        TestInstance t(2, 2);
        t.inputs[0].typeId = kTypeIdSingle;
        EXPECT_FALSE(checkAndSetAllPortsToDblOrSngl(&t.instance, typeId));
        ASSERT_NE(t.instance.errorStatus, nullptr);
        EXPECT_STREQ(t.instance.errorStatus, "Data type of the ports must be double or single");
        EXPECT_EQ(t.inputs[0].typeId, kTypeIdSingle);
        EXPECT_EQ(t.inputs[1].typeId, kTypeIdUnset);
        EXPECT_EQ(t.outputs[0].typeId, kTypeIdUnset);
        EXPECT_EQ(t.outputs[1].typeId, kTypeIdUnset);
    }
}

TEST(CheckAndSetAllPorts, GuardsMissingListsAndNegativeCounts) {
    TestInstance noLists(2, 2);
    noLists.instance.inputPorts = nullptr;
    noLists.instance.outputPorts = nullptr;
    EXPECT_TRUE(checkAndSetAllPortsToDblOrSngl(&noLists.instance, kTypeIdDouble));

    TestInstance negative(-1, -5);
    EXPECT_TRUE(checkAndSetAllPortsToDblOrSngl(&negative.instance, kTypeIdSingle));
    EXPECT_EQ(negative.inputs[0].typeId, kTypeIdUnset);
    EXPECT_EQ(negative.outputs[0].typeId, kTypeIdUnset);

    TestInstance onlyOutputs(0, 1);
    onlyOutputs.instance.inputPorts = nullptr;
    EXPECT_TRUE(checkAndSetAllPortsToDblOrSngl(&onlyOutputs.instance, kTypeIdSingle));
    EXPECT_EQ(onlyOutputs.outputs[0].typeId, kTypeIdSingle);
}

TEST(IsInputSingle, FollowsTypeId) {
    TestInstance t(2, 1);
    t.inputs[0].typeId = kTypeIdSingle;
    t.inputs[1].typeId = kTypeIdDouble;
    EXPECT_TRUE(isInputSingle(&t.instance, 0));
    EXPECT_FALSE(isInputSingle(&t.instance, 1));
    for (int32_t typeId : {int32_t{kTypeIdUnset}, int32_t{kTypeIdBoolean}, 2}) {
        t.inputs[0].typeId = typeId;
        EXPECT_FALSE(isInputSingle(&t.instance, 0)) << "typeId " << typeId;
    }
}

TEST(IsInputFrameDataOn, ReadsFrameModeBits) {
    struct Case {
        uint32_t attributes;
        bool frame;
    };
    const Case cases[] = {
        {0u, false},                                              // sample based
        {kInputFrameModeLowBit, true},                            // frame based
        {kInputFrameModeHighBit, false},                          // inherited
        {kInputFrameModeHighBit | kInputFrameModeLowBit, false},  // inherited (-1)
        {kInputFrameModeLowBit | kInputMayOverwriteBit | kInputContiguousBit |
             kInputReuseOptionMask | 0xFFFFFFC0u,
         true},  // other bits ignored
        {0xFFFFFFFFu & ~kInputFrameModeLowBit & ~kInputFrameModeHighBit, false},
    };
    for (const Case& c : cases) {
        TestInstance t(1, 1);
        t.inputs[0].attributes = c.attributes;
        EXPECT_EQ(isInputFrameDataOn(&t.instance, 0), c.frame)
            << "attributes 0x" << std::hex << c.attributes;
    }
}

TEST(IsInputOriented, TrueWhenThereIsAColumnEntry) {
    int32_t dims[3] = {4, 3, 2};
    TestInstance t(1, 1);
    t.inputs[0].dims = dims;
    t.inputs[0].numDims = 1;
    EXPECT_FALSE(isInputOriented(&t.instance, 0));
    t.inputs[0].numDims = 2;
    EXPECT_TRUE(isInputOriented(&t.instance, 0));
    t.inputs[0].numDims = 3;
    EXPECT_TRUE(isInputOriented(&t.instance, 0));
    t.inputs[0].numDims = -1;
    EXPECT_FALSE(isInputOriented(&t.instance, 0));
    t.inputs[0].numDims = 0;
    EXPECT_FALSE(isInputOriented(&t.instance, 0));
}

TEST(InputPredicates, PortsOutOfRangeGiveFalse) {
    TestInstance t(2, 1);
    for (InputPortRecord& port : t.inputs) {
        port.typeId = kTypeIdSingle;
        port.attributes = kInputFrameModeLowBit;
        port.numDims = 2;
    }
    EXPECT_TRUE(isInputSingle(&t.instance, 1));
    EXPECT_TRUE(isInputFrameDataOn(&t.instance, 1));
    EXPECT_TRUE(isInputOriented(&t.instance, 1));
    for (int32_t port :
         {-1, 2, 3, std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::min()}) {
        SCOPED_TRACE(::testing::Message() << "port " << port);
        EXPECT_FALSE(isInputSingle(&t.instance, port));
        EXPECT_FALSE(isInputFrameDataOn(&t.instance, port));
        EXPECT_FALSE(isInputOriented(&t.instance, port));
    }
    t.instance.inputPorts = nullptr;
    EXPECT_FALSE(isInputSingle(&t.instance, 0));
    EXPECT_FALSE(isInputFrameDataOn(&t.instance, 0));
    EXPECT_FALSE(isInputOriented(&t.instance, 0));
}

TEST(TqCalloc, ZeroedNeverNullAndFreed) {
    TestInstance t(1, 1);
    auto* bytes = static_cast<unsigned char*>(tqCalloc(&t.instance, 1, 200));
    ASSERT_NE(bytes, nullptr);
    for (size_t i = 0; i < 200; ++i) {
        ASSERT_EQ(bytes[i], 0u) << "byte " << i;
    }
    std::memset(bytes, 0x5A, 200);
    tqFree(bytes);

    auto* doubles = static_cast<double*>(tqCalloc(&t.instance, 7, sizeof(double)));
    for (size_t i = 0; i < 7; ++i) {
        EXPECT_EQ(doubles[i], 0.0);
    }
    tqFree(doubles);

    void* a = tqCalloc(&t.instance, 0, 16);
    void* b = tqCalloc(&t.instance, 16, 0);
    void* c = tqCalloc(nullptr, 0, 0);
    EXPECT_NE(a, nullptr);
    EXPECT_NE(b, nullptr);
    EXPECT_NE(c, nullptr);
    EXPECT_NE(a, b);
    tqFree(a);
    tqFree(b);
    tqFree(c);
}

TEST(TqHeldAllocations, CountsEveryBlockUntilItIsFreed) {
    const size_t before = tqHeldAllocations();
    void* a = tqCalloc(nullptr, 1, 64);
    void* b = tqCalloc(nullptr, 0, 0);
    EXPECT_EQ(tqHeldAllocations(), before + 2);
    tqFree(nullptr);  // releases nothing
    EXPECT_EQ(tqHeldAllocations(), before + 2);
    tqFree(a);
    EXPECT_EQ(tqHeldAllocations(), before + 1);
    tqFree(b);
    EXPECT_EQ(tqHeldAllocations(), before);
}

using TqCallocDeathTest = ::testing::Test;

TEST_F(TqCallocDeathTest, OverflowAborts) {
    GTEST_FLAG_SET(death_test_style, KQ_DEATH_TEST_STYLE);
    EXPECT_DEATH(tqCalloc(nullptr, std::numeric_limits<size_t>::max() / 4, 8), "tqCalloc");
}

}  // namespace
