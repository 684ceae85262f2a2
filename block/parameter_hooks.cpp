// Parameters: the tolerance check, and the cutoff derived from it.
#include "block/block_hooks.h"
#include "block/dialog_params.h"
#include "block/work_vectors.h"
#include "host/data_types.h"
#include "host/sig_blk_common.h"
#include "runtime/kq_wrap_step.h"

namespace kq {

namespace {
constexpr const char* kToleranceNotRealScalar = "Tolerance must be a real scalar.";
}  // namespace

void hookCheckParameters(BlockInstance* instance) {
    const vzArray* tolerance = dialogParam(instance, kParamTolerance);
    if (tolerance == nullptr) {
        setErrorStatus(instance, kToleranceNotRealScalar);
        return;
    }
    // A sizes-only call with an unset dialog passes.
    if (getSimMode(instance) == kSimModeSizesQuery && vzIsEmpty(tolerance)) {
        return;
    }
    if (vzGetNumberOfElements(tolerance) != 1 || vzIsComplex(tolerance)) {
        setErrorStatus(instance, kToleranceNotRealScalar);
    }
}

void hookProcessParameters(BlockInstance* instance) {
    // In modes 2 and 3 the host keeps the cutoff itself.
    const int32_t mode = getSimMode(instance);
    if (mode == kSimModeHost3 || mode == kSimModeHost2) {
        return;
    }
    const vzArray* tolerance = dialogParam(instance, kParamTolerance);
    void* cutoff = workVectorData(instance, kWorkCutoff);
    if (tolerance == nullptr || cutoff == nullptr) {
        return;
    }
    const double value = vzGetScalar(tolerance);
    const double magnitude = kq_cutoff_of_tolerance(value);
    // Stored in the input's precision. The vector was declared in that type; should the two ever
    // differ (a host that changed the type afterwards), nothing is written rather than a value
    // of the wrong size.
    const int32_t cutoffType = workVectorType(instance, kWorkCutoff);
    const bool single = isInputSingle(instance, 0);
    if (single && cutoffType == kTypeIdSingle) {
        *static_cast<float*>(cutoff) = static_cast<float>(magnitude);
    } else if (!single && cutoffType == kTypeIdDouble) {
        *static_cast<double*>(cutoff) = magnitude;
    }
}

}  // namespace kq
