// Fuzz target: the twelve unwrap kernels and the row kernels of every vector level against the
// plain reference (kernels/reference/unwrap_reference.h), bit for bit (NaN bits included). The row
// kernels run on the channels of the running per-channel calls, laid out time-major.
//
// Each input picks a kernel shape (stateless, running per element, running per channel; double or
// single), the channel or element count, a starting state, and a sequence of calls, each with its
// own frame length (the split points of the signal), cutoff, samples and an optional reset (what
// hookInitializeConditions does: FirstStep set, Cumsum zeroed). Every call runs the copy kernel and
// the in-place kernel of the shape on exact-size heap buffers (so AddressSanitizer catches any
// access outside them) and the reference on its own copies; outputs (pre-filled with a marker, so
// a sample never written shows), Prev, Cumsum and FirstStep must agree to the bit, and the copy
// kernel must leave its input untouched. Every vector level the processor runs (the scalar kernels
// among them) is checked the same way, each with its own state.
//
// Samples come from raw bytes (any NaN payload, infinities, subnormals), small values with
// fractions, and steps from the previous sample of exactly +-pi, pi's neighbours, whole turns and
// the differences just beyond -pi where the floor bias decides the turn count; now and then a
// call's samples are a ramp with dense wraps instead, and a starting Cumsum may sit near a binade
// edge +-2^k, so that dense wraps carry the one-channel chain across the edge.
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
#include "fuzz/fuzz_check.h"
#include "kernels/kernel_call.h"
#include "kernels/reference/unwrap_reference.h"
#include "kernels/reference/value_bits.h"
#include "kernels/vector_level.h"

using namespace kq;

const char* const kq::fuzz::kTargetName = "fuzz_kernels";

namespace {

using kq::fuzz::ByteReader;
using kq::ref::ReferenceState;
using kq::ref::stored;

template <typename T>
using Constants = kq::ref::ReferenceConstants<T>;

const char* shapeName(KernelShape shape) {
    switch (shape) {
        case KernelShape::Stateless:
            return "stateless";
        case KernelShape::RunningSample:
            return "running per element";
        case KernelShape::RunningFrame:
            return "running per channel";
    }
    return "?";
}

// Every vector level this processor runs, the scalar one included: all must give the
// reference's bits.
std::vector<VectorLevel> availableLevels() {
    std::vector<VectorLevel> levels;
    for (const VectorLevel level : kAllVectorLevels) {
        if (vectorLevelAvailable(level)) {
            levels.push_back(level);
        }
    }
    return levels;
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
        return kq::ref::firstBitDifference(data.get(), other, count) == count;
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
        stored<T>(Constants<T>::pi),
        stored<T>(-Constants<T>::pi),
        stored<T>(Constants<T>::twoPi),
        stored<T>(1.35e10),
        stored<T>(-2.0e10),
        stored<T>(1e30),
    };
    return in.pick(options);
}

// A step from the previous sample that lands on the boundaries of the principal value.
template <typename T>
T steppedSample(ByteReader& in, T previous) {
    constexpr double kPi = Constants<T>::pi;
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

// A starting Cumsum: a few whole turns, a sample value, or a sum near a binade edge +-2^k (k from
// 6 to 60, a few hundred turns either side), where dense wraps carry the one-channel chain across
// the edge.
template <typename T>
T readCorrection(ByteReader& in) {
    constexpr double kTwoPi = Constants<T>::twoPi;
    switch (in.range(0, 3)) {
        case 0:
        case 1:
            return stored<T>(kTwoPi * static_cast<double>(in.range(-3, 3)));
        case 2:
            return readSample<T>(in, T{0});
        default: {
            const double edge =
                std::ldexp(in.boolean() ? 1.0 : -1.0, static_cast<int>(in.range(6, 60)));
            return stored<T>(edge + kTwoPi * static_cast<double>(in.range(-300, 300)));
        }
    }
}

// The samples of a call with dense wraps: a ramp of about 2.5 rad per sample either way (a
// correction at about every other sample), wrapped into [-pi, pi], with a little noise.
template <typename T>
void readDenseRamp(ByteReader& in, T* samples, size_t count) {
    constexpr double kTwoPi = Constants<T>::twoPi;
    const double steps[] = {2.5, -2.5, 2.2, -2.9, 4.0, -3.7};
    const double step = in.pick(steps);
    double phase = static_cast<double>(in.range(-3000, 3000)) / 1000.0;
    for (size_t i = 0; i < count; ++i) {
        phase =
            std::remainder(phase + step + static_cast<double>(in.range(-50, 50)) * 1e-3, kTwoPi);
        samples[i] = stored<T>(phase);
    }
}

template <typename T>
T readCutoff(ByteReader& in) {
    constexpr double kPi = Constants<T>::pi;
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

[[noreturn]] void mismatch(VectorLevel level, KernelShape shape, bool single, int call,
                           const char* what, const std::string& detail) {
    kq::fuzz::fail(
        (std::string(vectorLevelName(level)) + " " + shapeName(shape) + " " +
         (single ? "single" : "double") + " kernel, call " + std::to_string(call) + ": " + what)
            .c_str(),
        detail);
}

// Where two buffers first differ, for the report.
template <typename T>
std::string firstDifference(const char* name, const T* got, const T* expected, size_t n) {
    const size_t i = kq::ref::firstBitDifference(got, expected, n);
    if (i == n) {
        return std::string(name) + " equal";
    }
    return std::string(name) + "[" + std::to_string(i) + "] is " + kq::ref::describeBits(got[i]) +
           ", expected " + kq::ref::describeBits(expected[i]);
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

// The row kernel of a level on the call's channels laid out time-major, in rows a little longer
// than the channels (call % 3 elements of padding, which must stay unwritten), copying on even
// calls and in place on odd ones, in two calls split in the middle: it must give the reference's
// outputs and state as the running per-channel kernels do. It has no first step, so it is seeded
// here as that kernel seeds itself, and it carries the correction in binary64, rounded into
// Cumsum after the call.
template <typename T>
void checkRows(VectorLevel level, const KernelSet& kernels, KernelState<T>& state,
               const ReferenceState<T>& reference, const std::vector<T>& pristine,
               const std::vector<T>& expected, T cutoff, int32_t numChans, int32_t frameLen,
               int call) {
    const size_t chans = numChans > 0 ? static_cast<size_t>(numChans) : 0;
    const size_t rows = frameLen > 0 ? static_cast<size_t>(frameLen) : 0;
    if (state.firstStep.get()[0] != 0 && rows > 0) {
        for (size_t j = 0; j < chans; ++j) {
            state.prev.get()[j] = pristine[j * rows];
            state.cumsum.get()[j] = T{0};
        }
    }
    state.firstStep.get()[0] = 0;
    const size_t rowStep = chans + static_cast<size_t>(call % 3);
    const bool inPlace = call % 2 == 1;
    ExactBuffer<T> input(rows * rowStep);
    ExactBuffer<T> output(rows * rowStep);
    for (size_t i = 0; i < rows * rowStep; ++i) {
        const size_t r = i / rowStep;
        const size_t j = i % rowStep;
        input.get()[i] = j < chans ? pristine[j * rows + r] : outputMarker<T>();
        output.get()[i] = inPlace ? input.get()[i] : outputMarker<T>();
    }
    ExactBuffer<double> sum(chans);
    for (size_t j = 0; j < chans; ++j) {
        sum.get()[j] = state.cumsum.get()[j];
    }
    const T* from = inPlace ? output.get() : input.get();
    const auto step = static_cast<int64_t>(rowStep);
    const int64_t first = static_cast<int64_t>(rows / 2);
    KernelFn<KernelForm::Rows, T>* const rowKernel = kernelOf<KernelForm::Rows, T>(kernels);
    rowKernel(from, step, output.get(), step, first, numChans, state.prev.get(), sum.get(), cutoff);
    rowKernel(from + first * step, step, output.get() + first * step, step,
              static_cast<int64_t>(rows) - first, numChans, state.prev.get(), sum.get(), cutoff);
    for (size_t j = 0; j < chans; ++j) {
        state.cumsum.get()[j] = static_cast<T>(sum.get()[j]);
    }
    std::vector<T> wanted(rows * rowStep, outputMarker<T>());
    for (size_t r = 0; r < rows; ++r) {
        for (size_t j = 0; j < chans; ++j) {
            wanted[r * rowStep + j] = expected[j * rows + r];
        }
    }
    const bool single = std::is_same_v<T, float>;
    if (!output.sameBits(wanted.data())) {
        mismatch(level, KernelShape::RunningFrame, single, call,
                 "row kernel output differs from the reference",
                 firstDifference("rows", output.get(), wanted.data(), wanted.size()));
    }
    if (!sameState(state, reference)) {
        mismatch(level, KernelShape::RunningFrame, single, call,
                 "row kernel state differs from the reference", stateDifference(state, reference));
    }
}

template <typename T>
void runShape(ByteReader& in, KernelShape shape) {
    const bool single = std::is_same_v<T, float>;
    // numChans for the per-channel and stateless kernels, numElems for the per-element ones;
    // -1 stands for a count a kernel must treat as no data at all. Up to 40 elements, so that
    // vector paths run whole vectors and remainders; up to 18 channels, so that groups of channels
    // side by side (4 or 8 of them) run with channels left over.
    const auto count = static_cast<int32_t>(shape == KernelShape::RunningSample ? in.range(-1, 40)
                                                                                : in.range(-1, 18));
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
            T correction = readCorrection<T>(in);
            if (std::isnan(correction)) {
                correction = -std::numeric_limits<T>::infinity();
            }
            reference.cumsum[i] = correction;
        }
    }
    static const std::vector<VectorLevel> kLevels = availableLevels();
    // Per level: the state of its copy kernel, of its in-place kernel, and of its row kernel.
    std::vector<KernelState<T>> states;
    for (size_t i = 0; i < 3 * kLevels.size(); ++i) {
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
        if ((control & 2u) != 0 && shape != KernelShape::Stateless) {
            // A reset: any non-zero FirstStep counts as set; Prev keeps what it holds.
            const uint8_t firstStep = (control & 4u) != 0 ? 0xFF : 1;
            reference.firstStep = firstStep;
            std::fill(reference.cumsum.begin(), reference.cumsum.end(), T{0});
            for (KernelState<T>& s : states) {
                s.firstStep.get()[0] = firstStep;
                std::fill_n(s.cumsum.get(), stateSize, T{0});
            }
        }
        // Mostly short frames; now and then one long enough to pass a stretch of 32 blocks, where a
        // channel changes between block by block and three passes.
        const auto frameLen = shape == KernelShape::RunningSample ? 1
                              : in.range(0, 7) != 0 ? static_cast<int32_t>(in.range(-1, 40))
                                                    : static_cast<int32_t>(in.range(41, 700));
        const size_t samples = shape == KernelShape::RunningSample
                                   ? stateSize
                                   : stateSize * (frameLen > 0 ? static_cast<size_t>(frameLen) : 0);

        std::vector<T> pristine(samples);
        if ((control & 0x18u) == 0x18u && samples > 0) {
            readDenseRamp<T>(in, pristine.data(), samples);
            last = pristine.back();
        }
        for (size_t i = 0; (control & 0x18u) != 0x18u && i < samples; ++i) {
            last = readSample<T>(in, last);
            pristine[i] = last;
        }
        std::vector<T> expected(samples, outputMarker<T>());
        switch (shape) {
            case KernelShape::Stateless:
                kq::ref::referenceStateless<T>(pristine.data(), expected.data(), cutoff, count,
                                               frameLen);
                break;
            case KernelShape::RunningSample:
                kq::ref::referenceRunningSample<T>(reference, pristine.data(), expected.data(),
                                                   cutoff, count);
                break;
            case KernelShape::RunningFrame:
                kq::ref::referenceRunningFrame<T>(reference, pristine.data(), expected.data(),
                                                  cutoff, count, frameLen);
                break;
        }

        for (size_t k = 0; k < kLevels.size(); ++k) {
            const VectorLevel level = kLevels[k];
            const KernelSet& kernels = kernelsFor(level);
            KernelState<T>& copyState = states[3 * k];
            KernelState<T>& inPlaceState = states[3 * k + 1];
            ExactBuffer<T> input(samples);
            ExactBuffer<T> copyOut(samples);
            ExactBuffer<T> inPlace(samples);
            for (size_t i = 0; i < samples; ++i) {
                input.get()[i] = pristine[i];
                copyOut.get()[i] = outputMarker<T>();
                inPlace.get()[i] = pristine[i];
            }
            // The per-element kernels count `count` elements, the others `count` channels; an
            // in-place kernel's one buffer is `out`.
            const auto run = [&](bool inPlaceForm, const T* from, T* to, KernelState<T>& state) {
                runKernel<T>(kernels, formOf(shape, inPlaceForm),
                             {.in = from,
                              .out = to,
                              .prev = state.prev.get(),
                              .cumsum = state.cumsum.get(),
                              .cutoff = cutoff,
                              .numChans = count,
                              .frameLen = frameLen,
                              .numElems = count,
                              .firstStep = state.firstStep.get()});
            };
            run(false, input.get(), copyOut.get(), copyState);
            run(true, nullptr, inPlace.get(), inPlaceState);

            if (!input.sameBits(pristine.data())) {
                mismatch(level, shape, single, call, "the copy kernel changed its input",
                         firstDifference("in", input.get(), pristine.data(), samples));
            }
            if (!copyOut.sameBits(expected.data())) {
                mismatch(level, shape, single, call,
                         "copy kernel output differs from the reference",
                         firstDifference("out", copyOut.get(), expected.data(), samples));
            }
            if (!inPlace.sameBits(expected.data())) {
                mismatch(level, shape, single, call,
                         "in-place kernel output differs from the reference",
                         firstDifference("buffer", inPlace.get(), expected.data(), samples));
            }
            if (shape != KernelShape::Stateless) {
                if (!sameState(copyState, reference)) {
                    mismatch(level, shape, single, call,
                             "copy kernel state differs from the reference",
                             stateDifference(copyState, reference));
                }
                if (!sameState(inPlaceState, reference)) {
                    mismatch(level, shape, single, call,
                             "in-place kernel state differs from the reference",
                             stateDifference(inPlaceState, reference));
                }
            }
            if (shape == KernelShape::RunningFrame) {
                checkRows<T>(level, kernels, states[3 * k + 2], reference, pristine, expected,
                             cutoff, count, frameLen, call);
            }
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ByteReader in(data, size);
    switch (in.range(0, 5)) {
        case 0:
            runShape<double>(in, KernelShape::Stateless);
            break;
        case 1:
            runShape<float>(in, KernelShape::Stateless);
            break;
        case 2:
            runShape<double>(in, KernelShape::RunningSample);
            break;
        case 3:
            runShape<float>(in, KernelShape::RunningSample);
            break;
        case 4:
            runShape<double>(in, KernelShape::RunningFrame);
            break;
        default:
            runShape<float>(in, KernelShape::RunningFrame);
            break;
    }
    return 0;
}
