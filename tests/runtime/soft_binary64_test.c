/* The runtime's own binary64 arithmetic (runtime/kq_soft_binary64.h) and its unwrap step
 * (runtime/kq_wrap_step_soft.h) against the processor's binary64, bit for bit, over the operand
 * classes of binary64_cases.h: addition, subtraction, multiplication, a < b, both conversions and
 * the step of both variants, for every pair.
 *
 *   soft_binary64_test [RANDOM]    natively: compares every result with the processor's (RANDOM
 *                                  pairs of the random class, default 10^7; each other class
 *                                  3 x 10^5), exits 1 on a difference
 *   soft_binary64_test --digests   natively: prints the digests of the processor's results for
 *                                  the board run, the expectation the boards must meet
 *
 * Built for a board with KQ_BOARD_TEST, it prints the digests of its own results for the board run
 * (scripts/test-soft-binary64.sh compares them with the native ones); with KQ_BOARD_TOOLCHAIN as
 * well it takes the compiler's binary64 operations instead, the probe that must differ where the
 * toolchain's routines misround. */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "binary64_cases.h"
#include "kq_soft_binary64.h"
#include "kq_wrap_step.h"
#include "kq_wrap_step_soft.h"

/* Pairs per class on a board (and in the native digests that it is compared with). */
#define KQ_BOARD_PAIRS 20000U
#define KQ_BOARD_RANDOM_PAIRS 100000U
#define KQ_SEED 0x9E3779B97F4A7C15U
/* Pairs per targeted class natively. */
#define KQ_CLASS_PAIRS 300000U

/* Every result for one pair (a, b) with step state s and cutoff: the operations' results, then
 * the new correction of each variant's step. */
enum { KQ_ADD, KQ_SUB, KQ_MUL, KQ_LESS, KQ_TO32, KQ_FROM32, KQ_STEP_DBL, KQ_STEP_SGL, KQ_RESULTS };

static void soft_results(uint64_t a, uint64_t b, uint64_t s, uint64_t cutoff, uint64_t* out) {
    const uint64_t v32 = kq_b64_from_binary32(kq_b64_to_binary32(a));
    const uint64_t x32 = kq_b64_from_binary32(kq_b64_to_binary32(b));
    const uint64_t cutoff32 = kq_b64_from_binary32(kq_b64_to_binary32(cutoff));
    out[KQ_ADD] = kq_b64_add(a, b);
    out[KQ_SUB] = kq_b64_sub(a, b);
    out[KQ_MUL] = kq_b64_mul(a, b);
    out[KQ_LESS] = (uint64_t)kq_b64_less(a, b);
    /* Half the pairs through the conversions' out-of-line forms, which the runtime also calls
     * for values the inline ones take (the cutoff, the step's operands). */
    out[KQ_TO32] = ((b & 1U) != 0U) ? kq_b64_to_binary32_any(a) : kq_b64_to_binary32(a);
    out[KQ_FROM32] = ((a & 1U) != 0U) ? kq_b64_from_binary32_any((uint32_t)b)
                                      : kq_b64_from_binary32((uint32_t)b);
    out[KQ_STEP_DBL] = kq_wrap_correction_soft_dbl(a, b, s, cutoff);
    out[KQ_STEP_SGL] = kq_wrap_correction_soft_sgl(v32, x32, s, cutoff32);
}

/* The processor's a + b, a - b and a * b with a as the first operand of the instruction: x86-64
 * returns the first NaN operand, and a compiler may swap the operands of a commutative
 * operation (GCC does at -O1), which would change the NaN of two. Elsewhere, the compiler's. */
#if defined(__x86_64__) && defined(__GNUC__)
#define KQ_FIRST_OPERAND_OP(name, instruction)             \
    static double name(double a, double b) {               \
        double z = a;                                      \
        __asm__(instruction " %1, %0" : "+x"(z) : "x"(b)); \
        return z;                                          \
    }
KQ_FIRST_OPERAND_OP(processor_add, "addsd")
KQ_FIRST_OPERAND_OP(processor_sub, "subsd")
KQ_FIRST_OPERAND_OP(processor_mul, "mulsd")
#else
static double processor_add(double a, double b) {
    return a + b;
}
static double processor_sub(double a, double b) {
    return a - b;
}
static double processor_mul(double a, double b) {
    return a * b;
}
#endif

/* The same results from the compiler's binary64: the processor's, natively. */
static void toolchain_results(uint64_t a, uint64_t b, uint64_t s, uint64_t cutoff, uint64_t* out) {
    /* volatile: computed at run time, as a board would, never folded by the compiler. */
    volatile double da = kq_double_of(a);
    volatile double db = kq_double_of(b);
    const uint64_t v32 = kq_bits_of((double)(float)da);
    const uint64_t x32 = kq_bits_of((double)(float)db);
    double sum = kq_double_of(s);
    double sum32 = sum;
    out[KQ_ADD] = kq_bits_of(processor_add(da, db));
    out[KQ_SUB] = kq_bits_of(processor_sub(da, db));
    out[KQ_MUL] = kq_bits_of(processor_mul(da, db));
    out[KQ_LESS] = (uint64_t)(da < db);
    out[KQ_TO32] = kq_b32_bits_of((float)da);
    out[KQ_FROM32] = kq_bits_of((double)kq_b32_float_of((uint32_t)b));
    (void)kq_wrap_step_dbl(da, db, &sum, kq_double_of(cutoff));
    out[KQ_STEP_DBL] = kq_bits_of(sum);
    (void)kq_wrap_step_sgl(kq_double_of(v32), kq_double_of(x32), &sum32,
                           (double)(float)kq_double_of(cutoff));
    out[KQ_STEP_SGL] = kq_bits_of(sum32);
}

/* FNV-1a over 64-bit words. */
static uint64_t digest_add(uint64_t digest, uint64_t word) {
    uint64_t d = digest;
    uint32_t i;
    for (i = 0U; i < 8U; ++i) {
        d = (d ^ ((word >> (8U * i)) & 0xFFU)) * 0x100000001B3U;
    }
    return d;
}

/* The operands of pair `index` of a class's run; the state carries on from pair to pair. */
static void next_case(uint32_t kind, uint64_t* state, uint64_t* a, uint64_t* b, uint64_t* s,
                      uint64_t* cutoff) {
    kq_case_pair(kind, state, a, b);
    *s = kq_case_phase(state);
    *cutoff = kq_case_cutoff(state);
}

static uint32_t board_pairs(uint32_t kind) {
    return (kind == KQ_CASE_RANDOM) ? KQ_BOARD_RANDOM_PAIRS : KQ_BOARD_PAIRS;
}

/* The digests of one kind of results over the board run, one line a class, after the sum that
 * GCC 12.2's ARM routine misrounds (exponents 33 apart, the result in the next lower binade). */
static void print_digests(void (*results)(uint64_t, uint64_t, uint64_t, uint64_t, uint64_t*)) {
    uint32_t kind;
    {
        uint64_t out[KQ_RESULTS];
        results(0x4137AC21D9BEB6F9U, 0xC34000000000000AU, 0U, 0U, out);
        printf("sum 4137ac21d9beb6f9 + c34000000000000a = %08lx%08lx\n",
               (unsigned long)(out[KQ_ADD] >> 32), (unsigned long)(uint32_t)out[KQ_ADD]);
    }
    for (kind = 0U; kind < (uint32_t)KQ_CASE_COUNT; ++kind) {
        uint64_t state = KQ_SEED + kind;
        uint64_t digest = 0xCBF29CE484222325U;
        uint32_t i;
        for (i = 0U; i < board_pairs(kind); ++i) {
            uint64_t a, b, s, cutoff, out[KQ_RESULTS];
            uint32_t r;
            next_case(kind, &state, &a, &b, &s, &cutoff);
            results(a, b, s, cutoff, out);
            for (r = 0U; r < (uint32_t)KQ_RESULTS; ++r) {
                digest = digest_add(digest, out[r]);
            }
        }
        printf("class %s %lu %08lx%08lx\n", kq_case_names[kind], (unsigned long)board_pairs(kind),
               (unsigned long)(digest >> 32), (unsigned long)(uint32_t)digest);
    }
}

#if defined(KQ_BOARD_TEST)
#if defined(KQ_BOARD_TOOLCHAIN)
#define KQ_BOARD_USES_TOOLCHAIN 1
#else
#define KQ_BOARD_USES_TOOLCHAIN 0
#endif

int main(void) {
    print_digests(KQ_BOARD_USES_TOOLCHAIN ? toolchain_results : soft_results);
    return 0;
}
#else
static const char* const kq_result_names[KQ_RESULTS] = {
    "add", "sub", "mul", "less", "to-binary32", "from-binary32", "step-double", "step-single"};
/* Compares soft and processor results over `pairs` pairs of one class; prints the first few
 * differences and returns their count. */
static uint64_t compare_class(uint32_t kind, uint64_t pairs, uint64_t seed) {
    uint64_t state = seed;
    uint64_t differing = 0U;
    uint64_t i;
    for (i = 0U; i < pairs; ++i) {
        uint64_t a, b, s, cutoff, want[KQ_RESULTS], got[KQ_RESULTS];
        uint32_t r;
        next_case(kind, &state, &a, &b, &s, &cutoff);
        toolchain_results(a, b, s, cutoff, want);
        soft_results(a, b, s, cutoff, got);
        for (r = 0U; r < (uint32_t)KQ_RESULTS; ++r) {
            if (want[r] != got[r]) {
                if (++differing <= 10U) {
                    printf(
                        "%s %s: a %016llx b %016llx s %016llx cutoff %016llx: processor "
                        "%016llx, soft %016llx\n",
                        kq_case_names[kind], kq_result_names[r], (unsigned long long)a,
                        (unsigned long long)b, (unsigned long long)s, (unsigned long long)cutoff,
                        (unsigned long long)want[r], (unsigned long long)got[r]);
                }
            }
        }
    }
    return differing;
}

/* Known answers, so that a wrong processor or compiler cannot pass both sides alike: the sum
 * GCC 12.2's ARM routine misrounds, a tie to even, an invalid operation (x86-64's NaN), a subnormal
 * product. */
static int known_answers(void) {
    static const struct {
        uint64_t a, b, sum, product;
    } known[] = {
        {0x4137AC21D9BEB6F9U, 0xC34000000000000AU, 0xC33FFFFFFFE853F2U, 0xC487AC21D9BEB708U},
        {0x3FF0000000000000U, 0x3CA0000000000000U, 0x3FF0000000000000U, 0x3CA0000000000000U},
        {0x7FF0000000000000U, 0xFFF0000000000000U, 0xFFF8000000000000U, 0xFFF0000000000000U},
        {0x0010000000000000U, 0x3FE0000000000001U, 0x3FE0000000000001U, 0x0008000000000000U},
    };
    int failures = 0;
    size_t i;
    for (i = 0U; i < sizeof known / sizeof known[0]; ++i) {
        const uint64_t sum = kq_b64_add(known[i].a, known[i].b);
        const uint64_t product = kq_b64_mul(known[i].a, known[i].b);
        if (sum != known[i].sum || product != known[i].product) {
            printf("known answer %u: sum %016llx (want %016llx), product %016llx (want %016llx)\n",
                   (unsigned)i, (unsigned long long)sum, (unsigned long long)known[i].sum,
                   (unsigned long long)product, (unsigned long long)known[i].product);
            ++failures;
        }
    }
    return failures;
}

/* The processor's u - k * two_pi of the step (kq_wrap_step_with), for one variant. */
static uint64_t processor_unturned(double u, int single) {
    const double two_pi = single ? KQ_TWO_PI_SGL : KQ_TWO_PI_DBL;
    const double t = processor_mul(u, single ? KQ_INV_TWO_PI_SGL : KQ_INV_TWO_PI_DBL);
    const double t_biased =
        (t > 0.0) ? t : processor_sub(t, single ? KQ_FLOOR_BIAS_SGL : KQ_FLOOR_BIAS_DBL);
    return kq_bits_of(processor_sub(u, processor_mul(kq_trunc(t_biased), two_pi)));
}

/* The turn bounds of kq_wrap_step_soft.h: on each bound and its neighbours (where the turn count
 * changes), and on random u within +-40, the shortcut gives the processor's u - k * two_pi. */
static int turn_bounds(void) {
    static const uint64_t bounds[2][4] = {
        {KQ_TURN_MINUS_ONE_DBL, KQ_TURN_ZERO_DBL, KQ_TURN_ONE_DBL, KQ_TURN_TWO_DBL},
        {KQ_TURN_MINUS_ONE_SGL, KQ_TURN_ZERO_SGL, KQ_TURN_ONE_SGL, KQ_TURN_TWO_SGL}};
    uint64_t state = KQ_SEED;
    int failures = 0;
    int single;
    for (single = 0; single < 2; ++single) {
        const kq_soft_step_constants* constants =
            single ? kq_soft_step_constants_sgl() : kq_soft_step_constants_dbl();
        int i;
        for (i = 0; i < 4 * 9 + 100000; ++i) {
            uint64_t u;
            if (i < 4 * 9) {
                u = bounds[single][i / 9] + (uint64_t)(i % 9) - 4U;
            } else {
                const uint32_t exp = 0x3C0U + kq_case_below(&state, 0x45U);
                u = kq_case_value(&state, exp, 1);
            }
            if (kq_soft_unturned(u, constants) != processor_unturned(kq_double_of(u), single)) {
                if (++failures <= 10) {
                    printf("turn bounds (%s): u %016llx: processor %016llx, soft %016llx\n",
                           single ? "single" : "double", (unsigned long long)u,
                           (unsigned long long)processor_unturned(kq_double_of(u), single),
                           (unsigned long long)kq_soft_unturned(u, constants));
                }
            }
        }
    }
    return failures;
}

int main(int argc, char** argv) {
    uint64_t random_pairs = 10000000U;
    uint64_t differing = 0U;
    uint32_t kind;
    if (argc > 1 && strcmp(argv[1], "--digests") == 0) {
        print_digests(toolchain_results);
        return 0;
    }
    if (argc > 1) {
        random_pairs = strtoull(argv[1], NULL, 10);
    }
    if (known_answers() != 0 || turn_bounds() != 0) {
        return 1;
    }
    for (kind = 0U; kind < (uint32_t)KQ_CASE_COUNT; ++kind) {
        const uint64_t pairs = (kind == KQ_CASE_RANDOM) ? random_pairs : KQ_CLASS_PAIRS;
        const uint64_t count = compare_class(kind, pairs, KQ_SEED + 0x100U + kind);
        printf("%-14s %11llu pairs: %s\n", kq_case_names[kind], (unsigned long long)pairs,
               count == 0U ? "identical" : "DIFFER");
        differing += count;
    }
    return differing == 0U ? 0 : 1;
}
#endif
