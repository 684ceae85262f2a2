/* Loaded ahead of a program (LD_PRELOAD), sets the floating-point mode of its first thread before
 * main from KQ_TEST_FLOATING_POINT_MODE, the mode bits (hexadecimal) to add to the default: the
 * program, and the block it loads later, then run in the mode a host or a library loaded earlier
 * may leave. A new program starts in the default mode, so the mode cannot be set before exec. */
#include <stdint.h>
#include <stdlib.h>

#if defined(__x86_64__)
#include <xmmintrin.h>
#endif

__attribute__((constructor)) static void setFloatingPointMode(void) {
    const char* text = getenv("KQ_TEST_FLOATING_POINT_MODE");
    if (text == NULL) {
        return;
    }
    const uint64_t bits = strtoull(text, NULL, 16);
#if defined(__x86_64__)
    _mm_setcsr(_mm_getcsr() | (uint32_t)bits);
#elif defined(__aarch64__)
    uint64_t control;
    __asm__ volatile("mrs %0, fpcr" : "=r"(control));
    control |= bits;
    __asm__ volatile("msr fpcr, %0" : : "r"(control));
#else
#error "no floating-point mode to set on this architecture"
#endif
}
