// What the block must output, computed by kqhost validate with the plain reference of the unwrap
// (kernels/reference/unwrap_reference.h: compiled into kqhost, independent of the kernels and of
// the block library under test), walked the way the block walks the port for its layout:
//
//   layout                     running                          stateless
//   frame N x C                per channel: C channels of N     C channels of N samples
//   sample-based row / column  per element: C elements          1 channel of C samples
//   sample-based vector        per channel: 1 channel of C      1 channel of C samples
//
// The reference keeps its own Prev, Cumsum and FirstStep, and follows the host's tolerance changes
// and resets as the block must.
#ifndef KQ_SIM_KQHOST_VALIDATE_VALIDATE_REFERENCE_H
#define KQ_SIM_KQHOST_VALIDATE_VALIDATE_REFERENCE_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "kernels/reference/unwrap_reference.h"
#include "sim/engine/simulation.h"

namespace kq::kqhost {

// How the block walks one output step's port buffer: numChans channels of frameLen consecutive
// values (the port's column-major order), in the kernel shape that walks it (the shapes of the
// runtime's kernel list). For RunningSample every value is a channel of its own carried from step
// to step (numChans values, frameLen 1).
struct KernelWalk {
    enum class Shape { Stateless, RunningSample, RunningFrame };
    Shape shape;
    int32_t numChans;
    int32_t frameLen;

    size_t values() const { return static_cast<size_t>(numChans) * static_cast<size_t>(frameLen); }
};

KernelWalk kernelWalkFor(const kq::sim::SimulationSetup& setup);

// The cutoff the block derives from a Tolerance: the value when above zero, else its negation
// (so a zero changes sign and a NaN stays NaN), rounded to the port type (to nearest, overflowing
// to infinity).
template <typename T>
T cutoffFor(double tolerance);

template <typename T>
class ReferenceUnwrap {
  public:
    // Starts as the block does after its first reset. Copying or in place, the block's outputs are
    // the same.
    ReferenceUnwrap(const KernelWalk& walk, double tolerance);

    // Tolerance changed: the cutoff follows; the running state stays.
    void setTolerance(double tolerance);
    // The initial-conditions hook ran again: the next step starts afresh.
    void reset();
    // One output step: `expected` (walk.values() values) from `input`, both in port order.
    void step(const T* input, T* expected);

  private:
    KernelWalk walk_;
    T cutoff_;
    kq::ref::ReferenceState<T> state_;
};

extern template class ReferenceUnwrap<double>;
extern template class ReferenceUnwrap<float>;

}  // namespace kq::kqhost

#endif
