// The protocol checks of kqhost validate: the real block passes every one, a block that answers
// nothing fails every one, a block loaded under another name fails exactly the checks that depend
// on its name, and a block that keeps its run-time record past terminate fails the one that counts.
#include "sim/kqhost/validate/validate_protocol.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "sim/engine/block_library.h"

namespace {

using kq::kqhost::ProtocolCheck;

// A block library that answers no call at all: it stores no message and returns no sizes.
void silentKvxFunction(int32_t /*numLeft*/, vzArray* /*leftArgs*/[], int32_t /*numRight*/,
                       const vzArray* /*rightArgs*/[]) {}

kq::sim::HostInstanceOptions namedBlock(const std::string& name) {
    kq::sim::HostInstanceOptions options;
    options.blockName = name;
    return options;
}

std::set<std::string> passedNames(const std::vector<ProtocolCheck>& checks) {
    std::set<std::string> names;
    for (const ProtocolCheck& check : checks) {
        if (check.passed) {
            names.insert(check.name);
        }
    }
    return names;
}

TEST(ValidateProtocol, TheRealBlockPassesEveryCheck) {
    kq::sim::BlockLibrary library(KQ_BLOCK_MODULE_PATH);
    kq::sim::HostCaller caller(library.kvxFunction());
    const std::vector<ProtocolCheck> checks =
        kq::kqhost::runProtocolChecks(caller, namedBlock("kqphasefix2"));
    ASSERT_EQ(checks.size(), 14u);
    std::set<std::string> names;
    for (const ProtocolCheck& check : checks) {
        EXPECT_TRUE(check.passed) << check.name << ": " << check.detail;
        EXPECT_EQ(check.detail, "") << check.name;
        names.insert(check.name);
    }
    EXPECT_EQ(names.size(), checks.size()) << "every check has a name of its own";
}

TEST(ValidateProtocol, ABlockThatAnswersNothingFailsEveryCheckAndSaysWhat) {
    kq::sim::HostCaller caller(silentKvxFunction);
    const std::vector<ProtocolCheck> checks =
        kq::kqhost::runProtocolChecks(caller, namedBlock("kqphasefix2"));
    ASSERT_EQ(checks.size(), 14u);
    for (const ProtocolCheck& check : checks) {
        EXPECT_FALSE(check.passed) << check.name;
        EXPECT_NE(check.detail, "") << check.name;
    }
}

TEST(ValidateProtocol, AnotherNameFailsTheChecksThatLoadOrNameTheBlock) {
    kq::sim::BlockLibrary library(KQ_BLOCK_MODULE_PATH);
    kq::sim::HostCaller caller(library.kvxFunction());
    const std::vector<ProtocolCheck> checks =
        kq::kqhost::runProtocolChecks(caller, namedBlock("kqphasefix3"));
    // A sizes query makes a private instance of the block's own name: it still passes.
    EXPECT_EQ(passedNames(checks),
              (std::set<std::string>{"sizes query returns 38 entries",
                                     "sizes entry 19 is the interface stamp 5200229",
                                     "sizes entries 2 and 3 (output and input ports) are 1",
                                     "sizes entry 23 has the command-line bit 0x2000"}));
    for (const ProtocolCheck& check : checks) {
        if (check.name == "command-line call with FLAG 1") {
            EXPECT_EQ(check.detail,
                      "expected \"Invalid flag passed to KVX level2 R-block \"kqphasefix3\"\", got "
                      "\"Invalid flag passed to KVX level2 R-block \"kqphasefix2\"\"");
        }
    }
}

TEST(ValidateProtocol, ABlockThatKeepsItsRecordPastTerminateFailsTheCountingCheckAlone) {
    kq::sim::BlockLibrary library(KQ_RECORD_KEEPING_BLOCK_PATH);
    kq::sim::HostCaller caller(library.kvxFunction());
    const std::vector<ProtocolCheck> checks =
        kq::kqhost::runProtocolChecks(caller, namedBlock("kqphasefix2"));
    for (const ProtocolCheck& check : checks) {
        const bool counting = check.name.find("tqCalloc") != std::string::npos;
        EXPECT_EQ(check.passed, !counting) << check.name << ": " << check.detail;
        if (counting) {
            EXPECT_EQ(check.detail,
                      "blocks held from tqCalloc: 1 after start, 1 after terminate (expected 1 and "
                      "0)");
        }
    }
}

}  // namespace
