// examples/reference_unwrap.py, the independent plain-Python unwrap behind the example's expected
// output: checked on steps whose results can be worked out by hand, and on the example itself.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "scratch_folder.h"
#include "signal_io_helpers.h"

namespace kq::kqhost {
namespace {

using test::ScratchFolder;

const std::string kExamples = KQ_EXAMPLES_DIR;

bool havePython() {
    return std::system("python3 -c 'import math' > /dev/null 2>&1") == 0;
}

// Runs the reference on `input` and returns the values it wrote, or throws.
test::SignalData runReference(const std::string& input, const std::string& output) {
    const std::string command =
        "python3 '" + kExamples + "/reference_unwrap.py' '" + input + "' '" + output + "'";
    if (std::system(command.c_str()) != 0) {
        throw std::runtime_error("failed: " + command);
    }
    return test::readSignal(output, SignalFormat::Csv, std::nullopt, Precision::Double);
}

TEST(ReferenceUnwrap, RunsEachColumnOnAsItsOwnSequence) {
    if (!havePython()) {
        GTEST_SKIP() << "python3 is not available";
    }
    const struct {
        const char* name;
        const char* input;
        std::vector<double> expected;
    } cases[] = {
        {"ramp of 4", "0\n4\n8\n", {0, -2.2831853071795862, -4.5663706143591725}},
        {"two columns",
         "0,1\n4,-3\n8,-6\n",
         {0, 1, -2.2831853071795862, 3.2831853071795862, -4.5663706143591725, 0.28318530717958623}},
        {"steps below pi kept", "0\n3\n-3\n0\n", {0, 3, 3.2831853071795862, 6.283185307179586}},
        {"upward step of exactly pi", "0\n3.141592653589793\n", {0, 3.141592653589793}},
        {"just below -pi, inside the floor window",
         "0\n-3.141592653909793\n",
         {0, -3.141592653909793}},
        {"further below -pi", "0\n-3.1415926548897932\n", {0, 3.141592652289793}},
        {"difference of 10", "0\n10\n", {0, -2.5663706143591725}},
        {"NaN passes, correction kept",
         "0\n4\nnan\n8\n",
         {0, -2.2831853071795862, NAN, 1.7168146928204138}},
        {"negative zero first: 0 + -0", "-0\n", {0.0}},
        {"a step of 1e11: the turn count stays whole", "0\n1e11\n", {0, 1.1908721923828125}},
        {"an infinite step takes no correction", "0\ninf\n1\n", {0, INFINITY, 1}},
    };
    ScratchFolder folder;
    for (const auto& c : cases) {
        const auto out = runReference(folder.write("in.csv", c.input), folder.file("out.csv"));
        ASSERT_EQ(out.values.size(), c.expected.size()) << c.name;
        for (std::size_t i = 0; i < c.expected.size(); ++i) {
            if (std::isnan(c.expected[i])) {
                EXPECT_TRUE(std::isnan(out.values[i])) << c.name << " value " << i;
            } else {
                EXPECT_EQ(std::bit_cast<std::uint64_t>(out.values[i]),
                          std::bit_cast<std::uint64_t>(c.expected[i]))
                    << c.name << " value " << i << ": " << out.values[i];
            }
        }
    }
}

// The expected output kept beside the example is what the reference makes of the example.
TEST(ReferenceUnwrap, MadeTheExamplesExpectedOutput) {
    if (!havePython()) {
        GTEST_SKIP() << "python3 is not available";
    }
    ScratchFolder folder;
    const auto made = runReference(kExamples + "/chirp.csv", folder.file("out.csv"));
    EXPECT_EQ(folder.read("out.csv"), [&] {
        std::ifstream in(kExamples + "/chirp_unwrapped.csv", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }());
    const auto input = test::readSignal(kExamples + "/chirp.csv", SignalFormat::Csv, std::nullopt,
                                        Precision::Double);
    ASSERT_EQ(made.channels, 2u);
    ASSERT_EQ(made.values.size(), 4000u);
    // Unwrapping adds whole turns only, and leaves steps below pi: the output is continuous.
    for (std::size_t i = 0; i < made.values.size(); ++i) {
        const double turns = (made.values[i] - input.values[i]) / (2 * 3.141592653589793);
        EXPECT_NEAR(turns, std::round(turns), 1e-9) << i;
        if (i >= 2) {
            EXPECT_LT(std::fabs(made.values[i] - made.values[i - 2]), 1.0) << i;
        }
    }
}

}  // namespace
}  // namespace kq::kqhost
