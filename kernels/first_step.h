// The first call of a running kernel, shared by every vector level: the runtime's seeding
// (KQ_SEED_FIRST_STEP, runtime/kq_unwrap_runtime.h), which the scalar kernels run too.
#ifndef KQ_KERNELS_FIRST_STEP_H
#define KQ_KERNELS_FIRST_STEP_H

#include <cstdint>

#include "runtime/kq_unwrap_runtime.h"

namespace kq {

// Local to each including translation unit, like the vector bodies: every level compiles its own
// copy with its own instruction set, so the scalar path never runs a vector-compiled one.
namespace {

// When *firstStep is set (any non-zero value), seeds the state of numChans channels of frameLen
// samples from the call's own input: each channel's Prev becomes its first raw sample and its
// Cumsum zero, so that sample comes out unchanged. A call without samples (frameLen not above 0)
// has nothing to seed from and leaves the state as it is. *firstStep is cleared either way. The
// per-element kernels pass numElems channels of one sample.
template <typename T>
inline void seedFirstStep(const T* in, T* prev, T* cumsum, int32_t numChans, int32_t frameLen,
                          uint8_t* firstStep) {
    KQ_SEED_FIRST_STEP(in, prev, cumsum, numChans, frameLen, firstStep);
}

}  // namespace

}  // namespace kq

#endif
