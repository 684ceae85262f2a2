/* Frama-C EVA's entry point for the runtime's twelve kernels (scripts/eva-check.sh): each kernel is
 * called with buffers of arbitrary contents (every binary64 or binary32 bit pattern, NaNs and
 * infinities included), an arbitrary cutoff, Prev, Cumsum and first-step flag, and every count
 * from -1 to the buffers' bounds. An analysis without alarms then covers every call within those
 * bounds. Then the functions of the step's headers that no kernel calls in one configuration or
 * another, and the tests do (the soft step of the double variant, the general multiplication and
 * the other calm tests), on arbitrary operands. Not compiled by the build. */
#include <__fc_builtin.h>
#include <stddef.h>
#include <stdint.h>

#include "kq_unwrap_runtime.h"
#include "kq_wrap_step_soft.h"

#define KQ_EVA_CHANNELS 3
#define KQ_EVA_FRAME 4
#define KQ_EVA_VALUES (KQ_EVA_CHANNELS * KQ_EVA_FRAME)

static double in_dbl[KQ_EVA_VALUES];
static double out_dbl[KQ_EVA_VALUES];
static double prev_dbl[KQ_EVA_VALUES];
static double cumsum_dbl[KQ_EVA_VALUES];
static float in_sgl[KQ_EVA_VALUES];
static float out_sgl[KQ_EVA_VALUES];
static float prev_sgl[KQ_EVA_VALUES];
static float cumsum_sgl[KQ_EVA_VALUES];
static uint8_t first_step;

/* Every bit pattern of the object: for a floating-point value, every finite value, both
 * infinities and every NaN. */
static void arbitrary(void* object, size_t size) {
    Frama_C_make_unknown((char*)object, size);
}

static double arbitrary_double(void) {
    double value;
    arbitrary(&value, sizeof value);
    return value;
}

static float arbitrary_float(void) {
    float value;
    arbitrary(&value, sizeof value);
    return value;
}

/* Fresh arbitrary buffers, state and counts before each call. */
static void scramble(void) {
    arbitrary(in_dbl, sizeof in_dbl);
    arbitrary(out_dbl, sizeof out_dbl);
    arbitrary(prev_dbl, sizeof prev_dbl);
    arbitrary(cumsum_dbl, sizeof cumsum_dbl);
    arbitrary(in_sgl, sizeof in_sgl);
    arbitrary(out_sgl, sizeof out_sgl);
    arbitrary(prev_sgl, sizeof prev_sgl);
    arbitrary(cumsum_sgl, sizeof cumsum_sgl);
    arbitrary(&first_step, sizeof first_step);
}

static int32_t channels(void) {
    return Frama_C_interval(-1, KQ_EVA_CHANNELS);
}

static int32_t frame(void) {
    return Frama_C_interval(-1, KQ_EVA_FRAME);
}

static int32_t elements(void) {
    return Frama_C_interval(-1, KQ_EVA_VALUES);
}

static uint64_t arbitrary_bits(void) {
    uint64_t bits;
    arbitrary(&bits, sizeof bits);
    return bits;
}

/* The step's functions that no kernel calls, on arbitrary operands: their results are the
 * driver's exit status, so none is left unused. */
static int step_functions(void) {
    const uint64_t step = kq_wrap_correction_soft_dbl(arbitrary_bits(), arbitrary_bits(),
                                                      arbitrary_bits(), arbitrary_bits());
    const uint64_t product = kq_b64_mul(arbitrary_bits(), arbitrary_bits());
    const int calm = kq_calm_step_dbl_bits(arbitrary_double(), arbitrary_double()) +
                     kq_calm_step_sgl(arbitrary_float(), arbitrary_float());
    return ((step ^ product) == 0U) ? calm : 0;
}

int main(void) {
    scramble();
    kq_unwrap_stateless_copy_dbl(in_dbl, out_dbl, arbitrary_double(), channels(), frame());
    scramble();
    kq_unwrap_stateless_in_place_dbl(in_dbl, arbitrary_double(), channels(), frame());
    scramble();
    kq_unwrap_running_sample_copy_dbl(in_dbl, out_dbl, prev_dbl, cumsum_dbl, arbitrary_double(),
                                      elements(), &first_step);
    scramble();
    kq_unwrap_running_sample_in_place_dbl(in_dbl, prev_dbl, cumsum_dbl, arbitrary_double(),
                                          elements(), &first_step);
    scramble();
    kq_unwrap_running_frame_copy_dbl(in_dbl, out_dbl, prev_dbl, cumsum_dbl, arbitrary_double(),
                                     channels(), frame(), &first_step);
    scramble();
    kq_unwrap_running_frame_in_place_dbl(in_dbl, prev_dbl, cumsum_dbl, arbitrary_double(),
                                         channels(), frame(), &first_step);
    scramble();
    kq_unwrap_stateless_copy_sgl(in_sgl, out_sgl, arbitrary_float(), channels(), frame());
    scramble();
    kq_unwrap_stateless_in_place_sgl(in_sgl, arbitrary_float(), channels(), frame());
    scramble();
    kq_unwrap_running_sample_copy_sgl(in_sgl, out_sgl, prev_sgl, cumsum_sgl, arbitrary_float(),
                                      elements(), &first_step);
    scramble();
    kq_unwrap_running_sample_in_place_sgl(in_sgl, prev_sgl, cumsum_sgl, arbitrary_float(),
                                          elements(), &first_step);
    scramble();
    kq_unwrap_running_frame_copy_sgl(in_sgl, out_sgl, prev_sgl, cumsum_sgl, arbitrary_float(),
                                     channels(), frame(), &first_step);
    scramble();
    kq_unwrap_running_frame_in_place_sgl(in_sgl, prev_sgl, cumsum_sgl, arbitrary_float(),
                                         channels(), frame(), &first_step);
    return kq_check_fp_environment() + step_functions();
}
