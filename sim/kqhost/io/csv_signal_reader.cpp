#include "sim/kqhost/io/csv_signal_reader.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "sim/kqhost/io/kqhost_error.h"
#include "sim/kqhost/io/number_text.h"

namespace kq::kqhost {
namespace {

constexpr std::size_t kReadChunkBytes = std::size_t{1} << 16;
constexpr std::size_t kMaxQuotedChars = 40;
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

bool isBlankLine(std::string_view line) {
    return std::all_of(line.begin(), line.end(), isBlank);
}

bool isCommentLine(std::string_view line) {
    const std::size_t first = line.find_first_not_of(" \t");
    return first != std::string_view::npos && line[first] == '#';
}

// A reported position follows only blanks and valid numbers on its line, all ASCII, so its byte
// offset gives its character column.
std::size_t columnOf(std::size_t byteOffset) {
    return byteOffset + 1;
}

std::size_t countFields(std::string_view text) {
    return 1 + static_cast<std::size_t>(std::count(text.begin(), text.end(), ','));
}

// The offset of a field's first non-blank character, or of the field itself when it is all blank.
std::size_t fieldTextStart(std::string_view line, std::size_t fieldStart, std::size_t fieldEnd) {
    std::size_t at = fieldStart;
    while (at < fieldEnd && isBlank(line[at])) {
        ++at;
    }
    return at == fieldEnd ? fieldStart : at;
}

std::string_view trimBlanks(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// A field as quoted in a message: control bytes (as in a binary file read as text) shown as '?',
// long text cut short, so the message stays one readable line.
std::string quotable(std::string_view text) {
    std::string shown;
    for (const char c : text.substr(0, kMaxQuotedChars)) {
        const auto byte = static_cast<unsigned char>(c);
        shown.push_back(byte < 0x20 || byte == 0x7F ? '?' : c);
    }
    if (text.size() > kMaxQuotedChars) {
        shown += "...";
    }
    return shown;
}

std::string countOfValues(std::size_t count) {
    return std::to_string(count) + (count == 1 ? " value" : " values");
}

}  // namespace

CsvSignalReader::CsvSignalReader(FileDescriptor file, std::string name,
                                 std::optional<std::size_t> channels, Precision precision)
    : file_(std::move(file)),
      name_(std::move(name)),
      precision_(precision),
      buffer_(kReadChunkBytes) {
    const std::optional<std::string_view> line = nextDataLine();
    if (!line) {
        throw KqhostError(name_ + ": no data");
    }
    channels_ = channels.value_or(countFields(*line));
    firstStep_.resize(channels_);
    parseLine(*line, firstStep_.data());
}

std::size_t CsvSignalReader::readSteps(double* dst, std::size_t maxSteps) {
    std::size_t steps = 0;
    if (firstStepPending_ && maxSteps > 0) {
        std::copy(firstStep_.begin(), firstStep_.end(), dst);
        firstStepPending_ = false;
        firstStep_ = {};
        steps = 1;
    }
    while (steps < maxSteps) {
        const std::optional<std::string_view> line = nextDataLine();
        if (!line) {
            break;
        }
        parseLine(*line, dst + steps * channels_);
        ++steps;
    }
    return steps;
}

std::optional<std::string_view> CsvSignalReader::nextLine() {
    std::size_t scanFrom = lineStart_;
    for (;;) {
        char* const data = buffer_.data();
        const void* newline = std::memchr(data + scanFrom, '\n', dataEnd_ - scanFrom);
        std::size_t lineEnd = 0;
        if (newline != nullptr) {
            lineEnd = static_cast<std::size_t>(static_cast<const char*>(newline) - data);
        } else if (endOfFile_) {
            if (lineStart_ == dataEnd_) {
                return std::nullopt;
            }
            lineEnd = dataEnd_;  // a last line without a line break
        } else {
            // Keep the partial line, moved to the front, and read more behind it; a line longer
            // than the buffer grows it.
            const std::size_t partial = dataEnd_ - lineStart_;
            std::memmove(data, data + lineStart_, partial);
            lineStart_ = 0;
            dataEnd_ = partial;
            scanFrom = partial;
            if (dataEnd_ == buffer_.size()) {
                buffer_.resize(buffer_.size() * 2);
            }
            const std::size_t room = buffer_.size() - dataEnd_;
            const std::size_t got = readFully(file_.get(), buffer_.data() + dataEnd_, room, name_);
            dataEnd_ += got;
            endOfFile_ = got < room;
            continue;
        }
        std::string_view line(data + lineStart_, lineEnd - lineStart_);
        lineStart_ = std::min(lineEnd + 1, dataEnd_);
        ++lineNumber_;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (lineNumber_ == 1 && line.starts_with(kByteOrderMark)) {
            line.remove_prefix(kByteOrderMark.size());
        }
        return line;
    }
}

std::optional<std::string_view> CsvSignalReader::nextDataLine() {
    for (;;) {
        const std::optional<std::string_view> line = nextLine();
        if (!line || (!isBlankLine(*line) && !isCommentLine(*line))) {
            return line;
        }
    }
}

void CsvSignalReader::parseLine(std::string_view line, double* dst) const {
    std::size_t field = 0;
    std::size_t fieldStart = 0;
    for (;;) {
        const std::size_t comma = line.find(',', fieldStart);
        const std::size_t fieldEnd = comma == std::string_view::npos ? line.size() : comma;
        const std::size_t textStart = fieldTextStart(line, fieldStart, fieldEnd);
        if (field == channels_) {
            const std::size_t found = channels_ + countFields(line.substr(fieldStart));
            throwAt(textStart,
                    "expected " + countOfValues(channels_) + ", found " + std::to_string(found));
        }
        const std::string_view text = trimBlanks(line.substr(fieldStart, fieldEnd - fieldStart));
        const std::optional<double> value = parseNumber(text, precision_);
        if (!value) {
            throwAt(textStart, "not a number: '" + quotable(text) + "'");
        }
        dst[field++] = *value;
        if (comma == std::string_view::npos) {
            break;
        }
        fieldStart = comma + 1;
    }
    if (field < channels_) {
        throwAt(line.size(),
                "expected " + countOfValues(channels_) + ", found " + std::to_string(field));
    }
}

void CsvSignalReader::throwAt(std::size_t byteOffset, const std::string& what) const {
    throw KqhostError(name_ + ":" + std::to_string(lineNumber_) + ":" +
                      std::to_string(columnOf(byteOffset)) + ": " + what);
}

}  // namespace kq::kqhost
