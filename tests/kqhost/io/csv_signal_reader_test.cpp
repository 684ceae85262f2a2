#include <gtest/gtest.h>

#include <cmath>
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

TEST(CsvSignalReader, ReadsTheLinesItShouldAndSkipsTheRest) {
    const struct {
        const char* name;
        std::string text;
        std::size_t channels;
        std::vector<double> values;
    } cases[] = {
        {"plain", "1,2\n3,4\n", 2, {1, 2, 3, 4}},
        {"comments and blank lines", "# head\n\n1\n  \t\n  # indented\n2\n", 1, {1, 2}},
        {"blanks, plus signs", " +1 ,\t-2.5e1 \n+.5,3.\n", 2, {1, -25, 0.5, 3}},
        {"specials", "nan,inf,-inf\n", 3, {NAN, INFINITY, -INFINITY}},
        {"CRLF and no final line break", "1,2\r\n3,4", 2, {1, 2, 3, 4}},
        {"byte order mark",
         "\xEF\xBB\xBF"
         "5\n6\n",
         1,
         {5, 6}},
    };
    ScratchFolder folder;
    for (const auto& c : cases) {
        const auto data = readSignal(folder.write("in.csv", c.text), SignalFormat::Csv,
                                     std::nullopt, Precision::Double);
        EXPECT_EQ(data.channels, c.channels) << c.name;
        ASSERT_EQ(data.values.size(), c.values.size()) << c.name;
        for (std::size_t i = 0; i < c.values.size(); ++i) {
            EXPECT_TRUE(data.values[i] == c.values[i] ||
                        (std::isnan(data.values[i]) && std::isnan(c.values[i])))
                << c.name << " value " << i;
        }
    }
}

TEST(CsvSignalReader, ReportsEachFaultWithFileLineAndColumn) {
    const struct {
        std::string text;
        std::optional<std::size_t> channels;
        const char* message;  // after the file name
    } cases[] = {
        {"", std::nullopt, ": no data"},
        {"# only\n\n   \n# comments\n", std::nullopt, ": no data"},
        {"1,2\n3\n", std::nullopt, ":2:2: expected 2 values, found 1"},
        {"1,2\n3,4,5\n", std::nullopt, ":2:5: expected 2 values, found 3"},
        {"1,2\n3,4,  5,6\n", std::nullopt, ":2:7: expected 2 values, found 4"},
        {"1,2\r\n3,4\r\n5 \r\n", std::nullopt, ":3:3: expected 2 values, found 1"},
        {"1,2\n", std::size_t{3}, ":1:4: expected 3 values, found 2"},
        {"1,2\n", std::size_t{1}, ":1:3: expected 1 value, found 2"},
        {"1,x\n", std::nullopt, ":1:3: not a number: 'x'"},
        {"1,  abc \n", std::nullopt, ":1:5: not a number: 'abc'"},
        {"1,,2\n", std::nullopt, ":1:3: not a number: ''"},
        {"1,2,\n", std::nullopt, ":1:5: not a number: ''"},
        {"1,  ,2\n", std::nullopt, ":1:3: not a number: ''"},
        {"# c\n\n1\n\n2\n+-3\n", std::nullopt, ":6:1: not a number: '+-3'"},
        {"1,2\n3,4 5\n", std::nullopt, ":2:3: not a number: '4 5'"},
        {"1\n\x01\x7F\n", std::nullopt,
         ":2:1: not a number: '?"
         "?'"},
        {"1\n" + std::string(50, 'z') + "\n", std::nullopt,
         ":2:1: not a number: 'zzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzz...'"},
        {"1\n", std::size_t{0}, ": the channel count must be at least 1"},
    };
    ScratchFolder folder;
    for (const auto& c : cases) {
        const std::string path = folder.write("in.csv", c.text);
        EXPECT_EQ(
            errorOf([&] { readSignal(path, SignalFormat::Csv, c.channels, Precision::Double); }),
            path + c.message)
            << c.text;
    }
}

TEST(CsvSignalReader, ReportsFilesThatCannotBeOpened) {
    ScratchFolder folder;
    const std::string missing = folder.file("missing.csv");
    EXPECT_EQ(
        errorOf([&] { SignalReader::open(missing, SignalFormat::Csv, {}, Precision::Double); }),
        missing + ": cannot open: No such file or directory");
    const std::string here = folder.file("");
    EXPECT_EQ(errorOf([&] { SignalReader::open(here, SignalFormat::Csv, {}, Precision::Double); }),
              here + ": cannot open: Is a directory");
}

// Lines far longer than the read buffer, and many lines crossing buffer boundaries, read back the
// same in chunks of any size.
TEST(CsvSignalReader, ReadsAnyLineLengthInAnyChunkSize) {
    ScratchFolder folder;
    const std::size_t wideChannels = 150000;  // a line of about 2 MiB
    std::string wide;
    for (int line = 0; line < 2; ++line) {
        for (std::size_t i = 0; i < wideChannels; ++i) {
            wide += std::to_string(line * 1000000 + static_cast<int>(i)) + ".25" +
                    (i + 1 < wideChannels ? "," : "\n");
        }
    }
    const auto wideData =
        readSignal(folder.write("wide.csv", wide), SignalFormat::Csv, {}, Precision::Double, 1);
    ASSERT_EQ(wideData.channels, wideChannels);
    ASSERT_EQ(wideData.values.size(), 2 * wideChannels);
    EXPECT_EQ(wideData.values[wideChannels - 1], static_cast<double>(wideChannels - 1) + 0.25);
    EXPECT_EQ(wideData.values[wideChannels + 7], 1000007.25);

    std::string tall;
    const int tallSteps = 60000;  // about 2.5 MiB
    for (int step = 0; step < tallSteps; ++step) {
        tall += "0.12345678901234567," + std::to_string(-step) + "\n";
    }
    const std::string path = folder.write("tall.csv", tall);
    for (const std::size_t chunk : {1, 7, 4096, 100000}) {
        const auto data = readSignal(path, SignalFormat::Csv, {}, Precision::Double, chunk);
        ASSERT_EQ(data.values.size(), 2u * tallSteps) << chunk;
        for (int step = 0; step < tallSteps; ++step) {
            ASSERT_EQ(data.values[2 * step], 0.12345678901234567) << chunk << " " << step;
            ASSERT_EQ(data.values[2 * step + 1], -step) << chunk << " " << step;
        }
    }
}

TEST(CsvSignalReader, ReportsALateFaultInTheCallThatReachesIt) {
    ScratchFolder folder;
    const std::string path = folder.write("in.csv", "1\n2\n3\nx\n");
    const auto reader = SignalReader::open(path, SignalFormat::Csv, {}, Precision::Double);
    double values[3] = {};
    EXPECT_EQ(reader->readSteps(values, 3), 3u);
    EXPECT_EQ(values[2], 3.0);
    EXPECT_EQ(errorOf([&] { reader->readSteps(values, 3); }), path + ":4:1: not a number: 'x'");
}

}  // namespace
}  // namespace kq::kqhost
