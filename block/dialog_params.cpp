#include "block/dialog_params.h"

namespace kq {

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
    // Read as Tolerance is read: the first element of any numeric class, converted to a double, so
    // that a 0 typed as an integer or a single runs too. An empty array reads as NaN. A logical or
    // char parameter is no number and never runs.
    return vzIsNumeric(param) && vzGetScalar(param) == 0.0;
}

}  // namespace kq
