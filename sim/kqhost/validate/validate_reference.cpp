#include "sim/kqhost/validate/validate_reference.h"

#include <algorithm>

#include "kernels/unwrap_kernels.h"
#include "sim/kqhost/io/signal_format.h"
#include "sim/kqhost/validate/validate_random_setup.h"

namespace kqhost {

namespace {

// The six scalar kernels of one precision.
template <typename T>
struct ScalarKernels;

template <>
struct ScalarKernels<double> {
    static constexpr auto statelessCopy = unwrapStatelessCopyDbl;
    static constexpr auto statelessInPlace = unwrapStatelessInPlaceDbl;
    static constexpr auto runningSampleCopy = unwrapRunningSampleCopyDbl;
    static constexpr auto runningSampleInPlace = unwrapRunningSampleInPlaceDbl;
    static constexpr auto runningFrameCopy = unwrapRunningFrameCopyDbl;
    static constexpr auto runningFrameInPlace = unwrapRunningFrameInPlaceDbl;
};

template <>
struct ScalarKernels<float> {
    static constexpr auto statelessCopy = unwrapStatelessCopySgl;
    static constexpr auto statelessInPlace = unwrapStatelessInPlaceSgl;
    static constexpr auto runningSampleCopy = unwrapRunningSampleCopySgl;
    static constexpr auto runningSampleInPlace = unwrapRunningSampleInPlaceSgl;
    static constexpr auto runningFrameCopy = unwrapRunningFrameCopySgl;
    static constexpr auto runningFrameInPlace = unwrapRunningFrameInPlaceSgl;
};

}  // namespace

KernelWalk kernelWalkFor(const kq::sim::SimulationSetup& setup) {
    const auto channels = static_cast<int32_t>(setup.channels);
    const bool running = isRunningMode(setup.mode);
    switch (layoutOf(setup)) {
        case ValidateLayout::Frame: {
            const auto frameLen = static_cast<int32_t>(setup.frameLen);
            return {running ? KernelWalk::Kind::RunningChannels : KernelWalk::Kind::Stateless,
                    channels, frameLen};
        }
        case ValidateLayout::Row:
        case ValidateLayout::Column:
            if (running) {
                return {KernelWalk::Kind::RunningElements, channels, 1};
            }
            return {KernelWalk::Kind::Stateless, 1, channels};
        case ValidateLayout::Vector:
            break;
    }
    return {running ? KernelWalk::Kind::RunningChannels : KernelWalk::Kind::Stateless, 1, channels};
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
ReferenceUnwrap<T>::ReferenceUnwrap(const KernelWalk& walk, bool inPlace, double tolerance)
    : walk_(walk),
      inPlace_(inPlace),
      cutoff_(cutoffFor<T>(tolerance)),
      prev_(static_cast<size_t>(walk.numChans)),
      cumsum_(static_cast<size_t>(walk.numChans)) {}

template <typename T>
void ReferenceUnwrap<T>::setTolerance(double tolerance) {
    cutoff_ = cutoffFor<T>(tolerance);
}

template <typename T>
void ReferenceUnwrap<T>::reset() {
    firstStep_ = 1;
    std::fill(cumsum_.begin(), cumsum_.end(), T{0});
}

template <typename T>
void ReferenceUnwrap<T>::step(const T* input, T* expected) {
    using K = ScalarKernels<T>;
    const int32_t chans = walk_.numChans;
    const int32_t len = walk_.frameLen;
    if (inPlace_) {
        std::copy_n(input, walk_.values(), expected);
    }
    switch (walk_.kind) {
        case KernelWalk::Kind::Stateless:
            if (inPlace_) {
                K::statelessInPlace(expected, cutoff_, chans, len);
            } else {
                K::statelessCopy(input, expected, cutoff_, chans, len);
            }
            break;
        case KernelWalk::Kind::RunningChannels:
            if (inPlace_) {
                K::runningFrameInPlace(expected, prev_.data(), cumsum_.data(), cutoff_, chans, len,
                                       &firstStep_);
            } else {
                K::runningFrameCopy(input, expected, prev_.data(), cumsum_.data(), cutoff_, chans,
                                    len, &firstStep_);
            }
            break;
        case KernelWalk::Kind::RunningElements:
            if (inPlace_) {
                K::runningSampleInPlace(expected, prev_.data(), cumsum_.data(), cutoff_, chans,
                                        &firstStep_);
            } else {
                K::runningSampleCopy(input, expected, prev_.data(), cumsum_.data(), cutoff_, chans,
                                     &firstStep_);
            }
            break;
    }
}

template class ReferenceUnwrap<double>;
template class ReferenceUnwrap<float>;

}  // namespace kqhost
