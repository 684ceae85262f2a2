// The summary of kqhost validate: it passes only with every check passed and nothing found, shows
// the first findings in full (setup once per simulation, bits in the port's width, a marker that
// was never overwritten) and counts the rest.
#include "sim/kqhost/validate/validate_report.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "host/data_types.h"
#include "sim/kqhost/validate/validate_bits.h"

namespace {

using kq::kqhost::SimulationOutcome;
using kq::kqhost::ValidateFinding;
using kq::kqhost::ValidateReport;
using kq::kqhost::ValidateSetup;

ValidateSetup frameSetup(int32_t typeId) {
    ValidateSetup setup;
    setup.simulation.typeId = typeId;
    setup.simulation.frameLen = 4;
    setup.simulation.channels = 3;
    setup.steps = 2;
    return setup;
}

SimulationOutcome cleanOutcome() {
    SimulationOutcome outcome;
    outcome.outputSteps = 2;
    outcome.samplesCompared = 24;
    return outcome;
}

std::string printed(const ValidateReport& report) {
    std::ostringstream out;
    report.print(out);
    return out.str();
}

TEST(ValidateReport, PassesWithEveryCheckPassedAndNothingFound) {
    ValidateReport report(42, 8);
    report.addProtocolChecks({{"a check", true, ""}});
    report.addSimulation(0, frameSetup(kTypeIdDouble), cleanOutcome());
    report.addSimulation(1, frameSetup(kTypeIdDouble), cleanOutcome());
    EXPECT_TRUE(report.passed());
    EXPECT_EQ(printed(report),
              "protocol checks: 1 of 1 passed\n"
              "simulations: 2 (0 failed)\n"
              "output steps: 4\n"
              "samples compared: 48\n"
              "mismatches: 0\n"
              "outputs never written: 0\n"
              "input buffer changes: 0\n"
              "block errors: 0\n"
              "result: pass\n");
}

TEST(ValidateReport, AFailedProtocolCheckFailsTheRunAndIsShown) {
    ValidateReport report(42, 8);
    report.addProtocolChecks({{"a check", true, ""}, {"another check", false, "got nothing"}});
    report.addSimulation(0, frameSetup(kTypeIdDouble), cleanOutcome());
    EXPECT_FALSE(report.passed());
    const std::string text = printed(report);
    EXPECT_EQ(text.rfind("protocol check failed: another check: got nothing\n", 0), 0u) << text;
    EXPECT_NE(text.find("protocol checks: 1 of 2 passed\n"), std::string::npos) << text;
    EXPECT_NE(text.find("result: FAIL\n"), std::string::npos) << text;
}

struct FindingCase {
    std::string name;
    int32_t typeId;
    ValidateFinding::Kind kind;
    size_t step;
    size_t position;
    uint64_t expected;
    uint64_t actual;
    std::string message;
    std::string expectedLine;
};

class ValidateReportFinding : public ::testing::TestWithParam<FindingCase> {};

TEST_P(ValidateReportFinding, IsShownWithItsSimulationSetupAndPosition) {
    const FindingCase& c = GetParam();
    ValidateReport report(42, 8);
    const ValidateSetup setup = frameSetup(c.typeId);
    SimulationOutcome outcome = cleanOutcome();
    outcome.mismatches = c.kind == ValidateFinding::Kind::Output ? 1 : 0;
    outcome.inputChanges = c.kind == ValidateFinding::Kind::InputChanged ? 1 : 0;
    outcome.blockFailed = c.kind == ValidateFinding::Kind::BlockError;
    outcome.findings.push_back({c.kind, c.step, c.position, c.expected, c.actual, c.message});
    report.addSimulation(17, setup, outcome);
    EXPECT_FALSE(report.passed());
    const std::string text = printed(report);
    EXPECT_NE(text.find("simulation 17 of seed 42 (replay: kqhost validate --seed 42 --simulation "
                        "17)\n  setup: " +
                        kq::kqhost::describeSetup(setup) + "\n" + c.expectedLine + "\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("simulations: 1 (1 failed)\n"), std::string::npos) << text;
}

INSTANTIATE_TEST_SUITE_P(
    Table, ValidateReportFinding,
    ::testing::Values(
        FindingCase{"DoubleOutput", kTypeIdDouble, ValidateFinding::Kind::Output, 1, 6,
                    0x3ff0000000000000u, 0x3ff0000000000001u, "",
                    "  mismatch at output step 1, element 6 (row 2, column 1): expected "
                    "0x3ff0000000000000 (1), actual 0x3ff0000000000001 (1.0000000000000002)"},
        FindingCase{"SingleNeverWritten", kTypeIdSingle, ValidateFinding::Kind::Output, 0, 11,
                    0x3f800000u, kq::kqhost::bitsOf(kq::kqhost::outputMarker<float>()), "",
                    "  mismatch at output step 0, element 11 (row 3, column 2): expected "
                    "0x3f800000 (1), actual 0x7fa5a5a5 (nan) (never written)"},
        FindingCase{"InputChanged", kTypeIdSingle, ValidateFinding::Kind::InputChanged, 1, 0,
                    0x40000000u, 0x3f800000u, "",
                    "  input changed by a copying call at output step 1, element 0 (row 0, "
                    "column 0): was 0x40000000 (2), now 0x3f800000 (1)"},
        FindingCase{"BlockError", kTypeIdDouble, ValidateFinding::Kind::BlockError, 0, 0, 0, 0,
                    "it went wrong", "  block error after 0 output steps: \"it went wrong\""}),
    [](const ::testing::TestParamInfo<FindingCase>& testCase) { return testCase.param.name; });

TEST(ValidateReport, ShowsTheFirstFindingsUpToItsLimitAndCountsTheRest) {
    ValidateReport report(42, 2);
    SimulationOutcome outcome = cleanOutcome();
    outcome.mismatches = 5;
    for (size_t position = 0; position < 5 && position < report.findingsToShow(); ++position) {
        outcome.findings.push_back({ValidateFinding::Kind::Output, 0, position, 0, 1, ""});
    }
    EXPECT_EQ(outcome.findings.size(), 2u);
    report.addSimulation(3, frameSetup(kTypeIdDouble), outcome);
    EXPECT_EQ(report.findingsToShow(), 0u);
    const std::string text = printed(report);
    EXPECT_NE(text.find("element 1 (row 1"), std::string::npos) << text;
    EXPECT_EQ(text.find("element 2 (row 2"), std::string::npos) << text;
    EXPECT_NE(text.find("(3 more findings not shown)\n"), std::string::npos) << text;
    EXPECT_NE(text.find("mismatches: 5\n"), std::string::npos) << text;
}

}  // namespace
