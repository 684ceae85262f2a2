// Tests of libvz: shapes and counts, class tests, vzGetPr, vzGetScalar, vzCalloc and its release.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <thread>
#include <vector>

#include "host/vz_array.h"
#include "sim/libvz/vz_array_owner.h"
#include "sim/libvz/vz_host.h"

namespace {

// Owns a host array for the length of a test.
using ArrayHolder = kq::sim::VzArrayPtr;

struct ShapeCase {
    std::vector<size_t> dims;
    size_t m, n, elements, numDims;
};

TEST(VzArrayShape, CountsOfOddShapes) {
    const ShapeCase cases[] = {
        {{0, 3}, 0, 3, 0, 2},    {{2, 0}, 2, 0, 0, 2},    {{0, 0}, 0, 0, 0, 2},
        {{1, 1}, 1, 1, 1, 2},    {{3, 1}, 3, 1, 3, 2},    {{2, 3, 4}, 2, 12, 24, 3},
        {{2, 3, 0}, 2, 0, 0, 3}, {{2, 1, 1}, 2, 1, 2, 3}, {{1, 2, 3, 2}, 1, 12, 12, 4},
        {{4}, 4, 1, 4, 2},       {{}, 1, 1, 1, 2},
    };
    for (const ShapeCase& c : cases) {
        SCOPED_TRACE(::testing::Message() << "dims count " << c.dims.size() << " m " << c.m);
        ArrayHolder holder(
            vzCreateNumericArray(c.dims.size(), c.dims.data(), vzDOUBLE_CLASS, vzREAL));
        const vzArray* a = holder.get();
        EXPECT_EQ(vzGetM(a), c.m);
        EXPECT_EQ(vzGetN(a), c.n);
        EXPECT_EQ(vzGetNumberOfElements(a), c.elements);
        EXPECT_EQ(vzGetNumberOfDimensions(a), c.numDims);
        EXPECT_EQ(vzIsEmpty(a), c.elements == 0);
        const size_t* dims = vzGetDimensions(a);
        ASSERT_NE(dims, nullptr);
        for (size_t i = 0; i < c.numDims; ++i) {
            EXPECT_EQ(dims[i], i < c.dims.size() ? c.dims[i] : 1u) << "entry " << i;
        }
    }
}

TEST(VzArrayShape, MatrixAndDoubleMatrixAreZeroFilled) {
    ArrayHolder d(vzCreateDoubleMatrix(38, 1, vzREAL));
    ASSERT_NE(d.get(), nullptr);
    EXPECT_EQ(vzGetM(d.get()), 38u);
    EXPECT_EQ(vzGetN(d.get()), 1u);
    EXPECT_EQ(vzGetClassId(d.get()), vzDOUBLE_CLASS);
    EXPECT_FALSE(vzIsComplex(d.get()));
    const double* pr = vzGetPr(d.get());
    ASSERT_NE(pr, nullptr);
    for (size_t i = 0; i < 38; ++i) {
        EXPECT_EQ(pr[i], 0.0);
        EXPECT_FALSE(std::signbit(pr[i]));
    }

    ArrayHolder empty(vzCreateDoubleMatrix(0, 0, vzREAL));
    ASSERT_NE(empty.get(), nullptr);
    EXPECT_TRUE(vzIsEmpty(empty.get()));

    ArrayHolder i32(vzCreateNumericMatrix(2, 3, vzINT32_CLASS, vzCOMPLEX));
    const auto* re = static_cast<const int32_t*>(vzGetData(i32.get()));
    const auto* im = static_cast<const int32_t*>(vzGetImagData(i32.get()));
    ASSERT_NE(re, nullptr);
    ASSERT_NE(im, nullptr);
    for (size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(re[i], 0);
        EXPECT_EQ(im[i], 0);
    }
}

struct ClassCase {
    vzClassId classId;
    vzComplexity complexity;
    bool numeric;
    bool complex;
};

TEST(VzArrayClass, NumericAndComplexPerClass) {
    const ClassCase cases[] = {
        {vzDOUBLE_CLASS, vzREAL, true, false},   {vzDOUBLE_CLASS, vzCOMPLEX, true, true},
        {vzSINGLE_CLASS, vzREAL, true, false},   {vzSINGLE_CLASS, vzCOMPLEX, true, true},
        {vzINT32_CLASS, vzREAL, true, false},    {vzINT32_CLASS, vzCOMPLEX, true, true},
        {vzLOGICAL_CLASS, vzREAL, false, false}, {vzLOGICAL_CLASS, vzCOMPLEX, false, false},
        {vzCHAR_CLASS, vzREAL, false, false},    {vzCHAR_CLASS, vzCOMPLEX, false, false},
    };
    for (const ClassCase& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << "class " << c.classId << " complexity " << c.complexity);
        ArrayHolder holder(vzCreateNumericMatrix(1, 1, c.classId, c.complexity));
        EXPECT_EQ(vzGetClassId(holder.get()), c.classId);
        EXPECT_EQ(vzIsNumeric(holder.get()), c.numeric);
        EXPECT_EQ(vzIsComplex(holder.get()), c.complex);
        EXPECT_NE(vzGetData(holder.get()), nullptr);
        EXPECT_EQ(vzGetImagData(holder.get()) != nullptr, c.complex);
    }
}

TEST(VzArrayClass, StringIsCharOneRow) {
    ArrayHolder s(vzCreateString("abc"));
    EXPECT_EQ(vzGetClassId(s.get()), vzCHAR_CLASS);
    EXPECT_FALSE(vzIsNumeric(s.get()));
    EXPECT_EQ(vzGetM(s.get()), 1u);
    EXPECT_EQ(vzGetN(s.get()), 3u);
    EXPECT_EQ(std::memcmp(vzGetData(s.get()), "abc", 3), 0);
    EXPECT_EQ(vzGetPr(s.get()), nullptr);
    EXPECT_EQ(vzGetScalar(s.get()), 97.0);

    ArrayHolder e(vzCreateString(""));
    EXPECT_EQ(vzGetM(e.get()), 1u);
    EXPECT_EQ(vzGetN(e.get()), 0u);
    EXPECT_TRUE(vzIsEmpty(e.get()));
    ArrayHolder n(vzCreateString(nullptr));
    EXPECT_EQ(vzGetN(n.get()), 0u);
}

TEST(VzArrayPr, NullUnlessDoubleWithElements) {
    ArrayHolder d(vzCreateNumericMatrix(2, 2, vzDOUBLE_CLASS, vzREAL));
    EXPECT_EQ(vzGetPr(d.get()), vzGetData(d.get()));
    EXPECT_NE(vzGetPr(d.get()), nullptr);
    ArrayHolder dc(vzCreateNumericMatrix(1, 1, vzDOUBLE_CLASS, vzCOMPLEX));
    EXPECT_EQ(vzGetPr(dc.get()), vzGetData(dc.get()));

    const vzClassId others[] = {vzSINGLE_CLASS, vzINT32_CLASS, vzLOGICAL_CLASS, vzCHAR_CLASS};
    for (vzClassId classId : others) {
        ArrayHolder o(vzCreateNumericMatrix(2, 2, classId, vzREAL));
        EXPECT_EQ(vzGetPr(o.get()), nullptr) << "class " << classId;
    }
    const size_t emptyShapes[][2] = {{0, 0}, {0, 3}, {2, 0}};
    for (const auto& shape : emptyShapes) {
        ArrayHolder e(vzCreateDoubleMatrix(shape[0], shape[1], vzREAL));
        EXPECT_EQ(vzGetPr(e.get()), nullptr) << shape[0] << " x " << shape[1];
    }
    const size_t dims3[] = {2, 0, 4};
    ArrayHolder e3(vzCreateNumericArray(3, dims3, vzDOUBLE_CLASS, vzREAL));
    EXPECT_EQ(vzGetPr(e3.get()), nullptr);
}

TEST(VzArrayScalar, FirstElementOfEveryClass) {
    ArrayHolder d(vzCreateDoubleScalar(-2.75));
    EXPECT_EQ(vzGetScalar(d.get()), -2.75);
    EXPECT_EQ(vzGetPr(d.get())[0], -2.75);

    ArrayHolder s(vzCreateNumericMatrix(1, 2, vzSINGLE_CLASS, vzREAL));
    static_cast<float*>(vzGetData(s.get()))[0] = 0.1f;
    static_cast<float*>(vzGetData(s.get()))[1] = 7.0f;
    EXPECT_EQ(vzGetScalar(s.get()), static_cast<double>(0.1f));

    ArrayHolder i(vzCreateNumericMatrix(1, 1, vzINT32_CLASS, vzREAL));
    static_cast<int32_t*>(vzGetData(i.get()))[0] = std::numeric_limits<int32_t>::min();
    EXPECT_EQ(vzGetScalar(i.get()), -2147483648.0);

    ArrayHolder l(vzCreateNumericMatrix(1, 1, vzLOGICAL_CLASS, vzREAL));
    EXPECT_EQ(vzGetScalar(l.get()), 0.0);
    static_cast<unsigned char*>(vzGetData(l.get()))[0] = 1;
    EXPECT_EQ(vzGetScalar(l.get()), 1.0);

    ArrayHolder c(vzCreateString("\xff"));
    EXPECT_EQ(vzGetScalar(c.get()), 255.0);

    ArrayHolder z(vzCreateNumericMatrix(1, 1, vzDOUBLE_CLASS, vzCOMPLEX));
    static_cast<double*>(vzGetData(z.get()))[0] = 3.0;
    static_cast<double*>(vzGetImagData(z.get()))[0] = 4.0;
    EXPECT_EQ(vzGetScalar(z.get()), 3.0);  // the real part

    ArrayHolder nan(vzCreateDoubleScalar(std::nan("")));
    EXPECT_TRUE(std::isnan(vzGetScalar(nan.get())));
    ArrayHolder negZero(vzCreateDoubleScalar(-0.0));
    EXPECT_TRUE(std::signbit(vzGetScalar(negZero.get())));
}

TEST(VzArrayScalar, EmptyOfEveryClassIsNaN) {
    const vzClassId classes[] = {vzDOUBLE_CLASS, vzSINGLE_CLASS, vzINT32_CLASS, vzLOGICAL_CLASS,
                                 vzCHAR_CLASS};
    for (vzClassId classId : classes) {
        ArrayHolder e(vzCreateNumericMatrix(0, 3, classId, vzREAL));
        EXPECT_TRUE(std::isnan(vzGetScalar(e.get()))) << "class " << classId;
        EXPECT_EQ(vzGetData(e.get()), nullptr);
    }
    vzDestroyArray(nullptr);  // accepted, as free(nullptr) is
}

TEST(VzCalloc, ZeroedDistinctAndReleased) {
    vzReleaseCallAllocations();
    ASSERT_EQ(vzPendingCallAllocations(), 0u);

    auto* bytes = static_cast<unsigned char*>(vzCalloc(1000, 3));
    ASSERT_NE(bytes, nullptr);
    for (size_t i = 0; i < 3000; ++i) {
        ASSERT_EQ(bytes[i], 0u) << "byte " << i;
    }
    std::memset(bytes, 0xAB, 3000);  // the memory is writable over its whole extent

    auto* doubles = static_cast<double*>(vzCalloc(5, sizeof(double)));
    EXPECT_EQ(reinterpret_cast<uintptr_t>(doubles) % alignof(std::max_align_t), 0u);
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(doubles[i], 0.0);
    }

    void* zeroCount = vzCalloc(0, 8);
    void* zeroSize = vzCalloc(8, 0);
    void* zeroBoth = vzCalloc(0, 0);
    EXPECT_NE(zeroCount, nullptr);
    EXPECT_NE(zeroSize, nullptr);
    EXPECT_NE(zeroBoth, nullptr);
    EXPECT_NE(zeroCount, zeroSize);
    EXPECT_NE(zeroSize, zeroBoth);
    EXPECT_NE(zeroCount, zeroBoth);
    EXPECT_EQ(vzPendingCallAllocations(), 5u);

    vzReleaseCallAllocations();  // under LeakSanitizer, a missed block would fail the run
    EXPECT_EQ(vzPendingCallAllocations(), 0u);
    vzReleaseCallAllocations();  // releasing nothing is fine
    EXPECT_EQ(vzPendingCallAllocations(), 0u);
}

TEST(VzCalloc, TrackingIsPerThread) {
    vzReleaseCallAllocations();
    (void)vzCalloc(1, 16);
    size_t otherBefore = 0;
    size_t otherAfter = 0;
    size_t mainSeenByOther = 1;
    std::thread other([&] {
        mainSeenByOther = vzPendingCallAllocations();
        (void)vzCalloc(2, 16);
        (void)vzCalloc(3, 16);
        otherBefore = vzPendingCallAllocations();
        vzReleaseCallAllocations();
        otherAfter = vzPendingCallAllocations();
        (void)vzCalloc(4, 16);  // left for the thread's end to free
    });
    other.join();
    EXPECT_EQ(mainSeenByOther, 0u);
    EXPECT_EQ(otherBefore, 2u);
    EXPECT_EQ(otherAfter, 0u);
    EXPECT_EQ(vzPendingCallAllocations(), 1u);  // the other thread's release left ours alone
    vzReleaseCallAllocations();
    EXPECT_EQ(vzPendingCallAllocations(), 0u);
}

using VzCallocDeathTest = ::testing::Test;

TEST_F(VzCallocDeathTest, OverflowAborts) {
    GTEST_FLAG_SET(death_test_style, KQ_DEATH_TEST_STYLE);
    EXPECT_DEATH(vzCalloc(std::numeric_limits<size_t>::max() / 2, 3), "vzCalloc");
    EXPECT_DEATH(vzCalloc(std::numeric_limits<size_t>::max(), 1), "vzCalloc");
}

TEST_F(VzCallocDeathTest, ElementCountOverflowAborts) {
    GTEST_FLAG_SET(death_test_style, KQ_DEATH_TEST_STYLE);
    const size_t dims[] = {std::numeric_limits<size_t>::max() / 2, 3};
    EXPECT_DEATH(vzCreateNumericArray(2, dims, vzDOUBLE_CLASS, vzREAL), "overflow");
    // The column count alone overflows, though the rows make the element count 0.
    const size_t wideDims[] = {0, std::numeric_limits<size_t>::max() / 2, 3};
    EXPECT_DEATH(vzCreateNumericArray(3, wideDims, vzDOUBLE_CLASS, vzREAL), "overflow");
}

}  // namespace
