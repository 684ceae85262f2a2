#include "sim/kqhost/validate/validate_reference.h"

#include <algorithm>

#include "kernels/reference/unwrap_reference.h"
#include "sim/kqhost/io/signal_format.h"
#include "sim/kqhost/validate/validate_random_setup.h"

namespace kq::kqhost {

KernelWalk kernelWalkFor(const kq::sim::SimulationSetup& setup) {
    const auto channels = static_cast<int32_t>(setup.channels);
    const bool running = isRunningMode(setup.mode);
    switch (layoutOf(setup)) {
        case ValidateLayout::Frame: {
            const auto frameLen = static_cast<int32_t>(setup.frameLen);
            return {running ? KernelWalk::Shape::RunningFrame : KernelWalk::Shape::Stateless,
                    channels, frameLen};
        }
        case ValidateLayout::Row:
        case ValidateLayout::Column:
            if (running) {
                return {KernelWalk::Shape::RunningSample, channels, 1};
            }
            return {KernelWalk::Shape::Stateless, 1, channels};
        case ValidateLayout::Vector:
            break;
    }
    return {running ? KernelWalk::Shape::RunningFrame : KernelWalk::Shape::Stateless, 1, channels};
}

template <typename T>
T cutoffFor(double tolerance) {
    const double magnitude = tolerance > 0.0 ? tolerance : -tolerance;
    if constexpr (sizeof(T) == sizeof(float)) {
        return roundToSingle(magnitude);
    } else {
        return magnitude;
    }
}

template double cutoffFor<double>(double tolerance);
template float cutoffFor<float>(double tolerance);

template <typename T>
ReferenceUnwrap<T>::ReferenceUnwrap(const KernelWalk& walk, double tolerance)
    : walk_(walk), cutoff_(cutoffFor<T>(tolerance)) {
    state_.prev.resize(static_cast<size_t>(walk.numChans));
    state_.cumsum.resize(static_cast<size_t>(walk.numChans));
}

template <typename T>
void ReferenceUnwrap<T>::setTolerance(double tolerance) {
    cutoff_ = cutoffFor<T>(tolerance);
}

template <typename T>
void ReferenceUnwrap<T>::reset() {
    state_.firstStep = 1;
    std::fill(state_.cumsum.begin(), state_.cumsum.end(), T{0});
}

template <typename T>
void ReferenceUnwrap<T>::step(const T* input, T* expected) {
    switch (walk_.shape) {
        case KernelWalk::Shape::Stateless:
            kq::ref::referenceStateless(input, expected, cutoff_, walk_.numChans, walk_.frameLen);
            break;
        case KernelWalk::Shape::RunningFrame:
            kq::ref::referenceRunningFrame(state_, input, expected, cutoff_, walk_.numChans,
                                           walk_.frameLen);
            break;
        case KernelWalk::Shape::RunningSample:
            kq::ref::referenceRunningSample(state_, input, expected, cutoff_, walk_.numChans);
            break;
    }
}

template class ReferenceUnwrap<double>;
template class ReferenceUnwrap<float>;

}  // namespace kq::kqhost
