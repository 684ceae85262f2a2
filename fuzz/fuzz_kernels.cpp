// Fuzz target: the twelve unwrap kernels against a plain reference written here from the wrap
// step's operation order (kernels/wrap_correction.h), bit for bit (NaN bits included).
//
// Each input picks a kernel family (stateless, running per element, running per channel; double or
// single), the channel or element count, a starting state, and a sequence of calls, each with its
// own frame length (the split points of the signal), cutoff, samples and an optional reset (what
// hookInitializeConditions does: FirstStep set, Cumsum zeroed). Every call runs the copy kernel and
// the in-place kernel of the family on exact-size heap buffers (so AddressSanitizer catches any
// access outside them) and the reference on its own copies; outputs (pre-filled with a marker, so
// a sample never written shows), Prev, Cumsum and FirstStep must agree to the bit, and the copy
// kernel must leave its input untouched. Where the tree has vector levels of the kernels, every
// level the processor runs is checked the same way, each with its own state.
//
// Samples come from raw bytes (any NaN payload, infinities, subnormals), small values with
// fractions, and steps from the previous sample of exactly +-pi, pi's neighbours, whole turns and
// the differences just beyond -pi where the floor bias decides the turn count.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "fuzz/byte_reader.h"
#include "kernels/unwrap_kernels.h"
#include "kernels/vector_level.h"

namespace {

using kqfuzz::ByteReader;

// The constants of each precision variant, as binary64 values (the single ones are the binary32
// constants widened exactly).
template <typename T>
struct StepConstants;

template <>
struct StepConstants<double> {
    static constexpr double kPi = 3.141592653589793;
    static constexpr double kTwoPi = 6.283185307179586;
    static constexpr double kInvTwoPi = 0.15915494309189535;
    static constexpr double kBias = 0.9999999999;
};

template <>
struct StepConstants<float> {
    static constexpr double kPi = 3.1415927410125732421875;
    static constexpr double kTwoPi = 6.283185482025146484375;
    static constexpr double kInvTwoPi = 0.15915493667125701904296875;
    static constexpr double kBias = 0.999989986419677734375;
};

// The step, one binary64 operation per line in the step's operation order. The turn count is kept
// as a binary64 whole number (truncation toward zero), as the kernels keep it for every difference.
template <typename T>
double referenceStep(double previous, double current, double& correction, double cutoff) {
    using K = StepConstants<T>;
    const double d = current - previous;
    const double u = d + K::kPi;
    const double t = u * K::kInvTwoPi;
    double tFloor = t;
    if (!(t > 0.0)) {
        tFloor = t - K::kBias;
    }
    const double turns = std::trunc(tFloor);
    const double turnsInRadians = turns * K::kTwoPi;
    const double shifted = u - turnsInRadians;
    double principal = shifted - K::kPi;
    if (principal == -K::kPi && d > 0.0) {
        principal = K::kPi;
    }
    const double c = principal - d;
    if (cutoff < std::fabs(c)) {
        correction = correction + c;
    }
    return correction + current;
}

// Rounds a binary64 result to the stored type as IEEE 754 does (nearest, ties to even, overflow to
// infinity), spelled out for binary32 so that no out-of-range cast is involved.
template <typename T>
T stored(double value) {
    if constexpr (std::is_same_v<T, float>) {
        if (std::isfinite(value) && std::fabs(value) > std::numeric_limits<float>::max()) {
            // Half an ulp above the largest binary32 value rounds to infinity, ties included.
            const float big = std::fabs(value) >= 0x1.ffffffp127
                                  ? std::numeric_limits<float>::infinity()
                                  : std::numeric_limits<float>::max();
            return std::signbit(value) ? -big : big;
        }
        return static_cast<float>(value);
    } else {
        return value;
    }
}

// Held in the data type itself: widening a signalling NaN would quiet it, and Prev keeps raw
// samples bit for bit.
template <typename T>
struct ReferenceState {
    std::vector<T> prev;
    std::vector<T> cumsum;
    uint8_t firstStep = 0;
};

template <typename T>
void referenceStateless(const T* in, T* out, T cutoff, int32_t numChans, int32_t frameLen) {
    for (int32_t chan = 0; chan < numChans && frameLen > 0; ++chan) {
        const T* x = in + static_cast<size_t>(chan) * static_cast<size_t>(frameLen);
        T* y = out + static_cast<size_t>(chan) * static_cast<size_t>(frameLen);
        double correction = 0.0;
        y[0] = x[0];
        for (int32_t n = 1; n < frameLen; ++n) {
            y[n] = stored<T>(referenceStep<T>(x[n - 1], x[n], correction, cutoff));
        }
    }
}

template <typename T>
void referenceRunningFrame(const T* in, T* out, ReferenceState<T>& s, T cutoff, int32_t numChans,
                           int32_t frameLen) {
    if (s.firstStep != 0) {
        for (int32_t chan = 0; chan < numChans && frameLen > 0; ++chan) {
            s.cumsum[static_cast<size_t>(chan)] = T{0};
            s.prev[static_cast<size_t>(chan)] =
                in[static_cast<size_t>(chan) * static_cast<size_t>(frameLen)];
        }
        s.firstStep = 0;
    }
    for (int32_t chan = 0; chan < numChans && frameLen > 0; ++chan) {
        const size_t c = static_cast<size_t>(chan);
        const T* x = in + c * static_cast<size_t>(frameLen);
        T* y = out + c * static_cast<size_t>(frameLen);
        double correction = s.cumsum[c];
        T previous = s.prev[c];
        for (int32_t n = 0; n < frameLen; ++n) {
            y[n] = stored<T>(referenceStep<T>(previous, x[n], correction, cutoff));
            previous = x[n];
        }
        s.prev[c] = previous;
        s.cumsum[c] = stored<T>(correction);
    }
}

template <typename T>
void referenceRunningSample(const T* in, T* out, ReferenceState<T>& s, T cutoff, int32_t numElems) {
    if (s.firstStep != 0) {
        for (int32_t i = 0; i < numElems; ++i) {
            s.cumsum[static_cast<size_t>(i)] = T{0};
            s.prev[static_cast<size_t>(i)] = in[i];
        }
        s.firstStep = 0;
    }
    for (int32_t i = 0; i < numElems; ++i) {
        const size_t e = static_cast<size_t>(i);
        double correction = s.cumsum[e];
        const T x = in[i];
        out[i] = stored<T>(referenceStep<T>(s.prev[e], x, correction, cutoff));
        s.prev[e] = x;
        s.cumsum[e] = stored<T>(correction);
    }
}

enum class Family { kStateless, kRunningSample, kRunningFrame };

const char* familyName(Family family) {
    switch (family) {
        case Family::kStateless:
            return "stateless";
        case Family::kRunningSample:
            return "running per element";
        case Family::kRunningFrame:
            return "running per channel";
    }
    return "?";
}

// The twelve kernels of one implementation, for one data type.
template <typename T>
struct KernelFns {
    const char* name;
    void (*statelessCopy)(const T*, T*, T, int32_t, int32_t);
    void (*statelessInPlace)(T*, T, int32_t, int32_t);
    void (*sampleCopy)(const T*, T*, T*, T*, T, int32_t, uint8_t*);
    void (*sampleInPlace)(T*, T*, T*, T, int32_t, uint8_t*);
    void (*frameCopy)(const T*, T*, T*, T*, T, int32_t, int32_t, uint8_t*);
    void (*frameInPlace)(T*, T*, T*, T, int32_t, int32_t, uint8_t*);
};

// The public kernels, and, in a tree that has vector levels, the kernels of every level this
// processor runs: all of them must give the reference's bits.
template <typename T>
std::vector<KernelFns<T>> implementations() {
    std::vector<KernelFns<T>> all;
    if constexpr (std::is_same_v<T, double>) {
        all.push_back({"public", unwrapStatelessCopyDbl, unwrapStatelessInPlaceDbl,
                       unwrapRunningSampleCopyDbl, unwrapRunningSampleInPlaceDbl,
                       unwrapRunningFrameCopyDbl, unwrapRunningFrameInPlaceDbl});
    } else {
        all.push_back({"public", unwrapStatelessCopySgl, unwrapStatelessInPlaceSgl,
                       unwrapRunningSampleCopySgl, unwrapRunningSampleInPlaceSgl,
                       unwrapRunningFrameCopySgl, unwrapRunningFrameInPlaceSgl});
    }
    for (const VectorLevel level : kAllVectorLevels) {
        if (!vectorLevelAvailable(level)) {
            continue;
        }
        const KernelSet& k = kernelsFor(level);
        if constexpr (std::is_same_v<T, double>) {
            all.push_back({vectorLevelName(level), k.statelessCopyDbl, k.statelessInPlaceDbl,
                           k.runningSampleCopyDbl, k.runningSampleInPlaceDbl, k.runningFrameCopyDbl,
                           k.runningFrameInPlaceDbl});
        } else {
            all.push_back({vectorLevelName(level), k.statelessCopySgl, k.statelessInPlaceSgl,
                           k.runningSampleCopySgl, k.runningSampleInPlaceSgl, k.runningFrameCopySgl,
                           k.runningFrameInPlaceSgl});
        }
    }
    return all;
}

// A buffer of exactly `count` elements on the heap: one element more or less, and AddressSanitizer
// reports the access.
template <typename T>
struct ExactBuffer {
    std::unique_ptr<T[]> data;
    size_t count;

    explicit ExactBuffer(size_t n) : data(new T[n]), count(n) {}
    T* get() { return data.get(); }
    bool sameBits(const T* other) const {
        return count == 0 || std::memcmp(data.get(), other, count * sizeof(T)) == 0;
    }
};

// The state one kernel keeps between calls, in exact-size host-like buffers.
template <typename T>
struct KernelState {
    ExactBuffer<T> prev;
    ExactBuffer<T> cumsum;
    ExactBuffer<uint8_t> firstStep{1};

    explicit KernelState(size_t n) : prev(n), cumsum(n) {}
};

// A value no kernel computes by chance, to see which output samples were written.
template <typename T>
T outputMarker() {
    if constexpr (std::is_same_v<T, float>) {
        return std::bit_cast<float>(uint32_t{0x7FA5A5A5});
    } else {
        return std::bit_cast<double>(uint64_t{0x7FF5A5A5A5A5A5A5});
    }
}

template <typename T>
T rawSample(ByteReader& in) {
    if constexpr (std::is_same_v<T, float>) {
        return in.f32Bits();
    } else {
        return in.f64Bits();
    }
}

// A negative quiet NaN with a payload (binary32) or a positive one (binary64).
template <typename T>
T nanWithPayload() {
    if constexpr (std::is_same_v<T, float>) {
        return std::bit_cast<float>(uint32_t{0xFFC01234});
    } else {
        return std::bit_cast<double>(uint64_t{0x7FF8000000C0FFEE});
    }
}

// A value on an edge of the arithmetic: signed zeros, NaNs of several payloads and both signs,
// infinities, subnormals, the extremes, pi of the variant, values beyond a 32-bit turn count.
template <typename T>
T specialSample(ByteReader& in) {
    using L = std::numeric_limits<T>;
    const T options[] = {
        T{0},
        -T{0},
        L::quiet_NaN(),
        -L::quiet_NaN(),
        L::signaling_NaN(),
        nanWithPayload<T>(),
        L::infinity(),
        -L::infinity(),
        L::denorm_min(),
        -L::denorm_min(),
        L::min(),
        L::max(),
        L::lowest(),
        L::epsilon(),
        stored<T>(StepConstants<T>::kPi),
        stored<T>(-StepConstants<T>::kPi),
        stored<T>(StepConstants<T>::kTwoPi),
        stored<T>(1.35e10),
        stored<T>(-2.0e10),
        stored<T>(1e30),
    };
    return in.pick(options);
}

// A step from the previous sample that lands on the boundaries of the principal value.
template <typename T>
T steppedSample(ByteReader& in, T previous) {
    constexpr double kPi = StepConstants<T>::kPi;
    constexpr double kWindow = std::is_same_v<T, float> ? 1.0e-5 : 1.0e-10;
    const double steps[] = {
        kPi,
        -kPi,
        std::nextafter(kPi, 0.0),
        std::nextafter(kPi, 4.0),
        -std::nextafter(kPi, 0.0),
        -std::nextafter(kPi, 4.0),
        2.0 * kPi,
        -2.0 * kPi,
        3.0 * kPi,
        -3.0 * kPi,
        4.0,
        -4.0,
        10.0,
        -kPi - 0.3 * kWindow,
        -kPi - 3.0 * kWindow,
        -3.0 * kPi - 0.3 * kWindow,
        -3.141592653909793,
        -3.1415926548897932,
        1.2345678901234567,
        1e-17,
        -1e-17,
        1.35e10,
        -1.35e10,
        1e20,
    };
    return stored<T>(static_cast<double>(previous) + in.pick(steps));
}

template <typename T>
T readSample(ByteReader& in, T previous) {
    switch (in.range(0, 7)) {
        case 0:
        case 1:
        case 2:
            // Up to +-32 rad in steps of 1/1024: exact in either precision.
            return static_cast<T>(static_cast<double>(static_cast<int16_t>(in.u16())) / 1024.0);
        case 3:
            return rawSample<T>(in);
        case 4:
            return specialSample<T>(in);
        case 7:
            return previous;
        default:
            return steppedSample<T>(in, previous);
    }
}

template <typename T>
T readCutoff(ByteReader& in) {
    constexpr double kPi = StepConstants<T>::kPi;
    const T options[] = {stored<T>(kPi),
                         stored<T>(kPi),
                         T{0},
                         -T{0},
                         stored<T>(1e-15),
                         stored<T>(2.0 * kPi),
                         stored<T>(std::nextafter(2.0 * kPi, 0.0)),
                         T{1},
                         std::numeric_limits<T>::infinity(),
                         std::numeric_limits<T>::quiet_NaN(),
                         std::numeric_limits<T>::denorm_min()};
    if (in.range(0, 7) == 0) {
        return rawSample<T>(in);
    }
    return in.pick(options);
}

[[noreturn]] void mismatch(const char* implementation, Family family, bool single, int call,
                           const char* what, const std::string& detail) {
    std::fprintf(stderr, "fuzz_kernels: %s %s %s kernel, call %d: %s: %s\n", implementation,
                 familyName(family), single ? "single" : "double", call, what, detail.c_str());
    std::fflush(stderr);
    __builtin_trap();
}

template <typename T>
std::string bitsOf(T value) {
    using Bits = std::conditional_t<std::is_same_v<T, float>, uint32_t, uint64_t>;
    char text[64];
    std::snprintf(text, sizeof text, "%.17g (0x%llx)", static_cast<double>(value),
                  static_cast<unsigned long long>(std::bit_cast<Bits>(value)));
    return text;
}

// Where two buffers first differ, for the report.
template <typename T>
std::string firstDifference(const char* name, const T* got, const T* expected, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        if (std::memcmp(&got[i], &expected[i], sizeof(T)) != 0) {
            return std::string(name) + "[" + std::to_string(i) + "] is " + bitsOf(got[i]) +
                   ", expected " + bitsOf(expected[i]);
        }
    }
    return std::string(name) + " equal";
}

template <typename T>
void fillState(KernelState<T>& state, const ReferenceState<T>& reference) {
    for (size_t i = 0; i < state.prev.count; ++i) {
        state.prev.get()[i] = reference.prev[i];
        state.cumsum.get()[i] = reference.cumsum[i];
    }
    state.firstStep.get()[0] = reference.firstStep;
}

template <typename T>
bool sameState(KernelState<T>& state, const ReferenceState<T>& reference) {
    return state.prev.sameBits(reference.prev.data()) &&
           state.cumsum.sameBits(reference.cumsum.data()) &&
           state.firstStep.get()[0] == reference.firstStep;
}

template <typename T>
std::string stateDifference(KernelState<T>& state, const ReferenceState<T>& reference) {
    return firstDifference("Prev", state.prev.get(), reference.prev.data(), state.prev.count) +
           "; " +
           firstDifference("Cumsum", state.cumsum.get(), reference.cumsum.data(),
                           state.cumsum.count) +
           "; FirstStep " + std::to_string(state.firstStep.get()[0]) + ", expected " +
           std::to_string(reference.firstStep);
}

template <typename T>
void runFamily(ByteReader& in, Family family) {
    const bool single = std::is_same_v<T, float>;
    // numChans for the per-channel and stateless kernels, numElems for the per-element ones;
    // -1 stands for a count a kernel must treat as no data at all. Up to 40 elements, so that
    // vector paths run whole vectors and remainders.
    const auto count =
        static_cast<int32_t>(family == Family::kRunningSample ? in.range(-1, 40) : in.range(-1, 6));
    const size_t stateSize = count > 0 ? static_cast<size_t>(count) : 0;

    // The state before the first call: as left by hookInitializeConditions (FirstStep set), or a
    // running state from earlier calls.
    ReferenceState<T> reference;
    reference.prev.assign(stateSize, T{0});
    reference.cumsum.assign(stateSize, T{0});
    reference.firstStep = in.range(0, 3) != 0 ? 1 : 0;
    T last = T{0};
    if (reference.firstStep == 0) {
        for (size_t i = 0; i < stateSize; ++i) {
            last = readSample<T>(in, last);
            reference.prev[i] = last;
            // Whole turns, as a running channel holds, or any sample value but a NaN: Cumsum starts
            // at zero and only ever adds corrections that are not NaN, so it never holds one (with
            // a NaN there and a NaN input, S + x would have two NaN operands, whose payload IEEE
            // 754 leaves open).
            T correction =
                in.boolean()
                    ? stored<T>(StepConstants<T>::kTwoPi * static_cast<double>(in.range(-3, 3)))
                    : readSample<T>(in, T{0});
            if (std::isnan(correction)) {
                correction = -std::numeric_limits<T>::infinity();
            }
            reference.cumsum[i] = correction;
        }
    }
    static const std::vector<KernelFns<T>> kImplementations = implementations<T>();
    // Per implementation: the state of its copy kernel, then of its in-place kernel.
    std::vector<KernelState<T>> states;
    for (size_t i = 0; i < 2 * kImplementations.size(); ++i) {
        states.emplace_back(stateSize);
        fillState(states.back(), reference);
    }

    T cutoff = readCutoff<T>(in);
    const auto calls = static_cast<int>(in.range(1, 8));
    for (int call = 0; call < calls; ++call) {
        const uint8_t control = in.u8();
        if ((control & 1u) != 0) {
            cutoff = readCutoff<T>(in);
        }
        if ((control & 2u) != 0 && family != Family::kStateless) {
            // A reset: any non-zero FirstStep counts as set; Prev keeps what it holds.
            const uint8_t firstStep = (control & 4u) != 0 ? 0xFF : 1;
            reference.firstStep = firstStep;
            std::fill(reference.cumsum.begin(), reference.cumsum.end(), T{0});
            for (KernelState<T>& s : states) {
                s.firstStep.get()[0] = firstStep;
                std::fill_n(s.cumsum.get(), stateSize, T{0});
            }
        }
        const auto frameLen =
            family == Family::kRunningSample ? 1 : static_cast<int32_t>(in.range(-1, 40));
        const size_t samples = family == Family::kRunningSample
                                   ? stateSize
                                   : stateSize * (frameLen > 0 ? static_cast<size_t>(frameLen) : 0);

        std::vector<T> pristine(samples);
        for (size_t i = 0; i < samples; ++i) {
            last = readSample<T>(in, last);
            pristine[i] = last;
        }
        std::vector<T> expected(samples, outputMarker<T>());
        switch (family) {
            case Family::kStateless:
                referenceStateless<T>(pristine.data(), expected.data(), cutoff, count, frameLen);
                break;
            case Family::kRunningSample:
                referenceRunningSample<T>(pristine.data(), expected.data(), reference, cutoff,
                                          count);
                break;
            case Family::kRunningFrame:
                referenceRunningFrame<T>(pristine.data(), expected.data(), reference, cutoff, count,
                                         frameLen);
                break;
        }

        for (size_t k = 0; k < kImplementations.size(); ++k) {
            const KernelFns<T>& f = kImplementations[k];
            KernelState<T>& copyState = states[2 * k];
            KernelState<T>& inPlaceState = states[2 * k + 1];
            ExactBuffer<T> input(samples);
            ExactBuffer<T> copyOut(samples);
            ExactBuffer<T> inPlace(samples);
            for (size_t i = 0; i < samples; ++i) {
                input.get()[i] = pristine[i];
                copyOut.get()[i] = outputMarker<T>();
                inPlace.get()[i] = pristine[i];
            }
            switch (family) {
                case Family::kStateless:
                    f.statelessCopy(input.get(), copyOut.get(), cutoff, count, frameLen);
                    f.statelessInPlace(inPlace.get(), cutoff, count, frameLen);
                    break;
                case Family::kRunningSample:
                    f.sampleCopy(input.get(), copyOut.get(), copyState.prev.get(),
                                 copyState.cumsum.get(), cutoff, count, copyState.firstStep.get());
                    f.sampleInPlace(inPlace.get(), inPlaceState.prev.get(),
                                    inPlaceState.cumsum.get(), cutoff, count,
                                    inPlaceState.firstStep.get());
                    break;
                case Family::kRunningFrame:
                    f.frameCopy(input.get(), copyOut.get(), copyState.prev.get(),
                                copyState.cumsum.get(), cutoff, count, frameLen,
                                copyState.firstStep.get());
                    f.frameInPlace(inPlace.get(), inPlaceState.prev.get(),
                                   inPlaceState.cumsum.get(), cutoff, count, frameLen,
                                   inPlaceState.firstStep.get());
                    break;
            }

            if (!input.sameBits(pristine.data())) {
                mismatch(f.name, family, single, call, "the copy kernel changed its input",
                         firstDifference("in", input.get(), pristine.data(), samples));
            }
            if (!copyOut.sameBits(expected.data())) {
                mismatch(f.name, family, single, call,
                         "copy kernel output differs from the reference",
                         firstDifference("out", copyOut.get(), expected.data(), samples));
            }
            if (!inPlace.sameBits(expected.data())) {
                mismatch(f.name, family, single, call,
                         "in-place kernel output differs from the reference",
                         firstDifference("buffer", inPlace.get(), expected.data(), samples));
            }
            if (family != Family::kStateless) {
                if (!sameState(copyState, reference)) {
                    mismatch(f.name, family, single, call,
                             "copy kernel state differs from the reference",
                             stateDifference(copyState, reference));
                }
                if (!sameState(inPlaceState, reference)) {
                    mismatch(f.name, family, single, call,
                             "in-place kernel state differs from the reference",
                             stateDifference(inPlaceState, reference));
                }
            }
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ByteReader in(data, size);
    switch (in.range(0, 5)) {
        case 0:
            runFamily<double>(in, Family::kStateless);
            break;
        case 1:
            runFamily<float>(in, Family::kStateless);
            break;
        case 2:
            runFamily<double>(in, Family::kRunningSample);
            break;
        case 3:
            runFamily<float>(in, Family::kRunningSample);
            break;
        case 4:
            runFamily<double>(in, Family::kRunningFrame);
            break;
        default:
            runFamily<float>(in, Family::kRunningFrame);
            break;
    }
    return 0;
}
