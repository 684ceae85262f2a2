/* -*- c++ -*- */
/*
 * Copyright 2026 kqphasefix2 developers.
 *
 * SPDX-License-Identifier: GPL-3.0-or-later
 */

#include "unwrap_ff_impl.h"

#include "double_kernels.h"
#include "kernels/floating_point_mode.h"

#include <gnuradio/io_signature.h>

#include <cstddef>
#include <stdexcept>

namespace gr {
namespace kqphasefix2 {

namespace {

const pmt::pmt_t cutoff_port = pmt::mp("cutoff");

// The magnitude as the block takes it from its Tolerance: a zero changes sign, a NaN stays NaN.
double magnitude(double value) {
    return value > 0.0 ? value : -value;
}

// Bytes of one item of vlen floats.
size_t item_size(int vlen) {
    if (vlen < 1) {
        throw std::invalid_argument("unwrap_ff: vlen must be at least 1");
    }
    return sizeof(float) * static_cast<size_t>(vlen);
}

}  // namespace

unwrap_ff::sptr unwrap_ff::make(double cutoff, int vlen, bool running) {
    return gnuradio::make_block_sptr<unwrap_ff_impl>(cutoff, vlen, running);
}

unwrap_ff_impl::unwrap_ff_impl(double cutoff, int vlen, bool running)
    : gr::sync_block("unwrap_ff", gr::io_signature::make(1, 1, item_size(vlen)),
                     gr::io_signature::make(1, 1, item_size(vlen))),
      d_vlen(vlen),
      d_running(running),
      d_cutoff(magnitude(cutoff)),
      d_prev(running ? static_cast<size_t>(vlen) : 0),
      d_cumsum(running ? static_cast<size_t>(vlen) : 0) {
    message_port_register_in(cutoff_port);
    set_msg_handler(cutoff_port, [this](const pmt::pmt_t& msg) { handle_cutoff_message(msg); });
}

double unwrap_ff_impl::cutoff() const {
    return d_cutoff.load(std::memory_order_relaxed);
}

void unwrap_ff_impl::set_cutoff(double cutoff) {
    d_cutoff.store(magnitude(cutoff), std::memory_order_relaxed);
}

void unwrap_ff_impl::handle_cutoff_message(const pmt::pmt_t& msg) {
    const pmt::pmt_t value = pmt::is_pair(msg) ? pmt::cdr(msg) : msg;
    if (pmt::is_real(value) || pmt::is_integer(value)) {
        set_cutoff(pmt::to_double(value));
        return;
    }
    // One preformatted text: the logger's format-string forwarding does not compile as C++20.
    d_logger->warn("cutoff message ignored, not a real number: " + pmt::write_string(msg));
}

int unwrap_ff_impl::work(int noutput_items, gr_vector_const_void_star& input_items,
                         gr_vector_void_star& output_items) {
    if (noutput_items <= 0) {
        return 0;  // a running kernel call without samples would clear its first step unseeded
    }
    // The widening, the kernels and the rounding back in the mode the bits need (a flowgraph may
    // share its thread with code that set flush-to-zero), and the scheduler's mode given back.
    const kq::DefaultFloatingPointMode default_mode;
    const auto* in = static_cast<const float*>(input_items[0]);
    auto* out = static_cast<float*>(output_items[0]);
    const auto items = static_cast<size_t>(noutput_items);
    const auto vlen = static_cast<size_t>(d_vlen);
    const double cutoff = d_cutoff.load(std::memory_order_relaxed);
    d_samples.resize(items * vlen);
    double* samples = d_samples.data();

    if (!d_running) {
        // Items are already one channel after another: widen, unwrap each, round back.
        for (size_t i = 0; i < items * vlen; ++i) {
            samples[i] = in[i];
        }
        unwrap_stateless(samples, cutoff, noutput_items, d_vlen);
        for (size_t i = 0; i < items * vlen; ++i) {
            out[i] = static_cast<float>(samples[i]);
        }
        return noutput_items;
    }

    // Items are time-major vectors; the kernel wants each channel's samples together.
    for (size_t t = 0; t < items; ++t) {
        for (size_t c = 0; c < vlen; ++c) {
            samples[c * items + t] = in[t * vlen + c];
        }
    }
    unwrap_running(samples, d_prev.data(), d_cumsum.data(), cutoff, d_vlen, noutput_items,
                   &d_first_step);
    for (size_t t = 0; t < items; ++t) {
        for (size_t c = 0; c < vlen; ++c) {
            out[t * vlen + c] = static_cast<float>(samples[c * items + t]);
        }
    }
    return noutput_items;
}

}  // namespace kqphasefix2
}  // namespace gr
