#include "block/dialog_params.h"

const vzArray* dialogParam(const BlockInstance* instance, int32_t index) {
    if (instance->dialogParams == nullptr || index < 0 || index >= instance->numDialogParams) {
        return nullptr;
    }
    return instance->dialogParams[index];
}

bool isRunning(const BlockInstance* instance) {
    const vzArray* param = dialogParam(instance, kParamRunning);
    if (param == nullptr) {
        return false;
    }
    // vzGetPr is NULL for an empty array or one whose elements are not doubles, so the read below
    // never leaves the parameter's data.
    const double* values = vzGetPr(param);
    return values != nullptr && values[0] == 0.0;
}
