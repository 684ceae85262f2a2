/* Frama-C EVA's entry point for generated models (scripts/eva-check.sh): every model of
 * eva_models.h, which the script writes (each model's header, then KQ_EVA_MODELS(COPY, IN_PLACE)
 * naming each model through the macro of its buffer form), goes through any sequence of its
 * functions: initialize, then steps, resets and tolerance changes in any order and number, then
 * terminate. Each step's input holds arbitrary bits (every binary64 or binary32 value, NaNs and
 * infinities included), and so does each new tolerance. Not compiled by the build. */
#include <__fc_builtin.h>
#include <stddef.h>

#include "eva_models.h"

static void arbitrary(void* object, size_t size) {
    Frama_C_make_unknown((char*)object, size);
}

static double arbitrary_double(void) {
    double value;
    arbitrary(&value, sizeof value);
    return value;
}

/* The life of one model's instance. STEP(state, in, out) is the buffer form's call. */
#define KQ_EVA_DRIVE(name, STEP)                                      \
    static void drive_##name(void) {                                  \
        static name##_state state;                                    \
        static name##_real in[name##_PORT_WIDTH];                     \
        static name##_real out[name##_PORT_WIDTH];                    \
        (void)name##_initialize(&state);                              \
        while (Frama_C_nondet(0, 1) != 0) {                           \
            switch (Frama_C_interval(0, 2)) {                         \
                case 0:                                               \
                    arbitrary(in, sizeof in);                         \
                    STEP(name, &state, in, out);                      \
                    break;                                            \
                case 1:                                               \
                    name##_reset(&state);                             \
                    break;                                            \
                default:                                              \
                    name##_set_tolerance(&state, arbitrary_double()); \
                    break;                                            \
            }                                                         \
        }                                                             \
        name##_terminate(&state);                                     \
    }

/* A copying model reads in and writes out; an in-place model overwrites its one buffer. */
#define KQ_EVA_STEP_COPY(name, state, in, out) name##_step(state, in, out)
#define KQ_EVA_STEP_IN_PLACE(name, state, in, out) ((void)(out), name##_step(state, in))

#define KQ_EVA_COPY(name) KQ_EVA_DRIVE(name, KQ_EVA_STEP_COPY)
#define KQ_EVA_IN_PLACE(name) KQ_EVA_DRIVE(name, KQ_EVA_STEP_IN_PLACE)
KQ_EVA_MODELS(KQ_EVA_COPY, KQ_EVA_IN_PLACE)
#undef KQ_EVA_COPY
#undef KQ_EVA_IN_PLACE

#define KQ_EVA_CALL(name) drive_##name();
int main(void) {
    KQ_EVA_MODELS(KQ_EVA_CALL, KQ_EVA_CALL)
    return 0;
}
