// UnwrapArgs: the block's run-time record, one per instance, built at start.
#ifndef KQ_BLOCK_UNWRAP_ARGS_H
#define KQ_BLOCK_UNWRAP_ARGS_H

#include <cstdint>

namespace kq {

struct UnwrapArgs;

// One entry of the kernel table: runs its kernel on the buffers and state named by the record.
using UnwrapKernelEntry = void (*)(const UnwrapArgs* args);

// Allocated zero-filled with tqCalloc in hookStart and kept in userData until hookTerminate. The
// pointers borrow host-owned buffers and are never freed by the block.
struct UnwrapArgs {
    void* in;            // elements of input port 0 (double or single)
    void* out;           // elements of output port 0; the same memory as `in` when shared
    int32_t numChans;    // channels, for the stateless and per-channel kernels
    int32_t frameLen;    // samples per channel, for the same kernels
    int32_t numElems;    // independent elements of the per-element kernels; 1 selects per channel
    void* prev;          // "Prev" data, or null when the state is not bound
    void* cumsum;        // "Cumsum" data, or null
    const void* cutoff;  // "Cutoff" data; read at every call so parameter updates reach the kernel
    uint8_t* firstStep;  // "FirstStep" byte, or null
    UnwrapKernelEntry kernel;  // the table entry chosen at start
};

}  // namespace kq

#endif
