// The stand-in host's text record: one line per service call, each kind's layout, numbers that
// read back to the same bits, refusals that write nothing, and the injected failure.
#include "sim/engine/record_text_writer.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>

#include "host/record_pair.h"

namespace {

using kq::sim::RecordTextWriter;

constexpr int32_t kDouble = 0;
constexpr int32_t kSingle = 1;
constexpr int32_t kBoolean = 8;
constexpr int32_t kComplexDouble = kTypeWordComplexBit | kDouble;
constexpr int32_t kComplexSingle = kTypeWordComplexBit | kSingle;
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNan = std::numeric_limits<double>::quiet_NaN();

const double kOneToSix[6] = {1.0, 2.0, 3.0, 4.0, 5.0, 6.0};
const double kMixed[3] = {1.0, 2.5, -3.0};
const double kComplexPairs[4] = {1.0, 2.0, 3.0, -4.0};  // interleaved re, im
const double kOddComplex[2] = {kInf, -kInf};
const double kNanComplex[2] = {-kNan, -kNan};
const double kPointOne = 0.1;
const float kSinglePointOne = 0.1f;
const float kSingleNegativeZeroImag[2] = {1.0f, -0.0f};
const float kSingles[4] = {0.5f, -1.25f, 3.0f, 1e-3f};
const unsigned char kTrueByte = 7;
const unsigned char kFalseByte = 0;
const unsigned char kIdentity[4] = {1, 0, 0, 1};
const char* const kTextList[3] = {"a", nullptr, "c"};
const SplitValue kSplitDoubles{kOneToSix, kOneToSix + 3};
const SplitValue kSplitRealOnly{kOneToSix, nullptr};
const SplitValue kSplitSingles{kSingles, kSingles + 2};
const SplitValue kSplitNoReal{nullptr, kOneToSix};

int32_t writePair(RecordTextWriter& writer, int32_t kind, const char* name, const void* value,
                  int32_t typeWord, int32_t rows, int32_t columns) {
    return RecordTextWriter::writePair(&writer, kind, name, value, typeWord, rows, columns);
}

struct LayoutCase {
    const char* label;
    int32_t kind;
    const void* value;
    int32_t typeWord;
    int32_t rows;
    int32_t columns;
    const char* line;
};
void PrintTo(const LayoutCase& c, std::ostream* os) {
    *os << c.label;
}

const LayoutCase kLayoutCases[] = {
    {"ItemAVerbatim", valueItemA, "x + 1", 0, 1, 1, "  N = x + 1\n"},
    {"ItemANull", valueItemA, nullptr, 0, 1, 1, "  N = null\n"},
    {"ItemBQuoted", valueItemB, "abc", 0, 1, 1, "  N = \"abc\"\n"},
    {"ItemBEscaped", valueItemB, "say \"hi\" \\", 0, 1, 1, "  N = \"say \\\"hi\\\" \\\\\"\n"},
    {"ItemList", valueItemList, kTextList, 0, 3, 1, "  N = [\"a\", null, \"c\"]\n"},
    {"EmptyItemList", valueItemList, nullptr, 0, 0, 1, "  N = []\n"},
    {"DoubleScalar", valueDoubleScalar, kMixed + 1, kDouble, 1, 1, "  N = 2.5 (double)\n"},
    {"DoubleScalarAllDigits", valueDoubleScalar, &kPointOne, kDouble, 1, 1,
     "  N = 0.10000000000000001 (double)\n"},
    {"SingleScalarAllDigits", valueTypedScalar, &kSinglePointOne, kSingle, 1, 1,
     "  N = 0.100000001 (single)\n"},
    {"BooleanTrue", valueTypedScalar, &kTrueByte, kBoolean, 1, 1, "  N = 1 (boolean)\n"},
    {"BooleanFalse", valueTypedScalar, &kFalseByte, kBoolean, 1, 1, "  N = 0 (boolean)\n"},
    {"ComplexDoubleScalar", valueTypedScalar, kComplexPairs + 2, kComplexDouble, 1, 1,
     "  N = 3-4i (double complex)\n"},
    {"ComplexSingleNegativeZeroImag", valueTypedScalar, kSingleNegativeZeroImag, kComplexSingle, 1,
     1, "  N = 1-0i (single complex)\n"},
    {"ComplexInfinities", valueDoubleScalar, kOddComplex, kComplexDouble, 1, 1,
     "  N = inf-infi (double complex)\n"},
    {"ComplexNans", valueDoubleScalar, kNanComplex, kComplexDouble, 1, 1,
     "  N = nan+nani (double complex)\n"},
    {"DoubleVector", valueDoubleVector, kMixed, kDouble, 3, 1, "  N = [1, 2.5, -3] (double)\n"},
    {"SingleVector", valueTypedVector, kSingles, kSingle, 4, 1,
     "  N = [0.5, -1.25, 3, 0.00100000005] (single)\n"},
    {"InterleavedComplexVector", valueTypedVector, kComplexPairs, kComplexDouble, 2, 1,
     "  N = [1+2i, 3-4i] (double complex)\n"},
    {"EmptyVector", valueDoubleVector, nullptr, kDouble, 0, 1, "  N = [] (double)\n"},
    {"EmptyVectorOfUnknownType", valueTypedVector, nullptr, 5, 0, 1, "  N = [] (typeid 5)\n"},
    {"EmptyComplexMatrixOfUnknownType", valueTypedMatrix, nullptr, kTypeWordComplexBit | 5, 0, 0,
     "  N = [] (typeid 5 complex)\n"},
    {"MatrixRowByRow", valueDoubleMatrix, kOneToSix, kDouble, 2, 3,
     "  N = [1, 3, 5; 2, 4, 6] (double)\n"},
    {"MatrixThreeByTwo", valueDoubleMatrix, kOneToSix, kDouble, 3, 2,
     "  N = [1, 4; 2, 5; 3, 6] (double)\n"},
    {"MatrixWithZeroColumns", valueTypedMatrix, nullptr, kDouble, 2, 0, "  N = [] (double)\n"},
    {"MatrixOneColumn", valueTypedMatrix, kOneToSix, kDouble, 3, 1, "  N = [1; 2; 3] (double)\n"},
    {"MatrixOneRow", valueTypedMatrix, kOneToSix, kDouble, 1, 3, "  N = [1, 2, 3] (double)\n"},
    {"BooleanMatrix", valueTypedMatrix, kIdentity, kBoolean, 2, 2,
     "  N = [1, 0; 0, 1] (boolean)\n"},
    {"InterleavedComplexMatrix", valueTypedMatrix, kComplexPairs, kComplexDouble, 1, 2,
     "  N = [1+2i, 3-4i] (double complex)\n"},
    {"EmptyMatrix", valueDoubleMatrix, nullptr, kDouble, 0, 0, "  N = [] (double)\n"},
    {"SplitComplexVector", valueSplitVector, &kSplitDoubles, kComplexDouble, 3, 1,
     "  N = [1+4i, 2+5i, 3+6i] (double complex)\n"},
    {"SplitRealVectorIgnoresImaginaryPart", valueSplitVector, &kSplitDoubles, kDouble, 2, 1,
     "  N = [1, 2] (double)\n"},
    {"SplitRealVectorWithoutImaginaryPart", valueSplitVector, &kSplitRealOnly, kDouble, 1, 1,
     "  N = [1] (double)\n"},
    {"SplitComplexSingleMatrix", valueSplitMatrix, &kSplitSingles, kComplexSingle, 2, 1,
     "  N = [0.5+3i; -1.25+0.00100000005i] (single complex)\n"},
    {"EmptySplitMatrix", valueSplitMatrix, nullptr, kComplexDouble, 0, 0,
     "  N = [] (double complex)\n"},
};

class PairLayoutTest : public testing::TestWithParam<LayoutCase> {};

TEST_P(PairLayoutTest, WritesOneLine) {
    const LayoutCase& c = GetParam();
    RecordTextWriter writer;
    EXPECT_EQ(writePair(writer, c.kind, "N", c.value, c.typeWord, c.rows, c.columns), 1);
    EXPECT_EQ(writer.record(), c.line);
}

INSTANTIATE_TEST_SUITE_P(AllKinds, PairLayoutTest, testing::ValuesIn(kLayoutCases),
                         [](const auto& testCase) { return std::string(testCase.param.label); });

struct RefusedCase {
    const char* label;
    int32_t kind;
    const char* name;
    const void* value;
    int32_t typeWord;
    int32_t rows;
    int32_t columns;
};
void PrintTo(const RefusedCase& c, std::ostream* os) {
    *os << c.label;
}

const RefusedCase kRefusedCases[] = {
    {"KindEleven", 11, "N", kOneToSix, kDouble, 1, 1},
    {"NegativeKind", -1, "N", kOneToSix, kDouble, 1, 1},
    {"UnknownTypeId", valueTypedScalar, "N", kOneToSix, 5, 1, 1},
    {"UnknownComplexTypeId", valueTypedVector, "N", kOneToSix, kTypeWordComplexBit | 2, 1, 1},
    {"MissingName", valueDoubleScalar, nullptr, kOneToSix, kDouble, 1, 1},
    {"EmptyName", valueItemA, "", "t", 0, 1, 1},
    {"ScalarWithoutValue", valueDoubleScalar, "N", nullptr, kDouble, 1, 1},
    {"VectorWithoutValue", valueDoubleVector, "N", nullptr, kDouble, 2, 1},
    {"NegativeCount", valueDoubleVector, "N", kOneToSix, kDouble, -1, 1},
    {"NegativeColumns", valueDoubleMatrix, "N", kOneToSix, kDouble, 2, -1},
    {"ListWithoutValue", valueItemList, "N", nullptr, 0, 2, 1},
    {"NegativeListCount", valueItemList, "N", kTextList, 0, -1, 1},
    {"SplitWithoutSplitValue", valueSplitVector, "N", nullptr, kDouble, 2, 1},
    {"SplitWithoutRealPart", valueSplitMatrix, "N", &kSplitNoReal, kDouble, 1, 1},
    {"ComplexSplitWithoutImaginaryPart", valueSplitVector, "N", &kSplitRealOnly, kComplexDouble, 1,
     1},
};

class PairRefusedTest : public testing::TestWithParam<RefusedCase> {};

TEST_P(PairRefusedTest, ReturnsZeroAndWritesNothing) {
    const RefusedCase& c = GetParam();
    RecordTextWriter writer;
    ASSERT_EQ(RecordTextWriter::writeText(&writer, "before"), 1);
    EXPECT_EQ(writePair(writer, c.kind, c.name, c.value, c.typeWord, c.rows, c.columns), 0);
    EXPECT_EQ(writer.record(), "before\n");
}

INSTANTIATE_TEST_SUITE_P(Pairs, PairRefusedTest, testing::ValuesIn(kRefusedCases),
                         [](const auto& testCase) { return std::string(testCase.param.label); });

// The VALUE of "  NAME = VALUE (TYPE)\n".
std::string valueOf(const std::string& line) {
    const size_t start = line.find(" = ") + 3;
    const size_t end = line.rfind(" (");
    return line.substr(start, end - start);
}

template <typename Number>
Number parseNumber(const char* text, char** end) {
    if constexpr (std::is_same_v<Number, float>) {
        return std::strtof(text, end);
    } else {
        return std::strtod(text, end);
    }
}

// Reads "re", "re+imi" or "re-imi" back; fails the test when text is left over.
template <typename Number>
void parseElement(const std::string& text, Number& real, Number* imag) {
    char* end = nullptr;
    real = parseNumber<Number>(text.c_str(), &end);
    if (imag != nullptr) {
        *imag = parseNumber<Number>(end, &end);
        ASSERT_EQ(*end, 'i') << text;
        ++end;
    }
    EXPECT_EQ(*end, '\0') << text;
}

template <typename Number>
bool sameBits(Number a, Number b) {
    if (std::isnan(a) || std::isnan(b)) {
        return std::isnan(a) && std::isnan(b);  // the record keeps no NaN sign or payload
    }
    return std::bit_cast<std::conditional_t<sizeof(Number) == 8, uint64_t, uint32_t>>(a) ==
           std::bit_cast<std::conditional_t<sizeof(Number) == 8, uint64_t, uint32_t>>(b);
}

// Writes {real, imag} as a complex scalar and reads both parts back.
template <typename Number>
void expectComplexRoundTrip(Number real, Number imag) {
    const Number pair[2] = {real, imag};
    const int32_t typeWord = kTypeWordComplexBit | (sizeof(Number) == 8 ? kDouble : kSingle);
    RecordTextWriter writer;
    ASSERT_EQ(writePair(writer, valueTypedScalar, "N", pair, typeWord, 1, 1), 1);
    const std::string text = valueOf(writer.record());
    Number readReal{};
    Number readImag{};
    parseElement(text, readReal, &readImag);
    EXPECT_TRUE(sameBits(readReal, real) && sameBits(readImag, imag)) << text;
}

// Writes one real scalar and reads it back.
template <typename Number>
void expectRealRoundTrip(Number number) {
    RecordTextWriter writer;
    const int32_t typeWord = sizeof(Number) == 8 ? kDouble : kSingle;
    ASSERT_EQ(writePair(writer, valueTypedScalar, "N", &number, typeWord, 1, 1), 1);
    const std::string text = valueOf(writer.record());
    Number read{};
    parseElement<Number>(text, read, nullptr);
    EXPECT_TRUE(sameBits(read, number)) << text;
}

template <typename Number>
class RoundTripTest : public testing::Test {};

using NumberTypes = testing::Types<double, float>;
TYPED_TEST_SUITE(RoundTripTest, NumberTypes);

TYPED_TEST(RoundTripTest, SpecialValuesReadBackToTheSameBits) {
    using Limits = std::numeric_limits<TypeParam>;
    const TypeParam specials[] = {0,
                                  -TypeParam(0),
                                  TypeParam(1) / 3,
                                  TypeParam(0.1),
                                  -TypeParam(2.5),
                                  Limits::min(),
                                  Limits::denorm_min(),
                                  -Limits::denorm_min(),
                                  Limits::max(),
                                  Limits::lowest(),
                                  Limits::epsilon(),
                                  std::nextafter(TypeParam(1), TypeParam(2)),
                                  Limits::infinity(),
                                  -Limits::infinity(),
                                  Limits::quiet_NaN()};
    for (const TypeParam number : specials) {
        expectRealRoundTrip(number);
        expectComplexRoundTrip(TypeParam(1), number);
        expectComplexRoundTrip(number, -number);
    }
}

TYPED_TEST(RoundTripTest, RandomBitPatternsReadBackToTheSameBits) {
    using Bits = std::conditional_t<sizeof(TypeParam) == 8, uint64_t, uint32_t>;
    constexpr uint64_t kSeed = 0x6b71'7068'6173'6532;
    SCOPED_TRACE(testing::Message() << "seed " << kSeed);
    std::mt19937_64 random(kSeed);
    for (int draw = 0; draw < 4000; ++draw) {
        const auto number = std::bit_cast<TypeParam>(static_cast<Bits>(random()));
        const auto imag = std::bit_cast<TypeParam>(static_cast<Bits>(random()));
        expectRealRoundTrip(number);
        expectComplexRoundTrip(number, imag);
    }
}

TEST(RecordTextWriterTest, EachTextIsOneLine) {
    RecordTextWriter writer;
    EXPECT_EQ(RecordTextWriter::writeText(&writer, "RBlkParamSettings {"), 1);
    EXPECT_EQ(RecordTextWriter::writeText(&writer, "}"), 1);
    EXPECT_EQ(RecordTextWriter::writeText(&writer, nullptr), 0);
    EXPECT_EQ(writer.record(), "RBlkParamSettings {\n}\n");
    EXPECT_EQ(writer.callCount(), 3);
}

TEST(RecordTextWriterTest, InjectedFailureRefusesOnlyTheChosenCall) {
    for (const int32_t injected : {0, 2, -4}) {
        RecordTextWriter writer;
        writer.failCall(2, injected);
        EXPECT_EQ(RecordTextWriter::writeText(&writer, "one"), 1);
        EXPECT_EQ(writePair(writer, valueItemA, "N", "two", 0, 1, 1), injected);
        EXPECT_EQ(RecordTextWriter::writeText(&writer, "three"), 1);
        EXPECT_EQ(writer.record(), "one\nthree\n");
        EXPECT_EQ(writer.callCount(), 3);
    }
}

TEST(RecordTextWriterTest, AttachedServicesWriteToThisRecord) {
    RecordTextWriter writer;
    HostInfo hostInfo{};
    writer.attachTo(hostInfo);
    ASSERT_NE(hostInfo.writeRecordText, nullptr);
    ASSERT_NE(hostInfo.writeRecordPair, nullptr);
    const unsigned char running = 1;
    EXPECT_EQ(hostInfo.writeRecordText(hostInfo.recordWriterContext, "{"), 1);
    EXPECT_EQ(hostInfo.writeRecordPair(hostInfo.recordWriterContext, valueTypedScalar, "Running",
                                       &running, kBoolean, 1, 1),
              1);
    EXPECT_EQ(writer.record(), "{\n  Running = 1 (boolean)\n");
}

}  // namespace
