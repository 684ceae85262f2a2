#include "block/work_vectors.h"

#include "host/data_types.h"

namespace kq {

namespace {
// The host keeps the declared count in the sizes entries; a vector beyond it does not exist.
const WorkVectorRecord* workVectorRecord(const BlockInstance* instance, int32_t index) {
    if (instance->workVectors == nullptr || index < 0 ||
        index >= instance->sizes[kSizesNumWorkVectors]) {
        return nullptr;
    }
    return &instance->workVectors[index];
}
}  // namespace

void* workVectorData(const BlockInstance* instance, int32_t index) {
    const WorkVectorRecord* record = workVectorRecord(instance, index);
    return record != nullptr ? record->data : nullptr;
}

int32_t workVectorType(const BlockInstance* instance, int32_t index) {
    const WorkVectorRecord* record = workVectorRecord(instance, index);
    return record != nullptr ? record->typeId : kTypeIdUnset;
}

}  // namespace kq
