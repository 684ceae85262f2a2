// The known-answer self-test that kqhost generate --self-test writes beside the model:
// NAME_self_test.h and NAME_self_test.c, a C99 function that runs the generated model over inputs
// held as bits and compares every output with the simulation's bits, reporting through an output
// function of the caller (no file system, no printf).
#ifndef KQ_SIM_KQHOST_GENERATE_SELF_TEST_PROGRAM_H
#define KQ_SIM_KQHOST_GENERATE_SELF_TEST_PROGRAM_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "sim/kqhost/generate/generated_model.h"

namespace kq::kqhost {

// Time-major bits of the precision (a single in the low 32 bits), `channels` values a row.
struct KnownAnswers {
    std::vector<std::uint64_t> input;
    // The block's outputs for `input`, twice: with the record's cutoff, then after a reset with
    // a tolerance of 0.
    std::vector<std::uint64_t> expected;
};

std::string selfTestHeaderText(const GeneratedModel& model);
std::string selfTestSourceText(const GeneratedModel& model, const KnownAnswers& answers);

}  // namespace kq::kqhost

#endif
