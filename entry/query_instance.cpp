#include "entry/query_instance.h"

#include "entry/block_identity.h"

namespace kq {

namespace {

constexpr int32_t kFirstDialogArg = 4;

void markPortCountsSet(BlockInstance* instance) {
    const auto flags = static_cast<uint32_t>(instance->sizes[kSizesInstanceFlags]);
    instance->sizes[kSizesInstanceFlags] = static_cast<int32_t>(flags | kInstanceFlagPortCountsSet);
}

template <typename Record>
int32_t setPortCount(BlockInstance* instance, int32_t count, SizesIndex entry, Record*& records) {
    if (count < 0) {
        return 0;
    }
    instance->sizes[entry] = count;
    markPortCountsSet(instance);
    if (count > 0) {
        // A list held before is host memory and is simply dropped.
        records = static_cast<Record*>(vzCalloc(static_cast<size_t>(count), sizeof(Record)));
    }
    return 1;
}

}  // namespace

BlockInstance* createQueryInstance(int32_t numRight, const vzArray* rightArgs[]) {
    const int32_t numParams = numRight > kFirstDialogArg ? numRight - kFirstDialogArg : 0;

    auto* instance = static_cast<BlockInstance*>(vzCalloc(1, sizeof(BlockInstance)));
    auto* hostInfo = static_cast<HostInfo*>(vzCalloc(1, sizeof(HostInfo)));
    instance->hostInfo = hostInfo;
    instance->root = instance;
    hostInfo->simMode = kSimModeSizesQuery;

    instance->numDialogParams = numParams;
    instance->blockName = kBlockName;
    instance->blockPath = kBlockName;
    if (numParams > 0) {
        instance->dialogParams = static_cast<const vzArray**>(
            vzCalloc(static_cast<size_t>(numParams), sizeof(const vzArray*)));
        for (int32_t i = 0; i < numParams; ++i) {
            instance->dialogParams[i] = rightArgs[kFirstDialogArg + i];
        }
    }

    instance->setNumInputPorts = queryInstanceSetNumInputPorts;
    instance->setNumInputPortsContext = instance;
    instance->setNumOutputPorts = queryInstanceSetNumOutputPorts;
    instance->setNumOutputPortsContext = instance;
    return instance;
}

int32_t queryInstanceSetNumInputPorts(void* context, int32_t count) {
    auto* instance = static_cast<BlockInstance*>(context);
    return setPortCount(instance, count, kSizesNumInputPorts, instance->inputPorts);
}

int32_t queryInstanceSetNumOutputPorts(void* context, int32_t count) {
    auto* instance = static_cast<BlockInstance*>(context);
    return setPortCount(instance, count, kSizesNumOutputPorts, instance->outputPorts);
}

}  // namespace kq
