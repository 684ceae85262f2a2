#include "block/work_vectors.h"

void* workVectorData(const BlockInstance* instance, int32_t index) {
    // The host keeps the declared count in the sizes entries; a vector beyond it does not exist.
    if (instance->workVectors == nullptr || index < 0 ||
        index >= instance->sizes[kSizesNumWorkVectors]) {
        return nullptr;
    }
    return instance->workVectors[index].data;
}
