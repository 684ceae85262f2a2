// The input of kqhost validate: one PhaseSampleSource per channel of the block's walk, giving that
// channel's raw samples in the order the block meets them. Ordinary samples are wrapped phase (a
// random walk reduced to [-pi, pi]); hard samples, mixed in at the setup's share, are the values
// at the edges of the arithmetic:
//   - steps of exactly +-pi, +-2pi and +-3pi of the port's precision, steps 1e-10, 1e-9, 3e-5 and
//     1e-4 beyond -pi (and 1e-9 beyond -3pi), and steps of the largest value below pi, each either
//     from a zero (a zero of either sign, then the step's value: the step is exact) or from the
//     previous sample (rounded to the port type);
//   - the values +-0, subnormals, the smallest normal, +-pi, +-(largest value below pi), +-1e15,
//     +-1e300 (infinite in single), +-inf, quiet NaNs of either sign with any payload, and
//     signalling NaNs with a payload of at most kMaxInputSignallingPayload.
// Values are computed in double and rounded to the port type (to nearest, overflowing to infinity)
// except the NaNs, which are made in the port type. No sample has the bits of outputMarker.
#ifndef KQ_SIM_KQHOST_VALIDATE_VALIDATE_PHASE_SOURCE_H
#define KQ_SIM_KQHOST_VALIDATE_VALIDATE_PHASE_SOURCE_H

#include <optional>

#include "sim/kqhost/validate/validate_random.h"

namespace kq::kqhost {

template <typename T>
class PhaseSampleSource {
  public:
    // hardShare: probability that a sample starts a hard value or step; phaseSpread: largest move
    // of the ordinary phase per sample, in radians; startPhase: where the phase starts.
    PhaseSampleSource(double hardShare, double phaseSpread, double startPhase);

    // The channel's next raw sample.
    T next(ValidateRandom& random);

  private:
    T hardSample(ValidateRandom& random);

    double hardShare_;
    double phaseSpread_;
    double phase_;
    T prev_{};
    std::optional<T> pending_;  // the second sample of a step from zero
};

extern template class PhaseSampleSource<double>;
extern template class PhaseSampleSource<float>;

}  // namespace kq::kqhost

#endif
