/* Runs every form of generated code over the input and writes the outputs' bits, in hex, one value
 * per line after a line "form NAME", to the file named by the first argument (on a Cortex-M board
 * a host file reached through semihosting). Exits 0 when every form ran.
 *
 * Built with KQ_PROBE_DEFAULT_NAN (Cortex-M with an FPU), it sets FPSCR's default-NaN bit before
 * each form's NAME_initialize and again after it, runs the form whatever NAME_initialize returned,
 * and reports on stderr whether NAME_initialize refused the mode: the run that must differ. */
#include "driver.h"

#include <string.h>

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
    for (i = 0; i < length; ++i) {
        text[i] = digits[(unsigned)(bits >> (4 * (length - 1 - i))) & 15u];
    }
    text[length] = '\n';
    text[length + 1] = '\0';
    kq_sink_text(sink, text);
}

#if defined(KQ_PROBE_DEFAULT_NAN)
static int kq_refused;
static void kq_set_default_nan(void) {
    __builtin_arm_set_fpscr(__builtin_arm_get_fpscr() | (1u << 25));
}
void kq_before_initialize(void) {
    kq_set_default_nan();
}
int kq_after_initialize(const char* name, int status) {
    (void)name;
    kq_refused += status != 0;
    kq_set_default_nan();
    return 0;
}
#else
void kq_before_initialize(void) {}
int kq_after_initialize(const char* name, int status) {
    if (status != 0) {
        fprintf(stderr, "%s_initialize returned %d\n", name, status);
    }
    return status;
}
#endif

int main(int argc, char** argv) {
    static struct kq_sink sink;
    int form;
    if (argc < 2 || (sink.file = fopen(argv[1], "w")) == NULL) {
        fprintf(stderr, "usage: driver OUTPUT (a file it can write)\n");
        return 2;
    }
    for (form = 0; form < kq_form_count; ++form) {
        kq_sink_text(&sink, "form ");
        kq_sink_text(&sink, kq_forms[form].name);
        kq_sink_text(&sink, "\n");
        kq_forms[form].run(&sink);
    }
    if (fwrite(sink.buffer, 1, sink.used, sink.file) != sink.used || fclose(sink.file) != 0) {
        sink.failed = 1;
    }
#if defined(KQ_PROBE_DEFAULT_NAN)
    fprintf(stderr, "default-NaN probe: NAME_initialize refused the mode in %d of %d forms\n",
            kq_refused, kq_form_count);
#endif
    return sink.failed;
}
