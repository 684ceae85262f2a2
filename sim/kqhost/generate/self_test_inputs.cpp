#include "sim/kqhost/generate/self_test_inputs.h"

#include <bit>
#include <cmath>
#include <numbers>

namespace kq::kqhost {

namespace {

// The fields of binary64 or binary32, and values made of them as bits.
struct Format {
    int fractionBits;
    int bias;
    bool single;

    std::uint64_t fractionMask() const { return (std::uint64_t{1} << fractionBits) - 1; }
    std::uint64_t signBit() const { return std::uint64_t{1} << (single ? 31 : 63); }
    std::uint64_t infinity() const {
        return std::uint64_t{single ? 0xFFu : 0x7FFu} << fractionBits;
    }
    std::uint64_t quietBit() const { return std::uint64_t{1} << (fractionBits - 1); }
    // 2^exponent (1 + significand 2^-fractionBits), for a normal exponent.
    std::uint64_t make(int exponent, std::uint64_t significand) const {
        return (static_cast<std::uint64_t>(exponent + bias) << fractionBits) | significand;
    }
    std::uint64_t fromDouble(double v) const {
        return single ? std::bit_cast<std::uint32_t>(static_cast<float>(v))
                      : std::bit_cast<std::uint64_t>(v);
    }
    double toDouble(std::uint64_t bits) const {
        return single ? std::bit_cast<float>(static_cast<std::uint32_t>(bits))
                      : std::bit_cast<double>(bits);
    }
    std::uint64_t nan(bool negative, bool signalling, std::uint64_t payload) const {
        return (negative ? signBit() : 0) | infinity() | (signalling ? 0 : quietBit()) | payload;
    }
};

// splitmix64: a fixed, portable sequence.
class Draws {
  public:
    explicit Draws(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9E37'79B9'7F4A'7C15u);
        z = (z ^ (z >> 30)) * 0xBF58'476D'1CE4'E5B9u;
        z = (z ^ (z >> 27)) * 0x94D0'49BB'1331'11EBu;
        return z ^ (z >> 31);
    }
    // In [0, bound), bound > 0.
    std::uint64_t below(std::uint64_t bound) { return next() % bound; }

  private:
    std::uint64_t state_;
};

using Sequence = std::vector<std::uint64_t>;

// Steps of pi and its neighbours, the calm bound, ramps and huge values.
std::vector<Sequence> phaseRuns(const Format& f) {
    const std::uint64_t pi = f.fromDouble(std::numbers::pi);
    const std::uint64_t s = f.signBit();
    const double piValue = f.toDouble(pi);
    const std::uint64_t twoPi = f.fromDouble(2 * piValue);
    const std::uint64_t threePi = f.fromDouble(3 * piValue);
    const double big = f.single ? 3.4e38 : 1e300;
    std::vector<Sequence> out = {
        {0, pi, 0, pi ^ s, 0, pi, twoPi, threePi, 0, threePi ^ s},
        {0, pi + 1, 0, pi - 1, 0, (pi + 1) ^ s, 0, (pi - 1) ^ s, pi - 1, (pi - 1) ^ s},
        {0, f.fromDouble(3.0), f.fromDouble(6.0), f.fromDouble(9.0),
         f.fromDouble(std::nextafter(9.0, 20.0) + 3.0), f.fromDouble(2.9999998), 0},
        {f.fromDouble(big), f.fromDouble(-big), f.fromDouble(big), 0, f.fromDouble(-big),
         f.fromDouble(1e11), f.fromDouble(-1e11)},
    };
    Sequence ramp;
    for (int n = 1; n <= 8; ++n) {
        ramp.push_back(f.fromDouble(1e11 * n));
    }
    out.push_back(ramp);
    return out;
}

// For each exponent difference k: small values 2^(E-k) (1 + f) alternating with large ones just
// above 2^E, so that each difference crosses into the binade below 2^E. Software routines get
// some of these wrong for some low bits only (one sum in ten), so each k has several random ones.
std::vector<Sequence> binadeCrossings(const Format& f, Draws& draws) {
    constexpr int kRandomPairs = 8;
    std::vector<Sequence> out;
    for (int k = 0; k <= 66; ++k) {
        const int exponent = static_cast<int>(draws.below(27)) - 3;  // 1/8 to 2^23
        const std::uint64_t s = f.signBit();
        const auto big = [&] { return f.make(exponent, draws.below(4)); };
        const auto small = [&](std::uint64_t significand) {
            return f.make(exponent - k, significand);
        };
        Sequence sequence;
        // Each random pair at its own exponent: an error of the difference shows in the output
        // when the difference is large against the principal value (2^E up to 2^26), and when
        // adding pi takes it back into the binade of 2^E, as it does for positive pairs.
        for (int i = 0; i < kRandomPairs; ++i) {
            const int pairExponent = static_cast<int>(draws.below(30)) - 3;
            const std::uint64_t sign = i + 1 < kRandomPairs ? 0 : s;
            sequence.insert(sequence.end(),
                            {f.make(pairExponent - k, draws.next() & f.fractionMask()) | sign,
                             f.make(pairExponent, draws.below(4)) | sign});
        }
        if (k >= 2 && k <= f.fractionBits + 1) {
            // Odd multiples of half an ulp of the binade below 2^E, in units of the small
            // value's significand: exact ties, which round to even.
            const std::uint64_t half = std::uint64_t{1} << (k - 2);
            const std::uint64_t ties =
                (2 * draws.below((std::uint64_t{1} << f.fractionBits) / (2 * half)) + 1) * half;
            sequence.insert(sequence.end(),
                            {small(ties), big() ^ s, small(ties + 1) ^ s, big(), small(ties - 1)});
        } else {
            sequence.insert(sequence.end(),
                            {small(0), big() ^ s, small(f.fractionMask()) ^ s, big(), small(1)});
        }
        out.push_back(sequence);
    }
    return out;
}

// Signed zeros, subnormals, overflow, infinities and NaN payloads.
std::vector<Sequence> specialValues(const Format& f) {
    const std::uint64_t s = f.signBit();
    const std::uint64_t smallestNormal = f.make(1 - f.bias, 0);
    const std::uint64_t largest = f.make(f.bias, f.fractionMask());
    const std::uint64_t inf = f.infinity();
    const std::uint64_t one = f.fromDouble(1.0);
    const std::uint64_t two = f.fromDouble(2.0);
    const std::uint64_t q = f.quietBit();
    return {
        {0, s, 0, 0, s, s, 0},
        {smallestNormal | (q), smallestNormal | (q >> 1), 3, 1 | s, smallestNormal,
         smallestNormal | s, f.fractionMask(), 1, 0},
        {largest, largest | s, largest, largest, largest | s, 0},
        {inf, inf, inf | s, one, inf, inf | s, inf | s, 0},
        {f.nan(false, true, 1), one, f.nan(true, true, q >> 1), f.nan(false, false, 0x123), two,
         f.nan(true, false, 0x456), f.nan(false, true, q - 1), inf, f.nan(true, true, 2), 0},
    };
}

}  // namespace

std::vector<std::uint64_t> selfTestInputBits(Precision precision, std::size_t channels) {
    const Format format =
        precision == Precision::Single ? Format{23, 127, true} : Format{52, 1023, false};
    std::vector<Sequence> columns;
    for (std::size_t c = 0; c < channels; ++c) {
        Draws draws(0x5EED'0000u + c);
        Sequence column;
        // The crossings first: a huge value leaves a huge correction behind, in whose rounding
        // a difference's error would vanish.
        for (const auto& part :
             {binadeCrossings(format, draws), phaseRuns(format), specialValues(format)}) {
            for (const Sequence& sequence : part) {
                column.insert(column.end(), sequence.begin(), sequence.end());
            }
        }
        columns.push_back(std::move(column));
    }
    // Every channel's sequences have the same lengths.
    const std::size_t rows = columns.front().size();
    std::vector<std::uint64_t> out(rows * channels);
    for (std::size_t t = 0; t < rows; ++t) {
        for (std::size_t c = 0; c < channels; ++c) {
            out[t * channels + c] = columns[c][t];
        }
    }
    return out;
}

}  // namespace kq::kqhost
