// Whole-file reads and writes through kqhost's readers and writers, for tests.
#ifndef KQ_TESTS_KQHOST_IO_SIGNAL_IO_HELPERS_H
#define KQ_TESTS_KQHOST_IO_SIGNAL_IO_HELPERS_H

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "sim/kqhost/io/kqhost_error.h"
#include "sim/kqhost/io/signal_reader.h"
#include "sim/kqhost/io/signal_writer.h"

namespace kq::kqhost::test {

struct SignalData {
    std::size_t channels = 0;
    std::vector<double> values;
};

// Reads the whole file, `chunkSteps` steps per call.
inline SignalData readSignal(const std::string& path, SignalFormat format,
                             std::optional<std::size_t> channels, Precision precision,
                             std::size_t chunkSteps = 1000) {
    const auto reader = SignalReader::open(path, format, channels, precision);
    SignalData data{reader->channels(), {}};
    std::vector<double> chunk(chunkSteps * data.channels);
    while (const std::size_t steps = reader->readSteps(chunk.data(), chunkSteps)) {
        data.values.insert(data.values.end(), chunk.begin(),
                           chunk.begin() + static_cast<std::ptrdiff_t>(steps * data.channels));
    }
    return data;
}

// Writes and commits the whole signal, at most `chunkSteps` steps per call.
inline void writeSignal(const std::string& path, SignalFormat format, const SignalData& data,
                        Precision precision, std::size_t chunkSteps = 1000) {
    const auto writer = SignalWriter::open(path, format, data.channels, precision);
    const std::size_t steps = data.values.size() / data.channels;
    for (std::size_t done = 0; done < steps; done += chunkSteps) {
        writer->writeSteps(data.values.data() + done * data.channels,
                           std::min(chunkSteps, steps - done));
    }
    writer->commit();
}

// The message of the KqhostError that `action` throws, or "(no error)".
template <typename Action>
std::string errorOf(Action&& action) {
    try {
        action();
    } catch (const KqhostError& error) {
        return error.what();
    }
    return "(no error)";
}

}  // namespace kq::kqhost::test

#endif
