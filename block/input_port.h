// What the block reads back from input port 0 once propagation has settled it.
#ifndef KQ_BLOCK_INPUT_PORT_H
#define KQ_BLOCK_INPUT_PORT_H

#include <cstdint>

#include "host/block_instance.h"

namespace kq {

// True when the host holds input port 0 and output port 0: every hook that reads a port checks
// this first, so a host that calls hooks out of order (after a failed size hook, say) gets no
// effect rather than a crash.
bool hasPortZero(const BlockInstance* instance);

// Frame mode of input port 0: -1 (inherited) when bit 4 of its attribute word is set, else bit 3
// (0 sample based, 1 frame based).
int32_t inputFrameMode(const BlockInstance* instance);

// Number of channels C of input port 0: its column count when it has a column entry, else 1.
int32_t inputChannelCount(const BlockInstance* instance);

// Rows of input port 0 (its first dimension); 0 when the host gave no dimension list.
int32_t inputRowCount(const BlockInstance* instance);

// Elements of state ("Prev", "Cumsum") the current input needs: one per channel when frame based,
// one per input element when sample based.
int32_t stateWidth(const BlockInstance* instance);

}  // namespace kq

#endif
