// Code generation: the block describes its settings as two typed scalars.
#include <cstdint>

#include "block/block_hooks.h"
#include "block/dialog_params.h"
#include "block/work_vectors.h"
#include "entry/gxw_record_writer.h"
#include "host/data_types.h"
#include "host/sig_blk_common.h"

void hookGXW(BlockInstance* instance) {
    const void* cutoff = workVectorData(instance, kWorkCutoff);
    if (cutoff == nullptr) {
        return;  // nothing to describe before the host has allocated the cutoff
    }
    // Both values are copied into storage of this call; the references are valid only during it.
    const uint8_t running = isRunning(instance) ? 1 : 0;
    double cutoffDouble = 0.0;
    float cutoffSingle = 0.0f;
    const void* cutoffValue = nullptr;
    int32_t cutoffType = kTypeIdDouble;
    // The copy is read in the vector's declared type, which is the input's.
    const int32_t declaredType = workVectorType(instance, kWorkCutoff);
    if (declaredType != (isInputSingle(instance, 0) ? kTypeIdSingle : kTypeIdDouble)) {
        return;  // the host changed the input's type after the work vectors: nothing consistent
    }
    if (declaredType == kTypeIdSingle) {
        cutoffSingle = *static_cast<const float*>(cutoff);
        cutoffValue = &cutoffSingle;
        cutoffType = kTypeIdSingle;
    } else {
        cutoffDouble = *static_cast<const double*>(cutoff);
        cutoffValue = &cutoffDouble;
    }
    // The writer reports its own failures; the host learns of them through errorStatus.
    biWriteGXWParamSettings(instance, 2,                                          //
                            valueTypedScalar, "Cutoff", cutoffValue, cutoffType,  //
                            valueTypedScalar, "Running", static_cast<const void*>(&running),
                            int32_t{kTypeIdBoolean});
}
