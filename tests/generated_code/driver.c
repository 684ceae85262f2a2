/* Runs every form of generated code over the input and writes the outputs' bits, in hex, one value
 * per line after a line "form NAME", to the file named by the first argument (on a Cortex-M board
 * a host file reached through semihosting). Exits 0 when every form ran.
 *
 * Then it runs every form again under each floating-point mode of the processor's table below,
 * set before NAME_initialize with an exception flag raised, and writes one line per mode:
 *     mode NAME forms N differing D refused R lost L
 * D forms whose outputs' bits differ from the default mode's (by a hash of them), R whose
 * NAME_initialize returned non-zero, L after which the mode or the flag was not the caller's
 * (or "mode NAME not held" where the processor does not keep the mode). The generated code sets
 * the mode it needs, so D, R and L must be 0; built with KQ_FP_MODE_UNMANAGED (the probe: the
 * mode left to the caller) D and R show what the guard prevents. */
#include "driver.h"

#include <string.h>

#include "kq_fp_mode.h"

void kq_sink_text(struct kq_sink* sink, const char* text) {
    const size_t length = strlen(text);
    if (sink->used + length > sizeof sink->buffer) {
        if (fwrite(sink->buffer, 1, sink->used, sink->file) != sink->used) {
            sink->failed = 1;
        }
        sink->used = 0;
    }
    memcpy(sink->buffer + sink->used, text, length);
    sink->used += length;
}

/* The value's bits as 8 or 16 hex digits, most significant first. */
void kq_sink_bits(struct kq_sink* sink, const void* value, size_t size) {
    static const char digits[] = "0123456789abcdef";
    char text[20];
    uint64_t bits = 0;
    size_t length = size * 2;
    size_t i;
    if (size == sizeof(uint32_t)) {
        uint32_t narrow;
        memcpy(&narrow, value, sizeof narrow);
        bits = narrow;
    } else {
        memcpy(&bits, value, sizeof bits);
    }
    /* Multiplying by an odd number is one to one: two runs that differ in one value always end
     * with different hashes. */
    sink->hash = (sink->hash ^ bits) * UINT64_C(0x100000001b3);
    if (sink->hash_only) {
        return;
    }
    for (i = 0; i < length; ++i) {
        text[i] = digits[(unsigned)(bits >> (4 * (length - 1 - i))) & 15u];
    }
    text[length] = '\n';
    text[length + 1] = '\0';
    kq_sink_text(sink, text);
}

/* The modes each processor runs under, as bits of its mode word (kq_fp_mode.h), and an exception
 * flag that the caller raised and must find raised again (0 where the flags live apart). */
struct kq_mode {
    const char* name;
    kq_fp_word bits;
};
#if defined(__x86_64__) || defined(__i386__)
static const struct kq_mode kq_modes[] = {
    {"flush-to-zero", 0x8000U},   {"denormals-are-zero", 0x0040U}, {"ftz+daz", 0x8040U},
    {"upward", 0x4000U},          {"downward", 0x2000U},           {"toward-zero", 0x6000U},
    {"downward+ftz+daz", 0xA040U}};
#define KQ_CALLER_FLAG 0x0004U /* ZE, divide by zero */
#elif (defined(__aarch64__) || defined(__arm__)) && defined(KQ_FP_ROUNDING_BITS)
static const struct kq_mode kq_modes[] = {
    {"flush-to-zero", 0x01000000U}, {"default-nan", 0x02000000U}, {"ftz+dn", 0x03000000U},
    {"upward", 0x00400000U},        {"downward", 0x00800000U},    {"toward-zero", 0x00C00000U},
    {"upward+ftz+dn", 0x03400000U}};
#if defined(__aarch64__)
#define KQ_CALLER_FLAG 0U
#else
#define KQ_CALLER_FLAG 0x00000002U /* DZC */
#endif
#elif defined(__riscv) && defined(KQ_FP_ROUNDING_BITS)
static const struct kq_mode kq_modes[] = {
    {"toward-zero", 1U}, {"downward", 2U}, {"upward", 3U}, {"nearest-away", 4U}};
#define KQ_CALLER_FLAG 0U
#elif defined(__s390x__)
static const struct kq_mode kq_modes[] = {
    {"toward-zero", 1U}, {"upward", 2U}, {"downward", 3U}, {"prepare-shorter", 7U}};
#define KQ_CALLER_FLAG 0x00400000U /* divide by zero */
#else
#define KQ_NO_MODES 1 /* software floating point: no mode to run under */
#endif

/* The mode of the run in progress (NULL: the default) and its forms' refusals. */
static const struct kq_mode* kq_mode;
static int kq_refused;

#if !defined(KQ_NO_MODES)
static void kq_set_mode(kq_fp_word word) {
    kq_fp_word_write(word);
}
#endif

void kq_before_initialize(void) {
#if !defined(KQ_NO_MODES)
    if (kq_mode != NULL) {
        kq_set_mode((kq_fp_word_read() & ~KQ_FP_MODE_BITS) | kq_mode->bits | KQ_CALLER_FLAG);
    }
#endif
}

int kq_after_initialize(const char* name, int status) {
    if (kq_mode != NULL) {
        kq_refused += status != 0;
        return 0;
    }
    if (status != 0) {
        fprintf(stderr, "%s_initialize returned %d\n", name, status);
    }
    return status;
}

#define KQ_MAX_FORMS 256
#define KQ_MODE_COUNT (sizeof kq_modes / sizeof kq_modes[0])

/* Every form under every mode of the table, against the default mode's hashes. */
static void kq_run_modes(struct kq_sink* sink, const uint64_t* default_hashes) {
#if !defined(KQ_NO_MODES)
    const kq_fp_word initial = kq_fp_word_read();
    size_t m;
    for (m = 0; m < KQ_MODE_COUNT; ++m) {
        const kq_fp_word wanted = kq_modes[m].bits | KQ_CALLER_FLAG;
        char line[160];
        int differing = 0;
        int lost = 0;
        int form;
        kq_set_mode((initial & ~KQ_FP_MODE_BITS) | wanted);
        if ((kq_fp_word_read() & (KQ_FP_MODE_BITS | KQ_CALLER_FLAG)) != wanted) {
            kq_set_mode(initial);
            sprintf(line, "mode %s not held\n", kq_modes[m].name);
            kq_sink_text(sink, line);
            continue;
        }
        kq_mode = &kq_modes[m];
        kq_refused = 0;
        for (form = 0; form < kq_form_count; ++form) {
            sink->hash = 0;
            sink->hash_only = 1;
            kq_forms[form].run(sink);
            sink->hash_only = 0;
            if ((kq_fp_word_read() & (KQ_FP_MODE_BITS | KQ_CALLER_FLAG)) != wanted) {
                ++lost;
            }
            kq_set_mode(initial);
            differing += sink->hash != default_hashes[form];
        }
        kq_mode = NULL;
        sprintf(line, "mode %s forms %d differing %d refused %d lost %d\n", kq_modes[m].name,
                kq_form_count, differing, kq_refused, lost);
        kq_sink_text(sink, line);
    }
#else
    (void)sink;
    (void)default_hashes;
#endif
}

int main(int argc, char** argv) {
    static struct kq_sink sink;
    static uint64_t default_hashes[KQ_MAX_FORMS];
    int form;
    if (argc < 2 || (sink.file = fopen(argv[1], "w")) == NULL) {
        fprintf(stderr, "usage: driver OUTPUT (a file it can write)\n");
        return 2;
    }
    if (kq_form_count > KQ_MAX_FORMS) {
        fprintf(stderr, "driver: more than %d forms\n", KQ_MAX_FORMS);
        return 2;
    }
    for (form = 0; form < kq_form_count; ++form) {
        kq_sink_text(&sink, "form ");
        kq_sink_text(&sink, kq_forms[form].name);
        kq_sink_text(&sink, "\n");
        sink.hash = 0;
        kq_forms[form].run(&sink);
        default_hashes[form] = sink.hash;
    }
    kq_run_modes(&sink, default_hashes);
    if (fwrite(sink.buffer, 1, sink.used, sink.file) != sink.used || fclose(sink.file) != 0) {
        sink.failed = 1;
    }
    return sink.failed;
}
