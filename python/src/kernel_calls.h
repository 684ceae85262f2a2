// The unwrap kernels as the Python module calls them. This pair of files is the module's only
// contact with the kernel library: the rest of the module sees these four calls.
//
// The kernels are those of the processor's best vector level, chosen once, at the first call, the
// way the block chooses them at start; every level gives the bits of the scalar kernels.
//
// Buffers: numChans channels of frameLen samples, channel after channel. `in` may equal `out`
// (the in-place kernel then runs); any other overlap is not allowed.
#ifndef KQ_PYTHON_KERNEL_CALLS_H
#define KQ_PYTHON_KERNEL_CALLS_H

#include <cstdint>

namespace kqpy {

// Every channel on its own: sample 0 passes through, the correction starts from zero.
template <typename T>
void unwrapStateless(const T* in, T* out, T cutoff, int32_t numChans, int32_t frameLen);

// Carried on from the previous call through prev and cumsum (numChans values each); a non-zero
// *firstStep makes the call seed prev from its own first samples and zero cumsum, and is cleared.
template <typename T>
void unwrapRunning(const T* in, T* out, T* prev, T* cumsum, T cutoff, int32_t numChans,
                   int32_t frameLen, uint8_t* firstStep);

// The name of the vector level the module runs ("scalar", "avx2" or "avx512").
const char* chosenVectorLevelName();

}  // namespace kqpy

#endif
