// The bits hold in whatever floating-point mode the caller leaves: every kernel, through the
// block's entry point and, at every vector level, through the mode guard, under each mode of
// kCallerModes (flush-to-zero, denormals-are-zero or default NaN, each directed rounding, and a
// combination) gives the default mode's bytes, and leaves the caller's mode as it was and its
// flags raised, adding only the flags the same call raises in the default mode. The inputs hold
// subnormals, NaNs with payloads and sums that round differently in every direction; the same
// calls without the guard must give other bytes in every mode, so the inputs see each mode.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "block/unwrap_args.h"
#include "block/unwrap_kernel_table.h"
#include "block_test_support.h"
#include "floating_point_modes.h"
#include "host/data_types.h"
#include "kernels/vector_level.h"

using namespace kq;

namespace {

using kq::test::CallerMode;
using kq::test::FloatingPointState;
using kq::test::kCallerModes;

constexpr FloatingPointState kDefaultState{kDefaultFloatingPointMode, 0};

// Wrapped phase on a noisy ramp, with subnormals of both signs and a NaN with a payload among
// the samples, made in the default mode before any mode is set.
template <typename T>
std::vector<T> modeSensitiveSignal(size_t n, uint64_t seed) {
    std::mt19937_64 rng(seed);
    std::normal_distribution<double> noise(0.0, 0.05);
    double phase = 0.5;
    std::vector<T> signal(n);
    for (size_t i = 0; i < n; ++i) {
        phase += 0.9 + noise(rng);
        signal[i] = static_cast<T>(std::atan2(std::sin(phase), std::cos(phase)));
        if (i % 11 == 4) {
            signal[i] = std::numeric_limits<T>::denorm_min() * static_cast<T>(i % 5 + 1);
        } else if (i % 13 == 9) {
            signal[i] = -std::numeric_limits<T>::min() / 3;
        } else if (i % 37 == 20) {
            signal[i] = std::numeric_limits<T>::quiet_NaN();
            uint8_t* bytes = reinterpret_cast<uint8_t*>(&signal[i]);
            bytes[0] ^= 0x5A;  // a payload, which a default NaN would lose
        }
    }
    return signal;
}

std::vector<uint8_t> bytesOf(const void* data, size_t size) {
    const auto* first = static_cast<const uint8_t*>(data);
    return {first, first + size};
}

// What a run gave: the bytes of every output (and, for kernels, state), and the state of the
// thread after each checked call.
struct Outcome {
    std::vector<uint8_t> bytes;
    std::vector<FloatingPointState> after;
};

std::string hex(uint64_t value) {
    std::ostringstream text;
    text << "0x" << std::hex << value;
    return text.str();
}

// Compares a run in the caller's state with the default mode's run of the same calls.
::testing::AssertionResult sameAsDefault(const Outcome& actual, const Outcome& inDefault,
                                         const FloatingPointState& caller) {
    if (actual.bytes != inDefault.bytes) {
        size_t i = 0;
        while (actual.bytes[i] == inDefault.bytes[i]) {
            ++i;
        }
        return ::testing::AssertionFailure() << "other bytes, the first at byte " << i;
    }
    for (size_t call = 0; call < actual.after.size(); ++call) {
        const FloatingPointState expected{caller.mode, caller.flags | inDefault.after[call].flags};
        if (actual.after[call] != expected) {
            return ::testing::AssertionFailure()
                   << "after call " << call << " the mode is " << hex(actual.after[call].mode)
                   << " and the flags " << hex(actual.after[call].flags) << ", expected "
                   << hex(expected.mode) << " and " << hex(expected.flags);
        }
    }
    return ::testing::AssertionSuccess();
}

// ---------------------------------------------------------------------------------------------
// Through kvxFunction: a host instance of every kernel's layout lives its whole life in the
// caller's mode (the cutoff is rounded from the dialog at start); start and every output step
// are checked calls.

struct BlockCase {
    const char* name;
    kq::test::InstanceShape shape;
};

// shape: dims, frameMode, typeId, secondParam (1: stateless), inPlace, tolerance. A single
// precision tolerance of 2 pi rounds to above or below one turn with the rounding direction.
constexpr double kTwoPi = 6.283185307179586;
const BlockCase kBlockCases[] = {
    {"FrameStatelessDouble", {{64, 3}, 1, kTypeIdDouble, 1.0, false}},
    {"FrameStatelessDoubleInPlace", {{64, 3}, 1, kTypeIdDouble, 1.0, true}},
    {"FrameRunningDouble", {{64, 3}, 1, kTypeIdDouble, 0.0, false}},
    {"FrameRunningDoubleInPlace", {{64, 3}, 1, kTypeIdDouble, 0.0, true}},
    {"SampleRunningDouble", {{8, 8}, 0, kTypeIdDouble, 0.0, false}},
    {"SampleRunningDoubleInPlace", {{8, 8}, 0, kTypeIdDouble, 0.0, true}},
    {"OneSampleRunningDouble", {{1, 1}, 0, kTypeIdDouble, 0.0, false}},
    {"OneSampleStatelessDoubleInPlace", {{1, 1}, 0, kTypeIdDouble, 1.0, true}},
    {"FrameStatelessSingle", {{64, 3}, 1, kTypeIdSingle, 1.0, false, kTwoPi}},
    {"FrameStatelessSingleInPlace", {{64, 3}, 1, kTypeIdSingle, 1.0, true, kTwoPi}},
    {"FrameRunningSingle", {{64, 3}, 1, kTypeIdSingle, 0.0, false, kTwoPi}},
    {"FrameRunningSingleInPlace", {{64, 3}, 1, kTypeIdSingle, 0.0, true, kTwoPi}},
    {"SampleRunningSingle", {{8, 8}, 0, kTypeIdSingle, 0.0, false, kTwoPi}},
    {"SampleRunningSingleInPlace", {{8, 8}, 0, kTypeIdSingle, 0.0, true, kTwoPi}},
    {"OneSampleRunningSingleInPlace", {{1, 1}, 0, kTypeIdSingle, 0.0, true, kTwoPi}},
    {"OneSampleStatelessSingle", {{1, 1}, 0, kTypeIdSingle, 1.0, false, kTwoPi}},
};

constexpr int kSteps = 24;

Outcome runBlock(const BlockCase& c, const FloatingPointState& caller) {
    const bool single = c.shape.typeId == kTypeIdSingle;
    const size_t elementSize = single ? sizeof(float) : sizeof(double);
    size_t count = 1;
    for (int32_t d : c.shape.dims) {
        count *= static_cast<size_t>(d);
    }
    const std::vector<double> doubles = modeSensitiveSignal<double>(count * kSteps, 0x3D0DE);
    const std::vector<float> singles = modeSensitiveSignal<float>(count * kSteps, 0x3D0DE);
    Outcome outcome;
    kq::test::BlockHost host;
    kq::test::writeFloatingPointState(caller);
    EXPECT_EQ(kq::test::prepareInstance(host, c.shape), "");
    const auto checkedCall = [&](double flag) {
        kq::test::writeFloatingPointState(caller);
        EXPECT_EQ(kq::test::hostCall(host, flag), "");
        outcome.after.push_back(kq::test::readFloatingPointState());
    };
    checkedCall(kFlagStart);
    checkedCall(kFlagInitializeConditions);
    for (int step = 0; step < kSteps; ++step) {
        const void* samples = single ? static_cast<const void*>(singles.data() + step * count)
                                     : static_cast<const void*>(doubles.data() + step * count);
        std::memcpy(host.block()->inputPorts[0].data, samples, count * elementSize);
        checkedCall(kFlagOutputs);
        const std::vector<uint8_t> out =
            bytesOf(host.block()->outputPorts[0].data, count * elementSize);
        outcome.bytes.insert(outcome.bytes.end(), out.begin(), out.end());
    }
    kq::test::hostCall(host, kFlagTerminate);
    kq::test::writeFloatingPointState(kDefaultState);
    return outcome;
}

class BlockInEveryMode : public ::testing::TestWithParam<BlockCase> {};

TEST_P(BlockInEveryMode, GivesTheDefaultModesBytesAndLeavesTheCallersMode) {
    const Outcome inDefault = runBlock(GetParam(), kDefaultState);
    ASSERT_EQ(inDefault.after.size(), size_t{kSteps + 2});
    for (const CallerMode& mode : kCallerModes) {
        for (uint64_t flags : {uint64_t{0}, kq::test::kCallersFlag, kq::test::kEveryFlag}) {
            SCOPED_TRACE(::testing::Message() << mode.name << ", flags " << hex(flags));
            const FloatingPointState caller{kDefaultFloatingPointMode | mode.bits, flags};
            EXPECT_TRUE(sameAsDefault(runBlock(GetParam(), caller), inDefault, caller));
        }
    }
    // The default mode with flags raised keeps them.
    const FloatingPointState raised{kDefaultFloatingPointMode, kq::test::kCallersFlag};
    EXPECT_TRUE(sameAsDefault(runBlock(GetParam(), raised), inDefault, raised));
}

INSTANTIATE_TEST_SUITE_P(Layouts, BlockInEveryMode, ::testing::ValuesIn(kBlockCases),
                         [](const auto& testCase) { return std::string(testCase.param.name); });

// ---------------------------------------------------------------------------------------------
// The kernel table of every vector level this processor runs, each entry called through the guard
// (as every way into the kernels calls it): three calls on a running state, 3 channels of 64
// samples (64 elements per channel's worth for the per-element entries).

struct TableRun {
    VectorLevel level;
    int index;
    bool guarded;
};

template <typename T>
Outcome runEntry(const TableRun& run, const FloatingPointState& caller) {
    constexpr int32_t kChans = 3;
    constexpr int32_t kFrame = 64;
    constexpr size_t kValues = static_cast<size_t>(kChans) * kFrame;
    const UnwrapKernelEntry entry = unwrapKernelTableFor(run.level)[static_cast<size_t>(run.index)];
    const std::vector<T> signal = modeSensitiveSignal<T>(3 * kValues, 0xF10A7);
    std::vector<T> in(kValues);
    std::vector<T> out(kValues);
    std::vector<T> prev(kValues, T{0});
    std::vector<T> cumsum(kValues, T{0});
    uint8_t firstStep = 1;
    const T cutoff = static_cast<T>(3.141592653589793);
    UnwrapArgs args{};
    args.in = in.data();
    args.out = out.data();
    args.numChans = kChans;
    args.frameLen = kFrame;
    args.numElems = static_cast<int32_t>(kValues);
    args.prev = prev.data();
    args.cumsum = cumsum.data();
    args.cutoff = &cutoff;
    args.firstStep = &firstStep;
    args.kernel = entry;
    Outcome outcome;
    for (size_t call = 0; call < 3; ++call) {
        // Both buffers hold the samples: the in-place entries work on one or the other.
        const auto from = signal.begin() + static_cast<std::ptrdiff_t>(call * kValues);
        std::copy(from, from + static_cast<std::ptrdiff_t>(kValues), in.begin());
        std::copy(from, from + static_cast<std::ptrdiff_t>(kValues), out.begin());
        outcome.after.push_back(kq::test::stateAfter(caller, [&] {
            if (run.guarded) {
                const DefaultFloatingPointMode defaultMode;
                entry(&args);
            } else {
                entry(&args);
            }
        }));
        for (const std::vector<T>* values : {&in, &out, &prev, &cumsum}) {
            const std::vector<uint8_t> bytes = bytesOf(values->data(), kValues * sizeof(T));
            outcome.bytes.insert(outcome.bytes.end(), bytes.begin(), bytes.end());
        }
    }
    return outcome;
}

Outcome runEntryOfItsPrecision(const TableRun& run, const FloatingPointState& caller) {
    // Entries 6 to 11 are the single-precision ones.
    return run.index >= 6 ? runEntry<float>(run, caller) : runEntry<double>(run, caller);
}

TEST(KernelTablesInEveryMode, EveryEntryOfEveryLevelGivesTheDefaultModesBytesThroughTheGuard) {
    int levels = 0;
    for (VectorLevel level : kAllVectorLevels) {
        if (!vectorLevelAvailable(level)) {
            continue;
        }
        ++levels;
        for (const CallerMode& mode : kCallerModes) {
            int unguardedDifferences = 0;
            for (int index = 0; index < kNumUnwrapKernels; ++index) {
                SCOPED_TRACE(::testing::Message()
                             << vectorLevelName(level) << ", entry " << index << ", " << mode.name);
                const Outcome inDefault =
                    runEntryOfItsPrecision({level, index, true}, kDefaultState);
                for (uint64_t flags : {uint64_t{0}, kq::test::kCallersFlag}) {
                    const FloatingPointState caller{kDefaultFloatingPointMode | mode.bits, flags};
                    EXPECT_TRUE(sameAsDefault(runEntryOfItsPrecision({level, index, true}, caller),
                                              inDefault, caller))
                        << "flags " << hex(flags);
                }
                // The probe: the same calls without the guard see the mode.
                const FloatingPointState caller{kDefaultFloatingPointMode | mode.bits, 0};
                if (runEntryOfItsPrecision({level, index, false}, caller).bytes !=
                    inDefault.bytes) {
                    ++unguardedDifferences;
                }
            }
            EXPECT_GT(unguardedDifferences, 0)
                << vectorLevelName(level) << ", " << mode.name
                << ": without the guard no entry gave other bytes, so the inputs miss the mode";
        }
    }
    EXPECT_GT(levels, 0);
}

// The guard reads the mode once and writes it only when it differs: in the default mode the
// state it leaves is the state it found, and a guard inside another guard leaves the outer one's.
TEST(FloatingPointModeGuard, RestoresTheCallersModeAndKeepsItsFlags) {
    for (const CallerMode& mode : kCallerModes) {
        SCOPED_TRACE(mode.name);
        const FloatingPointState caller{kDefaultFloatingPointMode | mode.bits,
                                        kq::test::kCallersFlag};
        FloatingPointState inside{};
        FloatingPointState nested{};
        const FloatingPointState after = kq::test::stateAfter(caller, [&] {
            const DefaultFloatingPointMode outer;
            {
                const DefaultFloatingPointMode inner;
                nested = kq::test::readFloatingPointState();
            }
            inside = kq::test::readFloatingPointState();
        });
        EXPECT_EQ(inside.mode, kDefaultFloatingPointMode);
        EXPECT_EQ(nested.mode, kDefaultFloatingPointMode);
        EXPECT_EQ(inside.flags & kq::test::kCallersFlag, kq::test::kCallersFlag);
        EXPECT_EQ(after, caller);
    }
}

// A command-line call that fails raises its message once the caller's mode is back: the host
// catches the error in its own mode. One that succeeds leaves the caller's mode too.
TEST(FloatingPointModeGuard, CommandLineCallsLeaveTheCallersModeWhenTheyRaise) {
    for (const CallerMode& mode : kCallerModes) {
        SCOPED_TRACE(mode.name);
        const FloatingPointState caller{kDefaultFloatingPointMode | mode.bits,
                                        kq::test::kCallersFlag};
        kq::test::Arrays arrays;
        kq::test::CommandLineResult failed;
        const FloatingPointState afterFailure = kq::test::stateAfter(caller, [&] {
            failed = kq::test::commandLine(0, {nullptr, nullptr, nullptr, arrays.scalar(0.5)});
        });
        EXPECT_NE(failed.raised.find("must be an integer"), std::string::npos) << failed.raised;
        EXPECT_EQ(afterFailure.mode, caller.mode);
        kq::test::CommandLineResult query;
        const FloatingPointState afterQuery = kq::test::stateAfter(caller, [&] {
            query = kq::test::commandLine(1, {nullptr, nullptr, nullptr, arrays.scalar(0)});
        });
        EXPECT_EQ(query.raised, "");
        EXPECT_EQ(afterQuery.mode, caller.mode);
    }
}

}  // namespace
