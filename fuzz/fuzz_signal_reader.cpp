// Fuzz target: kqhost's signal readers (CSV and raw .f64/.f32, double and single precision) on
// any file content.
//
// The input is a short header (format, precision, source, channel count, a schedule of maxSteps
// for successive readSteps calls) and then the file's bytes, which are put in a memory file or
// behind a pipe and opened by path, as kqhost opens its input. Every failure must be a KqhostError
// naming the file; any other exception escapes and is reported by the fuzzer.
//
// Checks besides: the values do not depend on how the reading is chunked (the input's schedule
// against one step at a time: the same values and the same message); a pipe gives the same values
// and message as a regular file; raw values are exactly the file's values (rounded to binary32 for
// single precision from .f64); each CSV value of a file read without error is the value of its
// field as the C library reads it, rounded once to the precision, with the lines and fields of the
// reader's CSV format (blank and '#' lines skipped, CR LF, a byte-order mark); every value is
// representable in the precision; no call reads past its buffer (exact-size heap buffers) and no
// file descriptor is left open.
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/byte_reader.h"
#include "fuzz/fuzz_check.h"
#include "sim/kqhost/io/kqhost_error.h"
#include "sim/kqhost/io/signal_format.h"
#include "sim/kqhost/io/signal_reader.h"

const char* const kq::fuzz::kTargetName = "fuzz_signal_reader";

namespace {

using kq::fuzz::ByteReader;
using kq::fuzz::check;
using kq::fuzz::fail;
using kq::kqhost::Precision;
using kq::kqhost::SignalFormat;

// The largest channel count kqhost accepts on its command line.
constexpr size_t kMaxChannels = size_t{1} << 24;
// A pipe holds this much without a reader; larger inputs use the memory file only.
constexpr size_t kPipeCapacity = 60000;
// No call is given a buffer larger than this many values.
constexpr size_t kMaxBufferValues = size_t{1} << 20;

// A file descriptor of this target, closed with it.
struct OwnedFd {
    int fd = -1;
    explicit OwnedFd(int f) : fd(f) {}
    OwnedFd(const OwnedFd&) = delete;
    OwnedFd& operator=(const OwnedFd&) = delete;
    ~OwnedFd() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
};

void writeAll(int fd, const std::vector<uint8_t>& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        check(n > 0, "cannot fill the test file");
        done += static_cast<size_t>(n);
    }
}

std::string pathOf(int fd) {
    return "/proc/self/fd/" + std::to_string(fd);
}

// The descriptor number an open() would get now: the lowest free one.
int lowestFreeFd() {
    const int fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    check(fd >= 0, "cannot open /dev/null");
    ::close(fd);
    return fd;
}

// Everything one reading gave: the values of the calls that returned, and how it ended.
struct Outcome {
    std::vector<double> values;
    size_t channels = 0;
    bool failed = false;
    std::string message;  // without the file's name
};

double widenedSingle(double v) {
    // IEEE 754 conversion to binary32 (overflow to infinity), without an out-of-range cast.
    if (std::isfinite(v) && std::fabs(v) > std::numeric_limits<float>::max()) {
        const float big = std::fabs(v) >= 0x1.ffffffp127 ? std::numeric_limits<float>::infinity()
                                                         : std::numeric_limits<float>::max();
        return std::signbit(v) ? -big : big;
    }
    return static_cast<float>(v);
}

bool representable(double v, Precision precision) {
    return precision == Precision::Double || std::isnan(v) ||
           std::bit_cast<uint64_t>(widenedSingle(v)) == std::bit_cast<uint64_t>(v);
}

bool sameValue(double a, double b) {
    return (std::isnan(a) && std::isnan(b)) ||
           std::bit_cast<uint64_t>(a) == std::bit_cast<uint64_t>(b);
}

Outcome readAll(const std::string& path, SignalFormat format, std::optional<size_t> channels,
                Precision precision, const std::vector<size_t>& schedule) {
    Outcome out;
    // A reader opens the lowest free descriptor; if it kept it, that one is no longer free after.
    const int freeBefore = lowestFreeFd();
    try {
        const std::unique_ptr<kq::kqhost::SignalReader> reader =
            kq::kqhost::SignalReader::open(path, format, channels, precision);
        out.channels = reader->channels();
        check(out.channels >= 1, "a reader with no channel");
        if (channels) {
            check(out.channels == *channels, "the reader ignored the given channel count");
        }
        for (size_t call = 0;; ++call) {
            size_t maxSteps = schedule[call % schedule.size()];
            if (maxSteps * out.channels > kMaxBufferValues) {
                maxSteps = 1;
            }
            const size_t valueCount = maxSteps * out.channels;
            std::unique_ptr<double[]> buffer(new double[valueCount]);
            const size_t steps = reader->readSteps(buffer.get(), maxSteps);
            check(steps <= maxSteps, "readSteps returned more steps than asked for");
            for (size_t i = 0; i < steps * out.channels; ++i) {
                check(representable(buffer[i], precision), "a value not rounded to single");
                out.values.push_back(buffer[i]);
            }
            if (maxSteps > 0 && steps < maxSteps) {
                // The end: it stays the end.
                std::unique_ptr<double[]> more(new double[out.channels]);
                check(reader->readSteps(more.get(), 1) == 0, "a step after the end of the file");
                break;
            }
        }
    } catch (const kq::kqhost::KqhostError& error) {
        out.failed = true;
        const std::string_view message = error.what();
        check(message.starts_with(path + ": ") || message.starts_with(path + ":"),
              "a message that does not start with the file's name", std::string(message));
        out.message = message.substr(path.size());
    }
    check(lowestFreeFd() == freeBefore, "a reader left its file descriptor open");
    return out;
}

// The same reading as far as both got, and the same end.
void checkSameReading(const Outcome& a, const Outcome& b, const char* what) {
    check(a.failed == b.failed && a.message == b.message, what,
          "'" + a.message + "' against '" + b.message + "'");
    const size_t common = std::min(a.values.size(), b.values.size());
    for (size_t i = 0; i < common; ++i) {
        check(sameValue(a.values[i], b.values[i]), what, "value " + std::to_string(i));
    }
    if (!a.failed) {
        check(a.values.size() == b.values.size(), what, "another number of values");
    }
}

// The values a raw file holds, as the reader must deliver them.
std::vector<double> rawValues(const std::vector<uint8_t>& bytes, SignalFormat format,
                              Precision precision) {
    std::vector<double> values;
    if (format == SignalFormat::F64) {
        for (size_t at = 0; at + 8 <= bytes.size(); at += 8) {
            uint64_t bits = 0;
            for (int i = 7; i >= 0; --i) {
                bits = bits << 8 | bytes[at + static_cast<size_t>(i)];
            }
            const double v = std::bit_cast<double>(bits);
            values.push_back(precision == Precision::Single ? widenedSingle(v) : v);
        }
    } else {
        for (size_t at = 0; at + 4 <= bytes.size(); at += 4) {
            uint32_t bits = 0;
            for (int i = 3; i >= 0; --i) {
                bits = bits << 8 | bytes[at + static_cast<size_t>(i)];
            }
            values.push_back(static_cast<double>(std::bit_cast<float>(bits)));
        }
    }
    return values;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// The data lines of a CSV file and their fields, as the reader's CSV format splits them.
std::vector<std::vector<std::string>> csvFields(const std::vector<uint8_t>& bytes) {
    const std::string_view file(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    std::vector<std::vector<std::string>> lines;
    size_t start = 0;
    for (size_t lineNumber = 1; start < file.size(); ++lineNumber) {
        const size_t newline = file.find('\n', start);
        const size_t end = newline == std::string_view::npos ? file.size() : newline;
        std::string_view line = file.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (lineNumber == 1 && line.starts_with("\xEF\xBB\xBF")) {
            line.remove_prefix(3);
        }
        const std::string_view content = trimmed(line);
        if (content.empty() || content.front() == '#') {
            continue;
        }
        std::vector<std::string> fields;
        size_t fieldStart = 0;
        for (;;) {
            const size_t comma = line.find(',', fieldStart);
            const size_t fieldEnd = comma == std::string_view::npos ? line.size() : comma;
            fields.emplace_back(trimmed(line.substr(fieldStart, fieldEnd - fieldStart)));
            if (comma == std::string_view::npos) {
                break;
            }
            fieldStart = comma + 1;
        }
        lines.push_back(std::move(fields));
    }
    return lines;
}

// A field's value as the C library reads it, rounded once to the precision; one leading '+' is
// part of the format.
double fieldValue(std::string text, Precision precision) {
    if (!text.empty() && text.front() == '+') {
        text.erase(0, 1);
    }
    return precision == Precision::Single ? static_cast<double>(std::strtof(text.c_str(), nullptr))
                                          : std::strtod(text.c_str(), nullptr);
}

void checkCsvValues(const Outcome& outcome, const std::vector<uint8_t>& bytes,
                    Precision precision) {
    const std::vector<std::vector<std::string>> lines = csvFields(bytes);
    check(outcome.values.size() == lines.size() * outcome.channels,
          "CSV steps differ from the file's data lines",
          std::to_string(outcome.values.size()) + " values, " + std::to_string(lines.size()) +
              " lines of " + std::to_string(outcome.channels));
    size_t at = 0;
    for (const std::vector<std::string>& fields : lines) {
        check(fields.size() == outcome.channels, "a CSV line of another width was accepted");
        for (const std::string& field : fields) {
            const double expected = fieldValue(field, precision);
            check(sameValue(outcome.values[at], expected), "a CSV value differs from its field",
                  "'" + field + "'");
            ++at;
        }
    }
}

std::optional<size_t> readChannels(ByteReader& in, bool pipe) {
    switch (in.range(0, 15)) {
        case 0:
            return std::nullopt;
        case 1:
            return size_t{0};
        case 10:
            return static_cast<size_t>(in.range(9, 64));
        case 11:
            return pipe ? size_t{64} : static_cast<size_t>(in.range(65, 4096));
        case 12:
            // Rarely kqhost's largest count, by which a CSV reader sizes its first step.
            return pipe || in.u8() != 0xFF ? size_t{12} : kMaxChannels;
        case 13:
        case 14:
        case 15:
            return size_t{1};
        default:
            return static_cast<size_t>(in.range(1, 8));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ByteReader in(data, size);
    static constexpr SignalFormat kFormats[] = {SignalFormat::Csv, SignalFormat::Csv,
                                                SignalFormat::F64, SignalFormat::F32};
    const SignalFormat format = in.pick(kFormats);
    const Precision precision = in.boolean() ? Precision::Single : Precision::Double;
    // A CSV reader takes a 1 MiB buffer, which AddressSanitizer maps afresh for every reader, so
    // the second and third readings of a CSV file come only now and then.
    const uint8_t plan = in.u8();
    const bool csv = format == SignalFormat::Csv;
    const bool alsoStepwise = !csv || (plan & 3u) == 0;
    const bool alsoPipe = csv ? (plan & 0x1Cu) == 0 : (plan & 0x0Cu) == 0;
    const std::optional<size_t> channels = readChannels(in, alsoPipe);
    std::vector<size_t> schedule;
    for (int i = 0; i < 4; ++i) {
        schedule.push_back(static_cast<size_t>(in.range(0, 16)));
    }
    if (schedule[0] == 0) {
        schedule[0] = 1;  // at least one call that reads
    }
    const std::vector<uint8_t> content = in.rest();

    {
        OwnedFd file(::memfd_create("kqfuzz-signal", MFD_CLOEXEC));
        check(file.fd >= 0, "memfd_create failed");
        writeAll(file.fd, content);
        const std::string path = pathOf(file.fd);

        const Outcome scheduled = readAll(path, format, channels, precision, schedule);
        if (alsoStepwise) {
            const Outcome stepwise = readAll(path, format, channels, precision, {1});
            checkSameReading(scheduled, stepwise, "chunked and stepwise readings differ");
        }
        if (!scheduled.failed && !csv) {
            check(scheduled.values.size() * (format == SignalFormat::F64 ? 8 : 4) == content.size(),
                  "a raw file read whole gave another number of values");
        }
        if (!csv) {
            const std::vector<double> expected = rawValues(content, format, precision);
            check(scheduled.values.size() <= expected.size(), "more raw values than the file has");
            for (size_t i = 0; i < scheduled.values.size(); ++i) {
                check(sameValue(scheduled.values[i], expected[i]), "a raw value differs",
                      std::to_string(i));
            }
        } else if (!scheduled.failed) {
            checkCsvValues(scheduled, content, precision);
        }

        if (alsoPipe && content.size() <= kPipeCapacity) {
            int ends[2];
            check(::pipe2(ends, O_CLOEXEC) == 0, "pipe2 failed");
            OwnedFd readEnd(ends[0]);
            {
                OwnedFd writeEnd(ends[1]);
                writeAll(writeEnd.fd, content);
            }
            const Outcome piped =
                readAll(pathOf(readEnd.fd), format, channels, precision, schedule);
            // A pipe's size is known only at its end, so a raw file of a wrong size fails there
            // rather than at the start; the message and the values before it must agree.
            checkSameReading(piped, scheduled, "pipe and regular file readings differ");
        }
    }
    return 0;
}
