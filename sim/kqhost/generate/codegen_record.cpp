#include "sim/kqhost/generate/codegen_record.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <system_error>

#include "sim/kqhost/io/kqhost_error.h"

namespace kq::kqhost {

namespace {

constexpr std::string_view kOpening = "RBlkParamSettings {";
constexpr std::string_view kClosing = "}";

[[noreturn]] void fail(const std::string& what) {
    throw KqhostError("code-generation record: " + what);
}

// One "  NAME = VALUE (TYPE)" line.
struct PairLine {
    std::string_view name;
    std::string_view value;
    std::string_view type;
};

std::optional<PairLine> splitPair(std::string_view line) {
    constexpr std::string_view kIndent = "  ";
    if (line.substr(0, kIndent.size()) != kIndent) {
        return std::nullopt;
    }
    line.remove_prefix(kIndent.size());
    const size_t equals = line.find(" = ");
    const size_t open = line.rfind(" (");
    if (equals == std::string_view::npos || open == std::string_view::npos || open < equals ||
        line.back() != ')') {
        return std::nullopt;
    }
    return PairLine{line.substr(0, equals), line.substr(equals + 3, open - equals - 3),
                    line.substr(open + 2, line.size() - open - 3)};
}

// The writer's number text, the whole of it: digits as printf's %g writes them, or nan, inf,
// -inf. T is the type the record names, so the value reads back to its exact bits.
template <typename T>
std::optional<T> parseNumber(std::string_view text) {
    if (text == "nan") {
        return std::numeric_limits<T>::quiet_NaN();
    }
    if (text == "inf" || text == "-inf") {
        return text[0] == '-' ? -std::numeric_limits<T>::infinity()
                              : std::numeric_limits<T>::infinity();
    }
    T value{};
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || stop != end || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

void readCutoff(const PairLine& pair, CodegenSettings& settings) {
    std::optional<double> value;
    if (pair.type == "double") {
        settings.cutoffType = Precision::Double;
        value = parseNumber<double>(pair.value);
    } else if (pair.type == "single") {
        settings.cutoffType = Precision::Single;
        if (const std::optional<float> single = parseNumber<float>(pair.value)) {
            value = *single;
        }
    } else {
        fail("Cutoff has type '" + std::string(pair.type) + "', not double or single");
    }
    if (!value) {
        fail("Cutoff '" + std::string(pair.value) + "' is not a number");
    }
    settings.cutoff = *value;
}

void readRunning(const PairLine& pair, CodegenSettings& settings) {
    if (pair.type != "boolean") {
        fail("Running has type '" + std::string(pair.type) + "', not boolean");
    }
    if (pair.value != "0" && pair.value != "1") {
        fail("Running '" + std::string(pair.value) + "' is not 0 or 1");
    }
    settings.running = pair.value == "1";
}

}  // namespace

CodegenSettings parseCodegenRecord(std::string_view record) {
    CodegenSettings settings;
    bool opened = false;
    bool closed = false;
    bool hasCutoff = false;
    bool hasRunning = false;
    size_t lineNumber = 0;
    while (!record.empty()) {
        const size_t newline = record.find('\n');
        const std::string_view line = record.substr(0, newline);
        record.remove_prefix(newline == std::string_view::npos ? record.size() : newline + 1);
        ++lineNumber;
        const std::string where = "line " + std::to_string(lineNumber);
        if (closed) {
            fail(where + ": text after the closing '}'");
        }
        if (!opened) {
            if (line != kOpening) {
                fail(where + ": expected '" + std::string(kOpening) + "'");
            }
            opened = true;
            continue;
        }
        if (line == kClosing) {
            closed = true;
            continue;
        }
        const std::optional<PairLine> pair = splitPair(line);
        if (!pair) {
            fail(where + ": not a setting '  NAME = VALUE (TYPE)': '" + std::string(line) + "'");
        }
        const bool isCutoff = pair->name == "Cutoff";
        if (!isCutoff && pair->name != "Running") {
            fail(where + ": unknown setting '" + std::string(pair->name) + "'");
        }
        bool& seen = isCutoff ? hasCutoff : hasRunning;
        if (seen) {
            fail(where + ": " + std::string(pair->name) + " is given twice");
        }
        seen = true;
        if (isCutoff) {
            readCutoff(*pair, settings);
        } else {
            readRunning(*pair, settings);
        }
    }
    if (!closed) {
        fail(opened ? "no closing '}'" : "empty");
    }
    if (!hasCutoff || !hasRunning) {
        fail(std::string("no ") + (hasCutoff ? "Running" : "Cutoff") + " setting");
    }
    return settings;
}

}  // namespace kq::kqhost
