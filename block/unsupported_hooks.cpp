#include "block/unsupported_hooks.h"

namespace kq {

void unsupportedZeroCrossingsHook(BlockInstance* instance) {
    setErrorStatus(instance, kNoZeroCrossingsMessage);
}

void unsupportedNextVarHitHook(BlockInstance* instance) {
    setErrorStatus(instance, kNoVarHitMessage);
}

}  // namespace kq
