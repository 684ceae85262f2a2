// Shared helpers for tests that drive the block's code directly, inside the test process.
#ifndef KQ_TESTS_BLOCK_BLOCK_TEST_SUPPORT_H
#define KQ_TESTS_BLOCK_BLOCK_TEST_SUPPORT_H

#include <string>
#include <utility>
#include <vector>

#include "entry/block_identity.h"
#include "host/kvx_function.h"
#include "sim/engine/host_instance.h"
#include "sim/libkvx/host_error.h"
#include "sim/libvz/vz_array_owner.h"
#include "sim/libvz/vz_host.h"

namespace kq::test {

// The stand-in host's instance for this block: under the block's own name unless the options give
// another (the engine takes the name as data, as it would for any block).
class BlockHost : public kq::sim::HostInstance {
  public:
    explicit BlockHost(kq::sim::HostInstanceOptions options = {})
        : HostInstance(withBlockName(std::move(options))) {}

  private:
    static kq::sim::HostInstanceOptions withBlockName(kq::sim::HostInstanceOptions options) {
        if (options.blockName.empty()) {
            options.blockName = kBlockName;
        }
        return options;
    }
};

// Owns arrays made for one test.
class Arrays : public kq::sim::VzArrayList {
  public:
    vzArray* scalar(double v) { return keep(vzCreateDoubleScalar(v)); }
    vzArray* matrix(size_t rows, size_t cols, std::vector<double> values = {}) {
        vzArray* a = keep(vzCreateDoubleMatrix(rows, cols, vzREAL));
        double* data = vzGetPr(a);
        for (size_t i = 0; i < values.size() && data != nullptr; ++i) {
            data[i] = values[i];
        }
        return a;
    }
};

// A host call of `flag` (any double) through kvxFunction; returns the message the block stored
// (empty when none) and clears it.
inline std::string hostCall(kq::sim::HostInstance& host, double flag) {
    vzArray* flagArray = vzCreateDoubleScalar(flag);
    vzArray* leftArgs[2] = {nullptr, reinterpret_cast<vzArray*>(host.block())};
    const vzArray* rightArgs[4] = {nullptr, nullptr, nullptr, flagArray};
    kvxFunction(-1, leftArgs, 4, rightArgs);
    vzDestroyArray(flagArray);
    return host.takeErrorStatus();
}

// Result of a command-line call: the sizes, or the message raised.
struct CommandLineResult {
    std::vector<double> sizes;
    std::string raised;
};

inline CommandLineResult commandLine(int32_t numLeft, std::vector<const vzArray*> rightArgs) {
    CommandLineResult result;
    vzArray* leftArgs[2] = {nullptr, nullptr};
    try {
        kvxFunction(numLeft, leftArgs, static_cast<int32_t>(rightArgs.size()), rightArgs.data());
    } catch (const kq::sim::HostError& error) {
        result.raised = error.what();
    }
    vzReleaseCallAllocations();
    if (leftArgs[0] != nullptr) {
        const double* data = vzGetPr(leftArgs[0]);
        result.sizes.assign(data, data + vzGetNumberOfElements(leftArgs[0]));
        vzDestroyArray(leftArgs[0]);
    }
    return result;
}

// The load-time marker for a host instance.
inline vzArray* loadMarker(Arrays& arrays, const BlockInstance* instance) {
    return arrays.matrix(2, 1,
                         {static_cast<double>(reinterpret_cast<uintptr_t>(instance)),
                          static_cast<double>(kvxLevel2Stamp)});
}

// Registers the block in the host's instance through a load-time call; returns the raised message,
// or the message the size hook stored.
inline std::string loadBlock(kq::sim::HostInstance& host) {
    Arrays arrays;
    const std::string raised =
        commandLine(0, {nullptr, loadMarker(arrays, host.block()), nullptr, arrays.scalar(0)})
            .raised;
    return raised.empty() ? host.takeErrorStatus() : raised;
}

// A block instance carried through propagation to the point of start.
struct InstanceShape {
    std::vector<int32_t> dims;
    int32_t frameMode = 0;
    int32_t typeId = 0;
    double secondParam = 0.0;
    bool inPlace = false;
    double tolerance = 3.141592653589793;
    double samplePeriod = 1.0;
};

// Loads the block, settles input port 0, resolves the sample time, declares and allocates the work
// vectors, all through kvxFunction; returns the first message the block stored (empty on success).
inline std::string prepareInstance(kq::sim::HostInstance& host, const InstanceShape& shape) {
    host.setDialogParams(
        {vzCreateDoubleScalar(shape.tolerance), vzCreateDoubleScalar(shape.secondParam)});
    std::string message = loadBlock(host);
    if (message.empty()) {
        message = hostCall(host, kFlagCheckParameters);
    }
    if (!message.empty()) {
        return message;
    }
    host.propagateInputShape(shape.dims, shape.frameMode);
    host.hostInfo().portValue = shape.typeId;
    for (int32_t code : {kFlagSetInputPortDataType, kFlagInitializeSampleTimes}) {
        if (std::string m = hostCall(host, code); !m.empty()) {
            return m;
        }
    }
    host.resolveSampleTime(shape.samplePeriod, 0.0);
    if (std::string m = hostCall(host, kFlagSetWorkWidths); !m.empty()) {
        return m;
    }
    host.allocateBuffers(shape.inPlace);
    return "";
}

// prepareInstance, then start and initial conditions.
inline std::string startInstance(kq::sim::HostInstance& host, const InstanceShape& shape) {
    std::string message = prepareInstance(host, shape);
    for (int32_t code : {kFlagStart, kFlagInitializeConditions}) {
        if (message.empty()) {
            message = hostCall(host, code);
        }
    }
    return message;
}

// Terminates the block when a test ends, as a host does before it drops an instance, so that the
// block's run-time record is released.
class TerminateAtEnd {
  public:
    explicit TerminateAtEnd(kq::sim::HostInstance& host) : host_(host) {}
    TerminateAtEnd(const TerminateAtEnd&) = delete;
    TerminateAtEnd& operator=(const TerminateAtEnd&) = delete;
    ~TerminateAtEnd() { hostCall(host_, kFlagTerminate); }

  private:
    kq::sim::HostInstance& host_;
};

}  // namespace kq::test

#endif
