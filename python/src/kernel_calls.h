// The unwrap kernels as the Python module calls them. This pair of files is the module's only
// contact with the kernel library: the rest of the module sees these calls.
//
// The kernels are those of the processor's best vector level, chosen once, at the first call, the
// way the block chooses them at start; every level gives the bits of the scalar kernels. The
// environment variable KQPHASEFIX2_VECTOR_LEVEL (one of vectorLevelNames()) picks another level
// the processor has, for tests; a level it lacks or an unknown name fails the first call.
//
// Buffers of the kernels: numChans channels of frameLen samples, channel after channel. `in` may
// equal `out` (the in-place kernel then runs); any other overlap is not allowed.
#ifndef KQ_PYTHON_KERNEL_CALLS_H
#define KQ_PYTHON_KERNEL_CALLS_H

#include <cstdint>
#include <vector>

namespace kq::python {

// Every channel on its own: sample 0 passes through, the correction starts from zero.
template <typename T>
void unwrapStateless(const T* in, T* out, T cutoff, int32_t numChans, int32_t frameLen);

// Carried on from the previous call through prev and cumsum (numChans values each); a non-zero
// *firstStep makes the call seed prev from its own first samples and zero cumsum, and is cleared.
template <typename T>
void unwrapRunning(const T* in, T* out, T* prev, T* cumsum, T cutoff, int32_t numChans,
                   int32_t frameLen, uint8_t* firstStep);

// Time-major channels, side by side: `rows` rows of numChans samples, sample r of channel j at
// in[r * inRowStep + j] and out[r * outRowStep + j]; the row kernels of kernels/unwrap_rows.h at
// the chosen vector level, which say what they keep and give.
template <typename T>
void unwrapRows(const T* in, int64_t inRowStep, T* out, int64_t outRowStep, int64_t rows,
                int64_t numChans, T* prev, double* sum, T cutoff);

// The fewest channels for which the row kernels beat running the channels one by one: the width
// of one vector of the chosen level (1 for the scalar level). Fewer run the scalar row kernels.
int64_t unwrapRowsMinChannels();

// A channel cut into chunks (kernels/chunk_carry.h), at the chosen vector level: the corrections
// the steps prev -> in[0] ... in[n-2] -> in[n-1] take, in order (returns how many), and the
// channel carried on from its raw sample *prev and its binary64 correction sum *sum.
template <typename T>
int64_t takenCorrections(const T* in, int64_t n, T prev, T cutoff, double* taken);
template <typename T>
void unwrapCarried(const T* in, T* out, int64_t n, T* prev, double* sum, T cutoff);
// The sum after adding taken[0..n) to it one at a time, in order: the chain between the chunks.
double addTakenCorrections(double sum, const double* taken, int64_t n);

// The name of the vector level the module runs, one of vectorLevelNames().
const char* chosenVectorLevelName();

// The name of every vector level of the kernels' one list, built or not, in order of preference
// (the last available one runs): the values KQPHASEFIX2_VECTOR_LEVEL takes.
std::vector<const char*> vectorLevelNames();

}  // namespace kq::python

#endif
