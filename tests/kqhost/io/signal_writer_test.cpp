#include "sim/kqhost/io/signal_writer.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#endif

#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "scratch_folder.h"
#include "signal_io_helpers.h"

namespace kq::kqhost {
namespace {

using test::errorOf;
using test::ScratchFolder;

TEST(SignalWriter, WritesCsvWithTheDigitsOfThePrecision) {
    const std::vector<double> values = {0.1, -0.0, NAN, -INFINITY, 1e-310, 2.5};
    const struct {
        Precision precision;
        const char* text;
    } cases[] = {
        {Precision::Double, "0.10000000000000001,-0\nnan,-inf\n9.9999999999999694e-311,2.5\n"},
        {Precision::Single, "0.100000001,-0\nnan,-inf\n0,2.5\n"},
    };
    ScratchFolder folder;
    for (const auto& c : cases) {
        const auto writer =
            SignalWriter::open(folder.file("out.csv"), SignalFormat::Csv, 2, c.precision);
        writer->writeSteps(values.data(), 1);
        writer->writeSteps(values.data() + 2, 2);
        writer->commit();
        EXPECT_EQ(folder.read("out.csv"), c.text);
    }
}

TEST(SignalWriter, ShowsTheFileOnlyAtCommit) {
    ScratchFolder folder;
    folder.write("out.csv", "old\n");
    const double values[] = {1.0, 2.0};
    {
        const auto writer =
            SignalWriter::open(folder.file("out.csv"), SignalFormat::Csv, 2, Precision::Double);
        writer->writeSteps(values, 1);
        const std::set<std::string> during = folder.listing();
        ASSERT_EQ(during.size(), 2u);
        EXPECT_EQ(during.begin()->rfind(".out.csv.", 0), 0u) << *during.begin();
        EXPECT_EQ(folder.read("out.csv"), "old\n");
    }
    EXPECT_EQ(folder.listing(), std::set<std::string>{"out.csv"});
    EXPECT_EQ(folder.read("out.csv"), "old\n");

    const auto writer =
        SignalWriter::open(folder.file("out.csv"), SignalFormat::Csv, 2, Precision::Double);
    writer->writeSteps(values, 1);
    writer->commit();
    EXPECT_EQ(folder.listing(), std::set<std::string>{"out.csv"});
    EXPECT_EQ(folder.read("out.csv"), "1,2\n");
#ifndef _WIN32  // Windows files carry no permission bits
    struct stat status {};
    ASSERT_EQ(::stat(folder.file("out.csv").c_str(), &status), 0);
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(status.st_mode & 0777, 0666 & ~mask);
#endif
}

// Room set aside for more steps than come (an input that shrank while it was read) is given back
// at commit, and never shows as data; a raw file of more steps than expected just grows.
TEST(SignalWriter, RawOutputHoldsWhatWasWrittenWhateverWasExpected) {
    const std::vector<double> values = {0.5, -1.25, 3.0, 1e300};
    const struct {
        std::uint64_t expected;
        std::size_t written;
    } cases[] = {{1u << 20, 2}, {1, 4}, {4, 4}, {0, 4}};
    ScratchFolder folder;
    for (const auto& c : cases) {
        const auto writer =
            SignalWriter::open(folder.file("out.f64"), SignalFormat::F64, 1, Precision::Double);
        writer->expectSteps(c.expected);
        writer->writeSteps(values.data(), c.written);
        writer->commit();
        const std::string bytes = folder.read("out.f64");
        ASSERT_EQ(bytes.size(), c.written * sizeof(double)) << c.expected;
        EXPECT_EQ(bytes, std::string(reinterpret_cast<const char*>(values.data()),
                                     c.written * sizeof(double)));
#ifndef _WIN32
        struct stat status {};
        ASSERT_EQ(::stat(folder.file("out.f64").c_str(), &status), 0);
        EXPECT_LT(status.st_blocks * 512, 1 << 16) << "room of " << c.expected << " steps kept";
#endif
    }
}

TEST(SignalWriter, RefusesOutputsItCannotWriteAndLeavesNothing) {
    ScratchFolder folder;
    folder.write("file", "x");
    const std::string inFile = folder.file("file/out.csv");
    const std::string noFolder = folder.file("missing/out.f64");
    const struct {
        std::string path;
        SignalFormat format;
        Precision precision;
        std::size_t channels;
        std::string message;
    } cases[] = {
        {noFolder, SignalFormat::F64, Precision::Double, 1,
         noFolder + ": cannot write: No such file or directory"},
        {inFile, SignalFormat::Csv, Precision::Double, 1,
         inFile + ": cannot write: Not a directory"},
        {folder.file("o.f64"), SignalFormat::F64, Precision::Single, 1,
         folder.file("o.f64") +
             ": .f64 output holds double precision, but the values are single precision; use .f32 "
             "or .csv"},
        {folder.file("o.f32"), SignalFormat::F32, Precision::Double, 1,
         folder.file("o.f32") +
             ": .f32 output holds single precision, but the values are double precision; use .f64 "
             "or .csv"},
        {folder.file("o.csv"), SignalFormat::Csv, Precision::Double, 0,
         folder.file("o.csv") + ": the channel count must be at least 1"},
        {"-", SignalFormat::F64, Precision::Double, 1, "<stdout>: standard output takes CSV only"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(errorOf([&] { SignalWriter::open(c.path, c.format, c.channels, c.precision); }),
                  c.message);
    }
    EXPECT_EQ(folder.listing(), std::set<std::string>{"file"});

    // A folder in the way shows at commit.
    std::filesystem::create_directory(folder.file("taken.csv"));
    const auto writer =
        SignalWriter::open(folder.file("taken.csv"), SignalFormat::Csv, 1, Precision::Double);
    EXPECT_EQ(errorOf([&] { writer->commit(); }),
              folder.file("taken.csv") + ": cannot write: Is a directory");
    EXPECT_EQ(folder.listing(), (std::set<std::string>{"file", "taken.csv"}));
}

#ifndef _WIN32  // Windows has no file size limit to set
// Writes more than the file size limit allows; exits 0 if that was reported as it should be and
// no file was left behind.
[[noreturn]] void writePastTheSizeLimit(const ScratchFolder& folder, const std::string& path) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{100000, 100000};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    const std::string error = errorOf([&] {
        const std::vector<double> values(1 << 20, 0.5);
        const auto writer = SignalWriter::open(path, SignalFormat::F64, 1, Precision::Double);
        writer->writeSteps(values.data(), values.size());
        writer->commit();
    });
    std::fprintf(stderr, "%s\n", error.c_str());
    const bool clean = error == path + ": cannot write: File too large" && folder.listing().empty();
    std::_Exit(clean ? 0 : 1);
}

// A write that fails half way is reported and the partial file removed. In a child process,
// since the size limit would hold for the whole test program.
TEST(SignalWriter, ReportsAFailedWriteAndRemovesThePartialFile) {
    ScratchFolder folder;
    EXPECT_EXIT(writePastTheSizeLimit(folder, folder.file("big.f64")), testing::ExitedWithCode(0),
                "File too large");
}
#endif

TEST(SignalWriter, WritesCsvToStandardOutput) {
    const double values[] = {-1.5, INFINITY};
    testing::internal::CaptureStdout();
    {
        const auto writer = SignalWriter::open("-", SignalFormat::Csv, 1, Precision::Double);
        writer->writeSteps(values, 2);
        writer->commit();
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "-1.5\ninf\n");
}

}  // namespace
}  // namespace kq::kqhost
