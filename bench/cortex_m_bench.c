/* Instructions per sample of one form of generated code on a Cortex-M board under
 * `qemu-system-arm -icount shift=0`, where every instruction advances the virtual clock by the same
 * step and SysTick, clocked from the processor, counts that clock: instructions = ticks x
 * (instructions per tick), the factor measured on a loop of known length. Prints one line,
 *   calibration IPT  (instructions per tick, x1000)
 *   form NAME SAMPLES TICKS TICKS-WORST STATE-BYTES
 * over semihosting: the ticks of the typical signal and of the worst case, a fresh model each.
 * Built with KQB_NAME, KQB_HEADER ("NAME.h"), KQB_ROWS (samples per call, one channel): the form
 * timed; KQB_NONE instead: the calibration only, the image whose size the form's image is compared
 * with. kqb_inputs.h holds KQB_SAMPLES samples of the typical signal and of the worst case in both
 * precisions as bits. KQB_FPSCR (optional): FPSCR as the caller leaves it before
 * NAME_initialize, to time the step that sets the default mode around each call and puts this
 * one back. */
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include "kqb_inputs.h"

#define SYST_CSR (*(volatile uint32_t*)0xE000E010u)
#define SYST_RVR (*(volatile uint32_t*)0xE000E014u)
#define SYST_CVR (*(volatile uint32_t*)0xE000E018u)
#define SYST_MASK 0xFFFFFFu

/* SysTick counts down over 24 bits: the ticks between two readings (under 2^24 apart). */
static uint32_t ticks_between(uint32_t first, uint32_t second) {
    return (first - second) & SYST_MASK;
}

/* The ticks of `loops` rounds of a two-instruction loop. */
static uint32_t ticks_of_loop(uint32_t loops) {
    const uint32_t first = SYST_CVR;
    __asm volatile(
        "1: subs %0, %0, #1\n"
        "   bne 1b\n"
        : "+r"(loops)
        :
        : "cc");
    return ticks_between(first, SYST_CVR);
}

/* A sum of the input's bits, so that the image without a form keeps the same input arrays. */
static uint32_t input_checksum(void) {
    uint32_t sum = 0;
    int i;
    for (i = 0; i < KQB_SAMPLES; ++i) {
        sum += (uint32_t)kqb_input64[i] + (uint32_t)(kqb_input64[i] >> 32) + kqb_input32[i];
        sum += (uint32_t)kqb_worst64[i] + (uint32_t)(kqb_worst64[i] >> 32) + kqb_worst32[i];
    }
    return sum;
}

#if !defined(KQB_NONE)
#include KQB_HEADER
#define KQB_CAT_(a, b) a##b
#define KQB_CAT(a, b) KQB_CAT_(a, b)
#define KQB(suffix) KQB_CAT(KQB_NAME, suffix)
#define KQB_STRING_(x) #x
#define KQB_STRING(x) KQB_STRING_(x)

static KQB(_real) kqb_in[KQB_SAMPLES];
static KQB(_real) kqb_out[KQB_SAMPLES];
static KQB(_state) kqb_state;

/* The ticks of one signal (its bits in both precisions) through a freshly initialised model; 0
 * when NAME_initialize refuses the floating-point environment. */
static uint32_t ticks_of_signal(const uint64_t* bits64, const uint32_t* bits32) {
    const int is_double = sizeof(KQB(_real)) == 8;
    uint32_t first;
    uint32_t ticks;
    int i;
    for (i = 0; i < KQB_SAMPLES; ++i) {
        if (is_double) {
            memcpy(&kqb_in[i], &bits64[i], sizeof kqb_in[i]);
        } else {
            memcpy(&kqb_in[i], &bits32[i], sizeof kqb_in[i]);
        }
    }
#if defined(KQB_FPSCR)
    __asm volatile("vmsr fpscr, %0" : : "r"((uint32_t)(KQB_FPSCR)));
#endif
    if (KQB(_initialize)(&kqb_state) != 0) {
        return 0u;
    }
    first = SYST_CVR;
    for (i = 0; i < KQB_SAMPLES; i += KQB_ROWS) {
        KQB(_step)(&kqb_state, &kqb_in[i], &kqb_out[i]);
    }
    ticks = ticks_between(first, SYST_CVR);
    KQB(_terminate)(&kqb_state);
    return ticks;
}
#endif

int main(void) {
    uint32_t short_loop;
    uint32_t long_loop;
    SYST_RVR = SYST_MASK;
    SYST_CVR = 0;
    SYST_CSR = 5; /* enabled, processor clock, no interrupt */
    /* The difference of two loop lengths cancels the cost of starting and reading. */
    short_loop = ticks_of_loop(100000u);
    long_loop = ticks_of_loop(1100000u);
    printf("calibration %lu\n", (unsigned long)(2000000000ull / (long_loop - short_loop)));
    printf("checksum %08lx\n", (unsigned long)input_checksum());
#if !defined(KQB_NONE)
    {
        const uint32_t typical = ticks_of_signal(kqb_input64, kqb_input32);
        const uint32_t worst = ticks_of_signal(kqb_worst64, kqb_worst32);
        if (typical == 0u || worst == 0u) {
            printf("error NAME_initialize refused the floating-point environment\n");
            return 1;
        }
        printf("form %s %d %lu %lu %lu\n", KQB_STRING(KQB_NAME), KQB_SAMPLES,
               (unsigned long)typical, (unsigned long)worst, (unsigned long)sizeof kqb_state);
    }
#endif
    return 0;
}
