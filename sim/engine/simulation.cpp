#include "sim/engine/simulation.h"

#include <algorithm>
#include <stdexcept>
#include <type_traits>

#include "kernels/floating_point_mode.h"
#include "sim/engine/block_error.h"
#include "sim/engine/single_in_double.h"
#include "sim/libvz/vz_host.h"

namespace kq::sim {

namespace {

// A value of the port's type and back; a single goes by its bits, so that a signalling NaN reaches
// the block and the output as it is.
template <typename T>
T toElement(double v) {
    if constexpr (std::is_same_v<T, double>) {
        return v;
    } else {
        return narrowToSingle(v);
    }
}

template <typename T>
double fromElement(T v) {
    if constexpr (std::is_same_v<T, double>) {
        return v;
    } else {
        return widenSingle(v);
    }
}

// Time-major values and the port's column-major elements: time step t of channel c is element
// (t, c) of a frame of `rows` time steps; a sample-based step holds element c.
template <typename T>
void toPort(const double* values, void* port, size_t rows, size_t channels) {
    auto* elements = static_cast<T*>(port);
    if (rows == 1 || channels == 1) {
        // One time step or one channel: both orders are the same, and the copy is one pass (for
        // double a plain copy, which the library does at the processor's full width).
        if constexpr (std::is_same_v<T, double>) {
            std::copy(values, values + rows * channels, elements);
        } else {
            std::transform(values, values + rows * channels, elements,
                           [](double v) { return toElement<T>(v); });
        }
        return;
    }
    for (size_t t = 0; t < rows; ++t) {
        for (size_t c = 0; c < channels; ++c) {
            elements[t + c * rows] = toElement<T>(values[t * channels + c]);
        }
    }
}

template <typename T>
void fromPort(const void* port, double* values, size_t rows, size_t channels) {
    const auto* elements = static_cast<const T*>(port);
    if (rows == 1 || channels == 1) {
        std::transform(elements, elements + rows * channels, values,
                       [](T v) { return fromElement(v); });
        return;
    }
    for (size_t t = 0; t < rows; ++t) {
        for (size_t c = 0; c < channels; ++c) {
            values[t * channels + c] = fromElement(elements[t + c * rows]);
        }
    }
}

}  // namespace

Simulation::Simulation(HostCaller& caller, const SimulationSetup& setup,
                       const HostInstanceOptions& options)
    : caller_(caller), setup_(setup), host_(options) {
    if (setup.typeId != kTypeIdDouble && setup.typeId != kTypeIdSingle) {
        throw std::invalid_argument("the port type must be double or single");
    }
    if (setup.channels == 0) {
        throw std::invalid_argument("the input needs at least one channel");
    }
    host_.setDialogParams(
        {vzCreateDoubleScalar(setup.tolerance), vzCreateDoubleScalar(setup.mode)});
}

Simulation::~Simulation() {
    try {
        terminate();
    } catch (const BlockError&) {
        // A block that fails to terminate has nothing more to release here.
    }
}

std::vector<int32_t> Simulation::portDims() const {
    const auto channels = static_cast<int32_t>(setup_.channels);
    if (setup_.frameLen > 0) {
        return {static_cast<int32_t>(setup_.frameLen), channels};
    }
    switch (setup_.shape) {
        case PortShape::Row:
            return {1, channels};
        case PortShape::Column:
            return {channels, 1};
        case PortShape::Vector:
            break;
    }
    return {channels};
}

size_t Simulation::valuesPerStep() const {
    return timeStepsPerStep() * setup_.channels;
}

size_t Simulation::timeStepsPerStep() const {
    return setup_.frameLen > 0 ? setup_.frameLen : 1;
}

void Simulation::initialize() {
    BlockInstance* block = host_.block();
    caller_.registerBlock(host_);
    caller_.call(host_, kFlagCheckParameters);

    // Propagation: the source settles the input's size and frame mode, then offers its data type
    // to the block, which spreads it to every port.
    host_.propagateInputShape(portDims(), setup_.frameLen > 0 ? kFrameModeFrame : kFrameModeSample);
    block->sizes[kSizesCurrentPort] = 0;
    host_.hostInfo().portValue = setup_.typeId;
    caller_.call(host_, kFlagSetInputPortDataType);
    if (block->inputPorts[0].typeId != setup_.typeId) {
        throw BlockError("the block did not accept the input's data type");
    }

    // The block inherits its sample time; the host resolves it from the source.
    caller_.call(host_, kFlagInitializeSampleTimes);
    if (block->samplePeriod[0] == -1.0) {
        host_.resolveSampleTime(setup_.samplePeriod, 0.0);
    }

    caller_.call(host_, kFlagSetWorkWidths);
    host_.allocateBuffers(setup_.inPlace);
    caller_.call(host_, kFlagStart);
    started_ = true;
    caller_.call(host_, kFlagInitializeConditions);
}

void Simulation::step(const double* input, double* output) {
    writeInput(input);
    runOutputStep();
    readOutput(output);
}

// The host's own conversions to and from the port's type run in the default floating-point mode
// (flush-to-zero would lose single-precision subnormals), whatever mode the process is in; the
// block's calls find the process's mode, and the block sets its own.
void Simulation::writeInput(const double* input) {
    const DefaultFloatingPointMode defaultMode;
    void* port = host_.block()->inputPorts[0].data;
    if (setup_.typeId == kTypeIdSingle) {
        toPort<float>(input, port, timeStepsPerStep(), setup_.channels);
    } else {
        toPort<double>(input, port, timeStepsPerStep(), setup_.channels);
    }
}

void Simulation::runOutputStep() {
    caller_.call(host_, kFlagOutputs);
}

void Simulation::readOutput(double* output) {
    const DefaultFloatingPointMode defaultMode;
    const void* port = host_.block()->outputPorts[0].data;
    if (setup_.typeId == kTypeIdSingle) {
        fromPort<float>(port, output, timeStepsPerStep(), setup_.channels);
    } else {
        fromPort<double>(port, output, timeStepsPerStep(), setup_.channels);
    }
}

void Simulation::setTolerance(double tolerance) {
    host_.replaceDialogParam(0, vzCreateDoubleScalar(tolerance));
    caller_.call(host_, kFlagCheckParameters);
    caller_.call(host_, kFlagProcessParameters);
}

void Simulation::reset() {
    caller_.call(host_, kFlagInitializeConditions);
}

std::string Simulation::generateCode() {
    const size_t before = host_.recordWriter().record().size();
    caller_.call(host_, kFlagGXW);
    return host_.recordWriter().record().substr(before);
}

void Simulation::terminate() {
    if (started_) {
        started_ = false;
        caller_.call(host_, kFlagTerminate);
    }
}

}  // namespace kq::sim
