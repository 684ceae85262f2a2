// Every bad input a user can give kqhost: one clear line on stderr, a failure status, no output
// file and no temporary file left behind, and no crash.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "process_runner.h"

namespace {

using kq::test::runProgram;
using kq::test::ScratchDir;

struct BadInput {
    std::string name;
    std::vector<std::string> args;  // "@" is replaced by the scratch folder
    std::string expectedInMessage;
};

// Files every case can use.
void writeFixtures(const ScratchDir& dir) {
    kq::test::writeFile(dir / "good.csv", "0,1\n2,3\n4,5\n");
    kq::test::writeFile(dir / "ragged.csv", "0,1\n2\n");
    kq::test::writeFile(dir / "extra.csv", "0,1\n2,3,4\n");
    kq::test::writeFile(dir / "word.csv", "# phase\n0,1\n2,abc\n");
    kq::test::writeFile(dir / "empty.csv", "");
    kq::test::writeFile(dir / "comments.csv", "# nothing\n\n# here\n");
    kq::test::writeFile(dir / "odd.f64", std::string(12, '\0'));
    kq::test::writeFile(dir / "good.f64", std::string(16, '\0'));
    kq::test::writeFile(dir / "good.txt", "0\n");
    std::filesystem::create_directory(dir / "folder.csv");
    std::filesystem::copy_file(KQ_BLOCK_MODULE_PATH, dir / "renamed.so");
}

std::vector<std::string> fixtureNames() {
    return {"comments.csv", "empty.csv", "extra.csv",  "folder.csv", "good.csv", "good.f64",
            "good.txt",     "odd.f64",   "ragged.csv", "renamed.so", "word.csv"};
}

class KqhostBadInput : public ::testing::TestWithParam<BadInput> {};

TEST_P(KqhostBadInput, OneLineOnStderrFailureStatusAndNoOutputLeft) {
    const BadInput& c = GetParam();
    ScratchDir dir;
    writeFixtures(dir);
    std::vector<std::string> args;
    for (std::string arg : c.args) {
        if (const size_t at = arg.find('@'); at != std::string::npos) {
            arg.replace(at, 1, dir.path().string());
        }
        args.push_back(arg);
    }
    const kq::test::ProcessResult result = runProgram(KQHOST_PATH, args, dir.path());
    EXPECT_GT(result.exitCode, 0) << "exit " << result.exitCode << ", stderr: " << result.err;
    EXPECT_EQ(result.err.rfind("kqhost: ", 0), 0u) << result.err;
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    EXPECT_NE(result.err.find(c.expectedInMessage), std::string::npos) << result.err;
    EXPECT_EQ(result.out, "");
    std::vector<std::string> left = dir.entries();
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, fixtureNames());
}

INSTANTIATE_TEST_SUITE_P(
    Table, KqhostBadInput,
    ::testing::Values(
        BadInput{"UnknownCommand", {"frobnicate"}, "unknown command 'frobnicate'"},
        BadInput{"RunWithOneFile", {"run", "@/good.csv"}, "expected INPUT and OUTPUT"},
        BadInput{"RunWithThreeFiles",
                 {"run", "@/good.csv", "@/a.csv", "@/b.csv"},
                 "expected INPUT and OUTPUT"},
        BadInput{"UnknownOption",
                 {"run", "--bogus", "@/good.csv", "@/out.csv"},
                 "unknown option '--bogus'"},
        BadInput{"MissingInput", {"run", "@/absent.csv", "@/out.csv"}, "absent.csv: cannot open"},
        BadInput{"InputIsAFolder", {"run", "@/folder.csv", "@/out.csv"}, "folder.csv"},
        BadInput{"EmptyCsv", {"run", "@/empty.csv", "@/out.csv"}, "empty.csv: no data"},
        BadInput{"CommentOnlyCsv", {"run", "@/comments.csv", "@/out.csv"}, "comments.csv: no data"},
        BadInput{"RaggedCsv",
                 {"run", "@/ragged.csv", "@/out.csv"},
                 "ragged.csv:2:2: expected 2 values, found 1"},
        BadInput{"ExtraFieldCsv", {"run", "@/extra.csv", "@/out.csv"}, "extra.csv:2:"},
        BadInput{"NonNumericCsv",
                 {"run", "@/word.csv", "@/out.csv"},
                 "word.csv:3:3: not a number: 'abc'"},
        BadInput{"RawWithoutChannels", {"run", "@/good.f64", "@/out.f64"}, "--channels"},
        BadInput{"RawSizeNotWholeSteps",
                 {"run", "--channels", "1", "@/odd.f64", "@/out.f64"},
                 "12 bytes"},
        BadInput{"ChannelsMismatchCsv",
                 {"run", "--channels", "3", "@/good.csv", "@/out.csv"},
                 "good.csv"},
        BadInput{
            "ZeroChannels", {"run", "--channels", "0", "@/good.f64", "@/out.f64"}, "--channels"},
        BadInput{"NegativeChannels",
                 {"run", "--channels", "-3", "@/good.f64", "@/out.f64"},
                 "--channels"},
        BadInput{
            "WordChannels", {"run", "--channels", "two", "@/good.f64", "@/out.f64"}, "--channels"},
        BadInput{"ZeroFrame", {"run", "--frame", "0", "@/good.csv", "@/out.csv"}, "--frame"},
        BadInput{"NegativeFrame", {"run", "--frame=-1", "@/good.csv", "@/out.csv"}, "--frame"},
        BadInput{"WordTolerance",
                 {"run", "--tolerance", "abc", "@/good.csv", "@/out.csv"},
                 "--tolerance: not a number: 'abc'"},
        BadInput{
            "EmptyTolerance", {"run", "--tolerance=", "@/good.csv", "@/out.csv"}, "--tolerance"},
        BadInput{"NanTolerance",
                 {"run", "--tolerance", "nan", "@/good.csv", "@/out.csv"},
                 "must be a finite number"},
        BadInput{"InfiniteTolerance",
                 {"run", "--tolerance", "-inf", "@/good.csv", "@/out.csv"},
                 "must be a finite number"},
        BadInput{"ToleranceWithoutValue",
                 {"run", "@/good.csv", "@/out.csv", "--tolerance"},
                 "--tolerance needs a value"},
        BadInput{"UnknownMode", {"run", "--mode", "sideways", "@/good.csv", "@/out.csv"}, "--mode"},
        BadInput{"UnknownPrecision",
                 {"run", "--precision", "quad", "@/good.csv", "@/out.csv"},
                 "--precision"},
        BadInput{
            "UnknownShape", {"run", "--shape", "diagonal", "@/good.csv", "@/out.csv"}, "--shape"},
        BadInput{"ShapeWithFrame",
                 {"run", "--frame", "2", "--shape", "column", "@/good.csv", "@/out.csv"},
                 "--shape"},
        BadInput{"ContinuousSampleTime",
                 {"run", "--sample-time", "0", "@/good.csv", "@/out.csv"},
                 "kqhost: Input to block must have a discrete sample time"},
        BadInput{"NegativeSampleTime",
                 {"run", "--sample-time", "-1", "@/good.csv", "@/out.csv"},
                 "--sample-time"},
        BadInput{"ToleranceStepPastTheEnd",
                 {"run", "--set-tolerance", "3:1", "@/good.csv", "@/out.csv"},
                 "step 3 is past the end"},
        BadInput{"ResetPastTheEnd",
                 {"run", "--reset", "99", "@/good.csv", "@/out.csv"},
                 "step 99 is past the end"},
        BadInput{"ToleranceChangeWithoutColon",
                 {"run", "--set-tolerance", "1", "@/good.csv", "@/out.csv"},
                 "STEP:X"},
        BadInput{"ToleranceChangeNotFinite",
                 {"run", "--set-tolerance", "1:nan", "@/good.csv", "@/out.csv"},
                 "must be a finite number"},
        BadInput{"ResetNotAStep", {"run", "--reset", "x", "@/good.csv", "@/out.csv"}, "--reset"},
        BadInput{"OutputFolderMissing", {"run", "@/good.csv", "@/missing/out.csv"}, "cannot write"},
        BadInput{"OutputUnderAFile", {"run", "@/good.csv", "@/good.csv/out.csv"}, "cannot write"},
        BadInput{"UnknownInputExtension", {"run", "@/good.txt", "@/out.csv"}, "good.txt"},
        BadInput{"UnknownOutputExtension", {"run", "@/good.csv", "@/out.xyz"}, "out.xyz"},
        BadInput{"RawOutputOfTheWrongPrecision", {"run", "@/good.csv", "@/out.f32"}, "out.f32"},
        BadInput{"MissingBlockLibrary",
                 {"run", "--block", "@/absent.so", "@/good.csv", "@/out.csv"},
                 "cannot load block library"},
        BadInput{"LibraryWithoutEntryPoint",
                 {"run", "--block", LIBVZ_PATH, "@/good.csv", "@/out.csv"},
                 "has no kvxFunction"},
        BadInput{"BlockUnderAnotherName",
                 {"run", "--block", "@/renamed.so", "@/good.csv", "@/out.csv"},
                 "R-block name mismatch"},
        BadInput{"SizesUnknownOption", {"sizes", "--bogus"}, "unknown option '--bogus'"},
        BadInput{"SizesFlagNotAnInteger", {"sizes", "--flag", "0.5"}, "must be an integer"},
        BadInput{"GxwZeroChannels", {"gxw", "--channels", "0"}, "--channels"},
        BadInput{"GenerateUnknownOption",
                 {"generate", "--output-dir", "@/gen", "--bogus"},
                 "unknown option '--bogus'"},
        BadInput{"GenerateWithoutOutputDir", {"generate"}, "expected --output-dir"},
        BadInput{"GenerateNameNotAnIdentifier",
                 {"generate", "--name", "2fast", "--output-dir", "@/gen"},
                 "not a C identifier"},
        BadInput{"GenerateNameAKeyword",
                 {"generate", "--name", "double", "--output-dir", "@/gen"},
                 "a C keyword"},
        BadInput{"GenerateNameOfTheRuntime",
                 {"generate", "--name", "kq_unwrap_runtime", "--output-dir", "@/gen"},
                 "belongs to the runtime"},
        BadInput{"GenerateFromARecordWithoutRunning",
                 {"generate", "--block", KQ_BROKEN_RECORD_BLOCK_PATH, "--output-dir", "@/gen"},
                 "code-generation record: no Running setting"},
        BadInput{"GenerateIntoAFile", {"generate", "--output-dir", "@/good.csv"}, "good.csv"},
        BadInput{"GenerateFromARecordWithACutoffOfAnotherType",
                 {"generate", "--block", KQ_DISAGREEING_RECORD_BLOCK_PATH, "--precision", "double",
                  "--output-dir", "@/gen"},
                 "Cutoff is not of the port's data type"},
        BadInput{"GenerateNameOfAStandardHeader",
                 {"generate", "--name", "stdint", "--output-dir", "@/gen"},
                 "stdint.h would shadow the C standard header <stdint.h>"},
        BadInput{"GenerateNameOfAStandardHeaderInCapitals",
                 {"generate", "--name", "Math", "--output-dir", "@/gen"},
                 "the C standard header <math.h>"},
        BadInput{"GenerateNameOfARuntimeFile",
                 {"generate", "--name", "kq_wrap_step", "--output-dir", "@/gen"},
                 "belongs to the runtime and its files"},
        BadInput{"GenerateNameOfARuntimeFileInCapitals",
                 {"generate", "--name", "KQ_UNWRAP_RUNTIME", "--output-dir", "@/gen"},
                 "belongs to the runtime and its files"},
        BadInput{"GenerateNameOneCharacterTooLong",
                 {"generate", "--name", std::string(41, 'n'), "--output-dir", "@/gen"},
                 "longer than 40 characters"},
        BadInput{"GenerateRepeatedOutputDir",
                 {"generate", "--output-dir", "@/gen", "--output-dir", "@/other"},
                 "--output-dir is given twice"},
        BadInput{"GenerateRepeatedSetupOption",
                 {"generate", "--channels", "2", "--output-dir", "@/gen", "--channels=3"},
                 "--channels is given twice"},
        BadInput{"GenerateOptionInPlaceOfAValue",
                 {"generate", "--output-dir", "--name", "m"},
                 "--output-dir needs a value"},
        BadInput{"GenerateEmptyName",
                 {"generate", "--name=", "--output-dir", "@/gen"},
                 "--name needs a value"},
        BadInput{"GenerateNameWithoutValue",
                 {"generate", "--output-dir", "@/gen", "--name"},
                 "--name needs a value"},
        BadInput{"GenerateHexToleranceWithoutDigits",
                 {"generate", "--tolerance", "0x", "--output-dir", "@/gen"},
                 "--tolerance: not a number: '0x'"},
        BadInput{"GenerateHexToleranceWithTwoSigns",
                 {"generate", "--tolerance", "-0x-1p0", "--output-dir", "@/gen"},
                 "--tolerance: not a number"},
        BadInput{"GenerateHexToleranceBeyondTheRange",
                 {"generate", "--tolerance", "0x1p1024", "--output-dir", "@/gen"},
                 "must be a finite number"},
        BadInput{"RunRepeatedChannels",
                 {"run", "--channels", "2", "--channels", "3", "@/good.csv", "@/out.csv"},
                 "--channels is given twice"},
        BadInput{"RunRepeatedFlag",
                 {"run", "--in-place", "@/good.csv", "--in-place", "@/out.csv"},
                 "--in-place is given twice"},
        BadInput{"RunOptionInPlaceOfAValue",
                 {"run", "--tolerance", "--mode", "running", "@/good.csv", "@/out.csv"},
                 "--tolerance needs a value"},
        BadInput{"RunHexToleranceChangeNotFinite",
                 {"run", "--set-tolerance", "1:-0x1p1024", "@/good.csv", "@/out.csv"},
                 "must be a finite number"},
        // The version belongs to kqhost, not to a command.
        BadInput{"VersionAfterACommand", {"sizes", "--version"}, "unknown option '--version'"}),
    [](const auto& testCase) { return testCase.param.name; });

TEST(KqhostUsage, NoArgumentsPrintsUsageAndFails) {
    ScratchDir dir;
    const auto result = runProgram(KQHOST_PATH, {}, dir.path());
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_NE(result.err.find("Usage: kqhost"), std::string::npos);
}

TEST(KqhostUsage, VersionIsTheProjectVersionAndTheUsageNamesIt) {
    ScratchDir dir;
    const auto version = runProgram(KQHOST_PATH, {"--version"}, dir.path());
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, "kqhost " KQ_PROJECT_VERSION "\n");
    EXPECT_EQ(version.err, "");
    const auto usage = runProgram(KQHOST_PATH, {"--help"}, dir.path());
    EXPECT_NE(usage.out.find("kqhost --version"), std::string::npos) << usage.out;
}

TEST(KqhostUsage, EveryCommandHasHelp) {
    ScratchDir dir;
    for (const char* command : {"run", "gxw", "generate", "sizes"}) {
        const auto result = runProgram(KQHOST_PATH, {command, "--help"}, dir.path());
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_NE(result.out.find(std::string("Usage: kqhost ") + command), std::string::npos);
        EXPECT_NE(result.out.find("--block"), std::string::npos) << command;
    }
    const auto run = runProgram(KQHOST_PATH, {"run", "--help"}, dir.path());
    for (const char* option :
         {"--tolerance", "--mode", "--precision", "--frame", "--shape", "--in-place",
          "--sample-time", "--set-tolerance", "--reset", "--plot", "--trace", "--channels"}) {
        EXPECT_NE(run.out.find(option), std::string::npos) << option;
    }
}

}  // namespace
