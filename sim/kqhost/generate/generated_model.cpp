#include "sim/kqhost/generate/generated_model.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <iterator>

#include "runtime/kq_kernel_list.h"
#include "sim/kqhost/generate/runtime_sources.h"
#include "sim/kqhost/io/kqhost_error.h"

namespace kq::kqhost {

namespace {

// C99's keywords: a name that is one cannot start the generated names.
constexpr std::array<std::string_view, 37> kCKeywords = {
    "auto",     "break",  "case",   "char",     "const",     "continue", "default",  "do",
    "double",   "else",   "enum",   "extern",   "float",     "for",      "goto",     "if",
    "inline",   "int",    "long",   "register", "restrict",  "return",   "short",    "signed",
    "sizeof",   "static", "struct", "switch",   "typedef",   "union",    "unsigned", "void",
    "volatile", "while",  "_Bool",  "_Complex", "_Imaginary"};

// The headers of C99 and C11: a model of one of these names would shadow it for every file
// compiled beside the model.
constexpr std::array<std::string_view, 29> kCStandardHeaders = {
    "assert",  "complex", "ctype",  "errno",  "fenv",   "float",       "inttypes", "iso646",
    "limits",  "locale",  "math",   "setjmp", "signal", "stdalign",    "stdarg",   "stdatomic",
    "stdbool", "stddef",  "stdint", "stdio",  "stdlib", "stdnoreturn", "string",   "tgmath",
    "threads", "time",    "uchar",  "wchar",  "wctype"};

// The name in lower case: file systems that ignore case take STDINT.h for stdint.h.
std::string lowerCase(std::string_view name) {
    std::string lower(name);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return lower;
}

bool isIdentifierStart(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}
bool isIdentifierChar(char c) {
    return isIdentifierStart(c) || (c >= '0' && c <= '9');
}

// The cutoff as an exact C constant of the data type: a hex float, or the bits of an infinity or
// a NaN (which have no literal in C99).
std::string cutoffConstant(double cutoff, Precision precision) {
    const char* type = precision == Precision::Single ? "float" : "double";
    if (!std::isfinite(cutoff)) {
        const uint64_t bits =
            std::isnan(cutoff) ? 0x7FF8'0000'0000'0000ull : std::bit_cast<uint64_t>(cutoff);
        return fmt::format("({})kq_double_of(UINT64_C(0x{:016x}))", type, bits);
    }
    return fmt::format("({}){:a}", type, cutoff);
}

// An entry of the runtime's kernel list (runtime/kq_kernel_list.h): the function, and the words
// that name it to KQ_RUNTIME_ONE_KERNEL.
struct ListedKernel {
    const char* function;
    int shape;  // KQ_SHAPE_*, KQ_PLACE_*, KQ_PRECISION_*
    int place;
    int precision;
    const char* words;  // "SHAPE, PLACE, PRECISION"
};

constexpr ListedKernel kListedKernels[] = {
#define KQ_LISTED_KERNEL(function, shape, place, precision, type)             \
    {#function, KQ_SHAPE_##shape, KQ_PLACE_##place, KQ_PRECISION_##precision, \
     #shape ", " #place ", " #precision},
    KQ_KERNEL_LIST(KQ_LISTED_KERNEL)
#undef KQ_LISTED_KERNEL
};

// The runtime kernel's name and arguments after the buffers.
struct KernelCall {
    std::string function;
    std::string selection;  // KQ_RUNTIME_ONE_KERNEL of the runtime
    bool running;
    size_t stateLength;  // Prev and Cumsum values
    std::string sizes;   // the count arguments
};

KernelCall kernelCallFor(const GeneratedModel& model) {
    const KernelWalk& walk = model.walk;
    KernelCall call;
    call.running = walk.shape != KernelWalk::Shape::Stateless;
    int shape = KQ_SHAPE_STATELESS;
    switch (walk.shape) {
        case KernelWalk::Shape::Stateless:
            call.stateLength = 0;
            call.sizes = fmt::format("{}, {}", walk.numChans, walk.frameLen);
            break;
        case KernelWalk::Shape::RunningFrame:
            shape = KQ_SHAPE_RUNNING_FRAME;
            call.stateLength = static_cast<size_t>(walk.numChans);
            call.sizes = fmt::format("{}, {}", walk.numChans, walk.frameLen);
            break;
        case KernelWalk::Shape::RunningSample:
            shape = KQ_SHAPE_RUNNING_SAMPLE;
            call.stateLength = static_cast<size_t>(walk.numChans);
            call.sizes = fmt::format("{}", walk.numChans);
            break;
    }
    const int place = model.inPlace ? KQ_PLACE_IN_PLACE : KQ_PLACE_COPY;
    const int precision =
        model.precision == Precision::Single ? KQ_PRECISION_SGL : KQ_PRECISION_DBL;
    const auto* listed = std::find_if(
        std::begin(kListedKernels), std::end(kListedKernels), [&](const ListedKernel& k) {
            return k.shape == shape && k.place == place && k.precision == precision;
        });
    call.function = listed->function;
    call.selection = fmt::format("KQ_KERNEL_INDEX({})", listed->words);
    return call;
}

std::string describeWalk(const KernelWalk& walk) {
    switch (walk.shape) {
        case KernelWalk::Shape::Stateless:
            return fmt::format("{} channel(s) of {} sample(s), each step on its own", walk.numChans,
                               walk.frameLen);
        case KernelWalk::Shape::RunningFrame:
            return fmt::format("{} channel(s) of {} sample(s), carried on from step to step",
                               walk.numChans, walk.frameLen);
        case KernelWalk::Shape::RunningSample:
            break;
    }
    return fmt::format("{} element(s), each a channel carried on from step to step", walk.numChans);
}

}  // namespace

void checkModelName(std::string_view name) {
    const auto bad = [&](const std::string& why) {
        throw KqhostError(fmt::format("--name '{}': {}", name, why));
    };
    if (name.empty() || !isIdentifierStart(name[0]) ||
        !std::all_of(name.begin(), name.end(), isIdentifierChar)) {
        bad("not a C identifier (letters, digits and _, not starting with a digit)");
    }
    if (name.size() > kMaxModelNameLength) {
        bad(fmt::format("longer than {} characters", kMaxModelNameLength));
    }
    if (name[0] == '_') {
        bad("names starting with _ are reserved in C");
    }
    if (std::find(kCKeywords.begin(), kCKeywords.end(), name) != kCKeywords.end()) {
        bad("a C keyword");
    }
    const std::string lower = lowerCase(name);
    if (lower.substr(0, 3) == "kq_") {
        bad("the prefix kq_ (in any case) belongs to the runtime and its files");
    }
    if (std::find(kCStandardHeaders.begin(), kCStandardHeaders.end(), lower) !=
        kCStandardHeaders.end()) {
        bad(fmt::format("{}.h would shadow the C standard header <{}.h>", name, lower));
    }
}

namespace {

bool isPlainShellChar(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           std::string_view("_-+=.,/:@%").find(static_cast<char>(c)) != std::string_view::npos;
}

// One argument as a POSIX shell reads it back: bare when it can be, else in single quotes, else
// (a quote, a control or non-ASCII byte, or a comment's end or start) in $'...' with octal escapes.
std::string shellQuoted(std::string_view arg) {
    if (!arg.empty() && std::all_of(arg.begin(), arg.end(), [](char c) {
            return isPlainShellChar(static_cast<unsigned char>(c));
        })) {
        return std::string(arg);
    }
    const bool printable = std::all_of(arg.begin(), arg.end(), [](char c) {
        return static_cast<unsigned char>(c) >= 0x20 && static_cast<unsigned char>(c) < 0x7f;
    });
    if (printable && arg.find('\'') == std::string_view::npos &&
        arg.find("*/") == std::string_view::npos && arg.find("/*") == std::string_view::npos) {
        return fmt::format("'{}'", arg);
    }
    std::string quoted = "$'";
    unsigned char previous = 0;
    for (const char ch : arg) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '\\' || c == '\'') {
            quoted += '\\';
            quoted += ch;
        } else if (c < 0x20 || c >= 0x7f || (c == '/' && previous == '*') ||
                   (c == '*' && previous == '/')) {
            quoted += fmt::format("\\{:03o}", c);
        } else {
            quoted += ch;
        }
        previous = c;
    }
    return quoted + "'";
}

// sizeof the state where the data type is aligned to its size (as on x86-64 and Arm): the cutoff,
// Prev and Cumsum of each channel, the first-step flag, padded to the alignment.
size_t stateBytes(const GeneratedModel& model, size_t stateLength) {
    const size_t real = model.precision == Precision::Single ? 4 : 8;
    const size_t bytes = stateLength == 0 ? real : real + 2 * stateLength * real + 1;
    return (bytes + real - 1) / real * real;
}

}  // namespace

std::string generateCommandLine(const std::vector<std::string>& arguments) {
    std::string line = "kqhost generate";
    for (const std::string& argument : arguments) {
        line += ' ';
        line += shellQuoted(argument);
    }
    return line;
}

std::string modelHeaderText(const GeneratedModel& model) {
    const KernelCall call = kernelCallFor(model);
    const std::string& n = model.name;
    const char* real = model.precision == Precision::Single ? "float" : "double";
    std::string state;
    if (call.running) {
        state = fmt::format(
            "    {0}_real prev[{1}]; /* the last raw sample of each channel */\n"
            "    {0}_real cumsum[{1}]; /* the correction accumulated on each channel */\n"
            "    uint8_t first_step; /* non-zero: the next step starts afresh */\n",
            n, call.stateLength);
    }
    const std::string step =
        model.inPlace
            ? fmt::format(
                  "/* One step in place: the {0}_PORT_WIDTH values of buf become the outputs. "
                  "*/\nvoid {0}_step({0}_state* state, {0}_real* buf);",
                  n)
            : fmt::format(
                  "/* One step: {0}_PORT_WIDTH values read from in and written to out (which may "
                  "be in). */\nvoid {0}_step({0}_state* state, const {0}_real* in, {0}_real* "
                  "out);",
                  n);
    return fmt::format(
        R"(/* {0}: phase unwrap of a {1} port, generated by kqhost {9} with
 *     {10}
 * from the block's code-generation record: Cutoff {11} ({1}), Running {2}.
 *
 * Compile {0}.c (alone: it holds the runtime) with the runtime files of kqhost {9} beside it
 * and -ffp-contract=off: the outputs then have the simulation's bits. {0}.c stops the build
 * when the runtime beside it is of another version.
 *
 * Port buffer of one step: channel after channel, the element of channel c and sample n at
 * c * {0}_FRAME_LENGTH + n.
 *
 * Re-entrant: all of an instance's data is its {0}_state ({12} bytes where {1} is aligned to
 * its size, as on x86-64 and Arm); the code keeps no globals and takes no heap. Give every
 * instance its own state; instances may step at the same time (threads, interrupts), one state
 * may not be used by two calls at once.
 *
 * NaN and infinity: a NaN sample gives NaN at its own position and an infinite one the same
 * infinity; the steps into and out of such a sample take no correction, so a wrap across it is
 * not taken, and the correction held before it carries on after it. */
#ifndef {0}_H_INCLUDED
#define {0}_H_INCLUDED

#include <stdint.h>

#ifdef __cplusplus
extern "C" {{
#endif

#define {0}_NUM_CHANNELS {3}
#define {0}_FRAME_LENGTH {4}
#define {0}_PORT_WIDTH {5}
#define {0}_IN_PLACE {6}

typedef {1} {0}_real;

typedef struct {0}_state {{
    /* The cutoff: corrections larger than it in magnitude are taken. The caller may change it
     * between steps ({0}_set_tolerance); corrections already taken stay. */
    {0}_real cutoff;
{7}}} {0}_state;

/* Loads the cutoff of the record and starts afresh. Returns 0: the step and set_tolerance set the
 * floating-point mode they need and put the caller's back, so any mode gives the simulation's
 * bits. Built with KQ_FP_MODE_UNMANAGED the mode is the caller's, and it returns the KQ_FP_* bits
 * of kq_fp_mode.h (rounding, flush-to-zero, ...) of the present mode that would move results; the
 * state is set up either way and the step does not check again: after a non-zero return it
 * computes in the caller's mode, and its outputs may differ from the simulation's. */
int {0}_initialize({0}_state* state);
{8}
/* As the host's initial conditions: the next step starts afresh; the cutoff stays. */
void {0}_reset({0}_state* state);
/* As a change of the Tolerance parameter: the cutoff becomes its magnitude in the data type (an
 * infinity turns the unwrap off). Returns 0; a NaN is refused, as kqhost refuses it: returns
 * non-zero and the cutoff stays. */
int {0}_set_tolerance({0}_state* state, double tolerance);
void {0}_terminate({0}_state* state);

#ifdef __cplusplus
}}
#endif

#endif
)",
        n, real, model.settings.running ? 1 : 0, model.channels, model.frameLen,
        model.channels * model.frameLen, model.inPlace ? 1 : 0, state, step, kProjectVersion,
        generateCommandLine(model.arguments), fmt::format("{:a}", model.settings.cutoff),
        stateBytes(model, call.stateLength));
}

std::string modelSourceText(const GeneratedModel& model) {
    const KernelCall call = kernelCallFor(model);
    const std::string& n = model.name;
    const std::string buffers = model.inPlace ? "buf" : "in, out";
    const std::string parameters =
        model.inPlace ? fmt::format("{0}_state* state, {0}_real* buf", n)
                      : fmt::format("{0}_state* state, const {0}_real* in, {0}_real* out", n);
    const std::string stateArgs =
        call.running ? "state->prev, state->cumsum, state->cutoff, " : "state->cutoff, ";
    const std::string firstStep = call.running ? ", &state->first_step" : "";
    std::string reset = "    (void)state;\n";
    if (call.running) {
        reset = fmt::format(
            "    int32_t i;\n"
            "    for (i = 0; i < {}; ++i) {{\n"
            "        state->cumsum[i] = 0;\n"
            "        state->prev[i] = 0;\n"
            "    }}\n"
            "    state->first_step = 1;\n",
            call.stateLength);
    }
    return fmt::format(
        R"(/* {0}: generated by kqhost generate. The kernel is the block's {1}:
 * {2}.
 * The runtime is compiled in here, with that kernel alone. */
#include "{0}.h"

#define KQ_RUNTIME_ONE_KERNEL {11}
#include "kq_unwrap_runtime.c"

#if !defined(KQ_RUNTIME_VERSION) || KQ_RUNTIME_VERSION != {12}
#error "the runtime files beside this model are not those of kqhost {13}: write them again"
#endif

int {0}_initialize({0}_state* state) {{
    state->cutoff = {3};
    {0}_reset(state);
    return kq_check_fp_environment();
}}

void {0}_step({4}) {{
    const kq_fp_word caller_mode = kq_fp_mode_enter();
    {5}(
        {6}, {7}{8}{9});
    kq_fp_mode_leave(caller_mode);
}}

void {0}_reset({0}_state* state) {{
{10}}}

int {0}_set_tolerance({0}_state* state, double tolerance) {{
    int refused = 1;
    const kq_fp_word caller_mode = kq_fp_mode_enter();
    const double held = kq_fp_mode_value(tolerance);
    if (kq_is_nan(held) == 0) {{ /* a NaN is refused */
        state->cutoff = kq_cutoff_of_tolerance_{14}(held);
        refused = 0;
    }}
    kq_fp_mode_leave(caller_mode);
    return refused;
}}

void {0}_terminate({0}_state* state) {{
    (void)state;
}}
)",
        n, call.function, describeWalk(model.walk),
        cutoffConstant(model.settings.cutoff, model.precision), parameters, call.function, buffers,
        stateArgs, call.sizes, firstStep, reset, call.selection, kRuntimeVersion, kProjectVersion,
        model.precision == Precision::Single ? "sgl" : "dbl");
}

}  // namespace kq::kqhost
