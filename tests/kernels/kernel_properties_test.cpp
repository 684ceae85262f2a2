// Properties of the twelve kernels over seeded random signals that mix ordinary steps with hard
// ones (steps of exactly +-pi and +-3pi, steps at the edge of the floor-bias window, the largest
// value below pi, +-0, subnormals, huge values, NaN, +-inf). Every call runs on guarded buffers
// (see KernelRunner). The seed and trial of a failure are printed.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "kernel_test_support.h"
#include "kernels/reference/unwrap_reference.h"

namespace {

using kq::ref::ReferenceState;
using kq::test::HardSignalSource;
using kq::test::KernelInfo;
using kq::test::KernelRunner;
using kq::test::sameBits;
using kq::test::Shape;

template <typename T>
class KernelProperties : public ::testing::Test {};
using Precisions = ::testing::Types<double, float>;
TYPED_TEST_SUITE(KernelProperties, Precisions);

constexpr int kTrials = 40;

struct Layout {
    int32_t numChans;
    int32_t frameLen;
};

// Sizes for one trial: the odd and power-of-two lengths fast paths tend to get wrong, and random
// ones. Per-element kernels see numChans elements of one sample.
template <typename T>
Layout randomLayout(HardSignalSource<T>& source, Shape shape) {
    const int32_t lengths[] = {0, 1, 2, 7, 32, 128, 1023};
    const int32_t frameLen =
        source.intIn(0, 3) == 0 ? lengths[source.intIn(0, 6)] : source.intIn(1, 40);
    if (shape == Shape::RunningSample) {
        return {frameLen, 1};
    }
    return {source.intIn(0, 9) == 0 ? 0 : source.intIn(1, 5), frameLen};
}

template <typename T>
std::vector<T> referenceCall(Shape shape, ReferenceState<T>& state, const std::vector<T>& in,
                             T cutoff, Layout layout) {
    switch (shape) {
        case Shape::Stateless:
            return kq::ref::referenceStateless(in, cutoff, layout.numChans, layout.frameLen);
        case Shape::RunningSample:
            return kq::ref::referenceRunningSample(state, in, cutoff);
        case Shape::RunningFrame:
            return kq::ref::referenceRunningFrame(state, in, cutoff, layout.numChans,
                                                  layout.frameLen);
    }
    return {};
}

template <typename T>
size_t sampleCount(Layout layout) {
    return static_cast<size_t>(layout.numChans) * static_cast<size_t>(layout.frameLen);
}

// The kernels equal the naive one-sample-at-a-time model, outputs and state, over several calls,
// with occasional new initialisations and, per channel, a frame length that changes between calls.
TYPED_TEST(KernelProperties, EveryKernelMatchesTheReference) {
    using T = TypeParam;
    constexpr uint64_t kSeed = 0x5eed'0000'0001ull;
    HardSignalSource<T> source(kSeed);
    for (const KernelInfo<T>& kernel : kq::test::kernelCatalogue<T>()) {
        for (int trial = 0; trial < kTrials; ++trial) {
            SCOPED_TRACE(::testing::Message()
                         << kernel.name << ", seed " << kSeed << ", trial " << trial);
            Layout layout = randomLayout(source, kernel.shape);
            const size_t stateLen =
                kq::test::stateLength(kernel.shape, layout.numChans, layout.frameLen);
            // Both start with FirstStep true and a marker in Prev and Cumsum.
            KernelRunner<T> runner(kernel, stateLen);
            ReferenceState<T> model{runner.prev(), runner.cumsum(), true};

            const int calls = source.intIn(1, 4);
            for (int call = 0; call < calls; ++call) {
                SCOPED_TRACE(::testing::Message() << "call " << call << ", " << layout.numChans
                                                  << " x " << layout.frameLen);
                if (call > 0 && source.intIn(0, 5) == 0) {
                    runner.initializeConditions();
                    model.firstStep = true;
                    model.cumsum.assign(stateLen, T{0});
                } else if (call > 0 && source.intIn(0, 5) == 0) {
                    runner.armFirstStep();
                    model.firstStep = true;
                }
                if (call > 0 && kernel.shape == Shape::RunningFrame && source.intIn(0, 2) == 0) {
                    layout.frameLen = source.intIn(0, 12);
                }
                const std::vector<T> in = source.signal(sampleCount<T>(layout));
                const T cutoff = source.cutoff();
                const std::vector<T> expected =
                    referenceCall(kernel.shape, model, in, cutoff, layout);
                const std::vector<T> actual =
                    runner.call(in, cutoff, layout.numChans, layout.frameLen);
                ASSERT_TRUE(sameBits(actual, expected)) << "outputs";
                if (kernel.shape != Shape::Stateless) {
                    ASSERT_TRUE(sameBits(runner.prev(), model.prev)) << "Prev";
                    ASSERT_TRUE(sameBits(runner.cumsum(), model.cumsum)) << "Cumsum";
                    ASSERT_EQ(runner.firstStep(), 0);
                }
            }
        }
    }
}

// The copy and in-place kernel of each shape give identical bits, outputs and state.
TYPED_TEST(KernelProperties, CopyAndInPlaceAgree) {
    using T = TypeParam;
    constexpr uint64_t kSeed = 0x5eed'0000'0002ull;
    HardSignalSource<T> source(kSeed);
    for (Shape shape : {Shape::Stateless, Shape::RunningSample, Shape::RunningFrame}) {
        const KernelInfo<T>& copy = kq::test::findKernel<T>(shape, false);
        const KernelInfo<T>& inPlace = kq::test::findKernel<T>(shape, true);
        for (int trial = 0; trial < kTrials; ++trial) {
            SCOPED_TRACE(::testing::Message() << copy.name << " and " << inPlace.name << ", seed "
                                              << kSeed << ", trial " << trial);
            const Layout layout = randomLayout(source, shape);
            const size_t stateLen = kq::test::stateLength(shape, layout.numChans, layout.frameLen);
            KernelRunner<T> copyRunner(copy, stateLen);
            KernelRunner<T> inPlaceRunner(inPlace, stateLen);
            copyRunner.initializeConditions();
            inPlaceRunner.initializeConditions();
            for (int call = 0; call < 3; ++call) {
                SCOPED_TRACE(::testing::Message() << "call " << call);
                const std::vector<T> in = source.signal(sampleCount<T>(layout));
                const T cutoff = source.cutoff();
                ASSERT_TRUE(
                    sameBits(inPlaceRunner.call(in, cutoff, layout.numChans, layout.frameLen),
                             copyRunner.call(in, cutoff, layout.numChans, layout.frameLen)));
                ASSERT_TRUE(sameBits(inPlaceRunner.prev(), copyRunner.prev()));
                ASSERT_TRUE(sameBits(inPlaceRunner.cumsum(), copyRunner.cumsum()));
            }
        }
    }
}

// A per-channel kernel with frameLen 1 is the per-element kernel over the same values.
TYPED_TEST(KernelProperties, FrameLenOneEqualsPerElement) {
    using T = TypeParam;
    constexpr uint64_t kSeed = 0x5eed'0000'0003ull;
    HardSignalSource<T> source(kSeed);
    for (bool inPlace : {false, true}) {
        const KernelInfo<T>& frame = kq::test::findKernel<T>(Shape::RunningFrame, inPlace);
        const KernelInfo<T>& sample = kq::test::findKernel<T>(Shape::RunningSample, inPlace);
        for (int trial = 0; trial < kTrials; ++trial) {
            SCOPED_TRACE(::testing::Message() << frame.name << " and " << sample.name << ", seed "
                                              << kSeed << ", trial " << trial);
            const int32_t numElems = source.intIn(1, 50);
            KernelRunner<T> frameRunner(frame, static_cast<size_t>(numElems));
            KernelRunner<T> sampleRunner(sample, static_cast<size_t>(numElems));
            frameRunner.initializeConditions();
            sampleRunner.initializeConditions();
            for (int call = 0; call < 6; ++call) {
                SCOPED_TRACE(::testing::Message() << "call " << call);
                const std::vector<T> in = source.signal(static_cast<size_t>(numElems));
                const T cutoff = source.cutoff();
                ASSERT_TRUE(sameBits(frameRunner.call(in, cutoff, numElems, 1),
                                     sampleRunner.call(in, cutoff, numElems, 1)));
                ASSERT_TRUE(sameBits(frameRunner.prev(), sampleRunner.prev()));
                ASSERT_TRUE(sameBits(frameRunner.cumsum(), sampleRunner.cumsum()));
            }
        }
    }
}

// A NaN input gives a NaN output at its own position only, in every kernel.
TYPED_TEST(KernelProperties, NaNStaysAtItsPosition) {
    using T = TypeParam;
    constexpr uint64_t kSeed = 0x5eed'0000'0004ull;
    HardSignalSource<T> source(kSeed);
    for (const KernelInfo<T>& kernel : kq::test::kernelCatalogue<T>()) {
        for (int trial = 0; trial < kTrials; ++trial) {
            SCOPED_TRACE(::testing::Message()
                         << kernel.name << ", seed " << kSeed << ", trial " << trial);
            const Layout layout = randomLayout(source, kernel.shape);
            KernelRunner<T> runner(
                kernel, kq::test::stateLength(kernel.shape, layout.numChans, layout.frameLen));
            runner.initializeConditions();
            for (int call = 0; call < 3; ++call) {
                SCOPED_TRACE(::testing::Message() << "call " << call);
                std::vector<T> in = source.signal(sampleCount<T>(layout), false);
                for (T& value : in) {
                    if (source.intIn(0, 7) == 0) {
                        value = std::numeric_limits<T>::quiet_NaN();
                    }
                }
                const std::vector<T> out =
                    runner.call(in, source.cutoff(), layout.numChans, layout.frameLen);
                ASSERT_EQ(out.size(), in.size());
                for (size_t i = 0; i < in.size(); ++i) {
                    ASSERT_EQ(std::isnan(out[i]), std::isnan(in[i])) << "position " << i;
                }
            }
        }
    }
}

// Double only: splitting a signal into calls at arbitrary points changes no bit of the per-channel
// running unwrap, since S is carried in binary64 through Cumsum. (Single kernels round Cumsum to
// binary32 between calls, so there the split does show.)
TEST(DoubleFrameProperties, SplitIntoCallsEqualsOneCall) {
    using T = double;
    constexpr uint64_t kSeed = 0x5eed'0000'0005ull;
    HardSignalSource<T> source(kSeed);
    for (bool inPlace : {false, true}) {
        const KernelInfo<T>& kernel = kq::test::findKernel<T>(Shape::RunningFrame, inPlace);
        for (int trial = 0; trial < 4 * kTrials; ++trial) {
            SCOPED_TRACE(::testing::Message()
                         << kernel.name << ", seed " << kSeed << ", trial " << trial);
            const int32_t numChans = source.intIn(1, 4);
            const int32_t total = source.intIn(1, 60);
            const std::vector<T> signal = source.signal(static_cast<size_t>(numChans) * total);
            const T cutoff = source.cutoff();

            KernelRunner<T> whole(kernel, static_cast<size_t>(numChans));
            whole.initializeConditions();
            const std::vector<T> expected = whole.call(signal, cutoff, numChans, total);

            // Calls over [start, end) of every channel; the first one must hold a sample, since a
            // first call without samples has nothing to seed Prev from.
            KernelRunner<T> pieces(kernel, static_cast<size_t>(numChans));
            pieces.initializeConditions();
            std::vector<T> joined(signal.size());
            int32_t start = 0;
            while (start < total) {
                const int32_t end =
                    start == 0 ? source.intIn(1, total) : source.intIn(start, total);
                const int32_t frameLen = end - start;
                std::vector<T> in;
                for (int32_t j = 0; j < numChans; ++j) {
                    for (int32_t n = start; n < end; ++n) {
                        in.push_back(signal[static_cast<size_t>(j) * total + n]);
                    }
                }
                const std::vector<T> out = pieces.call(in, cutoff, numChans, frameLen);
                for (int32_t j = 0; j < numChans; ++j) {
                    for (int32_t n = start; n < end; ++n) {
                        joined[static_cast<size_t>(j) * total + n] =
                            out[static_cast<size_t>(j) * frameLen + (n - start)];
                    }
                }
                start = end;
            }
            ASSERT_TRUE(sameBits(joined, expected));
            ASSERT_TRUE(sameBits(pieces.prev(), whole.prev()));
            ASSERT_TRUE(sameBits(pieces.cumsum(), whole.cumsum()));
        }
    }
}

}  // namespace
