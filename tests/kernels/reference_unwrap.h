// A deliberately naive model of the unwrap, kept apart from the kernels' own code: its constants
// are spelled as exact decimals, the turn count goes through a 32-bit integer wherever that is
// defined, and the signal is split into per-channel vectors before anything is computed. The
// kernels must match it bit for bit.
#ifndef KQ_TESTS_KERNELS_REFERENCE_UNWRAP_H
#define KQ_TESTS_KERNELS_REFERENCE_UNWRAP_H

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kqtest {

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

// One sample, one binary64 operation at a time.
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

template <typename T>
std::vector<std::vector<T>> splitChannels(const std::vector<T>& buffer, int32_t numChans,
                                          int32_t frameLen) {
    std::vector<std::vector<T>> channels;
    size_t position = 0;
    for (int32_t j = 0; j < numChans; ++j) {
        std::vector<T> channel;
        for (int32_t n = 0; n < frameLen; ++n) {
            channel.push_back(buffer[position]);
            position = position + 1;
        }
        channels.push_back(channel);
    }
    return channels;
}

template <typename T>
std::vector<T> joinChannels(const std::vector<std::vector<T>>& channels) {
    std::vector<T> buffer;
    for (const std::vector<T>& channel : channels) {
        for (T value : channel) {
            buffer.push_back(value);
        }
    }
    return buffer;
}

// A channel of one call, starting from correction S and previous raw sample v.
template <typename T>
std::vector<T> referenceChannel(const std::vector<T>& samples, T v, double& S, T cutoff) {
    std::vector<T> out;
    for (T x : samples) {
        double y = referenceStep<T>(v, x, S, cutoff);
        out.push_back(static_cast<T>(y));
        v = x;
    }
    return out;
}

template <typename T>
std::vector<T> referenceStateless(const std::vector<T>& in, T cutoff, int32_t numChans,
                                  int32_t frameLen) {
    std::vector<std::vector<T>> channels = splitChannels(in, numChans, frameLen);
    for (std::vector<T>& channel : channels) {
        if (channel.empty()) {
            continue;
        }
        double S = 0.0;
        std::vector<T> rest(channel.begin() + 1, channel.end());
        std::vector<T> restOut = referenceChannel(rest, channel[0], S, cutoff);
        for (size_t n = 0; n < restOut.size(); ++n) {
            channel[n + 1] = restOut[n];
        }
    }
    return joinChannels(channels);
}

// The running state as the block's work vectors hold it.
template <typename T>
struct ReferenceState {
    std::vector<T> prev;
    std::vector<T> cumsum;
    bool firstStep = true;
};

template <typename T>
std::vector<T> referenceRunningFrame(ReferenceState<T>& state, const std::vector<T>& in, T cutoff,
                                     int32_t numChans, int32_t frameLen) {
    std::vector<std::vector<T>> channels = splitChannels(in, numChans, frameLen);
    if (state.firstStep) {
        state.firstStep = false;
        if (frameLen > 0) {
            for (int32_t j = 0; j < numChans; ++j) {
                state.prev[j] = channels[j][0];
                state.cumsum[j] = 0;
            }
        }
    }
    if (frameLen <= 0) {
        return {};
    }
    for (int32_t j = 0; j < numChans; ++j) {
        double S = state.cumsum[j];
        channels[j] = referenceChannel(channels[j], state.prev[j], S, cutoff);
        state.prev[j] = in[static_cast<size_t>(j) * frameLen + frameLen - 1];
        state.cumsum[j] = static_cast<T>(S);
    }
    return joinChannels(channels);
}

template <typename T>
std::vector<T> referenceRunningSample(ReferenceState<T>& state, const std::vector<T>& in,
                                      T cutoff) {
    if (state.firstStep) {
        state.firstStep = false;
        state.prev = in;
        state.cumsum.assign(in.size(), T{0});
    }
    std::vector<T> out;
    for (size_t i = 0; i < in.size(); ++i) {
        double S = state.cumsum[i];
        out.push_back(static_cast<T>(referenceStep<T>(state.prev[i], in[i], S, cutoff)));
        state.prev[i] = in[i];
        state.cumsum[i] = static_cast<T>(S);
    }
    return out;
}

}  // namespace kqtest

#endif
