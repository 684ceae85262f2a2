/* The stack each entry point of generated code uses on a Cortex-M board under qemu, measured by
 * painting: the words below the stack pointer are filled with a pattern, the entry point is
 * called, and the deepest word no longer holding the pattern is its high-water mark. This counts
 * everything the call runs, the toolchain's software floating point included. Each model of
 * kqs_models.h (written by bench/cortex_m_stack.sh: the models' headers, then
 * KQS_MODELS(COPY, IN_PLACE) naming each through the macro of its buffer form) goes through
 * initialize, steps on every input set below under every cutoff below, tolerance changes, resets
 * and terminate; each entry point's deepest mark is printed over semihosting, one line each:
 *   stack NAME FUNCTION BYTES
 * or "error ..." when a call reaches the end of the painted area. */
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include "kqs_models.h"

#define KQS_PAINT_WORDS 1024u
#define KQS_PATTERN 0xC5A5A5C5u

/* Paints below the stack pointer, makes the call and sets `bytes` to its high-water mark. Each
 * word's paint holds its own depth, so that a register saved while it holds the painting loop's
 * last value still shows. The caller's frame is complete when the stack pointer is read (GCC at
 * -O2 sets it up once, in the prologue), and the calls pass no argument on the stack, so the
 * callee's frame starts there. */
#define KQS_PAINTED(bytes, call)                                                               \
    do {                                                                                       \
        volatile uint32_t* top_;                                                               \
        uint32_t i_;                                                                           \
        __asm volatile("mov %0, sp" : "=r"(top_));                                             \
        for (i_ = 1; i_ <= KQS_PAINT_WORDS; ++i_) {                                            \
            top_[-(int32_t)i_] = KQS_PATTERN ^ i_;                                             \
        }                                                                                      \
        call;                                                                                  \
        for (i_ = KQS_PAINT_WORDS; i_ > 0 && top_[-(int32_t)i_] == (KQS_PATTERN ^ i_); --i_) { \
        }                                                                                      \
        (bytes) = i_ * 4u;                                                                     \
    } while (0)

static int kqs_failed;

static void kqs_report(const char* name, const char* function, uint32_t bytes) {
    if (bytes >= KQS_PAINT_WORDS * 4u) {
        printf("error %s %s reached the end of the painted stack\n", name, function);
        kqs_failed = 1;
    }
    printf("stack %s %s %lu\n", name, function, (unsigned long)bytes);
}

static double kqs_double_of(uint64_t bits) {
    double value;
    memcpy(&value, &bits, sizeof value);
    return value;
}

/* The inputs: a wrap at every sample (the whole step runs each time), NaNs, infinities,
 * subnormals and huge values (the software routines' special paths), and the typical calm ramp. */
#define KQS_INPUT_SETS 3
static double kqs_input(int set, int i) {
    static const uint64_t special[] = {
        0x7ff8000000000000ull, 0x7ff0000000000000ull, 0xfff0000000000000ull, 0x0000000000000001ull,
        0x800fffffffffffffull, 0x7fefffffffffffffull, 0xffefffffffffffffull, 0x3ff0000000000000ull,
        0x7ff4000000000000ull, 0x0010000000000000ull, 0xc00921fb54442d18ull, 0x400921fb54442d18ull};
    switch (set) {
        case 0:
            return (i % 2 == 0) ? 3.0 : -3.0;
        case 1:
            return kqs_double_of(special[i % (int)(sizeof special / sizeof special[0])]);
        default:
            return 0.3 * (double)(i % 7) - 1.0;
    }
}

/* The cutoffs: below the calm bound (the whole step for every sample), pi, 0, a NaN, infinity. */
#define KQS_TOLERANCES 5
static double kqs_tolerance(int which) {
    switch (which) {
        case 0:
            return 1e-16;
        case 1:
            return 3.141592653589793;
        case 2:
            return 0.0;
        case 3:
            return kqs_double_of(0x7ff8000000000000ull);
        default:
            return kqs_double_of(0x7ff0000000000000ull);
    }
}

#define KQS_MAX(a, b) ((a) > (b) ? (a) : (b))

/* Every entry point of one model, each measured where it is called. STEP(name, state, buf, out)
 * is the buffer form's call. */
#define KQS_MEASURE(name, STEP)                                                            \
    static void measure_##name(void) {                                                     \
        static name##_state state;                                                         \
        static name##_real in[name##_PORT_WIDTH];                                          \
        static name##_real out[name##_PORT_WIDTH];                                         \
        uint32_t bytes;                                                                    \
        uint32_t init = 0, step = 0, reset = 0, tolerance = 0, terminate = 0;              \
        int set, which, call, i;                                                           \
        KQS_PAINTED(init, (void)name##_initialize(&state));                                \
        for (which = 0; which < KQS_TOLERANCES; ++which) {                                 \
            const double cutoff = kqs_tolerance(which);                                    \
            KQS_PAINTED(bytes, name##_set_tolerance(&state, cutoff));                      \
            tolerance = KQS_MAX(tolerance, bytes);                                         \
            for (set = 0; set < KQS_INPUT_SETS; ++set) {                                   \
                KQS_PAINTED(bytes, name##_reset(&state));                                  \
                reset = KQS_MAX(reset, bytes);                                             \
                for (call = 0; call < 3; ++call) {                                         \
                    for (i = 0; i < name##_PORT_WIDTH; ++i) {                              \
                        in[i] = (name##_real)kqs_input(set, call * name##_PORT_WIDTH + i); \
                    }                                                                      \
                    KQS_PAINTED(bytes, STEP(name, &state, in, out));                       \
                    step = KQS_MAX(step, bytes);                                           \
                }                                                                          \
            }                                                                              \
        }                                                                                  \
        KQS_PAINTED(terminate, name##_terminate(&state));                                  \
        kqs_report(#name, "initialize", init);                                             \
        kqs_report(#name, "step", step);                                                   \
        kqs_report(#name, "reset", reset);                                                 \
        kqs_report(#name, "set_tolerance", tolerance);                                     \
        kqs_report(#name, "terminate", terminate);                                         \
    }

#define KQS_STEP_COPY(name, state, in, out) name##_step(state, in, out)
#define KQS_STEP_IN_PLACE(name, state, in, out) ((void)(out), name##_step(state, in))
#define KQS_COPY(name) KQS_MEASURE(name, KQS_STEP_COPY)
#define KQS_IN_PLACE(name) KQS_MEASURE(name, KQS_STEP_IN_PLACE)
KQS_MODELS(KQS_COPY, KQS_IN_PLACE)
#undef KQS_COPY
#undef KQS_IN_PLACE

#define KQS_CALL(name) measure_##name();
int main(void) {
    KQS_MODELS(KQS_CALL, KQS_CALL)
    return kqs_failed;
}
