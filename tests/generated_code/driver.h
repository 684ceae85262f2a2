/* What the program that runs generated code on a target shares with the forms' glue
 * (kqg_forms.c, written by write_sources.py): the input's bits, the events of a run, and the sink
 * that prints every output value's bits in hex (no floating-point printing, which small C
 * libraries lack, and no byte order in the text). C99. */
#ifndef KQ_GENERATED_CODE_DRIVER_H
#define KQ_GENERATED_CODE_DRIVER_H

#include <stdint.h>
#include <stdio.h>

/* Before output step `step`: reset the state, or set the tolerance to `tolerance`. A table of
 * events ends with step -1. */
enum kq_event_kind { KQ_EVENT_RESET, KQ_EVENT_SET_TOLERANCE };
struct kq_event {
    long step;
    enum kq_event_kind kind;
    double tolerance;
};

/* Output text, buffered so that a semihosted target writes it in few host calls, and a hash of
 * the values' bits (a run under another floating-point mode prints only the hash). */
struct kq_sink {
    FILE* file;
    char buffer[4096];
    size_t used;
    int failed;
    int hash_only;
    uint64_t hash;
};
void kq_sink_text(struct kq_sink* sink, const char* text);
void kq_sink_bits(struct kq_sink* sink, const void* value, size_t size);

/* Called around every form's NAME_initialize: the runs under other floating-point modes set the
 * mode there. Returns non-zero when the run must stop (initialize refused the default mode). */
void kq_before_initialize(void);
int kq_after_initialize(const char* name, int status);

/* One form over the whole input: its name and its run. */
struct kq_form {
    const char* name;
    void (*run)(struct kq_sink* sink);
};
extern const struct kq_form kq_forms[];
extern const int kq_form_count;

#endif
