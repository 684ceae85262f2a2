// Fuzz target: the code-generation record writers biWriteGXWNameValuePair and
// biWriteGXWParamSettings.
//
// Each input is either one pair call or one settings call with three list entries and a count
// from -2 to 3 (so zero to three of the entries are read). Kinds run from -3 to 13; names are NULL,
// empty or any bytes; rows, columns and counts from -2 to 4; typeWords double, single, boolean,
// complex or anything; every value, real part and imaginary part is present or NULL as the input
// says, and a present one points to an exact-size heap buffer holding what the declared kind,
// type and dimensions describe, so that a wrong read by either writer is caught by
// AddressSanitizer. The host's services are a recording writer that passes every call on to the
// stand-in host's RecordTextWriter (which formats, and so reads, every element) unless the input
// makes one call return another result; or they are missing.
//
// The block's writers are checked against the writers' own rules: the message and result of each
// failed check, that nothing is forwarded after a failure, the exact arguments of each forwarded
// pair (a list's double by value as a reference to the same bits, a list's split parts as a
// SplitValue), the opening and closing texts, and that a service result other than 1 is returned
// at once.
//
// A variable argument list cannot be built at run time, so a settings call is made by one of the
// instantiated calls for the three entries' argument lists (see callSettings).
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "block/gxw_record_writer.h"
#include "fuzz/byte_reader.h"
#include "fuzz/fuzz_check.h"
#include "host/data_types.h"
#include "host/record_pair.h"
#include "sim/engine/record_text_writer.h"

using namespace kq;

const char* const kq::fuzz::kTargetName = "fuzz_record_writer";

namespace {

using kq::fuzz::ByteReader;
using kq::fuzz::check;
using kq::fuzz::fail;

constexpr const char* kPairKindMessage =
    "Invalid BIWRITE_VALUE_type passed to biWriteGXWNameValuePair";
constexpr const char* kNameMessage = "Invalid name passed to biWriteGXWNameValuePair";
constexpr const char* kDimsMessage =
    "Invalid number of rows or columns passed to biWriteGXWNameValuePair";
constexpr const char* kNullValueMessage = "Invalid value (NULL) passed to biWriteGXWNameValuePair";
constexpr const char* kListKindMessage =
    "Invalid BIWRITE_VALUE_type passed to biWriteGXWParamSettings";
constexpr char kOpening[] = "RBlkParamSettings {";
constexpr char kClosing[] = "}";

// Entry shape 11 stands for any invalid kind.
constexpr int kInvalidShape = kNumPairValueKinds;

bool isMatrixKind(int32_t kind) {
    return kind == valueDoubleMatrix || kind == valueTypedMatrix || kind == valueSplitMatrix;
}

bool isSplitKind(int32_t kind) {
    return kind == valueSplitVector || kind == valueSplitMatrix;
}

bool isVectorKind(int32_t kind) {
    return kind == valueItemList || kind == valueDoubleVector || kind == valueTypedVector ||
           kind == valueSplitVector;
}

bool isValidKind(int32_t kind) {
    return kind >= 0 && kind < kNumPairValueKinds;
}

// One call of a host service, as the recording writer saw it.
struct ServiceCall {
    bool isText = false;
    std::string text;
    int32_t kind = 0;
    const char* name = nullptr;
    const void* value = nullptr;
    int32_t typeWord = 0;
    int32_t rows = 0;
    int32_t columns = 0;
    std::optional<SplitValue> split;     // copied: the block's SplitValue lives only in the call
    std::optional<uint64_t> doubleBits;  // a double scalar's bits, copied for the same reason
    int32_t result = 0;
};

// The host's writer services: records each call, then lets the stand-in host's text writer do the
// work, except for the one call the input chose to answer with another result.
class RecordingWriter {
  public:
    std::vector<ServiceCall> calls;
    int32_t injectAt = 0;  // 1-based call number, 0 for none
    int32_t injectedResult = 0;
    kq::sim::RecordTextWriter textWriter;

    static int32_t writeText(void* context, const char* text) {
        auto* self = static_cast<RecordingWriter*>(context);
        ServiceCall call;
        call.isText = true;
        call.text = text != nullptr ? text : "(null)";
        if (const std::optional<int32_t> injected = self->injected()) {
            call.result = *injected;
        } else {
            call.result = kq::sim::RecordTextWriter::writeText(&self->textWriter, text);
        }
        self->calls.push_back(call);
        return call.result;
    }

    static int32_t writePair(void* context, int32_t kind, const char* name, const void* value,
                             int32_t typeWord, int32_t rows, int32_t columns) {
        auto* self = static_cast<RecordingWriter*>(context);
        ServiceCall call;
        call.kind = kind;
        call.name = name;
        call.value = value;
        call.typeWord = typeWord;
        call.rows = rows;
        call.columns = columns;
        if (isSplitKind(kind) && value != nullptr) {
            call.split = *static_cast<const SplitValue*>(value);
        }
        if (kind == valueDoubleScalar && value != nullptr && typeWord == kTypeIdDouble) {
            call.doubleBits = std::bit_cast<uint64_t>(*static_cast<const double*>(value));
        }
        if (const std::optional<int32_t> injected = self->injected()) {
            call.result = *injected;
        } else {
            call.result = kq::sim::RecordTextWriter::writePair(&self->textWriter, kind, name, value,
                                                               typeWord, rows, columns);
        }
        self->calls.push_back(call);
        return call.result;
    }

  private:
    // The injected result when the call being made is the chosen one.
    std::optional<int32_t> injected() const {
        if (injectAt != 0 && static_cast<int32_t>(calls.size()) + 1 == injectAt) {
            return injectedResult;
        }
        return std::nullopt;
    }
};

// Exact-size heap buffers for the values of one input.
class Storage {
  public:
    // n bytes from the input, in a buffer of exactly n bytes.
    const void* bytes(ByteReader& in, size_t n) {
        auto buffer = std::make_unique<uint8_t[]>(n);
        for (size_t i = 0; i < n; ++i) {
            buffer[i] = in.u8();
        }
        blocks_.push_back(std::move(buffer));
        return blocks_.back().get();
    }

    // A text of any bytes with its terminator, in a buffer of exactly its size.
    const char* text(ByteReader& in, size_t maxLength) {
        const std::string content = in.text(maxLength);
        auto buffer = std::make_unique<uint8_t[]>(content.size() + 1);
        std::memcpy(buffer.get(), content.c_str(), content.size() + 1);
        blocks_.push_back(std::move(buffer));
        return reinterpret_cast<const char*>(blocks_.back().get());
    }

    // A list of `count` texts, each present or NULL.
    const void* textList(ByteReader& in, size_t count) {
        auto list = std::make_unique<const char*[]>(count);
        for (size_t i = 0; i < count; ++i) {
            list[i] = in.range(0, 5) == 0 ? nullptr : text(in, 6);
        }
        lists_.push_back(std::move(list));
        return lists_.back().get();
    }

    SplitValue* split(const void* realPart, const void* imagPart) {
        splits_.push_back(std::make_unique<SplitValue>(SplitValue{realPart, imagPart}));
        return splits_.back().get();
    }

  private:
    std::vector<std::unique_ptr<uint8_t[]>> blocks_;
    std::vector<std::unique_ptr<const char*[]>> lists_;
    std::vector<std::unique_ptr<SplitValue>> splits_;
};

// 0 for an unknown type, which the text writer refuses without reading.
size_t elementSize(int32_t typeWord) {
    return static_cast<size_t>(typeIdElementSize(typeWord & ~kTypeWordComplexBit));
}

// Number of elements the text writer reads for a kind and its dimensions.
size_t elementCount(int32_t kind, int32_t rows, int32_t columns) {
    if (rows < 0 || columns < 0) {
        return 0;
    }
    if (kind == valueDoubleScalar || kind == valueTypedScalar) {
        return 1;
    }
    if (isMatrixKind(kind)) {
        return static_cast<size_t>(rows) * static_cast<size_t>(columns);
    }
    return static_cast<size_t>(rows);
}

// The value of a numeric, non-split kind: elements of the typeWord's type, interleaved real and
// imaginary when it is complex.
const void* numericValue(ByteReader& in, Storage& storage, int32_t kind, int32_t typeWord,
                         int32_t rows, int32_t columns) {
    const size_t parts = (typeWord & kTypeWordComplexBit) != 0 ? 2 : 1;
    return storage.bytes(in, elementCount(kind, rows, columns) * parts * elementSize(typeWord));
}

const void* splitPart(ByteReader& in, Storage& storage, int32_t kind, int32_t typeWord,
                      int32_t rows, int32_t columns) {
    return storage.bytes(in, elementCount(kind, rows, columns) * elementSize(typeWord));
}

// The value of a text kind, or of a numeric kind; present only when `present`.
const void* plainValue(ByteReader& in, Storage& storage, bool present, int32_t kind,
                       int32_t typeWord, int32_t rows, int32_t columns) {
    if (!present) {
        return nullptr;
    }
    if (kind == valueItemA || kind == valueItemB) {
        return storage.text(in, 12);
    }
    if (kind == valueItemList) {
        return storage.textList(in, rows > 0 ? static_cast<size_t>(rows) : 0);
    }
    return numericValue(in, storage, kind, typeWord, rows, columns);
}

int32_t readKind(ByteReader& in) {
    return static_cast<int32_t>(in.range(-3, 13));
}

const char* readName(ByteReader& in, Storage& storage) {
    switch (in.range(0, 7)) {
        case 0:
            return nullptr;
        case 1:
            return "";
        case 2:
            return storage.text(in, 20);
        case 3:
            return "Cutoff";
        default:
            return "Running";
    }
}

int32_t readTypeWord(ByteReader& in) {
    static constexpr int32_t kTypeWords[] = {
        kTypeIdDouble,
        kTypeIdDouble,
        kTypeIdSingle,
        kTypeIdBoolean,
        int32_t{kTypeIdDouble} | int32_t{kTypeWordComplexBit},
        int32_t{kTypeIdSingle} | int32_t{kTypeWordComplexBit},
        int32_t{kTypeIdBoolean} | int32_t{kTypeWordComplexBit},
        kTypeIdUnset,
        2,
    };
    if (in.range(0, 15) == 0) {
        return static_cast<int32_t>(in.u32());
    }
    return in.pick(kTypeWords);
}

int32_t readDimension(ByteReader& in) {
    return static_cast<int32_t>(in.range(-2, 4));
}

// The instance the writers run on: its host services, its root.
struct WriterHost {
    RecordingWriter writer;
    HostInfo hostInfo{};
    BlockInstance instance{};
    BlockInstance separateRoot{};

    void setUp(ByteReader& in, bool pairCall) {
        const auto services = in.range(0, 7);
        hostInfo.recordWriterContext = &writer;
        hostInfo.writeRecordText = services == 1 ? nullptr : RecordingWriter::writeText;
        hostInfo.writeRecordPair = services == 2 ? nullptr : RecordingWriter::writePair;
        // An instance without a HostInfo only for a pair call, which makes its checks and then
        // returns 0 without a writer to forward to.
        instance.hostInfo = services == 3 && pairCall ? nullptr : &hostInfo;
        instance.root = in.boolean() ? &separateRoot : &instance;
        writer.injectAt = static_cast<int32_t>(in.range(0, 5));
        static constexpr int32_t kResults[] = {0, 0, 2, -1, 1};
        writer.injectedResult = in.pick(kResults);
    }

    bool hasPairWriter() const {
        return instance.hostInfo != nullptr && instance.hostInfo->writeRecordPair != nullptr;
    }
    bool hasBothWriters() const {
        return hasPairWriter() && instance.hostInfo->writeRecordText != nullptr;
    }
};

// A pair as biWriteGXWNameValuePair must forward it, or the message of the check that fails.
struct PairOutcome {
    const char* message = nullptr;  // a failed check
    int32_t kind = 0;
    const char* name = nullptr;
    int32_t typeWord = 0;
    int32_t rows = 1;
    int32_t columns = 1;
};

// The pair writer's checks, in the order it makes them. `valuePresent` is whether the value (for a
// split kind: the SplitValue, its real part and, with the complex bit, its imaginary part) is
// there.
PairOutcome expectPair(int32_t kind, const char* name, int32_t typeWord, int32_t rows,
                       int32_t columns, bool valuePresent) {
    PairOutcome out;
    out.kind = kind;
    out.name = name;
    out.typeWord = typeWord;
    out.rows = rows;
    out.columns = columns;
    if (name == nullptr || name[0] == '\0') {
        out.message = kNameMessage;
    } else if (rows < 0 || columns < 0) {
        out.message = kDimsMessage;
    } else if (isMatrixKind(kind) && (rows == 0) != (columns == 0)) {
        out.message = kDimsMessage;
    } else if (rows != 0 && !valuePresent) {
        out.message = kNullValueMessage;
    }
    return out;
}

// rows, columns and typeWord of a pair call, from the kind's trailing arguments.
void pairShape(int32_t kind, int32_t typeWordArg, int32_t countOrRows, int32_t columnsArg,
               int32_t& typeWord, int32_t& rows, int32_t& columns) {
    typeWord =
        (kind == valueItemA || kind == valueItemB || kind == valueItemList) ? 0 : typeWordArg;
    rows = 1;
    columns = 1;
    if (isVectorKind(kind)) {
        rows = countOrRows;
    } else if (isMatrixKind(kind)) {
        rows = countOrRows;
        columns = columnsArg;
    }
}

void checkMessage(const WriterHost& host, const char* expected) {
    const char* stored = host.instance.root->errorStatus;
    if (expected == nullptr) {
        check(stored == nullptr, "a message was stored", stored != nullptr ? stored : "");
    } else {
        check(stored != nullptr && std::strcmp(stored, expected) == 0, "wrong or missing message",
              std::string(stored != nullptr ? stored : "(none)") + " | expected: " + expected);
    }
    if (host.instance.root != &host.instance) {
        check(host.instance.errorStatus == nullptr, "a message went past the root");
    }
}

// Checks one recorded pair call against the pair the block had to forward.
void checkForwarded(const ServiceCall& call, const PairOutcome& expected, const void* value,
                    std::optional<SplitValue> split, std::optional<uint64_t> doubleBits) {
    check(!call.isText, "a text was written where a pair was due");
    check(call.kind == expected.kind && call.name == expected.name &&
              call.typeWord == expected.typeWord && call.rows == expected.rows &&
              call.columns == expected.columns,
          "pair forwarded with other arguments",
          "kind " + std::to_string(call.kind) + " typeWord " + std::to_string(call.typeWord) +
              " rows " + std::to_string(call.rows) + " columns " + std::to_string(call.columns) +
              " | expected kind " + std::to_string(expected.kind) + " typeWord " +
              std::to_string(expected.typeWord) + " rows " + std::to_string(expected.rows) +
              " columns " + std::to_string(expected.columns));
    if (split) {
        check(call.split.has_value() && call.split->realPart == split->realPart &&
                  call.split->imagPart == split->imagPart,
              "split parts forwarded wrongly");
    } else if (doubleBits) {
        check(call.doubleBits == doubleBits, "list double forwarded with other bits");
    } else {
        check(call.value == value, "value forwarded as another reference");
    }
}

int32_t callPair(BlockInstance* b, int32_t kind, const char* name, const void* value,
                 int32_t typeWord, int32_t countOrRows, int32_t columns) {
    switch (kind) {
        case valueItemA:
        case valueItemB:
            return biWriteGXWNameValuePair(b, kind, name, value);
        case valueItemList:
            return biWriteGXWNameValuePair(b, kind, name, value, countOrRows);
        case valueDoubleScalar:
        case valueTypedScalar:
            return biWriteGXWNameValuePair(b, kind, name, value, typeWord);
        case valueDoubleVector:
        case valueTypedVector:
        case valueSplitVector:
            return biWriteGXWNameValuePair(b, kind, name, value, typeWord, countOrRows);
        case valueDoubleMatrix:
        case valueTypedMatrix:
        case valueSplitMatrix:
            return biWriteGXWNameValuePair(b, kind, name, value, typeWord, countOrRows, columns);
        default:
            // An invalid kind: nothing after the value may be read.
            return biWriteGXWNameValuePair(b, kind, name, value);
    }
}

void runPairCall(ByteReader& in, Storage& storage, WriterHost& host) {
    const int32_t kind = readKind(in);
    const char* name = readName(in, storage);
    const int32_t typeWordArg = readTypeWord(in);
    const int32_t countOrRows = readDimension(in);
    const int32_t columnsArg = readDimension(in);
    int32_t typeWord = 0;
    int32_t rows = 1;
    int32_t columns = 1;
    pairShape(kind, typeWordArg, countOrRows, columnsArg, typeWord, rows, columns);

    const uint8_t presence = in.u8();
    const void* value = nullptr;
    bool valuePresent = false;
    if (isSplitKind(kind)) {
        const void* realPart =
            (presence & 2u) != 0 ? nullptr : splitPart(in, storage, kind, typeWord, rows, columns);
        const void* imagPart =
            (presence & 4u) != 0 ? nullptr : splitPart(in, storage, kind, typeWord, rows, columns);
        if ((presence & 1u) == 0) {
            value = storage.split(realPart, imagPart);
        }
        valuePresent = value != nullptr && realPart != nullptr &&
                       ((typeWord & kTypeWordComplexBit) == 0 || imagPart != nullptr);
    } else {
        value = plainValue(in, storage, (presence & 1u) == 0, kind, typeWord, rows, columns);
        valuePresent = value != nullptr;
    }

    const int32_t result =
        callPair(&host.instance, kind, name, value, typeWordArg, countOrRows, columnsArg);

    if (!isValidKind(kind)) {
        check(result == 0 && host.writer.calls.empty(), "an invalid kind was forwarded");
        checkMessage(host, kPairKindMessage);
        return;
    }
    const PairOutcome expected = expectPair(kind, name, typeWord, rows, columns, valuePresent);
    if (expected.message != nullptr) {
        check(result == 0 && host.writer.calls.empty(), "a refused pair was forwarded",
              expected.message);
        checkMessage(host, expected.message);
        return;
    }
    checkMessage(host, nullptr);
    if (!host.hasPairWriter()) {
        check(result == 0, "a pair without a host writer returned non-zero");
        return;
    }
    check(host.writer.calls.size() == 1, "a pair call made other than one service call");
    const ServiceCall& call = host.writer.calls[0];
    // The pair call's value, a SplitValue for the split kinds, is forwarded as the same reference.
    checkForwarded(call, expected, value, std::nullopt, std::nullopt);
    check(result == call.result, "the writer's result was not returned unchanged");
}

// One list entry of a settings call, with everything its shape passes.
struct EntryArgs {
    int shape = 0;  // the kind, or kInvalidShape for an invalid one
    int32_t kind = 0;
    const char* name = nullptr;
    const void* value = nullptr;
    const void* realPart = nullptr;
    const void* imagPart = nullptr;
    int32_t count = 0;
    int32_t rows = 0;
    int32_t columns = 0;
    int32_t typeWord = 0;
    double scalar = 0.0;
};

// Passes the list entries from `Index` on after the arguments gathered so far, each with the
// arguments of its kind in the order the settings writer reads them, then makes the call. Entries
// of different kinds but the same argument types share an instantiation, so there are 8 * 8 * 8
// complete calls.
template <int Index, typename... Args>
int32_t callSettings(BlockInstance* b, int32_t count, const EntryArgs* entries, Args... args) {
    if constexpr (Index == 3) {
        return biWriteGXWParamSettings(b, count, args...);
    } else {
        const EntryArgs& e = entries[Index];
        const auto next = [&](auto... more) {
            return callSettings<Index + 1>(b, count, entries, args..., more...);
        };
        switch (e.shape) {
            case valueItemA:
            case valueItemB:
                return next(e.kind, e.name, e.value);
            case valueItemList:
            case valueDoubleVector:
                return next(e.kind, e.name, e.value, e.count);
            case valueDoubleScalar:
                return next(e.kind, e.name, e.scalar);
            case valueDoubleMatrix:
                return next(e.kind, e.name, e.value, e.rows, e.columns);
            case valueTypedScalar:
                return next(e.kind, e.name, e.value, e.typeWord);
            case valueTypedVector:
                return next(e.kind, e.name, e.value, e.count, e.typeWord);
            case valueTypedMatrix:
                return next(e.kind, e.name, e.value, e.rows, e.columns, e.typeWord);
            case valueSplitVector:
                return next(e.kind, e.name, e.realPart, e.imagPart, e.count, e.typeWord);
            case valueSplitMatrix:
                return next(e.kind, e.name, e.realPart, e.imagPart, e.rows, e.columns, e.typeWord);
            default:
                return next(e.kind, e.name);  // an invalid kind ends the reading
        }
    }
}

// Reads one entry of the given shape; its value layout follows the kind's typeWord in the pair
// the block forwards (0, double, for kinds 3 to 5).
EntryArgs readEntry(ByteReader& in, Storage& storage, int shape) {
    EntryArgs e;
    e.shape = shape;
    static constexpr int32_t kInvalidKinds[] = {-3, -2, -1, 11, 12, 13};
    e.kind = shape == kInvalidShape ? in.pick(kInvalidKinds) : shape;
    e.name = readName(in, storage);
    if (shape == kInvalidShape) {
        return e;
    }
    e.count = readDimension(in);
    e.rows = readDimension(in);
    e.columns = readDimension(in);
    e.typeWord = shape >= valueTypedScalar ? readTypeWord(in) : 0;
    e.scalar = kq::fuzz::interestingDouble(in);
    const int32_t rows = isVectorKind(shape) ? e.count : isMatrixKind(shape) ? e.rows : 1;
    const int32_t columns = isMatrixKind(shape) ? e.columns : 1;
    const uint8_t presence = in.u8();
    if (isSplitKind(shape)) {
        if ((presence & 2u) == 0) {
            e.realPart = splitPart(in, storage, shape, e.typeWord, rows, columns);
        }
        if ((presence & 4u) == 0) {
            e.imagPart = splitPart(in, storage, shape, e.typeWord, rows, columns);
        }
    } else {
        e.value = plainValue(in, storage, (presence & 1u) == 0, shape, e.typeWord, rows, columns);
    }
    return e;
}

void runSettingsCall(ByteReader& in, Storage& storage, WriterHost& host) {
    const auto count = static_cast<int32_t>(in.range(-2, 3));
    EntryArgs entries[3];
    for (EntryArgs& entry : entries) {
        entry = readEntry(in, storage, static_cast<int>(in.range(0, kInvalidShape)));
    }
    const int32_t result = callSettings<0>(&host.instance, count, entries);
    const std::vector<ServiceCall>& calls = host.writer.calls;

    if (count <= 0) {
        check(result == 0 && calls.empty(), "a settings call with no entries wrote or succeeded");
        checkMessage(host, nullptr);
        return;
    }
    if (!host.hasBothWriters()) {
        // Without its services the group cannot be written at all.
        check(result == 0 && calls.empty(), "a settings call without host writers succeeded");
        return;
    }

    // Walks the recorded calls along the writer's sequence: opening text, pairs, closing text.
    size_t next = 0;
    auto takeText = [&](const char* text) -> int32_t {
        check(next < calls.size() && calls[next].isText && calls[next].text == text,
              "expected text not written", text);
        return calls[next++].result;
    };
    const char* message = nullptr;
    int32_t expectedResult = takeText(kOpening);
    for (int32_t i = 0; i < count && expectedResult == 1; ++i) {
        const EntryArgs& e = entries[i];
        if (!isValidKind(e.kind)) {
            message = kListKindMessage;
            expectedResult = 0;
            break;
        }
        const int32_t typeWord = e.kind >= valueTypedScalar ? e.typeWord : 0;
        const int32_t rows = isVectorKind(e.kind) ? e.count : isMatrixKind(e.kind) ? e.rows : 1;
        const int32_t columns = isMatrixKind(e.kind) ? e.columns : 1;
        bool valuePresent = e.value != nullptr;
        if (e.kind == valueDoubleScalar) {
            valuePresent = true;  // the writer's own copy of the double
        } else if (isSplitKind(e.kind)) {
            valuePresent = e.realPart != nullptr &&
                           ((typeWord & kTypeWordComplexBit) == 0 || e.imagPart != nullptr);
        }
        const PairOutcome expected =
            expectPair(e.kind, e.name, typeWord, rows, columns, valuePresent);
        if (expected.message != nullptr) {
            message = expected.message;
            expectedResult = 0;
            break;
        }
        check(next < calls.size(), "a valid list entry was not forwarded");
        std::optional<SplitValue> split;
        if (isSplitKind(e.kind)) {
            split = SplitValue{e.realPart, e.imagPart};
        }
        std::optional<uint64_t> doubleBits;
        if (e.kind == valueDoubleScalar) {
            doubleBits = std::bit_cast<uint64_t>(e.scalar);
        }
        checkForwarded(calls[next], expected, e.value, split, doubleBits);
        expectedResult = calls[next++].result;
    }
    if (expectedResult == 1) {
        expectedResult = takeText(kClosing);
    }
    check(next == calls.size(), "service calls after the settings writer had to stop");
    check(result == expectedResult, "settings call returned another result",
          std::to_string(result) + " | expected " + std::to_string(expectedResult));
    checkMessage(host, message);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ByteReader in(data, size);
    Storage storage;
    WriterHost host;
    const bool pairCall = in.boolean();
    host.setUp(in, pairCall);
    if (pairCall) {
        runPairCall(in, storage, host);
    } else {
        runSettingsCall(in, storage, host);
    }
    return 0;
}
