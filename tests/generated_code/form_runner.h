/* The run of one form of generated code over the whole input, as kqhost run does it: included once
 * per form by kqg_forms.c with
 *   FORM          the generated code's NAME (its header already included)
 *   FORM_NAME     the same as a string
 *   FORM_ROWS     time steps (rows of the input) per output step: the frame length, or 1
 *   FORM_INPUT    kq_input64 or kq_input32, the input's bits in the form's precision
 *   FORM_EVENTS   the form's table of resets and tolerance changes
 * and KQ_INPUT_ROWS, KQ_INPUT_CHANNELS from kqg_inputs.h. Each output step gathers FORM_ROWS rows
 * into the port buffer (channel c, sample n at c * FORM_ROWS + n), pads a last partial frame with
 * the last row, steps, and prints the outputs of the real rows, row after row. */
#include <string.h>

#define KQ_CAT_(a, b) a##b
#define KQ_CAT(a, b) KQ_CAT_(a, b)
#define KQ_FORM(suffix) KQ_CAT(FORM, suffix)

/* The generated port must be the gathered rows: a generator that sized it otherwise stops here. */
typedef char KQ_FORM(_port_matches)[KQ_FORM(_PORT_WIDTH) == FORM_ROWS * KQ_INPUT_CHANNELS ? 1 : -1];
typedef char KQ_FORM(_input_matches)[sizeof(KQ_FORM(_real)) == sizeof(FORM_INPUT[0]) ? 1 : -1];

static void KQ_FORM(_run)(struct kq_sink* sink) {
    static KQ_FORM(_state) state;
    static KQ_FORM(_real) in[KQ_FORM(_PORT_WIDTH)];
    static KQ_FORM(_real) out[KQ_FORM(_PORT_WIDTH)];
    const struct kq_event* event = FORM_EVENTS;
    const long steps = (KQ_INPUT_ROWS + FORM_ROWS - 1) / FORM_ROWS;
    long step;
    kq_before_initialize();
    if (kq_after_initialize(FORM_NAME, KQ_FORM(_initialize)(&state)) != 0) {
        sink->failed = 1;
        return;
    }
    for (step = 0; step < steps; ++step) {
        long n;
        int c;
        for (; event->step == step; ++event) {
            if (event->kind == KQ_EVENT_RESET) {
                KQ_FORM(_reset)(&state);
            } else {
                KQ_FORM(_set_tolerance)(&state, event->tolerance);
            }
        }
        for (n = 0; n < FORM_ROWS; ++n) {
            long row = step * FORM_ROWS + n;
            if (row >= KQ_INPUT_ROWS) {
                row = KQ_INPUT_ROWS - 1;
            }
            for (c = 0; c < KQ_INPUT_CHANNELS; ++c) {
                memcpy(&in[c * FORM_ROWS + n], &FORM_INPUT[row * KQ_INPUT_CHANNELS + c],
                       sizeof in[0]);
            }
        }
#if KQ_FORM(_IN_PLACE)
        KQ_FORM(_step)(&state, in);
        memcpy(out, in, sizeof out);
#else
        KQ_FORM(_step)(&state, in, out);
#endif
        for (n = 0; n < FORM_ROWS && step * FORM_ROWS + n < KQ_INPUT_ROWS; ++n) {
            for (c = 0; c < KQ_INPUT_CHANNELS; ++c) {
                kq_sink_bits(sink, &out[c * FORM_ROWS + n], sizeof out[0]);
            }
        }
    }
    KQ_FORM(_terminate)(&state);
}

#undef KQ_FORM
