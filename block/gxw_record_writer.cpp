#include "block/gxw_record_writer.h"

#include <array>

namespace kq {

namespace {

// Messages are stored by reference in the root's errorStatus, so they must be constants.
constexpr const char* kPairKindMessage =
    "Invalid BIWRITE_VALUE_type passed to biWriteGXWNameValuePair";
constexpr const char* kNameMessage = "Invalid name passed to biWriteGXWNameValuePair";
constexpr const char* kDimsMessage =
    "Invalid number of rows or columns passed to biWriteGXWNameValuePair";
constexpr const char* kNullValueMessage = "Invalid value (NULL) passed to biWriteGXWNameValuePair";
constexpr const char* kListKindMessage =
    "Invalid BIWRITE_VALUE_type passed to biWriteGXWParamSettings";

constexpr const char* kSettingsOpening = "RBlkParamSettings {";
constexpr const char* kSettingsClosing = "}";

// Where a kind's rows and columns come from: fixed 1 x 1, a count (count x 1), or rows and columns.
enum class DimsSource : uint8_t { kOne, kCount, kRowsColumns };

// How a settings list entry gives the value: a reference, a double by value (the writer passes a
// reference to its own copy), or the two references of a SplitValue.
enum class ListValueForm : uint8_t { kReference, kDoubleByValue, kSplitParts };

struct KindShape {
    bool pairHasTypeWord;  // the pair call passes a typeWord; otherwise typeWord is 0
    DimsSource dims;
    bool isMatrix;  // rows and columns must be both zero or both non-zero
    bool isSplit;   // the value is a SplitValue
    ListValueForm listValue;
    bool listHasTypeWord;  // a list entry ends with a typeWord; otherwise the writer passes 0
};

using enum DimsSource;
using enum ListValueForm;

// Indexed by PairValueKind.
constexpr std::array<KindShape, kNumPairValueKinds> kKindShapes = {{
    // pair typeWord, dims, matrix, split, list value, list typeWord
    {false, kOne, false, false, kReference, false},        // valueItemA
    {false, kOne, false, false, kReference, false},        // valueItemB
    {false, kCount, false, false, kReference, false},      // valueItemList
    {true, kOne, false, false, kDoubleByValue, false},     // valueDoubleScalar
    {true, kCount, false, false, kReference, false},       // valueDoubleVector
    {true, kRowsColumns, true, false, kReference, false},  // valueDoubleMatrix
    {true, kOne, false, false, kReference, true},          // valueTypedScalar
    {true, kCount, false, false, kReference, true},        // valueTypedVector
    {true, kRowsColumns, true, false, kReference, true},   // valueTypedMatrix
    {true, kCount, false, true, kSplitParts, true},        // valueSplitVector
    {true, kRowsColumns, true, true, kSplitParts, true},   // valueSplitMatrix
}};

bool isValidKind(int32_t kind) {
    return kind >= 0 && kind < kNumPairValueKinds;
}

// What the host's writeRecordPair receives besides kind, name and value.
struct PairShape {
    int32_t typeWord = 0;
    int32_t rows = 1;
    int32_t columns = 1;
};

// Taken by pointer so that the caller may go on reading the list afterwards.
void readDims(DimsSource source, va_list* args, PairShape& shape) {
    switch (source) {
        case kOne:
            break;
        case kCount:
            shape.rows = va_arg(*args, int32_t);
            break;
        case kRowsColumns:
            shape.rows = va_arg(*args, int32_t);
            shape.columns = va_arg(*args, int32_t);
            break;
    }
}

// An empty value is forwarded without looking at it; a non-empty one must be there.
bool isValuePresent(const KindShape& kindShape, const void* value, int32_t typeWord) {
    if (!kindShape.isSplit) {
        return value != nullptr;
    }
    const auto* split = static_cast<const SplitValue*>(value);
    if (split == nullptr || split->realPart == nullptr) {
        return false;
    }
    return (typeWord & kTypeWordComplexBit) == 0 || split->imagPart != nullptr;
}

// The checks after the kind test, in order, then the forwarding. kind is valid here.
int32_t writeCheckedPair(BlockInstance* instance, int32_t kind, const char* name, const void* value,
                         const PairShape& pair) {
    const KindShape& kindShape = kKindShapes[kind];
    if (name == nullptr || name[0] == '\0') {
        setErrorStatus(instance, kNameMessage);
        return 0;
    }
    if (pair.rows < 0 || pair.columns < 0) {
        setErrorStatus(instance, kDimsMessage);
        return 0;
    }
    if (kindShape.isMatrix && (pair.rows == 0) != (pair.columns == 0)) {
        setErrorStatus(instance, kDimsMessage);
        return 0;
    }
    // Zero rows is an empty list, vector or (with zero columns) matrix: the value is not looked at.
    const bool isEmpty = pair.rows == 0;
    if (!isEmpty && !isValuePresent(kindShape, value, pair.typeWord)) {
        setErrorStatus(instance, kNullValueMessage);
        return 0;
    }
    const HostInfo* hostInfo = instance->hostInfo;
    if (hostInfo == nullptr || hostInfo->writeRecordPair == nullptr) {
        return 0;
    }
    return hostInfo->writeRecordPair(hostInfo->recordWriterContext, kind, name, value,
                                     pair.typeWord, pair.rows, pair.columns);
}

// Reads one list entry (kind, name, list arguments) and writes it as a pair. The double copy and
// the SplitValue live here, for the duration of the pair call.
int32_t writeListEntry(BlockInstance* instance, va_list* args) {
    const int32_t kind = va_arg(*args, int32_t);
    const char* name = va_arg(*args, const char*);
    if (!isValidKind(kind)) {
        setErrorStatus(instance, kListKindMessage);
        return 0;
    }
    const KindShape& kindShape = kKindShapes[kind];
    double doubleCopy = 0.0;
    SplitValue split{};
    const void* value = nullptr;
    switch (kindShape.listValue) {
        case kReference:
            value = va_arg(*args, const void*);
            break;
        case kDoubleByValue:
            doubleCopy = va_arg(*args, double);
            value = &doubleCopy;
            break;
        case kSplitParts:
            split.realPart = va_arg(*args, const void*);
            split.imagPart = va_arg(*args, const void*);
            value = &split;
            break;
    }
    PairShape pair;
    readDims(kindShape.dims, args, pair);
    if (kindShape.listHasTypeWord) {
        pair.typeWord = va_arg(*args, int32_t);
    }
    return writeCheckedPair(instance, kind, name, value, pair);
}

bool hasRecordWriters(const BlockInstance* instance) {
    const HostInfo* hostInfo = instance->hostInfo;
    return hostInfo != nullptr && hostInfo->writeRecordText != nullptr &&
           hostInfo->writeRecordPair != nullptr;
}

int32_t writeText(const BlockInstance* instance, const char* text) {
    const HostInfo* hostInfo = instance->hostInfo;
    return hostInfo->writeRecordText(hostInfo->recordWriterContext, text);
}

}  // namespace

int32_t biWriteGXWNameValuePairV(BlockInstance* instance, int32_t kind, const char* name,
                                 const void* value, va_list args) {
    if (!isValidKind(kind)) {
        setErrorStatus(instance, kPairKindMessage);
        return 0;
    }
    const KindShape& kindShape = kKindShapes[kind];
    va_list local;
    va_copy(local, args);
    PairShape pair;
    if (kindShape.pairHasTypeWord) {
        pair.typeWord = va_arg(local, int32_t);
    }
    readDims(kindShape.dims, &local, pair);
    va_end(local);
    return writeCheckedPair(instance, kind, name, value, pair);
}

int32_t biWriteGXWNameValuePair(BlockInstance* instance, int32_t kind, const char* name,
                                const void* value, ...) {
    va_list args;
    va_start(args, value);
    const int32_t result = biWriteGXWNameValuePairV(instance, kind, name, value, args);
    va_end(args);
    return result;
}

int32_t biWriteGXWParamSettings(BlockInstance* instance, int32_t count, ...) {
    if (count <= 0 || !hasRecordWriters(instance)) {
        return 0;
    }
    int32_t result = writeText(instance, kSettingsOpening);
    if (result != 1) {
        return result;
    }
    va_list args;
    va_start(args, count);
    for (int32_t entry = 0; entry < count && result == 1; ++entry) {
        result = writeListEntry(instance, &args);
    }
    va_end(args);
    if (result != 1) {
        return result;
    }
    return writeText(instance, kSettingsClosing);
}

}  // namespace kq
