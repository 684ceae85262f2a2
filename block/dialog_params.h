// The block's two dialog parameters.
#ifndef KQ_BLOCK_DIALOG_PARAMS_H
#define KQ_BLOCK_DIALOG_PARAMS_H

#include <cstdint>

#include "host/block_instance.h"

namespace kq {

enum DialogParamIndex : int32_t {
    kParamTolerance = 0,  // its magnitude is the cutoff
    kParamRunning = 1,    // 0: the unwrap runs on across output calls; anything else: stateless
    kNumDialogParams = 2
};

// The dialog parameter at `index`, or nullptr when the host holds fewer parameters.
const vzArray* dialogParam(const BlockInstance* instance, int32_t index);

// True when the first element of the second parameter, of any numeric class (double, single,
// int32) and read as a double, equals 0.0. A missing, empty, logical or char parameter counts as
// not running, and so does a NaN.
bool isRunning(const BlockInstance* instance);

}  // namespace kq

#endif
