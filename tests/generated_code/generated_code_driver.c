/* Runs the code kqhost generate wrote on a raw signal file, as kqhost run runs the block:
 *
 *     driver INPUT OUTPUT [reset STEP | tolerance STEP X]...
 *
 * OUTPUT gets raw little-endian binary64 or binary32 values (the model's data type), time-major:
 * one time step of NUM_CHANNELS values after another. INPUT is the same, or, when its name ends
 * in .csv, text as kqhost run reads it: one time step per line, values separated by commas, lines
 * starting with # skipped, each value read as binary64 and then rounded to the data type. Each
 * output step gathers FRAME_LENGTH time steps into the port buffer (channel c, sample n at c *
 * FRAME_LENGTH + n); a trailing partial frame is padded with the last time step and the padded
 * outputs are dropped. Before output step STEP (from 0) the events given for it run in order:
 * "reset" as the host's initial conditions, "tolerance" as a change of the Tolerance parameter.
 *
 * Compile with the generated folder on the include path and the model's name in KQ_MODEL:
 *     cc -std=c99 -ffp-contract=off -I DIR -DKQ_MODEL=NAME generated_code_driver.c DIR/NAME.c
 * (NAME.c compiles in the runtime beside it). The bytes are read and written one by one, so a
 * big-endian processor gives the same files. */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define KQ_STRINGIFY2(x) #x
#define KQ_STRINGIFY(x) KQ_STRINGIFY2(x)
#define KQ_JOIN2(a, b) a##_##b
#define KQ_JOIN(a, b) KQ_JOIN2(a, b)
#define M(x) KQ_JOIN(KQ_MODEL, x)

#include KQ_STRINGIFY(KQ_MODEL.h)

typedef M(real) real;
enum { kChannels = M(NUM_CHANNELS), kFrame = M(FRAME_LENGTH), kWidth = M(PORT_WIDTH) };

static int fail(const char* what) {
    fprintf(stderr, "driver: %s\n", what);
    return 1;
}

/* One value from sizeof(real) little-endian bytes; 0 at the end of the file. */
static int readRawValue(FILE* file, real* value) {
    unsigned char bytes[sizeof(real)];
    uint64_t bits = 0;
    size_t i;
    if (fread(bytes, 1, sizeof bytes, file) != sizeof bytes) {
        return 0;
    }
    for (i = sizeof bytes; i-- > 0;) {
        bits = (bits << 8) | bytes[i];
    }
    if (sizeof(real) == 8) {
        memcpy(value, &bits, sizeof *value);
    } else {
        const uint32_t low = (uint32_t)bits;
        memcpy(value, &low, sizeof *value);
    }
    return 1;
}

/* The next number of CSV text (rounded as kqhost run rounds it); 0 at the end of the file. */
static int readCsvValue(FILE* file, real* value) {
    char text[64];
    size_t length = 0;
    int atLineStart = 1;
    int c;
    while ((c = getc(file)) != EOF) {
        if (atLineStart && c == '#') {
            while (c != EOF && c != '\n') {
                c = getc(file);
            }
            continue;
        }
        atLineStart = c == '\n';
        if (c == ',' || c == '\n' || c == '\r' || c == ' ' || c == '\t') {
            if (length > 0) {
                break;
            }
            continue;
        }
        if (length + 1 < sizeof text) {
            text[length++] = (char)c;
        }
    }
    if (length == 0) {
        return 0;
    }
    text[length] = '\0';
    if (c == '\n') {
        ungetc(c, file); /* the next value starts a line */
    }
    *value = (real)strtod(text, NULL);
    return 1;
}

static int readValue(FILE* file, int csv, real* value) {
    return csv ? readCsvValue(file, value) : readRawValue(file, value);
}

static int writeValue(FILE* file, real value) {
    unsigned char bytes[sizeof(real)];
    uint64_t bits = 0;
    size_t i;
    if (sizeof(real) == 8) {
        memcpy(&bits, &value, sizeof bits);
    } else {
        uint32_t low;
        memcpy(&low, &value, sizeof low);
        bits = low;
    }
    for (i = 0; i < sizeof bytes; ++i) {
        bytes[i] = (unsigned char)(bits >> (8 * i));
    }
    return fwrite(bytes, 1, sizeof bytes, file) == sizeof bytes;
}

/* Runs the events of the command line due before output step `step`. */
static int applyEvents(M(state) * state, int argc, char** argv, long step) {
    int a = 3;
    while (a < argc) {
        if (strcmp(argv[a], "reset") == 0 && a + 1 < argc) {
            if (atol(argv[a + 1]) == step) {
                M(reset)(state);
            }
            a += 2;
        } else if (strcmp(argv[a], "tolerance") == 0 && a + 2 < argc) {
            if (atol(argv[a + 1]) == step) {
                if (M(set_tolerance)(state, strtod(argv[a + 2], NULL)) != 0) {
                    return 0;
                }
            }
            a += 3;
        } else {
            return 0;
        }
    }
    return 1;
}

int main(int argc, char** argv) {
    static real port[kWidth];
    static real out[kWidth];
    real* const result = M(IN_PLACE) ? port : out;
    real last[kChannels];
    M(state) state;
    FILE* input;
    FILE* output;
    long step;
    int status = 0;
    size_t nameLength;
    int csv;
    if (argc < 3) {
        return fail("usage: driver INPUT OUTPUT [reset STEP | tolerance STEP X]...");
    }
    if (M(initialize)(&state) != 0) {
        return fail("the floating-point environment cannot give the simulation's bits");
    }
    nameLength = strlen(argv[1]);
    csv = nameLength >= 4 && strcmp(argv[1] + nameLength - 4, ".csv") == 0;
    input = fopen(argv[1], "rb");
    output = fopen(argv[2], "wb");
    if (input == NULL || output == NULL) {
        return fail("cannot open the files");
    }
    for (step = 0;; ++step) {
        int rows = 0;
        int n;
        int c;
        for (n = 0; n < kFrame; ++n) {
            for (c = 0; c < kChannels; ++c) {
                real value;
                if (!readValue(input, csv, &value)) {
                    break;
                }
                last[c] = value;
                port[c * kFrame + n] = value;
            }
            if (c < kChannels) {
                if (c > 0) {
                    status = fail("the input ends inside a time step");
                }
                break;
            }
            ++rows;
        }
        if (rows == 0 || status != 0) {
            break;
        }
        for (n = rows; n < kFrame; ++n) {
            for (c = 0; c < kChannels; ++c) {
                port[c * kFrame + n] = last[c];
            }
        }
        if (!applyEvents(&state, argc, argv, step)) {
            status = fail("events are 'reset STEP' or 'tolerance STEP X'");
            break;
        }
#if M(IN_PLACE)
        M(step)(&state, port);
#else
        M(step)(&state, port, result);
#endif
        for (n = 0; n < rows; ++n) {
            for (c = 0; c < kChannels; ++c) {
                if (!writeValue(output, result[c * kFrame + n])) {
                    status = fail("cannot write the output");
                }
            }
        }
        if (rows < kFrame) {
            break;
        }
    }
    M(terminate)(&state);
    fclose(input);
    if (fclose(output) != 0) {
        status = fail("cannot write the output");
    }
    return status;
}
