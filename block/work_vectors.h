// The block's work vectors, which the host allocates and keeps between calls.
#ifndef KQ_BLOCK_WORK_VECTORS_H
#define KQ_BLOCK_WORK_VECTORS_H

#include <cstdint>

#include "host/block_instance.h"

namespace kq {

enum WorkVectorIndex : int32_t {
    kWorkCutoff = 0,     // one element in the input's precision: |Tolerance|
    kWorkPrev = 1,       // last raw input sample per channel or element
    kWorkCumsum = 2,     // correction accumulated per channel or element
    kWorkFirstStep = 3,  // one-byte boolean: the next output call is the first after a reset
    kNumWorkVectorsStateless = 1,
    kNumWorkVectorsRunning = 4
};

inline constexpr const char* kWorkVectorNames[kNumWorkVectorsRunning] = {"Cutoff", "Prev", "Cumsum",
                                                                         "FirstStep"};

// Data of work vector `index`, or nullptr when the host has not provided it (fewer vectors were
// declared, or the memory is not allocated yet).
void* workVectorData(const BlockInstance* instance, int32_t index);

// Declared typeId of work vector `index`, or kTypeIdUnset when it does not exist.
int32_t workVectorType(const BlockInstance* instance, int32_t index);

}  // namespace kq

#endif
