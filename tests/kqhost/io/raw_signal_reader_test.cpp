#include <gtest/gtest.h>
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <unistd.h>
#endif

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "scratch_folder.h"
#include "signal_io_helpers.h"
#include "sim/kqhost/io/signal_reader.h"

namespace kq::kqhost {
namespace {

using test::errorOf;
using test::readSignal;
using test::ScratchFolder;

template <typename Real>
std::string rawBytes(const std::vector<Real>& values) {
    return std::string(reinterpret_cast<const char*>(values.data()), values.size() * sizeof(Real));
}

TEST(RawSignalReader, ReportsSizesThatAreNotWholeSteps) {
    const struct {
        SignalFormat format;
        std::size_t bytes;
        std::optional<std::size_t> channels;
        const char* message;  // after the file name
    } cases[] = {
        {SignalFormat::F64, 24, std::nullopt, ": raw input needs the channel count (--channels)"},
        {SignalFormat::F32, 8, std::size_t{0}, ": the channel count must be at least 1"},
        {SignalFormat::F64, 0, std::size_t{1}, ": no data"},
        {SignalFormat::F64, 20, std::size_t{1},
         ": size of 20 bytes is not a whole number of 8-byte time steps (1 channel of 8 bytes)"},
        {SignalFormat::F64, 24, std::size_t{2},
         ": size of 24 bytes is not a whole number of 16-byte time steps (2 channels of 8 bytes)"},
        {SignalFormat::F32, 30, std::size_t{3},
         ": size of 30 bytes is not a whole number of 12-byte time steps (3 channels of 4 bytes)"},
    };
    ScratchFolder folder;
    for (const auto& c : cases) {
        const std::string path = folder.write("in.raw", std::string(c.bytes, '\0'));
        EXPECT_EQ(errorOf([&] { readSignal(path, c.format, c.channels, Precision::Double); }),
                  path + c.message);
    }
}

TEST(RawSignalReader, RoundsToThePortPrecision) {
    ScratchFolder folder;
    const std::vector<double> doubles = {0.1, -1e300, 1.0 + 0x1p-24, 0x1p-1074};
    const auto asDouble = readSignal(folder.write("d.f64", rawBytes(doubles)), SignalFormat::F64,
                                     std::size_t{2}, Precision::Double);
    EXPECT_EQ(asDouble.values, doubles);
    const auto asSingle =
        readSignal(folder.file("d.f64"), SignalFormat::F64, std::size_t{2}, Precision::Single);
    EXPECT_EQ(asSingle.values, (std::vector<double>{0.1f, -INFINITY, 1.0, 0.0}));

    // binary32 widens exactly at both precisions; a NaN keeps its bits, signalling or not (a
    // conversion instruction would quiet 7f800001 into 7fc00001).
    const std::vector<std::uint32_t> singles = {0x3dcccccd, 0x80000001, 0x7f7fffff, 0x80000000,
                                                0x7f800001, 0xffbfffff, 0x7fc00123, 0xff800000};
    const std::vector<std::uint64_t> widened = {
        0x3fb99999a0000000, 0xb6a0000000000000, 0x47efffffe0000000, 0x8000000000000000,
        0x7ff0000020000000, 0xfff7ffffe0000000, 0x7ff8002460000000, 0xfff0000000000000};
    for (const Precision precision : {Precision::Double, Precision::Single}) {
        const auto data = readSignal(folder.write("s.f32", rawBytes(singles)), SignalFormat::F32,
                                     std::size_t{4}, precision);
        ASSERT_EQ(data.values.size(), singles.size());
        for (std::size_t i = 0; i < singles.size(); ++i) {
            EXPECT_EQ(std::bit_cast<std::uint64_t>(data.values[i]), widened[i])
                << std::hex << "single " << singles[i];
        }
    }
}

// Standard input replaced by the read end of a pipe that holds `bytes` and is closed for writing,
// while the object lives.
class PipedStandardInput {
  public:
    explicit PipedStandardInput(const std::vector<char>& bytes) {
        int ends[2] = {-1, -1};
#ifdef _WIN32
        if (::_pipe(ends, 4096, _O_BINARY) != 0) {
#else
        if (::pipe(ends) != 0) {
#endif
            throw std::runtime_error("cannot make a pipe");
        }
        const bool written = ::write(ends[1], bytes.data(), static_cast<unsigned>(bytes.size())) ==
                             static_cast<int>(bytes.size());
        ::close(ends[1]);
        saved_ = ::dup(0);
        ::dup2(ends[0], 0);
        ::close(ends[0]);
        if (!written || saved_ < 0) {
            throw std::runtime_error("cannot fill the pipe");
        }
    }
    ~PipedStandardInput() {
        ::dup2(saved_, 0);
        ::close(saved_);
    }
    PipedStandardInput(const PipedStandardInput&) = delete;
    PipedStandardInput& operator=(const PipedStandardInput&) = delete;

  private:
    int saved_ = -1;
};

// A pipe has no size up front: a trailing partial step is found at its end.
TEST(RawSignalReader, ChecksAPipeAtItsEnd) {
    const struct {
        std::size_t bytes;
        std::size_t steps;  // 0: an error is expected
    } cases[] = {{32, 2}, {36, 0}, {0, 0}};
    for (const auto& c : cases) {
        std::vector<char> bytes(c.bytes);
        const std::vector<float> values(c.bytes / 4, 1.5f);
        if (!values.empty()) {
            std::memcpy(bytes.data(), values.data(), values.size() * sizeof(float));
        }
        const PipedStandardInput input(bytes);
        const std::string error = errorOf([&] {
            const auto data = readSignal("-", SignalFormat::F32, std::size_t{4}, Precision::Single);
            EXPECT_EQ(data.values.size(), c.steps * 4);
        });
        if (c.steps == 0) {
            EXPECT_NE(error.find(c.bytes == 0 ? ": no data" : ": size of 36 bytes"),
                      std::string::npos)
                << error;
        } else {
            EXPECT_EQ(error, "(no error)");
        }
    }
}

}  // namespace
}  // namespace kq::kqhost
