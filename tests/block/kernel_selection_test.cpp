#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "block/block_hooks.h"
#include "block/unwrap_args.h"
#include "block/unwrap_kernel_table.h"
#include "block_test_support.h"

namespace {

using kq::sim::HostInstance;

struct SelectionCase {
    std::string name;
    kqtest::InstanceShape shape;
    int expectedIndex;
    int32_t numChans;
    int32_t frameLen;
    int32_t numElems;
    bool stateBound;
};

class KernelSelection : public ::testing::TestWithParam<SelectionCase> {};

TEST_P(KernelSelection, StartFillsTheRecordAndChoosesOneEntry) {
    const SelectionCase& c = GetParam();
    HostInstance host;
    ASSERT_EQ(kqtest::prepareInstance(host, c.shape), "");
    ASSERT_EQ(kqtest::hostCall(host, kFlagStart), "");
    const auto* args = static_cast<const UnwrapArgs*>(host.block()->userData);
    ASSERT_NE(args, nullptr);
    // The entry at the layout's index, from the table of the level this processor has.
    EXPECT_EQ(args->kernel, unwrapKernelTableFor(bestVectorLevel())[c.expectedIndex]);
    EXPECT_EQ(args->numChans, c.numChans);
    EXPECT_EQ(args->frameLen, c.frameLen);
    EXPECT_EQ(args->numElems, c.numElems);
    EXPECT_EQ(args->in, host.block()->inputPorts[0].data);
    EXPECT_EQ(args->out, host.block()->outputPorts[0].data);
    EXPECT_EQ(args->cutoff, host.block()->workVectors[0].data);
    if (c.stateBound) {
        EXPECT_EQ(args->prev, host.block()->workVectors[1].data);
        EXPECT_EQ(args->cumsum, host.block()->workVectors[2].data);
        EXPECT_EQ(args->firstStep, host.block()->workVectors[3].data);
    } else {
        EXPECT_EQ(args->prev, nullptr);
        EXPECT_EQ(args->cumsum, nullptr);
        EXPECT_EQ(args->firstStep, nullptr);
    }
    EXPECT_EQ(kqtest::hostCall(host, kFlagTerminate), "");
    EXPECT_EQ(host.block()->userData, nullptr);
}

// shape: dims, frameMode, typeId, secondParam, inPlace
INSTANTIATE_TEST_SUITE_P(
    Layouts, KernelSelection,
    ::testing::Values(
        SelectionCase{"Frame4x3DoubleRunningCopy", {{4, 3}, 1, 0, 0.0, false}, 4, 3, 4, 3, true},
        SelectionCase{"Frame4x3SingleRunningInPlace", {{4, 3}, 1, 1, 0.0, true}, 11, 3, 4, 3, true},
        SelectionCase{"Row1x5DoubleStatelessInPlace", {{1, 5}, 0, 0, 1.0, true}, 1, 1, 5, 5, false},
        SelectionCase{"Vector5SampleRunning", {{5}, 0, 0, 0.0, false}, 4, 1, 5, 1, true},
        SelectionCase{"Vector5SampleRunningInPlace", {{5}, 0, 0, 0.0, true}, 5, 1, 5, 1, true},
        SelectionCase{"Sample2x2Running", {{2, 2}, 0, 0, 0.0, false}, 2, 2, 2, 4, true},
        SelectionCase{"Sample2x2RunningInPlaceSingle", {{2, 2}, 0, 1, 0.0, true}, 9, 2, 2, 4, true},
        SelectionCase{"FrameStatelessBindsState", {{4, 3}, 1, 0, 1.0, false}, 0, 3, 4, 3, true},
        SelectionCase{"FrameStatelessSingleInPlace", {{4, 3}, 1, 1, 1.0, true}, 7, 3, 4, 3, true},
        SelectionCase{"Row1x1RunningPerChannel", {{1, 1}, 0, 0, 0.0, false}, 4, 1, 1, 1, true},
        SelectionCase{"Row1x3RunningSingleCopy", {{1, 3}, 0, 1, 0.0, false}, 8, 1, 3, 3, true},
        SelectionCase{"Column3x1StatelessSingle", {{3, 1}, 0, 1, 1.0, false}, 6, 1, 3, 3, false},
        SelectionCase{"Vector4FrameRunningSingle", {{4}, 1, 1, 0.0, false}, 10, 1, 4, 1, true}),
    [](const auto& testCase) { return testCase.param.name; });

// The block's own table is the scalar reference: the scalar level's table is that very table,
// and each of its entries runs the public scalar kernel of its index.
TEST(KernelTables, ScalarTableIsTheReference) {
    EXPECT_EQ(&unwrapKernelTableFor(VectorLevel::Scalar), &UnwrapKernelTable);
}

// One output call of an entry on two channels of three samples (or six elements), running on
// from a Prev of 0.25, with steps that take turns: each kernel leaves different outputs or state,
// so an entry that runs another kernel, or hands its arguments in another order, shows.
struct EntryRun {
    std::vector<double> in, out, prev, cumsum;
    std::vector<float> inSgl, outSgl, prevSgl, cumsumSgl;
    uint8_t firstStep = 0;
};

EntryRun runEntry(UnwrapKernelEntry entry, int index) {
    EntryRun r;
    r.in = {0.0, 4.0, 8.0, 1.0, -3.0, 0.5};
    r.inSgl.assign(r.in.begin(), r.in.end());
    r.out.assign(6, -1.0);
    r.outSgl.assign(6, -1.0f);
    r.prev.assign(6, 0.25);
    r.cumsum.assign(6, 0.0);
    r.prevSgl.assign(6, 0.25f);
    r.cumsumSgl.assign(6, 0.0f);
    const bool single = index >= 6;
    const bool inPlace = index % 2 == 1;
    const double cutoffDbl = 3.141592653589793;
    const float cutoffSgl = 3.1415927f;
    UnwrapArgs args{};
    args.in = single ? static_cast<void*>(r.inSgl.data()) : r.in.data();
    args.out = inPlace ? args.in : (single ? static_cast<void*>(r.outSgl.data()) : r.out.data());
    args.numChans = 2;
    args.frameLen = 3;
    args.numElems = 6;
    args.prev = single ? static_cast<void*>(r.prevSgl.data()) : r.prev.data();
    args.cumsum = single ? static_cast<void*>(r.cumsumSgl.data()) : r.cumsum.data();
    args.cutoff = single ? static_cast<const void*>(&cutoffSgl) : &cutoffDbl;
    args.firstStep = &r.firstStep;
    args.kernel = entry;
    entry(&args);
    if (inPlace) {
        r.out = r.in;
        r.outSgl = r.inSgl;
    }
    return r;
}

TEST(KernelTables, EveryAvailableLevelTableRunsTheKernelsOfTheScalarTable) {
    for (VectorLevel level : kAllVectorLevels) {
        if (!vectorLevelAvailable(level)) {
            continue;
        }
        for (int index = 0; index < kNumUnwrapKernels; ++index) {
            SCOPED_TRACE(::testing::Message() << vectorLevelName(level) << ", entry " << index);
            const EntryRun expected = runEntry(UnwrapKernelTable[index], index);
            const EntryRun actual = runEntry(unwrapKernelTableFor(level)[index], index);
            EXPECT_EQ(actual.out, expected.out);
            EXPECT_EQ(actual.outSgl, expected.outSgl);
            EXPECT_EQ(actual.prev, expected.prev);
            EXPECT_EQ(actual.prevSgl, expected.prevSgl);
            EXPECT_EQ(actual.cumsum, expected.cumsum);
            EXPECT_EQ(actual.cumsumSgl, expected.cumsumSgl);
            if (level != VectorLevel::Scalar) {
                EXPECT_NE(unwrapKernelTableFor(level)[index], UnwrapKernelTable[index]);
            }
        }
    }
}

TEST(KernelIndex, FormulaCoversTheTable) {
    EXPECT_EQ(unwrapKernelIndex(false, false, false, false), 0);
    EXPECT_EQ(unwrapKernelIndex(true, false, false, true), 1);  // perChannel matters only running
    EXPECT_EQ(unwrapKernelIndex(false, false, true, false), 2);
    EXPECT_EQ(unwrapKernelIndex(true, false, true, true), 5);
    EXPECT_EQ(unwrapKernelIndex(true, true, true, true), 11);
}

}  // namespace
