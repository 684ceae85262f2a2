// kqhost validate end to end: it passes the real block, replays a run from its printed seed, and
// catches blocks that spoil one output bit, leave an output unwritten, change their input or keep
// their run-time record past terminate.
#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "process_runner.h"

namespace {

using kq::test::runProgram;
using kq::test::ScratchDir;

kq::test::ProcessResult validate(const std::vector<std::string>& options, const ScratchDir& dir) {
    std::vector<std::string> args = {"validate"};
    args.insert(args.end(), options.begin(), options.end());
    return runProgram(KQHOST_PATH, args, dir.path());
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// The first line that starts with `prefix`, or "" when there is none.
std::string lineStartingWith(const std::string& out, const std::string& prefix) {
    for (const std::string& line : linesOf(out)) {
        if (line.rfind(prefix, 0) == 0) {
            return line;
        }
    }
    return "";
}

// The whole number that follows `prefix` in `line` (where prefix first occurs), or -1.
int64_t numberAfter(const std::string& line, const std::string& prefix, int base = 10) {
    const size_t at = line.find(prefix);
    if (at == std::string::npos) {
        return -1;
    }
    const std::string rest = line.substr(at + prefix.size());
    const size_t digits = rest.find_first_not_of(base == 16 ? "0123456789abcdef" : "0123456789");
    if (digits == 0 || rest.empty()) {
        return -1;
    }
    return static_cast<int64_t>(std::stoull(rest.substr(0, digits), nullptr, base));
}

// The number on the summary line "NAME: N", or -1 when there is no such line.
int64_t summaryCount(const std::string& out, const std::string& name) {
    return numberAfter(lineStartingWith(out, name + ": "), name + ": ");
}

TEST(KqhostValidate, PassesTheRealBlockAndPrintsTheSeedThenTheSummary) {
    ScratchDir dir;
    const kq::test::ProcessResult result = validate({"--iterations", "200", "--seed", "1"}, dir);
    ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out.rfind("seed 1\n", 0), 0u) << result.out;
    EXPECT_NE(result.out.find("protocol checks: 14 of 14 passed\n"), std::string::npos)
        << result.out;
    EXPECT_EQ(summaryCount(result.out, "simulations"), 200) << result.out;
    EXPECT_GE(summaryCount(result.out, "output steps"), 200) << result.out;
    EXPECT_GE(summaryCount(result.out, "samples compared"),
              summaryCount(result.out, "output steps"))
        << result.out;
    EXPECT_EQ(summaryCount(result.out, "mismatches"), 0) << result.out;
    EXPECT_EQ(summaryCount(result.out, "input buffer changes"), 0) << result.out;
    EXPECT_EQ(summaryCount(result.out, "block errors"), 0) << result.out;
    EXPECT_NE(result.out.find("\nresult: pass\n"), std::string::npos) << result.out;
}

TEST(KqhostValidate, TheSameSeedGivesTheSameSummaryAndAnotherSeedAnotherRun) {
    ScratchDir dir;
    const kq::test::ProcessResult first = validate({"--iterations", "60", "--seed", "12345"}, dir);
    const kq::test::ProcessResult again = validate({"--iterations", "60", "--seed", "12345"}, dir);
    const kq::test::ProcessResult other = validate({"--iterations", "60", "--seed", "12346"}, dir);
    ASSERT_EQ(first.exitCode, 0) << first.out << first.err;
    EXPECT_EQ(again.out, first.out);
    EXPECT_EQ(again.exitCode, first.exitCode);
    // Another seed draws other setups: the work done differs.
    EXPECT_NE(summaryCount(other.out, "samples compared"),
              summaryCount(first.out, "samples compared"));
}

TEST(KqhostValidate, ASeedFromTheClockIsPrintedAndReplaysTheRun) {
    ScratchDir dir;
    const kq::test::ProcessResult clocked = validate({"--iterations", "30"}, dir);
    ASSERT_EQ(clocked.exitCode, 0) << clocked.out << clocked.err;
    const std::vector<std::string> lines = linesOf(clocked.out);
    ASSERT_FALSE(lines.empty());
    const int64_t seed = numberAfter(lines[0], "seed ");
    ASSERT_GE(seed, 0) << clocked.out;
    EXPECT_EQ(lines[0], "seed " + std::to_string(seed));
    const kq::test::ProcessResult replay =
        validate({"--iterations", "30", "--seed", std::to_string(seed)}, dir);
    EXPECT_EQ(replay.out, clocked.out);
}

TEST(KqhostValidate, CatchesABlockThatFlipsOneOutputBitPerStep) {
    ScratchDir dir;
    const kq::test::ProcessResult result =
        validate({"--block", KQ_BROKEN_BLOCK_PATH, "--iterations", "20", "--seed", "1"}, dir);
    EXPECT_EQ(result.exitCode, 1) << result.out << result.err;
    EXPECT_EQ(result.err, "");
    // The broken block answers everything else as the real one does.
    EXPECT_NE(result.out.find("protocol checks: 14 of 14 passed\n"), std::string::npos)
        << result.out;
    // One spoiled value per output step, and every one of them caught.
    EXPECT_EQ(summaryCount(result.out, "mismatches"), summaryCount(result.out, "output steps"))
        << result.out;
    EXPECT_EQ(summaryCount(result.out, "simulations"), 20) << result.out;
    EXPECT_NE(result.out.find("\nresult: FAIL\n"), std::string::npos) << result.out;

    // The first finding in full: the simulation and how to replay it, its setup, and where the
    // value was, with bits that differ in the lowest bit alone.
    const std::vector<std::string> lines = linesOf(result.out);
    ASSERT_GE(lines.size(), 4u) << result.out;
    const int64_t simulation = numberAfter(lines[1], "simulation ");
    EXPECT_EQ(lines[1], "simulation " + std::to_string(simulation) +
                            " of seed 1 (replay: kqhost validate --seed 1 --simulation " +
                            std::to_string(simulation) + ")");
    EXPECT_EQ(lines[2].rfind("  setup: ", 0), 0u) << lines[2];
    EXPECT_EQ(lines[3].rfind("  mismatch at output step ", 0), 0u) << lines[3];
    const int64_t expected = numberAfter(lines[3], "expected 0x", 16);
    const int64_t actual = numberAfter(lines[3], "actual 0x", 16);
    ASSERT_GE(expected, 0) << lines[3];
    EXPECT_EQ(expected ^ actual, 1) << lines[3];
}

TEST(KqhostValidate, CatchesOutputValuesNeverWrittenThroughTheMarker) {
    ScratchDir dir;
    const kq::test::ProcessResult result =
        validate({"--block", KQ_UNWRITING_BLOCK_PATH, "--iterations", "20", "--seed", "1"}, dir);
    EXPECT_EQ(result.exitCode, 1) << result.out << result.err;
    EXPECT_EQ(summaryCount(result.out, "input buffer changes"), 0) << result.out;
    // One value per output step is wrong: in a copying run it still holds the marker the host
    // wrote before the step; in place it holds the input, which is sometimes the right output.
    const int64_t neverWritten = summaryCount(result.out, "outputs never written");
    EXPECT_GT(neverWritten, 0) << result.out;
    EXPECT_GT(summaryCount(result.out, "mismatches"), neverWritten) << result.out;
    EXPECT_LE(summaryCount(result.out, "mismatches"), summaryCount(result.out, "output steps"))
        << result.out;
    bool shown = false;
    for (const std::string& line : linesOf(result.out)) {
        shown |= line.rfind("  mismatch at ", 0) == 0 && line.ends_with(" (never written)");
    }
    EXPECT_TRUE(shown) << result.out;
}

TEST(KqhostValidate, CatchesACopyingStepThatChangesItsInput) {
    ScratchDir dir;
    const kq::test::ProcessResult result = validate(
        {"--block", KQ_INPUT_CHANGING_BLOCK_PATH, "--iterations", "20", "--seed", "1"}, dir);
    EXPECT_EQ(result.exitCode, 1) << result.out << result.err;
    // The outputs are right; only the input was touched, once per copying output step.
    EXPECT_EQ(summaryCount(result.out, "mismatches"), 0) << result.out;
    EXPECT_GT(summaryCount(result.out, "input buffer changes"), 0) << result.out;
    EXPECT_LT(summaryCount(result.out, "input buffer changes"),
              summaryCount(result.out, "output steps"))
        << result.out;
    const std::string changed =
        lineStartingWith(result.out, "  input changed by a copying call at ");
    EXPECT_EQ(numberAfter(changed, ": was 0x", 16) ^ numberAfter(changed, ", now 0x", 16), 1)
        << result.out;
    EXPECT_NE(result.out.find("\nresult: FAIL\n"), std::string::npos) << result.out;
}

TEST(KqhostValidate, CatchesABlockThatKeepsItsRecordPastTerminate) {
    ScratchDir dir;
    const kq::test::ProcessResult result = validate(
        {"--block", KQ_RECORD_KEEPING_BLOCK_PATH, "--iterations", "20", "--seed", "1"}, dir);
    EXPECT_EQ(result.exitCode, 1) << result.out << result.err;
    EXPECT_EQ(result.err, "");
    // Its outputs are all right: only the count of tqCalloc blocks held gives it away.
    EXPECT_EQ(summaryCount(result.out, "mismatches"), 0) << result.out;
    EXPECT_NE(result.out.find("protocol checks: 13 of 14 passed\n"), std::string::npos)
        << result.out;
    EXPECT_NE(result.out.find("protocol check failed: start takes one record from tqCalloc and "
                              "terminate gives it back: blocks held from tqCalloc: 1 after start, "
                              "1 after terminate (expected 1 and 0)\n"),
              std::string::npos)
        << result.out;
    EXPECT_NE(result.out.find("\nresult: FAIL\n"), std::string::npos) << result.out;
}

TEST(KqhostValidate, ReplaysOneFailingSimulationOnItsOwn) {
    ScratchDir dir;
    const kq::test::ProcessResult whole =
        validate({"--block", KQ_BROKEN_BLOCK_PATH, "--iterations", "20", "--seed", "1"}, dir);
    const std::vector<std::string> lines = linesOf(whole.out);
    ASSERT_GE(lines.size(), 3u) << whole.out;
    const int64_t simulation = numberAfter(lines[1], "simulation ");
    ASSERT_GE(simulation, 0) << whole.out;
    const std::string header = lines[1] + "\n" + lines[2] + "\n";
    const kq::test::ProcessResult alone = validate({"--block", KQ_BROKEN_BLOCK_PATH, "--seed", "1",
                                                    "--simulation", std::to_string(simulation)},
                                                   dir);
    EXPECT_EQ(alone.exitCode, 1);
    EXPECT_EQ(summaryCount(alone.out, "simulations"), 1) << alone.out;
    // Same simulation, same setup, found again.
    EXPECT_NE(alone.out.find(header), std::string::npos) << alone.out << "\nexpected:\n" << header;
}

TEST(KqhostValidate, HelpListsTheOptions) {
    ScratchDir dir;
    const kq::test::ProcessResult result = validate({"--help"}, dir);
    EXPECT_EQ(result.exitCode, 0);
    for (const char* option : {"--block", "--iterations", "--seed", "--simulation"}) {
        EXPECT_NE(result.out.find(option), std::string::npos) << option;
    }
}

struct BadValidateOptions {
    std::string name;
    std::vector<std::string> options;
    std::string expectedInMessage;
};

class KqhostValidateBadOptions : public ::testing::TestWithParam<BadValidateOptions> {};

TEST_P(KqhostValidateBadOptions, OneLineOnStderrAndFailureStatus) {
    const BadValidateOptions& c = GetParam();
    ScratchDir dir;
    const kq::test::ProcessResult result = validate(c.options, dir);
    EXPECT_EQ(result.exitCode, 1) << result.out << result.err;
    EXPECT_EQ(result.err.rfind("kqhost: ", 0), 0u) << result.err;
    EXPECT_NE(result.err.find(c.expectedInMessage), std::string::npos) << result.err;
    EXPECT_EQ(result.out.find("result:"), std::string::npos) << result.out;
}

INSTANTIATE_TEST_SUITE_P(
    Table, KqhostValidateBadOptions,
    ::testing::Values(
        BadValidateOptions{"UnknownOption", {"--bogus"}, "unknown option '--bogus'"},
        BadValidateOptions{"IterationsNotANumber", {"--iterations", "many"}, "--iterations"},
        BadValidateOptions{"NegativeSeed", {"--seed", "-1"}, "--seed"},
        BadValidateOptions{"SeedMissing", {"--seed"}, "--seed needs a value"},
        BadValidateOptions{"SimulationNotANumber", {"--simulation", "x"}, "--simulation"},
        BadValidateOptions{"MissingBlock",
                           {"--block", "/nonexistent/kqphasefix2.so"},
                           "cannot load block library"}),
    [](const ::testing::TestParamInfo<BadValidateOptions>& testCase) {
        return testCase.param.name;
    });

}  // namespace
