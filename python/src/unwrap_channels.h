// Unwrapping the channels of strided arrays with the kernels. Channels that already lie as the
// kernels want them (contiguous, aligned, one after another) go to the kernels as they are, in one
// call per run of channels; channels that lie side by side, one sample of each per row (the
// channels of a time-major signal), are walked row by row where they lie, with the kernels' bits;
// any other channels pass through a staging buffer, a group of channels at a time.
#ifndef KQ_PYTHON_UNWRAP_CHANNELS_H
#define KQ_PYTHON_UNWRAP_CHANNELS_H

#include <cstddef>
#include <cstdint>
#include <memory>

#include "channel_cursor.h"

namespace kq::python {

// Scratch memory that only grows and is never cleared: its contents are always written first.
template <typename T>
class StagingBuffer {
  public:
    T* reserve(size_t count) {
        if (count > capacity_) {
            data_.reset(new T[count]);
            capacity_ = count;
        }
        return data_.get();
    }

  private:
    std::unique_ptr<T[]> data_;
    size_t capacity_ = 0;
};

// Every channel on its own: its sample 0 passes through and its correction starts from zero.
// Channels are at most INT32_MAX samples long; in and out are the same array or do not overlap.
template <typename T>
void unwrapChannelsStateless(ChannelCursor channels, T cutoff);

// Channel i (in the cursor's order) carries on from prev[i] and cumsum[i]; *firstStep as the
// running kernels take it. Channels without samples leave everything as it is, firstStep included.
template <typename T>
void unwrapChannelsRunning(ChannelCursor channels, T* prev, T* cumsum, T cutoff, uint8_t* firstStep,
                           StagingBuffer<T>& staging);

}  // namespace kq::python

#endif
