#include "sim/kqhost/validate/validate_phase_source.h"

#include <array>
#include <cmath>
#include <limits>
#include <numbers>

#include "sim/kqhost/io/signal_format.h"
#include "sim/kqhost/validate/validate_bits.h"

namespace kq::kqhost {

namespace {

template <typename T>
T roundTo(double value) {
    if constexpr (sizeof(T) == sizeof(float)) {
        return roundToSingle(value);
    } else {
        return value;
    }
}

// Pi of the port's precision, as a double.
template <typename T>
constexpr double kPortPi = static_cast<double>(std::numbers::pi_v<T>);

// The steps at the edges of the wrap step, in radians, before rounding to the port type.
template <typename T>
std::array<double, 13> hardSteps() {
    constexpr double pi = kPortPi<T>;
    const double belowPi = std::nextafter(std::numbers::pi_v<T>, T{0});
    return {pi,         -pi,        2.0 * pi,   -2.0 * pi,        3.0 * pi, -3.0 * pi, -pi - 1e-10,
            -pi - 1e-9, -pi - 3e-5, -pi - 1e-4, -3.0 * pi - 1e-9, belowPi,  -belowPi};
}

// The values at the edges of the port type and of the arithmetic, before rounding.
template <typename T>
std::array<double, 16> hardValues() {
    using Limits = std::numeric_limits<T>;
    constexpr double pi = kPortPi<T>;
    const double belowPi = std::nextafter(std::numbers::pi_v<T>, T{0});
    return {0.0,
            -0.0,
            Limits::denorm_min(),
            -Limits::denorm_min(),
            Limits::min(),
            -Limits::min(),
            pi,
            -pi,
            belowPi,
            -belowPi,
            1e15,
            -1e15,
            1e300,
            -1e300,
            Limits::infinity(),
            -Limits::infinity()};
}

}  // namespace

template <typename T>
PhaseSampleSource<T>::PhaseSampleSource(double hardShare, double phaseSpread, double startPhase)
    : hardShare_(hardShare), phaseSpread_(phaseSpread), phase_(startPhase) {}

template <typename T>
T PhaseSampleSource<T>::next(ValidateRandom& random) {
    T value{};
    if (pending_) {
        value = *pending_;
        pending_.reset();
    } else if (random.chance(hardShare_)) {
        value = hardSample(random);
    } else {
        // remainder is exact, so the walk is the same on every build.
        phase_ = std::remainder(phase_ + random.uniform(-phaseSpread_, phaseSpread_),
                                2.0 * std::numbers::pi);
        value = roundTo<T>(phase_);
    }
    prev_ = value;
    return value;
}

template <typename T>
T PhaseSampleSource<T>::hardSample(ValidateRandom& random) {
    static const std::array<double, 13> steps = hardSteps<T>();
    static const std::array<double, 16> values = hardValues<T>();
    const uint64_t kind = random.below(10);
    if (kind < 4) {
        // A zero, then the step's own value: the step between them is exact.
        pending_ = roundTo<T>(random.pick(steps));
        return random.chance(0.5) ? T{0} : -T{0};
    }
    if (kind < 6) {
        return roundTo<T>(static_cast<double>(prev_) + random.pick(steps));
    }
    if (kind < 8) {
        return roundTo<T>(random.pick(values));
    }
    if (kind == 8) {
        // A subnormal with a payload of up to 20 bits, either sign; exact in the port type.
        const T subnormal = std::numeric_limits<T>::denorm_min() *
                            static_cast<T>(random.between(1, int64_t{1} << 20));
        return random.chance(0.5) ? subnormal : -subnormal;
    }
    const bool negative = random.chance(0.5);
    if (random.chance(0.8)) {
        return makeNaN<T>(negative, true, random.bits());
    }
    return makeNaN<T>(negative, false,
                      static_cast<uint64_t>(random.between(1, kMaxInputSignallingPayload)));
}

template class PhaseSampleSource<double>;
template class PhaseSampleSource<float>;

}  // namespace kq::kqhost
