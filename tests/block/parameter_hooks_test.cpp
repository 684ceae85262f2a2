#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>

#include "block/block_hooks.h"
#include "block_test_support.h"

using namespace kq;

namespace {

using HostInstance = kq::test::BlockHost;
using kq::sim::HostInstanceOptions;

constexpr const char* kNotRealScalar = "Tolerance must be a real scalar.";

struct CheckCase {
    int32_t mode;
    int toleranceForm;  // 0 scalar, 1 empty, 2 1x2, 3 complex scalar, 4 negative scalar
    bool passes;
};

vzArray* toleranceOfForm(int form) {
    switch (form) {
        case 0:
            return vzCreateDoubleScalar(0.5);
        case 1:
            return vzCreateDoubleMatrix(0, 0, vzREAL);
        case 2:
            return vzCreateDoubleMatrix(1, 2, vzREAL);
        case 3:
            return vzCreateNumericMatrix(1, 1, vzDOUBLE_CLASS, vzCOMPLEX);
        default:
            return vzCreateDoubleScalar(-7.0);
    }
}

class CheckParameters : public ::testing::TestWithParam<CheckCase> {};

TEST_P(CheckParameters, AcceptsOnlyARealScalar) {
    const CheckCase& c = GetParam();
    HostInstance host(HostInstanceOptions{.simMode = c.mode});
    host.setDialogParams({toleranceOfForm(c.toleranceForm), vzCreateDoubleScalar(0.0)});
    hookCheckParameters(host.block());
    EXPECT_EQ(host.takeErrorStatus(), c.passes ? "" : kNotRealScalar);
}

INSTANTIATE_TEST_SUITE_P(FormsAndModes, CheckParameters,
                         ::testing::Values(CheckCase{0, 0, true}, CheckCase{0, 4, true},
                                           CheckCase{0, 1, false}, CheckCase{1, 1, true},
                                           CheckCase{2, 1, false}, CheckCase{3, 1, false},
                                           CheckCase{0, 2, false}, CheckCase{1, 2, false},
                                           CheckCase{0, 3, false}));

TEST(CheckParameters, MissingToleranceFails) {
    HostInstance host;
    hookCheckParameters(host.block());
    EXPECT_EQ(host.takeErrorStatus(), kNotRealScalar);
}

struct CutoffCase {
    double tolerance;
    int32_t typeId;
    uint64_t expectedBits;  // of the double, or of the float widened exactly
};

class ProcessParameters : public ::testing::TestWithParam<CutoffCase> {};

TEST_P(ProcessParameters, StoresTheMagnitudeInTheInputPrecision) {
    const CutoffCase& c = GetParam();
    HostInstance host;
    ASSERT_EQ(kq::test::prepareInstance(
                  host, {.dims = {1, 1}, .typeId = c.typeId, .tolerance = c.tolerance}),
              "");
    hookProcessParameters(host.block());
    const void* cutoff = host.block()->workVectors[0].data;
    const double stored =
        c.typeId == 1 ? *static_cast<const float*>(cutoff) : *static_cast<const double*>(cutoff);
    EXPECT_EQ(std::bit_cast<uint64_t>(stored), c.expectedBits);
}

INSTANTIATE_TEST_SUITE_P(
    SignsZerosAndPrecision, ProcessParameters,
    ::testing::Values(
        CutoffCase{-0.5, 0, std::bit_cast<uint64_t>(0.5)},
        CutoffCase{0.5, 0, std::bit_cast<uint64_t>(0.5)},
        CutoffCase{0.0, 0, std::bit_cast<uint64_t>(-0.0)},
        CutoffCase{-0.0, 0, std::bit_cast<uint64_t>(0.0)},
        CutoffCase{0.1, 1, std::bit_cast<uint64_t>(static_cast<double>(0.1f))},
        CutoffCase{-1e300, 1, std::bit_cast<uint64_t>(std::numeric_limits<double>::infinity())}));

TEST(ProcessParameters, NanStaysNan) {
    HostInstance host;
    ASSERT_EQ(kq::test::prepareInstance(host, {.dims = {1, 1}}), "");
    host.replaceDialogParam(0, vzCreateDoubleScalar(std::numeric_limits<double>::quiet_NaN()));
    hookProcessParameters(host.block());
    EXPECT_TRUE(std::isnan(*static_cast<const double*>(host.block()->workVectors[0].data)));
}

TEST(ProcessParameters, ModesTwoAndThreeLeaveTheCutoffAlone) {
    for (int32_t mode : {2, 3}) {
        HostInstance host(HostInstanceOptions{.simMode = mode});
        ASSERT_EQ(kq::test::prepareInstance(host, {.dims = {1, 1}, .tolerance = -4.0}), "");
        auto* cutoff = static_cast<double*>(host.block()->workVectors[0].data);
        *cutoff = 9.0;
        hookProcessParameters(host.block());
        hookInitializeConditions(host.block());
        EXPECT_EQ(*cutoff, 9.0);
    }
}

TEST(ProcessParameters, BeforeTheWorkVectorsExistChangesNothing) {
    HostInstance host;
    host.setDialogParams({vzCreateDoubleScalar(1.0), vzCreateDoubleScalar(0.0)});
    hookProcessParameters(host.block());  // no work vectors: must not write anywhere
    EXPECT_EQ(host.takeErrorStatus(), "");
}

}  // namespace
