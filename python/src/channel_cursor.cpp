#include "channel_cursor.h"

#include <cstddef>
#include <cstdint>

namespace kq::python {

ChannelCursor::ChannelCursor(const ArrayView& in, const ArrayView& out, int axis)
    : channelLength_(in.shape[static_cast<size_t>(axis)]),
      inStep_(in.strides[static_cast<size_t>(axis)]),
      outStep_(out.strides[static_cast<size_t>(axis)]),
      in_(in.data),
      out_(out.data) {
    // Axes of one element add nothing to the walk; the last axis is the innermost.
    for (size_t d = in.shape.size(); d-- > 0;) {
        if (static_cast<int>(d) == axis) {
            continue;
        }
        channelCount_ *= in.shape[d];
        if (in.shape[d] != 1) {
            outer_.push_back({in.shape[d], in.strides[d], out.strides[d]});
        }
    }
    counters_.assign(outer_.size(), 0);
}

void ChannelCursor::advance() {
    for (size_t d = 0; d < outer_.size(); ++d) {
        const OuterAxis& a = outer_[d];
        if (++counters_[d] < a.size) {
            in_ += a.inStride;
            out_ += a.outStride;
            return;
        }
        // Wrap this axis back to its start and carry into the next one.
        counters_[d] = 0;
        in_ -= a.inStride * (a.size - 1);
        out_ -= a.outStride * (a.size - 1);
    }
}

int64_t ChannelCursor::sideBySideChannels(int64_t size) const {
    if (!outer_.empty() && outer_[0].inStride == size && outer_[0].outStride == size) {
        return outer_[0].size;
    }
    return 1;
}

bool ChannelCursor::aligned(int64_t size) const {
    auto fits = [size](int64_t bytes) { return bytes % size == 0; };
    bool ok = fits(static_cast<int64_t>(reinterpret_cast<uintptr_t>(in_))) &&
              fits(static_cast<int64_t>(reinterpret_cast<uintptr_t>(out_))) && fits(inStep_) &&
              fits(outStep_);
    for (const OuterAxis& a : outer_) {
        ok = ok && fits(a.inStride) && fits(a.outStride);
    }
    return ok;
}

}  // namespace kq::python
