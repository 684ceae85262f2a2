// Code generation: the block describes its settings as two typed scalars.
#include <cstdint>

#include "block/block_hooks.h"
#include "block/dialog_params.h"
#include "block/gxw_record_writer.h"
#include "block/work_vectors.h"
#include "host/data_types.h"
#include "host/sig_blk_common.h"

namespace kq {

namespace {
// The record needs the cutoff as the run holds it; before the work vectors are allocated in the
// input's type (code generation asked for before start, say) there is none to describe.
constexpr const char* kCutoffNotReady =
    "Work vector Cutoff is missing or not of the input's data type: the host must set the work "
    "widths and allocate the work vectors before it asks for the code-generation record";
}  // namespace

void hookGXW(BlockInstance* instance) {
    const void* cutoff = workVectorData(instance, kWorkCutoff);
    // The copy is read in the vector's declared type, which must be the input's.
    const int32_t inputType = isInputSingle(instance, 0) ? kTypeIdSingle : kTypeIdDouble;
    if (cutoff == nullptr || workVectorType(instance, kWorkCutoff) != inputType) {
        setErrorStatus(instance, kCutoffNotReady);
        return;
    }
    // Both values are copied into storage of this call; the references are valid only during it.
    const uint8_t running = isRunning(instance) ? 1 : 0;
    double cutoffDouble = 0.0;
    float cutoffSingle = 0.0f;
    const void* cutoffValue = nullptr;
    if (inputType == kTypeIdSingle) {
        cutoffSingle = *static_cast<const float*>(cutoff);
        cutoffValue = &cutoffSingle;
    } else {
        cutoffDouble = *static_cast<const double*>(cutoff);
        cutoffValue = &cutoffDouble;
    }
    // The writer reports its own failures; the host learns of them through errorStatus.
    biWriteGXWParamSettings(instance, 2,                                         //
                            valueTypedScalar, "Cutoff", cutoffValue, inputType,  //
                            valueTypedScalar, "Running", static_cast<const void*>(&running),
                            int32_t{kTypeIdBoolean});
}

}  // namespace kq
