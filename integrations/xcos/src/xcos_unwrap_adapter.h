// One kqphasefix2 block inside an Xcos diagram: the block library, loaded for this block alone,
// driven by the stand-in engine exactly as a host drives it, with scicos's port buffers copied in
// and out around each output step.
#ifndef KQ_XCOS_XCOS_UNWRAP_ADAPTER_H
#define KQ_XCOS_XCOS_UNWRAP_ADAPTER_H

#include <cstddef>

#include "integrations/xcos/src/xcos_block_settings.h"
#include "sim/engine/block_library.h"
#include "sim/engine/host_caller.h"
#include "sim/engine/simulation.h"

namespace kq::xcos {

class XcosUnwrapAdapter {
  public:
    // Loads the library and takes the block up to its first output step: the load-time call,
    // parameter check, propagation, sample time, work vectors, start and initial conditions.
    // Throws kq::sim::BlockLoadError or kq::sim::BlockError with the reason.
    explicit XcosUnwrapAdapter(const XcosBlockSettings& settings);
    XcosUnwrapAdapter(const XcosUnwrapAdapter&) = delete;
    XcosUnwrapAdapter& operator=(const XcosUnwrapAdapter&) = delete;

    // One activation. rpar is the block's [Tolerance; Running] as scicos holds it now: a Tolerance
    // edited since the last step is reported to the block first, as a parameter change. input and
    // output are scicos's port buffers, column-major like the block's own.
    void output(const double* rpar, const double* input, double* output);

    // Runs the block's terminate hook; later calls do nothing.
    void terminate() { simulation_.terminate(); }

  private:
    kq::sim::BlockLibrary library_;
    kq::sim::HostCaller caller_;
    kq::sim::Simulation simulation_;
    size_t elements_;
    double tolerance_;
    double running_;
};

}  // namespace kq::xcos

#endif
