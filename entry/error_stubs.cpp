#include "entry/error_stubs.h"

void zeroCrossingsStub(BlockInstance* instance) {
    setErrorStatus(instance, kNoZeroCrossingsMessage);
}

void nextVarHitStub(BlockInstance* instance) {
    setErrorStatus(instance, kNoVarHitMessage);
}
