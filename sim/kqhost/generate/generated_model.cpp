#include "sim/kqhost/generate/generated_model.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>

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

// The runtime kernel's name and arguments after the buffers, in the block's table's terms.
struct KernelCall {
    int tableIndex;  // the block's kernel table entry, KQ_RUNTIME_ONE_KERNEL of the runtime
    std::string function;
    std::string tableName;  // the block's kernel, for the comment
    bool running;
    size_t stateLength;  // Prev and Cumsum values
    std::string sizes;   // the count arguments
};

KernelCall kernelCallFor(const GeneratedModel& model) {
    const bool single = model.precision == Precision::Single;
    const char* copyForm = model.inPlace ? "in_place" : "copy";
    const KernelWalk& walk = model.walk;
    KernelCall call;
    call.running = walk.kind != KernelWalk::Kind::Stateless;
    std::string shape;
    std::string tableShape;
    switch (walk.kind) {
        case KernelWalk::Kind::Stateless:
            shape = "stateless";
            tableShape = "Stateless";
            call.stateLength = 0;
            call.sizes = fmt::format("{}, {}", walk.numChans, walk.frameLen);
            break;
        case KernelWalk::Kind::RunningChannels:
            shape = "running_frame";
            tableShape = "RunningFrame";
            call.stateLength = static_cast<size_t>(walk.numChans);
            call.sizes = fmt::format("{}, {}", walk.numChans, walk.frameLen);
            break;
        case KernelWalk::Kind::RunningElements:
            shape = "running_sample";
            tableShape = "RunningSample";
            call.stateLength = static_cast<size_t>(walk.numChans);
            call.sizes = fmt::format("{}", walk.numChans);
            break;
    }
    const int shapeIndex = walk.kind == KernelWalk::Kind::Stateless         ? 0
                           : walk.kind == KernelWalk::Kind::RunningElements ? 2
                                                                            : 4;
    call.tableIndex = shapeIndex + (model.inPlace ? 1 : 0) + (single ? 6 : 0);
    call.function = fmt::format("kq_unwrap_{}_{}_{}", shape, copyForm, single ? "sgl" : "dbl");
    call.tableName = fmt::format("unwrap{}{}{}", tableShape, model.inPlace ? "InPlace" : "Copy",
                                 single ? "Sgl" : "Dbl");
    return call;
}

std::string describeWalk(const KernelWalk& walk) {
    switch (walk.kind) {
        case KernelWalk::Kind::Stateless:
            return fmt::format("{} channel(s) of {} sample(s), each step on its own", walk.numChans,
                               walk.frameLen);
        case KernelWalk::Kind::RunningChannels:
            return fmt::format("{} channel(s) of {} sample(s), carried on from step to step",
                               walk.numChans, walk.frameLen);
        case KernelWalk::Kind::RunningElements:
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
    if (name.substr(0, 3) == "kq_") {
        bad("the prefix kq_ belongs to the runtime");
    }
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
    return fmt::format(
        R"(/* {0}: phase unwrap of a {1} port, generated by kqhost generate from the block's
 * code-generation record (Running {2}). Compile with the runtime files beside it and
 * -ffp-contract=off: the outputs then have the simulation's bits.
 *
 * Port buffer of one step (in and out): channel after channel, the element of channel c and
 * sample n at c * {0}_FRAME_LENGTH + n. */
#ifndef {0}_H_INCLUDED
#define {0}_H_INCLUDED

#include <stdint.h>

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

/* Loads the cutoff of the record and starts afresh. Returns 0, or non-zero when the
 * floating-point environment cannot give the simulation's bits (KQ_FP_FLUSH_TO_ZERO,
 * KQ_FP_DEFAULT_NAN of kq_unwrap_runtime.h: a Cortex-M FPSCR with FZ or DN set). */
int {0}_initialize({0}_state* state);
/* One step: {0}_PORT_WIDTH values from in to out{8}. */
void {0}_step({0}_state* state, const {0}_real* in, {0}_real* out);
/* As the host's initial conditions: the next step starts afresh; the cutoff stays. */
void {0}_reset({0}_state* state);
/* As a change of the Tolerance parameter: the cutoff becomes its magnitude in the data type. */
void {0}_set_tolerance({0}_state* state, double tolerance);
void {0}_terminate({0}_state* state);

#endif
)",
        n, real, model.settings.running ? 1 : 0, model.channels, model.frameLen,
        model.channels * model.frameLen, model.inPlace ? 1 : 0, state,
        model.inPlace ? " (in place: in must equal out)" : "");
}

std::string modelSourceText(const GeneratedModel& model) {
    const KernelCall call = kernelCallFor(model);
    const std::string& n = model.name;
    const std::string buffers = model.inPlace ? "out" : "in, out";
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

int {0}_initialize({0}_state* state) {{
    state->cutoff = {3};
    {0}_reset(state);
    return kq_check_fp_environment();
}}

void {0}_step({0}_state* state, const {0}_real* in, {0}_real* out) {{
{4}    {5}(
        {6}, {7}{8}{9});
}}

void {0}_reset({0}_state* state) {{
{10}}}

void {0}_set_tolerance({0}_state* state, double tolerance) {{
    state->cutoff = kq_cutoff_of_tolerance_{12}(tolerance);
}}

void {0}_terminate({0}_state* state) {{
    (void)state;
}}
)",
        n, call.tableName, describeWalk(model.walk),
        cutoffConstant(model.settings.cutoff, model.precision),
        model.inPlace ? "    (void)in;\n" : "", call.function, buffers, stateArgs, call.sizes,
        firstStep, reset, call.tableIndex, model.precision == Precision::Single ? "sgl" : "dbl");
}

}  // namespace kq::kqhost
