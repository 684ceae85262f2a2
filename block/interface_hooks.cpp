// Interface setup: what the block looks like before any data flows.
#include <cstdint>

#include "block/block_hooks.h"
#include "block/dialog_params.h"
#include "block/input_port.h"
#include "block/work_vectors.h"
#include "host/data_types.h"
#include "host/sig_blk_common.h"

namespace kq {

namespace {

// Leaves a port's width and dimensions to propagation. One constant record for both ports; the host
// must never write through it.
constexpr PortDimsRecord kPropagatedDims = {-1, -1, nullptr};

// Options declared for the host (bits 1, 5, 19, 24 and 29); their meaning is the host's.
constexpr uint32_t kBlockOptions = 0x21080022u;

// Parameter attribute bits set in host modes 2 and 3: bit 0 set, bits 1 and 2 cleared.
constexpr uint32_t kParamAttributeSet = 1u << 0;
constexpr uint32_t kParamAttributeCleared = (1u << 1) | (1u << 2);

constexpr const char* kTypeNotSettled =
    "Data type of the input must be double or single before the work vectors are set";

constexpr uint32_t kInputReuseOptionOne = 1u << kInputReuseOptionShift;
constexpr uint32_t kOutputReuseOptionOne = 1u << kOutputReuseOptionShift;

uint32_t withBits(uint32_t word, uint32_t cleared, uint32_t set) {
    return (word & ~cleared) | set;
}

void setInstanceFlags(BlockInstance* instance, uint32_t cleared, uint32_t set) {
    const auto flags = static_cast<uint32_t>(instance->sizes[kSizesInstanceFlags]);
    instance->sizes[kSizesInstanceFlags] = static_cast<int32_t>(withBits(flags, cleared, set));
}

// Input port 0: inherited frame mode, real, type from propagation, direct feed-through, reusable
// and overwritable buffer, contiguous.
void declareInputPort(InputPortRecord& port) {
    port.attributes |= kInputFrameModeLowBit | kInputFrameModeHighBit;
    port.complexity = kComplexityReal;
    port.typeId = kTypeIdUnset;
    port.feedThrough = 1;
    port.attributes = withBits(port.attributes, kInputReuseOptionMask, kInputReuseOptionOne);
    port.attributes |= kInputMayOverwriteBit;
    port.attributes |= kInputContiguousBit;
}

// Output port 0: inherited frame mode, real, type from propagation, reusable buffer.
void declareOutputPort(OutputPortRecord& port) {
    port.attributes |= kOutputFrameModeLowBit | kOutputFrameModeHighBit;
    port.complexity = kComplexityReal;
    port.typeId = kTypeIdUnset;
    port.attributes = withBits(port.attributes, kOutputReuseOptionMask, kOutputReuseOptionOne);
}

void declareWorkVector(WorkVectorRecord& record, int32_t index, int32_t width, int32_t typeId) {
    record.name = kWorkVectorNames[index];
    record.width = width;
    record.typeId = typeId;
    record.complexity = kComplexityReal;
}

}  // namespace

void hookInitializeSizes(BlockInstance* instance) {
    if (!registerRBlockParams(instance, kNumDialogParams)) {
        return;
    }
    setInstanceFlags(instance, kInstanceFlagBit12, kInstanceFlagBit11);

    const int32_t mode = getSimMode(instance);
    if ((mode == kSimModeHost3 || mode == kSimModeHost2) && instance->paramAttributes != nullptr) {
        for (int32_t i = 0; i < kNumDialogParams; ++i) {
            instance->paramAttributes[i] =
                withBits(instance->paramAttributes[i], kParamAttributeCleared, kParamAttributeSet);
        }
    }

    const HostInfo* host = instance->hostInfo;
    if (instance->setNumInputPorts == nullptr ||
        instance->setNumInputPorts(instance->setNumInputPortsContext, 1) == 0) {
        return;
    }
    if (host->setInputPortDims != nullptr &&
        host->setInputPortDims(instance, 0, &kPropagatedDims) == 0) {
        return;
    }
    declareInputPort(instance->inputPorts[0]);

    if (instance->setNumOutputPorts == nullptr ||
        instance->setNumOutputPorts(instance->setNumOutputPortsContext, 1) == 0) {
        return;
    }
    if (host->setOutputPortDims != nullptr &&
        host->setOutputPortDims(instance, 0, &kPropagatedDims) == 0) {
        return;
    }
    declareOutputPort(instance->outputPorts[0]);

    // The work-vector count is decided once the input is settled, in hookSetWorkWidths.
    if (instance->setNumWorkVectors == nullptr || instance->setNumWorkVectors(instance, -1) == 0) {
        return;
    }
    instance->userData = nullptr;
    instance->sizes[kSizesNumSampleTimes] = 1;
    instance->sizes[kSizesBlockOptions] = static_cast<int32_t>(kBlockOptions);
}

void hookInitializeSampleTimes(BlockInstance* instance) {
    // One sample time, inherited from the source.
    if (instance->samplePeriod == nullptr || instance->sampleOffset == nullptr) {
        return;
    }
    instance->samplePeriod[0] = -1.0;
    instance->sampleOffset[0] = 0.0;
}

void hookSetWorkWidths(BlockInstance* instance) {
    if (!hasPortZero(instance)) {
        return;
    }
    const int32_t frameMode = inputFrameMode(instance);
    const bool running = isRunning(instance);
    const int32_t typeId = instance->inputPorts[0].typeId;
    // The vectors take the input's type, so it must be settled first: a vector of an unset type
    // would get no memory from the host.
    if (typeId != kTypeIdDouble && typeId != kTypeIdSingle) {
        setErrorStatus(instance, kTypeNotSettled);
        return;
    }

    // A frame mode still inherited (-1) counts as not sample based.
    const bool needsState = frameMode != kFrameModeSample || running;
    const int32_t count = needsState ? kNumWorkVectorsRunning : kNumWorkVectorsStateless;
    if (instance->setNumWorkVectors == nullptr ||
        instance->setNumWorkVectors(instance, count) == 0) {
        return;
    }
    WorkVectorRecord* records = instance->workVectors;
    if (records == nullptr) {
        return;
    }
    declareWorkVector(records[kWorkCutoff], kWorkCutoff, 1, typeId);
    if (!needsState) {
        return;
    }
    const int32_t width = stateWidth(instance);
    declareWorkVector(records[kWorkPrev], kWorkPrev, width, typeId);
    declareWorkVector(records[kWorkCumsum], kWorkCumsum, width, typeId);
    declareWorkVector(records[kWorkFirstStep], kWorkFirstStep, 1, kTypeIdBoolean);
}

void hookSetPortDataType(BlockInstance* instance, int32_t /*port*/, int32_t typeId) {
    // The support library validates the type, spreads it to every port and reports anything other
    // than double or single; its result needs no action here.
    checkAndSetAllPortsToDblOrSngl(instance, typeId);
}

}  // namespace kq
