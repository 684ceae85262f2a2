// The vector levels against the scalar kernels, bit for bit: every one of the twelve kernels at
// every level this processor has, on guarded buffers (see KernelRunner) that start on and one
// element off a 64-byte boundary or end at an inaccessible page (so that reading past one faults),
// over the lengths around each vector width, with the hard values and hard steps placed first, in
// the middle and last, on phase ramps with rare, typical and dense wraps, over several calls split
// at random points. Outputs, Prev, Cumsum and FirstStep must all have the same bits as the scalar
// kernel's. Seeds and trials of a failure are printed.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <limits>
#include <ostream>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "kernel_test_support.h"
#include "kernels/vector_level.h"
#include "level_flag_macros.h"

using namespace kq;

namespace {

using kq::test::fromBits;
using kq::test::GuardedBuffer;
using kq::test::HardSignalSource;
using kq::test::HardValues;
using kq::test::KernelInfo;
using kq::test::KernelRunner;
using kq::test::Placement;
using kq::test::sameBits;
using kq::test::Shape;
using kq::test::unwrittenValue;

// ---------------------------------------------------------------------------------------------
// Signals

// Hard values, each placed alone, and hard steps, each a pair (a zero, then the step) so that the
// difference is exactly the step.
template <typename T>
std::vector<std::vector<T>> hardPieces() {
    using L = std::numeric_limits<T>;
    using H = HardValues<T>;
    // NaNs with payloads, negative, and signalling (not the markers of the test support).
    const auto nan = [](uint64_t doubleBits, uint32_t singleBits) {
        if constexpr (sizeof(T) == 8) {
            return fromBits<T>(doubleBits);
        } else {
            return fromBits<T>(singleBits);
        }
    };
    const T payloadNaN = nan(0x7FF8'0000'0001'2345ull, 0x7FC1'2345u);
    const T negativeNaN = nan(0xFFF8'0000'0000'0ABCull, 0xFFC0'0ABCu);
    const T signallingNaN = nan(0x7FF0'0000'0000'0777ull, 0x7F80'0777u);
    std::vector<std::vector<T>> pieces = {
        {T{0}},           {-T{0}},        {L::denorm_min()}, {-L::denorm_min()},
        {L::min() / 2},   {H::belowPi()}, {-H::belowPi()},   {static_cast<T>(1e15)},
        {H::huge},        {-H::huge},     {L::max()},        {L::lowest()},
        {payloadNaN},     {negativeNaN},  {signallingNaN},   {L::infinity()},
        {-L::infinity()},
    };
    const T steps[] = {H::pi,
                       static_cast<T>(-H::pi),
                       H::threePi,
                       static_cast<T>(-H::threePi),
                       H::insideWindow,
                       H::beyondWindow,
                       H::belowPi(),
                       static_cast<T>(-H::belowPi()),
                       H::twoPi,
                       static_cast<T>(-H::twoPi),
                       static_cast<T>(1e-17)};
    for (T step : steps) {
        pieces.push_back({T{0}, step});
        pieces.push_back({-T{0}, step});
    }
    return pieces;
}

// The cutoffs of the trials: the usual one, the boundaries of a turn, ones that no correction
// passes and ones that every correction passes, rounding residues included, and ones just below
// and above the bound from which calm steps take no correction (kCalmCutoff).
template <typename T>
std::vector<T> trialCutoffs() {
    using L = std::numeric_limits<T>;
    using H = HardValues<T>;
    return {H::pi,
            T{0},
            static_cast<T>(1e-15),
            H::twoPi,
            std::nextafter(H::twoPi, T{0}),
            T{1},
            L::infinity(),
            L::quiet_NaN(),
            T{-1},
            -T{0},
            static_cast<T>(1e-16),
            static_cast<T>(2e-15),
            T{-7}};
}

// Wrapped phase: a ramp of `step` rad per sample with Gaussian noise, through atan2.
template <typename T>
std::vector<T> phaseRamp(std::mt19937_64& rng, size_t n, double step, double noise) {
    std::normal_distribution<double> gauss(0.0, noise);
    double phase = std::uniform_real_distribution<double>(-3.0, 3.0)(rng);
    std::vector<T> out(n);
    for (T& value : out) {
        phase += step + gauss(rng);
        value = static_cast<T>(std::atan2(std::sin(phase), std::cos(phase)));
    }
    return out;
}

// A signal of n samples for one trial: a base that rotates through random hard signals and
// ramps with rare, typical and dense wraps, with one hard piece placed first, one in the middle
// and one last (rotating with the trial).
template <typename T>
std::vector<T> trialSignal(HardSignalSource<T>& source, size_t n, int trial) {
    std::vector<T> signal;
    switch (trial % 5) {
        case 0:
            signal = source.signal(n);
            break;
        case 1:
            signal = phaseRamp<T>(source.rng(), n, 0.3, 0.05);
            break;
        case 2:
            signal = phaseRamp<T>(source.rng(), n, 0.05, 0.05);
            break;
        case 3:
            signal = phaseRamp<T>(source.rng(), n, 2.5, 0.05);
            break;
        default:
            signal = phaseRamp<T>(source.rng(), n, -2.5, 0.05);
            break;
    }
    static const std::vector<std::vector<T>> pieces = hardPieces<T>();
    const size_t middle = n / 2;
    const size_t positions[] = {0, middle, n == 0 ? 0 : n - 1};
    for (size_t p = 0; p < 3 && n > 0; ++p) {
        const std::vector<T>& piece = pieces[(static_cast<size_t>(trial) + 7 * p) % pieces.size()];
        if (piece.size() <= n) {
            // A pair that does not fit after the last position ends there instead.
            const size_t at = std::min(positions[p], n - piece.size());
            std::copy(piece.begin(), piece.end(), signal.begin() + static_cast<std::ptrdiff_t>(at));
        }
    }
    return signal;
}

// ---------------------------------------------------------------------------------------------
// Comparison

// One call of the scalar kernel and of the level's kernel on the same input: the same bits in
// the outputs and the state.
template <typename T>
::testing::AssertionResult sameCall(KernelRunner<T>& scalar, KernelRunner<T>& fast,
                                    const std::vector<T>& in, T cutoff, int32_t numChans,
                                    int32_t frameLen) {
    const std::vector<T> expected = scalar.call(in, cutoff, numChans, frameLen);
    const std::vector<T> actual = fast.call(in, cutoff, numChans, frameLen);
    if (auto r = sameBits(actual, expected); !r) {
        return r << " (outputs)";
    }
    if (auto r = sameBits(fast.prev(), scalar.prev()); !r) {
        return r << " (Prev)";
    }
    if (auto r = sameBits(fast.cumsum(), scalar.cumsum()); !r) {
        return r << " (Cumsum)";
    }
    if (fast.firstStep() != scalar.firstStep()) {
        return ::testing::AssertionFailure()
               << "FirstStep " << int{fast.firstStep()} << ", expected " << int{scalar.firstStep()};
    }
    return ::testing::AssertionSuccess();
}

class KernelLevels : public ::testing::TestWithParam<VectorLevel> {
  protected:
    void SetUp() override {
        if (!vectorLevelAvailable(GetParam())) {
            GTEST_SKIP() << "this processor lacks " << vectorLevelName(GetParam());
        }
    }
};

// Around the vector widths and the stretches of 32 blocks (of the single-channel path, and the
// first stretch of a group of channels side by side) at both widths.
constexpr int32_t kLengths[] = {0,  1,  2,  3,  7,   8,   9,   15,   16,    17,
                                31, 32, 33, 65, 127, 129, 257, 1023, 131071};

// Every kernel, length and channel count, with hard values in every position over the trials,
// which take the placements in turn; running kernels make three calls (the first seeds the
// state). Placed at a page end, the input, the output and the state each end where a read past
// them faults.
template <typename T>
void checkLengthsAlignmentsAndHardValues(VectorLevel level, uint64_t seed) {
    HardSignalSource<T> source(seed);
    const std::vector<T> cutoffs = trialCutoffs<T>();
    const size_t pieceCount = hardPieces<T>().size();
    const std::vector<Placement> placements = kq::test::everyPlacement();
    for (size_t k = 0; k < 6; ++k) {
        const KernelInfo<T>& scalarKernel = kq::test::kernelCatalogue<T>()[k];
        const KernelInfo<T>& fastKernel = kq::test::kernelCatalogue<T>(level)[k];
        for (int32_t length : kLengths) {
            const bool longOne = length > 100000;
            // 8 channels: groups side by side at every level, the last one ending the buffer;
            // 9: those and one channel left over.
            for (int32_t numChans : {1, 3, 8, 9}) {
                if (numChans > 1 && (longOne || scalarKernel.shape == Shape::RunningSample)) {
                    continue;  // per-element kernels see length elements, whatever numChans
                }
                // Every hard piece first in two placements.
                const int trials = longOne ? 5 : 2 * static_cast<int>(pieceCount);
                for (int trial = 0; trial < trials; ++trial) {
                    const Placement place =
                        placements[static_cast<size_t>(trial) % placements.size()];
                    SCOPED_TRACE(::testing::Message()
                                 << scalarKernel.name << " at " << vectorLevelName(level) << ", "
                                 << numChans << " x " << length << ", " << kq::test::describe(place)
                                 << ", seed " << seed << ", trial " << trial);
                    const size_t stateLen =
                        kq::test::stateLength(scalarKernel.shape, numChans, length);
                    KernelRunner<T> scalar(scalarKernel, stateLen, place);
                    KernelRunner<T> fast(fastKernel, stateLen, place);
                    const int calls = scalarKernel.shape == Shape::Stateless ? 1 : 3;
                    for (int call = 0; call < calls; ++call) {
                        SCOPED_TRACE(::testing::Message() << "call " << call);
                        const T cutoff =
                            cutoffs[static_cast<size_t>(trial + call) % cutoffs.size()];
                        const std::vector<T> in = trialSignal(
                            source, static_cast<size_t>(numChans) * length, trial + call);
                        ASSERT_TRUE(sameCall(scalar, fast, in, cutoff, numChans, length));
                    }
                }
            }
        }
    }
}

TEST_P(KernelLevels, DoubleKernelsMatchOverLengthsAlignmentsAndHardValues) {
    checkLengthsAlignmentsAndHardValues<double>(GetParam(), 0x1e7e'0000'0001ull);
}

TEST_P(KernelLevels, SingleKernelsMatchOverLengthsAlignmentsAndHardValues) {
    checkLengthsAlignmentsAndHardValues<float>(GetParam(), 0x1e7e'0000'0002ull);
}

// The running kernels over many calls: per channel, each channel's signal split at random points
// (calls of any length, none included, once the state is seeded), with the state reset or only
// FirstStep raised now and then; per element, a fixed set of elements over many calls.
template <typename T>
void checkRandomSplits(VectorLevel level, uint64_t seed) {
    HardSignalSource<T> source(seed);
    const std::vector<T> cutoffs = trialCutoffs<T>();
    for (size_t k = 2; k < 6; ++k) {
        const KernelInfo<T>& scalarKernel = kq::test::kernelCatalogue<T>()[k];
        const KernelInfo<T>& fastKernel = kq::test::kernelCatalogue<T>(level)[k];
        for (int trial = 0; trial < 30; ++trial) {
            SCOPED_TRACE(::testing::Message()
                         << scalarKernel.name << " at " << vectorLevelName(level) << ", seed "
                         << seed << ", trial " << trial);
            const bool perChannel = scalarKernel.shape == Shape::RunningFrame;
            const int32_t numChans = perChannel ? source.intIn(1, 19) : source.intIn(1, 80);
            // Every fourth trial ends its buffers at a guard page.
            const auto misalign = static_cast<size_t>(source.intIn(0, 7));
            const Placement place = trial % 4 == 3 ? Placement::pageEnd() : Placement(misalign);
            KernelRunner<T> scalar(scalarKernel, static_cast<size_t>(numChans), place);
            KernelRunner<T> fast(fastKernel, static_cast<size_t>(numChans), place);
            const T cutoff = cutoffs[static_cast<size_t>(trial) % cutoffs.size()];
            bool seeded = false;
            for (int call = 0; call < 25; ++call) {
                SCOPED_TRACE(::testing::Message() << "call " << call);
                if (call > 0 && source.intIn(0, 9) == 0) {
                    scalar.initializeConditions();
                    fast.initializeConditions();
                    seeded = false;
                } else if (call > 0 && source.intIn(0, 9) == 0) {
                    scalar.armFirstStep();
                    fast.armFirstStep();
                    seeded = false;
                }
                // A first call without samples would leave Prev unseeded in both.
                const int32_t frameLen = perChannel ? source.intIn(seeded ? 0 : 1, 70) : 1;
                const std::vector<T> in =
                    trialSignal(source, static_cast<size_t>(numChans) * frameLen, trial + call);
                ASSERT_TRUE(sameCall(scalar, fast, in, cutoff, numChans, frameLen));
                seeded = true;
            }
        }
    }
}

TEST_P(KernelLevels, DoubleRunningKernelsMatchOverRandomSplits) {
    checkRandomSplits<double>(GetParam(), 0x1e7e'0000'0003ull);
}

TEST_P(KernelLevels, SingleRunningKernelsMatchOverRandomSplits) {
    checkRandomSplits<float>(GetParam(), 0x1e7e'0000'0004ull);
}

// The running kernels going on from any state: Cumsum holding signed zeros, NaNs, infinities and
// huge values, FirstStep clear, on channel counts that fill groups of every level's width and
// leave some over. Where no correction is taken the state keeps its bits (channels side by side
// add -0.0 there, which would quiet a signalling NaN). A binary32 signalling NaN is quieted when
// it is widened, and whether a kernel then stores the value back or the one it read is the
// compiler's choice (it may take a float -> double -> float round trip for the identity): so
// only the double state holds signalling NaNs.
template <typename T>
void checkAnyStartingState(VectorLevel level, uint64_t seed) {
    using L = std::numeric_limits<T>;
    HardSignalSource<T> source(seed);
    const T sums[] = {
        T{0},
        -T{0},
        fromBits<T>(sizeof(T) == 8 ? uint64_t{0x7FF0'0000'0000'0777ull} : uint64_t{0x7FC0'0777u}),
        fromBits<T>(sizeof(T) == 8 ? uint64_t{0xFFF8'0000'0000'0ABCull} : uint64_t{0xFFC0'0ABCu}),
        L::infinity(),
        -L::infinity(),
        L::max(),
        L::denorm_min(),
        static_cast<T>(-12.566370614359172)};
    const std::vector<T> cutoffs = trialCutoffs<T>();
    for (size_t k = 2; k < 6; ++k) {
        const KernelInfo<T>& scalarKernel = kq::test::kernelCatalogue<T>()[k];
        const KernelInfo<T>& fastKernel = kq::test::kernelCatalogue<T>(level)[k];
        const bool perChannel = scalarKernel.shape == Shape::RunningFrame;
        for (int32_t numChans : {4, 9, 17}) {
            for (int32_t frameLen : {1, 5, 70, 200}) {
                for (int trial = 0; trial < 10; ++trial) {
                    SCOPED_TRACE(::testing::Message()
                                 << scalarKernel.name << " at " << vectorLevelName(level) << ", "
                                 << numChans << " x " << frameLen << ", seed " << seed << ", trial "
                                 << trial);
                    const size_t stateLen =
                        kq::test::stateLength(scalarKernel.shape, numChans, frameLen);
                    std::vector<T> prev(stateLen);
                    std::vector<T> cumsum(stateLen);
                    for (size_t i = 0; i < stateLen; ++i) {
                        prev[i] = static_cast<T>(source.intIn(-3, 3));
                        // Mostly zeros, so that every group meets one odd value now and then.
                        cumsum[i] = source.intIn(0, 3) == 0
                                        ? sums[static_cast<size_t>(source.intIn(0, 8))]
                                        : T{0};
                    }
                    KernelRunner<T> scalar(scalarKernel, stateLen, 0);
                    KernelRunner<T> fast(fastKernel, stateLen, 0);
                    scalar.setState(prev, cumsum);
                    fast.setState(prev, cumsum);
                    // Calm and rare wraps leave most of the state as it was; dense wraps do not.
                    const std::vector<T> in = trialSignal(
                        source, static_cast<size_t>(numChans) * frameLen, trial % 2 == 0 ? 2 : 3);
                    const T cutoff = cutoffs[static_cast<size_t>(trial) % 3];
                    const int32_t chans = perChannel ? numChans : 1;
                    const int32_t len = perChannel ? frameLen : numChans * frameLen;
                    ASSERT_TRUE(sameCall(scalar, fast, in, cutoff, chans, len));
                }
            }
        }
    }
}

TEST_P(KernelLevels, DoubleRunningKernelsGoOnFromAnyState) {
    checkAnyStartingState<double>(GetParam(), 0x1e7e'0000'0007ull);
}

TEST_P(KernelLevels, SingleRunningKernelsGoOnFromAnyState) {
    checkAnyStartingState<float>(GetParam(), 0x1e7e'0000'0008ull);
}

// The running per-channel kernels from corrections on and near binade edges, where the spacing
// of the sum halves or doubles: dense wraps that carry the correction across +-2^k, up and down,
// for small and large k; and sums from 1 to 4, of both parities in their spacing, with cutoffs 0
// and 1e-15, which take the rounding residues of calm steps (single bits, which may fall on half
// the sum's spacing: exact ties). Frames long enough for the three-pass chunks at every width, one
// channel and a group with one left over.
template <typename T>
void checkBinadeEdges(VectorLevel level, uint64_t seed) {
    HardSignalSource<T> source(seed);
    constexpr double kTurn = 6.283185307179586;
    std::vector<double> sums;
    for (int k : {6, 7, 11, 24, 40, 53, 60}) {
        for (double sign : {1.0, -1.0}) {
            for (double turns : {-120.0, -2.0, 0.0, 3.0, 120.0}) {
                sums.push_back(sign * (std::ldexp(1.0, k) + turns * kTurn));
            }
        }
    }
    for (double tieProne : {1.5, 1.5 + 0x1p-52, 3.0, 3.0 + 0x1p-51}) {
        sums.push_back(tieProne);
        sums.push_back(-tieProne);
    }
    for (size_t k = 2; k < 6; ++k) {
        const KernelInfo<T>& scalarKernel = kq::test::kernelCatalogue<T>()[k];
        const KernelInfo<T>& fastKernel = kq::test::kernelCatalogue<T>(level)[k];
        if (scalarKernel.shape != Shape::RunningFrame) {
            continue;
        }
        for (int32_t numChans : {1, 9}) {
            for (size_t i = 0; i < sums.size(); ++i) {
                const bool tieProne = std::fabs(sums[i]) < 4.0;
                const T cutoff =
                    tieProne ? (i % 2 == 0 ? T{0} : static_cast<T>(1e-15)) : HardValues<T>::pi;
                const double step = tieProne ? 0.05 : (i % 2 == 0 ? 2.5 : -2.5);
                SCOPED_TRACE(::testing::Message()
                             << scalarKernel.name << " at " << vectorLevelName(level) << ", "
                             << numChans << " channels from " << sums[i] << ", step " << step
                             << ", seed " << seed);
                constexpr int32_t kFrame = 1500;
                const auto stateLen = static_cast<size_t>(numChans);
                KernelRunner<T> scalar(scalarKernel, stateLen, 0);
                KernelRunner<T> fast(fastKernel, stateLen, 0);
                const std::vector<T> prev(stateLen, T{0});
                const std::vector<T> cumsum(stateLen, static_cast<T>(sums[i]));
                scalar.setState(prev, cumsum);
                fast.setState(prev, cumsum);
                for (int call = 0; call < 2; ++call) {
                    const std::vector<T> in =
                        phaseRamp<T>(source.rng(), stateLen * kFrame, step, 0.05);
                    ASSERT_TRUE(sameCall(scalar, fast, in, cutoff, numChans, kFrame))
                        << "call " << call;
                }
            }
        }
    }
}

TEST_P(KernelLevels, DoubleRunningKernelsMatchOnBinadeEdgesAndTies) {
    checkBinadeEdges<double>(GetParam(), 0x1e7e'0000'0009ull);
}

TEST_P(KernelLevels, SingleRunningKernelsMatchOnBinadeEdgesAndTies) {
    checkBinadeEdges<float>(GetParam(), 0x1e7e'0000'000Aull);
}

// A copy kernel handed one buffer as input and output gives what the scalar in-place kernel
// leaves in it: every raw sample is read before its position is written.
template <typename T>
void checkCopyOntoItself(VectorLevel level, uint64_t seed) {
    HardSignalSource<T> source(seed);
    const std::vector<T> cutoffs = trialCutoffs<T>();
    for (size_t k : {size_t{0}, size_t{2}, size_t{4}}) {
        const KernelInfo<T>& fastCopy = kq::test::kernelCatalogue<T>(level)[k];
        const KernelInfo<T>& scalarInPlace = kq::test::kernelCatalogue<T>()[k + 1];
        for (int32_t length : kLengths) {
            if (length > 100000) {
                continue;
            }
            for (int trial = 0; trial < 10; ++trial) {
                SCOPED_TRACE(::testing::Message()
                             << fastCopy.name << " at " << vectorLevelName(level) << ", length "
                             << length << ", seed " << seed << ", trial " << trial);
                const int32_t numChans = fastCopy.shape == Shape::RunningSample ? 1 : 2;
                const size_t stateLen = kq::test::stateLength(fastCopy.shape, numChans, length);
                // One element off a 64-byte boundary, or ending at a guard page.
                const Placement place = trial % 2 == 0 ? Placement(1) : Placement::pageEnd();
                KernelRunner<T> scalar(scalarInPlace, stateLen, place);
                for (int call = 0; call < 2; ++call) {
                    const std::vector<T> in =
                        trialSignal(source, static_cast<size_t>(numChans) * length, trial + call);
                    const T cutoff = cutoffs[static_cast<size_t>(trial) % cutoffs.size()];
                    const std::vector<T> stateBefore = scalar.prev();
                    const std::vector<T> cumsumBefore = scalar.cumsum();
                    const uint8_t firstBefore = call == 0 ? 1 : 0;
                    const std::vector<T> expected = scalar.call(in, cutoff, numChans, length);

                    GuardedBuffer<T> buffer(in, place);
                    GuardedBuffer<T> prev(stateBefore, place);
                    GuardedBuffer<T> cumsum(cumsumBefore, place);
                    uint8_t firstStep = firstBefore;
                    fastCopy.call(buffer.data(), buffer.data(), prev.data(), cumsum.data(), cutoff,
                                  numChans, length, &firstStep);
                    ASSERT_TRUE(buffer.guardsIntact());
                    ASSERT_TRUE(sameBits(buffer.values(), expected)) << "call " << call;
                    if (fastCopy.shape != Shape::Stateless) {
                        ASSERT_TRUE(sameBits(prev.values(), scalar.prev())) << "Prev";
                        ASSERT_TRUE(sameBits(cumsum.values(), scalar.cumsum())) << "Cumsum";
                        ASSERT_EQ(firstStep, scalar.firstStep());
                    }
                }
            }
        }
    }
}

TEST_P(KernelLevels, DoubleCopyKernelsAcceptOneBufferAsInputAndOutput) {
    checkCopyOntoItself<double>(GetParam(), 0x1e7e'0000'0005ull);
}

TEST_P(KernelLevels, SingleCopyKernelsAcceptOneBufferAsInputAndOutput) {
    checkCopyOntoItself<float>(GetParam(), 0x1e7e'0000'0006ull);
}

// The row kernels against the scalar ones: channel counts below, at and around every level's
// width, up to rows wide enough to keep their state in memory; row steps longer than a row,
// negative ones and in place; a starting state with whole turns and infinities in the correction
// (not NaN: with a NaN input, S + x would have two NaN operands, whose payload IEEE 754 leaves
// open). The level's kernel walks the rows in two calls split at a random row, the scalar
// one in one call: the state carried between calls is the whole of it. The positions between the
// rows must stay unwritten.
template <typename T>
void checkRows(VectorLevel level, uint64_t seed) {
    HardSignalSource<T> source(seed);
    const std::vector<T> cutoffs = trialCutoffs<T>();
    KernelFn<KernelForm::Rows, T>* const scalarRows =
        kernelOf<KernelForm::Rows, T>(kernelsFor(VectorLevel::Scalar));
    KernelFn<KernelForm::Rows, T>* const fastRows =
        kernelOf<KernelForm::Rows, T>(kernelsFor(level));
    const double sums[] = {0.0,
                           -0.0,
                           -12.566370614359172,
                           6.283185307179586,
                           -std::numeric_limits<double>::infinity(),
                           std::numeric_limits<double>::infinity(),
                           1e300};
    enum class Layout { Padded, Reversed, InPlace };
    int trial = 0;
    for (int64_t numChans : {1, 2, 3, 4, 5, 7, 8, 9, 12, 15, 16, 17, 24, 32, 33, 41}) {
        for (Layout layout : {Layout::Padded, Layout::Reversed, Layout::InPlace}) {
            for (int64_t rows : {0, 1, 2, 9, 70}) {
                ++trial;
                const Placement place = kq::test::everyPlacement()[static_cast<size_t>(trial) % 3];
                SCOPED_TRACE(::testing::Message()
                             << "rows at " << vectorLevelName(level) << ", " << rows << " x "
                             << numChans << ", layout " << static_cast<int>(layout) << ", seed "
                             << seed << ", trial " << trial);
                const int64_t rowStep = numChans + source.intIn(0, 3);
                // The buffer ends with the last row's last channel.
                const size_t size =
                    rows == 0 ? 0 : static_cast<size_t>((rows - 1) * rowStep + numChans);
                std::vector<T> in(size, unwrittenValue<T>());
                for (int64_t j = 0; j < numChans; ++j) {
                    const std::vector<T> channel =
                        trialSignal(source, static_cast<size_t>(rows), trial + static_cast<int>(j));
                    for (int64_t r = 0; r < rows; ++r) {
                        in[static_cast<size_t>(r * rowStep + j)] = channel[static_cast<size_t>(r)];
                    }
                }
                std::vector<T> prev(static_cast<size_t>(numChans));
                std::vector<double> sum(static_cast<size_t>(numChans));
                for (size_t j = 0; j < prev.size(); ++j) {
                    prev[j] = static_cast<T>(source.intIn(-3, 3));
                    sum[j] = source.intIn(0, 3) == 0 ? sums[source.intIn(0, 6)] : 0.0;
                }
                const T cutoff = cutoffs[static_cast<size_t>(trial) % cutoffs.size()];
                SCOPED_TRACE(kq::test::describe(place));

                // One walk over guarded buffers in `calls` calls; the output buffer, Prev, Sum.
                struct Walked {
                    std::vector<T> out;
                    std::vector<T> prev;
                    std::vector<double> sum;
                };
                const auto walk = [&](KernelFn<KernelForm::Rows, T>* kernel, int64_t split) {
                    GuardedBuffer<T> inBuf(in, place);
                    GuardedBuffer<T> outBuf =
                        layout == Layout::InPlace
                            ? GuardedBuffer<T>(in, place)
                            : GuardedBuffer<T>(size, unwrittenValue<T>(), place);
                    GuardedBuffer<T> prevBuf(prev, place);
                    GuardedBuffer<double> sumBuf(sum, place);
                    const T* from = layout == Layout::InPlace ? outBuf.data() : inBuf.data();
                    T* to = outBuf.data();
                    int64_t step = rowStep;
                    if (layout == Layout::Reversed && rows > 0) {
                        from += (rows - 1) * rowStep;
                        to += (rows - 1) * rowStep;
                        step = -rowStep;
                    }
                    kernel(from, step, to, step, split, numChans, prevBuf.data(), sumBuf.data(),
                           cutoff);
                    kernel(from + split * step, step, to + split * step, step, rows - split,
                           numChans, prevBuf.data(), sumBuf.data(), cutoff);
                    EXPECT_TRUE(inBuf.guardsIntact() && outBuf.guardsIntact() &&
                                prevBuf.guardsIntact() && sumBuf.guardsIntact())
                        << "wrote around a buffer";
                    if (layout != Layout::InPlace) {
                        EXPECT_TRUE(sameBits(inBuf.values(), in)) << "changed its input";
                    }
                    return Walked{outBuf.values(), prevBuf.values(), sumBuf.values()};
                };
                const Walked expected = walk(scalarRows, 0);
                const Walked actual =
                    walk(fastRows, rows == 0 ? 0 : source.intIn(0, static_cast<int32_t>(rows)));
                ASSERT_TRUE(sameBits(actual.out, expected.out)) << "outputs";
                ASSERT_TRUE(sameBits(actual.prev, expected.prev)) << "Prev";
                ASSERT_TRUE(sameBits(actual.sum, expected.sum)) << "Sum";
            }
        }
    }
}

TEST_P(KernelLevels, DoubleRowKernelsMatch) {
    checkRows<double>(GetParam(), 0x1e7e'0000'0009ull);
}

TEST_P(KernelLevels, SingleRowKernelsMatch) {
    checkRows<float>(GetParam(), 0x1e7e'0000'000Aull);
}

INSTANTIATE_TEST_SUITE_P(VectorLevels, KernelLevels,
                         ::testing::ValuesIn(kq::test::levelsBeyondScalar()),
                         kq::test::levelTestName);

// ---------------------------------------------------------------------------------------------
// The sets and the choice of a level

TEST(KernelSets, ScalarSetIsTheReferenceKernels) {
    const KernelSet& s = kernelsFor(VectorLevel::Scalar);
#define KQ_EXPECT_SCALAR_KERNEL(Function, member, Form, T) EXPECT_EQ(s.member, &Function);
    KQ_LEVEL_KERNELS(KQ_EXPECT_SCALAR_KERNEL)
#undef KQ_EXPECT_SCALAR_KERNEL
}

// The entries of a set as addresses, in list order.
std::vector<const void*> entriesOf(const KernelSet& s) {
    return {
#define KQ_ENTRY_ADDRESS(Name, member, Form, T) reinterpret_cast<const void*>(s.member),
        KQ_LEVEL_KERNELS(KQ_ENTRY_ADDRESS)
#undef KQ_ENTRY_ADDRESS
    };
}

// Each available level has kernels of its own: none is missing, shared with another
// level or with another entry.
TEST(KernelSets, EveryAvailableLevelHasKernelsOfItsOwn) {
    std::set<const void*> seen;
    size_t expected = 0;
    for (VectorLevel level : kAllVectorLevels) {
        if (!vectorLevelAvailable(level)) {
            continue;
        }
        SCOPED_TRACE(vectorLevelName(level));
        const std::vector<const void*> entries = entriesOf(kernelsFor(level));
        for (const void* entry : entries) {
            EXPECT_NE(entry, nullptr);
            seen.insert(entry);
        }
        expected += entries.size();
    }
    EXPECT_EQ(seen.size(), expected);
}

TEST(KernelSets, BestLevelIsTheHighestAvailable) {
    EXPECT_TRUE(vectorLevelAvailable(VectorLevel::Scalar));
    const VectorLevel best = bestVectorLevel();
    EXPECT_TRUE(vectorLevelAvailable(best));
    for (VectorLevel level : kAllVectorLevels) {
        if (static_cast<int>(level) > static_cast<int>(best)) {
            EXPECT_FALSE(vectorLevelAvailable(level)) << vectorLevelName(level);
        }
    }
}

// Advanced SIMD is part of every 64-bit ARM processor, so the block runs it there, and only there.
TEST(KernelSets, AdvancedSimdIsTheLevelOf64BitArm) {
#if defined(__aarch64__)
    EXPECT_TRUE(vectorLevelAvailable(VectorLevel::Neon));
    EXPECT_EQ(bestVectorLevel(), VectorLevel::Neon);
    EXPECT_NE(kernelsFor(VectorLevel::Neon).statelessCopyDbl, &kq_unwrap_stateless_copy_dbl);
#else
    EXPECT_FALSE(vectorLevelAvailable(VectorLevel::Neon));
    EXPECT_NE(bestVectorLevel(), VectorLevel::Neon);
#endif
}

// Processors the check must tell apart, by what cpuid and xgetbv report. The bits are written
// from the processor manuals, apart from the code: cpuid leaf 1 ecx, leaf 7 ebx, and XCR0.
namespace cpuid {
constexpr uint32_t kSse3 = 1u << 0;
constexpr uint32_t kSsse3 = 1u << 9;
constexpr uint32_t kFma = 1u << 12;
constexpr uint32_t kSse41 = 1u << 19;
constexpr uint32_t kSse42 = 1u << 20;
constexpr uint32_t kPopcnt = 1u << 23;
constexpr uint32_t kXsave = 1u << 26;
constexpr uint32_t kOsXsave = 1u << 27;
constexpr uint32_t kAvx = 1u << 28;
constexpr uint32_t kF16c = 1u << 29;
constexpr uint32_t kAvx2 = 1u << 5;
constexpr uint32_t kAvx512F = 1u << 16;
constexpr uint32_t kAvx512VL = 1u << 31;
constexpr uint64_t kX87State = 1u << 0;
constexpr uint64_t kSseState = 1u << 1;
constexpr uint64_t kYmmState = 1u << 2;
constexpr uint64_t kOpmaskState = 1u << 5;
constexpr uint64_t kZmmUpperState = 1u << 6;
constexpr uint64_t kZmm16To31State = 1u << 7;

// Leaf 1 of an SSE4.2 processor, and of one with AVX, FMA and F16C whose system turned on XSAVE.
constexpr uint32_t kSse42Leaf1 = kSse3 | kSsse3 | kSse41 | kSse42 | kPopcnt;
constexpr uint32_t kAvxLeaf1 = kSse42Leaf1 | kFma | kXsave | kOsXsave | kAvx | kF16c;
constexpr uint32_t kAvx512Leaf7 = kAvx2 | kAvx512F | kAvx512VL;
constexpr uint64_t kAvxState = kX87State | kSseState | kYmmState;
constexpr uint64_t kAvx512State = kAvxState | kOpmaskState | kZmmUpperState | kZmm16To31State;
}  // namespace cpuid

struct ProcessorCase {
    const char* name;
    ProcessorReport report;
    bool runsAvx2;    // the AVX2 level's extensions, with their state saved
    bool runsAvx512;  // the AVX-512 level's
};

constexpr ProcessorCase kProcessors[] = {
    {"nothing reported", {}, false, false},
    {"SSE4.2 only", {cpuid::kSse42Leaf1, 0, 0}, false, false},
    {"AVX2 only", {cpuid::kAvxLeaf1, cpuid::kAvx2, cpuid::kAvxState}, true, false},
    {"AVX2 without POPCNT",
     {cpuid::kAvxLeaf1 & ~cpuid::kPopcnt, cpuid::kAvx2, cpuid::kAvxState},
     false,
     false},
    {"AVX2, ymm state not saved",
     {cpuid::kAvxLeaf1, cpuid::kAvx2, cpuid::kX87State | cpuid::kSseState},
     false,
     false},
    {"AVX2, XSAVE not turned on",
     {cpuid::kAvxLeaf1 & ~cpuid::kOsXsave, cpuid::kAvx2, cpuid::kAvxState},
     false,
     false},
    {"AVX-512F without VL",
     {cpuid::kAvxLeaf1, cpuid::kAvx2 | cpuid::kAvx512F, cpuid::kAvx512State},
     true,
     false},
    {"AVX-512 without FMA",
     {cpuid::kAvxLeaf1 & ~cpuid::kFma, cpuid::kAvx512Leaf7, cpuid::kAvx512State},
     true,
     false},
    {"AVX-512, no zmm or mask state saved",
     {cpuid::kAvxLeaf1, cpuid::kAvx512Leaf7, cpuid::kAvxState},
     true,
     false},
    {"AVX-512, mask state alone saved",
     {cpuid::kAvxLeaf1, cpuid::kAvx512Leaf7, cpuid::kAvxState | cpuid::kOpmaskState},
     true,
     false},
    {"AVX-512, zmm state saved but not the mask registers",
     {cpuid::kAvxLeaf1, cpuid::kAvx512Leaf7,
      cpuid::kAvxState | cpuid::kZmmUpperState | cpuid::kZmm16To31State},
     true,
     false},
    {"AVX-512 in full", {cpuid::kAvxLeaf1, cpuid::kAvx512Leaf7, cpuid::kAvx512State}, true, true},
};

// The decision from what a processor reports: which extension sets it runs (on every architecture,
// the check being plain bit arithmetic), which levels of this build it runs, and the level the
// block takes there.
TEST(KernelSets, LevelsFollowWhatTheProcessorReports) {
    for (const ProcessorCase& p : kProcessors) {
        SCOPED_TRACE(p.name);
        EXPECT_TRUE(processorRuns(p.report, X86Extensions{0}));
        EXPECT_EQ(processorRuns(p.report, vectorLevelExtensions(VectorLevel::Avx2)), p.runsAvx2);
        EXPECT_EQ(processorRuns(p.report, vectorLevelExtensions(VectorLevel::Avx512)),
                  p.runsAvx512);
        VectorLevel expectedBest = VectorLevel::Scalar;
        for (VectorLevel level : kAllVectorLevels) {
            const bool runs = vectorLevelExtensions(level) == 0 ||
                              (level == VectorLevel::Avx2 && p.runsAvx2) ||
                              (level == VectorLevel::Avx512 && p.runsAvx512);
            const bool expected = vectorLevelBuilt(level) && runs;
            EXPECT_EQ(vectorLevelRunsOn(level, p.report), expected) << vectorLevelName(level);
            if (expected) {
                expectedBest = level;
            }
        }
        EXPECT_EQ(bestVectorLevelOn(p.report), expectedBest);
    }
}

// What each x86-64 extension is called where the compiler defines it when a flag enables it, and
// in the flags of /proc/cpuinfo.
struct ExtensionNames {
    X86Extension extension;
    const char* macro;
    const char* cpuinfo;
};

constexpr ExtensionNames kExtensionNames[] = {
    {X86Extension::Sse3, "__SSE3__", "pni"},
    {X86Extension::Ssse3, "__SSSE3__", "ssse3"},
    {X86Extension::Sse41, "__SSE4_1__", "sse4_1"},
    {X86Extension::Sse42, "__SSE4_2__", "sse4_2"},
    {X86Extension::Sse42, "__CRC32__", "sse4_2"},  // CRC32 is an SSE4.2 instruction
    {X86Extension::Popcnt, "__POPCNT__", "popcnt"},
    {X86Extension::Xsave, "__XSAVE__", "xsave"},
    {X86Extension::Avx, "__AVX__", "avx"},
    {X86Extension::F16c, "__F16C__", "f16c"},
    {X86Extension::Fma, "__FMA__", "fma"},
    {X86Extension::Fma, "__FP_FAST_FMA", "fma"},  // GCC's word for fused multiply-add in AVX-512F
    {X86Extension::Fma, "__FP_FAST_FMAF", "fma"},
    {X86Extension::Fma, "__FP_FAST_FMAF32", "fma"},
    {X86Extension::Fma, "__FP_FAST_FMAF32x", "fma"},
    {X86Extension::Fma, "__FP_FAST_FMAF64", "fma"},
    {X86Extension::Avx2, "__AVX2__", "avx2"},
    {X86Extension::Avx512F, "__AVX512F__", "avx512f"},
    {X86Extension::Avx512F, "__EVEX512__", "avx512f"},
    {X86Extension::Avx512VL, "__AVX512VL__", "avx512vl"},
    {X86Extension::Avx512VL, "__EVEX256__", "avx512vl"},
};

// The macros each level's compiler flags define beyond the tree's own flags, found by the build
// (tests/kernels/CMakeLists.txt) by asking the compiler with and without them.
struct LevelFlagMacro {
    const char* level;
    const char* macro;
};
constexpr LevelFlagMacro kLevelFlagMacros[] = {
#define KQ_LEVEL_FLAG_MACRO(level, macro) {level, macro},
    KQ_LEVEL_FLAG_MACROS(KQ_LEVEL_FLAG_MACRO)
#undef KQ_LEVEL_FLAG_MACRO
        {nullptr, nullptr}};

// Every extension a level's flags let the compiler use is one the processor check asks for: the
// flags are the build's own, so a flag added to a level, or a compiler whose flag brings more,
// fails here until the level's list names what it brings.
TEST(KernelSets, VectorLevelFlagsAskForTheirExtensions) {
    for (VectorLevel level : kAllVectorLevels) {
        SCOPED_TRACE(vectorLevelName(level));
        int macros = 0;
        for (const LevelFlagMacro& m : kLevelFlagMacros) {
            if (m.level == nullptr || std::string(m.level) != vectorLevelName(level)) {
                continue;
            }
            ++macros;
            const auto* known = std::find_if(
                std::begin(kExtensionNames), std::end(kExtensionNames),
                [&](const ExtensionNames& e) { return std::string(e.macro) == m.macro; });
            if (known == std::end(kExtensionNames)) {
                ADD_FAILURE() << "the flags define " << m.macro
                              << ", an extension this test does not know: add it to "
                                 "X86Extension, to the level's extensions and to this test";
                continue;
            }
            EXPECT_NE(vectorLevelExtensions(level) & extensionBit(known->extension), 0u)
                << "the flags define " << m.macro << " but the level does not ask for "
                << x86ExtensionName(known->extension);
        }
        // A level that asks for extensions is compiled with flags that define some: else the
        // build found none and this test compared nothing.
        if (vectorLevelExtensions(level) != 0 && vectorLevelBuilt(level)) {
            EXPECT_GT(macros, 0) << "no macros found for the level's flags";
        }
    }
}

#if defined(__linux__) && defined(__x86_64__)
// The processor check agrees with the flags the operating system reports (which it clears for
// registers it does not save): a level is available exactly when every extension it asks for is
// reported.
TEST(KernelSets, AvailabilityFollowsTheProcessorFlags) {
    std::ifstream cpuinfo("/proc/cpuinfo");
    std::string line;
    std::set<std::string> flags;
    while (std::getline(cpuinfo, line)) {
        if (line.rfind("flags", 0) == 0) {
            std::istringstream words(line.substr(line.find(':') + 1));
            for (std::string flag; words >> flag;) {
                flags.insert(flag);
            }
            break;
        }
    }
    if (flags.empty()) {
        GTEST_SKIP() << "no flags line in /proc/cpuinfo";
    }
    int compared = 0;
    for (VectorLevel level : kAllVectorLevels) {
        if (vectorLevelExtensions(level) == 0) {
            continue;
        }
        ++compared;
        bool reported = true;
        for (const ExtensionNames& e : kExtensionNames) {
            if ((vectorLevelExtensions(level) & extensionBit(e.extension)) != 0) {
                reported = reported && flags.count(e.cpuinfo) == 1;
            }
        }
        EXPECT_EQ(vectorLevelAvailable(level), reported) << vectorLevelName(level);
    }
    // Some level asks for extensions, so the comparison above depends on the flags.
    EXPECT_GT(compared, 0);
}
#endif

}  // namespace
