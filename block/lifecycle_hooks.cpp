// Run time: from a declared interface to output calls, and back.
#include "block/lifecycle_hooks.h"

#include <cstddef>
#include <cstring>

#include "block/block_hooks.h"
#include "block/dialog_params.h"
#include "block/input_port.h"
#include "block/output_step.h"
#include "block/unwrap_kernel_table.h"
#include "block/work_vectors.h"
#include "host/data_types.h"
#include "host/sig_blk_common.h"

namespace kq {

namespace {

constexpr const char* kNeedsDiscreteSampleTime = "Input to block must have a discrete sample time";
constexpr const char* kMissingWorkVectors =
    "Ports or work vectors of the block are missing or do not fit its input: the host must set "
    "them up again before start";

// The running state is bound (and reset) for a frame-based input, or whenever the block runs on
// across calls; a stateless sample-based block has no state vectors.
bool usesState(const BlockInstance* instance) {
    return inputFrameMode(instance) == kFrameModeFrame || isRunning(instance);
}

// Elements of "Prev" and "Cumsum" the settled input needs. An input without rows (a frame of 0
// rows) needs none: its calls have no sample to carry and the kernels read no state for them.
// Its vectors may then be narrower than stateWidth, e.g. C x 0 = 0 when the frame mode was still
// inherited as the widths were set.
int32_t neededStateWidth(const BlockInstance* instance) {
    return inputRowCount(instance) == 0 ? 0 : stateWidth(instance);
}

// The declared vectors still fit the input: of its type (double or single) and, for the state, at
// least as wide as the input needs. They may be wider: a frame mode still inherited when the widths
// were set gives one element of state per input element, so a 4x3 input gets 12 and, settled frame
// based, uses the first 3. A host that changed the input after the work widths so that they no
// longer fit must declare them again before start.
bool workVectorsFitInput(const BlockInstance* instance) {
    const int32_t typeId = instance->inputPorts[0].typeId;
    if ((typeId != kTypeIdDouble && typeId != kTypeIdSingle) ||
        workVectorType(instance, kWorkCutoff) != typeId) {
        return false;
    }
    if (!usesState(instance)) {
        return true;
    }
    const int32_t width = neededStateWidth(instance);
    const WorkVectorRecord* records = instance->workVectors;
    return workVectorType(instance, kWorkPrev) == typeId &&
           workVectorType(instance, kWorkCumsum) == typeId && records[kWorkPrev].width >= width &&
           records[kWorkCumsum].width >= width &&
           workVectorType(instance, kWorkFirstStep) == kTypeIdBoolean;
}

// "FirstStep" always; "Prev" and "Cumsum" when the input needs state, since a host may give a
// vector of width 0 no memory.
bool stateVectorsPresent(const BlockInstance* instance) {
    return workVectorData(instance, kWorkFirstStep) != nullptr &&
           (neededStateWidth(instance) == 0 || (workVectorData(instance, kWorkPrev) != nullptr &&
                                                workVectorData(instance, kWorkCumsum) != nullptr));
}

}  // namespace

void hookStart(BlockInstance* instance) {
    if (instance->samplePeriod == nullptr || instance->samplePeriod[0] == 0.0) {
        setErrorStatus(instance, kNeedsDiscreteSampleTime);
        return;
    }
    // The kernels dereference these on every call: a start without them would fail later, inside
    // an output step, so it fails here instead.
    if (!hasPortZero(instance) || workVectorData(instance, kWorkCutoff) == nullptr ||
        (usesState(instance) && !stateVectorsPresent(instance)) || !workVectorsFitInput(instance)) {
        setErrorStatus(instance, kMissingWorkVectors);
        return;
    }
    // A second start without a terminate in between must not lose the first record.
    tqFree(instance->userData);
    auto* args = static_cast<UnwrapArgs*>(tqCalloc(instance, 1, sizeof(UnwrapArgs)));
    instance->userData = args;
    fillUnwrapArgs(args, instance);
}

void fillUnwrapArgs(UnwrapArgs* args, const BlockInstance* instance) {
    const bool frameBased = inputFrameMode(instance) == kFrameModeFrame;
    args->cutoff = workVectorData(instance, kWorkCutoff);
    if (frameBased || isRunning(instance)) {
        args->cumsum = workVectorData(instance, kWorkCumsum);
        args->prev = workVectorData(instance, kWorkPrev);
        args->firstStep = static_cast<uint8_t*>(workVectorData(instance, kWorkFirstStep));
    }
    args->in = instance->inputPorts[0].data;
    args->out = instance->outputPorts[0].data;

    const bool oriented = isInputOriented(instance, 0);
    args->numChans = inputChannelCount(instance);
    args->frameLen = inputRowCount(instance);
    args->numElems = isInputFrameDataOn(instance, 0)
                         ? args->numChans
                         : static_cast<int32_t>(int64_t{args->numChans} * args->frameLen);
    if (!oriented) {
        args->numElems = 1;
    }
    // A sample-based row is one channel along its length.
    if (!frameBased && args->frameLen == 1) {
        args->frameLen = args->numChans;
        args->numChans = 1;
    }
    selectUnwrapKernel(instance, args);
}

void selectUnwrapKernel(const BlockInstance* instance, UnwrapArgs* args) {
    const bool inPlace = instance->inputPorts[0].sharedWithOutput == 0;
    const bool running = isRunning(instance);
    const bool single = isInputSingle(instance, 0);
    const bool perChannel = inputFrameMode(instance) == kFrameModeFrame || args->numElems == 1;
    // One element per call (a scalar signal): the step alone, which every table entry would
    // reach only through a kernel's loops.
    if (args->numChans == 1 && args->frameLen == 1) {
        args->kernel = unwrapOneElementEntry(inPlace, single, running);
        return;
    }
    // The processor is asked once per start; the entry of its best vector level gives the same
    // bits as the scalar one, faster.
    args->kernel = unwrapKernelTableFor(
        bestVectorLevel())[unwrapKernelIndex(inPlace, single, running, perChannel)];
}

void hookInitializeConditions(BlockInstance* instance) {
    if (hasPortZero(instance) && usesState(instance) && stateVectorsPresent(instance)) {
        const WorkVectorRecord& cumsum = instance->workVectors[kWorkCumsum];
        // The host's type size when it offers one; otherwise the vector's own element size, so
        // that exactly its width is cleared and never more.
        size_t elementSize = static_cast<size_t>(typeIdElementSize(cumsum.typeId));
        if (instance->getDataTypeSize != nullptr) {
            const int32_t hostSize =
                instance->getDataTypeSize(instance->typeSizeContext, cumsum.typeId);
            if (hostSize > 0 && static_cast<size_t>(hostSize) <= elementSize) {
                elementSize = static_cast<size_t>(hostSize);
            }
        }
        *static_cast<uint8_t*>(instance->workVectors[kWorkFirstStep].data) = 1;
        const size_t width = cumsum.width > 0 ? static_cast<size_t>(cumsum.width) : 0;
        if (cumsum.data != nullptr) {
            std::memset(cumsum.data, 0, width * elementSize);
        }
    }
    hookProcessParameters(instance);
}

void hookOutputs(BlockInstance* instance) {
    runOutputStep(instance);
}

void hookTerminate(BlockInstance* instance) {
    tqFree(instance->userData);
    instance->userData = nullptr;
}

}  // namespace kq
