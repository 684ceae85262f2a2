/* The floating-point mode the unwrap's bits need, set around the work and handed back: round to
 * nearest, no flush-to-zero, no denormals-are-zero, default NaN off. Programs leave other modes
 * behind (a library built with -ffast-math sets flush-to-zero for the whole process, a DSP
 * routine or an interrupt handler may run in its own mode), and each of these bits changes
 * results. So each entry point of generated code reads the mode word once, writes the mode it
 * needs only when the word differs, computes, and writes the caller's mode back: in the default
 * mode the cost is one read and a comparison.
 *
 * The caller's exception flags stay raised and the flags the work raises are added, as arithmetic
 * in the caller's own mode would add them: where flags share the word with the mode (x86 MXCSR,
 * ARM FPSCR, s390x FPC) the word written back is the caller's mode with the flags of the moment.
 *
 * The word per processor (GCC or clang inline assembly; the runtime needs no libc):
 *   x86-64, i686 with SSE2 arithmetic  MXCSR: rounding (bits 13-14), FTZ (15), DAZ (6)
 *   ARM with an FPU (Cortex-M, armhf)  FPSCR: RMode (22-23), FZ (24), DN (25)
 *   aarch64                            FPCR: RMode (22-23), FZ (24), DN (25), FIZ (0), AH (1)
 *   riscv32/64 with an FPU             frm: the rounding mode (no flush-to-zero on RISC-V)
 *   s390x                              FPC: the binary rounding field (bits 29-31; no FTZ)
 * Software floating point (ARM without an FPU, RISC-V without F) always rounds to nearest and
 * has no mode. Any other processor or compiler stops the build, unless the program defines
 * KQ_FP_MODE_UNMANAGED: then the work runs in the caller's mode, which must be the default for
 * the bits to hold, and kq_fp_mode_unmet() reports what it can see of it. */
#ifndef KQ_FP_MODE_H
#define KQ_FP_MODE_H

#include <stdint.h>

/* The mode bits that move results, as kq_fp_mode_unmet() reports them. */
#define KQ_FP_FLUSH_TO_ZERO 1
#define KQ_FP_DEFAULT_NAN 2
#define KQ_FP_ROUNDING 4
#define KQ_FP_DENORMALS_ARE_ZERO 8
#define KQ_FP_ALTERNATE_HANDLING 16

/* Per processor: the word's type, its reading and writing, and its bits. KQ_FP_MODE_BITS must
 * all be clear; KQ_FP_FLAG_BITS are the exception flags the word holds. */
#if defined(__GNUC__) && (defined(__x86_64__) || (defined(__i386__) && defined(__SSE2_MATH__)))
typedef uint32_t kq_fp_word;
static inline kq_fp_word kq_fp_word_read(void) {
    kq_fp_word word;
    __asm__ volatile("stmxcsr %0" : "=m"(word) : : "memory");
    return word;
}
static inline void kq_fp_word_write(kq_fp_word word) {
    __asm__ volatile("ldmxcsr %0" : : "m"(word) : "memory");
}
#define KQ_FP_ROUNDING_BITS 0x6000U
#define KQ_FP_FLUSH_TO_ZERO_BITS 0x8000U
#define KQ_FP_DENORMALS_ARE_ZERO_BITS 0x0040U
#define KQ_FP_DEFAULT_NAN_BITS 0U
#define KQ_FP_ALTERNATE_HANDLING_BITS 0U
#define KQ_FP_FLAG_BITS 0x003FU
#elif defined(__GNUC__) && defined(__aarch64__)
typedef uint64_t kq_fp_word;
static inline kq_fp_word kq_fp_word_read(void) {
    kq_fp_word word;
    __asm__ volatile("mrs %0, fpcr" : "=r"(word) : : "memory");
    return word;
}
static inline void kq_fp_word_write(kq_fp_word word) {
    __asm__ volatile("msr fpcr, %0" : : "r"(word) : "memory");
}
#define KQ_FP_ROUNDING_BITS 0x00C00000U
#define KQ_FP_FLUSH_TO_ZERO_BITS 0x01000000U
#define KQ_FP_DENORMALS_ARE_ZERO_BITS 0x00000001U
#define KQ_FP_DEFAULT_NAN_BITS 0x02000000U
#define KQ_FP_ALTERNATE_HANDLING_BITS 0x00000002U
#define KQ_FP_FLAG_BITS 0U /* in FPSR, which the runtime never writes */
#elif defined(__GNUC__) && defined(__arm__) && defined(__ARM_FP) && !defined(__SOFTFP__)
typedef uint32_t kq_fp_word;
static inline kq_fp_word kq_fp_word_read(void) {
    kq_fp_word word;
    __asm__ volatile("vmrs %0, fpscr" : "=r"(word) : : "memory");
    return word;
}
static inline void kq_fp_word_write(kq_fp_word word) {
    __asm__ volatile("vmsr fpscr, %0" : : "r"(word) : "memory");
}
#define KQ_FP_ROUNDING_BITS 0x00C00000U
#define KQ_FP_FLUSH_TO_ZERO_BITS 0x01000000U
#define KQ_FP_DENORMALS_ARE_ZERO_BITS 0U
#define KQ_FP_DEFAULT_NAN_BITS 0x02000000U
#define KQ_FP_ALTERNATE_HANDLING_BITS 0U
#define KQ_FP_FLAG_BITS 0x0000009FU /* IOC, DZC, OFC, UFC, IXC, IDC */
#elif defined(__GNUC__) && defined(__riscv) && defined(__riscv_flen)
typedef uint32_t kq_fp_word;
static inline kq_fp_word kq_fp_word_read(void) {
    kq_fp_word word;
    __asm__ volatile("frrm %0" : "=r"(word) : : "memory");
    return word;
}
static inline void kq_fp_word_write(kq_fp_word word) {
    __asm__ volatile("fsrm %0" : : "r"(word) : "memory");
}
#define KQ_FP_ROUNDING_BITS 0x7U
#define KQ_FP_FLUSH_TO_ZERO_BITS 0U
#define KQ_FP_DENORMALS_ARE_ZERO_BITS 0U
#define KQ_FP_DEFAULT_NAN_BITS 0U
#define KQ_FP_ALTERNATE_HANDLING_BITS 0U
#define KQ_FP_FLAG_BITS 0U /* in fflags, which the runtime never writes */
#elif defined(__GNUC__) && defined(__s390x__)
typedef uint32_t kq_fp_word;
static inline kq_fp_word kq_fp_word_read(void) {
    kq_fp_word word;
    __asm__ volatile("efpc %0" : "=d"(word) : : "memory");
    return word;
}
static inline void kq_fp_word_write(kq_fp_word word) {
    __asm__ volatile("sfpc %0" : : "d"(word) : "memory");
}
#define KQ_FP_ROUNDING_BITS 0x00000007U
#define KQ_FP_FLUSH_TO_ZERO_BITS 0U
#define KQ_FP_DENORMALS_ARE_ZERO_BITS 0U
#define KQ_FP_DEFAULT_NAN_BITS 0U
#define KQ_FP_ALTERNATE_HANDLING_BITS 0U
#define KQ_FP_FLAG_BITS 0x00F80000U
#elif (defined(__arm__) && (defined(__SOFTFP__) || !defined(__ARM_FP))) || \
    (defined(__riscv) && !defined(__riscv_flen))
#define KQ_FP_MODE_NONE 1 /* software floating point: always to nearest, no mode */
#elif !defined(KQ_FP_MODE_UNMANAGED)
#error \
    "the runtime cannot read or set this processor's floating-point mode: define KQ_FP_MODE_UNMANAGED to leave it to the caller, who must then keep the default mode (round to nearest, no flush-to-zero, no default NaN)"
#endif

#if defined(KQ_FP_MODE_NONE) || !defined(KQ_FP_ROUNDING_BITS)
typedef uint32_t kq_fp_word;
#endif

#if defined(KQ_FP_ROUNDING_BITS)
#define KQ_FP_MODE_BITS                                                               \
    ((kq_fp_word)KQ_FP_ROUNDING_BITS | (kq_fp_word)KQ_FP_FLUSH_TO_ZERO_BITS |         \
     (kq_fp_word)KQ_FP_DENORMALS_ARE_ZERO_BITS | (kq_fp_word)KQ_FP_DEFAULT_NAN_BITS | \
     (kq_fp_word)KQ_FP_ALTERNATE_HANDLING_BITS)

/* The KQ_FP_* bits of a mode word that would move results. */
static inline int kq_fp_word_problems(kq_fp_word word) {
    int problems = 0;
    if ((word & (kq_fp_word)KQ_FP_ROUNDING_BITS) != 0U) {
        problems |= KQ_FP_ROUNDING;
    }
    if ((word & (kq_fp_word)KQ_FP_FLUSH_TO_ZERO_BITS) != 0U) {
        problems |= KQ_FP_FLUSH_TO_ZERO;
    }
    if ((word & (kq_fp_word)KQ_FP_DENORMALS_ARE_ZERO_BITS) != 0U) {
        problems |= KQ_FP_DENORMALS_ARE_ZERO;
    }
    if ((word & (kq_fp_word)KQ_FP_DEFAULT_NAN_BITS) != 0U) {
        problems |= KQ_FP_DEFAULT_NAN;
    }
    if ((word & (kq_fp_word)KQ_FP_ALTERNATE_HANDLING_BITS) != 0U) {
        problems |= KQ_FP_ALTERNATE_HANDLING;
    }
    return problems;
}
#endif

/* The runtime sets the mode itself: the processor has a mode it can set and the program has not
 * opted out. */
#if defined(KQ_FP_ROUNDING_BITS) && !defined(KQ_FP_MODE_UNMANAGED)
#define KQ_FP_MODE_MANAGED 1
#else
#define KQ_FP_MODE_MANAGED 0
#endif

/* Starts work that needs the default mode: returns the caller's mode word, for kq_fp_mode_leave. */
static inline kq_fp_word kq_fp_mode_enter(void) {
#if KQ_FP_MODE_MANAGED
    const kq_fp_word caller = kq_fp_word_read();
    if ((caller & KQ_FP_MODE_BITS) != 0U) {
        kq_fp_word_write(caller & ~KQ_FP_MODE_BITS);
    }
    return caller;
#else
    return 0U;
#endif
}

/* Ends it: the caller's mode back, the exception flags of the moment kept. */
static inline void kq_fp_mode_leave(kq_fp_word caller) {
#if KQ_FP_MODE_MANAGED
    if ((caller & KQ_FP_MODE_BITS) != 0U) {
        kq_fp_word_write(caller | (kq_fp_word_read() & (kq_fp_word)KQ_FP_FLAG_BITS));
    }
#else
    (void)caller;
#endif
}

/* A value to compute with after kq_fp_mode_enter, passed through memory, so that the compiler
 * cannot compute with it before the mode is set (a parameter in a register could otherwise be
 * converted or compared early). Loads from memory already follow the mode's write. */
static inline double kq_fp_mode_value(double value) {
    double held = value;
#if KQ_FP_MODE_MANAGED
    __asm__ volatile("" : "+m"(held) : : "memory");
#endif
    return held;
}

/* 0 when the work gives the default mode's bits whatever mode the caller is in: always where
 * the runtime sets the mode, and where there is none. Under KQ_FP_MODE_UNMANAGED, the KQ_FP_*
 * bits of the caller's present mode that would move results (0 where the mode cannot be read). */
static inline int kq_fp_mode_unmet(void) {
#if defined(KQ_FP_ROUNDING_BITS) && !KQ_FP_MODE_MANAGED
    return kq_fp_word_problems(kq_fp_word_read());
#else
    return 0;
#endif
}

#endif
