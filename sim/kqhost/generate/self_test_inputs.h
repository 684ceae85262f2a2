// The inputs of the known-answer self-test that kqhost generate writes: the values on which
// floating-point arithmetic goes wrong on a processor or toolchain, met between successive samples
// of every channel, and the phase values the unwrap must get right.
#ifndef KQ_SIM_KQHOST_GENERATE_SELF_TEST_INPUTS_H
#define KQ_SIM_KQHOST_GENERATE_SELF_TEST_INPUTS_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "sim/kqhost/io/signal_format.h"

namespace kq::kqhost {

// Time-major rows of `channels` values, as bits of the precision (a single in the low 32 bits).
// Per channel, its own draws of:
//  - for each exponent difference k from 0 to 66, a small value (exponent E - k) alternating with
//    a large one just above 2^E, signs mixed, so that each difference of successive samples
//    crosses into the binade below: random low bits (several), exact halfway cases of the
//    result's ulp and their neighbours;
//  - signed zeros, subnormal differences and results, overflow to infinity, infinities, NaNs with
//    payloads (quiet and signalling, both signs);
//  - steps of exactly pi, 3 pi and their neighbours, steps at the calm bound 3, ramps of 1e11,
//    huge values.
// The same every time (fixed seeds).
std::vector<std::uint64_t> selfTestInputBits(Precision precision, std::size_t channels);

}  // namespace kq::kqhost

#endif
