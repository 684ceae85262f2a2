// A deliberately plain model of the unwrap, kept apart from the kernels' own code: its constants
// are spelled as exact decimals, the turn count goes through a 32-bit integer wherever that is
// defined, the rounding of a result to binary32 is spelled out, and every walk is the plain loop
// over channels and samples. The kernel tests, the kernel fuzzer and kqhost validate hold the
// kernels and the block to it, bit for bit.
#ifndef KQ_KERNELS_REFERENCE_UNWRAP_REFERENCE_H
#define KQ_KERNELS_REFERENCE_UNWRAP_REFERENCE_H

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <type_traits>
#include <vector>

namespace kq::ref {

// The constants of each precision variant as binary64 values; the single ones are the binary32
// constants, widened.
template <typename T>
struct ReferenceConstants;

template <>
struct ReferenceConstants<double> {
    static constexpr double pi = 3.141592653589793115997963468544185161590576171875;
    static constexpr double twoPi = 6.28318530717958623199592693708837032318115234375;
    static constexpr double invTwoPi = 0.1591549430918953456082221009637578390538692474365234375;
    static constexpr double bias = 0.9999999998999999917259629000909626483917236328125;
};

template <>
struct ReferenceConstants<float> {
    static constexpr double pi = 3.1415927410125732421875;
    static constexpr double twoPi = 6.283185482025146484375;
    static constexpr double invTwoPi = 0.15915493667125701904296875;
    static constexpr double bias = 0.999989986419677734375;
};

// The turn count: a 32-bit integer where the truncation fits one, otherwise the whole number the
// truncation stands for (every binary64 of magnitude 2^52 or more is already whole).
inline double referenceTurns(double tBiased) {
    if (std::fabs(tBiased) < 2147483648.0) {
        return static_cast<double>(static_cast<int32_t>(tBiased));
    }
    if (std::fabs(tBiased) < 4503599627370496.0) {
        return static_cast<double>(static_cast<int64_t>(tBiased));
    }
    return tBiased;  // also NaN
}

// One sample, one binary64 operation at a time: the previous raw sample v, the current one x, the
// correction S so far (updated); returns the output before it is rounded to T.
template <typename T>
double referenceStep(double v, double x, double& S, double cutoff) {
    using C = ReferenceConstants<T>;
    double d = x - v;
    double u = d + C::pi;
    double t = u * C::invTwoPi;
    // Floor by truncation: a t that is not above 0 (or NaN) is pulled down by the bias first.
    double tBiased = t;
    if (!(t > 0.0)) {
        tBiased = t - C::bias;
    }
    double k = referenceTurns(tBiased);
    // The principal value, in three rounded operations.
    double turns = k * C::twoPi;
    double reduced = u - turns;
    double p = reduced - C::pi;
    // An upward step of exactly pi is +pi.
    if (p == -C::pi && d > 0.0) {
        p = C::pi;
    }
    double c = p - d;
    double magnitude = c < 0.0 ? -c : c;
    if (cutoff < magnitude) {
        S = S + c;
    }
    return S + x;
}

// A binary64 result stored as T: to nearest, ties to even, beyond binary32's range to infinity,
// spelled out so that no out-of-range conversion is involved.
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

// The running state as the block's work vectors hold it, one Prev and Cumsum value per channel (or
// element). Held in the data type itself: Prev keeps raw samples bit for bit. Any non-zero
// firstStep counts as set.
template <typename T>
struct ReferenceState {
    std::vector<T> prev;
    std::vector<T> cumsum;
    uint8_t firstStep = 1;
};

// numChans channels of frameLen samples, each channel from a zero correction; sample 0 passes.
template <typename T>
void referenceStateless(const T* in, T* out, T cutoff, int32_t numChans, int32_t frameLen) {
    for (int32_t j = 0; j < numChans && frameLen > 0; ++j) {
        const size_t base = static_cast<size_t>(j) * static_cast<size_t>(frameLen);
        double S = 0.0;
        out[base] = in[base];
        for (int32_t n = 1; n < frameLen; ++n) {
            out[base + n] = stored<T>(referenceStep<T>(in[base + n - 1], in[base + n], S, cutoff));
        }
    }
}

// numChans channels of frameLen samples carried on through the state (numChans values each). A
// first call seeds Prev from each channel's first sample and Cumsum with zero; a first call
// without samples seeds nothing but still clears firstStep.
template <typename T>
void referenceRunningFrame(ReferenceState<T>& state, const T* in, T* out, T cutoff,
                           int32_t numChans, int32_t frameLen) {
    if (state.firstStep != 0) {
        state.firstStep = 0;
        for (int32_t j = 0; j < numChans && frameLen > 0; ++j) {
            state.prev[j] = in[static_cast<size_t>(j) * static_cast<size_t>(frameLen)];
            state.cumsum[j] = T{0};
        }
    }
    for (int32_t j = 0; j < numChans && frameLen > 0; ++j) {
        const size_t base = static_cast<size_t>(j) * static_cast<size_t>(frameLen);
        double S = state.cumsum[j];
        T v = state.prev[j];
        for (int32_t n = 0; n < frameLen; ++n) {
            out[base + n] = stored<T>(referenceStep<T>(v, in[base + n], S, cutoff));
            v = in[base + n];
        }
        state.prev[j] = v;
        state.cumsum[j] = stored<T>(S);
    }
}

// numElems channels of one sample each, carried on through the state (numElems values each).
template <typename T>
void referenceRunningSample(ReferenceState<T>& state, const T* in, T* out, T cutoff,
                            int32_t numElems) {
    if (state.firstStep != 0) {
        state.firstStep = 0;
        for (int32_t i = 0; i < numElems; ++i) {
            state.prev[i] = in[i];
            state.cumsum[i] = T{0};
        }
    }
    for (int32_t i = 0; i < numElems; ++i) {
        double S = state.cumsum[i];
        const T x = in[i];
        out[i] = stored<T>(referenceStep<T>(state.prev[i], x, S, cutoff));
        state.prev[i] = x;
        state.cumsum[i] = stored<T>(S);
    }
}

// The same walks on whole vectors, returning the outputs.
template <typename T>
std::vector<T> referenceStateless(const std::vector<T>& in, T cutoff, int32_t numChans,
                                  int32_t frameLen) {
    std::vector<T> out(in.size());
    referenceStateless(in.data(), out.data(), cutoff, numChans, frameLen);
    return out;
}

template <typename T>
std::vector<T> referenceRunningFrame(ReferenceState<T>& state, const std::vector<T>& in, T cutoff,
                                     int32_t numChans, int32_t frameLen) {
    std::vector<T> out(in.size());
    referenceRunningFrame(state, in.data(), out.data(), cutoff, numChans, frameLen);
    return out;
}

template <typename T>
std::vector<T> referenceRunningSample(ReferenceState<T>& state, const std::vector<T>& in,
                                      T cutoff) {
    std::vector<T> out(in.size());
    referenceRunningSample(state, in.data(), out.data(), cutoff, static_cast<int32_t>(in.size()));
    return out;
}

}  // namespace kq::ref

#endif
