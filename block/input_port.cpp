#include "block/input_port.h"

#include "host/sig_blk_common.h"

namespace kq {

bool hasPortZero(const BlockInstance* instance) {
    return instance->inputPorts != nullptr && instance->outputPorts != nullptr &&
           instance->sizes[kSizesNumInputPorts] >= 1 && instance->sizes[kSizesNumOutputPorts] >= 1;
}

int32_t inputFrameMode(const BlockInstance* instance) {
    const uint32_t attributes = instance->inputPorts[0].attributes;
    if ((attributes & kInputFrameModeHighBit) != 0) {
        return -1;
    }
    return (attributes & kInputFrameModeLowBit) != 0 ? 1 : 0;
}

int32_t inputChannelCount(const BlockInstance* instance) {
    const InputPortRecord& port = instance->inputPorts[0];
    if (isInputOriented(instance, 0) && port.dims != nullptr) {
        return port.dims[1];
    }
    return 1;
}

int32_t inputRowCount(const BlockInstance* instance) {
    const InputPortRecord& port = instance->inputPorts[0];
    return (port.dims != nullptr && port.numDims >= 1) ? port.dims[0] : 0;
}

int32_t stateWidth(const BlockInstance* instance) {
    const int32_t perChannel = isInputFrameDataOn(instance, 0) ? 1 : inputRowCount(instance);
    return static_cast<int32_t>(int64_t{inputChannelCount(instance)} * perChannel);
}

}  // namespace kq
