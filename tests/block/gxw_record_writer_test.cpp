// The block's pair and settings writers against a host service that records every call: the
// checks and their order, what is forwarded per kind, and where a group of settings stops.
#include "block/gxw_record_writer.h"

#include <gtest/gtest.h>

#include <climits>
#include <optional>
#include <string>
#include <vector>

#include "sim/engine/record_text_writer.h"

using namespace kq;

namespace {

// Copies of the messages, so that a changed text in the writer fails here.
constexpr const char* kPairKindMessage =
    "Invalid BIWRITE_VALUE_type passed to biWriteGXWNameValuePair";
constexpr const char* kNameMessage = "Invalid name passed to biWriteGXWNameValuePair";
constexpr const char* kDimsMessage =
    "Invalid number of rows or columns passed to biWriteGXWNameValuePair";
constexpr const char* kNullValueMessage = "Invalid value (NULL) passed to biWriteGXWNameValuePair";
constexpr const char* kListKindMessage =
    "Invalid BIWRITE_VALUE_type passed to biWriteGXWParamSettings";

// errorStatus before a call; a call that must not store a message leaves it in place.
constexpr const char* kUntouched = "untouched";

constexpr int32_t kComplexDouble = kTypeWordComplexBit | 0;
constexpr int32_t kComplexSingle = kTypeWordComplexBit | 1;

const double kDoubles[6] = {1.0, 2.0, 3.0, 4.0, 5.0, 6.0};
const char kText[] = "text";
const char* const kTexts[3] = {"a", "b", "c"};
const SplitValue kSplitRealOnly{kDoubles, nullptr};
const SplitValue kSplitComplex{kDoubles, kDoubles + 3};
const SplitValue kSplitNoReal{nullptr, kDoubles};

// Settings list values travel through "..." and are read back as const void*.
const void* const kDoublesRef = kDoubles;
const void* const kTextsRef = kTexts;
const void* const kTextRef = kText;
const void* const kRealRef = kDoubles;
const void* const kImagRef = kDoubles + 3;

struct RecordedCall {
    bool isText = false;
    std::string text;
    int32_t kind = -1;
    std::string name;
    const void* value = nullptr;
    int32_t typeWord = 0;
    int32_t rows = 0;
    int32_t columns = 0;
    // What the value referred to during the call, for values that live only that long.
    std::optional<double> doubleAtValue;
    std::optional<SplitValue> splitAtValue;
};

// The host's writer services, recording each call and answering from a script (1 past its end).
class RecordingWriter {
  public:
    std::vector<RecordedCall> calls;
    std::vector<int32_t> results;

    static int32_t writeText(void* context, const char* text) {
        auto* self = static_cast<RecordingWriter*>(context);
        RecordedCall call;
        call.isText = true;
        call.text = text;
        self->calls.push_back(call);
        return self->nextResult();
    }

    static int32_t writePair(void* context, int32_t kind, const char* name, const void* value,
                             int32_t typeWord, int32_t rows, int32_t columns) {
        auto* self = static_cast<RecordingWriter*>(context);
        RecordedCall call;
        call.kind = kind;
        call.name = name;
        call.value = value;
        call.typeWord = typeWord;
        call.rows = rows;
        call.columns = columns;
        if (kind == valueDoubleScalar && value != nullptr) {
            call.doubleAtValue = *static_cast<const double*>(value);
        }
        if ((kind == valueSplitVector || kind == valueSplitMatrix) && value != nullptr) {
            call.splitAtValue = *static_cast<const SplitValue*>(value);
        }
        self->calls.push_back(call);
        return self->nextResult();
    }

  private:
    int32_t nextResult() const {
        const size_t index = calls.size() - 1;
        return index < results.size() ? results[index] : 1;
    }
};

class GxwWriterTest : public testing::Test {
  protected:
    GxwWriterTest() {
        instance_.root = &instance_;
        instance_.errorStatus = kUntouched;
        instance_.hostInfo = &hostInfo_;
        hostInfo_.writeRecordText = &RecordingWriter::writeText;
        hostInfo_.writeRecordPair = &RecordingWriter::writePair;
        hostInfo_.recordWriterContext = &recorder_;
    }

    BlockInstance instance_{};
    HostInfo hostInfo_{};
    RecordingWriter recorder_;
};

using WriterCall = int32_t (*)(BlockInstance*);

// Each case table below has a PrintTo, so that a failure names the case rather than its bytes.

// A call that passes the checks, and what must reach writeRecordPair.
struct ForwardCase {
    const char* label;
    WriterCall call;
    int32_t kind;
    const void* value;
    int32_t typeWord;
    int32_t rows;
    int32_t columns;
};
void PrintTo(const ForwardCase& c, std::ostream* os) {
    *os << c.label;
}

const ForwardCase kForwardCases[] = {
    {"ItemA", [](BlockInstance* i) { return biWriteGXWNameValuePair(i, valueItemA, "N", kText); },
     valueItemA, kText, 0, 1, 1},
    {"ItemB", [](BlockInstance* i) { return biWriteGXWNameValuePair(i, valueItemB, "N", kText); },
     valueItemB, kText, 0, 1, 1},
    {"ItemList",
     [](BlockInstance* i) { return biWriteGXWNameValuePair(i, valueItemList, "N", kTexts, 3); },
     valueItemList, kTexts, 0, 3, 1},
    {"EmptyItemListWithoutValue",
     [](BlockInstance* i) { return biWriteGXWNameValuePair(i, valueItemList, "N", nullptr, 0); },
     valueItemList, nullptr, 0, 0, 1},
    {"DoubleScalar",
     [](BlockInstance* i) {
         return biWriteGXWNameValuePair(i, valueDoubleScalar, "N", kDoubles, 0);
     },
     valueDoubleScalar, kDoubles, 0, 1, 1},
    {"ComplexDoubleScalar",
     [](BlockInstance* i) {
         return biWriteGXWNameValuePair(i, valueDoubleScalar, "N", kDoubles, kComplexDouble);
     },
     valueDoubleScalar, kDoubles, kComplexDouble, 1, 1},
    {"DoubleVector",
     [](BlockInstance* i) {
         return biWriteGXWNameValuePair(i, valueDoubleVector, "N", kDoubles, 1, 5);
     },
     valueDoubleVector, kDoubles, 1, 5, 1},
    {"EmptyDoubleVectorWithoutValue",
     [](BlockInstance* i) {
         return biWriteGXWNameValuePair(i, valueDoubleVector, "N", nullptr, 0, 0);
     },
     valueDoubleVector, nullptr, 0, 0, 1},
    {"DoubleMatrix",
     [](BlockInstance* i) {
         return biWriteGXWNameValuePair(i, valueDoubleMatrix, "N", kDoubles, 0, 2, 3);
     },
     valueDoubleMatrix, kDoubles, 0, 2, 3},
    {"EmptyDoubleMatrixWithoutValue",
     [](BlockInstance* i) {
         return biWriteGXWNameValuePair(i, valueDoubleMatrix, "N", nullptr, 0, 0, 0);
     },
     valueDoubleMatrix, nullptr, 0, 0, 0},
    {"TypedScalar",
     [](BlockInstance* i) {
         return biWriteGXWNameValuePair(i, valueTypedScalar, "N", kDoubles, 8);
     },
     valueTypedScalar, kDoubles, 8, 1, 1},
    {"TypedVector",
     [](BlockInstance* i) {
         return biWriteGXWNameValuePair(i, valueTypedVector, "N", kDoubles, 1, 4);
     },
     valueTypedVector, kDoubles, 1, 4, 1},
    {"ComplexTypedMatrix",
     [](BlockInstance* i) {
         return biWriteGXWNameValuePair(i, valueTypedMatrix, "N", kDoubles, kComplexSingle, 3, 2);
     },
     valueTypedMatrix, kDoubles, kComplexSingle, 3, 2},
    {"RealSplitVectorWithoutImaginaryPart",
     [](BlockInstance* i) {
         return biWriteGXWNameValuePair(i, valueSplitVector, "N", &kSplitRealOnly, 0, 4);
     },
     valueSplitVector, &kSplitRealOnly, 0, 4, 1},
    {"ComplexSplitVector",
     [](BlockInstance* i) {
         return biWriteGXWNameValuePair(i, valueSplitVector, "N", &kSplitComplex, kComplexDouble,
                                        3);
     },
     valueSplitVector, &kSplitComplex, kComplexDouble, 3, 1},
    {"EmptyComplexSplitVectorWithoutValue",
     [](BlockInstance* i) {
         return biWriteGXWNameValuePair(i, valueSplitVector, "N", nullptr, kComplexDouble, 0);
     },
     valueSplitVector, nullptr, kComplexDouble, 0, 1},
    {"ComplexSplitMatrix",
     [](BlockInstance* i) {
         return biWriteGXWNameValuePair(i, valueSplitMatrix, "N", &kSplitComplex, kComplexDouble, 1,
                                        3);
     },
     valueSplitMatrix, &kSplitComplex, kComplexDouble, 1, 3},
    {"EmptySplitMatrixWithoutValue",
     [](BlockInstance* i) {
         return biWriteGXWNameValuePair(i, valueSplitMatrix, "N", nullptr, kComplexDouble, 0, 0);
     },
     valueSplitMatrix, nullptr, kComplexDouble, 0, 0},
};

class PairForwardTest : public GxwWriterTest, public testing::WithParamInterface<ForwardCase> {};

TEST_P(PairForwardTest, ForwardsTheDerivedShapeAndStoresNoMessage) {
    const ForwardCase& c = GetParam();
    EXPECT_EQ(c.call(&instance_), 1);
    EXPECT_STREQ(instance_.errorStatus, kUntouched);
    ASSERT_EQ(recorder_.calls.size(), 1u);
    const RecordedCall& call = recorder_.calls[0];
    EXPECT_FALSE(call.isText);
    EXPECT_EQ(call.kind, c.kind);
    EXPECT_EQ(call.name, "N");
    EXPECT_EQ(call.value, c.value);
    EXPECT_EQ(call.typeWord, c.typeWord);
    EXPECT_EQ(call.rows, c.rows);
    EXPECT_EQ(call.columns, c.columns);
}

INSTANTIATE_TEST_SUITE_P(AllKinds, PairForwardTest, testing::ValuesIn(kForwardCases),
                         [](const auto& testCase) { return std::string(testCase.param.label); });

// A call that fails a check, and the message it must store.
struct RejectCase {
    const char* label;
    WriterCall call;
    const char* message;
};
void PrintTo(const RejectCase& c, std::ostream* os) {
    *os << c.label;
}

const RejectCase kRejectCases[] = {
    {"NegativeKind",
     [](BlockInstance* i) { return biWriteGXWNameValuePair(i, -1, "N", kDoubles, 0); },
     kPairKindMessage},
    {"KindEleven",
     [](BlockInstance* i) { return biWriteGXWNameValuePair(i, 11, "N", kDoubles, 0); },
     kPairKindMessage},
    {"LowestKind",
     [](BlockInstance* i) { return biWriteGXWNameValuePair(i, INT32_MIN, nullptr, nullptr); },
     kPairKindMessage},
    {"MissingName",
     [](BlockInstance* i) { return biWriteGXWNameValuePair(i, valueItemA, nullptr, "t"); },
     kNameMessage},
    {"EmptyName",
     [](BlockInstance* i) { return biWriteGXWNameValuePair(i, valueTypedScalar, "", kDoubles, 0); },
     kNameMessage},
    {"EmptyNameBeforeNegativeRows",
     [](BlockInstance* i) { return biWriteGXWNameValuePair(i, valueItemList, "", kTexts, -1); },
     kNameMessage},
    {"EmptyNameBeforeMissingValue",
     [](BlockInstance* i) {
         return biWriteGXWNameValuePair(i, valueDoubleMatrix, "", nullptr, 0, 2, 2);
     },
     kNameMessage},
    {"NegativeListCount",
     [](BlockInstance* i) { return biWriteGXWNameValuePair(i, valueItemList, "N", kTexts, -1); },
     kDimsMessage},
    {"NegativeVectorCount",
     [](BlockInstance* i) {
         return biWriteGXWNameValuePair(i, valueTypedVector, "N", kDoubles, 0, -3);
     },
     kDimsMessage},
    {"NegativeRowsBeforeMissingValue",
     [](BlockInstance* i) {
         return biWriteGXWNameValuePair(i, valueDoubleVector, "N", nullptr, 0, -1);
     },
     kDimsMessage},
    {"NegativeMatrixRows",
     [](BlockInstance* i) {
         return biWriteGXWNameValuePair(i, valueDoubleMatrix, "N", kDoubles, 0, -1, 2);
     },
     kDimsMessage},
    {"NegativeMatrixColumns",
     [](BlockInstance* i) {
         return biWriteGXWNameValuePair(i, valueTypedMatrix, "N", kDoubles, 0, 2, -1);
     },
     kDimsMessage},
    {"MatrixWithZeroRowsOnly",
     [](BlockInstance* i) {
         return biWriteGXWNameValuePair(i, valueDoubleMatrix, "N", nullptr, 0, 0, 3);
     },
     kDimsMessage},
    {"MatrixWithZeroColumnsOnly",
     [](BlockInstance* i) {
         return biWriteGXWNameValuePair(i, valueTypedMatrix, "N", kDoubles, 0, 3, 0);
     },
     kDimsMessage},
    {"SplitMatrixWithZeroColumnsOnly",
     [](BlockInstance* i) {
         return biWriteGXWNameValuePair(i, valueSplitMatrix, "N", &kSplitComplex, 0, 2, 0);
     },
     kDimsMessage},
    {"ItemAWithoutValue",
     [](BlockInstance* i) { return biWriteGXWNameValuePair(i, valueItemA, "N", nullptr); },
     kNullValueMessage},
    {"ItemBWithoutValue",
     [](BlockInstance* i) { return biWriteGXWNameValuePair(i, valueItemB, "N", nullptr); },
     kNullValueMessage},
    {"ItemListWithoutValue",
     [](BlockInstance* i) { return biWriteGXWNameValuePair(i, valueItemList, "N", nullptr, 2); },
     kNullValueMessage},
    {"DoubleScalarWithoutValue",
     [](BlockInstance* i) {
         return biWriteGXWNameValuePair(i, valueDoubleScalar, "N", nullptr, 0);
     },
     kNullValueMessage},
    {"DoubleMatrixWithoutValue",
     [](BlockInstance* i) {
         return biWriteGXWNameValuePair(i, valueDoubleMatrix, "N", nullptr, 0, 2, 3);
     },
     kNullValueMessage},
    {"TypedScalarWithoutValue",
     [](BlockInstance* i) { return biWriteGXWNameValuePair(i, valueTypedScalar, "N", nullptr, 1); },
     kNullValueMessage},
    {"TypedVectorWithoutValue",
     [](BlockInstance* i) {
         return biWriteGXWNameValuePair(i, valueTypedVector, "N", nullptr, 1, 1);
     },
     kNullValueMessage},
    {"SplitVectorWithoutSplitValue",
     [](BlockInstance* i) {
         return biWriteGXWNameValuePair(i, valueSplitVector, "N", nullptr, 0, 4);
     },
     kNullValueMessage},
    {"SplitVectorWithoutRealPart",
     [](BlockInstance* i) {
         return biWriteGXWNameValuePair(i, valueSplitVector, "N", &kSplitNoReal, 0, 4);
     },
     kNullValueMessage},
    {"ComplexSplitVectorWithoutImaginaryPart",
     [](BlockInstance* i) {
         return biWriteGXWNameValuePair(i, valueSplitVector, "N", &kSplitRealOnly, kComplexDouble,
                                        4);
     },
     kNullValueMessage},
    {"ComplexSingleSplitMatrixWithoutImaginaryPart",
     [](BlockInstance* i) {
         return biWriteGXWNameValuePair(i, valueSplitMatrix, "N", &kSplitRealOnly, kComplexSingle,
                                        2, 2);
     },
     kNullValueMessage},
    {"SplitMatrixWithoutRealPart",
     [](BlockInstance* i) {
         return biWriteGXWNameValuePair(i, valueSplitMatrix, "N", &kSplitNoReal, kComplexDouble, 2,
                                        2);
     },
     kNullValueMessage},
};

class PairRejectTest : public GxwWriterTest, public testing::WithParamInterface<RejectCase> {};

TEST_P(PairRejectTest, StoresTheFirstFailedCheckAndForwardsNothing) {
    const RejectCase& c = GetParam();
    EXPECT_EQ(c.call(&instance_), 0);
    EXPECT_STREQ(instance_.errorStatus, c.message);
    EXPECT_TRUE(recorder_.calls.empty());
}

INSTANTIATE_TEST_SUITE_P(AllChecks, PairRejectTest, testing::ValuesIn(kRejectCases),
                         [](const auto& testCase) { return std::string(testCase.param.label); });

TEST_F(GxwWriterTest, PairReturnsTheHostResultUnchanged) {
    for (const int32_t hostResult : {0, 2, -5}) {
        recorder_.calls.clear();
        recorder_.results = {hostResult};
        EXPECT_EQ(biWriteGXWNameValuePair(&instance_, valueTypedScalar, "N", kDoubles, 0),
                  hostResult);
        EXPECT_EQ(recorder_.calls.size(), 1u);
    }
    EXPECT_STREQ(instance_.errorStatus, kUntouched);
}

TEST_F(GxwWriterTest, MessagesAreStoredInTheRootAsLastingConstants) {
    BlockInstance root{};
    instance_.root = &root;
    ASSERT_EQ(biWriteGXWNameValuePair(&instance_, valueItemA, "", "t"), 0);
    const char* first = root.errorStatus;
    EXPECT_STREQ(first, kNameMessage);
    EXPECT_STREQ(instance_.errorStatus, kUntouched);
    ASSERT_EQ(biWriteGXWNameValuePair(&instance_, 12, "N", nullptr), 0);
    ASSERT_EQ(biWriteGXWNameValuePair(&instance_, valueItemB, nullptr, "t"), 0);
    // The same text at the same address: no per-call buffer that a later call could overwrite.
    EXPECT_EQ(root.errorStatus, first);
}

// A wrapper that forwards its own variable arguments, as a host-side adapter would.
int32_t writePairThroughList(BlockInstance* instance, int32_t kind, const char* name,
                             const void* value, ...) {
    va_list args;
    va_start(args, value);
    const int32_t result = biWriteGXWNameValuePairV(instance, kind, name, value, args);
    va_end(args);
    return result;
}

TEST_F(GxwWriterTest, ListFormReadsTheSameTrailingArguments) {
    EXPECT_EQ(writePairThroughList(&instance_, valueTypedMatrix, "M", kDoubles, 1, 2, 3), 1);
    EXPECT_EQ(writePairThroughList(&instance_, valueDoubleMatrix, "M", kDoubles, 0, 0, 3), 0);
    EXPECT_STREQ(instance_.errorStatus, kDimsMessage);
    ASSERT_EQ(recorder_.calls.size(), 1u);
    EXPECT_EQ(recorder_.calls[0].typeWord, 1);
    EXPECT_EQ(recorder_.calls[0].rows, 2);
    EXPECT_EQ(recorder_.calls[0].columns, 3);
}

// One settings entry, and what must reach writeRecordPair. value is nullptr where the writer
// passes storage of its own (kind 3's copy, the SplitValue it builds); then the content is checked.
struct SettingsCase {
    const char* label;
    WriterCall call;
    int32_t kind;
    const void* value;
    int32_t typeWord;
    int32_t rows;
    int32_t columns;
    std::optional<double> doubleCopy;
    std::optional<SplitValue> split;
};
void PrintTo(const SettingsCase& c, std::ostream* os) {
    *os << c.label;
}

const SettingsCase kSettingsCases[] = {
    {"ItemA",
     [](BlockInstance* i) { return biWriteGXWParamSettings(i, 1, valueItemA, "E0", kTextRef); },
     valueItemA, kTextRef, 0, 1, 1, std::nullopt, std::nullopt},
    {"ItemB",
     [](BlockInstance* i) { return biWriteGXWParamSettings(i, 1, valueItemB, "E1", kTextRef); },
     valueItemB, kTextRef, 0, 1, 1, std::nullopt, std::nullopt},
    {"ItemList",
     [](BlockInstance* i) {
         return biWriteGXWParamSettings(i, 1, valueItemList, "E2", kTextsRef, 3);
     },
     valueItemList, kTextsRef, 0, 3, 1, std::nullopt, std::nullopt},
    {"DoubleScalarByValue",
     [](BlockInstance* i) { return biWriteGXWParamSettings(i, 1, valueDoubleScalar, "E3", 2.5); },
     valueDoubleScalar, nullptr, 0, 1, 1, 2.5, std::nullopt},
    {"DoubleVectorWithoutType",
     [](BlockInstance* i) {
         return biWriteGXWParamSettings(i, 1, valueDoubleVector, "E4", kDoublesRef, 6);
     },
     valueDoubleVector, kDoublesRef, 0, 6, 1, std::nullopt, std::nullopt},
    {"DoubleMatrixWithoutType",
     [](BlockInstance* i) {
         return biWriteGXWParamSettings(i, 1, valueDoubleMatrix, "E5", kDoublesRef, 2, 3);
     },
     valueDoubleMatrix, kDoublesRef, 0, 2, 3, std::nullopt, std::nullopt},
    {"TypedScalar",
     [](BlockInstance* i) {
         return biWriteGXWParamSettings(i, 1, valueTypedScalar, "E6", kDoublesRef, 8);
     },
     valueTypedScalar, kDoublesRef, 8, 1, 1, std::nullopt, std::nullopt},
    {"TypedVectorTypeAfterCount",
     [](BlockInstance* i) {
         return biWriteGXWParamSettings(i, 1, valueTypedVector, "E7", kDoublesRef, 5, 1);
     },
     valueTypedVector, kDoublesRef, 1, 5, 1, std::nullopt, std::nullopt},
    {"TypedMatrixTypeAfterDimensions",
     [](BlockInstance* i) {
         return biWriteGXWParamSettings(i, 1, valueTypedMatrix, "E8", kDoublesRef, 3, 2,
                                        kComplexSingle);
     },
     valueTypedMatrix, kDoublesRef, kComplexSingle, 3, 2, std::nullopt, std::nullopt},
    {"SplitVectorFromTwoParts",
     [](BlockInstance* i) {
         return biWriteGXWParamSettings(i, 1, valueSplitVector, "E9", kRealRef, kImagRef, 3,
                                        kComplexDouble);
     },
     valueSplitVector, nullptr, kComplexDouble, 3, 1, std::nullopt, SplitValue{kRealRef, kImagRef}},
    {"SplitMatrixFromTwoParts",
     [](BlockInstance* i) {
         return biWriteGXWParamSettings(i, 1, valueSplitMatrix, "E10", kImagRef, kRealRef, 1, 2,
                                        kComplexSingle);
     },
     valueSplitMatrix, nullptr, kComplexSingle, 1, 2, std::nullopt, SplitValue{kImagRef, kRealRef}},
};

void expectForwardedEntry(const RecordedCall& call, const SettingsCase& c) {
    SCOPED_TRACE(c.label);
    EXPECT_FALSE(call.isText);
    EXPECT_EQ(call.kind, c.kind);
    EXPECT_EQ(call.name, "E" + std::to_string(c.kind));
    EXPECT_EQ(call.typeWord, c.typeWord);
    EXPECT_EQ(call.rows, c.rows);
    EXPECT_EQ(call.columns, c.columns);
    if (c.value != nullptr) {
        EXPECT_EQ(call.value, c.value);
    } else {
        EXPECT_NE(call.value, nullptr);
    }
    if (c.doubleCopy.has_value()) {
        EXPECT_EQ(call.doubleAtValue, c.doubleCopy);
    }
    if (c.split.has_value()) {
        ASSERT_TRUE(call.splitAtValue.has_value());
        EXPECT_EQ(call.splitAtValue->realPart, c.split->realPart);
        EXPECT_EQ(call.splitAtValue->imagPart, c.split->imagPart);
    }
}

class SettingsEntryTest : public GxwWriterTest, public testing::WithParamInterface<SettingsCase> {};

TEST_P(SettingsEntryTest, ReshufflesTheListEntryIntoOnePairBetweenTheTexts) {
    const SettingsCase& c = GetParam();
    EXPECT_EQ(c.call(&instance_), 1);
    EXPECT_STREQ(instance_.errorStatus, kUntouched);
    ASSERT_EQ(recorder_.calls.size(), 3u);
    EXPECT_TRUE(recorder_.calls[0].isText);
    EXPECT_EQ(recorder_.calls[0].text, "RBlkParamSettings {");
    expectForwardedEntry(recorder_.calls[1], c);
    EXPECT_TRUE(recorder_.calls[2].isText);
    EXPECT_EQ(recorder_.calls[2].text, "}");
}

INSTANTIATE_TEST_SUITE_P(AllKinds, SettingsEntryTest, testing::ValuesIn(kSettingsCases),
                         [](const auto& testCase) { return std::string(testCase.param.label); });

// Every kind in one list: each entry must consume exactly its own arguments, or the ones after it
// come out shifted.
TEST_F(GxwWriterTest, SettingsListOfEveryKindKeepsEachEntryInStep) {
    const int32_t result = biWriteGXWParamSettings(
        &instance_, 11, valueItemA, "E0", kTextRef, valueItemB, "E1", kTextRef, valueItemList, "E2",
        kTextsRef, 3, valueDoubleScalar, "E3", 2.5, valueDoubleVector, "E4", kDoublesRef, 6,
        valueDoubleMatrix, "E5", kDoublesRef, 2, 3, valueTypedScalar, "E6", kDoublesRef, 8,
        valueTypedVector, "E7", kDoublesRef, 5, 1, valueTypedMatrix, "E8", kDoublesRef, 3, 2,
        kComplexSingle, valueSplitVector, "E9", kRealRef, kImagRef, 3, kComplexDouble,
        valueSplitMatrix, "E10", kImagRef, kRealRef, 1, 2, kComplexSingle);
    EXPECT_EQ(result, 1);
    ASSERT_EQ(recorder_.calls.size(), 13u);
    EXPECT_EQ(recorder_.calls.front().text, "RBlkParamSettings {");
    for (size_t entry = 0; entry < std::size(kSettingsCases); ++entry) {
        expectForwardedEntry(recorder_.calls[entry + 1], kSettingsCases[entry]);
    }
    EXPECT_EQ(recorder_.calls.back().text, "}");
}

TEST_F(GxwWriterTest, SettingsWithoutEntriesWriteNothing) {
    for (const int32_t count : {0, -1, INT32_MIN}) {
        EXPECT_EQ(biWriteGXWParamSettings(&instance_, count, valueTypedScalar, "N", kDoublesRef, 0),
                  0);
    }
    EXPECT_TRUE(recorder_.calls.empty());
    EXPECT_STREQ(instance_.errorStatus, kUntouched);
}

// A list that goes wrong part way: the number of service calls made and the message stored.
struct BrokenListCase {
    const char* label;
    WriterCall call;
    size_t callsMade;
    const char* message;
};
void PrintTo(const BrokenListCase& c, std::ostream* os) {
    *os << c.label;
}

const BrokenListCase kBrokenListCases[] = {
    {"SecondKindEleven",
     [](BlockInstance* i) {
         return biWriteGXWParamSettings(i, 3, valueTypedScalar, "A", kDoublesRef, 0, 11, "B",
                                        kDoublesRef, 0, valueTypedScalar, "C", kDoublesRef, 0);
     },
     2, kListKindMessage},
    {"FirstKindNegative",
     [](BlockInstance* i) { return biWriteGXWParamSettings(i, 1, -1, "A", kDoublesRef, 0); }, 1,
     kListKindMessage},
    {"SecondEntryEmptyMatrixColumnsOnly",
     [](BlockInstance* i) {
         return biWriteGXWParamSettings(i, 3, valueItemA, "A", kTextRef, valueDoubleMatrix, "B",
                                        nullptr, 0, 3, valueItemA, "C", kTextRef);
     },
     2, kDimsMessage},
    {"FirstEntryWithoutName",
     [](BlockInstance* i) {
         return biWriteGXWParamSettings(i, 2, valueDoubleScalar, "", 1.0, valueItemA, "B",
                                        kTextRef);
     },
     1, kNameMessage},
    {"ThirdEntryComplexSplitWithoutImaginaryPart",
     [](BlockInstance* i) {
         return biWriteGXWParamSettings(i, 3, valueItemA, "A", kTextRef, valueDoubleScalar, "B",
                                        -1.0, valueSplitVector, "C", kRealRef, nullptr, 2,
                                        kComplexDouble);
     },
     3, kNullValueMessage},
};

class BrokenListTest : public GxwWriterTest, public testing::WithParamInterface<BrokenListCase> {};

TEST_P(BrokenListTest, StopsAtTheFailedEntryWithoutClosingTheGroup) {
    const BrokenListCase& c = GetParam();
    EXPECT_EQ(c.call(&instance_), 0);
    EXPECT_STREQ(instance_.errorStatus, c.message);
    ASSERT_EQ(recorder_.calls.size(), c.callsMade);
    EXPECT_EQ(recorder_.calls[0].text, "RBlkParamSettings {");
    for (size_t index = 1; index < c.callsMade; ++index) {
        EXPECT_FALSE(recorder_.calls[index].isText) << "call " << index;
    }
}

INSTANTIATE_TEST_SUITE_P(Entries, BrokenListTest, testing::ValuesIn(kBrokenListCases),
                         [](const auto& testCase) { return std::string(testCase.param.label); });

// Host results for the calls of a three-entry group (opening, three pairs, closing).
struct RefusalCase {
    const char* label;
    std::vector<int32_t> hostResults;
    int32_t expectedResult;
    size_t callsMade;
};
void PrintTo(const RefusalCase& c, std::ostream* os) {
    *os << c.label;
}

const RefusalCase kRefusalCases[] = {
    {"AllAccepted", {}, 1, 5},
    {"OpeningReturnsTwo", {2}, 2, 1},
    {"OpeningRefused", {0}, 0, 1},
    {"FirstPairRefused", {1, 0}, 0, 2},
    {"SecondPairReturnsMinusOne", {1, 1, -1}, -1, 3},
    {"ThirdPairReturnsThree", {1, 1, 1, 3}, 3, 4},
    {"ClosingRefused", {1, 1, 1, 1, 0}, 0, 5},
    {"ClosingReturnsSeven", {1, 1, 1, 1, 7}, 7, 5},
};

class HostRefusalTest : public GxwWriterTest, public testing::WithParamInterface<RefusalCase> {};

TEST_P(HostRefusalTest, ReturnsTheFirstResultOtherThanOneAndWritesNoFurther) {
    const RefusalCase& c = GetParam();
    recorder_.results = c.hostResults;
    const int32_t result =
        biWriteGXWParamSettings(&instance_, 3, valueTypedScalar, "A", kDoublesRef, 0, valueItemA,
                                "B", kTextRef, valueDoubleScalar, "C", 0.5);
    EXPECT_EQ(result, c.expectedResult);
    EXPECT_EQ(recorder_.calls.size(), c.callsMade);
    EXPECT_STREQ(instance_.errorStatus, kUntouched);
}

INSTANTIATE_TEST_SUITE_P(Calls, HostRefusalTest, testing::ValuesIn(kRefusalCases),
                         [](const auto& testCase) { return std::string(testCase.param.label); });

// A host that lacks a writer service: both routines return 0 without calling anything.
struct MissingServiceCase {
    const char* label;
    void (*remove)(BlockInstance& instance, HostInfo& hostInfo);
};
void PrintTo(const MissingServiceCase& c, std::ostream* os) {
    *os << c.label;
}

const MissingServiceCase kMissingServiceCases[] = {
    {"NoHostInfo", [](BlockInstance& i, HostInfo&) { i.hostInfo = nullptr; }},
    {"NoTextWriter", [](BlockInstance&, HostInfo& h) { h.writeRecordText = nullptr; }},
    {"NoPairWriter", [](BlockInstance&, HostInfo& h) { h.writeRecordPair = nullptr; }},
};

class MissingServiceTest : public GxwWriterTest,
                           public testing::WithParamInterface<MissingServiceCase> {};

TEST_P(MissingServiceTest, SettingsWriteNothing) {
    GetParam().remove(instance_, hostInfo_);
    EXPECT_EQ(biWriteGXWParamSettings(&instance_, 1, valueItemA, "A", kTextRef), 0);
    EXPECT_TRUE(recorder_.calls.empty());
    EXPECT_STREQ(instance_.errorStatus, kUntouched);
}

TEST_P(MissingServiceTest, PairForwardsOnlyWhenItsServiceIsThere) {
    GetParam().remove(instance_, hostInfo_);
    const bool canForward = instance_.hostInfo != nullptr && hostInfo_.writeRecordPair != nullptr;
    EXPECT_EQ(biWriteGXWNameValuePair(&instance_, valueItemA, "A", "t"), canForward ? 1 : 0);
    EXPECT_EQ(recorder_.calls.size(), canForward ? 1u : 0u);
    // The checks still run and report without the host's services.
    EXPECT_EQ(biWriteGXWNameValuePair(&instance_, valueItemA, "", "t"), 0);
    EXPECT_STREQ(instance_.errorStatus, kNameMessage);
}

INSTANTIATE_TEST_SUITE_P(Services, MissingServiceTest, testing::ValuesIn(kMissingServiceCases),
                         [](const auto& testCase) { return std::string(testCase.param.label); });

// The same group through the stand-in host's text record, refused at one call.
struct TextRecordCase {
    const char* label;
    int32_t failingCall;  // 0: none
    int32_t hostResult;
    int32_t expectedResult;
    const char* expectedRecord;
};
void PrintTo(const TextRecordCase& c, std::ostream* os) {
    *os << c.label;
}

const TextRecordCase kTextRecordCases[] = {
    {"Complete", 0, 0, 1,
     "RBlkParamSettings {\n  Cutoff = 0.25 (double)\n  Running = 1 (boolean)\n}\n"},
    {"OpeningReturnsTwo", 1, 2, 2, ""},
    {"CutoffRefused", 2, 0, 0, "RBlkParamSettings {\n"},
    {"RunningRefused", 3, 0, 0, "RBlkParamSettings {\n  Cutoff = 0.25 (double)\n"},
    {"ClosingRefused", 4, 0, 0,
     "RBlkParamSettings {\n  Cutoff = 0.25 (double)\n  Running = 1 (boolean)\n"},
};

class TextRecordTest : public testing::TestWithParam<TextRecordCase> {};

TEST_P(TextRecordTest, WritesTheGroupUpToTheRefusedCall) {
    const TextRecordCase& c = GetParam();
    BlockInstance instance{};
    HostInfo hostInfo{};
    kq::sim::RecordTextWriter record;
    instance.root = &instance;
    instance.hostInfo = &hostInfo;
    record.attachTo(hostInfo);
    record.failCall(c.failingCall, c.hostResult);
    const double cutoff = 0.25;
    const unsigned char running = 1;
    const int32_t result = biWriteGXWParamSettings(
        &instance, 2, valueTypedScalar, "Cutoff", static_cast<const void*>(&cutoff), 0,
        valueTypedScalar, "Running", static_cast<const void*>(&running), 8);
    EXPECT_EQ(result, c.expectedResult);
    EXPECT_EQ(record.record(), c.expectedRecord);
    EXPECT_EQ(instance.errorStatus, nullptr);
}

INSTANTIATE_TEST_SUITE_P(Calls, TextRecordTest, testing::ValuesIn(kTextRecordCases),
                         [](const auto& testCase) { return std::string(testCase.param.label); });

}  // namespace
