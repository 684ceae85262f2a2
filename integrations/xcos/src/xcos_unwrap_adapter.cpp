#include "integrations/xcos/src/xcos_unwrap_adapter.h"

#include <bit>
#include <cstdint>
#include <cstring>

#include "sim/engine/block_error.h"

namespace kq::xcos {

namespace {

kq::sim::HostInstanceOptions hostOptionsFor(const XcosBlockSettings& settings) {
    kq::sim::HostInstanceOptions options;
    options.blockName = blockNameOf(settings.libraryPath);
    return options;
}

// A parameter counts as edited when its bits differ, so that an edit to -0 or between NaNs that
// compare unequal is still seen, and a value that merely compares equal is not.
bool edited(double now, double before) {
    return std::bit_cast<uint64_t>(now) != std::bit_cast<uint64_t>(before);
}

}  // namespace

XcosUnwrapAdapter::XcosUnwrapAdapter(const XcosBlockSettings& settings)
    : library_(settings.libraryPath),
      caller_(library_.kvxFunction()),
      simulation_(caller_, toSimulationSetup(settings), hostOptionsFor(settings)),
      elements_(settings.inputRows * settings.inputColumns),
      tolerance_(settings.tolerance),
      running_(settings.running) {
    simulation_.initialize();
}

void XcosUnwrapAdapter::output(const double* rpar, const double* input, double* output) {
    if (edited(rpar[1], running_)) {
        throw kq::sim::BlockError("Running cannot change during a simulation");
    }
    if (edited(rpar[0], tolerance_)) {
        simulation_.setTolerance(rpar[0]);
        tolerance_ = rpar[0];
    }
    BlockInstance* block = simulation_.host().block();
    std::memcpy(block->inputPorts[0].data, input, elements_ * sizeof(double));
    simulation_.runOutputStep();
    std::memcpy(output, block->outputPorts[0].data, elements_ * sizeof(double));
}

}  // namespace kq::xcos
