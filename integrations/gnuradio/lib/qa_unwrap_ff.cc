/* -*- c++ -*- */
/*
 * Copyright 2026 kqphasefix2 developers.
 *
 * SPDX-License-Identifier: GPL-3.0-or-later
 */

// The block driven call by call through work(), as the scheduler drives it, without a flowgraph.

#include <gnuradio/kqphasefix2/unwrap_ff.h>

#include <boost/test/unit_test.hpp>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace gr {
namespace kqphasefix2 {

namespace {

// Runs `in` (time-major items of vlen floats) through work() in calls of the given item counts,
// cycling through them until the stream ends.
std::vector<float> run_in_calls(unwrap_ff& block, const std::vector<float>& in,
                                const std::vector<int>& call_items) {
    const auto vlen = static_cast<size_t>(block.vlen());
    const size_t items = in.size() / vlen;
    std::vector<float> out(in.size());
    size_t done = 0;
    for (size_t call = 0; done < items; ++call) {
        const size_t want = static_cast<size_t>(call_items[call % call_items.size()]);
        const size_t n = std::min(want, items - done);
        gr_vector_const_void_star inputs{in.data() + done * vlen};
        gr_vector_void_star outputs{out.data() + done * vlen};
        BOOST_REQUIRE_EQUAL(block.work(static_cast<int>(n), inputs, outputs), static_cast<int>(n));
        done += n;
    }
    return out;
}

std::vector<float> run_whole(unwrap_ff& block, const std::vector<float>& in) {
    return run_in_calls(block, in, {static_cast<int>(in.size() / block.vlen())});
}

uint32_t bits(float value) {
    uint32_t word;
    std::memcpy(&word, &value, sizeof word);
    return word;
}

// Reports the first value whose bits differ, if any.
void check_same_bits(const std::vector<float>& got, const std::vector<float>& want) {
    BOOST_REQUIRE_EQUAL(got.size(), want.size());
    size_t i = 0;
    while (i < got.size() && bits(got[i]) == bits(want[i])) {
        ++i;
    }
    BOOST_TEST(i == got.size(), "value " << i << " differs: got "
                                         << (i < got.size() ? got[i] : 0.0f) << ", want "
                                         << (i < want.size() ? want[i] : 0.0f));
}

// Three channels, time-major: wrapped phase of a noisy ramp, a ramp in steps of 4 whose
// correction grows by a turn at every step (so a binary32 state would round differently at every
// split), and jumps of up to 8 rad with a NaN and an infinity among them.
std::vector<float> three_channel_signal(size_t items) {
    std::vector<float> in;
    uint32_t seed = 12345;
    const auto next_unit = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return static_cast<double>(seed >> 8) / 16777216.0;
    };
    for (size_t t = 0; t < items; ++t) {
        const double phase = 0.7 * static_cast<double>(t) + 0.1 * next_unit();
        in.push_back(static_cast<float>(std::atan2(std::sin(phase), std::cos(phase))));
        in.push_back(static_cast<float>(4.0 * static_cast<double>(t)));
        float jump = static_cast<float>(16.0 * next_unit() - 8.0);
        if (t == items / 3) {
            jump = NAN;
        } else if (t == items / 2) {
            jump = INFINITY;
        }
        in.push_back(jump);
    }
    return in;
}

}  // namespace

// Known values of the binary64 unwrap (cutoff pi), each rounded to float once.
BOOST_AUTO_TEST_CASE(running_carries_each_channel_across_calls) {
    // Channel 0: [0, 3] then [-3, 0]; channel 1: [1, 2] then [5, 6]; items are time-major.
    auto block = unwrap_ff::make(M_PI, 2, true);
    const std::vector<float> in{0, 1, 3, 2, -3, 5, 0, 6};
    const std::vector<float> want{0,
                                  1,
                                  3,
                                  2,
                                  static_cast<float>(3.2831853071795862),
                                  5,
                                  static_cast<float>(6.283185307179586),
                                  6};
    check_same_bits(run_in_calls(*block, in, {2}), want);
}

BOOST_AUTO_TEST_CASE(stateless_unwraps_every_item_along_its_values) {
    auto block = unwrap_ff::make(M_PI, 5, false);
    // The second item would continue from the first's correction if anything were carried.
    const std::vector<float> in{0, 3, 6, -3, 0.5f, 0, 4, 8, 12, 16};
    std::vector<float> want{0, 3, 6, static_cast<float>(3.2831853071795862), 0.5f};
    for (double k = 0; k < 5; ++k) {
        want.push_back(static_cast<float>(4.0 * k - 2.0 * M_PI * k));
    }
    check_same_bits(run_in_calls(*block, in, {1}), want);
    check_same_bits(run_whole(*block, in), want);
}

BOOST_AUTO_TEST_CASE(running_output_does_not_depend_on_the_split) {
    const std::vector<float> in = three_channel_signal(3000);
    auto whole_block = unwrap_ff::make(M_PI, 3, true);
    const std::vector<float> whole = run_whole(*whole_block, in);
    const std::vector<std::vector<int>> splits{{1}, {2, 3}, {7}, {64, 1, 999}, {1499}};
    for (const auto& split : splits) {
        auto block = unwrap_ff::make(M_PI, 3, true);
        check_same_bits(run_in_calls(*block, in, split), whole);
    }
}

BOOST_AUTO_TEST_CASE(running_corrections_reach_many_turns) {
    // Guards the split test: the ramp channel must pile up corrections, else a binary32 state
    // would round the same at every split and the test could not tell.
    const std::vector<float> in = three_channel_signal(3000);
    auto block = unwrap_ff::make(M_PI, 3, true);
    const std::vector<float> out = run_whole(*block, in);
    const float last_ramp_out = out[(3000 - 1) * 3 + 1];
    BOOST_TEST(std::fabs(last_ramp_out - in[(3000 - 1) * 3 + 1]) > 1000.0f);
}

BOOST_AUTO_TEST_CASE(a_call_without_items_leaves_the_first_item_to_seed_the_state) {
    auto block = unwrap_ff::make(M_PI, 1, true);
    gr_vector_const_void_star no_input{nullptr};
    gr_vector_void_star no_output{nullptr};
    BOOST_TEST(block->work(0, no_input, no_output) == 0);
    check_same_bits(run_in_calls(*block, {5, 9}, {2}), {5, static_cast<float>(9.0 - 2.0 * M_PI)});
}

BOOST_AUTO_TEST_CASE(cutoff_change_applies_to_new_corrections_from_the_next_call) {
    auto block = unwrap_ff::make(1e9, 1, true);
    std::vector<float> out = run_in_calls(*block, {0, 4}, {2});
    check_same_bits(out, {0, 4});  // no correction below the cutoff

    block->set_cutoff(M_PI);
    check_same_bits(run_in_calls(*block, {8}, {1}), {static_cast<float>(8.0 - 2.0 * M_PI)});

    // A negative value sets its magnitude; the correction already taken stays.
    block->set_cutoff(-1e9);
    BOOST_TEST(block->cutoff() == 1e9);
    check_same_bits(run_in_calls(*block, {12}, {1}), {static_cast<float>(12.0 - 2.0 * M_PI)});
}

BOOST_AUTO_TEST_CASE(cutoff_is_the_magnitude_of_the_value_given) {
    struct Case {
        double given;
        double cutoff;
    };
    for (const Case c : {Case{2.5, 2.5}, Case{-2.5, 2.5}, Case{0.0, 0.0}, Case{-1e-300, 1e-300}}) {
        BOOST_TEST(unwrap_ff::make(c.given, 1, true)->cutoff() == c.cutoff);
        auto block = unwrap_ff::make(1.0, 1, true);
        block->set_cutoff(c.given);
        BOOST_TEST(block->cutoff() == c.cutoff);
    }
}

BOOST_AUTO_TEST_CASE(vlen_below_one_is_refused) {
    BOOST_CHECK_THROW(unwrap_ff::make(M_PI, 0, true), std::invalid_argument);
    BOOST_CHECK_THROW(unwrap_ff::make(M_PI, -3, false), std::invalid_argument);
    const auto block = unwrap_ff::make(M_PI, 4, false);
    BOOST_TEST(block->vlen() == 4);
    BOOST_TEST(!block->running());
    BOOST_TEST(block->input_signature()->sizeof_stream_item(0) ==
               4 * static_cast<int>(sizeof(float)));
}

}  // namespace kqphasefix2
}  // namespace gr
