#include "block/unsupported_hooks.h"

void unsupportedZeroCrossingsHook(BlockInstance* instance) {
    setErrorStatus(instance, kNoZeroCrossingsMessage);
}

void unsupportedNextVarHitHook(BlockInstance* instance) {
    setErrorStatus(instance, kNoVarHitMessage);
}
