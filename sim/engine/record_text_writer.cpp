#include "sim/engine/record_text_writer.h"

#include <cmath>
#include <cstdio>
#include <optional>

#include "host/data_types.h"
#include "host/record_pair.h"

namespace kq::sim {
namespace {

enum class ElementType { kDouble, kSingle, kBoolean };

std::optional<ElementType> elementTypeOf(int32_t typeId) {
    switch (typeId) {
        case kTypeIdDouble:
            return ElementType::kDouble;
        case kTypeIdSingle:
            return ElementType::kSingle;
        case kTypeIdBoolean:
            return ElementType::kBoolean;
        default:
            return std::nullopt;
    }
}

std::string typeText(int32_t typeWord) {
    const int32_t typeId = typeWord & ~kTypeWordComplexBit;
    std::string text;
    switch (typeId) {
        case kTypeIdDouble:
            text = "double";
            break;
        case kTypeIdSingle:
            text = "single";
            break;
        case kTypeIdBoolean:
            text = "boolean";
            break;
        default:
            text = "typeid " + std::to_string(typeId);
            break;
    }
    if ((typeWord & kTypeWordComplexBit) != 0) {
        text += " complex";
    }
    return text;
}

// Enough significant digits that the text reads back to the same value.
void appendNumber(std::string& out, double number, int significantDigits) {
    if (std::isnan(number)) {
        out += "nan";
    } else if (std::isinf(number)) {
        out += number < 0 ? "-inf" : "inf";
    } else {
        char buffer[40];
        std::snprintf(buffer, sizeof buffer, "%.*g", significantDigits, number);
        out += buffer;
    }
}

// Element `index` of typed storage at `base`; `negate` flips its sign (for "re-imi").
void appendElement(std::string& out, ElementType type, const void* base, int64_t index,
                   bool negate = false) {
    switch (type) {
        case ElementType::kDouble: {
            const double element = static_cast<const double*>(base)[index];
            appendNumber(out, negate ? -element : element, 17);
            break;
        }
        case ElementType::kSingle: {
            const float element = static_cast<const float*>(base)[index];
            appendNumber(out, negate ? -element : element, 9);
            break;
        }
        case ElementType::kBoolean:
            out += static_cast<const unsigned char*>(base)[index] != 0 ? '1' : '0';
            break;
    }
}

// A set sign bit prints a minus, except on a NaN, whose sign the record does not keep.
template <typename Number>
bool printsMinus(const void* base, int64_t index) {
    const Number element = static_cast<const Number*>(base)[index];
    return std::signbit(element) && !std::isnan(element);
}

bool printsMinus(ElementType type, const void* base, int64_t index) {
    switch (type) {
        case ElementType::kDouble:
            return printsMinus<double>(base, index);
        case ElementType::kSingle:
            return printsMinus<float>(base, index);
        case ElementType::kBoolean:
            return false;
    }
    return false;
}

// Where the elements of a numeric value are: real parts, and imaginary parts when complex, each
// `stride` elements apart (2 for interleaved re, im storage).
struct ElementSource {
    ElementType type;
    const void* realPart;
    const void* imagPart;
    int64_t stride;
};

void appendSourceElement(std::string& out, const ElementSource& source, int64_t index) {
    const int64_t offset = index * source.stride;
    appendElement(out, source.type, source.realPart, offset);
    if (source.imagPart == nullptr) {
        return;
    }
    const bool isNegative = printsMinus(source.type, source.imagPart, offset);
    out += isNegative ? '-' : '+';
    appendElement(out, source.type, source.imagPart, offset, isNegative);
    out += 'i';
}

std::optional<ElementSource> elementSource(int32_t kind, const void* value, int32_t typeWord) {
    const std::optional<ElementType> type = elementTypeOf(typeWord & ~kTypeWordComplexBit);
    if (!type.has_value() || value == nullptr) {
        return std::nullopt;
    }
    const bool isComplex = (typeWord & kTypeWordComplexBit) != 0;
    if (kind == valueSplitVector || kind == valueSplitMatrix) {
        const auto* split = static_cast<const SplitValue*>(value);
        if (split->realPart == nullptr || (isComplex && split->imagPart == nullptr)) {
            return std::nullopt;
        }
        return ElementSource{*type, split->realPart, isComplex ? split->imagPart : nullptr, 1};
    }
    if (!isComplex) {
        return ElementSource{*type, value, nullptr, 1};
    }
    const void* imagPart = static_cast<const unsigned char*>(value) +
                           typeIdElementSize(typeWord & ~kTypeWordComplexBit);
    return ElementSource{*type, value, imagPart, 2};
}

enum class NumberLayout { kScalar, kVector, kMatrix };

std::optional<std::string> formatNumbers(int32_t kind, NumberLayout layout, const void* value,
                                         int32_t typeWord, int32_t rows, int32_t columns) {
    const int64_t shownRows = layout == NumberLayout::kScalar ? 1 : rows;
    const int64_t shownColumns = layout == NumberLayout::kMatrix ? columns : 1;
    if (shownRows < 0 || shownColumns < 0) {
        return std::nullopt;
    }
    if (shownRows * shownColumns == 0) {
        return std::string("[]");
    }
    const std::optional<ElementSource> source = elementSource(kind, value, typeWord);
    if (!source.has_value()) {
        return std::nullopt;
    }
    std::string text;
    if (layout == NumberLayout::kScalar) {
        appendSourceElement(text, *source, 0);
        return text;
    }
    text += '[';
    for (int64_t row = 0; row < shownRows; ++row) {
        if (row > 0) {
            text += layout == NumberLayout::kMatrix ? "; " : ", ";
        }
        for (int64_t column = 0; column < shownColumns; ++column) {
            if (column > 0) {
                text += ", ";
            }
            appendSourceElement(text, *source, column * shownRows + row);
        }
    }
    text += ']';
    return text;
}

// Backslash and double quote are escaped so that the quoted text ends where it seems to.
void appendQuoted(std::string& out, const char* text) {
    if (text == nullptr) {
        out += "null";
        return;
    }
    out += '"';
    for (const char* c = text; *c != '\0'; ++c) {
        if (*c == '"' || *c == '\\') {
            out += '\\';
        }
        out += *c;
    }
    out += '"';
}

std::optional<std::string> formatTextList(const void* value, int32_t count) {
    if (count < 0 || (count > 0 && value == nullptr)) {
        return std::nullopt;
    }
    const auto* texts = static_cast<const char* const*>(value);
    std::string text = "[";
    for (int32_t index = 0; index < count; ++index) {
        if (index > 0) {
            text += ", ";
        }
        appendQuoted(text, texts[index]);
    }
    text += ']';
    return text;
}

// The VALUE part of a pair line, or nullopt when the pair cannot be written.
std::optional<std::string> formatValue(int32_t kind, const void* value, int32_t typeWord,
                                       int32_t rows, int32_t columns) {
    switch (kind) {
        case valueItemA:
            return value == nullptr ? "null" : std::string(static_cast<const char*>(value));
        case valueItemB: {
            std::string text;
            appendQuoted(text, static_cast<const char*>(value));
            return text;
        }
        case valueItemList:
            return formatTextList(value, rows);
        case valueDoubleScalar:
        case valueTypedScalar:
            return formatNumbers(kind, NumberLayout::kScalar, value, typeWord, rows, columns);
        case valueDoubleVector:
        case valueTypedVector:
        case valueSplitVector:
            return formatNumbers(kind, NumberLayout::kVector, value, typeWord, rows, columns);
        case valueDoubleMatrix:
        case valueTypedMatrix:
        case valueSplitMatrix:
            return formatNumbers(kind, NumberLayout::kMatrix, value, typeWord, rows, columns);
        default:
            return std::nullopt;
    }
}

bool isTextKind(int32_t kind) {
    return kind == valueItemA || kind == valueItemB || kind == valueItemList;
}

}  // namespace

int32_t RecordTextWriter::writeText(void* context, const char* text) {
    auto* writer = static_cast<RecordTextWriter*>(context);
    int32_t result = 0;
    if (writer->takeInjectedFailure(result)) {
        return result;
    }
    if (text == nullptr) {
        return 0;
    }
    writer->record_ += text;
    writer->record_ += '\n';
    return 1;
}

int32_t RecordTextWriter::writePair(void* context, int32_t kind, const char* name,
                                    const void* value, int32_t typeWord, int32_t rows,
                                    int32_t columns) {
    auto* writer = static_cast<RecordTextWriter*>(context);
    int32_t result = 0;
    if (writer->takeInjectedFailure(result)) {
        return result;
    }
    if (name == nullptr || name[0] == '\0') {
        return 0;
    }
    const std::optional<std::string> valueText = formatValue(kind, value, typeWord, rows, columns);
    if (!valueText.has_value()) {
        return 0;
    }
    std::string line = "  ";
    line += name;
    line += " = ";
    line += *valueText;
    if (!isTextKind(kind)) {
        line += " (" + typeText(typeWord) + ")";
    }
    line += '\n';
    writer->record_ += line;
    return 1;
}

void RecordTextWriter::attachTo(HostInfo& hostInfo) {
    hostInfo.writeRecordText = &RecordTextWriter::writeText;
    hostInfo.writeRecordPair = &RecordTextWriter::writePair;
    hostInfo.recordWriterContext = this;
}

void RecordTextWriter::failCall(int32_t callNumber, int32_t result) {
    failingCall_ = callNumber;
    failingResult_ = result;
}

bool RecordTextWriter::takeInjectedFailure(int32_t& result) {
    ++callCount_;
    if (failingCall_ != 0 && callCount_ == failingCall_) {
        result = failingResult_;
        return true;
    }
    return false;
}

}  // namespace kq::sim
