// The binade form of the additions of taken corrections (kernels/simd/binade_chain.h) against the
// sequential binary64 additions, bit for bit, on a portable lane set of 1, 2, 4 and 8 lanes: random
// and adversarial starting sums and corrections (binade edges of both signs, exact ties, huge,
// subnormal, zero, NaN and infinite values). The vector lane sets run it inside the kernels, which
// the level tests compare with the scalar kernels.
#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "kernels/simd/binade_chain.h"

namespace {

// W binary64 lanes in plain C++, with the operations the binade form uses.
template <int32_t W>
struct ArrayLanes {
    static constexpr int32_t kLanes = W;
    using Vec = std::array<double, W>;
    using Cmp = std::array<bool, W>;

    static Vec broadcast(double s) {
        Vec v;
        v.fill(s);
        return v;
    }
    static Vec load(const double* p) {
        Vec v;
        for (int32_t l = 0; l < W; ++l) {
            v[l] = p[l];
        }
        return v;
    }
    static Vec loadFirst(const double* p, int32_t count) {
        Vec v{};
        for (int32_t l = 0; l < count; ++l) {
            v[l] = p[l];
        }
        return v;
    }
    static void store(double* p, Vec a) {
        for (int32_t l = 0; l < W; ++l) {
            p[l] = a[l];
        }
    }
    template <class Op>
    static Vec each(Vec a, Vec b, Op op) {
        for (int32_t l = 0; l < W; ++l) {
            a[l] = op(a[l], b[l]);
        }
        return a;
    }
    static Vec add(Vec a, Vec b) {
        return each(a, b, [](double x, double y) { return x + y; });
    }
    static Vec sub(Vec a, Vec b) {
        return each(a, b, [](double x, double y) { return x - y; });
    }
    static Vec mul(Vec a, Vec b) {
        return each(a, b, [](double x, double y) { return x * y; });
    }
    static Vec abs(Vec a) {
        for (double& x : a) {
            x = std::fabs(x);
        }
        return a;
    }
    static Cmp less(Vec a, Vec b) {
        Cmp m;
        for (int32_t l = 0; l < W; ++l) {
            m[l] = a[l] < b[l];
        }
        return m;
    }
    static Cmp equal(Vec a, Vec b) {
        Cmp m;
        for (int32_t l = 0; l < W; ++l) {
            m[l] = a[l] == b[l];
        }
        return m;
    }
    static Cmp both(Cmp a, Cmp b) {
        for (int32_t l = 0; l < W; ++l) {
            a[l] = a[l] && b[l];
        }
        return a;
    }
    static unsigned bits(Cmp m) {
        unsigned b = 0;
        for (int32_t l = 0; l < W; ++l) {
            b |= m[l] ? 1u << l : 0u;
        }
        return b;
    }
};

double fromBits(uint64_t b) {
    return std::bit_cast<double>(b);
}

// The sequential additions and the binade form (through addTakes, and addTakesInBinade alone)
// on one table: the same bits everywhere. Returns whether addTakesInBinade took its fast path on
// the first block.
template <int32_t W>
bool checkTable(double s, const std::vector<double>& taken) {
    const auto count = static_cast<int32_t>(taken.size());
    std::vector<double> expected(taken.size());
    double sum = s;
    for (size_t t = 0; t < taken.size(); ++t) {
        sum = sum + taken[t];
        expected[t] = sum;
    }
    std::vector<double> sums(taken.size());
    const double last = unwrap_simd::addTakes<ArrayLanes<W>>(taken.data(), count, s, sums.data());
    EXPECT_EQ(std::bit_cast<uint64_t>(last), std::bit_cast<uint64_t>(sum)) << W << " lanes";
    for (size_t t = 0; t < taken.size(); ++t) {
        EXPECT_EQ(std::bit_cast<uint64_t>(sums[t]), std::bit_cast<uint64_t>(expected[t]))
            << W << " lanes, take " << t << " of " << count << ", from " << s;
    }
    const int32_t first = std::min(count, unwrap_simd::kBinadeTakes);
    std::array<double, unwrap_simd::kBinadeTakes> block{};
    const bool fast = first > 0 && unwrap_simd::addTakesInBinade<ArrayLanes<W>>(taken.data(), first,
                                                                                s, block.data());
    for (int32_t t = 0; fast && t < first; ++t) {
        EXPECT_EQ(std::bit_cast<uint64_t>(block[t]), std::bit_cast<uint64_t>(expected[t]))
            << W << " lanes, block take " << t << ", from " << s;
    }
    return fast;
}

bool checkAllWidths(double s, const std::vector<double>& taken) {
    const bool fast = checkTable<4>(s, taken);
    EXPECT_EQ(checkTable<1>(s, taken), fast);
    EXPECT_EQ(checkTable<2>(s, taken), fast);
    EXPECT_EQ(checkTable<8>(s, taken), fast);
    return fast;
}

constexpr double kTwoPi = 6.283185307179586;

// The spacing of binary64 values at |s| (s normal).
double spacing(double s) {
    return std::ldexp(1.0, std::ilogb(s) - 52);
}

TEST(BinadeChain, FastPathGivesTheSequentialBitsOnWholeTurns) {
    // Starting sums well inside their binades: the block form must be taken.
    for (double s : {3000.0, -3000.0, 3.0e6, -3.0e6, 1.0e15, -7.5e300, 1.0e-200}) {
        for (double turn : {kTwoPi, -kTwoPi}) {
            const std::vector<double> taken(40, turn * (std::fabs(s) < 1e-100 ? 1e-210 : 1.0));
            EXPECT_TRUE(checkAllWidths(s, taken)) << s;
        }
    }
}

TEST(BinadeChain, EdgesOfTheBinadeFallBackOrAgree) {
    // Sums that run onto, across and along the edges 2^e and 2^(e+1) of both signs, ending on
    // them exactly, starting on them exactly, and just inside by one spacing.
    for (int e : {5, 6, 7, 20, 52, 53, 60, 1000, 1023, -971, -970}) {
        for (double sign : {1.0, -1.0}) {
            const double low = sign * std::ldexp(1.0, e);
            const double q = std::ldexp(1.0, e - 52);
            const double high = e == 1023 ? std::numeric_limits<double>::infinity() : 2 * low;
            for (double start : {low, low + sign * q, low + sign * 3 * q, std::nextafter(high, 0.0),
                                 high - sign * 5 * q}) {
                if (!std::isfinite(start)) {
                    continue;
                }
                // Steps of 1.3 spacings land on 2^e from above with the exact sum 0.3 spacings
                // below it, where the halved spacing rounds to 2^e - q/2.
                for (double step :
                     {q, -q, 2 * q, -2 * q, q / 2, -q / 2, 0.75 * q, -0.75 * q, 1.3 * q, -1.3 * q,
                      sign * std::ldexp(1.0, e - 3), -sign * std::ldexp(1.0, e - 3)}) {
                    for (int32_t n : {1, 3, 4, 5, 17, 33, 70}) {
                        checkAllWidths(start, std::vector<double>(static_cast<size_t>(n), step));
                    }
                }
            }
        }
    }
}

TEST(BinadeChain, TiesAreNeverRoundedByTheBlockForm) {
    // c/q a half-integer: the sequential addition rounds to the even multiple, which depends on the
    // parity of S/q; starting sums of both parities and signs, large enough that q >= 1/2.
    std::mt19937_64 rng(0xb1'0ade'0001ull);
    for (double base : {4503599627370496.0, 6.0e15, 1.0e17, 3.0e20}) {
        for (double sign : {1.0, -1.0}) {
            for (int parity = 0; parity < 2; ++parity) {
                const double q = spacing(base);
                const double s = sign * (base + q * parity);
                for (double halves : {0.5, 1.5, -0.5, -2.5, 7.5}) {
                    std::vector<double> taken(20, kTwoPi * 1e3);
                    taken[std::uniform_int_distribution<size_t>(0, 19)(rng)] = halves * q;
                    EXPECT_FALSE(checkAllWidths(s, taken)) << s << " " << halves;
                    // A whole-turn correction whose low bits are exactly half a spacing.
                    const double turns = std::round(s / kTwoPi / 1e3) * kTwoPi;
                    std::vector<double> halfTurn(5, turns + q / 2);
                    if (turns + q / 2 != turns && std::fabs(turns) < std::fabs(s)) {
                        checkAllWidths(s, halfTurn);
                    }
                }
            }
        }
    }
}

TEST(BinadeChain, SpecialSumsAndCorrectionsMatchTheSequentialAdditions) {
    using L = std::numeric_limits<double>;
    const double sums[] = {0.0,
                           -0.0,
                           L::denorm_min(),
                           -L::min(),
                           L::min(),
                           std::ldexp(1.0, -972),
                           L::max(),
                           L::lowest(),
                           L::infinity(),
                           -L::infinity(),
                           L::quiet_NaN(),
                           fromBits(0xFFF8'0000'0000'0ABCull),
                           fromBits(0x7FF0'0000'0000'0777ull),
                           1.0,
                           -64.0,
                           127.99999999999999};
    const double corrections[] = {0.0,
                                  -0.0,
                                  L::denorm_min(),
                                  -L::min(),
                                  L::infinity(),
                                  -L::infinity(),
                                  L::quiet_NaN(),
                                  1e300,
                                  -1e300,
                                  L::max(),
                                  kTwoPi,
                                  -kTwoPi,
                                  1e-17,
                                  3.0e6,
                                  std::ldexp(1.0, 51)};
    for (double s : sums) {
        for (double c : corrections) {
            for (int32_t n : {1, 6, 40}) {
                std::vector<double> taken(static_cast<size_t>(n), kTwoPi);
                taken[static_cast<size_t>(n) / 2] = c;
                checkAllWidths(s, taken);
                checkAllWidths(s, std::vector<double>(static_cast<size_t>(n), c));
            }
        }
    }
}

TEST(BinadeChain, RandomTablesMatchTheSequentialAdditions) {
    std::mt19937_64 rng(0xb1'0ade'0002ull);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    int fast = 0;
    constexpr int kTables = 4000;
    for (int table = 0; table < kTables; ++table) {
        // Starting sums from 0 to 2^60 of both signs, on or near whole turns; corrections of a few
        // turns, mostly of one sign, with random low bits now and then.
        const double magnitude = std::ldexp(unit(rng), static_cast<int>(unit(rng) * 60));
        double s = (unit(rng) < 0.5 ? -1.0 : 1.0) * std::round(magnitude / kTwoPi) * kTwoPi;
        if (unit(rng) < 0.3) {
            s += unit(rng) - 0.5;
        }
        const double direction = unit(rng) < 0.5 ? -1.0 : 1.0;
        const auto n = static_cast<size_t>(unit(rng) * 100);
        std::vector<double> taken(n);
        for (double& c : taken) {
            const double turns = unit(rng) < 0.9 ? direction : std::floor(unit(rng) * 7) - 3;
            c = turns * kTwoPi;
            if (unit(rng) < 0.2) {
                c += (unit(rng) - 0.5) * 1e-6;
            }
        }
        fast += checkAllWidths(s, taken) ? 1 : 0;
    }
    // Most of these sums sit far from their binade's edges.
    EXPECT_GT(fast, kTables / 2);
}

}  // namespace
