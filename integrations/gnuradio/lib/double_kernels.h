/* -*- c++ -*- */
/*
 * Copyright 2026 kqphasefix2 developers.
 *
 * SPDX-License-Identifier: GPL-3.0-or-later
 */

// The project's binary64 unwrap kernels, at the fastest vector level this processor runs (all
// levels give the same bits). This pair of files is the module's only use of the kernel API.
//
// Buffers hold num_chans channels of frame_len samples, channel after channel, and are unwrapped
// in place.

#ifndef INCLUDED_KQPHASEFIX2_DOUBLE_KERNELS_H
#define INCLUDED_KQPHASEFIX2_DOUBLE_KERNELS_H

#include <cstdint>

namespace gr {
namespace kqphasefix2 {

// Every channel starts from a zero correction and its sample 0 passes through.
void unwrap_stateless(double* buf, double cutoff, int32_t num_chans, int32_t frame_len);

// Carries each channel on from the previous call through prev and cumsum (num_chans values
// each). While *first_step is non-zero the call seeds prev from its own input and zeroes cumsum;
// every call clears it.
void unwrap_running(double* buf, double* prev, double* cumsum, double cutoff, int32_t num_chans,
                    int32_t frame_len, uint8_t* first_step);

}  // namespace kqphasefix2
}  // namespace gr

#endif /* INCLUDED_KQPHASEFIX2_DOUBLE_KERNELS_H */
