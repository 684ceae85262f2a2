// kqhost generate as a user meets it: every file of the model is replaced or none is, the code is
// made from the block's record rather than from kqhost's own options, the name's limits hold
// exactly, and the header states the command line that made it.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "process_runner.h"
#include "sim/kqhost/generate/generated_model.h"
#include "sim/kqhost/generate/runtime_sources.h"

namespace {

using kq::test::readWholeFile;
using kq::test::runProgram;
using kq::test::ScratchDir;

// The files generate writes for the model m, in the order it writes them.
std::vector<std::string> modelFiles() {
    std::vector<std::string> files = {"m.h", "m.c"};
    for (const kq::kqhost::RuntimeSource& source : kq::kqhost::runtimeSources()) {
        files.emplace_back(source.fileName);
    }
    return files;
}
const std::vector<std::string> kModelFiles = modelFiles();

std::vector<std::string> sortedEntries(const std::filesystem::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// A folder in place of one output file: the rename onto it fails after those before it in the
// order were already renamed into place, and they must be put back as they were.
class KqhostGenerateAllOrNothing : public ::testing::TestWithParam<std::string> {};

TEST_P(KqhostGenerateAllOrNothing, AFolderInPlaceOfOneFileLeavesEveryOtherFileAsItWas) {
    ScratchDir dir;
    const std::filesystem::path gen = dir / "gen";
    std::filesystem::create_directory(gen);
    for (const std::string& file : kModelFiles) {
        if (file == GetParam()) {
            std::filesystem::create_directory(gen / file);
        } else {
            kq::test::writeFile(gen / file, "earlier " + file + "\n");
        }
    }
    const auto result = runProgram(
        KQHOST_PATH, {"generate", "--name", "m", "--output-dir", gen.string()}, dir.path());
    EXPECT_EQ(result.exitCode, 1) << result.err;
    EXPECT_EQ(result.err.rfind("kqhost: ", 0), 0u) << result.err;
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    EXPECT_NE(result.err.find(GetParam()), std::string::npos) << result.err;
    for (const std::string& file : kModelFiles) {
        if (file == GetParam()) {
            EXPECT_TRUE(std::filesystem::is_directory(gen / file));
        } else {
            EXPECT_EQ(readWholeFile(gen / file), "earlier " + file + "\n") << file;
        }
    }
    std::vector<std::string> expected = kModelFiles;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(sortedEntries(gen), expected);  // and no temporary file left
}

INSTANTIATE_TEST_SUITE_P(EachOutputFile, KqhostGenerateAllOrNothing,
                         ::testing::ValuesIn(kModelFiles), [](const auto& testCase) {
                             std::string name = testCase.param;
                             std::replace(name.begin(), name.end(), '.', '_');
                             return name;
                         });

TEST(KqhostGenerate, WithoutAFailureEveryFileIsReplaced) {
    ScratchDir dir;
    const std::filesystem::path gen = dir / "gen";
    std::filesystem::create_directory(gen);
    for (const std::string& file : kModelFiles) {
        kq::test::writeFile(gen / file, "earlier\n");
    }
    const auto result = runProgram(
        KQHOST_PATH, {"generate", "--name", "m", "--output-dir", gen.string()}, dir.path());
    ASSERT_EQ(result.exitCode, 0) << result.err;
    for (const std::string& file : kModelFiles) {
        EXPECT_NE(readWholeFile(gen / file), "earlier\n") << file;
    }
}

// The disagreeing block's record says Running 1 and Cutoff 0.5 (binary32), whatever the options:
// the code must be the running kernel's with that cutoff, though the options ask for a stateless
// unwrap with kqhost's default tolerance.
TEST(KqhostGenerate, TakesRunningAndCutoffFromTheRecordNotFromItsOptions) {
    ScratchDir dir;
    const auto result =
        runProgram(KQHOST_PATH,
                   {"generate", "--block", KQ_DISAGREEING_RECORD_BLOCK_PATH, "--mode", "stateless",
                    "--precision", "single", "--name", "m", "--output-dir", (dir / "gen").string()},
                   dir.path());
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const std::string source = readWholeFile(dir / "gen" / "m.c");
    EXPECT_NE(source.find("kq_unwrap_running_sample_copy_sgl("), std::string::npos) << source;
    EXPECT_EQ(source.find("stateless"), std::string::npos) << source;
    EXPECT_NE(source.find("state->cutoff = (float)0x1p-1;"), std::string::npos) << source;
    const std::string header = readWholeFile(dir / "gen" / "m.h");
    EXPECT_NE(header.find("Running 1"), std::string::npos);
    EXPECT_NE(header.find("m_real prev[1];"), std::string::npos) << header;
}

// A name of exactly the longest length is taken (one more is a row of the bad-input table).
TEST(KqhostGenerate, TakesANameOfTheLongestLength) {
    ScratchDir dir;
    const std::string name(kq::kqhost::kMaxModelNameLength, 'n');
    const auto result = runProgram(
        KQHOST_PATH, {"generate", "--name", name, "--output-dir", (dir / "gen").string()},
        dir.path());
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(std::filesystem::is_regular_file(dir / "gen" / (name + ".h")));
    EXPECT_TRUE(std::filesystem::is_regular_file(dir / "gen" / (name + ".c")));
}

TEST(KqhostGenerate, HeaderStatesTheVersionAndTheCommandLineAndTakesAHexTolerance) {
    ScratchDir dir;
    const std::string gen = (dir / "gen").string();
#ifdef _WIN32
    const std::string genAsWritten = "'" + gen + "'";  // a drive's colon and backslashes, quoted
#else
    const std::string genAsWritten = gen;  // a temporary folder's plain path
#endif
    const std::vector<std::string> args = {
        "generate", "--name", "m", "--output-dir", gen, "--tolerance=-0x1.921fb54442d18p+1"};
    const auto result = runProgram(KQHOST_PATH, args, dir.path());
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const std::string header = readWholeFile(dir / "gen" / "m.h");
    EXPECT_NE(header.find("generated by kqhost " KQ_PROJECT_VERSION
                          " with\n *     kqhost generate --name m --output-dir " +
                          genAsWritten + " --tolerance=-0x1.921fb54442d18p+1\n"),
              std::string::npos)
        << header;
    EXPECT_NE(header.find("Cutoff 0x1.921fb54442d18p+1 (double)"), std::string::npos) << header;
    EXPECT_NE(header.find("extern \"C\""), std::string::npos);
    const std::string runtime = readWholeFile(dir / "gen" / "kq_unwrap_runtime.h");
    const std::string source = readWholeFile(dir / "gen" / "m.c");
    const size_t at = runtime.find("#define KQ_RUNTIME_VERSION ");
    ASSERT_NE(at, std::string::npos);
    const std::string version = runtime.substr(at + 27, runtime.find('\n', at) - at - 27);
    EXPECT_NE(source.find("KQ_RUNTIME_VERSION != " + version + "\n"), std::string::npos)
        << version << "\n"
        << source;
}

struct QuotedLine {
    std::vector<std::string> arguments;
    std::string expected;
};

// The command line goes into a C comment: it must read back in a shell and leave the comment
// open.
TEST(KqhostGenerate, CommandLineIsQuotedForAShellAndForAComment) {
    const QuotedLine cases[] = {
        {{"--name", "m", "--output-dir", "a/b-c_1.d"},
         "kqhost generate --name m --output-dir a/b-c_1.d"},
        {{"--output-dir", "my models"}, "kqhost generate --output-dir 'my models'"},
        {{"--output-dir", ""}, "kqhost generate --output-dir ''"},
        {{"--output-dir", "it's"}, "kqhost generate --output-dir $'it\\'s'"},
        {{"--output-dir", "a*/b"}, "kqhost generate --output-dir $'a*\\057b'"},
        {{"--output-dir", "a/*b"}, "kqhost generate --output-dir $'a/\\052b'"},
        {{"--output-dir", "tab\there\\"}, "kqhost generate --output-dir $'tab\\011here\\\\'"},
        {{"--output-dir", "caf\xc3\xa9"}, "kqhost generate --output-dir $'caf\\303\\251'"},
    };
    for (const QuotedLine& c : cases) {
        EXPECT_EQ(kq::kqhost::generateCommandLine(c.arguments), c.expected);
    }
}

TEST(KqhostGenerate, HelpSaysOnlyWhatAppliesToGenerate) {
    ScratchDir dir;
    const auto result = runProgram(KQHOST_PATH, {"generate", "--help"}, dir.path());
    ASSERT_EQ(result.exitCode, 0);
    for (const char* option : {"--name", "--output-dir", "--tolerance", "--mode", "--precision",
                               "--channels", "--frame", "--shape", "--in-place", "--block"}) {
        EXPECT_NE(result.out.find(option), std::string::npos) << option;
    }
    // Input files, padded frames and output steps belong to 'kqhost run'.
    for (const char* runOnly : {".f32", ".f64", "input", "padded", "output step"}) {
        EXPECT_EQ(result.out.find(runOnly), std::string::npos) << runOnly << "\n" << result.out;
    }
    EXPECT_NE(result.out.find(std::to_string(kq::kqhost::kMaxModelNameLength)), std::string::npos);
}

}  // namespace
