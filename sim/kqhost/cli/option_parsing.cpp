#include "sim/kqhost/cli/option_parsing.h"

#include <fmt/format.h>

#include <algorithm>
#include <charconv>
#include <cmath>

#include "sim/kqhost/io/kqhost_error.h"
#include "sim/kqhost/io/number_text.h"

namespace kq::kqhost {

namespace {
bool isOptionWord(std::string_view word) {
    return word.rfind("--", 0) == 0;
}
}  // namespace

std::string OptionCursor::takeWord() {
    std::string word = args_[next_++];
    hasPendingValue_ = false;
    const size_t equals = word.find('=');
    if (isOptionWord(word) && equals != std::string::npos) {
        pendingValue_ = word.substr(equals + 1);
        hasPendingValue_ = true;
        word.resize(equals);
    }
    if (isOptionWord(word) &&
        std::find(repeatable_.begin(), repeatable_.end(), word) == repeatable_.end()) {
        if (std::find(taken_.begin(), taken_.end(), word) != taken_.end()) {
            throw KqhostError(word + " is given twice");
        }
        taken_.push_back(word);
    }
    return word;
}

std::string OptionCursor::takeValue(std::string_view option) {
    if (hasPendingValue_) {
        hasPendingValue_ = false;
        if (pendingValue_.empty()) {
            throw KqhostError(std::string(option) + " needs a value");
        }
        return pendingValue_;
    }
    if (done() || isOptionWord(args_[next_])) {
        throw KqhostError(std::string(option) + " needs a value");
    }
    return args_[next_++];
}

double parseAnyNumber(std::string_view option, std::string_view text) {
    std::optional<double> value = parseNumber(text, Precision::Double);
    if (!value) {
        value = parseHexNumber(text);
    }
    if (!value) {
        throw KqhostError(std::string(option) + ": not a number: '" + std::string(text) + "'");
    }
    return *value;
}

double parseFiniteNumber(std::string_view option, std::string_view text) {
    const double value = parseAnyNumber(option, text);
    if (!std::isfinite(value)) {
        throw KqhostError(std::string(option) + ": must be a finite number, not '" +
                          std::string(text) + "'");
    }
    return value;
}

size_t parseIndex(std::string_view option, std::string_view text, size_t max) {
    size_t value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end || value > max) {
        throw KqhostError(
            fmt::format("{}: expected a whole number from 0 to {}, not '{}'", option, max, text));
    }
    return value;
}

size_t parsePositiveCount(std::string_view option, std::string_view text, size_t max) {
    size_t value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end || value < 1 || value > max) {
        throw KqhostError(
            fmt::format("{}: expected a whole number from 1 to {}, not '{}'", option, max, text));
    }
    return value;
}

}  // namespace kq::kqhost
