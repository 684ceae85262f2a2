/* For the module's tests only: the thread's floating-point control register (MXCSR, with its
 * flags, on x86-64; FPCR on 64-bit ARM), which Python cannot reach, read and written through
 * ctypes (python/tests/conftest.py). */
#include <stdint.h>

#if defined(__x86_64__)
#include <xmmintrin.h>
#endif

uint64_t kq_test_floating_point_control(void) {
#if defined(__x86_64__)
    return _mm_getcsr();
#elif defined(__aarch64__)
    uint64_t control;
    __asm__ volatile("mrs %0, fpcr" : "=r"(control));
    return control;
#else
#error "no floating-point control register known on this architecture"
#endif
}

void kq_test_set_floating_point_control(uint64_t control) {
#if defined(__x86_64__)
    _mm_setcsr((uint32_t)control);
#elif defined(__aarch64__)
    __asm__ volatile("msr fpcr, %0" : : "r"(control));
#endif
}
