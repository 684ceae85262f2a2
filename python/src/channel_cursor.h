// The 1-D channels of an array along one axis, walked in C order of the other axes, for an input
// and an output array of the same shape whose strides may differ.
#ifndef KQ_PYTHON_CHANNEL_CURSOR_H
#define KQ_PYTHON_CHANNEL_CURSOR_H

#include <cstdint>
#include <vector>

namespace kq::python {

// An array as the C++ side sees it: its first element, its shape, its strides in bytes (any sign).
struct ArrayView {
    char* data = nullptr;
    std::vector<int64_t> shape;
    std::vector<int64_t> strides;
};

class ChannelCursor {
  public:
    // in and out have the same shape; axis is in [0, ndim).
    ChannelCursor(const ArrayView& in, const ArrayView& out, int axis);

    int64_t channelLength() const { return channelLength_; }
    int64_t channelCount() const { return channelCount_; }
    // Bytes between successive samples of a channel.
    int64_t inStep() const { return inStep_; }
    int64_t outStep() const { return outStep_; }

    // The current channel; valid until channelCount() channels have been visited.
    const char* in() const { return in_; }
    char* out() const { return out_; }
    void advance();

    // How many channels lie side by side: the size of the innermost other axis when its strides,
    // in and out, are both `size` bytes (channels that step through it are one element apart at
    // every sample), else 1. The cursor visits such channels one after another, in groups of that
    // many.
    int64_t sideBySideChannels(int64_t size) const;

    // True when every sample of every channel, in and out, lies at a multiple of `size` bytes.
    bool aligned(int64_t size) const;

  private:
    struct OuterAxis {
        int64_t size;
        int64_t inStride;
        int64_t outStride;
    };
    std::vector<OuterAxis> outer_;  // innermost first
    std::vector<int64_t> counters_;
    int64_t channelLength_;
    int64_t channelCount_ = 1;
    int64_t inStep_;
    int64_t outStep_;
    const char* in_;
    char* out_;
};

}  // namespace kq::python

#endif
