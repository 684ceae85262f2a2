// The kernel the block chooses at start, and the kernel tables, checked by what the entries do:
// each entry runs on data where the walks (stateless, running per element, running per channel),
// the precisions and the buffer sharing all give different results, and must give the plain
// reference's result for its own walk, precision and sharing.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <iterator>
#include <limits>
#include <string>
#include <type_traits>
#include <vector>

#include "block/block_hooks.h"
#include "block/unwrap_args.h"
#include "block/unwrap_kernel_table.h"
#include "block_test_support.h"
#include "host/data_types.h"
#include "kernels/kernel_list.h"
#include "kernels/reference/unwrap_reference.h"
#include "kernels/reference/value_bits.h"

using namespace kq;

namespace {

using HostInstance = kq::test::BlockHost;

// Where an entry finds its data: a copying entry reads `in` and writes `out`; an in-place entry
// reads and overwrites the one buffer of the record's `in` or of its `out`.
enum class Buffers { InToOut, InPlaceIn, InPlaceOut };

// The buffers of each table entry, by index: the in-place running per-channel entries (5, 11) take
// theirs from `in`, the other in-place entries (1, 3, 7, 9) from `out`.
constexpr Buffers kEntryBuffers[kNumUnwrapKernels] = {
    Buffers::InToOut, Buffers::InPlaceOut, Buffers::InToOut, Buffers::InPlaceOut,
    Buffers::InToOut, Buffers::InPlaceIn,  Buffers::InToOut, Buffers::InPlaceOut,
    Buffers::InToOut, Buffers::InPlaceOut, Buffers::InToOut, Buffers::InPlaceIn};

// What an entry must do: the walk, the precision and the buffers it reads and writes.
struct EntryKind {
    KernelShape shape;
    bool single;
    Buffers buffers;
};

// The sizes an entry finds in the record.
struct EntryLayout {
    int32_t numChans;
    int32_t frameLen;
    int32_t numElems;
};

template <typename T>
::testing::AssertionResult sameValues(const char* what, int call, const std::vector<T>& actual,
                                      const std::vector<T>& expected) {
    const size_t i = kq::ref::firstBitDifference(actual.data(), expected.data(), actual.size());
    if (i == actual.size()) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "call " << call << ", " << what << "[" << i << "] is "
                                         << kq::ref::describeBits(actual[i]) << ", expected "
                                         << kq::ref::describeBits(expected[i]);
}

// Two calls of `entry` on a record of its own whose `in` and `out` are distinct buffers with
// different contents, from a running state (Prev 0.25, Cumsum 0, FirstStep clear). The buffer it
// writes must hold the reference walk of `kind` over the buffer it reads (`in` to `out` copying, in
// place the one buffer of its field), the other buffer must stay as it was, and the state must
// match the reference. Samples step by 4 along the buffer and by 7 from one call to the next, so
// every walk takes different corrections.
template <typename T>
::testing::AssertionResult runsAs(UnwrapKernelEntry entry, const EntryKind& kind,
                                  const EntryLayout& layout) {
    const auto values = static_cast<size_t>(layout.numChans) * static_cast<size_t>(layout.frameLen);
    const T cutoff = static_cast<T>(3.141592653589793);
    // Room for every count in the record, so that a kernel walking another shape stays inside.
    const size_t stateLen = std::max(
        {values, static_cast<size_t>(layout.numChans), static_cast<size_t>(layout.numElems)});
    std::vector<T> prev(stateLen, static_cast<T>(0.25));
    std::vector<T> cumsum(stateLen, T{0});
    uint8_t firstStep = 0;
    kq::ref::ReferenceState<T> model{prev, cumsum, 0};

    for (int call = 0; call < 2; ++call) {
        std::vector<T> in(values);
        std::vector<T> out(values);
        for (size_t i = 0; i < values; ++i) {
            in[i] = static_cast<T>(4.0 * static_cast<double>(i) + 7.0 * call + 0.5);
            out[i] = static_cast<T>(-3.0 * static_cast<double>(i) - 5.0 * call - 0.25);
        }
        const bool writesIn = kind.buffers == Buffers::InPlaceIn;
        std::vector<T>& written = writesIn ? in : out;
        std::vector<T>& untouched = writesIn ? out : in;
        const std::vector<T> untouchedBefore = untouched;
        const std::vector<T> source = kind.buffers == Buffers::InPlaceOut ? out : in;
        std::vector<T> expected = written;
        switch (kind.shape) {
            case KernelShape::Stateless:
                kq::ref::referenceStateless(source.data(), expected.data(), cutoff, layout.numChans,
                                            layout.frameLen);
                break;
            case KernelShape::RunningSample:
                kq::ref::referenceRunningSample(model, source.data(), expected.data(), cutoff,
                                                layout.numElems);
                break;
            case KernelShape::RunningFrame:
                kq::ref::referenceRunningFrame(model, source.data(), expected.data(), cutoff,
                                               layout.numChans, layout.frameLen);
                break;
        }

        UnwrapArgs args{};
        args.in = in.data();
        args.out = out.data();
        args.numChans = layout.numChans;
        args.frameLen = layout.frameLen;
        args.numElems = layout.numElems;
        args.prev = prev.data();
        args.cumsum = cumsum.data();
        args.cutoff = &cutoff;
        args.firstStep = &firstStep;
        args.kernel = entry;
        entry(&args);

        for (auto result : {sameValues(writesIn ? "in" : "out", call, written, expected),
                            sameValues(writesIn ? "out" : "in", call, untouched, untouchedBefore),
                            sameValues("Prev", call, prev, model.prev),
                            sameValues("Cumsum", call, cumsum, model.cumsum)}) {
            if (!result) {
                return result;
            }
        }
        if (firstStep != model.firstStep) {
            return ::testing::AssertionFailure()
                   << "call " << call << ": FirstStep " << int{firstStep} << ", expected 0";
        }
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult entryRunsAs(UnwrapKernelEntry entry, const EntryKind& kind,
                                       const EntryLayout& layout) {
    return kind.single ? runsAs<float>(entry, kind, layout) : runsAs<double>(entry, kind, layout);
}

struct SelectionCase {
    std::string name;
    kq::test::InstanceShape shape;
    KernelShape walk;
    int32_t numChans;
    int32_t frameLen;
    int32_t numElems;
    bool stateBound;
};

class KernelSelection : public ::testing::TestWithParam<SelectionCase> {};

constexpr KernelShape kStateless = KernelShape::Stateless;
constexpr KernelShape kPerElement = KernelShape::RunningSample;
constexpr KernelShape kPerChannel = KernelShape::RunningFrame;

TEST_P(KernelSelection, StartFillsTheRecordAndChoosesTheEntryOfTheLayout) {
    const SelectionCase& c = GetParam();
    HostInstance host;
    ASSERT_EQ(kq::test::prepareInstance(host, c.shape), "");
    ASSERT_EQ(kq::test::hostCall(host, kFlagStart), "");
    const auto* args = static_cast<const UnwrapArgs*>(host.block()->userData);
    ASSERT_NE(args, nullptr);
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
    const bool single = c.shape.typeId == kTypeIdSingle;
    const int index =
        unwrapKernelIndex(c.shape.inPlace, single, c.walk != kStateless, c.walk == kPerChannel);
    EXPECT_TRUE(entryRunsAs(args->kernel, {c.walk, single, kEntryBuffers[index]},
                            {args->numChans, args->frameLen, args->numElems}));
    EXPECT_EQ(kq::test::hostCall(host, kFlagTerminate), "");
    EXPECT_EQ(host.block()->userData, nullptr);
}

// shape: dims, frameMode, typeId, secondParam, inPlace
INSTANTIATE_TEST_SUITE_P(
    Layouts, KernelSelection,
    ::testing::Values(
        SelectionCase{
            "Frame4x3DoubleRunningCopy", {{4, 3}, 1, 0, 0.0, false}, kPerChannel, 3, 4, 3, true},
        SelectionCase{
            "Frame4x3SingleRunningInPlace", {{4, 3}, 1, 1, 0.0, true}, kPerChannel, 3, 4, 3, true},
        SelectionCase{
            "Row1x5DoubleStatelessInPlace", {{1, 5}, 0, 0, 1.0, true}, kStateless, 1, 5, 5, false},
        SelectionCase{"Vector5SampleRunning", {{5}, 0, 0, 0.0, false}, kPerChannel, 1, 5, 1, true},
        SelectionCase{
            "Vector5SampleRunningInPlace", {{5}, 0, 0, 0.0, true}, kPerChannel, 1, 5, 1, true},
        SelectionCase{"Sample2x2Running", {{2, 2}, 0, 0, 0.0, false}, kPerElement, 2, 2, 4, true},
        SelectionCase{
            "Sample2x2RunningInPlaceSingle", {{2, 2}, 0, 1, 0.0, true}, kPerElement, 2, 2, 4, true},
        SelectionCase{
            "FrameStatelessBindsState", {{4, 3}, 1, 0, 1.0, false}, kStateless, 3, 4, 3, true},
        SelectionCase{
            "FrameStatelessSingleInPlace", {{4, 3}, 1, 1, 1.0, true}, kStateless, 3, 4, 3, true},
        SelectionCase{
            "Row1x1RunningPerChannel", {{1, 1}, 0, 0, 0.0, false}, kPerChannel, 1, 1, 1, true},
        SelectionCase{
            "Row1x1RunningSingleInPlace", {{1, 1}, 0, 1, 0.0, true}, kPerChannel, 1, 1, 1, true},
        SelectionCase{
            "Column1x1StatelessSingle", {{1, 1}, 0, 1, 1.0, false}, kStateless, 1, 1, 1, false},
        SelectionCase{
            "Row1x3RunningSingleCopy", {{1, 3}, 0, 1, 0.0, false}, kPerElement, 1, 3, 3, true},
        SelectionCase{
            "Column3x1StatelessSingle", {{3, 1}, 0, 1, 1.0, false}, kStateless, 1, 3, 3, false},
        SelectionCase{
            "Vector4FrameRunningSingle", {{4}, 1, 1, 0.0, false}, kPerChannel, 1, 4, 1, true}),
    [](const auto& testCase) { return testCase.param.name; });

// Every entry of every level this processor runs, found through the index of its layout,
// precision and sharing, runs the walk of that layout in that precision, copying or in place.
TEST(KernelTables, EveryEntryRunsTheKernelOfItsIndex) {
    for (VectorLevel level : kAllVectorLevels) {
        if (!vectorLevelAvailable(level)) {
            continue;
        }
        for (bool running : {false, true}) {
            for (bool perChannel : {false, true}) {
                for (bool single : {false, true}) {
                    for (bool inPlace : {false, true}) {
                        const int index = unwrapKernelIndex(inPlace, single, running, perChannel);
                        SCOPED_TRACE(::testing::Message()
                                     << vectorLevelName(level) << ", entry " << index);
                        ASSERT_GE(index, 0);
                        ASSERT_LT(index, kNumUnwrapKernels);
                        const KernelShape walk = !running     ? KernelShape::Stateless
                                                 : perChannel ? KernelShape::RunningFrame
                                                              : KernelShape::RunningSample;
                        EXPECT_TRUE(entryRunsAs(unwrapKernelTableFor(level)[index],
                                                {walk, single, kEntryBuffers[index]}, {2, 3, 6}));
                    }
                }
            }
        }
    }
}

// A scalar signal, one sample per call: the one-element entries against the reference, step by
// step, over values and steps that take every branch of the step (calm, one turn, near pi, beyond
// 3 pi, huge, infinite, NaN, signed zeros) and cutoffs that make the calm shortcut unsafe (below
// 1e-15, negative, NaN), with FirstStep raised now and then; copying and in place.
template <typename T>
::testing::AssertionResult oneElementRunsAsTheReference(bool running, bool inPlace) {
    const double values[] = {0.0,
                             -0.0,
                             0.5,
                             2.9,
                             -2.9,
                             3.1415926,
                             -3.1415926,
                             3.1425,
                             -3.1425,
                             6.0,
                             -6.0,
                             9.42,
                             -9.42,
                             12.0,
                             1e300,
                             -1e300,
                             std::numeric_limits<double>::infinity(),
                             -std::numeric_limits<double>::infinity(),
                             std::numeric_limits<double>::quiet_NaN(),
                             1e-310,
                             0.25};
    const double cutoffs[] = {
        3.141592653589793, 0.0, 1e-16, -1.0, 6.3, std::numeric_limits<double>::quiet_NaN()};
    const UnwrapKernelEntry entry =
        unwrapOneElementEntry(inPlace, std::is_same_v<T, float>, running);
    T prev = static_cast<T>(0.75);
    T cumsum = T{0};
    uint8_t firstStep = 1;
    kq::ref::ReferenceState<T> model{{prev}, {cumsum}, 1};
    T cutoff{};
    UnwrapArgs args{};
    args.prev = &prev;
    args.cumsum = &cumsum;
    args.cutoff = &cutoff;
    args.firstStep = &firstStep;
    args.numChans = 1;
    args.frameLen = 1;
    args.numElems = 1;
    // Every value after every other one, under every cutoff: call 2p brings value i and call
    // 2p + 1 value j, for the pairs p = (i, j) in turn.
    constexpr size_t kValues = std::size(values);
    for (size_t call = 0; call < 2 * kValues * kValues * std::size(cutoffs); ++call) {
        const size_t pair = call / 2;
        if (call % 97 == 50) {
            firstStep = 1;
            model.firstStep = 1;
        }
        cutoff = static_cast<T>(cutoffs[pair / (kValues * kValues)]);
        T in = static_cast<T>(values[call % 2 == 0 ? pair % kValues : (pair / kValues) % kValues]);
        T out = static_cast<T>(-123.0);
        const T sample = in;
        // In place the running entry stands in for entries 5 and 11 and takes its one buffer from
        // `in`, the stateless one for entries 1 and 7 and takes it from `out`; the other field
        // then holds another value, which must stay.
        const T otherValue = static_cast<T>(99.0);
        T other = otherValue;
        args.in = inPlace && !running ? &other : &in;
        args.out = !inPlace ? &out : running ? &other : &in;
        entry(&args);
        if (inPlace && std::bit_cast<std::array<unsigned char, sizeof(T)>>(other) !=
                           std::bit_cast<std::array<unsigned char, sizeof(T)>>(otherValue)) {
            return ::testing::AssertionFailure() << "call " << call << " wrote the other field";
        }
        T expected = sample;
        if (running) {
            kq::ref::referenceRunningFrame(model, &sample, &expected, cutoff, 1, 1);
        } else {
            kq::ref::referenceStateless(&sample, &expected, cutoff, 1, 1);
        }
        const T actual = inPlace ? in : out;
        for (auto result : {sameValues("output", static_cast<int>(call), std::vector<T>{actual},
                                       std::vector<T>{expected}),
                            sameValues("Prev", static_cast<int>(call), std::vector<T>{prev},
                                       running ? model.prev : std::vector<T>{prev}),
                            sameValues("Cumsum", static_cast<int>(call), std::vector<T>{cumsum},
                                       running ? model.cumsum : std::vector<T>{cumsum})}) {
            if (!result) {
                return result << " (cutoff " << static_cast<double>(cutoff) << ")";
            }
        }
        if (running && firstStep != model.firstStep) {
            return ::testing::AssertionFailure()
                   << "call " << call << ": FirstStep " << int{firstStep};
        }
    }
    return ::testing::AssertionSuccess();
}

TEST(OneElementEntries, RunTheReferenceStepOnEveryKindOfStep) {
    for (bool running : {false, true}) {
        for (bool inPlace : {false, true}) {
            SCOPED_TRACE(::testing::Message() << (running ? "running" : "stateless")
                                              << (inPlace ? ", in place" : ", copying"));
            EXPECT_TRUE(oneElementRunsAsTheReference<double>(running, inPlace));
            EXPECT_TRUE(oneElementRunsAsTheReference<float>(running, inPlace));
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
