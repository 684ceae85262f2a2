// The chunk passes of kernels/chunk_carry.h: at every vector level the bits of the scalar forms,
// copying and in place, on buffers that end at a guard page; and chunk by chunk the bits of the
// stateless kernel over the whole channel.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "kernel_test_support.h"
#include "kernels/chunk_carry.h"
#include "kernels/kernel_call.h"
#include "kernels/unwrap_kernels.h"

using namespace kq;

namespace {

using kq::test::GuardedBuffer;
using kq::test::HardSignalSource;
using kq::test::Placement;
using kq::test::sameBits;

// The scalar passes of data type T.
template <typename T>
constexpr KernelFn<KernelForm::TakenCorrections, T>* kScalarTaken =
    ScalarKernel<KernelForm::TakenCorrections, T>::fn;
template <typename T>
constexpr KernelFn<KernelForm::Carried, T>* kScalarCarried =
    ScalarKernel<KernelForm::Carried, T>::fn;

// Around the vector widths, the 32-block stretches of the one-channel walk, and past them.
constexpr int64_t kChunkLengths[] = {0, 1, 2, 3, 4, 5, 8, 9, 16, 17, 33, 129, 257, 1025, 4099};

class ChunkCarryLevels : public ::testing::TestWithParam<VectorLevel> {
  protected:
    void SetUp() override {
        if (!vectorLevelAvailable(GetParam())) {
            GTEST_SKIP() << "this processor lacks " << vectorLevelName(GetParam());
        }
    }
};

// The scalar level too: its in-place call must give what its copying call gives. The samples, the
// corrections taken (room for exactly n), the last raw sample and the sum each end at a guard
// page, so a read or write past any of them faults.
template <typename T>
void checkLevelAgainstScalar(VectorLevel level, uint64_t seed) {
    const KernelSet& set = kernelsFor(level);
    const auto taken = kernelOf<KernelForm::TakenCorrections, T>(set);
    const auto carried = kernelOf<KernelForm::Carried, T>(set);
    const Placement atPage = Placement::pageEnd();
    HardSignalSource<T> source(seed);
    for (int64_t n : kChunkLengths) {
        for (int trial = 0; trial < 12; ++trial) {
            const std::vector<T> in = source.signal(static_cast<size_t>(n));
            const T prev = source.signal(1)[0];
            const T cutoff = source.cutoff();
            SCOPED_TRACE(::testing::Message() << "seed " << seed << ", n " << n << ", trial "
                                              << trial << ", cutoff " << cutoff);
            std::vector<double> takenScalar(static_cast<size_t>(n));
            const int64_t count = kScalarTaken<T>(in.data(), n, prev, cutoff, takenScalar.data());
            GuardedBuffer<T> inBuf(in, atPage);
            GuardedBuffer<double> takenLevel(static_cast<size_t>(n), 0.0, atPage);
            ASSERT_EQ(taken(inBuf.data(), n, prev, cutoff, takenLevel.data()), count);
            takenScalar.resize(static_cast<size_t>(count));
            std::vector<double> takenValues = takenLevel.values();
            takenValues.resize(static_cast<size_t>(count));
            EXPECT_TRUE(sameBits(takenValues, takenScalar));

            const double sum = trial % 3 == 0 ? 0.0 : source.uniform(-1e6, 1e6);
            std::vector<T> outScalar(in.size());
            T prevScalar = prev;
            double sumScalar = sum;
            kScalarCarried<T>(in.data(), outScalar.data(), n, &prevScalar, &sumScalar, cutoff);
            for (const bool inPlace : {false, true}) {
                SCOPED_TRACE(inPlace ? "in place" : "copying");
                GuardedBuffer<T> outBuf =
                    inPlace ? GuardedBuffer<T>(in, atPage)
                            : GuardedBuffer<T>(in.size(), kq::test::unwrittenValue<T>(), atPage);
                GuardedBuffer<T> prevLevel(std::vector<T>{prev}, atPage);
                GuardedBuffer<double> sumLevel(std::vector<double>{sum}, atPage);
                carried(inPlace ? outBuf.data() : inBuf.data(), outBuf.data(), n, prevLevel.data(),
                        sumLevel.data(), cutoff);
                EXPECT_TRUE(outBuf.guardsIntact() && prevLevel.guardsIntact() &&
                            sumLevel.guardsIntact());
                EXPECT_TRUE(sameBits(outBuf.values(), outScalar));
                EXPECT_TRUE(sameBits(prevLevel.values()[0], prevScalar));
                EXPECT_TRUE(sameBits(sumLevel.values()[0], sumScalar));
            }
            EXPECT_TRUE(sameBits(inBuf.values(), in)) << "changed its input";
        }
    }
}

TEST_P(ChunkCarryLevels, DoublePassesMatchTheScalarForms) {
    checkLevelAgainstScalar<double>(GetParam(), 0xc4a2'0000'0001ull);
}

TEST_P(ChunkCarryLevels, SinglePassesMatchTheScalarForms) {
    checkLevelAgainstScalar<float>(GetParam(), 0xc4a2'0000'0002ull);
}

INSTANTIATE_TEST_SUITE_P(VectorLevels, ChunkCarryLevels, ::testing::ValuesIn(kAllVectorLevels),
                         kq::test::levelTestName);

void stateless(const double* in, double* out, double cutoff, int32_t n) {
    kq_unwrap_stateless_copy_dbl(in, out, cutoff, 1, n);
}
void stateless(const float* in, float* out, float cutoff, int32_t n) {
    kq_unwrap_stateless_copy_sgl(in, out, cutoff, 1, n);
}

// The first chunk is the stateless kernel; every later one is carried on from the corrections
// the chunks before it took, added in order.
template <typename T>
void checkChunksGiveOneCall(uint64_t seed) {
    HardSignalSource<T> source(seed);
    for (int trial = 0; trial < 40; ++trial) {
        const int32_t n = source.intIn(1, 3000);
        const std::vector<T> in = source.signal(static_cast<size_t>(n));
        const T cutoff = source.cutoff();
        std::vector<T> whole(in.size());
        stateless(in.data(), whole.data(), cutoff, n);

        std::vector<T> chunked(in.size());
        int64_t start = source.intIn(1, n);
        stateless(in.data(), chunked.data(), cutoff, static_cast<int32_t>(start));
        std::vector<double> taken(static_cast<size_t>(n));
        double sum =
            addTaken(0.0, taken.data(),
                     kScalarTaken<T>(in.data() + 1, start - 1, in[0], cutoff, taken.data()));
        T prev = in[static_cast<size_t>(start - 1)];
        while (start < n) {
            const int64_t length = std::min<int64_t>(source.intIn(1, 300), n - start);
            kScalarCarried<T>(in.data() + start, chunked.data() + start, length, &prev, &sum,
                              cutoff);
            start += length;
        }
        EXPECT_TRUE(sameBits(chunked, whole)) << "seed " << seed << ", trial " << trial;
    }
}

TEST(ChunkCarry, DoubleChunksGiveTheBitsOfOneCall) {
    checkChunksGiveOneCall<double>(0xc4a2'0000'0003ull);
}

TEST(ChunkCarry, SingleChunksGiveTheBitsOfOneCall) {
    checkChunksGiveOneCall<float>(0xc4a2'0000'0004ull);
}

}  // namespace
