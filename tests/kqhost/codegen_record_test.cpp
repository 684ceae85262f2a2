// kqhost generate reads the block's code-generation record as the host's writer formats it: the
// writer's own text reads back to the exact bits, and every record it cannot read fully is a
// "code-generation record:" error naming what is wrong.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "host/data_types.h"
#include "host/host_info.h"
#include "host/record_pair.h"
#include "sim/engine/record_text_writer.h"
#include "sim/kqhost/generate/codegen_record.h"
#include "sim/kqhost/io/kqhost_error.h"

namespace {

using kq::kqhost::CodegenSettings;
using kq::kqhost::parseCodegenRecord;
using kq::kqhost::Precision;

// The record the host's writer makes of a Cutoff of type T and a Running byte.
template <typename T>
std::string writtenRecord(T cutoff, uint8_t running) {
    kq::sim::RecordTextWriter writer;
    constexpr int32_t typeId = sizeof(T) == 4 ? kTypeIdSingle : kTypeIdDouble;
    EXPECT_EQ(kq::sim::RecordTextWriter::writeText(&writer, "RBlkParamSettings {"), 1);
    EXPECT_EQ(kq::sim::RecordTextWriter::writePair(&writer, valueTypedScalar, "Cutoff", &cutoff,
                                                   typeId, 1, 1),
              1);
    EXPECT_EQ(kq::sim::RecordTextWriter::writePair(&writer, valueTypedScalar, "Running", &running,
                                                   kTypeIdBoolean, 1, 1),
              1);
    EXPECT_EQ(kq::sim::RecordTextWriter::writeText(&writer, "}"), 1);
    return writer.record();
}

template <typename T>
void checkReadsBack(T cutoff, uint8_t running) {
    const CodegenSettings settings = parseCodegenRecord(writtenRecord(cutoff, running));
    EXPECT_EQ(settings.cutoffType, sizeof(T) == 4 ? Precision::Single : Precision::Double);
    EXPECT_EQ(settings.running, running != 0);
    const double widened = cutoff;
    if (std::isnan(widened)) {
        EXPECT_TRUE(std::isnan(settings.cutoff));
    } else {
        EXPECT_EQ(std::bit_cast<uint64_t>(settings.cutoff), std::bit_cast<uint64_t>(widened))
            << "cutoff " << cutoff;
    }
}

TEST(CodegenRecord, TheWritersRecordReadsBackToTheExactBits) {
    using D = std::numeric_limits<double>;
    using F = std::numeric_limits<float>;
    for (double cutoff :
         {3.141592653589793, 0.25, -0.0, 0.0, 1e-15, 0.1, D::denorm_min(), D::min(), D::max(),
          D::infinity(), D::quiet_NaN(), std::nextafter(6.283185307179586, 0.0)}) {
        checkReadsBack(cutoff, 1);
        checkReadsBack(cutoff, 0);
    }
    for (float cutoff : {3.1415927f, 0.25f, -0.0f, 1e-15f, 0.1f, F::denorm_min(), F::min(),
                         F::max(), F::infinity(), std::nextafter(6.2831855f, 0.0f)}) {
        checkReadsBack(cutoff, 1);
        checkReadsBack(cutoff, 0);
    }
}

struct BrokenRecord {
    std::string name;
    std::string record;
    std::string expectedInMessage;
};

class CodegenRecordBroken : public ::testing::TestWithParam<BrokenRecord> {};

TEST_P(CodegenRecordBroken, IsRefusedWithAMessageThatSaysWhy) {
    const BrokenRecord& c = GetParam();
    try {
        parseCodegenRecord(c.record);
        FAIL() << "read without complaint: " << c.record;
    } catch (const kq::kqhost::KqhostError& error) {
        const std::string message = error.what();
        EXPECT_EQ(message.rfind("code-generation record: ", 0), 0u) << message;
        EXPECT_NE(message.find(c.expectedInMessage), std::string::npos) << message;
    }
}

constexpr const char* kOpen = "RBlkParamSettings {\n";
constexpr const char* kCutoff = "  Cutoff = 0.25 (double)\n";
constexpr const char* kRunning = "  Running = 1 (boolean)\n";

std::string record(std::string body) {
    return kOpen + body + "}\n";
}

INSTANTIATE_TEST_SUITE_P(
    Table, CodegenRecordBroken,
    ::testing::Values(
        BrokenRecord{"Empty", "", "empty"},
        BrokenRecord{"NoRunning", record(kCutoff), "no Running setting"},
        BrokenRecord{"NoCutoff", record(kRunning), "no Cutoff setting"},
        BrokenRecord{"NoClosingBrace", std::string(kOpen) + kCutoff + kRunning, "no closing"},
        BrokenRecord{"AnotherOpening", std::string("ParamSettings {\n") + kCutoff + kRunning,
                     "line 1: expected 'RBlkParamSettings {'"},
        BrokenRecord{"TextAfterTheClosingBrace", record(std::string(kCutoff) + kRunning) + "x\n",
                     "line 5: text after the closing"},
        BrokenRecord{"CutoffOfTypeBoolean",
                     record(std::string("  Cutoff = 1 (boolean)\n") + kRunning),
                     "Cutoff has type 'boolean'"},
        BrokenRecord{"CutoffComplex",
                     record(std::string("  Cutoff = 1+0i (double complex)\n") + kRunning),
                     "Cutoff has type 'double complex'"},
        BrokenRecord{"RunningOfTypeDouble",
                     record(std::string(kCutoff) + "  Running = 1 (double)\n"),
                     "Running has type 'double'"},
        BrokenRecord{"CutoffNotANumber",
                     record(std::string("  Cutoff = 0.25x (double)\n") + kRunning),
                     "Cutoff '0.25x' is not a number"},
        BrokenRecord{"CutoffAVector",
                     record(std::string("  Cutoff = [1, 2] (double)\n") + kRunning),
                     "Cutoff '[1, 2]' is not a number"},
        BrokenRecord{"CutoffTooLargeForSingle",
                     record(std::string("  Cutoff = 1e39 (single)\n") + kRunning),
                     "Cutoff '1e39' is not a number"},
        BrokenRecord{"RunningTwo", record(std::string(kCutoff) + "  Running = 2 (boolean)\n"),
                     "Running '2' is not 0 or 1"},
        BrokenRecord{"UnknownSetting",
                     record(std::string(kCutoff) + kRunning + "  Mode = 1 (double)\n"),
                     "line 4: unknown setting 'Mode'"},
        BrokenRecord{"CutoffTwice", record(std::string(kCutoff) + kRunning + kCutoff),
                     "line 4: Cutoff is given twice"},
        BrokenRecord{"SettingWithoutType", record(std::string(kCutoff) + "  Running = 1\n"),
                     "line 3: not a setting"},
        BrokenRecord{"SettingNotIndented",
                     record(std::string("Cutoff = 0.25 (double)\n") + kRunning),
                     "line 2: not a setting"}),
    [](const auto& testCase) { return testCase.param.name; });

}  // namespace
