/* -*- c++ -*- */
/*
 * Copyright 2026 kqphasefix2 developers.
 *
 * SPDX-License-Identifier: GPL-3.0-or-later
 */

#include "double_kernels.h"

#include "kernels/vector_level.h"

namespace gr {
namespace kqphasefix2 {

namespace {

// Asked of the processor once per process; every level gives the same bits.
const kq::KernelSet& fastest_kernels() {
    static const kq::KernelSet& kernels = kq::kernelsFor(kq::bestVectorLevel());
    return kernels;
}

}  // namespace

void unwrap_stateless(double* buf, double cutoff, int32_t num_chans, int32_t frame_len) {
    fastest_kernels().statelessInPlaceDbl(buf, cutoff, num_chans, frame_len);
}

void unwrap_running(double* buf, double* prev, double* cumsum, double cutoff, int32_t num_chans,
                    int32_t frame_len, uint8_t* first_step) {
    fastest_kernels().runningFrameInPlaceDbl(buf, prev, cumsum, cutoff, num_chans, frame_len,
                                             first_step);
}

}  // namespace kqphasefix2
}  // namespace gr
