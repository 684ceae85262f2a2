/* -*- c++ -*- */
/*
 * Copyright 2026 kqphasefix2 developers.
 *
 * SPDX-License-Identifier: GPL-3.0-or-later
 */

#ifndef INCLUDED_KQPHASEFIX2_UNWRAP_FF_H
#define INCLUDED_KQPHASEFIX2_UNWRAP_FF_H

#include <gnuradio/kqphasefix2/api.h>
#include <gnuradio/sync_block.h>

namespace gr {
namespace kqphasefix2 {

/*!
 * \brief Phase unwrap of float items of vlen values, in radians.
 * \ingroup kqphasefix2
 *
 * \details
 * Along each channel the block takes the difference between successive raw samples, reduces it
 * to its principal value, and whenever the correction (a whole number of turns of 2 pi) exceeds
 * the cutoff in magnitude it adds the correction to the one accumulated on that channel; every
 * output is its input plus that correction. The arithmetic is binary64 on the exactly widened
 * samples, and each output is rounded to float once.
 *
 * With running true the vlen values of an item are channels, each unwrapped along the stream;
 * the state (last raw sample and accumulated correction, both binary64) is carried from one
 * work() call to the next, so the output does not depend on how the scheduler splits the stream.
 * The first item seeds the state and passes through unchanged.
 *
 * With running false every item is unwrapped on its own along its vlen values (for example the
 * phase of one FFT frame across its bins); value 0 of every item passes through.
 *
 * The cutoff is the magnitude of the value given; it can be changed while the flowgraph runs,
 * through set_cutoff() or the message port "cutoff" (a number, or a pair whose cdr is a number),
 * and applies to new corrections from the next work() call on.
 */
class KQPHASEFIX2_API unwrap_ff : virtual public gr::sync_block {
  public:
    typedef std::shared_ptr<unwrap_ff> sptr;

    /*!
     * \brief Make an unwrap block.
     *
     * \param cutoff its magnitude is the size above which a correction is taken
     * \param vlen number of float values per item (at least 1)
     * \param running true: the values are channels unwrapped along the stream; false: every
     *        item is unwrapped on its own along its values
     */
    static sptr make(double cutoff = 3.141592653589793, int vlen = 1, bool running = true);

    //! The cutoff in use: the magnitude of the last value given.
    virtual double cutoff() const = 0;

    //! Takes the magnitude of \p cutoff as the cutoff from the next work() call on.
    virtual void set_cutoff(double cutoff) = 0;

    //! Number of float values per item.
    virtual int vlen() const = 0;

    //! True when the state is carried along the stream.
    virtual bool running() const = 0;
};

}  // namespace kqphasefix2
}  // namespace gr

#endif /* INCLUDED_KQPHASEFIX2_UNWRAP_FF_H */
