/* -*- c++ -*- */
/*
 * Copyright 2026 kqphasefix2 developers.
 *
 * SPDX-License-Identifier: GPL-3.0-or-later
 */

#ifndef INCLUDED_KQPHASEFIX2_UNWRAP_FF_IMPL_H
#define INCLUDED_KQPHASEFIX2_UNWRAP_FF_IMPL_H

#include <gnuradio/kqphasefix2/unwrap_ff.h>

#include <atomic>
#include <cstdint>
#include <vector>

namespace gr {
namespace kqphasefix2 {

class unwrap_ff_impl : public unwrap_ff {
  private:
    const int d_vlen;
    const bool d_running;
    // Written by the setter from any thread, read once at the start of every work() call.
    std::atomic<double> d_cutoff;
    // The samples of one work() call, widened and laid out channel after channel.
    std::vector<double> d_samples;
    // Running state, one value per channel, kept in binary64 so that no split rounds it.
    std::vector<double> d_prev;
    std::vector<double> d_cumsum;
    uint8_t d_first_step = 1;

  public:
    unwrap_ff_impl(double cutoff, int vlen, bool running);

    double cutoff() const override;
    void set_cutoff(double cutoff) override;
    int vlen() const override { return d_vlen; }
    bool running() const override { return d_running; }

    // Handler of the "cutoff" message port: a number, or a pair whose cdr is a number.
    void handle_cutoff_message(const pmt::pmt_t& msg);

    int work(int noutput_items, gr_vector_const_void_star& input_items,
             gr_vector_void_star& output_items) override;
};

}  // namespace kqphasefix2
}  // namespace gr

#endif /* INCLUDED_KQPHASEFIX2_UNWRAP_FF_IMPL_H */
