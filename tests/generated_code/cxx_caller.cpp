// A C++ caller of generated code: the header compiles as C++, its functions link against the
// model compiled as C, and the interface behaves as the header states. Built by
// native_end_to_end.py for every form, with the model's name in KQ_MODEL and the state's size
// the header states in KQ_STATE_BYTES.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#define KQ_STRINGIFY2(x) #x
#define KQ_STRINGIFY(x) KQ_STRINGIFY2(x)
#define KQ_JOIN2(a, b) a##_##b
#define KQ_JOIN(a, b) KQ_JOIN2(a, b)
#define M(x) KQ_JOIN(KQ_MODEL, x)

#include KQ_STRINGIFY(KQ_MODEL.h)

using Real = M(real);

static_assert(sizeof(M(state)) == KQ_STATE_BYTES, "the header states another size of the state");

namespace {

int failures = 0;

void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "%s: %s\n", KQ_STRINGIFY(KQ_MODEL), what);
        ++failures;
    }
}

bool sameBits(Real a, Real b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

}  // namespace

int main() {
    M(state) state;
    check(M(initialize)(&state) == 0, "initialize reports a floating-point environment problem");
    const Real recorded = state.cutoff;

    check(M(set_tolerance)(&state, std::numeric_limits<double>::quiet_NaN()) != 0,
          "set_tolerance takes a NaN");
    check(sameBits(state.cutoff, recorded), "a refused NaN changed the cutoff");
    check(M(set_tolerance)(&state, -std::numeric_limits<double>::infinity()) == 0,
          "set_tolerance refuses -inf");
    check(std::isinf(state.cutoff) && state.cutoff > 0, "the cutoff of tolerance -inf is not +inf");
    check(M(set_tolerance)(&state, -0.75) == 0, "set_tolerance refuses -0.75");
    check(state.cutoff == Real(0.75), "the cutoff of tolerance -0.75 is not 0.75");

    // A step of samples 0 and 1 in turn: no wrap, so the outputs are the inputs.
    Real buf[M(PORT_WIDTH)];
    for (int i = 0; i < M(PORT_WIDTH); ++i) {
        buf[i] = Real(i % 2);
    }
#if M(IN_PLACE)
    M(step)(&state, buf);
    const Real* out = buf;
#else
    Real out[M(PORT_WIDTH)];
    M(step)(&state, buf, out);
#endif
    for (int i = 0; i < M(PORT_WIDTH); ++i) {
        check(sameBits(out[i], Real(i % 2)), "a step without a wrap changed a sample");
    }
    M(terminate)(&state);
    return failures == 0 ? 0 : 1;
}
